// Window management: drop-down windows, the non-client frame, regions and
// the window calls by handle (Popup.h).
#include "platform/gui/Popup.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMoveEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QScreen>
#include <QWidget>

#include <algorithm>
#include <map>
#include <vector>

#include "platform/gui/Forms.h"
#include "platform/gui/GuiInternal.h"
#include "platform/gui/QtGraphics.h"
#include "platform/gui/ScrollBars.h"

struct TNonClientAccess {
  static QWidget* Own(TWinControl* C) { return C->widget_; }
  static QWidget*& Frame(TWinControl* C) { return C->frame_; }
  static TRect& Insets(TWinControl* C) { return C->non_client_; }
  static void Update(TWinControl* C) { C->ApplyBounds(); }
  static void Params(TWinControl* C, TCreateParams& P) { C->CreateParams(P); }
};

namespace {

// The device contexts of windows painting their non-client area.
std::map<HWND, HDC>& WindowDCs() {
  static std::map<HWND, HDC> dcs;
  return dcs;
}

const char kDropDown[] = "dropDownWindow";

// The outer widget of a window with a non-client area: paints it through
// WM_NCPAINT and reports the moves and sizes of a top-level window.
class NonClientFrame : public QWidget {
 public:
  NonClientFrame(QWidget* parent, TWinControl* control) : QWidget(parent), control_(control) {
    setFocusPolicy(Qt::NoFocus);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    TEventScope scope;
    TControlRef alive(control_);
    if (!alive || control_->Widget() == nullptr) return;
    QPainter painter(this);
    HDC dc = CreatePainterDC(&painter);
    HWND wnd = control_->Handle();
    WindowDCs()[wnd] = dc;
    try {
      control_->Perform(WM_NCPAINT, 1, 0);
    } catch (...) {
      WindowDCs().erase(wnd);
      DeletePainterDC(dc);
      HandleEventException(control_);
      return;
    }
    WindowDCs().erase(wnd);
    DeletePainterDC(dc);
  }
  void moveEvent(QMoveEvent*) override {
    if (isWindow() && TControlRef(control_)) control_->WidgetMoved(x(), y());
  }
  void resizeEvent(QResizeEvent*) override {
    if (isWindow() && TControlRef(control_)) control_->WidgetResized(width(), height());
  }

 private:
  TWinControl* control_;
};

bool IsPlainWindow(TWinControl* C) { return C->Parent() == nullptr && dynamic_cast<TCustomForm*>(C) == nullptr; }

// The border widths of a window's styles (a window without a parent).
int StyleBorder(uint32_t Style, uint32_t ExStyle) {
  int b = 0;
  if (Style & WS_THICKFRAME) b += GetSystemMetrics(SM_CXFRAME);
  else if (Style & WS_BORDER) b += 1;
  if (ExStyle & WS_EX_CLIENTEDGE) b += 2;
  return b;
}

bool SameRect(const TRect& A, const TRect& B) {
  return A.Left == B.Left && A.Top == B.Top && A.Right == B.Right && A.Bottom == B.Bottom;
}

TWinControl* WindowControl(HWND Wnd) {
  TWinControl* c = Wnd != nullptr ? FindControl(Wnd) : nullptr;
  return c != nullptr && c->Widget() != nullptr ? c : nullptr;
}

HWND HandleOfWidget(QWidget* W) {
  for (; W != nullptr; W = W->parentWidget()) {
    if (auto* c = dynamic_cast<TWinControl*>(FindControl(W))) return c->Handle();
  }
  return nullptr;
}

}  // namespace

// ---------------------------------------------------------------------------
// TWinControl: the window on screen and its non-client area

QWidget* TWinControl::WindowWidget() const { return frame_ != nullptr ? frame_ : widget_; }

TRect TWinControl::ClientRect() const {
  const TRect& n = non_client_;
  TRect r = Rect(0, 0, std::max(Width() - n.Left - n.Right, 0), std::max(Height() - n.Top - n.Bottom, 0));
  TWindowScrollBars::Inset(this, r);
  return r;
}

