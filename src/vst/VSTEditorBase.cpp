#include "vst/VSTEditorBase.h"

TVSTEditorBase::TVSTEditorBase(AudioEffectX* effectObject, TVSTParameterHost* host,
                               TVSTEffect* component, TEffectInstance& effectInstance)
    : AEffEditor(effectObject), owner(effectObject), paramHost(host), effectComponent(component),
      instance(effectInstance) {}

TVSTEditorBase::~TVSTEditorBase() {
  close();
}

std::int32_t TVSTEditorBase::getRect(ERect** result) {
  rect.top = 0;
  rect.left = 0;
  rect.bottom = static_cast<std::int16_t>(paramHost->EditorHeight);
  rect.right = static_cast<std::int16_t>(paramHost->EditorWidth);
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
  // An error making the window reaches the dispatcher's guard.
  editor = std::make_unique<TEffectEditor>(instance, ptr, static_cast<TEffectEditorHost&>(*this));
  return 1;
}

void TVSTEditorBase::close() {
  editor.reset();
}

void TVSTEditorBase::idle() {
  AEffEditor::idle();
  if (editor)
    editor->Idle();
}

void TVSTEditorBase::update() {
  if (editor)
    editor->Form().Repaint();
}

// The value is applied through setParameter, then the host hears it.
void TVSTEditorBase::PerformEdit(std::int32_t index, double normalized) {
  owner->setParameterAutomated(index, static_cast<float>(normalized));
}
