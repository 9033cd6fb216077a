// An effect definition that the host has told sample rate and block size,
// with an offscreen editor open on it. Editor changes reach the parameters as
// the host bridge applies them: through the automation callback, which sets
// the normalised value. What a host hears is kept in order, as "begin 0",
// "automate 0", "end 0".
#pragma once

#include "editor/EffDataModule.h"
#include "editor/FrmEditor.h"
#include "shaper/EffParams.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

struct TAutomationRecorder {
  std::vector<std::pair<TVSTParameter*, float>> Calls;
  std::vector<std::string> Events;

  void Automate(TVSTParameter* Param, float Value) {
    Calls.emplace_back(Param, Value);
    Events.push_back("automate " + std::to_string(Param->Index()));
    Param->SetNormalizedValue(Value);
  }
  void BeginEdit(TVSTParameter* Param) {
    Events.push_back("begin " + std::to_string(Param->Index()));
  }
  void EndEdit(TVSTParameter* Param) { Events.push_back("end " + std::to_string(Param->Index())); }
};

class EditorFixture : public testing::Test {
protected:
  EditorFixture() {
    CreateEffectDataModule();
    TVSTParameterHost& host = *Effect->ParamHost();
    host.SetOnParamAutomate(TVSTOnParamAutomate::Bind<&TAutomationRecorder::Automate>(&Automation));
    host.SetOnParamBeginEdit(TVSTOnParamEdit::Bind<&TAutomationRecorder::BeginEdit>(&Automation));
    host.SetOnParamEndEdit(TVSTOnParamEdit::Bind<&TAutomationRecorder::EndEdit>(&Automation));
    host.SetSampleRate(44100);
    host.SetBlockSize(512);
    OpenEditor();
  }

  void OpenEditor() {
    Form.reset(static_cast<TFormEditor*>(Effect->EffectProcessor()->CreateEditor(nullptr)));
  }

  TVSTParameter& Param(int index) { return *Effect->ParamHost()->Parameters().Items(index); }
  TVSTParameter& Gain() { return Param(0); }
  TVSTParameter& Intensity() { return Param(1); }
  TVSTParameter& OutGain() { return Param(2); }

  // The filmstrip frame shown in the knob's area of the back buffer, or -1.
  int ShownFrame(const TGraphicKnob& knob) const {
    const TGraphicContainer& strip = *EffectDataModule->KnobImage;
    const TBitmap& pixels = strip.Picture().Pixels();
    const TBitmap& screen = Form->BackBuffer();
    for (int frame = 0; frame < strip.ImageCount(); ++frame) {
      const int fx = frame % strip.ImageCountX() * strip.Width();
      const int fy = frame / strip.ImageCountX() * strip.Height();
      bool same = true;
      for (int y = 0; same && y < knob.Height(); ++y)
        for (int x = 0; same && x < knob.Width(); ++x)
          same = screen.Pixel(knob.Left() + x, knob.Top() + y) == pixels.Pixel(fx + x, fy + y);
      if (same)
        return frame;
    }
    return -1;
  }

  TAutomationRecorder Automation;
  std::unique_ptr<TEffParameters> Effect = std::make_unique<TEffParameters>();
  std::unique_ptr<TFormEditor> Form;
};
