// DBGridEh: columns, titles, the column collection and its streams, the
// drop-down box settings.
#include <cmath>
#include <cstring>

#include "grid/datagrid/DBGridEh.h"
#include "grid/datagrid/DBGridEh_Internal.h"
#include "platform/gui/GDI.h"
#include "platform/gui/Forms.h"
#include "platform/rtl/FormStream.h"
#include "platform/rtl/Locale.h"
#include "platform/rtl/SysUtils.h"

namespace {

TColumnDropDownGridFactoryEh g_drop_down_factory;

bool IsNumericKind(TFieldType T) {
  switch (T) {
    case ftSmallint: case ftInteger: case ftWord: case ftFloat: case ftCurrency: case ftBCD: case ftFMTBcd:
    case ftLargeint: case ftAutoInc:
      return true;
    default:
      return false;
  }
}

bool IsIntegerKind(TFieldType T) {
  return T == ftSmallint || T == ftInteger || T == ftWord || T == ftLargeint || T == ftAutoInc;
}

// Width of "0" and the overhang of Font, measured on a screen context.
void MeasureZero(TFont* Font, int& ZeroWidth, int& Overhang, int& AveWidth) {
  TSize sz;
  TEXTMETRIC tm;
  MeasureFontTextEh(Font, "0", sz, tm);
  ZeroWidth = sz.cx > 0 ? sz.cx : 1;
  Overhang = tm.tmOverhang;
  AveWidth = tm.tmAveCharWidth;
}

// The ";"-separated values of a key-list line.
std::vector<String> SplitValues(const String& Line) {
  std::vector<String> out;
  size_t start = 0;
  for (;;) {
    size_t p = Line.find(';', start);
    out.push_back(Line.substr(start, p == String::npos ? String::npos : p - start));
    if (p == String::npos) break;
    start = p + 1;
  }
  return out;
}

// Copies a special row; a colour the source never had written stays
// unwritten in the copy, so that it is not streamed.
void AssignSpecRow(TSpecRowEh* Dest, TSpecRowEh* Source) {
  if (Source->ColorAssigned()) return Dest->Assign(Source);
  Dest->BeginUpdate();
  Dest->SetCellsText(Source->CellsText());
  if (Source->FontAssigned()) Dest->SetFont(Source->Font());
  Dest->SetShortCut(Source->ShortCut());
  Dest->SetShowIfNotInKeyList(Source->ShowIfNotInKeyList());
  Dest->SetValue(Source->Value());
  Dest->SetVisible(Source->Visible());
  Dest->EndUpdate();
}

}  // namespace

void SetColumnDropDownGridFactoryEh(const TColumnDropDownGridFactoryEh& Factory) { g_drop_down_factory = Factory; }
const TColumnDropDownGridFactoryEh& ColumnDropDownGridFactoryEh() { return g_drop_down_factory; }

// ---------------------------------------------------------------------------
// TColumnTitleEh

TColumnTitleEh::TColumnTitleEh(TColumnEh* Column) : column_(Column), font_(std::make_unique<TFont>()) {
  RefreshDefaultFont();
  font_->SetOnChange({this, &TColumnTitleEh::FontChanged});
}

TColumnTitleEh::~TColumnTitleEh() = default;

TPersistent* TColumnTitleEh::GetOwner() { return column_; }
TCustomDBGridEh* TColumnTitleEh::Grid() const { return column_->Grid(); }

void TColumnTitleEh::Changed(bool AllItems) { column_->Changed(AllItems); }

void TColumnTitleEh::FontChanged(TObject*) {
  if (font_refreshing_) return;
  column_->assigned_ |= TColumnEh::cvTitleFont;
  Changed(true);
}

TFont* TColumnTitleEh::DefaultFont() const {
  if (TCustomDBGridEh* g = Grid()) return g->TitleFont();
  return column_->Font();
}

void TColumnTitleEh::RefreshDefaultFont() const {
  if (column_->assigned_ & TColumnEh::cvTitleFont) return;
  TFont* def = DefaultFont();
  if (def == font_.get() || font_->Equals(*def)) return;
  font_refreshing_ = true;
  font_->Assign(def);
  font_refreshing_ = false;
}

TFont* TColumnTitleEh::Font() const {
  RefreshDefaultFont();
  return font_.get();
}

bool TColumnTitleEh::IsFontStored() const { return (column_->assigned_ & TColumnEh::cvTitleFont) != 0; }

TAlignment TColumnTitleEh::Alignment() const {
  if (column_->assigned_ & TColumnEh::cvTitleAlignment) return alignment_;
  if (TCustomDBGridEh* g = Grid()) return g->ColumnDefValues()->Title()->Alignment();
  return taLeftJustify;
}
void TColumnTitleEh::SetAlignment(TAlignment Value) {
  column_->SetAssigned(TColumnEh::cvTitleAlignment, alignment_, Value, true);
}

String TColumnTitleEh::Caption() const {
  if (column_->assigned_ & TColumnEh::cvTitleCaption) return caption_;
  if (TField* f = column_->Field()) return f->DisplayName();
  return column_->FieldName();
}
void TColumnTitleEh::SetCaption(const String& Value) {
  if (column_->IsDefaultColumn()) {
    if (TField* f = column_->Field()) {
      f->SetDisplayLabel(Value);
      return;
    }
  }
  column_->SetAssigned(TColumnEh::cvTitleCaption, caption_, Value, true);
}

TColor TColumnTitleEh::Color() const {
  if (column_->assigned_ & TColumnEh::cvTitleColor) return color_;
  if (TCustomDBGridEh* g = Grid()) return g->ColumnDefValues()->Title()->Color();
  return clBtnFace;
}
void TColumnTitleEh::SetColor(TColor Value) { column_->SetAssigned(TColumnEh::cvTitleColor, color_, Value, true); }

bool TColumnTitleEh::EndEllipsis() const {
  if (column_->assigned_ & TColumnEh::cvTitleEndEllipsis) return end_ellipsis_;
  if (TCustomDBGridEh* g = Grid()) return g->ColumnDefValues()->Title()->EndEllipsis();
  return false;
}
void TColumnTitleEh::SetEndEllipsis(bool Value) {
  column_->SetAssigned(TColumnEh::cvTitleEndEllipsis, end_ellipsis_, Value, true);
}
TTextOrientationEh TColumnTitleEh::Orientation() const {
  if (column_->assigned_ & TColumnEh::cvTitleOrientation) return orientation_;
  if (TCustomDBGridEh* g = Grid()) return g->ColumnDefValues()->Title()->Orientation();
  return tohHorizontal;
}
void TColumnTitleEh::SetOrientation(TTextOrientationEh Value) {
  column_->SetAssigned(TColumnEh::cvTitleOrientation, orientation_, Value, true);
}
bool TColumnTitleEh::TitleButton() const {
  if (column_->assigned_ & TColumnEh::cvTitleButton) return title_button_;
  if (TCustomDBGridEh* g = Grid()) return g->ColumnDefValues()->Title()->TitleButton();
  return false;
}
void TColumnTitleEh::SetTitleButton(bool Value) {
  column_->SetAssigned(TColumnEh::cvTitleButton, title_button_, Value, true);
}
bool TColumnTitleEh::ToolTips() const {
  if (column_->assigned_ & TColumnEh::cvTitleToolTips) return tool_tips_;
  if (TCustomDBGridEh* g = Grid()) return g->ColumnDefValues()->Title()->ToolTips();
  return false;
}
void TColumnTitleEh::SetToolTips(bool Value) {
  column_->SetAssigned(TColumnEh::cvTitleToolTips, tool_tips_, Value, false);
}

