// The plug-in's parameters and the settings the host-facing effect object reads
// when it is built.
#pragma once

#include "base/Component.h"
#include "params/GraphicNotifyHost.h"
#include "params/VSTParameter.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

class TVSTParameterHost : public TComponent {
public:
  explicit TVSTParameterHost(TComponent* owner);
  // Tells its listeners first, then destroys the parameters.
  ~TVSTParameterHost() override;

  TGraphicNotifyHost& Notifier() { return *FNotifier; }
  TVSTParameters& Parameters() { return *FParameters; }
  const TVSTParameters& Parameters() const { return *FParameters; }

  bool CanMono = true;
  bool CanProcessReplacing = true;
  std::string UniqueId = "FX99";
  std::int32_t EditorWidth = 100;
  std::int32_t EditorHeight = 100;
  std::string DefaultProgramName = "Default";
  // How hosts name and list the plug-in. VendorVersion: major * 1000 +
  // minor * 100 + patch. TailSize: frames the output still carries after
  // the input stops.
  std::string EffectName;
  std::string VendorName;
  std::string ProductName;
  std::int32_t VendorVersion = 0;
  std::int32_t TailSize = 0;

  // The processing routes exist for two channels each way only, so any change
  // of a count lands on ChannelCount.
  static constexpr std::int32_t ChannelCount = 2;
  std::int32_t InChannelCount() const { return FInChannelCount.load(std::memory_order_relaxed); }
  std::int32_t OutChannelCount() const { return FOutChannelCount.load(std::memory_order_relaxed); }
  void SetInChannelCount(std::int32_t count);
  void SetOutChannelCount(std::int32_t count);

  std::int32_t SampleRate() const { return FSampleRate; }
  std::int32_t BlockSize() const { return FBlockSize; }
  void SetSampleRate(std::int32_t rate);
  void SetBlockSize(std::int32_t size);

  const TVSTOnParamAutomate& OnParamAutomate() const { return FOnParamAutomate; }
  void SetOnParamAutomate(TVSTOnParamAutomate handler) { FOnParamAutomate = handler; }
  const TVSTOnParamEdit& OnParamBeginEdit() const { return FOnParamBeginEdit; }
  void SetOnParamBeginEdit(TVSTOnParamEdit handler) { FOnParamBeginEdit = handler; }
  const TVSTOnParamEdit& OnParamEndEdit() const { return FOnParamEndEdit; }
  void SetOnParamEndEdit(TVSTOnParamEdit handler) { FOnParamEndEdit = handler; }

  // Lets every parameter's change event through and fires each once.
  void ActivateParameters();

private:
  std::unique_ptr<TGraphicNotifyHost> FNotifier;
  std::unique_ptr<TVSTParameters> FParameters;
  std::atomic<std::int32_t> FInChannelCount{ChannelCount};
  std::atomic<std::int32_t> FOutChannelCount{ChannelCount};
  std::int32_t FSampleRate = 0;
  std::int32_t FBlockSize = 0;
  TVSTOnParamAutomate FOnParamAutomate;
  TVSTOnParamEdit FOnParamBeginEdit;
  TVSTOnParamEdit FOnParamEndEdit;
};
