// Every format the Linux build makes.
#include "FormatDriver.h"

namespace formats {

std::span<const TFormat> Formats() {
  static const TFormat formats[] = {
      {"Vst2", &MakeVstDriver},
      {"Vst3", &MakeVst3Driver},
      {"Clap", &MakeClapDriver},
      {"Lv2", &MakeLv2Driver},
  };
  return formats;
}

} // namespace formats
