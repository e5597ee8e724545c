// DBGridEh: the grid's data link, the style object, the unit's routines, its
// images and its initialization.
#include <algorithm>
#include <cmath>

#include "grid/datagrid/DBGridEh.h"
#include "grid/datagrid/DbUtilsEh.h"
#include "grid/toolkit/DBSumLst.h"
#include "grid/toolkit/PropFilerEh.h"
#include "platform/gui/Cursors.h"
#include "platform/gui/Forms.h"
#include "platform/gui/GDI.h"
#include "platform/os/Resources.h"
#include "platform/rtl/FormStream.h"
#include "platform/rtl/Locale.h"
#include "platform/rtl/SysUtils.h"
#include "platform/rtl/TypInfo.h"

// ---------------------------------------------------------------------------
// TGridDataLinkEh

TGridDataLinkEh::TGridDataLinkEh(TCustomDBGridEh* AGrid) : grid_(AGrid) { SetVisualControl(true); }

TGridDataLinkEh::~TGridDataLinkEh() { ClearMapping(); }

bool TGridDataLinkEh::AddMapping(const String& FieldName) {
  if (field_count_ >= kMaxMapSize) throw EInvalidGridOperation("Grid requested to display more than 256 columns");
  TDataSet* ds = DataSet();
  TField* field = nullptr;
  if (ds != nullptr) field = sparse_map_ ? ds->FindField(FieldName) : ds->FieldByName(FieldName);
  else if (!sparse_map_) throw EInvalidGridOperation("Field '" + FieldName + "' not found");
  if (field_count_ == map_capacity_) {
    int64_t cap = map_capacity_ == 0 ? 8 : static_cast<int64_t>(map_capacity_) * 2;
    if (cap < field_count_) cap = field_count_ + 1;
    cap = std::min<int64_t>(cap, kMaxMapSize);
    field_map_.resize(static_cast<size_t>(cap));
    map_capacity_ = static_cast<int>(cap);
  }
  if (field != nullptr) {
    field_map_[static_cast<size_t>(field_count_)] = field->Index();
    if (grid_ != nullptr) field->FreeNotification(grid_);
  } else {
    field_map_[static_cast<size_t>(field_count_)] = -1;
  }
  ++field_count_;
  return true;
}

void TGridDataLinkEh::ClearMapping() {
  field_map_.clear();
  field_map_.shrink_to_fit();
  map_capacity_ = 0;
  field_count_ = 0;
}

TField* TGridDataLinkEh::Fields(int I) const {
  if (I < 0 || I >= field_count_) return nullptr;
  const int entry = field_map_[static_cast<size_t>(I)];
  TDataSet* ds = DataSet();
  if (entry < 0 || ds == nullptr || entry >= ds->Fields()->Count()) return nullptr;
  return ds->Fields()->Fields(entry);
}

bool TGridDataLinkEh::DefaultFields() const {
  TDataSet* ds = DataSet();
  if (ds == nullptr) return true;
  if (!ds->DefaultFields()) return false;
  if (sparse_map_)
    for (int i = 0; i < field_count_; ++i)
      if (field_map_[static_cast<size_t>(i)] < 0) return false;
  return true;
}

void TGridDataLinkEh::Reset() {
  if (modified_) RecordChanged(nullptr);
  else if (DataSet() != nullptr) DataSet()->Cancel();
}

void TGridDataLinkEh::ActiveChanged() {
  if (grid_ != nullptr) grid_->LinkActive(Active());
  modified_ = false;
}

void TGridDataLinkEh::DataSetChanged() {
  if (grid_ != nullptr) grid_->DataChanged();
  modified_ = false;
}

void TGridDataLinkEh::DataSetScrolled(int Distance) {
  if (grid_ != nullptr) grid_->Scroll(Distance);
}

void TGridDataLinkEh::EditingChanged() {
  if (grid_ != nullptr) grid_->EditingChanged();
}

void TGridDataLinkEh::FocusControl(TFieldRef FieldRef) {
  if (grid_ == nullptr || FieldRef == nullptr || *FieldRef == nullptr) return;
  TField* field = *FieldRef;
  grid_->SetSelectedField(field);
  if (grid_->SelectedField() == field && grid_->AcquireFocus()) {
    *FieldRef = nullptr;
    grid_->ShowEditor();
  }
}

void TGridDataLinkEh::LayoutChanged() {
  if (grid_ == nullptr) return TDataLink::LayoutChanged();
  const bool saved = grid_->LayoutFromDataSet();
  grid_->SetLayoutFromDataSet(true);
  try {
    grid_->LayoutChanged();
  } catch (...) {
    grid_->SetLayoutFromDataSet(saved);
    throw;
  }
  grid_->SetLayoutFromDataSet(saved);
  TDataLink::LayoutChanged();
}

