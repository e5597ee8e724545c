// The drop-down month calendar under an edit box: what closes it and with
// which date, what keeps it open, and that the edit keeps the focus.
#include <QCoreApplication>
#include <QWidget>

#include <vector>

#include "grid/toolkit/ToolCtrlsEh.h"
#include "platform/gui/Popup.h"
#include "platform/rtl/SysUtils.h"
#include "tests/grid/toolkit/ToolkitFixture.h"
#include "tests/support/QtInput.h"

namespace {

class TCalendarEdit : public TPopupOwnerEdit<TPopupMonthCalendarEh> {
 public:
  using TPopupOwnerEdit::TPopupOwnerEdit;
  void DropDown(TDateTime Value) {
    Popup()->SetDate(Value);
    ShowPopup();
  }
  std::vector<TDateTime> dates;

 protected:
  void Taken(bool) override { dates.push_back(popup->Date()); }
};

const TDateTime kMarch15 = EncodeDate(2024, 3, 15);

class PopupCalendarTest : public ToolkitTest {
 protected:
  void SetUp() override {
    ToolkitTest::SetUp();
    form_ = TForm::CreateNew(nullptr);
    form_->SetBounds(100, 100, 420, 300);
    edit_ = new TCalendarEdit(form_);
    edit_->SetParent(form_);
    edit_->SetBounds(10, 10, 120, 21);
    other_ = new TEdit(form_);
    other_->SetParent(form_);
    other_->SetBounds(10, 240, 120, 21);
    ASSERT_TRUE(ShowWithFocusIn(form_, edit_));
  }
  void TearDown() override {
    delete form_;
    ToolkitTest::TearDown();
  }
  void Drop(TDateTime Day = kMarch15) {
    edit_->closes.clear();
    edit_->dates.clear();
    edit_->DropDown(Day);
    QCoreApplication::processEvents();
  }
  // A client point of the calendar with hit code Hit (and date Day for the
  // days): the calendar's own answer, found by walking its client area every
  // other pixel.
  TPoint Find(Cardinal Hit, TDateTime Day = -1) {
    TPopupMonthCalendarEh* c = edit_->popup;
    for (int y = 1; y < c->ClientHeight(); y += 2) {
      for (int x = 1; x < c->ClientWidth(); x += 2) {
        TDateTime d = -1;
        if (c->HitTest(Point(x, y), &d) == Hit && (Day < 0 || d == Day)) return Point(x, y);
      }
    }
    ADD_FAILURE() << "no point with hit code " << std::hex << Hit;
    return Point(-1, -1);
  }
  void Click(TPoint P) { ClickAt(edit_->popup->WindowWidget(), edit_->popup->ClientToScreen(P)); }
  void ExpectFocusInEdit() {
    EXPECT_EQ(GetFocus(), edit_->Handle());
    EXPECT_EQ(GetActiveWindow(), form_->Handle());
  }

  TForm* form_ = nullptr;
  TCalendarEdit* edit_ = nullptr;
  TEdit* other_ = nullptr;
};

}  // namespace

TEST_F(PopupCalendarTest, DropsUnderTheEditInARaisedBorderWithoutTheFocus) {
  Drop();
  TPopupMonthCalendarEh* c = edit_->popup;
  EXPECT_TRUE(IsDropDownWindow(c));
  EXPECT_TRUE(IsWindowVisible(c->Handle()));
  EXPECT_EQ(c->ClientToScreen({0, 0}).Y, edit_->ClientToScreen({0, edit_->Height()}).Y + 2);
  const TRect min = c->MinReqRect();
  EXPECT_EQ(c->BorderWidth(), 2);
  EXPECT_EQ(c->Width(), min.Width() + 4);
  EXPECT_EQ(c->Height(), min.Height() + 4);
  EXPECT_EQ(c->ClientWidth(), min.Width());
  EXPECT_EQ(c->Perform(WM_GETDLGCODE) & (DLGC_WANTARROWS | DLGC_WANTTAB | DLGC_WANTALLKEYS),
            DLGC_WANTARROWS | DLGC_WANTTAB | DLGC_WANTALLKEYS);
  ExpectFocusInEdit();

  // Without Ctl3D a one-pixel frame of the window's style and no border of
  // its own; the client area stays the calendar's, nothing is cut off.
  c->SetCtl3D(false);
  EXPECT_EQ(c->BorderWidth(), 0);
  EXPECT_EQ(c->Width(), min.Width() + 2);
  EXPECT_EQ(c->ClientWidth(), min.Width());
  EXPECT_TRUE(IsDropDownWindow(c));
  c->SetCtl3D(true);
  EXPECT_EQ(c->Width(), min.Width() + 4);
  EXPECT_EQ(c->ClientWidth(), min.Width());
  ExpectFocusInEdit();
}

