#include "editor/FrmEditor.h"

#include "editor/EditorSize.h"
#include "editor/EffDataModule.h"
#include "editor/ZoomSetting.h"
#include "params/ParameterTable.h"
#include "params/TypedValue.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <string_view>

namespace {

TGraphicContainer* SkinContainer(TGraphicContainer* TEffectDataModule::*container) {
  return EffectDataModule ? EffectDataModule->*container : nullptr;
}

void LoadSource(TVSTParameterSource& source, TVSTParameterHostProxy* proxy, std::string_view name) {
  source.SetProxy(proxy);
  source.SetVSTParamName(std::string(name));
}

void LoadKnob(TForm* form, TGraphicKnob& knob, int left, std::int32_t stepFast,
              TVSTParameterSource* source) {
  knob.SetParent(form);
  knob.SetBounds(left, 52, 74, 74);
  knob.SetContainer(SkinContainer(&TEffectDataModule::KnobImage));
  knob.Radial = true;
  knob.SetStepSlow(1000);
  knob.SetStepFast(stepFast);
  knob.SetStepScaleH(10);
  knob.SetStepScaleV(20);
  knob.SetAutoSize(true);
  knob.SetParamSrc(source);
}

void LoadText(TForm* form, TGraphicText& text, int left, TVSTParameterSource* source) {
  text.SetParent(form);
  text.SetBounds(left, 137, 71, 24);
  TFont font;
  font.SetName("MS Sans Serif");
  font.SetHeight(-11);
  font.SetColor(clWhite);
  font.SetCharset(DEFAULT_CHARSET);
  text.SetFont(font);
  text.SetBorder(0);
  text.SetAlignment(taCenter);
  text.SetParamSrc(source);
}

} // namespace

TFormEditor::TFormEditor(TComponent* owner, void* parentWindow)
    : TForm(owner, parentWindow),
      HostProxy(CreateComponent<TVSTParameterHostProxy>(this, "HostProxy")),
      BackgroundImage(CreateComponent<TGraphicImage>(this, "BackgroundImage")),
      HelpImage(CreateComponent<TGraphicImage>(this, "HelpImage")),
      GKGain(CreateComponent<TGraphicKnob>(this, "GKGain")),
      ParamGainSource(CreateComponent<TVSTParameterSource>(this, "ParamGainSource")),
      ParamIntensitySource(CreateComponent<TVSTParameterSource>(this, "ParamIntensitySource")),
      GKIntensity(CreateComponent<TGraphicKnob>(this, "GKIntensity")),
      ParamOutGainSource(CreateComponent<TVSTParameterSource>(this, "ParamOutGainSource")),
      GKOutGain(CreateComponent<TGraphicKnob>(this, "GKOutGain")),
      GraphicImage3(CreateComponent<TGraphicImage>(this, "GraphicImage3")),
      GraphicText1(CreateComponent<TGraphicText>(this, "GraphicText1")),
      GraphicText2(CreateComponent<TGraphicText>(this, "GraphicText2")),
      GraphicText3(CreateComponent<TGraphicText>(this, "GraphicText3")),
      ZoomMenu(CreateComponent<TPopupMenu>(this, "ZoomMenu")),
      ValueEditor(CreateComponent<TTextField>(this, "ValueEditor")) {
  SetName("FormEditor");
  // Every component exists before the description is applied: the knobs
  // name sources that come later in the table.
  BeginLoading();
  for (TComponent* c : Components())
    c->BeginLoading();
  LoadForm();
  LoadControls();
  for (TComponent* c : Components())
    c->EndLoading();
  EndLoading();
  if (Backend().WindowHandle()) {
    FUserZoom = ReadZoomSetting();
    FDesktopScale = Backend().DesktopScale();
  }
  ApplyScale();
}

double TFormEditor::ChooseScale(double userZoom, double hostScale, double desktopScale) {
  for (const double scale : {userZoom, hostScale, desktopScale})
    if (std::isfinite(scale) && scale > 0)
      return std::clamp(scale, kMinScale, kMaxScale);
  return 1;
}

void TFormEditor::SetHostScale(double scale) {
  FHostScale = std::isfinite(scale) && scale > 0 ? scale : 0;
  ApplyScale();
}

void TFormEditor::SetUserZoom(double zoom) {
  FUserZoom =
      std::isfinite(zoom) && zoom > 0 ? std::clamp(zoom, kMinScale, kMaxScale) : kFollowHost;
  ApplyScale();
}

void TFormEditor::ChooseUserZoom(double zoom) {
  SetUserZoom(zoom);
  WriteZoomSetting(FUserZoom);
  if (OnUserZoomChosen)
    OnUserZoomChosen(this);
}

void TFormEditor::LoadForm() {
  BorderStyle = bsNone;
  Caption = "Kestrune Glowrasp";
  SetClientSize(kEditorWidth, kEditorHeight);
  Color = clBtnFace;
  Font.SetName("MS Sans Serif");
  Font.SetHeight(-11);
  Font.SetColor(clWindowText);
  Font.SetCharset(DEFAULT_CHARSET);
  Scaled = false;
  PixelsPerInch = 96;
}

