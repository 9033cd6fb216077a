// The editor of one CLAP instance, embedded in the host's window (X11 on
// Linux, Win32 on Windows). It lives on the main thread; the host drives it
// through a timer and, on Linux, through the X connection's descriptor.
#pragma once

#include "clap/ClapOutgoingEdits.h"
#include "clap/ClapPosixFdSupport.h"
#include "instance/EffectEditor.h"
#include "instance/EffectEditorHost.h"
#include "instance/EffectInstance.h"

#include <clap/ext/gui.h>
#include <clap/ext/params.h>
#include <clap/ext/timer-support.h>

#include <atomic>
#include <cstdint>
#include <memory>

class TClapEditor final : public TEffectEditorHost {
public:
  TClapEditor(const clap_host_t& host, TEffectInstance& instance, TClapOutgoingEdits& edits);
  ~TClapEditor();
  TClapEditor(const TClapEditor&) = delete;
  TClapEditor& operator=(const TClapEditor&) = delete;

  // The one window API of this platform.
  static const char* Api();
  static bool IsApiSupported(const char* api, bool floating);

  bool Create(const char* api, bool floating);
  void Destroy();
  bool SetScale(double scale);
  bool GetSize(std::uint32_t& width, std::uint32_t& height) const;
  // The editor has one size: only that size is accepted.
  bool SetSize(std::uint32_t width, std::uint32_t height) const;
  bool SetParent(const clap_window_t& window);
  // The window comes and goes with its timer: a hidden editor costs the
  // host nothing.
  bool Show();
  bool Hide();

  void OnTimer(clap_id timer);
  void OnDescriptor(int fd);

  void BeginEdit(std::int32_t index) override;
  void PerformEdit(std::int32_t index, double normalized) override;
  void EndEdit(std::int32_t index) override;
  bool RequestResize(std::int32_t width, std::int32_t height) override;
  // Kept in the instance's state; the host hears the state changed.
  void UserZoomChosen(double zoom) override;

private:
  void Pump();
  void StartTimer();
  void StopTimer();
  void RequestFlush() const;

  const clap_host_t& FHost;
  TEffectInstance& FInstance;
  TClapOutgoingEdits& FEdits;
  const clap_host_params_t* FHostParams = nullptr;
  const clap_host_gui_t* FHostGui = nullptr;
  const clap_host_timer_support_t* FHostTimers = nullptr;
  const clap_host_posix_fd_support_t* FHostDescriptors = nullptr;
  std::unique_ptr<TEffectEditor> FEditor;
  bool FCreated = false;
  // The host's scale; 0 until it sets one, and the desktop's applies.
  double FScale = 0;
  clap_id FTimer = CLAP_INVALID_ID;
  int FDescriptor = -1;
};