TEST_F(PopupCalendarTest, ClicksOnTheFace) {
  const TDateTime today = Date();
  struct TCase {
    const char* what;
    Cardinal hit;
    TDateTime day;
    bool closes;   // with CloseUp(true)
    TDateTime date;  // the calendar's date afterwards
  } kCases[] = {
      {"next month", MCHT_TITLEBTNNEXT, -1, false, EncodeDate(2024, 4, 15)},
      {"previous month", MCHT_TITLEBTNPREV, -1, false, EncodeDate(2024, 2, 15)},
      {"day names", MCHT_CALENDARDAY, -1, false, kMarch15},
      {"year", MCHT_TITLEYEAR, -1, false, kMarch15},
      {"title", MCHT_TITLEBK, -1, false, kMarch15},
      {"day", MCHT_CALENDARDATE, EncodeDate(2024, 3, 20), true, EncodeDate(2024, 3, 20)},
      {"day of the next month", MCHT_CALENDARDATENEXT, EncodeDate(2024, 4, 2), true, EncodeDate(2024, 4, 2)},
      {"day of the month before", MCHT_CALENDARDATEPREV, EncodeDate(2024, 2, 27), true, EncodeDate(2024, 2, 27)},
      {"today", MCHT_TODAYLINK, -1, true, today},
      {"month name", MCHT_TITLEMONTH, -1, true, kMarch15},
      {"background", MCHT_CALENDARBK, -1, true, kMarch15},
  };
  for (const TCase& c : kCases) {
    SCOPED_TRACE(c.what);
    Drop();
    Click(Find(c.hit, c.day));
    EXPECT_EQ(edit_->popup->Date(), c.date);
    if (c.closes) {
      EXPECT_EQ(edit_->closes, std::vector<bool>{true});
      EXPECT_EQ(edit_->dates, std::vector<TDateTime>{c.date});
      EXPECT_FALSE(IsWindowVisible(edit_->popup->Handle()));
    } else {
      EXPECT_TRUE(edit_->closes.empty());
      EXPECT_TRUE(IsWindowVisible(edit_->popup->Handle()));
    }
    ExpectFocusInEdit();
  }

  // Two arrows, then a day of the month they led to.
  Drop();
  Click(Find(MCHT_TITLEBTNNEXT));
  Click(Find(MCHT_TITLEBTNNEXT));
  Click(Find(MCHT_CALENDARDATE, EncodeDate(2024, 5, 9)));
  EXPECT_EQ(edit_->closes, std::vector<bool>{true});
  EXPECT_EQ(edit_->dates, std::vector<TDateTime>{EncodeDate(2024, 5, 9)});

  // A press outside the calendar (it reaches it while it holds the mouse).
  Drop();
  edit_->popup->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(-3, -3));
  edit_->popup->Perform(WM_LBUTTONUP, 0, MAKELPARAM(-3, -3));
  EXPECT_EQ(edit_->closes, std::vector<bool>{false});
}

TEST_F(PopupCalendarTest, KeysForwardedByTheEditAndTypedIntoTheCalendar) {
  struct TCase {
    const char* what;
    std::vector<Word> keys;
    std::vector<bool> closes;
    TDateTime date;
  } kCases[] = {
      {"arrows move the date", {VK_RIGHT, VK_DOWN}, {}, kMarch15 + 8},
      {"Enter accepts", {VK_LEFT, VK_RETURN}, {true}, kMarch15 - 1},
      {"Esc cancels", {VK_NEXT, VK_ESCAPE}, {false}, EncodeDate(2024, 4, 15)},
  };
  for (const TCase& c : kCases) {
    SCOPED_TRACE(c.what);
    Drop();
    for (Word k : c.keys) SendMessage(edit_->popup->Handle(), WM_KEYDOWN, k, 0);
    EXPECT_EQ(edit_->closes, c.closes);
    EXPECT_EQ(edit_->popup->Date(), c.date);
    ExpectFocusInEdit();
  }

  // Through the whole key path (the dialog keys asked first): one close per
  // key.
  Drop();
  EXPECT_EQ(edit_->popup->Perform(CM_WANTSPECIALKEY, VK_RETURN), 1);
  EXPECT_TRUE(edit_->closes.empty());
  SendKey(edit_->popup->Widget(), Qt::Key_Return, {}, "\r");
  EXPECT_EQ(edit_->closes, std::vector<bool>{true});
  Drop();
  SendKey(edit_->popup->Widget(), Qt::Key_Escape, {}, "\x1b");
  EXPECT_EQ(edit_->closes, std::vector<bool>{false});
  ExpectFocusInEdit();
}

