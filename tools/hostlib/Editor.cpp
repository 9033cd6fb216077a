#include "hostlib/Editor.h"

#include "hostlib/PluginHost.h"
#include "hostlib/PrivateRequests.h"
#include "vst/ContentScale.h"

namespace glowrasp::host {
namespace {

constexpr VstInt32 kLeftButton = 0;
// The shift-state flag of a held left button.
constexpr VstInt32 kLeftHeld = 8;

void sendPointer(const Plugin& plugin, TEditorPointer pointer) {
  if (plugin.privateRequest(kEditorPointerCode, &pointer) != 1)
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

bool setContentScale(const Plugin& plugin, double scale) {
  return plugin.dispatch(effVendorSpecific, kContentScaleIndex, kContentScaleValue, nullptr,
                         static_cast<float>(scale)) == 1;
}

OpenEditor::OpenEditor(const Plugin& plugin, void* parent)
    : FPlugin(plugin), FSize(editorSize(plugin)) {
  if (FPlugin.dispatch(effEditOpen, 0, 0, parent) == 0) {
    // A failed open may still leave a form behind that only close removes.
    FPlugin.dispatch(effEditClose);
    throw HostError(parent ? "the plug-in did not open its editor"
                           : "the plug-in did not open its editor without a window");
  }
}

OpenEditor::~OpenEditor() {
  FPlugin.dispatch(effEditClose);
}

void OpenEditor::idle() const {
  FPlugin.dispatch(effEditIdle);
}

void OpenEditor::click(int x, int y) const {
  sendPointer(FPlugin, {epPress, kLeftButton, kLeftHeld, x, y});
  sendPointer(FPlugin, {epRelease, kLeftButton, 0, x, y});
}

EditorPicture OpenEditor::snapshot() const {
  EditorPicture picture{FSize.width, FSize.height,
                        std::vector<std::uint32_t>(static_cast<std::size_t>(FSize.width) *
                                                   static_cast<std::size_t>(FSize.height))};
  TEditorSnapshot request{picture.width, picture.height, picture.pixels.data()};
  if (FPlugin.privateRequest(kEditorSnapshotCode, &request) != 1)
    throw HostError("the plug-in refused to hand out its editor's pixels");
  return picture;
}

} // namespace glowrasp::host