bool TColumnTitleEh::IsAlignmentStored() const {
  return (column_->assigned_ & TColumnEh::cvTitleAlignment) != 0;
}
bool TColumnTitleEh::IsCaptionStored() const { return (column_->assigned_ & TColumnEh::cvTitleCaption) != 0; }
bool TColumnTitleEh::IsColorStored() const { return (column_->assigned_ & TColumnEh::cvTitleColor) != 0; }
bool TColumnTitleEh::IsEndEllipsisStored() const {
  return (column_->assigned_ & TColumnEh::cvTitleEndEllipsis) != 0;
}
bool TColumnTitleEh::IsOrientationStored() const {
  return (column_->assigned_ & TColumnEh::cvTitleOrientation) != 0;
}
bool TColumnTitleEh::IsTitleButtonStored() const { return (column_->assigned_ & TColumnEh::cvTitleButton) != 0; }
bool TColumnTitleEh::IsToolTipsStored() const { return (column_->assigned_ & TColumnEh::cvTitleToolTips) != 0; }

void TColumnTitleEh::SetImageIndex(int Value) {
  if (image_index_ == Value) return;
  image_index_ = Value;
  Changed(false);
}

void TColumnTitleEh::SetSortMarker(TSortMarkerEh Value) {
  if (sort_marker_ == Value) return;
  sort_marker_ = Value;
  TDBGridColumnsEh* cols = dynamic_cast<TDBGridColumnsEh*>(column_->Collection());
  if (cols != nullptr && cols->UpdateCount() > 0) return;
  TCustomDBGridEh* g = Grid();
  if (g != nullptr && cols != nullptr) {
    TColumnsEhList* marked = g->SortMarkedColumns();
    if (!g->OptionsEh().Contains(dghMultiSortMarking)) {
      if (Value != smNoneEh) {
        for (int i = 0; i < cols->Count(); ++i) {
          TColumnEh* c = cols->Items(i);
          if (c == column_) continue;
          c->Title()->sort_marker_ = smNoneEh;
          c->Title()->sort_index_ = 0;
        }
        sort_index_ = 1;
        marked->Clear();
        marked->Add(column_);
      } else {
        sort_index_ = 0;
        marked->Clear();
      }
    } else if (Value != smNoneEh) {
      if (sort_index_ == 0) {
        int n = 0;
        for (int i = 0; i < cols->Count(); ++i)
          if (cols->Items(i)->Title()->sort_index_ > 0) ++n;
        sort_index_ = n + 1;
        marked->Remove(column_);
        marked->Add(column_);
      }
    } else {
      for (int i = 0; i < cols->Count(); ++i) {
        TColumnTitleEh* t = cols->Items(i)->Title();
        if (t != this && t->sort_index_ > sort_index_) --t->sort_index_;
      }
      marked->Remove(column_);
      sort_index_ = 0;
    }
  }
  Changed(false);
}

void TColumnTitleEh::SetSortIndex(int Value) {
  if (Value < 0) Value = 0;
  TDBGridColumnsEh* cols = dynamic_cast<TDBGridColumnsEh*>(column_->Collection());
  if (cols == nullptr || cols->UpdateCount() > 0 || Grid() == nullptr) {
    sort_index_ = Value;
    return;
  }
  if (sort_marker_ == smNoneEh || Value == sort_index_) return;
  TColumnsEhList* marked = Grid()->SortMarkedColumns();
  for (int i = 0; i < cols->Count(); ++i) {
    TColumnTitleEh* t = cols->Items(i)->Title();
    if (t == this || t->sort_index_ != Value) continue;
    t->sort_index_ = sort_index_;
    const int a = marked->IndexOf(column_), b = marked->IndexOf(t->column_);
    if (a >= 0 && b >= 0) {
      marked->SetItems(a, t->column_);
      marked->SetItems(b, column_);
    }
    sort_index_ = Value;
    Changed(false);
    return;
  }
}

void TColumnTitleEh::ToggleSortMarker(bool Multi) {
  if (!Multi) {
    if (TDBGridColumnsEh* cols = dynamic_cast<TDBGridColumnsEh*>(column_->Collection()))
      for (int i = 0; i < cols->Count(); ++i)
        if (cols->Items(i) != column_) cols->Items(i)->Title()->SetSortMarker(smNoneEh);
  }
  switch (sort_marker_) {
    case smNoneEh: SetSortMarker(smDownEh); break;
    case smDownEh: SetSortMarker(smUpEh); break;
    case smUpEh: SetSortMarker(Multi ? smNoneEh : smDownEh); break;
  }
}

int TColumnTitleEh::GetSortMarkerWidth() const {
  if (sort_marker_ == smNoneEh) return 0;
  int w = 16;
  TCustomDBGridEh* g = Grid();
  if (g != nullptr && g->SortMarkedColumns()->Count() >= 2 && DBGridEhSortIndexFont() != nullptr) {
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(DBGridEhSortIndexFont()->Handle()));
    const String digits = IntToStr(sort_index_);
    TSize sz;
    GetTextExtentPoint32(dc, digits, static_cast<int>(digits.size()), &sz);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    w += sz.cx;
    if (w > column_->Width() - 4) w -= 14;
    if (w > column_->Width() - 4) w -= sz.cx + 2;
  }
  return w;
}

void TColumnTitleEh::RestoreDefaults() {
  column_->assigned_ &= ~TColumnEh::kTitleBits;
  caption_.clear();
  RefreshDefaultFont();
  Changed(false);
}

void TColumnTitleEh::Assign(TPersistent* Source) {
  auto* src = dynamic_cast<TColumnTitleEh*>(Source);
  if (src == nullptr) return TPersistent::Assign(Source);
  const uint32_t a = src->column_->assigned_;
  if (a & TColumnEh::cvTitleAlignment) SetAlignment(src->alignment_);
  if (a & TColumnEh::cvTitleColor) SetColor(src->color_);
  if (a & TColumnEh::cvTitleCaption) SetCaption(src->caption_);
  if (a & TColumnEh::cvTitleFont) SetFont(src->font_.get());
  if (a & TColumnEh::cvTitleEndEllipsis) SetEndEllipsis(src->end_ellipsis_);
  if (a & TColumnEh::cvTitleOrientation) SetOrientation(src->orientation_);
  if (a & TColumnEh::cvTitleButton) SetTitleButton(src->title_button_);
  if (a & TColumnEh::cvTitleToolTips) SetToolTips(src->tool_tips_);
  hint_ = src->hint_;
  image_index_ = src->image_index_;
  sort_index_ = src->sort_index_;
  SetSortMarker(src->sort_marker_);
}

