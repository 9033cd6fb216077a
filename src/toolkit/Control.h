// Windowless controls: they live on their form's surface, in its z-order, and
// paint into its back buffer.
#pragma once

#include "base/Component.h"
#include "base/Event.h"
#include "toolkit/Canvas.h"
#include "toolkit/Graphics.h"
#include "toolkit/Keyboard.h"
#include "toolkit/Mouse.h"
#include "toolkit/MouseWheel.h"

#include <atomic>

class TForm;

enum TAlign { alNone, alClient };
using TMouseEvent =
    TEvent<void(TComponent* Sender, TMouseButton Button, TShiftState Shift, int X, int Y)>;
using TMouseMoveEvent = TEvent<void(TComponent* Sender, TShiftState Shift, int X, int Y)>;

class TControl : public TComponent {
public:
  explicit TControl(TComponent* owner);
  // Leaves its form; the area it covered is repainted.
  ~TControl() override;

  TForm* Parent() const { return FParent; }
  // Joins `parent` at the top of its z-order.
  void SetParent(TForm* parent);

  int Left() const { return FBounds.Left; }
  int Top() const { return FBounds.Top; }
  int Width() const { return FBounds.Width(); }
  int Height() const { return FBounds.Height(); }
  TRect BoundsRect() const { return FBounds; }
  // The form's pixels per editor unit (1 without a form), and the control's
  // size in pixels at that scale.
  double Scale() const;
  TSize PixelSize() const;
  // Repaints the area it leaves and the area it takes.
  void SetBounds(int left, int top, int width, int height);
  void SetLeft(int left) { SetBounds(left, Top(), Width(), Height()); }
  void SetTop(int top) { SetBounds(Left(), top, Width(), Height()); }
  void SetWidth(int width) { SetBounds(Left(), Top(), width, Height()); }
  void SetHeight(int height) { SetBounds(Left(), Top(), Width(), height); }

  bool Visible() const { return FVisible; }
  void SetVisible(bool visible);
  TAlign Align() const { return FAlign; }
  // alClient makes the control fill its form's client area.
  void SetAlign(TAlign align);
  void BringToFront();

  // An opaque control paints every pixel of its rectangle, so nothing beneath
  // it is painted when it alone is repainted.
  bool Opaque() const { return FOpaque; }
  void SetOpaque(bool opaque) { FOpaque = opaque; }

  // On the editor's thread the control is painted at once; on any other thread
  // it is only marked, and the editor's thread paints it at its next idle.
  void Repaint();
  // Taken by the form's idle: whether a repaint was asked for off its thread.
  bool TakeRepaintRequest() { return FRepaintRequested.exchange(false, std::memory_order_relaxed); }

  // Called by the form on its own thread at each idle and after the user's
  // input: a control that shows what other threads change looks at it here.
  virtual void Idle() {}

  // The canvas's origin is the control's top-left corner; drawing is clipped
  // to the control's rectangle. Canvas coordinates are pixels.
  virtual void Paint(TCanvas&) {}

  // Called by the form with pixel coordinates relative to the control.
  virtual void MouseDown(TMouseButton button, TShiftState shift, int x, int y);
  virtual void MouseMove(TShiftState shift, int x, int y);
  virtual void MouseUp(TMouseButton button, TShiftState shift, int x, int y);

  // Whole wheel notches over the control (up and right positive), in pixels
  // from its top-left corner. False when the control has no use for them.
  virtual bool MouseWheel(TShiftState, TWheelAxis, int /*notches*/, int /*x*/, int /*y*/) {
    return false;
  }
  // The pointer went to another control or out of the window.
  virtual void MouseLeave() {}

  // The keyboard, while the control holds its form's keyboard focus.
  virtual void KeyDown(TEditKey, TShiftState) {}
  virtual void CharTyped(char) {}
  // The focus went elsewhere: a press on another control, or another window
  // took the keyboard.
  virtual void FocusLost() {}

  TMouseEvent OnMouseDown;
  TMouseMoveEvent OnMouseMove;
  TMouseEvent OnMouseUp;

private:
  TForm* FParent = nullptr;
  TRect FBounds;
  bool FVisible = true;
  TAlign FAlign = alNone;
  bool FOpaque = false;
  std::atomic<bool> FRepaintRequested{false};
};

// A control without a window of its own, drawn by its form.
class TGraphicControl : public TControl {
public:
  using TControl::TControl;
};
