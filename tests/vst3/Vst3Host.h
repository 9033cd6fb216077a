// A small VST3 host for the tests: loads a bundle's binary with the
// platform's loader, reads its factory, creates the audio module and drives
// it through the binary interface only. It knows nothing of our plug-in, so
// it also loads third-party bundles.
#pragma once

#include "hostlib/SharedLibrary.h"

#include <travesty/audio_processor.h>
#include <travesty/component.h>
#include <travesty/edit_controller.h>
#include <travesty/factory.h>
#include <travesty/host.h>
#include <travesty/view.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <ostream>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace vst3host {

std::string FromUtf16(const int16_t* text, std::size_t capacity);
std::vector<int16_t> ToUtf16(const std::string& text);
bool SameId(const v3_tuid a, const v3_tuid b);

// What the plug-in holds of a host object: the vtable pointer it calls
// through, then the object the call is for.
template <class TVtable, class TOwner>
struct TSlot {
  const TVtable* Vtable;
  TOwner* Owner;
  static TOwner& From(void* self) { return *static_cast<TSlot*>(self)->Owner; }
};

// An interface pointer the host holds one reference of.
template <class TVtable>
class TRef {
public:
  TRef() = default;
  explicit TRef(TVtable** object) : FObject(object) {}
  ~TRef() { Reset(); }
  TRef(TRef&& other) noexcept : FObject(std::exchange(other.FObject, nullptr)) {}
  TRef& operator=(TRef&& other) noexcept {
    if (this != &other) {
      Reset();
      FObject = std::exchange(other.FObject, nullptr);
    }
    return *this;
  }
  TRef(const TRef&) = delete;
  TRef& operator=(const TRef&) = delete;

  TVtable** Get() const { return FObject; }
  TVtable* operator->() const { return *FObject; }
  explicit operator bool() const { return FObject != nullptr; }
  void Reset() {
    if (FObject)
      (*FObject)->unref(FObject);
    FObject = nullptr;
  }

  // Another interface of the same object, or an empty reference.
  template <class TOther>
  TRef<TOther> Query(const v3_tuid iid) const {
    void* other = nullptr;
    if (!FObject || (*FObject)->query_interface(FObject, iid, &other) != V3_OK)
      return {};
    return TRef<TOther>(static_cast<TOther**>(other));
  }

private:
  TVtable** FObject = nullptr;
};

struct TClassInfo {
  v3_tuid Id;
  std::string Category;
  std::string Name;
  std::uint32_t Flags = 0;
  std::string SubCategories;
  std::string Vendor;
  std::string Version;
  std::string SdkVersion;
};

// The host application object handed to initialize and the factory.
class THostApplication {
public:
  THostApplication();
  v3_funknown** Unknown() { return reinterpret_cast<v3_funknown**>(&FSelf); }

private:
  v3_host_application_cpp FVtable{};
  TSlot<v3_host_application_cpp, THostApplication> FSelf{&FVtable, this};
};

// A binary's module: entry point, factory and exit.
class TModule {
public:
  // `binary` is the file inside the bundle's Contents/<architecture> folder.
  explicit TModule(const std::string& binary);
  ~TModule();
  TModule(const TModule&) = delete;
  TModule& operator=(const TModule&) = delete;

  v3_plugin_factory_cpp** Factory() const { return FFactory.Get(); }
  v3_factory_info FactoryInfo() const;
  // Every class, in the richest form the factory offers.
  std::vector<TClassInfo> Classes() const;
  const glowrasp::host::SharedLibrary& Library() const { return FLibrary; }

private:
  glowrasp::host::SharedLibrary FLibrary;
  TRef<v3_plugin_factory_cpp> FFactory;
  bool FEntered = false;
};

// An in-memory IBStream.
class TMemoryStream {
public:
  explicit TMemoryStream(std::vector<std::uint8_t> bytes = {});
  v3_bstream** Stream() { return reinterpret_cast<v3_bstream**>(&FSelf); }
  const std::vector<std::uint8_t>& Bytes() const { return FBytes; }
  std::int64_t Position() const { return FPosition; }
  // Largest piece a single read hands out, as a slow host stream might.
  std::int32_t ReadLimit = INT32_MAX;
  // A read that hands out less than asked answers an error, as some hosts'
  // streams do at their end.
  bool FailsShortReads = false;

private:
  struct TVtable : v3_funknown {
    v3_bstream Stream;
  };
  using TSelf = TSlot<TVtable, TMemoryStream>;
  TVtable FVtable{};
  TSelf FSelf{&FVtable, this};
  std::vector<std::uint8_t> FBytes;
  std::int64_t FPosition = 0;
};

