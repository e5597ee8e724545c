// The data-aware edit box on an in-memory dataset and on a shown form: its
// own value, field binding, MaxLength from the field, the required mark,
// the main button's drop-down, keys, hosting in a holder and lifetimes.
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>

#include "tests/grid/toolkit/DBCtrlsFixture.h"
#include "tests/support/QtInput.h"

namespace {

// A holder that records what its editor hands it and may swallow keys.
class TRecordingHolder : public TWinControl, public IInplaceEditHolderEh {
 public:
  using TWinControl::TWinControl;
  bool InplaceEditCanModify(TControl*) override { return can_modify; }
  void GetMouseDownInfo(TPoint& Pos, int32_t& Time) override {
    Pos = {};
    Time = 0;
  }
  void InplaceEditWndProc(TControl*, TMessage& Message) override {
    messages.push_back(Message.Msg);
    if (Message.Msg == swallow_msg) Message.Result = 1;
  }
  void InplaceEditKeyDown(TControl*, Word& Key, TShiftState) override {
    log.push_back("down " + std::to_string(Key));
    if (Key == swallow_key) Key = 0;
  }
  void InplaceEditKeyPress(TControl*, WideChar& Key) override {
    log.push_back("press " + std::to_string(Key));
    if (Key == swallow_char) Key = 0;
  }
  void InplaceEditKeyUp(TControl*, Word& Key, TShiftState) override { log.push_back("up " + std::to_string(Key)); }

  std::vector<Cardinal> messages;
  std::vector<std::string> log;
  bool can_modify = true;
  Cardinal swallow_msg = 0;
  Word swallow_key = 0;
  WideChar swallow_char = 0;
};

class DBEditEhTest : public DBCtrlsTest {
 protected:
  void SetUp() override {
    DBCtrlsTest::SetUp();
    ds_->FieldDefs()->Add("ID", ftInteger);
    ds_->FieldDefs()->Add("NAME", ftString, 20);
    ds_->FieldDefs()->Add("CODE", ftString, 10);
    ds_->Open();
    ds_->AppendRows({{1, "one", "A"}, {2, "two", "B"}});
    ds_->First();
    edit_ = new TDBEditEh(form_.get());
    edit_->SetParent(form_.get());
    edit_->SetBounds(10, 10, 150, 24);
    other_ = new TDBEditEh(form_.get());
    other_->SetParent(form_.get());
    other_->SetTop(60);
  }
  static void Key(TWinControl* c, int key, Qt::KeyboardModifiers mods = Qt::NoModifier, const QString& text = {}) {
    KeyStroke(c, key, mods, text);
  }
  static void Type(TWinControl* c, const QString& text) {
    for (QChar ch : text) {
      // A letter of another script comes on a Latin letter's key.
      const int key = !ch.isLetter()         ? static_cast<int>(ch.unicode())
                      : ch.toLatin1() != 0 ? Qt::Key_A + (ch.toUpper().toLatin1() - 'A')
                                           : Qt::Key_A;
      Key(c, key, Qt::NoModifier, QString(ch));
    }
  }
  void Bind(const String& Field) {
    edit_->SetDataSourceProp(src_);
    edit_->SetDataFieldProp(Field);
  }

