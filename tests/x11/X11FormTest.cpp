// The form inside a host's X11 window, driven with real (XTest) input on a
// real server. Skipped when there is no display.
#include "base/Error.h"
#include "toolkit/Form.h"
#include "toolkit/PlatformMessageBox.h"

// gtest first: Xlib's macros (None, Bool) would break its headers.
#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <poll.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

// Other connections' requests and events reach us in their own time: wait for
// a condition, giving up after a generous while.
bool WaitFor(const std::function<bool()>& done) {
  for (int i = 0; i < 500; ++i) {
    if (done())
      return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return done();
}

void* AsParent(Window window) {
  return reinterpret_cast<void*>(static_cast<std::uintptr_t>(window));
}

struct TMouse {
  std::string What;
  TMouseButton Button;
  TShiftState Shift;
  int X;
  int Y;
};

// Paints a pattern that shows any misplaced pixel or swapped channel, and
// records its mouse events.
class TPatternControl : public TGraphicControl {
public:
  explicit TPatternControl(TForm* form) : TGraphicControl(form) { SetParent(form); }

  void Paint(TCanvas& canvas) override {
    for (int y = 0; y < Height(); y += 4)
      for (int x = 0; x < Width(); x += 4) {
        const TColor c = static_cast<TColor>((x * 255 / Width()) << 16 | (y * 255 / Height()) << 8 |
                                             ((x + y) & 0xFF)) ^
                         Tint;
        canvas.PenColor = c;
        canvas.BrushColor = c;
        canvas.Rectangle(x, y, x + 4, y + 4);
      }
    canvas.BrushStyle = bsClear;
    canvas.Font.SetColor(clWhite);
    canvas.TextRect({0, 0, Width(), Height()}, 5, 5, "12.5 dB");
  }
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override {
    Mouse.push_back({"down", button, shift, x, y});
  }
  void MouseMove(TShiftState shift, int x, int y) override {
    Mouse.push_back({"move", mbLeft, shift, x, y});
  }
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override {
    Mouse.push_back({"up", button, shift, x, y});
  }

  TColor Tint = 0;
  std::vector<TMouse> Mouse;
};

int OpenDescriptors() {
  int count = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
    ++count;
  return count;
}

// The host's side: a connection of its own and a top-level window to embed in.
class X11FormTest : public testing::Test {
protected:
  void SetUp() override {
    if (!std::getenv("DISPLAY"))
      GTEST_SKIP() << "no X display";
    display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr) << "cannot open " << std::getenv("DISPLAY");
    XSetWindowAttributes attributes{};
    attributes.background_pixel = BlackPixel(display, DefaultScreen(display));
    parent = XCreateWindow(display, DefaultRootWindow(display), 40, 30, 500, 400, 0, CopyFromParent,
                           InputOutput, CopyFromParent, CWBackPixel, &attributes);
    XMapRaised(display, parent);
    XSync(display, False);
  }
  void TearDown() override {
    if (!display)
      return;
    XDestroyWindow(display, parent);
    XCloseDisplay(display);
  }

  std::vector<Window> Children() const {
    Window root = None;
    Window up = None;
    Window* children = nullptr;
    unsigned count = 0;
    std::vector<Window> result;
    if (XQueryTree(display, parent, &root, &up, &children, &count)) {
      result.assign(children, children + count);
      XFree(children);
    }
    return result;
  }

  // The editor window's top-left corner on the screen, where XTest points.
  std::pair<int, int> EditorOrigin() const {
    int x = 0;
    int y = 0;
    Window unused = None;
    XTranslateCoordinates(display, Children().at(0), DefaultRootWindow(display), 0, 0, &x, &y,
                          &unused);
    return {x, y};
  }

  std::unique_ptr<TForm> OpenEditor(TPatternControl** control = nullptr) {
    auto form = std::make_unique<TForm>(nullptr, AsParent(parent));
    auto* pattern = new TPatternControl(form.get());
    pattern->SetBounds(30, 52, 74, 74);
    if (control)
      *control = pattern;
    form->SetBounds(0, 0, 402, 250);
    form->Show();
    return form;
  }

  bool WindowShows(Window window, const TBitmap& expected) const {
    XImage* image = XGetImage(display, window, 0, 0, static_cast<unsigned>(expected.Width()),
                              static_cast<unsigned>(expected.Height()), AllPlanes, ZPixmap);
    if (!image)
      return false;
    bool same = true;
    for (int y = 0; y < expected.Height() && same; ++y)
      for (int x = 0; x < expected.Width() && same; ++x)
        same = (XGetPixel(image, x, y) & 0xFFFFFF) == expected.Pixel(x, y);
    XDestroyImage(image);
    return same;
  }

  // Sends fake input and lets the form take it.
  void Click(unsigned button, bool press) {
    XTestFakeButtonEvent(display, button, press ? True : False, CurrentTime);
    XSync(display, False);
  }
  void MoveTo(int x, int y) {
    XTestFakeMotionEvent(display, DefaultScreen(display), x, y, CurrentTime);
    XSync(display, False);
  }
  void Key(KeySym key, bool press) {
    XTestFakeKeyEvent(display, XKeysymToKeycode(display, key), press ? True : False, CurrentTime);
    XSync(display, False);
  }

  Display* display = nullptr;
  Window parent = None;
};

