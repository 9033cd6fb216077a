// Named objects that own the components created with them as owner, and that
// know while their description is being applied.
#pragma once

#include <atomic>
#include <string>
#include <utility>
#include <vector>

class TComponent {
public:
  explicit TComponent(TComponent* owner = nullptr);
  virtual ~TComponent();
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  TComponent* Owner() const { return FOwner; }
  const std::vector<TComponent*>& Components() const { return FComponents; }
  TComponent* FindComponent(const std::string& name) const;

  const std::string& Name() const { return FName; }
  void SetName(std::string name) { FName = std::move(name); }

  // Set while the component's description is applied; some notifications are
  // held back meanwhile.
  bool Loading() const { return FLoading.load(std::memory_order_relaxed); }
  void BeginLoading() { FLoading.store(true, std::memory_order_relaxed); }
  // Clears the loading state and gives the component its chance to act on the
  // complete description.
  void EndLoading();

protected:
  virtual void Loaded() {}
  // Owned components die last-created first, before the derived class's members
  // they may call back into; derived destructors call this first.
  void DestroyComponents();

private:
  void InsertComponent(TComponent* child) { FComponents.push_back(child); }
  void RemoveComponent(TComponent* child);

  TComponent* FOwner;
  std::string FName;
  std::vector<TComponent*> FComponents;
  // Read by parameter notifications, which may run on the host's threads.
  std::atomic<bool> FLoading{false};
};

// Creates a component owned by `owner` and gives it its name.
template <class T, class... Args>
T* CreateComponent(TComponent* owner, std::string name, Args&&... args) {
  T* component = new T(owner, std::forward<Args>(args)...);
  component->SetName(std::move(name));
  return component;
}
