// The grid's edit text and its in-place editor over an in-memory dataset:
// texts, masks and limits of cells, type-ahead against pick lists, key
// lists and lookup datasets, the lookup keys, value stepping, the required
// mark and the drop-downs.
#include <gtest/gtest.h>

#include "grid/toolkit/CalculatorEh.h"
#include "platform/rtl/Locale.h"
#include "tests/grid/datagrid/EditorInput.h"
#include "tests/grid/datagrid/GridFixture.h"

namespace {

class InplaceEditTest : public GridTestBase {
 protected:
  static void SetUpTestSuite() {
    GridTestBase::SetUpTestSuite();
    InitializeUnits({&unit_CalculatorEh});
  }
  // A grid showing its editor always, on the current cell of column Col.
  TCustomDBGridEh* EditGrid(int Col = 0) {
    TCustomDBGridEh* g = NewGrid();
    g->SetOptions(g->Options() + TDBGridOptions{dgAlwaysShowEditor});
    g->HandleNeeded();
    g->SetSelectedIndex(Col);
    g->ShowEditor();
    return g;
  }
  static TDBGridInplaceEdit* Editor(TCustomDBGridEh* g) {
    auto* e = g->DBInplaceEditor();
    EXPECT_NE(e, nullptr);
    return e;
  }
  // Names behind a lookup column REF_NAME over the main dataset's ID.
  void MakeLookup() {
    names_ = new TMemDataSet(form_);
    names_->FieldDefs()->Add("NID", ftInteger);
    names_->FieldDefs()->Add("NNAME", ftString, 20);
    names_->Open();
    names_->AppendRows({{1, "Alpha"}, {2, "Beta"}, {3, "Бета"}});
    names_->First();
    for (int i = 0; i < ds_->FieldDefs()->Count(); ++i) ds_->FieldDefs()->Items(i)->CreateField(ds_);
    auto* f = new TStringField(ds_);
    f->SetFieldName("REF_NAME");
    f->SetSize(20);
    f->SetLookup(true);
    f->SetKeyFields("ID");
    f->SetLookupDataSet(names_);
    f->SetLookupKeyFields("NID");
    f->SetLookupResultField("NNAME");
    f->SetDataSet(ds_);
  }
  TMemDataSet* names_ = nullptr;
};

TEST_F(InplaceEditTest, EditTextMapsKeyListsAndShowsMemoWithCrLf) {
  ds_->FieldDefs()->Add("NOTE", ftMemo);
  ds_->Open();
  ds_->AppendRows({{1, "one", 1.0, true, "1", "a\nb"}, {2, "two", 2.0, false, "2", Null()}});
  ds_->First();
  TCustomDBGridEh* g = NewGrid();
  g->HandleNeeded();
  TColumnEh* code = g->Columns()->Items(4);
  code->KeyList()->SetText("1\n2");
  code->PickList()->SetText("One");
  const int code_col = g->DataToRawColumn(4);
  EXPECT_EQ(g->GetEditText(code_col, g->Row()), "One");
  ds_->Next();
  EXPECT_EQ(g->GetEditText(code_col, g->Row()), "") << "key 2 has no pick-list item";
  ds_->First();
  // Memo text is edited with CR LF line breaks once DrawMemoText is on.
  g->SetDrawMemoText(true);
  EXPECT_EQ(g->GetEditText(g->DataToRawColumn(5), g->Row()), "a\r\nb");
  // The column's cell event in edit mode may change the text.
  g->Columns()->Items(1)->SetOnGetCellParams(
      [](TObject*, bool EditMode, TColCellParamsEh* P) { if (EditMode) P->Text += "!"; });
  EXPECT_EQ(g->GetEditText(g->DataToRawColumn(1), g->Row()), "one!");
  EXPECT_EQ(g->EditText(), "one!");
}

TEST_F(InplaceEditTest, EditMaskAndLimitFollowColumnAndField) {
  OpenRows();
  TCustomDBGridEh* g = NewGrid();
  g->HandleNeeded();
  struct Case {
    int col;
    const char* column_mask;
    const char* field_mask;
    bool key_list;
    const char* mask;
    int limit;
  } cases[] = {
      {1, "", "", false, "", 20},       // a string field limits to its size
      {0, "", "", false, "", 0},        // an integer has no limit
      {4, "", "!aaa;0;_", false, "!aaa;0;_", 5},
      {4, "00;0;_", "!aaa;0;_", false, "00;0;_", 5},
      {4, "", "!aaa;0;_", true, "", 0},  // a key list drops mask and limit
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.col);
    TColumnEh* c = g->Columns()->Items(k.col);
    c->SetEditMask(k.column_mask);
    c->Field()->SetEditMask(k.field_mask);
    c->KeyList()->SetText(k.key_list ? "Y\nn" : "");
    g->SetSelectedIndex(k.col);
    EXPECT_EQ(g->GetEditMask(g->DataToRawColumn(k.col), g->Row()), k.mask);
    EXPECT_EQ(g->GetEditLimit(), k.limit);
  }
  ds_->Close();
  EXPECT_EQ(g->GetEditMask(g->DataToRawColumn(4), 1), "");
}

