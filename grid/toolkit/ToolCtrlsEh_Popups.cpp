// The size grip of drop-down windows and the popup list boxes.
#include <algorithm>

#include "grid/toolkit/ToolCtrlsEh.h"
#include "platform/gui/Popup.h"

// ---------------------------------------------------------------------------
// TSizeGripEh

TSizeGripEh::TSizeGripEh(TComponent* AOwner) : TCustomControl(AOwner) {
  TControlStyle style = ControlStyle();
  style.Include(csReplicatable);
  style.Include(csCaptureMouse);
  SetControlStyle(style);
  SetBounds(Left(), Top(), GetSystemMetrics(SM_CXVSCROLL), GetSystemMetrics(SM_CYVSCROLL));
  SetColor(clBtnFace);
  SetCursor(CornerCursor());
}

TCursor TSizeGripEh::CornerCursor() const { return corner_ == 0 || corner_ == 2 ? crSizeNWSE : crSizeNESW; }

void TSizeGripEh::SetCorner(int Value) {
  if (Value == corner_) return;
  corner_ = Value;
  SetCursor(CornerCursor());
  RecreateWnd();
}

void TSizeGripEh::SetTriangular(bool Value) {
  if (Value == triangular_) return;
  triangular_ = Value;
  if (HandleAllocated()) UpdateWindowRegion();
}

void TSizeGripEh::SetVisible(bool Value) { ShowWindow(Handle(), Value ? SW_SHOW : SW_HIDE); }

void TSizeGripEh::InitWidget() {
  TCustomControl::InitWidget();
  UpdateWindowRegion();
}

// The triangle that cuts off the grip's corner; then the grip goes into its
// corner with the corner's cursor.
void TSizeGripEh::UpdateWindowRegion() {
  if (triangular_) {
    const int w = Width(), h = Height();
    TPoint p[3];
    switch (corner_) {
      case 0: p[0] = Point(w - 1, 0), p[1] = Point(0, 0), p[2] = Point(0, h - 1); break;
      case 1: p[0] = Point(w, h - 1), p[1] = Point(w, 0), p[2] = Point(1, 0); break;
      case 3: p[0] = Point(w, h), p[1] = Point(0, h), p[2] = Point(0, 0); break;
      default: p[0] = Point(0, h), p[1] = Point(w, h), p[2] = Point(w, 0); break;
    }
    SetWindowRgn(Handle(), CreatePolygonRgn(p, 3, WINDING), true);
  } else {
    SetWindowRgn(Handle(), nullptr, true);
  }
  UpdatePosition();
  SetCursor(CornerCursor());
}

void TSizeGripEh::UpdatePosition() {
  TWinControl* parent = Parent();
  if (parent == nullptr || !HandleAllocated()) return;
  int x = 0, y = 0;
  if (corner_ == 1 || corner_ == 2) x = parent->ClientWidth() - Width();
  if (corner_ == 2 || corner_ == 3) y = parent->ClientHeight() - Height();
  const bool was = positioning_;
  positioning_ = true;
  try {
    MoveWindow(Handle(), x, y, Width(), Height(), true);
  } catch (...) {
    positioning_ = was;
    throw;
  }
  positioning_ = was;
}

void TSizeGripEh::ChangeCorner(int Side) {
  static constexpr int kNext[4][4] = {
      // corner 0, 1, 2, 3 after side ...
      {0, 0, 3, 3},  // 0: extends to the left of its right edge
      {1, 1, 2, 2},  // 1: extends to the right
      {0, 1, 1, 0},  // 2: opened above
      {3, 2, 2, 3},  // 3: opened below
  };
  if (Side < 0 || Side > 3 || corner_ < 0 || corner_ > 3) return;
  SetCorner(kNext[Side][corner_]);
}

// Lines parallel to the diagonal that cuts off the corner, from the
// diagonal towards the corner, in groups of highlight, two shadows and face.
// A line is the pixels at one distance (along X plus along Y) from the
// corner pixel.
void TSizeGripEh::Paint() {
  TCanvas* c = Canvas();
  const int w = Width(), h = Height();
  const bool right = corner_ == 1 || corner_ == 2;
  const bool bottom = corner_ == 2 || corner_ == 3;
  const auto line = [&](int Offset, TColor Color) {
    const int distance = w - 2 - Offset;
    for (int dx = 0; dx <= distance; ++dx) {
      const int dy = distance - dx;
      if (dx < w && dy < h) c->SetPixel(right ? w - 1 - dx : dx, bottom ? h - 1 - dy : dy, Color);
    }
  };
  for (int i = 1; i < w; i += 4) {
    line(i - 1, clBtnHighlight);
    line(i, clBtnShadow);
    line(i + 1, clBtnShadow);
    line(i + 2, clBtnFace);
  }
}