TEST_F(X11FormTest, EditorIsAnEmbeddableChildAtTheOrigin) {
  auto form = OpenEditor();
  const std::vector<Window> children = Children();
  ASSERT_EQ(children.size(), 1u);
  XWindowAttributes attributes;
  ASSERT_TRUE(XGetWindowAttributes(display, children[0], &attributes));
  EXPECT_EQ(attributes.x, 0);
  EXPECT_EQ(attributes.y, 0);
  EXPECT_EQ(attributes.width, 402);
  EXPECT_EQ(attributes.height, 250);
  EXPECT_EQ(attributes.map_state, IsViewable);

  const Atom xembedInfo = XInternAtom(display, "_XEMBED_INFO", False);
  Atom type = None;
  int format = 0;
  unsigned long count = 0;
  unsigned long rest = 0;
  unsigned char* data = nullptr;
  ASSERT_EQ(XGetWindowProperty(display, children[0], xembedInfo, 0, 2, False, AnyPropertyType,
                               &type, &format, &count, &rest, &data),
            Success);
  ASSERT_EQ(count, 2u);
  EXPECT_EQ(type, xembedInfo);
  EXPECT_EQ(format, 32);
  const long* info = reinterpret_cast<const long*>(data);
  EXPECT_EQ(info[0], 1); // version
  EXPECT_EQ(info[1], 1); // mapped
  XFree(data);

  form.reset();
  XSync(display, False);
  EXPECT_TRUE(Children().empty());
}

TEST_F(X11FormTest, WindowShowsTheBackBufferPixelForPixel) {
  TPatternControl* control = nullptr;
  auto form = OpenEditor(&control);
  form->Color = 0x336699;
  form->Repaint();
  const Window window = Children().at(0);
  EXPECT_TRUE(WaitFor([&] { return WindowShows(window, form->BackBuffer()); }));

  // A control's repaint shows without any idle.
  control->Tint = 0x00FF00;
  control->Repaint();
  EXPECT_TRUE(WaitFor([&] { return WindowShows(window, form->BackBuffer()); }));

  // Covered and uncovered again, the server repairs the window by itself.
  XSetWindowAttributes attributes{};
  attributes.override_redirect = True;
  const Window cover = XCreateWindow(display, parent, 0, 0, 300, 200, 0, CopyFromParent,
                                     InputOutput, CopyFromParent, CWOverrideRedirect, &attributes);
  XMapRaised(display, cover);
  XSync(display, False);
  XDestroyWindow(display, cover);
  XSync(display, False);
  EXPECT_TRUE(WaitFor([&] { return WindowShows(window, form->BackBuffer()); }));
}