void TWinControl::UpdateNonClient() {
  if (widget_ == nullptr || hwnd_ == nullptr) return;
  NCCALCSIZE_PARAMS params;
  const TRect bounds = BoundsRect();
  params.rgrc[0] = bounds;
  Perform(WM_NCCALCSIZE, 1, reinterpret_cast<LPARAM>(&params));
  const TRect& c = params.rgrc[0];
  TRect insets{std::max(c.Left - bounds.Left, 0), std::max(c.Top - bounds.Top, 0),
               std::max(bounds.Right - c.Right, 0), std::max(bounds.Bottom - c.Bottom, 0)};
  non_client_ = insets;
  if (frame_ != nullptr || SameRect(insets, TRect{})) return;
  // The first non-client area: a frame takes the widget's place.
  QWidget* parent = widget_->parentWidget();
  const bool window = widget_->isWindow();
  const bool shown = window ? widget_->isVisible() : widget_->isVisibleTo(parent);
  frame_ = new NonClientFrame(window ? nullptr : parent, this);
  if (window) {
    frame_->setWindowFlags(widget_->windowFlags());
    frame_->setProperty(kDropDown, widget_->property(kDropDown));
    if (widget_->testAttribute(Qt::WA_ShowWithoutActivating)) frame_->setAttribute(Qt::WA_ShowWithoutActivating);
    frame_->setWindowTitle(widget_->windowTitle());
  } else {
    frame_->stackUnder(widget_);
  }
  widget_->setParent(frame_);
  widget_->show();
  frame_->setVisible(shown);
}

void TWinControl::ApplyBounds() {
  if (widget_ == nullptr) return;
  UpdateNonClient();
  QWidget* window = WindowWidget();
  const QPoint old_pos = window->pos();
  const QSize old_client = widget_->size();
  if (window->isWindow()) {
    window->move(Left(), Top());
    window->resize(Width(), Height());
  } else {
    window->setGeometry(Left(), Top(), Width(), Height());
  }
  if (frame_ != nullptr) {
    TRect c = ClientRect();
    widget_->setGeometry(non_client_.Left, non_client_.Top, c.Width(), c.Height());
    frame_->update();
  }
  if (hwnd_ == nullptr) return;
  TControlRef self(this);
  if (widget_->size() != old_client)
    Perform(WM_SIZE, SIZE_RESTORED, MAKELPARAM(widget_->width(), widget_->height()));
  if (self && window->pos() != old_pos)
    Perform(WM_MOVE, 0, MAKELPARAM(Left() + non_client_.Left, Top() + non_client_.Top));
}

void TWinControl::VisibleChanged() {
  if (frame_ != nullptr) frame_->setVisible(Visible());
  else TControl::VisibleChanged();
}

void MakeDropDownWidget(QWidget* Widget) {
  if (Widget == nullptr) return;
  const bool shown = Widget->isVisible();
  Widget->setParent(nullptr, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus);
  Widget->setAttribute(Qt::WA_ShowWithoutActivating);
  Widget->setProperty(kDropDown, true);
  if (shown) Widget->show();
}

bool IsDropDownWindow(TWinControl* Control) {
  QWidget* w = Control != nullptr ? Control->WindowWidget() : nullptr;
  return w != nullptr && w->isWindow() && w->property(kDropDown).toBool();
}

namespace {

struct TFocusWatcher {
  TWinControl* control;
  TControlRef alive;
};

std::vector<TFocusWatcher>& FocusWatchers() {
  static std::vector<TFocusWatcher> watchers;
  return watchers;
}

}  // namespace

void WatchFocusForDropDown(TWinControl* Control, bool Watch) {
  auto& watchers = FocusWatchers();
  std::erase_if(watchers, [Control](const TFocusWatcher& w) { return w.control == Control || !w.alive; });
  if (Watch && Control != nullptr) watchers.push_back({Control, TControlRef(Control)});
}

void DropDownFocusMoved(HWND Lost, HWND Gained) {
  const std::vector<TFocusWatcher> watchers = FocusWatchers();  // a handler may change the list
  auto inside = [](HWND Window, HWND Other) { return Other != nullptr && (Other == Window || IsChild(Window, Other)); };
  for (const TFocusWatcher& w : watchers) {
    if (!w.alive || !w.control->HandleAllocated()) continue;
    HWND own = w.control->Handle();
    if (!IsWindowVisible(own) || inside(own, Lost) || inside(own, Gained)) continue;
    w.control->Perform(WM_KILLFOCUS, reinterpret_cast<WPARAM>(Gained), 0);
  }
}

void DefaultNonClientHandler(TWinControl* Control, TMessage& Message) {
  Message.Result = 0;
  if (!IsPlainWindow(Control)) return;
  TCreateParams params;
  TNonClientAccess::Params(Control, params);
  // Windows with a caption get their frame from the window manager.
  if (!(params.Style & WS_POPUP) || (params.Style & WS_CAPTION) == WS_CAPTION) return;
  if (Message.Msg == WM_NCCALCSIZE) {
    int b = StyleBorder(params.Style, params.ExStyle);
    if (Message.LParam != 0 && b > 0) InflateRect(*reinterpret_cast<TRect*>(Message.LParam), -b, -b);
    return;
  }
  HDC dc = GetWindowDC(Control->Handle());
  if (dc == nullptr) return;
  TRect r = Rect(0, 0, Control->Width(), Control->Height());
  if ((params.Style & WS_BORDER) && !(params.Style & WS_THICKFRAME)) {
    HBRUSH frame = GetSysColorBrush(COLOR_WINDOWFRAME);
    FrameRect(dc, r, frame);
    InflateRect(r, -1, -1);
  }
  if (params.ExStyle & WS_EX_CLIENTEDGE) DrawEdge(dc, r, EDGE_SUNKEN, BF_RECT);
}

