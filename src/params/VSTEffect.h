// The component through which the host-facing effect object drives the effect
// definition: processing, clearing, creating the processing state once the
// host has told sample rate and block size, and creating the editor form.
#pragma once

#include "base/Component.h"
#include "base/Event.h"
#include "params/VSTEffectOnProcessRecord.h"

#include <atomic>
#include <cstdint>

class TVSTEffect;
class TVSTParameterHost;
class TForm;

using TVSTEffectOnProcess =
    TEvent<void(TVSTEffect* Effect, PVSTEffectOnProcessRecord ProcessRecord)>;
using TNotifyEvent = TEvent<void(TComponent* Sender)>;
// SysWindow is the host's parent window handle.
using TVSTEffectOnCreateEditor = TEvent<TForm*(void* SysWindow)>;
using TVSTOnDelayGet = TEvent<std::int32_t()>;
using TVSTEffectOnSetBypass = TEvent<void(bool Bypass)>;

class TVSTEffect : public TComponent {
public:
  explicit TVSTEffect(TComponent* owner) : TComponent(owner) {}
  // Fires OnDestroy, created or not, then detaches from the parameter host.
  ~TVSTEffect() override;

  TVSTParameterHost* VSTParamHost() const { return FVSTParamHost.load(std::memory_order_relaxed); }
  void SetVSTParamHost(TVSTParameterHost* host);

  bool SampleRateSet() const { return FSampleRateSet; }
  bool BlockSizeSet() const { return FBlockSizeSet; }
  bool Created() const { return FCreated.load(std::memory_order_relaxed); }

  TVSTEffectOnProcess OnProcessM2M;
  TVSTEffectOnProcess OnProcessS2S;
  TVSTEffectOnProcess OnProcessS2Sm;
  TNotifyEvent OnCreate;
  TNotifyEvent OnDestroy;
  TNotifyEvent OnNewSamplingFrequency;
  TNotifyEvent OnNewBlockSize;
  TNotifyEvent OnClear;
  TVSTEffectOnCreateEditor OnCreateEditor;
  TVSTOnDelayGet OnDelayGet;
  // Assigned when the effect can pass its input through, on time.
  TVSTEffectOnSetBypass OnSetBypass;
  bool HasEditor = false;

  void ProcessM2M(PVSTEffectOnProcessRecord record) { Process(OnProcessM2M, record); }
  void ProcessS2S(PVSTEffectOnProcessRecord record) { Process(OnProcessS2S, record); }
  void ProcessS2Sm(PVSTEffectOnProcessRecord record) { Process(OnProcessS2Sm, record); }
  void Clear();
  TForm* CreateEditor(void* SysWindow);
  std::int32_t GetDelay() const { return OnDelayGet ? OnDelayGet() : 0; }
  bool CanBypass() const { return static_cast<bool>(OnSetBypass); }
  // False when the effect cannot bypass.
  bool SetBypass(bool Bypass) {
    if (OnSetBypass)
      OnSetBypass(Bypass);
    return CanBypass();
  }

protected:
  void Loaded() override { TryCreate(); }

private:
  bool Enabled() const { return Created() && VSTParamHost() != nullptr; }
  void Process(const TVSTEffectOnProcess& handler, PVSTEffectOnProcessRecord record);
  void HostNotify(void* Sender, std::uint8_t Kind, std::int32_t Value);
  void TryCreate();

  std::atomic<TVSTParameterHost*> FVSTParamHost{nullptr};
  bool FSampleRateSet = false;
  bool FBlockSizeSet = false;
  std::atomic<bool> FCreated{false};
};
