// The user's own editor zoom, shared by every editor of every instance and
// kept between sessions in a small file in the user's configuration folder.
#pragma once

#include <array>
#include <filesystem>
#include <string>
#include <string_view>

// Follow the host's (or else the desktop's) scale instead of a zoom of one's own.
inline constexpr double kFollowHost = 0;
// The zoom menu's steps, in the menu's order after "Follow host".
inline constexpr std::array<double, 6> kZoomSteps{1, 1.25, 1.5, 2, 2.5, 3};

// The text the file holds for a zoom, and back: a zoom of 1 to 3 given in
// whole percent, or "follow-host". Anything else reads as kFollowHost.
std::string FormatZoomSetting(double zoom);
double ParseZoomSetting(std::string_view text);

// <configuration folder>/kestrune-glowrasp/editor.conf; empty without a folder.
std::filesystem::path ZoomSettingFile();
// A missing, unreadable or garbled file gives kFollowHost.
double ReadZoomSetting();
// Written to a temporary file and renamed, so a crash never leaves half a
// file; false when the folder or the file cannot be written.
bool WriteZoomSetting(double zoom);
