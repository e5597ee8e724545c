// The owner-data list view (items, columns, small images, selection, clicks)
// and the tab set, on a shown form; both read from a form resource.
#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPixmap>
#include <QTreeView>

#include <string>
#include <vector>

#include "platform/gui/ListView.h"
#include "platform/gui/Tabs.h"
#include "platform/rtl/FormStream.h"
#include "tests/platform/gui/GuiFixture.h"

namespace {

class ListViewTabsTest : public GuiTest {
 protected:
  static void SetUpTestSuite() {
    GuiTest::SetUpTestSuite();
    InitializeUnits({&unit_Tabs});
  }

  void ShowForm() {
    form_->Show();
    form_->Widget()->activateWindow();
    for (int i = 0; i < 500 && QApplication::activeWindow() != form_->Widget(); ++i) Application->ProcessMessages();
  }

  // An owner-data list view of `count` items "item i" with sub-item "sub i".
  TListView* OwnerDataList(int count) {
    form_.reset(Create<TForm>(nullptr));
    form_->SetBounds(0, 0, 320, 310);
    auto* l = new TListView(form_.get());
    l->SetParent(form_.get());
    l->SetBounds(0, 0, 300, 200);
    l->SetViewStyle(vsReport);
    l->SetOwnerData(true);
    l->SetRowSelect(true);
    l->SetOnData([this](TObject*, TListItem* item) {
      ++data_calls_;
      item->SetCaption("item " + std::to_string(item->Index()));
      item->SubItems()->Add("sub " + std::to_string(item->Index()));
      if (item->Index() == 1) item->SetImageIndex(0);
    });
    l->SetOnSelectItem([this](TObject*, TListItem* item, bool sel) {
      selects_.push_back(std::to_string(item->Index()) + (sel ? "+" : "-") + item->Caption());
    });
    l->SetOnClick([this](TObject*) { ++clicks_; });
    l->SetOnDblClick([this](TObject*) { ++dbl_clicks_; });
    TListColumn* c = l->Columns()->Add();
    c->SetCaption("Name");
    c->SetWidth(120);
    l->Columns()->Add()->SetCaption("More");
    l->Items()->SetCount(count);
    ShowForm();
    return l;
  }
  static QTreeView* View(TListView* l) { return static_cast<QTreeView*>(l->Widget()); }
  static QString Text(TListView* l, int row, int col) {
    return View(l)->model()->index(row, col).data(Qt::DisplayRole).toString();
  }
  static void Click(TListView* l, int row, bool twice = false) {
    QTreeView* v = View(l);
    QPoint p = v->visualRect(v->model()->index(row, 0)).center();
    auto send = [&](QEvent::Type type, Qt::MouseButtons buttons) {
      QMouseEvent m(type, p, v->viewport()->mapToGlobal(p), Qt::LeftButton, buttons, Qt::NoModifier);
      QApplication::sendEvent(v->viewport(), &m);
    };
    send(QEvent::MouseButtonPress, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, Qt::NoButton);
    if (twice) {
      send(QEvent::MouseButtonDblClick, Qt::LeftButton);
      send(QEvent::MouseButtonRelease, Qt::NoButton);
    }
  }

