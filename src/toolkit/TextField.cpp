#include "toolkit/TextField.h"

#include "toolkit/Form.h"

namespace {

constexpr TColor kFill = 0x1A1614;
constexpr TColor kBorder = 0xE8922A;
constexpr TColor kInk = clWhite;
constexpr TColor kSelection = 0xE8922A;
constexpr TColor kSelectedInk = 0x1A1614;
constexpr TColor kInvalidFill = 0x6E1010;
constexpr TColor kInvalidBorder = 0xFF3B30;
constexpr int kPadding = 3; // editor units between the frame and scrolled text

int PrefixWidth(const TBitmapFont& font, std::string_view text, std::size_t count) {
  return font.TextWidth(text.substr(0, count));
}

void FillRect(TCanvas& canvas, const TRect& area, TColor color) {
  canvas.PenColor = color;
  canvas.BrushColor = color;
  canvas.BrushStyle = bsSolid;
  canvas.Rectangle(area.Left, area.Top, area.Right, area.Bottom);
}

} // namespace

TTextField::TTextField(TComponent* owner) : TGraphicControl(owner) {
  SetOpaque(true);
  SetVisible(false);
}

bool TTextField::Editing() const {
  return Visible() && Parent() && Parent()->FocusedControl() == this;
}

void TTextField::SetInvalid(bool invalid) {
  if (invalid == FInvalid)
    return;
  FInvalid = invalid;
  Repaint();
}

void TTextField::Open(std::string text) {
  FText = std::move(text);
  if (FText.size() > kMaxLength)
    FText.resize(kMaxLength);
  FInvalid = false;
  FScroll = 0;
  Select(0, FText.size());
  BringToFront();
  SetVisible(true);
  if (TForm* const form = Parent())
    form->SetFocusedControl(this);
}

void TTextField::Close() {
  SetVisible(false);
}

void TTextField::Cancel() {
  if (!Visible())
    return;
  Close();
  if (OnCancel)
    OnCancel(this);
}

void TTextField::Select(std::size_t anchor, std::size_t caret) {
  FAnchor = std::min(anchor, FText.size());
  FCaret = std::min(caret, FText.size());
  Repaint();
}

void TTextField::ReplaceSelection(std::string_view with) {
  const std::size_t start = SelectionStart();
  FText.replace(start, SelectionEnd() - start, with);
  FInvalid = false;
  Select(start + with.size(), start + with.size());
}

void TTextField::KeyDown(TEditKey key, TShiftState shift) {
  const bool extend = (shift & ssShift) != 0;
  const bool selection = FAnchor != FCaret;
  // Without Shift an arrow first collapses a selection to its side.
  const auto moveTo = [&](std::size_t caret) { Select(extend ? FAnchor : caret, caret); };
  switch (key) {
  case ekEnter:
    if (OnAccept)
      OnAccept(this);
    else
      Close();
    break;
  case ekEscape:
    Cancel();
    break;
  case ekBackspace:
    if (!selection && FCaret > 0)
      FAnchor = FCaret - 1;
    ReplaceSelection({});
    break;
  case ekDelete:
    if (!selection && FCaret < FText.size())
      FAnchor = FCaret + 1;
    ReplaceSelection({});
    break;
  case ekLeft:
    moveTo(selection && !extend ? SelectionStart() : FCaret - (FCaret > 0 ? 1 : 0));
    break;
  case ekRight:
    moveTo(selection && !extend ? SelectionEnd() : std::min(FCaret + 1, FText.size()));
    break;
  case ekHome:
    moveTo(0);
    break;
  case ekEnd:
    moveTo(FText.size());
    break;
  }
}

// Printable ASCII only: a value needs nothing else, and the font has it all.
void TTextField::CharTyped(char c) {
  if (c < ' ' || c > '~')
    return;
  if (FText.size() - (SelectionEnd() - SelectionStart()) >= kMaxLength)
    return;
  ReplaceSelection(std::string_view(&c, 1));
}

void TTextField::MouseDown(TMouseButton button, TShiftState shift, int x, int) {
  if (button != mbLeft)
    return;
  if (shift & ssDouble) {
    Select(0, FText.size());
    return;
  }
  const std::size_t at = OffsetAt(BuiltinSansFont(Scale()), x);
  Select(shift & ssShift ? FAnchor : at, at);
}

int TTextField::TextLeft(const TBitmapFont& font) {
  const int width = PixelSize().Width;
  const int text = font.TextWidth(FText);
  const int padding = ScaledLength(kPadding, Scale());
  const int room = width - 2 * padding;
  if (text <= room) {
    FScroll = 0;
    return (width - text) / 2;
  }
  const int caret = PrefixWidth(font, FText, FCaret);
  FScroll = std::clamp(FScroll, caret - room, caret);
  FScroll = std::clamp(FScroll, 0, text - room);
  return padding - FScroll;
}

std::size_t TTextField::OffsetAt(const TBitmapFont& font, int x) {
  int pen = TextLeft(font);
  for (std::size_t i = 0; i < FText.size(); ++i) {
    const int advance = font.Glyph(static_cast<unsigned char>(FText[i])).Advance;
    if (2 * x < 2 * pen + advance) // before the character's middle
      return i;
    pen += advance;
  }
  return FText.size();
}

void TTextField::Paint(TCanvas& canvas) {
  const TSize size = PixelSize();
  const int frame = ScaledLength(1, canvas.Scale());
  const TRect inside{frame, frame, size.Width - frame, size.Height - frame};
  FillRect(canvas, {0, 0, size.Width, size.Height}, FInvalid ? kInvalidBorder : kBorder);
  FillRect(canvas, inside, FInvalid ? kInvalidFill : kFill);

  const TBitmapFont& font = BuiltinSansFont(canvas.Scale());
  const int left = TextLeft(font);
  const int top = (size.Height - font.LineHeight) / 2;
  const int from = left + PrefixWidth(font, FText, SelectionStart());
  const int to = left + PrefixWidth(font, FText, SelectionEnd());
  if (from < to)
    FillRect(canvas, TRect{from, top, to, top + font.LineHeight}.Intersect(inside), kSelection);

  // The text in three parts: before, inside and after the selection.
  canvas.BrushStyle = bsClear;
  const auto text = [&](TRect clip, TColor ink) {
    canvas.Font.SetColor(ink);
    canvas.TextRect(clip.Intersect(inside), left, top, FText);
  };
  text({inside.Left, inside.Top, from, inside.Bottom}, kInk);
  text({from, inside.Top, to, inside.Bottom}, kSelectedInk);
  text({to, inside.Top, inside.Right, inside.Bottom}, kInk);

  if (from == to)
    FillRect(canvas, TRect{from, top, from + frame, top + font.LineHeight}.Intersect(inside), kInk);
}
