// A font description. The face is drawn with the toolkit's built-in sans-serif
// rasteriser at every name; the height follows the platform's sign rule
// (negative: character height in pixels).
#pragma once

#include "base/Event.h"
#include "toolkit/Graphics.h"

#include <string>

enum TFontCharset { DEFAULT_CHARSET = 1 };

class TFont {
public:
  using TChangeEvent = TEvent<void()>;

  const std::string& Name() const { return FName; }
  int Height() const { return FHeight; }
  TColor Color() const { return FColor; }
  TFontCharset Charset() const { return FCharset; }
  void SetName(const std::string& name);
  void SetHeight(int height);
  void SetColor(TColor color);
  void SetCharset(TFontCharset charset);
  // Copies every attribute and reports one change.
  void Assign(const TFont& other);

  TChangeEvent OnChange;

private:
  void Changed() {
    if (OnChange)
      OnChange();
  }

  std::string FName = "MS Sans Serif";
  int FHeight = -11;
  TColor FColor = clWindowText;
  TFontCharset FCharset = DEFAULT_CHARSET;
};
