#include "vst/VSTEditorBase.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

std::int16_t RectEdge(std::int32_t v) {
  return static_cast<std::int16_t>(
      std::min<std::int32_t>(v, std::numeric_limits<std::int16_t>::max()));
}

} // namespace

TVSTEditorBase::TVSTEditorBase(AudioEffectX* effectObject, TVSTParameterHost* host,
                               TVSTEffect* component, TEffectInstance& effectInstance)
    : AEffEditor(effectObject), owner(effectObject), paramHost(host), effectComponent(component),
      instance(effectInstance) {}

TVSTEditorBase::~TVSTEditorBase() {
  close();
}

// The user's zoom and the desktop's scale are only known once the window
// exists; the resize request at open corrects the size if they change it.
TSize TVSTEditorBase::predictedSize() const {
  const TSize open{openWidth.load(std::memory_order_relaxed),
                   openHeight.load(std::memory_order_relaxed)};
  if (open.Width > 0 && open.Height > 0)
    return open;
  const double scale = hostScale.load(std::memory_order_relaxed);
  return TEffectEditor::SizeAt(
      std::clamp(scale > 0 ? scale : 1.0, TForm::kMinScale, TForm::kMaxScale));
}

std::int32_t TVSTEditorBase::getRect(ERect** result) {
  const TSize size = predictedSize();
  rect.top = 0;
  rect.left = 0;
  rect.bottom = RectEdge(size.Height);
  rect.right = RectEdge(size.Width);
  *result = &rect;
  return 1;
}

std::int32_t TVSTEditorBase::open(void* ptr) {
  // Some hosts open twice without closing; the first form must not stay
  // behind as an orphan window.
  close();
  // The component has an editor to give only once it is created: the host
  // has told the sample rate and the block size.
  if (!effectComponent->HasEditor || !effectComponent->Created() ||
      !effectComponent->VSTParamHost())
    return 0;
  const TSize expected = predictedSize();
  hostScalePending.store(false, std::memory_order_relaxed);
  // An error making the window reaches the dispatcher's guard.
  editor = std::make_unique<TEffectEditor>(instance, ptr, static_cast<TEffectEditorHost&>(*this),
                                           hostScale.load(std::memory_order_relaxed));
  const TSize size = editor->Size();
  openWidth.store(size.Width, std::memory_order_relaxed);
  openHeight.store(size.Height, std::memory_order_relaxed);
  // The host sized its window from getRect before the user's zoom and the
  // desktop's scale were known.
  if (size != expected)
    owner->sizeWindow(size.Width, size.Height);
  return 1;
}

void TVSTEditorBase::close() {
  editor.reset();
  openWidth.store(0, std::memory_order_relaxed);
  openHeight.store(0, std::memory_order_relaxed);
}

void TVSTEditorBase::idle() {
  AEffEditor::idle();
  if (!editor)
    return;
  if (hostScalePending.exchange(false, std::memory_order_relaxed))
    editor->SetScale(hostScale.load(std::memory_order_relaxed));
  editor->Idle();
}

void TVSTEditorBase::setHostScale(float scale) {
  hostScale.store(std::isfinite(scale) && scale > 0 ? scale : 0, std::memory_order_relaxed);
  // The editor belongs to the editor's thread: from any other, the next idle applies it.
  if (editor && editor->Form().OnFormThread())
    editor->SetScale(hostScale.load(std::memory_order_relaxed));
  else
    hostScalePending.store(true, std::memory_order_relaxed);
}

bool TVSTEditorBase::RequestResize(std::int32_t width, std::int32_t height) {
  openWidth.store(width, std::memory_order_relaxed);
  openHeight.store(height, std::memory_order_relaxed);
  return owner->sizeWindow(width, height);
}

void TVSTEditorBase::update() {
  if (editor)
    editor->Form().Repaint();
}

// The value is applied through setParameter, then the host hears it.
void TVSTEditorBase::PerformEdit(std::int32_t index, double normalized) {
  owner->setParameterAutomated(index, static_cast<float>(normalized));
}