void TSizeGripEh::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  TCustomControl::MouseDown(Button, Shift, X, Y);
  start_point_ = ClientToScreen(Point(X, Y));
  if (TWinControl* parent = Parent()) {
    start_width_ = parent->Width();
    start_height_ = parent->Height();
    start_client_width_ = parent->ClientWidth();
    start_client_height_ = parent->ClientHeight();
  }
}

void TSizeGripEh::MouseMove(TShiftState Shift, int X, int Y) {
  TCustomControl::MouseMove(Shift, X, Y);
  TWinControl* parent = Parent();
  if (!Shift.Contains(ssLeft) || !MouseCapture() || positioning_ || parent == nullptr) return;
  const TPoint p = ClientToScreen(Point(X, Y));
  if (p == last_point_) return;
  TRect window;
  GetWindowRect(parent->Handle(), &window);
  // The work area of the monitor the parent is on.
  const TRect work = WorkAreaNearest(window);
  const int clientWidth = parent->ClientWidth(), clientHeight = parent->ClientHeight();

  if (corner_ == 0 || corner_ == 3) {
    // The left edge moves, the right edge stays.
    const int width = std::max(0, std::min(start_width_ + start_point_.X - p.X, window.Right - work.Left));
    const int old = parent->Width();
    parent->SetWidth(width);
    parent->SetLeft(parent->Left() - (parent->Width() - old));
  } else {
    int client = start_client_width_ + p.X - start_point_.X;
    const int right = window.Right + client - clientWidth;
    if (right > work.Right) client -= right - work.Right;
    parent->SetClientWidth(std::max(0, client));
  }
  GetWindowRect(parent->Handle(), &window);
  if (corner_ == 0 || corner_ == 1) {
    // The top edge moves, the bottom edge stays.
    const int height = std::max(0, std::min(start_height_ + start_point_.Y - p.Y, window.Bottom - work.Top));
    const int old = parent->Height();
    parent->SetHeight(height);
    parent->SetTop(parent->Top() - (parent->Height() - old));
  } else {
    int client = start_client_height_ + p.Y - start_point_.Y;
    const int bottom = window.Bottom + client - parent->ClientHeight();
    if (bottom > work.Bottom) client -= bottom - work.Bottom;
    parent->SetClientHeight(std::max(0, client));
  }

  last_point_ = p;
  if (parent->ClientWidth() != clientWidth || parent->ClientHeight() != clientHeight) on_parent_resized_(this);
  UpdatePosition();
}

void TSizeGripEh::Dispatch(TMessage& Message) {
  // Moved by anyone else, the grip goes back into its corner.
  if (Message.Msg == WM_MOVE && !positioning_) UpdatePosition();
  TCustomControl::Dispatch(Message);
}

// ---------------------------------------------------------------------------
// TPopupListboxEh

TPopupListboxEh::TPopupListboxEh(TComponent* AOwner) : TCustomListBox(AOwner) {
  TControlStyle style = ControlStyle();
  style.Include(csReplicatable);
  SetControlStyle(style);
  SetStyle(lbOwnerDrawFixed);
  SetTabStop(false);
  border_width_ = Ctl3D() ? 2 : 0;
  size_grip_ = new TSizeGripEh(this);
  size_grip_->SetParent(this);
  SetOnData({this, &TPopupListboxEh::GetItemText});
}

TPopupListboxEh::~TPopupListboxEh() { SetOnData({}); }

void TPopupListboxEh::Notification(TComponent* AComponent, TOperation Operation) {
  TCustomListBox::Notification(AComponent, Operation);
  if (Operation != opRemove) return;
  if (AComponent == size_grip_) size_grip_ = nullptr;
  if (AComponent == images_) {
    images_ = nullptr;
    Invalidate();
  }
}

void TPopupListboxEh::SetImages(TCustomImageList* Value) {
  if (Value == images_) return;
  if (images_ != nullptr) images_->RemoveFreeNotification(this);
  images_ = Value;
  if (images_ != nullptr) images_->FreeNotification(this);
  Invalidate();
}

void TPopupListboxEh::SetItemsList(TStrings* List) {
  items_list_ = List;
  SetStyle(List != nullptr ? lbVirtualOwnerDraw : lbOwnerDrawFixed);
  Invalidate();
}

