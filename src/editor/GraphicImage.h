// A windowless control that draws a container's whole picture at its top-left
// corner: the backdrop, the help overlay, and (without a picture) a click area.
#pragma once

#include "editor/GraphicContainerControl.h"

class TGraphicImage : public TGraphicContainerControl {
public:
  explicit TGraphicImage(TComponent* owner);

  void Paint(TCanvas& canvas) override;

protected:
  // The whole picture; the frame size is no concern of an image.
  TSize AutoSizeOf(const TGraphicContainer& container) const override;
  bool FollowsFrameSize() const override { return false; }
};
