#include "editor/GraphicImage.h"

#include "params/NotifierLink.h"

TGraphicImage::TGraphicImage(TComponent* owner) : TGraphicControl(owner) {
  SetBounds(Left(), Top(), 32, 32);
  SetOpaque(true);
}

TGraphicImage::~TGraphicImage() {
  Unlink(FContainer, this);
}

void TGraphicImage::SetContainer(TGraphicContainer* container) {
  if (Relink(FContainer, container, this,
             TGraphicNotifyEvent::Bind<&TGraphicImage::ContainerNotify>(this)))
    AdjustSize(true);
}

void TGraphicImage::SetAutoSize(bool autoSize) {
  if (autoSize == FAutoSize)
    return;
  FAutoSize = autoSize;
  if (FAutoSize)
    AdjustSize(false);
}

// The image always shows the whole picture, so the frame size is no concern.
void TGraphicImage::ContainerNotify(void*, std::uint8_t Kind, std::int32_t) {
  switch (Kind) {
  case gnDestroying:
    FContainer = nullptr;
    Repaint();
    break;
  case gnPictureChanged:
    AdjustSize(true);
    break;
  default:
    break;
  }
}

void TGraphicImage::AdjustSize(bool repaint) {
  if (FAutoSize && FContainer) {
    const TPicture& picture = FContainer->Picture();
    if (picture.Width() != Width() || picture.Height() != Height()) {
      // Resizing repaints by itself.
      SetWidth(picture.Width());
      SetHeight(picture.Height());
      return;
    }
  }
  if (repaint)
    Repaint();
}

void TGraphicImage::Paint(TCanvas& canvas) {
  if (FContainer)
    canvas.Draw(0, 0, FContainer->Picture());
}
