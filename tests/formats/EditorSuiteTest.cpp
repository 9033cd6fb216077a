// Every format's editor in a real X server: a knob dragged with real
// pointer input is told to the host as one gesture, begin, the values, end,
// the instance takes the value and the editor shows it as the VST 2 editor
// does; and where the format keeps a state, the zoom the user picks in the
// editor goes into it and an instance restored from it opens at that zoom.
#include "SuiteSupport.h"
#include "xhost/VstRendering.h"
#include "xhost/XSession.h"
#include "xhost/ZoomMenu.h"
#include "xhost/ZoomSettingsFile.h"

#include <chrono>
#include <cmath>
#include <functional>
#include <thread>

namespace formats {
namespace {

constexpr int kWidth = 402;
constexpr int kHeight = 250;
constexpr unsigned kLeftButton = 1;

std::uintptr_t Handle(Window window) {
  return static_cast<std::uintptr_t>(window);
}

class TEditorHost {
public:
  TEditorHost(TXSession& x, TFormatDriver& driver) : FX(x), FDriver(driver) {}
  ~TEditorHost() { Close(); }
  TEditorHost(const TEditorHost&) = delete;
  TEditorHost& operator=(const TEditorHost&) = delete;

  // The host's loop until `done` holds or a generous deadline passes.
  bool RunUntil(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    for (;;) {
      FDriver.RunEventLoopOnce();
      if (done())
        return true;
      if (std::chrono::steady_clock::now() > deadline)
        return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }

  // Opens the editor in a host window of the given size and waits until its
  // window shows; 0 when it did not.
  Window Open(int width = kWidth, int height = kHeight) {
    FHostWindow = FX.CreateHostWindow(width, height);
    if (!FDriver.OpenEditor(Handle(FHostWindow)))
      return 0;
    const bool shown = RunUntil([&] {
      const auto children = FX.Children(FHostWindow);
      return children.size() == 1 && FX.Viewable(children[0]);
    });
    return shown ? FX.Children(FHostWindow)[0] : 0;
  }

  void Close() {
    if (!FHostWindow)
      return;
    FX.ReleaseButtons();
    FDriver.CloseEditor();
    FX.DestroyWindow(FHostWindow);
    FHostWindow = 0;
  }

private:
  TXSession& FX;
  TFormatDriver& FDriver;
  Window FHostWindow = 0;
};

struct TDragCase {
  const char* Name;
  int Param;
  TPoint Press;
  int Dx;
  int Dy;
  double Expected;     // the last value the host is told, in the parameter's unit
  float HostValues[3]; // the VST 2 host values the editor then shows
};

void PrintTo(const TDragCase& c, std::ostream* os) {
  *os << c.Name;
}

using TGestureTest = TFormatCaseTest<TDragCase>;

TEST_P(TGestureTest, ADragIsOneGestureTheInstanceTakes) {
  const TDragCase& c = Case();
  TXSession x;
  ASSERT_TRUE(x) << "no X display: run under tests/run-with-xvfb.sh";
  const auto driver = Make();
  driver->Start(44100.0, 512);
  TEditorHost host(x, *driver);
  const Window editor = host.Open();
  ASSERT_NE(editor, 0u) << "the editor's window did not appear";
  EXPECT_TRUE(driver->TakeEditEvents().empty()) << "opening the editor tells the host nothing";

  x.DragIn(editor, c.Press, c.Dx, c.Dy, kLeftButton);
  std::vector<TEditEvent> events;
  ASSERT_TRUE(host.RunUntil([&] {
    for (const TEditEvent& e : driver->TakeEditEvents())
      events.push_back(e);
    return !events.empty() && events.back().Kind == TEditEvent::End;
  })) << "no gesture end; heard "
      << ::testing::PrintToString(events);

  ASSERT_GE(events.size(), 3u) << ::testing::PrintToString(events);
  EXPECT_EQ(events.front().Kind, TEditEvent::Begin);
  EXPECT_EQ(events.front().Param, c.Param);
  EXPECT_EQ(events.back().Param, c.Param);
  for (std::size_t i = 1; i + 1 < events.size(); ++i) {
    EXPECT_EQ(events[i].Kind, TEditEvent::Perform) << ::testing::PrintToString(events);
    EXPECT_EQ(events[i].Param, c.Param);
  }
  EXPECT_NEAR(events[events.size() - 2].Value, c.Expected, 1e-4);
  EXPECT_NEAR(driver->Value(c.Param).value_or(NAN), c.Expected, 1e-4) << "the instance's value";

  const TPixels expected = VstRendering(c.HostValues[0], c.HostValues[1], c.HostValues[2]);
  const auto screen = [&] { return x.Screenshot(editor, kWidth, kHeight); };
  EXPECT_TRUE(host.RunUntil([&] { return screen() == expected; }))
      << DescribeDifference(screen(), expected);
}

const TDragCase kDragCases[] = {
    {"GainUp40", kGain, {67, 89}, 0, -40, 4.8, {0.55f, 1.0f, 0.5f}},
    {"IntensityDown40", kIntensity, {179, 89}, 0, 40, 90.0, {0.5f, 0.9f, 0.5f}},
    {"OutGainRight30", kOutGain, {290, 89}, 30, 0, 0.288, {0.5f, 1.0f, 0.503f}},
};

INSTANTIATE_TEST_SUITE_P(Formats, TGestureTest,
                         ::testing::Combine(::testing::ValuesIn(Formats()),
                                            ::testing::ValuesIn(kDragCases)),
                         FormatAndCaseName<TDragCase>);

using TZoomTest = TFormatTest;

TEST_P(TZoomTest, TheZoomPickedInTheEditorIsKeptInTheState) {
  const auto driver = Make();
  if (const TUnsupported why = driver->CannotKeepState())
    GTEST_SKIP() << *why << "; the zoom lives in the user's settings alone";
  TXSession x;
  ASSERT_TRUE(x) << "no X display: run under tests/run-with-xvfb.sh";
  const TZoomSettingsFile file;
  ASSERT_TRUE(file) << "run under tests/run-with-xvfb.sh";
  std::optional<TSavedState> saved;
  {
    TEditorHost host(x, *driver);
    const Window editor = host.Open();
    ASSERT_NE(editor, 0u);
    ASSERT_TRUE(PickZoomMenuItem(
        x, editor, kZoomMenu200Percent, [&] { return x.Screenshot(editor, kWidth, kHeight); },
        [&](const std::function<bool()>& done) { return host.RunUntil(done); }))
        << "the zoom menu did not open";
    ASSERT_TRUE(host.RunUntil([&] { return driver->ResizeRequests() > 0; }))
        << "the host was not asked for a larger window";
    EXPECT_EQ(x.WindowSize(editor), std::make_pair(804, 500));
    EXPECT_EQ(driver->StateChangeNotices(), 1) << "the host is told the state changed";
    saved = driver->SaveState();
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->Editor, (std::vector<std::uint8_t>{'K', 'G', 'R', 'E', 1, 0, 200, 0}));
  }

  // The user's settings say otherwise by now; the instance's own zoom wins,
  // and without one the settings apply.
  file.Write("zoom=125\n");
  const auto restored = Make();
  ASSERT_TRUE(restored->LoadState(*saved));
  const auto fresh = Make();
  const struct {
    const char* Name;
    TFormatDriver& Driver;
    std::pair<int, int> Size;
  } opened[] = {{"restored", *restored, {804, 500}}, {"fresh", *fresh, {503, 313}}};
  for (const auto& o : opened) {
    TEditorHost host(x, o.Driver);
    const Window editor = host.Open(o.Size.first, o.Size.second);
    ASSERT_NE(editor, 0u) << o.Name;
    EXPECT_EQ(x.WindowSize(editor), o.Size) << o.Name;
  }
}

INSTANTIATE_TEST_SUITE_P(Formats, TZoomTest, ::testing::ValuesIn(Formats()), FormatName);

} // namespace
} // namespace formats