void TPopupListboxEh::GetItemText(TWinControl*, int Index, String& Text) {
  if (items_list_ != nullptr && Index >= 0 && Index < items_list_->Count()) Text = items_list_->Strings(Index);
}

// The styles of the window: a frameless pop-up with a border of one pixel
// without Ctl3D (the raised border is drawn in the non-client area).
void TPopupListboxEh::WindowStyles(uint32_t& Style, uint32_t& ExStyle) const {
  Style &= ~(WS_CHILD | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_BORDER);
  Style |= WS_POPUP | WS_CLIPCHILDREN;
  if (!Ctl3D()) Style |= WS_BORDER;
  ExStyle = WS_EX_TOPMOST | WS_EX_TOOLWINDOW;
}

void TPopupListboxEh::CreateParams(TCreateParams& Params) {
  TCustomListBox::CreateParams(Params);
  WindowStyles(Params.Style, Params.ExStyle);
  Params.WindowClass.style |= CS_SAVEBITS;
}

void TPopupListboxEh::InitWidget() {
  TCustomListBox::InitWidget();
  // A window of its own on the screen even with a parent control.
  if (Parent() != nullptr) ::SetParent(Handle(), nullptr);
}

int TPopupListboxEh::GetBorderHeight() const {
  uint32_t style = 0, exStyle = 0;
  WindowStyles(style, exStyle);
  TRect r = Rect(0, 0, 0, 0);
  AdjustWindowRectEx(&r, style, false, exStyle);
  return r.Height() + 2 * border_width_;
}

int TPopupListboxEh::GetTextHeight() const {
  TCanvas measure;
  measure.Font()->Assign(Font());
  return measure.TextHeight("Wg");
}

void TPopupListboxEh::SetRowCount(int Rows) { SetHeight(ItemHeight() * std::max(1, Rows) + GetBorderHeight()); }

void TPopupListboxEh::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
  const int border = GetBorderHeight();
  int row = ItemHeight();
  if (row <= 0) row = std::max(GetTextHeight(), 1);
  row_count_ = std::max(1, (AHeight - border) / row);
  TCustomListBox::SetBounds(ALeft, ATop, AWidth, border + row_count_ * row);
}

bool TPopupListboxEh::CanFocus() const { return false; }

void TPopupListboxEh::PaintBorder() {
  if (!Ctl3D() || !HandleAllocated()) return;
  HDC dc = GetWindowDC(Handle());
  if (dc == nullptr) return;
  TRect r;
  GetWindowRect(Handle(), &r);
  OffsetRect(r, -r.Left, -r.Top);
  DrawEdge(dc, r, BDR_RAISEDOUTER, BF_RECT);
  InflateRect(r, -1, -1);
  DrawEdge(dc, r, BDR_RAISEDINNER, BF_RECT);
}

void TPopupListboxEh::Dispatch(TMessage& Message) {
  switch (Message.Msg) {
    case WM_NCCALCSIZE:
      TCustomListBox::Dispatch(Message);
      if (Message.LParam != 0) InflateRect(*reinterpret_cast<TRect*>(Message.LParam), -border_width_, -border_width_);
      return;
    case WM_NCPAINT:
      TCustomListBox::Dispatch(Message);
      PaintBorder();
      return;
    case CM_CTL3DCHANGED:
      TCustomListBox::Dispatch(Message);
      border_width_ = Ctl3D() ? 2 : 0;
      RecreateWnd();
      return;
    case WM_SIZE:
      TCustomListBox::Dispatch(Message);
      if (size_grip_ != nullptr) size_grip_->UpdatePosition();
      size_grip_resized_ = true;
      return;
    case WM_WINDOWPOSCHANGING: {
      TCustomListBox::Dispatch(Message);
      auto* pos = reinterpret_cast<WINDOWPOS*>(Message.LParam);
      const bool busy = ComponentState().Contains(csReading) || ComponentState().Contains(csDestroying);
      if (pos != nullptr && !busy && (pos->flags & SWP_NOSIZE) == 0) {
        pos->cx = std::max(pos->cx, GetSystemMetrics(SM_CXVSCROLL));
        pos->cy = std::max(pos->cy, GetSystemMetrics(SM_CYVSCROLL));
      }
      return;
    }
    case CM_DROPDOWNSIDEEH:
      if (size_grip_ != nullptr) size_grip_->ChangeCorner(static_cast<int>(Message.WParam));
      Message.Result = 0;
      return;
    case CN_DRAWITEM:
      if (Message.LParam != 0) {
        // The editor keeps the focus; the list shows its selection as focused.
        auto* dis = reinterpret_cast<DRAWITEMSTRUCT*>(Message.LParam);
        if (dis->itemID >= 0 && dis->itemID == ItemIndex()) dis->itemState |= ODS_FOCUS;
        if (images_ != nullptr) {
          DrawItemWithImage(Message);
          return;
        }
      }
      break;
    default:
      break;
  }
  TCustomListBox::Dispatch(Message);
}

