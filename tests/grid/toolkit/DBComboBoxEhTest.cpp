// The combo box on an in-memory dataset and on a shown form: items and keys,
// search and completion (Cyrillic too), stepping, the drop-down list,
// OnNotInList, the list class and lifetimes.
#include <QApplication>
#include <QKeyEvent>

#include "grid/toolkit/DBCtrlsEh.h"
#include "platform/gui/Clipbrd.h"
#include "tests/grid/toolkit/DBCtrlsFixture.h"
#include "tests/support/QtInput.h"

namespace {

class TMarkedListboxEh : public TPopupListboxEh {
 public:
  using TPopupListboxEh::TPopupListboxEh;
};

class DBComboBoxEhTest : public DBCtrlsTest {
 protected:
  static void SetUpTestSuite() {
    DBCtrlsTest::SetUpTestSuite();
    RegisterClass<TMarkedListboxEh, TCustomListBox>("TMarkedListboxEh");
  }
  void SetUp() override {
    DBCtrlsTest::SetUp();
    ds_->FieldDefs()->Add("ID", ftInteger);
    ds_->FieldDefs()->Add("CODE", ftString, 10);
    ds_->Open();
    ds_->AppendRows({{1, "G"}, {2, "X"}});
    ds_->First();
    combo_ = new TDBComboBoxEh(form_.get());
    combo_->SetParent(form_.get());
    combo_->SetBounds(10, 10, 150, 24);
    other_ = new TDBEditEh(form_.get());
    other_->SetParent(form_.get());
    other_->SetTop(120);
  }
  void Colours(bool Keys) {
    combo_->Items()->SetText("Red\nGreen\nBlue");
    if (Keys) combo_->KeyItems()->SetText("R\nG\nB");
  }
  void Bind() {
    combo_->SetDataSourceProp(src_);
    combo_->SetDataFieldProp("CODE");
  }
  static void Key(TWinControl* c, int key, const QString& text = {}) { SendKey(c->Widget(), key, {}, text); }
  static void Type(TWinControl* c, const QString& text) {
    for (QChar ch : text) {
      const int key = ch.toLatin1() != 0 && ch.isLetter() ? Qt::Key_A + (ch.toUpper().toLatin1() - 'A') : Qt::Key_A;
      Key(c, key, QString(ch));
    }
  }
  void Backspace() { Key(combo_, Qt::Key_Backspace, QString(QChar(8))); }