void TGridDataLinkEh::RecordChanged(TField* Field) {
  if (grid_ != nullptr) grid_->RecordChanged(Field);
  modified_ = false;
}

void TGridDataLinkEh::UpdateData() {
  if (in_update_data_) return;
  in_update_data_ = true;
  try {
    if (modified_ && grid_ != nullptr) grid_->UpdateData();
    modified_ = false;
  } catch (...) {
    in_update_data_ = false;
    throw;
  }
  in_update_data_ = false;
}

// ---------------------------------------------------------------------------
// TDBGridEhStyle

namespace {
TDBGridEhStyle* g_default_style = nullptr;
}  // namespace

TDBGridEhStyle* DBGridEhDefaultStyle() { return g_default_style; }

TDBGridEhStyle::TDBGridEhStyle() {
  handle_ = AllocateHWnd({this, &TDBGridEhStyle::WndProc});
  ReadNumColors();
}

TDBGridEhStyle::~TDBGridEhStyle() {
  DeallocateHWnd(handle_);
  if (g_default_style == this) g_default_style = nullptr;
  while (!grids_.empty()) {
    TCustomDBGridEh* g = grids_.back();
    grids_.pop_back();
    g->DetachStyle(this);
  }
}

void TDBGridEhStyle::AddGrid(TCustomDBGridEh* Grid) {
  if (!HasGrid(Grid)) grids_.push_back(Grid);
}
void TDBGridEhStyle::RemoveGrid(TCustomDBGridEh* Grid) {
  grids_.erase(std::remove(grids_.begin(), grids_.end(), Grid), grids_.end());
}
bool TDBGridEhStyle::HasGrid(TCustomDBGridEh* Grid) const {
  return std::find(grids_.begin(), grids_.end(), Grid) != grids_.end();
}

void TDBGridEhStyle::ReadNumColors() {
  HDC dc = GetDC(nullptr);
  num_colors_ = GetDeviceCaps(dc, NUMCOLORS);
  ReleaseDC(nullptr, dc);
}

void TDBGridEhStyle::WndProc(TMessage& Message) {
  if (Message.Msg == WM_SYSCOLORCHANGE) {
    try {
      ReadNumColors();
    } catch (...) {
      if (Application != nullptr) Application->HandleException(this);
    }
    return;
  }
  Message.Result = 0;
}

TColor BlendColor(TColor Color, TColor Target, bool Darken) {
  const int32_t c = ColorToRGB(Color), t = ColorToRGB(Target);
  int32_t out = 0;
  for (int shift = 0; shift <= 16; shift += 8) {
    const double cc = (c >> shift) & 0xFF, tt = (t >> shift) & 0xFF;
    double m = (tt - cc) * 0.5 + cc;
    m = (225 - m) * 0.6 + m;
    if (Darken) m = m - (122 - m) * 0.25;
    const int v = std::clamp(static_cast<int>(std::nearbyint(m)), 0, 255);
    out |= v << shift;
  }
  return static_cast<TColor>(out);
}

namespace {
// The nearest colour the grid's canvas shows (the colour itself without one).
TColor NearestGridColor(TCustomDBGridEh* Grid, TColor Color) {
  TCanvas* cv = Grid->Canvas();
  const COLORREF c = static_cast<COLORREF>(ColorToRGB(Color));
  const COLORREF n = GetNearestColor(cv != nullptr && cv->HandleAllocated() ? cv->Handle() : nullptr, c);
  return static_cast<TColor>(n == 0xFFFFFFFFu ? c : n);
}
}  // namespace

bool TDBGridEhStyle::GetDataCellHighlight(TCustomDBGridEh* Grid, int ACol, int ARow, int DataCol, int /*DataRow*/,
                                          TGridDrawState AState, TColor& Background, TFont* AFont) {
  bool highlighted = false;
  TGridDataLinkEh* link = Grid->DataLink();
  if (link->Active() && link->DataSet() != nullptr)
    highlighted = Grid->IsCellSelected(ACol, ARow, link->DataSet()->Bookmark(), DataCol);
  const bool on_row = ARow == Grid->Row();
  const bool focused = Grid->IsGridOrEditorFocused();
  bool focus_row = false;
  if (!highlighted) {
    focus_row = focused && Grid->OptionsEh().Contains(dghHighlightFocus);
    if (Grid->OptionsEh().Contains(dghRowHighlight) && on_row && Grid->Selection()->SelectionType() == gstNon &&
        ACol != Grid->Col()) {
      focus_row = true;
      AState.Include(gdSelected);
    }
    highlighted = (AState.Contains(gdSelected) || (on_row && Grid->Options().Contains(dgRowSelect))) &&
                  (Grid->Options().Contains(dgAlwaysShowSelection) || focus_row) &&
                  (Grid->UpdateLock() == 0 || Grid->Options().Contains(dgRowSelect));
  }
  if (!highlighted) return false;
  if (focused) {
    const bool other_cell = !on_row || (ACol != Grid->Col() && !Grid->Options().Contains(dgRowSelect));
    if (blend_selection_ && num_colors_ == -1 && other_cell) {
      Background = NearestGridColor(Grid, BlendColor(Background, clHighlight, true));
    } else {
      Background = clHighlight;
      if (AFont != nullptr) AFont->SetColor(clHighlightText);
    }
  } else if ((on_row || ACol == Grid->Col() || Grid->Options().Contains(dgRowSelect)) &&
             (Grid->Options().Contains(dgAlwaysShowSelection) || focus_row)) {
    Background = clBtnFace;
    if (AFont != nullptr) AFont->SetColor(clBtnText);
  } else if (num_colors_ == -1) {
    Background = NearestGridColor(Grid, BlendColor(Background, clBtnShadow, false));
  } else {
    Background = clBtnFace;
  }
  return true;
}

