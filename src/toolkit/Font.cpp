#include "toolkit/Font.h"

namespace {

// Stores `value` and reports whether anything changed.
template <class T>
bool Store(T& field, const T& value) {
  if (field == value)
    return false;
  field = value;
  return true;
}

} // namespace

void TFont::SetName(const std::string& name) {
  if (Store(FName, name))
    Changed();
}

void TFont::SetHeight(int height) {
  if (Store(FHeight, height))
    Changed();
}

void TFont::SetColor(TColor color) {
  if (Store(FColor, color))
    Changed();
}

void TFont::SetCharset(TFontCharset charset) {
  if (Store(FCharset, charset))
    Changed();
}

void TFont::Assign(const TFont& other) {
  if (&other == this)
    return;
  FName = other.FName;
  FHeight = other.FHeight;
  FColor = other.FColor;
  FCharset = other.FCharset;
  Changed();
}
