// What an editor asks of its format boundary: the user's gestures on a
// parameter, which the boundary passes to its host, a new window size, and
// the user's choice of zoom.
#pragma once

#include <cstdint>

class TEffectEditorHost {
public:
  virtual void BeginEdit(std::int32_t index) = 0;
  // The boundary sets the instance's value and tells its host.
  virtual void PerformEdit(std::int32_t index, double normalized) = 0;
  virtual void EndEdit(std::int32_t index) = 0;
  // False when the host cannot resize the editor's window.
  virtual bool RequestResize(std::int32_t, std::int32_t) { return false; }
  // The user chose a zoom in the editor's menu: 0 to follow the host, else 1
  // to 3. A format that saves the editor's state keeps it with the instance.
  virtual void UserZoomChosen(double) {}

protected:
  ~TEffectEditorHost() = default;
};
