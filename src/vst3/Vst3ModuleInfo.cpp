#include "vst3/Vst3ModuleInfo.h"

#include "vst3/Vst3ClassInfo.h"

#include <cstdio>
#include <sstream>
#include <string_view>

namespace {

// The class ID as hosts print it: the four words in hexadecimal.
std::string ClassIdText() {
  std::string text;
  for (const std::uint32_t word : vst3::kClassIdWords) {
    char hex[9];
    std::snprintf(hex, sizeof hex, "%08X", word);
    text += hex;
  }
  return text;
}

// "Fx|Distortion" as a JSON list of strings.
std::string SubCategoryList(std::string_view categories) {
  std::string list = "[";
  std::size_t start = 0;
  while (start <= categories.size()) {
    const std::size_t end = std::min(categories.find('|', start), categories.size());
    if (list.size() > 1)
      list += ", ";
    list += '"';
    list += categories.substr(start, end - start);
    list += '"';
    start = end + 1;
  }
  return list + "]";
}

} // namespace

std::string Vst3ModuleInfoJson() {
  using namespace vst3;
  std::ostringstream out;
  out << "{\n"
      << "  \"Name\": \"KestruneGlowrasp\",\n"
      << "  \"Version\": \"" << kVersion << "\",\n"
      << "  \"Factory Info\": {\n"
      << "    \"Vendor\": \"" << kVendor << "\",\n"
      << "    \"URL\": \"" << kUrl << "\",\n"
      << "    \"E-Mail\": \"" << kEmail << "\",\n"
      << "    \"Flags\": {\n"
      << "      \"Unicode\": true,\n"
      << "      \"Classes Discardable\": false,\n"
      << "      \"Component Non Discardable\": false\n"
      << "    }\n"
      << "  },\n"
      << "  \"Compatibility\": [],\n"
      << "  \"Classes\": [\n"
      << "    {\n"
      << "      \"CID\": \"" << ClassIdText() << "\",\n"
      << "      \"Category\": \"" << kCategory << "\",\n"
      << "      \"Name\": \"" << kName << "\",\n"
      << "      \"Vendor\": \"" << kVendor << "\",\n"
      << "      \"Version\": \"" << kVersion << "\",\n"
      << "      \"SDKVersion\": \"" << kSdkVersion << "\",\n"
      << "      \"Sub Categories\": " << SubCategoryList(kSubCategories) << ",\n"
      << "      \"Class Flags\": 0,\n"
      << "      \"Cardinality\": " << kManyInstances << ",\n"
      << "      \"Snapshots\": []\n"
      << "    }\n"
      << "  ]\n"
      << "}\n";
  return out.str();
}