// ---------------------------------------------------------------------------
// Window calls by handle

bool SetWindowPos(HWND Wnd, HWND InsertAfter, int X, int Y, int Width, int Height, UINT Flags) {
  TWinControl* c = WindowControl(Wnd);
  if (c == nullptr) return false;
  TControlRef alive(c);
  if (!(Flags & SWP_NOMOVE) || !(Flags & SWP_NOSIZE)) {
    c->SetBounds((Flags & SWP_NOMOVE) ? c->Left() : X, (Flags & SWP_NOMOVE) ? c->Top() : Y,
                 (Flags & SWP_NOSIZE) ? c->Width() : Width, (Flags & SWP_NOSIZE) ? c->Height() : Height);
    if (!alive || c->Widget() == nullptr) return true;
  }
  if (Flags & SWP_FRAMECHANGED) TNonClientAccess::Update(c);
  QWidget* w = c->WindowWidget();
  if (!(Flags & SWP_NOZORDER)) {
    if (InsertAfter == HWND_BOTTOM) w->lower();
    else if (InsertAfter == HWND_TOP || InsertAfter == HWND_TOPMOST || InsertAfter == HWND_NOTOPMOST) w->raise();
    else if (TWinControl* after = WindowControl(InsertAfter)) w->stackUnder(after->WindowWidget());
  }
  if (Flags & SWP_HIDEWINDOW) {
    w->hide();
  } else if (Flags & SWP_SHOWWINDOW) {
    const bool quiet = w->testAttribute(Qt::WA_ShowWithoutActivating);
    if (Flags & SWP_NOACTIVATE) w->setAttribute(Qt::WA_ShowWithoutActivating);
    w->show();
    if (!quiet) w->setAttribute(Qt::WA_ShowWithoutActivating, false);
  }
  return true;
}

bool MoveWindow(HWND Wnd, int X, int Y, int Width, int Height, bool Repaint) {
  TWinControl* c = WindowControl(Wnd);
  if (c == nullptr) return false;
  c->SetBounds(X, Y, Width, Height);
  if (Repaint && c->Widget() != nullptr) c->WindowWidget()->update();
  return true;
}

bool ShowWindow(HWND Wnd, int CmdShow) {
  TWinControl* c = WindowControl(Wnd);
  if (c == nullptr) return false;
  QWidget* w = c->WindowWidget();
  const bool was = w->isVisible();
  const bool quiet = w->testAttribute(Qt::WA_ShowWithoutActivating);
  switch (CmdShow) {
    case SW_HIDE: w->hide(); break;
    case SW_SHOWNOACTIVATE:
    case SW_SHOWNA:
      w->setAttribute(Qt::WA_ShowWithoutActivating);
      w->show();
      w->setAttribute(Qt::WA_ShowWithoutActivating, quiet);
      break;
    case SW_MINIMIZE:
    case SW_SHOWMINIMIZED:
      if (w->isWindow()) w->showMinimized();
      break;
    case SW_SHOWMAXIMIZED:
      if (w->isWindow()) w->showMaximized();
      else w->show();
      break;
    case SW_RESTORE:
      if (w->isWindow()) w->showNormal();
      else w->show();
      break;
    default: w->show(); break;
  }
  return was;
}

bool IsWindowVisible(HWND Wnd) {
  TWinControl* c = WindowControl(Wnd);
  return c != nullptr && c->WindowWidget()->isVisible();
}

bool GetWindowRect(HWND Wnd, TRect* Rect) {
  TWinControl* c = WindowControl(Wnd);
  if (c == nullptr || Rect == nullptr) return false;
  QWidget* w = c->WindowWidget();
  QPoint g = w->mapToGlobal(QPoint(0, 0));
  *Rect = Bounds(g.x(), g.y(), w->width(), w->height());
  return true;
}

bool GetClientRect(HWND Wnd, TRect* Rect) {
  TWinControl* c = WindowControl(Wnd);
  if (c == nullptr || Rect == nullptr) return false;
  *Rect = c->ClientRect();
  return true;
}

