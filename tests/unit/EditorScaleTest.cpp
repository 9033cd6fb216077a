// The editor at a scale: where the scale comes from, the zoom menu and the
// user's settings file, and knob drags that feel the same at every size.
#include "EditorFixture.h"

#include "editor/ZoomSetting.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <string>
#include <thread>

namespace {

// A configuration folder of the test's own, so the user's real settings
// neither change a result nor get changed.
class TConfigFolder {
public:
  TConfigFolder() {
    const char* old = std::getenv("XDG_CONFIG_HOME");
    FOld = old ? std::optional<std::string>(old) : std::nullopt;
    FFolder =
        std::filesystem::temp_directory_path() /
        ("glowrasp-config-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
         "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(FFolder);
    std::filesystem::create_directories(FFolder);
    setenv("XDG_CONFIG_HOME", FFolder.c_str(), 1);
  }
  ~TConfigFolder() {
    if (FOld)
      setenv("XDG_CONFIG_HOME", FOld->c_str(), 1);
    else
      unsetenv("XDG_CONFIG_HOME");
    std::error_code error;
    std::filesystem::remove_all(FFolder, error);
  }
  TConfigFolder(const TConfigFolder&) = delete;
  TConfigFolder& operator=(const TConfigFolder&) = delete;

private:
  std::filesystem::path FFolder;
  std::optional<std::string> FOld;
};

void WriteFile(const std::filesystem::path& path, const std::string& text) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

TEST(EditorScale, TheUsersZoomWinsThenTheHostThenTheDesktop) {
  constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
  struct TCase {
    double User, Host, Desktop, Expected;
  };
  for (const TCase& c :
       {TCase{kFollowHost, 0, 0, 1}, TCase{kFollowHost, 2, 1.5, 2}, TCase{kFollowHost, 0, 1.5, 1.5},
        TCase{1.25, 2, 1.5, 1.25}, TCase{kFollowHost, kNaN, 0, 1}, TCase{kFollowHost, 7, 0, 3},
        TCase{kFollowHost, 0.5, 2, 1}, TCase{kFollowHost, -2, 2, 2}}) {
    EXPECT_EQ(TFormEditor::ChooseScale(c.User, c.Host, c.Desktop), c.Expected)
        << c.User << " " << c.Host << " " << c.Desktop;
  }
}

// Two hosts, or two editors, saving the zoom at the same moment: every save
// succeeds, the file holds one of them whole, and no temporary file stays.
TEST(ZoomSetting, SavesAtTheSameMomentAllSucceed) {
  const TConfigFolder config;
  std::atomic<int> failures{0};
  const auto saver = [&failures](double zoom) {
    for (int round = 0; round < 200; ++round)
      failures += WriteZoomSetting(zoom) ? 0 : 1;
  };
  std::thread first(saver, 1.5);
  std::thread second(saver, 2.0);
  first.join();
  second.join();
  EXPECT_EQ(failures.load(), 0);
  const double kept = ReadZoomSetting();
  EXPECT_TRUE(kept == 1.5 || kept == 2.0) << kept;
  const std::filesystem::path folder = ZoomSettingFile().parent_path();
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder),
                          std::filesystem::directory_iterator()),
            1);
}

TEST(ZoomSetting, ReadsOnlyWholePercentsFromOneToThreeTimes) {
  struct TCase {
    const char* Text;
    double Zoom;
  };
  for (const TCase& c : {TCase{"zoom=150\n", 1.5}, TCase{"zoom=250\r\n", 2.5},
                         TCase{"zoom=follow-host\n", kFollowHost}, TCase{"", kFollowHost},
                         TCase{"zoom=abc", kFollowHost}, TCase{"zoom=99", kFollowHost},
                         TCase{"zoom=301", kFollowHost}, TCase{"zoom=1.5", kFollowHost},
                         TCase{"# mine\nzoom=200\n", 2}, TCase{"zoom=200\nzoom=x\n", kFollowHost},
                         TCase{"\x89PNG\r\n\x1a\n\0\0", kFollowHost}}) {
    EXPECT_EQ(ParseZoomSetting(c.Text), c.Zoom) << c.Text;
  }
  for (const double zoom : kZoomSteps)
    EXPECT_EQ(ParseZoomSetting(FormatZoomSetting(zoom)), zoom);
  EXPECT_EQ(ParseZoomSetting(FormatZoomSetting(kFollowHost)), kFollowHost);
}

TEST(ZoomSetting, FileRoundTripsAndAnythingWrongMeansFollowHost) {
  const TConfigFolder config;
  const std::filesystem::path file = ZoomSettingFile();
  EXPECT_EQ(ReadZoomSetting(), kFollowHost) << "missing";
  ASSERT_TRUE(WriteZoomSetting(2.5));
  EXPECT_EQ(ReadZoomSetting(), 2.5);
  EXPECT_FALSE(std::filesystem::exists(file.string() + ".tmp"));

  WriteFile(file, std::string(100000, 'z'));
  EXPECT_EQ(ReadZoomSetting(), kFollowHost) << "too large to be ours";
  std::filesystem::remove(file);
  std::filesystem::create_directories(file);
  EXPECT_EQ(ReadZoomSetting(), kFollowHost) << "not a file";
  EXPECT_FALSE(WriteZoomSetting(2)) << "a folder in the way is reported, not fatal";
}

