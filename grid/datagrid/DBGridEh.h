// DBGridEh: the data-aware grid.
//
//  - TCustomDBGridEh: a TCustomGrid that shows the records of a data source
//    as rows and a collection of TColumnEh as columns, behind an indicator
//    column and title rows. Layout runs under two locks: BeginUpdate /
//    EndUpdate and AcquireLayoutLock / EndLayout; only the outermost
//    EndLayout lays out. A layout asked for while the update lock is held
//    (LayoutChanged, or the deferred-layout message WM_USER+100 arriving
//    then) is remembered and runs once at the outermost EndUpdate; the
//    message handler never changes a counter it did not raise and never
//    posts itself again.
//  - Columns (TColumnEh / TDBGridColumnEh) bind a field by name. Most look
//    settings are assigned values: a bit in the column's assigned set says
//    it was written; until then the getter answers the field's, the grid's
//    or the grid's ColumnDefValues setting. Columns, titles and footers are
//    streamed (TDBGridColumnsEh::SaveToStream / LoadFromStream, and the
//    grid's defined property "Columns") with only the assigned values.
//  - Footers (TColumnFooterEh) keep a sum item in the grid's SumList
//    (TDBGridEhSumList, a TDBSumListProducer) while their ValueType is an
//    aggregate.
//  - TGridDataLinkEh turns each dataset notification into one grid call and
//    keeps the field map (data column -> field index).
//  - TDBGridEhStyle decides the colours of highlighted cells; one default
//    style serves every grid that has none of its own.
//  - TColumnDropDownBoxEh: the settings of a column's drop-down lookup grid,
//    forwarded to that grid through IColumnDropDownBoxOwnerEh. The grid
//    itself comes from a factory that the lookup-grid unit registers
//    (SetColumnDropDownGridFactoryEh); without one the forwarded settings
//    are inert.
//
// Several owned objects (selection, bookmark list, header tree, filter row
// settings, scroll-bar settings, cell parameters) hold here only the data
// that construction, streaming and the defaults need.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "grid/datagrid/DbUtilsEh.h"
#include "grid/toolkit/DBCtrlsEh.h"
#include "grid/toolkit/DBSumLst.h"
#include "grid/toolkit/PropFilerEh.h"
#include "grid/toolkit/ToolCtrlsEh.h"
#include "platform/db/DB.h"
#include "platform/gui/DBCtrls.h"
#include "platform/gui/Grids.h"
#include "platform/gui/Hints.h"
#include "platform/gui/ImgList.h"
#include "platform/gui/Menus.h"
#include "platform/gui/ScrollBars.h"
#include "platform/rtl/Collection.h"
#include "platform/rtl/Interfaces.h"
#include "platform/rtl/StringList.h"
#include "platform/rtl/Streams.h"
#include "platform/rtl/UnitInit.h"

class TCustomDBGridEh;
class TColumnEh;
class TDBGridColumnsEh;
class TColumnDefValuesEh;
class TGridDataLinkEh;
class TDBGridEhStyle;
class TDBGridInplaceEdit;
class TPopupCalculatorEh;
class TToolTipsWindow;

// ---------------------------------------------------------------------------
// Enumerations and sets

RTL_ENUM(TDBGridOption, dgEditing, dgAlwaysShowEditor, dgTitles, dgIndicator, dgColumnResize, dgColLines,
         dgRowLines, dgTabs, dgRowSelect, dgAlwaysShowSelection, dgConfirmDelete, dgCancelOnExit, dgMultiSelect);
using TDBGridOptions = Set<TDBGridOption>;
RTL_ENUM(TDBGridEhOption, dghFixed3D, dghFrozen3D, dghFooter3D, dghData3D, dghResizeWholeRightPart,
         dghHighlightFocus, dghClearSelection, dghFitRowHeightToText, dghAutoSortMarking, dghMultiSortMarking,
         dghEnterAsTab, dghTraceColSizing, dghIncSearch, dghPreferIncSearch, dghRowHighlight,
         dghDblClickOptimizeColWidth, dghDialogFind);
using TDBGridEhOptions = Set<TDBGridEhOption>;
RTL_ENUM(TDBGridEhAllowedOperation, alopInsertEh, alopUpdateEh, alopDeleteEh, alopAppendEh);
using TDBGridEhAllowedOperations = Set<TDBGridEhAllowedOperation>;
RTL_ENUM(TDBGridEhSelectionType, gstNon, gstRecordBookmarks, gstRectangle, gstColumns, gstAll);
using TDBGridEhAllowedSelections = Set<TDBGridEhSelectionType>;
RTL_ENUM(TDBGridEhEditAction, geaCutEh, geaCopyEh, geaPasteEh, geaDeleteEh, geaSelectAllEh);
using TDBGridEhEditActions = Set<TDBGridEhEditAction>;
RTL_ENUM(TColumnButtonStyleEh, cbsAuto, cbsEllipsis, cbsNone, cbsUpDown, cbsDropDown);
RTL_ENUM(TTextOrientationEh, tohHorizontal, tohVertical);
RTL_ENUM(TSortMarkerEh, smNoneEh, smDownEh, smUpEh);
RTL_ENUM(TColumnCellKindEh, cckPlain, cckCheckBoxes, cckLookup, cckPickList, cckKeyPickList, cckKeyImageList);
RTL_ENUM(TFooterValueType, fvtNon, fvtSum, fvtAvg, fvtCount, fvtFieldValue, fvtStaticText);
// Edit kinds of a column: the in-place editor's, and the cell button's.
enum TInplaceEditKindEh : uint8_t { ekPlain, ekEllipsis, ekPickList, ekLookupList, ekCalendar, ekUpDown, ekCalculator };
// The edit kind of Column in Grid (Designing: the grid is being designed).
TInplaceEditKindEh ColumnEditKindEh(TCustomDBGridEh* Grid, TColumnEh* Column, bool Designing);
RTL_ENUM(TDBLookupGridEhOption, dlgColumnResizeEh, dlgColLinesEh, dlgRowLinesEh, dlgAutoSortMarkingEh,
         dlgMultiSortMarkingEh);
using TDBLookupGridEhOptions = Set<TDBLookupGridEhOption>;

// Defaults of a new grid.
inline constexpr TDBGridOptions kDefaultDBGridOptions{dgEditing,  dgTitles, dgIndicator,     dgColumnResize, dgColLines,
                                                       dgRowLines, dgTabs,   dgConfirmDelete, dgCancelOnExit};
inline constexpr TDBGridEhOptions kDefaultDBGridEhOptions{dghFixed3D, dghHighlightFocus, dghClearSelection,
                                                           dghDialogFind};

// The grid's deferred-layout message to its own window.
inline constexpr Cardinal WM_DEFERLAYOUTEH = WM_USER + 100;

// The base grid options that a value of Options (with RowSizingAllowed)
// gives, and the value itself as the grid stores it (dgRowSelect takes out
// dgEditing and dgAlwaysShowEditor).
TGridOptions DBGridOptionsToGridOptions(TDBGridOptions Value, bool RowSizingAllowed);
TDBGridOptions NormalizeDBGridOptions(TDBGridOptions Value);

// ---------------------------------------------------------------------------
// Events

using TDBGridEhClickEvent = Event<void(TColumnEh* Column)>;
using TCheckTitleEhBtnEvent = Event<void(TObject* Sender, int ACol, TColumnEh* Column, bool& Enabled)>;
using TMovedEvent = Event<void(TObject* Sender, int FromIndex, int ToIndex)>;
using TDrawColumnEhCellEvent =
    Event<void(TObject* Sender, const TRect& Rect, int DataCol, TColumnEh* Column, TGridDrawState State)>;
using TDrawDataCellEvent = Event<void(TObject* Sender, const TRect& Rect, TField* Field, TGridDrawState State)>;
using TDrawFooterCellEvent =
    Event<void(TObject* Sender, int DataCol, int Row, TColumnEh* Column, const TRect& Rect, TGridDrawState State)>;
using TGetBtnEhParamsEvent = Event<void(TObject* Sender, TColumnEh* Column, TFont* AFont, TColor& Background,
                                        TSortMarkerEh& SortMarker, bool IsDown)>;
using TGetCellEhParamsEvent =
    Event<void(TObject* Sender, TColumnEh* Column, TFont* AFont, TColor& Background, TGridDrawState State)>;
using TGetFooterParamsEvent =
    Event<void(TObject* Sender, int DataCol, int Row, TColumnEh* Column, TFont* AFont, TColor& Background,
               TAlignment& Alignment, TGridDrawState State, String& Text)>;
using TTitleEhClickEvent = Event<void(TObject* Sender, int ACol, TColumnEh* Column)>;

class TColCellParamsEh;
using TOnColumnCheckDrawRequiredStateEventEh = Event<void(TObject* Sender, const String& Text, bool& DrawState)>;
using TGetColCellParamsEventEh = Event<void(TObject* Sender, bool EditMode, TColCellParamsEh* Params)>;
using TColCellUpdateDataEventEh =
    Event<void(TObject* Sender, String& Text, Variant& Value, bool& UseText, bool& Handled)>;

// ---------------------------------------------------------------------------
// Data parts of objects whose behaviour comes with later units

// The bookmarks of the selected records, kept in the dataset's order so that
// a lookup is a binary search; the last lookup is cached until the list
// changes.
class TBookmarkListEh : public TObject {
 public:
  explicit TBookmarkListEh(TCustomDBGridEh* Grid);
  ~TBookmarkListEh() override;
  int Count() const { return list_->Count(); }
  TBookmark Items(int Index) const { return list_->Strings(Index); }
  // Where Bookmark is (true) or would be inserted.
  bool Find(const TBookmark& Bookmark, int& Index);
  int IndexOf(const TBookmark& Bookmark);
  bool Contains(const TBookmark& Bookmark) { return IndexOf(Bookmark) >= 0; }
  bool CurrentRowSelected();
  void SetCurrentRowSelected(bool Value);
  void Clear();
  // Deletes the selected records from the dataset, last first.
  void Delete();
  void LinkActive(bool Value);
  bool Linked() const { return linked_; }
  // Grid rectangle of the visible selected rows; (-1,-1,-1,-1) without any.
  TRect SelectionRect();
  int Compare(const TBookmark& Bookmark1, const TBookmark& Bookmark2);
  TCustomDBGridEh* Grid() const { return grid_; }
  // Whether the last lookup is still cached (for tests of the cache).
  bool CacheValid() const { return cache_index_ >= 0; }

 private:
  TBookmark CurrentBookmark();
  void ListChanged(TObject* Sender);
  TCustomDBGridEh* grid_;
  std::unique_ptr<TStringList> list_;
  TBookmark cache_;
  bool cache_find_ = false;
  int cache_index_ = -1;
  bool linked_ = false;
};

// A node of the multi-level title tree. A node's children form a ring
// through Next (the last child's Next is the first child); a node owns its
// children, so freeing the root frees the tree.
class THeadTreeNode : public TObject {
 public:
  // An empty node (its Next is itself).
  THeadTreeNode();
  THeadTreeNode(const String& Text, int Height, int Width);
  ~THeadTreeNode() override;

  // Node must be this node or lie under it ("Node not in Tree").
  THeadTreeNode* AddChild(THeadTreeNode* Node, const String& AText, int AHeight, int AWidth);
  // A sibling of After, right after it in its ring.
  THeadTreeNode* Add(THeadTreeNode* After, const String& AText, int AHeight, int AWidth);
  // Puts the run From..To of one ring under a new node with AText ("ATo not
  // in level" when To does not follow From in its ring).
  THeadTreeNode* Union(THeadTreeNode* From, THeadTreeNode* To, int AHeight, const String& AText);
  bool Find(const THeadTreeNode* Node) const;
  int GetLevel() const;
  void FreeAllChild();
  // Proc for every node under this one (each child, then its subtree).
  void ForEach(const std::function<void(THeadTreeNode* Node, void* Data)>& Proc, void* Data);

  THeadTreeNode* Host() const { return host_; }
  THeadTreeNode* Child() const { return child_; }
  THeadTreeNode* Next() const { return next_; }
  const String& Text() const { return text_; }
  void SetText(const String& Value) { text_ = Value; }
  int Height() const { return height_; }
  void SetHeight(int Value) { height_ = Value; }
  int Width() const { return width_; }
  void SetWidth(int Value) { width_ = Value; }
  int WIndent() const { return w_indent_; }
  void SetWIndent(int Value) { w_indent_ = Value; }
  TColumnEh* Column() const { return column_; }
  void SetColumn(TColumnEh* Value) { column_ = Value; }
  int MarkerWidth() const { return marker_width_; }
  void SetMarkerWidth(int Value) { marker_width_ = Value; }
  // The children in ring order.
  std::vector<THeadTreeNode*> Children() const;

 private:
  void CheckInTree(const THeadTreeNode* Node) const;
  // The node whose Next is Node (Node itself when alone).
  static THeadTreeNode* Prior(THeadTreeNode* Node);
  THeadTreeNode* host_ = nullptr;
  THeadTreeNode* child_ = nullptr;
  THeadTreeNode* next_ = this;
  String text_;
  int height_ = 0, width_ = 0;
  int w_indent_ = 0;
  TColumnEh* column_ = nullptr;
  int marker_width_ = 0;
};

// The per-cell parameters filled for painting and the cell events.
class TColCellParamsEh : public TObject {
 public:
  TColCellParamsEh();
  ~TColCellParamsEh() override;
  TGridDrawState State;
  std::unique_ptr<TFont> Font;
  TAlignment Alignment = taLeftJustify;
  TColor Background = clWindow;
  String Text;
  int ImageIndex = -1;
  TCheckBoxState CheckboxState = cbUnchecked;
  bool ReadOnly = false;
};

// The filter-row settings of a grid. While the update counter is above zero
// the filter-row editor is neither shown nor hidden.
class TSTDBGridEhFilter : public TPersistent {
 public:
  explicit TSTDBGridEhFilter(TCustomDBGridEh* Grid) : grid_(Grid) {}
  TPersistent* GetOwner() override;
  void Assign(TPersistent* Source) override;
  TCustomDBGridEh* Grid() const { return grid_; }
  bool Visible() const { return visible_; }
  // A change hides the editor (when it became false) and re-lays out.
  void SetVisible(bool Value);
  // Stored for the appliers of the filter.
  bool Local() const { return local_; }
  void SetLocal(bool Value) { local_ = Value; }
  void BeginUpdate() { ++update_count_; }
  void EndUpdate() {
    if (update_count_ > 0) --update_count_;
  }
  int UpdateCount() const { return update_count_; }

