// The grid's filter row on an in-memory dataset: the filter editor and its
// keys, the drop-down items, column filters (plain and list-bound), the data
// service and the column storage interceptors.
#include <gtest/gtest.h>

#include <memory>

#include "grid/datagrid/DBGridEh.h"
#include "platform/rtl/TypInfo.h"
#include "tests/grid/datagrid/GridFixture.h"

namespace {

class FilterRowTest : public GridTestBase {
 protected:
  void SetUp() override {
    GridTestBase::SetUp();
    OpenRows();
    grid_ = NewGrid();
    grid_->Handle();
    grid_->STFilter()->SetVisible(true);
  }
  TInplaceFilterEditEh* Editor() const { return grid_->FilterEditor(); }
  void Key(Word VK, TShiftState Shift = {}) {
    Word k = VK;
    grid_->FilterEditKeyDown(Editor(), k, Shift);
  }
  // The list of values CODE takes (the dataset itself).
  void BindCodeList() {
    list_src_ = new TDataSource(form_);
    list_src_->SetDataSet(ds_);
    grid_->Columns()->Items(4)->STFilter()->SetListSource(list_src_);
  }
  // Opens the drop-down of the editor and chooses the item with Text.
  void Choose(const String& Text) {
    Editor()->DropDown();
    const int i = Editor()->Items()->IndexOf(Text);
    ASSERT_GE(i, 0) << Text;
    ASSERT_NE(Editor()->PopupListbox(), nullptr);
    Editor()->PopupListbox()->SetItemIndex(i);
    Editor()->CloseUp(true);
  }
  std::vector<String> Items() const {
    std::vector<String> r;
    for (int i = 0; i < Editor()->Items()->Count(); ++i) r.push_back(Editor()->Items()->Strings(i));
    return r;
  }

