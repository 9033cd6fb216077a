// The plug-in's UI as an LV2 host shows it: the effect editor in the host's
// X11 window over an effect instance of its own (the DSP may run in another
// process). Port events set that instance; knob gestures go back to the host
// as port writes in the ports' units and, where the host offers it, as touches.
#pragma once

#include "instance/EffectEditor.h"
#include "instance/EffectEditorHost.h"
#include "instance/EffectInstance.h"

#include <lv2/ui/ui.h>
#include <lv2/urid/urid.h>

#include <cstdint>
#include <memory>

struct TLV2HostInterface {
  LV2UI_Write_Function Write = nullptr;
  LV2UI_Controller Controller = nullptr;
  const LV2UI_Touch* Touch = nullptr;
  const LV2UI_Resize* Resize = nullptr;
  // The host's URI map, for reading options it sends later; may be null.
  const LV2_URID_Map* Map = nullptr;
  // The host's ui:scaleFactor; 0 when it gives none.
  double Scale = 0;
};

class TLV2EditorBase final : private TEffectEditorHost {
public:
  // Raises EGlowraspError when the editor cannot live in parentWindow.
  TLV2EditorBase(void* parentWindow, const TLV2HostInterface& host);
  TLV2EditorBase(const TLV2EditorBase&) = delete;
  TLV2EditorBase& operator=(const TLV2EditorBase&) = delete;

  // The editor's own window, which the host embeds.
  void* Widget() const { return FEditor->WindowHandle(); }
  // A control port's value from the host (float protocol only).
  void PortEvent(std::uint32_t port, std::uint32_t bufferSize, std::uint32_t format,
                 const void* buffer);
  // The host's idle call: window events and pending repaints.
  void Idle() { FEditor->Idle(); }
  // A new ui:scaleFactor from the host (0: none); the window follows.
  void SetHostScale(double scale) { FEditor->SetScale(scale); }
  const LV2_URID_Map* UridMap() const { return FHost.Map; }

private:
  // As the VST boundary does: the value is applied, then the host is told.
  void PerformEdit(std::int32_t index, double normalized) override;
  void BeginEdit(std::int32_t index) override { TouchPort(index, true); }
  void EndEdit(std::int32_t index) override { TouchPort(index, false); }
  void TouchPort(std::int32_t index, bool grabbed) const;
  bool RequestResize(std::int32_t width, std::int32_t height) override;

  TLV2HostInterface FHost;
  // No audio runs here: the instance is the model the editor shows.
  TEffectInstance FInstance{0.0};
  // Declared last, so it goes first: it refers to the instance.
  std::unique_ptr<TEffectEditor> FEditor;
};
