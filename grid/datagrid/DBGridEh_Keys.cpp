// DBGridEh: the record window and the scroll bars (row count, active row,
// scrolling, the grid's own vertical bar and external bars), the keyboard
// (key table, typed characters, Ctrl release) and the incremental search.
//
// The vertical bar counts records when the sum list knows record numbers;
// otherwise it is a five-position scale (0 at the first record, 4 at the
// last, 2 between). Dragging the thumb on that scale moves to the first or
// the last record at the ends and one page towards the end dragged to in
// positions 1 and 3, each once per position reached: a scale that knows no
// record numbers never moves by a record-number difference.
#include <algorithm>
#include <cstdlib>

#include "grid/datagrid/DBGridEh.h"
#include "grid/datagrid/DBGridEhImpExp.h"
#include "platform/gui/Clipbrd.h"
#include "platform/gui/Dialogs.h"
#include "platform/rtl/Actions.h"
#include "platform/rtl/Locale.h"
#include "platform/rtl/SysUtils.h"

namespace {

constexpr uintptr_t kSearchTimer = 2;
constexpr int kFiveScaleMax = 4;
constexpr int kHorzExtScale = 127;

TDataSet* LinkedDataSet(TGridDataLinkEh* Link) { return Link->Active() ? Link->DataSet() : nullptr; }

// Whether Text starts with Prefix, whole characters compared after the
// locale's upper-casing.
bool StartsWithText(const String& Text, const String& Prefix) {
  const size_t n = Utf8Length(Prefix);
  if (Utf8Length(Text) < n) return false;
  return AnsiUpperCase(Utf8Truncate(Text, n)) == AnsiUpperCase(Prefix);
}

// The leftmost column from which the last column still fits in the client
// width.
int LargestLeftCol(const TCustomGrid* Grid) {
  int fixed_width = 0;
  for (int c = 0; c < Grid->FixedCols() && c < Grid->ColCount(); ++c)
    fixed_width += Grid->ColWidths(c) + Grid->GridLineWidth();
  int max_left = Grid->ColCount() - 1, width = 0;
  for (int c = Grid->ColCount() - 1; c >= Grid->FixedCols(); --c) {
    width += Grid->ColWidths(c) + Grid->GridLineWidth();
    if (fixed_width + width > Grid->ClientWidth()) break;
    max_left = c;
  }
  return max_left;
}

// Sets a flag for its lifetime.
class TFlagGuardEh {
 public:
  explicit TFlagGuardEh(bool& Flag) : flag_(Flag) { flag_ = true; }
  ~TFlagGuardEh() { flag_ = false; }
  TFlagGuardEh(const TFlagGuardEh&) = delete;
  TFlagGuardEh& operator=(const TFlagGuardEh&) = delete;

 private:
  bool& flag_;
};

bool IsFieldEditColumn(TColumnEh* Column) {
  const TColumnCellKindEh kind = Column->GetColumnType();
  return kind == cckCheckBoxes || kind == cckKeyImageList;
}

}  // namespace

// ---------------------------------------------------------------------------
// Scroll-bar settings

TDBGridEhScrollBar::~TDBGridEhScrollBar() { Detach(); }

TPersistent* TDBGridEhScrollBar::GetOwner() { return grid_; }

void TDBGridEhScrollBar::Assign(TPersistent* Source) {
  if (auto* s = dynamic_cast<TDBGridEhScrollBar*>(Source)) {
    SetVisible(s->Visible());
    SetTracking(s->Tracking());
    SetExtScrollBar(s->ExtScrollBar());
    return;
  }
  TPersistent::Assign(Source);
}

void TDBGridEhScrollBar::SetVisible(bool Value) { SetVisibleMode(Value ? sbAutoShowEh : sbNeverShowEh); }

void TDBGridEhScrollBar::SetVisibleMode(TScrollBarVisibleModeEh Value) {
  if (visible_mode_ == Value) return;
  visible_mode_ = Value;
  if (ext_scroll_bar_ != nullptr) ext_scroll_bar_->SetVisible(Visible());
  if (grid_ == nullptr) return;
  if (vertical_) grid_->UpdateScrollBar();
  grid_->LayoutChanged();
}

void TDBGridEhScrollBar::SetExtScrollBar(TScrollBar* Value) {
  if (Value == ext_scroll_bar_) return;
  const bool designing = grid_ != nullptr && grid_->IsDesigning();
  if (Value != nullptr && !designing && Value->WindowProcReplaced())
    throw Exception("Possible " + Value->Name() + " already attached to the other control.");
  Detach();
  ext_scroll_bar_ = Value;
  if (Value != nullptr) {
    if (grid_ != nullptr) Value->FreeNotification(grid_);
    if (!designing) Value->SetWindowProc({this, &TDBGridEhScrollBar::BarWndProc});
    Value->SetVisible(Visible());
  }
  if (grid_ == nullptr || grid_->IsLoading()) return;
  if (vertical_ && grid_->HandleAllocated()) grid_->UpdateScrollBar();
  if (grid_->HandleAllocated()) grid_->LayoutChanged();
}