// ---------------------------------------------------------------------------
// TColumnEh

TColumnEh::TColumnEh(TCollection* Collection) : TCollectionItem(Collection) {
  if (TCustomDBGridEh* g = Grid()) {
    g->BeginLayout();
    layout_begun_ = true;
  }
  font_ = std::make_unique<TFont>();
  font_->SetOnChange({this, &TColumnEh::FontChanged});
  RefreshDefaultFont();
  title_.reset(CreateTitle());
  footer_.reset(CreateFooter());
  footers_.reset(CreateFooters());
  fitted_width_ = Width();
  edit_buttons_.reset(CreateEditButtons());
  spec_row_ = std::make_unique<TSpecRowEh>(this);
  spec_row_->SetOnChanged({this, &TColumnEh::SpecRowChanged});
  drop_down_box_ = std::make_unique<TColumnDropDownBoxEh>(this);
  mru_list_ = std::make_unique<TMRUListEh>(this);
  st_filter_.reset(CreateSTFilter());
  image_link_ = std::make_unique<TChangeLink>();
  image_link_->SetOnChange({this, [](TObject*) {}});
  if (layout_begun_) {
    layout_begun_ = false;
    Grid()->EndLayout();
  }
}

void TColumnEh::AfterConstruction() { TCollectionItem::AfterConstruction(); }

void TColumnEh::BeforeDestruction() {
  if (TCustomDBGridEh* g = Grid()) {
    if (g->SortMarkedColumns() != nullptr) g->SortMarkedColumns()->Remove(this);
    if (g->VisibleColumns() != nullptr) g->VisibleColumns()->Remove(this);
  }
  TCollectionItem::BeforeDestruction();
}

TColumnEh::~TColumnEh() {
  if (image_list_ != nullptr) image_list_->UnRegisterChanges(image_link_.get());
  title_.reset();
  footers_.reset();
  footer_.reset();
  edit_buttons_.reset();
  spec_row_.reset();
  drop_down_box_.reset();
  mru_list_.reset();
  key_list_.reset();
  pick_list_.reset();
  st_filter_.reset();
  delete drop_down_grid_;
  drop_down_grid_ = nullptr;
}

TCustomDBGridEh* TColumnEh::Grid() const {
  auto* cols = dynamic_cast<TDBGridColumnsEh*>(Collection());
  return cols != nullptr ? cols->Grid() : nullptr;
}

TGridDataLinkEh* TColumnEh::DataLink() const {
  TCustomDBGridEh* g = Grid();
  return g != nullptr ? g->DataLink() : nullptr;
}

String TColumnEh::GetDisplayName() const {
  return field_name_.empty() ? TCollectionItem::GetDisplayName() : field_name_;
}

template <class T>
void TColumnEh::SetAssigned(uint32_t Bit, T& Member, const T& Value, bool Report) {
  if ((assigned_ & Bit) && Member == Value) return;
  Member = Value;
  assigned_ |= Bit;
  if (Report) Changed(false);
}

TEditButtonsEh* TColumnEh::CreateEditButtons() {
  auto* b = new TEditButtonsEh(this, CollectionItemFactory<TVisibleEditButtonEh>);
  b->SetOnChanged({this, [this](TObject*) { Changed(false); }});
  return b;
}
TColumnFooterEh* TColumnEh::CreateFooter() { return TColumnFooterEh::CreateApart(this); }
TColumnFootersEh* TColumnEh::CreateFooters() { return new TColumnFootersEh(this); }
TSTColumnFilterEh* TColumnEh::CreateSTFilter() { return new TSTColumnFilterEh(this); }
TColumnTitleEh* TColumnEh::CreateTitle() { return new TColumnTitleEh(this); }

void TColumnEh::SpecRowChanged(TObject*) { Changed(false); }

void TColumnEh::FontChanged(TObject*) {
  if (font_refreshing_) return;
  assigned_ |= cvFont;
  if (title_) title_->RefreshDefaultFont();
  Changed(false);
}

TFont* TColumnEh::DefaultFont() const {
  if (TCustomDBGridEh* g = Grid()) return g->Font();
  return font_.get();
}

void TColumnEh::RefreshDefaultFont() const {
  if (assigned_ & cvFont) return;
  TFont* def = DefaultFont();
  if (def == font_.get() || font_->Equals(*def)) return;
  font_refreshing_ = true;
  font_->Assign(def);
  font_refreshing_ = false;
}

TFont* TColumnEh::Font() const {
  RefreshDefaultFont();
  return font_.get();
}

TField* TColumnEh::Field() const {
  if (field_ != nullptr || field_name_.empty()) return field_;
  TGridDataLinkEh* link = DataLink();
  if (link == nullptr) return nullptr;
  TDataSet* ds = link->DataSet();
  if (ds == nullptr) return nullptr;
  if (!ds->Active() && ds->IsLoading()) return nullptr;
  TField* f = ds->FindField(field_name_);
  if (f != nullptr) {
    field_ = f;
    const_cast<TColumnEh*>(this)->field_name_ = f->FieldName();
    f->FreeNotification(Grid());
    const_cast<TColumnEh*>(this)->EnsureSumValues();
  }
  return field_;
}

void TColumnEh::SetField(TField* Value) {
  if (field_ == Value) return;
  field_ = Value;
  if (Value != nullptr) {
    field_name_ = Value->FieldName();
    if (TCustomDBGridEh* g = Grid()) Value->FreeNotification(g);
  }
  if (IsDefaultColumn()) {
    if (Value == nullptr) field_name_.clear();
    RestoreDefaults();
    fitted_width_ = Width();
  }
  EnsureSumValues();
  Changed(false);
}

void TColumnEh::SetFieldName(const String& Value) {
  TField* f = nullptr;
  TCustomDBGridEh* g = Grid();
  if (g != nullptr && g->DataLink()->DataSet() != nullptr && !g->IsLoading())
    f = g->DataLink()->DataSet()->FindField(Value);
  field_name_ = Value;
  if (f == nullptr) {
    field_ = nullptr;
    EnsureSumValues();
  } else {
    SetField(f);
  }
  fitted_width_ = Width();
  Changed(false);
}

void TColumnEh::EnsureSumValues() {
  if (footer_) footer_->EnsureSumValue();
  if (footers_)
    for (int i = 0; i < footers_->Count(); ++i) footers_->Items(i)->EnsureSumValue();
}

