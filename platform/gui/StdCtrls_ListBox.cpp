// TCustomListBox: a list box drawn by the platform.
#include <QWidget>
#include <algorithm>

#include "platform/gui/GuiInternal.h"
#include "platform/gui/ScrollBars.h"
#include "platform/gui/StdCtrls.h"
#include "platform/rtl/Locale.h"

namespace {

bool Virtual(TListBoxStyle Style) { return Style == lbVirtual || Style == lbVirtualOwnerDraw; }
bool OwnerDraw(TListBoxStyle Style) { return Style != lbStandard && Style != lbVirtual; }

// Binds a canvas to a device context for one row.
class RowCanvas {
 public:
  RowCanvas(TCanvas* Canvas, HDC DC) : canvas_(Canvas) { canvas_->SetHandle(DC); }
  ~RowCanvas() { canvas_->SetHandle(nullptr); }
  RowCanvas(const RowCanvas&) = delete;
  RowCanvas& operator=(const RowCanvas&) = delete;

 private:
  TCanvas* canvas_;
};

}  // namespace

TCustomListBox::TCustomListBox(TComponent* AOwner)
    : TWinControl(AOwner), items_(std::make_unique<TStringList>()), canvas_(std::make_unique<TCanvas>()) {
  SetBounds(0, 0, 121, 97);
  SetTabStop(true);
  SetColor(clWindow);
  SetParentColor(false);
  items_->SetOnChange({this, &TCustomListBox::ItemsChanged});
}

TCustomListBox::~TCustomListBox() { items_->SetOnChange({}); }

QWidget* TCustomListBox::CreateWidget(QWidget* ParentWidget) {
  QWidget* w = CreatePaintWidget(ParentWidget, [this](HDC dc) { PaintHandler(dc); });
  w->setFocusPolicy(Qt::StrongFocus);
  return w;
}

void TCustomListBox::InitWidget() {
  TWinControl::InitWidget();
  UpdateScrollBar();
}

void TCustomListBox::CreateParams(TCreateParams& Params) {
  TWinControl::CreateParams(Params);
  Params.Style |= WS_VSCROLL | WS_BORDER;
}

void TCustomListBox::SetStyle(TListBoxStyle Value) {
  if (Value == style_) return;
  style_ = Value;
  ItemsChanged(nullptr);
}

int TCustomListBox::Count() const { return Virtual(style_) ? count_ : items_->Count(); }

void TCustomListBox::SetCount(int Value) {
  count_ = std::max(Value, 0);
  if (Virtual(style_)) ItemsChanged(nullptr);
}

int TCustomListBox::ItemHeight() const {
  if (item_height_ > 0 && style_ != lbStandard && style_ != lbVirtual) return item_height_;
  TCanvas measure;
  measure.Font()->Assign(Font());
  return std::max(measure.TextHeight("Wg"), 1);
}

void TCustomListBox::SetItemHeight(int Value) {
  if (Value <= 0 || Value == item_height_) return;
  item_height_ = Value;
  UpdateScrollBar();
  Invalidate();
}

void TCustomListBox::ItemsChanged(TObject*) {
  int count = Count();
  if (item_index_ >= count) item_index_ = -1;
  SetTopIndex(top_index_);
  UpdateScrollBar();
  Invalidate();
  Perform(CM_CHANGED, 0, reinterpret_cast<LPARAM>(this));
}

int TCustomListBox::VisibleRows() const { return std::max(1, ClientHeight() / ItemHeight()); }

void TCustomListBox::SetTopIndex(int Value) {
  int last = std::max(0, Count() - VisibleRows());
  Value = std::clamp(Value, 0, last);
  if (Value == top_index_) return;
  top_index_ = Value;
  UpdateScrollBar();
  Invalidate();
}

void TCustomListBox::SetItemIndex(int Value) {
  if (Value < -1 || Value >= Count()) Value = -1;
  if (Value == item_index_) return;
  item_index_ = Value;
  if (Value >= 0) {
    if (Value < top_index_) SetTopIndex(Value);
    else if (Value >= top_index_ + VisibleRows()) SetTopIndex(Value - VisibleRows() + 1);
  }
  Invalidate();
}