TEST_F(PopupCalendarTest, FocusElsewhereAndTheCancelMessageCloseWithoutAccepting) {
  // The message, posted: nothing until it is handled.
  Drop();
  PostMessage(edit_->popup->Handle(), CM_CLOSEUPCANCELEH, 0, 0);
  EXPECT_TRUE(edit_->closes.empty());
  Application->ProcessMessages();
  EXPECT_EQ(edit_->closes, std::vector<bool>{false});
  // Once closed, a late one does nothing.
  PostMessage(edit_->popup->Handle(), CM_CLOSEUPCANCELEH, 0, 0);
  Application->ProcessMessages();
  EXPECT_EQ(edit_->closes, std::vector<bool>{false});

  // The focus moves to another control of the form.
  Drop();
  other_->SetFocus();
  EXPECT_TRUE(edit_->closes.empty());  // posted: the click that moved it ends first
  Application->ProcessMessages();
  EXPECT_EQ(edit_->closes, std::vector<bool>{false});
  EXPECT_TRUE(other_->Focused());

  // Another window is activated.
  ASSERT_TRUE(ShowWithFocusIn(form_, edit_));
  Drop();
  TForm* second = TForm::CreateNew(nullptr);
  second->SetBounds(500, 100, 200, 100);
  TEdit* there = new TEdit(second);
  there->SetParent(second);
  EXPECT_TRUE(ShowWithFocusIn(second, there));
  Application->ProcessMessages();
  EXPECT_EQ(edit_->closes, std::vector<bool>{false});
  EXPECT_EQ(edit_->dates, std::vector<TDateTime>{kMarch15});

  // The focus moving while the calendar is hidden closes nothing.
  edit_->closes.clear();
  ASSERT_TRUE(ShowWithFocusIn(form_, edit_));
  other_->SetFocus();
  Application->ProcessMessages();
  EXPECT_TRUE(edit_->closes.empty());
  delete second;
}

TEST_F(PopupCalendarTest, WheelStepsADay) {
  Drop();
  EXPECT_TRUE(edit_->popup->DoMouseWheelDown({}, {}));
  EXPECT_EQ(edit_->popup->Date(), kMarch15 + 1);
  EXPECT_TRUE(edit_->popup->DoMouseWheelUp({}, {}));
  EXPECT_TRUE(edit_->popup->DoMouseWheelUp({}, {}));
  EXPECT_EQ(edit_->popup->Date(), kMarch15 - 1);
  EXPECT_TRUE(edit_->closes.empty());
}

TEST_F(PopupCalendarTest, WithoutAPopupOwnerNothingCloses) {
  auto* c = Create<TPopupMonthCalendarEh>(form_);  // a form: no IPopupOwnerEh
  c->SetDate(kMarch15);
  SetWindowPos(c->Handle(), HWND_TOP, 200, 200, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
  EXPECT_EQ(c->Perform(CM_WANTSPECIALKEY, VK_ESCAPE), 0);
  SendMessage(c->Handle(), WM_KEYDOWN, VK_ESCAPE, 0);
  SendMessage(c->Handle(), WM_KEYDOWN, VK_RETURN, 0);
  c->Perform(CM_CLOSEUPCANCELEH);
  EXPECT_TRUE(IsWindowVisible(c->Handle()));
  EXPECT_EQ(c->Date(), kMarch15);
  delete c;
}

TEST_F(PopupCalendarTest, FreedWhileShownOrWithACancelPending) {
  // The calendar freed first: its owner and the focus go on.
  Drop();
  delete edit_->popup;
  edit_->popup = nullptr;
  other_->SetFocus();
  Application->ProcessMessages();
  EXPECT_TRUE(edit_->closes.empty());
  ASSERT_TRUE(ShowWithFocusIn(form_, edit_));
  Drop();
  EXPECT_TRUE(IsWindowVisible(edit_->popup->Handle()));

  // The owner freed (and the calendar with it) with a cancel pending and
  // the focus moving afterwards.
  PostMessage(edit_->popup->Handle(), CM_CLOSEUPCANCELEH, 0, 0);
  delete edit_;
  edit_ = nullptr;
  other_->SetFocus();
  Application->ProcessMessages();
  EXPECT_TRUE(other_->Focused());
}