 private:
  TCustomDBGridEh* grid_;
  bool visible_ = false;
  bool local_ = false;
  int update_count_ = 0;
};

// The simple filter of one column: the text as typed, its parsed expression
// and, for a list-bound filter (ListSource with key and list fields, or a
// lookup field), the key value the text stands for.
class TSTColumnFilterEh : public TPersistent {
 public:
  explicit TSTColumnFilterEh(TColumnEh* Column);
  ~TSTColumnFilterEh() override;
  TPersistent* GetOwner() override;
  void Assign(TPersistent* Source) override;
  TColumnEh* Column() const { return column_; }

  // Published.
  const String& DataField() const { return data_field_; }
  void SetDataField(const String& Value) { data_field_ = Value; }
  const String& KeyField() const { return key_field_; }
  void SetKeyField(const String& Value) { key_field_ = Value; }
  const String& ListField() const { return list_field_; }
  void SetListField(const String& Value) { list_field_ = Value; }
  TDataSource* ListSource() const;
  void SetListSource(TDataSource* Value);
  bool Visible() const { return visible_; }
  // A change re-lays out the column's grid.
  void SetVisible(bool Value);

  // The text exactly as typed.
  const String& FilterText() const { return filter_text_; }
  // Parses Text into the expression (raising the parser's error) and keeps
  // it as the filter text.
  void SetFilterText(const String& Text);
  // SetFilterText, then repaints the grid and re-places its filter editor.
  void RefreshFilterText(const String& Text);
  // Key value Null and an empty text.
  void Clear();
  const Variant& KeyValue() const { return key_value_; }
  void SetKeyValue(const Variant& Value) { key_value_ = Value; }
  TSTFilterExpressionEh GetExpression() const { return expression_; }
  // One entry per row of the list source, in its order (list field texts
  // and key field texts).
  TStrings* ListValues() const { return list_values_.get(); }
  TStrings* KeyValues() const { return key_values_.get(); }
  // The drop-down size the user left (0 until sized).
  int DropDownWidth() const { return drop_down_width_; }
  void SetDropDownWidth(int Value) { drop_down_width_ = Value; }
  int DropDownRows() const { return drop_down_rows_; }
  void SetDropDownRows(int Value) { drop_down_rows_ = Value; }
  // The values the drop-down offers (nullptr until built).
  IMemTableDataFieldValueListEh* ValueList() const;
  void SetValueList(std::unique_ptr<TDatasetFieldValueListEh> Value);

  virtual void GetExpressionAsText(String& Text);
  virtual bool CanDropDown();
  virtual void GetDataFieldName(String& Name);
  virtual void GetFilterValue(Variant& Value);
  virtual void GetSecondFilterValue(Variant& Value);
  String GetKeyFieldName();
  String GetListFieldName();
  TDataSet* GetLookupDataSet();
  // The distinct values of the list field of ListSource's dataset (nullptr
  // when the grid's or the list's dataset is not open or has no such field).
  std::unique_ptr<TDatasetFieldValueListEh> BuildValueList();

 private:
  TCustomDBGridEh* Grid() const;
  // The lookup field of the grid's open dataset named like the column.
  TField* LookupField() const;
  void ListLinkDataChange(TObject* Sender);

  TColumnEh* column_;
  String data_field_;
  String key_field_;
  std::unique_ptr<TStringList> key_values_;
  Variant key_value_ = Null();
  std::unique_ptr<TStringList> list_values_;
  String list_field_;
  std::unique_ptr<TFieldDataLink> list_link_;
  bool visible_ = true;
  int drop_down_width_ = 0, drop_down_rows_ = 0;
  TSTFilterExpressionEh expression_;
  String filter_text_;
  std::unique_ptr<TDatasetFieldValueListEh> value_list_;
  bool filling_ = false;
};

// The grid's scroll-bar settings. An external bar (ExtScrollBar) shows and
// drives this direction instead of the window's own bar: the setting hooks
// the bar's window procedure, passes its reflected scroll notifications to
// the grid and gives the procedure back when detached.
RTL_ENUM(TScrollBarVisibleModeEh, sbAlwaysShowEh, sbNeverShowEh, sbAutoShowEh);
class TDBGridEhScrollBar : public TPersistent {
 public:
  TDBGridEhScrollBar(TCustomDBGridEh* Grid, bool Vertical) : grid_(Grid), vertical_(Vertical) {}
  ~TDBGridEhScrollBar() override;
  void Assign(TPersistent* Source) override;
  TPersistent* GetOwner() override;
  TCustomDBGridEh* Grid() const { return grid_; }
  bool Vertical() const { return vertical_; }
  bool Visible() const { return visible_mode_ != sbNeverShowEh; }
  void SetVisible(bool Value);
  bool Tracking() const { return tracking_; }
  void SetTracking(bool Value) { tracking_ = Value; }
  TScrollBarVisibleModeEh VisibleMode() const { return visible_mode_; }
  void SetVisibleMode(TScrollBarVisibleModeEh Value);
  TScrollBar* ExtScrollBar() const { return ext_scroll_bar_; }
  // Raises when the bar's window procedure is already someone else's.
  void SetExtScrollBar(TScrollBar* Value);
  bool IsShowing();
  bool GetScrollInfo(SCROLLINFO& Info);

 private:
  friend class TCustomDBGridEh;
  void BarWndProc(TMessage& Message);
  void Detach();
  TCustomDBGridEh* grid_;
  bool vertical_;
  bool tracking_ = false;
  TScrollBarVisibleModeEh visible_mode_ = sbAutoShowEh;
  TScrollBar* ext_scroll_bar_ = nullptr;
};
class TVertDBGridEhScrollBar : public TDBGridEhScrollBar {
 public:
  explicit TVertDBGridEhScrollBar(TCustomDBGridEh* Grid) : TDBGridEhScrollBar(Grid, true) {}
};

// A list of columns (not owned).
class TColumnsEhList : public TObject {
 public:
  int Count() const { return static_cast<int>(items_.size()); }
  TColumnEh* Items(int Index) const { return items_.at(static_cast<size_t>(Index)); }
  void SetItems(int Index, TColumnEh* Value) { items_.at(static_cast<size_t>(Index)) = Value; }
  void Add(TColumnEh* Column) { items_.push_back(Column); }
  int IndexOf(const TColumnEh* Column) const;
  void Remove(const TColumnEh* Column);
  void Insert(int Index, TColumnEh* Column);
  void Clear() { items_.clear(); }

 private:
  std::vector<TColumnEh*> items_;
};

// ---------------------------------------------------------------------------
// The selection

// A rectangle of cells between an anchor and a shift cell (data column and
// record bookmark), both inclusive, in dataset order.
class TDBGridEhSelectionRect : public TObject {
 public:
  explicit TDBGridEhSelectionRect(TCustomDBGridEh* Grid) : grid_(Grid) {}
  void Select(int DataCol, const TBookmark& Bookmark, bool AddSel);
  void Clear();
  bool DataCellSelected(int DataCol, const TBookmark& Bookmark);
  TBookmark TopRow();
  TBookmark BottomRow();
  int LeftCol();
  int RightCol();
  TRect SelectionToGridRect();
  int AnchorCol() const { return anchor_col_; }
  const TBookmark& AnchorRow() const { return anchor_row_; }
  int ShiftCol() const { return shift_col_; }
  const TBookmark& ShiftRow() const { return shift_row_; }

 private:
  TDataSet* CheckDataSet(const char* Where);
  // Pixels of the visible part of a rectangle (empty when none shows).
  TRect VisiblePixels(int Col1, const TBookmark& Row1, int Col2, const TBookmark& Row2);
  TCustomDBGridEh* grid_;
  int anchor_col_ = -1, shift_col_ = -1;
  TBookmark anchor_row_, shift_row_;
};

// Selected columns (not owned) kept sorted by Index.
class TDBGridEhSelectionCols : public TColumnsEhList {
 public:
  explicit TDBGridEhSelectionCols(TCustomDBGridEh* Grid);
  ~TDBGridEhSelectionCols() override;
  void Clear();
  void Add(TColumnEh* Column);
  void Select(TColumnEh* Column, bool AddSel);
  void InvertSelect(TColumnEh* Column);
  void SelectShift(TColumnEh* Column);
  void Refresh();
  TRect SelectionToGridRect();
  TColumnEh* Anchor() const { return anchor_; }
  TColumnEh* ShiftCol() const { return shift_col_; }

 private:
  TCustomDBGridEh* grid_;
  TColumnEh* anchor_ = nullptr;
  TColumnEh* shift_col_ = nullptr;
  // Columns the current Shift extension changed.
  std::unique_ptr<TColumnsEhList> shift_changed_;
};

// The grid's one multi-cell selection.
class TDBGridEhSelection : public TObject {
 public:
  explicit TDBGridEhSelection(TCustomDBGridEh* Grid);
  ~TDBGridEhSelection() override;
  TDBGridEhSelectionType SelectionType() const { return type_; }
  void SetSelectionType(TDBGridEhSelectionType Value);
  void Clear();
  void SelectAll();
  void LinkActive(bool Active);
  void UpdateState();
  bool DataCellSelected(int DataCol, const TBookmark& Bookmark);
  TRect SelectionToGridRect();
  TBookmarkListEh* Rows() const;
  TDBGridEhSelectionRect* Rect() const { return rect_.get(); }
  TDBGridEhSelectionCols* Columns() const { return columns_.get(); }
  TCustomDBGridEh* Grid() const { return grid_; }

 private:
  TCustomDBGridEh* grid_;
  TDBGridEhSelectionType type_ = gstNon;
  std::unique_ptr<TDBGridEhSelectionCols> columns_;
  std::unique_ptr<TDBGridEhSelectionRect> rect_;
};

// ---------------------------------------------------------------------------
// Footers and column default values

class TColumnFooterEh : public TCollectionItem {
 public:
  // An item of a column's Footers.
  explicit TColumnFooterEh(TCollection* Collection);
  // The column's single Footer, in no collection.
  static TColumnFooterEh* CreateApart(TColumnEh* Column);
  ~TColumnFooterEh() override;
  void Assign(TPersistent* Source) override;

  TColumnEh* Column() const { return column_; }
  TAlignment Alignment() const;
  void SetAlignment(TAlignment Value);
  TColor Color() const;
  void SetColor(TColor Value);
  const String& DisplayFormat() const { return display_format_; }
  void SetDisplayFormat(const String& Value);
  bool EndEllipsis() const { return end_ellipsis_; }
  void SetEndEllipsis(bool Value);
  const String& FieldName() const { return field_name_; }
  void SetFieldName(const String& Value);
  TFont* Font() const;
  void SetFont(TFont* Value) { font_->Assign(Value); }
  bool ToolTips() const;
  void SetToolTips(bool Value);
  const String& Value() const { return value_; }
  void SetValue(const String& Value);
  TFooterValueType ValueType() const { return value_type_; }
  void SetValueType(TFooterValueType Value);
  bool WordWrap() const { return word_wrap_; }
  void SetWordWrap(bool Value);

  virtual void RestoreDefaults();
  // The sum item of the grid's SumList (nullptr when none).
  TDBSum* SumItem() const { return sum_item_; }
  // Brings the sum item in step with ValueType and the field names.
  void EnsureSumValue();
  TFont* DefaultFont() const;

  enum : uint32_t { aveAlignment = 1u << 0, aveFont = 1u << 1, aveColor = 1u << 2, aveToolTips = 1u << 3 };
  uint32_t AssignedValues() const { return assigned_; }
  bool IsAlignmentStored() const;
  bool IsColorStored() const;
  bool IsFontStored() const { return (assigned_ & aveFont) != 0; }
  bool IsToolTipsStored() const { return (assigned_ & aveToolTips) != 0 && tool_tips_; }

 private:
  explicit TColumnFooterEh(TColumnEh* Column);
  void Init();
  void FontChanged(TObject* Sender);
  void ReportChange();
  void FreeSumItem();
  TCustomDBGridEh* Grid() const;

  TColumnEh* column_ = nullptr;
  uint32_t assigned_ = 0;
  TAlignment alignment_ = taLeftJustify;
  TColor color_ = clWindow;
  String display_format_;
  bool end_ellipsis_ = false;
  String field_name_;
  std::unique_ptr<TFont> font_;
  bool tool_tips_ = false;
  String value_;
  TFooterValueType value_type_ = fvtNon;
  bool word_wrap_ = false;
  TDBSum* sum_item_ = nullptr;
  bool font_refreshing_ = false;
};

class TColumnFootersEh : public TCollection {
 public:
  explicit TColumnFootersEh(TColumnEh* Column);
  TColumnFooterEh* Items(int Index) const { return static_cast<TColumnFooterEh*>(TCollection::Items(Index)); }
  TColumnFooterEh* Add() { return static_cast<TColumnFooterEh*>(TCollection::Add()); }
  TColumnEh* Column() const { return column_; }
  TPersistent* GetOwner() override;

 private:
  TColumnEh* column_;
};

class TColumnTitleDefValuesEh : public TPersistent {
 public:
  explicit TColumnTitleDefValuesEh(TColumnDefValuesEh* Owner) : owner_(Owner) {}
  void Assign(TPersistent* Source) override;
  TPersistent* GetOwner() override;

  TAlignment Alignment() const;
  void SetAlignment(TAlignment Value);
  TColor Color() const;
  void SetColor(TColor Value);
  bool EndEllipsis() const { return end_ellipsis_; }
  void SetEndEllipsis(bool Value);
  TTextOrientationEh Orientation() const { return orientation_; }
  void SetOrientation(TTextOrientationEh Value);
  bool TitleButton() const { return title_button_; }
  void SetTitleButton(bool Value) { title_button_ = Value; }
  bool ToolTips() const { return tool_tips_; }
  void SetToolTips(bool Value) { tool_tips_ = Value; }

  enum : uint32_t { tdvColor = 1u << 0, tdvAlignment = 1u << 1 };
  uint32_t AssignedValues() const { return assigned_; }
  bool IsAlignmentStored() const;
  bool IsColorStored() const;

