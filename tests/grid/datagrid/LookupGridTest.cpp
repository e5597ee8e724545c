// The lookup data grid and the popup data grid over in-memory datasets: the
// key value and its row, incremental search on the tick count, the special
// row, keys and mouse, the popup's close-up, size rules and lifetimes.
#include <gtest/gtest.h>

#include "grid/datagrid/DBLookupGridsEh.h"
#include "platform/gui/Popup.h"
#include "tests/grid/datagrid/GridFixture.h"

namespace {

Cardinal g_ticks = 100000;
Cardinal FakeTicks() { return g_ticks; }

// The owner of a popup: records its close-ups.
class TPopupOwner : public TComponent, public IPopupOwnerEh {
 public:
  using TComponent::TComponent;
  std::vector<bool> closes;
  void CloseUp(bool Accept) override { closes.push_back(Accept); }
};

class LookupGridTest : public GridTestBase {
 protected:
  void SetUp() override {
    GridTestBase::SetUp();
    old_ticks_ = SetTickCountSource(&FakeTicks);
    list_ = new TMemDataSet(form_);
    list_->FieldDefs()->Add("ID", ftInteger);
    list_->FieldDefs()->Add("NAME", ftString, 30);
    list_->Open();
    list_->AppendRows({{1, "Иванов"}, {2, "Петров"}, {3, "Сидоров"}, {4, "apple"}, {5, "banana"}, {6, "Пётр"}});
    list_->First();
    list_src_ = new TDataSource(form_);
    list_src_->SetDataSet(list_);
    // The data rows: CODE holds the key (as ID's text in the fixture's
    // string field would not compare; ID is the key column here).
    OpenRows();
  }
  void TearDown() override {
    SetTickCountSource(old_ticks_);
    GridTestBase::TearDown();
  }
  template <class G = TDBLookupGridEh>
  G* NewLookup(bool WithData) {
    auto* g = new G(owner_ != nullptr ? static_cast<TComponent*>(owner_) : form_);
    g->AfterConstruction();
    g->SetParent(form_);
    g->SetListSource(list_src_);
    g->SetKeyFieldName("ID");
    g->SetListFieldName("NAME");
    if (WithData) {
      g->SetDataSource(src_);
      g->SetDataField("ID");
    }
    return g;
  }
  void Type(TDBLookupGridEh* G, const std::u16string& Text) {
    for (char16_t c : Text) {
      WideChar k = c;
      G->KeyPress(k);
    }
  }

