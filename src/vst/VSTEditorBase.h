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
#pragma once

#include "instance/EffectEditor.h"
#include "instance/EffectEditorHost.h"
#include "instance/EffectInstance.h"
#include "params/VSTEffect.h"
#include "params/VSTParameterHost.h"
#include "toolkit/Form.h"
#include "vst/DAudioEffectX.h"

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

private:
  void BeginEdit(std::int32_t index) override { owner->beginEdit(index); }
  void PerformEdit(std::int32_t index, double normalized) override;
  void EndEdit(std::int32_t index) override { owner->endEdit(index); }

  AudioEffectX* owner;
  TVSTParameterHost* paramHost;
  TVSTEffect* effectComponent;
  TEffectInstance& instance;
  std::unique_ptr<TEffectEditor> editor;
  ERect rect{};
};
