// A one-line text entry, drawn by the toolkit with its built-in font, that
// opens over another control to let the user type a value. While open it
// holds its form's keyboard. Enter offers the text to OnAccept; Escape, a
// press elsewhere or another window taking the keyboard close it unchanged.
#pragma once

#include "base/Event.h"
#include "toolkit/BuiltinFont.h"
#include "toolkit/Control.h"

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>

class TTextField : public TGraphicControl {
public:
  using TFieldEvent = TEvent<void(TTextField* Sender)>;

  explicit TTextField(TComponent* owner);

  static constexpr std::size_t kMaxLength = 32;

  const std::string& Text() const { return FText; }
  // Character offsets: the caret, and the selection from the anchor to it.
  std::size_t Caret() const { return FCaret; }
  std::size_t SelectionStart() const { return std::min(FAnchor, FCaret); }
  std::size_t SelectionEnd() const { return std::max(FAnchor, FCaret); }
  // Shown in red until the text changes.
  bool Invalid() const { return FInvalid; }
  void SetInvalid(bool invalid);
  // Open and holding the keyboard.
  bool Editing() const;

  // Shows `text`, all of it selected, above every other control, and takes
  // the keyboard. The form must be set.
  void Open(std::string text);
  // Hides the field; the form gives the keyboard back.
  void Close();

  // Enter. The handler closes the field or marks it invalid; without one
  // the field just closes.
  TFieldEvent OnAccept;
  // After the field closed without its text being taken.
  TFieldEvent OnCancel;

  void Paint(TCanvas& canvas) override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void KeyDown(TEditKey key, TShiftState shift) override;
  void CharTyped(char c) override;
  void FocusLost() override { Cancel(); }

private:
  void Cancel();
  void Select(std::size_t anchor, std::size_t caret);
  void ReplaceSelection(std::string_view with);
  // Where the text starts in pixels: centred while it fits, else scrolled so
  // the caret stays inside.
  int TextLeft(const TBitmapFont& font);
  // The character boundary nearest to x (pixels from the left edge).
  std::size_t OffsetAt(const TBitmapFont& font, int x);

  std::string FText;
  std::size_t FAnchor = 0;
  std::size_t FCaret = 0;
  bool FInvalid = false;
  int FScroll = 0; // pixels of text hidden on the left
};