TColumnFooterEh* TColumnEh::UsedFooter(int Index) const {
  return Index < footers_->Count() ? footers_->Items(Index) : footer_.get();
}

TAlignment TColumnEh::Alignment() const {
  if (assigned_ & cvAlignment) return alignment_;
  if (TField* f = Field()) return f->Alignment();
  return taLeftJustify;
}
void TColumnEh::SetAlignment(TAlignment Value) {
  if (IsDefaultColumn()) {
    TGridDataLinkEh* link = DataLink();
    if (link != nullptr && link->Active())
      if (TField* f = Field()) f->SetAlignment(Value);
    return;
  }
  SetAssigned(cvAlignment, alignment_, Value, true);
}

#define COLUMN_DEF_BOOL(Name, Bit, member, Report)                                           \
  bool TColumnEh::Name() const {                                                             \
    if (assigned_ & Bit) return member;                                                      \
    if (TCustomDBGridEh* g = Grid()) return g->ColumnDefValues()->Name();                    \
    return false;                                                                            \
  }                                                                                          \
  void TColumnEh::Set##Name(bool Value) { SetAssigned(Bit, member, Value, Report); }        \
  bool TColumnEh::Is##Name##Stored() const {                                                 \
    if (!(assigned_ & Bit)) return false;                                                    \
    TCustomDBGridEh* g = Grid();                                                             \
    return g == nullptr || g->ColumnDefValues()->Name() != member;                           \
  }

COLUMN_DEF_BOOL(AlwaysShowEditButton, cvAlwaysShowEditButton, always_show_edit_button_, true)
COLUMN_DEF_BOOL(AutoDropDown, cvAutoDropDown, auto_drop_down_, false)
COLUMN_DEF_BOOL(DblClickNextVal, cvDblClickNextVal, dbl_click_next_val_, false)
COLUMN_DEF_BOOL(DropDownShowTitles, cvDropDownShowTitles, drop_down_show_titles_, false)
COLUMN_DEF_BOOL(DropDownSizing, cvDropDownSizing, drop_down_sizing_, false)
COLUMN_DEF_BOOL(EndEllipsis, cvEndEllipsis, end_ellipsis_, true)
COLUMN_DEF_BOOL(ToolTips, cvToolTips, tool_tips_, false)
#undef COLUMN_DEF_BOOL

bool TColumnEh::HighlightRequired() const {
  if (assigned_ & cvHighlightRequired) return highlight_required_;
  if (TCustomDBGridEh* g = Grid()) return g->ColumnDefValues()->HighlightRequired();
  return false;
}
void TColumnEh::SetHighlightRequired(bool Value) {
  SetAssigned(cvHighlightRequired, highlight_required_, Value, true);
}
bool TColumnEh::IsHighlightRequiredStored() const {
  if (!(assigned_ & cvHighlightRequired)) return false;
  TCustomDBGridEh* g = Grid();
  return g == nullptr || g->ColumnDefValues()->HighlightRequired() != highlight_required_;
}

TTextLayout TColumnEh::Layout() const {
  if (assigned_ & cvLayout) return layout_;
  if (TCustomDBGridEh* g = Grid()) return g->ColumnDefValues()->Layout();
  return tlTop;
}
void TColumnEh::SetLayout(TTextLayout Value) { SetAssigned(cvLayout, layout_, Value, true); }
bool TColumnEh::IsLayoutStored() const {
  if (!(assigned_ & cvLayout)) return false;
  TCustomDBGridEh* g = Grid();
  return g == nullptr || g->ColumnDefValues()->Layout() != layout_;
}

bool TColumnEh::IsAlignmentStored() const {
  if (!(assigned_ & cvAlignment)) return false;
  TField* f = Field();
  return alignment_ != (f != nullptr ? f->Alignment() : taLeftJustify);
}

void TColumnEh::SetAutoFitColWidth(bool Value) {
  if (auto_fit_col_width_ == Value) return;
  auto_fit_col_width_ = Value;
  TCustomDBGridEh* g = Grid();
  if (g != nullptr && g->AutoFitColWidths() && !g->IsLoading() && !g->IsDesigning()) SetWidth(fitted_width_);
}

void TColumnEh::SetButtonStyle(TColumnButtonStyleEh Value) {
  if (button_style_ == Value) return;
  button_style_ = Value;
  Changed(false);
}

bool TColumnEh::Checkboxes() const {
  if (assigned_ & cvCheckboxes) return checkboxes_;
  TField* f = Field();
  return f != nullptr && f->DataType() == ftBoolean;
}
void TColumnEh::SetCheckboxes(bool Value) { SetAssigned(cvCheckboxes, checkboxes_, Value, true); }

TColor TColumnEh::Color() const {
  if (assigned_ & cvColor) return color_;
  if (TCustomDBGridEh* g = Grid()) return g->Color();
  return clWindow;
}
void TColumnEh::SetColor(TColor Value) { SetAssigned(cvColor, color_, Value, true); }
bool TColumnEh::IsColorStored() const { return (assigned_ & cvColor) && color_ != (Grid() ? Grid()->Color() : clWindow); }

void TColumnEh::SetDisplayFormat(const String& Value) {
  if (display_format_ == Value) return;
  display_format_ = Value;
  Changed(false);
}

void TColumnEh::SetHideDuplicates(bool Value) {
  if (hide_duplicates_ == Value) return;
  hide_duplicates_ = Value;
  Changed(false);
}

void TColumnEh::SetImageList(TCustomImageList* Value) {
  if (RelinkImageListEh(image_list_, Value, image_link_.get(), Grid())) Changed(false);
}

TImeMode TColumnEh::ImeMode() const {
  if (assigned_ & cvImeMode) return ime_mode_;
  if (TCustomDBGridEh* g = Grid()) return g->ImeMode();
  return imDontCare;
}
void TColumnEh::SetImeMode(TImeMode Value) { SetAssigned(cvImeMode, ime_mode_, Value, true); }
bool TColumnEh::IsImeModeStored() const {
  return (assigned_ & cvImeMode) && ime_mode_ != (Grid() ? Grid()->ImeMode() : imDontCare);
}
TImeName TColumnEh::ImeName() const {
  if (assigned_ & cvImeName) return ime_name_;
  if (TCustomDBGridEh* g = Grid()) return g->ImeName();
  return TImeName();  // the screen's default input method
}
void TColumnEh::SetImeName(const TImeName& Value) { SetAssigned(cvImeName, ime_name_, Value, true); }
bool TColumnEh::IsImeNameStored() const {
  return (assigned_ & cvImeName) && ime_name_ != (Grid() ? Grid()->ImeName() : TImeName());
}

TStrings* TColumnEh::KeyList() const {
  if (!key_list_) key_list_ = std::make_unique<TStringList>();
  return key_list_.get();
}
TStrings* TColumnEh::PickList() const {
  if (!pick_list_) pick_list_ = std::make_unique<TStringList>();
  return pick_list_.get();
}

