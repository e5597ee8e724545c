// Controls: actions, drag and drop, input methods (Controls.h).
#include <QWidget>

#include <cstdlib>
#include <memory>
#include <optional>

#include "platform/gui/Controls.h"
#include "platform/gui/GDI.h"
#include "platform/gui/GuiInternal.h"
#include "platform/gui/Menus.h"

namespace {

struct DragState {
  TControl* source = nullptr;
  TControlRef source_ref{nullptr};
  bool started = false;
  TPoint start;  // screen
  int threshold = 0;
  TControl* target = nullptr;  // under the mouse, accepting
  TControlRef target_ref{nullptr};
  TControl* over = nullptr;  // under the mouse
  TControlRef over_ref{nullptr};
  TPoint last;  // screen
  // A dock drag (DragKind dkDock): its object (the handler's, or owned
  // here) and the mouse's place within the control at the start.
  bool dock = false;
  std::shared_ptr<TDragDockObject> own_dock;
  TDragDockObject* dock_object = nullptr;
  TPoint grab;
};

std::optional<DragState>& Drag() {
  static std::optional<DragState> drag;
  return drag;
}

HKL__* TheLayout() {
  static int layout = 0;
  return reinterpret_cast<HKL__*>(&layout);
}

}  // namespace

HKL GetKeyboardLayout(uint32_t) { return TheLayout(); }
HKL ActivateKeyboardLayout(HKL, uint32_t) { return TheLayout(); }

// ---------------------------------------------------------------------------
// Actions

void TControl::SetAction(TBasicAction* Value) {
  if (Value == action_) return;
  if (action_ != nullptr) action_->RemoveFreeNotification(this);
  action_ = Value;
  if (action_ != nullptr) action_->FreeNotification(this);
}

bool TControl::ExecuteAction(TBasicAction* Action) {
  if (Action == nullptr || !Action->HandlesTarget(this)) return false;
  Action->ExecuteTarget(this);
  return true;
}

bool TControl::UpdateAction(TBasicAction* Action) {
  if (Action == nullptr || !Action->HandlesTarget(this)) return false;
  Action->UpdateTarget(this);
  return true;
}

void TControl::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == action_) action_ = nullptr;
  if (Operation == opRemove && AComponent == popup_menu_) popup_menu_ = nullptr;
}

// ---------------------------------------------------------------------------
// Popup menu

void TControl::SetPopupMenu(TPopupMenu* Value) {
  if (popup_menu_ == Value) return;
  if (popup_menu_ != nullptr) popup_menu_->RemoveFreeNotification(this);
  popup_menu_ = Value;
  if (Value != nullptr) Value->FreeNotification(this);
}

void TControl::WMContextMenu(TMessage& Message) {
  Message.Result = 0;
  TPoint p{GET_X_LPARAM(Message.LParam), GET_Y_LPARAM(Message.LParam)};
  if (popup_menu_ != nullptr && popup_menu_->AutoPopup()) {
    if (p.X == -1 && p.Y == -1) p = ClientToScreen(TPoint{Width() / 2, Height() / 2});
    popup_menu_->SetPopupComponent(this);
    popup_menu_->Popup(p.X, p.Y);
    Message.Result = 1;
    return;
  }
  if (Parent() != nullptr) Message.Result = Parent()->Perform(WM_CONTEXTMENU, Message.WParam, Message.LParam);
}

// ---------------------------------------------------------------------------
// Input methods

void TWinControl::SetImeMode(TImeMode Value) {
  ime_mode_ = Value;
  if (widget_ != nullptr) widget_->setAttribute(Qt::WA_InputMethodEnabled, Value != imDisable);
}

// ---------------------------------------------------------------------------
// Drag and drop

void TControl::BeginDrag(bool Immediate, int Threshold) {
  auto& drag = Drag();
  if (drag && drag->source_ref.Alive()) return;  // one drag at a time
  drag = DragState{};
  drag->source = this;
  drag->source_ref = TControlRef(this);
  drag->start = drag->last = GetCursorPos();
  drag->threshold = Threshold < 0 ? GetSystemMetrics(SM_CXDRAG) : Threshold;
  drag->dock = drag_kind_ == dkDock;
  drag->grab = ScreenToClient(drag->start);
  SetMouseCapture(true);
  if (Immediate) StartDrag();
}

void TControl::BeginAutoDrag(TPoint At) {
  BeginDrag(false);
  auto& drag = Drag();
  if (!drag || drag->source != this) return;
  drag->start = drag->last = At;
  drag->grab = ScreenToClient(At);
}

