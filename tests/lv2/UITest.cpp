// The LV2 UI in a real X server: made from its descriptor inside a host
// window, driven by XTest input and by port events, and compared with what
// the VST build's editor paints offscreen.
#include "hostlib/PluginHost.h"
#include "xhost/VstRendering.h"
#include "xhost/XSession.h"

#include <gtest/gtest.h>
#include <lv2/atom/atom.h>
#include <lv2/options/options.h>
#include <lv2/ui/ui.h>
#include <lv2/urid/urid.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <dlfcn.h>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int kWidth = 402;
constexpr int kHeight = 250;
constexpr unsigned kLeftButton = 1;

enum TPort : std::uint32_t { kGainPort = 4, kIntensityPort = 5, kOutGainPort = 6 };

// What the UI told its host, in order.
struct THostEvent {
  enum TKind { heWrite, heGrab, heUngrab } Kind;
  std::uint32_t Port;
  float Value;
  bool operator==(const THostEvent&) const = default;
};

void PrintTo(const THostEvent& e, std::ostream* os) {
  static const char* const kinds[] = {"write", "grab", "ungrab"};
  *os << kinds[e.Kind] << " port " << e.Port;
  if (e.Kind == THostEvent::heWrite)
    *os << " = " << e.Value;
}

// The host side of the UI: records port writes, touches and resize requests.
class TUIHost {
public:
  TUIHost() {
    FLibrary = dlopen(GLOWRASP_LV2_BUNDLE "/KestruneGlowrasp_ui.so", RTLD_NOW | RTLD_LOCAL);
    if (!FLibrary) {
      ADD_FAILURE() << dlerror();
      return;
    }
    auto entry = reinterpret_cast<LV2UI_DescriptorFunction>(dlsym(FLibrary, "lv2ui_descriptor"));
    FDescriptor = entry ? entry(0) : nullptr;
  }
  ~TUIHost() {
    Close();
    if (FLibrary)
      dlclose(FLibrary);
  }
  TUIHost(const TUIHost&) = delete;
  TUIHost& operator=(const TUIHost&) = delete;

  const LV2UI_Descriptor* Descriptor() const { return FDescriptor; }

  // The UI in `parent`, or null; with `parent` 0 the host offers no parent
  // window. A scale above 0 is offered as the ui:scaleFactor option.
  LV2UI_Handle Open(Window parent, float scale = 0) {
    void* parentData = reinterpret_cast<void*>(static_cast<std::uintptr_t>(parent));
    const LV2_Feature parentFeature{LV2_UI__parent, parentData};
    const LV2_Feature resizeFeature{LV2_UI__resize, &FResize};
    const LV2_Feature touchFeature{LV2_UI__touch, &FTouch};
    const LV2_Feature idleFeature{LV2_UI__idleInterface, nullptr};
    const LV2_Feature mapFeature{LV2_URID__map, &FMap};
    const std::vector<LV2_Options_Option> options = ScaleOptions(scale);
    const LV2_Feature optionsFeature{LV2_OPTIONS__options,
                                     const_cast<LV2_Options_Option*>(options.data())};
    std::vector<const LV2_Feature*> features{&resizeFeature, &touchFeature, &idleFeature};
    if (parent)
      features.push_back(&parentFeature);
    if (scale > 0) {
      features.push_back(&mapFeature);
      features.push_back(&optionsFeature);
    }
    features.push_back(nullptr);
    FHandle = FDescriptor->instantiate(FDescriptor, GLOWRASP_LV2_URI, GLOWRASP_LV2_BUNDLE "/",
                                       &Write, this, &Widget, features.data());
    if (FHandle)
      FIdle = static_cast<const LV2UI_Idle_Interface*>(
          FDescriptor->extension_data(LV2_UI__idleInterface));
    return FHandle;
  }
  void Close() {
    if (FHandle)
      FDescriptor->cleanup(FHandle);
    FHandle = nullptr;
  }

