// Picture holders decode the skin's JPEG streams once, share the pixels with
// their copies, and survive damaged data without taking the host down.
#include "base/Error.h"
#include "toolkit/EmbeddedResource.h"
#include "toolkit/Picture.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <span>
#include <string>
#include <thread>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Resource(const char* name) {
  const std::span<const unsigned char> data = FindEmbeddedResource(name);
  return {data.begin(), data.end()};
}

// Mean of one colour channel (shift 16 red, 0 blue) over the whole picture.
double MeanChannel(const TBitmap& bitmap, int shift) {
  double sum = 0;
  for (const std::uint32_t p : bitmap.Pixels())
    sum += p >> shift & 0xFF;
  return sum / static_cast<double>(bitmap.Pixels().size());
}

TEST(PictureTest, ReportsSizeAtLoadAndDecodesToRgb) {
  struct TCase {
    const char* Name;
    int Width;
    int Height;
  };
  for (const TCase& c : {TCase{"background.jpg", 402, 250}, TCase{"knob.jpg", 740, 444}}) {
    SCOPED_TRACE(c.Name);
    TPicture picture;
    picture.LoadFromJpeg(Resource(c.Name));
    EXPECT_EQ(picture.Width(), c.Width);
    EXPECT_EQ(picture.Height(), c.Height);
    const TBitmap& pixels = picture.Pixels();
    ASSERT_EQ(pixels.Width(), c.Width);
    ASSERT_EQ(pixels.Height(), c.Height);
    for (const std::uint32_t p : pixels.Pixels())
      ASSERT_EQ(p & 0xFF000000u, 0u);
  }
  // Channel order: the backdrop is warm (red over blue), the knobs sit on white.
  TPicture background;
  background.LoadFromJpeg(Resource("background.jpg"));
  EXPECT_GT(MeanChannel(background.Pixels(), 16), MeanChannel(background.Pixels(), 0) + 10);
  TPicture knob;
  knob.LoadFromJpeg(Resource("knob.jpg"));
  for (int shift : {0, 8, 16})
    EXPECT_GT(static_cast<int>(knob.Pixels().Pixel(1, 1) >> shift & 0xFF), 230);
}

TEST(PictureTest, CopiesShareOneDecodeAndOutliveTheOriginal) {
  TPicture copy;
  const TBitmap* decoded = nullptr;
  {
    TPicture original;
    original.LoadFromJpeg(Resource("knob.jpg"));
    copy.Assign(original);
    decoded = &original.Pixels();
  }
  EXPECT_EQ(&copy.Pixels(), decoded);
  EXPECT_EQ(copy.Pixels().Width(), 740);

  copy.Clear();
  EXPECT_EQ(copy.Width(), 0);
  EXPECT_EQ(copy.Height(), 0);
  EXPECT_TRUE(copy.Empty());
  EXPECT_EQ(copy.Pixels().Width(), 0);
}

TEST(PictureTest, FirstDrawsOnTwoThreadsDecodeOnce) {
  TPicture picture;
  picture.LoadFromJpeg(Resource("background.jpg"));
  const TBitmap* seen[2] = {};
  std::thread other([&] { seen[0] = &picture.Pixels(); });
  seen[1] = &picture.Pixels();
  other.join();
  EXPECT_EQ(seen[0], seen[1]);
  EXPECT_EQ(seen[1]->Width(), 402);
}

enum class TOutcome { LoadFails, DecodesEmpty, EmptyOrWhole };

struct TDamage {
  const char* Name;
  Bytes (*Make)(Bytes);
  TOutcome Outcome;
};

// The byte that starts the entropy-coded data.
std::size_t ScanStart(const Bytes& data) {
  for (std::size_t i = 2; i + 3 < data.size();) {
    const std::size_t length = data[i + 2] << 8 | data[i + 3];
    if (data[i + 1] == 0xDA)
      return i + 2 + length;
    i += 2 + length;
  }
  return data.size();
}

const TDamage kDamages[] = {
    {"empty", [](Bytes) { return Bytes{}; }, TOutcome::LoadFails},
    {"not a JPEG", [](Bytes) { return Bytes{'G', 'I', 'F', '8', '9', 'a', 0, 0}; },
     TOutcome::LoadFails},
    {"cut inside the header",
     [](Bytes b) {
       b.resize(ScanStart(b) / 2);
       return b;
     },
     TOutcome::LoadFails},
    {"zero width",
     [](Bytes b) {
       for (std::size_t i = 2; i + 8 < b.size(); ++i)
         if (b[i] == 0xFF && b[i + 1] == 0xC0) {
           b[i + 7] = 0;
           b[i + 8] = 0;
           break;
         }
       return b;
     },
     TOutcome::LoadFails},
    {"cut inside the scan",
     [](Bytes b) {
       b.resize(ScanStart(b) + (b.size() - ScanStart(b)) / 2);
       return b;
     },
     TOutcome::DecodesEmpty},
    {"stray marker inside the scan",
     [](Bytes b) {
       const std::size_t at = ScanStart(b) + 4000;
       b[at] = 0xFF;
       b[at + 1] = 0xD9;
       return b;
     },
     TOutcome::DecodesEmpty},
    {"noise inside the scan",
     [](Bytes b) {
       for (std::size_t i = ScanStart(b) + 1000; i < b.size() - 2; i += 37)
         b[i] ^= 0x5A;
       return b;
     },
     TOutcome::EmptyOrWhole},
};

TEST(PictureTest, DamagedDataFailsCleanly) {
  const Bytes good = Resource("background.jpg");
  for (const TDamage& damage : kDamages) {
    SCOPED_TRACE(damage.Name);
    TPicture picture;
    picture.LoadFromJpeg(Resource("knob.jpg"));
    const Bytes data = damage.Make(good);
    if (damage.Outcome == TOutcome::LoadFails) {
      EXPECT_THROW(picture.LoadFromJpeg(data), EGlowraspError);
      EXPECT_EQ(picture.Width(), 740) << "a failed load keeps the previous picture";
      continue;
    }
    ASSERT_NO_THROW(picture.LoadFromJpeg(data));
    EXPECT_EQ(picture.Width(), 402);
    const TBitmap& pixels = picture.Pixels();
    if (damage.Outcome == TOutcome::DecodesEmpty)
      EXPECT_EQ(pixels.Width(), 0);
    else
      EXPECT_TRUE(pixels.Width() == 0 || (pixels.Width() == 402 && pixels.Height() == 250));
  }
}

} // namespace
