#include "editor/EffDataModule.h"

#include "base/Error.h"
#include "toolkit/EmbeddedResource.h"

TEffectDataModule* EffectDataModule = nullptr;

void LoadSkinPicture(TGraphicContainer& container, std::string_view resourceName) {
  const std::span<const unsigned char> data = FindEmbeddedResource(resourceName);
  if (data.empty())
    return;
  TPicture picture;
  try {
    picture.LoadFromJpeg(data);
  } catch (const EGlowraspError&) {
    return;
  }
  container.SetPicture(picture);
}

TEffectDataModule::TEffectDataModule(TComponent* owner)
    : TComponent(owner),
      BackgroundImage(CreateComponent<TGraphicContainer>(this, "BackgroundImage")),
      HelpImage(CreateComponent<TGraphicContainer>(this, "HelpImage")),
      KnobImage(CreateComponent<TGraphicContainer>(this, "KnobImage")) {
  SetName("EffectDataModule");
  LoadSkinPicture(*BackgroundImage, "background.jpg");
  LoadSkinPicture(*HelpImage, "help.jpg");
  LoadSkinPicture(*KnobImage, "knob.jpg");
  // The frame size is what gives the filmstrip its grid.
  KnobImage->SetWidth(74);
  KnobImage->SetHeight(74);
}

void CreateEffectDataModule() {
  if (!EffectDataModule)
    EffectDataModule = new TEffectDataModule();
}

void DestroyEffectDataModule() {
  delete EffectDataModule;
  EffectDataModule = nullptr;
}
