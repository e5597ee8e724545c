// The grid object: defaults and the base-option mapping, lifetimes of the
// grid and its data source, the update and layout locks with the deferred
// layout, the field map, the editing gates, column widths, the data link's
// own rules, the style, the routines and the unit's images and cursors.
#include <gtest/gtest.h>

#include <vector>

#include "grid/datagrid/DBGridEh.h"
#include "platform/gui/Cursors.h"
#include "tests/grid/datagrid/GridFixture.h"

namespace {

using GridTest = GridTestBase;

int QueuedDeferLayouts(HWND Wnd) {
  // Counts by taking them out and posting them back.
  std::vector<TMsg> taken;
  TMsg m;
  while (PeekMessage(m, Wnd, WM_DEFERLAYOUTEH, WM_DEFERLAYOUTEH, PM_REMOVE)) taken.push_back(m);
  for (const TMsg& t : taken) PostMessage(t.hwnd, t.message, t.wParam, t.lParam);
  return static_cast<int>(taken.size());
}

TEST_F(GridTest, DefaultsOfANewGrid) {
  TCustomDBGridEh* g = NewGrid(false);
  EXPECT_EQ(g->Options().ToBits(), 0x0CFDu);
  EXPECT_EQ(g->OptionsEh().ToBits(), 0x10061u);
  EXPECT_EQ(g->AllowedSelections().ToBits(), 30u);
  EXPECT_EQ(g->AllowedOperations().ToBits(), 15u);
  EXPECT_TRUE(g->EditActions().Empty());
  EXPECT_EQ(g->TCustomGrid::Options(), (TGridOptions{goFixedVertLine, goFixedHorzLine, goVertLine, goHorzLine,
                                                      goColSizing, goColMoving, goEditing, goTabs}));
  EXPECT_EQ(g->TCustomGrid::Options(), DBGridOptionsToGridOptions(g->Options(), false));
  EXPECT_EQ(g->Color(), clWindow);
  EXPECT_EQ(g->FooterColor(), clWindow);
  EXPECT_FALSE(g->ParentColor());
  EXPECT_EQ(g->VTitleMargin(), 10);
  EXPECT_EQ(g->TitlePadding(), 4);
  EXPECT_EQ(g->ScrollBars(), ssHorizontal);
  EXPECT_EQ(g->Style(), DBGridEhDefaultStyle());
  EXPECT_EQ(g->HeadTree()->Text(), "Root");
  EXPECT_EQ(g->IndicatorOffset(), 1);
  EXPECT_EQ(g->TitleOffset(), 1);
  EXPECT_FALSE(g->SumList()->Active());
  EXPECT_TRUE(g->SumList()->DesignTimeWork());
  EXPECT_TRUE(g->DefaultDrawing());
  EXPECT_EQ(g->ColumnDefValues()->Layout(), tlTop);
  EXPECT_EQ(g->Columns()->State(), csDefault);
}

TEST_F(GridTest, OptionsMapOntoTheBaseGrid) {
  struct Case {
    TDBGridOptions options;
    bool row_sizing;
    TGridOptions base;
  } cases[] = {
      {{}, false, {}},
      {{}, true, {goRowSizing}},
      {{dgColLines}, false, {goFixedVertLine, goVertLine}},
      {{dgRowLines}, false, {goFixedHorzLine, goHorzLine}},
      {{dgColumnResize}, false, {goColSizing, goColMoving}},
      {{dgTabs, dgEditing, dgAlwaysShowEditor}, false, {goTabs, goEditing, goAlwaysShowEditor}},
      {{dgRowSelect, dgEditing, dgAlwaysShowEditor}, false, {goRowSelect}},
      {{dgTitles, dgIndicator, dgMultiSelect, dgConfirmDelete}, false, {}},
  };
  TCustomDBGridEh* g = NewGrid(false);
  for (const Case& k : cases) {
    SCOPED_TRACE(k.options.ToBits());
    EXPECT_EQ(DBGridOptionsToGridOptions(k.options, k.row_sizing), k.base);
    g->SetRowSizingAllowed(k.row_sizing);
    g->SetOptions(k.options);
    EXPECT_EQ(g->TCustomGrid::Options(), k.base);
  }
  g->SetOptions({dgRowSelect, dgEditing, dgAlwaysShowEditor, dgTitles});
  EXPECT_EQ(g->Options(), (TDBGridOptions{dgRowSelect, dgTitles}));
  // Titles and the indicator change the offsets through the layout.
  g->SetOptions({});
  EXPECT_EQ(g->IndicatorOffset(), 0);
  EXPECT_EQ(g->TitleOffset(), 0);
}

TEST_F(GridTest, GridsAndTheirDataSourcesFreeInEitherOrder) {
  OpenRows();
  const int refs = DBGridEhDrawBitmapRefCount();
  auto make = [this] {
    TCustomDBGridEh* g = NewGrid();
    g->SetFooterRowCount(1);
    TColumnEh* c = g->Columns()->Add();
    c->SetFieldName("AMOUNT");
    c->Footer()->SetValueType(fvtSum);
    c->Footers()->Add()->SetValueType(fvtCount);
    g->Columns()->Add()->SetFieldName("NAME");
    g->Handle();
    return g;
  };
  // Free the grid first.
  delete make();
  EXPECT_EQ(DBGridEhDrawBitmapRefCount(), refs);
  // Free the data source first.
  TCustomDBGridEh* g = make();
  EXPECT_EQ(DBGridEhDrawBitmapRefCount(), refs + 1);
  EXPECT_NE(DBGridEhDrawBitmap(), nullptr);
  delete src_;
  src_ = nullptr;
  EXPECT_EQ(g->DataSource(), nullptr);
  EXPECT_FALSE(g->DataLink()->Active());
  EXPECT_EQ(g->Columns()->Items(0)->Field(), nullptr);
  g->LayoutChanged();
  delete g;
  // Free the dataset first (the data source stays).
  src_ = new TDataSource(form_);
  src_->SetDataSet(ds_);
  g = make();
  EXPECT_EQ(g->SumList()->DataSet(), ds_);
  delete ds_;
  ds_ = nullptr;
  EXPECT_FALSE(g->DataLink()->Active());
  EXPECT_EQ(g->SumList()->DataSet(), nullptr);
  EXPECT_EQ(g->Columns()->Items(0)->Field(), nullptr);
  g->Columns()->Items(1)->SetFieldName("ID");
  delete g;
  // A grid without window or source.
  delete new TCustomDBGridEh(nullptr);
  EXPECT_EQ(DBGridEhDrawBitmapRefCount(), refs);
}

TEST_F(GridTest, DeferredLayoutsQueueOneMessage) {
  TCustomDBGridEh* g = NewGrid(false);
  HWND wnd = g->Handle();
  Application->ProcessMessages();
  g->DeferLayout();
  g->DeferLayout();
  EXPECT_EQ(QueuedDeferLayouts(wnd), 1);
  const int before = g->LayoutCount();
  Application->ProcessMessages();
  EXPECT_EQ(QueuedDeferLayouts(wnd), 0);
  EXPECT_EQ(g->LayoutCount(), before + 1);
  EXPECT_EQ(g->UpdateLock(), 0);
  EXPECT_EQ(g->LayoutLock(), 0);
}

TEST_F(GridTest, ALayoutInsideAnUpdateRunsOnceAfterIt) {
  TCustomDBGridEh* g = NewGrid(false);
  g->Handle();
  const int before = g->LayoutCount();
  g->BeginUpdate();
  g->BeginUpdate();
  g->LayoutChanged();
  g->SetTitleHeight(5);
  EXPECT_FALSE(g->AcquireLayoutLock());
  EXPECT_EQ(g->LayoutCount(), before);
  g->EndUpdate();
  EXPECT_EQ(g->LayoutCount(), before);
  g->EndUpdate();
  EXPECT_EQ(g->LayoutCount(), before + 1);
  g->EndUpdate();  // below 0 is ignored
  EXPECT_EQ(g->UpdateLock(), 0);
  g->LayoutChanged();
  EXPECT_EQ(g->LayoutCount(), before + 2);
}

TEST_F(GridTest, TheDeferredLayoutLeavesAHeldLockToItsOwner) {
  TCustomDBGridEh* g = NewGrid(false);
  HWND wnd = g->Handle();
  Application->ProcessMessages();
  const int before = g->LayoutCount();
  g->BeginUpdate();  // a host's block that spans a message-loop pass
  g->DeferLayout();
  Application->ProcessMessages();
  EXPECT_EQ(g->UpdateLock(), 1);
  EXPECT_EQ(QueuedDeferLayouts(wnd), 0);  // not posted again
  Application->ProcessMessages();
  EXPECT_EQ(g->LayoutCount(), before);
  g->BeginLayout();  // the layout lock held as well
  g->DeferLayout();
  Application->ProcessMessages();
  EXPECT_EQ(g->LayoutLock(), 1);
  EXPECT_EQ(g->UpdateLock(), 2);
  g->CancelLayout();
  EXPECT_EQ(g->UpdateLock(), 1);
  g->EndUpdate();
  EXPECT_EQ(g->LayoutCount(), before + 1);
  EXPECT_EQ(QueuedDeferLayouts(wnd), 0);
}

TEST_F(GridTest, DefaultColumnsFollowTheFieldsAndCustomizedKeepTheirOrder) {
  OpenRows();
  TCustomDBGridEh* g = NewGrid();
  ASSERT_EQ(g->Columns()->Count(), 5);
  EXPECT_EQ(g->Columns()->State(), csDefault);
  EXPECT_EQ(g->ColCount(), 6);
  EXPECT_FALSE(g->DataLink()->SparseMap());
  ds_->FieldByName("NAME")->SetVisible(false);
  ASSERT_EQ(g->Columns()->Count(), 4);
  EXPECT_EQ(g->FieldCount(), 4);
  EXPECT_EQ(g->Columns()->Items(1)->FieldName(), "AMOUNT");
  for (int i = 0; i < 4; ++i) EXPECT_EQ(g->Columns()->Items(i)->Field(), g->DataLink()->Fields(i));
  ds_->FieldByName("NAME")->SetVisible(true);
  EXPECT_EQ(g->Columns()->Items(1)->FieldName(), "NAME");

  // Customized columns: the map follows them, missing fields included.
  g->Columns()->Clear();
  for (const char* name : {"CODE", "ID", "MISSING"}) g->Columns()->Add()->SetFieldName(name);
  EXPECT_EQ(g->Columns()->State(), csCustomized);
  ASSERT_EQ(g->FieldCount(), 3);
  EXPECT_TRUE(g->DataLink()->SparseMap());
  EXPECT_EQ(g->DataLink()->MapEntry(0), ds_->FieldByName("CODE")->Index());
  EXPECT_EQ(g->DataLink()->MapEntry(2), -1);
  EXPECT_EQ(g->DataLink()->Fields(2), nullptr);
  EXPECT_FALSE(g->DataLink()->DefaultFields());
  ds_->Close();
  ds_->Open();
  ASSERT_EQ(g->Columns()->Count(), 3);
  EXPECT_EQ(g->Columns()->Items(0)->FieldName(), "CODE");
  EXPECT_EQ(g->Columns()->Items(1)->Field(), ds_->FieldByName("ID"));
  EXPECT_EQ(g->ColCount(), 4);
  // Back to default columns.
  g->Columns()->SetState(csDefault);
  EXPECT_EQ(g->Columns()->Count(), 5);
  EXPECT_EQ(g->Columns()->State(), csDefault);
}

TEST_F(GridTest, TheFieldMapGrowsAndAnswersNilOutside) {
  OpenRows();
  TGridDataLinkEh link(nullptr);
  link.SetDataSource(src_);
  link.SetSparseMap(true);
  EXPECT_EQ(link.MapCapacity(), 0);
  link.AddMapping("ID");
  EXPECT_EQ(link.MapCapacity(), 8);
  for (int i = 1; i < 8; ++i) link.AddMapping(i % 2 ? "NAME" : "NOPE");
  EXPECT_EQ(link.MapCapacity(), 8);
  link.AddMapping("CODE");
  EXPECT_EQ(link.MapCapacity(), 16);
  EXPECT_EQ(link.FieldCount(), 9);
  EXPECT_EQ(link.Fields(-1), nullptr);
  EXPECT_EQ(link.Fields(9), nullptr);
  EXPECT_EQ(link.Fields(2), nullptr);
  EXPECT_EQ(link.Fields(8), ds_->FieldByName("CODE"));
  link.SetSparseMap(false);
  EXPECT_THROW(link.AddMapping("NOPE"), EDatabaseError);
  link.ClearMapping();
  EXPECT_EQ(link.FieldCount(), 0);
  EXPECT_EQ(link.MapCapacity(), 0);
  link.SetDataSource(nullptr);
}

TEST_F(GridTest, UpdateDataRunsOnceAndResetUndoesThenCancels) {
  OpenRows();
  auto* g = new TRecordingGrid(form_);
  g->SetParent(form_);
  g->SetDataSource(src_);
  g->Handle();
  TGridDataLinkEh* link = g->DataLink();
  // Not modified: nothing written.
  ds_->Edit();
  ds_->Post();
  EXPECT_EQ(std::count(g->calls.begin(), g->calls.end(), "UpdateData"), 0);
  // Modified: written once, also when the write posts again.
  ds_->Edit();
  link->Modified();
  g->on_update_data = [&] { link->UpdateDataNow(); };
  ds_->Post();
  EXPECT_EQ(std::count(g->calls.begin(), g->calls.end(), "UpdateData"), 1);
  EXPECT_FALSE(link->IsModified());
  // A failing write keeps the flag for the next try.
  ds_->Edit();
  link->Modified();
  g->on_update_data = [] { throw Exception("write failed"); };
  EXPECT_THROW(link->UpdateDataNow(), Exception);
  EXPECT_TRUE(link->IsModified());
  EXPECT_FALSE(link->InUpdateData());
  g->on_update_data = nullptr;
  // Reset: the first undoes the editor, the second cancels the record.
  g->calls.clear();
  link->Reset();
  EXPECT_EQ(ds_->State(), dsEdit);
  EXPECT_FALSE(link->IsModified());
  EXPECT_EQ(g->calls, std::vector<String>{"RecordChanged(nil)"});
  link->Reset();
  EXPECT_EQ(ds_->State(), dsBrowse);
}

TEST_F(GridTest, EditingGates) {
  OpenRows();
  TCustomDBGridEh* g = NewGrid();
  g->Handle();
  g->SetSelectedIndex(1);  // NAME
  EXPECT_TRUE(g->CanEditModify());
  EXPECT_EQ(ds_->State(), dsEdit);
  ds_->Cancel();
  EXPECT_TRUE(g->CanEditAcceptKey(u'ж'));
  g->SetSelectedIndex(0);  // ID: digits only
  EXPECT_FALSE(g->CanEditAcceptKey(u'x'));
  EXPECT_TRUE(g->CanEditAcceptKey(u'7'));
  g->SetSelectedIndex(3);  // FLAG: check boxes
  EXPECT_FALSE(g->CanEditModify());
  g->SetOptions(g->Options() + TDBGridOptions{dgAlwaysShowEditor});
  g->SetSelectedIndex(1);
  g->SetEditorMode(true);
  EXPECT_TRUE(g->CanEditShow());
  g->BeginLayout();
  EXPECT_FALSE(g->CanEditShow());
  g->CancelLayout();
  g->SetSelectedIndex(3);
  g->SetEditorMode(true);
  EXPECT_FALSE(g->CanEditShow());
  EXPECT_FALSE(g->EditorMode());
  g->SetSelectedIndex(1);
  g->SetReadOnly(true);
  EXPECT_FALSE(g->CanEditModify());
  g->SetReadOnly(false);
  ds_->SetReadOnly(true);
  EXPECT_FALSE(g->CanEditModify());
  EXPECT_EQ(ds_->State(), dsBrowse);
}

TEST_F(GridTest, ResizedColumnsKeepTheirLimits) {
  OpenRows();
  TCustomDBGridEh* g = NewGrid();
  g->Handle();
  TColumnEh* c = g->Columns()->Add();
  c->SetFieldName("NAME");
  c->SetMaxWidth(50);
  c->SetMinWidth(20);
  int changed = 0;
  g->SetOnColWidthsChanged([&](TObject*) { ++changed; });
  g->SetColWidths(1, 200);
  EXPECT_EQ(c->Width(), 50);
  EXPECT_EQ(g->ColWidths(1), 50);
  g->SetColWidths(1, 5);
  EXPECT_EQ(c->Width(), 20);
  c->SetMinWidth(0);
  g->SetColWidths(1, 5);
  EXPECT_EQ(c->Width(), 5);
  EXPECT_GT(changed, 0);
}

TEST_F(GridTest, StyleColoursAndGrids) {
  struct Case {
    TColor color, target;
    bool darken;
    int32_t rgb;
  } cases[] = {
      {clBlack, clBlack, false, 0x878787},               // 135 per channel
      {static_cast<TColor>(0xFFFFFF), static_cast<TColor>(0x800000), false, 0xD4BABA},
      {static_cast<TColor>(0xFFFFFF), static_cast<TColor>(0xFFFFFF), false, 0xEDEDED},
      {static_cast<TColor>(0xFFFFFF), static_cast<TColor>(0xFFFFFF), true, 0xFFFFFF},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.rgb);
    EXPECT_EQ(ColorToRGB(BlendColor(k.color, k.target, k.darken)), k.rgb);
  }
  // A style of three grids: freeing it leaves them on the default style.
  auto* style = new TDBGridEhStyle();
  std::vector<TCustomDBGridEh*> grids;
  for (int i = 0; i < 3; ++i) {
    grids.push_back(NewGrid(false));
    grids.back()->SetStyle(style);
  }
  EXPECT_EQ(style->GridCount(), 3);
  EXPECT_EQ(DBGridEhDefaultStyle()->HasGrid(grids[0]), false);
  delete style;
  for (TCustomDBGridEh* g : grids) {
    EXPECT_EQ(g->Style(), DBGridEhDefaultStyle());
    EXPECT_TRUE(DBGridEhDefaultStyle()->HasGrid(g));
  }
  delete grids[0];
  EXPECT_FALSE(DBGridEhDefaultStyle()->HasGrid(grids[0]));
  // Palette displays are never blended.
  OpenRows();
  TCustomDBGridEh* g = NewGrid();
  TDBGridEhStyle palette;
  palette.SetNumColors(256);
  g->SetOptions(g->Options() + TDBGridOptions{dgAlwaysShowSelection});
  TColor bk = clWindow;
  TFont font;
  EXPECT_TRUE(palette.GetDataCellHighlight(g, 2, g->Row() + 1, 1, 1, {gdSelected}, bk, &font));
  EXPECT_EQ(bk, clBtnFace);  // the grid has no focus
  EXPECT_FALSE(palette.GetDataCellHighlight(g, 2, 1, 1, 1, {}, bk, &font));
  bk = clWindow;
  EXPECT_TRUE(palette.GetFixedCellHighlight(g, 0, 0, 0, 0, true, 0, 0, bk, &font));
  EXPECT_EQ(bk, static_cast<TColor>(0x404040));
  EXPECT_EQ(font.Color(), static_cast<TColor>(0xFFFFFF));
  EXPECT_FALSE(palette.GetFixedCellHighlight(g, 0, 0, 0, 0, false, 0, 0, bk, &font));
  // WM_SYSCOLORCHANGE reads the colour count again.
  palette.SetNumColors(16);
  SendMessage(palette.Handle(), WM_SYSCOLORCHANGE, 0, 0);
  EXPECT_EQ(palette.NumColors(), -1);
}

