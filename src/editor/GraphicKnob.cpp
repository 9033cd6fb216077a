#include "editor/GraphicKnob.h"

#include "params/NotifierLink.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace {

// Halves go to the even count. Travel is in pixels and the step in editor
// units: the same gesture in units gives the same steps at every scale.
std::int64_t Steps(std::int32_t travel, std::int32_t unitsPerStep, double scale) {
  return static_cast<std::int64_t>(
      std::nearbyint(static_cast<double>(travel) / (unitsPerStep * scale)));
}

// Far drags with large steps leave the 32-bit range; the parameter clamps
// whatever arrives, so saturating keeps the meaning.
std::int32_t Saturate(std::int64_t v) {
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(
      v, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

} // namespace

TGraphicKnob::TGraphicKnob(TComponent* owner) : TGraphicContainerControl(owner, true) {
  SetBounds(Left(), Top(), 32, 32);
  SetOpaque(true);
  OnMouseDown = TMouseEvent::Bind<&TGraphicKnob::KnobMouseDown>(this);
  OnMouseMove = TMouseMoveEvent::Bind<&TGraphicKnob::KnobMouseMove>(this);
  OnMouseUp = TMouseEvent::Bind<&TGraphicKnob::KnobMouseUp>(this);
}

TGraphicKnob::~TGraphicKnob() {
  Unlink(FParamSrc, this);
}

void TGraphicKnob::SetStepSlow(std::int32_t value) {
  FStepSlow = std::max(value, 1);
}
void TGraphicKnob::SetStepFast(std::int32_t value) {
  FStepFast = std::max(value, 1);
}
void TGraphicKnob::SetStepScaleH(std::int32_t value) {
  FStepScaleH = std::max(value, 1);
}
void TGraphicKnob::SetStepScaleV(std::int32_t value) {
  FStepScaleV = std::max(value, 1);
}

void TGraphicKnob::SetParamSrc(TVSTParameterSource* source) {
  if (Relink(FParamSrc, source, this,
             TGraphicNotifyEvent::Bind<&TGraphicKnob::ParamNotify>(this)) &&
      source)
    ReadParam(*source, riAll);
}

// May run on the host's thread: touches only the caches and the repaint mark.
void TGraphicKnob::ParamNotify(void* Sender, std::uint8_t Kind, std::int32_t) {
  const auto& source = *static_cast<const TVSTParameterSource*>(Sender);
  switch (Kind) {
  case gnDestroying:
    FParamSrc = nullptr;
    FGesture.Forget();
    FWheel.Forget();
    break;
  case gnRangeChanged:
    ReadParam(source, riMin | riMax);
    break;
  case gnSourceChanged:
    FGesture.Forget();
    FWheel.Forget();
    ReadParam(source, riAll);
    break;
  default:
    break;
  }
}

// An unbound source leaves the last picture standing.
void TGraphicKnob::ReadParam(const TVSTParameterSource& source, unsigned items) {
  const TVSTParameter* param = source.Parameter();
  if (!param)
    return;
  if (items & riMax)
    FMaxCache.store(param->MaxValue(), std::memory_order_relaxed);
  if (items & riMin)
    FMinCache.store(param->MinValue(), std::memory_order_relaxed);
  if (items & riValue) {
    FValueCache.store(param->CurValue(), std::memory_order_relaxed);
    FModulatedCache.store(param->ModulatedValue(), std::memory_order_relaxed);
  }
  Repaint();
}

// A modulating host tells no one: its amount is polled with the value.
void TGraphicKnob::Idle() {
  FWheel.Idle(TWheelBurst::TClock::now());
  const TVSTParameter* param = Parameter();
  if (param && (param->CurValue() != ValueCache() || param->ModulatedValue() != ModulatedCache()))
    ReadParam(*FParamSrc, riValue);
}

TSize TGraphicKnob::AutoSizeOf(const TGraphicContainer& container) const {
  return {container.Width(), container.Height()};
}

// Between a range change and the value change that follows it the cached
// value may lie outside the cached range: the frame stays inside the picture.
std::int32_t TGraphicKnob::FrameIndex() const {
  const std::int32_t count = Container() ? Container()->ImageCount() : 0;
  const double low = MinCache();
  const double range = MaxCache() - low;
  if (count <= 0 || range == 0)
    return 0;
  const double position = (ValueCache() - low) / range * (count - 1);
  return static_cast<std::int32_t>(std::nearbyint(std::clamp(position, 0.0, count - 1.0)));
}

void TGraphicKnob::Paint(TCanvas& canvas) {
  const TGraphicContainer* filmstrip = Container();
  if (!filmstrip || filmstrip->ImageCount() == 0) {
    canvas.PenColor = clBlack;
    canvas.BrushColor = clBtnFace;
    canvas.BrushStyle = bsSolid;
    canvas.Rectangle(0, 0, PixelSize().Width, PixelSize().Height);
    return;
  }
  const std::int32_t i = FrameIndex();
  const std::int32_t column = i % filmstrip->ImageCountX();
  const std::int32_t row = i / filmstrip->ImageCountX();
  // The clip keeps exactly the one frame of the whole filmstrip.
  const TSize frame = ScaledSize({filmstrip->Width(), filmstrip->Height()}, canvas.Scale());
  canvas.Draw(-column * frame.Width, -row * frame.Height,
              *filmstrip->PixelsAt(canvas.Scale(), true));
  PaintModulation(canvas);
}

namespace {

// The skin's ring: a 270 degree sweep from the lower left, clockwise, around
// the centre of the frame. The modulation arc runs in the light band just
// inside the ring, as fractions of the frame's width.
constexpr double kSweepStart = 1.25 * std::numbers::pi;
constexpr double kSweep = 1.5 * std::numbers::pi;
constexpr double kModulationRadius = 29.5 / 74;
constexpr double kModulationWidth = 2.0 / 74;

} // namespace

void TGraphicKnob::PaintModulation(TCanvas& canvas) const {
  const std::int32_t value = ValueCache();
  const std::int32_t modulated = ModulatedCache();
  const double low = MinCache();
  const double range = MaxCache() - low;
  if (modulated == value || range <= 0)
    return;
  const auto angle = [&](std::int32_t v) {
    return kSweepStart - std::clamp((v - low) / range, 0.0, 1.0) * kSweep;
  };
  const double size = PixelSize().Width;
  canvas.PenColor = kModulationColor;
  canvas.Arc(size / 2, PixelSize().Height / 2.0, size * kModulationRadius,
             std::max(size * kModulationWidth, 1.0), angle(value), angle(modulated));
}

TVSTParameter* TGraphicKnob::Parameter() const {
  return FParamSrc ? FParamSrc->Parameter() : nullptr;
}

TVSTParameter* TGraphicKnob::SyncParameter() const {
  TVSTParameter* sync = SyncParamSrc ? SyncParamSrc->Parameter() : nullptr;
  return sync != Parameter() ? sync : nullptr;
}

bool TGraphicKnob::Hits(int x, int y) const {
  if (!Radial)
    return true;
  const int m = PixelSize().Width / 2;
  const double dx = x - m;
  const double dy = y - m;
  return std::sqrt(dx * dx + dy * dy) <= m;
}

void TGraphicKnob::KnobMouseDown(TComponent*, TMouseButton, TShiftState Shift, int X, int Y) {
  TVSTParameter* param = Parameter();
  // Other buttons never start anything by themselves.
  if (!param || !Hits(X, Y) || !(Shift & ssLeft))
    return;
  // The hand has moved on from the wheel: its touch ends before the next.
  FWheel.End();
  TVSTParameter* sync = (Shift & (ssShift | ssAlt)) ? SyncParameter() : nullptr;
  FSyncActive = sync != nullptr;
  if (sync)
    FSyncStartValue = sync->CurValue();
  if (Shift & ssDouble) {
    const std::int32_t def = param->DefValue();
    RequestValueGesture(*param, def);
    if (sync)
      RequestValueGesture(*sync, def);
    return;
  }
  FGesture.Begin(param, sync);
  FDragStartX = X;
  FDragStartY = Y;
  FDragStartValue = ValueCache();
  FDragging = true;
}

// The value follows the total travel since the press, so returning to the
// press point returns to the start value.
void TGraphicKnob::KnobMouseMove(TComponent*, TShiftState Shift, int X, int Y) {
  if (!FDragging)
    return;
  TVSTParameter* param = Parameter();
  if (!param)
    return;
  const std::int32_t right = X - FDragStartX;
  const std::int32_t up = FDragStartY - Y;
  FDragDelta = Saturate(Steps(right, FStepScaleH, Scale()) * FStepSlow +
                        Steps(up, FStepScaleV, Scale()) * FStepFast);
  const std::int32_t v = Saturate(std::int64_t{FDragStartValue} + FDragDelta);
  param->RequestValue(v);
  if (!FSyncActive)
    return;
  TVSTParameter* sync = SyncParameter();
  if (!sync)
    return;
  if (Shift & ssShift)
    sync->RequestValue(v);
  else if (Shift & ssAlt)
    sync->RequestValue(Saturate(std::int64_t{FSyncStartValue} + FDragDelta));
}

bool TGraphicKnob::MouseWheel(TShiftState Shift, TWheelAxis Axis, int Notches, int X, int Y) {
  TVSTParameter* param = Parameter();
  if (!param || !Hits(X, Y))
    return false;
  // A smooth wheel between notches, or a drag under way: nothing to do yet.
  if (Notches == 0 || FDragging)
    return true;
  const std::int64_t step = Axis == waHorizontal || (Shift & ssShift) ? FStepSlow : FStepFast;
  FWheel.Notch(*param, TWheelBurst::TClock::now());
  param->RequestValue(Saturate(param->CurValue() + Notches * step));
  return true;
}

void TGraphicKnob::KnobMouseUp(TComponent*, TMouseButton, TShiftState, int, int) {
  FDragging = false;
  FGesture.End();
}
