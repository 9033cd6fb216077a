// glowrasp-render --editor-screenshot end to end: the real plug-in's editor,
// opened without a window, read back from the PNG it wrote.
#include "tools/RenderProcess.h"
#include "tools/ToolTestSupport.h"

#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace glowrasp::testing {
namespace {

constexpr int kWidth = 402;
constexpr int kHeight = 250;

struct Rect {
  int left;
  int top;
  int width;
  int height;
  bool contains(int x, int y) const {
    return x >= left && x < left + width && y >= top && y < top + height;
  }
};

// Each parameter's knob and read-out.
struct Column {
  Rect knob;
  Rect readOut;
};
constexpr Column kColumns[] = {{{30, 52, 74, 74}, {31, 137, 71, 24}},
                               {{142, 52, 74, 74}, {143, 137, 71, 24}},
                               {{253, 52, 74, 74}, {255, 137, 71, 24}}};

struct Png {
  png_uint_32 width = 0;
  png_uint_32 height = 0;
  png_uint_32 format = 0; // as stored in the file
  std::vector<png_byte> rgb;

  bool sameAt(const Png& other, int x, int y) const {
    const std::size_t at = (static_cast<std::size_t>(y) * width + x) * 3;
    return std::equal(rgb.begin() + at, rgb.begin() + at + 3, other.rgb.begin() + at);
  }
};

Png readPng(const std::string& path) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str()))
    throw std::runtime_error("cannot read " + path + ": " + image.message);
  Png png{image.width, image.height, image.format, {}};
  image.format = PNG_FORMAT_RGB;
  png.rgb.resize(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, png.rgb.data(), 0, nullptr))
    throw std::runtime_error("cannot decode " + path + ": " + image.message);
  return png;
}

// Renders a screenshot with extra arguments and reads it back.
Png screenshot(const TempDir& dir, const std::string& name, std::vector<std::string> extra = {}) {
  std::vector<std::string> args{"--editor-screenshot", dir.file(name)};
  args.insert(args.end(), extra.begin(), extra.end());
  const auto run = runRender(dir, args);
  if (run.status != 0)
    throw std::runtime_error("glowrasp-render failed: " + run.err);
  return readPng(dir.file(name));
}

// Where two pictures differ, as points.
std::vector<std::pair<int, int>> differences(const Png& a, const Png& b) {
  std::vector<std::pair<int, int>> points;
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x)
      if (!a.sameAt(b, x, y))
        points.emplace_back(x, y);
  return points;
}

TEST(EditorScreenshot, WritesTheEditorAsAnRgbPngAndNothingElse) {
  TempDir dir;
  writeText(dir.file("editor.png"), "an older file");
  const auto run = runRender(dir, {"--editor-screenshot", dir.file("editor.png")});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_NE(run.out.find("402 x 250"), std::string::npos) << run.out;

  const Png png = readPng(dir.file("editor.png"));
  EXPECT_EQ(png.width, static_cast<png_uint_32>(kWidth));
  EXPECT_EQ(png.height, static_cast<png_uint_32>(kHeight));
  EXPECT_EQ(png.format, static_cast<png_uint_32>(PNG_FORMAT_RGB)) << "8-bit RGB, no alpha";
  EXPECT_EQ(dir.names(), std::vector<std::string>{"editor.png"}) << "temporary files left behind";
}

struct ParameterCase {
  const char* name;
  std::vector<std::string> args;
  int column;
};

void PrintTo(const ParameterCase& c, std::ostream* os) {
  *os << c.name;
}

class EditorScreenshotParameters : public ::testing::TestWithParam<ParameterCase> {};

TEST_P(EditorScreenshotParameters, ChangeOnlyTheirOwnKnobAndReadOut) {
  TempDir dir;
  const Png defaults = screenshot(dir, "defaults.png");
  const Png changed = screenshot(dir, "changed.png", GetParam().args);
  const Column& column = kColumns[GetParam().column];
  int inKnob = 0;
  int inReadOut = 0;
  for (const auto& [x, y] : differences(defaults, changed)) {
    ASSERT_TRUE(column.knob.contains(x, y) || column.readOut.contains(x, y))
        << "changed pixel outside the column at " << x << ", " << y;
    (column.knob.contains(x, y) ? inKnob : inReadOut)++;
  }
  EXPECT_GT(inKnob, 0) << "the knob did not turn";
  EXPECT_GT(inReadOut, 0) << "the read-out did not change";
}