TEST_F(GridTest, Routines) {
  TStringList items;
  items.SetText("abc\nАбв\nab");
  EXPECT_EQ(FindListItem(&items, "", {loCaseInsensitive, loPartialKey}), 0);
  EXPECT_EQ(FindListItem(&items, "ABC", {}), 0);
  EXPECT_EQ(FindListItem(&items, "аБВ", {loCaseInsensitive}), 1);
  EXPECT_EQ(FindListItem(&items, "аб", {loPartialKey}), 1);
  EXPECT_EQ(FindListItem(&items, "x", {loPartialKey}), -1);
  TRect r{10, 20, 40, 30};
  SwapRectSize(r);
  EXPECT_EQ(r, (TRect{10, 20, 20, 50}));
  EXPECT_TRUE(PointInRectEh(10, 50, r));
  EXPECT_FALSE(PointInRectEh(21, 50, r));
  int w = 0, h = 0;
  EXPECT_TRUE(CellTextExceeds(form_, 5, 0, "wide text", TRect{0, 0, 3, 20}, false, w, h));
  EXPECT_GT(w, 1);
  EXPECT_FALSE(CellTextExceeds(form_, 0, 0, "a", TRect{0, 0, 200, 40}, false, w, h));
  EXPECT_THROW(RaiseGridError("x"), EInvalidGridOperation);
  EXPECT_TRUE(FieldsCanModify({}));
}

