#include "toolkit/PictureSet.h"

#include "toolkit/Resample.h"

#include <cstddef>
#include <mutex>

namespace {

// Resized pictures kept at once; zoom changes are rare and a host rarely
// shows more than two scales (two screens).
constexpr std::size_t kCacheSize = 4;

} // namespace

void TPictureSet::SetPicture(int density, const TPicture& picture) {
  if (density < 1 || density > kMaxDensity)
    return;
  FPictures[static_cast<std::size_t>(density - 1)].Assign(picture);
  std::lock_guard lock(FCacheLock);
  FCache.clear();
}

void TPictureSet::Clear() {
  for (TPicture& picture : FPictures)
    picture.Clear();
  std::lock_guard lock(FCacheLock);
  FCache.clear();
}

int TPictureSet::SourceDensity(double scale) const {
  int densest = 1;
  for (int density = 1; density <= kMaxDensity; ++density) {
    const TPicture& picture = FPictures[static_cast<std::size_t>(density - 1)];
    // A denser picture counts only with exactly the base picture's layout.
    if (density > 1 && (picture.Width() != Base().Width() * density ||
                        picture.Height() != Base().Height() * density))
      continue;
    densest = density;
    if (density >= scale)
      return density;
  }
  return densest;
}

TBitmap TPictureSet::Resize(int density, double scale, TSize cell) const {
  const TBitmap& source = FPictures[static_cast<std::size_t>(density - 1)].Pixels();
  const int columns = cell.Width > 0 ? Base().Width() / cell.Width : 0;
  const int rows = cell.Height > 0 ? Base().Height() / cell.Height : 0;
  if (source.Width() == 0 || columns <= 0 || rows <= 0)
    return {};
  const TSize from = ScaledSize(cell, density);
  const TSize to = ScaledSize(cell, scale);
  TBitmap result(columns * to.Width, rows * to.Height);
  for (int row = 0; row < rows; ++row)
    for (int column = 0; column < columns; ++column) {
      const TRect area{column * from.Width, row * from.Height, (column + 1) * from.Width,
                       (row + 1) * from.Height};
      const TBitmap frame = Resample(source, area, to.Width, to.Height);
      for (int y = 0; y < frame.Height(); ++y)
        std::copy(frame.Row(y), frame.Row(y) + frame.Width(),
                  result.Row(row * to.Height + y) + std::ptrdiff_t{column} * to.Width);
    }
  return result;
}

std::shared_ptr<const TBitmap> TPictureSet::Pixels(double scale, TSize cell) const {
  const int density = SourceDensity(scale);
  if (density == scale) {
    // No copy: the picture outlives every paint that draws it.
    const TBitmap& pixels = FPictures[static_cast<std::size_t>(density - 1)].Pixels();
    return {std::shared_ptr<const TBitmap>(), &pixels};
  }
  std::lock_guard lock(FCacheLock);
  for (const TCached& cached : FCache)
    if (cached.Scale == scale && cached.Cell == cell)
      return cached.Pixels;
  auto pixels = std::make_shared<const TBitmap>(Resize(density, scale, cell));
  if (FCache.size() == kCacheSize)
    FCache.erase(FCache.begin());
  FCache.push_back({scale, cell, pixels});
  return pixels;
}
