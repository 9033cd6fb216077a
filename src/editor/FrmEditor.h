// The editor window: backdrop, three knobs with their read-outs, and the help
// overlay that the hot spot in the top-right corner shows. A double click on
// a read-out opens a text field over it to type the value in. Its controls reach
// the parameters by name through HostProxy, which the effect definition
// points at its parameter host once the form exists.
//
// Its scale is the user's own zoom (the backdrop's right-click menu, kept in
// the user's settings) unless that is "follow host"; then the host's request,
// else the desktop's scale, else 1. A form without a window (screenshots,
// tests) ignores the settings and the desktop.
#pragma once

#include "base/Event.h"
#include "editor/GraphicImage.h"
#include "editor/GraphicKnob.h"
#include "editor/GraphicText.h"
#include "params/VSTParameterSource.h"
#include "toolkit/Form.h"
#include "toolkit/PopupMenu.h"
#include "toolkit/TextField.h"

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
  TPopupMenu* ZoomMenu;
  TTextField* ValueEditor;

  // 0 when the host asks for no scale.
  double HostScale() const { return FHostScale; }
  void SetHostScale(double scale);
  double DesktopScale() const { return FDesktopScale; }
  // kFollowHost or a zoom of 1 to 3.
  double UserZoom() const { return FUserZoom; }
  // A zoom kept elsewhere (with the host's instance): the settings file stays as it is.
  void SetUserZoom(double zoom);
  // The user's choice in the menu: saved in the settings file, then told to OnUserZoomChosen.
  void ChooseUserZoom(double zoom);
  TEvent<void(TFormEditor*)> OnUserZoomChosen;
  // The scale the three sources give.
  static double ChooseScale(double userZoom, double hostScale, double desktopScale);

  void GraphicImage3MouseDown(TComponent* Sender, TMouseButton Button, TShiftState Shift, int X,
                              int Y);
  void HelpImageMouseDown(TComponent* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void BackgroundImageMouseDown(TComponent* Sender, TMouseButton Button, TShiftState Shift, int X,
                                int Y);
  void ZoomMenuChoose(TPopupMenu* Sender, int Index);
  void GraphicTextMouseDown(TComponent* Sender, TMouseButton Button, TShiftState Shift, int X,
                            int Y);
  // The typed text, read as the formats read a host's text: applied as one
  // gesture, or refused with the field left open and marked.
  void ValueEditorAccept(TTextField* Sender);

private:
  void LoadForm();
  void LoadControls();
  void ApplyScale() { SetScale(ChooseScale(FUserZoom, FHostScale, FDesktopScale)); }

  double FHostScale = 0;
  double FDesktopScale = 0;
  double FUserZoom = 0;
  TGraphicText* FEditedText = nullptr; // the read-out ValueEditor is open over
};
