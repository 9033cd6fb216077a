// The editor object: reports the editor's size and, while the host shows the
// editor, owns the effect editor that lives in the host's window. As the
// editor's host it turns knob gestures into the effect object's automation.
//
// Threads. open, idle, update and close come from the host's editor (UI)
// thread, the one that owns the parent window; the form makes window-system
// calls on that thread only. getRect may come from any dispatcher thread and
// reads the settings alone. Parameter changes made on other threads reach the
// form's controls as deferred repaints (TForm::RequestIdleRepaint), painted by
// the next idle on the editor's thread or, on Windows, by the WM_PAINT the
// request posts.
//
// Scale. Hosts announce their content scale through the vendor-specific
// opcode; it is kept here, applied to the open editor on the editor's thread,
// and getRect reports the size at the scale the editor has or will get. When
// the window's size changes (the host's scale, the user's zoom, the desktop's
// scale found at open), the host is asked to resize its window.
#pragma once

#include "instance/EffectEditor.h"
#include "instance/EffectEditorHost.h"
#include "instance/EffectInstance.h"
#include "params/VSTEffect.h"
#include "params/VSTParameterHost.h"
#include "toolkit/Form.h"
#include "vst/DAudioEffectX.h"

#include <atomic>
#include <cstdint>
#include <memory>

class TVSTEditorBase : public AEffEditor, private TEffectEditorHost {
public:
  TVSTEditorBase(AudioEffectX* owner, TVSTParameterHost* host, TVSTEffect* component,
                 TEffectInstance& instance);
  // An open form goes with the editor object: its window must not outlive the
  // effect instance, nor the library's code.
  ~TVSTEditorBase() override;

  std::int32_t getRect(ERect** rect) override;
  std::int32_t open(void* ptr) override;
  void close() override;
  void idle() override;
  void update() override;

  TForm* Form() const { return editor ? &editor->Form() : nullptr; }
  // Any thread; scale <= 0 or NaN withdraws the request.
  void setHostScale(float scale);

private:
  // The pixel size at the scale the editor will open with.
  TSize predictedSize() const;
  bool RequestResize(std::int32_t width, std::int32_t height) override;
  void BeginEdit(std::int32_t index) override { owner->beginEdit(index); }
  void PerformEdit(std::int32_t index, double normalized) override;
  void EndEdit(std::int32_t index) override { owner->endEdit(index); }

  AudioEffectX* owner;
  TVSTParameterHost* paramHost;
  TVSTEffect* effectComponent;
  TEffectInstance& instance;
  std::unique_ptr<TEffectEditor> editor;
  ERect rect{};
  std::atomic<double> hostScale{0};
  std::atomic<bool> hostScalePending{false};
  // The open editor's pixel size, for getRect on other threads; 0 while closed.
  std::atomic<std::int32_t> openWidth{0};
  std::atomic<std::int32_t> openHeight{0};
};
