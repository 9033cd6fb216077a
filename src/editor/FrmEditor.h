// The editor window: backdrop, three knobs with their read-outs, and the help
// overlay that the hot spot in the top-right corner shows. Its controls reach
// the parameters by name through HostProxy, which the effect definition
// points at its parameter host once the form exists.
#pragma once

#include "editor/GraphicImage.h"
#include "editor/GraphicKnob.h"
#include "editor/GraphicText.h"
#include "params/VSTParameterSource.h"
#include "toolkit/Form.h"

class TFormEditor : public TForm {
public:
  // parentWindow: the host's window to live in, or null for an offscreen form.
  TFormEditor(TComponent* owner, void* parentWindow);

  TVSTParameterHostProxy* HostProxy;
  TGraphicImage* BackgroundImage;
  TGraphicImage* HelpImage;
  TGraphicKnob* GKGain;
  TVSTParameterSource* ParamGainSource;
  TVSTParameterSource* ParamIntensitySource;
  TGraphicKnob* GKIntensity;
  TVSTParameterSource* ParamOutGainSource;
  TGraphicKnob* GKOutGain;
  TGraphicImage* GraphicImage3;
  TGraphicText* GraphicText1;
  TGraphicText* GraphicText2;
  TGraphicText* GraphicText3;

  void GraphicImage3MouseDown(TComponent* Sender, TMouseButton Button, TShiftState Shift, int X,
                              int Y);
  void HelpImageMouseDown(TComponent* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);

private:
  void LoadForm();
  void LoadControls();
};
