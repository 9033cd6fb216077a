// The effect definition's editor side: the constructor that declares the
// editor and the handler that creates it, kept apart so that the definition
// also builds without the editor and the window system.
#include "editor/FrmEditor.h"
#include "shaper/EffParams.h"

#include <memory>

TEffParameters::TEffParameters(TComponent* owner)
    : TEffParameters(
          owner,
          TVSTEffectOnCreateEditor::Bind<&TEffParameters::EffectProcessorCreateEditor>(this)) {}

TForm* TEffParameters::EffectProcessorCreateEditor(void* SysWindow) {
  auto form = std::make_unique<TFormEditor>(nullptr, SysWindow);
  form->HostProxy->SetHost(FEffectProcessor->VSTParamHost());
  return form.release();
}
