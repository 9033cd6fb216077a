// The editor form of one effect instance, living in a native parent window.
//
// Threads. Everything but ParameterChanged runs on the editor's thread, the
// one that owns the parent window; ParameterChanged may come from any thread
// and only asks for a repaint that the next Idle paints.
#pragma once

#include "instance/EffectEditorHost.h"
#include "instance/EffectInstance.h"
#include "toolkit/Graphics.h"

#include <array>
#include <cstdint>
#include <memory>

class TForm;
class TVSTParameter;

class TEffectEditor {
public:
  // parentWindow: an X11 Window id in a pointer, or an HWND. Raises
  // EGlowraspError when the form cannot live there. `instance` and `host`
  // outlive the editor.
  TEffectEditor(TEffectInstance& instance, void* parentWindow, TEffectEditorHost& host,
                double scale = 1.0);
  // Lets go of any knob still held, then closes the window.
  ~TEffectEditor();
  TEffectEditor(const TEffectEditor&) = delete;
  TEffectEditor& operator=(const TEffectEditor&) = delete;

  // 402 x 250 at scale 1.
  static TSize SizeAt(double scale);
  TSize Size() const;
  // The editor's own window, which the host may embed by its handle.
  void* WindowHandle() const;
  // The X connection's file descriptor, for hosts that watch it in their own
  // run loop and call Idle when it is readable; -1 where there is none.
  int EventDescriptor() const;
  // Window events, then the repaints asked for on other threads.
  void Idle();
  // Only scale 1 for now.
  bool SetScale(double scale);
  // A value the host set: repaint (any thread, deferred to Idle).
  void ParameterChanged(std::int32_t index);

  TForm& Form() const { return *FForm; }

private:
  void AutomateParameter(TVSTParameter* Param, float Value);
  void BeginParameterEdit(TVSTParameter* Param);
  void EndParameterEdit(TVSTParameter* Param);
  void ReleaseGestures();

  TEffectInstance& FInstance;
  TEffectEditorHost& FHost;
  // The parameters whose gesture the host heard begin and not yet end.
  std::array<bool, TEffectInstance::kParameterCount> FHeld{};
  // Declared last, so it goes first: its controls refer to the parameters.
  std::unique_ptr<TForm> FForm;
};
