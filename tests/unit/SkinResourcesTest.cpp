// The committed skin pictures must be JPEG streams that every libjpeg decodes
// the same way, fitted to the editor's fixed layout; and the built-in font
// must fit the read-outs.
#include "toolkit/BuiltinFont.h"
#include "toolkit/EmbeddedResource.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

int Word(const Bytes& b, std::size_t at) {
  return b[at] << 8 | b[at + 1];
}

struct TSegment {
  std::uint8_t Marker;
  Bytes Payload; // without the length field
};

// The marker segments from SOI up to the start of the scan data.
std::vector<TSegment> ReadHeaderSegments(const Bytes& data) {
  std::vector<TSegment> segments;
  std::size_t at = 2;
  while (at + 4 <= data.size() && data[at] == 0xFF) {
    const std::uint8_t marker = data[at + 1];
    const std::size_t length = Word(data, at + 2);
    if (length < 2 || at + 2 + length > data.size())
      break;
    segments.push_back({marker, Bytes(data.begin() + at + 4, data.begin() + at + 2 + length)});
    if (marker == 0xDA) // start of scan
      break;
    at += 2 + length;
  }
  return segments;
}

bool IsStartOfFrame(std::uint8_t marker) {
  // C4 (Huffman tables), C8 (reserved) and CC (arithmetic conditioning) share the range.
  return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

struct TSkinPicture {
  const char* Name;
  int Width;
  int Height;
};

void PrintTo(const TSkinPicture& picture, std::ostream* out) {
  *out << picture.Name;
}

class SkinPictureTest : public testing::TestWithParam<TSkinPicture> {};

TEST_P(SkinPictureTest, IsBaselineJfif102FullChromaAtLayoutSize) {
  const TSkinPicture& picture = GetParam();
  const Bytes data = ReadFile(std::string(GLOWRASP_SOURCE_DIR "/resources/") + picture.Name);
  ASSERT_GE(data.size(), 4u);
  ASSERT_EQ(Word(data, 0), 0xFFD8) << "no SOI";

  const std::vector<TSegment> segments = ReadHeaderSegments(data);
  ASSERT_FALSE(segments.empty());
  ASSERT_EQ(segments.back().Marker, 0xDA) << "header does not reach the scan";

  const TSegment& app0 = segments.front();
  ASSERT_EQ(app0.Marker, 0xE0);
  ASSERT_GE(app0.Payload.size(), 14u);
  EXPECT_EQ(std::string(app0.Payload.begin(), app0.Payload.begin() + 5), std::string("JFIF", 5));
  EXPECT_EQ(app0.Payload[5], 1);
  EXPECT_EQ(app0.Payload[6], 2);
  EXPECT_EQ(Word(app0.Payload, 8), Word(app0.Payload, 10)) << "pixels are not square";

  std::vector<const TSegment*> frames;
  for (const TSegment& s : segments)
    if (IsStartOfFrame(s.Marker))
      frames.push_back(&s);
  ASSERT_EQ(frames.size(), 1u);
  const TSegment& sof = *frames.front();
  EXPECT_EQ(sof.Marker, 0xC0) << "not baseline sequential";
  ASSERT_EQ(sof.Payload.size(), 6u + 3u * 3u);
  EXPECT_EQ(sof.Payload[0], 8) << "sample precision";
  EXPECT_EQ(Word(sof.Payload, 1), picture.Height);
  EXPECT_EQ(Word(sof.Payload, 3), picture.Width);
  ASSERT_EQ(sof.Payload[5], 3) << "component count";
  for (int c = 0; c < 3; ++c)
    EXPECT_EQ(sof.Payload[6 + 3 * c + 1], 0x11) << "sampling factors of component " << c;

  const std::span<const unsigned char> embedded = FindEmbeddedResource(picture.Name);
  EXPECT_TRUE(std::equal(embedded.begin(), embedded.end(), data.begin(), data.end()))
      << "the library carries other bytes than resources/" << picture.Name;
}

INSTANTIATE_TEST_SUITE_P(Skin, SkinPictureTest,
                         testing::Values(TSkinPicture{"background.jpg", 402, 250},
                                         TSkinPicture{"help.jpg", 402, 250},
                                         TSkinPicture{"knob.jpg", 740, 444}),
                         [](const auto& test) {
                           const std::string name = test.param.Name;
                           return name.substr(0, name.find('.'));
                         });

bool IsPrintable(unsigned c) {
  return (c >= 32 && c <= 126) || c >= 160;
}

TEST(BuiltinFontTest, MeasuresByAdvancesAndFitsTheReadOuts) {
  const TBitmapFont& font = BuiltinSansFont();
  EXPECT_EQ(font.LineHeight, 13);

  int sum = 0;
  for (const char c : std::string_view("0.0 dB"))
    sum += font.Glyph(static_cast<unsigned char>(c)).Advance;
  EXPECT_EQ(font.TextWidth("0.0 dB"), sum);
  EXPECT_EQ(font.TextWidth(""), 0);

  constexpr int ReadOutWidth = 71;
  for (const char* widest : {"-48.0 dB", "100.0 %", "Test"})
    EXPECT_LT(font.TextWidth(widest), ReadOutWidth) << widest;
}

TEST(BuiltinFontTest, EveryPrintableGlyphStaysInItsCell) {
  const TBitmapFont& font = BuiltinSansFont();
  for (unsigned c = 32; c <= 255; ++c) {
    if (!IsPrintable(c))
      continue;
    const TGlyph& g = font.Glyph(static_cast<unsigned char>(c));
    SCOPED_TRACE(c);
    EXPECT_GT(g.Advance, 0);
    EXPECT_GE(g.OffsetY, 0);
    EXPECT_LE(g.OffsetY + g.Height, font.LineHeight);
    // Sloping strokes (J, j, T, Y, _) may overhang their advance by one pixel.
    EXPECT_GE(g.OffsetX, -1);
    EXPECT_LE(g.OffsetX + g.Width, g.Advance + 1);
    if (c != ' ' && c != 160) {
      const std::uint8_t* alpha = font.Alpha + g.AlphaOffset;
      EXPECT_TRUE(std::any_of(alpha, alpha + g.Width * g.Height, [](auto a) { return a > 128; }))
          << "glyph without solid ink";
    }
  }
}

bool SameBitmap(const TGlyph& a, const TGlyph& b) {
  return a.Advance == b.Advance && a.OffsetX == b.OffsetX && a.OffsetY == b.OffsetY &&
         a.Width == b.Width && a.Height == b.Height && a.AlphaOffset == b.AlphaOffset;
}

TEST(BuiltinFontTest, CharactersWithoutGlyphShowAsQuestionMark) {
  const TBitmapFont& font = BuiltinSansFont();
  const TGlyph& question = font.Glyph('?');
  for (const unsigned char c : {0, 31, 127, 128, 159})
    EXPECT_TRUE(SameBitmap(font.Glyph(c), question)) << int{c};
  EXPECT_FALSE(SameBitmap(font.Glyph('A'), question));
}

} // namespace
