// Controls: docking and sizing to the children (Controls.h).
#include <QPalette>
#include <QWidget>

#include <algorithm>
#include <climits>
#include <memory>
#include <vector>

#include "platform/gui/Controls.h"
#include "platform/gui/Forms.h"
#include "platform/gui/GuiInternal.h"

namespace {

// The dock sites of the program (DockSite set), in the order they became
// sites.
std::vector<TWinControl*>& DockSites() {
  static std::vector<TWinControl*> sites;
  return sites;
}

// The tool window a floating control is docked in; it goes when its last
// client leaves.
class TFloatingDockForm : public TForm {
 public:
  static TFloatingDockForm* Make() {
    auto* form = new TFloatingDockForm(Application);
    try {
      form->AfterConstruction();
    } catch (...) {
      delete form;
      throw;
    }
    form->SetBorderStyle(bsSizeToolWin);
    form->SetDockSite(true);
    form->SetUseDockManager(true);
    return form;
  }

 private:
  explicit TFloatingDockForm(TComponent* AOwner) : TForm(AOwner, NoResource{}) {}
};

// The dock rectangle of a drag: its outline, as four strips of windows of
// their own that take no input (the mouse within the rectangle stays over
// the windows beneath it).
class DockFrame {
 public:
  static constexpr int kWidth = 3;
  void Show(const TRect& R) {
    const TRect strips[] = {Rect(R.Left, R.Top, R.Right, R.Top + kWidth),
                            Rect(R.Left, R.Bottom - kWidth, R.Right, R.Bottom),
                            Rect(R.Left, R.Top + kWidth, R.Left + kWidth, R.Bottom - kWidth),
                            Rect(R.Right - kWidth, R.Top + kWidth, R.Right, R.Bottom - kWidth)};
    for (size_t i = 0; i < std::size(strips); ++i) {
      if (strips_[i] == nullptr) {
        strips_[i] = std::make_unique<QWidget>(nullptr, Qt::ToolTip | Qt::FramelessWindowHint |
                                                            Qt::WindowTransparentForInput |
                                                            Qt::WindowDoesNotAcceptFocus);
        strips_[i]->setAttribute(Qt::WA_TransparentForMouseEvents);
        QPalette palette = strips_[i]->palette();
        palette.setColor(QPalette::Window, Qt::darkGray);
        strips_[i]->setPalette(palette);
        strips_[i]->setAutoFillBackground(true);
      }
      const TRect& r = strips[i];
      strips_[i]->setGeometry(r.Left, r.Top, std::max(r.Width(), 1), std::max(r.Height(), 1));
      strips_[i]->show();
    }
  }

