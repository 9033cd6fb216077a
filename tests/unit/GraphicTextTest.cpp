// The read-out: its parameter's text and unit label, placed by alignment and
// border, clipped to the inset rectangle, and repainted only when the text can
// have changed.
#include "editor/GraphicText.h"
#include "EditorFixture.h"
#include "params/VSTParameterSource.h"
#include "toolkit/Form.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(GraphicTextEditorTest, ShowsTestUntilBound) {
  TFormEditor form(nullptr, nullptr);
  for (const TGraphicText* text : {form.GraphicText1, form.GraphicText2, form.GraphicText3})
    EXPECT_EQ(text->Text(), "Test");
}

class GraphicTextFormTest : public EditorFixture {};

TEST_F(GraphicTextFormTest, ShowsDisplayTextAndLabel) {
  EXPECT_EQ(Form->GraphicText1->Text(), "0.0 dB");
  EXPECT_EQ(Form->GraphicText2->Text(), "100.0 %");
  Gain().SetCurValue(1000000);
  EXPECT_EQ(Form->GraphicText1->Text(), "48.0 dB");
  Gain().SetDisplayLabel("");
  EXPECT_EQ(Form->GraphicText1->Text(), "48.0");
  Form->GraphicText1->SetParamSrc(nullptr);
  EXPECT_EQ(Form->GraphicText1->Text(), "Test");
}

// Counts its paints; bound to a parameter of its own host.
class TCountingText : public TGraphicText {
public:
  using TGraphicText::TGraphicText;
  void Paint(TCanvas& canvas) override {
    ++Paints;
    TGraphicText::Paint(canvas);
  }
  int Paints = 0;
};

constexpr TColor kFormColor = 0x203040;
constexpr TColor kInk = clWhite;

class GraphicTextTest : public testing::Test {
public: // the change table below reaches in
  GraphicTextTest() {
    Form.Color = kFormColor;
    Form.SetClientSize(120, 40);
    Text->SetParent(&Form);
    Text->Font().SetColor(kInk);
    Param = Host.Parameters().Add();
    Param->SetName("Gain");
    Param->SetMaxValue(1000);
    Source->SetProxy(&Proxy);
    Source->SetVSTParamName("Gain");
    Proxy.SetHost(&Host);
  }

  TVSTParameterHost Host{nullptr};
  TVSTParameter* Param;
  TForm Form{nullptr, nullptr};
  TVSTParameterHostProxy& Proxy = *CreateComponent<TVSTParameterHostProxy>(&Form, "Proxy");
  TVSTParameterSource* Source = CreateComponent<TVSTParameterSource>(&Form, "Source");
  TCountingText* Text = CreateComponent<TCountingText>(&Form, "Text");
};

TEST_F(GraphicTextTest, RepaintsWhenTheTextCanHaveChanged) {
  struct TCase {
    const char* Change;
    void (*Apply)(GraphicTextTest&);
    int Paints;
  };
  const TCase cases[] = {
      {"bound", [](GraphicTextTest& t) { t.Text->SetParamSrc(t.Source); }, 1},
      {"range", [](GraphicTextTest& t) { t.Param->SetMaxValue(2000); }, 0},
      {"value, found at idle",
       [](GraphicTextTest& t) {
         t.Param->SetCurValue(5);
         t.Form.Idle();
       },
       1},
      {"idle, nothing new", [](GraphicTextTest& t) { t.Form.Idle(); }, 0},
      {"unbound", [](GraphicTextTest& t) { t.Proxy.SetHost(nullptr); }, 1},
      {"font colour", [](GraphicTextTest& t) { t.Text->Font().SetColor(clBlack); }, 1},
      {"font height", [](GraphicTextTest& t) { t.Text->Font().SetHeight(-12); }, 1},
      {"border -4 (stays 0)", [](GraphicTextTest& t) { t.Text->SetBorder(-4); }, 0},
      {"same alignment", [](GraphicTextTest& t) { t.Text->SetAlignment(taLeftJustify); }, 0},
      {"source destroyed", [](GraphicTextTest& t) { delete t.Source; }, 1},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Change);
    Text->Paints = 0;
    c.Apply(*this);
    EXPECT_EQ(Text->Paints, c.Paints);
  }
  EXPECT_EQ(Text->Border(), 0);
  EXPECT_EQ(Text->ParamSrc(), nullptr);
  EXPECT_EQ(Text->Text(), "Test");
}

// The form's back buffer against the text drawn by hand at the expected spot.
TEST_F(GraphicTextTest, PlacesAndClipsTheText) {
  TBitmap scratch;
  const TCanvas measure(scratch, {}, {});
  const TSize extent = measure.TextExtent("Test");
  ASSERT_EQ(extent.Height, 13);
  const int tw = extent.Width;
  struct TCase {
    TAlignment Alignment;
    int Border;
    int Width;
    int X; // expected, relative to the control
  };
  const TCase cases[] = {
      {taLeftJustify, 0, 71, 0},
      {taLeftJustify, 3, 71, 3},
      {taLeftJustify, 0, tw - 4, 0}, // cut at the right
      {taRightJustify, 3, 71, 71 - 3 - tw},
      {taCenter, 0, tw + 61, 30},
      {taCenter, 5, tw + 61, 30}, // the border only clips
      {taCenter, 0, tw - 1, 0},   // (-1) div 2 truncates to 0
      {taCenter, 0, tw - 3, -1},
  };
  constexpr int kLeft = 20;
  constexpr int kTop = 8;
  constexpr int kHeight = 24;
  for (const TCase& c : cases) {
    SCOPED_TRACE("alignment " + std::to_string(c.Alignment) + ", border " +
                 std::to_string(c.Border) + ", width " + std::to_string(c.Width));
    Text->SetBounds(kLeft, kTop, c.Width, kHeight);
    Text->SetAlignment(c.Alignment);
    Text->SetBorder(c.Border);
    Form.Repaint();

    TBitmap expected(Form.ClientWidth(), Form.ClientHeight(), kFormColor);
    TCanvas canvas(expected, {kLeft, kTop}, {0, 0, c.Width, kHeight});
    canvas.Font.SetColor(kInk);
    canvas.BrushStyle = bsClear;
    canvas.TextRect({c.Border, c.Border, c.Width - c.Border, kHeight - c.Border}, c.X,
                    (kHeight - 13) / 2, "Test");
    EXPECT_TRUE(Form.BackBuffer() == expected);
  }
}

} // namespace
