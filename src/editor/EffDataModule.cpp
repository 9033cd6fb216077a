#include "editor/EffDataModule.h"

TEffectDataModule* EffectDataModule = nullptr;

TEffectDataModule::TEffectDataModule(TComponent* owner)
    : TComponent(owner),
      BackgroundImage(CreateComponent<TGraphicContainer>(this, "BackgroundImage")),
      HelpImage(CreateComponent<TGraphicContainer>(this, "HelpImage")),
      KnobImage(CreateComponent<TGraphicContainer>(this, "KnobImage")) {
  SetName("EffectDataModule");
}

void CreateEffectDataModule() {
  if (!EffectDataModule)
    EffectDataModule = new TEffectDataModule();
}

void DestroyEffectDataModule() {
  delete EffectDataModule;
  EffectDataModule = nullptr;
}