bool TDBGridEhStyle::GetFixedCellHighlight(TCustomDBGridEh* Grid, int, int, int, int, bool Highlight,
                                           int HorzAreaKind, int VertAreaKind, TColor& Background, TFont* AFont) {
  if (!Highlight) return false;
  if ((HorzAreaKind == 0 && VertAreaKind != 3) || (HorzAreaKind == 1 && VertAreaKind < 2)) {
    Background = static_cast<TColor>(0x404040);
    if (AFont != nullptr) AFont->SetColor(static_cast<TColor>(0xFFFFFF));
  } else if (Grid->IsGridOrEditorFocused()) {
    if (blend_selection_ && num_colors_ == -1) {
      Background = BlendColor(Background, clHighlight, true);
    } else {
      Background = clHighlight;
      if (AFont != nullptr) AFont->SetColor(clHighlightText);
    }
  } else if (num_colors_ == -1) {
    Background = BlendColor(Background, clBtnShadow, false);
  } else {
    Background = clBtnFace;
  }
  return true;
}

void TCustomDBGridEh::DetachStyle(TDBGridEhStyle* Style) {
  if (style_ != Style) return;
  style_ = nullptr;
  SetStyle(nullptr);
}

// ---------------------------------------------------------------------------
// Routines

void RaiseGridError(const String& Msg) { throw EInvalidGridOperation(Msg); }

void KillMessage(HWND Wnd, Cardinal Msg) {
  TMsg m;
  if (PeekMessage(m, Wnd, Msg, Msg, PM_REMOVE) && m.message == WM_QUIT) PostQuitMessage(static_cast<int>(m.wParam));
}

void InvalidateGridRow(TCustomGrid* Grid, int ARow) {
  for (int i = 0; i < Grid->ColCount(); ++i) Grid->InvalidateCell(i, ARow);
}

void SwapRectSize(TRect& R) {
  const int w = R.Width(), h = R.Height();
  R.Right = R.Left + h;
  R.Bottom = R.Top + w;
}

namespace {
// Measures Text in a box BoxWidth wide with Control's font.
TSize MeasureText(TFont* Font, const String& Text, int BoxWidth, bool WordWrap) {
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = Font != nullptr ? SelectObject(dc, reinterpret_cast<HGDIOBJ>(Font->Handle())) : nullptr;
  TRect r{0, 0, std::max(1, BoxWidth), 0};
  UINT flags = DT_CALCRECT | DT_NOPREFIX;
  if (WordWrap) flags |= DT_WORDBREAK;
  DrawText(dc, Text, -1, &r, flags);
  if (old != nullptr) SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  return TSize{r.Width(), r.Height()};
}
}  // namespace

bool CellTextExceeds(TControl* Control, int XMargin, int YMargin, const String& Text, const TRect& R,
                     bool WordWrap, int& TextWidth, int& TextHeight) {
  const int box = std::max(1, R.Width() - 2 - XMargin);
  const TSize sz = MeasureText(Control != nullptr ? Control->Font() : nullptr, Text, box, WordWrap);
  TextWidth = sz.cx;
  TextHeight = sz.cy;
  return TextWidth > box || TextHeight > R.Height() - YMargin + 1;
}

int GetTextWidthEh(TCanvas* Canvas, const String& Text) {
  return MeasureText(Canvas != nullptr ? Canvas->Font() : nullptr, Text, 1, false).cx;
}

int GetFontTextHeight(TCanvas* Canvas, TFont* Font) {
  HDC dc = Canvas != nullptr ? Canvas->Handle() : GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(Font->Handle()));
  TEXTMETRIC tm;
  GetTextMetrics(dc, &tm);
  SelectObject(dc, old);
  if (Canvas == nullptr) ReleaseDC(nullptr, dc);
  return tm.tmHeight;
}