void TDBGridEhScrollBar::Detach() {
  TScrollBar* bar = ext_scroll_bar_;
  if (bar == nullptr) return;
  ext_scroll_bar_ = nullptr;
  if (grid_ == nullptr || !grid_->IsDesigning()) bar->SetWindowProc({});
  if (grid_ != nullptr) bar->RemoveFreeNotification(grid_);
}

void TDBGridEhScrollBar::BarWndProc(TMessage& Message) {
  TScrollBar* bar = ext_scroll_bar_;
  if (grid_ != nullptr && (Message.Msg == CN_HSCROLL || Message.Msg == CN_VSCROLL)) {
    LPARAM from = bar != nullptr && bar->HandleAllocated() ? reinterpret_cast<LPARAM>(bar->Handle()) : 0;
    grid_->Perform(vertical_ ? WM_VSCROLL : WM_HSCROLL, Message.WParam, from);
  }
  // The grid's handling may have detached the bar.
  if (bar != nullptr) bar->WndProc(Message);
}

bool TDBGridEhScrollBar::IsShowing() {
  if (ext_scroll_bar_ != nullptr) return ext_scroll_bar_->Visible();
  if (!Visible() || grid_ == nullptr || !grid_->HandleAllocated()) return false;
  return (GetWindowLong(grid_->Handle(), GWL_STYLE) & (vertical_ ? WS_VSCROLL : WS_HSCROLL)) != 0;
}

bool TDBGridEhScrollBar::GetScrollInfo(SCROLLINFO& Info) {
  if (ext_scroll_bar_ != nullptr) return ::GetScrollInfo(ext_scroll_bar_->Handle(), SB_CTL, Info);
  if (grid_ == nullptr || !grid_->HandleAllocated()) return false;
  return ::GetScrollInfo(grid_->Handle(), vertical_ ? SB_VERT : SB_HORZ, Info);
}

// ---------------------------------------------------------------------------
// The record window

int TCustomDBGridEh::DataRowCount() const {
  return RowCount() - title_offset_ - (footer_row_count_ > 0 ? footer_row_count_ + 1 : 0);
}

int TCustomDBGridEh::VisibleDataRowCount() const {
  return std::max(1, VisibleRowCount() - (footer_row_count_ > 0 ? footer_row_count_ + 1 : 0));
}

void TCustomDBGridEh::UpdateActive() {
  if (inc_searching_ && !in_search_guard_) StopInplaceSearch();
  if (!data_link_->Active() || !HandleAllocated() || IsLoading()) return;
  const int row = title_offset_ + data_link_->ActiveRecord();
  if (row != Row() && row >= FixedRows() && row < RowCount()) {
    if (!options_.Contains(dgAlwaysShowEditor)) HideEditor();
    SetRow(row);
    InvalidateEditor();
  }
  if (InplaceEditor() != nullptr && InplaceEditor()->Visible() && InplaceEditor()->Text() != GetEditText(Col(), Row()))
    InvalidateEditor();
}

void TCustomDBGridEh::Scroll(int Distance) {
  if (!HandleAllocated()) return;
  const int old_row = Row();
  const TRect old_rect = BoxRect(0, old_row, ColCount() - 1, old_row);
  if (data_link_->Active() && data_link_->ActiveRecord() >= DataRowCount()) UpdateRowCount();
  const bool was_showing = vert_scroll_bar_->IsShowing();
  UpdateScrollBar();
  if (was_showing != vert_scroll_bar_->IsShowing() && auto_fit_col_widths_ && !IsDesigning()) DeferLayout();
  UpdateActive();
  const TRect new_rect = BoxRect(0, Row(), ColCount() - 1, Row());
  InvalidateRect(Handle(), &old_rect, false);
  InvalidateRect(Handle(), &new_rect, false);
  if (Distance != 0) {
    HideEditor();
    if (std::abs(Distance) > VisibleDataRowCount()) {
      Invalidate();
      if (options_.Contains(dgAlwaysShowEditor)) ShowEditor();
    } else {
      if (options_.Contains(dgIndicator)) InvalidateCell(0, old_row);
      const int line = options_.Contains(dgRowLines) ? GridLineWidth() : 0;
      const int last_data_row = title_offset_ + std::max(0, DataRowCount() - 1);
      // The data rows only: titles above and footers below stay.
      TRect area = BoxRect(0, title_offset_, ColCount() - 1, last_data_row);
      area.Left = 0;
      area.Right = ClientWidth();
      ScrollWindowEx(Handle(), 0, -Distance * (DefaultRowHeight() + line), &area, &area, nullptr, nullptr,
                     SW_INVALIDATE);
      if (options_.Contains(dgIndicator)) InvalidateCell(0, Row());
      if (options_.Contains(dgAlwaysShowEditor)) ShowEditor();
      for (int i = 0; i < columns_->Count(); ++i)
        if (columns_->Items(i)->HideDuplicates()) {
          InvalidateRow(title_offset_);
          break;
        }
    }
  }
  InvalidateFooter();
  if (layout_lock_ == 0) Update();
}

