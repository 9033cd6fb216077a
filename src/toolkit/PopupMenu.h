// A small menu the form draws itself, above everything else: a column of
// items, one of them marked. While it is open it covers the whole form, so a
// press anywhere reaches it: on an item it chooses the item, elsewhere it
// closes the menu.
#pragma once

#include "base/Event.h"
#include "toolkit/Control.h"

#include <string>
#include <vector>

class TPopupMenu;
using TMenuChooseEvent = TEvent<void(TPopupMenu* Sender, int Index)>;

class TPopupMenu : public TGraphicControl {
public:
  static constexpr int kItemHeight = 18; // editor units
  static constexpr int kWidth = 92;
  static constexpr int kPadding = 3;

  explicit TPopupMenu(TComponent* owner);

  std::vector<std::string> Items;
  // The item shown with a mark; -1 for none.
  int Checked = -1;
  // After the menu closed, with the index of the chosen item.
  TMenuChooseEvent OnChoose;

  // Opens with the top-left corner at (x, y) in editor units, moved as far
  // as needed to keep the whole menu on the form.
  void Popup(int x, int y);
  void Close() { SetVisible(false); }
  // The menu's box and the item under a form point, in editor units.
  TRect Box() const { return FBox; }
  int ItemAt(int x, int y) const;

  void Paint(TCanvas& canvas) override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseMove(TShiftState shift, int x, int y) override;

private:
  TRect ItemRect(int index) const;
  // A pointer position (pixels from the form's corner) in editor units.
  TPoint Units(int x, int y) const;

  TRect FBox;
  int FHot = -1;
};
