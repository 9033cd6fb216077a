#include "editor/EffDataModule.h"

#include "base/Error.h"
#include "toolkit/EmbeddedResource.h"

#include <string>

TEffectDataModule* EffectDataModule = nullptr;

namespace {

// The embedded JPEG named `name`; false leaves `picture` empty.
bool LoadEmbeddedJpeg(TPicture& picture, std::string_view name) {
  const std::span<const unsigned char> data = FindEmbeddedResource(name);
  if (data.empty())
    return false;
  try {
    picture.LoadFromJpeg(data);
  } catch (const EGlowraspError&) {
    return false;
  }
  return true;
}

} // namespace

void LoadSkinPicture(TGraphicContainer& container, std::string_view resourceName) {
  TPicture picture;
  if (!LoadEmbeddedJpeg(picture, resourceName))
    return;
  container.SetPicture(picture);
  // "knob.jpg" has its denser versions in "knob@2x.jpg" and "knob@3x.jpg".
  const std::size_t dot = resourceName.rfind('.');
  const std::string_view stem = resourceName.substr(0, dot);
  const std::string_view extension =
      dot == std::string_view::npos ? std::string_view() : resourceName.substr(dot);
  for (int density = 2; density <= TPictureSet::kMaxDensity; ++density) {
    TPicture dense;
    const std::string name =
        std::string(stem) + "@" + std::to_string(density) + "x" + std::string(extension);
    if (LoadEmbeddedJpeg(dense, name))
      container.SetDensePicture(density, dense);
  }
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
