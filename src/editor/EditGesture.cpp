#include "editor/EditGesture.h"

void TEditGesture::Begin(TVSTParameter* Param, TVSTParameter* Sync) {
  if (Active() || !Param)
    return;
  FParams = {Param, Sync};
  for (TVSTParameter* p : FParams)
    if (p)
      p->BeginEdit();
}

void TEditGesture::End() {
  const auto held = FParams;
  FParams = {};
  for (TVSTParameter* p : held)
    if (p)
      p->EndEdit();
}

void RequestValueGesture(TVSTParameter& Param, std::int32_t Value) {
  Param.BeginEdit();
  Param.RequestValue(Value);
  Param.EndEdit();
}
