// A skin picture with the size of one frame in it, from which the grid of
// frames follows. Controls that draw it listen on its Notifier.
#pragma once

#include "base/Component.h"
#include "params/GraphicNotifyHost.h"
#include "toolkit/Picture.h"

#include <cstdint>
#include <memory>

class TGraphicContainer : public TComponent {
public:
  explicit TGraphicContainer(TComponent* owner);
  // Listeners hear gnDestroying while the picture still exists.
  ~TGraphicContainer() override;

  TGraphicNotifyHost& Notifier() { return *FNotifier; }
  const TPicture& Picture() const { return FPicture; }
  // Takes a copy of `picture`'s graphic (the pixels are shared, not copied).
  void SetPicture(const TPicture& picture);
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
  TPicture FPicture;
  std::int32_t FWidth = 64;
  std::int32_t FHeight = 64;
  std::int32_t FImageCount = 0;
  std::int32_t FImageCountX = 0;
  std::int32_t FImageCountY = 0;
};