  void PortEvent(std::uint32_t port, float value) {
    FDescriptor->port_event(FHandle, port, sizeof value, 0, &value);
  }
  int Idle() { return FIdle ? FIdle->idle(FHandle) : -1; }
  // A new scale through the options interface, as hosts send it while the UI is open.
  std::uint32_t SetScale(float scale) {
    const auto* interface = static_cast<const LV2_Options_Interface*>(
        FDescriptor->extension_data(LV2_OPTIONS__interface));
    if (!interface)
      return LV2_OPTIONS_ERR_UNKNOWN;
    const std::vector<LV2_Options_Option> options = ScaleOptions(scale);
    return interface->set(FHandle, options.data());
  }
  // Calls idle until `done` holds or a generous deadline passes.
  bool IdleUntil(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    for (;;) {
      Idle();
      if (done())
        return true;
      if (std::chrono::steady_clock::now() > deadline)
        return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }

  LV2UI_Widget Widget = nullptr;
  std::vector<THostEvent> Events;
  std::vector<std::pair<int, int>> Resizes;

private:
  static void Write(LV2UI_Controller controller, std::uint32_t port, std::uint32_t size,
                    std::uint32_t protocol, const void* buffer) {
    auto* host = static_cast<TUIHost*>(controller);
    ASSERT_EQ(protocol, 0u);
    ASSERT_EQ(size, sizeof(float));
    float value = 0;
    std::memcpy(&value, buffer, sizeof value);
    host->Events.push_back({THostEvent::heWrite, port, value});
  }
  static void Touch(LV2UI_Feature_Handle handle, std::uint32_t port, bool grabbed) {
    static_cast<TUIHost*>(handle)->Events.push_back(
        {grabbed ? THostEvent::heGrab : THostEvent::heUngrab, port, 0});
  }
  static int Resize(LV2UI_Feature_Handle handle, int width, int height) {
    static_cast<TUIHost*>(handle)->Resizes.emplace_back(width, height);
    return 0;
  }

  static LV2_URID Map(LV2_URID_Map_Handle handle, const char* uri) {
    auto& uris = static_cast<TUIHost*>(handle)->FUris;
    const auto at = std::find(uris.begin(), uris.end(), uri);
    if (at != uris.end())
      return static_cast<LV2_URID>(at - uris.begin() + 1);
    uris.emplace_back(uri);
    return static_cast<LV2_URID>(uris.size());
  }

  // The option list: ui:scaleFactor as a float, then the terminating zero entry.
  std::vector<LV2_Options_Option> ScaleOptions(const float& scale) {
    return {{LV2_OPTIONS_INSTANCE, 0, Map(this, LV2_UI__scaleFactor), sizeof(float),
             Map(this, LV2_ATOM__Float), &scale},
            {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr}};
  }

  void* FLibrary = nullptr;
  std::vector<std::string> FUris;
  LV2_URID_Map FMap{this, &Map};
  const LV2UI_Descriptor* FDescriptor = nullptr;
  LV2UI_Handle FHandle = nullptr;
  const LV2UI_Idle_Interface* FIdle = nullptr;
  LV2UI_Resize FResize{this, &Resize};
  LV2UI_Touch FTouch{this, &Touch};
};

float DecibelsToHost(float db) {
  return static_cast<float>(db / 96.0 + 0.5);
}

class TLV2UITest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(X) << "no X display: run under tests/run-with-xvfb.sh";
    ASSERT_NE(Host.Descriptor(), nullptr);
    HostWindow = X.CreateHostWindow(kWidth, kHeight);
  }
  void TearDown() override {
    if (!X)
      return;
    X.ReleaseButtons();
    Host.Close();
    X.DestroyWindow(HostWindow);
  }

  // Opens the UI and waits until its window is on the screen.
  void ShowUI() {
    ASSERT_NE(Host.Open(HostWindow), nullptr);
    UIWindow = static_cast<Window>(reinterpret_cast<std::uintptr_t>(Host.Widget));
    ASSERT_TRUE(Host.IdleUntil([this] { return X.Viewable(UIWindow); }))
        << "the UI's window did not appear";
  }

  TPixels Screen() { return X.Screenshot(UIWindow, kWidth, kHeight); }

  void ExpectScreenShows(const TPixels& expected, const char* what) {
    const bool shown = Host.IdleUntil([&] { return Screen() == expected; });
    EXPECT_TRUE(shown) << what << ": " << DescribeDifference(Screen(), expected);
  }

  void MoveTo(TPoint point) { X.MovePointerIn(UIWindow, point.X, point.Y); }

  void Drag(TPoint from, int dx, int dy) { X.DragIn(UIWindow, from, dx, dy, kLeftButton); }

  bool Ungrabbed(std::uint32_t port) const {
    return std::find(Host.Events.begin(), Host.Events.end(),
                     THostEvent{THostEvent::heUngrab, port, 0}) != Host.Events.end();
  }

  TXSession X;
  TUIHost Host;
  Window HostWindow = 0;
  Window UIWindow = 0;
};

