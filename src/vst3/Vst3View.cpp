#include "vst3/Vst3View.h"

#include "base/Error.h"
#include "vst3/Vst3Effect.h"

#include <cmath>
#include <cstring>

namespace {

// Repaints asked for on other threads wait at most this long.
constexpr std::uint64_t kIdleIntervalMs = 30;

struct TFrameVtable : v3_funknown {
  v3_plugin_frame Frame;
};

template <class TVtable, class T>
TVtable& Calls(T** object) {
  return **reinterpret_cast<TVtable**>(object);
}

} // namespace

const v3_plugin_view_cpp TVst3View::kViewVtable{{TSlot::QueryInterface, TSlot::Ref, TSlot::Unref},
                                                {IsPlatformTypeSupported, Attached, Removed,
                                                 OnWheel, OnKey, OnKey, GetSize, OnSize, OnFocus,
                                                 SetFrame, CanResize, CheckSizeConstraint}};

const v3_event_handler_cpp TVst3View::kEventHandlerVtable{
    {TSlot::QueryInterface, TSlot::Ref, TSlot::Unref}, {OnFdIsSet}};

const v3_timer_handler_cpp TVst3View::kTimerVtable{
    {TSlot::QueryInterface, TSlot::Ref, TSlot::Unref}, {OnTimer}};

const v3_plugin_view_content_scale_cpp TVst3View::kContentScaleVtable{
    {TSlot::QueryInterface, TSlot::Ref, TSlot::Unref}, {SetContentScaleFactor}};

v3_plugin_view** TVst3View::Create(TVst3Effect& effect) {
  auto* view = new TVst3View(effect);
  return reinterpret_cast<v3_plugin_view**>(&view->FView);
}

TVst3View::TVst3View(TVst3Effect& effect) : FEffect(effect) {
  FEffect.AddRef();
}

TVst3View::~TVst3View() {
  Detach();
  if (FFrame)
    Calls<TFrameVtable>(FFrame).unref(FFrame);
  FEffect.Release();
}

void* TVst3View::Query(const v3_tuid iid) {
  void* slot = nullptr;
  if (SameInterfaceId(iid, v3_funknown_iid) || SameInterfaceId(iid, v3_plugin_view_iid))
    slot = &FView;
  else if (SameInterfaceId(iid, v3_event_handler_iid))
    slot = &FEventHandler;
  else if (SameInterfaceId(iid, v3_timer_handler_iid))
    slot = &FTimer;
  else if (SameInterfaceId(iid, v3_plugin_view_content_scale_iid))
    slot = &FContentScale;
  if (slot)
    AddRef();
  return slot;
}

std::uint32_t TVst3View::AddRef() {
  return FReferences.fetch_add(1, std::memory_order_relaxed) + 1;
}

std::uint32_t TVst3View::Release() {
  const std::uint32_t left = FReferences.fetch_sub(1, std::memory_order_acq_rel) - 1;
  if (left == 0)
    delete this;
  return left;
}

void TVst3View::BeginEdit(std::int32_t index) {
  FEffect.BeginEdit(index);
}

void TVst3View::PerformEdit(std::int32_t index, double normalized) {
  FEffect.PerformEdit(index, normalized);
}

void TVst3View::EndEdit(std::int32_t index) {
  FEffect.EndEdit(index);
}

bool TVst3View::RequestResize(std::int32_t width, std::int32_t height) {
  if (!FFrame || width <= 0 || height <= 0)
    return false;
  v3_view_rect rect{0, 0, width, height};
  return Calls<TFrameVtable>(FFrame).Frame.resize_view(
             FFrame, reinterpret_cast<v3_plugin_view**>(&FView), &rect) == V3_OK;
}

void TVst3View::UserZoomChosen(double zoom) {
  FEffect.EditorZoomChosen(zoom);
}

v3_result TVst3View::Attach(void* parent) {
  // A host attaching twice gets one editor, in the newer parent.
  Detach();
  if (!FEffect.ClaimEditor(this))
    return V3_FALSE;
  const TSize expected = TEffectEditor::OpeningSize(FEffect.Instance(), FHostScale);
  try {
    FEditor = std::make_unique<TEffectEditor>(FEffect.Instance(), parent, *this, FHostScale);
  } catch (const EGlowraspError&) {
    FEffect.ReleaseEditor(this);
    return V3_FALSE;
  }
  FEditor->CorrectHostSize(expected);
  if (FFrame) {
    void* loop = nullptr;
    if (Calls<TFrameVtable>(FFrame).query_interface(FFrame, v3_run_loop_iid, &loop) == V3_OK &&
        loop)
      FRunLoop = static_cast<v3_run_loop**>(loop);
  }
  if (!FRunLoop)
    return V3_OK;
  auto& loop = Calls<v3_run_loop_cpp>(FRunLoop).loop;
  if (const int fd = FEditor->EventDescriptor(); fd >= 0)
    FWatchingEvents =
        loop.register_event_handler(FRunLoop, reinterpret_cast<v3_event_handler**>(&FEventHandler),
                                    fd) == V3_OK;
  FTimerRunning = loop.register_timer(FRunLoop, reinterpret_cast<v3_timer_handler**>(&FTimer),
                                      kIdleIntervalMs) == V3_OK;
  return V3_OK;
}

