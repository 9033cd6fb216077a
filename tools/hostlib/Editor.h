// The plug-in's editor as a host sees it: size, open, idle, close, plus the
// plug-in's private requests for its pixels and for pointer input, which let
// a tool use an editor opened without any window.
#pragma once

#include <cstdint>
#include <vector>

namespace glowrasp::host {

class Plugin;

struct EditorSize {
  int width;
  int height;
};

// Throws HostError when the plug-in has no editor or reports an empty one.
EditorSize editorSize(const Plugin& plugin);
// The content-scale request of VST 2 hosts (the vendor-specific 'PreS' /
// 'AeCs' call); true when the plug-in takes it.
bool setContentScale(const Plugin& plugin, double scale);

// Pixels as 0x00RRGGBB, rows top down.
struct EditorPicture {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels;
};

// The editor from effEditOpen to effEditClose.
class OpenEditor {
public:
  // A null parent opens the editor offscreen. Throws HostError when the
  // plug-in has no editor or does not open it.
  OpenEditor(const Plugin& plugin, void* parent);
  ~OpenEditor();
  OpenEditor(const OpenEditor&) = delete;
  OpenEditor& operator=(const OpenEditor&) = delete;

  const EditorSize& size() const { return FSize; }
  // effEditIdle: lets the editor do its pending repaints.
  void idle() const;
  // A left-button press and release at a point of the editor's client area.
  void click(int x, int y) const;
  // The editor's pixels as it last painted them.
  EditorPicture snapshot() const;

private:
  const Plugin& FPlugin;
  EditorSize FSize;
};

} // namespace glowrasp::host
