// The skin pictures every editor window of every instance shares. One module
// lives from library load to unload.
#pragma once

#include "base/Component.h"
#include "editor/GraphicContainer.h"

#include <string_view>

class TEffectDataModule : public TComponent {
public:
  explicit TEffectDataModule(TComponent* owner = nullptr);

  TGraphicContainer* BackgroundImage;
  TGraphicContainer* HelpImage;
  TGraphicContainer* KnobImage;
};

// The library's one module; null before load and after unload.
extern TEffectDataModule* EffectDataModule;

void CreateEffectDataModule();
void DestroyEffectDataModule();

// Gives `container` the embedded JPEG named `resourceName` and its denser
// versions, named with "@2x" and "@3x" before the extension. A missing or
// unreadable picture leaves the container as it was: an editor without its
// skin still works, while an error here would fail the library's load.
void LoadSkinPicture(TGraphicContainer& container, std::string_view resourceName);
