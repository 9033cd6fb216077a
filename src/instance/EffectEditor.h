// The editor form of one effect instance, living in a native parent window.
//
// One editor per instance at a time: while open it takes the instance's
// gesture handlers and gives them back when it closes.
//
// Threads. Everything runs on the editor's thread, the one that owns the
// parent window. Values set on other threads are found by the controls at
// the next Idle: those threads never touch the editor.
#pragma once

#include "instance/EffectEditorHost.h"
#include "instance/EffectInstance.h"
#include "toolkit/Graphics.h"

#include <array>
#include <cstdint>
#include <memory>

class TForm;
class TFormEditor;
class TVSTParameter;

class TEffectEditor {
public:
  // parentWindow: an X11 Window id in a pointer, or an HWND. Raises
  // EGlowraspError when the form cannot live there. `instance` and `host`
  // outlive the editor. scale: the host's content scale, 0 for none. The
  // zoom kept with the instance, if any, stands in for the user's settings.
  TEffectEditor(TEffectInstance& instance, void* parentWindow, TEffectEditorHost& host,
                double scale = 0);
  // Lets go of any knob still held, then closes the window.
  ~TEffectEditor();
  TEffectEditor(const TEffectEditor&) = delete;
  TEffectEditor& operator=(const TEffectEditor&) = delete;

  // 402 x 250 at scale 1, each side rounded.
  static TSize SizeAt(double scale);
  // The size an editor about to open on `instance` will have, as far as it
  // can be known without its window: the desktop's scale is not.
  static TSize OpeningSize(const TEffectInstance& instance, double hostScale);
  // The window's pixel size now.
  TSize Size() const;
  // For a host that sized its window before the editor opened, from
  // OpeningSize: asks it through RequestResize for the real size when that
  // differs (the desktop's scale is known only once the window exists).
  // Called once the editor is in place, as the host may ask its size back.
  void CorrectHostSize(TSize hostSized) const;
  // The editor's own window, which the host may embed by its handle.
  void* WindowHandle() const;
  // The X connection's file descriptor, for hosts that watch it in their own
  // run loop and call Idle when it is readable; -1 where there is none.
  int EventDescriptor() const;
  // Window events, then the repaints asked for on other threads.
  void Idle();
  // The host's content scale; 0 (or anything not above 0) withdraws it and
  // the editor follows the user's zoom, else the desktop. The window's new
  // pixel size goes to the host through RequestResize.
  bool SetScale(double scale);

  // For hosts that take the editor off the screen and bring it back.
  void Show();
  void Hide();

  TForm& Form() const { return *FForm; }

private:
  void FormResized(TForm* Sender);
  void UserZoomChosen(TFormEditor* Sender);
  void AutomateParameter(TVSTParameter* Param, float Value);
  void BeginParameterEdit(TVSTParameter* Param);
  void EndParameterEdit(TVSTParameter* Param);
  void RestoreGestureHandlers();

  TEffectInstance& FInstance;
  TEffectEditorHost& FHost;
  // The parameter host's gesture handlers from before the editor opened,
  // given back when it closes.
  struct TSavedHandlers;
  std::unique_ptr<TSavedHandlers> FSaved;
  // The parameters whose gesture the host heard begin and not yet end.
  std::array<bool, TEffectInstance::kParameterCount> FHeld{};
  // Declared last, so it goes first: its controls refer to the parameters.
  std::unique_ptr<TForm> FForm;
};