// Table order. Joining the form puts a control on top, which gives the
// z-order from bottom to top.
void TFormEditor::LoadControls() {
  BackgroundImage->SetParent(this);
  BackgroundImage->SetBounds(0, 0, kEditorWidth, kEditorHeight);
  BackgroundImage->SetContainer(SkinContainer(&TEffectDataModule::BackgroundImage));
  BackgroundImage->SetAutoSize(true);
  BackgroundImage->OnMouseDown = TMouseEvent::Bind<&TFormEditor::BackgroundImageMouseDown>(this);

  HelpImage->SetParent(this);
  HelpImage->SetBounds(16, 172, 69, 65);
  HelpImage->SetVisible(false);
  HelpImage->SetContainer(SkinContainer(&TEffectDataModule::HelpImage));
  HelpImage->OnMouseDown = TMouseEvent::Bind<&TFormEditor::HelpImageMouseDown>(this);
  HelpImage->SetAutoSize(false);

  LoadKnob(this, *GKGain, 30, 25000, ParamGainSource);
  LoadSource(*ParamGainSource, HostProxy, kParameterTable[0].Name);
  LoadSource(*ParamIntensitySource, HostProxy, kParameterTable[1].Name);
  LoadKnob(this, *GKIntensity, 142, 50000, ParamIntensitySource);
  LoadSource(*ParamOutGainSource, HostProxy, kParameterTable[2].Name);
  LoadKnob(this, *GKOutGain, 253, 25000, ParamOutGainSource);

  GraphicImage3->SetParent(this);
  GraphicImage3->SetBounds(381, 4, 16, 22);
  GraphicImage3->OnMouseDown = TMouseEvent::Bind<&TFormEditor::GraphicImage3MouseDown>(this);
  GraphicImage3->SetAutoSize(false);

  LoadText(this, *GraphicText1, 31, ParamGainSource);
  LoadText(this, *GraphicText2, 143, ParamIntensitySource);
  LoadText(this, *GraphicText3, 255, ParamOutGainSource);
  for (TGraphicText* text : {GraphicText1, GraphicText2, GraphicText3})
    text->OnMouseDown = TMouseEvent::Bind<&TFormEditor::GraphicTextMouseDown>(this);
  // Hidden on top of everything until a read-out opens it.
  ValueEditor->SetParent(this);
  ValueEditor->OnAccept = TTextField::TFieldEvent::Bind<&TFormEditor::ValueEditorAccept>(this);

  ZoomMenu->SetParent(this);
  for (const double step : kZoomSteps)
    ZoomMenu->Items.push_back(std::to_string(std::lround(step * 100)) + " %");
  ZoomMenu->Items.emplace_back("Follow host");
  ZoomMenu->OnChoose = TMenuChooseEvent::Bind<&TFormEditor::ZoomMenuChoose>(this);
}

void TFormEditor::GraphicImage3MouseDown(TComponent*, TMouseButton, TShiftState, int, int) {
  HelpImage->BringToFront();
  HelpImage->SetAlign(alClient);
  HelpImage->SetVisible(true);
}

void TFormEditor::BackgroundImageMouseDown(TComponent*, TMouseButton Button, TShiftState, int X,
                                           int Y) {
  if (Button != mbRight)
    return;
  // No step matches "follow host", the item after the steps.
  ZoomMenu->Checked = static_cast<int>(std::find(kZoomSteps.begin(), kZoomSteps.end(), FUserZoom) -
                                       kZoomSteps.begin());
  ZoomMenu->Popup(static_cast<int>(X / Scale()), static_cast<int>(Y / Scale()));
}

void TFormEditor::ZoomMenuChoose(TPopupMenu*, int Index) {
  const auto step = static_cast<std::size_t>(Index);
  ChooseUserZoom(step < kZoomSteps.size() ? kZoomSteps[step] : kFollowHost);
}

// Alignment and place at the front stay: the next show looks the same.
void TFormEditor::HelpImageMouseDown(TComponent*, TMouseButton, TShiftState, int, int) {
  HelpImage->SetVisible(false);
}

void TFormEditor::GraphicTextMouseDown(TComponent* Sender, TMouseButton Button, TShiftState Shift,
                                       int, int) {
  auto* const text = static_cast<TGraphicText*>(Sender);
  if (Button != mbLeft || !(Shift & ssDouble) || !text->ParamSrc() ||
      !text->ParamSrc()->Parameter())
    return;
  FEditedText = text;
  ValueEditor->SetBounds(text->Left(), text->Top(), text->Width(), text->Height());
  ValueEditor->Open(text->Text());
}

void TFormEditor::ValueEditorAccept(TTextField* Sender) {
  TVSTParameterSource* const source = FEditedText ? FEditedText->ParamSrc() : nullptr;
  TVSTParameter* const param = source ? source->Parameter() : nullptr;
  if (!param) {
    Sender->Close();
    return;
  }
  const std::optional<float> normalized = TypedNormalizedValue(*param, Sender->Text());
  if (!normalized) {
    Sender->SetInvalid(true);
    return;
  }
  Sender->Close();
  RequestValueGesture(*param, param->StepOf(*normalized));
}