TEST_F(TLV2UITest, EmbedsItsFixedSizeWindowInTheHostsWindow) {
  ShowUI();
  EXPECT_EQ(X.Children(HostWindow), std::vector<Window>{UIWindow});
  XWindowAttributes attributes;
  ASSERT_TRUE(XGetWindowAttributes(X.Connection(), UIWindow, &attributes));
  EXPECT_EQ(attributes.x, 0);
  EXPECT_EQ(attributes.y, 0);
  EXPECT_EQ(attributes.width, kWidth);
  EXPECT_EQ(attributes.height, kHeight);
  EXPECT_EQ(Host.Resizes, (std::vector<std::pair<int, int>>{{kWidth, kHeight}}));
  EXPECT_EQ(Host.Idle(), 0);
  EXPECT_TRUE(Host.Events.empty()) << "opening the UI tells the host nothing";

  Host.Close();
  XSync(X.Connection(), False);
  EXPECT_TRUE(X.Children(HostWindow).empty()) << "cleanup leaves a window behind";
}

TEST_F(TLV2UITest, TheHostsScaleFactorSizesTheWindowAndTheResizeRequest) {
  ASSERT_NE(Host.Open(HostWindow, 2), nullptr);
  UIWindow = static_cast<Window>(reinterpret_cast<std::uintptr_t>(Host.Widget));
  ASSERT_TRUE(Host.IdleUntil([this] { return X.Viewable(UIWindow); }));
  XWindowAttributes attributes;
  ASSERT_TRUE(XGetWindowAttributes(X.Connection(), UIWindow, &attributes));
  EXPECT_EQ(attributes.width, 2 * kWidth);
  EXPECT_EQ(attributes.height, 2 * kHeight);
  EXPECT_EQ(Host.Resizes, (std::vector<std::pair<int, int>>{{2 * kWidth, 2 * kHeight}}));

  // A later change through the options interface resizes again.
  EXPECT_EQ(Host.SetScale(1.5f), static_cast<std::uint32_t>(LV2_OPTIONS_SUCCESS));
  Host.Idle();
  XSync(X.Connection(), False);
  ASSERT_TRUE(XGetWindowAttributes(X.Connection(), UIWindow, &attributes));
  EXPECT_EQ(attributes.width, 603);
  EXPECT_EQ(attributes.height, 375);
  EXPECT_EQ(Host.Resizes.back(), (std::pair<int, int>{603, 375}));
}

TEST_F(TLV2UITest, WithoutAParentWindowThereIsNoUI) {
  EXPECT_EQ(Host.Open(0), nullptr);
}

TEST_F(TLV2UITest, ShowsWhatTheVstEditorPaints) {
  ShowUI();
  ExpectScreenShows(VstRendering(0.5f, 1.0f, 0.5f), "the UI at the defaults");
}

TEST_F(TLV2UITest, PortEventsMoveKnobsAndReadOutsWithoutEcho) {
  ShowUI();
  Host.PortEvent(kGainPort, 12.0f);
  Host.PortEvent(kIntensityPort, 33.3f);
  Host.PortEvent(kOutGainPort, -20.0f);
  // Ports the UI shows nothing of, and values in no protocol it knows, change nothing.
  Host.PortEvent(7, 6.0f);
  Host.PortEvent(8, 0.0f);
  Host.PortEvent(99, 1.0f);
  const float ignored = 48.0f;
  Host.Descriptor()->port_event(nullptr, kGainPort, sizeof ignored, 0, &ignored);
  ExpectScreenShows(VstRendering(DecibelsToHost(12), 0.333f, DecibelsToHost(-20)),
                    "the UI after the port events");
  EXPECT_TRUE(Host.Events.empty()) << "a value from the host went back to it";
}

