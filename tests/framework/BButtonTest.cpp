// The bitmap button: states under the mouse and keys, clicks and their
// refusal, default and cancel buttons, modal results, auto-repeat,
// accelerators in both layouts, layout and the looks of its states.
#include <QTimer>

#include "tests/framework/ControlsFixture.h"

namespace {

class BButton : public ControlsTest {
 protected:
  TB_BitBtn* Button(int Left = 10, int Top = 10) {
    auto* b = Add<TB_BitBtn>(Left, Top, 75, 25);
    b->SetOnClick({this, [this](TObject* s) { clicks.push_back(static_cast<TComponent*>(s)->Name()); }});
    return b;
  }
  std::vector<String> clicks;
};

}  // namespace

TEST_F(BButton, DefaultsOfAFreshButton) {
  TB_BitBtn* b = Button();
  EXPECT_TRUE(b->Flat());
  EXPECT_TRUE(b->HotTrack());
  EXPECT_TRUE(b->TabStop());
  EXPECT_EQ(b->Color(), clWindow);
  EXPECT_EQ(b->LayoutBitmap(), b_lbLeft);
  EXPECT_EQ(b->Bitmaps()->AlignHorz(), b_ahRight);
  EXPECT_EQ(b->Frame()->StyleIn(), b_fsRaised);
  EXPECT_EQ(b->RepeatInitialPause(), 400);
  EXPECT_EQ(b->RepeatPause(), 100);
  EXPECT_TRUE(b->Transparent());
}

TEST_F(BButton, MouseShowsStatesAndClicksOnReleaseInside) {
  TB_BitBtn* b = Button();
  b->SetName("B");
  ShowActive();
  QWidget* w = b->Widget();

  Press(w, {10, 10});
  EXPECT_EQ(b->State(), b_bsDown);
  EXPECT_TRUE(b->Pressed());
  MoveHeld(w, {100, 10});  // outside: up while held
  EXPECT_EQ(b->State(), b_bsUp);
  MoveHeld(w, {20, 12});
  EXPECT_EQ(b->State(), b_bsDown);
  Release(w, {20, 12});
  EXPECT_EQ(b->State(), b_bsUp);
  EXPECT_FALSE(b->Pressed());
  EXPECT_EQ(clicks, std::vector<String>{"B"});

  // Released outside: no click.
  Press(w, {10, 10});
  MoveHeld(w, {-20, 10});
  Release(w, {-20, 10});
  EXPECT_EQ(clicks.size(), 1u);

  // OnBeforeClick may refuse; the button still ends up.
  bool allow = false;
  b->SetOnBeforeClick({this, [&allow](TObject*, bool& v) { v = allow; }});
  Press(w, {10, 10});
  Release(w, {10, 10});
  EXPECT_EQ(clicks.size(), 1u);
  EXPECT_EQ(b->State(), b_bsUp);
  allow = true;
  Press(w, {10, 10});
  Release(w, {10, 10});
  EXPECT_EQ(clicks.size(), 2u);

  // Disabled: no press, state disabled; enabled again: up.
  b->SetEnabled(false);
  EXPECT_EQ(b->State(), b_bsDisabled);
  b->SetEnabled(true);
  EXPECT_EQ(b->State(), b_bsUp);
}

