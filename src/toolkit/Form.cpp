#include "toolkit/Form.h"

#include <algorithm>
#include <cmath>

// Holds painting back while several changes are made that end in one full
// repaint (or in none, when the form is going away).
class TForm::TPaintLock {
public:
  explicit TPaintLock(TForm& form) : FForm(form) { ++FForm.FPaintLock; }
  ~TPaintLock() { --FForm.FPaintLock; }
  TPaintLock(const TPaintLock&) = delete;
  TPaintLock& operator=(const TPaintLock&) = delete;

private:
  TForm& FForm;
};

TForm::TForm(TComponent* owner, void* parentWindow)
    : TComponent(owner), FThread(CurrentThreadId()),
      FBackend(CreateFormBackend(*this, parentWindow)) {}

TForm::~TForm() {
  TPaintLock lock(*this);
  DestroyComponents();
  // Controls owned elsewhere stay alive, without a form.
  while (!FControls.empty())
    FControls.back()->SetParent(nullptr);
  FBackend.reset();
}

void TForm::SetClientSize(int width, int height) {
  SetBounds(FLeft, FTop, width, height);
}

void TForm::SetBounds(int left, int top, int width, int height) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  const bool resized = width != FWidth || height != FHeight;
  FLeft = left;
  FTop = top;
  FWidth = width;
  FHeight = height;
  if (resized) {
    TPaintLock lock(*this);
    for (TControl* control : FControls)
      if (control->Align() == alClient)
        control->SetBounds(0, 0, width, height);
  }
  Resize();
}

void TForm::SetScale(double scale) {
  if (std::isnan(scale))
    return;
  scale = std::clamp(scale, kMinScale, kMaxScale);
  if (scale == FScale)
    return;
  FScale = scale;
  Resize();
}

void TForm::Resize() {
  const TRect bounds = PixelRect({FLeft, FTop, FLeft + FWidth, FTop + FHeight});
  const bool resized =
      bounds.Width() != FBackBuffer.Width() || bounds.Height() != FBackBuffer.Height();
  if (resized)
    FBackBuffer = TBitmap(bounds.Width(), bounds.Height(), Color);
  Backend().SetBounds(bounds);
  if (!resized)
    return;
  RepaintRect(ClientRect());
  if (OnResize)
    OnResize(this);
}

void TForm::Show() {
  Backend().SetCaption(Caption);
  RepaintRect(ClientRect());
  Backend().Show();
}

void TForm::Repaint() {
  RepaintRect(ClientRect());
}

const TBitmap& TForm::PaintRect(const TRect&) {
  // Repaints asked for on other threads go into the back buffer first.
  Idle();
  return FBackBuffer;
}

void TForm::Idle() {
  // The window's connection belongs to the form's thread alone.
  if (!OnFormThread())
    return;
  Backend().ProcessEvents();
  PollControls();
  if (!FRepaintRequested.exchange(false, std::memory_order_relaxed))
    return;
  const bool full = FFullRepaintRequested.exchange(false, std::memory_order_relaxed);
  if (full)
    RepaintRect(ClientRect());
  const std::vector<TControl*> controls = FControls; // a paint may change the z-order
  for (TControl* control : controls)
    if (control->TakeRepaintRequest() && !full)
      RepaintControl(control);
}

// By index: a control's repaint may change the z-order, never the count.
void TForm::PollControls() {
  if (!OnFormThread())
    return;
  for (std::size_t i = 0; i < FControls.size(); ++i)
    FControls[i]->Idle();
}

TControl* TForm::ControlAt(int x, int y) const {
  for (auto it = FControls.rbegin(); it != FControls.rend(); ++it)
    if ((*it)->Visible() && PixelRect((*it)->BoundsRect()).Contains({x, y}))
      return *it;
  return nullptr;
}

void TForm::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  // A press starts from the values as they are now.
  PollControls();
  if (FFocus && ControlAt(x, y) != FFocus)
    FFocus->FocusLost();
  // A press with no other button held starts afresh, even if a release was lost.
  if (!FPressActive || (shift & kMouseButtons & ~ButtonFlag(button)) == 0) {
    FCapture = ControlAt(x, y);
    FPressActive = true;
  }
  if (TControl* const control = FCapture) {
    const TRect at = PixelRect(control->BoundsRect());
    control->MouseDown(button, shift, x - at.Left, y - at.Top);
  }
  // A value the user just set shows at once, not at the next idle.
  PollControls();
}

void TForm::MouseMove(TShiftState shift, int x, int y) {
  Hover(ControlAt(x, y));
  if (TControl* const control = FPressActive ? FCapture : ControlAt(x, y)) {
    const TRect at = PixelRect(control->BoundsRect());
    control->MouseMove(shift, x - at.Left, y - at.Top);
  }
  PollControls();
}

void TForm::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  TControl* const control = FPressActive ? FCapture : ControlAt(x, y);
  if ((shift & kMouseButtons) == 0) {
    FPressActive = false;
    FCapture = nullptr;
  }
  if (control) {
    const TRect at = PixelRect(control->BoundsRect());
    control->MouseUp(button, shift, x - at.Left, y - at.Top);
  }
  PollControls();
}

