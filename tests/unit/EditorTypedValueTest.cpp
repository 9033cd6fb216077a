// Typing a value: a double click on a read-out opens a text field over it;
// Enter applies what the formats would make of the same text, as one
// gesture, or marks the field and changes nothing.
#include "EditorFixture.h"

#include "base/DecimalSeparator.h"

#include <string>
#include <vector>

namespace {

using TEvents = std::vector<std::string>;

class EditorTypedValueTest : public EditorFixture {
protected:
  static TPoint Centre(const TControl& control) {
    return {control.Left() + control.Width() / 2, control.Top() + control.Height() / 2};
  }
  void Click(TPoint at, TShiftState extra = 0) {
    Form->MouseDown(mbLeft, ssLeft | extra, at.X, at.Y);
    Form->MouseUp(mbLeft, 0, at.X, at.Y);
  }
  // Opens the field over `text` with a double click.
  void OpenOver(const TGraphicText& text) {
    Click(Centre(text));
    Click(Centre(text), ssDouble);
  }
  void Type(const std::string& text) {
    for (const char c : text)
      Form->CharTyped(c);
  }
  // What the read-out shows for a text written with '.'.
  static std::string Localised(std::string text) {
    for (char& c : text)
      if (c == '.')
        c = UserDecimalSeparator();
    return text;
  }
  TTextField& Field() const { return *Form->ValueEditor; }
};

TEST_F(EditorTypedValueTest, DoubleClickOnAReadOutOpensTheFieldWithItsTextSelected) {
  Intensity().SetCurValue(250000);
  Form->Idle();
  const TGraphicText& readOut = *Form->GraphicText2;
  Click(Centre(readOut));
  EXPECT_FALSE(Field().Visible()) << "a single click opens nothing";
  Click(Centre(readOut), ssDouble);
  ASSERT_TRUE(Field().Editing());
  EXPECT_EQ(Field().Text(), Localised("25.0 %"));
  EXPECT_EQ(Field().SelectionEnd() - Field().SelectionStart(), Field().Text().size());
  EXPECT_EQ(Field().BoundsRect(), readOut.BoundsRect());
  EXPECT_TRUE(Automation.Events.empty()) << "opening is no gesture";
}

TEST_F(EditorTypedValueTest, EnterAppliesTheTypedValueAsOneGesture) {
  struct TCase {
    TGraphicText* TFormEditor::*ReadOut;
    const char* Typed;
    const char* Shown; // the read-out afterwards, with '.'
  };
  const TCase cases[] = {
      {&TFormEditor::GraphicText1, "-3.5", "-3.5 dB"},
      {&TFormEditor::GraphicText1, "-4.5 dB", "-4.5 dB"},
      {&TFormEditor::GraphicText1, "6,5", "6.5 dB"},
      {&TFormEditor::GraphicText1, " +12dB ", "12.0 dB"},
      {&TFormEditor::GraphicText1, "100 DB", "48.0 dB"},
      {&TFormEditor::GraphicText2, "50 %", "50.0 %"},
      {&TFormEditor::GraphicText2, "75", "75.0 %"},
      {&TFormEditor::GraphicText2, "-5%", "0.0 %"},
      {&TFormEditor::GraphicText3, "-48", "-48.0 dB"},
      {&TFormEditor::GraphicText3, ".5", "0.5 dB"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Typed);
    TGraphicText& readOut = *(Form.get()->*c.ReadOut);
    const std::string index = std::to_string(readOut.ParamSrc()->Parameter()->Index());
    Automation.Events.clear();
    OpenOver(readOut);
    Type(c.Typed);
    Form->KeyDown(ekEnter, 0);
    EXPECT_FALSE(Field().Visible());
    EXPECT_EQ(Form->FocusedControl(), nullptr);
    EXPECT_EQ(readOut.Text(), Localised(c.Shown));
    EXPECT_EQ(Automation.Events, (TEvents{"begin " + index, "automate " + index, "end " + index}));
  }
}

TEST_F(EditorTypedValueTest, ARefusedTextMarksTheFieldAndChangesNothing) {
  const TGraphicText& readOut = *Form->GraphicText1;
  for (const char* typed : {"", "abc", "3 %", "1.2.3", "--3", "3 dB dB", "dB", "3e2", "1,5.5"}) {
    SCOPED_TRACE(typed);
    OpenOver(readOut);
    Form->KeyDown(ekBackspace, 0);
    Type(typed);
    Form->KeyDown(ekEnter, 0);
    EXPECT_TRUE(Field().Editing()) << "open for correction";
    EXPECT_TRUE(Field().Invalid());
    EXPECT_EQ(Gain().CurValue(), 500000);
    EXPECT_TRUE(Automation.Events.empty());
    Form->KeyDown(ekEscape, 0);
  }
  // Corrected, it goes through.
  OpenOver(readOut);
  Type("x");
  Form->KeyDown(ekEnter, 0);
  Form->KeyDown(ekBackspace, 0);
  EXPECT_FALSE(Field().Invalid());
  Type("-6");
  Form->KeyDown(ekEnter, 0);
  EXPECT_EQ(readOut.Text(), Localised("-6.0 dB"));
}

TEST_F(EditorTypedValueTest, EscapeOrAClickElsewhereLeavesTheValue) {
  const TGraphicText& readOut = *Form->GraphicText3;
  OpenOver(readOut);
  Type("12");
  Form->KeyDown(ekEscape, 0);
  EXPECT_FALSE(Field().Visible());

  OpenOver(readOut);
  Type("12");
  Click({5, 5}); // the backdrop
  EXPECT_FALSE(Field().Visible());
  EXPECT_EQ(Form->FocusedControl(), nullptr);
  EXPECT_EQ(OutGain().CurValue(), 500000);
  EXPECT_TRUE(Automation.Events.empty());
}

TEST_F(EditorTypedValueTest, DoubleClickOnTheKnobStillResetsIt) {
  Gain().SetCurValue(800000);
  const TPoint knob = Centre(*Form->GKGain);
  Click(knob);
  Click(knob, ssDouble);
  EXPECT_EQ(Gain().CurValue(), 500000);
  EXPECT_FALSE(Field().Visible());
}

TEST_F(EditorTypedValueTest, AnUnboundReadOutOpensNothing) {
  Form->HostProxy->SetHost(nullptr);
  OpenOver(*Form->GraphicText1);
  EXPECT_FALSE(Field().Visible());
}

TEST_F(EditorTypedValueTest, ClosingTheEditorWhileTypingIsClean) {
  OpenOver(*Form->GraphicText1);
  Type("3");
  Form.reset();
  EXPECT_TRUE(Automation.Events.empty());
}

} // namespace