String TColumnEh::LookupDisplayFields() const {
  if (assigned_ & cvLookupDisplayFields) return lookup_display_fields_;
  if (TField* f = Field()) return f->LookupResultField();
  return String();
}
void TColumnEh::SetLookupDisplayFields(const String& Value) {
  SetAssigned(cvLookupDisplayFields, lookup_display_fields_, Value, true);
}
bool TColumnEh::IsLookupDisplayFieldsStored() const {
  if (!(assigned_ & cvLookupDisplayFields)) return false;
  TField* f = Field();
  return lookup_display_fields_ != (f != nullptr ? f->LookupResultField() : String());
}

void TColumnEh::SetMaxWidth(int Value) {
  max_width_ = Value;
  if (Value > 0 && Width() > Value) SetWidth(Value);
}
void TColumnEh::SetMinWidth(int Value) {
  min_width_ = Value;
  if (Value > 0 && Width() < Value) SetWidth(Value);
}

void TColumnEh::SetNotInKeyListIndex(int Value) {
  if (not_in_key_list_index_ == Value) return;
  not_in_key_list_index_ = Value;
  Changed(false);
}

void TColumnEh::SetPopupMenu(TPopupMenu* Value) {
  popup_menu_ = Value;
  if (Value != nullptr)
    if (TCustomDBGridEh* g = Grid()) Value->FreeNotification(g);
}

bool TColumnEh::ReadOnly() const {
  if (assigned_ & cvReadOnly) return read_only_;
  TCustomDBGridEh* g = Grid();
  if (g != nullptr && g->ReadOnly()) return true;
  if (TField* f = Field()) return f->ReadOnly();
  return false;
}
void TColumnEh::SetReadOnly(bool Value) {
  if (IsDefaultColumn()) {
    TGridDataLinkEh* link = DataLink();
    if (link != nullptr && link->Active())
      if (TField* f = Field()) f->SetReadOnly(Value);
  }
  SetAssigned(cvReadOnly, read_only_, Value, true);
}
bool TColumnEh::IsReadOnlyStored() const {
  if (!(assigned_ & cvReadOnly)) return false;
  TCustomDBGridEh* g = Grid();
  TField* f = Field();
  const bool def = (g != nullptr && g->ReadOnly()) || (f != nullptr && f->ReadOnly());
  return read_only_ != def;
}

void TColumnEh::SetShowImageAndText(bool Value) {
  if (show_image_and_text_ == Value) return;
  show_image_and_text_ = Value;
  Changed(false);
}

void TColumnEh::SetVisible(bool Value) {
  if (visible_ == Value) return;
  visible_ = Value;
  Changed(true);
}

int TColumnEh::DefaultWidth() const {
  TCustomDBGridEh* g = Grid();
  if (g == nullptr) return 64;
  TField* f = Field();
  if (f == nullptr) return g->DefaultColWidth();
  int zero = 1, overhang = 0, ave = 0;
  MeasureZero(Font(), zero, overhang, ave);
  return (zero - overhang) * f->DisplayWidth() + overhang + 4;
}

int TColumnEh::Width() const { return (assigned_ & cvWidth) ? width_ : DefaultWidth(); }

bool TColumnEh::IsWidthStored() const { return (assigned_ & cvWidth) && width_ != DefaultWidth(); }

void TColumnEh::SetWidth(int Value) {
  TCustomDBGridEh* g = Grid();
  if (IsDefaultColumn() && g != nullptr) {
    TField* f = Field();
    if (g->HandleAllocated() && f != nullptr && g->ColumnWidthWriteBack() && Value > 0) {
      int zero = 1, overhang = 0, ave = 0;
      MeasureZero(Font(), zero, overhang, ave);
      f->SetDisplayWidth((ave / 2 + Value - overhang - 3) / zero);
    }
    if (g->LayoutFromDataSet() && !(assigned_ & cvWidth)) return;
  }
  if ((!(assigned_ & cvWidth) && Value == DefaultWidth()) || Value == -1) {
    Changed(false);
    return;
  }
  if (max_width_ > 0 && Value > max_width_) Value = max_width_;
  if (min_width_ > 0 && Value < min_width_) Value = min_width_;
  width_ = Value;
  assigned_ |= cvWidth;
  Changed(false);
}

bool TColumnEh::WordWrap() const {
  if (assigned_ & cvWordWrap) return word_wrap_;
  if (Grid() == nullptr) return false;
  TField* f = Field();
  if (f == nullptr) return false;
  const TFieldType t = f->DataType();
  return t == ftString || t == ftMemo || t == ftFmtMemo || t == ftWideString;
}
void TColumnEh::SetWordWrap(bool Value) { SetAssigned(cvWordWrap, word_wrap_, Value, true); }
bool TColumnEh::IsWordWrapStored() const {
  if (!(assigned_ & cvWordWrap)) return false;
  const uint32_t saved = assigned_;
  const_cast<TColumnEh*>(this)->assigned_ &= ~cvWordWrap;
  const bool def = WordWrap();
  const_cast<TColumnEh*>(this)->assigned_ = saved;
  return word_wrap_ != def;
}

TColumnCellKindEh TColumnEh::GetColumnType() const {
  if (Checkboxes()) return cckCheckBoxes;
  TField* f = Field();
  if (f != nullptr && f->FieldKind() == fkLookup) return cckLookup;
  const bool pick = pick_list_ && pick_list_->Count() > 0;
  const bool keys = key_list_ && key_list_->Count() > 0;
  if (pick && !keys) return cckPickList;
  if (image_list_ != nullptr && !show_image_and_text_) return cckKeyImageList;
  if (pick && keys) return cckKeyPickList;
  return cckPlain;
}

String TColumnEh::GetDisplayText() const {
  TField* f = Field();
  if (f != nullptr && key_list_ && key_list_->Count() > 0) {
    const int i = key_list_->IndexOf(f->Text());
    const int picks = pick_list_ ? pick_list_->Count() : 0;
    if (i >= 0 && i < picks) return pick_list_->Strings(i);
    if (i < 0 && not_in_key_list_index_ >= 0 && not_in_key_list_index_ < picks)
      return pick_list_->Strings(not_in_key_list_index_);
    return String();
  }
  if (f == nullptr) return String();
  TCustomDBGridEh* g = Grid();
  if (g != nullptr && g->DrawMemoText() && f->DataType() == ftMemo) return f->AsString();
  if (f->FieldKind() == fkLookup && spec_row_->Visible()) {
    TDataSet* ds = f->DataSet();
    const Variant key = ds != nullptr ? ds->FieldValues(f->KeyFields()) : Variant();
    if (VarEqualsEh(key, spec_row_->Value())) return spec_row_->GetCellText(0);
    if (spec_row_->ShowIfNotInKeyList() && f->IsNull()) return spec_row_->GetCellText(0);
  }
  if (display_format_.empty()) return f->DisplayText();
  if (f->IsNull()) return String();
  if (dynamic_cast<TNumericField*>(f) != nullptr || f->DataType() == ftBCD || f->DataType() == ftFMTBcd)
    return FormatFloat(display_format_, f->AsFloat());
  if (f->DataType() == ftDateTime || f->DataType() == ftDate || f->DataType() == ftTime ||
      f->DataType() == ftTimeStamp)
    return FormatDateTime(display_format_, f->AsDateTime());
  return f->DisplayText();
}