bool FieldsCanModify(const std::vector<TField*>& FieldList) {
  for (TField* f : FieldList)
    if (!f->CanModify()) return false;
  return true;
}

int FindListItem(TStrings* Items, const String& S, TLocateOptions Options) {
  const size_t n = Utf8Length(S);
  for (int i = 0; i < Items->Count(); ++i) {
    String item = Items->Strings(i);
    if (Options.Contains(loPartialKey)) item = item.substr(0, Utf8Prefix(item, n));
    if (AnsiCompareText(item, S) == 0) return i;
  }
  return -1;
}

// ---------------------------------------------------------------------------
// Images, cursors and unit-wide objects

namespace {

TCustomImageList* g_indicators = nullptr;
TCustomImageList* g_sort_markers = nullptr;
TFont* g_sort_index_font = nullptr;
TColCellParamsEh* g_paint_cell_params = nullptr;
TDBGridEhShortCuts g_short_cuts;
int g_init_count = 0;

std::unique_ptr<TBitmap> LoadGridBitmap(const char* Name) {
  auto bmp = std::make_unique<TBitmap>();
  bmp->LoadFromResourceName(HInstance, Name);
  return bmp;
}

}  // namespace

int DBGridEhInplaceSearchTimeOut = 1500;
TColor DBGridEhInplaceSearchColor = static_cast<TColor>(0x00FFFF);
TColor DBGridEhInplaceSearchTextColor = static_cast<TColor>(0);

TCustomImageList* DBGridEhIndicators() { return g_indicators; }
TCustomImageList* DBGridEhSortMarkerImages() { return g_sort_markers; }
TFont* DBGridEhSortIndexFont() { return g_sort_index_font; }
TColCellParamsEh* DBGridEhPaintCellParams() { return g_paint_cell_params; }
const TDBGridEhShortCuts& DBGridEhShortCuts() { return g_short_cuts; }

void AddComposedArrowEh() {
  if (g_indicators == nullptr) return;
  auto bmp = LoadGridBitmap("DBGARROWEHW");
  TColor bk = DBGridEhInplaceSearchColor;
  if (bk == static_cast<TColor>(0x808000)) bk = static_cast<TColor>(0x7F7F00);
  TImageList temp(nullptr, bmp->Width(), bmp->Height());
  temp.SetBkColor(bk);
  temp.AddMasked(bmp.get(), static_cast<TColor>(0xFFFFFF));
  temp.GetBitmap(0, bmp.get());
  if (g_indicators->Count() >= 7) g_indicators->Delete(6);
  g_indicators->AddMasked(bmp.get(), static_cast<TColor>(0x808000));
}

void LoadGridImagesEh() {
  delete g_indicators;
  delete g_sort_markers;
  auto bmp = LoadGridBitmap("DBGARROWEH");
  g_indicators = new TImageList(nullptr, bmp->Width(), bmp->Height());
  g_indicators->AddMasked(bmp.get(), static_cast<TColor>(0xFFFFFF));
  for (const char* name : {"DBEDITEH", "DBINSERTEH", "DBMULTIDOTEH", "DBMULTIARROWEH"}) {
    bmp = LoadGridBitmap(name);
    g_indicators->AddMasked(bmp.get(), static_cast<TColor>(0xFFFFFF));
  }
  bmp = LoadGridBitmap("DBGARROWEHW");
  g_indicators->AddMasked(bmp.get(), static_cast<TColor>(0x808000));
  AddComposedArrowEh();
  bmp = LoadGridBitmap("DBSMDOWNEH");
  g_sort_markers = new TImageList(nullptr, bmp->Width(), bmp->Height());
  g_sort_markers->AddMasked(bmp.get(), static_cast<TColor>(0xFF00FF));
  bmp = LoadGridBitmap("DBSMUPEH");
  g_sort_markers->AddMasked(bmp.get(), static_cast<TColor>(0xFF00FF));
}