TEST_F(X11FormTest, RealInputReachesTheControlWithShiftStateAndCapture) {
  TPatternControl* control = nullptr;
  auto form = OpenEditor(&control);
  const auto [originX, originY] = EditorOrigin();
  const auto expectEvents = [&](std::size_t count) {
    EXPECT_TRUE(WaitFor([&] {
      form->Idle();
      return control->Mouse.size() >= count;
    })) << control->Mouse.size();
  };

  MoveTo(originX + 40, originY + 60); // (10, 8) in the control
  expectEvents(1);
  Key(XK_Shift_L, true);
  Click(1, true);
  MoveTo(originX + 300, originY + 200); // outside the control: still captured
  Click(1, false);
  Key(XK_Shift_L, false);
  expectEvents(4);
  MoveTo(originX + 301, originY + 200); // no longer captured: not for the control
  Click(3, true);                       // nor is this press, outside it
  Click(3, false);
  MoveTo(originX + 41, originY + 60);
  Click(3, true);
  Click(4, true); // the wheel is not a button
  Click(4, false);
  Click(3, false);
  expectEvents(7);
  form->Idle();

  const TMouse expected[] = {
      {"move", mbLeft, 0, 10, 8},
      {"down", mbLeft, ssShift | ssLeft, 10, 8},
      {"move", mbLeft, ssShift | ssLeft, 270, 148},
      {"up", mbLeft, ssShift, 270, 148},
      {"move", mbLeft, 0, 11, 8},
      {"down", mbRight, ssRight, 11, 8},
      {"up", mbRight, 0, 11, 8},
  };
  ASSERT_EQ(control->Mouse.size(), std::size(expected));
  for (std::size_t i = 0; i < std::size(expected); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(control->Mouse[i].What, expected[i].What);
    if (expected[i].What != "move") {
      EXPECT_EQ(control->Mouse[i].Button, expected[i].Button);
    }
    EXPECT_EQ(control->Mouse[i].Shift, expected[i].Shift);
    EXPECT_EQ(control->Mouse[i].X, expected[i].X);
    EXPECT_EQ(control->Mouse[i].Y, expected[i].Y);
  }
}

// A host that runs its own loop waits on the descriptor and calls Idle when
// it is readable: the pointer's arrival must wake it, and Idle must deliver it.
TEST_F(X11FormTest, EventDescriptorWakesARunLoopThatThenDeliversTheInput) {
  TPatternControl* control = nullptr;
  auto form = OpenEditor(&control);
  const int descriptor = form->Backend().EventDescriptor();
  ASSERT_GE(descriptor, 0);
  EXPECT_NE(descriptor, XConnectionNumber(display)); // the form's own connection
  const auto [originX, originY] = EditorOrigin();
  form->Idle();
  const std::size_t before = control->Mouse.size();

  MoveTo(originX + 45, originY + 70);
  pollfd watched{descriptor, POLLIN, 0};
  ASSERT_EQ(poll(&watched, 1, 10000), 1) << "no wake-up for the pointer's move";
  form->Idle();
  EXPECT_GT(control->Mouse.size(), before);
}

TEST_F(X11FormTest, SecondQuickPressIsADoubleClickAndTheThirdStartsOver) {
  TPatternControl* control = nullptr;
  auto form = OpenEditor(&control);
  const auto [originX, originY] = EditorOrigin();
  const auto presses = [&] {
    std::vector<TShiftState> shifts;
    for (const TMouse& m : control->Mouse)
      if (m.What == "down")
        shifts.push_back(m.Shift);
    return shifts;
  };
  const auto pump = [&](std::size_t count) {
    EXPECT_TRUE(WaitFor([&] {
      form->Idle();
      return presses().size() >= count;
    }));
  };

  MoveTo(originX + 50, originY + 70);
  for (int i = 0; i < 3; ++i) {
    Click(1, true);
    Click(1, false);
  }
  pump(3);
  // A different button breaks the pair, and so does moving away.
  Click(3, true);
  Click(3, false);
  Click(1, true);
  Click(1, false);
  pump(5);
  MoveTo(originX + 60, originY + 70);
  Click(1, true);
  Click(1, false);
  pump(6);
  EXPECT_EQ(presses(),
            (std::vector<TShiftState>{ssLeft, ssLeft | ssDouble, ssLeft, ssRight, ssLeft, ssLeft}));
}

TEST_F(X11FormTest, HundredEditorsComeAndGoWithoutLeaks) {
  OpenEditor().reset(); // Xlib's one-time set-up is not a leak
  const int descriptors = OpenDescriptors();
  for (int i = 0; i < 100; ++i) {
    TPatternControl* control = nullptr;
    auto form = OpenEditor(&control);
    control->Repaint();
    form->Idle();
  }
  XSync(display, False);
  EXPECT_TRUE(Children().empty());
  EXPECT_EQ(OpenDescriptors(), descriptors);
}

int gHostErrors = 0;
int CountHostError(Display*, XErrorEvent*) {
  ++gHostErrors;
  return 0;
}

