// DBGridEh: footers, column default values, the grid's sum list and the
// column list.
#include <algorithm>

#include "grid/datagrid/DBGridEh.h"

// ---------------------------------------------------------------------------
// TColumnsEhList

int TColumnsEhList::IndexOf(const TColumnEh* Column) const {
  auto it = std::find(items_.begin(), items_.end(), Column);
  return it == items_.end() ? -1 : static_cast<int>(it - items_.begin());
}

void TColumnsEhList::Remove(const TColumnEh* Column) {
  auto it = std::find(items_.begin(), items_.end(), Column);
  if (it != items_.end()) items_.erase(it);
}

void TColumnsEhList::Insert(int Index, TColumnEh* Column) {
  items_.insert(items_.begin() + std::clamp(Index, 0, Count()), Column);
}

// ---------------------------------------------------------------------------
// TColumnFooterEh

TColumnFooterEh::TColumnFooterEh(TCollection* Collection) : TCollectionItem(Collection) {
  if (auto* footers = dynamic_cast<TColumnFootersEh*>(Collection)) column_ = footers->Column();
  Init();
}

TColumnFooterEh::TColumnFooterEh(TColumnEh* Column) : TCollectionItem(nullptr), column_(Column) { Init(); }

TColumnFooterEh* TColumnFooterEh::CreateApart(TColumnEh* Column) { return new TColumnFooterEh(Column); }

void TColumnFooterEh::Init() {
  font_ = std::make_unique<TFont>();
  if (column_ != nullptr) {
    font_refreshing_ = true;
    font_->Assign(DefaultFont());
    font_refreshing_ = false;
  }
  font_->SetOnChange({this, &TColumnFooterEh::FontChanged});
  if (TCustomDBGridEh* g = Grid()) g->InvalidateFooter();
}

TColumnFooterEh::~TColumnFooterEh() {
  FreeSumItem();
  if (TCustomDBGridEh* g = Grid(); g != nullptr && !g->IsDestroying()) g->InvalidateFooter();
}

TCustomDBGridEh* TColumnFooterEh::Grid() const { return column_ != nullptr ? column_->Grid() : nullptr; }

void TColumnFooterEh::ReportChange() {
  if (column_ != nullptr) column_->Changed(false);
}

void TColumnFooterEh::FontChanged(TObject*) {
  if (font_refreshing_) return;
  assigned_ |= aveFont;
  if (column_ != nullptr) column_->Changed(true);
}

TFont* TColumnFooterEh::DefaultFont() const {
  if (TCustomDBGridEh* g = Grid()) return g->FooterFont();
  return column_ != nullptr ? column_->Font() : font_.get();
}

TFont* TColumnFooterEh::Font() const {
  if (!(assigned_ & aveFont)) {
    TFont* def = DefaultFont();
    if (def != font_.get() && !font_->Equals(*def)) {
      auto* self = const_cast<TColumnFooterEh*>(this);
      self->font_refreshing_ = true;
      self->font_->Assign(def);
      self->font_refreshing_ = false;
    }
  }
  return font_.get();
}

TAlignment TColumnFooterEh::Alignment() const {
  if (assigned_ & aveAlignment) return alignment_;
  TField* f = column_ != nullptr ? column_->Field() : nullptr;
  return f != nullptr ? f->Alignment() : taLeftJustify;
}
void TColumnFooterEh::SetAlignment(TAlignment Value) {
  if ((assigned_ & aveAlignment) && alignment_ == Value) return;
  alignment_ = Value;
  assigned_ |= aveAlignment;
  ReportChange();
}
bool TColumnFooterEh::IsAlignmentStored() const {
  if (!(assigned_ & aveAlignment)) return false;
  TField* f = column_ != nullptr ? column_->Field() : nullptr;
  return alignment_ != (f != nullptr ? f->Alignment() : taLeftJustify);
}

TColor TColumnFooterEh::Color() const {
  if (assigned_ & aveColor) return color_;
  TCustomDBGridEh* g = Grid();
  return g != nullptr ? g->FooterColor() : clWindow;
}
void TColumnFooterEh::SetColor(TColor Value) {
  if ((assigned_ & aveColor) && color_ == Value) return;
  color_ = Value;
  assigned_ |= aveColor;
  ReportChange();
}
bool TColumnFooterEh::IsColorStored() const {
  if (!(assigned_ & aveColor)) return false;
  TCustomDBGridEh* g = Grid();
  return color_ != (g != nullptr ? g->FooterColor() : clWindow);
}

bool TColumnFooterEh::ToolTips() const {
  if (assigned_ & aveToolTips) return tool_tips_;
  TCustomDBGridEh* g = Grid();
  return g != nullptr && g->ColumnDefValues()->Footer()->ToolTips();
}
void TColumnFooterEh::SetToolTips(bool Value) {
  tool_tips_ = Value;
  assigned_ |= aveToolTips;
}

