// The read-out under a knob: its parameter's display text and unit label,
// drawn without a background so the backdrop shows between the letters.
#pragma once

#include "params/VSTParameterSource.h"
#include "toolkit/Control.h"
#include "toolkit/Font.h"

#include <cstdint>
#include <string>

enum TAlignment { taLeftJustify, taRightJustify, taCenter };

class TGraphicText : public TGraphicControl {
public:
  explicit TGraphicText(TComponent* owner);
  ~TGraphicText() override;

  // Any change of a font attribute repaints the control.
  TFont& Font() { return FFont; }
  const TFont& Font() const { return FFont; }
  void SetFont(const TFont& font) { FFont.Assign(font); }
  // Inset of the text area from every edge; never below 0.
  std::int32_t Border() const { return FBorder; }
  void SetBorder(std::int32_t border);
  TAlignment Alignment() const { return FAlignment; }
  void SetAlignment(TAlignment alignment);
  TVSTParameterSource* ParamSrc() const { return FParamSrc; }
  void SetParamSrc(TVSTParameterSource* source);

  // What the control shows now; read at paint time, never cached.
  std::string Text() const;
  void Paint(TCanvas& canvas) override;
  void Idle() override;

private:
  void ParamNotify(void* Sender, std::uint8_t Kind, std::int32_t Value);

  TFont FFont;
  std::int32_t FBorder = 0;
  TAlignment FAlignment = taLeftJustify;
  TVSTParameterSource* FParamSrc = nullptr;
  std::int32_t FShownValue = 0; // the parameter's value when last looked at
};