int TColumnEh::GetKeyIndex() const {
  TField* f = Field();
  if (f == nullptr) return not_in_key_list_index_;
  int i;
  if (key_list_ && key_list_->Count() > 0) i = key_list_->IndexOf(f->Text());
  else if (pick_list_ && pick_list_->Count() > 0) i = pick_list_->IndexOf(f->Text());
  else if (IsIntegerKind(f->DataType())) i = f->IsNull() ? -1 : f->AsInteger();
  else i = -1;
  return i == -1 ? not_in_key_list_index_ : i;
}

TCheckBoxState TColumnEh::GetCheckboxState() const {
  TField* f = Field();
  if (f == nullptr) return cbUnchecked;
  if (f->IsNull()) return cbGrayed;
  if (f->DataType() == ftBoolean) return f->AsBoolean() ? cbChecked : cbUnchecked;
  const String text = f->Text();
  if (key_list_ && key_list_->Count() > 0) {
    for (const String& v : SplitValues(key_list_->Strings(0)))
      if (v == text) return cbChecked;
    if (key_list_->Count() > 1)
      for (const String& v : SplitValues(key_list_->Strings(1)))
        if (v == text) return cbUnchecked;
  }
  return cbGrayed;
}

void TColumnEh::SetCheckboxState(TCheckBoxState Value) {
  TField* f = Field();
  if (f == nullptr) return;
  if (Value == cbGrayed) return UpdateData(String(), Null(), false);
  if (f->DataType() == ftBoolean) return UpdateData(String(), Variant(Value == cbChecked), false);
  const int line = Value == cbChecked ? 0 : 1;
  String text;
  if (key_list_ && key_list_->Count() > line) text = SplitValues(key_list_->Strings(line)).front();
  UpdateData(text, Variant(text), true);
}

void TColumnEh::UpdateData(const String& Text, const Variant& Value, bool UseText) {
  String text = Text;
  Variant value = Value;
  bool use_text = UseText, handled = false;
  if (on_update_data_) on_update_data_(this, text, value, use_text, handled);
  TField* f = Field();
  if (!handled && f != nullptr) {
    TCustomDBGridEh* g = Grid();
    if (use_text) {
      if (f->DataType() == ftMemo && g != nullptr && g->DrawMemoText()) f->SetAsString(text);
      else f->SetText(text);
    } else if (f->FieldKind() == fkLookup && !f->KeyFields().empty()) {
      DataSetSetFieldValues(f->DataSet(), f->KeyFields(), value);
    } else {
      f->SetValue(value);
    }
  }
  // The in-place editor decides on automatic adding (a later unit).
}

bool TColumnEh::FieldCanModify() const {
  TField* f = Field();
  if (f == nullptr) return false;
  if (f->FieldKind() == fkLookup) {
    if (f->KeyFields().empty() || f->DataSet() == nullptr) return false;
    std::vector<TField*> keys;
    f->DataSet()->GetFieldList(keys, f->KeyFields());
    return FieldsCanModify(keys);
  }
  return f->CanModify();
}

bool TColumnEh::CanModify(bool TryEdit) {
  TCustomDBGridEh* g = Grid();
  if (g != nullptr && (g->ReadOnly() || !g->DataLink()->Active() || g->DataLink()->ReadOnly())) return false;
  if (ReadOnly() || !FieldCanModify()) return false;
  if (g == nullptr || !TryEdit) return true;
  g->DataLink()->Edit();
  return g->DataLink()->Editing();
}

void TColumnEh::SetNextFieldValue(double Step) {
  if (Step == 0 || !CanModify(true)) return;
  const bool forward = Step > 0;
  TField* f = Field();
  switch (GetColumnType()) {
    case cckCheckBoxes:
      SetCheckboxState(GetCheckboxState() == cbChecked ? cbUnchecked : cbChecked);
      return;
    case cckLookup: {
      TDataSet* lds = GetLookupDataSet();
      if (lds == nullptr || !lds->Active()) return;
      TDataSet* ds = f->DataSet();
      const Variant key = ds->FieldValues(f->KeyFields());
      const bool found = !VarIsNull(key) && lds->Locate(f->LookupKeyFields(), key, TLocateOptions());
      if (!found) {
        forward ? lds->First() : lds->Last();
      } else if (forward) {
        lds->Next();
        if (lds->Eof()) lds->First();
      } else {
        lds->Prior();
        if (lds->Bof()) lds->Last();
      }
      DataSetSetFieldValues(ds, f->KeyFields(), lds->FieldValues(f->LookupKeyFields()));
      return;
    }
    case cckPickList:
    case cckKeyPickList: {
      const bool keyed = GetColumnType() == cckKeyPickList;
      TStrings* list = keyed ? KeyList() : PickList();
      const int n = list->Count();
      if (n == 0) return;
      int i = list->IndexOf(f->Text());
      if (i < 0) i = forward ? n - 1 : 0;  // not in the list: to the first (last) item
      i = forward ? (i + 1) % n : (i + n - 1) % n;
      const String text = list->Strings(i);
      UpdateData(text, Variant(text), true);
      return;
    }
    default:
      break;
  }
  if (f == nullptr || !IsNumericKind(f->DataType())) return;
  const double v = f->IsNull() ? 0.0 : f->AsFloat();
  UpdateData(String(), Variant(v + Step), false);
}

TDataSet* TColumnEh::GetLookupDataSet() const {
  if (TDataSource* src = drop_down_box_->ListSource())
    if (src->DataSet() != nullptr) return src->DataSet();
  TField* f = Field();
  return f != nullptr ? f->LookupDataSet() : nullptr;
}

void TColumnEh::RestoreDefaults() {
  if (title_) title_->RestoreDefaults();
  assigned_ = 0;
  RefreshDefaultFont();
  pick_list_.reset();
  button_style_ = cbsAuto;
  Changed(false);
  key_list_.reset();
}

void TColumnEh::GetColCellParams(bool EditMode, TColCellParamsEh* Params) {
  Params->Alignment = Alignment();
  Params->Background = Color();
  Params->Font->Assign(Font());
  Params->ReadOnly = ReadOnly();
  Params->ImageIndex = GetKeyIndex();
  Params->CheckboxState = GetCheckboxState();
  if (!EditMode) Params->Text = GetDisplayText();
  if (on_get_cell_params_) on_get_cell_params_(this, EditMode, Params);
}