// ---------------------------------------------------------------------------
// Scroll bars

void TCustomDBGridEh::UpdateScrollBar() {
  if (!data_link_ || !HandleAllocated()) return;
  TDBGridEhScrollBar* bar = vert_scroll_bar_.get();
  TVertBarState now;
  now.Min = 0;
  now.Max = 1;
  now.Page = 2;
  now.Pos = 0;
  now.Mode = bar->VisibleMode();
  now.Applied = true;
  bool fits = false;  // every record in view: nothing to scroll
  if (TDataSet* ds = LinkedDataSet(data_link_.get())) {
    if (sum_list_->IsSequenced()) {
      now.Min = 1;
      now.Page = VisibleDataRowCount();
      now.Max = sum_list_->GetRecordCount() + now.Page - 1;
      fits = sum_list_->GetRecordCount() <= now.Page;
      if (ds->State() == dsBrowse || ds->State() == dsEdit) now.Pos = sum_list_->GetRecNo();
      else now.Pos = vert_bar_.Applied ? vert_bar_.Pos : 0;
    } else {
      now.Min = 0;
      now.Page = 0;
      now.Max = kFiveScaleMax;
      now.Pos = ds->Bof() ? 0 : ds->Eof() ? kFiveScaleMax : kFiveScaleMax / 2;
    }
  }
  const int true_max = now.Max;
  TScrollBar* ext = bar->ExtScrollBar();
  if (!bar->Visible() || ext != nullptr || fits) now.Max = now.Min;
  if (!(now == vert_bar_)) {
    const bool mode_changed = vert_bar_.Applied && vert_bar_.Mode != now.Mode;
    const bool nothing = now.Max <= now.Min || now.Max - now.Min <= now.Page;
    SCROLLINFO si;
    si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    si.nMin = now.Min;
    si.nMax = now.Max;
    si.nPage = static_cast<UINT>(now.Page);
    si.nPos = now.Pos;
    const bool always = now.Mode == sbAlwaysShowEh && ext == nullptr;
    if (always) {
      si.fMask |= SIF_DISABLENOSCROLL;
      ShowScrollBar(Handle(), SB_VERT, true);
    } else if (mode_changed && nothing) {
      EnableScrollBar(Handle(), SB_VERT, ESB_ENABLE_BOTH);
      ShowScrollBar(Handle(), SB_VERT, false);
    }
    vert_bar_ = now;
    ::SetScrollInfo(Handle(), SB_VERT, si, true);
    if (always) EnableScrollBar(Handle(), SB_VERT, nothing ? ESB_DISABLE_BOTH : ESB_ENABLE_BOTH);
  }
  if (ext != nullptr) {
    ext->SetPageSize(0);
    ext->SetParams(now.Pos, std::min(now.Min, true_max), true_max);
    ext->SetPageSize(now.Page);
  }
}

void TCustomDBGridEh::UpdateHorzScrollBar() {
  TScrollBar* ext = horz_scroll_bar_ ? horz_scroll_bar_->ExtScrollBar() : nullptr;
  if (ext == nullptr || !HandleAllocated()) return;
  const int max_left = LargestLeftCol(this);
  const int page = VisibleColCount();
  const bool all_visible = max_left <= FixedCols();
  const int max = all_visible ? 0 : kHorzExtScale;
  const int pos = all_visible ? 0 : MulDiv(LeftCol() - FixedCols(), kHorzExtScale, max_left - FixedCols());
  if (horz_ext_[0] == page && horz_ext_[1] == max && horz_ext_[2] == pos) return;
  horz_ext_[0] = page;
  horz_ext_[1] = max;
  horz_ext_[2] = pos;
  ext->SetPageSize(0);
  ext->SetParams(std::min(pos, max), 0, max);
}

void TCustomDBGridEh::VertMoveTo(int Position, bool Tracking) {
  TDataSet* ds = data_link_->DataSet();
  if (sum_list_->IsSequenced()) {
    if (Tracking) {
      if (ds->MoveBy(Position - sum_list_->GetRecNo()) != 0) thumb_moved_ = true;
    } else if (Position <= 1) {
      ds->First();
    } else if (Position < sum_list_->GetRecordCount()) {
      sum_list_->SetRecNo(Position);
    } else {
      ds->Last();
    }
    return;
  }
  if (Tracking) {
    // Each position of the scale moves once while the thumb stays in it.
    if (Position == last_track_pos_) return;
    last_track_pos_ = Position;
    thumb_moved_ = true;
  }
  switch (Position) {
    case 0: ds->First(); break;
    case 1: ds->MoveBy(-VisibleDataRowCount()); break;
    case 3: ds->MoveBy(VisibleDataRowCount()); break;
    case kFiveScaleMax: ds->Last(); break;
    default: break;
  }
}

