#include "toolkit/Control.h"

#include "toolkit/Form.h"

#include <algorithm>
#include <climits>

namespace {

// right = left + size without overflow; a negative size counts as 0.
int Far(int near, int size) {
  return static_cast<int>(
      std::min<long long>(static_cast<long long>(near) + std::max(size, 0), INT_MAX));
}

TRect Union(const TRect& a, const TRect& b) {
  if (a.Empty())
    return b;
  if (b.Empty())
    return a;
  return {std::min(a.Left, b.Left), std::min(a.Top, b.Top), std::max(a.Right, b.Right),
          std::max(a.Bottom, b.Bottom)};
}

} // namespace

TControl::TControl(TComponent* owner) : TComponent(owner) {}

TControl::~TControl() {
  SetParent(nullptr);
}

void TControl::SetParent(TForm* parent) {
  if (parent == FParent)
    return;
  if (TForm* old = FParent) {
    FParent = nullptr;
    old->RemoveControl(this);
  }
  FParent = parent;
  if (!FParent)
    return;
  FParent->InsertControl(this);
  if (FAlign == alClient)
    FBounds = FParent->ClientRect();
  Repaint();
}

void TControl::SetBounds(int left, int top, int width, int height) {
  const TRect bounds = FAlign == alClient && FParent
                           ? FParent->ClientRect()
                           : TRect{left, top, Far(left, width), Far(top, height)};
  if (bounds == FBounds)
    return;
  const TRect old = FBounds;
  FBounds = bounds;
  if (FParent && FVisible)
    FParent->RepaintRect(Union(old, bounds));
}

double TControl::Scale() const {
  return FParent ? FParent->Scale() : 1.0;
}

TSize TControl::PixelSize() const {
  const TRect pixels = ScaledRect(FBounds, Scale());
  return {pixels.Width(), pixels.Height()};
}

void TControl::SetVisible(bool visible) {
  if (visible == FVisible)
    return;
  FVisible = visible;
  if (!FParent)
    return;
  if (visible) {
    Repaint();
  } else {
    FParent->ReleaseInput(this);
    FParent->RepaintRect(FBounds);
  }
}

void TControl::SetAlign(TAlign align) {
  if (align == FAlign)
    return;
  FAlign = align;
  SetBounds(Left(), Top(), Width(), Height());
}

void TControl::BringToFront() {
  if (FParent)
    FParent->BringToFront(this);
}

void TControl::Repaint() {
  TForm* const parent = FParent;
  if (!parent)
    return;
  if (parent->OnFormThread()) {
    parent->RepaintControl(this);
  } else {
    FRepaintRequested.store(true, std::memory_order_relaxed);
    parent->RequestIdleRepaint();
  }
}

void TControl::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (OnMouseDown)
    OnMouseDown(this, button, shift, x, y);
}

void TControl::MouseMove(TShiftState shift, int x, int y) {
  if (OnMouseMove)
    OnMouseMove(this, shift, x, y);
}

void TControl::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  if (OnMouseUp)
    OnMouseUp(this, button, shift, x, y);
}