 private:
  std::unique_ptr<QWidget> strips_[4];
};

// The dock drag in progress: the site under it and the dock rectangle shown.
struct DockDragState {
  TWinControl* over = nullptr;
  TControlRef over_ref{nullptr};
  std::unique_ptr<DockFrame> frame;
};

DockDragState& DockDrag() {
  static DockDragState state;
  return state;
}

TRect ScreenRect(const TControl* Control, const TRect& Local) {
  TPoint origin = Control->ClientToScreen({0, 0});
  TRect r = Local;
  OffsetRect(r, origin.X, origin.Y);
  return r;
}

// The half of Area on the side Align.
TRect SideRect(TRect Area, TAlign Align) {
  switch (Align) {
    case alLeft: Area.Right = Area.Left + Area.Width() / 2; break;
    case alRight: Area.Left = Area.Right - Area.Width() / 2; break;
    case alTop: Area.Bottom = Area.Top + Area.Height() / 2; break;
    case alBottom: Area.Top = Area.Bottom - Area.Height() / 2; break;
    default: break;
  }
  return Area;
}

// True when Site lays out another visible client than Control.
bool HasOtherClients(const TWinControl* Site, const TControl* Control) {
  for (int i = 0; i < Site->DockClientCount(); ++i) {
    TControl* c = Site->DockClients(i);
    if (c != Control && c->Visible()) return true;
  }
  return false;
}

// The side of Area nearest to P (relative to the area's size).
TAlign NearestSide(const TRect& Area, TPoint P) {
  const double w = std::max(Area.Width(), 1), h = std::max(Area.Height(), 1);
  const std::pair<double, TAlign> sides[] = {{(P.X - Area.Left) / w, alLeft},
                                             {(Area.Right - P.X) / w, alRight},
                                             {(P.Y - Area.Top) / h, alTop},
                                             {(Area.Bottom - P.Y) / h, alBottom}};
  return std::min_element(std::begin(sides), std::end(sides))->second;
}

// Where a drop into Site at Screen puts Source's control.
void PositionDockRect(TWinControl* Site, TDragDockObject* Source, TPoint Screen, TRect Free) {
  if (!Site->UseDockManager()) {
    Source->SetDropAlign(alNone);
    Source->SetDockRect(Free);
    return;
  }
  TRect area = ScreenRect(Site, Site->ClientRect());
  TAlign side = HasOtherClients(Site, Source->Control()) ? NearestSide(area, Screen) : alClient;
  Source->SetDropAlign(side);
  Source->SetDockRect(SideRect(area, side));
}

// The site that takes Control with the mouse at Screen: of the sites that
// show, are enabled and lie outside the control, those holding the window
// under the mouse first (innermost first), then the others.
TWinControl* FindDockSite(TControl* Control, TPoint Screen) {
  std::vector<TWinControl*> order;
  for (TWinControl* c = FindControl(WindowFromPoint(Screen)); c != nullptr; c = c->Parent())
    if (c->DockSite()) order.push_back(c);
  for (TWinControl* s : DockSites())
    if (std::find(order.begin(), order.end(), s) == order.end()) order.push_back(s);
  auto* win = dynamic_cast<TWinControl*>(Control);
  for (TWinControl* site : order) {
    if (site == Control || (win != nullptr && win->ContainsControl(site)) || !site->Showing() || !site->Enabled())
      continue;
    TRect influence{};
    bool can_dock = true;
    site->GetSiteInfo(Control, influence, Screen, can_dock);
    if (can_dock && influence.Contains(Screen)) return site;
  }
  return nullptr;
}

// Places a floating window so that its client area is R on the screen.
void PlaceFloating(TWinControl* Host, const TRect& R) {
  Host->SetBounds(R.Left, R.Top, R.Width(), R.Height());
  TPoint at = Host->ClientToScreen({0, 0});  // the window system's frame
  if (at != R.TopLeft()) Host->SetBounds(Host->Left() + R.Left - at.X, Host->Top() + R.Top - at.Y, R.Width(), R.Height());
}

void ShowDockRect(const TRect& R) {
  auto& frame = DockDrag().frame;
  if (frame == nullptr) frame = std::make_unique<DockFrame>();
  frame->Show(R);
}

}  // namespace

// ---------------------------------------------------------------------------
// Internal entry points

void DockControlGone(TControl* Control) {
  std::erase(DockSites(), Control);
  if (DockDrag().over == Control) DockDrag().over = nullptr;
}

void DockClientRemoved(TWinControl* Site, TControl* Client) {
  auto it = std::find(Site->dock_clients_.begin(), Site->dock_clients_.end(), Client);
  if (it == Site->dock_clients_.end()) return;
  Site->dock_clients_.erase(it);
  Client->host_dock_site_ = nullptr;
  if (Site->dock_clients_.empty() && dynamic_cast<TFloatingDockForm*>(Site) != nullptr &&
      !Site->ComponentState().Contains(csDestroying)) {
    Site->Hide();
    static_cast<TFloatingDockForm*>(Site)->Release();
  }
}

void DockDragMove(TDragDockObject* Source, TPoint Screen, TPoint Grab) {
  TControl* control = Source->Control();
  DockDragState& state = DockDrag();
  TSize size = control->UndockedSize();
  TRect free = Bounds(Screen.X - Grab.X, Screen.Y - Grab.Y, size.cx, size.cy);
  Source->SetDragPos(Screen);
  TWinControl* site = FindDockSite(control, Screen);
  TWinControl* previous = state.over_ref.Alive() ? state.over : nullptr;
  if (previous != nullptr && previous != site) {
    bool ignored = false;
    TPoint p = previous->ScreenToClient(Screen);
    previous->DockOver(Source, p.X, p.Y, dsDragLeave, ignored);
  }
  bool accept = false;
  if (site != nullptr) {
    PositionDockRect(site, Source, Screen, free);
    accept = true;
    TPoint p = site->ScreenToClient(Screen);
    site->DockOver(Source, p.X, p.Y, site == previous ? dsDragMove : dsDragEnter, accept);
  }
  state.over = site;
  state.over_ref = TControlRef(site);
  Source->SetDragTarget(accept ? site : nullptr);
  if (!accept) {
    Source->SetDropAlign(alNone);
    Source->SetDockRect(free);
  }
  ShowDockRect(Source->DockRect());
}