void TCustomDBGridEh::WMVScroll(TMessage& Message) {
  if (!AcquireFocus() || !data_link_->Active()) return;
  TDataSet* ds = data_link_->DataSet();
  const Word code = LOWORD(Message.WParam);
  int pos = HIWORD(Message.WParam);
  // The message carries 16 bits of the position; the bar holds all of them.
  SCROLLINFO si;
  si.fMask = SIF_TRACKPOS;
  if (vert_scroll_bar_->GetScrollInfo(si) && (si.nTrackPos & 0xFFFF) == pos) pos = si.nTrackPos;
  switch (code) {
    case SB_LINEUP: ds->MoveBy(-data_link_->ActiveRecord() - 1); break;
    case SB_LINEDOWN: ds->MoveBy(data_link_->RecordCount() - data_link_->ActiveRecord()); break;
    case SB_PAGEUP: ds->MoveBy(-VisibleDataRowCount()); break;
    case SB_PAGEDOWN: ds->MoveBy(VisibleDataRowCount()); break;
    case SB_THUMBPOSITION:
      last_track_pos_ = -1;
      if (thumb_moved_) thumb_moved_ = false;
      else VertMoveTo(pos, false);
      break;
    case SB_THUMBTRACK:
      if (vert_scroll_bar_->Tracking()) VertMoveTo(pos, true);
      break;
    case SB_TOP: ds->First(); break;
    case SB_BOTTOM: ds->Last(); break;
    case SB_ENDSCROLL: last_track_pos_ = -1; break;
    default: break;
  }
}

void TCustomDBGridEh::WMHScroll(TMessage& Message) {
  TScrollBar* ext = horz_scroll_bar_->ExtScrollBar();
  const Word code = LOWORD(Message.WParam);
  const bool from_ext = ext != nullptr && Message.LParam != 0 && ext->HandleAllocated() &&
                        Message.LParam == reinterpret_cast<LPARAM>(ext->Handle());
  if (code == SB_THUMBTRACK && horz_scroll_bar_->Tracking()) {
    Perform(WM_HSCROLL, MAKEWPARAM(SB_THUMBPOSITION, HIWORD(Message.WParam)), Message.LParam);
    return;
  }
  if (from_ext && (code == SB_THUMBPOSITION || code == SB_THUMBTRACK)) {
    if (code == SB_THUMBPOSITION) {
      // The external bar counts 0 to 127 over the scrollable columns.
      const int max_left = LargestLeftCol(this);
      const int left = FixedCols() + MulDiv(HIWORD(Message.WParam), max_left - FixedCols(), kHorzExtScale);
      SetLeftCol(std::clamp(left, FixedCols(), std::max(FixedCols(), max_left)));
    }
  } else {
    TMessage m = Message;
    m.LParam = 0;
    TCustomGrid::Dispatch(m);
  }
  UpdateHorzScrollBar();
}

// ---------------------------------------------------------------------------
// Messages

bool TCustomDBGridEh::KeysDispatch(TMessage& Message) {
  switch (Message.Msg) {
    case WM_VSCROLL: WMVScroll(Message); return true;
    case WM_HSCROLL: WMHScroll(Message); return true;
    case WM_CHAR: return WMChar(Message);
    case WM_TIMER:
      if (Message.WParam != kSearchTimer) return false;
      StopInplaceSearch();
      return true;
    default: return false;
  }
}

bool TCustomDBGridEh::WMChar(TMessage& Message) {
  WideChar ch = static_cast<WideChar>(Message.WParam);
  TColumnEh* column = SelectedColumn();
  if (ch == ' ' && column != nullptr && !options_.Contains(dgRowSelect) && IsFieldEditColumn(column)) {
    KeyPress(ch);
    if (ch == ' ') column->SetNextFieldValue(GetKeyState(VK_SHIFT) < 0 ? -1 : 1);
    return true;
  }
  if ((inc_searching_ || CanStartInplaceSearch()) && (IsTextChar(ch) || ch == VK_BACK) && SearchableState()) {
    KeyPress(ch);
    return true;
  }
  return false;
}

// ---------------------------------------------------------------------------
// Keyboard

bool TCustomDBGridEh::SearchableState() {
  TDataSet* ds = LinkedDataSet(data_link_.get());
  return ds != nullptr && ds->State() != dsEdit && ds->State() != dsInsert && ds->State() != dsSetKey;
}

bool TCustomDBGridEh::CanStartInplaceSearch() {
  if (options_eh_.Contains(dghIncSearch)) {
    TColumnEh* c = SelectedColumn();
    TField* f = c != nullptr ? c->Field() : nullptr;
    const bool editable = options_.Contains(dgEditing) && !read_only_ && c != nullptr && !c->ReadOnly() &&
                          f != nullptr && !f->ReadOnly() && f->CanModify();
    if (!editable) return true;
  }
  return options_eh_.Contains(dghPreferIncSearch) && !options_.Contains(dgAlwaysShowEditor) &&
         (InplaceEditor() == nullptr || !InplaceEditor()->Visible());
}

