// A skin picture with the size of one frame in it, from which the grid of
// frames follows; sizes are in editor units, those of the 1x picture. Denser
// versions of the same artwork serve forms drawn at larger scales. Controls
// that draw it listen on its Notifier.
#pragma once

#include "base/Component.h"
#include "params/GraphicNotifyHost.h"
#include "toolkit/Picture.h"
#include "toolkit/PictureSet.h"

#include <cstdint>
#include <memory>

class TGraphicContainer : public TComponent {
public:
  explicit TGraphicContainer(TComponent* owner);
  // Listeners hear gnDestroying while the picture still exists.
  ~TGraphicContainer() override;

  TGraphicNotifyHost& Notifier() { return *FNotifier; }
  const TPicture& Picture() const { return FPictures.Base(); }
  // Takes a copy of `picture`'s graphic (the pixels are shared, not copied).
  // The 1x picture replaces the denser ones too: they belong to the old one.
  void SetPicture(const TPicture& picture);
  // The same artwork with `density` pixels per unit (2 or 3).
  void SetDensePicture(int density, const TPicture& picture);
  // The pixels to draw at `scale`: the whole picture, or with `frames` the
  // filmstrip resized frame by frame.
  std::shared_ptr<const TBitmap> PixelsAt(double scale, bool frames) const;
  std::int32_t Width() const { return FWidth; }
  std::int32_t Height() const { return FHeight; }
  void SetWidth(std::int32_t width);
  void SetHeight(std::int32_t height);
  std::int32_t ImageCount() const { return FImageCount; }
  std::int32_t ImageCountX() const { return FImageCountX; }
  std::int32_t ImageCountY() const { return FImageCountY; }

private:
  void RecountFrames();

  std::unique_ptr<TGraphicNotifyHost> FNotifier;
  TPictureSet FPictures;
  std::int32_t FWidth = 64;
  std::int32_t FHeight = 64;
  std::int32_t FImageCount = 0;
  std::int32_t FImageCountX = 0;
  std::int32_t FImageCountY = 0;
};