void TControl::StartDrag() {
  auto& drag = Drag();
  drag->started = true;
  if (!drag->dock) {
    TObject* object = nullptr;
    on_start_drag_(this, object);
    return;
  }
  TDragDockObject* object = nullptr;
  on_start_dock_(this, object);
  if (!Drag() || Drag()->source != this) return;
  if (object == nullptr) {
    drag->own_dock = std::make_shared<TDragDockObject>(this);
    object = drag->own_dock.get();
  }
  drag->dock_object = object;
  DockDragMove(object, drag->last, drag->grab);
}

bool TControl::Dragging() const {
  const auto& drag = Drag();
  return drag && drag->source == this && drag->started && drag->source_ref.Alive();
}

void TControl::DragOver(TObject* Source, int X, int Y, TDragState State, bool& Accept) {
  Accept = false;
  if (!on_drag_over_) return;
  Accept = true;
  on_drag_over_(this, Source, X, Y, State, Accept);
}

void TControl::DragDrop(TObject* Source, int X, int Y) { on_drag_drop_(this, Source, X, Y); }

void TControl::EndDrag(bool Drop) {
  auto& drag = Drag();
  if (!drag || drag->source != this) return;
  DragState state = *drag;
  drag.reset();
  if (MouseCapture()) SetMouseCapture(false);
  if (!state.started) return;
  TControlRef self(this);
  if (state.dock) {
    TWinControl* site = nullptr;
    if (state.dock_object != nullptr) DockDragEnd(this, state.dock_object, Drop, site);
    if (!self) return;
    TPoint p = site != nullptr ? site->ScreenToClient(state.last) : TPoint{};
    on_end_dock_(this, site, p.X, p.Y);
    return;
  }
  TControl* target = Drop && state.target_ref.Alive() ? state.target : nullptr;
  if (target != nullptr) {
    TPoint p = target->ScreenToClient(state.last);
    target->DragDrop(this, p.X, p.Y);
  }
  if (!self) return;
  TPoint p = target != nullptr ? target->ScreenToClient(state.last) : TPoint{};
  on_end_drag_(this, target, p.X, p.Y);
}

bool TControl::DragMessage(TMessage& Message) {
  auto& drag = Drag();
  if (!drag || drag->source != this || Message.Msg < WM_MOUSEFIRST || Message.Msg > WM_MOUSELAST) return false;
  TPoint screen = ClientToScreen({GET_X_LPARAM(Message.LParam), GET_Y_LPARAM(Message.LParam)});
  switch (Message.Msg) {
    case WM_MOUSEMOVE: {
      if (!drag->started) {
        if (std::abs(screen.X - drag->start.X) < drag->threshold &&
            std::abs(screen.Y - drag->start.Y) < drag->threshold)
          return false;
        drag->last = screen;
        StartDrag();
        if (!Drag() || Drag()->source != this || drag->dock) return true;
      }
      drag->last = screen;
      if (drag->dock) {
        if (drag->dock_object != nullptr) DockDragMove(drag->dock_object, screen, drag->grab);
        return true;
      }
      TControl* over = FindControl(WindowFromPoint(screen));
      if (drag->over != over && drag->over_ref.Alive()) {
        bool ignored = false;
        TPoint p = drag->over->ScreenToClient(screen);
        drag->over->DragOver(this, p.X, p.Y, dsDragLeave, ignored);
      }
      bool accept = false;
      if (over != nullptr) {
        TPoint p = over->ScreenToClient(screen);
        over->DragOver(this, p.X, p.Y, drag->over == over ? dsDragMove : dsDragEnter, accept);
      }
      if (!Drag() || Drag()->source != this) return true;
      drag->over = over;
      drag->over_ref = TControlRef(over);
      drag->target = accept ? over : nullptr;
      drag->target_ref = TControlRef(drag->target);
      return true;
    }
    case WM_LBUTTONUP:
      if (!drag->started) {
        drag.reset();
        if (MouseCapture()) SetMouseCapture(false);
        return false;  // a press without a drag: the release clicks as usual
      }
      if (drag->dock && drag->dock_object != nullptr && screen != drag->last)
        DockDragMove(drag->dock_object, screen, drag->grab);
      if (!Drag() || Drag()->source != this) return true;
      drag->last = screen;
      EndDrag(true);
      return true;
    case WM_RBUTTONDOWN:
      EndDrag(false);
      return true;
    default:
      return drag->started;
  }
}
