// Hints: the application shows a control's hint after its pause, where and
// what the control says per cell, and hides it on leaving, pressing or time.
#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QWidget>

#include <string>

#include "platform/gui/Hints.h"
#include "platform/gui/Popup.h"
#include "tests/platform/gui/GuiFixture.h"

namespace {

// Two cells side by side; the right one shows its hint at once.
class TCells : public TCustomControl {
 public:
  explicit TCells(TWinControl* parent) : TCustomControl(parent) {
    SetParent(parent);
    SetBounds(10, 10, 200, 40);
    SetShowHint(true);
  }
  int refuse = 0;

 protected:
  void WndProc(TMessage& m) override {
    if (m.Msg == CM_HINTSHOW) {
      auto* info = reinterpret_cast<THintInfo*>(m.LParam);
      bool right = info->CursorPos.X >= 100;
      info->CursorRect = right ? Rect(100, 0, 200, 40) : Rect(0, 0, 100, 40);
      info->HintStr = right ? "right cell" : "left cell";
      info->HintPos = ClientToScreen({info->CursorRect.Left, info->CursorRect.Top});
      m.Result = refuse;
      return;
    }
    if (m.Msg == CM_HINTSHOWPAUSE && last_x >= 100) {
      *reinterpret_cast<int*>(m.LParam) = 0;
      return;
    }
    if (m.Msg == WM_MOUSEMOVE) last_x = GET_X_LPARAM(m.LParam);
    TCustomControl::WndProc(m);
  }

 private:
  int last_x = -1;
};

void Move(TControl* c, int x, int y) {
  QWidget* w = c->Widget();
  QMouseEvent e(QEvent::MouseMove, QPoint(x, y), w->mapToGlobal(QPoint(x, y)), Qt::NoButton, Qt::NoButton,
                Qt::NoModifier);
  QCoreApplication::sendEvent(w, &e);
}

void Press(TControl* c, int x, int y) {
  QWidget* w = c->Widget();
  for (auto type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
    QMouseEvent e(type, QPoint(x, y), w->mapToGlobal(QPoint(x, y)), Qt::LeftButton,
                  type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &e);
  }
}

THintWindow* HintWindow() {
  for (int i = 0; i < Application->ComponentCount(); ++i) {
    if (auto* h = dynamic_cast<THintWindow*>(Application->Components(i))) return h;
  }
  return nullptr;
}

bool HintShown() { return HintWindow() != nullptr && HintWindow()->Active(); }

class HintTest : public GuiTest {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    Application->SetHintPause(500);
    Application->SetHintHidePause(2500);
    form_ = TForm::CreateNew(nullptr);
    form_->SetBounds(100, 100, 300, 200);
    cells_ = new TCells(form_);
    form_->Show();
  }
  void TearDown() override {
    Application->CancelHint();
    Application->SetShowHint(true);
    Application->SetOnShowHint(nullptr);
    delete form_;
    GuiTest::TearDown();
  }
  TForm* form_ = nullptr;
  TCells* cells_ = nullptr;
};

