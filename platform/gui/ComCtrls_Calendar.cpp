// TMonthCalendar: a month calendar drawn by the platform.
#include <QLocale>
#include <QWidget>
#include <cmath>

#include "platform/gui/ComCtrls.h"
#include "platform/gui/GDI.h"
#include "platform/gui/GuiInternal.h"
#include "platform/rtl/SysUtils.h"

namespace {

constexpr int kMargin = 4;

TDateTime DayOf(TDateTime Value) { return std::floor(Value); }

// ISO week number of a date.
int WeekNumber(TDateTime Day) {
  int dow = (DayOfWeek(Day) + 5) % 7;  // 0 Monday
  TDateTime thursday = Day - dow + 3;
  Word y, m, d;
  DecodeDate(thursday, y, m, d);
  return static_cast<int>((thursday - EncodeDate(y, 1, 1)) / 7) + 1;
}

}  // namespace

// Geometry of the calendar for the current font.
struct TMonthCalendar::Layout {
  int cell_w = 0, cell_h = 0, title_h = 0, week_w = 0;
  TRect title, prev, next, names, grid, today, whole;
};

TMonthCalendar::TMonthCalendar(TComponent* AOwner)
    : TWinControl(AOwner), date_(DayOf(::Date())), canvas_(std::make_unique<TCanvas>()) {
  SetTabStop(true);
  SetColor(clWindow);
  SetParentColor(false);
  AdjustSize();
}

TMonthCalendar::~TMonthCalendar() = default;

QWidget* TMonthCalendar::CreateWidget(QWidget* ParentWidget) {
  QWidget* w = CreatePaintWidget(ParentWidget, [this](HDC dc) { PaintHandler(dc); });
  w->setFocusPolicy(Qt::StrongFocus);
  return w;
}

int TMonthCalendar::FirstDay() const {
  if (first_day_ != dowLocaleDefault) return static_cast<int>(first_day_);
  return static_cast<int>(QLocale::system().firstDayOfWeek()) - 1;  // Qt: Monday 1
}

TMonthCalendar::Layout TMonthCalendar::Measure() const {
  EnsureGuiApplication();
  TCanvas m;
  m.Font()->Assign(Font());
  Layout l;
  int th = m.TextHeight("Wg");
  l.cell_w = std::max(m.TextWidth("00"), m.TextWidth("Wg")) + 8;
  l.cell_h = th + 4;
  l.title_h = th + 8;
  l.week_w = week_numbers_ ? l.cell_w : 0;
  int width = kMargin * 2 + l.week_w + 7 * l.cell_w;
  l.title = Rect(0, 0, width, l.title_h);
  l.prev = Rect(kMargin, 2, kMargin + l.title_h - 4, l.title_h - 2);
  l.next = Rect(width - kMargin - (l.title_h - 4), 2, width - kMargin, l.title_h - 2);
  int left = kMargin + l.week_w;
  l.names = Rect(left, l.title_h + 2, left + 7 * l.cell_w, l.title_h + 2 + l.cell_h);
  l.grid = Rect(left, l.names.Bottom + 2, l.names.Right, l.names.Bottom + 2 + 6 * l.cell_h);
  int bottom = l.grid.Bottom + kMargin;
  if (show_today_) {
    l.today = Rect(kMargin, l.grid.Bottom + 2, width - kMargin, l.grid.Bottom + 2 + l.cell_h);
    bottom = l.today.Bottom + kMargin;
  }
  l.whole = Rect(0, 0, width, bottom);
  return l;
}

TRect TMonthCalendar::MinReqRect() const { return Measure().whole; }

void TMonthCalendar::InitWidget() {
  TWinControl::InitWidget();
  AdjustSize();
}

bool TMonthCalendar::CanAutoSize(int& NewWidth, int& NewHeight) {
  TRect r = MinReqRect();
  NewWidth = r.Width();
  NewHeight = r.Height();
  return true;
}

void TMonthCalendar::AdjustSize() {
  if (!auto_size_) return;
  int w = Width(), h = Height();
  if (CanAutoSize(w, h)) SetBounds(Left(), Top(), w, h);
}

void TMonthCalendar::FontChanged() {
  TWinControl::FontChanged();
  AdjustSize();
  Invalidate();
}

void TMonthCalendar::SetAutoSize(bool Value) {
  auto_size_ = Value;
  AdjustSize();
}

void TMonthCalendar::SetWeekNumbers(bool Value) {
  week_numbers_ = Value;
  AdjustSize();
  Invalidate();
}

void TMonthCalendar::SetShowToday(bool Value) {
  show_today_ = Value;
  AdjustSize();
  Invalidate();
}

