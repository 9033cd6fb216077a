#include "editor/GraphicImage.h"

TGraphicImage::TGraphicImage(TComponent* owner) : TGraphicControl(owner) {
  SetBounds(Left(), Top(), 32, 32);
  SetOpaque(true);
}

TGraphicImage::~TGraphicImage() {
  if (FContainer)
    FContainer->Notifier().RemoveListener(this);
}

void TGraphicImage::SetContainer(TGraphicContainer* container) {
  if (container == FContainer)
    return;
  if (FContainer) {
    FContainer->Notifier().RemoveListener(this);
    FContainer = nullptr;
  }
  if (container) {
    container->Notifier().AddListener(
        this, TGraphicNotifyEvent::Bind<&TGraphicImage::ContainerNotify>(this));
    FContainer = container;
  }
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