 private:
  TCustomDBGridEh* Grid() const;
  TColumnDefValuesEh* owner_;
  uint32_t assigned_ = 0;
  TAlignment alignment_ = taLeftJustify;
  TColor color_ = clBtnFace;
  bool end_ellipsis_ = false;
  TTextOrientationEh orientation_ = tohHorizontal;
  bool title_button_ = false;
  bool tool_tips_ = false;
};

class TColumnFooterDefValuesEh : public TPersistent {
 public:
  explicit TColumnFooterDefValuesEh(TColumnDefValuesEh* Owner) : owner_(Owner) {}
  void Assign(TPersistent* Source) override;
  TPersistent* GetOwner() override;
  bool ToolTips() const { return tool_tips_; }
  void SetToolTips(bool Value) { tool_tips_ = Value; }

 private:
  TColumnDefValuesEh* owner_;
  bool tool_tips_ = false;
};

class TColumnDefValuesEh : public TPersistent {
 public:
  explicit TColumnDefValuesEh(TCustomDBGridEh* Grid);
  ~TColumnDefValuesEh() override;
  void Assign(TPersistent* Source) override;
  TPersistent* GetOwner() override;
  TCustomDBGridEh* Grid() const { return grid_; }

  bool AlwaysShowEditButton() const { return always_show_edit_button_; }
  void SetAlwaysShowEditButton(bool Value);
  bool AutoDropDown() const { return auto_drop_down_; }
  void SetAutoDropDown(bool Value) { auto_drop_down_ = Value; }
  bool DblClickNextVal() const { return dbl_click_next_val_; }
  void SetDblClickNextVal(bool Value) { dbl_click_next_val_ = Value; }
  bool DropDownShowTitles() const { return drop_down_show_titles_; }
  void SetDropDownShowTitles(bool Value) { drop_down_show_titles_ = Value; }
  bool DropDownSizing() const { return drop_down_sizing_; }
  void SetDropDownSizing(bool Value) { drop_down_sizing_ = Value; }
  bool EndEllipsis() const { return end_ellipsis_; }
  void SetEndEllipsis(bool Value);
  TColumnFooterDefValuesEh* Footer() const { return footer_.get(); }
  void SetFooter(TColumnFooterDefValuesEh* Value) { footer_->Assign(Value); }
  bool HighlightRequired() const { return highlight_required_; }
  void SetHighlightRequired(bool Value);
  TTextLayout Layout() const { return layout_; }
  void SetLayout(TTextLayout Value);
  TColumnTitleDefValuesEh* Title() const { return title_.get(); }
  void SetTitle(TColumnTitleDefValuesEh* Value) { title_->Assign(Value); }
  bool ToolTips() const { return tool_tips_; }
  void SetToolTips(bool Value) { tool_tips_ = Value; }

 private:
  void Repaint();
  TCustomDBGridEh* grid_;
  bool always_show_edit_button_ = false;
  bool auto_drop_down_ = false;
  bool dbl_click_next_val_ = false;
  bool drop_down_show_titles_ = false;
  bool drop_down_sizing_ = false;
  bool end_ellipsis_ = false;
  std::unique_ptr<TColumnFooterDefValuesEh> footer_;
  bool highlight_required_ = false;
  TTextLayout layout_ = tlTop;
  std::unique_ptr<TColumnTitleDefValuesEh> title_;
  bool tool_tips_ = false;
};

// The published form of a grid's column default values.
class TDBGridEhColumnDefValuesEh : public TColumnDefValuesEh {
 public:
  using TColumnDefValuesEh::TColumnDefValuesEh;
};

// The grid's footer aggregates.
class TDBGridEhSumList : public TDBSumListProducer {
 public:
  explicit TDBGridEhSumList(TCustomDBGridEh* Grid);
  TCustomDBGridEh* Grid() const { return grid_; }

 protected:
  // While the grid is designed the dataset's events are only marked hooked.
  void SetDataSetEvents() override;
  void ReturnEvents() override;

 private:
  TCustomDBGridEh* grid_;
  bool design_hooked_ = false;
};

// ---------------------------------------------------------------------------
// Columns and titles

class TColumnTitleEh : public TPersistent {
 public:
  explicit TColumnTitleEh(TColumnEh* Column);
  ~TColumnTitleEh() override;
  void Assign(TPersistent* Source) override;
  TPersistent* GetOwner() override;
  TColumnEh* Column() const { return column_; }

  TAlignment Alignment() const;
  void SetAlignment(TAlignment Value);
  String Caption() const;
  virtual void SetCaption(const String& Value);
  TColor Color() const;
  void SetColor(TColor Value);
  bool EndEllipsis() const;
  void SetEndEllipsis(bool Value);
  TTextOrientationEh Orientation() const;
  void SetOrientation(TTextOrientationEh Value);
  bool TitleButton() const;
  void SetTitleButton(bool Value);
  bool ToolTips() const;
  void SetToolTips(bool Value);
  TFont* Font() const;
  void SetFont(TFont* Value) { font_->Assign(Value); }
  const String& Hint() const { return hint_; }
  void SetHint(const String& Value) { hint_ = Value; }
  int ImageIndex() const { return image_index_; }
  void SetImageIndex(int Value);
  int SortIndex() const { return sort_index_; }
  void SetSortIndex(int Value);
  TSortMarkerEh SortMarker() const { return sort_marker_; }
  void SetSortMarker(TSortMarkerEh Value);

  virtual void RestoreDefaults();
  void ToggleSortMarker(bool Multi);
  int GetSortMarkerWidth() const;
  TFont* DefaultFont() const;

  bool IsAlignmentStored() const;
  bool IsCaptionStored() const;
  bool IsColorStored() const;
  bool IsEndEllipsisStored() const;
  bool IsOrientationStored() const;
  bool IsTitleButtonStored() const;
  bool IsToolTipsStored() const;
  bool IsFontStored() const;

 private:
  friend class TColumnEh;
  void FontChanged(TObject* Sender);
  void RefreshDefaultFont() const;
  void Changed(bool AllItems);
  TCustomDBGridEh* Grid() const;
  void SetSortIndexDirect(int Value) { sort_index_ = Value; }

  TColumnEh* column_;
  TAlignment alignment_ = taLeftJustify;
  String caption_;
  TColor color_ = clBtnFace;
  bool end_ellipsis_ = false;
  TTextOrientationEh orientation_ = tohHorizontal;
  bool title_button_ = false;
  bool tool_tips_ = false;
  std::unique_ptr<TFont> font_;
  String hint_;
  int image_index_ = -1;
  int sort_index_ = 0;
  TSortMarkerEh sort_marker_ = smNoneEh;
  mutable bool font_refreshing_ = false;
};

class TColumnDropDownBoxEh;

// What a column offers its drop-down box settings.
class IColumnDropDownBoxOwnerEh {
 public:
  // {2A1F4552-15C3-4359-ADAB-F2F6719FAA97}
  static constexpr TGUID IID{0x2A1F4552, 0x15C3, 0x4359, {0xAD, 0xAB, 0xF2, 0xF6, 0x71, 0x9F, 0xAA, 0x97}};
  virtual void ListSourceChanged(TDataSource* Source) = 0;
  virtual TCustomDBGridEh* GetLookupGrid() = 0;
  virtual TDBLookupGridEhOptions GetOptions() = 0;
  virtual void SetOptions(TDBLookupGridEhOptions Value) = 0;

 protected:
  ~IColumnDropDownBoxOwnerEh() = default;
};

// How a column's drop-down lookup grid is made and how its options are read
// and written; registered by the lookup-grid unit.
struct TColumnDropDownGridFactoryEh {
  TCustomDBGridEh* (*Create)(TColumnEh* Column) = nullptr;
  TDBLookupGridEhOptions (*GetOptions)(TCustomDBGridEh* Grid) = nullptr;
  void (*SetOptions)(TCustomDBGridEh* Grid, TDBLookupGridEhOptions Value) = nullptr;
  // Binds the drop-down grid to the column's lookup definition and, unless
  // Key is null, selects Key's row (the editor's list follows the typing).
  void (*SelectKey)(TCustomDBGridEh* Grid, TColumnEh* Column, const Variant& Key) = nullptr;
};
void SetColumnDropDownGridFactoryEh(const TColumnDropDownGridFactoryEh& Factory);
const TColumnDropDownGridFactoryEh& ColumnDropDownGridFactoryEh();

class TColumnDropDownBoxEh : public TPersistent {
 public:
  explicit TColumnDropDownBoxEh(TPersistent* Owner);
  ~TColumnDropDownBoxEh() override;
  void Assign(TPersistent* Source) override;
  TPersistent* GetOwner() override { return owner_; }

  bool AutoFitColWidths() const { return auto_fit_col_widths_; }
  void SetAutoFitColWidths(bool Value) { auto_fit_col_widths_ = Value; }
  TColumnDefValuesEh* ColumnDefValues() const;
  void SetColumnDefValues(TColumnDefValuesEh* Value);
  TDBGridColumnsEh* Columns() const;
  void SetColumns(TDBGridColumnsEh* Value);
  bool IsColumnsStored() const;
  TDataSource* ListSource() const { return list_source_; }
  void SetListSource(TDataSource* Value);
  TDBLookupGridEhOptions Options() const;
  void SetOptions(TDBLookupGridEhOptions Value);
  bool UseMultiTitle() const { return use_multi_title_; }
  void SetUseMultiTitle(bool Value) { use_multi_title_ = Value; }
  TSpecRowEh* SpecRow() const { return spec_row_.get(); }

  // Unpublished drop-down settings (copied by Assign).
  bool AutoDrop = false;
  bool Sizable = false;
  int Rows = 7;
  bool ShowTitles = false;
  bool Flag2 = false;
  int Width = 0;

 private:
  IColumnDropDownBoxOwnerEh* OwnerIntf() const;
  TPersistent* owner_;
  bool auto_fit_col_widths_ = true;
  TDataSource* list_source_ = nullptr;
  bool use_multi_title_ = false;
  std::unique_ptr<TSpecRowEh> spec_row_;
};

class TColumnEh : public TCollectionItem, public IColumnDropDownBoxOwnerEh {
 public:
  explicit TColumnEh(TCollection* Collection);
  ~TColumnEh() override;
  void AfterConstruction() override;
  void BeforeDestruction() override;
  void Assign(TPersistent* Source) override;
  void SetIndex(int Value) override;

  // The grid of the collection (nullptr outside a TDBGridColumnsEh).
  TCustomDBGridEh* Grid() const;

  // Assigned-value bits.
  enum : uint32_t {
    cvColor = 1u << 0, cvWidth = 1u << 1, cvFont = 1u << 2, cvAlignment = 1u << 3, cvReadOnly = 1u << 4,
    cvTitleColor = 1u << 5, cvTitleCaption = 1u << 6, cvTitleAlignment = 1u << 7, cvTitleFont = 1u << 8,
    cvTitleButton = 1u << 9, cvTitleEndEllipsis = 1u << 10, cvTitleToolTips = 1u << 11,
    cvTitleOrientation = 1u << 12, cvImeMode = 1u << 13, cvImeName = 1u << 14, cvWordWrap = 1u << 15,
    cvLookupDisplayFields = 1u << 16, cvCheckboxes = 1u << 17, cvAlwaysShowEditButton = 1u << 18,
    cvEndEllipsis = 1u << 19, cvAutoDropDown = 1u << 20, cvDblClickNextVal = 1u << 21, cvToolTips = 1u << 22,
    cvDropDownSizing = 1u << 23, cvDropDownShowTitles = 1u << 24, cvLayout = 1u << 25,
    cvHighlightRequired = 1u << 26,
  };
  static constexpr uint32_t kTitleBits = 0x1FE0;
  uint32_t AssignedValues() const { return assigned_; }

  // Published properties.
  TAlignment Alignment() const;
  virtual void SetAlignment(TAlignment Value);
  bool AlwaysShowEditButton() const;
  void SetAlwaysShowEditButton(bool Value);
  bool AutoDropDown() const;
  void SetAutoDropDown(bool Value);
  bool AutoFitColWidth() const { return auto_fit_col_width_; }
  virtual void SetAutoFitColWidth(bool Value);
  TColumnButtonStyleEh ButtonStyle() const { return button_style_; }
  void SetButtonStyle(TColumnButtonStyleEh Value);
  bool Checkboxes() const;
  void SetCheckboxes(bool Value);
  TColor Color() const;
  void SetColor(TColor Value);
  bool DblClickNextVal() const;
  void SetDblClickNextVal(bool Value);
  const String& DisplayFormat() const { return display_format_; }
  void SetDisplayFormat(const String& Value);
  TColumnDropDownBoxEh* DropDownBox() const { return drop_down_box_.get(); }
  void SetDropDownBox(TColumnDropDownBoxEh* Value) { drop_down_box_->Assign(Value); }
  Cardinal DropDownRows() const { return drop_down_rows_; }
  void SetDropDownRows(Cardinal Value) { drop_down_rows_ = Value; }
  bool DropDownShowTitles() const;
  void SetDropDownShowTitles(bool Value);
  bool DropDownSizing() const;
  void SetDropDownSizing(bool Value);
  TSpecRowEh* DropDownSpecRow() const { return spec_row_.get(); }
  void SetDropDownSpecRow(TSpecRowEh* Value) { spec_row_->Assign(Value); }
  int DropDownWidth() const { return drop_down_width_; }
  void SetDropDownWidth(int Value) { drop_down_width_ = Value; }
  TEditButtonsEh* EditButtons() const { return edit_buttons_.get(); }
  void SetEditButtons(TEditButtonsEh* Value) { edit_buttons_->Assign(Value); }
  const String& EditMask() const { return edit_mask_; }
  void SetEditMask(const String& Value) { edit_mask_ = Value; }
  bool EndEllipsis() const;
  void SetEndEllipsis(bool Value);
  const String& FieldName() const { return field_name_; }
  void SetFieldName(const String& Value);
  TFont* Font() const;
  void SetFont(TFont* Value) { font_->Assign(Value); }
  TColumnFooterEh* Footer() const { return footer_.get(); }
  void SetFooter(TColumnFooterEh* Value) { footer_->Assign(Value); }
  TColumnFootersEh* Footers() const { return footers_.get(); }
  void SetFooters(TColumnFootersEh* Value) { footers_->Assign(Value); }
  // The footer of footer row Index.
  TColumnFooterEh* UsedFooter(int Index) const;
  bool HideDuplicates() const { return hide_duplicates_; }
  virtual void SetHideDuplicates(bool Value);
  bool HighlightRequired() const;
  virtual void SetHighlightRequired(bool Value);
  TCustomImageList* ImageList() const { return image_list_; }
  void SetImageList(TCustomImageList* Value);
  TImeMode ImeMode() const;
  virtual void SetImeMode(TImeMode Value);
  TImeName ImeName() const;
  virtual void SetImeName(const TImeName& Value);
  double Increment() const { return increment_; }
  void SetIncrement(double Value) { increment_ = Value; }
  TStrings* KeyList() const;
  void SetKeyList(TStrings* Value) { KeyList()->Assign(Value); }
  TTextLayout Layout() const;
  void SetLayout(TTextLayout Value);
  String LookupDisplayFields() const;
  virtual void SetLookupDisplayFields(const String& Value);
  int MaxWidth() const { return max_width_; }
  void SetMaxWidth(int Value);
  int MinWidth() const { return min_width_; }
  void SetMinWidth(int Value);
  TMRUListEh* MRUList() const { return mru_list_.get(); }
  void SetMRUList(TMRUListEh* Value) { mru_list_->Assign(Value); }
  int NotInKeyListIndex() const { return not_in_key_list_index_; }
  void SetNotInKeyListIndex(int Value);
  TStrings* PickList() const;
  void SetPickList(TStrings* Value) { PickList()->Assign(Value); }
  TPopupMenu* PopupMenu() const { return popup_menu_; }
  void SetPopupMenu(TPopupMenu* Value);
  bool ReadOnly() const;
  virtual void SetReadOnly(bool Value);
  bool ShowImageAndText() const { return show_image_and_text_; }
  void SetShowImageAndText(bool Value);
  TSTColumnFilterEh* STFilter() const { return st_filter_.get(); }
  int Tag() const { return tag_; }
  void SetTag(int Value) { tag_ = Value; }
  TColumnTitleEh* Title() const { return title_.get(); }
  void SetTitle(TColumnTitleEh* Value) { title_->Assign(Value); }
  bool ToolTips() const;
  void SetToolTips(bool Value);
  bool Visible() const { return visible_; }
  void SetVisible(bool Value);
  int Width() const;
  virtual void SetWidth(int Value);
  bool WordWrap() const;
  virtual void SetWordWrap(bool Value);

