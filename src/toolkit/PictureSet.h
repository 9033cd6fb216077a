// One piece of artwork drawn for several screen densities (1, 2, 3 pixels per
// editor unit), and the pixels for any scale between: taken as they are where
// a density matches, else shrunk from the next denser picture. Artwork is
// never magnified from the 1x picture while a denser one exists.
#pragma once

#include "base/ThreadSupport.h"
#include "toolkit/Bitmap.h"
#include "toolkit/Graphics.h"
#include "toolkit/Picture.h"

#include <array>
#include <memory>
#include <vector>

class TPictureSet {
public:
  static constexpr int kMaxDensity = 3;

  // density 1 .. kMaxDensity; other densities are ignored. The picture's
  // graphic is shared, not copied.
  void SetPicture(int density, const TPicture& picture);
  // The 1x picture, which gives the set its size in editor units.
  const TPicture& Base() const { return FPictures[0]; }
  void Clear();

  // The pixels at `scale`, resized cell by cell: a filmstrip's frames of
  // `cell` editor units each become round(cell × scale) pixels and never
  // blend into each other. An empty bitmap when there is no picture.
  // Resized results are cached for the few scales in use; the pointer keeps
  // the pixels alive while the caller draws them.
  std::shared_ptr<const TBitmap> Pixels(double scale, TSize cell) const;

private:
  struct TCached {
    double Scale;
    TSize Cell;
    std::shared_ptr<const TBitmap> Pixels;
  };

  // The density the pixels at `scale` come from: exact, else the next denser
  // one there is, else the densest.
  int SourceDensity(double scale) const;
  TBitmap Resize(int density, double scale, TSize cell) const;

  std::array<TPicture, kMaxDensity> FPictures;
  mutable TMutex FCacheLock;
  mutable std::vector<TCached> FCache;
};