TEST_F(InplaceEditTest, TypeAheadCompletesFromPickListAndSwallowsUnlistedKeyListCharacters) {
  OpenRows();
  TCustomDBGridEh* g = EditGrid(1);
  TColumnEh* name = g->Columns()->Items(1);
  name->PickList()->SetText("Яблоко\nЯгода\nbanana");
  g->InvalidateEditor();
  g->HideEditor();
  g->ShowEditor();
  TDBGridInplaceEdit* e = Editor(g);
  ASSERT_EQ(e->EditKind(), ekPickList);
  e->SelectAll();
  TypeChars(e, "яг");
  EXPECT_EQ(e->Text(), "Ягода");
  EXPECT_EQ(e->SelText(), "ода") << "the completed tail is selected, by whole characters";
  EXPECT_EQ(g->EditText(), "Ягода");
  EXPECT_EQ(ds_->State(), dsEdit);
  EXPECT_TRUE(g->DataLink()->IsModified());
  // An unmatched character in a plain pick-list column is typed as it is.
  e->SelectAll();
  TypeChars(e, "z");
  EXPECT_EQ(e->Text(), "z");

  // In a key-list column it is swallowed; Backspace too.
  ds_->Cancel();
  TColumnEh* code = g->Columns()->Items(4);
  code->KeyList()->SetText("Y\nn\nx");
  code->PickList()->SetText("Yes\nNo\nMaybe");
  g->SetSelectedIndex(4);
  e->SelectAll();
  EXPECT_EQ(e->Text(), "Yes");
  TypeChars(e, "q");
  EXPECT_EQ(e->Text(), "Yes");
  TypeChars(e, "m");
  EXPECT_EQ(e->Text(), "Maybe");
  SendKey(e, Qt::Key_Backspace, Qt::NoModifier, "\b");
  EXPECT_EQ(e->Text(), "Maybe");
  // Posting writes the key of the chosen item.
  ds_->Post();
  EXPECT_EQ(ds_->FieldByName("CODE")->AsString(), "x");
}