void TMonthCalendar::SetFirstDayOfWeek(TCalDayOfWeek Value) {
  first_day_ = Value;
  Invalidate();
}

void TMonthCalendar::SetDate(TDateTime Value) {
  Value = DayOf(Value);
  if (Value == date_) return;
  date_ = Value;
  Invalidate();
}

void TMonthCalendar::UserDate(TDateTime Value) {
  Value = DayOf(Value);
  if (Value == date_) return;
  SetDate(Value);
}

TDateTime TMonthCalendar::FirstShown() const {
  Word y, m, d;
  DecodeDate(date_, y, m, d);
  TDateTime first = EncodeDate(y, m, 1);
  int dow = (DayOfWeek(first) + 5) % 7;  // 0 Monday
  int lead = (dow - FirstDay() + 7) % 7;
  return first - lead;
}

Cardinal TMonthCalendar::HitTest(TPoint P, TDateTime* Day) const {
  Layout l = Measure();
  if (!l.whole.Contains(P)) return MCHT_NOWHERE;
  if (l.title.Contains(P)) {
    if (l.prev.Contains(P)) return MCHT_TITLEBTNPREV;
    if (l.next.Contains(P)) return MCHT_TITLEBTNNEXT;
    // "month year" centred: the month word, a blank, the year.
    TCanvas m;
    m.Font()->Assign(Font());
    String month = FormatDateTime("mmmm", date_), year = FormatDateTime("yyyy", date_);
    int mw = m.TextWidth(month), sw = m.TextWidth(" "), yw = m.TextWidth(year);
    int x = (l.title.Width() - (mw + sw + yw)) / 2;
    if (P.X >= x && P.X < x + mw) return MCHT_TITLEMONTH;
    if (P.X >= x + mw + sw && P.X < x + mw + sw + yw) return MCHT_TITLEYEAR;
    return MCHT_TITLEBK;
  }
  if (l.names.Contains(P)) return MCHT_CALENDARDAY;
  if (week_numbers_ && P.X >= kMargin && P.X < kMargin + l.week_w && P.Y >= l.grid.Top && P.Y < l.grid.Bottom)
    return MCHT_CALENDARWEEKNUM;
  if (l.grid.Contains(P)) {
    int col = (P.X - l.grid.Left) / l.cell_w, row = (P.Y - l.grid.Top) / l.cell_h;
    TDateTime day = FirstShown() + row * 7 + col;
    if (Day != nullptr) *Day = day;
    Word y, m, d, dy, dm, dd;
    DecodeDate(day, y, m, d);
    DecodeDate(date_, dy, dm, dd);
    if (y * 12 + m < dy * 12 + dm) return MCHT_CALENDARDATEPREV;
    if (y * 12 + m > dy * 12 + dm) return MCHT_CALENDARDATENEXT;
    return MCHT_CALENDARDATE;
  }
  if (show_today_ && l.today.Contains(P)) {
    if (Day != nullptr) *Day = DayOf(::Date());
    return MCHT_TODAYLINK;
  }
  return MCHT_CALENDARBK;
}

void TMonthCalendar::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  if (Button == mbLeft) {
    TDateTime day = date_;
    switch (HitTest(Point(X, Y), &day)) {
      case MCHT_TITLEBTNPREV: UserDate(IncMonth(date_, -1)); break;
      case MCHT_TITLEBTNNEXT: UserDate(IncMonth(date_, 1)); break;
      case MCHT_CALENDARDATE:
      case MCHT_CALENDARDATEPREV:
      case MCHT_CALENDARDATENEXT:
      case MCHT_TODAYLINK: UserDate(day); break;
      default: break;
    }
  }
  TWinControl::MouseDown(Button, Shift, X, Y);
}

void TMonthCalendar::KeyDown(Word& Key, TShiftState Shift) {
  TWinControl::KeyDown(Key, Shift);
  Word y, m, d;
  DecodeDate(date_, y, m, d);
  TDateTime next = date_;
  switch (Key) {
    case VK_LEFT: next = date_ - 1; break;
    case VK_RIGHT: next = date_ + 1; break;
    case VK_UP: next = date_ - 7; break;
    case VK_DOWN: next = date_ + 7; break;
    case VK_PRIOR: next = IncMonth(date_, Shift.Contains(ssCtrl) ? -12 : -1); break;
    case VK_NEXT: next = IncMonth(date_, Shift.Contains(ssCtrl) ? 12 : 1); break;
    case VK_HOME: next = EncodeDate(y, m, 1); break;
    case VK_END: next = EncodeDate(y, m, MonthDays(y, m)); break;
    default: return;
  }
  Key = 0;
  UserDate(next);
}