INSTANTIATE_TEST_SUITE_P(Values, EditorScreenshotParameters,
                         ::testing::Values(ParameterCase{"Gain", {"--gain", "+6"}, 0},
                                           ParameterCase{"Intensity", {"--intensity", "60"}, 1},
                                           ParameterCase{"OutGain", {"--out-gain", "-2"}, 2}),
                         [](const auto& test) { return std::string(test.param.name); });

TEST(EditorScreenshot, HelpOverlayCoversTheWholeEditorWhateverTheValues) {
  TempDir dir;
  const Png editor = screenshot(dir, "editor.png");
  const Png help = screenshot(dir, "help.png", {"--help-overlay"});
  const auto changed = differences(editor, help);
  ASSERT_FALSE(changed.empty());
  int left = kWidth, top = kHeight, right = 0, bottom = 0;
  for (const auto& [x, y] : changed) {
    left = std::min(left, x);
    top = std::min(top, y);
    right = std::max(right, x);
    bottom = std::max(bottom, y);
  }
  EXPECT_LT(left, 10);
  EXPECT_LT(top, 10);
  EXPECT_GT(right, kWidth - 10);
  EXPECT_GT(bottom, kHeight - 10);

  const Png helpWithValues =
      screenshot(dir, "help-values.png", {"--help-overlay", "--gain", "12", "--intensity", "5"});
  EXPECT_TRUE(differences(help, helpWithValues).empty()) << "knobs or read-outs show through";
}

struct ScaleCase {
  const char* name;
  const char* scale;
  const char* reference; // in tests/data
  int width;
  int height;
  // Per colour channel. Where the artwork is resized (1.5: from the 2x
  // pictures) floating-point rounding may differ by a step between builds;
  // at 1 and 2 the pictures are drawn as they are, so nothing may differ.
  int tolerance;
};

void PrintTo(const ScaleCase& c, std::ostream* os) {
  *os << c.name;
}

class EditorScreenshotScales : public ::testing::TestWithParam<ScaleCase> {};

TEST_P(EditorScreenshotScales, MatchTheReferencePicture) {
  const ScaleCase& c = GetParam();
  TempDir dir;
  const Png shot = screenshot(dir, "editor.png", {"--scale", c.scale, "--gain", "6"});
  const Png reference = readPng(std::string(GLOWRASP_SOURCE_DIR "/tests/data/") + c.reference);
  ASSERT_EQ(shot.width, static_cast<png_uint_32>(c.width));
  ASSERT_EQ(shot.height, static_cast<png_uint_32>(c.height));
  ASSERT_EQ(reference.width, shot.width);
  ASSERT_EQ(reference.height, shot.height);
  int worst = 0;
  for (std::size_t i = 0; i < shot.rgb.size(); ++i)
    worst = std::max(worst, std::abs(int{shot.rgb[i]} - int{reference.rgb[i]}));
  EXPECT_LE(worst, c.tolerance);
}

INSTANTIATE_TEST_SUITE_P(Scales, EditorScreenshotScales,
                         ::testing::Values(ScaleCase{"One", "1", "editor-1x.png", 402, 250, 0},
                                           ScaleCase{"OneAndAHalf", "1.5", "editor-1.5x.png", 603,
                                                     375, 1},
                                           ScaleCase{"Two", "2", "editor-2x.png", 804, 500, 0}),
                         [](const auto& test) { return std::string(test.param.name); });

TEST(EditorScreenshot, HelpOverlayAtTwiceTheScaleCoversTheWholeEditor) {
  TempDir dir;
  const Png editor = screenshot(dir, "editor.png", {"--scale", "2"});
  const Png help = screenshot(dir, "help.png", {"--scale", "2", "--help-overlay"});
  ASSERT_EQ(help.width, 804u);
  // The middle knob's panel, where the overlay's dark card lies: the click
  // found the hot spot at its scaled place.
  EXPECT_FALSE(editor.sameAt(help, 358, 178));
}

class EditorScreenshotStopSignals : public ::testing::TestWithParam<int> {};