void TCustomDBGridEh::PriorRow(bool Select) {
  SelectingMoveBy(Select && options_.Contains(dgMultiSelect), -1, true, false);
}

void TCustomDBGridEh::NextRow(bool Select) {
  TDataSet* ds = data_link_->DataSet();
  if (ds->State() == dsInsert && !ds->Modified() && !data_link_->IsModified()) {
    ds->Cancel();
    return;
  }
  SelectingMoveBy(Select && options_.Contains(dgMultiSelect), 1, true, false);
  if (ds->Eof() && ds->CanModify() && !read_only_ && options_.Contains(dgEditing) &&
      allowed_operations_.Contains(alopAppendEh))
    ds->Append();
}

void TCustomDBGridEh::MoveCol(int RawCol, bool Select) {
  if (RawCol < indicator_offset_ || RawCol >= ColCount()) return;
  TDataSet* ds = data_link_->DataSet();
  const bool selecting = Select && CanSelectType(gstRectangle) && ds != nullptr;
  if (!selecting) selection_->Clear();
  else if (selection_->SelectionType() != gstRectangle)
    selection_->Rect()->Select(SelectedIndex(), ds->GetBookmark(), false);
  if (RawCol != Col()) {
    if (inc_searching_) StopInplaceSearch();
    FocusCell(RawCol, Row(), !selecting);
  }
  if (selecting) selection_->Rect()->Select(SelectedIndex(), ds->GetBookmark(), true);
}

void TCustomDBGridEh::TabMove(bool Backward) {
  TDataSet* ds = data_link_->DataSet();
  auto stop = [this](int c) { return TabStops(c) && ColWidths(c) > 0; };
  int c = Col();
  for (int guard = 0; guard <= ColCount(); ++guard) {
    c += Backward ? -1 : 1;
    if (c >= ColCount()) {
      if (ds->Eof()) return;
      NextRow(false);
      c = indicator_offset_ - 1;
      continue;
    }
    if (c < indicator_offset_) {
      if (ds->Bof()) return;
      const int before = data_link_->ActiveRecord();
      ds->Prior();
      if (ds->Bof() && data_link_->ActiveRecord() == before) return;
      c = ColCount();
      continue;
    }
    if (stop(c)) {
      MoveCol(c, false);
      return;
    }
  }
}

void TCustomDBGridEh::DeleteRecords() {
  TDataSet* ds = data_link_->DataSet();
  if (read_only_ || ds->IsEmpty() || !ds->CanModify() || !allowed_operations_.Contains(alopDeleteEh)) return;
  const bool several = selected_rows_->Count() > 1;
  if (options_.Contains(dgConfirmDelete) &&
      MessageDlg(several ? "Delete all selected records?" : "Delete record?", mtConfirmation, mbOKCancel, 0) !=
          mrOk)
    return;
  if (several) selected_rows_->Delete();
  else ds->Delete();
}

