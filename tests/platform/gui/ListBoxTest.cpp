#include <QCoreApplication>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWidget>

#include "platform/gui/ScrollBars.h"
#include "tests/platform/gui/GuiFixture.h"

namespace {

class ListBoxTest : public GuiTest {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    form_ = TForm::CreateNew(nullptr);
    form_->SetBounds(100, 100, 300, 200);
    list_ = new TListBox(form_);
    list_->SetBounds(10, 10, 120, 55);
    list_->SetParent(form_);
    form_->Show();
  }
  void TearDown() override {
    delete form_;
    GuiTest::TearDown();
  }
  void Virtual(int count) {
    list_->SetStyle(lbVirtualOwnerDraw);
    list_->SetItemHeight(10);
    list_->SetOnData([](TWinControl*, int i, String& s) { s = "row " + std::to_string(i); });
    list_->SetCount(count);
  }
  TForm* form_ = nullptr;
  TListBox* list_ = nullptr;
};

TEST_F(ListBoxTest, VirtualRowsScrollWithTheWindowBar) {
  Virtual(100);
  EXPECT_EQ(list_->ItemText(42), "row 42");
  EXPECT_EQ(list_->ItemText(100), "");
  HWND h = list_->Handle();
  SCROLLINFO si;
  si.fMask = SIF_ALL;
  ASSERT_TRUE(GetScrollInfo(h, SB_VERT, si));
  EXPECT_EQ(si.nMax, 99);
  EXPECT_EQ(si.nPage, 5u);
  struct Step {
    Word code;
    int top;
  } steps[] = {{SB_LINEDOWN, 1}, {SB_PAGEDOWN, 6}, {SB_PAGEUP, 1}, {SB_BOTTOM, 95}, {SB_LINEDOWN, 95}, {SB_TOP, 0}};
  for (const Step& s : steps) {
    SendMessage(h, WM_VSCROLL, MAKEWPARAM(s.code, 0), 0);
    EXPECT_EQ(list_->TopIndex(), s.top) << s.code;
    EXPECT_EQ(GetScrollPos(h, SB_VERT), s.top);
  }
  EXPECT_EQ(list_->ItemAtPos(Point(5, 25), true), 2);
  EXPECT_EQ(list_->ItemRect(3), Rect(0, 30, list_->ClientWidth(), 40));

  // Fewer rows than fit: no bar, no scrolling.
  list_->SetCount(3);
  EXPECT_FALSE(GetWindowLong(h, GWL_STYLE) & WS_VSCROLL);
  EXPECT_EQ(list_->ItemAtPos(Point(5, 45), true), -1);
  EXPECT_EQ(list_->ItemAtPos(Point(5, 45), false), 3);
}

TEST_F(ListBoxTest, OwnerDrawGetsTheVisibleRowsWithTheirState) {
  Virtual(20);
  std::vector<std::string> drawn;
  list_->SetOnDrawItem([&](TWinControl*, int i, TRect r, TOwnerDrawState st) {
    drawn.push_back(std::to_string(i) + "@" + std::to_string(r.Top) + (st.Contains(odSelected) ? "s" : ""));
  });
  list_->SetItemIndex(6);  // below the rows shown: they scroll to it
  EXPECT_EQ(list_->TopIndex(), 2);
  list_->Widget()->grab();
  EXPECT_EQ(drawn, (std::vector<std::string>{"2@0", "3@10", "4@20", "5@30", "6@40s", "7@50"}));
  EXPECT_EQ(list_->Perform(LB_GETCURSEL), 6);
  list_->Perform(LB_SETCURSEL, static_cast<WPARAM>(-1));
  EXPECT_EQ(list_->ItemIndex(), -1);
}

TEST_F(ListBoxTest, SelectStringSearchesPrefixesAfterTheStartAndWraps) {
  for (const char* s : {"Apple", "apricot", "Banana", "Берёза", "берег"}) list_->Items()->Add(s);
  struct Case {
    Cardinal msg;
    intptr_t start;
    const char* text;
    LRESULT found;
  } cases[] = {
      {LB_SELECTSTRING, -1, "ap", 0}, {LB_SELECTSTRING, 0, "AP", 1}, {LB_SELECTSTRING, 1, "ap", 0},
      {LB_SELECTSTRING, -1, "БЕР", 3}, {LB_SELECTSTRING, 3, "бер", 4}, {LB_SELECTSTRING, -1, "zz", LB_ERR},
      {LB_FINDSTRING, -1, "ban", 2},   {LB_SELECTSTRING, 4, "", 0},    {LB_SELECTSTRING, 99, "b", 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.text) + " after " + std::to_string(c.start));
    list_->SetItemIndex(-1);
    LRESULT r = list_->Perform(c.msg, static_cast<WPARAM>(c.start), reinterpret_cast<LPARAM>(c.text));
    EXPECT_EQ(r, c.found);
    EXPECT_EQ(list_->ItemIndex(), c.msg == LB_SELECTSTRING && r != LB_ERR ? r : -1);
  }
  TListBox empty(nullptr);
  EXPECT_EQ(empty.Perform(LB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>("a")), LB_ERR);
}

TEST_F(ListBoxTest, MouseAndKeysSelectAndTheSelectedRowIsHighlighted) {
  for (int i = 0; i < 10; ++i) list_->Items()->Add("item " + std::to_string(i));
  int clicks = 0;
  list_->SetOnClick([&](TObject*) { ++clicks; });
  int h = list_->ItemHeight();
  QWidget* w = list_->Widget();
  QPoint p(5, h + h / 2);
  QMouseEvent press(QEvent::MouseButtonPress, p, w->mapToGlobal(p), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(w, &press);
  QMouseEvent release(QEvent::MouseButtonRelease, p, w->mapToGlobal(p), Qt::LeftButton, Qt::NoButton,
                      Qt::NoModifier);
  QCoreApplication::sendEvent(w, &release);
  EXPECT_EQ(list_->ItemIndex(), 1);
  EXPECT_EQ(clicks, 1);
  QImage img = w->grab().toImage();
  QColor row = img.pixelColor(list_->ClientWidth() - 3, h + h / 2);
  EXPECT_EQ(RGB(row.red(), row.green(), row.blue()), ColorToRGB(clHighlight));

  for (auto [key, index] : {std::pair{Qt::Key_Down, 2}, {Qt::Key_End, 9}, {Qt::Key_Home, 0}, {Qt::Key_Up, 0}}) {
    QKeyEvent k(QEvent::KeyPress, key, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &k);
    EXPECT_EQ(list_->ItemIndex(), index);
  }
  EXPECT_LE(list_->TopIndex(), 0);
  list_->Items()->Clear();
  EXPECT_EQ(list_->ItemIndex(), -1);
}

}  // namespace
