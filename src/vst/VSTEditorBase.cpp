#include "vst/VSTEditorBase.h"

TVSTEditorBase::TVSTEditorBase(AudioEffect* owner, TVSTParameterHost* host, TVSTEffect* component)
    : AEffEditor(owner), paramHost(host), effectComponent(component) {}

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
  form.reset(effectComponent->CreateEditor(ptr));
  if (!form)
    return 0;
  try {
    form->SetBounds(0, 0, paramHost->EditorWidth, paramHost->EditorHeight);
    form->Show();
  } catch (...) {
    return 0;
  }
  return 1;
}

void TVSTEditorBase::close() {
  form.reset();
}

void TVSTEditorBase::idle() {
  AEffEditor::idle();
  if (form)
    form->Idle();
}

void TVSTEditorBase::update() {
  if (form)
    form->Repaint();
}
