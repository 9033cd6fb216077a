#include "editor/GraphicContainer.h"

#include <algorithm>

TGraphicContainer::TGraphicContainer(TComponent* owner)
    : TComponent(owner), FNotifier(std::make_unique<TGraphicNotifyHost>(this)) {}

TGraphicContainer::~TGraphicContainer() {
  FNotifier.reset();
}

void TGraphicContainer::SetPicture(const TPicture& picture) {
  FPictures.Clear();
  FPictures.SetPicture(1, picture);
  RecountFrames();
  FNotifier->Notify(gnPictureChanged, 0);
}

void TGraphicContainer::SetDensePicture(int density, const TPicture& picture) {
  if (density < 2)
    return;
  FPictures.SetPicture(density, picture);
  FNotifier->Notify(gnPictureChanged, 0);
}

std::shared_ptr<const TBitmap> TGraphicContainer::PixelsAt(double scale, bool frames) const {
  const TSize cell = frames ? TSize{FWidth, FHeight} : TSize{Picture().Width(), Picture().Height()};
  return FPictures.Pixels(scale, cell);
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
  FImageCountX = Picture().Width() / FWidth;
  FImageCountY = Picture().Height() / FHeight;
  FImageCount = FImageCountX * FImageCountY;
}
