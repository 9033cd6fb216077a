#include "hostlib/Editor.h"

#include "hostlib/PluginHost.h"
#include "vst/EditorSnapshot.h"

namespace glowrasp::host {
namespace {

constexpr VstInt32 kLeftButton = 0;
// The shift-state flag of a held left button.
constexpr VstInt32 kLeftHeld = 8;

void sendPointer(const Plugin& plugin, TEditorPointer pointer) {
  if (plugin.dispatch(effVendorSpecific, kEditorPointerCode, 0, &pointer) != 1)
    throw HostError("the plug-in refused pointer input for its editor");
}

} // namespace

EditorSize editorSize(const Plugin& plugin) {
  ERect* rect = nullptr;
  if ((plugin.effect().flags & effFlagsHasEditor) == 0 ||
      plugin.dispatch(effEditGetRect, 0, 0, &rect) == 0 || !rect)
    throw HostError("the plug-in has no editor");
  const EditorSize size{rect->right - rect->left, rect->bottom - rect->top};
  if (size.width <= 0 || size.height <= 0)
    throw HostError("the plug-in's editor has no size");
  return size;
}

OpenEditor::OpenEditor(const Plugin& plugin, void* parent)
    : plugin_(plugin), size_(editorSize(plugin)) {
  if (plugin_.dispatch(effEditOpen, 0, 0, parent) == 0) {
    // A failed open may still leave a form behind that only close removes.
    plugin_.dispatch(effEditClose);
    throw HostError(parent ? "the plug-in did not open its editor"
                           : "the plug-in did not open its editor without a window");
  }
}

OpenEditor::~OpenEditor() {
  plugin_.dispatch(effEditClose);
}

void OpenEditor::idle() const {
  plugin_.dispatch(effEditIdle);
}

void OpenEditor::click(int x, int y) const {
  sendPointer(plugin_, {epPress, kLeftButton, kLeftHeld, x, y});
  sendPointer(plugin_, {epRelease, kLeftButton, 0, x, y});
}

EditorPicture OpenEditor::snapshot() const {
  EditorPicture picture{size_.width, size_.height,
                        std::vector<std::uint32_t>(static_cast<std::size_t>(size_.width) *
                                                   static_cast<std::size_t>(size_.height))};
  TEditorSnapshot request{picture.width, picture.height, picture.pixels.data()};
  if (plugin_.dispatch(effVendorSpecific, kEditorSnapshotCode, 0, &request) != 1)
    throw HostError("the plug-in refused to hand out its editor's pixels");
  return picture;
}

} // namespace glowrasp::host
