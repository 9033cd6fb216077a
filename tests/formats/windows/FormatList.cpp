// Every format a Windows build makes: the CLAP plug-in only in the 64-bit one.
#include "FormatDriver.h"

namespace formats {

std::span<const TFormat> Formats() {
  static const TFormat formats[] = {
      {"Vst2", &MakeVstDriver},
      {"Vst3", &MakeVst3Driver},
#ifdef GLOWRASP_CLAP_PATH
      {"Clap", &MakeClapDriver},
#endif
  };
  return formats;
}

} // namespace formats