int SetWindowRgn(HWND Wnd, HRGN Region, bool Redraw) {
  TWinControl* c = WindowControl(Wnd);
  if (c == nullptr) return 0;
  QWidget* w = c->WindowWidget();
  if (Region == nullptr) {
    w->clearMask();
  } else {
    auto* r = LiveAs<HRGN__>(Region);
    if (r == nullptr) return 0;
    // An empty mask means "no mask" to Qt: a window with an empty region
    // shows nothing, as a one-pixel-outside mask.
    w->setMask(r->region.isEmpty() ? QRegion(-1, -1, 1, 1) : r->region);
    DeleteObject(Region);  // the window owns it now
  }
  if (Redraw) w->update();
  return 1;
}

int GetWindowRgn(HWND Wnd, HRGN Region) {
  TWinControl* c = WindowControl(Wnd);
  auto* r = LiveAs<HRGN__>(Region);
  if (c == nullptr || r == nullptr) return ERROR;
  QRegion mask = c->WindowWidget()->mask();
  if (mask.isEmpty()) return ERROR;
  if (mask == QRegion(-1, -1, 1, 1)) mask = QRegion();
  r->region = mask;
  return mask.isEmpty() ? NULLREGION : mask.rectCount() == 1 ? SIMPLEREGION : COMPLEXREGION;
}

HWND GetParent(HWND Wnd) {
  TWinControl* c = WindowControl(Wnd);
  if (c == nullptr) return nullptr;
  return HandleOfWidget(c->WindowWidget()->parentWidget());
}

HWND SetParent(HWND Child, HWND NewParent) {
  TWinControl* c = WindowControl(Child);
  if (c == nullptr) return nullptr;
  QWidget* w = c->WindowWidget();
  HWND previous = HandleOfWidget(w->parentWidget());
  if (NewParent == nullptr) {
    if (w->isWindow()) return previous;
    QPoint g = w->mapToGlobal(QPoint(0, 0));
    MakeDropDownWidget(w);
    w->move(g);
    return previous;
  }
  TWinControl* p = WindowControl(NewParent);
  if (p == nullptr) return nullptr;
  const bool shown = w->isVisible();
  w->setParent(TNonClientAccess::Own(p), Qt::Widget);
  w->setProperty(kDropDown, false);
  w->setGeometry(c->Left(), c->Top(), c->Width(), c->Height());
  w->setVisible(shown);
  return previous;
}

bool IsChild(HWND Parent, HWND Child) {
  TWinControl* p = WindowControl(Parent);
  TWinControl* c = WindowControl(Child);
  if (p == nullptr || c == nullptr || p == c) return false;
  QWidget* own = TNonClientAccess::Own(p);
  for (QWidget* w = c->WindowWidget()->parentWidget(); w != nullptr; w = w->parentWidget()) {
    if (w == own) return true;
  }
  return false;
}

HDC GetWindowDC(HWND Wnd) {
  auto it = WindowDCs().find(Wnd);
  return it == WindowDCs().end() ? nullptr : it->second;
}

bool AdjustWindowRectEx(TRect* Rect, uint32_t Style, bool Menu, uint32_t ExStyle) {
  if (Rect == nullptr) return false;
  int b = StyleBorder(Style, ExStyle);
  InflateRect(*Rect, b, b);
  if ((Style & WS_CAPTION) == WS_CAPTION) Rect->Top -= GetSystemMetrics(SM_CYCAPTION);
  if (Menu) Rect->Top -= GetSystemMetrics(SM_CYMENU);
  return true;
}

bool SystemParametersInfo(UINT Action, UINT, void* Value, UINT) {
  if (Action != SPI_GETWORKAREA || Value == nullptr) return false;
  EnsureGuiApplication();
  QScreen* screen = QGuiApplication::primaryScreen();
  QRect a = screen != nullptr ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
  *static_cast<TRect*>(Value) = Bounds(a.x(), a.y(), a.width(), a.height());
  return true;
}