TEST_F(InplaceEditTest, LookupColumnCompletesSpecRowAndLeavesLookupDataSetAlone) {
  MakeLookup();
  OpenRows();
  TCustomDBGridEh* g = NewGrid();
  g->SetOptions(g->Options() + TDBGridOptions{dgAlwaysShowEditor});
  g->HandleNeeded();
  const int col = g->Columns()->Count() - 1;
  TColumnEh* c = g->Columns()->Items(col);
  ASSERT_EQ(c->FieldName(), "REF_NAME");
  // The special row shows for keys missing from the lookup dataset.
  c->DropDownSpecRow()->SetCellsText("(none)");
  c->DropDownSpecRow()->SetValue(Variant(-1));
  c->DropDownSpecRow()->SetVisible(true);
  ds_->Last();  // ID 3 is listed
  names_->Last();
  names_->Edit();
  names_->FieldByName("NNAME")->SetAsString("pending");
  // A pending edit of the lookup dataset stays pending, its cursor stays.
  EXPECT_TRUE(g->IsLookupKeyInList(c));
  EXPECT_EQ(names_->State(), dsEdit);
  EXPECT_EQ(names_->FieldByName("NNAME")->AsString(), "pending");
  names_->Cancel();
  names_->First();
  ds_->Append();
  ds_->FieldByName("ID")->SetAsInteger(7);
  EXPECT_FALSE(g->IsLookupKeyInList(c));
  EXPECT_EQ(names_->FieldByName("NID")->AsInteger(), 1) << "the lookup's cursor did not move";
  EXPECT_EQ(g->GetEditText(g->DataToRawColumn(col), g->Row()), "(none)");
  EXPECT_TRUE(VarEqualsEh(g->LookupKeyValue(), Variant(-1)));
  ds_->Cancel();
  ds_->First();

  // Type-ahead finds the record by its text, case-insensitively and in part.
  g->SetSelectedIndex(col);
  g->ShowEditor();
  TDBGridInplaceEdit* e = Editor(g);
  ASSERT_EQ(e->EditKind(), ekLookupList);
  e->SelectAll();
  TypeChars(e, "бе");
  EXPECT_EQ(e->Text(), "Бета");
  EXPECT_EQ(e->SelText(), "та");
  EXPECT_TRUE(VarEqualsEh(g->LookupKeyValue(), Variant(3)));
  EXPECT_EQ(names_->FieldByName("NID")->AsInteger(), 1);
  // No match without OnNotInList: nothing changes.
  TypeChars(e, "q");
  EXPECT_EQ(e->Text(), "Бета");
  // Backspace without OnNotInList only moves the caret back.
  e->SetSelStart(static_cast<int>(e->Text().size()));
  SendKey(e, Qt::Key_Backspace, Qt::NoModifier, "\b");
  EXPECT_EQ(e->Text(), "Бета");
  EXPECT_EQ(e->SelStart(), static_cast<int>(String("Бет").size()));
  // Delete with a part selected does nothing; with all selected it clears.
  e->SetSelStart(0);
  e->SetSelLength(2);
  SendKey(e, Qt::Key_Delete);
  EXPECT_EQ(e->Text(), "Бета");
  e->SelectAll();
  SendKey(e, Qt::Key_Delete);
  EXPECT_EQ(e->Text(), "");
  EXPECT_TRUE(VarIsNull(g->LookupKeyValue()));
  EXPECT_EQ(ds_->State(), dsEdit);
  // The key reaches the record when it is posted.
  TypeChars(e, "a");
  ds_->Post();
  EXPECT_EQ(ds_->FieldByName("ID")->AsInteger(), 1);
}

TEST_F(InplaceEditTest, UpDownButtonStepsThroughKeyList) {
  OpenRows();
  TCustomDBGridEh* g = EditGrid(4);
  TColumnEh* code = g->Columns()->Items(4);
  code->KeyList()->SetText("Y\nn\nx");
  code->PickList()->SetText("Yes\nNo\nMaybe");
  code->SetButtonStyle(cbsUpDown);
  g->HideEditor();
  g->ShowEditor();
  TDBGridInplaceEdit* e = Editor(g);
  ASSERT_EQ(e->EditKind(), ekUpDown);
  e->ButtonDown(true);  // the lower half: the next item
  EXPECT_EQ(ds_->FieldByName("CODE")->AsString(), "n");
  EXPECT_EQ(e->Text(), "No");
  e->ButtonDown(true);
  EXPECT_EQ(ds_->FieldByName("CODE")->AsString(), "x");
  e->ButtonDown(false);
  EXPECT_EQ(e->Text(), "No");
}

TEST_F(InplaceEditTest, RequiredMarkOnlyForNullRequiredFieldWhileInserting) {
  OpenRows();
  TCustomDBGridEh* g = EditGrid(1);
  TColumnEh* name = g->Columns()->Items(1);
  name->SetHighlightRequired(true);
  name->Field()->SetRequired(true);
  TDBGridInplaceEdit* e = Editor(g);
  ds_->Append();
  EXPECT_TRUE(e->DrawRequiredMark());
  ds_->FieldByName("NAME")->SetAsString("x");
  EXPECT_FALSE(e->DrawRequiredMark());
  ds_->Cancel();
  ds_->Edit();
  ds_->FieldByName("NAME")->Clear();
  EXPECT_FALSE(e->DrawRequiredMark()) << "not drawn in edit state";
  ds_->Cancel();
  ds_->Append();
  name->SetOnCheckDrawRequiredState([](TObject*, const String&, bool& Draw) { Draw = false; });
  EXPECT_FALSE(e->DrawRequiredMark());
  ds_->Cancel();
}

