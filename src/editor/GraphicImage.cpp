#include "editor/GraphicImage.h"

TGraphicImage::TGraphicImage(TComponent* owner) : TGraphicContainerControl(owner, false) {
  SetBounds(Left(), Top(), 32, 32);
  SetOpaque(true);
}

TSize TGraphicImage::AutoSizeOf(const TGraphicContainer& container) const {
  return {container.Picture().Width(), container.Picture().Height()};
}

void TGraphicImage::Paint(TCanvas& canvas) {
  if (Container())
    canvas.Draw(0, 0, *Container()->PixelsAt(canvas.Scale(), false));
}