  // Events.
  const TOnColumnCheckDrawRequiredStateEventEh& OnCheckDrawRequiredState() const { return on_check_draw_required_; }
  void SetOnCheckDrawRequiredState(TOnColumnCheckDrawRequiredStateEventEh V) { on_check_draw_required_ = std::move(V); }
  const TButtonClickEventEh& OnEditButtonClick() const { return on_edit_button_click_; }
  void SetOnEditButtonClick(TButtonClickEventEh V) { on_edit_button_click_ = std::move(V); }
  const TButtonDownEventEh& OnEditButtonDown() const { return on_edit_button_down_; }
  void SetOnEditButtonDown(TButtonDownEventEh V) { on_edit_button_down_ = std::move(V); }
  const TGetColCellParamsEventEh& OnGetCellParams() const { return on_get_cell_params_; }
  void SetOnGetCellParams(TGetColCellParamsEventEh V) { on_get_cell_params_ = std::move(V); }
  const TNotInListEventEh& OnNotInList() const { return on_not_in_list_; }
  void SetOnNotInList(TNotInListEventEh V) { on_not_in_list_ = std::move(V); }
  const TColCellUpdateDataEventEh& OnUpdateData() const { return on_update_data_; }
  void SetOnUpdateData(TColCellUpdateDataEventEh V) { on_update_data_ = std::move(V); }

  // The bound field (bound lazily by FieldName).
  TField* Field() const;
  virtual void SetField(TField* Value);
  virtual bool IsDefaultColumn() const { return !stored_; }
  // Width the auto-fit layout distributes.
  int FittedWidth() const { return fitted_width_; }
  void SetFittedWidth(int Value) { fitted_width_ = Value; }
  int DefaultWidth() const;
  TColumnCellKindEh GetColumnType() const;
  String GetDisplayText() const;
  int GetKeyIndex() const;
  TCheckBoxState GetCheckboxState() const;
  void SetCheckboxState(TCheckBoxState Value);
  void UpdateData(const String& Text, const Variant& Value, bool UseText);
  // The next-value gesture: a positive Step moves forward, a negative one
  // backward.
  void SetNextFieldValue(double Step);
  // Whether the column's value may be changed now (puts the grid's link
  // into edit state when it may).
  bool CanModify(bool TryEdit);
  TDataSet* GetLookupDataSet() const;
  virtual void RestoreDefaults();
  virtual void GetColCellParams(bool EditMode, TColCellParamsEh* Params);
  TFont* DefaultFont() const;

  // IColumnDropDownBoxOwnerEh.
  void ListSourceChanged(TDataSource* Source) override;
  TCustomDBGridEh* GetLookupGrid() override;
  TDBLookupGridEhOptions GetOptions() override;
  void SetOptions(TDBLookupGridEhOptions Value) override;
  // The drop-down lookup grid when one was made.
  TCustomDBGridEh* DropDownGrid() const { return drop_down_grid_; }

  // Stored-conditions of the assigned values.
  bool IsAlignmentStored() const;
  bool IsAlwaysShowEditButtonStored() const;
  bool IsAutoDropDownStored() const;
  bool IsCheckboxesStored() const { return (assigned_ & cvCheckboxes) != 0; }
  bool IsColorStored() const;
  bool IsDblClickNextValStored() const;
  bool IsDropDownShowTitlesStored() const;
  bool IsDropDownSizingStored() const;
  bool IsEndEllipsisStored() const;
  bool IsFontStored() const { return (assigned_ & cvFont) != 0; }
  bool IsHighlightRequiredStored() const;
  bool IsImeModeStored() const;
  bool IsImeNameStored() const;
  bool IsIncrementStored() const { return increment_ != 1.0; }
  bool IsKeyListStored() const { return key_list_ && key_list_->Count() > 0; }
  bool IsLayoutStored() const;
  bool IsLookupDisplayFieldsStored() const;
  bool IsPickListStored() const { return pick_list_ && pick_list_->Count() > 0; }
  bool IsReadOnlyStored() const;
  bool IsToolTipsStored() const;
  bool IsWidthStored() const;
  bool IsWordWrapStored() const;

 protected:
  String GetDisplayName() const override;
  virtual TEditButtonsEh* CreateEditButtons();
  virtual TColumnFooterEh* CreateFooter();
  virtual TColumnFootersEh* CreateFooters();
  virtual TSTColumnFilterEh* CreateSTFilter();
  virtual TColumnTitleEh* CreateTitle();
  virtual void SpecRowChanged(TObject* Sender);

 private:
  friend class TColumnTitleEh;
  friend class TColumnFooterEh;
  friend class TDBGridColumnsEh;
  friend class TCustomDBGridEh;
  void FontChanged(TObject* Sender);
  void RefreshDefaultFont() const;
  void EnsureSumValues();
  void SetStored(bool Value) { stored_ = Value; }
  void ForgetField() { field_ = nullptr; }
  bool FieldCanModify() const;
  TGridDataLinkEh* DataLink() const;
  template <class T>
  void SetAssigned(uint32_t Bit, T& Member, const T& Value, bool Report);

  uint32_t assigned_ = 0;
  mutable TField* field_ = nullptr;
  bool stored_ = true;
  int fitted_width_ = 0;

  TAlignment alignment_ = taLeftJustify;
  bool always_show_edit_button_ = false;
  bool auto_drop_down_ = false;
  bool auto_fit_col_width_ = true;
  TColumnButtonStyleEh button_style_ = cbsAuto;
  bool checkboxes_ = false;
  TColor color_ = clWindow;
  bool dbl_click_next_val_ = false;
  String display_format_;
  Cardinal drop_down_rows_ = 7;
  bool drop_down_show_titles_ = false;
  bool drop_down_sizing_ = false;
  int drop_down_width_ = 0;
  String edit_mask_;
  bool end_ellipsis_ = false;
  String field_name_;
  bool hide_duplicates_ = false;
  bool highlight_required_ = false;
  TCustomImageList* image_list_ = nullptr;
  TImeMode ime_mode_ = imDontCare;
  TImeName ime_name_;
  double increment_ = 1.0;
  TTextLayout layout_ = tlTop;
  String lookup_display_fields_;
  int max_width_ = 0, min_width_ = 0;
  int not_in_key_list_index_ = -1;
  TPopupMenu* popup_menu_ = nullptr;
  bool read_only_ = false;
  bool show_image_and_text_ = false;
  int tag_ = 0;
  bool tool_tips_ = false;
  bool visible_ = true;
  int width_ = 0;
  bool word_wrap_ = false;

  std::unique_ptr<TFont> font_;
  mutable bool font_refreshing_ = false;
  std::unique_ptr<TColumnTitleEh> title_;
  std::unique_ptr<TColumnFooterEh> footer_;
  std::unique_ptr<TColumnFootersEh> footers_;
  std::unique_ptr<TEditButtonsEh> edit_buttons_;
  std::unique_ptr<TSpecRowEh> spec_row_;
  std::unique_ptr<TColumnDropDownBoxEh> drop_down_box_;
  std::unique_ptr<TMRUListEh> mru_list_;
  std::unique_ptr<TSTColumnFilterEh> st_filter_;
  std::unique_ptr<TChangeLink> image_link_;
  mutable std::unique_ptr<TStringList> key_list_, pick_list_;
  TCustomDBGridEh* drop_down_grid_ = nullptr;
  bool layout_begun_ = false;

  TOnColumnCheckDrawRequiredStateEventEh on_check_draw_required_;
  TButtonClickEventEh on_edit_button_click_;
  TButtonDownEventEh on_edit_button_down_;
  TGetColCellParamsEventEh on_get_cell_params_;
  TNotInListEventEh on_not_in_list_;
  TColCellUpdateDataEventEh on_update_data_;
};

// The published column class.
class TDBGridColumnEh : public TColumnEh {
 public:
  using TColumnEh::TColumnEh;
};

RTL_ENUM(TDBGridColumnsState, csDefault, csCustomized);

class TDBGridColumnsEh : public TCollection {
 public:
  TDBGridColumnsEh(TCustomDBGridEh* Grid, TCollectionItemClass ItemClass);
  TColumnEh* Items(int Index) const { return static_cast<TColumnEh*>(TCollection::Items(Index)); }
  // A stored column.
  TColumnEh* Add() { return static_cast<TColumnEh*>(TCollection::Add()); }
  // A default column (built from a field).
  TColumnEh* AddDefault();
  TCustomDBGridEh* Grid() const { return grid_; }
  TPersistent* GetOwner() override;
  TDBGridColumnsState State() const;
  void SetState(TDBGridColumnsState Value);
  void SaveToStream(TStream* Stream);
  void LoadFromStream(TStream* Stream);
  // Item-by-item equality of the stored values.
  bool Equals(TDBGridColumnsEh* Other);
  int UpdateCount() const { return TCollection::UpdateCount(); }

 protected:
  void Update(TCollectionItem* Item) override;

 private:
  TCustomDBGridEh* grid_;
};

// Writes and reads a column collection as a component.
class TColumnsWrapper : public TComponent {
 public:
  explicit TColumnsWrapper(TComponent* AOwner) : TComponent(AOwner) {}
  TDBGridColumnsEh* Columns() const { return columns_; }
  void SetColumns(TDBGridColumnsEh* Value) { columns_ = Value; }

 private:
  TDBGridColumnsEh* columns_ = nullptr;
};

// ---------------------------------------------------------------------------
// The data link

class TGridDataLinkEh : public TDataLink {
 public:
  explicit TGridDataLinkEh(TCustomDBGridEh* AGrid);
  ~TGridDataLinkEh() override;

  static constexpr int kMaxMapSize = 0x0FFFFFFF;
  bool AddMapping(const String& FieldName);
  void ClearMapping();
  // The mapped field of data column I (nullptr out of range or unmapped).
  TField* Fields(int I) const;
  int FieldCount() const { return field_count_; }
  int MapCapacity() const { return map_capacity_; }
  int MapEntry(int I) const { return field_map_.at(static_cast<size_t>(I)); }
  bool DefaultFields() const;
  bool SparseMap() const { return sparse_map_; }
  void SetSparseMap(bool Value) { sparse_map_ = Value; }
  bool IsModified() const { return modified_; }
  void Modified() { modified_ = true; }
  void Reset();
  bool InUpdateData() const { return in_update_data_; }
  TCustomDBGridEh* Grid() const { return grid_; }

  // Test reach to the link's notifications.
  void UpdateDataNow() { UpdateData(); }

 protected:
  void ActiveChanged() override;
  void DataSetChanged() override;
  void DataSetScrolled(int Distance) override;
  void EditingChanged() override;
  void FocusControl(TFieldRef Field) override;
  void LayoutChanged() override;
  void RecordChanged(TField* Field) override;
  void UpdateData() override;

 private:
  TCustomDBGridEh* grid_;
  int field_count_ = 0;
  std::vector<int> field_map_;
  int map_capacity_ = 0;
  bool in_update_data_ = false;
  bool modified_ = false;
  bool sparse_map_ = false;
};

// ---------------------------------------------------------------------------
// The grid

class TCustomDBGridEh : public TCustomGrid, public IInplaceEditHolderEh {
 public:
  explicit TCustomDBGridEh(TComponent* AOwner);
  ~TCustomDBGridEh() override;
  void AfterConstruction() override;
  void BeforeDestruction() override;