void DockDragEnd(TControl* Control, TDragDockObject* Source, bool Drop, TWinControl*& Target) {
  DockDragState& state = DockDrag();
  state.frame.reset();
  state.over = nullptr;
  state.over_ref = TControlRef(nullptr);
  Target = nullptr;
  if (!Drop) return;
  TWinControl* site = Source->DragTarget();
  if (site == nullptr) {
    TRect r = Source->DockRect();
    if (Control->Floating() && Control->HostDockSite()->DockClientCount() == 1) {
      PlaceFloating(Control->HostDockSite(), r);  // the window moves
    } else {
      Control->ManualFloat(r);
    }
    return;
  }
  if (!Control->UndockFor(site)) return;
  TPoint p = site->ScreenToClient(Source->DragPos());
  site->DockDrop(Source, p.X, p.Y);
  if (Control->HostDockSite() == site) Target = site;
}

// ---------------------------------------------------------------------------
// TControl

bool TControl::Floating() const { return dynamic_cast<TFloatingDockForm*>(host_dock_site_) != nullptr; }

TSize TControl::UndockedSize() const {
  if (undock_width_ > 0 && undock_height_ > 0) return {undock_width_, undock_height_};
  return {width_, height_};
}

bool TControl::UndockFor(TWinControl* NewTarget) {
  if (host_dock_site_ == nullptr || host_dock_site_ == NewTarget) return true;
  return host_dock_site_->DoUnDock(NewTarget, this);
}

void TControl::Dock(TWinControl* Site, TDragDockObject* Source) {
  const TRect r = Source->DockRect();
  const TPoint p = Site->ScreenToClient(r.TopLeft());
  const bool managed = Site->UseDockManager();
  const bool was_managed = host_dock_site_ != nullptr && host_dock_site_->UseDockManager();
  if (managed && !was_managed) {
    undock_width_ = width_;
    undock_height_ = height_;
  }
  SetAlign(alNone);
  SetParent(Site);
  if (!managed && was_managed && undock_width_ > 0) SetBounds(p.X, p.Y, undock_width_, undock_height_);
  else SetBounds(p.X, p.Y, r.Width(), r.Height());
  if (managed) SetAlign(Source->DropAlign() == alNone ? alClient : Source->DropAlign());
  else undock_width_ = undock_height_ = 0;
  host_dock_site_ = Site;
  if (std::find(Site->dock_clients_.begin(), Site->dock_clients_.end(), this) == Site->dock_clients_.end())
    Site->dock_clients_.push_back(this);
  SetVisible(true);
}

bool TControl::ManualDock(TWinControl* NewDockSite, TControl* DropControl, TAlign ControlSide) {
  if (NewDockSite == nullptr) {
    TSize size = UndockedSize();
    TPoint at = ClientToScreen({0, 0});
    return ManualFloat(Bounds(at.X, at.Y, size.cx, size.cy));
  }
  auto* win = dynamic_cast<TWinControl*>(this);
  if (NewDockSite == this || (win != nullptr && win->ContainsControl(NewDockSite))) return false;
  TDragDockObject source(this);
  source.SetDropOnControl(DropControl);
  source.SetDragTarget(NewDockSite);
  TRect area = ScreenRect(NewDockSite, NewDockSite->ClientRect());
  if (NewDockSite->UseDockManager()) {
    TAlign side = !HasOtherClients(NewDockSite, this) ? alClient
                  : ControlSide == alNone || ControlSide == alClient ? alRight
                                                                    : ControlSide;
    source.SetDropAlign(side);
    source.SetDockRect(SideRect(area, side));
  } else {
    TSize size = UndockedSize();
    source.SetDockRect(Bounds(area.Left, area.Top, size.cx, size.cy));
  }
  source.SetDragPos(source.DockRect().TopLeft());
  if (!UndockFor(NewDockSite)) return false;
  TPoint p = NewDockSite->ScreenToClient(source.DragPos());
  NewDockSite->DockDrop(&source, p.X, p.Y);
  return host_dock_site_ == NewDockSite;
}

