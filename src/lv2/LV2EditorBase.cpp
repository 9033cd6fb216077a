#include "lv2/LV2EditorBase.h"

#include "editor/FrmEditor.h"
#include "lv2/LV2PortValue.h"

TLV2EditorBase::TLV2EditorBase(void* parentWindow, const TLV2HostInterface& host)
    : FHost(host), FDefinition(std::make_unique<TEffParameters>()) {
  TVSTParameterHost* paramHost = FDefinition->ParamHost();
  paramHost->SetOnParamAutomate(
      TVSTOnParamAutomate::Bind<&TLV2EditorBase::AutomateParameter>(this));
  paramHost->SetOnParamBeginEdit(TVSTOnParamEdit::Bind<&TLV2EditorBase::BeginParameterEdit>(this));
  paramHost->SetOnParamEndEdit(TVSTOnParamEdit::Bind<&TLV2EditorBase::EndParameterEdit>(this));
  // The UI has no processing state, so it asks the definition's handler for
  // the form directly instead of through the effect component.
  FForm.reset(FDefinition->EffectProcessorCreateEditor(parentWindow));
  if (auto* editor = dynamic_cast<TFormEditor*>(FForm.get()))
    editor->SetHostScale(FHost.Scale);
  FForm->SetBounds(0, 0, paramHost->EditorWidth, paramHost->EditorHeight);
  FForm->Show();
  FormResized(FForm.get());
  FForm->OnResize = TEvent<void(TForm*)>::Bind<&TLV2EditorBase::FormResized>(this);
}

void TLV2EditorBase::SetHostScale(double scale) {
  FHost.Scale = scale;
  if (auto* editor = dynamic_cast<TFormEditor*>(FForm.get()))
    editor->SetHostScale(scale);
}

void TLV2EditorBase::FormResized(TForm* Sender) {
  const TSize size = Sender->PixelSize();
  if (FHost.Resize && FHost.Resize->ui_resize)
    FHost.Resize->ui_resize(FHost.Resize->handle, size.Width, size.Height);
}

void TLV2EditorBase::PortEvent(std::uint32_t port, std::uint32_t bufferSize, std::uint32_t format,
                               const void* buffer) {
  if (port >= lpCount || format != 0 || bufferSize != sizeof(float) || !buffer)
    return;
  const TLV2PortDescription& description = kLV2Ports[port];
  if (description.Role != prParameter)
    return;
  TVSTParameter* param = FDefinition->ParamHost()->Parameters().Items(description.Parameter);
  // Set directly, not requested: what the host sent is not sent back.
  param->SetCurValue(PortValueToCurValue(description, *param, *static_cast<const float*>(buffer)));
}

// As the VST boundary does: the value is applied, then the host is told.
void TLV2EditorBase::AutomateParameter(TVSTParameter* Param, float Value) {
  Param->SetNormalizedValue(Value);
  const TLV2Port port = PortOfParameter(Param->Index());
  if (port == lpCount || !FHost.Write)
    return;
  const float portValue = CurValueToPortValue(kLV2Ports[port], *Param);
  FHost.Write(FHost.Controller, port, sizeof portValue, 0, &portValue);
}

void TLV2EditorBase::TouchPort(const TVSTParameter* Param, bool grabbed) const {
  const TLV2Port port = PortOfParameter(Param->Index());
  if (port != lpCount && FHost.Touch && FHost.Touch->touch)
    FHost.Touch->touch(FHost.Touch->handle, port, grabbed);
}
