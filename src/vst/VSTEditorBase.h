// The editor object: reports the editor's size and, while the host shows the
// editor, owns the form that lives in the host's window.
#pragma once

#include "params/VSTEffect.h"
#include "params/VSTParameterHost.h"
#include "toolkit/Form.h"
#include "vst/DAudioEffect.h"

#include <memory>

class TVSTEditorBase : public AEffEditor {
public:
  TVSTEditorBase(AudioEffect* owner, TVSTParameterHost* host, TVSTEffect* component);
  // An open form goes with the editor object: its window must not outlive the
  // effect instance, nor the library's code.
  ~TVSTEditorBase() override;

  std::int32_t getRect(ERect** rect) override;
  std::int32_t open(void* ptr) override;
  void close() override;
  void idle() override;
  void update() override;

  TForm* Form() const { return form.get(); }

private:
  TVSTParameterHost* paramHost;
  TVSTEffect* effectComponent;
  std::unique_ptr<TForm> form;
  ERect rect{};
};
