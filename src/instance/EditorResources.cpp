#include "instance/EditorResources.h"

#include "editor/EffDataModule.h"

void LoadEditorResources() {
  CreateEffectDataModule();
}

void ReleaseEditorResources() {
  DestroyEffectDataModule();
}