void TPopupListboxEh::DrawItemWithImage(TMessage& Message) {
  auto* dis = reinterpret_cast<DRAWITEMSTRUCT*>(Message.LParam);
  TOwnerDrawState state;
  if (dis->itemState & ODS_SELECTED) state.Include(odSelected);
  if (dis->itemState & ODS_FOCUS) state.Include(odFocused);
  if (dis->itemState & ODS_DISABLED) state.Include(odDisabled);
  TCanvas* c = Canvas();
  c->SetHandle(dis->hDC);
  try {
    c->Font()->Assign(Font());
    c->Brush()->SetStyle(bsSolid);
    c->Brush()->SetColor(Color());
    if (dis->itemID >= 0 && state.Contains(odSelected)) {
      c->Brush()->SetColor(clHighlight);
      c->Font()->SetColor(clHighlightText);
    }
    TRect r = dis->rcItem;
    if (dis->itemID < 0) c->FillRect(r);
    else DrawItem(dis->itemID, r, state);
    const int strip = images_ != nullptr ? images_->Width() + 4 : 0;
    if (RightToLeft()) r.Right -= strip;
    else r.Left += strip;
    if (state.Contains(odFocused)) c->DrawFocusRect(r);
  } catch (...) {
    c->SetHandle(nullptr);
    throw;
  }
  c->SetHandle(nullptr);
  Message.Result = 1;
}

void TPopupListboxEh::DrawItem(int Index, TRect Rect, TOwnerDrawState State) {
  if (images_ == nullptr) {
    TCustomListBox::DrawItem(Index, Rect, State);
    return;
  }
  TCanvas* c = Canvas();
  const int strip = images_->Width() + 4;
  TRect image = Rect;
  if (RightToLeft()) image.Left = image.Right - strip;
  else image.Right = image.Left + strip;
  int imageIndex = Index;
  on_get_image_index_(Owner(), Index, imageIndex);
  c->FillRect(image);
  DrawImageCentered(c->Handle(), image, images_, imageIndex, State.Contains(odSelected));
  if (RightToLeft()) Rect.Right -= strip;
  else Rect.Left += strip;
  if (Index >= Count()) return;
  const String text = ItemText(Index);
  const int x = RightToLeft() ? Rect.Right - c->TextWidth(text) - 2 : Rect.Left + 1;
  ExtTextOut(c->Handle(), x, Rect.Top, ETO_CLIPPED | ETO_OPAQUE, &Rect, text, static_cast<int>(text.size()));
}

// Incremental search: the typed text restarts after a pause of more than
// 2000 ms; Backspace and Esc clear it.
void TPopupListboxEh::KeyPress(WideChar& Key) {
  if (Key == VK_BACK || Key == VK_ESCAPE) {
    search_text_.clear();
    search_pending_ = 0;
  } else if (IsTextChar(Key)) {
    const Cardinal now = GetTickCount();
    if (now - search_time_ > 2000) {
      search_text_.clear();
      search_pending_ = 0;
    }
    search_time_ = now;
    if (Utf8Length(search_text_) < 32) Utf8AppendWideChar(search_text_, Key, search_pending_);
    Perform(LB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(search_text_.c_str()));
    Key = 0;
  }
  TCustomListBox::KeyPress(Key);
}

// Hot tracking: the item under a pointer that moved (no button held).
void TPopupListboxEh::MouseMove(TShiftState Shift, int X, int Y) {
  TCustomListBox::MouseMove(Shift, X, Y);
  const TPoint p = Point(X, Y);
  if (p == last_mouse_) return;
  last_mouse_ = p;
  if (Shift.Contains(ssLeft) || Shift.Contains(ssRight) || Shift.Contains(ssMiddle)) return;
  const int index = ItemAtPos(p, true);
  if (index >= 0) SetItemIndex(index);
}

bool TPopupListboxEh::DoMouseWheelDown(TShiftState Shift, TPoint MousePos) {
  if (!TCustomListBox::DoMouseWheelDown(Shift, MousePos)) SetTopIndex(TopIndex() + 1);
  return true;
}