  TDBEditEh* edit_ = nullptr;
  TDBEditEh* other_ = nullptr;
};

TEST_F(DBEditEhTest, WithoutSourceOrFieldTheEditorKeepsItsOwnValue) {
  EXPECT_TRUE(edit_->DataIndependent());
  EXPECT_TRUE(VarIsNull(edit_->DataLink()->Value()));
  EXPECT_FALSE(edit_->IsTextStored());
  ShowAndFocus(edit_);
  Type(edit_, "abc");
  EXPECT_EQ(edit_->Text(), "abc");
  EXPECT_TRUE(edit_->DataLink()->Editing());
  other_->SetFocus();  // leaving writes the value into the link
  EXPECT_EQ(edit_->DataLink()->Value().VarType(), varString);
  EXPECT_EQ(edit_->DataLink()->Value().AsString(), "abc");
  EXPECT_TRUE(edit_->IsTextStored());

  edit_->SetValue(Variant(int32_t{42}));
  EXPECT_EQ(edit_->Text(), "42");
  EXPECT_EQ(edit_->DataLink()->Value().AsString(), "42");
  // An array shows as no text.
  edit_->DataLink()->SetValue(VarArrayOf({Variant(1), Variant(2)}));
  EXPECT_EQ(edit_->Text(), "");
}

TEST_F(DBEditEhTest, AFieldNameWithoutSourceLeavesOwnModeAndSettingTextTouchesNoDataset) {
  edit_->SetDataFieldProp("NAME");
  EXPECT_FALSE(edit_->DataIndependent());
  EXPECT_FALSE(edit_->DataLink()->Active());
  EXPECT_FALSE(edit_->ButtonEnabled());
  edit_->SetText("solo");
  EXPECT_EQ(edit_->Text(), "solo");
  edit_->SetValue(Variant("other"));
  EXPECT_EQ(edit_->Text(), "other");
  EXPECT_EQ(ds_->State(), dsBrowse);
  // Back to no field: its own value again, Null at the change of mode.
  edit_->SetDataFieldProp("");
  EXPECT_TRUE(edit_->DataIndependent());
  EXPECT_TRUE(VarIsNull(edit_->DataLink()->Value()));
}

TEST_F(DBEditEhTest, LinkedEditorShowsTheFieldAndWritesThroughTheDataset) {
  Bind("NAME");
  EXPECT_TRUE(edit_->ButtonEnabled());
  EXPECT_EQ(edit_->Text(), "one");
  ds_->Next();
  EXPECT_EQ(edit_->Text(), "two");
  edit_->SetText("zwei");
  EXPECT_EQ(ds_->State(), dsEdit);
  EXPECT_EQ(ds_->FieldByName("NAME")->AsString(), "zwei");
  ds_->Post();
  EXPECT_EQ(ds_->RowValue(1, 1).AsString(), "zwei");
}

TEST_F(DBEditEhTest, MaxLengthFollowsTheFieldSizeUnlessTheUserSetAnother) {
  Bind("NAME");
  EXPECT_EQ(edit_->MaxLength(), 20);
  edit_->SetDataFieldProp("CODE");
  EXPECT_EQ(edit_->MaxLength(), 10);
  edit_->SetMaxLength(5);
  edit_->SetDataFieldProp("NAME");
  EXPECT_EQ(edit_->MaxLength(), 5);
}

TEST_F(DBEditEhTest, TypingEditsTheDatasetAndEscapeRestoresTheField) {
  Bind("NAME");
  ShowAndFocus(edit_);
  EXPECT_EQ(ds_->State(), dsBrowse);
  Key(edit_, Qt::Key_End);
  Type(edit_, "X");
  EXPECT_EQ(ds_->State(), dsEdit);
  EXPECT_EQ(edit_->Text(), "oneX");
  Key(edit_, Qt::Key_Escape, Qt::NoModifier, QString(QChar(27)));
  EXPECT_EQ(edit_->Text(), "one");
  Type(edit_, "Y");
  other_->SetFocus();
  EXPECT_EQ(ds_->FieldByName("NAME")->AsString(), "Y");
}

TEST_F(DBEditEhTest, LineFeedNeverReachesTheBoxEnterAndTabOnlyWhenWanted) {
  edit_->SetWordWrap(true);
  ShowAndFocus(edit_);
  Type(edit_, "a");
  Key(edit_, Qt::Key_Return, Qt::ControlModifier, QString(QChar(10)));
  Key(edit_, Qt::Key_Return, Qt::NoModifier, QString(QChar(13)));
  EXPECT_EQ(edit_->Text(), "a");
  EXPECT_EQ(edit_->Perform(WM_GETDLGCODE) & DLGC_WANTALLKEYS, 0);
  edit_->SetWantReturns(true);
  edit_->SetWantTabs(true);
  EXPECT_NE(edit_->Perform(WM_GETDLGCODE) & DLGC_WANTALLKEYS, 0);
  EXPECT_NE(edit_->Perform(WM_GETDLGCODE) & DLGC_WANTTAB, 0);
  Key(edit_, Qt::Key_Return, Qt::ControlModifier, QString(QChar(10)));
  EXPECT_EQ(edit_->Text(), "a");
}

// The mark is a red dotted line one pixel above the bottom of the text area.
TEST_F(DBEditEhTest, RequiredEmptyFieldIsMarkedInInsertStateOnly) {
  ds_->FieldByName("NAME")->SetRequired(true);
  Bind("NAME");
  edit_->SetHighlightRequired(true);
  form_->Show();
  auto redPixels = [&] {
    TPaper paper(edit_->Width(), edit_->Height());
    edit_->PaintTo(paper.Canvas(), 0, 0);
    int n = 0;
    for (int y = edit_->Height() - 4; y < edit_->Height(); ++y)
      for (int x = 0; x < edit_->Width(); ++x)
        if (paper.At(x, y) == static_cast<TColor>(255)) ++n;
    return n;
  };
  EXPECT_FALSE(edit_->DrawRequiredState());
  EXPECT_EQ(redPixels(), 0);
  ds_->Insert();
  EXPECT_TRUE(edit_->DrawRequiredState());
  EXPECT_GT(redPixels(), 10);
  ds_->Cancel();
  ds_->Edit();
  ds_->FieldByName("NAME")->Clear();
  EXPECT_FALSE(edit_->DrawRequiredState());
  EXPECT_EQ(redPixels(), 0);
  ds_->Cancel();
  // The handler decides last.
  ds_->Insert();
  edit_->SetOnCheckDrawRequiredState([](TObject*, bool& Draw) { Draw = false; });
  EXPECT_FALSE(edit_->DrawRequiredState());
}

TEST_F(DBEditEhTest, MainButtonPressOpensAndOnlyALaterClickCloses) {
  Bind("NAME");
  ShowAndFocus(edit_);
  ASSERT_EQ(edit_->ButtonControlCount(), 1);
  TEditButtonControlEh* b = edit_->ButtonControl(0);
  ASSERT_TRUE(b->Visible());
  EXPECT_EQ(b->Left() + b->Width(), edit_->ClientWidth());
  int clicks = 0;
  edit_->SetOnButtonClick([&](TObject*, bool&) { ++clicks; });
  const QPoint p(b->Width() / 2, b->Height() / 2);
  Press(b->Widget(), p);
  EXPECT_TRUE(edit_->DroppedDown());
  Release(b->Widget(), p);
  EXPECT_EQ(clicks, 1);
  EXPECT_TRUE(edit_->DroppedDown());  // the opening press's click keeps it open
  Press(b->Widget(), p);
  Release(b->Widget(), p);
  EXPECT_EQ(clicks, 2);
  EXPECT_FALSE(edit_->DroppedDown());
  // A handler that handles the press keeps it closed.
  edit_->SetOnButtonDown([](TObject*, bool, bool&, bool& Handled) { Handled = true; });
  Press(b->Widget(), p);
  Release(b->Widget(), p);
  EXPECT_FALSE(edit_->DroppedDown());
}

TEST_F(DBEditEhTest, ButtonRowLaysOutItemsRightOfTheMainButton) {
  TEditButtonEh* extra = edit_->EditButtons()->Add();
  extra->SetWidth(12);
  TEditButtonEh* hidden = edit_->EditButtons()->Add();
  hidden->SetVisible(false);
  edit_->SetFlat(true);
  form_->Show();
  ASSERT_EQ(edit_->ButtonControlCount(), 3);
  EXPECT_EQ(edit_->ButtonControl(2)->Width(), 0);
  EXPECT_EQ(edit_->ButtonDivider(2)->Width(), 0);
  EXPECT_EQ(edit_->ButtonControl(1)->Width(), 12);
  EXPECT_EQ(edit_->ButtonControl(1)->Left() + 12, edit_->ClientWidth());
  EXPECT_EQ(edit_->ButtonDivider(1)->Width(), 1);
  EXPECT_LT(edit_->ButtonControl(0)->Left(), edit_->ButtonControl(1)->Left());
  EXPECT_EQ(edit_->ButtonsWidth(), 12 + 1 + DefaultEditButtonWidth() + 1);
  EXPECT_EQ(edit_->GetEditRect().Right, edit_->ClientWidth() - edit_->ButtonsWidth());
  // A shortcut operates its button: press and click.
  int downs = 0, clicks = 0;
  extra->SetShortCut(ShortCut(VK_F4, {}));
  extra->SetOnDown([&](TObject*, bool, bool&, bool&) { ++downs; });
  extra->SetOnClick([&](TObject*, bool&) { ++clicks; });
  Word key = VK_F4;
  edit_->KeyDown(key, {});
  EXPECT_EQ(key, 0);
  EXPECT_EQ(downs, 1);
  EXPECT_EQ(clicks, 1);
}

TEST_F(DBEditEhTest, AutoSizeHeightFollowsFontAndFlatness) {
  TPaper paper(1, 1);
  paper.Canvas()->Font()->Assign(edit_->Font());
  TEXTMETRIC tm{};
  ASSERT_TRUE(GetTextMetrics(paper.Canvas()->Handle(), &tm));
  const int cy = GetSystemMetrics(SM_CYBORDER);
  form_->Show();
  EXPECT_EQ(edit_->Height(), tm.tmHeight + 8 * cy);
  edit_->SetFlat(true);
  EXPECT_EQ(edit_->Height(), tm.tmHeight + 6 * cy);
}

TEST_F(DBEditEhTest, HostedEditorPassesKeysAndMessagesToItsHolderFirst) {
  auto* holder = new TRecordingHolder(form_.get());
  holder->SetParent(form_.get());
  edit_->SetInplaceEditHolder(holder);
  EXPECT_EQ(edit_->InplaceEditHolder(), holder);
  ShowAndFocus(edit_);
  holder->messages.clear();
  holder->swallow_char = 'b';
  Type(edit_, "abc");
  EXPECT_EQ(edit_->Text(), "ac");
  EXPECT_NE(std::find(holder->messages.begin(), holder->messages.end(), WM_KEYDOWN), holder->messages.end());
  EXPECT_NE(std::find(holder->messages.begin(), holder->messages.end(), WM_CHAR), holder->messages.end());
  ASSERT_GE(holder->log.size(), 3u);
  EXPECT_EQ(holder->log[0], "down " + std::to_string('A'));
  EXPECT_EQ(holder->log[1], "press " + std::to_string('a'));
  // A message the holder answers stops there.
  holder->swallow_msg = WM_CHAR;
  Type(edit_, "d");
  EXPECT_EQ(edit_->Text(), "ac");
  holder->swallow_msg = 0;
  // A holder that refuses changes makes the box read-only.
  holder->can_modify = false;
  edit_->UpdateControlReadOnly();
  EXPECT_TRUE(edit_->TCustomEdit::ReadOnly());
  // Hosting without the interface is refused; nil leaves hosted mode.
  auto* plain = new TPanel(form_.get());
  EXPECT_THROW(edit_->SetInplaceEditHolder(plain), Exception);
  EXPECT_EQ(edit_->InplaceEditHolder(), holder);
  edit_->SetInplaceEditHolder(nullptr);
  holder->log.clear();
  Type(edit_, "e");
  EXPECT_TRUE(holder->log.empty());
}

TEST_F(DBEditEhTest, HolderFreedFirstLeavesHostedMode) {
  auto* holder = new TRecordingHolder(form_.get());
  holder->SetParent(form_.get());
  edit_->SetInplaceEditHolder(holder);
  delete holder;
  EXPECT_EQ(edit_->InplaceEditHolder(), nullptr);
  form_->Show();
  edit_->Perform(WM_CHAR, 'x');
}

TEST_F(DBEditEhTest, FreedPartnersAreForgotten) {
  Bind("NAME");
  auto* images = new TImageList(form_.get());
  edit_->EditImage()->SetImages(images);
  edit_->EditImage()->SetVisible(true);
  auto* menu = new TPopupMenu(form_.get());
  menu->FreeNotification(edit_);
  edit_->EditButton()->SetDropdownMenu(menu);
  form_->Show();
  EXPECT_EQ(edit_->ImageWidth(), images->Width() + 4);
  EXPECT_EQ(edit_->GetEditRect().Left, images->Width() + 4);
  delete images;
  EXPECT_EQ(edit_->EditImage()->Images(), nullptr);
  delete menu;
  EXPECT_EQ(edit_->EditButton()->DropdownMenu(), nullptr);
  delete src_;
  EXPECT_EQ(edit_->DataSource(), nullptr);
  EXPECT_FALSE(edit_->DataLink()->Active());
  // The editor goes first now; the dataset lives on.
  delete edit_;
  edit_ = nullptr;
  ds_->Next();
  EXPECT_EQ(ds_->FieldByName("NAME")->AsString(), "two");
}

TEST_F(DBEditEhTest, ImageIndexFollowsANumericValue) {
  auto* images = new TImageList(form_.get());
  edit_->EditImage()->SetImages(images);
  edit_->EditImage()->SetVisible(true);
  edit_->SetText("3");
  EXPECT_EQ(edit_->EditImage()->ImageIndex(), -1);  // a text is no number
  edit_->SetOnGetImageIndex([](TObject* Sender, int& Index) {
    Index = static_cast<int>(static_cast<TCustomDBEditEh*>(Sender)->Text().size());
  });
  EXPECT_EQ(edit_->EditImage()->ImageIndex(), 1);
  edit_->SetText("four");
  EXPECT_EQ(edit_->EditImage()->ImageIndex(), 4);
}

TEST_F(DBEditEhTest, TypedTextDropsTheRecentEntriesAndTheListHandsOneBack) {
  edit_->MRUList()->SetActive(true);
  for (const char* e : {"Иванов", "Ильин", "Иваново", "Петров"}) edit_->MRUList()->Add(e);
  ShowAndFocus(edit_);
  Type(edit_, "И");
  ASSERT_NE(edit_->MRUListBox(), nullptr);
  TMRUListboxEh* list = edit_->MRUListBox();
  EXPECT_TRUE(edit_->MRUList()->DroppedDown());
  EXPECT_TRUE(list->Visible());
  EXPECT_EQ(list->Items()->Count(), 3);
  Type(edit_, "в");
  EXPECT_EQ(list->Items()->Count(), 2);
  EXPECT_TRUE(edit_->Focused());  // the list never takes the focus
  // Characters that share codes with the list's keys still reach the text.
  Type(edit_, "(&");
  EXPECT_EQ(edit_->Text(), "Ив(&");
  EXPECT_FALSE(edit_->MRUList()->DroppedDown());  // nothing matches now
  Key(edit_, Qt::Key_Backspace, Qt::NoModifier, QString(QChar(8)));
  Key(edit_, Qt::Key_Backspace, Qt::NoModifier, QString(QChar(8)));
  ASSERT_TRUE(edit_->MRUList()->DroppedDown());
  Key(edit_, Qt::Key_Down);
  EXPECT_EQ(list->ItemIndex(), 0);
  Key(edit_, Qt::Key_Down);
  EXPECT_EQ(list->ItemIndex(), 1);
  Key(edit_, Qt::Key_Return, Qt::NoModifier, QString(QChar(13)));
  EXPECT_FALSE(edit_->MRUList()->DroppedDown());
  EXPECT_FALSE(list->Visible());
  EXPECT_EQ(edit_->Text(), list->Items()->Strings(1));
  // Escape closes without taking; an emptied text closes as well.
  edit_->SelectAll();
  Type(edit_, "П");
  ASSERT_TRUE(edit_->MRUList()->DroppedDown());
  Key(edit_, Qt::Key_Escape, Qt::NoModifier, QString(QChar(27)));
  EXPECT_FALSE(edit_->MRUList()->DroppedDown());
  EXPECT_EQ(edit_->Text(), "П");
  Type(edit_, "е");
  ASSERT_TRUE(edit_->MRUList()->DroppedDown());
  edit_->SelectAll();
  Key(edit_, Qt::Key_Backspace, Qt::NoModifier, QString(QChar(8)));
  EXPECT_FALSE(edit_->MRUList()->DroppedDown());
  // Leaving adds what was typed as the most recent entry; the button's
  // drop-down closes the list first.
  Type(edit_, "Сидоров");
  other_->SetFocus();
  EXPECT_FALSE(edit_->MRUList()->DroppedDown());
  EXPECT_EQ(edit_->MRUList()->Items()->Strings(edit_->MRUList()->Items()->Count() - 1), "Сидоров");
  edit_->SetFocus();
  edit_->SelectAll();
  Type(edit_, "С");
  ASSERT_TRUE(edit_->MRUList()->DroppedDown());
  edit_->ButtonDown(false);
  EXPECT_TRUE(edit_->DroppedDown());
  EXPECT_FALSE(edit_->MRUList()->DroppedDown());
}

TEST_F(DBEditEhTest, ListBoxFreedBeforeTheEditorIsForgotten) {
  edit_->MRUList()->SetActive(true);
  edit_->MRUList()->Add("abc");
  ShowAndFocus(edit_);
  Type(edit_, "a");
  ASSERT_NE(edit_->MRUListBox(), nullptr);
  delete edit_->MRUListBox();
  EXPECT_EQ(edit_->MRUListBox(), nullptr);
  edit_->MRUList()->SetDroppedDown(false);
  Type(edit_, "b");
  EXPECT_NE(edit_->MRUListBox(), nullptr);
}

// Right-aligned text is drawn by the editor while it is not focused; the
// focused edit box shows it at the left.
TEST_F(DBEditEhTest, RightAlignedTextMovesLeftWhileFocused) {
  edit_->SetAlignment(taRightJustify);
  edit_->SetText("WWW");
  form_->Show();
  auto firstInk = [&] {
    TPaper paper(edit_->Width(), edit_->Height());
    edit_->PaintTo(paper.Canvas(), 0, 0);
    const TRect r = edit_->GetEditRect();
    for (int x = r.Left + 3; x < r.Right - 3; ++x)
      for (int y = 4; y < edit_->Height() - 4; ++y)
        if (paper.At(x, y) == clBlack) return x;
    return -1;
  };
  EXPECT_FALSE(edit_->EditPaints());
  const int unfocused = firstInk();
  EXPECT_GT(unfocused, edit_->GetEditRect().Width() / 2);
  ShowAndFocus(edit_);
  edit_->SetSelLength(0);
  EXPECT_TRUE(edit_->EditPaints());
  const int focused = firstInk();
  EXPECT_GE(focused, 0);
  EXPECT_LT(focused, edit_->GetEditRect().Width() / 4);
}

TEST_F(DBEditEhTest, LeavingKeepsTheFocusWhenTheValueIsRefused) {
  std::vector<String> errors;
  Application->SetOnException([&](TObject*, Exception* E) { errors.push_back(E->Message()); });
  edit_->SetOnUpdateData([](TObject*, bool&) { throw Exception("refused"); });
  ShowAndFocus(edit_);
  Type(edit_, "abc");
  try {
    other_->SetFocus();
  } catch (const Exception& e) {
    errors.push_back(e.Message());
  }
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0], "refused");
  EXPECT_TRUE(edit_->Focused());
  EXPECT_TRUE(edit_->EditFocused());
  EXPECT_EQ(edit_->SelLength(), 3);
}

