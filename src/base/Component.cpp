#include "base/Component.h"

#include <algorithm>

TComponent::TComponent(TComponent* owner) : FOwner(owner) {
  if (FOwner)
    FOwner->InsertComponent(this);
}

TComponent::~TComponent() {
  DestroyComponents();
  if (FOwner)
    FOwner->RemoveComponent(this);
}

void TComponent::DestroyComponents() {
  while (!FComponents.empty())
    delete FComponents.back();
}

void TComponent::RemoveComponent(TComponent* child) {
  const auto it = std::find(FComponents.begin(), FComponents.end(), child);
  if (it != FComponents.end())
    FComponents.erase(it);
}

TComponent* TComponent::FindComponent(const std::string& name) const {
  for (TComponent* c : FComponents)
    if (c->Name() == name)
      return c;
  return nullptr;
}

void TComponent::EndLoading() {
  FLoading.store(false, std::memory_order_relaxed);
  Loaded();
}
