// The effect's editor as a VST3 plug-in view: the editor form embedded in
// the host's parent window (an X11 window id, or an HWND on Windows). The
// user cannot drag its size; it changes with the host's content scale and
// the user's zoom, and each change goes to the host through the plug frame's
// resizeView. On Linux the host's run loop, found through the plug frame,
// watches the X connection and runs a timer; both let the editor work off its
// window events and repaints.
//
// Threads: every call comes from the host's UI thread.
#pragma once

#include "instance/EffectEditor.h"
#include "instance/EffectEditorHost.h"
#include "vst3/Vst3Interface.h"

#include <travesty/view.h>

#include <atomic>
#include <cstdint>
#include <memory>

class TVst3Effect;

class TVst3View final : public TEffectEditorHost {
public:
  // A new view holding one reference for the host, and one on `effect`.
  static v3_plugin_view** Create(TVst3Effect& effect);
  TVst3View(const TVst3View&) = delete;
  TVst3View& operator=(const TVst3View&) = delete;

  void BeginEdit(std::int32_t index) override;
  void PerformEdit(std::int32_t index, double normalized) override;
  void EndEdit(std::int32_t index) override;
  bool RequestResize(std::int32_t width, std::int32_t height) override;
  void UserZoomChosen(double zoom) override;

private:
  explicit TVst3View(TVst3Effect& effect);
  ~TVst3View();

  using TSlot = TInterfaceSlot<TVst3View>;
  friend TSlot;
  static const v3_plugin_view_cpp kViewVtable;
  static const v3_event_handler_cpp kEventHandlerVtable;
  static const v3_timer_handler_cpp kTimerVtable;
  static const v3_plugin_view_content_scale_cpp kContentScaleVtable;

  static v3_result V3_API IsPlatformTypeSupported(void* self, const char* type);
  static v3_result V3_API Attached(void* self, void* parent, const char* type);
  static v3_result V3_API Removed(void* self);
  static v3_result V3_API OnWheel(void* self, float distance);
  static v3_result V3_API OnKey(void* self, int16_t character, int16_t code, int16_t modifiers);
  static v3_result V3_API GetSize(void* self, v3_view_rect* rect);
  static v3_result V3_API OnSize(void* self, v3_view_rect* rect);
  static v3_result V3_API OnFocus(void* self, v3_bool state);
  static v3_result V3_API SetFrame(void* self, v3_plugin_frame** frame);
  static v3_result V3_API CanResize(void* self);
  static v3_result V3_API CheckSizeConstraint(void* self, v3_view_rect* rect);
  static void V3_API OnFdIsSet(void* self, int fd);
  static void V3_API OnTimer(void* self);
  static v3_result V3_API SetContentScaleFactor(void* self, float factor);

  void* Query(const v3_tuid iid);
  std::uint32_t AddRef();
  std::uint32_t Release();
  v3_result Attach(void* parent);
  void Detach();
  void Idle();

  TSlot FView{&kViewVtable, this};
  TSlot FEventHandler{&kEventHandlerVtable, this};
  TSlot FTimer{&kTimerVtable, this};
  TSlot FContentScale{&kContentScaleVtable, this};
  std::atomic<std::uint32_t> FReferences{1};
  TVst3Effect& FEffect;
  v3_plugin_frame** FFrame = nullptr;
  v3_run_loop** FRunLoop = nullptr;
  bool FWatchingEvents = false;
  bool FTimerRunning = false;
  // The host's content scale, 0 until it sets one; kept for an editor opened later.
  double FHostScale = 0;
  std::unique_ptr<TEffectEditor> FEditor;
};
