// The VST3 plug-in object: the component, its audio processor and its edit
// controller in one, over one effect instance (a single-component effect:
// hosts find the controller by asking the component for it).
//
// Threads, as the format has them. process comes from the audio thread and
// takes no lock, allocates nothing, makes no system call; parameter values
// reach the instance through its real-time safe setter from either side.
// Everything else (initialize, buses, setup, activation, state, the
// controller's calls and the view) comes from the host's main (UI) thread.
// Reference counts are atomic: hosts release from any thread.
#pragma once

#include "instance/EffectInstance.h"
#include "vst3/Vst3Interface.h"

#include <travesty/audio_processor.h>
#include <travesty/component.h>
#include <travesty/edit_controller.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>

class TVst3View;

class TVst3Effect {
public:
  TVst3Effect();
  TVst3Effect(const TVst3Effect&) = delete;
  TVst3Effect& operator=(const TVst3Effect&) = delete;

  // The interface the factory was asked for, with one reference, or null.
  void* Query(const v3_tuid iid);
  std::uint32_t AddRef();
  std::uint32_t Release();

  TEffectInstance& Instance() { return *FInstance; }

  // The view's edits, passed on to the host's component handler.
  void BeginEdit(std::int32_t index);
  void PerformEdit(std::int32_t index, double normalized);
  void EndEdit(std::int32_t index);
  // An instance has one editor at a time: a view may open one only while no
  // other view has one open.
  bool ClaimEditor(TVst3View* view);
  void ReleaseEditor(const TVst3View* view);
  // The user's zoom, kept in the controller's state; the host hears the
  // state changed when its handler can be told.
  void EditorZoomChosen(double zoom);

private:
  ~TVst3Effect();

  using TSlot = TInterfaceSlot<TVst3Effect>;
  static const v3_component_cpp kComponentVtable;
  static const v3_audio_processor_cpp kProcessorVtable;
  static const v3_edit_controller_cpp kControllerVtable;
  static const v3_process_context_requirements_cpp kContextRequirementsVtable;

  // Shared by the component and the controller.
  static v3_result V3_API Initialize(void* self, v3_funknown** context);
  static v3_result V3_API Terminate(void* self);

  // Component.
  static v3_result V3_API GetControllerClassId(void* self, v3_tuid classId);
  static v3_result V3_API SetIoMode(void* self, int32_t mode);
  static int32_t V3_API GetBusCount(void* self, int32_t mediaType, int32_t direction);
  static v3_result V3_API GetBusInfo(void* self, int32_t mediaType, int32_t direction,
                                     int32_t index, v3_bus_info* info);
  static v3_result V3_API GetRoutingInfo(void* self, v3_routing_info* in, v3_routing_info* out);
  static v3_result V3_API ActivateBus(void* self, int32_t mediaType, int32_t direction,
                                      int32_t index, v3_bool state);
  static v3_result V3_API SetActive(void* self, v3_bool state);
  static v3_result V3_API SetState(void* self, v3_bstream** stream);
  static v3_result V3_API GetState(void* self, v3_bstream** stream);

  // Audio processor.
  static v3_result V3_API SetBusArrangements(void* self, v3_speaker_arrangement* inputs,
                                             int32_t inputCount, v3_speaker_arrangement* outputs,
                                             int32_t outputCount);
  static v3_result V3_API GetBusArrangement(void* self, int32_t direction, int32_t index,
                                            v3_speaker_arrangement* arrangement);
  static v3_result V3_API CanProcessSampleSize(void* self, int32_t size);
  static uint32_t V3_API GetLatencySamples(void* self);
  static v3_result V3_API SetupProcessing(void* self, v3_process_setup* setup);
  static v3_result V3_API SetProcessing(void* self, v3_bool state);
  static v3_result V3_API Process(void* self, v3_process_data* data);
  static uint32_t V3_API GetTailSamples(void* self);

  // Edit controller.
  static v3_result V3_API SetComponentState(void* self, v3_bstream** stream);
  static v3_result V3_API SetControllerState(void* self, v3_bstream** stream);
  static v3_result V3_API GetControllerState(void* self, v3_bstream** stream);
  static int32_t V3_API GetParameterCount(void* self);
  static v3_result V3_API GetParameterInfo(void* self, int32_t index, v3_param_info* info);
  static v3_result V3_API GetParameterStringForValue(void* self, v3_param_id id, double normalized,
                                                     v3_str_128 text);
  static v3_result V3_API GetParameterValueForString(void* self, v3_param_id id, int16_t* text,
                                                     double* normalized);
  static double V3_API NormalizedToPlain(void* self, v3_param_id id, double normalized);
  static double V3_API PlainToNormalized(void* self, v3_param_id id, double plain);
  static double V3_API GetParameterNormalized(void* self, v3_param_id id);
  static v3_result V3_API SetParameterNormalized(void* self, v3_param_id id, double normalized);
  static v3_result V3_API SetComponentHandler(void* self, v3_component_handler** handler);
  static v3_plugin_view** V3_API CreateView(void* self, const char* name);

  // What the processor needs of the host's process context: nothing; the
  // shaper knows no tempo, position or transport.
  static uint32_t V3_API GetProcessContextRequirements(void* self);

  // The instance's index for a parameter ID from the host, or -1.
  static std::int32_t IndexOf(v3_param_id id);
  v3_result LoadState(v3_bstream** stream);
  // False for frames without a usable stereo output.
  bool ProcessBlock(const v3_process_data& data);

  TSlot FComponent{&kComponentVtable, this};
  TSlot FProcessor{&kProcessorVtable, this};
  TSlot FController{&kControllerVtable, this};
  TSlot FContextRequirements{&kContextRequirementsVtable, this};
  std::atomic<std::uint32_t> FReferences{1};
  // Component and controller are one object, and hosts initialize each.
  int FInitializations = 0;
  std::unique_ptr<TEffectInstance> FInstance;
  // The changes handed to the instance in one call; more in one block go in
  // several. Audio thread only.
  std::array<TParameterChange, 256> FChanges{};
  v3_component_handler** FHandler = nullptr;
  TVst3View* FView = nullptr;
};