bool TPopupListboxEh::DoMouseWheelUp(TShiftState Shift, TPoint MousePos) {
  if (!TCustomListBox::DoMouseWheelUp(Shift, MousePos)) SetTopIndex(TopIndex() - 1);
  return true;
}

// ---------------------------------------------------------------------------
// TMRUListboxEh

TMRUListboxEh::TMRUListboxEh(TComponent* AOwner) : TPopupListboxEh(AOwner) {
  scroll_bar_ = new TScrollBar(this);
  TControlStyle style = scroll_bar_->ControlStyle();
  style.Include(csReplicatable);
  scroll_bar_->SetControlStyle(style);
  scroll_bar_->SetKind(sbVertical);
  scroll_bar_->SetParent(this);
  scroll_bar_->SetWidth(GetSystemMetrics(SM_CXVSCROLL));
  scroll_bar_->SetTabStop(false);
  scroll_bar_proc_ = scroll_bar_->WindowProc();
  scroll_bar_->SetWindowProc({this, &TMRUListboxEh::ScrollBarWndProc});
  UpdateMRUScrollBar();
}

TMRUListboxEh::~TMRUListboxEh() {
  if (scroll_bar_ != nullptr) scroll_bar_->SetWindowProc({});
}

void TMRUListboxEh::Notification(TComponent* AComponent, TOperation Operation) {
  if (Operation == opRemove && AComponent == scroll_bar_) {
    scroll_bar_->SetWindowProc({});
    scroll_bar_ = nullptr;
  }
  TPopupListboxEh::Notification(AComponent, Operation);
}

void TMRUListboxEh::CreateParams(TCreateParams& Params) {
  TPopupListboxEh::CreateParams(Params);
  Params.Style &= ~(WS_HSCROLL | WS_VSCROLL);
}

// The bar stands at the right of the client area, beside the grip when the
// grip sits in a right-hand corner.
void TMRUListboxEh::ResetScrollBarPosition() {
  if (scroll_bar_ == nullptr) return;
  const int width = GetSystemMetrics(SM_CXVSCROLL), height = ClientHeight();
  const int grip = SizeGrip() != nullptr ? SizeGrip()->Height() : 0;
  const int corner = SizeGrip() != nullptr ? SizeGrip()->Corner() : 0;
  int top = 0, barHeight = height;
  if (corner == 2) barHeight = height - grip;
  else if (corner == 1) top = grip, barHeight = height - grip;
  repositioning_ = true;
  try {
    scroll_bar_->SetBounds(ClientWidth() - width, top, width, std::max(0, barHeight));
  } catch (...) {
    repositioning_ = false;
    throw;
  }
  repositioning_ = false;
}

void TMRUListboxEh::UpdateMRUScrollBar() {
  if (scroll_bar_ == nullptr) return;
  scroll_bar_->SetCtl3D(false);
  ResetScrollBarPosition();
  scroll_bar_->SetPageSize(0);
  const int visible = ClientHeight() / std::max(ItemHeight(), 1);
  const int count = Count();
  TSizeGripEh* grip = SizeGrip();
  if (count > 0 && count > visible) {
    scroll_bar_->SetParams(TopIndex(), 0, count - 1);
    scroll_bar_->SetPageSize(visible);
    scroll_bar_->SetVisible(true);
    if (grip != nullptr) grip->SetTriangular(grip->Corner() != 1 && grip->Corner() != 2);
  } else {
    scroll_bar_->SetVisible(false);
    if (grip != nullptr) grip->SetTriangular(true);
  }
}

void TMRUListboxEh::ScrollBarWndProc(TMessage& Message) {
  switch (Message.Msg) {
    case CN_VSCROLL:
      Perform(WM_VSCROLL, Message.WParam, 0);
      return;
    case WM_MOVE:
      if (!repositioning_) {
        ResetScrollBarPosition();
        UpdateMRUScrollBar();
        Message.Result = 0;
        return;
      }
      break;
    default:
      break;
  }
  scroll_bar_proc_(Message);
}

void TMRUListboxEh::Dispatch(TMessage& Message) {
  const int top = TopIndex();
  TPopupListboxEh::Dispatch(Message);
  switch (Message.Msg) {
    case CM_DROPDOWNSIDEEH:
    case WM_SIZE:
    case CM_MOUSEWHEEL:
    case CM_CHANGED:
      UpdateMRUScrollBar();
      break;
    default:
      // The thumb follows the list however it scrolled.
      if (TopIndex() != top && scroll_bar_ != nullptr && scroll_bar_->Visible()) scroll_bar_->SetPosition(TopIndex());
      break;
  }
}
