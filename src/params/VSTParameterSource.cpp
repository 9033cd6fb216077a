#include "params/VSTParameterSource.h"

#include "params/NotifierLink.h"

TVSTParameterHostProxy::TVSTParameterHostProxy(TComponent* owner)
    : TComponent(owner), FNotifier(std::make_unique<TGraphicNotifyHost>(this)) {}

TVSTParameterHostProxy::~TVSTParameterHostProxy() {
  Unlink(FHost, this);
  FNotifier.reset();
}

void TVSTParameterHostProxy::SetHost(TVSTParameterHost* host) {
  if (Relink(FHost, host, this,
             TGraphicNotifyEvent::Bind<&TVSTParameterHostProxy::HostNotify>(this)))
    FNotifier->Notify(gnHostChanged, 0);
}

void TVSTParameterHostProxy::HostNotify(void*, std::uint8_t Kind, std::int32_t) {
  if (Kind != gnDestroying)
    return;
  // The host's list goes with the host: nothing to unregister from.
  FHost = nullptr;
  FNotifier->Notify(gnHostChanged, 0);
}

TVSTParameterSource::TVSTParameterSource(TComponent* owner)
    : TComponent(owner), FNotifier(std::make_unique<TGraphicNotifyHost>(this)) {}

TVSTParameterSource::~TVSTParameterSource() {
  Unlink(Parameter(), this);
  Unlink(FProxy, this);
  FNotifier.reset();
}

void TVSTParameterSource::SetProxy(TVSTParameterHostProxy* proxy) {
  if (Relink(FProxy, proxy, this,
             TGraphicNotifyEvent::Bind<&TVSTParameterSource::ProxyNotify>(this)))
    Rebind();
}

void TVSTParameterSource::SetVSTParamName(const std::string& name) {
  const bool sameParameter = SameNameIgnoringCase(name, FVSTParamName);
  FVSTParamName = name;
  if (!sameParameter)
    Rebind();
}

void TVSTParameterSource::Rebind() {
  bool changed = false;
  if (TVSTParameter* old = Parameter()) {
    old->Notifier().RemoveListener(this);
    FParameter.store(nullptr, std::memory_order_relaxed);
    changed = true;
  }
  TVSTParameterHost* host = FProxy ? FProxy->Host() : nullptr;
  if (!FVSTParamName.empty() && host) {
    if (TVSTParameter* param = host->Parameters().ParamByName(FVSTParamName)) {
      // Published before the listener is registered, so a notification that
      // arrives at once finds the source already bound.
      FParameter.store(param, std::memory_order_relaxed);
      param->Notifier().AddListener(
          this, TGraphicNotifyEvent::Bind<&TVSTParameterSource::ParamNotify>(this));
      changed = true;
    }
  }
  if (changed)
    FNotifier->Notify(gnSourceChanged, 0);
}

void TVSTParameterSource::ProxyNotify(void*, std::uint8_t Kind, std::int32_t) {
  switch (Kind) {
  case gnDestroying:
    FProxy = nullptr;
    Rebind();
    break;
  case gnHostChanged:
    Rebind();
    break;
  default:
    break;
  }
}

// Runs on the thread that changed the parameter, which may be the host's.
void TVSTParameterSource::ParamNotify(void*, std::uint8_t Kind, std::int32_t Value) {
  switch (Kind) {
  case gnDestroying:
    FParameter.store(nullptr, std::memory_order_relaxed);
    FNotifier->Notify(gnSourceChanged, 0);
    break;
  case gnNameChanged:
    // The binding follows the parameter, not the name it was found by.
    if (TVSTParameter* param = Parameter())
      FVSTParamName = param->Name();
    break;
  case gnRangeChanged:
    if (!Loading())
      FNotifier->Notify(Kind, Value);
    break;
  default:
    break;
  }
}