void TColumnEh::SetIndex(int Value) {
  TCustomDBGridEh* g = Grid();
  if (g != nullptr && IsDefaultColumn() && g->DataLink()->Active()) {
    TField* to = g->DataLink()->Fields(Value);
    if (TField* f = Field(); f != nullptr && to != nullptr) f->SetIndex(to->Index());
  }
  TCollectionItem::SetIndex(Value);
}

void TColumnEh::ListSourceChanged(TDataSource* Source) {
  if (Source != nullptr)
    if (TCustomDBGridEh* g = Grid()) Source->FreeNotification(g);
}

TCustomDBGridEh* TColumnEh::GetLookupGrid() {
  if (drop_down_grid_ == nullptr && g_drop_down_factory.Create != nullptr)
    drop_down_grid_ = g_drop_down_factory.Create(this);
  return drop_down_grid_;
}

TDBLookupGridEhOptions TColumnEh::GetOptions() {
  TCustomDBGridEh* g = GetLookupGrid();
  return g != nullptr && g_drop_down_factory.GetOptions ? g_drop_down_factory.GetOptions(g)
                                                        : TDBLookupGridEhOptions{dlgColLinesEh};
}

void TColumnEh::SetOptions(TDBLookupGridEhOptions Value) {
  TCustomDBGridEh* g = GetLookupGrid();
  if (g != nullptr && g_drop_down_factory.SetOptions) g_drop_down_factory.SetOptions(g, Value);
}

void TColumnEh::Assign(TPersistent* Source) {
  auto* src = dynamic_cast<TColumnEh*>(Source);
  if (src == nullptr) return TCollectionItem::Assign(Source);
  if (Collection() != nullptr) Collection()->BeginUpdate();
  RestoreDefaults();
  SetFieldName(src->field_name_);
  const uint32_t a = src->assigned_;
  if (a & cvColor) SetColor(src->color_);
  if (a & cvWidth) SetWidth(src->width_);
  if (a & cvFont) SetFont(src->font_.get());
  if (a & cvImeMode) SetImeMode(src->ime_mode_);
  if (a & cvImeName) SetImeName(src->ime_name_);
  if (a & cvAlignment) SetAssigned(cvAlignment, alignment_, src->alignment_, true);
  if (a & cvReadOnly) SetAssigned(cvReadOnly, read_only_, src->read_only_, true);
  if (a & cvWordWrap) SetWordWrap(src->word_wrap_);
  if (a & cvLookupDisplayFields) SetLookupDisplayFields(src->lookup_display_fields_);
  if (a & cvCheckboxes) SetCheckboxes(src->checkboxes_);
  if (a & cvLayout) SetLayout(src->layout_);
  if (a & cvHighlightRequired) SetHighlightRequired(src->highlight_required_);
  title_->Assign(src->title_.get());
  drop_down_rows_ = src->drop_down_rows_;
  SetButtonStyle(src->button_style_);
  if (src->IsPickListStored()) PickList()->Assign(src->pick_list_.get());
  popup_menu_ = src->popup_menu_;
  fitted_width_ = src->fitted_width_;
  auto_fit_col_width_ = src->auto_fit_col_width_;
  if (a & cvEndEllipsis) SetEndEllipsis(src->end_ellipsis_);
  drop_down_width_ = src->drop_down_width_;
  if (a & cvAutoDropDown) SetAutoDropDown(src->auto_drop_down_);
  if (a & cvAlwaysShowEditButton) SetAlwaysShowEditButton(src->always_show_edit_button_);
  footer_->Assign(src->footer_.get());
  if (src->IsKeyListStored()) KeyList()->Assign(src->key_list_.get());
  increment_ = src->increment_;
  if (a & cvToolTips) SetToolTips(src->tool_tips_);
  footers_->Assign(src->footers_.get());
  tag_ = src->tag_;
  SetVisible(src->visible_);
  SetImageList(src->image_list_);
  not_in_key_list_index_ = src->not_in_key_list_index_;
  min_width_ = src->min_width_;
  max_width_ = src->max_width_;
  if (a & cvDblClickNextVal) SetDblClickNextVal(src->dbl_click_next_val_);
  if (a & cvDropDownSizing) SetDropDownSizing(src->drop_down_sizing_);
  if (a & cvDropDownShowTitles) SetDropDownShowTitles(src->drop_down_show_titles_);
  display_format_ = src->display_format_;
  edit_mask_ = src->edit_mask_;
  hide_duplicates_ = src->hide_duplicates_;
  show_image_and_text_ = src->show_image_and_text_;
  on_get_cell_params_ = src->on_get_cell_params_;
  on_check_draw_required_ = src->on_check_draw_required_;
  on_edit_button_click_ = src->on_edit_button_click_;
  on_edit_button_down_ = src->on_edit_button_down_;
  on_not_in_list_ = src->on_not_in_list_;
  on_update_data_ = src->on_update_data_;
  edit_buttons_->Assign(src->edit_buttons_.get());
  drop_down_box_->Assign(src->drop_down_box_.get());
  mru_list_->Assign(src->mru_list_.get());
  AssignSpecRow(spec_row_.get(), src->spec_row_.get());
  st_filter_->Assign(src->st_filter_.get());
  if (Collection() != nullptr) Collection()->EndUpdate();
}

// ---------------------------------------------------------------------------
// TDBGridColumnsEh

TDBGridColumnsEh::TDBGridColumnsEh(TCustomDBGridEh* Grid, TCollectionItemClass ItemClass)
    : TCollection(ItemClass), grid_(Grid) {}

TPersistent* TDBGridColumnsEh::GetOwner() { return grid_; }

TColumnEh* TDBGridColumnsEh::AddDefault() {
  TColumnEh* c = Add();
  c->SetStored(false);
  return c;
}

TDBGridColumnsState TDBGridColumnsEh::State() const {
  return Count() > 0 && Items(0)->stored_ ? csCustomized : csDefault;
}

void TDBGridColumnsEh::SetState(TDBGridColumnsState Value) {
  if (Value == State()) return;
  if (Value == csDefault) {
    if (grid_ != nullptr) grid_->BeginLayout();
    Clear();
    if (grid_ != nullptr) grid_->EndLayout();
    return;
  }
  if (grid_ != nullptr) grid_->BeginLayout();
  if (Count() == 0 && grid_ != nullptr && grid_->DataLink()->Active()) grid_->RebuildColumns();
  for (int i = 0; i < Count(); ++i) Items(i)->SetStored(true);
  if (grid_ != nullptr) grid_->EndLayout();
}

