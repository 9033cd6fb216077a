// A borderless form: the surface its controls paint on (a back buffer) and,
// through a backend, the native child window that shows it. A form without a
// parent window lives offscreen (tests and screenshots).
//
// Sizes and control bounds are in editor units; the form is drawn at a scale
// (pixels per unit, 1 to 3), so the back buffer, the window and the pointer
// positions are in pixels: ScaledLength of the units.
#pragma once

#include "base/Component.h"
#include "base/ThreadSupport.h"
#include "toolkit/Bitmap.h"
#include "toolkit/Control.h"
#include "toolkit/Font.h"
#include "toolkit/FormBackend.h"

#include <atomic>
#include <memory>
#include <string>
#include <vector>

enum TBorderStyle { bsNone, bsSingle };

class TForm : public TComponent, private TFormBackendClient {
public:
  // parentWindow: the native window to live in (an X11 Window id, an HWND), or
  // null for an offscreen form. Raises EGlowraspError when the window system
  // cannot give the form its window.
  TForm(TComponent* owner, void* parentWindow);
  // Destroys its components, then its window.
  ~TForm() override;

  std::string Caption;
  TBorderStyle BorderStyle = bsNone;
  TColor Color = clBtnFace;
  TFont Font;
  bool Scaled = false;
  int PixelsPerInch = 96;

  int ClientWidth() const { return FWidth; }
  int ClientHeight() const { return FHeight; }
  TRect ClientRect() const { return {0, 0, ClientWidth(), ClientHeight()}; }
  void SetClientSize(int width, int height);

  // Position in the parent window, and size (which is the client size).
  void SetBounds(int left, int top, int width, int height);

  static constexpr double kMinScale = 1;
  static constexpr double kMaxScale = 3;
  double Scale() const { return FScale; }
  // Clamped to kMinScale .. kMaxScale; NaN changes nothing. Resizes the
  // window and repaints everything at the new density.
  void SetScale(double scale);
  // The client area in pixels: the back buffer's and the window's size.
  TSize PixelSize() const { return {FBackBuffer.Width(), FBackBuffer.Height()}; }
  // Editor units to pixels, as controls are placed.
  TRect PixelRect(const TRect& units) const { return ScaledRect(units, FScale); }
  // After the window's pixel size changed (a new size or scale): the host
  // must give the window that size.
  TEvent<void(TForm* Sender)> OnResize;
  // Makes the form visible and brings it to the front.
  void Show();
  // Takes it off the screen until the next Show.
  void Hide() { Backend().Hide(); }
  // Paints the whole form now.
  void Repaint();
  // The editor thread's turn: window events, then what the controls find
  // changed, then repaints asked for on other threads.
  void Idle() override;
  // Lets every control look at what it shows and paint what changed, on the
  // form's thread; elsewhere it does nothing.
  void PollControls();

  const TBitmap& BackBuffer() const { return FBackBuffer; }
  // Bottom of the z-order first.
  const std::vector<TControl*>& Controls() const { return FControls; }
  bool OnFormThread() const { return CurrentThreadId() == FThread; }
  TFormBackend& Backend() { return *FBackend; }

  // Input in client pixels, from the backend (or a test). The control under
  // the pointer gets the press and, while a button is held, every move and
  // the release (capture), in pixels from its own top-left corner.
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseMove(TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
  // The control under the pointer gets the whole notches, each axis gathered
  // apart and started afresh when the pointer moves to another control.
  // False when no control takes them (the host may have a use for them).
  bool MouseWheel(TShiftState shift, TWheelAxis axis, int delta, int x, int y) override;
  void MouseLeave() override { Hover(nullptr); }

  // The control that takes the keys; null while none does, and then keys are
  // left to the host. While one has it the window holds the keyboard. A press
  // on any other control, or another window taking the keyboard, tells the
  // control FocusLost first.
  TControl* FocusedControl() const { return FFocus; }
  void SetFocusedControl(TControl* control);
  bool KeyDown(TEditKey key, TShiftState shift) override;
  bool CharTyped(char c) override;
  void KeyboardFocusLost() override;

  // Used by the controls.
  void InsertControl(TControl* control);
  void RemoveControl(TControl* control);
  void BringToFront(TControl* control);
  // A control that is hidden or leaves the form loses the mouse (the rest of
  // that press goes to no control) and the keyboard.
  void ReleaseInput(TControl* control);
  // The opaque/transparent rule: an opaque control is painted with everything
  // visible above it; a transparent one repaints its area from the bottom up.
  void RepaintControl(TControl* control);
  // Repaints an area (editor units) from the bottom of the z-order up.
  void RepaintRect(const TRect& area);
  // A control's repaint asked for on another thread.
  void RequestIdleRepaint() { FRepaintRequested.store(true, std::memory_order_relaxed); }

private:
  class TPaintLock;

  TSize ClientSize() const override { return PixelSize(); }
  const TBitmap& PaintRect(const TRect& area) override;

  // Brings the back buffer and the window to the size and scale set.
  void Resize();
  void RepaintPixels(const TRect& area);

  TControl* ControlAt(int x, int y) const;
  // The pointer is over `control` (or none) now.
  void Hover(TControl* control);
  void PaintControlsFrom(std::size_t first, const TRect& area);
  void DeferFullRepaint();

  std::uintptr_t FThread;
  TBitmap FBackBuffer;
  int FLeft = 0;
  int FTop = 0;
  int FWidth = 0;
  int FHeight = 0;
  double FScale = 1;
  std::vector<TControl*> FControls;
  TControl* FCapture = nullptr;
  bool FPressActive = false; // a press is held, whether or not a control took it
  TControl* FHover = nullptr;
  TControl* FFocus = nullptr;
  TWheelAccumulator FWheel[2]; // by TWheelAxis
  bool FPainting = false;
  int FPaintLock = 0; // while resizing or dying, a full repaint follows or none is needed
  std::atomic<bool> FRepaintRequested{false};
  std::atomic<bool> FFullRepaintRequested{false};
  std::unique_ptr<TFormBackend> FBackend;
};