bool TControl::ManualFloat(const TRect& ScreenPos) {
  if (!UndockFor(nullptr)) return false;
  TFloatingDockForm* host = TFloatingDockForm::Make();
  host->SetCaption(Caption());
  host->SetBounds(ScreenPos.Left, ScreenPos.Top, ScreenPos.Width(), ScreenPos.Height());
  TDragDockObject source(this);
  source.SetDragTarget(host);
  source.SetDropAlign(alClient);
  host->HandleNeeded();
  source.SetDockRect(ScreenRect(host, host->ClientRect()));
  host->DockDrop(&source, 0, 0);
  host->Show();
  PlaceFloating(host, ScreenPos);
  return true;
}

// ---------------------------------------------------------------------------
// TWinControl

void TWinControl::SetDockSite(bool Value) {
  if (Value == dock_site_) return;
  dock_site_ = Value;
  if (Value) DockSites().push_back(this);
  else std::erase(DockSites(), this);
}

TControl* TWinControl::DockClients(int Index) const {
  if (Index < 0 || Index >= DockClientCount()) throw EListError("List index out of bounds (%d)", {Index});
  return dock_clients_[static_cast<size_t>(Index)];
}

void TWinControl::GetSiteInfo(TControl* Client, TRect& InfluenceRect, TPoint MousePos, bool& CanDock) {
  InfluenceRect = ScreenRect(this, Rect(0, 0, Width(), Height()));
  InflateRect(InfluenceRect, 10, 10);
  on_get_site_info_(this, Client, InfluenceRect, MousePos, CanDock);
}

void TWinControl::DockOver(TDragDockObject* Source, int X, int Y, TDragState State, bool& Accept) {
  on_dock_over_(this, Source, X, Y, State, Accept);
}

void TWinControl::DockDrop(TDragDockObject* Source, int X, int Y) {
  DisableAlign();
  try {
    Source->Control()->Dock(this, Source);
  } catch (...) {
    EnableAlign();
    throw;
  }
  EnableAlign();
  on_dock_drop_(this, Source, X, Y);
}

bool TWinControl::DoUnDock(TWinControl* NewTarget, TControl* Client) {
  bool allow = true;
  on_un_dock_(this, Client, NewTarget, allow);
  return allow;
}

void TWinControl::SizeToChildren() {
  const bool Width = align_ != alTop && align_ != alBottom && align_ != alClient;
  const bool Height = align_ != alLeft && align_ != alRight && align_ != alClient;
  if (sizing_to_children_ || (!Width && !Height)) return;
  TRect box{INT_MAX, INT_MAX, INT_MIN, INT_MIN};
  for (const TControl* c : controls_) {
    if (!c->visible_) continue;
    box.Left = std::min(box.Left, c->left_);
    box.Top = std::min(box.Top, c->top_);
    box.Right = std::max(box.Right, c->left_ + c->width_);
    box.Bottom = std::max(box.Bottom, c->top_ + c->height_);
  }
  if (box.Left == INT_MAX) return;
  TRect area = ClientRect();
  AdjustClientRect(area);
  const int dx = Width ? area.Left - box.Left : 0, dy = Height ? area.Top - box.Top : 0;
  const int w = Width ? width_ - area.Width() + box.Width() : width_;
  const int h = Height ? height_ - area.Height() + box.Height() : height_;
  sizing_to_children_ = true;
  try {
    if (dx != 0 || dy != 0) {
      for (TControl* c : controls_)
        if (c->align_ == alNone) c->SetBounds(c->left_ + dx, c->top_ + dy, c->width_, c->height_);
    }
    SetBounds(left_, top_, w, h);
  } catch (...) {
    sizing_to_children_ = false;
    throw;
  }
  sizing_to_children_ = false;
}
