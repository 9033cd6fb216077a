// The plug-in's UI as an LV2 host shows it: an editor form in the host's X11
// window over a parameter model of its own (the DSP may run in another
// process). Port events set the model; knob gestures go back to the host as
// port writes in the ports' units and, where the host offers it, as touches.
#pragma once

#include "lv2/LV2Ports.h"
#include "shaper/EffParams.h"
#include "toolkit/Form.h"

#include <lv2/ui/ui.h>
#include <lv2/urid/urid.h>

#include <cstdint>
#include <memory>

struct TLV2HostInterface {
  LV2UI_Write_Function Write = nullptr;
  LV2UI_Controller Controller = nullptr;
  const LV2UI_Touch* Touch = nullptr;
  const LV2UI_Resize* Resize = nullptr;
  // The host's ui:scaleFactor; 0 when it gives none.
  double Scale = 0;
};

class TLV2EditorBase {
public:
  // Raises EGlowraspError when the form cannot live in parentWindow.
  TLV2EditorBase(void* parentWindow, const TLV2HostInterface& host);
  TLV2EditorBase(const TLV2EditorBase&) = delete;
  TLV2EditorBase& operator=(const TLV2EditorBase&) = delete;

  // The form's own window, which the host embeds.
  void* Widget() const { return FForm->Backend().WindowHandle(); }
  // A control port's value from the host (float protocol only).
  void PortEvent(std::uint32_t port, std::uint32_t bufferSize, std::uint32_t format,
                 const void* buffer);
  // The host's idle call: window events and pending repaints.
  void Idle() { FForm->Idle(); }
  // A new ui:scaleFactor from the host (0: none); the window follows.
  void SetHostScale(double scale);
  // The host's URI map, for reading options it sends later; may be null.
  LV2_URID_Map* UridMap() const { return FUridMap; }
  void SetUridMap(LV2_URID_Map* map) { FUridMap = map; }

private:
  void AutomateParameter(TVSTParameter* Param, float Value);
  void BeginParameterEdit(TVSTParameter* Param) { TouchPort(Param, true); }
  void EndParameterEdit(TVSTParameter* Param) { TouchPort(Param, false); }
  void TouchPort(const TVSTParameter* Param, bool grabbed) const;
  // Asks the host for the form's pixel size.
  void FormResized(TForm* Sender);

  TLV2HostInterface FHost;
  LV2_URID_Map* FUridMap = nullptr;
  std::unique_ptr<TEffParameters> FDefinition;
  // Declared last, so it goes first: its controls refer to the parameters.
  std::unique_ptr<TForm> FForm;
};