TEST_F(GridTest, TheUnitLoadsImagesCursorsAndShortcuts) {
  ASSERT_NE(DBGridEhIndicators(), nullptr);
  EXPECT_EQ(DBGridEhIndicators()->Count(), 7);
  EXPECT_EQ(DBGridEhIndicators()->Width(), 6);
  EXPECT_EQ(DBGridEhIndicators()->Height(), 11);
  AddComposedArrowEh();
  AddComposedArrowEh();
  EXPECT_EQ(DBGridEhIndicators()->Count(), 7);
  ASSERT_NE(DBGridEhSortMarkerImages(), nullptr);
  EXPECT_EQ(DBGridEhSortMarkerImages()->Count(), 2);
  EXPECT_EQ(DBGridEhSortMarkerImages()->Width(), 10);
  EXPECT_EQ(DBGridEhSortIndexFont()->Name(), "Arial");
  EXPECT_EQ(DBGridEhSortIndexFont()->Height(), 1 - 9);
  for (TCursor c : {crDownCurEh, crRightCurEh, crLeftCurEh})
    EXPECT_NE(Screen->Cursors(c), Screen->Cursors(crDefault));
  EXPECT_EQ(DBGridEhShortCuts().FindDialog, ShortCut('F', TShiftState{ssCtrl}));
  EXPECT_EQ(DBGridEhShortCuts().CtrlQuote, ShortCut(222, TShiftState{ssCtrl}));
  EXPECT_EQ(DBGridEhInplaceSearchTimeOut, 1500);
  EXPECT_EQ(DBGridEhInplaceSearchColor, static_cast<TColor>(0x00FFFF));
  EXPECT_NE(DBGridEhPaintCellParams(), nullptr);
}