TEST_F(InplaceEditTest, CalculatorOpensAtTheNumberOfFormattedText) {
  FormatSettings.DecimalSeparator = '.';
  FormatSettings.ThousandSeparator = ',';
  struct Case {
    const char* text;
    double value;
  } cases[] = {{"1,234.50", 1234.5}, {"$ 12.25", 12.25}, {"-7", -7}, {"1 000", 1000}, {"abc", 0}, {"", 0}};
  for (const Case& k : cases) EXPECT_DOUBLE_EQ(CalculatorValueOfText(k.text), k.value) << k.text;

  OpenRows();
  TCustomDBGridEh* g = EditGrid(2);
  g->Columns()->Items(2)->SetButtonStyle(cbsDropDown);
  g->HideEditor();
  g->ShowEditor();
  TDBGridInplaceEdit* e = Editor(g);
  ASSERT_EQ(e->EditKind(), ekCalculator);
  e->SetText("1,234.5");
  e->DropDown();
  ASSERT_TRUE(e->ListVisible());
  EXPECT_DOUBLE_EQ(e->Calculator()->GetValue().AsDouble(), 1234.5);
  e->CloseUp(false);
  EXPECT_FALSE(e->ListVisible());
}

TEST_F(InplaceEditTest, CalculatorButtonOnStringFieldOpensNothingAndCtrlEnterClicks) {
  OpenRows();
  TCustomDBGridEh* g = EditGrid(1);
  g->Columns()->Items(1)->SetButtonStyle(cbsDropDown);
  int clicks = 0;
  struct Counter : TObject {
    int* n;
    void Click(TObject*) { ++*n; }
  } counter;
  counter.n = &clicks;
  g->SetOnEditButtonClick({&counter, &Counter::Click});
  g->HideEditor();
  g->ShowEditor();
  TDBGridInplaceEdit* e = Editor(g);
  EXPECT_EQ(e->EditKind(), ekCalculator);
  EXPECT_EQ(e->ActiveList(), nullptr);
  ASSERT_GE(e->ButtonControlCount(), 1);
  EXPECT_TRUE(e->ButtonControl(0)->Visible());
  EXPECT_GT(e->ButtonWidth(), 0);
  e->DropDown();
  EXPECT_FALSE(e->ListVisible());
  SendKey(e, Qt::Key_Return, Qt::ControlModifier, "\n");
  EXPECT_EQ(clicks, 1);
}

TEST_F(InplaceEditTest, PickListDropDownItemsSelectionEscapeAndAccept) {
  OpenRows();
  TCustomDBGridEh* g = EditGrid(4);
  TColumnEh* code = g->Columns()->Items(4);
  code->PickList()->SetText("a\nb\nc\nd\ne");
  code->KeyList()->SetText("Y\nn\nx");
  g->HideEditor();
  g->ShowEditor();
  TDBGridInplaceEdit* e = Editor(g);
  ASSERT_EQ(e->EditKind(), ekPickList);
  // A key-list column with 5 pick items and 3 keys shows 3 items.
  e->DropDown();
  ASSERT_TRUE(e->ListVisible());
  EXPECT_EQ(e->PickListBox()->Items()->Count(), 3);
  EXPECT_EQ(e->PickListBox()->ItemIndex(), 0) << "key Y shows its item";
  // Arrow keys move the list and the text; Escape puts back the edit text.
  const String before = g->EditText();
  SendKey(e, Qt::Key_Down);
  SendKey(e, Qt::Key_Down);
  EXPECT_EQ(e->Text(), e->PickListBox()->Items()->Strings(e->PickListBox()->ItemIndex()));
  SendKey(e, Qt::Key_Escape);
  EXPECT_FALSE(e->ListVisible());
  EXPECT_EQ(e->Text(), before);
  // Alt+Down opens, Enter accepts the selected item.
  SendKey(e, Qt::Key_Down, Qt::AltModifier);
  ASSERT_TRUE(e->ListVisible());
  e->PickListBox()->SetItemIndex(2);
  SendKey(e, Qt::Key_Return, Qt::NoModifier, "\r");
  EXPECT_FALSE(e->ListVisible());
  EXPECT_EQ(e->Text(), "c");
  ds_->Post();
  EXPECT_EQ(ds_->FieldByName("CODE")->AsString(), "x");
  // On a null field nothing is selected.
  ds_->Last();
  ds_->Edit();
  ds_->FieldByName("CODE")->Clear();
  g->InvalidateEditor();
  e->UpdateContents();
  e->DropDown();
  EXPECT_EQ(e->PickListBox()->ItemIndex(), -1);
  e->CloseUp(false);
  ds_->Cancel();
}

