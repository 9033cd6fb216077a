#include "editor/ZoomSetting.h"

#include "base/DurableFile.h"
#include "base/UserConfigFolder.h"
#include "toolkit/Form.h"

#include <charconv>
#include <cmath>
#include <fstream>
#include <iterator>
#include <system_error>

namespace {

constexpr std::string_view kKey = "zoom=";
constexpr std::string_view kFollowText = "follow-host";
// Larger files are not ours.
constexpr std::uintmax_t kMaxFileSize = 4096;

std::string_view Trim(std::string_view text) {
  const auto first = text.find_first_not_of(" \t\r\n");
  if (first == std::string_view::npos)
    return {};
  const auto last = text.find_last_not_of(" \t\r\n");
  return text.substr(first, last - first + 1);
}

} // namespace

std::string FormatZoomSetting(double zoom) {
  if (!(zoom >= TForm::kMinScale && zoom <= TForm::kMaxScale))
    return std::string(kKey) + std::string(kFollowText) + "\n";
  return std::string(kKey) + std::to_string(std::lround(zoom * 100)) + "\n";
}

double ParseZoomSetting(std::string_view text) {
  // The last "zoom=" line counts, so a hand-edited file with two still reads.
  double zoom = kFollowHost;
  while (!text.empty()) {
    const auto end = text.find('\n');
    const std::string_view line = Trim(text.substr(0, end));
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (!line.starts_with(kKey))
      continue;
    const std::string_view value = Trim(line.substr(kKey.size()));
    int percent = 0;
    const auto [rest, error] = std::from_chars(value.data(), value.data() + value.size(), percent);
    if (error == std::errc() && rest == value.data() + value.size() &&
        percent >= TForm::kMinScale * 100 && percent <= TForm::kMaxScale * 100)
      zoom = percent / 100.0;
    else
      zoom = kFollowHost;
  }
  return zoom;
}

std::filesystem::path ZoomSettingFile() {
  const std::filesystem::path folder = UserConfigFolder();
  if (folder.empty())
    return {};
  return folder / "kestrune-glowrasp" / "editor.conf";
}

double ReadZoomSetting() {
  const std::filesystem::path file = ZoomSettingFile();
  std::error_code error;
  if (file.empty() || !std::filesystem::is_regular_file(file, error) ||
      std::filesystem::file_size(file, error) > kMaxFileSize || error)
    return kFollowHost;
  std::ifstream in(file, std::ios::binary);
  const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  return in.bad() ? kFollowHost : ParseZoomSetting(text);
}

bool WriteZoomSetting(double zoom) {
  const std::filesystem::path file = ZoomSettingFile();
  if (file.empty())
    return false;
  std::error_code error;
  std::filesystem::create_directories(file.parent_path(), error);
  if (error)
    return false;
  return ReplaceFileDurably(file, FormatZoomSetting(zoom));
}