  TDBComboBoxEh* combo_ = nullptr;
  TDBEditEh* other_ = nullptr;
};

TEST_F(DBComboBoxEhTest, KeyModeShowsTheItemOfTheFieldsKeyAndWritesTheKey) {
  Colours(true);
  Bind();
  EXPECT_TRUE(combo_->KeyMode());
  EXPECT_EQ(combo_->Text(), "Green");
  EXPECT_EQ(combo_->ItemIndex(), 1);
  EXPECT_EQ(combo_->Value(), Variant("G"));
  combo_->SetValue(Variant("B"));
  EXPECT_EQ(combo_->Text(), "Blue");
  EXPECT_EQ(ds_->FieldByName("CODE")->AsString(), "B");
  combo_->SetItemIndex(0);
  EXPECT_EQ(ds_->FieldByName("CODE")->AsString(), "R");
  ds_->Post();
  // A key that no item has: empty text, no item, the value kept.
  ds_->Next();
  EXPECT_EQ(combo_->Text(), "");
  EXPECT_EQ(combo_->ItemIndex(), -1);
  EXPECT_EQ(combo_->Value(), Variant("X"));
}

TEST_F(DBComboBoxEhTest, ItemsGivenAfterTheKeysStillShowTheValue) {
  combo_->KeyItems()->SetText("R\nG\nB");
  Bind();
  combo_->Items()->SetText("Red\nGreen\nBlue");
  EXPECT_EQ(combo_->Text(), "Green");
  EXPECT_EQ(combo_->ItemIndex(), 1);
}

TEST_F(DBComboBoxEhTest, KeyModeTypingSelectsTheItemAndTheCompletedTail) {
  Colours(true);
  Bind();
  ShowAndFocus(combo_);
  Type(combo_, "b");
  EXPECT_EQ(combo_->Text(), "Blue");
  EXPECT_EQ(combo_->SelText(), "lue");
  EXPECT_EQ(combo_->Value(), Variant("B"));
  Type(combo_, "x");  // matches nothing: nothing changes
  EXPECT_EQ(combo_->Text(), "Blue");
  EXPECT_EQ(combo_->SelText(), "lue");
  Type(combo_, "l");
  EXPECT_EQ(combo_->SelText(), "ue");
  Backspace();  // the backward selection grows by one character
  EXPECT_EQ(combo_->SelText(), "lue");
  Type(combo_, "r");  // "Br" matches nothing
  EXPECT_EQ(combo_->Text(), "Blue");
  other_->SetFocus();
  EXPECT_EQ(ds_->FieldByName("CODE")->AsString(), "B");
}

TEST_F(DBComboBoxEhTest, TypingCompletesTheItemByWholeCharactersWithoutCase) {
  combo_->Items()->SetText("Green\nGrey\nЗелёный\nЗима");
  ShowAndFocus(combo_);
  Type(combo_, "gr");
  EXPECT_EQ(combo_->Text(), "Green");
  EXPECT_EQ(combo_->SelText(), "een");
  EXPECT_EQ(combo_->ItemIndex(), 0);
  Type(combo_, "EY");  // the item's own case
  EXPECT_EQ(combo_->Text(), "Grey");
  EXPECT_EQ(combo_->ItemIndex(), 1);
  combo_->SetText("");
  Type(combo_, "зе");
  EXPECT_EQ(combo_->Text(), "Зелёный");
  EXPECT_EQ(combo_->SelText(), "лёный");
  EXPECT_EQ(combo_->ItemIndex(), 2);
  // Backspace takes the completion away and leaves the typed text.
  Backspace();
  EXPECT_EQ(combo_->Text(), "Зе");
  EXPECT_EQ(combo_->ItemIndex(), -1);
  Type(combo_, "x");
  EXPECT_EQ(combo_->Text(), "Зеx");
}

TEST_F(DBComboBoxEhTest, UpDownAndTheWheelStepThroughTheItemsInUse) {
  Colours(true);
  combo_->KeyItems()->SetText("R\nG");  // only two items can be chosen
  ShowAndFocus(combo_);
  EXPECT_EQ(combo_->ItemCount(), 2);
  ASSERT_EQ(combo_->ItemIndex(), -1);
  struct Case {
    int key;
    int expected;
  };
  for (const Case c : {Case{Qt::Key_Up, 1}, Case{Qt::Key_Down, 1}, Case{Qt::Key_Up, 0}, Case{Qt::Key_Up, 0},
                       Case{Qt::Key_Down, 1}}) {
    Key(combo_, c.key);
    EXPECT_EQ(combo_->ItemIndex(), c.expected) << c.key;
  }
  EXPECT_EQ(combo_->Text(), "Green");
  EXPECT_EQ(combo_->SelText(), "Green");
  EXPECT_TRUE(combo_->DoMouseWheelUp({}, {}));
  EXPECT_EQ(combo_->ItemIndex(), 0);
  EXPECT_TRUE(combo_->DoMouseWheelDown({}, {}));
  EXPECT_EQ(combo_->Value(), Variant("G"));
  EXPECT_FALSE(combo_->DoMouseWheelUp(TShiftState{ssCtrl}, {}));
  EXPECT_EQ(combo_->ItemIndex(), 1);
  combo_->SetReadOnly(true);
  Key(combo_, Qt::Key_Up);
  EXPECT_EQ(combo_->ItemIndex(), 1);
}

TEST_F(DBComboBoxEhTest, UpDownButtonStepsByItsHalves) {
  Colours(false);
  combo_->EditButton()->SetStyle(ebsUpDownEh);
  combo_->SetItemIndex(1);
  combo_->ButtonDown(false);  // upper half
  EXPECT_EQ(combo_->Text(), "Red");
  combo_->ButtonDown(true);
  combo_->ButtonDown(true);
  EXPECT_EQ(combo_->Text(), "Blue");
  EXPECT_FALSE(combo_->ListVisible());
}

TEST_F(DBComboBoxEhTest, MainButtonDropsTheListAClickTakesAnItemEscapeKeepsTheValue) {
  Colours(true);
  Bind();
  combo_->DropDownBox()->SetSizable(true);
  ShowAndFocus(combo_);
  TEditButtonControlEh* b = combo_->ButtonControl(0);
  const QPoint bp(b->Width() / 2, b->Height() / 2);
  Press(b->Widget(), bp);
  Release(b->Widget(), bp);
  TPopupListboxEh* list = combo_->PopupListbox();
  ASSERT_NE(list, nullptr);
  EXPECT_TRUE(combo_->ListVisible());
  EXPECT_TRUE(combo_->DroppedDown());
  EXPECT_TRUE(list->Visible());
  EXPECT_TRUE(list->SizeGrip()->Visible());
  EXPECT_EQ(list->Count(), 3);
  EXPECT_EQ(list->RowCount(), 3);  // fewer items than rows
  EXPECT_EQ(list->ItemIndex(), 1);
  EXPECT_TRUE(combo_->Focused());  // the list never takes the focus
  EXPECT_FALSE(list->CanFocus());

  // A click on the third row takes it.
  const QPoint row(5, list->ItemHeight() * 2 + list->ItemHeight() / 2);
  Press(list->Widget(), row);
  Release(list->Widget(), row);
  EXPECT_FALSE(combo_->ListVisible());
  EXPECT_EQ(combo_->Text(), "Blue");
  EXPECT_TRUE(combo_->Focused());

  // Down moves the open list; Escape closes it and keeps Blue.
  combo_->DropDown();
  Key(combo_, Qt::Key_Up);
  EXPECT_EQ(list->ItemIndex(), 1);
  EXPECT_EQ(combo_->Text(), "Blue");
  Key(combo_, Qt::Key_Escape, QString(QChar(27)));
  EXPECT_FALSE(combo_->ListVisible());
  EXPECT_EQ(combo_->Text(), "Blue");
  // Enter takes the list's row.
  combo_->DropDown();
  Key(combo_, Qt::Key_Up);
  Key(combo_, Qt::Key_Return, QString(QChar(13)));
  EXPECT_FALSE(combo_->ListVisible());
  EXPECT_EQ(combo_->Text(), "Green");
  other_->SetFocus();
  EXPECT_EQ(ds_->FieldByName("CODE")->AsString(), "G");
}

TEST_F(DBComboBoxEhTest, ListWidthFollowsTheWidestItemAndAUserResizeIsKept) {
  combo_->Items()->SetText("a\nwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwww\nb");
  combo_->DropDownBox()->SetWidth(-1);
  ShowAndFocus(combo_);
  combo_->DropDown();
  TPopupListboxEh* list = combo_->PopupListbox();
  TCanvas measure;
  measure.Font()->Assign(combo_->Font());
  const int widest = measure.TextWidth("wwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwww");
  ASSERT_GT(widest + 5, combo_->Width());
  EXPECT_EQ(list->ClientWidth(), widest + 5);
  // Narrow texts: never narrower than the combo.
  combo_->CloseUp(false);
  combo_->Items()->SetText("a\nb");
  combo_->DropDown();
  EXPECT_EQ(list->Width(), combo_->Width());
  // A size the user gave goes back into the settings.
  list->SetBounds(list->Left(), list->Top(), 200, list->Height());
  combo_->CloseUp(false);
  EXPECT_EQ(combo_->DropDownBox()->Width(), 200);
  EXPECT_EQ(combo_->DropDownBox()->Rows(), 2);
}

TEST_F(DBComboBoxEhTest, DropDownAndCloseUpEventsAndTheBeforeCloseUpHook) {
  Colours(false);
  std::vector<std::string> log;
  combo_->SetOnDropDown([&](TObject*) { log.push_back("drop"); });
  combo_->SetOnBeforeCloseUp([&](TObject*, bool& Accept) { Accept = false; });
  combo_->SetOnCloseUp([&](TObject*, bool Accept) { log.push_back(Accept ? "accept" : "cancel"); });
  int fills = 0;
  combo_->Items()->Clear();
  combo_->SetOnFillItems([&](TObject*) {
    ++fills;
    Colours(false);
  });
  ShowAndFocus(combo_);
  combo_->DropDown();
  EXPECT_EQ(fills, 1);
  EXPECT_EQ(combo_->PopupListbox()->Count(), 3);
  combo_->PopupListbox()->SetItemIndex(2);
  combo_->CloseUp(true);
  EXPECT_EQ(combo_->Text(), "");  // the hook refused
  EXPECT_EQ(log, (std::vector<std::string>{"drop", "cancel"}));
}

TEST_F(DBComboBoxEhTest, TextNotInTheListFiresOnNotInList) {
  Colours(false);
  std::vector<String> seen;
  combo_->SetOnNotInList([&](TObject*, const String& NewText, bool& Recheck) {
    seen.push_back(NewText);
    EXPECT_FALSE(Recheck);
    combo_->Items()->Add(NewText);
  });
  combo_->SetText("Green");
  EXPECT_TRUE(seen.empty());
  combo_->SetText("Purple");
  EXPECT_EQ(seen, std::vector<String>{"Purple"});
  EXPECT_EQ(combo_->ItemIndex(), 3);  // the added item is found
  EXPECT_EQ(combo_->DataLink()->Value(), Variant("Purple"));
}

TEST_F(DBComboBoxEhTest, DeleteInKeyModeEmptiesOnlyAFieldThatIsNotRequired) {
  Colours(true);
  Bind();
  ShowAndFocus(combo_);
  ds_->FieldByName("CODE")->SetRequired(true);
  Key(combo_, Qt::Key_Delete);
  EXPECT_EQ(combo_->Text(), "Green");
  ds_->FieldByName("CODE")->SetRequired(false);
  Key(combo_, Qt::Key_Delete);
  EXPECT_EQ(combo_->Text(), "");
  EXPECT_TRUE(VarIsNull(combo_->Value()));
  other_->SetFocus();
  EXPECT_TRUE(ds_->FieldByName("CODE")->IsNull());
}

TEST_F(DBComboBoxEhTest, ItemImagesComeFromTheEventInTheEditAndTheList) {
  Colours(false);
  auto* images = new TImageList(form_.get());
  images->SetWidth(16);
  images->SetHeight(30);
  combo_->SetImages(images);
  EXPECT_TRUE(combo_->EditImage()->Visible());
  std::vector<int> asked;
  combo_->SetOnGetItemImageIndex([&](TObject*, int Index, int& Image) {
    asked.push_back(Index);
    Image = Index * 10;
  });
  combo_->SetItemIndex(2);
  EXPECT_EQ(combo_->EditImage()->ImageIndex(), 20);
  ShowAndFocus(combo_);
  combo_->DropDown();
  TPopupListboxEh* list = combo_->PopupListbox();
  EXPECT_EQ(list->Images(), images);
  EXPECT_EQ(list->ItemHeight(), 30);  // raised to the image height
  int image = -1;
  list->OnGetImageIndex()(combo_, 1, image);
  EXPECT_EQ(image, 10);
  // The images freed first: the list and the edit forget them.
  combo_->CloseUp(false);
  delete images;
  EXPECT_EQ(list->Images(), nullptr);
  EXPECT_EQ(combo_->Images(), nullptr);
  combo_->DropDown();
  form_->Repaint();
  EXPECT_EQ(list->Images(), nullptr);
}

TEST_F(DBComboBoxEhTest, ListClassIsUsedAndFreedPartnersAreForgotten) {
  Colours(true);
  combo_->SetPopupListboxClass(FindClass("TMarkedListboxEh"));
  ShowAndFocus(combo_);
  combo_->DropDown();
  ASSERT_NE(dynamic_cast<TMarkedListboxEh*>(combo_->PopupListbox()), nullptr);
  delete combo_->PopupListbox();  // freed while open
  EXPECT_EQ(combo_->PopupListbox(), nullptr);
  EXPECT_FALSE(combo_->ListVisible());
  EXPECT_FALSE(combo_->DroppedDown());
  combo_->DropDown();
  EXPECT_NE(combo_->PopupListbox(), nullptr);
  combo_->CloseUp(false);
  // A class that is not a list box is refused.
  delete combo_->PopupListbox();
  combo_->SetPopupListboxClass(FindClass("TDBEditEh"));
  EXPECT_THROW(combo_->DropDown(), EInvalidCast);

  // The data source freed first.
  combo_->SetPopupListboxClass(nullptr);
  combo_->CloseUp(false);
  Bind();
  EXPECT_EQ(combo_->Text(), "Green");
  delete src_;
  EXPECT_EQ(combo_->DataSource(), nullptr);
  EXPECT_EQ(combo_->Text(), "");
  combo_->SetValue(Variant("B"));
  EXPECT_EQ(combo_->Text(), "Blue");
  // The combo freed with its list open.
  combo_->DropDown();
  delete combo_;
  combo_ = nullptr;
  form_->Repaint();
}

TEST_F(DBComboBoxEhTest, KeyModePressOnTheTextDropsTheListAndPasteSearches) {
  Colours(true);
  Bind();
  ShowAndFocus(combo_);
  const QPoint text(10, combo_->ClientHeight() / 2);
  Press(combo_->Widget(), text);
  Release(combo_->Widget(), text);
  EXPECT_TRUE(combo_->ListVisible());
  EXPECT_TRUE(combo_->Focused());
  // A later press on the text closes it and chooses nothing.
  Press(combo_->Widget(), text);
  Release(combo_->Widget(), text);
  EXPECT_FALSE(combo_->ListVisible());
  EXPECT_EQ(combo_->Text(), "Green");

  Clipboard()->SetAsText("bl");
  combo_->SelectAll();
  combo_->Perform(WM_PASTE);
  EXPECT_EQ(combo_->Text(), "Blue");
  EXPECT_EQ(combo_->SelText(), "ue");
  EXPECT_EQ(combo_->Value(), Variant("B"));
}

TEST_F(DBComboBoxEhTest, APressDraggedFromTheMainButtonOntoTheListChoosesThere) {
  Colours(false);
  ShowAndFocus(combo_);
  TEditButtonControlEh* b = combo_->ButtonControl(0);
  Press(b->Widget(), QPoint(2, 2));
  TPopupListboxEh* list = combo_->PopupListbox();
  ASSERT_TRUE(combo_->ListVisible());
  // The second row, in the button's coordinates.
  const QPoint onList(5, list->ItemHeight() + list->ItemHeight() / 2);
  const QPoint there = b->Widget()->mapFromGlobal(list->Widget()->mapToGlobal(onList));
  MoveHeld(b->Widget(), there);
  EXPECT_EQ(list->ItemIndex(), 1);
  Release(list->Widget(), onList);
  EXPECT_FALSE(combo_->ListVisible());
  EXPECT_EQ(combo_->Text(), "Green");
}

}  // namespace