  // Owned objects.
  TColumnDefValuesEh* ColumnDefValues() const { return column_def_values_.get(); }
  void SetColumnDefValues(TColumnDefValuesEh* Value) { column_def_values_->Assign(Value); }
  TDBGridColumnsEh* Columns() const { return columns_.get(); }
  void SetColumns(TDBGridColumnsEh* Value) { columns_->Assign(Value); }
  TColumnsEhList* VisibleColumns() const { return visible_columns_.get(); }
  TColumnsEhList* SortMarkedColumns() const { return sort_marked_columns_.get(); }
  TGridDataLinkEh* DataLink() const { return data_link_.get(); }
  TFont* TitleFont() const { return title_font_.get(); }
  void SetTitleFont(TFont* Value) { title_font_->Assign(Value); }
  TFont* FooterFont() const { return footer_font_.get(); }
  void SetFooterFont(TFont* Value) { footer_font_->Assign(Value); }
  TBookmarkListEh* SelectedRows() const { return selected_rows_.get(); }
  THeadTreeNode* HeadTree() const { return head_tree_.get(); }
  TDBGridEhSumList* SumList() const { return sum_list_.get(); }
  void SetSumList(TDBGridEhSumList* Value) { sum_list_->Assign(Value); }
  TDBGridEhScrollBar* HorzScrollBar() const { return horz_scroll_bar_.get(); }
  TDBGridEhScrollBar* VertScrollBar() const { return vert_scroll_bar_.get(); }
  TDBGridEhSelection* Selection() const { return selection_.get(); }
  TColCellParamsEh* CellParams() const { return cell_params_.get(); }
  TSTDBGridEhFilter* STFilter() const { return st_filter_.get(); }

  // Properties.
  TDBGridEhAllowedOperations AllowedOperations() const { return allowed_operations_; }
  void SetAllowedOperations(TDBGridEhAllowedOperations Value) { allowed_operations_ = Value; }
  TDBGridEhAllowedSelections AllowedSelections() const { return allowed_selections_; }
  // A current selection of a kind no longer allowed is cleared.
  void SetAllowedSelections(TDBGridEhAllowedSelections Value);
  bool AutoFitColWidths() const { return auto_fit_col_widths_; }
  void SetAutoFitColWidths(bool Value);
  bool DrawMemoText() const { return draw_memo_text_; }
  void SetDrawMemoText(bool Value);
  TDBGridEhEditActions EditActions() const { return edit_actions_; }
  void SetEditActions(TDBGridEhEditActions Value) { edit_actions_ = Value; }
  bool Flat() const { return flat_; }
  void SetFlat(bool Value);
  TColor FooterColor() const { return footer_color_; }
  void SetFooterColor(TColor Value);
  int FooterRowCount() const { return footer_row_count_; }
  void SetFooterRowCount(int Value);
  int FrozenCols() const { return frozen_cols_; }
  void SetFrozenCols(int Value);
  int MinAutoFitWidth() const { return min_auto_fit_width_; }
  void SetMinAutoFitWidth(int Value);
  TDBGridOptions Options() const { return options_; }
  void SetOptions(TDBGridOptions Value);
  TDBGridEhOptions OptionsEh() const { return options_eh_; }
  void SetOptionsEh(TDBGridEhOptions Value);
  bool ReadOnly() const { return read_only_; }
  void SetReadOnly(bool Value) { read_only_ = Value; }
  int RowHeight() const { return row_height_; }
  void SetRowHeight(int Value);
  int RowLines() const { return row_lines_; }
  void SetRowLines(int Value);
  bool RowSizingAllowed() const { return row_sizing_allowed_; }
  void SetRowSizingAllowed(bool Value);
  bool SortLocal() const { return sort_local_; }
  void SetSortLocal(bool Value) { sort_local_ = Value; }
  int TitleHeight() const { return title_height_; }
  void SetTitleHeight(int Value);
  int TitleLines() const { return title_lines_; }
  void SetTitleLines(int Value);
  TCustomImageList* TitleImages() const { return title_images_; }
  void SetTitleImages(TCustomImageList* Value);
  bool UseMultiTitle() const { return use_multi_title_; }
  void SetUseMultiTitle(bool Value);
  int VTitleMargin() const { return v_title_margin_; }
  void SetVTitleMargin(int Value);
  int TitlePadding() const { return title_padding_; }
  TDataSource* DataSource() const;
  void SetDataSource(TDataSource* Value);
  TDBGridEhStyle* Style() const { return style_; }
  void SetStyle(TDBGridEhStyle* Value);
  int EditButtonWidth() const { return edit_button_width_; }
  int EditButtonHeight() const { return edit_button_height_; }
  bool AcquireFocusAllowed() const { return acquire_focus_; }
  void SetAcquireFocusAllowed(bool Value) { acquire_focus_ = Value; }

  int IndicatorOffset() const { return indicator_offset_; }
  int TitleOffset() const { return title_offset_; }
  int SelectedIndex() const;
  void SetSelectedIndex(int Value);
  TColumnEh* SelectedColumn() const;
  TField* SelectedField() const;
  void SetSelectedField(TField* Value);
  int FieldCount() const;
  int RawToDataColumn(int ACol) const { return ACol - indicator_offset_; }
  int DataToRawColumn(int ACol) const { return ACol + indicator_offset_; }
  // Whether the layout writes column widths back to fields' DisplayWidth.
  bool LayoutFromDataSet() const { return layout_from_dataset_; }
  bool InLayout() const { return in_layout_; }
  bool ColumnWidthWriteBack() const { return width_write_back_; }
  bool IncSearching() const { return inc_searching_; }

  // Locks.
  void BeginUpdate();
  void EndUpdate();
  int UpdateLock() const { return update_lock_; }
  int LayoutLock() const { return layout_lock_; }
  bool AcquireLayoutLock();
  void BeginLayout();
  void EndLayout();
  void CancelLayout();
  // Posts the deferred-layout message unless one is already waiting.
  void DeferLayout();
  // Layouts run so far (internal layouts).
  int LayoutCount() const { return layout_count_; }

  // Events.
  const TNotifyEvent& OnApplyFilter() const { return on_apply_filter_; }
  void SetOnApplyFilter(TNotifyEvent V) { on_apply_filter_ = std::move(V); }
  const TDBGridEhClickEvent& OnCellClick() const { return on_cell_click_; }
  void SetOnCellClick(TDBGridEhClickEvent V) { on_cell_click_ = std::move(V); }
  const TCheckTitleEhBtnEvent& OnCheckButton() const { return on_check_button_; }
  void SetOnCheckButton(TCheckTitleEhBtnEvent V) { on_check_button_ = std::move(V); }
  const TNotifyEvent& OnColEnter() const { return on_col_enter_; }
  void SetOnColEnter(TNotifyEvent V) { on_col_enter_ = std::move(V); }
  const TNotifyEvent& OnColExit() const { return on_col_exit_; }
  void SetOnColExit(TNotifyEvent V) { on_col_exit_ = std::move(V); }
  const TNotifyEvent& OnColWidthsChanged() const { return on_col_widths_changed_; }
  void SetOnColWidthsChanged(TNotifyEvent V) { on_col_widths_changed_ = std::move(V); }
  const TNotifyEvent& OnSortMarkingChanged() const { return on_sort_marking_changed_; }
  void SetOnSortMarkingChanged(TNotifyEvent V) { on_sort_marking_changed_ = std::move(V); }
  const TNotifyEvent& OnSumListRecalcAll() const { return on_sum_list_recalc_all_; }
  void SetOnSumListRecalcAll(TNotifyEvent V) { on_sum_list_recalc_all_ = std::move(V); }
  const TNotifyEvent& OnSumListAfterRecalcAll() const { return on_sum_list_after_recalc_all_; }
  void SetOnSumListAfterRecalcAll(TNotifyEvent V) { on_sum_list_after_recalc_all_ = std::move(V); }
  const TMovedEvent& OnColumnMoved() const { return on_column_moved_; }
  void SetOnColumnMoved(TMovedEvent V) { on_column_moved_ = std::move(V); }
  const TDrawColumnEhCellEvent& OnDrawColumnCell() const { return on_draw_column_cell_; }
  void SetOnDrawColumnCell(TDrawColumnEhCellEvent V) { on_draw_column_cell_ = std::move(V); }
  const TDrawDataCellEvent& OnDrawDataCell() const { return on_draw_data_cell_; }
  void SetOnDrawDataCell(TDrawDataCellEvent V) { on_draw_data_cell_ = std::move(V); }
  const TDrawFooterCellEvent& OnDrawFooterCell() const { return on_draw_footer_cell_; }
  void SetOnDrawFooterCell(TDrawFooterCellEvent V) { on_draw_footer_cell_ = std::move(V); }
  const TNotifyEvent& OnEditButtonClick() const { return on_edit_button_click_; }
  void SetOnEditButtonClick(TNotifyEvent V) { on_edit_button_click_ = std::move(V); }
  const TGetBtnEhParamsEvent& OnGetBtnParams() const { return on_get_btn_params_; }
  void SetOnGetBtnParams(TGetBtnEhParamsEvent V) { on_get_btn_params_ = std::move(V); }
  const TGetCellEhParamsEvent& OnGetCellParams() const { return on_get_cell_params_; }
  void SetOnGetCellParams(TGetCellEhParamsEvent V) { on_get_cell_params_ = std::move(V); }
  const TGetFooterParamsEvent& OnGetFooterParams() const { return on_get_footer_params_; }
  void SetOnGetFooterParams(TGetFooterParamsEvent V) { on_get_footer_params_ = std::move(V); }
  const TTitleEhClickEvent& OnTitleBtnClick() const { return on_title_btn_click_; }
  void SetOnTitleBtnClick(TTitleEhClickEvent V) { on_title_btn_click_ = std::move(V); }
  const TDBGridEhClickEvent& OnTitleClick() const { return on_title_click_; }
  void SetOnTitleClick(TDBGridEhClickEvent V) { on_title_click_ = std::move(V); }

  // Virtual operations (in their design order).
  virtual bool AcquireFocus();
  virtual bool IsRowSelectFocused();
  virtual bool IsAlwaysShowEditor();
  virtual bool CellHas3DFrame(int ACol, int ARow);
  // Whether grid cell (ACol, ARow) of data column DataCol shows as selected.
  virtual bool IsCellSelected(int ACol, int ARow, const TBookmark& Bookmark, int DataCol);
  virtual void MemTableCellClick(TColumnEh* /*Column*/) {}
  virtual bool IsFilterRowVisible() const { return st_filter_ && st_filter_->Visible(); }
  virtual bool TitlesVisible() const { return options_.Contains(dgTitles); }
  virtual bool GetHighlightColors(int ACol, int ARow, TFont* AFont, TColor& Background, bool Highlight,
                                  TGridDrawState State, int AreaCol, int AreaRow);
  virtual bool IsCellHighlighted(int ACol, int ARow, int DataCol, int DataRow, TColor& Background,
                                 TGridDrawState& State, TFont* AFont);
  virtual bool IsGridOrEditorFocused();
  virtual void DataChanged();
  virtual void DefineFieldMap();
  virtual void UpdateAfterResize();
  virtual void PaintFlatBorder();
  virtual void DrawDataCellBackground(const TRect& /*Rect*/) {}
  virtual void DrawTitleCell(int ACol, int ARow, const TRect& Rect, TGridDrawState State);
  virtual void GetDatasetFieldList(TList* List);
  virtual void LayoutChanged();
  virtual void LinkActive(bool Value);
  virtual void Scroll(int Distance);
  virtual void InvalidateSelection();
  // Repaints a pixel rectangle of the window (the selection's changed parts).
  virtual void InvalidateSelectionPixels(const TRect& R);
  // Whether a selection kind may start now.
  virtual bool CanSelectType(TDBGridEhSelectionType Value);
  // Moves the record pointer by Distance (to the end with ToEnd), extending
  // the rectangle or the record selection when Select holds.
  void SelectingMoveBy(bool Select, int Distance, bool BookmarkMode, bool ToEnd);
  virtual void SetColumnAttributes();
  void ShowEditor() override;
  virtual void TimedAutoScroll();
  // The editors follow the selection state (the in-place editor hides while
  // a selection exists).
  virtual void UpdateEditors();
  virtual void UpdateActive();
  virtual void UpdateHorzScrollBar();
  virtual void UpdateRowCount();
  virtual void UpdateScrollBar();
  virtual class TInplaceFilterEditEh* CreateFilterEditor();
  virtual bool CanEditFilter() { return filter_editing_ && selection_->SelectionType() == gstNon; }
  virtual void StoreFilterText(int ColumnIndex);
  virtual void UpdateFilterEdit(int ColumnIndex);
  virtual String GetFooterValue(int Row, TColumnEh* Column);
  virtual bool GetFindDialogFlag() { return true; }
  virtual void DefaultApplyFilter();
  virtual void DefaultApplySorting();
  // The dataset's editing state changed (the indicator of the current row).
  virtual void EditingChanged();
  // A record's values changed (Field nil: the whole record).
  virtual void RecordChanged(TField* Field);
  // Writes the edited text of the current cell to its field.
  virtual void UpdateData();

  // Event raisers.
  virtual void CellClick(TColumnEh* Column);
  virtual void ColEnter();
  virtual void ColExit();
  virtual void SortMarkingChanged();
  virtual void TitleClick(TColumnEh* Column);
  virtual void EditButtonClick();

  bool CanEditShow() override;
  bool CanEditAcceptKey(WideChar Key) override;
  bool CanEditModify() override;
  void ColWidthsChanged() override;
  void ColumnMoved(int FromIndex, int ToIndex) override;

  // IInplaceEditHolderEh.
  bool InplaceEditCanModify(TControl* Editor) override;
  void GetMouseDownInfo(TPoint& Pos, int32_t& Time) override;
  void InplaceEditWndProc(TControl* Editor, TMessage& Message) override;
  void InplaceEditKeyDown(TControl* Editor, Word& Key, TShiftState Shift) override;
  void InplaceEditKeyPress(TControl* Editor, WideChar& Key) override;
  void InplaceEditKeyUp(TControl* Editor, Word& Key, TShiftState Shift) override;

  void Loaded() override;
  void Notification(TComponent* AComponent, TOperation Operation) override;
  void Dispatch(TMessage& Message) override;
  void DefaultHandler(TMessage& Message) override;

  // The footer rows (the last FooterRowCount grid rows) repaint.
  void InvalidateFooter();
  // Repaints one data column (grid column DataCol + indicator).
  void InvalidateColumn(int DataCol) { InvalidateCol(DataToRawColumn(DataCol)); }
  // Repaints the grid (the window only).
  void RepaintGrid() { Invalidate(); }

  // Column streaming of the "Columns" defined property.
  void ReadColumns(TReader& Reader);
  void WriteColumns(TWriter& Writer);
  bool StoreColumns() const;

  // The style is going: take the default one (or none).
  void DetachStyle(TDBGridEhStyle* Style);

  // Pointer to the dataset's in-memory-table interface (never offered here).
  void* MemTableIntf() const { return nullptr; }