TEST_F(DBEditEhTest, SeveralFieldsTakeAnArrayOrNullTogether) {
  TFieldDataLinkEh link;
  link.SetMultipleFields(true);
  link.SetDataSource(src_);
  link.SetFieldName("ID;NAME");
  ASSERT_EQ(link.FieldsCount(), 2);
  EXPECT_FALSE(link.DataIndependent());
  ds_->Edit();
  link.SetValue(VarArrayOf({Variant(7), Variant("seven")}));
  EXPECT_EQ(ds_->FieldByName("ID")->AsInteger(), 7);
  EXPECT_EQ(ds_->FieldByName("NAME")->AsString(), "seven");
  link.SetValue(Null());
  EXPECT_TRUE(ds_->FieldByName("ID")->IsNull());
  EXPECT_TRUE(ds_->FieldByName("NAME")->IsNull());
  ds_->Cancel();
  EXPECT_THROW(link.SetFieldName("ID;NOPE"), EDatabaseError);
}

TEST_F(DBEditEhTest, HostedEditorIsPlacedAndHiddenByItsHolder) {
  auto* holder = new TRecordingHolder(form_.get());
  holder->SetParent(form_.get());
  holder->SetBounds(0, 0, 200, 100);
  holder->SetTabStop(true);
  edit_->SetParent(holder);
  edit_->SetInplaceEditHolder(holder);
  form_->Show();
  edit_->SetEditorBounds(Rect(5, 6, 105, 26));
  EXPECT_EQ(edit_->BoundsRect(), Rect(5, 6, 105, 26));
  EXPECT_TRUE(edit_->Visible());
  ShowAndFocus(edit_);
  edit_->SetEditorBounds(Rect(0, 0, 0, 0));
  EXPECT_FALSE(edit_->Visible());
  EXPECT_TRUE(holder->Focused());
}

TEST_F(DBEditEhTest, FlatBorderIsActiveWhenFocusedHoveredOrAlwaysShown) {
  edit_->SetFlat(true);
  form_->Show();
  EXPECT_FALSE(edit_->BorderActive());
  EXPECT_FALSE(edit_->ButtonControl(0)->Active());
  EXPECT_EQ(edit_->ButtonDivider(0)->Pen()->Color(), edit_->Color());
  edit_->Perform(CM_MOUSEENTER);
  EXPECT_TRUE(edit_->BorderActive());
  EXPECT_TRUE(edit_->ButtonControl(0)->Active());
  EXPECT_EQ(edit_->ButtonDivider(0)->Pen()->Color(), clBtnFace);
  edit_->Perform(CM_MOUSELEAVE);
  EXPECT_FALSE(edit_->BorderActive());
  edit_->SetAlwaysShowBorder(true);
  EXPECT_TRUE(edit_->BorderActive());
  edit_->SetAlwaysShowBorder(false);
  ShowAndFocus(edit_);
  EXPECT_TRUE(edit_->BorderActive());
  other_->SetFocus();
  EXPECT_FALSE(edit_->BorderActive());
}

}  // namespace
