// DBGridEh: the layout (columns from fields, fixed columns, row and title
// heights, auto-fitted widths), the multi-title header tree, the row count,
// cell classification, optimal widths, leaving the grid and the tooltip
// window.
#include <algorithm>
#include <cmath>

#include "grid/datagrid/DBGridEh.h"
#include "grid/datagrid/DBGridEh_Internal.h"
#include "platform/gui/GDI.h"

namespace {

// Binds a screen device context to a canvas that has none, for measuring;
// released when the scope ends.
class TScreenCanvasScope {
 public:
  explicit TScreenCanvasScope(TCanvas* Canvas) : canvas_(Canvas) {
    if (!canvas_->HandleAllocated()) {
      dc_ = GetDC(nullptr);
      canvas_->SetHandle(dc_);
    }
  }
  ~TScreenCanvasScope() {
    if (dc_ != nullptr) {
      canvas_->SetHandle(nullptr);
      ReleaseDC(nullptr, dc_);
    }
  }
  TScreenCanvasScope(const TScreenCanvasScope&) = delete;
  TScreenCanvasScope& operator=(const TScreenCanvasScope&) = delete;

 private:
  TCanvas* canvas_;
  HDC dc_ = nullptr;
};

// Keeps a canvas font and gives it back at the end of the scope.
class TCanvasFontScope {
 public:
  explicit TCanvasFontScope(TCanvas* Canvas) : canvas_(Canvas) { saved_.Assign(Canvas->Font()); }
  ~TCanvasFontScope() { canvas_->SetFont(&saved_); }
  TCanvasFontScope(const TCanvasFontScope&) = delete;
  TCanvasFontScope& operator=(const TCanvasFontScope&) = delete;

