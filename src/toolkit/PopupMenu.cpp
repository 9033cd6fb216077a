#include "toolkit/PopupMenu.h"

#include "toolkit/Form.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr TColor kFace = 0x1E1612;
constexpr TColor kEdge = 0xF08E26;
constexpr TColor kHot = 0x6A3A16;
constexpr TColor kText = 0xFFF0D6;

} // namespace

TPopupMenu::TPopupMenu(TComponent* owner) : TGraphicControl(owner) {
  SetVisible(false);
  SetAlign(alClient);
}

void TPopupMenu::Popup(int x, int y) {
  const int height = static_cast<int>(Items.size()) * kItemHeight + 2 * kPadding;
  const TRect form = Parent() ? Parent()->ClientRect() : TRect{};
  const int left = std::max(std::min(x, form.Right - kWidth), 0);
  const int top = std::max(std::min(y, form.Bottom - height), 0);
  FBox = {left, top, left + kWidth, top + height};
  FHot = -1;
  BringToFront();
  SetVisible(true);
  Repaint();
}

TRect TPopupMenu::ItemRect(int index) const {
  const int top = FBox.Top + kPadding + index * kItemHeight;
  return {FBox.Left + kPadding, top, FBox.Right - kPadding, top + kItemHeight};
}

int TPopupMenu::ItemAt(int x, int y) const {
  for (int i = 0; i < static_cast<int>(Items.size()); ++i)
    if (ItemRect(i).Contains({x, y}))
      return i;
  return -1;
}

TPoint TPopupMenu::Units(int x, int y) const {
  const double scale = Scale();
  return {static_cast<int>(std::floor(x / scale)), static_cast<int>(std::floor(y / scale))};
}

void TPopupMenu::Paint(TCanvas& canvas) {
  const double scale = canvas.Scale();
  const TRect box = ScaledRect(FBox, scale);
  canvas.PenColor = kEdge;
  canvas.BrushColor = kFace;
  canvas.BrushStyle = bsSolid;
  canvas.Rectangle(box.Left, box.Top, box.Right, box.Bottom);
  canvas.Font.SetColor(kText);
  for (int i = 0; i < static_cast<int>(Items.size()); ++i) {
    const TRect item = ScaledRect(ItemRect(i), scale);
    if (i == FHot) {
      canvas.PenColor = kHot;
      canvas.BrushColor = kHot;
      canvas.Rectangle(item.Left, item.Top, item.Right, item.Bottom);
    }
    const TSize extent = canvas.TextExtent(Items[static_cast<std::size_t>(i)]);
    const int textLeft = item.Left + ScaledLength(16, scale);
    const int textTop = item.Top + (item.Height() - extent.Height) / 2;
    canvas.BrushStyle = bsClear;
    canvas.TextRect(item, textLeft, textTop, Items[static_cast<std::size_t>(i)]);
    canvas.BrushStyle = bsSolid;
    if (i == Checked) {
      // A small square left of the text marks the current choice.
      const int mark = ScaledLength(5, scale);
      const int markLeft = item.Left + ScaledLength(5, scale);
      const int markTop = item.Top + (item.Height() - mark) / 2;
      canvas.PenColor = kEdge;
      canvas.BrushColor = kEdge;
      canvas.Rectangle(markLeft, markTop, markLeft + mark, markTop + mark);
    }
  }
}

void TPopupMenu::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  TGraphicControl::MouseDown(button, shift, x, y);
  const TPoint at = Units(x, y);
  const int index = button == mbLeft ? ItemAt(at.X, at.Y) : -1;
  // Pressing the right button inside the box again does nothing; every other
  // press ends the menu.
  if (button != mbLeft && FBox.Contains(at))
    return;
  Close();
  if (index >= 0 && OnChoose)
    OnChoose(this, index);
}

void TPopupMenu::MouseMove(TShiftState shift, int x, int y) {
  TGraphicControl::MouseMove(shift, x, y);
  const TPoint at = Units(x, y);
  const int hot = ItemAt(at.X, at.Y);
  if (hot == FHot)
    return;
  FHot = hot;
  Repaint();
}
