#include "params/VSTParameterHost.h"

TVSTParameterHost::TVSTParameterHost(TComponent* owner)
    : TComponent(owner), FNotifier(std::make_unique<TGraphicNotifyHost>(this)),
      FParameters(std::make_unique<TVSTParameters>(this)) {}

TVSTParameterHost::~TVSTParameterHost() {
  FNotifier.reset();
  FParameters.reset();
}

void TVSTParameterHost::SetInChannelCount(std::int32_t count) {
  if (count != InChannelCount())
    FInChannelCount.store(ChannelCount, std::memory_order_relaxed);
}

void TVSTParameterHost::SetOutChannelCount(std::int32_t count) {
  if (count != OutChannelCount())
    FOutChannelCount.store(ChannelCount, std::memory_order_relaxed);
}

void TVSTParameterHost::SetSampleRate(std::int32_t rate) {
  if (rate == FSampleRate)
    return;
  FSampleRate = rate;
  FNotifier->Notify(gnSampleRateChanged, 0);
}

void TVSTParameterHost::SetBlockSize(std::int32_t size) {
  if (size == FBlockSize)
    return;
  FBlockSize = size;
  FNotifier->Notify(gnBlockSizeChanged, 0);
}

void TVSTParameterHost::ActivateParameters() {
  for (std::int32_t i = 0; i < FParameters->Count(); ++i) {
    TVSTParameter* param = FParameters->Items(i);
    param->Activate();
    param->DoParamChange();
  }
}