void TMonthCalendar::DefaultHandler(TMessage& Message) {
  switch (Message.Msg) {
    case WM_GETDLGCODE:
      Message.Result = DLGC_WANTARROWS;
      return;
    case MCM_GETMINREQRECT:
      if (Message.LParam != 0) *reinterpret_cast<TRect*>(Message.LParam) = MinReqRect();
      Message.Result = Message.LParam != 0 ? 1 : 0;
      return;
    case MCM_HITTEST: {
      auto* info = reinterpret_cast<MCHITTESTINFO*>(Message.LParam);
      if (info == nullptr) {
        Message.Result = -1;
        return;
      }
      TDateTime day = -1;
      info->uHit = HitTest(info->pt, &day);
      info->st = {};
      if (day >= 0) {
        DecodeDate(day, info->st.wYear, info->st.wMonth, info->st.wDay);
        info->st.wDayOfWeek = static_cast<Word>(DayOfWeek(day) - 1);
      }
      Message.Result = static_cast<LRESULT>(info->uHit);
      return;
    }
    default:
      TWinControl::DefaultHandler(Message);
  }
}

void TMonthCalendar::PaintWindow(HDC DC) {
  Layout l = Measure();
  TCanvas* c = canvas_.get();
  c->SetHandle(DC);
  c->Font()->Assign(Font());
  // Title: the caption colours, arrows and "month year".
  c->Brush()->SetStyle(bsSolid);
  c->Brush()->SetColor(clActiveCaption);
  c->FillRect(l.title);
  TRect prev = l.prev, next = l.next;
  DrawFrameControl(DC, prev, DFC_SCROLL, DFCS_SCROLLLEFT);
  DrawFrameControl(DC, next, DFC_SCROLL, DFCS_SCROLLRIGHT);
  c->Brush()->SetStyle(bsClear);
  c->Font()->SetColor(clCaptionText);
  String title = FormatDateTime("mmmm", date_) + " " + FormatDateTime("yyyy", date_);
  c->TextOut((l.title.Width() - c->TextWidth(title)) / 2, (l.title_h - c->TextHeight(title)) / 2, title);
  // Day names.
  c->Font()->SetColor(clActiveCaption);
  for (int i = 0; i < 7; ++i) {
    int dow = (FirstDay() + i) % 7;  // 0 Monday
    String name = FormatDateTime("ddd", EncodeDate(2024, 1, 1) + dow);  // 1 Jan 2024 was a Monday
    int x = l.names.Left + i * l.cell_w + (l.cell_w - c->TextWidth(name)) / 2;
    c->TextOut(x, l.names.Top + 2, name);
  }
  c->Pen()->SetColor(clGrayText);
  c->MoveTo(l.names.Left, l.names.Bottom + 1);
  c->LineTo(l.names.Right, l.names.Bottom + 1);
  // Days.
  Word y, m, d;
  DecodeDate(date_, y, m, d);
  TDateTime first = FirstShown(), today = DayOf(::Date());
  for (int row = 0; row < 6; ++row) {
    if (week_numbers_) {
      String wn = std::to_string(WeekNumber(first + row * 7));
      c->Font()->SetColor(clGrayText);
      c->TextOut(kMargin + (l.week_w - c->TextWidth(wn)) / 2, l.grid.Top + row * l.cell_h + 2, wn);
    }
    for (int col = 0; col < 7; ++col) {
      TDateTime day = first + row * 7 + col;
      Word dy, dm, dd;
      DecodeDate(day, dy, dm, dd);
      TRect cell = Bounds(l.grid.Left + col * l.cell_w, l.grid.Top + row * l.cell_h, l.cell_w, l.cell_h);
      c->Brush()->SetStyle(bsClear);
      if (day == date_) {
        c->Brush()->SetStyle(bsSolid);
        c->Brush()->SetColor(clHighlight);
        c->FillRect(cell);
        c->Font()->SetColor(clHighlightText);
      } else {
        c->Font()->SetColor(dm == m ? clWindowText : clGrayText);
      }
      String text = std::to_string(dd);
      c->Brush()->SetStyle(bsClear);
      c->TextOut(cell.Left + (l.cell_w - c->TextWidth(text)) / 2, cell.Top + 2, text);
      if (day == today) {
        c->Brush()->SetColor(clRed);
        c->FrameRect(cell);
      }
    }
  }
  if (show_today_) {
    c->Brush()->SetStyle(bsClear);
    c->Font()->SetColor(clWindowText);
    c->TextOut(l.today.Left + 2, l.today.Top + 2, "Today: " + FormatDateTime("ddddd", today));
  }
  c->SetHandle(nullptr);
}