struct TDragCase {
  const char* Name;
  std::uint32_t Port;
  float Start; // sent as a port event before the drag
  TPoint Press;
  int Dx;
  int Dy;
  float Expected;        // the last value written, in the port's unit
  float ExpectedHost[3]; // the VST host values that show the same
};

void PrintTo(const TDragCase& c, std::ostream* os) {
  *os << c.Name;
}

class TLV2UIDragTest : public TLV2UITest, public ::testing::WithParamInterface<TDragCase> {};

TEST_P(TLV2UIDragTest, WritesUnitValuesBetweenTouches) {
  const TDragCase& c = GetParam();
  ShowUI();
  Host.PortEvent(c.Port, c.Start);
  Host.Idle();
  Drag(c.Press, c.Dx, c.Dy);
  ASSERT_TRUE(Host.IdleUntil([&] { return Ungrabbed(c.Port); }))
      << "no touch release for port " << c.Port << "; heard "
      << ::testing::PrintToString(Host.Events);

  const std::vector<THostEvent>& events = Host.Events;
  ASSERT_GE(events.size(), 3u) << ::testing::PrintToString(events);
  EXPECT_EQ(events.front(), (THostEvent{THostEvent::heGrab, c.Port, 0}));
  EXPECT_EQ(events.back(), (THostEvent{THostEvent::heUngrab, c.Port, 0}));
  for (std::size_t i = 1; i + 1 < events.size(); ++i) {
    EXPECT_EQ(events[i].Kind, THostEvent::heWrite);
    EXPECT_EQ(events[i].Port, c.Port);
  }
  EXPECT_EQ(events[events.size() - 2].Value, c.Expected);
  ExpectScreenShows(VstRendering(c.ExpectedHost[0], c.ExpectedHost[1], c.ExpectedHost[2]),
                    "the UI after the drag");
}

const TDragCase kDragCases[] = {
    {"GainUp40", kGainPort, 0.0f, {67, 89}, 0, -40, 4.8f, {0.55f, 1.0f, 0.5f}},
    {"IntensityDown40", kIntensityPort, 100.0f, {179, 89}, 0, 40, 90.0f, {0.5f, 0.9f, 0.5f}},
    {"OutGainRight30", kOutGainPort, 0.0f, {290, 89}, 30, 0, 0.288f, {0.5f, 1.0f, 0.503f}},
};

INSTANTIATE_TEST_SUITE_P(Cases, TLV2UIDragTest, ::testing::ValuesIn(kDragCases),
                         [](const auto& testInfo) { return std::string(testInfo.param.Name); });

TEST_F(TLV2UITest, DoubleClickWritesTheDefaultInsideATouch) {
  ShowUI();
  Host.PortEvent(kGainPort, 30.0f);
  Host.Idle();
  for (int click = 0; click < 2; ++click) {
    MoveTo({67, 89});
    X.Press(kLeftButton);
    X.Release(kLeftButton);
  }
  const auto count = [&](THostEvent::TKind kind) {
    return std::count_if(Host.Events.begin(), Host.Events.end(),
                         [&](const THostEvent& e) { return e.Kind == kind; });
  };
  ASSERT_TRUE(Host.IdleUntil([&] {
    return count(THostEvent::heWrite) == 1 && count(THostEvent::heGrab) == 2 &&
           count(THostEvent::heUngrab) == 2;
  })) << ::testing::PrintToString(Host.Events);
  // One gesture for the first press, one around the reset of the second.
  const auto write = std::find_if(Host.Events.begin(), Host.Events.end(), [](const THostEvent& e) {
    return e.Kind == THostEvent::heWrite;
  });
  ASSERT_NE(write, Host.Events.begin());
  ASSERT_NE(write + 1, Host.Events.end());
  EXPECT_EQ(*write, (THostEvent{THostEvent::heWrite, kGainPort, 0.0f}));
  EXPECT_EQ(*(write - 1), (THostEvent{THostEvent::heGrab, kGainPort, 0}));
  EXPECT_EQ(*(write + 1), (THostEvent{THostEvent::heUngrab, kGainPort, 0}));
}

} // namespace
