// The text field: its editing keys, and its hold on the form's keyboard from
// opening to closing (Enter, Escape, a press elsewhere, the keyboard taken
// away).
#include "toolkit/Form.h"
#include "toolkit/TextField.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

// A typed text, or one edit key with its modifiers.
struct TInput {
  TInput(const char* text) : Text(text) {} // NOLINT(google-explicit-constructor)
  TInput(TEditKey key, TShiftState shift = 0) : Key(key), Shift(shift) {} // NOLINT

  std::string Text;
  std::optional<TEditKey> Key;
  TShiftState Shift = 0;
};

class TPressProbe : public TGraphicControl {
public:
  explicit TPressProbe(TForm* form) : TGraphicControl(form) {
    SetBounds(0, 0, 200, 100);
    SetParent(form);
  }
  void MouseDown(TMouseButton, TShiftState, int, int) override { ++Presses; }
  int Presses = 0;
};

// A field 80 x 24 over a backdrop, on a 200 x 100 form.
class TextFieldTest : public testing::Test {
protected:
  TextFieldTest() {
    form.SetClientSize(200, 100);
    backdrop = new TPressProbe(&form);
    field = new TTextField(&form);
    field->SetParent(&form);
    field->SetBounds(20, 30, 80, 24);
    field->OnAccept = TTextField::TFieldEvent::Bind<&TextFieldTest::Accept>(this);
    field->OnCancel = TTextField::TFieldEvent::Bind<&TextFieldTest::Cancel>(this);
  }

  void Accept(TTextField* sender) { Accepted.push_back(sender->Text()); }
  void Cancel(TTextField*) { ++Cancels; }

  void Enter(const std::vector<TInput>& inputs) {
    for (const TInput& input : inputs) {
      if (input.Key) {
        EXPECT_TRUE(form.KeyDown(*input.Key, input.Shift));
      }
      for (const char c : input.Text)
        EXPECT_TRUE(form.CharTyped(c));
    }
  }
  TColor Pixel(int x, int y) const { return form.BackBuffer().Pixel(x, y); }

  TForm form{nullptr, nullptr};
  TPressProbe* backdrop;
  TTextField* field;
  std::vector<std::string> Accepted;
  int Cancels = 0;
};

TEST_F(TextFieldTest, EditingKeys) {
  struct TCase {
    const char* Name;
    std::vector<TInput> Inputs;
    const char* Text;
    std::size_t Caret;
  };
  const TCase cases[] = {
      {"typing replaces the selection", {"-3.5"}, "-3.5", 4},
      {"Backspace clears the selection", {ekBackspace}, "", 0},
      {"Delete clears the selection", {ekDelete}, "", 0},
      {"Right collapses to the end", {ekRight, "!"}, "0.0 dB!", 7},
      {"Left collapses to the start", {ekLeft, "1"}, "10.0 dB", 1},
      {"Backspace before the caret", {ekEnd, ekBackspace, ekBackspace, ekBackspace}, "0.0", 3},
      {"Delete after the caret", {ekHome, ekDelete, ekDelete}, "0 dB", 0},
      {"Backspace at the start", {ekHome, ekBackspace}, "0.0 dB", 0},
      {"Delete at the end", {ekEnd, ekDelete}, "0.0 dB", 6},
      {"arrows stop at the ends", {ekHome, ekLeft, ekEnd, ekRight, "x"}, "0.0 dBx", 7},
      {"insert in the middle", {ekHome, ekRight, ekRight, ekRight, "5"}, "0.05 dB", 4},
      {"Shift extends", {ekEnd, {ekLeft, ssShift}, {ekLeft, ssShift}, "%"}, "0.0 %", 5},
      {"Shift+Home selects to the start", {ekEnd, ekLeft, {ekHome, ssShift}, "9"}, "9B", 1},
      {"control and non-ASCII characters are dropped", {ekEnd, "\t\r\x7f\xe9"}, "0.0 dB", 6},
      {"no more than the limit",
       {"0123456789012345678901234567890123456789"},
       "01234567890123456789012345678901",
       32},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    field->Open("0.0 dB");
    Enter(c.Inputs);
    EXPECT_EQ(field->Text(), c.Text);
    EXPECT_EQ(field->Caret(), c.Caret);
    EXPECT_EQ(field->SelectionStart(), field->SelectionEnd());
  }
}