// A drop-down grid made for the test: a plain grid whose lookup options
// live beside it.
TDBLookupGridEhOptions g_options_of_test_grid;
TEST_F(GridTest, DropDownBoxSettingsReachTheColumnsLookupGrid) {
  TDBGridColumnsEh loose(nullptr, CollectionItemFactory<TDBGridColumnEh>);
  TColumnEh* bare = loose.Add();
  // Without a factory the forwarded settings are inert.
  SetColumnDropDownGridFactoryEh(TColumnDropDownGridFactoryEh());
  EXPECT_EQ(bare->DropDownBox()->Columns(), nullptr);
  EXPECT_EQ(bare->DropDownBox()->ColumnDefValues(), nullptr);
  bare->DropDownBox()->SetOptions({dlgRowLinesEh});

  TColumnDropDownGridFactoryEh f;
  f.Create = [](TColumnEh*) { return new TCustomDBGridEh(nullptr); };
  f.GetOptions = [](TCustomDBGridEh*) { return g_options_of_test_grid; };
  f.SetOptions = [](TCustomDBGridEh*, TDBLookupGridEhOptions V) { g_options_of_test_grid = V; };
  SetColumnDropDownGridFactoryEh(f);
  TColumnEh* a = loose.Add();
  TColumnEh* b = loose.Add();
  a->DropDownBox()->Columns()->Add()->SetFieldName("X");
  a->DropDownBox()->SetOptions({dlgColumnResizeEh});
  EXPECT_EQ(a->DropDownBox()->Options(), (TDBLookupGridEhOptions{dlgColumnResizeEh}));
  EXPECT_TRUE(a->DropDownBox()->IsColumnsStored());
  b->DropDownBox()->Assign(a->DropDownBox());
  ASSERT_EQ(b->DropDownBox()->Columns()->Count(), 1);
  EXPECT_EQ(b->DropDownBox()->Columns()->Items(0)->FieldName(), "X");
  // A source with default columns clears the target's columns.
  TColumnEh* c = loose.Add();
  c->DropDownBox()->Columns();
  b->DropDownBox()->Assign(c->DropDownBox());
  EXPECT_EQ(b->DropDownBox()->Columns()->State(), csDefault);
  EXPECT_FALSE(b->DropDownBox()->IsColumnsStored());
  for (int i = 0; i < b->DropDownBox()->Columns()->Count(); ++i)
    EXPECT_EQ(b->DropDownBox()->Columns()->Items(i)->FieldName(), "");
  // A list source that is freed is let go.
  OpenRows();
  TCustomDBGridEh* g = NewGrid();
  TColumnEh* gc = g->Columns()->Add();
  auto* list = new TDataSource(form_);
  gc->DropDownBox()->SetListSource(list);
  delete list;
  EXPECT_EQ(gc->DropDownBox()->ListSource(), nullptr);
  RegisterLookupGridFactoryEh();  // the grid unit's own factory again
}

}  // namespace