void TVst3View::Detach() {
  if (FRunLoop) {
    auto& loop = Calls<v3_run_loop_cpp>(FRunLoop).loop;
    if (FWatchingEvents)
      loop.unregister_event_handler(FRunLoop, reinterpret_cast<v3_event_handler**>(&FEventHandler));
    if (FTimerRunning)
      loop.unregister_timer(FRunLoop, reinterpret_cast<v3_timer_handler**>(&FTimer));
    Calls<v3_run_loop_cpp>(FRunLoop).unref(FRunLoop);
  }
  FRunLoop = nullptr;
  FWatchingEvents = FTimerRunning = false;
  FEditor.reset();
  FEffect.ReleaseEditor(this);
}

void TVst3View::Idle() {
  if (FEditor)
    FEditor->Idle();
}

v3_result V3_API TVst3View::IsPlatformTypeSupported(void*, const char* type) {
  return type && std::strcmp(type, V3_VIEW_PLATFORM_TYPE_NATIVE) == 0 ? V3_OK : V3_FALSE;
}

v3_result V3_API TVst3View::Attached(void* self, void* parent, const char* type) {
  if (!parent || IsPlatformTypeSupported(self, type) != V3_OK)
    return V3_INVALID_ARG;
  return TSlot::From(self).Attach(parent);
}

v3_result V3_API TVst3View::Removed(void* self) {
  TSlot::From(self).Detach();
  return V3_OK;
}

v3_result V3_API TVst3View::OnWheel(void*, float) {
  return V3_FALSE;
}

v3_result V3_API TVst3View::OnKey(void*, int16_t, int16_t, int16_t) {
  return V3_FALSE;
}

v3_result V3_API TVst3View::GetSize(void* self, v3_view_rect* rect) {
  if (!rect)
    return V3_INVALID_ARG;
  const TVst3View& view = TSlot::From(self);
  const TSize size = view.FEditor
                         ? view.FEditor->Size()
                         : TEffectEditor::OpeningSize(view.FEffect.Instance(), view.FHostScale);
  *rect = {0, 0, size.Width, size.Height};
  return V3_OK;
}

// The host answers a resize request, or sizes its window from getSize: the
// editor already has that size.
v3_result V3_API TVst3View::OnSize(void*, v3_view_rect* rect) {
  return rect ? V3_OK : V3_INVALID_ARG;
}

v3_result V3_API TVst3View::OnFocus(void*, v3_bool) {
  return V3_OK;
}

v3_result V3_API TVst3View::SetFrame(void* self, v3_plugin_frame** frame) {
  TVst3View& view = TSlot::From(self);
  if (frame)
    Calls<TFrameVtable>(frame).ref(frame);
  if (view.FFrame)
    Calls<TFrameVtable>(view.FFrame).unref(view.FFrame);
  view.FFrame = frame;
  return V3_OK;
}

v3_result V3_API TVst3View::CanResize(void*) {
  return V3_FALSE;
}

v3_result V3_API TVst3View::CheckSizeConstraint(void* self, v3_view_rect* rect) {
  if (!rect)
    return V3_INVALID_ARG;
  const v3_view_rect requested = *rect;
  GetSize(self, rect);
  rect->left += requested.left;
  rect->right += requested.left;
  rect->top += requested.top;
  rect->bottom += requested.top;
  return V3_OK;
}

void V3_API TVst3View::OnFdIsSet(void* self, int) {
  TSlot::From(self).Idle();
}

void V3_API TVst3View::OnTimer(void* self) {
  TSlot::From(self).Idle();
}

v3_result V3_API TVst3View::SetContentScaleFactor(void* self, float factor) {
  if (!std::isfinite(factor) || factor <= 0)
    return V3_INVALID_ARG;
  TVst3View& view = TSlot::From(self);
  view.FHostScale = factor;
  // The editor asks the host for its new size through RequestResize.
  if (view.FEditor)
    view.FEditor->SetScale(factor);
  return V3_OK;
}