TEST_F(InplaceEditTest, MainButtonPressOpensAndTheNextClickCloses) {
  OpenRows();
  TCustomDBGridEh* g = EditGrid(1);
  g->Columns()->Items(1)->PickList()->SetText("one\ntwo");
  g->HideEditor();
  g->ShowEditor();
  TDBGridInplaceEdit* e = Editor(g);
  TEditButtonControlEh* b = e->ButtonControl(0);
  bool repeat = false, handled = false;
  e->EditButtonDown(b, true, repeat, handled);
  e->EditButtonClick(b);
  EXPECT_TRUE(e->ListVisible()) << "the press that opened the list does not close it";
  EXPECT_TRUE(b->AlwaysDown());
  e->EditButtonClick(b);
  EXPECT_FALSE(e->ListVisible());
  EXPECT_FALSE(b->AlwaysDown());
}

TEST_F(InplaceEditTest, MruListDropsWithMatchingEntriesAndEnterTakesOne) {
  OpenRows();
  TCustomDBGridEh* g = EditGrid(1);
  TColumnEh* name = g->Columns()->Items(1);
  name->MRUList()->SetActive(true);
  name->MRUList()->Items()->SetText("Пётр\nПавел\nИван");
  g->HideEditor();
  g->ShowEditor();
  TDBGridInplaceEdit* e = Editor(g);
  form_->Show();
  e->SelectAll();
  TypeChars(e, "п");
  ASSERT_TRUE(name->MRUList()->DroppedDown());
  ASSERT_NE(e->MRUListBox(), nullptr);
  EXPECT_EQ(e->MRUListBox()->Items()->Count(), 2);
  TypeChars(e, "а");
  EXPECT_EQ(e->MRUListBox()->Items()->Count(), 1);
  e->MRUListBox()->SetItemIndex(0);
  TypeChars(e, "\r");
  EXPECT_FALSE(name->MRUList()->DroppedDown());
  EXPECT_EQ(e->Text(), "Павел");
  ds_->Post();
  EXPECT_EQ(ds_->FieldByName("NAME")->AsString(), "Павел");
  // A press on another control closes an open list without taking it.
  e->SelectAll();
  TypeChars(e, "и");
  ASSERT_TRUE(name->MRUList()->DroppedDown());
  e->Perform(CM_CANCELMODE, 0, reinterpret_cast<LPARAM>(form_));
  EXPECT_FALSE(name->MRUList()->DroppedDown());
  EXPECT_EQ(e->Text(), "и");
  ds_->Cancel();
}

// A stand-in for the lookup engineer's popup grid: a grid that closes
// itself through its parent's IPopupOwnerEh.
class FakePopupGrid : public TCustomDBGridEh {
 public:
  using TCustomDBGridEh::TCustomDBGridEh;
  void Choose() {
    auto* owner = dynamic_cast<IPopupOwnerEh*>(Parent());
    ASSERT_NE(owner, nullptr);
    owner->CloseUp(true);
  }
};

TEST_F(InplaceEditTest, LookupDropDownThroughFactoryTakesTheChosenRecord) {
  SetColumnDropDownGridFactoryEh({[](TColumnEh* Column) -> TCustomDBGridEh* {
    return new FakePopupGrid(Column->Grid()->Owner());
  }});
  MakeLookup();
  OpenRows();
  TCustomDBGridEh* g = NewGrid();
  g->SetOptions(g->Options() + TDBGridOptions{dgAlwaysShowEditor});
  g->HandleNeeded();
  const int col = g->Columns()->Count() - 1;
  g->SetSelectedIndex(col);
  g->ShowEditor();
  TDBGridInplaceEdit* e = Editor(g);
  ASSERT_EQ(e->EditKind(), ekLookupList);
  auto* list = dynamic_cast<FakePopupGrid*>(e->DataList());
  ASSERT_NE(list, nullptr);
  e->DropDown();
  ASSERT_TRUE(e->ListVisible());
  EXPECT_EQ(list->DataSource(), e->ListDataSource());
  EXPECT_EQ(names_->FieldByName("NID")->AsInteger(), 1) << "the list opens on the record's key";
  names_->Next();
  list->Choose();
  EXPECT_FALSE(e->ListVisible());
  EXPECT_EQ(e->Text(), "Beta");
  EXPECT_TRUE(VarEqualsEh(g->LookupKeyValue(), Variant(2)));
  ds_->Post();
  EXPECT_EQ(ds_->FieldByName("ID")->AsInteger(), 2);
  // Freeing the grid (and its editor) leaves the column's list to the column.
  delete g;
  SetColumnDropDownGridFactoryEh({});
}

}  // namespace
