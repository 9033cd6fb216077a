// The user's zoom settings file in the configuration folder that
// tests/run-with-xvfb.sh gives each run; removed again when the test ends,
// so the next test starts without one.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string_view>
#include <system_error>

class TZoomSettingsFile {
public:
  TZoomSettingsFile() {
    if (const char* config = std::getenv("XDG_CONFIG_HOME"))
      FPath = std::filesystem::path(config) / "kestrune-glowrasp/editor.conf";
  }
  ~TZoomSettingsFile() {
    std::error_code error;
    if (!FPath.empty())
      std::filesystem::remove(FPath, error);
  }
  TZoomSettingsFile(const TZoomSettingsFile&) = delete;
  TZoomSettingsFile& operator=(const TZoomSettingsFile&) = delete;

  // False without a configuration folder of the run's own.
  explicit operator bool() const { return !FPath.empty(); }
  void Write(std::string_view text) const {
    std::filesystem::create_directories(FPath.parent_path());
    std::ofstream(FPath) << text;
  }

private:
  std::filesystem::path FPath;
};