  TTickCountSource old_ticks_ = nullptr;
  TMemDataSet* list_ = nullptr;
  TDataSource* list_src_ = nullptr;
  TPopupOwner* owner_ = nullptr;
};

TEST_F(LookupGridTest, KeyValueSelectsItsRowAndText) {
  TDBLookupGridEh* g = NewLookup(false);
  EXPECT_TRUE(g->ListActive());
  g->SetKeyValue(3);
  EXPECT_EQ(list_->FieldByName("ID")->AsInteger(), 3);
  EXPECT_EQ(g->Text(), "Сидоров");
  // The same key again does not move the list.
  list_->First();
  g->SetKeyValue(3);
  EXPECT_EQ(list_->FieldByName("ID")->AsInteger(), 1);
  // A key outside the list: the list goes to its first row, no text of it.
  g->SetKeyValue(99);
  EXPECT_EQ(list_->FieldByName("ID")->AsInteger(), 1);
  EXPECT_EQ(g->Text(), "Иванов");
  // Keys of the wrong shape are refused.
  EXPECT_TRUE(g->IsKeyValueValid(1));
  EXPECT_FALSE(g->IsKeyValueValid(VarArrayOf(std::vector<Variant>{1, 2})));
}

TEST_F(LookupGridTest, DataFieldFollowsTheGridAndTheGridFollowsTheField) {
  TDBLookupGridEh* g = NewLookup(true);
  ds_->First();  // ID 1
  EXPECT_EQ(g->KeyValue().AsInteger(), 1);
  EXPECT_EQ(g->Text(), "Иванов");
  ds_->Next();  // the data record's key follows into the grid
  EXPECT_EQ(g->Text(), "Петров");
  EXPECT_TRUE(g->CanModify());
  list_->Locate("ID", 5, {});
  g->SelectKeyValue(5);
  EXPECT_EQ(ds_->State(), dsEdit);
  EXPECT_EQ(ds_->FieldByName("ID")->AsInteger(), 5);
  EXPECT_EQ(g->Text(), "banana");
  ds_->Cancel();
  EXPECT_EQ(g->Text(), "Петров");
  // A read-only link cannot modify.
  g->LookupDataLink()->SetReadOnly(true);
  EXPECT_FALSE(g->CanModify());
}

TEST_F(LookupGridTest, IncrementalSearchRestartsAfterThePauseAndTakesWholeCharacters) {
  TDBLookupGridEh* g = NewLookup(false);
  Type(g, u"пе");  // Cyrillic, case-insensitive prefix
  EXPECT_EQ(g->SearchText(), "пе");
  EXPECT_EQ(g->KeyValue().AsInteger(), 2);
  g_ticks += 1500;  // within the pause: the text grows
  Type(g, u"т");
  EXPECT_EQ(g->SearchText(), "пет");
  Type(g, u"x");  // no row: the text stays
  EXPECT_EQ(g->SearchText(), "пет");
  EXPECT_EQ(g->KeyValue().AsInteger(), 2);

  g_ticks += 2500;  // "a", a pause, "b" searches "b"
  Type(g, u"a");
  EXPECT_EQ(g->KeyValue().AsInteger(), 4);
  g_ticks += 2500;
  Type(g, u"b");
  EXPECT_EQ(g->SearchText(), "b");
  EXPECT_EQ(g->KeyValue().AsInteger(), 5);

  // Backspace and Esc do not search.
  Type(g, u"\b\x1b");
  EXPECT_EQ(g->SearchText(), "b");
}

TEST_F(LookupGridTest, SpecialRowStandsForItsValueAndForKeysOutsideTheList) {
  TDBLookupGridEh* g = NewLookup(false);
  g->SpecRow()->SetCellsText("-1;(нет)");
  g->SpecRow()->SetValue(Null());
  g->SpecRow()->SetVisible(true);
  g->SetKeyValue(Null());
  EXPECT_TRUE(g->SpecRowSelected());
  EXPECT_EQ(g->Text(), "(нет)");
  g->SetKeyValue(2);
  EXPECT_FALSE(g->SpecRowSelected());
  g->SetKeyValue(77);  // not in the list
  EXPECT_TRUE(g->SpecRowSelected());

  // Up from the first row selects the special row; Down from it the first.
  g->SetKeyValue(1);
  Word key = VK_UP;
  g->KeyDown(key, {});
  EXPECT_TRUE(g->SpecRowSelected());
  EXPECT_TRUE(VarIsNull(g->KeyValue()));
  key = VK_DOWN;
  g->KeyDown(key, {});
  EXPECT_FALSE(g->SpecRowSelected());
  EXPECT_EQ(g->KeyValue().AsInteger(), 1);
  key = VK_DOWN;
  g->KeyDown(key, {});
  EXPECT_EQ(g->KeyValue().AsInteger(), 2);
  key = VK_END;
  g->KeyDown(key, {});
  EXPECT_EQ(g->KeyValue().AsInteger(), 6);
}

TEST_F(LookupGridTest, HeightIsAWholeNumberOfRows) {
  TDBLookupGridEh* g = NewLookup(false);
  struct {
    int asked, rows;
  } cases[] = {{0, 1}, {-3, 1}, {5, 5}, {150, 100}};
  for (const auto& c : cases) {
    g->SetLookupRowCount(c.asked);
    EXPECT_EQ(g->LookupRowCount(), c.rows) << c.asked;
  }
  g->SetLookupRowCount(4);
  const int h4 = g->Height();
  g->SetLookupRowCount(5);
  const int per_row = g->Height() - h4;
  EXPECT_GT(per_row, 0);
  // A height between rows is brought down to whole rows.
  g->SetBounds(0, 0, 200, h4 + per_row / 2);
  EXPECT_EQ(g->LookupRowCount(), 4);
  EXPECT_EQ(g->Height(), h4);
  // The special row adds one row's height.
  g->SpecRow()->SetVisible(true);
  EXPECT_EQ(g->Height(), h4 + g->SpecRowHeight());
}

TEST_F(LookupGridTest, AutoScrollIntervalNeverGoesBelowTenMilliseconds) {
  struct {
    int distance, interval;
  } cases[] = {{0, 200}, {1, 185}, {12, 20}, {13, 10}, {40, 10}};
  for (const auto& c : cases) EXPECT_EQ(TDBLookupGridEh::AutoScrollInterval(c.distance), c.interval) << c.distance;
}

TEST_F(LookupGridTest, OptionsMapOntoTheGridOptions) {
  TDBLookupGridEh* g = NewLookup(false);
  EXPECT_TRUE(g->Options().Contains(dgColLines));
  EXPECT_TRUE(g->Options().Contains(dgRowSelect));
  g->SetLookupOptions({dlgRowLinesEh, dlgAutoSortMarkingEh});
  EXPECT_FALSE(g->Options().Contains(dgColLines));
  EXPECT_TRUE(g->Options().Contains(dgRowLines));
  EXPECT_TRUE(g->OptionsEh().Contains(dghAutoSortMarking));
  EXPECT_FALSE(g->OptionsEh().Contains(dghMultiSortMarking));
}

TEST_F(LookupGridTest, PopupNeverTakesTheFocusAndClosesThroughItsOwner) {
  owner_ = new TPopupOwner(form_);
  auto* p = NewLookup<TPopupDataGridEh>(false);
  p->SetBounds(0, 0, 200, 150);
  EXPECT_FALSE(p->CanFocus());
  EXPECT_EQ(p->Perform(WM_MOUSEACTIVATE, 0, 0), MA_NOACTIVATE);
  ASSERT_NE(p->SizeGrip(), nullptr);
  EXPECT_EQ(p->SizeGrip()->Parent(), p);

  // A release over a data row accepts; one outside refuses.
  const int y = p->RowAtY(0) == -2 ? p->DefaultRowHeight() + 2 : 2;  // the second data row under titles
  ASSERT_GE(p->RowAtY(y), 0);
  p->MouseDown(mbLeft, {ssLeft}, 10, y);
  p->MouseUp(mbLeft, {}, 10, y);
  p->MouseDown(mbLeft, {ssLeft}, 10, y);
  p->MouseUp(mbLeft, {}, 10, p->ClientHeight() + 40);
  EXPECT_EQ(owner_->closes, (std::vector<bool>{true, false}));
  // A release without a press inside does nothing.
  p->MouseUp(mbLeft, {}, 10, y);
  EXPECT_EQ(owner_->closes.size(), 2u);
}

TEST_F(LookupGridTest, ColumnsDropDownGridComesFromTheFactory) {
  RegisterLookupGridFactoryEh();  // as the grid unit's start installs it
  TCustomDBGridEh* grid = NewGrid();
  TColumnEh* col = grid->Columns()->Items(0);
  auto* popup = dynamic_cast<TPopupDataGridEh*>(col->GetLookupGrid());
  ASSERT_NE(popup, nullptr);
  col->SetOptions({dlgRowLinesEh});
  EXPECT_EQ(col->GetOptions(), TDBLookupGridEhOptions{dlgRowLinesEh});
  EXPECT_TRUE(popup->Options().Contains(dgRowLines));
  ASSERT_GT(popup->Columns()->Count(), -1);
  EXPECT_NE(dynamic_cast<TDBLookupGridColumnEh*>(popup->Columns()->Add()), nullptr);
}

TEST_F(LookupGridTest, FreedSourcesAreForgotten) {
  TDBLookupGridEh* g = NewLookup(true);
  delete src_;
  src_ = nullptr;
  EXPECT_EQ(g->DataSource(), nullptr);
  EXPECT_TRUE(g->DataFields().empty());
  delete list_src_;
  list_src_ = nullptr;
  EXPECT_EQ(g->ListSource(), nullptr);
  EXPECT_FALSE(g->ListActive());
  g->SetKeyValue(2);  // no list: nothing to locate, no crash
  EXPECT_EQ(g->Text(), "");
}

TEST_F(LookupGridTest, LookupFieldDefinesTheList) {
  // A data set with a lookup field NAME_L: KEY -> list ID / NAME.
  auto* data = new TMemDataSet(form_);
  data->FieldDefs()->Add("KEY", ftInteger);
  auto* key = new TIntegerField(data);
  key->SetFieldName("KEY");
  key->SetDataSet(data);
  auto* lf = new TStringField(data);
  lf->SetFieldName("NAME_L");
  lf->SetLookup(true);
  lf->SetKeyFields("KEY");
  lf->SetLookupDataSet(list_);
  lf->SetLookupKeyFields("ID");
  lf->SetLookupResultField("NAME");
  lf->SetDataSet(data);
  data->Open();
  data->AppendRows({{3}});
  auto* src = new TDataSource(form_);
  src->SetDataSet(data);
  auto* g = new TDBLookupGridEh(form_);
  g->AfterConstruction();
  g->SetDataSource(src);
  g->SetDataField("NAME_L");
  EXPECT_TRUE(g->LookupMode());
  EXPECT_EQ(g->KeyFieldName(), "ID");
  EXPECT_EQ(g->Text(), "Сидоров");
  EXPECT_THROW(g->SetKeyFieldName("NAME"), EDatabaseError);
  EXPECT_THROW(g->SetListSource(list_src_), EDatabaseError);
}

}  // namespace