int TCustomListBox::ItemAtPos(TPoint Pos, bool Existing) const {
  int count = Count();
  if (ClientRect().Contains(Pos)) {
    int index = top_index_ + Pos.Y / ItemHeight();
    if (index < count) return index;
  }
  return Existing ? -1 : count;
}

TRect TCustomListBox::ItemRect(int Index) const {
  int h = ItemHeight();
  return Rect(0, (Index - top_index_) * h, ClientWidth(), (Index - top_index_ + 1) * h);
}

String TCustomListBox::ItemText(int Index) {
  if (Index < 0 || Index >= Count()) return {};
  if (!Virtual(style_)) return items_->Strings(Index);
  String data;
  on_data_(this, Index, data);
  return data;
}

void TCustomListBox::UpdateScrollBar() {
  if (!HandleAllocated()) return;
  TCreateParams params;
  CreateParams(params);
  if ((params.Style & WS_VSCROLL) == 0) return;
  SCROLLINFO si;
  si.fMask = SIF_ALL;
  si.nMin = 0;
  si.nMax = std::max(Count() - 1, 0);
  si.nPage = static_cast<UINT>(VisibleRows());
  si.nPos = top_index_;
  SetScrollInfo(Handle(), SB_VERT, si, true);
}

void TCustomListBox::Resize() {
  TWinControl::Resize();
  SetTopIndex(top_index_);
  UpdateScrollBar();
}

void TCustomListBox::PaintWindow(HDC DC) {
  int count = Count(), rows = VisibleRows() + 1;
  for (int i = top_index_; i < count && i < top_index_ + rows; ++i) {
    DRAWITEMSTRUCT dis;
    dis.itemID = i;
    dis.hDC = DC;
    dis.hwndItem = Handle();
    dis.rcItem = ItemRect(i);
    if (i == item_index_) dis.itemState |= ODS_SELECTED;
    if (i == item_index_ && Focused()) dis.itemState |= ODS_FOCUS;
    if (!Enabled()) dis.itemState |= ODS_DISABLED;
    Perform(CN_DRAWITEM, 0, reinterpret_cast<LPARAM>(&dis));
  }
}

void TCustomListBox::CNDrawItem(TMessage& Message) {
  auto* dis = reinterpret_cast<DRAWITEMSTRUCT*>(Message.LParam);
  if (dis == nullptr) return;
  TOwnerDrawState state;
  if (dis->itemState & ODS_SELECTED) state.Include(odSelected);
  if (dis->itemState & ODS_FOCUS) state.Include(odFocused);
  if (dis->itemState & ODS_DISABLED) state.Include(odDisabled);
  RowCanvas bind(canvas_.get(), dis->hDC);
  canvas_->Font()->Assign(Font());
  canvas_->Brush()->SetStyle(bsSolid);
  canvas_->Brush()->SetColor(Color());
  if (state.Contains(odSelected)) {
    canvas_->Brush()->SetColor(clHighlight);
    canvas_->Font()->SetColor(clHighlightText);
  }
  if (dis->itemID >= 0) DrawItem(dis->itemID, dis->rcItem, state);
  else canvas_->FillRect(dis->rcItem);
  if (state.Contains(odFocused)) canvas_->DrawFocusRect(dis->rcItem);
  Message.Result = 1;
}

void TCustomListBox::DrawItem(int Index, TRect Rect, TOwnerDrawState State) {
  if (OwnerDraw(style_) && on_draw_item_) {
    on_draw_item_(this, Index, Rect, State);
    return;
  }
  canvas_->FillRect(Rect);
  canvas_->TextOut(Rect.Left + 2, Rect.Top, ItemText(Index));
}

