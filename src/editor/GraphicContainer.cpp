#include "editor/GraphicContainer.h"

#include <algorithm>

TGraphicContainer::TGraphicContainer(TComponent* owner)
    : TComponent(owner), FNotifier(std::make_unique<TGraphicNotifyHost>(this)) {}

TGraphicContainer::~TGraphicContainer() {
  FNotifier.reset();
}

void TGraphicContainer::SetPicture(const TPicture& picture) {
  FPicture.Assign(picture);
  RecountFrames();
  FNotifier->Notify(gnPictureChanged, 0);
}

void TGraphicContainer::SetWidth(std::int32_t width) {
  width = std::max(width, 1);
  if (width == FWidth)
    return;
  FWidth = width;
  RecountFrames();
  FNotifier->Notify(gnSizeChanged, 0);
}

void TGraphicContainer::SetHeight(std::int32_t height) {
  height = std::max(height, 1);
  if (height == FHeight)
    return;
  FHeight = height;
  RecountFrames();
  FNotifier->Notify(gnSizeChanged, 0);
}

// Pixels beyond the last whole column or row belong to no frame.
void TGraphicContainer::RecountFrames() {
  FImageCountX = FPicture.Width() / FWidth;
  FImageCountY = FPicture.Height() / FHeight;
  FImageCount = FImageCountX * FImageCountY;
}