 private:
  TCanvas* canvas_;
  TFont saved_;
};

// Height of Text word-wrapped into Width pixels, in the canvas font.
int WrappedTextHeight(TCanvas* Canvas, const String& Text, int Width) {
  TRect r{0, 0, std::max(1, Width), 0};
  DrawText(Canvas->Handle(), Text, -1, &r, DT_CALCRECT | DT_WORDBREAK);
  return r.Height();
}

// Width of Text, word-wrapped into Width pixels when Wrap holds.
int MeasuredTextWidth(TCanvas* Canvas, const String& Text, bool Wrap, int Width) {
  if (!Wrap) return Canvas->TextWidth(Text);
  TRect r{0, 0, std::max(1, Width), 0};
  DrawText(Canvas->Handle(), Text, -1, &r, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
  return r.Width();
}

const String kTitleDelims = "|";

}  // namespace

// ---------------------------------------------------------------------------
// Caption words

int WordPosition(int N, const String& S, const String& Delims) {
  const auto delim = [&](char c) { return static_cast<unsigned char>(c) < 0x80 && Delims.find(c) != String::npos; };
  int count = 0;
  size_t i = 0;
  while (i < S.size() && count != N) {
    while (i < S.size() && delim(S[i])) ++i;
    if (i < S.size()) {
      ++count;
      if (count == N) return static_cast<int>(i) + 1;
      while (i < S.size() && !delim(S[i])) ++i;
    }
  }
  return 0;
}

String ExtractWordPos(int N, const String& S, const String& Delims, int& Pos) {
  Pos = WordPosition(N, S, Delims);
  if (Pos == 0) return String();
  size_t end = static_cast<size_t>(Pos) - 1;
  while (end < S.size() && !(static_cast<unsigned char>(S[end]) < 0x80 && Delims.find(S[end]) != String::npos)) ++end;
  return S.substr(static_cast<size_t>(Pos) - 1, end - (static_cast<size_t>(Pos) - 1));
}

String ExtractWord(int N, const String& S, const String& Delims) {
  int pos = 0;
  return ExtractWordPos(N, S, Delims, pos);
}

// ---------------------------------------------------------------------------
// THeadTreeNode

THeadTreeNode::THeadTreeNode() = default;

THeadTreeNode::THeadTreeNode(const String& Text, int Height, int Width)
    : text_(Text), height_(Height), width_(Width) {}

THeadTreeNode::~THeadTreeNode() { FreeAllChild(); }

void THeadTreeNode::FreeAllChild() {
  THeadTreeNode* first = child_;
  child_ = nullptr;
  if (first == nullptr) return;
  THeadTreeNode* n = first;
  do {
    THeadTreeNode* next = n->next_;
    delete n;  // frees its own children first
    n = next;
  } while (n != first);
}

bool THeadTreeNode::Find(const THeadTreeNode* Node) const {
  if (Node == this) return true;
  if (child_ == nullptr) return false;
  const THeadTreeNode* n = child_;
  do {
    if (n->Find(Node)) return true;
    n = n->next_;
  } while (n != child_);
  return false;
}

void THeadTreeNode::CheckInTree(const THeadTreeNode* Node) const {
  if (Node == nullptr || !Find(Node)) throw Exception("Node not in Tree");
}

int THeadTreeNode::GetLevel() const {
  int level = 0;
  for (const THeadTreeNode* n = host_; n != nullptr; n = n->host_) ++level;
  return level;
}

THeadTreeNode* THeadTreeNode::Prior(THeadTreeNode* Node) {
  THeadTreeNode* p = Node;
  while (p->next_ != Node) p = p->next_;
  return p;
}

std::vector<THeadTreeNode*> THeadTreeNode::Children() const {
  std::vector<THeadTreeNode*> out;
  if (child_ == nullptr) return out;
  THeadTreeNode* n = child_;
  do {
    out.push_back(n);
    n = n->next_;
  } while (n != child_);
  return out;
}

THeadTreeNode* THeadTreeNode::AddChild(THeadTreeNode* Node, const String& AText, int AHeight, int AWidth) {
  CheckInTree(Node);
  auto* n = new THeadTreeNode(AText, AHeight, AWidth);
  n->host_ = Node;
  if (Node->child_ == nullptr) {
    Node->child_ = n;
  } else {
    THeadTreeNode* last = Prior(Node->child_);
    last->next_ = n;
    n->next_ = Node->child_;
  }
  return n;
}

THeadTreeNode* THeadTreeNode::Add(THeadTreeNode* After, const String& AText, int AHeight, int AWidth) {
  CheckInTree(After);
  auto* n = new THeadTreeNode(AText, AHeight, AWidth);
  n->host_ = After->host_;
  n->next_ = After->next_;
  After->next_ = n;
  return n;
}

THeadTreeNode* THeadTreeNode::Union(THeadTreeNode* From, THeadTreeNode* To, int AHeight, const String& AText) {
  CheckInTree(From);
  if (To == nullptr) throw Exception("ATo not in level");
  // The run From..To inside From's ring.
  std::vector<THeadTreeNode*> run{From};
  for (THeadTreeNode* n = From; n != To;) {
    n = n->next_;
    if (n == From) throw Exception("ATo not in level");
    run.push_back(n);
  }
  auto* u = new THeadTreeNode(AText, 0, 0);
  u->host_ = From->host_;
  u->w_indent_ = To->w_indent_;
  const bool whole_ring = To->next_ == From;
  THeadTreeNode* prior = whole_ring ? nullptr : Prior(From);
  THeadTreeNode* after = To->next_;
  THeadTreeNode* host = From->host_;
  bool host_child_in_run = false;
  int width = 0;
  for (THeadTreeNode* n : run) {
    if (host != nullptr && host->child_ == n) host_child_in_run = true;
    width += n->width_ + n->w_indent_;
    n->height_ -= AHeight;
    n->host_ = u;
  }
  if (u->w_indent_ >= 1) width -= u->w_indent_;
  u->width_ = width;
  // The run becomes u's ring; u takes its place.
  To->next_ = From;
  u->child_ = From;
  if (whole_ring) {
    u->next_ = u;
  } else {
    prior->next_ = u;
    u->next_ = after;
  }
  if (host != nullptr && host_child_in_run) host->child_ = u;
  return u;
}

void THeadTreeNode::ForEach(const std::function<void(THeadTreeNode* Node, void* Data)>& Proc, void* Data) {
  for (THeadTreeNode* c : Children()) {
    Proc(c, Data);
    c->ForEach(Proc, Data);
  }
}

// ---------------------------------------------------------------------------
// The tooltip window

TRect TToolTipsWindow::CalcHintRect(int MaxWidth, const String& AHint, void* AData) {
  Font()->SetColor(clWindowText);
  return THintWindow::CalcHintRect(MaxWidth, AHint, AData);
}

TToolTipsWindow* TCustomDBGridEh::ToolTipsWindow() {
  if (tool_tips_window_ == nullptr) {
    tool_tips_window_ = new TToolTipsWindow(this);
    tool_tips_window_->FreeNotification(this);
  }
  return tool_tips_window_;
}

// ---------------------------------------------------------------------------
// Columns from fields

void TCustomDBGridEh::RebuildColumns() {
  // Default columns follow the mapped fields.
  const int n = data_link_->FieldCount();
  for (int i = columns_->Count() - 1; i >= 0; --i) {
    TColumnEh* c = columns_->Items(i);
    TField* f = c->Field();
    bool mapped = false;
    for (int k = 0; k < n && !mapped; ++k) mapped = f != nullptr && data_link_->Fields(k) == f;
    if (!mapped) delete c;
  }
  for (int i = 0; i < n; ++i) {
    TField* f = data_link_->Fields(i);
    int found = -1;
    for (int k = i; k < columns_->Count() && f != nullptr; ++k)
      if (columns_->Items(k)->Field() == f) {
        found = k;
        break;
      }
    if (found >= 0) {
      if (found != i) columns_->Items(found)->TCollectionItem::SetIndex(i);
    } else {
      TColumnEh* c = columns_->AddDefault();
      c->TCollectionItem::SetIndex(i);
      if (f != nullptr) c->SetField(f);
    }
  }
}

void TCustomDBGridEh::RefreshVisibleColumns() {
  if (!visible_columns_) return;
  visible_columns_->Clear();
  for (int i = 0; i < columns_->Count(); ++i)
    if (columns_->Items(i)->Visible()) visible_columns_->Add(columns_->Items(i));
}

// ---------------------------------------------------------------------------
// InternalLayout

void TCustomDBGridEh::InternalLayout() {
  if (IsLoading() || IsDestroying()) return;
  RemoveDeferLayoutMessage();
  in_layout_ = true;
  ++layout_count_;

  // Customized and default columns are not mixed.
  bool seen_default = false;
  for (int i = 0; i < columns_->Count(); ++i) {
    if (columns_->Items(i)->IsDefaultColumn()) {
      seen_default = true;
    } else if (seen_default) {
      for (int k = columns_->Count() - 1; k >= 0; --k)
        if (columns_->Items(k)->IsDefaultColumn()) delete columns_->Items(k);
      break;
    }
  }

  indicator_offset_ = options_.Contains(dgIndicator) ? 1 : 0;
  data_link_->ClearMapping();
  if (data_link_->Active()) DefineFieldMap();
  if (columns_->State() == csCustomized) {
    for (int i = 0; i < columns_->Count(); ++i) {
      TColumnEh* c = columns_->Items(i);
      c->ForgetField();
      c->Field();
    }
  } else if (!data_link_->Active() && data_link_->DefaultFields()) {
    columns_->Clear();
  } else {
    RebuildColumns();
  }
  if (data_link_->FieldCount() == 0 && columns_->Count() == 0) columns_->AddDefault();

  // Visible columns and the hidden ones in and right after the frozen area.
  RefreshVisibleColumns();
  const int count = columns_->Count();
  int hidden = 0;
  for (int i = 0; i < frozen_cols_ + hidden && i < count; ++i)
    if (!columns_->Items(i)->Visible()) ++hidden;
  while (frozen_cols_ + hidden < count && !columns_->Items(frozen_cols_ + hidden)->Visible()) ++hidden;
  if (visible_columns_->Count() == 0) --hidden;

  SetColCount(count + indicator_offset_);
  int fixed_cols = (!data_link_->Active() && columns_->State() == csDefault)
                       ? indicator_offset_ + hidden
                       : indicator_offset_ + std::min(frozen_cols_, count) + hidden;
  fixed_cols = std::clamp(fixed_cols, 0, ColCount() - 1);
  if (fixed_cols != FixedCols()) SetFixedCols(fixed_cols);

  title_offset_ = (TitlesVisible() ? 1 : 0) + (IsFilterRowVisible() ? 1 : 0);

  {
    TScreenCanvasScope screen(Canvas());
    TCanvasFontScope font_scope(Canvas());
    Canvas()->SetFont(Font());
    LayoutRowHeights();
    LayoutTitleHeight();
    SyncAutoFitScrollBar();
    SetColumnAttributes();
    AutoFitColumns();
    if (TitlesVisible() && (title_height_ != 0 || title_lines_ != 0)) {
      TFont* largest = nullptr;
      for (int i = 0; i < count; ++i) {
        TFont* f = columns_->Items(i)->Title()->Font();
        if (largest == nullptr || f->Height() < largest->Height()) largest = f;  // negative heights
      }
      if (largest == nullptr) largest = title_font_.get();
      TSize sz;
      TEXTMETRIC tm;
      MeasureFontTextEh(largest, "Wg", sz, tm);
      int h = title_lines_ * tm.tmHeight + tm.tmExternalLeading + 2 + title_height_;
      if (options_.Contains(dgRowLines)) ++h;
      SetRowHeights(0, h);
    }
    if (use_multi_title_) {
      Canvas()->SetFont(title_font_.get());
      leaf_field_arr_.assign(static_cast<size_t>(count), TLeafFieldEh{});
      for (int i = 0; i < count; ++i) leaf_field_arr_[static_cast<size_t>(i)].Column = columns_->Items(i);
      BuildHeadTree();
      if (TitlesVisible()) {
        const int tree = GetHeadTreeHeight(head_tree_.get());
        SetRowHeights(0, std::max(0, tree - (options_eh_.Contains(dghFixed3D) ? 1 : 3)));
      }
    } else {
      leaf_field_arr_.clear();
    }
  }

  SetColumnAttributes();
  const int left = LeftCol();
  UpdateRowCount();
  if (options_.Contains(dgRowSelect) && left != LeftCol() && left < ColCount()) SetLeftCol(left);
  UpdateActive();
  Invalidate();
  if (selection_->SelectionType() == gstColumns) selection_->Columns()->Refresh();
  PlaceFilterEditor();
  in_layout_ = false;
}

void TCustomDBGridEh::LayoutRowHeights() {
  const int m = (flat_ ? 1 : 3) + (options_.Contains(dgRowLines) ? GridLineWidth() : 0);
  const int t = std::max(1, Canvas()->TextHeight("Wg"));
  TSize sz;
  TEXTMETRIC tm;
  MeasureFontTextEh(Font(), "Wg", sz, tm);
  const int row0 = RowHeights(0);
  int h;
  if (row_height_ < 1 && row_lines_ < 1) h = t + m;
  else h = (tm.tmHeight + tm.tmExternalLeading) * row_lines_ + row_height_;
  if (options_eh_.Contains(dghFitRowHeightToText)) {
    const int d = h - m;
    if (d % t <= t / 2 && d / t != 0) h = (d / t) * t + m;
    else h = (d / t + 1) * t + m;
    row_lines_ = (h - m) / t;
    row_height_ = m;
  }
  SetDefaultRowHeight(std::max(1, h));
  SetRowHeights(0, row0);
  const int w = static_cast<int>(std::nearbyint(edit_button_width_ * 1.5));
  if (DefaultRowHeight() > w) edit_button_height_ = flat_ ? w : edit_button_width_;
  else edit_button_height_ = DefaultRowHeight();
  data_rows_multi_line_ =
      !(tm.tmHeight + tm.tmExternalLeading + tm.tmInternalLeading + title_padding_ >= DefaultRowHeight());
}

void TCustomDBGridEh::LayoutTitleHeight() {
  if (!TitlesVisible() || use_multi_title_) return;
  int h = 0;
  for (int i = 0; i < columns_->Count(); ++i) {
    Canvas()->SetFont(columns_->Items(i)->Title()->Font());
    h = std::max(h, Canvas()->TextHeight("Wg") + title_padding_);
  }
  if (columns_->Count() == 0) {
    Canvas()->SetFont(title_font_.get());
    h = Canvas()->TextHeight("Wg") + title_padding_;
  }
  Canvas()->SetFont(Font());
  SetRowHeights(0, h);
}

void TCustomDBGridEh::SyncAutoFitScrollBar() {
  const TScrollStyle cur = ScrollBars();
  const bool vert = cur == ssVertical || cur == ssBoth;
  const bool horz = !(auto_fit_col_widths_ && !IsDesigning()) && horz_scroll_bar_->Visible();
  const TScrollStyle want = horz ? (vert ? ssBoth : ssHorizontal) : (vert ? ssVertical : ssNone);
  if (want == cur) return;
  SetScrollBars(want);
  if (HandleAllocated()) {
    RecreateWnd();
    UpdateScrollBar();
  }
}

void TCustomDBGridEh::SetColumnAttributes() {
  for (int i = 0; i < columns_->Count(); ++i) {
    TColumnEh* c = columns_->Items(i);
    const int raw = i + indicator_offset_;
    if (raw >= ColCount()) break;
    if (c->Visible()) SetColWidths(raw, c->Width());
    else SetColWidths(raw, options_.Contains(dgColLines) ? -1 : 0);
    TField* f = data_link_->Active() ? c->Field() : nullptr;
    SetTabStops(raw, c->Visible() && !c->ReadOnly() && f != nullptr && f->FieldKind() != fkCalculated &&
                         f->CanModify());
  }
  if (indicator_offset_ > 0 && ColCount() > 0) {
    SetColWidths(0, 11);
    SetTabStops(0, false);
  }
}

void TCustomDBGridEh::AutoFitColumns() {
  if (!auto_fit_col_widths_ || IsDesigning() || !HandleAllocated()) return;
  const int n = visible_columns_->Count();
  if (n == 0) return;
  std::vector<bool> fixed(static_cast<size_t>(n), false);
  auto fits = [&](int i) { return visible_columns_->Items(i)->AutoFitColWidth() && !fixed[static_cast<size_t>(i)]; };
  const bool saved_write_back = width_write_back_;
  width_write_back_ = false;
  int space = 0;
  for (int pass = 0; pass < n; ++pass) {
    SetColumnAttributes();
    int s = 0, f = 0;
    for (int i = 0; i < n; ++i) {
      if (fits(i)) s += visible_columns_->Items(i)->FittedWidth();
      else f += visible_columns_->Items(i)->Width();
    }
    space = std::max(0, std::max(ClientWidth(), min_auto_fit_width_) - f);
    if (options_.Contains(dgIndicator)) space -= ColWidths(0);
    if (options_.Contains(dgColLines)) space -= n;
    if (options_.Contains(dgIndicator) && options_.Contains(dgColLines)) space -= 1;
    space = std::max(0, space);
    bool again = false;
    for (int i = 0; i < n; ++i) {
      if (!fits(i)) continue;
      TColumnEh* c = visible_columns_->Items(i);
      const int want = s > 0 ? MulDiv(c->FittedWidth(), space, s) : 0;
      c->SetWidth(want);
      if (c->Width() != want) {
        fixed[static_cast<size_t>(i)] = true;
        again = true;
      }
    }
    if (!again) break;
  }
  int sum = 0, last = -1;
  for (int i = 0; i < n; ++i)
    if (fits(i)) {
      sum += visible_columns_->Items(i)->Width();
      last = i;
    }
  if (last >= 0 && sum != space) {
    TColumnEh* c = visible_columns_->Items(last);
    c->SetWidth(std::max(0, c->Width() + space - sum));
  }
  width_write_back_ = saved_write_back;
  SetColumnAttributes();
}

// ---------------------------------------------------------------------------
// The header tree

void TCustomDBGridEh::BuildHeadTree() {
  head_tree_->FreeAllChild();
  const int row0 = RowHeights(0);
  const int indent = options_.Contains(dgColLines) ? 1 : 0;
  leaf_field_arr_.resize(static_cast<size_t>(columns_->Count()));
  for (int i = 0; i < columns_->Count(); ++i) {
    TColumnEh* c = columns_->Items(i);
    const int w = c->Visible() ? c->Width() : (options_.Contains(dgColLines) ? -1 : 0);
    THeadTreeNode* leaf = head_tree_->AddChild(head_tree_.get(), c->Title()->Caption(), row0, w);
    leaf->SetColumn(c);
    leaf->SetMarkerWidth(c->Title()->SortMarker() != smNoneEh ? 16 : 0);
    leaf->SetWIndent(indent);
    leaf_field_arr_[static_cast<size_t>(i)] = TLeafFieldEh{leaf, c};
  }
  const int n = static_cast<int>(leaf_field_arr_.size());
  bool changed = true;
  while (changed) {
    changed = false;
    for (int i = 0; i < n && !changed; ++i) {
      THeadTreeNode* first = leaf_field_arr_[static_cast<size_t>(i)].Leaf;
      int pos2 = 0;
      if (ExtractWordPos(2, first->Text(), kTitleDelims, pos2).empty()) continue;
      const String w = ExtractWord(1, first->Text(), kTitleDelims);
      // The following leaves of the same ring that start with the same word
      // join the run; a word is removed only from a leaf that is joined.
      THeadTreeNode* last = first;
      std::vector<THeadTreeNode*> run{first};
      for (int k = i + 1; k < n; ++k) {
        THeadTreeNode* leaf = leaf_field_arr_[static_cast<size_t>(k)].Leaf;
        if (leaf->Host() != first->Host() || last->Next() != leaf) break;
        if (ExtractWord(1, leaf->Text(), kTitleDelims) != w) break;
        if (WordPosition(2, leaf->Text(), kTitleDelims) == 0) break;
        run.push_back(leaf);
        last = leaf;
      }
      for (THeadTreeNode* leaf : run) {
        const int p = WordPosition(2, leaf->Text(), kTitleDelims);
        leaf->SetText(leaf->Text().substr(static_cast<size_t>(p) - 1));
      }
      head_tree_->Union(first, last, 20, w);
      changed = true;
    }
  }
}

int TCustomDBGridEh::GetHeadTreeHeight(THeadTreeNode* Node) {
  if (Node == nullptr || Node->Child() == nullptr) return 0;
  const std::vector<THeadTreeNode*> children = Node->Children();
  std::vector<int> sub(children.size(), 0);
  int total = 0;
  for (size_t i = 0; i < children.size(); ++i) {
    THeadTreeNode* c = children[i];
    TColumnEh* col = c->Column();
    Canvas()->SetFont(col != nullptr ? col->Title()->Font() : title_font_.get());
    const int width = std::max(1, c->Width() - 4 - c->MarkerWidth());
    const String text = c->Text().empty() ? String(" ") : c->Text();
    int h;
    if (col != nullptr && col->Title()->Orientation() == tohVertical) {
      h = c->Width() < 1 ? 0 : WriteVerticalText(Canvas(), TRect{0, 0, width, 0}, false, 0, 0, text, taLeftJustify,
                                                 tlTop, false, true) +
                                   6;
    } else {
      h = (c->Width() < 1 ? 0 : WrappedTextHeight(Canvas(), text, width)) + v_title_margin_;
    }
    sub[i] = GetHeadTreeHeight(c);
    total = std::max(total, h + sub[i]);
  }
  for (size_t i = 0; i < children.size(); ++i)
    children[i]->SetHeight(children[i]->Child() == nullptr ? total : total - sub[i]);
  Node->SetHeight(total);
  return total;
}

// ---------------------------------------------------------------------------
// Row count

void TCustomDBGridEh::UpdateRowCount() {
  if (!data_link_) return;
  const int line = options_.Contains(dgRowLines) ? GridLineWidth() : 0;
  const int pitch = std::max(1, DefaultRowHeight() + line);
  const int old_count = RowCount();
  if (RowCount() <= title_offset_) SetRowCount(title_offset_ + 1);
  if (FixedRows() != title_offset_) SetFixedRows(title_offset_);
  const int row0 = RowHeights(0);
  int h = 0;
  if (TitlesVisible()) h += row0 + line;
  if (IsFilterRowVisible()) h += pitch;
  if (footer_row_count_ > 0) h += footer_row_count_ * pitch + line;
  SetDefaultRowHeight(DefaultRowHeight());
  if (TitlesVisible()) SetRowHeights(0, row0);
  if (data_link_->Active() && data_link_->RecordCount() > 0 && HandleAllocated()) {
    data_link_->SetBufferCount(std::max(1, (ClientHeight() - h) / pitch));
    const int r = data_link_->RecordCount();
    h += r * pitch;
    if (footer_row_count_ == 0) {
      SetRowCount(title_offset_ + r);
    } else {
      SetRowCount(title_offset_ + r + footer_row_count_ + 1);
      SetRowHeights(title_offset_ + r, std::max(0, ClientHeight() - h));
    }
    UpdateActive();
  } else {
    h += pitch;
    if (HandleAllocated() && footer_row_count_ > 0) {
      SetRowCount(title_offset_ + 1 + footer_row_count_ + 1);
      SetRowHeights(title_offset_ + 1, std::max(0, ClientHeight() - h));
    } else {
      SetRowCount(title_offset_ + 1);
    }
  }
  if (RowCount() != old_count) Invalidate();
}

void TCustomDBGridEh::RowHeightsChanged() {
  TCustomGrid::RowHeightsChanged();
  if (in_layout_ || layout_lock_ != 0 || IsLoading() || IsDestroying()) return;
  // A data row sized by the user gives the row height of every row. The
  // filler row before the footers is not a data row.
  const int last = RowCount() - 1 - (footer_row_count_ > 0 ? footer_row_count_ + 1 : 0);
  for (int r = title_offset_; r <= last; ++r) {
    if (RowHeights(r) == DefaultRowHeight()) continue;
    const int h = RowHeights(r);
    BeginLayout();
    row_height_ = h;
    row_lines_ = 0;
    EndLayout();
    UpdateScrollBar();
    return;
  }
}

// ---------------------------------------------------------------------------
// Link state, loading and scaling

void TCustomDBGridEh::LinkActive(bool Value) {
  if (!Value) HideEditor();
  selection_->LinkActive(Value);
  selected_rows_->LinkActive(Value);
  TDataSet* ds = Value ? data_link_->DataSet() : nullptr;
  sum_list_->SetDataSet(ds);
  sum_list_->SetActive(Value);
  if (!Value)
    for (int i = 0; i < columns_->Count(); ++i) columns_->Items(i)->ForgetField();
  LayoutChanged();
  if (Value && IsAlwaysShowEditor() && HandleAllocated()) ShowEditor();
  UpdateScrollBar();
  for (int i = 0; i < columns_->Count(); ++i) columns_->Items(i)->EnsureSumValues();
}

void TCustomDBGridEh::Loaded() {
  TCustomGrid::Loaded();
  if (columns_->Count() > 0) {
    SetColCount(columns_->Count() + indicator_offset_);
    if (auto_fit_col_widths_ && !IsDesigning()) {
      columns_->BeginUpdate();
      for (int i = 0; i < columns_->Count(); ++i) columns_->Items(i)->SetFittedWidth(columns_->Items(i)->Width());
      columns_->EndUpdate();
      auto_fit_saved_ = true;
      SyncAutoFitScrollBar();
    }
    // The sort-marked columns in the order of their SortIndex.
    std::vector<std::pair<int, TColumnEh*>> marked;
    for (int i = 0; i < columns_->Count(); ++i)
      if (columns_->Items(i)->Title()->SortIndex() > 0)
        marked.emplace_back(columns_->Items(i)->Title()->SortIndex(), columns_->Items(i));
    std::stable_sort(marked.begin(), marked.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    sort_marked_columns_->Clear();
    for (const auto& m : marked) sort_marked_columns_->Add(m.second);
  }
  if (DataSource() != nullptr) {
    sum_list_->SetDataSet(data_link_->DataSet());
    sum_list_->SetActive(data_link_->Active());
  }
  LayoutChanged();
  DeferLayout();
}

void TCustomDBGridEh::ChangeScale(int M, int D) {
  if (M == D) return;
  const bool fonts = IsLoading() ? ScalingFlags().Contains(sfFont) : true;
  if (fonts) {
    footer_font_internal_ = true;
    if (!ParentFont()) {
      title_font_->SetSize(MulDiv(Font()->Size(), M, D));
      footer_font_->SetSize(MulDiv(footer_font_->Size(), M, D));
    }
    columns_->BeginUpdate();
    int sum = 0, scaled_before = 0;
    for (int i = 0; i < columns_->Count(); ++i) {
      TColumnEh* c = columns_->Items(i);
      if (c->IsFontStored()) c->Font()->SetSize(MulDiv(c->Font()->Size(), M, D));
      if (c->Title()->IsFontStored()) c->Title()->Font()->SetSize(MulDiv(c->Title()->Font()->Size(), M, D));
      if (c->Footer()->IsFontStored()) c->Footer()->Font()->SetSize(MulDiv(c->Footer()->Font()->Size(), M, D));
      for (int k = 0; k < c->Footers()->Count(); ++k) {
        TColumnFooterEh* f = c->Footers()->Items(k);
        if (f->IsFontStored()) f->Font()->SetSize(MulDiv(f->Font()->Size(), M, D));
      }
      sum += c->Width();
      const int scaled = MulDiv(sum, M, D);
      c->SetWidth(scaled - scaled_before);
      scaled_before = scaled;
    }
    columns_->EndUpdate();
    footer_font_internal_ = false;
  }
  // The control's own scaling; the grid's extents are not scaled again: the
  // layout makes them anew from the scaled columns and fonts.
  TWinControl::ChangeScale(M, D);
  LayoutChanged();
}

// ---------------------------------------------------------------------------
// Cell classification and selection

TRect TCustomDBGridEh::GetDataCellsRect() const {
  TRect r;
  r.Left = indicator_offset_;
  r.Right = ColCount() - 1;
  r.Top = FixedRows();
  // The last data row: before the filler and footer rows, or the last row.
  r.Bottom = footer_row_count_ > 0 ? RowCount() - footer_row_count_ - 2 : RowCount() - 1;
  return r;
}

TCustomDBGridEh::TCellTypeEh TCustomDBGridEh::GetCellType(int ACol, int ARow, int& DataCol, int& DataRow) {
  TCellTypeEh t{};
  if (ACol < indicator_offset_) {
    t.Horz = hckIndicatorEh;
    DataCol = ACol;
  } else {
    t.Horz = hckDataEh;
    DataCol = ACol - indicator_offset_;
  }
  const int titles = TitlesVisible() ? 1 : 0;
  const int filter = IsFilterRowVisible() ? 1 : 0;
  const TRect cells = GetDataCellsRect();
  if (ARow < titles) {
    t.Vert = vckTitleEh;
    DataRow = ARow;
  } else if (ARow < titles + filter) {
    t.Vert = vckFilterEh;
    DataRow = ARow - titles;
  } else if (ARow >= cells.Top && ARow <= cells.Bottom) {
    t.Vert = vckDataEh;
    DataRow = ARow - FixedRows();
  } else if (ARow == cells.Bottom + 1) {
    t.Vert = vckAboveFooterEh;
    DataRow = 0;
  } else if (ARow > cells.Bottom + 1) {
    t.Vert = vckFooterEh;
    DataRow = ARow - (cells.Bottom + 1);
  } else {
    throw Exception("Algorithm error in TCustomDBGridEh.GetCellType");
  }
  return t;
}

bool TCustomDBGridEh::IsCellSelected(int ACol, int ARow, const TBookmark& Bookmark, int DataCol) {
  const TDBGridEhSelectionType type = selection_->SelectionType();
  if (type == gstAll) return true;
  const TRect cells = GetDataCellsRect();
  const bool data_row = ARow >= cells.Top && ARow <= cells.Bottom;
  if (ACol >= indicator_offset_) {
    if (data_row) return selection_->DataCellSelected(DataCol, Bookmark);
    if (type == gstColumns && DataCol >= 0 && DataCol < columns_->Count())
      return selection_->Columns()->IndexOf(columns_->Items(DataCol)) >= 0;
    return false;
  }
  if (data_row && type == gstRecordBookmarks) return selected_rows_->IndexOf(Bookmark) >= 0;
  return false;
}

// ---------------------------------------------------------------------------
// Leaving the grid and copying from the row above

void TCustomDBGridEh::DoExit() {
  if (data_link_->Active() && data_link_->DataSet() != nullptr) {
    TDataSet* ds = data_link_->DataSet();
    if (options_.Contains(dgCancelOnExit) && ds->State() == dsInsert && !ds->Modified() &&
        !data_link_->IsModified() && !data_link_->InUpdateData())
      ds->Cancel();
    else
      data_link_->UpdateRecord();
  }
  TCustomGrid::DoExit();
}

void TCustomDBGridEh::CopyValueFromPriorRow() {
  if (!data_link_->Active()) return;
  const int active = data_link_->ActiveRecord();
  TColumnEh* c = SelectedColumn();
  if (active <= 0 || c == nullptr || c->Field() == nullptr || !c->CanModify(true)) return;
  TField* f = c->Field();
  TDataSet* ds = data_link_->DataSet();
  Variant value;
  data_link_->SetActiveRecord(active - 1);
  try {
    value = f->Lookup() ? ds->FieldValues(f->KeyFields()) : f->Value();
  } catch (...) {
    data_link_->SetActiveRecord(active);
    throw;
  }
  data_link_->SetActiveRecord(active);
  selected_rows_->Clear();
  if (f->Lookup()) ds->SetFieldValues(f->KeyFields(), value);
  else f->SetValue(value);
  ShowEditor();
  if (EditorMode() && InplaceEditor() != nullptr) InplaceEditor()->SelectAll();
}

// ---------------------------------------------------------------------------
// Optimal column widths

int TCustomDBGridEh::TitleOptimalWidth(TColumnEh* Column, TCanvas* Canvas) {
  TColumnTitleEh* title = Column->Title();
  const int marker = title->GetSortMarkerWidth();
  const int margin = marker > 2 ? marker + 2 : 4;
  if (title_images_ != nullptr && title->ImageIndex() != -1) return margin + title_images_->Width();
  String text = title->Caption();
  if (use_multi_title_)
    for (const TLeafFieldEh& leaf : leaf_field_arr_)
      if (leaf.Column == Column && leaf.Leaf != nullptr) text = leaf.Leaf->Text();
  Canvas->SetFont(title->Font());
  const bool wrap = title_height_ != 0 || title_lines_ != 0 || use_multi_title_;
  if (title->Orientation() == tohVertical) {
    // Vertical titles need the text's height across the column.
    return margin + Canvas->TextHeight(text);
  }
  return margin + MeasuredTextWidth(Canvas, text, wrap, Column->Width());
}

int TCustomDBGridEh::CellOptimalWidth(TColumnEh* Column, TCanvas* Canvas, bool FirstVisible) {
  (void)FirstVisible;  // no memory-table tree area
  int w = 4;
  if (Column->AlwaysShowEditButton()) w += edit_button_width_;
  const TColumnCellKindEh kind = Column->GetColumnType();
  if (Column->ImageList() != nullptr && kind == cckKeyImageList) return w + Column->ImageList()->Width();
  if (kind == cckCheckBoxes) return w + DefaultCheckBoxWidth();
  cell_params_->Font->Assign(Column->Font());
  Column->GetColCellParams(false, cell_params_.get());
  TColor bk = cell_params_->Background;
  if (on_get_cell_params_) on_get_cell_params_(this, Column, cell_params_->Font.get(), bk, TGridDrawState{});
  Canvas->SetFont(cell_params_->Font.get());
  const bool wrap = Column->WordWrap() && draw_memo_text_;
  return w + MeasuredTextWidth(Canvas, cell_params_->Text, wrap, Column->Width());
}

void TCustomDBGridEh::OptimizeColsWidth(TColumnsEhList* ColumnsList) {
  if (ColumnsList == nullptr || ColumnsList->Count() == 0) return;
  const int n = ColumnsList->Count();
  std::vector<int> widths(static_cast<size_t>(n), 0);
  {
    TScreenCanvasScope screen(Canvas());
    TCanvasFontScope font_scope(Canvas());
    for (int i = 0; i < n; ++i) widths[static_cast<size_t>(i)] = TitleOptimalWidth(ColumnsList->Items(i), Canvas());
    TDataSet* ds = data_link_->Active() ? data_link_->DataSet() : nullptr;
    if (ds != nullptr) {
      TColumnEh* first_visible = visible_columns_->Count() > 0 ? visible_columns_->Items(0) : nullptr;
      ds->DisableControls();
      const TBookmark saved = ds->Bookmark();
      try {
        ds->First();
        while (!ds->Eof()) {
          for (int i = 0; i < n; ++i) {
            TColumnEh* c = ColumnsList->Items(i);
            int& w = widths[static_cast<size_t>(i)];
            w = std::max(w, CellOptimalWidth(c, Canvas(), c == first_visible));
          }
          if (ds->IsSequenced() && ds->RecNo() >= ds->RecordCount()) break;
          ds->Next();
        }
      } catch (...) {
        if (!saved.empty()) ds->GotoBookmark(saved);
        ds->EnableControls();
        throw;
      }
      if (!saved.empty()) ds->GotoBookmark(saved);
      ds->EnableControls();
    }
    for (int i = 0; i < n; ++i) {
      TColumnEh* c = ColumnsList->Items(i);
      for (int r = 0; r < footer_row_count_; ++r) {
        TColumnFooterEh* footer = c->UsedFooter(r);
        TFont font;
        font.Assign(footer->Font());
        TColor bk = footer->Color();
        TAlignment al = footer->Alignment();
        String text = GetFooterValue(r, c);
        if (on_get_footer_params_)
          on_get_footer_params_(this, c->Index(), r, c, &font, bk, al, TGridDrawState{}, text);
        Canvas()->SetFont(&font);
        int& w = widths[static_cast<size_t>(i)];
        w = std::max(w, Canvas()->TextWidth(text) + 5);
      }
    }
  }
  const bool lock = !auto_fit_col_widths_;
  if (lock) BeginLayout();
  try {
    for (int i = 0; i < n; ++i) ColumnsList->Items(i)->SetWidth(widths[static_cast<size_t>(i)]);
  } catch (...) {
    if (lock) EndLayout();
    throw;
  }
  if (lock) EndLayout();
}

void TCustomDBGridEh::OptimizeColWidth(TColumnEh* Column) {
  TColumnsEhList list;
  const TDBGridEhSelectionType type = selection_->SelectionType();
  if (type == gstAll) {
    for (int i = 0; i < columns_->Count(); ++i) list.Add(columns_->Items(i));
  } else {
    if (Column != nullptr) list.Add(Column);
    if (type == gstColumns)
      for (int i = 0; i < selection_->Columns()->Count(); ++i)
        if (selection_->Columns()->Items(i) != Column) list.Add(selection_->Columns()->Items(i));
  }
  OptimizeColsWidth(&list);
}