// Parameter changes for one block: per parameter, points in frame order;
// the plug-in's output changes too.
class TParameterChanges {
public:
  TParameterChanges();
  TParameterChanges(const TParameterChanges&) = delete;
  TParameterChanges& operator=(const TParameterChanges&) = delete;
  void Add(v3_param_id id, std::int32_t offset, double value);
  void Clear() { FQueues.clear(); }
  v3_param_changes** Changes() { return reinterpret_cast<v3_param_changes**>(&FSelf); }

private:
  struct TQueue {
    v3_param_id Id;
    std::vector<std::pair<std::int32_t, double>> Points;
    TSlot<v3_param_value_queue_cpp, TQueue> Self;
  };
  // The queue of `id`, made when there is none.
  std::size_t QueueIndex(v3_param_id id);
  using TSelf = TSlot<v3_param_changes_cpp, TParameterChanges>;
  using TQueueSelf = TSlot<v3_param_value_queue_cpp, TQueue>;
  v3_param_changes_cpp FVtable{};
  v3_param_value_queue_cpp FQueueVtable{};
  TSelf FSelf{&FVtable, this};
  std::vector<std::unique_ptr<TQueue>> FQueues;
};

// What an edit controller told its host, in order.
struct THandlerEvent {
  enum TKind { heBegin, hePerform, heEnd, heRestart } Kind;
  std::uint32_t Id;
  double Value;
  bool operator==(const THandlerEvent&) const = default;
};

void PrintTo(const THandlerEvent& e, std::ostream* os);

class TComponentHandler {
public:
  struct TVtable : v3_funknown {
    v3_component_handler handler;
  };
  TComponentHandler();
  v3_component_handler** Handler() { return reinterpret_cast<v3_component_handler**>(&FSelf); }
  std::vector<THandlerEvent> Events;
  // Calls of the second handler interface's set_dirty(true).
  int DirtyMarks = 0;

private:
  struct TVtable2 : v3_funknown {
    v3_component_handler2 handler2;
  };
  using TSelf = TSlot<TVtable, TComponentHandler>;
  using TSelf2 = TSlot<TVtable2, TComponentHandler>;
  v3_result Query(const v3_tuid iid, void** object);
  TVtable FVtable{};
  TVtable2 FVtable2{};
  TSelf FSelf{&FVtable, this};
  TSelf2 FSelf2{&FVtable2, this};
};

// The host's frame around a view, and the run loop it offers on Linux.
class TPlugFrame {
public:
  TPlugFrame();
  v3_plugin_frame** Frame() { return reinterpret_cast<v3_plugin_frame**>(&FSelf); }
  // Calls every handler whose descriptor is readable and every timer once.
  void Pump();
  std::size_t EventHandlerCount() const { return FHandlers.size(); }
  std::size_t TimerCount() const { return FTimers.size(); }
  // Each resizeView's size; the frame answers it with the view's onSize, as
  // hosts do, and counts the sizes the view refused.
  std::vector<std::pair<int, int>> ResizeRequests;
  int RefusedSizes = 0;

private:
  struct TVtable : v3_funknown {
    v3_plugin_frame Frame;
  };
  struct TLoopVtable : v3_funknown {
    v3_run_loop Loop;
  };
  using TSelf = TSlot<TVtable, TPlugFrame>;
  using TLoopSelf = TSlot<TLoopVtable, TPlugFrame>;
  TVtable FVtable{};
  TLoopVtable FLoopVtable{};
  TSelf FSelf{&FVtable, this};
  TLoopSelf FLoopSelf{&FLoopVtable, this};
  std::vector<std::pair<v3_event_handler_cpp**, int>> FHandlers;
  std::vector<v3_timer_handler_cpp**> FTimers;
};

// One instance of a module's audio module class, initialized, with its
// controller: the component itself when it is one, else the class it names.
class TPluginInstance {
public:
  TPluginInstance(const TModule& module, THostApplication& host);
  ~TPluginInstance();
  TPluginInstance(const TPluginInstance&) = delete;
  TPluginInstance& operator=(const TPluginInstance&) = delete;

  const TRef<v3_component_cpp>& Component() const { return FComponent; }
  const TRef<v3_audio_processor_cpp>& Processor() const { return FProcessor; }
  const TRef<v3_edit_controller_cpp>& Controller() const { return FController; }
  bool SingleComponent() const { return FSingle; }

  // Stereo in and out, setup, active, processing.
  bool Start(double sampleRate, std::int32_t maxBlock);
  void Stop();
  // One 32-bit block on one stereo bus each way; in place when the pointers are equal.
  v3_result Process(float* const* inputs, float* const* outputs, std::int32_t frames,
                    v3_param_changes** changes = nullptr);

  std::vector<v3_param_info> Parameters() const;

private:
  TParameterChanges FOutputChanges;
  TRef<v3_component_cpp> FComponent;
  TRef<v3_audio_processor_cpp> FProcessor;
  TRef<v3_edit_controller_cpp> FController;
  bool FSingle = false;
  bool FControllerInitialized = false;
  bool FActive = false;
  bool FProcessing = false;
};

} // namespace vst3host