TEST_P(EditorScreenshotStopSignals, StopMidwayAndLeaveTheFileAlone) {
  // The stand-in editor opens only once the test closes the gate, so the
  // signal comes in the middle of the run, which could then go on.
  TempDir dir;
  const std::string gate = dir.file("gate");
  ASSERT_EQ(mkfifo(gate.c_str(), 0600), 0);
  writeText(dir.file("shot.png"), "an older file");
  const auto before = dir.names();
  RenderProcess render(
      dir, {"--editor-screenshot", dir.file("shot.png"), "--plugin", GLOWRASP_FAKE_EDITOR_GATED},
      {}, {"env", "GLOWRASP_FAKE_EDITOR_GATE=" + gate});
  // The gate opens for writing once the editor waits at it.
  int gateEnd = -1;
  ASSERT_TRUE(eventually([&] {
    return (gateEnd = open(gate.c_str(), O_WRONLY | O_NONBLOCK)) >= 0;
  })) << "the editor never came to the gate";
  kill(render.pid(), GetParam());
  close(gateEnd);
  const auto run = render.waitWhileStalled(kStopGuard);

  ASSERT_TRUE(run) << "the screenshot did not end";
  EXPECT_EQ(run->signal, GetParam()) << "status " << run->status << ": " << run->err;
  EXPECT_EQ(run->err,
            "glowrasp-render: stopped by SIG" + std::string(sigabbrev_np(GetParam())) + "\n");
  EXPECT_EQ(readText(dir.file("shot.png")), "an older file");
  EXPECT_EQ(dir.names(), before) << "files left behind";
}

INSTANTIATE_TEST_SUITE_P(Signals, EditorScreenshotStopSignals, ::testing::Values(SIGINT, SIGTERM),
                         [](const auto& test) { return std::string(sigabbrev_np(test.param)); });

struct ErrorCase {
  const char* name;
  // "@" stands for the screenshot's path; in.wav... for paths in the scratch folder.
  std::vector<std::string> args;
  const char* message; // a part of the one-line error
};

void PrintTo(const ErrorCase& c, std::ostream* os) {
  *os << c.name;
}

class EditorScreenshotErrors : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(EditorScreenshotErrors, FailWithOneLineAndLeaveTheFileAlone) {
  TempDir dir;
  const std::string target = dir.file("shot.png");
  writeText(target, "an older file");
  writeAudio(dir.file("in.wav"), {1, 44100, SF_FORMAT_WAV | SF_FORMAT_FLOAT, {0.5f, 0.25f}});
  std::vector<std::string> args;
  for (const auto& arg : GetParam().args)
    args.push_back(arg == "@" ? target : arg.starts_with("in.wav") ? dir.file(arg) : arg);
  const auto before = dir.names();

  const auto run = runRender(dir, args);
  EXPECT_NE(run.status, 0);
  EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
  EXPECT_EQ(run.err.rfind("glowrasp-render: ", 0), 0u) << run.err;
  EXPECT_NE(run.err.find(GetParam().message), std::string::npos) << run.err;
  EXPECT_EQ(readText(target), "an older file");
  EXPECT_EQ(dir.names(), before) << "files left behind";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EditorScreenshotErrors,
    ::testing::Values(
        ErrorCase{"AudioFileGiven", {"--editor-screenshot", "@", "in.wav"}, "no audio files"},
        ErrorCase{"AudioOption", {"--editor-screenshot", "@", "--block", "64"}, "--block"},
        ErrorCase{
            "HelpOverlayAlone", {"in.wav", "@", "--help-overlay"}, "needs --editor-screenshot"},
        ErrorCase{"EmptyFileName", {"--editor-screenshot="}, "needs a file name"},
        ErrorCase{"GainOutOfRange", {"--editor-screenshot", "@", "--gain", "49"}, "out of range"},
        ErrorCase{"ScaleOutOfRange", {"--editor-screenshot", "@", "--scale", "4"}, "out of range"},
        ErrorCase{"ScaleForAudio", {"in.wav", "@", "--scale", "2"}, "needs --editor-screenshot"},
        ErrorCase{"MissingFolder", {"--editor-screenshot", "in.wav/shot.png"}, "cannot write"},
        ErrorCase{"PluginWithoutEditor",
                  {"--editor-screenshot", "@", "--plugin", GLOWRASP_FAKE_NO_EDITOR},
                  "has no editor"},
        ErrorCase{"EditorDoesNotOpen",
                  {"--editor-screenshot", "@", "--plugin", GLOWRASP_FAKE_EDITOR_WONT_OPEN},
                  "did not open its editor"},
        ErrorCase{"SnapshotRefused",
                  {"--editor-screenshot", "@", "--plugin", GLOWRASP_FAKE_EDITOR_NO_SNAPSHOT},
                  "refused"}),
    [](const auto& test) { return std::string(test.param.name); });

} // namespace
} // namespace glowrasp::testing