void TCustomDBGridEh::KeyDown(Word& Key, TShiftState Shift) {
  key_toggle_ = Shift.Contains(ssCtrl) || !options_eh_.Contains(dghClearSelection);
  TWinControl::KeyDown(Key, Shift);  // OnKeyDown
  if (Key == 0) return;
  TDataSet* ds = LinkedDataSet(data_link_.get());
  const bool ctrl = Shift.Contains(ssCtrl);
  const bool shift = Shift.Contains(ssShift);
  const bool multi = options_.Contains(dgMultiSelect);
  // Up from the first record opens the filter editor; Ctrl+Up stays the
  // move to the first record.
  if (Key == VK_UP && !ctrl && ds != nullptr && IsFilterRowVisible()) {
    if (!ds->Bof()) PriorRow(shift);
    if (ds->Bof()) {
      ShowFilterEditor(SelectedIndex());
      Key = 0;
      return;
    }
    Key = 0;
    return;
  }
  if (BiDiMode() == bdRightToLeft) {
    if (Key == VK_LEFT) Key = VK_RIGHT;
    else if (Key == VK_RIGHT) Key = VK_LEFT;
  }
  if (ds == nullptr || !CanGridAcceptKey(Key, Shift)) return;

  const TDBGridEhShortCuts& cuts = DBGridEhShortCuts();
  const TShortCut sc = ShortCut(Key, Shift);
  if (sc == cuts.CtrlQuote) {
    CopyValueFromPriorRow();
    Key = 0;
    return;
  }
  if (options_eh_.Contains(dghIncSearch) && sc == cuts.Find) {
    if (inc_searching_ && options_eh_.Contains(dghDialogFind) && cuts.FindDialog == cuts.Find) {
      StopInplaceSearch();
      ExecuteFindDialog();
    } else {
      DoInplaceSearch(String(), DBGridEhInplaceSearchTimeOut, 0);
    }
    Key = 0;
    return;
  }
  if (options_eh_.Contains(dghDialogFind) && sc == cuts.FindDialog) {
    ExecuteFindDialog();
    Key = 0;
    return;
  }
  if (inc_searching_) {
    if (Shift.Empty() && (Key == VK_RETURN || Key == VK_ESCAPE || Key == VK_F2)) {
      StopInplaceSearch();
    } else if (Shift.Empty() && Key == VK_BACK) {
      search_text_ = Utf8DeleteLastChar(search_text_);
      InvalidateRow(Row());
      StartInplaceSearchTimer();
      Key = 0;
      return;
    } else if (sc == cuts.CtrlEnter || sc == cuts.ShiftCtrlEnter) {
      DoInplaceSearch(String(), DBGridEhInplaceSearchTimeOut, sc == cuts.CtrlEnter ? 1 : 2);
      Key = 0;
      return;
    }
  }

  const bool select = shift && multi;
  if (!ctrl) {
    switch (Key) {
      case VK_UP: PriorRow(shift); break;
      case VK_DOWN: NextRow(shift); break;
      case VK_RETURN:
        if (!options_eh_.Contains(dghEnterAsTab)) return;
        [[fallthrough]];
      case VK_TAB:
        if (Shift.Contains(ssAlt) || !options_.Contains(dgTabs)) return;
        TabMove(shift && Key == VK_TAB);
        break;
      case VK_ESCAPE:
        if (grid_state_ == gsRowSizing || grid_state_ == gsColSizing || grid_state_ == gsColMoving) {
          Perform(WM_CANCELMODE, 0, 0);
          break;
        }
        data_link_->Reset();
        selection_->Clear();
        // The base grid puts the editor's text back and hides it (unless
        // always shown).
        TCustomGrid::KeyDown(Key, Shift);
        if (!options_.Contains(dgAlwaysShowEditor)) HideEditor();
        break;
      case VK_PRIOR:
      case VK_NEXT: {
        const int n = Key == VK_PRIOR ? -VisibleDataRowCount() : VisibleDataRowCount();
        if (select) {
          SelectingMoveBy(true, n, !CanSelectType(gstRectangle), false);
        } else {
          selection_->Clear();
          ds->MoveBy(n);
        }
        break;
      }
      case VK_HOME:
      case VK_END:
        if (ColCount() - indicator_offset_ == 1 || options_.Contains(dgRowSelect)) {
          if (select) {
            SelectingMoveBy(true, Key == VK_HOME ? -1 : 1, true, true);
          } else {
            selection_->Clear();
            if (Key == VK_HOME) ds->First();
            else ds->Last();
          }
        } else {
          MoveCol(Key == VK_HOME ? indicator_offset_ : ColCount() - 1, select);
        }
        break;
      case VK_LEFT:
      case VK_RIGHT:
        if (options_.Contains(dgRowSelect)) {
          const int left = LeftCol() + (Key == VK_LEFT ? -1 : 1);
          if (left >= FixedCols() && left < ColCount()) SetLeftCol(left);
        } else {
          int c = Col();
          do c += Key == VK_LEFT ? -1 : 1;
          while (c >= indicator_offset_ && c < ColCount() && ColWidths(c) <= 0);
          MoveCol(c, select);
        }
        break;
      case VK_INSERT:
        if (shift) {
          if (edit_actions_.Contains(geaPasteEh) && CanPaste()) DoEditAction(geaPasteEh);
        } else if (ds->CanModify() && !read_only_ && options_.Contains(dgEditing)) {
          selection_->Clear();
          if (allowed_operations_.Contains(alopInsertEh)) ds->Insert();
          else if (allowed_operations_.Contains(alopAppendEh)) ds->Append();
        }
        break;
      case VK_DELETE:
        if (shift) {
          if (edit_actions_.Contains(geaCutEh) && CanCut()) DoEditAction(geaCutEh);
        } else if (TColumnEh* c = SelectedColumn();
                   c != nullptr && !options_.Contains(dgRowSelect) && IsFieldEditColumn(c) && c->Field() != nullptr &&
                   !c->Field()->ReadOnly() && c->CanModify(true)) {
          c->Field()->Clear();
        }
        break;
      case VK_F2:
        TCustomGrid::KeyDown(Key, Shift);
        return;
      default: return;
    }
    Key = 0;
    return;
  }

  switch (Key) {
    case VK_UP:
    case VK_PRIOR:
    case VK_DOWN:
    case VK_NEXT:
    case VK_HOME:
    case VK_END: {
      if (!shift) selection_->Clear();
      int distance = 0;
      bool to_end = false;
      if (Key == VK_UP || Key == VK_PRIOR) distance = -data_link_->ActiveRecord();
      else if (Key == VK_DOWN || Key == VK_NEXT) distance = data_link_->RecordCount() - 1 - data_link_->ActiveRecord();
      else {
        distance = Key == VK_HOME ? -1 : 1;
        to_end = true;
      }
      if (select) {
        SelectingMoveBy(true, distance, true, to_end);
      } else if (to_end) {
        if (distance < 0) ds->First();
        else ds->Last();
      } else {
        ds->MoveBy(distance);
      }
      break;
    }
    case VK_LEFT: MoveCol(indicator_offset_, false); break;
    case VK_RIGHT: MoveCol(ColCount() - 1, false); break;
    case VK_INSERT:
    case 'C':
      if (edit_actions_.Contains(geaCopyEh) && CanCopy()) DoEditAction(geaCopyEh);
      break;
    case 'V':
      if (inc_searching_) {
        DoInplaceSearch(Clipboard()->AsText(), DBGridEhInplaceSearchTimeOut, 0);
      } else if (edit_actions_.Contains(geaPasteEh) && CanPaste()) {
        DoEditAction(geaPasteEh);
      }
      break;
    case 'X':
      if (edit_actions_.Contains(geaCutEh) && CanCut()) DoEditAction(geaCutEh);
      break;
    case 'A':
      if (edit_actions_.Contains(geaSelectAllEh) && CanSelectAll()) DoEditAction(geaSelectAllEh);
      break;
    case VK_DELETE:
      if (edit_actions_.Contains(geaDeleteEh) && selection_->SelectionType() != gstNon) {
        if (CanDelete()) DoEditAction(geaDeleteEh);
      } else {
        DeleteRecords();
      }
      break;
    default: return;
  }
  Key = 0;
}