namespace {

void RegisterGridClasses() {
  RegisterClass<TColumnTitleEh, TPersistent>("TColumnTitleEh")
      .Prop("Alignment", &TColumnTitleEh::Alignment, &TColumnTitleEh::SetAlignment)
      .Stored(&TColumnTitleEh::IsAlignmentStored)
      .Prop("Caption", &TColumnTitleEh::Caption, &TColumnTitleEh::SetCaption)
      .Stored(&TColumnTitleEh::IsCaptionStored)
      .Prop("Color", &TColumnTitleEh::Color, &TColumnTitleEh::SetColor)
      .Stored(&TColumnTitleEh::IsColorStored)
      .Prop("EndEllipsis", &TColumnTitleEh::EndEllipsis, &TColumnTitleEh::SetEndEllipsis)
      .Stored(&TColumnTitleEh::IsEndEllipsisStored)
      .Object("Font", &TColumnTitleEh::Font)
      .Stored(&TColumnTitleEh::IsFontStored)
      .Prop("Hint", &TColumnTitleEh::Hint, &TColumnTitleEh::SetHint)
      .Prop("ImageIndex", &TColumnTitleEh::ImageIndex, &TColumnTitleEh::SetImageIndex, -1)
      .Prop("Orientation", &TColumnTitleEh::Orientation, &TColumnTitleEh::SetOrientation)
      .Stored(&TColumnTitleEh::IsOrientationStored)
      .Prop("SortIndex", &TColumnTitleEh::SortIndex, &TColumnTitleEh::SetSortIndex, 0)
      .Prop("SortMarker", &TColumnTitleEh::SortMarker, &TColumnTitleEh::SetSortMarker, smNoneEh)
      .Prop("TitleButton", &TColumnTitleEh::TitleButton, &TColumnTitleEh::SetTitleButton)
      .Stored(&TColumnTitleEh::IsTitleButtonStored)
      .Prop("ToolTips", &TColumnTitleEh::ToolTips, &TColumnTitleEh::SetToolTips)
      .Stored(&TColumnTitleEh::IsToolTipsStored);
  RegisterClass<TColumnFooterEh, TCollectionItem>("TColumnFooterEh")
      .Prop("Alignment", &TColumnFooterEh::Alignment, &TColumnFooterEh::SetAlignment)
      .Stored(&TColumnFooterEh::IsAlignmentStored)
      .Prop("Color", &TColumnFooterEh::Color, &TColumnFooterEh::SetColor)
      .Stored(&TColumnFooterEh::IsColorStored)
      .Prop("DisplayFormat", &TColumnFooterEh::DisplayFormat, &TColumnFooterEh::SetDisplayFormat)
      .Prop("EndEllipsis", &TColumnFooterEh::EndEllipsis, &TColumnFooterEh::SetEndEllipsis, false)
      .Prop("FieldName", &TColumnFooterEh::FieldName, &TColumnFooterEh::SetFieldName)
      .Object("Font", &TColumnFooterEh::Font)
      .Stored(&TColumnFooterEh::IsFontStored)
      .Prop("ToolTips", &TColumnFooterEh::ToolTips, &TColumnFooterEh::SetToolTips)
      .Stored(&TColumnFooterEh::IsToolTipsStored)
      .Prop("Value", &TColumnFooterEh::Value, &TColumnFooterEh::SetValue)
      .Prop("ValueType", &TColumnFooterEh::ValueType, &TColumnFooterEh::SetValueType, fvtNon)
      .Prop("WordWrap", &TColumnFooterEh::WordWrap, &TColumnFooterEh::SetWordWrap, false);
  RegisterClass<TColumnFootersEh, TCollection>("TColumnFootersEh");
  RegisterClass<TColumnDropDownBoxEh, TPersistent>("TColumnDropDownBoxEh")
      .Prop("AutoFitColWidths", &TColumnDropDownBoxEh::AutoFitColWidths, &TColumnDropDownBoxEh::SetAutoFitColWidths,
            true)
      .Prop("ListSource", &TColumnDropDownBoxEh::ListSource, &TColumnDropDownBoxEh::SetListSource)
      .Prop("Options", &TColumnDropDownBoxEh::Options, &TColumnDropDownBoxEh::SetOptions,
            TDBLookupGridEhOptions{dlgColLinesEh})
      .Prop("UseMultiTitle", &TColumnDropDownBoxEh::UseMultiTitle, &TColumnDropDownBoxEh::SetUseMultiTitle, false);
  RegisterClass<TSTColumnFilterEh, TPersistent>("TSTColumnFilterEh")
      .Prop("DataField", &TSTColumnFilterEh::DataField, &TSTColumnFilterEh::SetDataField)
      .Prop("KeyField", &TSTColumnFilterEh::KeyField, &TSTColumnFilterEh::SetKeyField)
      .Prop("ListField", &TSTColumnFilterEh::ListField, &TSTColumnFilterEh::SetListField)
      .Prop("ListSource", &TSTColumnFilterEh::ListSource, &TSTColumnFilterEh::SetListSource)
      .Prop("Visible", &TSTColumnFilterEh::Visible, &TSTColumnFilterEh::SetVisible, true);
  RegisterClass<TColumnEh, TCollectionItem>("TColumnEh");
  RegisterClass<TDBGridColumnEh, TColumnEh>("TDBGridColumnEh")
      .Prop("Alignment", &TColumnEh::Alignment, &TColumnEh::SetAlignment)
      .Stored(&TColumnEh::IsAlignmentStored)
      .Prop("AlwaysShowEditButton", &TColumnEh::AlwaysShowEditButton, &TColumnEh::SetAlwaysShowEditButton)
      .Stored(&TColumnEh::IsAlwaysShowEditButtonStored)
      .Prop("AutoDropDown", &TColumnEh::AutoDropDown, &TColumnEh::SetAutoDropDown)
      .Stored(&TColumnEh::IsAutoDropDownStored)
      .Prop("AutoFitColWidth", &TColumnEh::AutoFitColWidth, &TColumnEh::SetAutoFitColWidth, true)
      .Prop("ButtonStyle", &TColumnEh::ButtonStyle, &TColumnEh::SetButtonStyle, cbsAuto)
      .Prop("Checkboxes", &TColumnEh::Checkboxes, &TColumnEh::SetCheckboxes)
      .Stored(&TColumnEh::IsCheckboxesStored)
      .Prop("Color", &TColumnEh::Color, &TColumnEh::SetColor)
      .Stored(&TColumnEh::IsColorStored)
      .Prop("DblClickNextVal", &TColumnEh::DblClickNextVal, &TColumnEh::SetDblClickNextVal)
      .Stored(&TColumnEh::IsDblClickNextValStored)
      .Prop("DisplayFormat", &TColumnEh::DisplayFormat, &TColumnEh::SetDisplayFormat)
      .Object("DropDownBox", &TColumnEh::DropDownBox)
      .Prop("DropDownRows", &TColumnEh::DropDownRows, &TColumnEh::SetDropDownRows, 7u)
      .Prop("DropDownShowTitles", &TColumnEh::DropDownShowTitles, &TColumnEh::SetDropDownShowTitles)
      .Stored(&TColumnEh::IsDropDownShowTitlesStored)
      .Prop("DropDownSizing", &TColumnEh::DropDownSizing, &TColumnEh::SetDropDownSizing)
      .Stored(&TColumnEh::IsDropDownSizingStored)
      .Object("DropDownSpecRow", &TColumnEh::DropDownSpecRow)
      .Prop("DropDownWidth", &TColumnEh::DropDownWidth, &TColumnEh::SetDropDownWidth, 0)
      .Object("EditButtons", &TColumnEh::EditButtons)
      .Prop("EditMask", &TColumnEh::EditMask, &TColumnEh::SetEditMask)
      .Prop("EndEllipsis", &TColumnEh::EndEllipsis, &TColumnEh::SetEndEllipsis)
      .Stored(&TColumnEh::IsEndEllipsisStored)
      .Prop("FieldName", &TColumnEh::FieldName, &TColumnEh::SetFieldName)
      .Object("Font", &TColumnEh::Font)
      .Stored(&TColumnEh::IsFontStored)
      .Object("Footer", &TColumnEh::Footer)
      .Object("Footers", &TColumnEh::Footers)
      .Prop("HideDuplicates", &TColumnEh::HideDuplicates, &TColumnEh::SetHideDuplicates, false)
      .Prop("HighlightRequired", &TColumnEh::HighlightRequired, &TColumnEh::SetHighlightRequired)
      .Stored(&TColumnEh::IsHighlightRequiredStored)
      .Prop("ImageList", &TColumnEh::ImageList, &TColumnEh::SetImageList)
      .Prop("ImeMode", &TColumnEh::ImeMode, &TColumnEh::SetImeMode)
      .Stored(&TColumnEh::IsImeModeStored)
      .Prop("ImeName", &TColumnEh::ImeName, &TColumnEh::SetImeName)
      .Stored(&TColumnEh::IsImeNameStored)
      .Prop("Increment", &TColumnEh::Increment, &TColumnEh::SetIncrement)
      .Stored(&TColumnEh::IsIncrementStored)
      .Object("KeyList", &TColumnEh::KeyList)
      .Stored(&TColumnEh::IsKeyListStored)
      .Prop("Layout", &TColumnEh::Layout, &TColumnEh::SetLayout)
      .Stored(&TColumnEh::IsLayoutStored)
      .Prop("LookupDisplayFields", &TColumnEh::LookupDisplayFields, &TColumnEh::SetLookupDisplayFields)
      .Stored(&TColumnEh::IsLookupDisplayFieldsStored)
      .Prop("MaxWidth", &TColumnEh::MaxWidth, &TColumnEh::SetMaxWidth, 0)
      .Prop("MinWidth", &TColumnEh::MinWidth, &TColumnEh::SetMinWidth, 0)
      .Object("MRUList", &TColumnEh::MRUList)
      .Prop("NotInKeyListIndex", &TColumnEh::NotInKeyListIndex, &TColumnEh::SetNotInKeyListIndex, -1)
      .Object("PickList", &TColumnEh::PickList)
      .Stored(&TColumnEh::IsPickListStored)
      .Prop("PopupMenu", &TColumnEh::PopupMenu, &TColumnEh::SetPopupMenu)
      .Prop("ReadOnly", &TColumnEh::ReadOnly, &TColumnEh::SetReadOnly)
      .Stored(&TColumnEh::IsReadOnlyStored)
      .Prop("ShowImageAndText", &TColumnEh::ShowImageAndText, &TColumnEh::SetShowImageAndText, false)
      .Object("STFilter", &TColumnEh::STFilter)
      .Prop("Tag", &TColumnEh::Tag, &TColumnEh::SetTag, 0)
      .Object("Title", &TColumnEh::Title)
      .Prop("ToolTips", &TColumnEh::ToolTips, &TColumnEh::SetToolTips)
      .Stored(&TColumnEh::IsToolTipsStored)
      .Prop("Visible", &TColumnEh::Visible, &TColumnEh::SetVisible, true)
      .Prop("Width", &TColumnEh::Width, &TColumnEh::SetWidth)
      .Stored(&TColumnEh::IsWidthStored)
      .Prop("WordWrap", &TColumnEh::WordWrap, &TColumnEh::SetWordWrap)
      .Stored(&TColumnEh::IsWordWrapStored);
  RegisterClass<TDBGridColumnsEh, TCollection>("TDBGridColumnsEh");
  RegisterClass<TColumnsWrapper, TComponent>("TColumnsWrapper").Object("Columns", &TColumnsWrapper::Columns);
  RegisterClass<TColumnTitleDefValuesEh, TPersistent>("TColumnTitleDefValuesEh")
      .Prop("Alignment", &TColumnTitleDefValuesEh::Alignment, &TColumnTitleDefValuesEh::SetAlignment)
      .Stored(&TColumnTitleDefValuesEh::IsAlignmentStored)
      .Prop("Color", &TColumnTitleDefValuesEh::Color, &TColumnTitleDefValuesEh::SetColor)
      .Stored(&TColumnTitleDefValuesEh::IsColorStored)
      .Prop("EndEllipsis", &TColumnTitleDefValuesEh::EndEllipsis, &TColumnTitleDefValuesEh::SetEndEllipsis, false)
      .Prop("Orientation", &TColumnTitleDefValuesEh::Orientation, &TColumnTitleDefValuesEh::SetOrientation,
            tohHorizontal)
      .Prop("TitleButton", &TColumnTitleDefValuesEh::TitleButton, &TColumnTitleDefValuesEh::SetTitleButton, false)
      .Prop("ToolTips", &TColumnTitleDefValuesEh::ToolTips, &TColumnTitleDefValuesEh::SetToolTips, false);
  RegisterClass<TColumnFooterDefValuesEh, TPersistent>("TColumnFooterDefValuesEh")
      .Prop("ToolTips", &TColumnFooterDefValuesEh::ToolTips, &TColumnFooterDefValuesEh::SetToolTips, false);
  RegisterClass<TColumnDefValuesEh, TPersistent>("TColumnDefValuesEh");
  RegisterClass<TDBGridEhColumnDefValuesEh, TColumnDefValuesEh>("TDBGridEhColumnDefValuesEh")
      .Prop("AlwaysShowEditButton", &TColumnDefValuesEh::AlwaysShowEditButton,
            &TColumnDefValuesEh::SetAlwaysShowEditButton, false)
      .Prop("AutoDropDown", &TColumnDefValuesEh::AutoDropDown, &TColumnDefValuesEh::SetAutoDropDown, false)
      .Prop("DblClickNextVal", &TColumnDefValuesEh::DblClickNextVal, &TColumnDefValuesEh::SetDblClickNextVal, false)
      .Prop("DropDownShowTitles", &TColumnDefValuesEh::DropDownShowTitles, &TColumnDefValuesEh::SetDropDownShowTitles,
            false)
      .Prop("DropDownSizing", &TColumnDefValuesEh::DropDownSizing, &TColumnDefValuesEh::SetDropDownSizing, false)
      .Prop("EndEllipsis", &TColumnDefValuesEh::EndEllipsis, &TColumnDefValuesEh::SetEndEllipsis, false)
      .Object("Footer", &TColumnDefValuesEh::Footer)
      .Prop("HighlightRequired", &TColumnDefValuesEh::HighlightRequired, &TColumnDefValuesEh::SetHighlightRequired,
            false)
      .Prop("Layout", &TColumnDefValuesEh::Layout, &TColumnDefValuesEh::SetLayout, tlTop)
      .Object("Title", &TColumnDefValuesEh::Title)
      .Prop("ToolTips", &TColumnDefValuesEh::ToolTips, &TColumnDefValuesEh::SetToolTips, false);
  RegisterClass<TDBGridEhSumList, TPersistent>("TDBGridEhSumList")
      .Prop("Active", &TDBSumListProducer::Active, &TDBSumListProducer::SetActive, false)
      .Prop("ExternalRecalc", &TDBSumListProducer::ExternalRecalc, &TDBSumListProducer::SetExternalRecalc, false)
      .Prop("VirtualRecords", &TDBSumListProducer::VirtualRecords, &TDBSumListProducer::SetVirtualRecords, false)
      .Event("OnRecalcAll", &TDBSumListProducer::OnRecalcAll, &TDBSumListProducer::SetOnRecalcAll)
      .Event("OnAfterRecalcAll", &TDBSumListProducer::OnAfterRecalcAll, &TDBSumListProducer::SetOnAfterRecalcAll);
  RegisterClass<TSTDBGridEhFilter, TPersistent>("TSTDBGridEhFilter")
      .Prop("Local", &TSTDBGridEhFilter::Local, &TSTDBGridEhFilter::SetLocal, false)
      .Prop("Visible", &TSTDBGridEhFilter::Visible, &TSTDBGridEhFilter::SetVisible, false);
  RegisterClass<TDBGridEhScrollBar, TPersistent>("TDBGridEhScrollBar")
      .Prop("Tracking", &TDBGridEhScrollBar::Tracking, &TDBGridEhScrollBar::SetTracking, false)
      .Prop("Visible", &TDBGridEhScrollBar::Visible, &TDBGridEhScrollBar::SetVisible, true);
  RegisterClass<TVertDBGridEhScrollBar, TDBGridEhScrollBar>("TVertDBGridEhScrollBar");
  RegisterClass<TCustomDBGridEh, TCustomControl>("TCustomDBGridEh")
      .Defined("Columns", &TCustomDBGridEh::ReadColumns, &TCustomDBGridEh::WriteColumns,
               &TCustomDBGridEh::StoreColumns);
}

void InitDBGridEh() {
  if (g_init_count++ > 0) return;
  RegisterDBGridEhResources();
  RegisterGridClasses();
  RegisterLookupGridFactoryEh();
  InitDBGridEhFilters();
  g_default_style = new TDBGridEhStyle();
  {
    auto bmp = LoadGridBitmap("DBSMDOWNEH");
    g_sort_index_font = new TFont();
    g_sort_index_font->SetHeight(1 - bmp->Height());
    g_sort_index_font->SetName("Arial");
  }
  const struct {
    const char* name;
    TCursor cursor;
  } cursors[] = {{"DOWNCUREH", crDownCurEh}, {"RIGHTCUREH", crRightCurEh}, {"LEFTCUREH", crLeftCurEh}};
  for (const auto& c : cursors) {
    HCURSOR h = LoadCursor(HInstance, c.name);
    if (h == nullptr) throw EOutOfResources("Cannot load cursor resource");
    Screen->SetCursors(c.cursor, h);
  }
  g_short_cuts.FindDialog = ShortCut('F', TShiftState{ssCtrl});
  g_short_cuts.CtrlEnter = ShortCut(VK_RETURN, TShiftState{ssCtrl});
  g_short_cuts.ShiftCtrlEnter = ShortCut(VK_RETURN, TShiftState{ssShift, ssCtrl});
  g_short_cuts.CtrlQuote = ShortCut(222, TShiftState{ssCtrl});
  g_short_cuts.Find = ShortCut('F', TShiftState{ssCtrl});
  DBGridEhInplaceSearchTimeOut = 1500;
  DBGridEhInplaceSearchColor = static_cast<TColor>(0x00FFFF);
  DBGridEhInplaceSearchTextColor = static_cast<TColor>(0);
  LoadGridImagesEh();
  g_paint_cell_params = new TColCellParamsEh();
}

void FinalDBGridEh() {
  if (g_init_count == 0 || --g_init_count > 0) return;
  FinalDBGridEhFilters();
  delete g_paint_cell_params;
  g_paint_cell_params = nullptr;
  delete g_indicators;
  g_indicators = nullptr;
  delete g_sort_markers;
  g_sort_markers = nullptr;
  if (Screen != nullptr)
    for (TCursor c : {crDownCurEh, crRightCurEh, crLeftCurEh}) Screen->SetCursors(c, nullptr);
  delete g_sort_index_font;
  g_sort_index_font = nullptr;
  delete g_default_style;
  g_default_style = nullptr;
  g_short_cuts = TDBGridEhShortCuts();
  RegisterLookupGridFactoryEh(false);
}

constexpr const TUnit* kUses[] = {&unit_Forms, &unit_ToolCtrlsEh, &unit_DBSumLst, &unit_PropFilerEh, &unit_DbUtilsEh};

}  // namespace

constinit const TUnit unit_DBGridEh("DBGridEh", kUses, InitDBGridEh, FinalDBGridEh);
