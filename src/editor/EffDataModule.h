// The skin pictures every editor window of every instance shares. One module
// lives from library load to unload.
#pragma once

#include "editor/GraphicContainer.h"
#include "toolkit/Component.h"

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