namespace {

TRect ToTRect(const QRect& r) { return Bounds(r.x(), r.y(), r.width(), r.height()); }

// The screen a rectangle overlaps most, else (Nearest) the one at the least
// distance from it.
QScreen* ScreenOf(const TRect& R, Cardinal Flags) {
  EnsureGuiApplication();
  QScreen* best = nullptr;
  int64_t best_area = 0, best_distance = INT64_MAX;
  QScreen* nearest = nullptr;
  for (QScreen* s : QGuiApplication::screens()) {
    TRect g = ToTRect(s->geometry()), common;
    if (IntersectRect(common, g, R) || (R.IsEmpty() && g.Contains(R.TopLeft()))) {
      int64_t area = std::max<int64_t>(int64_t{common.Width()} * common.Height(), 1);
      if (area > best_area) best = s, best_area = area;
    }
    int64_t dx = std::max({0, g.Left - R.Right, R.Left - g.Right});
    int64_t dy = std::max({0, g.Top - R.Bottom, R.Top - g.Bottom});
    if (dx * dx + dy * dy < best_distance) nearest = s, best_distance = dx * dx + dy * dy;
  }
  if (best != nullptr) return best;
  if (Flags == MONITOR_DEFAULTTONEAREST) return nearest;
  if (Flags == MONITOR_DEFAULTTOPRIMARY) return QGuiApplication::primaryScreen();
  return nullptr;
}

}  // namespace

HMONITOR MonitorFromRect(const TRect& Rect, Cardinal Flags) {
  return reinterpret_cast<HMONITOR>(ScreenOf(Rect, Flags));
}

HMONITOR MonitorFromPoint(TPoint Point, Cardinal Flags) {
  return MonitorFromRect(Bounds(Point.X, Point.Y, 0, 0), Flags);
}

bool GetMonitorInfo(HMONITOR Monitor, MONITORINFO* Info) {
  if (Monitor == nullptr || Info == nullptr || Info->cbSize != sizeof(MONITORINFO)) return false;
  auto* screen = reinterpret_cast<QScreen*>(Monitor);
  if (!QGuiApplication::screens().contains(screen)) return false;
  Info->rcMonitor = ToTRect(screen->geometry());
  Info->rcWork = ToTRect(screen->availableGeometry());
  Info->dwFlags = screen == QGuiApplication::primaryScreen() ? MONITORINFOF_PRIMARY : 0;
  return true;
}

TRect WorkAreaNearest(const TRect& Rect) {
  MONITORINFO info;
  if (GetMonitorInfo(MonitorFromRect(Rect, MONITOR_DEFAULTTONEAREST), &info)) return info.rcWork;
  TRect area;
  SystemParametersInfo(SPI_GETWORKAREA, 0, &area, 0);
  return area;
}

HWND GetActiveWindow() {
  if (!GuiApplicationExists()) return nullptr;
  return HandleOfWidget(QApplication::activeWindow());
}

// ---------------------------------------------------------------------------
// Window placement of forms

bool GetWindowPlacement(HWND Wnd, WINDOWPLACEMENT* Placement) {
  auto* form = dynamic_cast<TCustomForm*>(WindowControl(Wnd));
  if (form == nullptr || Placement == nullptr || Placement->length != sizeof(WINDOWPLACEMENT)) return false;
  QWidget* w = form->Widget();
  Placement->flags = 0;
  Placement->showCmd = form->WindowState() == wsMaximized   ? SW_SHOWMAXIMIZED
                       : form->WindowState() == wsMinimized ? SW_SHOWMINIMIZED
                                                            : SW_SHOWNORMAL;
  Placement->ptMinPosition = Placement->ptMaxPosition = TPoint{-1, -1};
  QVariant kept = w->property("normalBounds");
  QRect normal = w->normalGeometry();
  if (kept.isValid()) {
    QRect r = kept.toRect();
    Placement->rcNormalPosition = Bounds(r.x(), r.y(), r.width(), r.height());
  } else if (form->WindowState() != wsNormal && w->isVisible() && !normal.isNull()) {
    // The normal geometry is the client area's; a form's Left and Top are
    // its frame's.
    normal.translate(w->pos() - w->geometry().topLeft());
    Placement->rcNormalPosition = Bounds(normal.x(), normal.y(), normal.width(), normal.height());
  } else {
    Placement->rcNormalPosition = form->BoundsRect();
  }
  return true;
}

bool SetWindowPlacement(HWND Wnd, const WINDOWPLACEMENT* Placement) {
  auto* form = dynamic_cast<TCustomForm*>(WindowControl(Wnd));
  if (form == nullptr || Placement == nullptr || Placement->length != sizeof(WINDOWPLACEMENT)) return false;
  const TRect& r = Placement->rcNormalPosition;
  TWindowState state = Placement->showCmd == SW_SHOWMAXIMIZED   ? wsMaximized
                       : Placement->showCmd == SW_SHOWMINIMIZED ? wsMinimized
                                                                : wsNormal;
  if (state == wsNormal) {
    form->SetWindowState(wsNormal);
    form->SetBounds(r.Left, r.Top, r.Width(), r.Height());
  } else {
    form->SetWindowState(state);
    form->Widget()->setProperty("normalBounds", QRect(r.Left, r.Top, r.Width(), r.Height()));
  }
  return true;
}
