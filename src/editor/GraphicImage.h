// A windowless control that draws a container's whole picture at its top-left
// corner: the backdrop, the help overlay, and (without a picture) a click area.
#pragma once

#include "editor/GraphicContainer.h"
#include "toolkit/Control.h"

#include <cstdint>

class TGraphicImage : public TGraphicControl {
public:
  explicit TGraphicImage(TComponent* owner);
  ~TGraphicImage() override;

  TGraphicContainer* Container() const { return FContainer; }
  void SetContainer(TGraphicContainer* container);
  // When set, the control takes the size of the whole picture.
  bool AutoSize() const { return FAutoSize; }
  void SetAutoSize(bool autoSize);

  void Paint(TCanvas& canvas) override;

private:
  void ContainerNotify(void* Sender, std::uint8_t Kind, std::int32_t Value);
  void AdjustSize(bool repaint);

  TGraphicContainer* FContainer = nullptr;
  bool FAutoSize = false;
};
