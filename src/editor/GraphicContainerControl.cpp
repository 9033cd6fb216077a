#include "editor/GraphicContainerControl.h"

#include "params/NotifierLink.h"

TGraphicContainerControl::TGraphicContainerControl(TComponent* owner, bool autoSize)
    : TGraphicControl(owner), FAutoSize(autoSize) {}

TGraphicContainerControl::~TGraphicContainerControl() {
  Unlink(FContainer, this);
}

void TGraphicContainerControl::SetContainer(TGraphicContainer* container) {
  if (Relink(FContainer, container, this,
             TGraphicNotifyEvent::Bind<&TGraphicContainerControl::ContainerNotify>(this)))
    AdjustSize(true);
}

void TGraphicContainerControl::SetAutoSize(bool autoSize) {
  if (autoSize == FAutoSize)
    return;
  FAutoSize = autoSize;
  if (FAutoSize)
    AdjustSize(false);
}

void TGraphicContainerControl::ContainerNotify(void*, std::uint8_t Kind, std::int32_t) {
  switch (Kind) {
  case gnDestroying:
    FContainer = nullptr;
    Repaint();
    break;
  case gnSizeChanged:
    if (FollowsFrameSize())
      AdjustSize(false);
    break;
  case gnPictureChanged:
    AdjustSize(true);
    break;
  default:
    break;
  }
}

void TGraphicContainerControl::AdjustSize(bool repaint) {
  if (FAutoSize && FContainer) {
    const TSize size = AutoSizeOf(*FContainer);
    if (size.Width != Width() || size.Height != Height()) {
      // Resizing repaints by itself.
      SetWidth(size.Width);
      SetHeight(size.Height);
      return;
    }
  }
  if (repaint)
    Repaint();
}
