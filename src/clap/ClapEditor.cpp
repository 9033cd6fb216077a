#include "clap/ClapEditor.h"

#include "base/Error.h"

#include <clap/ext/state.h>

#include <cstring>

namespace {

// Often enough for a knob drag to feel direct; hosts may stretch it.
constexpr std::uint32_t kTimerPeriodMs = 16;

template <class T>
const T* HostExtension(const clap_host_t& host, const char* id) {
  return host.get_extension ? static_cast<const T*>(host.get_extension(&host, id)) : nullptr;
}

void* ParentHandle(const clap_window_t& window) {
#ifdef _WIN32
  return window.win32;
#else
  // The X11 window id travels in a pointer-sized handle.
  return reinterpret_cast<void*>( // NOLINT(performance-no-int-to-ptr)
      static_cast<std::uintptr_t>(window.x11));
#endif
}

} // namespace

TClapEditor::TClapEditor(const clap_host_t& host, TEffectInstance& instance,
                         TClapOutgoingEdits& edits)
    : FHost(host), FInstance(instance), FEdits(edits) {}

TClapEditor::~TClapEditor() {
  Destroy();
}

const char* TClapEditor::Api() {
#ifdef _WIN32
  return CLAP_WINDOW_API_WIN32;
#else
  return CLAP_WINDOW_API_X11;
#endif
}

bool TClapEditor::IsApiSupported(const char* api, bool floating) {
  return api && !floating && std::strcmp(api, Api()) == 0;
}

bool TClapEditor::Create(const char* api, bool floating) {
  if (FCreated || !IsApiSupported(api, floating))
    return false;
  // Asked here, not earlier: a plug-in may not call its host while it is being made.
  FHostParams = HostExtension<clap_host_params_t>(FHost, CLAP_EXT_PARAMS);
  FHostGui = HostExtension<clap_host_gui_t>(FHost, CLAP_EXT_GUI);
  FHostTimers = HostExtension<clap_host_timer_support_t>(FHost, CLAP_EXT_TIMER_SUPPORT);
  FHostDescriptors = HostExtension<clap_host_posix_fd_support_t>(FHost, CLAP_EXT_POSIX_FD_SUPPORT);
  FCreated = true;
  return true;
}

void TClapEditor::Destroy() {
  if (FDescriptor >= 0 && FHostDescriptors)
    FHostDescriptors->unregister_fd(&FHost, FDescriptor);
  FDescriptor = -1;
  StopTimer();
  FEditor.reset();
  FCreated = false;
}

bool TClapEditor::Show() {
  if (!FCreated)
    return false;
  if (FEditor) {
    FEditor->Show();
    StartTimer();
  }
  return true;
}

bool TClapEditor::Hide() {
  if (!FCreated)
    return false;
  if (FEditor) {
    StopTimer();
    FEditor->Hide();
  }
  return true;
}

void TClapEditor::StartTimer() {
  if (FTimer == CLAP_INVALID_ID && FHostTimers &&
      !FHostTimers->register_timer(&FHost, kTimerPeriodMs, &FTimer))
    FTimer = CLAP_INVALID_ID;
}

void TClapEditor::StopTimer() {
  if (FTimer != CLAP_INVALID_ID && FHostTimers)
    FHostTimers->unregister_timer(&FHost, FTimer);
  FTimer = CLAP_INVALID_ID;
}

bool TClapEditor::SetScale(double scale) {
  if (!FCreated || !(scale > 0.0))
    return false;
  if (FEditor && !FEditor->SetScale(scale))
    return false;
  FScale = scale;
  return true;
}

bool TClapEditor::GetSize(std::uint32_t& width, std::uint32_t& height) const {
  if (!FCreated)
    return false;
  const TSize size = FEditor ? FEditor->Size() : TEffectEditor::OpeningSize(FInstance, FScale);
  width = static_cast<std::uint32_t>(size.Width);
  height = static_cast<std::uint32_t>(size.Height);
  return true;
}

bool TClapEditor::SetSize(std::uint32_t width, std::uint32_t height) const {
  std::uint32_t w = 0, h = 0;
  return GetSize(w, h) && w == width && h == height;
}

bool TClapEditor::SetParent(const clap_window_t& window) {
  if (!FCreated || FEditor || !window.api || std::strcmp(window.api, Api()) != 0 ||
      !ParentHandle(window))
    return false;
  const TSize expected = TEffectEditor::OpeningSize(FInstance, FScale);
  try {
    FEditor = std::make_unique<TEffectEditor>(FInstance, ParentHandle(window), *this, FScale);
  } catch (const EGlowraspError&) {
    return false;
  }
  FEditor->CorrectHostSize(expected);
  StartTimer();
  const int descriptor = FEditor->EventDescriptor();
  if (descriptor >= 0 && FHostDescriptors &&
      FHostDescriptors->register_fd(&FHost, descriptor, CLAP_POSIX_FD_READ))
    FDescriptor = descriptor;
  return true;
}

void TClapEditor::OnTimer(clap_id timer) {
  if (timer != CLAP_INVALID_ID && timer == FTimer)
    Pump();
}

void TClapEditor::OnDescriptor(int fd) {
  if (fd >= 0 && fd == FDescriptor)
    Pump();
}

void TClapEditor::Pump() {
  if (!FEditor)
    return;
  FEditor->Idle();
}

void TClapEditor::BeginEdit(std::int32_t index) {
  FEdits.Begin(index);
  RequestFlush();
}

void TClapEditor::PerformEdit(std::int32_t index, double normalized) {
  if (index < 0 || index >= TEffectInstance::kParameterCount)
    return;
  FInstance.SetNormalizedValue(index, normalized);
  FEdits.Perform(index, FInstance.NormalizedValue(index));
  RequestFlush();
}

void TClapEditor::EndEdit(std::int32_t index) {
  FEdits.End(index);
  RequestFlush();
}

bool TClapEditor::RequestResize(std::int32_t width, std::int32_t height) {
  return FHostGui && FHostGui->request_resize && width > 0 && height > 0 &&
         FHostGui->request_resize(&FHost, static_cast<std::uint32_t>(width),
                                  static_cast<std::uint32_t>(height));
}

void TClapEditor::UserZoomChosen(double zoom) {
  FInstance.SetEditorZoom(zoom);
  // Asked here, on the main thread, where the host's state extension may be called.
  if (const auto* state = HostExtension<clap_host_state_t>(FHost, CLAP_EXT_STATE);
      state && state->mark_dirty)
    state->mark_dirty(&FHost);
}

void TClapEditor::RequestFlush() const {
  if (FHostParams && FHostParams->request_flush)
    FHostParams->request_flush(&FHost);
}
