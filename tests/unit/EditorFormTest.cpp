// The editor form: its layout, its binding to the effect's parameters, the
// help overlay, and its life next to the effect's.
#include "EditorFixture.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

class EditorFormTest : public EditorFixture {
protected:
  // Whether the whole client area shows the help picture.
  bool ShowsHelp() const {
    return Form->BackBuffer() == EffectDataModule->HelpImage->Picture().Pixels();
  }
  void Click(int x, int y, TMouseButton button = mbLeft) {
    const TShiftState held = button == mbLeft ? ssLeft : ssRight;
    Form->MouseDown(button, held, x, y);
    Form->MouseUp(button, 0, x, y);
  }
  static constexpr int kHotSpotX = 381 + 8;
  static constexpr int kHotSpotY = 4 + 11;
};

TEST_F(EditorFormTest, OpensBoundWithTheDescribedLayout) {
  const TFormEditor& f = *Form;
  EXPECT_EQ(f.Controls(),
            (std::vector<TControl*>{f.BackgroundImage, f.HelpImage, f.GKGain, f.GKIntensity,
                                    f.GKOutGain, f.GraphicImage3, f.GraphicText1, f.GraphicText2,
                                    f.GraphicText3, f.ValueEditor, f.ZoomMenu}));
  EXPECT_FALSE(f.ZoomMenu->Visible());
  EXPECT_FALSE(f.ValueEditor->Visible());
  EXPECT_EQ(f.Scale(), 1) << "offscreen: neither the user's zoom nor the desktop's scale";
  EXPECT_EQ(f.ClientRect(), (TRect{0, 0, 402, 250}));
  EXPECT_FALSE(f.HelpImage->Visible());
  EXPECT_EQ(f.HelpImage->BoundsRect(), (TRect{16, 172, 16 + 69, 172 + 65}));
  EXPECT_EQ(f.GKIntensity->BoundsRect(), (TRect{142, 52, 142 + 74, 52 + 74}));
  EXPECT_EQ(f.GKIntensity->StepFast(), 50000);
  EXPECT_EQ(f.GraphicText3->BoundsRect(), (TRect{255, 137, 255 + 71, 137 + 24}));
  for (const TComponent* c : f.Components())
    EXPECT_FALSE(c->Loading()) << c->Name();

  EXPECT_EQ(ShownFrame(*f.GKGain), 30);
  EXPECT_EQ(ShownFrame(*f.GKIntensity), 59);
  EXPECT_EQ(ShownFrame(*f.GKOutGain), 30);
  EXPECT_EQ(f.GraphicText1->Text(), "0.0 dB");
  EXPECT_EQ(f.GraphicText2->Text(), "100.0 %");
  EXPECT_EQ(f.GraphicText3->Text(), "0.0 dB");
}

TEST_F(EditorFormTest, WithoutAHostTheKnobsKeepTheirInitialCache) {
  TFormEditor unbound(nullptr, nullptr);
  const TGraphicKnob& knob = *unbound.GKGain;
  EXPECT_EQ(knob.MinCache(), 0);
  EXPECT_EQ(knob.MaxCache(), 100);
  EXPECT_EQ(knob.ValueCache(), 0);
  EXPECT_EQ(unbound.GraphicText1->Text(), "Test");
}

TEST_F(EditorFormTest, HelpOverlayCoversEverythingUntilClicked) {
  const TBitmap before = Form->BackBuffer();
  Click(kHotSpotX, kHotSpotY, mbRight);
  EXPECT_TRUE(Form->HelpImage->Visible());
  EXPECT_EQ(Form->HelpImage->Align(), alClient);
  EXPECT_EQ(Form->Controls().back(), Form->HelpImage);
  EXPECT_TRUE(ShowsHelp());

  // Host automation repaints the knob and the read-out beneath the overlay.
  Gain().SetCurValue(1000000);
  Form->Idle();
  EXPECT_TRUE(ShowsHelp());
  EXPECT_EQ(Form->GKGain->ValueCache(), 1000000);

  // A press over a knob lands on the overlay and hides it.
  Click(67, 89);
  EXPECT_FALSE(Form->HelpImage->Visible());
  EXPECT_EQ(Form->HelpImage->Align(), alClient);
  EXPECT_EQ(Form->Controls().back(), Form->HelpImage);
  EXPECT_FALSE(Form->GKGain->Dragging());
  EXPECT_EQ(ShownFrame(*Form->GKGain), 59);
  EXPECT_EQ(Form->GraphicText1->Text(), "48.0 dB");

  Gain().SetCurValue(500000);
  Form->Idle();
  EXPECT_TRUE(Form->BackBuffer() == before);
  Click(kHotSpotX, kHotSpotY);
  EXPECT_TRUE(ShowsHelp()) << "a second show differs from the first";
}

TEST_F(EditorFormTest, ReopenedEditorStartsFromItsDescription) {
  Click(kHotSpotX, kHotSpotY);
  Intensity().SetCurValue(0);
  Form.reset();
  for (int i = 0; i < 3; ++i)
    EXPECT_EQ(Param(i).Notifier().Count(), 0u) << "a closed editor still listens";

  OpenEditor();
  EXPECT_FALSE(Form->HelpImage->Visible());
  EXPECT_EQ(ShownFrame(*Form->GKIntensity), 0);
  EXPECT_EQ(Form->GraphicText2->Text(), "0.0 %");
}

TEST_F(EditorFormTest, EffectDestroyedBeforeTheEditorLeavesItUnbound) {
  Effect.reset();
  EXPECT_EQ(Form->HostProxy->Host(), nullptr);
  for (const TVSTParameterSource* s :
       {Form->ParamGainSource, Form->ParamIntensitySource, Form->ParamOutGainSource})
    EXPECT_EQ(s->Parameter(), nullptr);
  EXPECT_EQ(Form->GraphicText1->Text(), "Test");
  Form->Repaint();
  EXPECT_EQ(ShownFrame(*Form->GKGain), 30) << "the knob keeps its last picture";
}

} // namespace