  std::unique_ptr<TForm> form_;
  int data_calls_ = 0, clicks_ = 0, dbl_clicks_ = 0;
  std::vector<std::string> selects_;
};

TEST_F(ListViewTabsTest, OwnerDataItemsAndColumnsComeFromOnData) {
  TListView* l = OwnerDataList(100000);
  EXPECT_EQ(View(l)->model()->rowCount(), 100000);
  EXPECT_EQ(View(l)->model()->columnCount(), 2);
  EXPECT_EQ(View(l)->model()->headerData(0, Qt::Horizontal).toString(), "Name");
  EXPECT_EQ(View(l)->columnWidth(0), 120);
  EXPECT_EQ(Text(l, 5, 0), "item 5");
  EXPECT_EQ(Text(l, 5, 1), "sub 5");
  EXPECT_LT(data_calls_, 1000) << "items are asked for lazily";
  EXPECT_EQ(l->Items()->Item(7)->Caption(), "item 7");
  EXPECT_THROW(l->Items()->Item(100000), EListError);
  EXPECT_THROW(l->Items()->Add(), EInvalidOperation);

  // Small images: item 1 shows image 0 of the list, transparent where masked.
  auto* images = new TImageList(form_.get());
  std::unique_ptr<TBitmap> bmp(new TBitmap);
  bmp->SetSize(16, 16);
  bmp->Canvas()->Brush()->SetColor(clWhite);
  bmp->Canvas()->FillRect(Rect(0, 0, 16, 16));
  bmp->Canvas()->Brush()->SetColor(clRed);
  bmp->Canvas()->FillRect(Rect(4, 4, 12, 12));
  ASSERT_EQ(images->AddMasked(bmp.get(), clWhite), 0);
  l->SetSmallImages(images);
  QPixmap pix = View(l)->model()->index(1, 0).data(Qt::DecorationRole).value<QPixmap>();
  ASSERT_FALSE(pix.isNull());
  QImage img = pix.toImage();
  EXPECT_EQ(img.pixelColor(8, 8), QColor(Qt::red));
  EXPECT_EQ(img.pixelColor(1, 1).alpha(), 0);
  EXPECT_TRUE(View(l)->model()->index(2, 0).data(Qt::DecorationRole).isNull());
  delete images;
  EXPECT_EQ(l->SmallImages(), nullptr) << "a freed image list is dropped";

  // Plain items: held by the view, no count to set.
  l->SetOwnerData(false);
  TListItem* a = l->Items()->Add();
  a->SetCaption("alpha");
  a->SubItems()->Add("one");
  EXPECT_EQ(Text(l, 0, 0), "alpha");
  EXPECT_EQ(Text(l, 0, 1), "one");
  a->SetCaption("beta");
  EXPECT_EQ(Text(l, 0, 0), "beta");
  EXPECT_THROW(l->Items()->SetCount(3), EInvalidOperation);
}

TEST_F(ListViewTabsTest, SelectionFollowsCodeKeysAndTheMouseWithClicks) {
  TListView* l = OwnerDataList(50);
  EXPECT_EQ(l->Selected(), nullptr);
  l->SetItemIndex(2);
  EXPECT_EQ(selects_, (std::vector<std::string>{"2+item 2"}));
  EXPECT_EQ(View(l)->selectionModel()->selectedRows().value(0).row(), 2);
  EXPECT_EQ(l->Selected()->Caption(), "item 2");
  EXPECT_EQ(l->ItemFocused()->Index(), 2);
  selects_.clear();

  Click(l, 4);
  EXPECT_EQ(l->ItemIndex(), 4);
  EXPECT_EQ(selects_, (std::vector<std::string>{"2-item 2", "4+item 4"}));
  EXPECT_EQ(clicks_, 1);
  EXPECT_EQ(dbl_clicks_, 0);
  Click(l, 6, true);
  EXPECT_EQ(l->ItemIndex(), 6);
  EXPECT_EQ(dbl_clicks_, 1);

  l->SetFocus();
  QKeyEvent down(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
  QApplication::sendEvent(l->Widget(), &down);
  EXPECT_EQ(l->ItemIndex(), 7);

  // The focused item need not be selected; a smaller count drops a
  // selection past its end.
  l->SetItemIndex(-1);
  l->SetItemFocused(l->Items()->Item(0));
  EXPECT_EQ(l->Selected(), nullptr);
  EXPECT_EQ(l->ItemFocused()->Index(), 0);
  l->SetItemIndex(30);
  l->Items()->SetCount(10);
  EXPECT_EQ(l->ItemIndex(), -1);
  EXPECT_TRUE(View(l)->selectionModel()->selectedRows().isEmpty());
  EXPECT_THROW(l->SetItemIndex(10), EListError);
  l->Scroll(0, 1000);
  l->Scroll(0, -100000);
  EXPECT_EQ(l->TopItem()->Index(), 0);
}

TEST_F(ListViewTabsTest, TabSetSelectsByMouseAndCodeThroughOnChange) {
  form_.reset(Create<TForm>(nullptr));
  form_->SetBounds(0, 0, 320, 100);
  auto* t = new TTabSet(form_.get());
  t->SetParent(form_.get());
  t->SetBounds(0, 50, 300, 19);
  std::vector<int> asked;
  bool allow = true;
  t->SetOnChange([&](TObject*, int tab, bool& ok) {
    asked.push_back(tab);
    ok = allow;
  });
  t->SetOnClick([this](TObject*) { ++clicks_; });
  t->Tabs()->Add("Ctrl+1 Name");
  t->Tabs()->Add("Ctrl+2 Code");
  t->Tabs()->Add("Ctrl+3 Price");
  ShowForm();
  EXPECT_EQ(t->TabIndex(), -1);
  EXPECT_EQ(t->VisibleTabs(), 3);

  TRect r1 = t->TabRect(1);
  EXPECT_EQ(t->TabRect(0).Left, 5);
  EXPECT_EQ(r1.Left, t->TabRect(0).Right);
  t->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM((r1.Left + r1.Right) / 2, 8));
  t->Perform(WM_LBUTTONUP, 0, MAKELPARAM((r1.Left + r1.Right) / 2, 8));
  EXPECT_EQ(t->TabIndex(), 1);
  EXPECT_EQ(asked, std::vector<int>{1});
  EXPECT_EQ(clicks_, 1);

  allow = false;
  t->SetTabIndex(2);
  EXPECT_EQ(t->TabIndex(), 1) << "OnChange refused";
  EXPECT_EQ(clicks_, 1);
  allow = true;
  t->SelectNext(true);
  EXPECT_EQ(t->TabIndex(), 2);
  t->SelectNext(true);
  EXPECT_EQ(t->TabIndex(), 0) << "wraps round";
  EXPECT_THROW(t->SetTabIndex(3), EInvalidOperation);
  EXPECT_EQ(t->ItemAtPos({2, 8}), -1) << "the start margin";

  // Too narrow for all tabs: selecting the last one scrolls it into view.
  t->SetWidth(r1.Right - r1.Left + 20);
  t->SetTabIndex(2);
  EXPECT_EQ(t->FirstIndex(), 2);
  EXPECT_GT(t->TabRect(2).Right, 0);
  EXPECT_EQ(t->TabRect(0), TRect());
  t->Tabs()->Clear();
  EXPECT_EQ(t->TabIndex(), -1);
  EXPECT_EQ(t->VisibleTabs(), 0);
}

TEST_F(ListViewTabsTest, BothReadFromAFormResource) {
  form_.reset(Create<TForm>(nullptr));
  ReadComponentFromText(form_.get(),
                        "object Frame: TForm\n"
                        "  object List: TListView\n"
                        "    Columns = <\n"
                        "      item\n"
                        "        Caption = 'Name'\n"
                        "        Width = 90\n"
                        "      end>\n"
                        "    OwnerData = True\n"
                        "    ReadOnly = True\n"
                        "    RowSelect = True\n"
                        "    ViewStyle = vsReport\n"
                        "  end\n"
                        "  object TabSet1: TTabSet\n"
                        "    Tabs.Strings = (\n"
                        "      'a'\n"
                        "      'b')\n"
                        "    TabIndex = 1\n"
                        "  end\n"
                        "end\n");
  auto* l = dynamic_cast<TListView*>(form_->FindComponent("List"));
  auto* t = dynamic_cast<TTabSet*>(form_->FindComponent("TabSet1"));
  ASSERT_NE(l, nullptr);
  ASSERT_NE(t, nullptr);
  ASSERT_EQ(l->Columns()->Count(), 1);
  EXPECT_EQ(l->Columns()->Items(0)->Caption(), "Name");
  EXPECT_EQ(l->Columns()->Items(0)->Width(), 90);
  EXPECT_TRUE(l->OwnerData());
  EXPECT_EQ(l->ViewStyle(), vsReport);
  EXPECT_EQ(t->Tabs()->Count(), 2);
  EXPECT_EQ(t->TabIndex(), 1);
}

}  // namespace
