#include "editor/GraphicText.h"

#include "params/NotifierLink.h"

#include <algorithm>

TGraphicText::TGraphicText(TComponent* owner) : TGraphicControl(owner) {
  FFont.OnChange = TFont::TChangeEvent::Bind<&TGraphicText::Repaint>(this);
  SetBounds(Left(), Top(), 80, 22);
}

TGraphicText::~TGraphicText() {
  Unlink(FParamSrc, this);
}

void TGraphicText::SetBorder(std::int32_t border) {
  border = std::max(border, 0);
  if (border == FBorder)
    return;
  FBorder = border;
  Repaint();
}

void TGraphicText::SetAlignment(TAlignment alignment) {
  if (alignment == FAlignment)
    return;
  FAlignment = alignment;
  Repaint();
}

void TGraphicText::SetParamSrc(TVSTParameterSource* source) {
  if (Relink(FParamSrc, source, this, TGraphicNotifyEvent::Bind<&TGraphicText::ParamNotify>(this)))
    Repaint();
}

// A range change alone does not change the text; value changes are found by
// Idle.
void TGraphicText::ParamNotify(void*, std::uint8_t Kind, std::int32_t) {
  switch (Kind) {
  case gnDestroying:
    FParamSrc = nullptr;
    Repaint();
    break;
  case gnSourceChanged:
    Repaint();
    break;
  default:
    break;
  }
}

std::string TGraphicText::Text() const {
  const TVSTParameter* param = FParamSrc ? FParamSrc->Parameter() : nullptr;
  if (!param)
    return "Test";
  std::string text(param->StrValue().View());
  if (!param->DisplayLabel().empty())
    text.append(" ").append(param->DisplayLabel());
  return text;
}

void TGraphicText::Idle() {
  const TVSTParameter* param = FParamSrc ? FParamSrc->Parameter() : nullptr;
  if (!param || param->CurValue() == FShownValue)
    return;
  FShownValue = param->CurValue();
  Repaint();
}

void TGraphicText::Paint(TCanvas& canvas) {
  const std::string text = Text();
  canvas.Font.Assign(FFont);
  const TSize extent = canvas.TextExtent(text);
  const TSize size = PixelSize();
  const int border = ScaledLength(FBorder, canvas.Scale());
  int x = border;
  if (FAlignment == taRightJustify)
    x = size.Width - border - extent.Width;
  else if (FAlignment == taCenter)
    x = (size.Width - extent.Width) / 2; // the border plays no part here
  const int y = (size.Height - extent.Height) / 2;
  canvas.BrushStyle = bsClear;
  canvas.TextRect({border, border, size.Width - border, size.Height - border}, x, y, text);
}