  // ==== public: Layout, header tree, tooltips and grid services (DBGridEh_Layout.cpp) ====
  // The kind of a grid cell: its column (indicator or data) and its row
  // (titles, filter row, data rows, the row right after them, footers).
  enum THorzCellKindEh { hckIndicatorEh = 0, hckDataEh = 1 };
  enum TVertCellKindEh { vckTitleEh = 0, vckFilterEh = 1, vckDataEh = 2, vckAboveFooterEh = 3, vckFooterEh = 4 };
  struct TCellTypeEh {
    THorzCellKindEh Horz;
    TVertCellKindEh Vert;
  };
  TCellTypeEh GetCellType(int ACol, int ARow, int& DataCol, int& DataRow);
  // The data cells: Left/Top the first data column/row, Right/Bottom the
  // last ones.
  TRect GetDataCellsRect() const;
  // Sets the columns to the widths their titles, values and footers need.
  void OptimizeColsWidth(TColumnsEhList* ColumnsList);
  // The same for Column and, with a column or whole selection, those too.
  void OptimizeColWidth(TColumnEh* Column);
  // The current column's value of the record above (the Ctrl+' key).
  void CopyValueFromPriorRow();
  void ChangeScale(int M, int D) override;
  // A data row is taller than one line of the grid font.
  bool DataRowsMultiLine() const { return data_rows_multi_line_; }
  // One leaf per column (filled with UseMultiTitle).
  struct TLeafFieldEh {
    THeadTreeNode* Leaf = nullptr;
    TColumnEh* Column = nullptr;
  };
  const std::vector<TLeafFieldEh>& LeafFieldArr() const { return leaf_field_arr_; }
  // The window that shows a cell's whole text (made on first use).
  TToolTipsWindow* ToolTipsWindow();
  // Total height of Node's title bands; sets the nodes' heights.
  int GetHeadTreeHeight(THeadTreeNode* Node);

  // ==== public: Cell buttons, cell painting and paint (DBGridEh_Paint.cpp) ====
  // Not Flat, visual themes on, dghFixed3D and both line options.
  virtual bool UseThemedFixedCells() const;
  // One button face inside a cell, clipped to ClipRect.
  void DrawEditButton(TCanvas* Canvas, TEditButtonStyleEh Style, TRect ButtonRect, TRect ClipRect,
                      TColor ParentColor, bool Enabled, bool Flat, bool Active, int Pressed, TBitmap* Glyph);
  // Cell text with margins; flips the alignment under right-to-left reading.
  void DrawCellText(TCanvas* Canvas, const TRect& ARect, bool FillRect, int DX, int DY, const String& Text,
                    TAlignment Alignment, TTextLayout Layout, bool WordWrap, bool EndEllipsis, int LeftMarg,
                    int RightMarg);
  // The grid is its form's active control (or holds the focus window).
  bool IsActiveControl();
  // Repaints the indicator of the row that last showed the current record.
  void InvalidateIndicator();
  // The grid row whose indicator showed the current-record image last.
  int IndicatorRow() const { return indicator_row_; }
  // The paint goes through an off-screen bitmap (on since themed cells).
  bool PaintBuffered() const { return paint_buffered_; }
  // Test reach: puts the incremental search's state and found text as a
  // search would leave them (no record moves).
  void SetIncSearchStateEh(bool Active, const String& Text) {
    inc_searching_ = Active;
    search_text_ = Text;
  }
  // Test reach to the protected painting.
  void PaintCellNow(int ACol, int ARow, const TRect& ARect, TGridDrawState AState) { DrawCell(ACol, ARow, ARect, AState); }

  // ==== public: Scroll bars, record window and keyboard (DBGridEh_Keys.cpp) ====
  // Data rows of the record window, and those fully visible (at least 1).
  int DataRowCount() const;
  int VisibleDataRowCount() const;
  // Incremental search over the current column's display text (Direction 0:
  // the search text plus Text from the first record, 1: the next match, 2:
  // the previous one); Timeout in ms ends the search, -1 keeps it running.
  void DoInplaceSearch(const String& Text, int Timeout, int Direction);
  void StopInplaceSearch();
  const String& InplaceSearchText() const { return search_text_; }
  // Possibility tests of the edit actions.
  bool CanCopy();
  bool CanPaste();
  bool CanCut();
  bool CanSelectAll();
  bool CanDelete();
  // The standard edit actions (TEditCopy ... TEditDelete) run their own
  // operation when it is in EditActions.
  bool ExecuteAction(TBasicAction* Action) override;
  bool UpdateAction(TBasicAction* Action) override;

  // ==== public: Mouse input, messages, events and setters (DBGridEh_Mouse.cpp) ====
  // What a mouse press is tracking.
  enum TGridMouseStateEh : uint8_t { msNormal, msRowSelecting, msColSelecting, msRectSelecting, msFrozenColSizing };
  // Id of the automatic-scroll window timer and its shortest interval.
  static constexpr uintptr_t kAutoScrollTimerId = 1;
  static constexpr int kMinAutoScrollInterval = 10;

  TGridMouseStateEh MouseState() const { return mouse_state_; }
  // The automatic-scroll timer's interval (-1 while stopped).
  int AutoScrollInterval() const { return timer1_interval_; }
  // Raw column of the pressed title button (-1: none).
  int PressedTitleCol() const { return pressed_title_col_; }
  bool Tracking() const { return tracking_; }
  // A Ctrl title click changed a sort marker; the sort event waits for the
  // Ctrl release or the focus loss.
  bool SortMarkingPending() const { return sort_marking_pending_; }
  void SetSortMarkingPending(bool Value) { sort_marking_pending_ = Value; }
  // 1 when the grid draws its own flat single border.
  int FlatBorderWidth() const { return flat_border_width_; }
  void SetCol(int Value);

  virtual void CheckButton(int ACol, TColumnEh* Column, bool& Enabled);
  virtual void TitleBtnClick(int ACol, TColumnEh* Column);
  // Moves the current cell to RawCol (Direction +-1 skips hidden columns;
  // Select extends the rectangle selection).
  void MoveCol(int RawCol, int Direction, bool Select);
  void StartTimer(int Interval);
  void StopTimer();
  // Ends title-button, rectangle and record tracking, the timer and the capture.
  void StopTracking();
  // Pixels of the data cells (indicator, titles and footers excluded).
  TRect DataCellsPixels() const;
  // The last data row (raw), above the footers.
  int LastDataRow() const;
  void DrawSizingLine();
  // The tooltip window's class for truncated cell texts.
  virtual THintWindowClass ToolTipsWindowClass();
  // The cursor a press at a client point would announce (crDefault: the base grid's).
  TCursor HitCursor(int X, int Y);
  // The sort-marked columns in the order of their titles' SortIndex.
  void RebuildSortMarkedColumns();
  // Whether the current row may be edited (the allowed operations).
  bool IsRowEditable();


  // ==== public: Edit text and the in-place editor (DBGridEh_Edit.cpp) ====
  TDataSource* GetDataSource() const { return DataSource(); }
  int GetFieldCount() const { return FieldCount(); }
  int GetSelectedIndex() const { return SelectedIndex(); }
  TField* GetSelectedField() const { return SelectedField(); }
  // The editor's text, mask and length limit (in characters) for a cell.
  String GetEditText(int ACol, int ARow) override;
  String GetEditMask(int ACol, int ARow) override;
  int GetEditLimit() override;
  // The last text GetEditText gave out or the editor handed back.
  const String& EditText() const { return edit_text_; }
  // The value the edit text stands for: a lookup key (or the special row's
  // value); unassigned for other fields.
  const Variant& LookupKeyValue() const { return lookup_key_value_; }
  void SetLookupKeyValue(const Variant& Value) { lookup_key_value_ = Value; }
  // Whether the current record's key is found in the column's lookup
  // dataset. The search neither moves that dataset's cursor nor posts an
  // edit pending there.
  bool IsLookupKeyInList(TColumnEh* Column);
  // The editor's text becomes the edit text; a changed text marks the data
  // link modified, and a cell left with a modified text writes it to its
  // field.
  void SetEditText(int ACol, int ARow, const String& Value) override;
  TDBGridInplaceEdit* DBInplaceEditor() const;

  // ==== public: Filter row, column filters, data service and sorting (DBGridEh_Filter.cpp) ====
  // The filter-row editor (nullptr until first shown) and the column it
  // edits (-1 when none).
  TInplaceFilterEditEh* FilterEditor() const { return filter_edit_; }
  int FilterEditorColumn() const { return filter_edit_col_; }
  bool FilterEditing() const { return filter_editing_; }
  bool ApplyingFilter() const { return applying_filter_; }
  bool IsFilterRow(int ARow) const { return IsFilterRowVisible() && ARow == title_offset_ - 1; }
  // Whether column ColumnIndex exists, is visible and may be filtered.
  bool IsColumnFilterable(int ColumnIndex) const;
  void ShowFilterEditor(int ColumnIndex);
  void ShowFilterEditorAt(bool ResetText);
  void HideFilterEditor();
  void SetFilterEditorVisible(bool Show);
  // Places the shown filter editor again over its cell.
  void PlaceFilterEditor();
  void ApplyFilter();
  void ClearFilter();
  // The filter editor's hooks.
  void FilterEditKeyPress(TObject* Sender, WideChar& Key);
  void FilterEditExit(TObject* Sender);
  void FilterEditGetItemsList(TObject* Sender);
  void FilterEditSelectItem(TObject* Sender, bool& Accept);
  void FilterEditCloseUp(TObject* Sender, bool Accept);
  void FilterEditKeyDown(TObject* Sender, Word& Key, TShiftState Shift);

  // ==== public: Import, clipboard and find (DBGridEhImpExp.cpp, DBGridEhFindDlgs.cpp) ====

  // ==== public: Lookup grids and descendants (DBLookupGridsEh.cpp) ====

 protected:
  virtual TColumnDefValuesEh* CreateColumnDefValues();
  virtual TDBGridColumnsEh* CreateColumns();
  virtual TDBGridEhScrollBar* CreateScrollBar(bool Vertical);
  virtual void InternalLayout();
  void Resize() override;
  void InitWidget() override;
  void DrawCell(int ACol, int ARow, const TRect& ARect, TGridDrawState AState) override;

  // ==== protected: Layout, header tree, tooltips and grid services (DBGridEh_Layout.cpp) ====
  void DoExit() override;
  void RowHeightsChanged() override;
  virtual void BuildHeadTree();

  // ==== protected: Cell buttons, cell painting and paint (DBGridEh_Paint.cpp) ====
  void Paint() override;
  void PaintWindow(HDC DC) override;
  virtual void DrawDataCell(const TRect& Rect, TField* Field, TGridDrawState State);
  virtual void DrawColumnCell(const TRect& Rect, int DataCol, TColumnEh* Column, TGridDrawState State);
  virtual void GetCellParams(TColumnEh* Column, TFont* AFont, TColor& Background, TGridDrawState State);
  virtual void GetFooterParams(int DataCol, int Row, TColumnEh* Column, TFont* AFont, TColor& Background,
                               TAlignment& Alignment, TGridDrawState State, String& Text);
  void FillCellBackground(const TRect& Rect, bool Down, const TRect& ClipRect);
  void DrawTitleBand(THeadTreeNode* ChildNode, TRect ChildRect, bool EndEllipsis);
  void DrawInplaceSearchMark();
  bool IsDuplicateValue(TColumnEh* Column, const String& Text);
  void DrawRequiredMark(TColumnEh* Column, const String& Text, const TRect& Rect);
  bool IsIndicatorRowSelected();
  // The edit kind of a column (the in-place editor's rule), for its cell button.
  virtual TInplaceEditKindEh GetColumnEditStyle(TColumnEh* Column);
  // The filter-row cell of a column: shown, its text, a drop-down offered.
  virtual bool IsColumnFilterShown(TColumnEh* Column);
  virtual String GetColumnFilterText(TColumnEh* Column);
  virtual bool ColumnFilterHasDropDown(TColumnEh* Column);

  // ==== protected: Scroll bars, record window and keyboard (DBGridEh_Keys.cpp) ====
  void KeyDown(Word& Key, TShiftState Shift) override;
  void KeyPress(WideChar& Key) override;
  void KeyUp(Word& Key, TShiftState Shift) override;
  void StartInplaceSearchTimer();
  void StopInplaceSearchTimer();
  // The current record's distance from the middle buffered record, and the
  // bookmark of that middle record: restoring keeps the same records in view.
  void SaveBookmark();
  void RestoreBookmark();
  // Clipboard and selection operations of the edit keys and actions.
  // Runs one edit action on the selection (the clipboard operations of the
  // unit DBGridEhImpExp; select all selects every record).
  virtual void DoEditAction(TDBGridEhEditAction Action);
  // Opens the find dialog through the find-dialog hook (when one is set).
  virtual void ExecuteFindDialog();

