#include "instance/EffectEditor.h"

#include "editor/EditorSize.h"
#include "editor/FrmEditor.h"
#include "editor/ZoomSetting.h"
#include "shaper/EffParams.h"

struct TEffectEditor::TSavedHandlers {
  TVSTOnParamAutomate Automate;
  TVSTOnParamEdit BeginEdit;
  TVSTOnParamEdit EndEdit;
};

TEffectEditor::TEffectEditor(TEffectInstance& instance, void* parentWindow, TEffectEditorHost& host,
                             double scale)
    : FInstance(instance), FHost(host), FSaved(std::make_unique<TSavedHandlers>()) {
  TVSTParameterHost* paramHost = FInstance.Definition().ParamHost();
  // The knobs' gestures reach the parameter host's handlers, which pass them
  // to the format boundary while this editor is open.
  *FSaved = {paramHost->OnParamAutomate(), paramHost->OnParamBeginEdit(),
             paramHost->OnParamEndEdit()};
  paramHost->SetOnParamAutomate(TVSTOnParamAutomate::Bind<&TEffectEditor::AutomateParameter>(this));
  paramHost->SetOnParamBeginEdit(TVSTOnParamEdit::Bind<&TEffectEditor::BeginParameterEdit>(this));
  paramHost->SetOnParamEndEdit(TVSTOnParamEdit::Bind<&TEffectEditor::EndParameterEdit>(this));
  try {
    auto form = std::make_unique<TFormEditor>(nullptr, parentWindow);
    form->HostProxy->SetHost(paramHost);
    form->SetHostScale(scale);
    if (const std::optional<double> kept = FInstance.EditorZoom())
      form->SetUserZoom(*kept);
    form->SetBounds(0, 0, kEditorWidth, kEditorHeight);
    form->Show();
    form->OnResize = TEvent<void(TForm*)>::Bind<&TEffectEditor::FormResized>(this);
    form->OnUserZoomChosen = TEvent<void(TFormEditor*)>::Bind<&TEffectEditor::UserZoomChosen>(this);
    FForm = std::move(form);
  } catch (...) {
    RestoreGestureHandlers();
    throw;
  }
}

TEffectEditor::~TEffectEditor() {
  FForm.reset();
  RestoreGestureHandlers();
  // The form's controls forget their gestures when it goes; the host must
  // not be left with a parameter it thinks the user still holds.
  for (std::int32_t index = 0; index < TEffectInstance::kParameterCount; ++index)
    if (FHeld[index])
      FHost.EndEdit(index);
}

void TEffectEditor::RestoreGestureHandlers() {
  TVSTParameterHost* paramHost = FInstance.Definition().ParamHost();
  paramHost->SetOnParamAutomate(FSaved->Automate);
  paramHost->SetOnParamBeginEdit(FSaved->BeginEdit);
  paramHost->SetOnParamEndEdit(FSaved->EndEdit);
}

TSize TEffectEditor::SizeAt(double scale) {
  return ScaledSize({kEditorWidth, kEditorHeight}, scale);
}

TSize TEffectEditor::OpeningSize(const TEffectInstance& instance, double hostScale) {
  // Not value_or: the settings file is read only when the instance keeps no zoom.
  const std::optional<double> kept = instance.EditorZoom();
  const double zoom = kept ? *kept : ReadZoomSetting();
  return SizeAt(TFormEditor::ChooseScale(zoom, hostScale, 0));
}

TSize TEffectEditor::Size() const {
  return FForm->PixelSize();
}

void TEffectEditor::CorrectHostSize(TSize hostSized) const {
  if (const TSize size = Size(); size != hostSized)
    FHost.RequestResize(size.Width, size.Height);
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

void TEffectEditor::Show() {
  FForm->Show();
}

void TEffectEditor::Hide() {
  FForm->Hide();
}

bool TEffectEditor::SetScale(double scale) {
  static_cast<TFormEditor&>(*FForm).SetHostScale(scale);
  return true;
}

void TEffectEditor::FormResized(TForm* Sender) {
  const TSize size = Sender->PixelSize();
  FHost.RequestResize(size.Width, size.Height);
}

void TEffectEditor::UserZoomChosen(TFormEditor* Sender) {
  FHost.UserZoomChosen(Sender->UserZoom());
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