TEST_F(BButton, EnterPressesTheActiveButtonAndEscapeTheCancelButton) {
  auto* edit = Add<TEdit>(10, 100, 100, 22);
  TB_BitBtn* ok = Button(10, 10);
  ok->SetName("Ok");
  ok->SetDefault(true);
  TB_BitBtn* cancel = Button(100, 10);
  cancel->SetName("Cancel");
  cancel->SetCancel(true);
  TB_BitBtn* other = Button(190, 10);
  other->SetName("Other");
  ShowActive();
  Focus(edit);
  EXPECT_TRUE(ok->Active());
  EXPECT_FALSE(other->Active());

  SendKey(edit->Widget(), Qt::Key_Return, {}, "\r");
  SendKey(edit->Widget(), Qt::Key_Escape, {}, "\x1b");
  EXPECT_EQ(clicks, (std::vector<String>{"Ok", "Cancel"}));

  // A focused bitmap button is the one Enter presses.
  Focus(other);
  EXPECT_TRUE(other->Active());
  EXPECT_FALSE(ok->Active());
  clicks.clear();
  SendKey(other->Widget(), Qt::Key_Return, {}, "\r");
  EXPECT_EQ(clicks, std::vector<String>{"Other"});

  // Space presses on release; Right moves the focus on in tab order.
  clicks.clear();
  SendKeyEvent(other->Widget(), QEvent::KeyPress, Qt::Key_Space, {}, " ");
  EXPECT_EQ(other->State(), b_bsDown);
  EXPECT_TRUE(clicks.empty());
  SendKeyEvent(other->Widget(), QEvent::KeyRelease, Qt::Key_Space, {}, " ");
  EXPECT_EQ(clicks, std::vector<String>{"Other"});
  EXPECT_EQ(other->State(), b_bsUp);
  Focus(ok);
  SendKey(ok->Widget(), Qt::Key_Right);
  QCoreApplication::processEvents();
  EXPECT_TRUE(cancel->Focused());
}

TEST_F(BButton, ModalResultEndsAModalFormAndCloseClosesAPlainOne) {
  TB_BitBtn* b = Button();
  b->SetModalResult(3);
  QTimer::singleShot(0, [b] { b->Press(); });
  EXPECT_EQ(form_->ShowModal(), 3);
  EXPECT_EQ(b->State(), b_bsUp);

  // A CloseForm button in a modal form gives mrCancel.
  b->SetModalResult(mrNone);
  b->SetCloseForm(true);
  form_->SetModalResult(mrNone);
  QTimer::singleShot(0, [b] { b->Press(); });
  EXPECT_EQ(form_->ShowModal(), mrCancel);

  // b_bkClose in a form that is not modal closes it.
  b->SetCloseForm(false);
  b->SetKind(b_bkClose);
  form_->SetModalResult(mrNone);
  ShowActive();
  b->Press();
  EXPECT_TRUE(b->CloseForm());
  EXPECT_FALSE(form_->Visible());
}

TEST_F(BButton, HeldButtonRepeatsWhileCaptured) {
  TB_BitBtn* b = Button();
  b->SetName("B");
  b->SetRepeatEnabled(true);
  ShowActive();
  QWidget* w = b->Widget();
  Press(w, {10, 10});
  clock_.Advance(399);
  EXPECT_EQ(clicks.size(), 0u);
  clock_.Advance(1);
  EXPECT_EQ(clicks.size(), 1u);
  EXPECT_EQ(b->State(), b_bsDown);
  clock_.Advance(100);
  EXPECT_EQ(clicks.size(), 2u);
  MoveHeld(w, {200, 10});  // out: the up look, still repeating
  EXPECT_EQ(b->State(), b_bsUp);
  clock_.Advance(200);
  EXPECT_EQ(clicks.size(), 4u);
  Release(w, {200, 10});
  clock_.Advance(1000);
  EXPECT_EQ(clicks.size(), 4u);
}

TEST_F(BButton, AcceleratorAnswersEitherLayout) {
  TB_BitBtn* b = Button();
  b->SetName("B");
  b->TextGroup()->SetText("&Да");
  ShowActive();
  struct Case {
    WideChar ch;
    bool clicks;
  } cases[] = {{u'L', true}, {u'l', true}, {u'Д', true}, {u'д', true}, {u'X', false}};
  for (const Case& c : cases) {
    clicks.clear();
    EXPECT_EQ(b->Perform(CM_DIALOGCHAR, c.ch, 0) != 0, c.clicks) << int(c.ch);
    EXPECT_EQ(clicks.size(), c.clicks ? 1u : 0u);
  }
  b->TextGroup()->SetShowAccelChar(false);
  EXPECT_EQ(b->Perform(CM_DIALOGCHAR, u'L', 0), 0);
}

