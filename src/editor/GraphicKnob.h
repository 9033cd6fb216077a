// The rotary control: shows the filmstrip frame that belongs to its
// parameter's value and turns mouse drags into value requests. It never sets
// the value itself; it finds the applied value at the form's next idle.
//
// Hosts change parameters from their own threads while the editor is open:
// those threads only store the value, and the knob compares it with the one
// it shows on the editor's thread.
#pragma once

#include "editor/EditGesture.h"
#include "editor/GraphicContainerControl.h"
#include "editor/WheelBurst.h"
#include "params/VSTParameterSource.h"

#include <atomic>
#include <cstdint>

class TGraphicKnob : public TGraphicContainerControl {
public:
  explicit TGraphicKnob(TComponent* owner);
  ~TGraphicKnob() override;

  // Presses count only inside the circle inscribed in the knob's width.
  bool Radial = true;
  // Value units per step and pixels per step; horizontal travel is the fine
  // adjustment, vertical the coarse one. Never below 1.
  std::int32_t StepSlow() const { return FStepSlow; }
  std::int32_t StepFast() const { return FStepFast; }
  std::int32_t StepScaleH() const { return FStepScaleH; }
  std::int32_t StepScaleV() const { return FStepScaleV; }
  void SetStepSlow(std::int32_t value);
  void SetStepFast(std::int32_t value);
  void SetStepScaleH(std::int32_t value);
  void SetStepScaleV(std::int32_t value);

  TVSTParameterSource* ParamSrc() const { return FParamSrc; }
  void SetParamSrc(TVSTParameterSource* source);
  // Dragged along while Shift (same value) or Alt (same change) is held at the
  // press. Not listened to: it must outlive the knob or be cleared first.
  TVSTParameterSource* SyncParamSrc = nullptr;

  std::int32_t MinCache() const { return FMinCache.load(std::memory_order_relaxed); }
  std::int32_t MaxCache() const { return FMaxCache.load(std::memory_order_relaxed); }
  std::int32_t ValueCache() const { return FValueCache.load(std::memory_order_relaxed); }
  // Where a host's modulation holds the value, as last polled; the value
  // itself while nothing modulates. A thin arc on the ring joins the two.
  std::int32_t ModulatedCache() const { return FModulatedCache.load(std::memory_order_relaxed); }
  static constexpr TColor kModulationColor = 0xB4500A;
  bool Dragging() const { return FDragging; }
  bool SyncActive() const { return FSyncActive; }
  std::int32_t DragDelta() const { return FDragDelta; }
  // The filmstrip frame the cached value shows.
  std::int32_t FrameIndex() const;

  void Paint(TCanvas& canvas) override;
  void Idle() override;
  // A notch moves one coarse step, with Shift or sideways one fine step.
  bool MouseWheel(TShiftState Shift, TWheelAxis Axis, int Notches, int X, int Y) override;
  void MouseLeave() override { FWheel.End(); }

  void KnobMouseDown(TComponent* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void KnobMouseMove(TComponent* Sender, TShiftState Shift, int X, int Y);
  void KnobMouseUp(TComponent* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);

protected:
  // One frame: the knob shows one at a time.
  TSize AutoSizeOf(const TGraphicContainer& container) const override;
  bool FollowsFrameSize() const override { return true; }

private:
  enum TReadItem : unsigned { riMin = 1, riMax = 2, riValue = 4, riAll = 7 };

  void ParamNotify(void* Sender, std::uint8_t Kind, std::int32_t Value);
  void ReadParam(const TVSTParameterSource& source, unsigned items);
  TVSTParameter* Parameter() const;
  void PaintModulation(TCanvas& canvas) const;
  // Whether a point (pixels from the corner) lies on the knob.
  bool Hits(int x, int y) const;
  // The sync parameter, unless it is missing or the knob's own.
  TVSTParameter* SyncParameter() const;

  std::atomic<std::int32_t> FMinCache{0};
  std::atomic<std::int32_t> FMaxCache{100};
  std::atomic<std::int32_t> FValueCache{0};
  std::atomic<std::int32_t> FModulatedCache{0};
  std::int32_t FStepSlow = 1;
  std::int32_t FStepFast = 10;
  std::int32_t FStepScaleH = 10;
  std::int32_t FStepScaleV = 20;
  bool FDragging = false;
  bool FSyncActive = false;
  std::int32_t FDragStartX = 0;
  std::int32_t FDragStartY = 0;
  std::int32_t FDragDelta = 0;
  std::int32_t FDragStartValue = 0;
  std::int32_t FSyncStartValue = 0;
  TVSTParameterSource* FParamSrc = nullptr;
  TEditGesture FGesture; // from the press that starts a drag to the release
  TWheelBurst FWheel;
};
