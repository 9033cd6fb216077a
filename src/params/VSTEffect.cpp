#include "params/VSTEffect.h"

#include "params/VSTParameterHost.h"

TVSTEffect::~TVSTEffect() {
  if (OnDestroy)
    OnDestroy(this);
  SetVSTParamHost(nullptr);
}

void TVSTEffect::SetVSTParamHost(TVSTParameterHost* host) {
  TVSTParameterHost* current = VSTParamHost();
  if (host == current)
    return;
  if (current) {
    current->Notifier().RemoveListener(this);
    FVSTParamHost.store(nullptr, std::memory_order_relaxed);
  }
  if (host) {
    host->Notifier().AddListener(this, TGraphicNotifyEvent::Bind<&TVSTEffect::HostNotify>(this));
    FVSTParamHost.store(host, std::memory_order_relaxed);
  }
}

void TVSTEffect::Process(const TVSTEffectOnProcess& handler, PVSTEffectOnProcessRecord record) {
  if (Enabled() && handler)
    handler(this, record);
}

void TVSTEffect::Clear() {
  if (Enabled() && OnClear)
    OnClear(this);
}

TForm* TVSTEffect::CreateEditor(void* SysWindow) {
  if (Enabled() && OnCreateEditor)
    return OnCreateEditor(SysWindow);
  return nullptr;
}

void TVSTEffect::HostNotify(void*, std::uint8_t Kind, std::int32_t) {
  switch (Kind) {
  case gnDestroying:
    FVSTParamHost.store(nullptr, std::memory_order_relaxed);
    break;
  case gnSampleRateChanged:
    FSampleRateSet = true;
    if (!Created())
      TryCreate();
    else if (OnNewSamplingFrequency)
      OnNewSamplingFrequency(this);
    break;
  case gnBlockSizeChanged:
    FBlockSizeSet = true;
    if (!Created())
      TryCreate();
    else if (OnNewBlockSize)
      OnNewBlockSize(this);
    break;
  default:
    break;
  }
}

// Created only once OnCreate has returned: a creation that throws leaves the
// component waiting, and the next sample-rate or block-size report tries again.
void TVSTEffect::TryCreate() {
  if (!FSampleRateSet || !FBlockSizeSet)
    return;
  if (OnCreate)
    OnCreate(this);
  FCreated.store(true, std::memory_order_relaxed);
}
