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
