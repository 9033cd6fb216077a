#include "instance/EffectEditor.h"

#include "base/Error.h"
#include "editor/EditorSize.h"
#include "editor/FrmEditor.h"
#include "shaper/EffParams.h"

TEffectEditor::TEffectEditor(TEffectInstance& instance, void* parentWindow, TEffectEditorHost& host,
                             double scale)
    : FInstance(instance), FHost(host) {
  if (scale != 1.0)
    throw EGlowraspError("Editor scale not supported");
  TVSTParameterHost* paramHost = FInstance.Definition().ParamHost();
  // The knobs' gestures reach the parameter host's handlers, which pass them
  // to the format boundary while this editor is open.
  paramHost->SetOnParamAutomate(TVSTOnParamAutomate::Bind<&TEffectEditor::AutomateParameter>(this));
  paramHost->SetOnParamBeginEdit(TVSTOnParamEdit::Bind<&TEffectEditor::BeginParameterEdit>(this));
  paramHost->SetOnParamEndEdit(TVSTOnParamEdit::Bind<&TEffectEditor::EndParameterEdit>(this));
  try {
    auto form = std::make_unique<TFormEditor>(nullptr, parentWindow);
    form->HostProxy->SetHost(paramHost);
    form->SetBounds(0, 0, kEditorWidth, kEditorHeight);
    form->Show();
    FForm = std::move(form);
  } catch (...) {
    ReleaseGestures();
    throw;
  }
}

TEffectEditor::~TEffectEditor() {
  FForm.reset();
  ReleaseGestures();
  // The form's controls forget their gestures when it goes; the host must
  // not be left with a parameter it thinks the user still holds.
  for (std::int32_t index = 0; index < TEffectInstance::kParameterCount; ++index)
    if (FHeld[index])
      FHost.EndEdit(index);
}

void TEffectEditor::ReleaseGestures() {
  TVSTParameterHost* paramHost = FInstance.Definition().ParamHost();
  paramHost->SetOnParamAutomate({});
  paramHost->SetOnParamBeginEdit({});
  paramHost->SetOnParamEndEdit({});
}

TSize TEffectEditor::SizeAt(double scale) {
  return {static_cast<int>(kEditorWidth * scale), static_cast<int>(kEditorHeight * scale)};
}

TSize TEffectEditor::Size() const {
  return SizeAt(1.0);
}

void* TEffectEditor::WindowHandle() const {
  return FForm->Backend().WindowHandle();
}

int TEffectEditor::EventDescriptor() const {
  return FForm->Backend().EventDescriptor();
}

void TEffectEditor::Idle() {
  FForm->Idle();
}

bool TEffectEditor::SetScale(double scale) {
  return scale == 1.0;
}

// The knobs already heard the change through the parameter and marked
// themselves; this only makes sure the next Idle paints.
void TEffectEditor::ParameterChanged(std::int32_t) {
  FForm->RequestIdleRepaint();
}

void TEffectEditor::AutomateParameter(TVSTParameter* Param, float Value) {
  FHost.PerformEdit(Param->Index(), Value);
}

void TEffectEditor::BeginParameterEdit(TVSTParameter* Param) {
  const std::int32_t index = Param->Index();
  if (index >= 0 && index < TEffectInstance::kParameterCount)
    FHeld[index] = true;
  FHost.BeginEdit(index);
}

void TEffectEditor::EndParameterEdit(TVSTParameter* Param) {
  const std::int32_t index = Param->Index();
  if (index >= 0 && index < TEffectInstance::kParameterCount)
    FHeld[index] = false;
  FHost.EndEdit(index);
}