TEST_F(BButton, LayoutPlacesBitmapAndTextAndAutoSizes) {
  TB_BitBtn* b = Button();
  b->Bitmaps()->SetImagesName("App_ImageList16");
  b->Bitmaps()->SetNameBitmap("IM_OK");
  b->TextGroup()->SetText("OK");
  ASSERT_EQ(b->Bitmaps()->ImageWidth(), 16);
  TRect bit = b->BitmapRect(), txt = b->TextRect();
  EXPECT_EQ(bit.Width(), 16);
  EXPECT_EQ(txt.Left, bit.Right);  // text right of the bitmap
  b->SetLayoutBitmap(b_lbTop);
  bit = b->BitmapRect();
  txt = b->TextRect();
  EXPECT_EQ(bit.Height(), 16);
  EXPECT_EQ(txt.Top, bit.Bottom);

  // AutoSize: twice the frame (1 raised bevel) plus the content plus 2.
  b->SetLayoutBitmap(b_lbLeft);
  TRect measured = Rect(0, 0, 200, 100);
  b->TextGroup()->Measure(measured);
  b->SetAutoSize(true);
  EXPECT_EQ(b->Width(), 2 + 16 + measured.Width() + 2);
  EXPECT_EQ(b->Height(), 2 + std::max(16, measured.Height()) + 2);
  b->SetAlign(alTop);
  b->Layout();
  EXPECT_EQ(b->Height(), 2 + std::max(16, measured.Height()) + 2);
}

TEST_F(BButton, LooksFollowStateHoverAndActivity) {
  TB_BitBtn* b = Button();
  b->TextGroup()->SetText("");
  b->SetTransparent(false);
  const TColor face = Sys(clWindow), light = Sys(clBtnHighlight), shadow = Sys(clBtnShadow);
  // Flat, not hovered: no frame.
  EXPECT_EQ(Paint(b)->At(0, 0), face);
  // Hovered: raised (light top-left, shadow bottom-right).
  b->Perform(CM_MOUSEENTER);
  auto p = Paint(b);
  EXPECT_EQ(p->At(0, 0), light);
  EXPECT_EQ(p->At(74, 24), shadow);
  // Down: lowered.
  b->SetState(b_bsDown);
  p = Paint(b);
  EXPECT_EQ(p->At(0, 0), shadow);
  EXPECT_EQ(p->At(74, 24), light);
  b->SetState(b_bsUp);
  b->Perform(CM_MOUSELEAVE);
  // Not flat: the frame always, dark colour the window frame.
  b->SetFlat(false);
  EXPECT_EQ(Paint(b)->At(74, 24), Sys(clWindowFrame));
  // The active button gets a border in BorderColor inside the bevel; the
  // published frame is left as it was.
  b->Frame()->SetBorderColor(clRed);
  b->SetDefault(true);
  ASSERT_TRUE(b->Active());
  EXPECT_EQ(Paint(b)->At(1, 12), Sys(clRed));
  EXPECT_EQ(b->Frame()->BorderWidth(), 0);
  b->SetDefault(false);
  EXPECT_NE(Paint(b)->At(1, 12), Sys(clRed));
}

TEST_F(BButton, FocusControlPlacesTheButton) {
  auto* edit = Add<TEdit>(10, 50, 100, 30);
  TB_BitBtn* b = Button(0, 0);
  b->SetHeight(20);
  b->SetFocusControl(edit);
  Paint(b);
  EXPECT_EQ(b->Left(), 112);
  EXPECT_EQ(b->Top(), 55);
  delete edit;
  EXPECT_EQ(b->FocusControl(), nullptr);

  auto* box = Add<TB_CustomMaskEdit>(10, 100, 150, 22);
  b->SetFocusControl(box);
  Paint(b);
  EXPECT_EQ(b->Parent(), box);
  EXPECT_EQ(b->Align(), alRight);
  EXPECT_FALSE(b->TabStop());
  EXPECT_TRUE(b->AutoSize());
}