  // ==== protected: Mouse input, messages, events and setters (DBGridEh_Mouse.cpp) ====
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseMove(TShiftState Shift, int X, int Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  bool DoMouseWheelDown(TShiftState Shift, TPoint MousePos) override;
  bool DoMouseWheelUp(TShiftState Shift, TPoint MousePos) override;
  TGridSizing CalcSizingState(int X, int Y) override;
  void TimedScroll(TGridScrollDirections Direction) override;
  void TopLeftChanged() override;
  void WndProc(TMessage& Message) override;
  void CreateParams(TCreateParams& Params) override;
  // The messages of the mouse, focus, fonts, hints and window frame; false
  // when the message is not one of them (or goes on to the base handling).
  bool MouseDispatch(TMessage& Message);


  // ==== protected: Edit text and the in-place editor (DBGridEh_Edit.cpp) ====
  TInplaceEdit* CreateEditor() override;

  // ==== protected: Filter row, column filters, data service and sorting (DBGridEh_Filter.cpp) ====

  // ==== protected: Import, clipboard and find (DBGridEhImpExp.cpp, DBGridEhFindDlgs.cpp) ====

  // ==== protected: Lookup grids and descendants (DBLookupGridsEh.cpp) ====
  // Makes the columns and their default values anew through the virtual
  // factories (a descendant's constructor calls it once its overrides exist).
  void RecreateColumnsEh();

 private:
  friend class TGridDataLinkEh;
  friend class TColumnEh;
  friend class TDBGridColumnsEh;
  void TitleFontChanged(TObject* Sender);
  void FooterFontChanged(TObject* Sender);
  void TitleImageListChanged(TObject* Sender);
  void SumListChanged(TObject* Sender);
  void SumListRecalcAll(TObject* Sender);
  void SumListAfterRecalcAll(TObject* Sender);
  void WMDeferLayout(TMessage& Message);
  void RemoveDeferLayoutMessage();
  void RebuildColumns();
  void RefreshVisibleColumns();
  void ApplyBaseOptions();
  void SetLayoutFromDataSet(bool Value) { layout_from_dataset_ = Value; }

  std::unique_ptr<TColumnDefValuesEh> column_def_values_;
  std::unique_ptr<TDBGridColumnsEh> columns_;
  std::unique_ptr<TColumnsEhList> visible_columns_;
  std::unique_ptr<TGridDataLinkEh> data_link_;
  std::unique_ptr<TFont> title_font_;
  std::unique_ptr<TBookmarkListEh> selected_rows_;
  std::unique_ptr<THeadTreeNode> head_tree_;
  std::unique_ptr<TDBGridEhSumList> sum_list_;
  std::unique_ptr<TDBGridEhScrollBar> horz_scroll_bar_, vert_scroll_bar_;
  std::unique_ptr<TColumnsEhList> sort_marked_columns_;
  std::unique_ptr<TDBGridEhSelection> selection_;
  std::unique_ptr<TFont> footer_font_;
  std::unique_ptr<TColCellParamsEh> cell_params_;
  std::unique_ptr<TSTDBGridEhFilter> st_filter_;
  std::unique_ptr<TChangeLink> title_image_link_;
  TDBGridEhStyle* style_ = nullptr;

  TDBGridEhAllowedOperations allowed_operations_;
  TDBGridEhAllowedSelections allowed_selections_;
  bool auto_fit_col_widths_ = false;
  bool draw_memo_text_ = false;
  TDBGridEhEditActions edit_actions_;
  bool flat_ = false;
  TColor footer_color_ = clWindow;
  int footer_row_count_ = 0;
  int frozen_cols_ = 0;
  int min_auto_fit_width_ = 0;
  TDBGridOptions options_;
  TDBGridEhOptions options_eh_;
  bool read_only_ = false;
  int row_height_ = 0, row_lines_ = 0;
  bool row_sizing_allowed_ = false;
  bool sort_local_ = false;
  int title_height_ = 0, title_lines_ = 0;
  TCustomImageList* title_images_ = nullptr;
  bool use_multi_title_ = false;
  int v_title_margin_ = 10;
  int title_padding_ = 4;
  int edit_button_width_ = 0, edit_button_height_ = 0;

  uint8_t update_lock_ = 0;
  uint8_t layout_lock_ = 0;
  bool layout_pending_ = false;
  int layout_count_ = 0;
  int indicator_offset_ = 1;
  int title_offset_ = 1;
  bool acquire_focus_ = true;
  bool filter_editing_ = false;
  bool pending_size_ = false;
  bool inc_searching_ = false;
  bool in_data_changed_ = false;
  bool in_layout_ = false;
  bool layout_from_dataset_ = false;
  bool width_write_back_ = true;
  int pressed_title_col_ = -1;
  bool drawing_bitmap_ref_ = false;
  // The record selection gesture of SelectingMoveBy.
  bool select_gesture_ = false;
  bool select_anchor_was_selected_ = false;
  TBookmark select_anchor_;

  TNotifyEvent on_apply_filter_;
  TDBGridEhClickEvent on_cell_click_;
  TCheckTitleEhBtnEvent on_check_button_;
  TNotifyEvent on_col_enter_, on_col_exit_, on_col_widths_changed_, on_sort_marking_changed_,
      on_sum_list_recalc_all_, on_sum_list_after_recalc_all_;
  TMovedEvent on_column_moved_;
  TDrawColumnEhCellEvent on_draw_column_cell_;
  TDrawDataCellEvent on_draw_data_cell_;
  TDrawFooterCellEvent on_draw_footer_cell_;
  TNotifyEvent on_edit_button_click_;
  TGetBtnEhParamsEvent on_get_btn_params_;
  TGetCellEhParamsEvent on_get_cell_params_;
  TGetFooterParamsEvent on_get_footer_params_;
  TTitleEhClickEvent on_title_btn_click_;
  TDBGridEhClickEvent on_title_click_;

  // ==== private: Layout, header tree, tooltips and grid services (DBGridEh_Layout.cpp) ====
  void AutoFitColumns();
  void LayoutRowHeights();
  void LayoutTitleHeight();
  void SyncAutoFitScrollBar();
  int TitleOptimalWidth(TColumnEh* Column, TCanvas* Canvas);
  int CellOptimalWidth(TColumnEh* Column, TCanvas* Canvas, bool FirstVisible);
  bool data_rows_multi_line_ = false;
  std::vector<TLeafFieldEh> leaf_field_arr_;
  TToolTipsWindow* tool_tips_window_ = nullptr;
  // The auto-fit widths were saved (auto-fit switched on or loaded).
  bool auto_fit_saved_ = false;
  // The grid itself changes the footer font.
  bool footer_font_internal_ = false;

  // ==== private: Cell buttons, cell painting and paint (DBGridEh_Paint.cpp) ====
  struct TCellDrawCtx;
  void DrawIndicatorCell(TCellDrawCtx& C);
  void DrawTitleRowCell(TCellDrawCtx& C);
  void DrawDataRowCell(TCellDrawCtx& C);
  void DrawFooterRowCell(TCellDrawCtx& C);
  void DrawCellFrame(const TRect& R, bool Down, bool LeftSide, bool RightSide);
  void DrawGridLines(const TGridDrawInfo& Info);
  void DrawSortMarker(const TRect& Cell, TRect& TextRect, TColumnEh* Column, TSortMarkerEh Marker, int Shift,
                      bool Highlighted, bool Themed, bool Measure, int& SortWidth, bool& ShowBitmap, bool& ShowDigits);
  TCellDrawCtx* draw_ctx_ = nullptr;
  int indicator_row_ = -1;
  bool paint_buffered_ = false;
  bool last_focused_ = false;

  // ==== private: Scroll bars, record window and keyboard (DBGridEh_Keys.cpp) ====
  friend class TDBGridEhScrollBar;
  bool KeysDispatch(TMessage& Message);
  void WMVScroll(TMessage& Message);
  void WMHScroll(TMessage& Message);
  bool WMChar(TMessage& Message);
  bool CanStartInplaceSearch();
  bool SearchableState();
  void PriorRow(bool Select);
  void NextRow(bool Select);
  void MoveCol(int RawCol, bool Select);
  void TabMove(bool Backward);
  void DeleteRecords();
  void VertMoveTo(int Position, bool Tracking);
  String search_text_;
  int search_timeout_ = 0;
  bool search_timer_running_ = false;
  bool in_search_guard_ = false;
  WideChar search_surrogate_ = 0;
  TBookmark search_bookmark_;
  int search_offset_ = 0;
  bool key_toggle_ = false;
  bool thumb_moved_ = false;
  int last_track_pos_ = -1;
  struct TVertBarState {
    int Min = 0, Max = 0, Page = 0, Pos = 0;
    TScrollBarVisibleModeEh Mode = sbAutoShowEh;
    bool Applied = false;
    bool operator==(const TVertBarState&) const = default;
  } vert_bar_;
  int horz_ext_[3] = {-1, -1, -1};

  // ==== private: Mouse input, messages, events and setters (DBGridEh_Mouse.cpp) ====
  // Frozen-column border test: a sizing state for the title area.
  bool CalcFrozenSizing(int X, int Y, TGridSizing& Sizing);
  // The data cell under a client point: raw coordinates, or (-1,-1).
  bool PressInDataCells(TGridCoord Cell) const;
  bool IsTitleButtonBand(int RawCol, int Y);
  void ApplyTraceColSizing(int X);
  void DataAreaPress(TMouseButton Button, TShiftState Shift, int X, int Y, TGridCoord Cell);
  void WMSetCursor(TMessage& Message);
  void WMTimer(TMessage& Message);
  void CancelMouseMode();
  void HintShow(TMessage& Message);
  void HintShowPause(TMessage& Message);
  // The cell's text does not fit its cell (what the tooltip shows).
  bool CellTextTruncated(int ACol, int ARow, String& Text, TFont* Font, TAlignment& Alignment);

  TGridMouseStateEh mouse_state_ = msNormal;
  TPoint press_point_, last_point_;
  TShiftState last_shift_;
  bool tracking_ = false;
  bool rect_tracking_ = false, row_tracking_ = false;
  bool title_looks_pressed_ = false;
  bool right_press_as_left_ = false;
  bool drag_pending_ = false;
  bool auto_drag_ = false;
  TGridCoord click_cell_{-1, -1};
  int sizing_index_ = -1, sizing_pos_ = 0, sizing_offset_ = 0;
  bool sizing_line_shown_ = false;
  bool trace_sizing_ = false;
  bool sort_marking_pending_ = false;
  int timer1_interval_ = -1;
  bool in_col_exit_ = false;
  bool focus_state_ = false;
  int flat_border_width_ = 0;
  TPoint down_point_;
  int32_t down_time_ = 0;
  bool left_at_first_ = true;
  bool in_parent_font_ = false;


  // ==== private: Edit text and the in-place editor (DBGridEh_Edit.cpp) ====
  friend class TDBGridInplaceEdit;
  // Writes Text to Column's field as the cell's edit (UpdateData's core).
  void WriteEditText(TColumnEh* Column, const String& Text);
  String edit_text_;
  Variant lookup_key_value_;
  bool writing_edit_text_ = false;

  // ==== private: Filter row, column filters, data service and sorting (DBGridEh_Filter.cpp) ====
  // Moves the filter editor to the next filterable column in Direction (-1
  // or 1), from beyond the far end when FromEdge.
  void MoveFilterEditor(int Direction, bool FromEdge);
  void InvalidateFilterCell(int ColumnIndex);
  TInplaceFilterEditEh* filter_edit_ = nullptr;
  int filter_edit_col_ = -1;
  bool applying_filter_ = false;
  bool filter_scroll_guard_ = false;

  // ==== private: Import, clipboard and find (DBGridEhImpExp.cpp, DBGridEhFindDlgs.cpp) ====

  // ==== private: Lookup grids and descendants (DBLookupGridsEh.cpp) ====

};

// ---------------------------------------------------------------------------
// Classes and routines by area

// ==== Layout, header tree, tooltips and grid services (DBGridEh_Layout.cpp) ====

// The tooltip window of grid cells (text in clWindowText).
class TToolTipsWindow : public THintWindow {
 public:
  using THintWindow::THintWindow;
  TRect CalcHintRect(int MaxWidth, const String& AHint, void* AData) override;
};

// Words of a text split by any of Delims (a byte of a multi-byte character
// is never a delimiter). N is 1-based.
int WordPosition(int N, const String& S, const String& Delims);
String ExtractWord(int N, const String& S, const String& Delims);
String ExtractWordPos(int N, const String& S, const String& Delims, int& Pos);

// ==== Cell buttons, cell painting and paint (DBGridEh_Paint.cpp) ====
// Text flags of the incremental-search mark for an alignment.
UINT InplaceSearchMarkFlags(TAlignment Alignment);

// ==== Scroll bars, record window and keyboard (DBGridEh_Keys.cpp) ====

// ==== Mouse input, messages, events and setters (DBGridEh_Mouse.cpp) ====

// ==== Edit text and the in-place editor (DBGridEh_Edit.cpp) ====


// The grid's cell editor: the cell's text with the column's edit buttons,
// an image of the value, the required-field mark, type-ahead against pick
// lists, key lists and lookup datasets, and the drop-downs (pick list,
// lookup grid, calendar, calculator, most-recently-used list). Typing
// changes the grid's edit text only; the field is written by the grid's
// UpdateData, except for a date taken from the calendar, written at once.
class TDBGridInplaceEdit : public TInplaceEdit, public IPopupOwnerEh {
 public:
  explicit TDBGridInplaceEdit(TComponent* AOwner);
  ~TDBGridInplaceEdit() override;

  TCustomDBGridEh* Grid() const;
  // The grid's column at its SelectedIndex (nullptr when none).
  TColumnEh* GetColumn() const;
  TInplaceEditKindEh EditKind() const { return edit_kind_; }
  // Stores the kind, picks its popup and takes ReadOnly from the column.
  void SetEditStyle(TInplaceEditKindEh Kind);
  TInplaceEditKindEh GetColumnEditStyle(TColumnEh* Column) const;
  // The MRU list of the column being edited (looked up each time: columns
  // are freed and rebuilt under the editor).
  TMRUListEh* ColumnMRUList() const;
  TWinControl* ActiveList() const { return active_list_; }
  bool ListVisible() const { return list_visible_; }
  bool ListDropped() const { return list_dropped_; }
  int ButtonWidth() const { return button_width_; }
  int ImageIndex() const { return image_index_; }
  bool CellReadOnly() const { return cell_read_only_; }
  bool WordWrap() const { return word_wrap_; }
  void SetWordWrap(bool Value);
  void SetGridUpdating(bool Value) { grid_updating_ = Value; }
  TDataSource* ListDataSource() const { return data_source_; }
  TCustomDBGridEh* DataList() const { return data_list_; }
  TPopupListboxEh* PickListBox() const { return pick_list_box_; }
  TPopupMonthCalendarEh* Calendar() const { return calendar_; }
  TPopupCalculatorEh* Calculator() const { return calculator_; }
  TMRUListboxEh* MRUListBox() const { return mru_list_box_; }
  TMRUListboxEh* GetMRUListBox();
  int ButtonControlCount() const { return static_cast<int>(button_controls_.size()); }
  TEditButtonControlEh* ButtonControl(int Index) const { return button_controls_.at(static_cast<size_t>(Index)).Button; }

  void UpdateContents() override;
  void DropDown();
  // IPopupOwnerEh, and the editor's close-up.
  void CloseUp(bool Accept) override;
  // Alt+Up/Down, Enter, Escape and Ctrl+Enter for the drop-down: true when
  // the key was used (it then becomes 0).
  bool DoDropDownKeys(Word& Key, TShiftState Shift);
  // The up-down step of the column's value (Down: backwards).
  void StepValue(bool Down);
  void DropDownMRUList();
  void CloseMRUList(bool Accept);
  // Whether the required-field mark shows now.
  bool DrawRequiredMark();