TEST_F(TextFieldTest, OpenSelectsEverythingAndHoldsTheKeyboardUntilItCloses) {
  EXPECT_FALSE(form.KeyDown(ekEnter, 0)) << "keys with no field open belong to the host";
  EXPECT_FALSE(form.CharTyped('1'));
  field->Open("12.5 dB");
  EXPECT_TRUE(field->Editing());
  EXPECT_EQ(form.FocusedControl(), field);
  EXPECT_EQ(form.Controls().back(), field) << "above every other control";
  EXPECT_EQ(field->SelectionStart(), 0u);
  EXPECT_EQ(field->SelectionEnd(), 7u);
  field->Close();
  EXPECT_EQ(form.FocusedControl(), nullptr);
  EXPECT_FALSE(form.KeyDown(ekEscape, 0));
  EXPECT_EQ(Cancels, 0) << "closed by its owner, not cancelled";
}

TEST_F(TextFieldTest, EnterOffersTheTextAndTheHandlerDecides) {
  field->Open("1");
  Enter({"7", ekEnter});
  EXPECT_EQ(Accepted, (std::vector<std::string>{"7"}));
  EXPECT_TRUE(field->Editing()) << "the handler did not close it";

  field->SetInvalid(true);
  EXPECT_EQ(Pixel(22, 32), 0x6E1010u) << "an invalid text shows red";
  Enter({"x"});
  EXPECT_FALSE(field->Invalid()) << "editing clears the mark";
  EXPECT_EQ(Pixel(22, 32), 0x1A1614u);

  field->OnAccept = {};
  Enter({ekEnter});
  EXPECT_FALSE(field->Visible()) << "without a handler Enter closes";
  EXPECT_EQ(Cancels, 0);
}

TEST_F(TextFieldTest, EscapePressElsewhereAndLostKeyboardCancel) {
  field->Open("1");
  Enter({ekEscape});
  EXPECT_FALSE(field->Visible());
  EXPECT_EQ(form.FocusedControl(), nullptr);
  EXPECT_EQ(Cancels, 1);

  field->Open("1");
  form.MouseDown(mbLeft, ssLeft, 50, 40); // on the field: moves the caret
  form.MouseUp(mbLeft, 0, 50, 40);
  EXPECT_TRUE(field->Editing());
  form.MouseDown(mbLeft, ssLeft, 150, 80);
  form.MouseUp(mbLeft, 0, 150, 80);
  EXPECT_FALSE(field->Visible());
  EXPECT_EQ(Cancels, 2);
  EXPECT_EQ(backdrop->Presses, 1) << "the press elsewhere still counts there";

  field->Open("1");
  form.KeyboardFocusLost();
  EXPECT_FALSE(field->Visible());
  EXPECT_EQ(Cancels, 3);
  EXPECT_TRUE(Accepted.empty());
}

TEST_F(TextFieldTest, APressPlacesTheCaretAtTheNearestGap) {
  field->Open("0123456789"); // 70 pixels of 7-pixel digits, centred: from x = 25 + 5
  const int left = 20 + (80 - 70) / 2;
  struct TCase {
    int X;
    std::size_t Caret;
  };
  for (const TCase c : {TCase{left - 5, 0},
                        {left + 3, 0},
                        {left + 4, 1},
                        {left + 24, 3},
                        {left + 69, 10},
                        {99, 10}}) {
    SCOPED_TRACE(c.X);
    form.MouseDown(mbLeft, ssLeft, c.X, 40);
    form.MouseUp(mbLeft, 0, c.X, 40);
    EXPECT_EQ(field->Caret(), c.Caret);
    EXPECT_EQ(field->SelectionStart(), field->SelectionEnd());
  }
  form.MouseDown(mbLeft, ssLeft | ssDouble, 40, 40);
  EXPECT_EQ(field->SelectionEnd() - field->SelectionStart(), 10u) << "a double click selects all";
}

TEST_F(TextFieldTest, AFieldThatGoesAwayLetsGoOfTheKeyboard) {
  field->Open("1");
  delete field;
  EXPECT_EQ(form.FocusedControl(), nullptr);
  EXPECT_FALSE(form.KeyDown(ekEnter, 0));
}

} // namespace