class EditorScaleFixture : public EditorFixture {
protected:
  // A drag on the knob from its centre by (dx, dy) pixels; the value it leaves.
  std::int32_t Drag(TGraphicKnob& knob, int dx, int dy) {
    const TRect at = Form->PixelRect(knob.BoundsRect());
    const int x = (at.Left + at.Right) / 2;
    const int y = (at.Top + at.Bottom) / 2;
    const std::int32_t before = knob.ParamSrc()->Parameter()->CurValue();
    Form->MouseDown(mbLeft, ssLeft, x, y);
    Form->MouseMove(ssLeft, x + dx, y + dy);
    Form->MouseUp(mbLeft, 0, x + dx, y + dy);
    const std::int32_t after = knob.ParamSrc()->Parameter()->CurValue();
    knob.ParamSrc()->Parameter()->SetCurValue(before);
    return after;
  }

  void Click(TMouseButton button, TPoint at) {
    Form->MouseDown(button, ButtonFlag(button), at.X, at.Y);
    Form->MouseUp(button, 0, at.X, at.Y);
  }

  // The centre of a zoom menu item, in pixels.
  TPoint MenuItem(int index) const {
    const TRect box = Form->ZoomMenu->Box();
    const int top = box.Top + TPopupMenu::kPadding + index * TPopupMenu::kItemHeight;
    return {static_cast<int>((box.Left + box.Right) / 2 * Form->Scale()),
            static_cast<int>((top + TPopupMenu::kItemHeight / 2) * Form->Scale())};
  }

  TConfigFolder Config;
};

TEST_F(EditorScaleFixture, TheSameGestureInUnitsGivesTheSameValueAtEveryScale) {
  struct TGesture {
    int Dx, Dy;
  };
  const TGesture gestures[] = {{37, 0}, {0, -53}, {15, 25}, {-101, 7}, {4, -6}, {-240, -300}};
  std::vector<std::int32_t> atOne;
  for (const TGesture& g : gestures)
    atOne.push_back(Drag(*Form->GKGain, g.Dx, g.Dy));
  for (const double scale : {1.5, 2.0, 3.0}) {
    Form->SetHostScale(scale);
    ASSERT_EQ(Form->Scale(), scale);
    for (std::size_t i = 0; i < std::size(gestures); ++i) {
      // Whole pixels: the scaled travel, rounded as a pointer would land.
      const int dx = static_cast<int>(std::lround(gestures[i].Dx * scale));
      const int dy = static_cast<int>(std::lround(gestures[i].Dy * scale));
      EXPECT_EQ(Drag(*Form->GKGain, dx, dy), atOne[i]) << "scale " << scale << ", gesture " << i;
    }
  }
}

TEST_F(EditorScaleFixture, KnobAndReadOutAreDrawnAtTheirScaledPlaces) {
  Form->SetHostScale(2);
  // The knob's frame is drawn from the 2x filmstrip: its pixels at 2x equal
  // the frame there, without any resizing.
  const TGraphicContainer& strip = *EffectDataModule->KnobImage;
  const auto dense = strip.PixelsAt(2, true);
  const int frame = Form->GKGain->FrameIndex();
  const int fx = frame % strip.ImageCountX() * 148;
  const int fy = frame / strip.ImageCountX() * 148;
  const TRect at = Form->PixelRect(Form->GKGain->BoundsRect());
  ASSERT_EQ(at, (TRect{60, 104, 208, 252}));
  for (int y = 0; y < 148; y += 7)
    for (int x = 0; x < 148; x += 7)
      ASSERT_EQ(Form->BackBuffer().Pixel(at.Left + x, at.Top + y), dense->Pixel(fx + x, fy + y));
}

TEST_F(EditorScaleFixture, TheZoomMenuSetsTheScaleAndRemembersIt) {
  Form->SetHostScale(2);
  Click(mbRight, {20, 400});
  ASSERT_TRUE(Form->ZoomMenu->Visible());
  EXPECT_EQ(Form->ZoomMenu->Checked, static_cast<int>(kZoomSteps.size())) << "follow host";

  Click(mbLeft, MenuItem(2)); // 150 %
  EXPECT_FALSE(Form->ZoomMenu->Visible());
  EXPECT_EQ(Form->Scale(), 1.5);
  EXPECT_EQ(Form->PixelSize().Width, 603);
  EXPECT_EQ(Form->PixelSize().Height, 375);
  EXPECT_EQ(ReadZoomSetting(), 1.5);

  // A press away from the menu closes it and changes nothing.
  Click(mbRight, {10, 10});
  EXPECT_EQ(Form->ZoomMenu->Checked, 2);
  Click(mbLeft, {590, 360});
  EXPECT_FALSE(Form->ZoomMenu->Visible());
  EXPECT_EQ(Form->Scale(), 1.5);

  Click(mbRight, {10, 10});
  Click(mbLeft, MenuItem(static_cast<int>(kZoomSteps.size()))); // follow host
  EXPECT_EQ(Form->Scale(), 2);
  EXPECT_EQ(ReadZoomSetting(), kFollowHost);
}

TEST_F(EditorScaleFixture, TheMenuStaysOnTheFormNearTheEdges) {
  Click(mbRight, {400, 248});
  const TRect box = Form->ZoomMenu->Box();
  EXPECT_LE(box.Right, 402);
  EXPECT_LE(box.Bottom, 250);
  EXPECT_GE(box.Top, 0);
}

} // namespace
