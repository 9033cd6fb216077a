// How editor controls reach parameters by name. The form's description cannot
// name objects of the effect definition, so a proxy is pointed at the
// parameter host once the form exists, and each source resolves its parameter
// name through the proxy and relays that parameter's changes to its controls.
#pragma once

#include "base/Component.h"
#include "params/GraphicNotifyHost.h"
#include "params/VSTParameterHost.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

class TVSTParameterHostProxy : public TComponent {
public:
  explicit TVSTParameterHostProxy(TComponent* owner);
  // Its sources hear gnDestroying and let go of their parameters.
  ~TVSTParameterHostProxy() override;

  TGraphicNotifyHost& Notifier() { return *FNotifier; }
  TVSTParameterHost* Host() const { return FHost; }
  // Every change, to a host or to none, tells the sources gnHostChanged.
  void SetHost(TVSTParameterHost* host);

private:
  void HostNotify(void* Sender, std::uint8_t Kind, std::int32_t Value);

  std::unique_ptr<TGraphicNotifyHost> FNotifier;
  TVSTParameterHost* FHost = nullptr;
};

class TVSTParameterSource : public TComponent {
public:
  explicit TVSTParameterSource(TComponent* owner);
  // Its controls hear gnDestroying.
  ~TVSTParameterSource() override;

  TVSTParameterHostProxy* Proxy() const { return FProxy; }
  void SetProxy(TVSTParameterHostProxy* proxy);
  const std::string& VSTParamName() const { return FVSTParamName; }
  // A new letter case of the same name is stored without resolving again.
  void SetVSTParamName(const std::string& name);
  // Read on whatever thread a parameter notification arrives on.
  TVSTParameter* Parameter() const { return FParameter.load(std::memory_order_relaxed); }
  TGraphicNotifyHost& Notifier() { return *FNotifier; }

private:
  void Rebind();
  void ProxyNotify(void* Sender, std::uint8_t Kind, std::int32_t Value);
  void ParamNotify(void* Sender, std::uint8_t Kind, std::int32_t Value);

  std::unique_ptr<TGraphicNotifyHost> FNotifier;
  TVSTParameterHostProxy* FProxy = nullptr;
  std::atomic<TVSTParameter*> FParameter{nullptr};
  std::string FVSTParamName;
};
