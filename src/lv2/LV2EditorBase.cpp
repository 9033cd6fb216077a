#include "lv2/LV2EditorBase.h"

#include "lv2/LV2PortValue.h"
#include "lv2/LV2Ports.h"

TLV2EditorBase::TLV2EditorBase(void* parentWindow, const TLV2HostInterface& host)
    : FHost(host),
      FEditor(std::make_unique<TEffectEditor>(FInstance, parentWindow,
                                              static_cast<TEffectEditorHost&>(*this), host.Scale)) {
  const TSize size = FEditor->Size();
  RequestResize(size.Width, size.Height);
}

bool TLV2EditorBase::RequestResize(std::int32_t width, std::int32_t height) {
  return FHost.Resize && FHost.Resize->ui_resize &&
         FHost.Resize->ui_resize(FHost.Resize->handle, width, height) == 0;
}

void TLV2EditorBase::PortEvent(std::uint32_t port, std::uint32_t bufferSize, std::uint32_t format,
                               const void* buffer) {
  if (port >= lpCount || format != 0 || bufferSize != sizeof(float) || !buffer)
    return;
  const TLV2PortDescription& description = kLV2Ports[port];
  if (description.Role != prParameter)
    return;
  // Set on the instance, not passed to the editor's host: what the host sent
  // is not sent back.
  const std::int32_t steps = TEffectInstance::Parameter(description.Parameter).StepCount;
  const float value = *static_cast<const float*>(buffer);
  FInstance.SetNormalizedValue(description.Parameter,
                               StepToNormalized(PortValueToStep(description, steps, value), steps));
}

void TLV2EditorBase::PerformEdit(std::int32_t index, double normalized) {
  FInstance.SetNormalizedValue(index, normalized);
  const TLV2Port port = PortOfParameter(index);
  if (port == lpCount || !FHost.Write)
    return;
  const std::int32_t steps = TEffectInstance::Parameter(index).StepCount;
  const float portValue = StepToPortValue(
      kLV2Ports[port], steps, NormalizedToStep(FInstance.NormalizedValue(index), steps));
  FHost.Write(FHost.Controller, port, sizeof portValue, 0, &portValue);
}

void TLV2EditorBase::TouchPort(std::int32_t index, bool grabbed) const {
  const TLV2Port port = PortOfParameter(index);
  if (port != lpCount && FHost.Touch && FHost.Touch->touch)
    FHost.Touch->touch(FHost.Touch->handle, port, grabbed);
}
