// A picture holder: one graphic, shared by every holder that took a copy.
// JPEG data is decoded once, on the first draw, and kept from then on.
#pragma once

#include "toolkit/Bitmap.h"

#include <cstdint>
#include <memory>
#include <span>

class TGraphic; // the decoded (or still encoded) picture behind a holder

class TPicture {
public:
  TPicture();
  ~TPicture();
  TPicture(const TPicture&) = delete;
  TPicture& operator=(const TPicture&) = delete;

  // Reads the JPEG's size now and decodes it when it is first drawn. Data
  // that is not a readable JPEG raises EGlowraspError and leaves the holder as it was.
  void LoadFromJpeg(std::span<const std::uint8_t> data);
  // Pixels drawn elsewhere, taken over as they are.
  void LoadFromBitmap(TBitmap pixels);
  // Takes a copy of `other`'s graphic (the pixels themselves are shared).
  void Assign(const TPicture& other);
  void Clear();

  int Width() const;
  int Height() const;
  bool Empty() const { return Width() == 0 || Height() == 0; }
  // The decoded pixels, decoding now if needed; an empty bitmap when there is
  // no graphic or it cannot be decoded.
  const TBitmap& Pixels() const;

private:
  std::shared_ptr<TGraphic> FGraphic;
};