bool TForm::MouseWheel(TShiftState shift, TWheelAxis axis, int delta, int x, int y) {
  TControl* const control = ControlAt(x, y);
  Hover(control);
  const int notches = FWheel[axis].Add(delta);
  if (!control)
    return false;
  const TRect at = PixelRect(control->BoundsRect());
  const bool taken = control->MouseWheel(shift, axis, notches, x - at.Left, y - at.Top);
  PollControls();
  return taken;
}

void TForm::Hover(TControl* control) {
  if (control == FHover)
    return;
  TControl* const left = FHover;
  FHover = control;
  for (TWheelAccumulator& wheel : FWheel)
    wheel.Reset();
  if (left)
    left->MouseLeave();
}

void TForm::SetFocusedControl(TControl* control) {
  if (control == FFocus)
    return;
  TControl* const old = FFocus;
  FFocus = control;
  if (old)
    old->FocusLost();
  if (control && !old)
    Backend().TakeKeyboardFocus();
  else if (!control && old)
    Backend().ReturnKeyboardFocus();
}

bool TForm::KeyDown(TEditKey key, TShiftState shift) {
  if (!FFocus)
    return false;
  FFocus->KeyDown(key, shift);
  PollControls();
  return true;
}

bool TForm::CharTyped(char c) {
  if (!FFocus)
    return false;
  FFocus->CharTyped(c);
  PollControls();
  return true;
}

void TForm::KeyboardFocusLost() {
  if (FFocus)
    FFocus->FocusLost();
}

void TForm::InsertControl(TControl* control) {
  if (std::find(FControls.begin(), FControls.end(), control) == FControls.end())
    FControls.push_back(control);
}

void TForm::RemoveControl(TControl* control) {
  const auto it = std::find(FControls.begin(), FControls.end(), control);
  if (it == FControls.end())
    return;
  FControls.erase(it);
  ReleaseInput(control);
  if (control->Visible())
    RepaintRect(control->BoundsRect());
}

void TForm::ReleaseInput(TControl* control) {
  if (FCapture == control)
    FCapture = nullptr;
  if (FHover == control)
    FHover = nullptr;
  if (FFocus == control) {
    FFocus = nullptr;
    Backend().ReturnKeyboardFocus();
  }
}

void TForm::BringToFront(TControl* control) {
  const auto it = std::find(FControls.begin(), FControls.end(), control);
  if (it == FControls.end() || it + 1 == FControls.end())
    return;
  std::rotate(it, it + 1, FControls.end());
  RepaintControl(control);
}

void TForm::RepaintControl(TControl* control) {
  if (!OnFormThread()) {
    control->Repaint(); // only marks it
    return;
  }
  if (FPainting) {
    DeferFullRepaint();
    return;
  }
  if (FPaintLock > 0 || control->Parent() != this || !control->Visible())
    return;
  if (!control->Opaque()) {
    RepaintRect(control->BoundsRect());
    return;
  }
  const TRect area = PixelRect(control->BoundsRect()).Intersect(PixelRect(ClientRect()));
  if (area.Empty())
    return;
  const auto at = std::find(FControls.begin(), FControls.end(), control);
  PaintControlsFrom(static_cast<std::size_t>(at - FControls.begin()), area);
  Backend().Present(FBackBuffer, area);
}

void TForm::DeferFullRepaint() {
  FFullRepaintRequested.store(true, std::memory_order_relaxed);
  RequestIdleRepaint();
}

void TForm::RepaintRect(const TRect& area) {
  if (!OnFormThread() || FPainting) {
    DeferFullRepaint();
    return;
  }
  if (area.Empty())
    return;
  // Every pixel a control on the area may cover: the outward rounding, and
  // the far edges that a control's rounded size may reach past it (a rounded
  // near edge never lies before the floor).
  const TRect placed = PixelRect(area);
  const TRect pixels{static_cast<int>(std::floor(area.Left * FScale)),
                     static_cast<int>(std::floor(area.Top * FScale)),
                     std::max(placed.Right, static_cast<int>(std::ceil(area.Right * FScale))),
                     std::max(placed.Bottom, static_cast<int>(std::ceil(area.Bottom * FScale)))};
  RepaintPixels(pixels);
}

void TForm::RepaintPixels(const TRect& area) {
  const TRect visible = area.Intersect({0, 0, FBackBuffer.Width(), FBackBuffer.Height()});
  if (FPaintLock > 0 || visible.Empty())
    return;
  for (int y = visible.Top; y < visible.Bottom; ++y)
    std::fill(FBackBuffer.Row(y) + visible.Left, FBackBuffer.Row(y) + visible.Right, Color);
  PaintControlsFrom(0, visible);
  Backend().Present(FBackBuffer, visible);
}

void TForm::PaintControlsFrom(std::size_t first, const TRect& area) {
  // A paint that asks for a repaint gets it at the next idle, not recursively.
  FPainting = true;
  struct TDone {
    bool& Flag;
    ~TDone() { Flag = false; }
  } done{FPainting};
  for (std::size_t i = first; i < FControls.size(); ++i) {
    TControl* const control = FControls[i];
    const TRect bounds = PixelRect(control->BoundsRect());
    const TRect clip = bounds.Intersect(area);
    if (!control->Visible() || clip.Empty())
      continue;
    TCanvas canvas(FBackBuffer, {bounds.Left, bounds.Top}, clip.Offset(-bounds.Left, -bounds.Top),
                   FScale);
    control->Paint(canvas);
  }
}