  TCustomDBGridEh* grid_ = nullptr;
  TDataSource* list_src_ = nullptr;
};

TEST_F(FilterRowTest, EditorIsMadeOnceAndPlacedOverTheFilterCell) {
  EXPECT_EQ(grid_->FilterEditor(), nullptr);
  EXPECT_TRUE(grid_->IsFilterRow(grid_->TitleOffset() - 1));
  EXPECT_FALSE(grid_->IsFilterRow(grid_->TitleOffset()));
  grid_->SetFixedColor(static_cast<TColor>(0x808080));
  grid_->ShowFilterEditor(1);
  TInplaceFilterEditEh* ed = Editor();
  ASSERT_NE(ed, nullptr);
  EXPECT_EQ(ed->Owner(), grid_);
  EXPECT_EQ(ed->Parent(), grid_);
  EXPECT_EQ(ed->InplaceEditHolder(), grid_);
  EXPECT_TRUE(ed->Visible());
  EXPECT_EQ(grid_->FilterEditorColumn(), 1);
  EXPECT_TRUE(grid_->FilterEditing());
  EXPECT_EQ(grid_->SelectedIndex(), 1);
  EXPECT_EQ(ed->Font()->Color(), static_cast<TColor>(0xFF0000));
  EXPECT_EQ(ed->Color(), static_cast<TColor>(0x909090));
  TRect cell = grid_->CellRect(grid_->DataToRawColumn(1), grid_->TitleOffset() - 1);
  EXPECT_EQ(ed->Left(), cell.Left);
  EXPECT_EQ(ed->Top(), cell.Top + 1);
  // Leaving stores the text into the column's filter.
  ed->SetText("two");
  grid_->ShowFilterEditor(2);
  EXPECT_EQ(Editor(), ed);
  EXPECT_EQ(grid_->Columns()->Items(1)->STFilter()->FilterText(), "two");
  ed->SetText("> 2");
  grid_->SetFilterEditorVisible(false);
  EXPECT_FALSE(ed->Visible());
  EXPECT_FALSE(grid_->FilterEditing());
  EXPECT_EQ(grid_->Columns()->Items(2)->STFilter()->FilterText(), "> 2");
}

TEST_F(FilterRowTest, EditorRefusesHiddenFilterRowAndUnfilterableColumns) {
  grid_->Columns()->Items(3)->STFilter()->SetVisible(false);
  grid_->ShowFilterEditor(3);
  EXPECT_EQ(grid_->FilterEditor(), nullptr);
  grid_->ShowFilterEditor(7);
  EXPECT_EQ(grid_->FilterEditor(), nullptr);
  grid_->STFilter()->SetVisible(false);
  grid_->ShowFilterEditor(1);
  EXPECT_EQ(grid_->FilterEditor(), nullptr);

  grid_->STFilter()->SetVisible(true);
  grid_->ShowFilterEditor(1);
  ASSERT_TRUE(Editor()->Visible());
  // Hiding the filter row hides the editor.
  grid_->STFilter()->SetVisible(false);
  EXPECT_FALSE(Editor()->Visible());
}

TEST_F(FilterRowTest, UpdateCounterFreezesTheEditor) {
  grid_->ShowFilterEditor(1);
  grid_->STFilter()->BeginUpdate();
  grid_->SetFilterEditorVisible(false);
  EXPECT_TRUE(Editor()->Visible());
  EXPECT_TRUE(grid_->FilterEditing());
  grid_->STFilter()->EndUpdate();
  grid_->SetFilterEditorVisible(false);
  EXPECT_FALSE(Editor()->Visible());
  grid_->STFilter()->BeginUpdate();
  grid_->ShowFilterEditor(1);
  EXPECT_FALSE(Editor()->Visible());
  grid_->STFilter()->EndUpdate();
}

TEST_F(FilterRowTest, KeysMoveBetweenFilterableColumns) {
  grid_->Columns()->Items(2)->STFilter()->SetVisible(false);
  grid_->ShowFilterEditor(0);
  struct Case {
    Word key;
    TShiftState shift;
    String text;  // editor text before the key, caret at its end
    int expect;
  } cases[] = {
      {VK_TAB, {}, "", 1},                  // 0 -> 1
      {VK_TAB, {}, "", 3},                  // 2 is not filterable
      {VK_TAB, {}, "", 4},
      {VK_TAB, {}, "", 0},                  // wraps to the first
      {VK_TAB, {ssShift}, "", 4},           // and back to the last
      {VK_LEFT, {}, "12", 4},               // caret not at the start: stays
      {VK_HOME, {ssCtrl}, "12", 0},
      {VK_RIGHT, {}, "", 1},                // empty text: the caret is at the end
      {VK_END, {}, "", 4},
      {VK_LEFT, {ssCtrl}, "34", 0},
      {VK_RIGHT, {ssCtrl}, "34", 4},
      {VK_RIGHT, {}, "34", 0},              // wraps on the first step
  };
  for (const Case& c : cases) {
    Editor()->SetText(c.text);
    Editor()->SetSelStart(static_cast<int>(c.text.size()));
    Editor()->SetSelLength(0);
    Key(c.key, c.shift);
    EXPECT_EQ(grid_->FilterEditorColumn(), c.expect) << "key " << c.key << " text " << c.text;
  }
  // The whole text selected counts as caret at the start.
  grid_->ShowFilterEditor(3);
  Editor()->SetText("abc");
  Editor()->SelectAll();
  Key(VK_LEFT);
  EXPECT_EQ(grid_->FilterEditorColumn(), 1);

  // Without dgTabs, Tab stays.
  grid_->SetOptions(grid_->Options() - TDBGridOptions{dgTabs});
  Key(VK_TAB);
  EXPECT_EQ(grid_->FilterEditorColumn(), 1);
}

TEST_F(FilterRowTest, EditorMessagesReachTheGrid) {
  int applied = 0;
  grid_->SetOnApplyFilter([&](TObject*) { ++applied; });
  grid_->ShowFilterEditor(1);
  HWND h = Editor()->Handle();
  SendMessage(h, WM_KEYDOWN, VK_TAB, 0);
  EXPECT_EQ(grid_->FilterEditorColumn(), 2);
  Editor()->SetText("> 1");
  SendMessage(h, WM_CHAR, 13, 0);
  EXPECT_EQ(applied, 1);
  EXPECT_EQ(grid_->Columns()->Items(2)->STFilter()->FilterText(), "> 1");
}

TEST_F(FilterRowTest, SettingFilterRowVisibilityToItsValueDoesNotRelayout) {
  auto* g = new TRecordingGrid(form_);
  g->SetParent(form_);
  g->SetDataSource(src_);
  g->calls.clear();
  g->STFilter()->SetVisible(false);
  EXPECT_TRUE(g->calls.empty());
  g->STFilter()->SetVisible(true);
  EXPECT_FALSE(g->calls.empty());
  EXPECT_EQ(g->TitleOffset(), 2);
}

TEST_F(FilterRowTest, UpIsSwallowedDownLeavesForTheFirstShownRecord) {
  grid_->ShowFilterEditor(1);
  Word k = VK_UP;
  grid_->FilterEditKeyDown(Editor(), k, {});
  EXPECT_EQ(k, 0);
  ds_->Last();
  ASSERT_EQ(ds_->RecNo(), 3);
  const int first_shown = 3 - grid_->DataLink()->ActiveRecord();
  grid_->ShowFilterEditor(2);
  k = VK_DOWN;
  grid_->FilterEditKeyDown(Editor(), k, {});
  EXPECT_EQ(k, 0);
  EXPECT_FALSE(Editor()->Visible());
  EXPECT_FALSE(grid_->FilterEditing());
  EXPECT_EQ(grid_->SelectedIndex(), 2);
  EXPECT_EQ(ds_->RecNo(), first_shown);
  // F2: the caret to the end, no selection.
  grid_->ShowFilterEditor(1);
  Editor()->SetText("abc");
  Editor()->SelectAll();
  Key(VK_F2);
  EXPECT_EQ(Editor()->SelStart(), 3);
  EXPECT_EQ(Editor()->SelLength(), 0);
}

TEST_F(FilterRowTest, EnterStoresParsesAndApplies) {
  int applied = 0;
  grid_->SetOnApplyFilter([&](TObject* Sender) {
    EXPECT_EQ(Sender, grid_);
    ++applied;
  });
  grid_->ShowFilterEditor(2);
  Editor()->SetText("> 15");
  WideChar key = 13;
  grid_->FilterEditKeyPress(Editor(), key);
  EXPECT_EQ(key, 0);
  EXPECT_EQ(applied, 1);
  TSTFilterExpressionEh e = grid_->Columns()->Items(2)->STFilter()->GetExpression();
  EXPECT_EQ(e.OperandType, botNumber);
  EXPECT_EQ(e.Operator1, foGreaterThan);
  EXPECT_DOUBLE_EQ(e.Operand1.AsDouble(), 15.0);
  // The editor shows the stored text again for the column.
  EXPECT_TRUE(Editor()->Visible());
  EXPECT_EQ(Editor()->Text(), "> 15");

  // A text that does not parse raises from the store and stays in the editor.
  Editor()->SetText("In 1,2");
  EXPECT_THROW(grid_->ApplyFilter(), Exception);
  EXPECT_EQ(Editor()->Text(), "In 1,2");
  EXPECT_EQ(applied, 1);
  key = 'a';
  grid_->FilterEditKeyPress(Editor(), key);
  EXPECT_EQ(key, 'a');
}

TEST_F(FilterRowTest, PlainColumnHasNoDropDown) {
  grid_->ShowFilterEditor(1);
  EXPECT_FALSE(Editor()->EditButton()->Visible());
  EXPECT_FALSE(Editor()->OnFillItems());
  BindCodeList();
  grid_->ShowFilterEditor(4);
  EXPECT_TRUE(Editor()->EditButton()->Visible());
  EXPECT_TRUE(Editor()->DropDownBox()->Sizable());
  EXPECT_EQ(Editor()->DropDownBox()->Width(), 100);
  EXPECT_EQ(Editor()->DropDownBox()->Rows(), 17);
}

TEST_F(FilterRowTest, DropDownOffersSortEntriesOnlyForSortableTitles) {
  BindCodeList();
  const std::vector<String> base{"(Clear filter)", "(All)", "(Not empty)", "(Empty)", "Y", "n", "x"};
  std::vector<String> sorted{"(Order by descending)", "(Order by ascending)", "-"};
  sorted.insert(sorted.end(), base.begin(), base.end());
  struct Case {
    bool auto_sort, title_button;
    const std::vector<String>& expect;
  } cases[] = {{false, false, base}, {true, false, base}, {false, true, base}, {true, true, sorted}};
  for (const Case& c : cases) {
    const TDBGridEhOptions sort{dghAutoSortMarking};
    grid_->SetOptionsEh(c.auto_sort ? grid_->OptionsEh() + sort : grid_->OptionsEh() - sort);
    grid_->Columns()->Items(4)->Title()->SetTitleButton(c.title_button);
    grid_->ShowFilterEditor(4);
    grid_->FilterEditGetItemsList(Editor());
    std::vector<String> items = Items();
    // The value list is sorted by the locale; compare as sets after the fixed entries.
    ASSERT_EQ(items.size(), c.expect.size());
    const size_t fixed = c.expect.size() - 3;
    EXPECT_EQ(std::vector<String>(items.begin(), items.begin() + fixed),
              std::vector<String>(c.expect.begin(), c.expect.begin() + fixed));
    std::vector<String> values(items.begin() + fixed, items.end());
    std::sort(values.begin(), values.end());
    EXPECT_EQ(values, (std::vector<String>{"Y", "n", "x"}));
  }
}

TEST_F(FilterRowTest, ChoosingFixedEntries) {
  BindCodeList();
  int applied = 0, sorted = 0;
  grid_->SetOnApplyFilter([&](TObject*) { ++applied; });
  grid_->SetOnSortMarkingChanged([&](TObject*) { ++sorted; });
  grid_->SetOptionsEh(grid_->OptionsEh() + TDBGridEhOptions{dghAutoSortMarking, dghMultiSortMarking});
  for (int i = 0; i < grid_->Columns()->Count(); ++i) grid_->Columns()->Items(i)->Title()->SetTitleButton(true);
  grid_->Columns()->Items(0)->Title()->SetSortMarker(smDownEh);
  grid_->Columns()->Items(1)->Title()->SetSortMarker(smUpEh);
  ASSERT_EQ(grid_->SortMarkedColumns()->Count(), 2);

  grid_->ShowFilterEditor(4);
  Choose("(Empty)");
  EXPECT_EQ(Editor()->Text(), "=Null");
  EXPECT_EQ(applied, 0);  // not until Enter with the default style

  Choose("(Not empty)");
  EXPECT_EQ(Editor()->Text(), "<>Null");
  Choose("(Order by descending)");
  EXPECT_EQ(Editor()->Text(), "<>Null");
  EXPECT_EQ(sorted, 1);
  EXPECT_EQ(grid_->Columns()->Items(0)->Title()->SortMarker(), smNoneEh);
  EXPECT_EQ(grid_->Columns()->Items(1)->Title()->SortMarker(), smNoneEh);
  EXPECT_EQ(grid_->Columns()->Items(4)->Title()->SortMarker(), smUpEh);
  ASSERT_EQ(grid_->SortMarkedColumns()->Count(), 1);
  EXPECT_EQ(grid_->SortMarkedColumns()->Items(0), grid_->Columns()->Items(4));
  Choose("(Order by ascending)");
  EXPECT_EQ(grid_->Columns()->Items(4)->Title()->SortMarker(), smDownEh);

  // A value is taken as text.
  Choose("x");
  EXPECT_EQ(Editor()->Text(), "x");
  EXPECT_EQ(applied, 0);

  // With ApplyFilterOnCloseUp a value and the fixed entries apply at once.
  TDBGridEhStyle style;
  style.SetApplyFilterOnCloseUp(true);
  grid_->SetStyle(&style);
  Choose("n");
  EXPECT_EQ(applied, 1);
  Choose("(All)");
  EXPECT_EQ(Editor()->Text(), "");
  EXPECT_EQ(applied, 2);
  grid_->SetStyle(nullptr);

  grid_->Columns()->Items(1)->STFilter()->SetFilterText("two");
  grid_->ShowFilterEditor(4);
  Editor()->SetText("Y");
  Choose("(Clear filter)");
  EXPECT_EQ(applied, 3);
  EXPECT_EQ(grid_->Columns()->Items(1)->STFilter()->FilterText(), "");
  EXPECT_EQ(grid_->Columns()->Items(4)->STFilter()->FilterText(), "");
  EXPECT_EQ(grid_->Columns()->Items(4)->STFilter()->GetExpression().Operator1, foNon);
  EXPECT_FALSE(grid_->FilterEditing());
}

TEST_F(FilterRowTest, ResizedDropDownIsRememberedPerColumn) {
  BindCodeList();
  grid_->ShowFilterEditor(4);
  Editor()->DropDown();
  Editor()->DropDownBox()->SetWidth(230);
  Editor()->DropDownBox()->SetRows(5);
  Editor()->PopupListbox()->SetItemIndex(Editor()->Items()->IndexOf("x"));
  Editor()->CloseUp(true);
  EXPECT_EQ(grid_->Columns()->Items(4)->STFilter()->DropDownWidth(), 230);
  EXPECT_EQ(grid_->Columns()->Items(4)->STFilter()->DropDownRows(), 5);
  grid_->ShowFilterEditor(1);
  grid_->ShowFilterEditor(4);
  EXPECT_EQ(Editor()->DropDownBox()->Width(), 230);
  EXPECT_EQ(Editor()->DropDownBox()->Rows(), 5);
}

// ---------------------------------------------------------------------------
// Column filters

TEST_F(FilterRowTest, FilterTextIsTypedByTheFieldAndWrittenBack) {
  struct Case {
    int column;
    String text;
    TSTOperandTypeEh type;
    TSTFilterOperatorEh op;
    String written;
  } cases[] = {
      {0, "> 1", botNumber, foGreaterThan, "> 1"},
      {1, "O'Brien", botString, foLike, "~ 'O''Brien'"},
      {1, "='It''s' | =x", botString, foEqual, "= 'It''s' OR = 'x'"},
      {2, "<> Null", botNumber, foNotNull, "<>Null"},
      {3, "=True", botBoolean, foEqual, "= 'True'"},
      {4, "In (a,b)", botString, foIn, "In ('a','b')"},
  };
  for (const Case& c : cases) {
    TSTColumnFilterEh* f = grid_->Columns()->Items(c.column)->STFilter();
    f->SetFilterText(c.text);
    EXPECT_EQ(f->FilterText(), c.text);
    EXPECT_EQ(f->GetExpression().OperandType, c.type) << c.text;
    EXPECT_EQ(f->GetExpression().Operator1, c.op) << c.text;
    String written;
    f->GetExpressionAsText(written);
    EXPECT_EQ(written, c.written);
    // What is written parses to the same text again.
    f->SetFilterText(written);
    String again;
    f->GetExpressionAsText(again);
    EXPECT_EQ(again, written);
  }
  TSTColumnFilterEh* f = grid_->Columns()->Items(1)->STFilter();
  f->SetFilterText("=O'Brien");
  EXPECT_EQ(VarToStr(f->GetExpression().Operand1), "O'Brien");
  Variant v;
  f->GetFilterValue(v);
  EXPECT_EQ(VarToStr(v), "O'Brien");
  EXPECT_THROW(f->SetFilterText("'O''Brien"), Exception);
  EXPECT_THROW(grid_->Columns()->Items(0)->STFilter()->SetFilterText("abc"), Exception);
  f->Clear();
  EXPECT_EQ(f->FilterText(), "");
  EXPECT_EQ(f->GetExpression().Operator1, foNon);
}

TEST_F(FilterRowTest, ListBoundFilterLooksUpTheKey) {
  // A list of codes: KEY_ID -> TITLE.
  auto* list = new TMemDataSet(form_);
  list->FieldDefs()->Add("KEY_ID", ftInteger);
  list->FieldDefs()->Add("TITLE", ftString, 20);
  list->Open();
  list->AppendRows({{10, "alpha"}, {20, "beta"}, {30, "gamma"}});
  list->First();
  list->Next();  // on "beta"
  auto* src = new TDataSource(form_);
  src->SetDataSet(list);
  TSTColumnFilterEh* f = grid_->Columns()->Items(0)->STFilter();
  f->SetKeyField("KEY_ID");
  f->SetListField("TITLE");
  f->SetListSource(src);
  // The lists are filled and the list keeps its record.
  EXPECT_EQ(f->ListValues()->CommaText(), "alpha,beta,gamma");
  EXPECT_EQ(f->KeyValues()->CommaText(), "10,20,30");
  EXPECT_EQ(list->FieldByName("TITLE")->AsString(), "beta");
  list->Next();
  list->AppendRows({{40, "delta"}});
  EXPECT_EQ(f->KeyValues()->Count(), 4);
  EXPECT_EQ(list->FieldByName("TITLE")->AsString(), "delta");

  f->SetFilterText("gamma");
  EXPECT_EQ(f->KeyValue().AsInteger(), 30);
  EXPECT_EQ(f->GetExpression().Operator1, foIn);
  Variant v;
  f->GetFilterValue(v);
  EXPECT_EQ(v.AsInteger(), 30);
  String text;
  f->GetExpressionAsText(text);
  EXPECT_EQ(text, "gamma");
  f->SetFilterText("omega");
  EXPECT_TRUE(VarIsNull(f->KeyValue()));
  EXPECT_EQ(f->GetExpression().Operator1, foNull);
  f->SetFilterText("");
  EXPECT_EQ(f->GetExpression().Operator1, foNon);

  // The editor shows the key value with the typed text.
  f->SetFilterText("beta");
  grid_->ShowFilterEditor(0);
  EXPECT_EQ(Editor()->Text(), "beta");
  EXPECT_TRUE(f->CanDropDown());
  EXPECT_FALSE(grid_->Columns()->Items(1)->STFilter()->CanDropDown());

  // Assign copies the binding.
  TSTColumnFilterEh copy(nullptr);
  copy.Assign(f);
  EXPECT_EQ(copy.ListSource(), src);
  EXPECT_EQ(copy.KeyField(), "KEY_ID");
  EXPECT_EQ(copy.ListField(), "TITLE");
  copy.SetListSource(nullptr);

  // The list source may go first; a text typed then has no key.
  delete src;
  EXPECT_EQ(f->ListSource(), nullptr);
  EXPECT_FALSE(f->CanDropDown());
  f->SetFilterText("gamma");
  EXPECT_TRUE(VarIsNull(f->KeyValue()));
  EXPECT_EQ(f->GetExpression().Operator1, foNull);
}

TEST_F(FilterRowTest, DataFieldNameFallsBackToTheColumn) {
  TSTColumnFilterEh* f = grid_->Columns()->Items(1)->STFilter();
  String name;
  f->GetDataFieldName(name);
  EXPECT_EQ(name, "NAME");
  f->SetDataField("CODE");
  f->GetDataFieldName(name);
  EXPECT_EQ(name, "CODE");
}

// ---------------------------------------------------------------------------
// The data service and the dataset-feature handlers

class TRecordingFeatures : public TDatasetFeaturesEh {
 public:
  int* filters;
  int* sorts;
  TRecordingFeatures(int* F, int* S) : filters(F), sorts(S) {}
  void ApplySorting(TCustomDBGridEh*, TDataSet*, bool IsReopen) override {
    EXPECT_TRUE(IsReopen);
    ++*sorts;
  }
  void ApplyFilter(TCustomDBGridEh* Grid, TDataSet* DataSet, bool IsReopen) override {
    EXPECT_TRUE(IsReopen);
    EXPECT_TRUE(Grid->ApplyingFilter());
    EXPECT_EQ(DataSet, Grid->DataSource()->DataSet());
    ++*filters;
  }
};

TEST_F(FilterRowTest, ApplyingGoesToTheEventTheServiceOrTheHandler) {
  ASSERT_NE(DBGridEhDataService(), nullptr);
  // No applier: nothing happens and nothing raises.
  grid_->ApplyFilter();
  grid_->DefaultApplySorting();

  int filters = 0, sorts = 0;
  RegisterDatasetFeaturesEh(new TRecordingFeatures(&filters, &sorts), GetClassInfo(ds_));
  grid_->ApplyFilter();
  grid_->SortMarkingChanged();
  EXPECT_EQ(filters, 1);
  EXPECT_EQ(sorts, 1);
  EXPECT_FALSE(grid_->ApplyingFilter());

  int service_filters = 0, service_sorts = 0;
  DBGridEhDataService()->SetOnApplyFilter([&](TCustomDBGridEh* G) {
    EXPECT_EQ(G, grid_);
    ++service_filters;
  });
  DBGridEhDataService()->SetOnApplySorting([&](TCustomDBGridEh*) { ++service_sorts; });
  grid_->ApplyFilter();
  grid_->SortMarkingChanged();
  EXPECT_EQ(service_filters, 1);
  EXPECT_EQ(service_sorts, 1);

  int grid_filters = 0, grid_sorts = 0;
  grid_->SetOnApplyFilter([&](TObject*) { ++grid_filters; });
  grid_->SetOnSortMarkingChanged([&](TObject*) { ++grid_sorts; });
  grid_->ApplyFilter();
  grid_->SortMarkingChanged();
  EXPECT_EQ(grid_filters, 1);
  EXPECT_EQ(grid_sorts, 1);
  EXPECT_EQ(service_filters, 1);
  EXPECT_EQ(filters, 1);

  DBGridEhDataService()->SetOnApplyFilter(nullptr);
  DBGridEhDataService()->SetOnApplySorting(nullptr);
  UnregisterDatasetFeaturesEh(GetClassInfo(ds_));
}

// ---------------------------------------------------------------------------
// Column storage interceptors

TStoragePropertyInterceptor* NewInterceptorFor(TPersistent* Target) {
  for (int i = 0; i < PropertyInterceptorCount(); ++i)
    if (GetClassInfo(Target)->InheritsFrom(PropertyInterceptorTargetClass(i)))
      return PropertyInterceptorClass(i)->Create(Target);
  return nullptr;
}

TEST_F(FilterRowTest, ColumnOrderRoundTripsThroughTheInterceptor) {
  TDBGridColumnsEh* cols = grid_->Columns();
  std::unique_ptr<TStoragePropertyInterceptor> i(NewInterceptorFor(cols));
  ASSERT_NE(dynamic_cast<TColumnsEhPropertyInterceptor*>(i.get()), nullptr);
  const String stored = GetStrProp(i.get(), "ColumnsIndex");
  EXPECT_EQ(stored, "\"ID\",\"NAME\",\"AMOUNT\",\"FLAG\",\"CODE\"");
  auto order = [&] {
    String s;
    for (int k = 0; k < cols->Count(); ++k) s += cols->Items(k)->FieldName() + " ";
    return s;
  };
  SetStrProp(i.get(), "ColumnsIndex", "\"code\",\"FLAG\",\"NOSUCH\"");
  EXPECT_EQ(order(), "CODE FLAG ID NAME AMOUNT ");
  SetStrProp(i.get(), "ColumnsIndex", stored);
  EXPECT_EQ(order(), "ID NAME AMOUNT FLAG CODE ");

  TCustomDBGridEh* empty = NewGrid(false);
  TColumnsEhPropertyInterceptor none(empty->Columns());
  EXPECT_EQ(none.ColumnsIndex(), "");
  empty->Columns()->Add()->SetFieldName("A");
  EXPECT_EQ(none.ColumnsIndex(), "\"A\"");
}

TEST_F(FilterRowTest, ColumnWidthRoundTripsThroughTheInterceptor) {
  TColumnEh* c = grid_->Columns()->Items(1);
  std::unique_ptr<TStoragePropertyInterceptor> i(NewInterceptorFor(c));
  ASSERT_NE(dynamic_cast<TColumnEhPropertyInterceptor*>(i.get()), nullptr);
  SetOrdProp(i.get(), "Width", 77);
  EXPECT_EQ(c->Width(), 77);
  EXPECT_EQ(GetOrdProp(i.get(), "Width"), 77);
  grid_->SetAutoFitColWidths(true);
  const int now = c->Width();
  SetOrdProp(i.get(), "Width", 55);
  EXPECT_EQ(c->Width(), now);
  EXPECT_EQ(c->FittedWidth(), 55);
}

// ---------------------------------------------------------------------------
// Lifetimes

TEST_F(FilterRowTest, GridGoesFirstWithItsEditorShown) {
  grid_->ShowFilterEditor(1);
  Editor()->SetText("x");
  delete grid_;
  grid_ = nullptr;
  // The form holds nothing of the grid's any more.
  for (int i = 0; i < form_->ComponentCount(); ++i)
    EXPECT_EQ(dynamic_cast<TInplaceFilterEditEh*>(form_->Components(i)), nullptr);
}

TEST_F(FilterRowTest, EditorGoesFirst) {
  grid_->ShowFilterEditor(1);
  delete grid_->FilterEditor();
  EXPECT_EQ(grid_->FilterEditor(), nullptr);
  grid_->ApplyFilter();
  grid_->ShowFilterEditor(2);
  ASSERT_NE(grid_->FilterEditor(), nullptr);
  EXPECT_TRUE(Editor()->Visible());
}

TEST_F(FilterRowTest, DataSetClosesAndReopensWithAFilterSet) {
  grid_->Columns()->SetState(csCustomized);
  ASSERT_EQ(grid_->Columns()->Count(), 5);
  grid_->ShowFilterEditor(2);
  Editor()->SetText(">15");
  grid_->ApplyFilter();
  ds_->Close();
  EXPECT_EQ(grid_->Columns()->Items(2)->STFilter()->FilterText(), ">15");
  grid_->ApplyFilter();
  grid_->ShowFilterEditor(1);
  ds_->Open();
  EXPECT_EQ(grid_->Columns()->Items(2)->STFilter()->GetExpression().Operator1, foGreaterThan);
  grid_->ShowFilterEditor(2);
  EXPECT_EQ(Editor()->Text(), ">15");
}

}  // namespace