void TCustomDBGridEh::KeyPress(WideChar& Key) {
  if (options_eh_.Contains(dghEnterAsTab) && Key == 13) Key = 9;
  if (!options_.Contains(dgAlwaysShowEditor) && Key == 13) data_link_->UpdateRecord();
  TCustomGrid::KeyPress(Key);
  if (Key == 0) return;
  if (!inc_searching_ && !CanStartInplaceSearch()) return;
  if (IsTextChar(Key) && SearchableState()) {
    // The typed character alone: the search adds it to its text. A high
    // surrogate waits for its low half.
    String ch;
    Utf8AppendWideChar(ch, Key, search_surrogate_);
    if (!ch.empty()) DoInplaceSearch(ch, DBGridEhInplaceSearchTimeOut, 0);
    Key = 0;
  }
}

void TCustomDBGridEh::KeyUp(Word& Key, TShiftState Shift) {
  if (sort_marking_pending_ && Key == VK_CONTROL) {
    sort_marking_pending_ = false;
    SortMarkingChanged();
  }
  TCustomGrid::KeyUp(Key, Shift);
}

// ---------------------------------------------------------------------------
// Incremental search

void TCustomDBGridEh::DoInplaceSearch(const String& Text, int Timeout, int Direction) {
  TDataSet* ds = LinkedDataSet(data_link_.get());
  if (ds == nullptr) return;
  const String candidate = search_text_ + Text;
  bool found = false;
  if (!candidate.empty()) {
    TColumnEh* column = SelectedColumn();
    auto matches = [&] { return column != nullptr && StartsWithText(column->GetDisplayText(), candidate); };
    if (Direction == 0 && matches()) {
      found = true;
    } else {
      // Controls come back with the guard set: the search goes on.
      auto enable = [this, ds] {
        TFlagGuardEh guard(in_search_guard_);
        ds->EnableControls();
      };
      ds->DisableControls();
      try {
        SaveBookmark();
        if (Direction == 1) ds->Next();
        else if (Direction == 2) ds->Prior();
        else ds->First();
        while (Direction == 2 ? !ds->Bof() : !ds->Eof()) {
          if (matches()) {
            found = true;
            break;
          }
          if (Direction == 2) ds->Prior();
          else ds->Next();
        }
        if (!found) RestoreBookmark();
      } catch (...) {
        enable();
        throw;
      }
      enable();
    }
  }
  HideEditor();
  inc_searching_ = true;
  if (found) search_text_ = candidate;
  if (HandleAllocated()) InvalidateRow(Row());
  search_timeout_ = Timeout;
  StartInplaceSearchTimer();
}

void TCustomDBGridEh::StopInplaceSearch() {
  StopInplaceSearchTimer();
  const bool was = inc_searching_;
  inc_searching_ = false;
  search_text_.clear();
  search_surrogate_ = 0;
  if (!was || !HandleAllocated()) return;
  InvalidateRow(Row());
  if (options_.Contains(dgAlwaysShowEditor) && CanEditShow()) ShowEditor();
}

void TCustomDBGridEh::StartInplaceSearchTimer() {
  StopInplaceSearchTimer();
  if (search_timeout_ < 0 || !HandleAllocated()) return;
  search_timer_running_ = SetTimer(Handle(), kSearchTimer, static_cast<Cardinal>(search_timeout_)) != 0;
}