void TColumnFooterEh::SetDisplayFormat(const String& Value) {
  if (display_format_ == Value) return;
  display_format_ = Value;
  ReportChange();
}
void TColumnFooterEh::SetEndEllipsis(bool Value) {
  if (end_ellipsis_ == Value) return;
  end_ellipsis_ = Value;
  ReportChange();
}
void TColumnFooterEh::SetFieldName(const String& Value) {
  if (field_name_ == Value) return;
  field_name_ = Value;
  EnsureSumValue();
  ReportChange();
}
void TColumnFooterEh::SetValue(const String& Value) {
  if (value_ == Value) return;
  value_ = Value;
  ReportChange();
}
void TColumnFooterEh::SetValueType(TFooterValueType Value) {
  if (value_type_ == Value) return;
  value_type_ = Value;
  EnsureSumValue();
  ReportChange();
}
void TColumnFooterEh::SetWordWrap(bool Value) {
  if (word_wrap_ == Value) return;
  word_wrap_ = Value;
  ReportChange();
}

void TColumnFooterEh::FreeSumItem() {
  if (sum_item_ == nullptr) return;
  TDBSum* s = sum_item_;
  sum_item_ = nullptr;
  delete s;
}

void TColumnFooterEh::EnsureSumValue() {
  TCustomDBGridEh* g = Grid();
  if (g == nullptr || g->SumList() == nullptr) return;
  const bool aggregate = value_type_ == fvtSum || value_type_ == fvtAvg || value_type_ == fvtCount;
  if (!aggregate) {
    if (sum_item_ != nullptr) FreeSumItem();
    return;
  }
  TDBSumCollection* sums = g->SumList()->SumCollection();
  const String name = value_type_ == fvtCount ? String() : (field_name_.empty() ? column_->FieldName() : field_name_);
  const TGroupOperation op = value_type_ == fvtSum ? goSum : value_type_ == fvtAvg ? goAvg : goCount;
  if (sum_item_ != nullptr && sum_item_->GroupOperation() == op && sum_item_->FieldName() == name) return;
  sums->BeginUpdate();
  if (sum_item_ == nullptr) sum_item_ = sums->Add();
  sum_item_->SetGroupOperation(op);
  sum_item_->SetFieldName(name);
  sums->EndUpdate();
}

void TColumnFooterEh::RestoreDefaults() {
  assigned_ = 0;
  font_refreshing_ = true;
  font_->Assign(DefaultFont());
  font_refreshing_ = false;
  ReportChange();
}

void TColumnFooterEh::Assign(TPersistent* Source) {
  auto* src = dynamic_cast<TColumnFooterEh*>(Source);
  if (src == nullptr) return TCollectionItem::Assign(Source);
  if (src->assigned_ & aveAlignment) SetAlignment(src->alignment_);
  if (src->assigned_ & aveColor) SetColor(src->color_);
  if (src->assigned_ & aveFont) SetFont(src->font_.get());
  SetEndEllipsis(src->end_ellipsis_);
  SetValueType(src->value_type_);
  SetFieldName(src->field_name_);
  SetValue(src->value_);
  SetWordWrap(src->word_wrap_);
  SetDisplayFormat(src->display_format_);
  if (src->assigned_ & aveToolTips) SetToolTips(src->tool_tips_);
}

TColumnFootersEh::TColumnFootersEh(TColumnEh* Column)
    : TCollection(CollectionItemFactory<TColumnFooterEh>), column_(Column) {}

TPersistent* TColumnFootersEh::GetOwner() { return column_; }

// ---------------------------------------------------------------------------
// Column default values

TColumnDefValuesEh::TColumnDefValuesEh(TCustomDBGridEh* Grid)
    : grid_(Grid),
      footer_(std::make_unique<TColumnFooterDefValuesEh>(this)),
      title_(std::make_unique<TColumnTitleDefValuesEh>(this)) {}

TColumnDefValuesEh::~TColumnDefValuesEh() = default;

TPersistent* TColumnDefValuesEh::GetOwner() { return grid_; }

void TColumnDefValuesEh::Repaint() {
  if (grid_ != nullptr) grid_->Invalidate();
}

void TColumnDefValuesEh::SetAlwaysShowEditButton(bool Value) {
  if (always_show_edit_button_ == Value) return;
  always_show_edit_button_ = Value;
  Repaint();
}
void TColumnDefValuesEh::SetEndEllipsis(bool Value) {
  if (end_ellipsis_ == Value) return;
  end_ellipsis_ = Value;
  Repaint();
}
void TColumnDefValuesEh::SetHighlightRequired(bool Value) {
  if (highlight_required_ == Value) return;
  highlight_required_ = Value;
  Repaint();
}
void TColumnDefValuesEh::SetLayout(TTextLayout Value) {
  if (layout_ == Value) return;
  layout_ = Value;
  Repaint();
}

