#include <QCoreApplication>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>
#include <QWidget>
#include <map>

#include "platform/rtl/SysUtils.h"
#include "tests/platform/gui/GuiFixture.h"

namespace {

class TWheelCalendar : public TMonthCalendar {
 public:
  using TMonthCalendar::TMonthCalendar;
  bool DoMouseWheelDown(TShiftState, TPoint) override {
    ++wheels;
    return true;
  }
  int wheels = 0;
};

class CalendarTest : public GuiTest {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    form_ = TForm::CreateNew(nullptr);
    form_->SetBounds(100, 100, 400, 400);
    cal_ = new TWheelCalendar(form_);
    cal_->SetFirstDayOfWeek(dowMonday);
    cal_->SetDate(EncodeDate(2024, 2, 15) + 0.75);  // a Thursday; the time is dropped
    cal_->SetParent(form_);
    cal_->SetOnClick([this](TObject*) { ++clicks; });
    form_->Show();
  }
  void TearDown() override {
    delete form_;
    GuiTest::TearDown();
  }
  // The first point (row by row) of each hit code, and the date found there.
  std::map<Cardinal, std::pair<TPoint, TDateTime>> Map() {
    std::map<Cardinal, std::pair<TPoint, TDateTime>> found;
    TRect r = cal_->MinReqRect();
    for (int y = 0; y < r.Bottom + 4; y += 2) {
      for (int x = 0; x < r.Right + 4; x += 2) {
        TDateTime day = -1;
        Cardinal hit = cal_->HitTest(Point(x, y), &day);
        found.try_emplace(hit, Point(x, y), day);
      }
    }
    return found;
  }
  void Key(Qt::Key key, Qt::KeyboardModifiers mods = {}) {
    QKeyEvent e(QEvent::KeyPress, key, mods);
    QCoreApplication::sendEvent(cal_->Widget(), &e);
  }
  void Press(TPoint p) {
    QWidget* w = cal_->Widget();
    QPoint q(p.X, p.Y);
    QMouseEvent press(QEvent::MouseButtonPress, q, w->mapToGlobal(q), Qt::LeftButton, Qt::LeftButton, {});
    QCoreApplication::sendEvent(w, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, q, w->mapToGlobal(q), Qt::LeftButton, Qt::NoButton, {});
    QCoreApplication::sendEvent(w, &release);
  }
  TForm* form_ = nullptr;
  TWheelCalendar* cal_ = nullptr;
  int clicks = 0;
};

TEST_F(CalendarTest, MinimumSizeAndAutoSize) {
  EXPECT_EQ(cal_->Date(), EncodeDate(2024, 2, 15));
  TRect r;
  EXPECT_EQ(cal_->Perform(MCM_GETMINREQRECT, 0, reinterpret_cast<LPARAM>(&r)), 1);
  EXPECT_EQ(r, cal_->MinReqRect());
  EXPECT_EQ(cal_->Width(), r.Width());
  EXPECT_EQ(cal_->Height(), r.Height());
  cal_->SetWeekNumbers(true);
  EXPECT_GT(cal_->Width(), r.Width());
  cal_->SetShowToday(false);
  EXPECT_LT(cal_->Height(), r.Height());
  cal_->SetAutoSize(false);
  cal_->SetBounds(0, 0, 50, 50);
  EXPECT_EQ(cal_->Width(), 50);
}

namespace {
// Keeps a border of its own around the calendar, or refuses to size.
class TBorderedCalendar : public TMonthCalendar {
 public:
  using TMonthCalendar::TMonthCalendar;
  int border = 2;
  bool refuse = false;

 protected:
  bool CanAutoSize(int& NewWidth, int& NewHeight) override {
    if (refuse) return false;
    bool ok = TMonthCalendar::CanAutoSize(NewWidth, NewHeight);
    NewWidth += 2 * border;
    NewHeight += 2 * border;
    return ok;
  }
};
}  // namespace

TEST_F(CalendarTest, ADescendantHooksTheAutomaticSize) {
  auto* cal = new TBorderedCalendar(form_);
  cal->SetParent(form_);
  TRect r = cal->MinReqRect();
  EXPECT_EQ(cal->Width(), r.Width() + 4);
  EXPECT_EQ(cal->Height(), r.Height() + 4);
  cal->SetWeekNumbers(true);
  EXPECT_EQ(cal->Width(), cal->MinReqRect().Width() + 4);
  cal->refuse = true;
  int before = cal->Width();
  cal->SetWeekNumbers(false);
  EXPECT_EQ(cal->Width(), before);
}