void TDBGridColumnsEh::Update(TCollectionItem* Item) {
  if (grid_ == nullptr || grid_->IsLoading() || grid_->IsDestroying()) return;
  if (Item != nullptr) {
    auto* col = static_cast<TColumnEh*>(Item);
    const int raw = grid_->IndicatorOffset() + col->Index();
    if (raw >= grid_->ColCount()) {
      grid_->LayoutChanged();
    } else {
      grid_->InvalidateCol(raw);
      if (!grid_->AutoFitColWidths() || grid_->IsDesigning()) {
        if (grid_->ColWidths(raw) == col->Width()) {
          if (grid_->UseMultiTitle()) grid_->LayoutChanged();
        } else if (col->Visible()) {
          grid_->SetColWidths(raw, col->Width());
        } else {
          grid_->SetColWidths(raw, grid_->Options().Contains(dgColLines) ? -1 : 0);
        }
      } else if (grid_->ColWidths(raw) != -1) {
        const int old = col->fitted_width_;
        const int gw = grid_->ColWidths(raw);
        if (gw != 0) col->fitted_width_ = MulDiv(old, col->Width(), gw);
        if (raw < grid_->ColCount() - 1 && col->Index() + 1 < Count()) {
          TColumnEh* next = Items(col->Index() + 1);
          next->fitted_width_ = std::max(0, next->fitted_width_ + old - col->fitted_width_);
        }
        grid_->LayoutChanged();
      }
    }
  } else {
    grid_->LayoutChanged();
  }
  grid_->RefreshVisibleColumns();
  const int sel = grid_->SelectedIndex();
  if (Count() > 0 && sel >= 0 && sel < Count() && !Items(sel)->Visible() && grid_->VisibleColumns()->Count() > 0)
    grid_->SetSelectedIndex(grid_->VisibleColumns()->Items(0)->Index());
  if (!grid_->InLayout()) grid_->InvalidateEditor();
}

void TDBGridColumnsEh::SaveToStream(TStream* Stream) {
  auto wrapper = std::make_unique<TColumnsWrapper>(nullptr);
  wrapper->SetName("ColumnsWrapper");
  wrapper->SetColumns(this);
  const String text = WriteComponentToText(wrapper.get());
  Stream->WriteBuffer(text.data(), static_cast<Int64>(text.size()));
}

void TDBGridColumnsEh::LoadFromStream(TStream* Stream) {
  String text;
  char buf[4096];
  for (;;) {
    const Int64 n = Stream->Read(buf, sizeof buf);
    if (n <= 0) break;
    text.append(buf, static_cast<size_t>(n));
  }
  auto wrapper = std::make_unique<TColumnsWrapper>(nullptr);
  auto columns = std::make_unique<TDBGridColumnsEh>(nullptr, ItemClass());
  wrapper->SetColumns(columns.get());
  ReadComponentFromText(wrapper.get(), text);
  Assign(columns.get());
}

bool TDBGridColumnsEh::Equals(TDBGridColumnsEh* Other) {
  if (Other == nullptr || Other->Count() != Count()) return false;
  TMemoryStream mine, theirs;
  SaveToStream(&mine);
  Other->SaveToStream(&theirs);
  return mine.Size() == theirs.Size() &&
         std::memcmp(mine.Memory(), theirs.Memory(), static_cast<size_t>(mine.Size())) == 0;
}

// ---------------------------------------------------------------------------
// TColumnDropDownBoxEh

TColumnDropDownBoxEh::TColumnDropDownBoxEh(TPersistent* Owner)
    : owner_(Owner), spec_row_(std::make_unique<TSpecRowEh>(this)) {}

TColumnDropDownBoxEh::~TColumnDropDownBoxEh() = default;

IColumnDropDownBoxOwnerEh* TColumnDropDownBoxEh::OwnerIntf() const {
  return dynamic_cast<IColumnDropDownBoxOwnerEh*>(owner_);
}

TColumnDefValuesEh* TColumnDropDownBoxEh::ColumnDefValues() const {
  IColumnDropDownBoxOwnerEh* o = OwnerIntf();
  TCustomDBGridEh* g = o != nullptr ? o->GetLookupGrid() : nullptr;
  return g != nullptr ? g->ColumnDefValues() : nullptr;
}
void TColumnDropDownBoxEh::SetColumnDefValues(TColumnDefValuesEh* Value) {
  if (TColumnDefValuesEh* d = ColumnDefValues()) d->Assign(Value);
}
TDBGridColumnsEh* TColumnDropDownBoxEh::Columns() const {
  IColumnDropDownBoxOwnerEh* o = OwnerIntf();
  TCustomDBGridEh* g = o != nullptr ? o->GetLookupGrid() : nullptr;
  return g != nullptr ? g->Columns() : nullptr;
}
void TColumnDropDownBoxEh::SetColumns(TDBGridColumnsEh* Value) {
  if (TDBGridColumnsEh* c = Columns()) c->Assign(Value);
}
bool TColumnDropDownBoxEh::IsColumnsStored() const {
  IColumnDropDownBoxOwnerEh* o = OwnerIntf();
  TCustomDBGridEh* g = o != nullptr ? dynamic_cast<TColumnEh*>(owner_)->DropDownGrid() : nullptr;
  return g != nullptr && g->Columns()->State() == csCustomized;
}
TDBLookupGridEhOptions TColumnDropDownBoxEh::Options() const {
  IColumnDropDownBoxOwnerEh* o = OwnerIntf();
  return o != nullptr ? o->GetOptions() : TDBLookupGridEhOptions();
}
void TColumnDropDownBoxEh::SetOptions(TDBLookupGridEhOptions Value) {
  if (IColumnDropDownBoxOwnerEh* o = OwnerIntf()) o->SetOptions(Value);
}

void TColumnDropDownBoxEh::SetListSource(TDataSource* Value) {
  if (list_source_ == Value) return;
  list_source_ = Value;
  if (IColumnDropDownBoxOwnerEh* o = OwnerIntf()) o->ListSourceChanged(Value);
}

void TColumnDropDownBoxEh::Assign(TPersistent* Source) {
  auto* src = dynamic_cast<TColumnDropDownBoxEh*>(Source);
  if (src == nullptr) return TPersistent::Assign(Source);
  AutoDrop = src->AutoDrop;
  Sizable = src->Sizable;
  ShowTitles = src->ShowTitles;
  Flag2 = src->Flag2;
  auto_fit_col_widths_ = src->auto_fit_col_widths_;
  TColumnEh* src_col = dynamic_cast<TColumnEh*>(src->owner_);
  const bool src_has_grid = src_col != nullptr && src_col->DropDownGrid() != nullptr;
  if (src_has_grid) SetColumnDefValues(src->ColumnDefValues());
  if (src_has_grid && src->Columns()->State() == csCustomized) {
    SetColumns(src->Columns());
  } else if (TColumnEh* own = dynamic_cast<TColumnEh*>(owner_); own != nullptr && own->DropDownGrid() != nullptr) {
    own->DropDownGrid()->Columns()->Clear();
  }
  if (src_has_grid) SetOptions(src->Options());
  Rows = src->Rows;
  Width = src->Width;
  use_multi_title_ = src->use_multi_title_;
  SetListSource(src->list_source_);
  AssignSpecRow(spec_row_.get(), src->spec_row_.get());
}
