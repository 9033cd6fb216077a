// A windowless control that draws from a skin container and can take its size
// from it: the whole picture for an image, one frame for a knob.
#pragma once

#include "editor/GraphicContainer.h"
#include "toolkit/Control.h"
#include "toolkit/Graphics.h"

#include <cstdint>

class TGraphicContainerControl : public TGraphicControl {
public:
  TGraphicContainer* Container() const { return FContainer; }
  void SetContainer(TGraphicContainer* container);
  // When set, the control's size follows the container.
  bool AutoSize() const { return FAutoSize; }
  void SetAutoSize(bool autoSize);

protected:
  TGraphicContainerControl(TComponent* owner, bool autoSize);
  ~TGraphicContainerControl() override;

  // The size AutoSize gives the control.
  virtual TSize AutoSizeOf(const TGraphicContainer& container) const = 0;
  // Whether a change of the container's frame size concerns the control.
  virtual bool FollowsFrameSize() const = 0;
  void AdjustSize(bool repaint);

private:
  void ContainerNotify(void* Sender, std::uint8_t Kind, std::int32_t Value);

  TGraphicContainer* FContainer = nullptr;
  bool FAutoSize;
};