TEST_F(HintTest, ControlSetsTextRectangleAndPausePerCell) {
  Move(cells_, 10, 10);
  clock_.Advance(499);
  EXPECT_FALSE(HintShown());
  clock_.Advance(1);
  ASSERT_TRUE(HintShown());
  THintWindow* hint = HintWindow();
  EXPECT_EQ(hint->Caption(), "left cell");
  TRect r;
  GetWindowRect(hint->Handle(), &r);
  TPoint cell = cells_->ClientToScreen({0, 0});
  EXPECT_EQ((TPoint{r.Left, r.Top}), cell);
  TRect calc = hint->CalcHintRect(1000, "left cell", nullptr);
  EXPECT_EQ(r.Width(), calc.Width());
  EXPECT_EQ(r.Height(), calc.Height());
  EXPECT_TRUE(IsDropDownWindow(hint));
  EXPECT_EQ(hint->ClientWidth(), calc.Width() - 2) << "a one-pixel border outside the client area";

  // What the window shows: its frame line, the hint colour, text inside.
  QImage img = hint->WindowWidget()->grab().toImage();
  COLORREF frame = GetSysColor(COLOR_WINDOWFRAME), back = GetSysColor(COLOR_INFOBK);
  EXPECT_EQ(img.pixel(0, 0), qRgb(GetRValue(frame), GetGValue(frame), GetBValue(frame)));
  EXPECT_EQ(img.pixel(1, 1), qRgb(GetRValue(back), GetGValue(back), GetBValue(back)));
  bool ink = false;
  for (int x = 3; x < img.width() - 3 && !ink; ++x) {
    for (int y = 3; y < img.height() - 1 && !ink; ++y) ink = img.pixel(x, y) != img.pixel(1, 1);
  }
  EXPECT_TRUE(ink) << "the text is drawn";

  // Moving within the cell keeps the hint; into the other cell it changes at
  // once (that cell's pause is 0) and sits over that cell.
  Move(cells_, 60, 20);
  EXPECT_TRUE(HintShown());
  EXPECT_EQ(hint->Caption(), "left cell");
  Move(cells_, 150, 20);
  ASSERT_TRUE(HintShown());
  EXPECT_EQ(HintWindow()->Caption(), "right cell");
  GetWindowRect(HintWindow()->Handle(), &r);
  EXPECT_EQ((TPoint{r.Left, r.Top}), cells_->ClientToScreen({100, 0}));

  // It hides by itself after the hide pause, and stays hidden within the cell.
  clock_.Advance(2499);
  EXPECT_TRUE(HintShown());
  clock_.Advance(1);
  EXPECT_FALSE(HintShown());
  Move(cells_, 160, 25);
  clock_.Advance(1000);
  EXPECT_FALSE(HintShown());

  // A press hides it; leaving the control cancels a pending hint.
  Move(cells_, 20, 20);
  clock_.Advance(500);
  ASSERT_TRUE(HintShown());
  Press(cells_, 20, 20);
  EXPECT_FALSE(HintShown());
  cells_->Perform(CM_MOUSELEAVE, 0, 0);
  clock_.Advance(1000);
  EXPECT_FALSE(HintShown());
}

TEST_F(HintTest, RefusalsLeaveNoHint) {
  // The control answers CM_HINTSHOW with not 0.
  cells_->refuse = 1;
  Move(cells_, 10, 10);
  clock_.Advance(500);
  EXPECT_FALSE(HintShown());
  cells_->refuse = 0;

  // OnShowHint may change the text or refuse.
  Application->SetOnShowHint([](String& text, bool&, THintInfo&) { text = "changed"; });
  Move(cells_, 150, 10);
  ASSERT_TRUE(HintShown());
  EXPECT_EQ(HintWindow()->Caption(), "changed");
  Application->SetOnShowHint([](String&, bool& can, THintInfo&) { can = false; });
  Move(cells_, 20, 10);
  clock_.Advance(500);
  EXPECT_FALSE(HintShown());

  // Application->ShowHint off: nothing shows.
  Application->SetOnShowHint(nullptr);
  Application->SetShowHint(false);
  Move(cells_, 150, 30);
  clock_.Advance(1000);
  EXPECT_FALSE(HintShown());
}

TEST_F(HintTest, PlainControlShowsTheShortPartOfItsHintBelowTheCursor) {
  auto* panel = new TCustomControl(form_);
  panel->SetParent(form_);
  panel->SetBounds(10, 100, 100, 60);
  panel->SetShowHint(true);
  panel->SetHint("Short text|The long text");
  auto* inner = new TCustomControl(panel);
  inner->SetParent(panel);  // takes ShowHint and Hint from the panel
  inner->SetBounds(5, 5, 40, 20);
  Move(inner, 4, 6);
  clock_.Advance(500);
  ASSERT_TRUE(HintShown());
  EXPECT_EQ(HintWindow()->Caption(), "Short text");
  TRect r;
  GetWindowRect(HintWindow()->Handle(), &r);
  TPoint cursor = inner->ClientToScreen({4, 6});
  EXPECT_EQ(r.Left, cursor.X);
  EXPECT_GT(r.Top, cursor.Y);
  EXPECT_EQ(GetLongHint(panel->Hint()), "The long text");
  EXPECT_EQ(GetShortHint("no bar"), "no bar");

  // A control that turned its own ShowHint off shows nothing.
  inner->SetShowHint(false);
  Application->CancelHint();
  Move(inner, 8, 8);
  clock_.Advance(1000);
  EXPECT_FALSE(HintShown());
}

}  // namespace
