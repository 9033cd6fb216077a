// The host side of the LV2 UI for the tests: loads the UI binary from the
// bundle, makes the UI inside a host window and records what it tells the
// host: port writes, touches and resize requests.
#pragma once

// Xlib's macros (None, Bool) clash with names inside gtest: gtest goes first.
#include <gtest/gtest.h>

#include <lv2/atom/atom.h>
#include <lv2/options/options.h>
#include <lv2/ui/ui.h>
#include <lv2/urid/urid.h>

#include <X11/Xlib.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <dlfcn.h>
#include <functional>
#include <ostream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

// What the UI told its host, in order.
struct THostEvent {
  enum TKind { heWrite, heGrab, heUngrab } Kind;
  std::uint32_t Port;
  float Value;
  bool operator==(const THostEvent&) const = default;
};

inline void PrintTo(const THostEvent& e, std::ostream* os) {
  static const char* const kinds[] = {"write", "grab", "ungrab"};
  *os << kinds[e.Kind] << " port " << e.Port;
  if (e.Kind == THostEvent::heWrite)
    *os << " = " << e.Value;
}

// The host around one UI at a time.
class TUIHost {
public:
  TUIHost() {
    FLibrary = dlopen(GLOWRASP_LV2_BUNDLE "/KestruneGlowrasp_ui.so", RTLD_NOW | RTLD_LOCAL);
    if (!FLibrary) {
      ADD_FAILURE() << dlerror();
      return;
    }
    auto entry = reinterpret_cast<LV2UI_DescriptorFunction>(dlsym(FLibrary, "lv2ui_descriptor"));
    FDescriptor = entry ? entry(0) : nullptr;
  }
  ~TUIHost() {
    Close();
    if (FLibrary)
      dlclose(FLibrary);
  }
  TUIHost(const TUIHost&) = delete;
  TUIHost& operator=(const TUIHost&) = delete;

  const LV2UI_Descriptor* Descriptor() const { return FDescriptor; }

  // The UI in `parent`, or null; with `parent` 0 the host offers no parent
  // window. A scale above 0 is offered as the ui:scaleFactor option.
  LV2UI_Handle Open(Window parent, float scale = 0) {
    void* parentData = reinterpret_cast<void*>(static_cast<std::uintptr_t>(parent));
    const LV2_Feature parentFeature{LV2_UI__parent, parentData};
    const LV2_Feature resizeFeature{LV2_UI__resize, &FResize};
    const LV2_Feature touchFeature{LV2_UI__touch, &FTouch};
    const LV2_Feature idleFeature{LV2_UI__idleInterface, nullptr};
    const LV2_Feature mapFeature{LV2_URID__map, &FMap};
    const std::vector<LV2_Options_Option> options = ScaleOptions(scale);
    const LV2_Feature optionsFeature{LV2_OPTIONS__options,
                                     const_cast<LV2_Options_Option*>(options.data())};
    std::vector<const LV2_Feature*> features{&resizeFeature, &touchFeature, &idleFeature};
    if (parent)
      features.push_back(&parentFeature);
    if (scale > 0) {
      features.push_back(&mapFeature);
      features.push_back(&optionsFeature);
    }
    features.push_back(nullptr);
    FHandle = FDescriptor->instantiate(FDescriptor, GLOWRASP_LV2_URI, GLOWRASP_LV2_BUNDLE "/",
                                       &Write, this, &Widget, features.data());
    if (FHandle)
      FIdle = static_cast<const LV2UI_Idle_Interface*>(
          FDescriptor->extension_data(LV2_UI__idleInterface));
    return FHandle;
  }
  void Close() {
    if (FHandle)
      FDescriptor->cleanup(FHandle);
    FHandle = nullptr;
  }

  void PortEvent(std::uint32_t port, float value) {
    FDescriptor->port_event(FHandle, port, sizeof value, 0, &value);
  }
  int Idle() { return FIdle ? FIdle->idle(FHandle) : -1; }
  // A new scale through the options interface, as hosts send it while the UI is open.
  std::uint32_t SetScale(float scale) {
    const auto* interface = static_cast<const LV2_Options_Interface*>(
        FDescriptor->extension_data(LV2_OPTIONS__interface));
    if (!interface)
      return LV2_OPTIONS_ERR_UNKNOWN;
    const std::vector<LV2_Options_Option> options = ScaleOptions(scale);
    return interface->set(FHandle, options.data());
  }
  // Calls idle until `done` holds or a generous deadline passes.
  bool IdleUntil(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    for (;;) {
      Idle();
      if (done())
        return true;
      if (std::chrono::steady_clock::now() > deadline)
        return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }

  LV2UI_Widget Widget = nullptr;
  std::vector<THostEvent> Events;
  std::vector<std::pair<int, int>> Resizes;

private:
  static void Write(LV2UI_Controller controller, std::uint32_t port, std::uint32_t size,
                    std::uint32_t protocol, const void* buffer) {
    auto* host = static_cast<TUIHost*>(controller);
    ASSERT_EQ(protocol, 0u);
    ASSERT_EQ(size, sizeof(float));
    float value = 0;
    std::memcpy(&value, buffer, sizeof value);
    host->Events.push_back({THostEvent::heWrite, port, value});
  }
  static void Touch(LV2UI_Feature_Handle handle, std::uint32_t port, bool grabbed) {
    static_cast<TUIHost*>(handle)->Events.push_back(
        {grabbed ? THostEvent::heGrab : THostEvent::heUngrab, port, 0});
  }
  static int Resize(LV2UI_Feature_Handle handle, int width, int height) {
    static_cast<TUIHost*>(handle)->Resizes.emplace_back(width, height);
    return 0;
  }

  static LV2_URID Map(LV2_URID_Map_Handle handle, const char* uri) {
    auto& uris = static_cast<TUIHost*>(handle)->FUris;
    const auto at = std::find(uris.begin(), uris.end(), uri);
    if (at != uris.end())
      return static_cast<LV2_URID>(at - uris.begin() + 1);
    uris.emplace_back(uri);
    return static_cast<LV2_URID>(uris.size());
  }

  // The option list: ui:scaleFactor as a float, then the terminating zero entry.
  std::vector<LV2_Options_Option> ScaleOptions(const float& scale) {
    return {{LV2_OPTIONS_INSTANCE, 0, Map(this, LV2_UI__scaleFactor), sizeof(float),
             Map(this, LV2_ATOM__Float), &scale},
            {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr}};
  }

  void* FLibrary = nullptr;
  std::vector<std::string> FUris;
  LV2_URID_Map FMap{this, &Map};
  const LV2UI_Descriptor* FDescriptor = nullptr;
  LV2UI_Handle FHandle = nullptr;
  const LV2UI_Idle_Interface* FIdle = nullptr;
  LV2UI_Resize FResize{this, &Resize};
  LV2UI_Touch FTouch{this, &Touch};
};