void TCustomDBGridEh::StopInplaceSearchTimer() {
  if (!search_timer_running_) return;
  search_timer_running_ = false;
  if (HandleAllocated()) KillTimer(Handle(), kSearchTimer);
}

void TCustomDBGridEh::SaveBookmark() {
  TDataSet* ds = data_link_->DataSet();
  search_offset_ = data_link_->ActiveRecord() - (data_link_->RecordCount() - 1) / 2;
  ds->MoveBy(-search_offset_);
  search_bookmark_ = ds->GetBookmark();
  ds->MoveBy(search_offset_);
}

void TCustomDBGridEh::RestoreBookmark() {
  TDataSet* ds = data_link_->DataSet();
  ds->GotoBookmark(search_bookmark_);
  ds->MoveBy(search_offset_);
}

// ---------------------------------------------------------------------------
// Edit actions

bool TCustomDBGridEh::CanCopy() { return data_link_->Active() && selection_->SelectionType() != gstNon; }

bool TCustomDBGridEh::CanPaste() {
  TDataSet* ds = LinkedDataSet(data_link_.get());
  if (ds == nullptr || !ds->CanModify() || read_only_) return false;
  TClipboard* clip = Clipboard();
  if (!clip->HasFormat(RegisterClipboardFormat("VCLDBIF")) && !clip->HasFormat(CF_TEXT)) return false;
  return ds->State() == dsInsert || allowed_operations_.Contains(alopUpdateEh);
}

bool TCustomDBGridEh::CanCut() { return CanCopy() && CanDelete(); }

bool TCustomDBGridEh::CanSelectAll() {
  TDataSet* ds = LinkedDataSet(data_link_.get());
  return ds != nullptr && !ds->IsEmpty() && allowed_selections_.Contains(gstAll);
}

bool TCustomDBGridEh::CanDelete() {
  TDataSet* ds = LinkedDataSet(data_link_.get());
  if (ds == nullptr || !ds->CanModify() || ds->IsEmpty() || read_only_) return false;
  switch (selection_->SelectionType()) {
    case gstRecordBookmarks:
    case gstAll: return allowed_operations_.Contains(alopDeleteEh);
    case gstRectangle:
    case gstColumns: return allowed_operations_.Contains(alopUpdateEh);
    default: return true;
  }
}

void TCustomDBGridEh::DoEditAction(TDBGridEhEditAction Action) {
  switch (Action) {
    case geaCopyEh: DBGridEhCopyToClipboard(this, false); break;
    case geaCutEh: DBGridEhCutToClipboard(this, false); break;
    case geaPasteEh: DBGridEhPasteFromClipboard(this, false); break;
    case geaDeleteEh: DBGridEhDeleteSelection(this, false); break;
    case geaSelectAllEh: selection_->SelectAll(); break;
  }
}

void TCustomDBGridEh::ExecuteFindDialog() {
  if (ExecuteDBGridEhFindDialogProc == nullptr) return;
  TField* f = SelectedField();
  ExecuteDBGridEhFindDialogProc(this, String(), f != nullptr ? f->FieldName() : String(), TColumnFieldsArrEh(),
                                GetFindDialogFlag());
}

namespace {

// The operation of a standard edit action; false for any other action.
bool EditActionOf(TBasicAction* Action, TDBGridEhEditAction& Op) {
  if (dynamic_cast<TEditCopy*>(Action)) Op = geaCopyEh;
  else if (dynamic_cast<TEditPaste*>(Action)) Op = geaPasteEh;
  else if (dynamic_cast<TEditCut*>(Action)) Op = geaCutEh;
  else if (dynamic_cast<TEditSelectAll*>(Action)) Op = geaSelectAllEh;
  else if (dynamic_cast<TEditDelete*>(Action)) Op = geaDeleteEh;
  else return false;
  return true;
}

bool EditActionPossible(TCustomDBGridEh* Grid, TDBGridEhEditAction Op) {
  switch (Op) {
    case geaCopyEh: return Grid->CanCopy();
    case geaPasteEh: return Grid->CanPaste();
    case geaCutEh: return Grid->CanCut();
    case geaSelectAllEh: return Grid->CanSelectAll();
    default: return Grid->CanDelete();
  }
}

}  // namespace

bool TCustomDBGridEh::ExecuteAction(TBasicAction* Action) {
  TDBGridEhEditAction op;
  if (!Focused() || !EditActionOf(Action, op) || !edit_actions_.Contains(op)) return TCustomGrid::ExecuteAction(Action);
  if (EditActionPossible(this, op)) DoEditAction(op);
  return true;
}

bool TCustomDBGridEh::UpdateAction(TBasicAction* Action) {
  TDBGridEhEditAction op;
  if (!Focused() || !EditActionOf(Action, op) || !edit_actions_.Contains(op)) return TCustomGrid::UpdateAction(Action);
  static_cast<TCustomAction*>(Action)->SetEnabled(EditActionPossible(this, op));
  return true;
}