TEST_F(X11FormTest, BadParentsFailWithAnErrorAndLeaveTheHostsHandlerAlone) {
  const XErrorHandler before = XSetErrorHandler(CountHostError);
  gHostErrors = 0;
  const Window gone = XCreateSimpleWindow(display, parent, 0, 0, 1, 1, 0, 0, 0);
  XDestroyWindow(display, gone);
  XSync(display, False);
  EXPECT_THROW(TForm(nullptr, AsParent(gone)), EGlowraspError);

  const std::string display_name = std::getenv("DISPLAY");
  setenv("DISPLAY", ":4095", 1);
  EXPECT_THROW(TForm(nullptr, AsParent(parent)), EGlowraspError);
  setenv("DISPLAY", display_name.c_str(), 1);

  // The host destroys its window before it closes the editor.
  {
    TPatternControl* control = nullptr;
    auto form = OpenEditor(&control);
    XDestroyWindow(display, parent);
    XSync(display, False);
    parent = XCreateWindow(display, DefaultRootWindow(display), 0, 0, 10, 10, 0, CopyFromParent,
                           InputOutput, CopyFromParent, 0, nullptr);
    form->SetBounds(0, 0, 300, 200);
    control->Repaint();
    form->Show();
    form->Idle();
  }
  EXPECT_EQ(gHostErrors, 0);
  EXPECT_EQ(XSetErrorHandler(before), CountHostError);
}

// The message box: a window of its own that blocks its thread until dismissed.
class X11MessageBoxTest : public X11FormTest {
protected:
  Window FindBox() const {
    Window root = None;
    Window up = None;
    Window* children = nullptr;
    unsigned count = 0;
    Window found = None;
    if (XQueryTree(display, DefaultRootWindow(display), &root, &up, &children, &count)) {
      for (unsigned i = 0; i < count && found == None; ++i) {
        char* name = nullptr;
        XWindowAttributes attributes;
        if (XFetchName(display, children[i], &name) && name) {
          if (std::string(name) == "Kestrune Glowrasp" &&
              XGetWindowAttributes(display, children[i], &attributes) &&
              attributes.map_state == IsViewable)
            found = children[i];
          XFree(name);
        }
      }
      XFree(children);
    }
    return found;
  }
};

TEST_F(X11MessageBoxTest, BlocksUntilDismissed) {
  struct TWay {
    const char* Name;
    std::function<void(Window)> Dismiss;
  };
  const TWay ways[] = {
      {"Return",
       [this](Window) {
         Key(XK_Return, true);
         Key(XK_Return, false);
       }},
      {"Escape",
       [this](Window) {
         Key(XK_Escape, true);
         Key(XK_Escape, false);
       }},
      {"click on OK",
       [this](Window box) {
         XWindowAttributes a;
         XGetWindowAttributes(display, box, &a);
         // OK sits centred at the bottom.
         MoveTo(a.x + a.width / 2, a.y + a.height - 23);
         Click(1, true);
         Click(1, false);
       }},
      {"close request",
       [this](Window box) {
         XEvent event{};
         event.xclient.type = ClientMessage;
         event.xclient.window = box;
         event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
         event.xclient.format = 32;
         event.xclient.data.l[0] =
             static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
         event.xclient.data.l[1] = CurrentTime;
         XSendEvent(display, box, False, NoEventMask, &event);
         XSync(display, False);
       }},
  };
  for (const TWay& way : ways) {
    SCOPED_TRACE(way.Name);
    std::atomic<bool> returned{false};
    std::thread shown([&] {
      PlatformShowMessageBox("Exception during \"dispatchEffectClass\": a text long enough to be "
                             "wrapped over more than one line of the message box");
      returned = true;
    });
    Window box = None;
    ASSERT_TRUE(WaitFor([&] {
      box = FindBox();
      Window focus = None;
      int revert = 0;
      XGetInputFocus(display, &focus, &revert);
      return box != None && focus == box;
    }));
    EXPECT_FALSE(returned);
    way.Dismiss(box);
    EXPECT_TRUE(WaitFor([&] { return returned.load(); }));
    if (!returned) { // do not hang the run: take the box away
      XDestroyWindow(display, box);
      XSync(display, False);
    }
    shown.join();
    EXPECT_EQ(FindBox(), None);
  }
}

} // namespace