void TColumnDefValuesEh::Assign(TPersistent* Source) {
  auto* src = dynamic_cast<TColumnDefValuesEh*>(Source);
  if (src == nullptr) return TPersistent::Assign(Source);
  title_->Assign(src->title_.get());
  SetAlwaysShowEditButton(src->always_show_edit_button_);
  SetEndEllipsis(src->end_ellipsis_);
  auto_drop_down_ = src->auto_drop_down_;
  dbl_click_next_val_ = src->dbl_click_next_val_;
  tool_tips_ = src->tool_tips_;
  drop_down_sizing_ = src->drop_down_sizing_;
  drop_down_show_titles_ = src->drop_down_show_titles_;
}

TPersistent* TColumnTitleDefValuesEh::GetOwner() { return owner_; }
TCustomDBGridEh* TColumnTitleDefValuesEh::Grid() const { return owner_ != nullptr ? owner_->Grid() : nullptr; }

TAlignment TColumnTitleDefValuesEh::Alignment() const {
  if (assigned_ & tdvAlignment) return alignment_;
  TCustomDBGridEh* g = Grid();
  return g != nullptr && g->UseMultiTitle() ? taCenter : taLeftJustify;
}
void TColumnTitleDefValuesEh::SetAlignment(TAlignment Value) {
  if ((assigned_ & tdvAlignment) && alignment_ == Value) return;
  alignment_ = Value;
  assigned_ |= tdvAlignment;
  if (TCustomDBGridEh* g = Grid()) g->LayoutChanged();
}
bool TColumnTitleDefValuesEh::IsAlignmentStored() const {
  if (!(assigned_ & tdvAlignment)) return false;
  TCustomDBGridEh* g = Grid();
  return alignment_ != (g != nullptr && g->UseMultiTitle() ? taCenter : taLeftJustify);
}

TColor TColumnTitleDefValuesEh::Color() const {
  if (assigned_ & tdvColor) return color_;
  TCustomDBGridEh* g = Grid();
  return g != nullptr ? g->FixedColor() : clBtnFace;
}
void TColumnTitleDefValuesEh::SetColor(TColor Value) {
  if ((assigned_ & tdvColor) && color_ == Value) return;
  color_ = Value;
  assigned_ |= tdvColor;
  if (TCustomDBGridEh* g = Grid()) g->Invalidate();
}
bool TColumnTitleDefValuesEh::IsColorStored() const {
  if (!(assigned_ & tdvColor)) return false;
  TCustomDBGridEh* g = Grid();
  return color_ != (g != nullptr ? g->FixedColor() : clBtnFace);
}

void TColumnTitleDefValuesEh::SetEndEllipsis(bool Value) {
  if (end_ellipsis_ == Value) return;
  end_ellipsis_ = Value;
  if (TCustomDBGridEh* g = Grid()) g->Invalidate();
}
void TColumnTitleDefValuesEh::SetOrientation(TTextOrientationEh Value) {
  if (orientation_ == Value) return;
  orientation_ = Value;
  if (TCustomDBGridEh* g = Grid()) g->LayoutChanged();
}

void TColumnTitleDefValuesEh::Assign(TPersistent* Source) {
  auto* src = dynamic_cast<TColumnTitleDefValuesEh*>(Source);
  if (src == nullptr) return TPersistent::Assign(Source);
  if (src->assigned_ & tdvAlignment) SetAlignment(src->alignment_);
  if (src->assigned_ & tdvColor) SetColor(src->color_);
  SetEndEllipsis(src->end_ellipsis_);
  title_button_ = src->title_button_;
  tool_tips_ = src->tool_tips_;
  SetOrientation(src->orientation_);
}

TPersistent* TColumnFooterDefValuesEh::GetOwner() { return owner_; }
void TColumnFooterDefValuesEh::Assign(TPersistent* Source) {
  auto* src = dynamic_cast<TColumnFooterDefValuesEh*>(Source);
  if (src == nullptr) return TPersistent::Assign(Source);
  tool_tips_ = src->tool_tips_;
}

// ---------------------------------------------------------------------------
// TDBGridEhSumList

TDBGridEhSumList::TDBGridEhSumList(TCustomDBGridEh* Grid) : TDBSumListProducer(Grid), grid_(Grid) {
  SetDesignTimeWork(true);
  SetActive(false);
}

void TDBGridEhSumList::SetDataSetEvents() {
  if (grid_ != nullptr && grid_->IsDesigning()) {
    // The dataset's event properties stay as they are.
    if (DataSet() == nullptr || EventsHooked()) return;
    design_hooked_ = true;
    SetEventsHooked(true);
    return;
  }
  TDBSumListProducer::SetDataSetEvents();
}

void TDBGridEhSumList::ReturnEvents() {
  if (design_hooked_) {
    design_hooked_ = false;
    SetEventsHooked(false);
    return;
  }
  TDBSumListProducer::ReturnEvents();
}