  virtual void UpdateImageIndex();
  virtual TEditButtonControlEh* CreateEditButtonControl();
  virtual TMRUListboxEh* CreateMRUListBox();
  virtual TPopupCalculatorEh* GetPopupCalculator();
  virtual void ButtonDown(bool Down);
  virtual void GetEditRect(TRect& R);
  // Type-ahead: S is what a key press would insert; true when it was used.
  virtual bool CompleteTypedText(String& S);
  virtual void EditButtonClick(TObject* Sender);
  virtual void EditButtonDown(TObject* Sender, bool TopButton, bool& AutoRepeat, bool& Handled);
  virtual void EditButtonMouseMove(TObject* Sender, TShiftState Shift, int X, int Y);
  virtual void EditButtonMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  virtual void FilterMRUItem(const String& ItemText, bool& Accept);
  virtual void StoreMRUListSize();
  virtual void PaintRequiredMark(TCanvas* ACanvas);
  // The editor's text changed (EN_CHANGE).
  void Change() override;

  void WndProc(TMessage& Message) override;
  void DefaultHandler(TMessage& Message) override;
  void Notification(TComponent* AComponent, TOperation Operation) override;
  void PaintWindow(HDC DC) override;
  void BeforeDestruction() override;

 protected:
  void CreateParams(TCreateParams& Params) override;
  void BoundsChanged() override;
  void KeyDown(Word& Key, TShiftState Shift) override;
  void KeyUp(Word& Key, TShiftState Shift) override;
  void KeyPress(WideChar& Key) override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  bool DoMouseWheelDown(TShiftState Shift, TPoint MousePos) override;
  bool DoMouseWheelUp(TShiftState Shift, TPoint MousePos) override;

 private:
  struct ButtonPair {
    TShape* Divider = nullptr;
    TEditButtonControlEh* Button = nullptr;
  };
  bool IsLookupColumn(TColumnEh* Column) const;
  bool IsKeyListColumn(TColumnEh* Column) const;
  // The text in place of the selection, with what typing S would insert.
  String TextWithTyped(const String& S) const;
  // Takes a found or free text as the cell's value (type-ahead and paste).
  bool ApplyLookupText(const String& NewText);
  bool ApplyListText(const String& NewText);
  void SetTextSelecting(const String& Text, size_t TypedChars);
  void SyncEditValue();
  void PasteText();
  void UpdateButtonControls();
  void ListMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void MRUListMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void ShowPopup(TWinControl* Popup);
  void HidePopup(TWinControl* Popup);
  void DataListTakeKey(const Variant& Key);
  String DataListText() const;
  void SetListText(const String& Value);

  std::unique_ptr<TControlCanvas> canvas_;
  TWinControl* active_list_ = nullptr;
  int button_width_ = 0;
  TCustomDBGridEh* data_list_ = nullptr;
  bool list_dropped_ = false;
  std::vector<ButtonPair> button_controls_;
  TInplaceEditKindEh edit_kind_ = ekPlain;
  bool spec_row_picked_ = false;
  bool list_visible_ = false;
  bool grid_updating_ = false;
  TDataSource* data_source_ = nullptr;
  TMRUListboxEh* mru_list_box_ = nullptr;
  bool opened_by_press_ = false;
  TPopupListboxEh* pick_list_box_ = nullptr;
  TPopupCalculatorEh* calculator_ = nullptr;
  TPopupMonthCalendarEh* calendar_ = nullptr;
  bool cell_read_only_ = false;
  bool text_changed_ = false;
  bool mru_setting_text_ = false;
  bool word_wrap_ = false;
  int image_index_ = -1;
  WideChar pending_surrogate_ = 0;
};

// Searches DataSet for KeyValues in KeyFields, reading ResultFields (into
// Result) and the text of the first key field (into KeyText) of the record
// found, and leaves the dataset as it was: the cursor returns to its
// bookmark with no post, and a dataset with an edit pending is not searched
// (false).
bool LookupQuietlyEh(TDataSet* DataSet, const String& KeyFields, const Variant& KeyValues, TLocateOptions Options,
                     const String& ResultFields, Variant* Result, String* KeyText = nullptr);

// A cell's text as a number for the calculator: thousands separators,
// currency marks and blanks are skipped; 0 when it does not convert.
double CalculatorValueOfText(const String& Text);

// ==== Filter row, column filters, data service and sorting (DBGridEh_Filter.cpp) ====

// The editor of the filter row: a combo box over a filter cell whose text
// sits one pixel lower than in a plain combo box.
class TInplaceFilterEditEh : public TDBComboBoxEh {
 public:
  explicit TInplaceFilterEditEh(TComponent* AOwner) : TDBComboBoxEh(AOwner) {}
  TRect GetEditRect() override;
  void InternalSetValue(const Variant& AValue) override;
  // Sets the value, then shows Text for it (a key value with its text).
  void SetFilterEditValue(const Variant& Value, const String& Text);
};

// Applies a grid's filter and sorting: through its events when assigned,
// else through the dataset-feature handler of the grid's dataset.
class TDBGridEhDataService : public TPersistent {
 public:
  using TGridEvent = Event<void(TCustomDBGridEh* Grid)>;
  const TGridEvent& OnApplyFilter() const { return on_apply_filter_; }
  void SetOnApplyFilter(TGridEvent Value) { on_apply_filter_ = std::move(Value); }
  const TGridEvent& OnApplySorting() const { return on_apply_sorting_; }
  void SetOnApplySorting(TGridEvent Value) { on_apply_sorting_ = std::move(Value); }

  virtual void ApplyFilter(TCustomDBGridEh* Grid);
  virtual void ApplySorting(TCustomDBGridEh* Grid);
  virtual void DefaultApplyFilter(TCustomDBGridEh* Grid);
  virtual void DefaultApplySorting(TCustomDBGridEh* Grid);

 private:
  TGridEvent on_apply_sorting_;
  TGridEvent on_apply_filter_;
};

// The unit's data service (nullptr outside the unit's life).
TDBGridEhDataService* DBGridEhDataService();

// Stands in for a column when a grid's layout is stored: Width is restored
// into the fitted width under AutoFitColWidths, else into Width.
class TColumnEhPropertyInterceptor : public TStoragePropertyInterceptor {
 public:
  explicit TColumnEhPropertyInterceptor(TPersistent* ATarget) : TStoragePropertyInterceptor(ATarget) {}
  // The column's width as stored (the registry needs a getter).
  int Width() const;
  void SetWidth(int Value);

 private:
  TColumnEh* Column() const;
};

// Stands in for a column collection: ColumnsIndex is the columns' field
// names in double quotes joined by commas; setting it moves the named
// columns to those positions.
class TColumnsEhPropertyInterceptor : public TStoragePropertyInterceptor {
 public:
  explicit TColumnsEhPropertyInterceptor(TPersistent* ATarget) : TStoragePropertyInterceptor(ATarget) {}
  String ColumnsIndex() const;
  void SetColumnsIndex(const String& Value);
  void EndRestore() override {}

 private:
  String columns_index_;
};

// Run by the grid unit's initialization and finalization: the data
// service, the interceptors and their published properties.
void InitDBGridEhFilters();
void FinalDBGridEhFilters();

// ==== Import, clipboard and find (DBGridEhImpExp.cpp, DBGridEhFindDlgs.cpp) ====

// A caption with its column, as the find dialog offers them.
struct TColumnFieldItemEh {
  String Caption;
  TColumnEh* Column = nullptr;
};
using TColumnFieldsArrEh = std::vector<TColumnFieldItemEh>;
// The find-dialog hook the grid calls to open its find dialog (set by the
// unit DBGridEhFindDlgs when it starts).
using TExecuteDBGridEhFindDialogProc = void (*)(TCustomDBGridEh* Grid, const String& Text, const String& FieldName,
                                                const TColumnFieldsArrEh& Columns, bool Modal);
extern TExecuteDBGridEhFindDialogProc ExecuteDBGridEhFindDialogProc;

// ==== Lookup grids and descendants (DBLookupGridsEh.cpp) ====
// Installs (or, with Register false, removes) the column drop-down grid
// factory of the lookup-grid unit.
void RegisterLookupGridFactoryEh(bool Register = true);

// ---------------------------------------------------------------------------
// Style and routines

class TDBGridEhStyle : public TPersistent {
 public:
  TDBGridEhStyle();
  ~TDBGridEhStyle() override;

  bool BlendSelection() const { return blend_selection_; }
  void SetBlendSelection(bool Value) { blend_selection_ = Value; }
  int NumColors() const { return num_colors_; }
  void SetNumColors(int Value) { num_colors_ = Value; }
  HWND Handle() const { return handle_; }
  bool ApplyFilterOnCloseUp() const { return apply_filter_on_close_up_; }
  void SetApplyFilterOnCloseUp(bool Value) { apply_filter_on_close_up_ = Value; }
  bool DrawFocusFrame() const { return draw_focus_frame_; }
  void SetDrawFocusFrame(bool Value) { draw_focus_frame_ = Value; }

  void AddGrid(TCustomDBGridEh* Grid);
  void RemoveGrid(TCustomDBGridEh* Grid);
  bool HasGrid(TCustomDBGridEh* Grid) const;
  int GridCount() const { return static_cast<int>(grids_.size()); }

  virtual bool GetDataCellHighlight(TCustomDBGridEh* Grid, int ACol, int ARow, int DataCol, int DataRow,
                                    TGridDrawState AState, TColor& Background, TFont* AFont);
  virtual bool GetFixedCellHighlight(TCustomDBGridEh* Grid, int ACol, int ARow, int DataCol, int DataRow,
                                     bool Highlight, int HorzAreaKind, int VertAreaKind, TColor& Background,
                                     TFont* AFont);
  virtual void WndProc(TMessage& Message);
  virtual void ReadNumColors();

 private:
  std::vector<TCustomDBGridEh*> grids_;
  bool blend_selection_ = true;
  int num_colors_ = -1;
  HWND handle_ = nullptr;
  bool apply_filter_on_close_up_ = false;
  bool draw_focus_frame_ = true;
};

// The global default style (nullptr outside the unit's life).
TDBGridEhStyle* DBGridEhDefaultStyle();
TColor BlendColor(TColor Color, TColor Target, bool Darken);

[[noreturn]] void RaiseGridError(const String& Msg);
void KillMessage(HWND Wnd, Cardinal Msg);
inline int IntMax(int A, int B) { return A > B ? A : B; }
inline int IntMin(int A, int B) { return A < B ? A : B; }
inline int IntIfThen(bool Cond, int A, int B) { return Cond ? A : B; }
inline TRect MakeRect(int Left, int Top, int Right, int Bottom) { return TRect{Left, Top, Right, Bottom}; }
void InvalidateGridRow(TCustomGrid* Grid, int ARow);
void SwapRectSize(TRect& R);
inline bool PointInRectEh(int X, int Y, const TRect& R) {
  return X >= R.Left && X <= R.Right && Y >= R.Top && Y <= R.Bottom;
}
bool CellTextExceeds(TControl* Control, int XMargin, int YMargin, const String& Text, const TRect& R,
                     bool WordWrap, int& TextWidth, int& TextHeight);
int GetTextWidthEh(TCanvas* Canvas, const String& Text);
int GetFontTextHeight(TCanvas* Canvas, TFont* Font);
bool FieldsCanModify(const std::vector<TField*>& FieldList);

// Text routines of the grid painting.
String EllipsisText(const String& Text, TCanvas* Canvas, int MaxWidth);
struct TDrawMultiLineTextParamsEh {
  TRect Rect;
  String Text;
  TAlignment Alignment = taLeftJustify;
  TTextLayout Layout = tlTop;
  bool WordWrap = true;
  bool EndEllipsis = false;
  bool RightToLeft = false;
  int HorzMargin = 0;
  int VertMargin = 0;
};
void DrawMultiLineText(TCanvas* Canvas, const TDrawMultiLineTextParamsEh& Params);
void WriteCellText(TCanvas* Canvas, const TRect& ARect, bool FillRect, int DX, int DY, const String& Text,
                   TAlignment Alignment, TTextLayout Layout, bool MultiLine, bool EndEllipsis, int LeftMarg,
                   int RightMarg, bool RightToLeft = false);
HFONT CreateVerticalFont(TFont* Font);
int WriteVerticalText(TCanvas* Canvas, const TRect& ARect, bool FillRect, int DX, int DY, const String& Text,
                      TAlignment Alignment, TTextLayout Layout, bool EndEllipsis, bool CalcOnly);
inline void SwapInts(int& A, int& B) {
  const int t = A;
  A = B;
  B = t;
}
int FindListItem(TStrings* Items, const String& S, TLocateOptions Options);

// ---------------------------------------------------------------------------
// Unit-wide objects

// The indicator images (7 after initialization) and the sort markers (2).
TCustomImageList* DBGridEhIndicators();
TCustomImageList* DBGridEhSortMarkerImages();
// Builds both lists (run by the initialization).
void LoadGridImagesEh();
// Adds the indicator arrow composed on the incremental-search background as
// the seventh indicator image (replacing one that is there).
void AddComposedArrowEh();
TFont* DBGridEhSortIndexFont();
// The unit's cursors (crDownCurEh, crRightCurEh, crLeftCurEh in Screen).
inline constexpr TCursor crDownCurEh = static_cast<TCursor>(101);
inline constexpr TCursor crRightCurEh = static_cast<TCursor>(102);
inline constexpr TCursor crLeftCurEh = static_cast<TCursor>(103);
// The shortcuts of the unit.
struct TDBGridEhShortCuts {
  TShortCut FindDialog = 0;
  TShortCut CtrlEnter = 0;
  TShortCut ShiftCtrlEnter = 0;
  TShortCut CtrlQuote = 0;
  TShortCut Find = 0;
};
const TDBGridEhShortCuts& DBGridEhShortCuts();
extern int DBGridEhInplaceSearchTimeOut;
extern TColor DBGridEhInplaceSearchColor;
extern TColor DBGridEhInplaceSearchTextColor;
// The shared cell parameters used while painting.
TColCellParamsEh* DBGridEhPaintCellParams();
// Grids alive (the shared drawing bitmap exists while above 0).
int DBGridEhDrawBitmapRefCount();
TBitmap* DBGridEhDrawBitmap();

void RegisterDBGridEhResources();
extern const TUnit unit_DBGridEh;
