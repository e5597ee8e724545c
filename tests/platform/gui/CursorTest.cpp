// The cursor per position: WM_SETCURSOR before pointer messages, its default
// handling, and the screen's registry of cursors.
#include <QApplication>
#include <QCursor>
#include <QMouseEvent>
#include <QWidget>

#include <memory>
#include <vector>

#include "platform/gui/Cursors.h"
#include "platform/os/Resources.h"
#include "tests/platform/gui/GuiFixture.h"

void RegisterGridResources();

namespace {

// A panel that may answer WM_SETCURSOR itself and logs what it gets.
class TCursorPanel : public TCustomControl {
 public:
  using TCustomControl::TCustomControl;
  struct Got {
    HWND wnd;
    int hit, mouse;
  };
  std::vector<Got> got;
  HCURSOR answer = nullptr;  // set this cursor left of x = 50
  void Dispatch(TMessage& Message) override {
    if (Message.Msg == WM_SETCURSOR) {
      got.push_back({reinterpret_cast<HWND>(Message.WParam), LOWORD(static_cast<uintptr_t>(Message.LParam)),
                     HIWORD(static_cast<uintptr_t>(Message.LParam))});
      if (answer != nullptr && ScreenToClient(GetCursorPos()).X < 50) {
        ::SetCursor(answer);
        Message.Result = 1;
        return;
      }
    }
    TCustomControl::Dispatch(Message);
  }
};

class CursorTest : public GuiTest {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    form_.reset(Create<TForm>(nullptr));
    form_->SetBounds(0, 0, 300, 200);
    panel_ = new TCursorPanel(form_.get());
    panel_->SetParent(form_.get());
    panel_->SetBounds(10, 10, 200, 100);
    label_ = new TLabel(form_.get());
    label_->SetParent(panel_);
    label_->SetAutoSize(false);
    label_->SetBounds(120, 10, 60, 30);
    form_->Show();
  }
  // A pointer event over a control; answers the cursor the widget shows.
  static Qt::CursorShape Send(TControl* c, int x, int y, QEvent::Type type = QEvent::MouseMove,
                              Qt::MouseButton button = Qt::NoButton) {
    QWidget* w = c->Widget();
    QPoint p(x, y);
    Qt::MouseButtons held = type == QEvent::MouseButtonPress ? Qt::MouseButtons(button) : Qt::NoButton;
    QMouseEvent e(type, p, w->mapToGlobal(p), button, held, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
    return w->cursor().shape();
  }

  std::unique_ptr<TForm> form_;
  TCursorPanel* panel_ = nullptr;
  TLabel* label_ = nullptr;
};

}  // namespace

TEST_F(CursorTest, PointerMessagesAskTheWindowUnderThePointerFirst) {
  panel_->SetCursor(crHandPoint);
  label_->SetCursor(crIBeam);
  // A move and a press over the panel: WM_SETCURSOR with its handle, the
  // client hit and the mouse message; the release asks nothing.
  EXPECT_EQ(Send(panel_, 60, 60), Qt::PointingHandCursor);
  Send(panel_, 60, 60, QEvent::MouseButtonPress, Qt::LeftButton);
  Send(panel_, 60, 60, QEvent::MouseButtonRelease, Qt::LeftButton);
  ASSERT_EQ(panel_->got.size(), 2u);
  EXPECT_EQ(panel_->got[0].wnd, panel_->Handle());
  EXPECT_EQ(panel_->got[0].hit, HTCLIENT);
  EXPECT_EQ(panel_->got[0].mouse, static_cast<int>(WM_MOUSEMOVE));
  EXPECT_EQ(panel_->got[1].mouse, static_cast<int>(WM_LBUTTONDOWN));

  // Over the graphic child the parent is asked, and the child's Cursor shows.
  panel_->got.clear();
  EXPECT_EQ(Send(label_, 5, 5), Qt::IBeamCursor);
  ASSERT_EQ(panel_->got.size(), 1u);
  EXPECT_EQ(panel_->got[0].wnd, panel_->Handle());

  // A handler's cursor lasts until the next move, where the property's
  // cursor comes back when nobody sets one.
  panel_->answer = ScreenCursor(crSizeAll);
  EXPECT_EQ(Send(panel_, 20, 60), Qt::SizeAllCursor);
  EXPECT_EQ(Send(panel_, 60, 60), Qt::PointingHandCursor);
  panel_->SetCursor(crDefault);
  EXPECT_EQ(Send(panel_, 20, 60), Qt::SizeAllCursor);
  Send(panel_, 60, 60);
  EXPECT_FALSE(panel_->Widget()->testAttribute(Qt::WA_SetCursor));

  // While a control holds the capture nothing is asked.
  panel_->got.clear();
  panel_->SetMouseCapture(true);
  Send(panel_, 20, 60);
  panel_->SetMouseCapture(false);
  EXPECT_TRUE(panel_->got.empty());
}

TEST_F(CursorTest, TheScreenKeepsARegistryOfCursors) {
  RegisterGridResources();
  EXPECT_EQ(Screen->Cursors(crHSplit), ScreenCursor(crHSplit));
  EXPECT_EQ(Screen->Cursors(crDefault), LoadCursor(nullptr, IDC_ARROW));
  EXPECT_EQ(Screen->Cursors(5), Screen->Cursors(crDefault));  // unknown: the default

  // A registered cursor by a value of its own: a control with that Cursor
  // shows its image, also when it is registered after the property was set.
  constexpr TCursor crDownCur = static_cast<TCursor>(1);
  panel_->SetCursor(crDownCur);
  HCURSOR down = LoadCursor(HInstance, "DOWNCUREH");
  ASSERT_NE(down, nullptr);
  Screen->SetCursors(crDownCur, down);
  EXPECT_EQ(Screen->Cursors(crDownCur), down);
  QCursor shown = panel_->Widget()->cursor();
  EXPECT_EQ(shown.shape(), Qt::BitmapCursor);
  ICONINFO info;
  ASSERT_TRUE(GetIconInfo(down, &info));
  EXPECT_EQ(shown.hotSpot(), QPoint(static_cast<int>(info.xHotspot), static_cast<int>(info.yHotspot)));
  EXPECT_EQ(Send(panel_, 60, 60), Qt::BitmapCursor);

  // Replacing it frees the old one; nullptr takes the value out again.
  Screen->SetCursors(crDownCur, LoadCursor(HInstance, "LEFTCUREH"));
  EXPECT_NE(Screen->Cursors(crDownCur), down);
  Screen->SetCursors(crDownCur, nullptr);
  EXPECT_EQ(Screen->Cursors(crDownCur), Screen->Cursors(crDefault));
  EXPECT_EQ(panel_->Widget()->cursor().shape(), Qt::ArrowCursor);
}
