#include "vst/VSTEditorBase.h"

#include "editor/FrmEditor.h"
#include "editor/ZoomSetting.h"
#include "vst/DAudioEffectX.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

std::int16_t RectEdge(std::int32_t v) {
  return static_cast<std::int16_t>(
      std::min<std::int32_t>(v, std::numeric_limits<std::int16_t>::max()));
}

} // namespace

TVSTEditorBase::TVSTEditorBase(AudioEffect* owner, TVSTParameterHost* host, TVSTEffect* component)
    : AEffEditor(owner), paramHost(host), effectComponent(component) {}

TVSTEditorBase::~TVSTEditorBase() {
  close();
}

void TVSTEditorBase::predictedSize(std::int32_t& width, std::int32_t& height) const {
  width = openWidth.load(std::memory_order_relaxed);
  height = openHeight.load(std::memory_order_relaxed);
  if (width > 0 && height > 0)
    return;
  // The user's zoom and the desktop's scale are only known once the window
  // exists; the resize request at open corrects the size if they change it.
  const double scale =
      TFormEditor::ChooseScale(kFollowHost, hostScale.load(std::memory_order_relaxed), 0);
  width = ScaledLength(paramHost->EditorWidth, scale);
  height = ScaledLength(paramHost->EditorHeight, scale);
}

std::int32_t TVSTEditorBase::getRect(ERect** result) {
  std::int32_t width = 0;
  std::int32_t height = 0;
  predictedSize(width, height);
  rect.top = 0;
  rect.left = 0;
  rect.bottom = RectEdge(height);
  rect.right = RectEdge(width);
  *result = &rect;
  return 1;
}

std::int32_t TVSTEditorBase::open(void* ptr) {
  // Some hosts open twice without closing; the first form must not stay
  // behind as an orphan window.
  close();
  std::int32_t expectedWidth = 0;
  std::int32_t expectedHeight = 0;
  predictedSize(expectedWidth, expectedHeight);
  form.reset(effectComponent->CreateEditor(ptr));
  if (!form)
    return 0;
  try {
    hostScalePending.store(false, std::memory_order_relaxed);
    if (auto* editor = dynamic_cast<TFormEditor*>(form.get()))
      editor->SetHostScale(hostScale.load(std::memory_order_relaxed));
    form->SetBounds(0, 0, paramHost->EditorWidth, paramHost->EditorHeight);
    form->OnResize = TEvent<void(TForm*)>::Bind<&TVSTEditorBase::formResized>(this);
    const TSize size = form->PixelSize();
    openWidth.store(size.Width, std::memory_order_relaxed);
    openHeight.store(size.Height, std::memory_order_relaxed);
    // The host sized its window from getRect before the user's zoom and the
    // desktop's scale were known.
    if (size.Width != expectedWidth || size.Height != expectedHeight)
      formResized(form.get());
    form->Show();
  } catch (...) {
    return 0;
  }
  return 1;
}

void TVSTEditorBase::close() {
  form.reset();
  openWidth.store(0, std::memory_order_relaxed);
  openHeight.store(0, std::memory_order_relaxed);
}

void TVSTEditorBase::idle() {
  AEffEditor::idle();
  if (!form)
    return;
  if (hostScalePending.exchange(false, std::memory_order_relaxed))
    applyHostScale();
  form->Idle();
}

void TVSTEditorBase::update() {
  if (form)
    form->Repaint();
}

void TVSTEditorBase::setHostScale(float scale) {
  hostScale.store(std::isfinite(scale) && scale > 0 ? scale : 0, std::memory_order_relaxed);
  // The form belongs to the editor's thread: from any other, the next idle applies it.
  if (form && form->OnFormThread())
    applyHostScale();
  else
    hostScalePending.store(true, std::memory_order_relaxed);
}

void TVSTEditorBase::applyHostScale() {
  if (auto* editor = dynamic_cast<TFormEditor*>(form.get()))
    editor->SetHostScale(hostScale.load(std::memory_order_relaxed));
}

void TVSTEditorBase::formResized(TForm* Sender) {
  const TSize size = Sender->PixelSize();
  openWidth.store(size.Width, std::memory_order_relaxed);
  openHeight.store(size.Height, std::memory_order_relaxed);
  static_cast<AudioEffectX*>(effect)->sizeWindow(size.Width, size.Height);
}
