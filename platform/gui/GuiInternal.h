// Internal helpers shared by the .cpp files of the GUI layer. No Qt type
// appears here: widgets and events are forward-declared, painters pass as
// void*.
#pragma once

#include "platform/gui/Controls.h"
#include "platform/gui/Graphics.h"

class QEvent;
class QWidget;

// Creates the Qt application object on first need (with the program name as
// its only argument); a no-op when one exists.
void EnsureGuiApplication();
bool GuiApplicationExists();
// Deletes the application object if EnsureGuiApplication made it.
void DestroyGuiApplication();

// Device contexts over a QPainter (passed as void*).
HDC CreatePainterDC(void* Painter);
void DeletePainterDC(HDC DC);
void* PainterOfDC(HDC DC);

// Widget appearance from the control's properties.
void ApplyWidgetFont(QWidget* Widget, const TFont& Font);
// Background colour: the window role, or the base role of text-entry widgets;
// Fill makes the widget paint its background.
void ApplyWidgetColor(QWidget* Widget, TColor Color, bool Base, bool Fill);

// Shows an exception escaping an event handler called from the event loop
// (Application->HandleException); never lets it reach Qt.
void HandleEventException(TObject* Sender);

// Counts nested event deliveries from Qt; widgets of controls freed while one
// runs are deleted later, not under the event's feet.
class TEventScope {
 public:
  TEventScope();
  ~TEventScope();
  TEventScope(const TEventScope&) = delete;
  TEventScope& operator=(const TEventScope&) = delete;
  static bool Inside();
};
// Deletes a widget now, or later when inside an event.
void DisposeWidget(QWidget* Widget);
// Qt cursor shape for a cursor, -1 for the default cursor.
int CursorShape(TCursor Cursor);
// Cursors (Cursors.cpp). Shows a control's Cursor property on its widget.
void ApplyControlCursor(QWidget* Widget, TCursor Cursor);
// Asks the windowed control under the pointer for the cursor (WM_SETCURSOR)
// before a mouse message over Control's Widget.
void PointerCursorRound(TControl* Control, QWidget* Widget, Cardinal MouseMessage);
// The default WM_SETCURSOR of a windowed control.
void DefaultSetCursorHandler(TWinControl* Control, TMessage& Message);
// The screen position of the pointer event being delivered: false outside one.
bool PointerEventPos(TPoint& Pos);
// Registers TSizeConstraints, TControlScrollBar and TScrollingWinControl
// (Forms unit start).
void RegisterLayoutClasses();

// The message queue (Messages.cpp).
// Takes input messages the loop removes from the queue: true when it
// delivered the message itself (Stroke: the key press a queued character
// belongs to, 0 for posted messages).
using TQueuedInputHandler = bool (*)(const TMsg& Msg, uint64_t Stroke);
void SetQueuedInputHandler(TQueuedInputHandler Handler);
// Runs when the loop delivers WM_QUIT.
void SetQuitHandler(void (*Handler)(int ExitCode));
// Appends a message without waking the loop; returns its id.
uint64_t QueueMessage(const TMsg& Msg, uint64_t Stroke);
// Removes the message with the id; false when it is no longer queued.
bool TakeQueuedMessage(uint64_t Id, TMsg& Msg);
void SetMessageTime(int32_t Time);
void SetKeyDown(Word VirtKey, bool Down);

// Input (Controls_Input.cpp).
// Makes the queue hand key messages it delivers to the input path.
void InitInput();
// Delivers a Qt input event on a control's widget (or on its scroll area's
// viewport) as window messages; true when Qt must not handle it further.
bool DeliverInputEvent(QWidget* Widget, TControl* Control, QEvent* Event);
// True while the GUI layer hands Event to Widget's own handling; the event
// filter then lets it through on Widget and stops it elsewhere.
bool IsNativeDelivery(QEvent* Event);
bool IsNativeTarget(QEvent* Event, QWidget* Widget);
// The native handling of an input message that reached DefaultHandler.
void DefaultInputHandler(TControl* Control, TMessage& Message);
// WM_GETDLGCODE of the widget's own kind (edit box, button, list...).
LRESULT NativeDlgCode(QWidget* Widget);
// A control is going away: it loses the capture and the hot-tracking mark.
void ControlGone(TControl* Control);
// Docking (Controls_Dock.cpp): a control is being freed (it leaves the list
// of dock sites); Client left Site's children (it stops being its dock
// client; a floating tool window left empty goes).
void DockControlGone(TControl* Control);
void DockClientRemoved(TWinControl* Site, TControl* Client);
// A dock drag of Source's control: the mouse is at Screen, Grab its place
// within the control when the drag began. Finds the site that takes the
// control (GetSiteInfo, DockOver with the drag states), sets Source's
// DockRect, DropAlign and DragTarget, and shows the dock rectangle.
void DockDragMove(TDragDockObject* Source, TPoint Screen, TPoint Grab);
// Ends it: with Drop, docks the control into its target or floats it;
// Target is the site it docked in (nullptr otherwise).
void DockDragEnd(TControl* Control, TDragDockObject* Source, bool Drop, TWinControl*& Target);
// The control whose input a widget carries (its own widget or a viewport).
TControl* FindInputControl(QWidget* Widget);
// Registers the extra input widgets of a control's widget (scroll-area
// viewports) and sets up mouse tracking; ForgetInputWidgets undoes it.
void AttachInputWidgets(QWidget* Widget, TControl* Control);
void ForgetInputWidgets(QWidget* Widget);

// Window management (Popup.cpp).
// The default WM_NCCALCSIZE and WM_NCPAINT of a windowed control.
void DefaultNonClientHandler(TWinControl* Control, TMessage& Message);
// Makes a top-level widget a drop-down window (Popup.h).
void MakeDropDownWidget(QWidget* Widget);
// The keyboard focus moved from Lost to Gained (nullptr: none of ours): the
// drop-downs that watch the focus hear of it (WatchFocusForDropDown).
void DropDownFocusMoved(HWND Lost, HWND Gained);

// Checks that a control has not been freed since the reference was taken
// (event handlers may free the control that raised them).
class TControlRef {
 public:
  explicit TControlRef(const TControl* Control);
  bool Alive() const;
  explicit operator bool() const { return Alive(); }

 private:
  const TControl* control_;
  uint64_t serial_;
};