void TCustomListBox::KeyDown(Word& Key, TShiftState Shift) {
  TWinControl::KeyDown(Key, Shift);
  int count = Count();
  if (count == 0) return;
  int index = item_index_, page = std::max(VisibleRows() - 1, 1);
  switch (Key) {
    case VK_UP: index = std::max(index - 1, 0); break;
    case VK_DOWN: index = std::min(index + 1, count - 1); break;
    case VK_PRIOR: index = std::max(index - page, 0); break;
    case VK_NEXT: index = std::min(std::max(index, 0) + page, count - 1); break;
    case VK_HOME: index = 0; break;
    case VK_END: index = count - 1; break;
    default: return;
  }
  Key = 0;
  if (index != item_index_) {
    SetItemIndex(index);
    Click();
  }
}

void TCustomListBox::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  if (Button == mbLeft) {
    int index = ItemAtPos(Point(X, Y), true);
    if (index >= 0) SetItemIndex(index);
  }
  TWinControl::MouseDown(Button, Shift, X, Y);
}

LRESULT TCustomListBox::FindString(WPARAM Start, LPARAM Text) {
  int count = Count();
  const char* text = reinterpret_cast<const char*>(Text);
  if (count == 0 || text == nullptr) return LB_ERR;
  String prefix = AnsiUpperCase(text);
  auto start = static_cast<intptr_t>(Start);
  if (start < -1 || start >= count) start = -1;
  for (int n = 1; n <= count; ++n) {
    int i = static_cast<int>((start + n) % count);
    String item = ItemText(i);
    if (item.size() < prefix.size()) continue;
    // Compare whole characters: the item's start as long as the prefix.
    if (AnsiUpperCase(item).compare(0, prefix.size(), prefix) == 0) return i;
  }
  return LB_ERR;
}

void TCustomListBox::Dispatch(TMessage& Message) {
  switch (Message.Msg) {
    case CN_DRAWITEM:
      CNDrawItem(Message);
      return;
    case WM_VSCROLL: {
      if (Message.LParam != 0) break;  // a child bar's: reflected by the base
      int top = top_index_, page = VisibleRows();
      switch (LOWORD(Message.WParam)) {
        case SB_LINEUP: --top; break;
        case SB_LINEDOWN: ++top; break;
        case SB_PAGEUP: top -= page; break;
        case SB_PAGEDOWN: top += page; break;
        case SB_TOP: top = 0; break;
        case SB_BOTTOM: top = Count(); break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION: {
          SCROLLINFO si;
          si.fMask = SIF_TRACKPOS;
          top = GetScrollInfo(Handle(), SB_VERT, si) ? si.nTrackPos : HIWORD(Message.WParam);
          break;
        }
        default: break;
      }
      SetTopIndex(top);
      Message.Result = 0;
      return;
    }
    default:
      break;
  }
  TWinControl::Dispatch(Message);
}

void TCustomListBox::DefaultHandler(TMessage& Message) {
  switch (Message.Msg) {
    case WM_GETDLGCODE: Message.Result = DLGC_WANTARROWS | DLGC_WANTCHARS; return;
    case LB_GETCOUNT: Message.Result = Count(); return;
    case LB_GETCURSEL: Message.Result = item_index_; return;
    case LB_SETCURSEL:
      SetItemIndex(static_cast<int>(static_cast<intptr_t>(Message.WParam)));
      Message.Result = item_index_ >= 0 ? item_index_ : LB_ERR;
      return;
    case LB_GETTOPINDEX: Message.Result = top_index_; return;
    case LB_SETTOPINDEX:
      SetTopIndex(static_cast<int>(static_cast<intptr_t>(Message.WParam)));
      Message.Result = 0;
      return;
    case LB_GETITEMHEIGHT: Message.Result = ItemHeight(); return;
    case LB_SETITEMHEIGHT:
      SetItemHeight(static_cast<int>(LOWORD(static_cast<uintptr_t>(Message.LParam))));
      Message.Result = 0;
      return;
    case LB_FINDSTRING: Message.Result = FindString(Message.WParam, Message.LParam); return;
    case LB_SELECTSTRING: {
      LRESULT i = FindString(Message.WParam, Message.LParam);
      if (i != LB_ERR) SetItemIndex(static_cast<int>(i));
      Message.Result = i;
      return;
    }
    default: TWinControl::DefaultHandler(Message);
  }
}