TEST_F(CalendarTest, HitTestNamesEveryPartAndTheDateUnderTheDays) {
  auto map = Map();
  for (Cardinal code : {MCHT_TITLEBTNPREV, MCHT_TITLEBTNNEXT, MCHT_TITLEMONTH, MCHT_TITLEYEAR, MCHT_TITLEBK,
                        MCHT_CALENDARDAY, MCHT_CALENDARDATE, MCHT_CALENDARDATEPREV, MCHT_CALENDARDATENEXT,
                        MCHT_TODAYLINK, MCHT_CALENDARBK, MCHT_NOWHERE}) {
    EXPECT_TRUE(map.count(code)) << std::hex << code;
  }
  EXPECT_FALSE(map.count(MCHT_CALENDARWEEKNUM));
  // February 2024 from Monday: the grid starts on 29 January and ends on 10 March.
  EXPECT_EQ(map[MCHT_CALENDARDATEPREV].second, EncodeDate(2024, 1, 29));
  EXPECT_EQ(map[MCHT_CALENDARDATE].second, EncodeDate(2024, 2, 1));
  EXPECT_EQ(map[MCHT_CALENDARDATENEXT].second, EncodeDate(2024, 3, 1));
  EXPECT_EQ(map[MCHT_TODAYLINK].second, std::floor(Date()));

  MCHITTESTINFO info;
  info.pt = map[MCHT_CALENDARDATEPREV].first;
  EXPECT_EQ(cal_->Perform(MCM_HITTEST, 0, reinterpret_cast<LPARAM>(&info)), MCHT_CALENDARDATEPREV);
  EXPECT_EQ(info.uHit, MCHT_CALENDARDATEPREV);
  EXPECT_EQ(info.st.wYear, 2024);
  EXPECT_EQ(info.st.wMonth, 1);
  EXPECT_EQ(info.st.wDay, 29);
  EXPECT_EQ(info.st.wDayOfWeek, 1);  // Monday

  cal_->SetFirstDayOfWeek(dowSunday);
  EXPECT_EQ(Map()[MCHT_CALENDARDATEPREV].second, EncodeDate(2024, 1, 28));
  cal_->SetWeekNumbers(true);
  EXPECT_TRUE(Map().count(MCHT_CALENDARWEEKNUM));
}

TEST_F(CalendarTest, PressesOnDaysAndButtonsChangeTheDate) {
  auto map = Map();
  Press(map[MCHT_TITLEBTNNEXT].first);
  EXPECT_EQ(cal_->Date(), EncodeDate(2024, 3, 15));
  Press(map[MCHT_TITLEBTNPREV].first);
  EXPECT_EQ(cal_->Date(), EncodeDate(2024, 2, 15));
  Press(map[MCHT_CALENDARDATEPREV].first);
  EXPECT_EQ(cal_->Date(), EncodeDate(2024, 1, 29));
  Press(map[MCHT_CALENDARDAY].first);  // day names: no change
  EXPECT_EQ(cal_->Date(), EncodeDate(2024, 1, 29));
  EXPECT_EQ(clicks, 4);
  // The selected day is highlighted.
  QImage img = cal_->Widget()->grab().toImage();
  bool highlighted = false;
  TRect r = cal_->MinReqRect();
  for (int y = 0; y < r.Bottom && !highlighted; ++y) {
    for (int x = 0; x < r.Right && !highlighted; ++x) {
      TDateTime day = -1;
      if ((cal_->HitTest(Point(x, y), &day) & MCHT_CALENDARDATE) != MCHT_CALENDARDATE) continue;
      QColor q = img.pixelColor(x, y);
      if (RGB(q.red(), q.green(), q.blue()) == ColorToRGB(clHighlight)) {
        highlighted = true;
        EXPECT_EQ(day, EncodeDate(2024, 1, 29));
      }
    }
  }
  EXPECT_TRUE(highlighted);
}

TEST_F(CalendarTest, KeysMoveTheDateAndTheWheelGoesToTheControl) {
  struct Case {
    Qt::Key key;
    Qt::KeyboardModifiers mods;
    TDateTime expected;
  } cases[] = {
      {Qt::Key_Left, {}, EncodeDate(2024, 2, 14)},      {Qt::Key_Right, {}, EncodeDate(2024, 2, 16)},
      {Qt::Key_Up, {}, EncodeDate(2024, 2, 8)},         {Qt::Key_Down, {}, EncodeDate(2024, 2, 22)},
      {Qt::Key_PageUp, {}, EncodeDate(2024, 1, 15)},    {Qt::Key_PageDown, {}, EncodeDate(2024, 3, 15)},
      {Qt::Key_PageDown, Qt::ControlModifier, EncodeDate(2025, 2, 15)},
      {Qt::Key_Home, {}, EncodeDate(2024, 2, 1)},       {Qt::Key_End, {}, EncodeDate(2024, 2, 29)},
  };
  for (const Case& c : cases) {
    cal_->SetDate(EncodeDate(2024, 2, 15));
    Key(c.key, c.mods);
    EXPECT_EQ(cal_->Date(), c.expected) << c.key;
  }
  EXPECT_EQ(cal_->Perform(WM_GETDLGCODE) & DLGC_WANTARROWS, DLGC_WANTARROWS);

  cal_->SetDate(EncodeDate(2024, 2, 15));
  form_->Widget()->activateWindow();
  cal_->SetFocus();
  QCoreApplication::processEvents();
  QPoint p(5, 5);
  QWheelEvent e(p, cal_->Widget()->mapToGlobal(p), QPoint(), QPoint(0, -WHEEL_DELTA), Qt::NoButton, Qt::NoModifier,
                Qt::NoScrollPhase, false);
  QCoreApplication::sendEvent(cal_->Widget(), &e);
  EXPECT_EQ(cal_->wheels, 1);
  EXPECT_EQ(cal_->Date(), EncodeDate(2024, 2, 15));
}

}  // namespace
