// A borderless top-level surface of the toolkit that lives as a child of a
// native window. The editor bridge only places, shows, repaints and destroys it.
#pragma once

#include "toolkit/Component.h"

class TForm : public TComponent {
public:
  explicit TForm(TComponent* owner) : TComponent(owner) {}

  virtual void SetBounds(int left, int top, int width, int height) = 0;
  // Makes the form visible and brings it to the front.
  virtual void Show() = 0;
  virtual void Repaint() = 0;
  // Work the editor's thread owes the window system: pending window events,
  // repaints requested from other threads.
  virtual void Idle() {}
};
