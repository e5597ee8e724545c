// Controls: TControl, TWinControl, TCustomControl, TGraphicControl.
//
// Every control owns one QWidget (forward-declared here; Qt stays in the
// .cpp files). The widget is made lazily: when the control's parent has a
// widget, when the handle is asked for (HandleNeeded / Handle) or when a form
// is shown; until then the properties live only in the control, and they are
// pushed to the widget when it is made (InitWidget). Properties are always
// read from the control, never from Qt.
//
// Geometry: Left/Top/Width/Height are relative to the parent's client area.
// A form's Width/Height are its client size (the window manager draws the
// frame outside). When a windowed control's client size changes, its
// children realign: Align (alTop, alBottom, alLeft, alRight, alClient, in
// that order, each in child order) and Anchors: a control keeps its distance
// to each anchored side of the parent as recorded when its bounds were last
// set outside aligning (or when it was loaded); anchored on both sides it
// stretches, on neither it keeps its relative centre.
//
// Messages: Perform(Msg, W, L) builds a TMessage and runs WindowProc (by
// default WndProc; SetWindowProc replaces it, e.g. to subclass a control),
// which calls Dispatch; Dispatch handles the messages the class knows and
// passes the rest to DefaultHandler, which answers 0. A subclass handles a
// message by overriding Dispatch (or WndProc) and calls the base Dispatch
// where the design says "inherited". A windowed control's Handle is a window
// handle (Messages.h) whose procedure is WindowProc.
//
// Events that the event loop delivers (clicks, keys, paints, timers) catch
// every exception and hand it to Application->HandleException.
//
// Painting of self-drawn windowed controls (TCustomControl, and what uses
// PaintHandler): each paint first sends WM_ERASEBKGND (WParam = the HDC)
// through WindowProc; a handler that erased answers non-zero, otherwise the
// client area is filled with Color (nothing for clNone). Then PaintWindow
// draws. Qt does not fill these widgets itself, so what is not painted shows
// the parent beneath.
//
// Re-creating a window: RecreateWnd (CM_RECREATEWND) makes a windowed
// control's widget and its children's widgets anew from the controls'
// properties, so that what CreateParams and the widget's kind decide (a
// drop-down, a border, a multi-line edit) is applied again. The children,
// the text, the bounds, the showing state and the keyboard focus (when it was
// on the control or inside it) stay. Nothing happens without a window, and
// forms are not re-created.
//
// Window creation: CreateParams describes a windowed control's window.
// Only what Qt can express is applied, to a control without a parent whose
// CreateParams name an owner (WndParent; forms keep their border styles):
// the window is owned by that window (it stays above it and has no taskbar
// entry), and WS_SYSMENU, WS_MINIMIZEBOX and WS_MAXIMIZEBOX give the title
// bar's close, minimise and maximise buttons. The class styles
// (CS_HREDRAW, CS_VREDRAW) and WS_CLIPCHILDREN have no effect: Qt repaints
// a resized widget whole and always clips children.
//
// Notifications of child windows (WM_COMMAND, WM_HSCROLL, WM_VSCROLL whose
// LParam is a control's handle) are reflected by the parent's Dispatch to
// that control as CN_COMMAND, CN_HSCROLL, CN_VSCROLL (the answer is the
// parent's); a subclass that handles them itself does not call the base.
//
// Constraints limit the size SetBounds gives (0: no limit); CanResize
// (OnCanResize) may change or refuse a new size. BiDiMode, Ctl3D,
// ParentBiDiMode and ParentCtl3D are kept for form data and for the code that
// reads them; the platform draws no 3-D borders and no right-to-left layout
// of its own. Hint, ShowHint and ParentShowHint drive the application's hints
// (Hints.h); setting ShowHint clears ParentShowHint.
//
// INPUT. Qt input events on a control's widget (and on the viewport of a
// scroll-area widget) become window messages sent to the control's
// WindowProc, as the class library receives them; the default handlers call
// the virtuals (KeyDown, MouseDown, DoEnter ...). A control that handles a
// message without passing it on stops it: neither the virtual nor the
// widget's own handling runs. The widget's own (Qt) handling is the
// DefaultHandler: a message that reaches it hands the Qt event to the widget
// at that moment; a message sent or posted by code gets a matching Qt event
// made for it.
//
//   Qt event               messages, in this order
//   KeyPress               CN_KEYDOWN (dialog keys, below), WM_KEYDOWN, then
//                          for each character the key produces CN_CHAR and
//                          WM_CHAR; with Alt held CN_SYSKEYDOWN,
//                          WM_SYSKEYDOWN, CN_SYSCHAR, WM_SYSCHAR
//   KeyRelease             CN_KEYUP, WM_KEYUP (WM_SYSKEYUP with Alt)
//   MouseButtonPress       WM_LBUTTONDOWN / WM_RBUTTONDOWN / WM_MBUTTONDOWN
//   MouseButtonDblClick    WM_LBUTTONDBLCLK ... (WndProc makes it a plain
//                          press for a control without csDoubleClicks)
//   MouseButtonRelease     WM_LBUTTONUP ...
//   MouseMove              WM_MOUSEMOVE (widgets track the mouse: moves
//                          arrive with no button held too); before it and
//                          before a press, WM_SETCURSOR to the windowed
//                          control under the pointer (Cursors.h)
//   Wheel                  WM_MOUSEWHEEL (vertical wheel)
//   FocusOut, FocusIn      WM_KILLFOCUS (WParam: the window gaining the focus),
//                          WM_SETFOCUS (WParam: the window that lost it)
//   Enter, Leave, moves    CM_MOUSELEAVE, CM_MOUSEENTER (hot tracking)
//
// Characters (the WM_CHAR of a key press waits in the message queue while
// WM_KEYDOWN is handled, so PeekMessage sees it and can remove it): Ctrl+A..Z
// give 1..26, Ctrl+Enter 10, Ctrl+Backspace 127, Enter 13, Backspace 8, Tab 9,
// Escape 27; other keys their text. Key messages posted to a window take the
// same path when the loop delivers them (their characters from the virtual
// key and the key state). Virtual keys of letters follow the key's position
// when the layout is not Latin (the Cyrillic letter on the D key is 'D').
//
// Default handlers:
// - WM_KEYDOWN: the form's KeyDown first when its KeyPreview is set, then
//   KeyDown; Key 0 ends the message. WM_CHAR: KeyPress the same way (the
//   changed key is what the widget types). WM_KEYUP: KeyUp.
// - WM_LBUTTONDOWN: CM_CANCELMODE to the form's active control (LParam: this
//   control), the widget's handling, the capture (csCaptureMouse), then
//   MouseDown. A double click is MouseDown with ssDouble, then DblClick
//   (csClickEvents). WM_LBUTTONUP: the capture is released, Click when the
//   press was on this control and the release is inside it (csClickEvents),
//   then MouseUp. Right and middle buttons alike, without clicks.
// - WM_MOUSEWHEEL: MouseWheelHandler, by which a form sends CM_MOUSEWHEEL to
//   its focused control; CM_MOUSEWHEEL runs DoMouseWheel (OnMouseWheel, then
//   DoMouseWheelDown/Up per WHEEL_DELTA) and, unhandled, goes to the parent;
//   a wheel nobody handles scrolls the widget under the mouse.
// - WM_SETFOCUS: the form's focus chain runs first: CM_EXIT to each control
//   the focus leaves (innermost first), CM_ENTER to each it enters (outermost
//   first), then CM_FOCUSCHANGED to all the form's controls; CM_ENTER runs
//   DoEnter, CM_EXIT DoExit. A control on no form gets no CM_ENTER/CM_EXIT.
//   The form's ActiveControl follows the focus.
// - WM_CANCELMODE: a control holding the capture releases it and, while its
//   left button is down, gets WM_LBUTTONUP at (-1, -1).
//
// Dialog keys. CN_KEYDOWN's default: CM_CHILDKEY to the control (passed up to
// the parents; not 0 ends the key); then for Tab, the arrows, Enter and
// Escape, unless CM_WANTSPECIALKEY answers not 0 or WM_GETDLGCODE holds
// DLGC_WANTTAB, DLGC_WANTARROWS or DLGC_WANTALLKEYS (Enter, Escape), the form
// gets CM_DIALOGKEY, and when it answers not 0 the key ends (no WM_KEYDOWN,
// no characters). The form: Tab (without Ctrl or Alt) moves the focus to the
// next control in tab order (TabOrder within each parent, depth first) that
// is a TabStop and can take the focus, Shift+Tab backwards; an arrow moves it
// among the active control's siblings; other keys are broadcast to the
// controls: a TButton takes Enter when it is the default button (or it has
// the focus) and Escape when it is Cancel, and clicks. CN_CHAR's default:
// unless WM_GETDLGCODE holds DLGC_WANTCHARS, CM_DIALOGCHAR to the form
// (broadcast; a TButton clicks on its caption's accelerator). While a control
// holds the mouse capture there are no dialog keys. The widget's own
// WM_GETDLGCODE answer: edit boxes want characters and arrows, memos all keys
// too, lists arrows and characters, buttons and plain widgets none.
//
// Mouse capture (MouseCapture, SetCaptureControl, SetCapture): while a
// control holds it, every mouse message from this program's widgets goes to
// it, in its client coordinates (negative outside); the control losing it
// gets WM_CAPTURECHANGED. ShowModal cancels it (WM_CANCELMODE). Hot
// tracking: CM_MOUSEENTER and CM_MOUSELEAVE go to the innermost control under
// the mouse as it changes (disabled ones too); while a control holds the
// capture only it gets them.
//
// When the widget's own handling runs: text-entry widgets (edit box, memo)
// type a key that produces a character at that character's default (an
// unchanged character hands on the key event, a changed one types the new
// character) and handle other keys at WM_KEYDOWN's; other widgets handle keys
// at WM_KEYDOWN's and ignore characters. Tab is never handed to Qt's own
// focus chain (only a memo that wants tabs gets it). Mouse input over a
// disabled control goes to its nearest enabled parent, in its coordinates.
//
// Thin: input-method (composed) text goes straight to the widget; Qt moves
// the focus to a clicked widget before WM_LBUTTONDOWN arrives; focus changes
// for popup menus are no messages; dialog keys know no menu shortcuts or
// actions; Qt input still waiting in Qt's queue is not visible to
// PeekMessage.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "platform/gui/Graphics.h"
#include "platform/gui/Messages.h"
#include "platform/gui/Types.h"
#include "platform/rtl/Actions.h"
#include "platform/rtl/Alignment.h"
#include "platform/rtl/Component.h"
#include "platform/rtl/TypInfo.h"

class QWidget;
class TWinControl;
class TWindowScrollBars;
class TPopupMenu;

RTL_ENUM(TAlign, alNone, alTop, alBottom, alLeft, alRight, alClient, alCustom);
RTL_ENUM(TAnchorKind, akLeft, akTop, akRight, akBottom);
using TAnchors = Set<TAnchorKind>;
RTL_ENUM(TMouseButton, mbLeft, mbRight, mbMiddle);
RTL_ENUM(TShiftStateItem, ssShift, ssAlt, ssCtrl, ssLeft, ssRight, ssMiddle, ssDouble);
using TShiftState = Set<TShiftStateItem>;
RTL_ENUM(TScrollStyle, ssNone, ssHorizontal, ssVertical, ssBoth);
RTL_ENUM(TControlStyleItem, csAcceptsControls, csCaptureMouse, csDesignInteractive, csClickEvents, csFramed,
         csSetCaption, csOpaque, csDoubleClicks, csFixedWidth, csFixedHeight, csNoDesignVisible, csReplicatable,
         csNoStdEvents, csDisplayDragImage, csReflector, csActionClient, csMenuEvents);
using TControlStyle = Set<TControlStyleItem>;
RTL_ENUM(TControlStateItem, csLButtonDown, csClicked, csPalette, csReadingState, csAlignmentNeeded, csFocusing,
         csCreating, csPaintCopy, csCustomPaint, csDestroyingHandle, csDocking);
using TControlState = Set<TControlStateItem>;

enum TCursor : int16_t {
  crDefault = 0,
  crNone = -1,
  crArrow = -2,
  crCross = -3,
  crIBeam = -4,
  crSizeNESW = -6,
  crSizeNS = -7,
  crSizeNWSE = -8,
  crSizeWE = -9,
  crUpArrow = -10,
  crHourGlass = -11,
  crDrag = -12,
  crNoDrop = -13,
  crHSplit = -14,
  crVSplit = -15,
  crMultiDrag = -16,
  crSQLWait = -17,
  crNo = -18,
  crAppStart = -19,
  crHelp = -20,
  crHandPoint = -21,
  crSizeAll = -22,
};
std::span<const TIdentMapEntry> CursorIdents();
RTL_INT_CONSTS(TCursor, CursorIdents)

using TMouseEvent = Event<void(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y)>;
using TMouseMoveEvent = Event<void(TObject* Sender, TShiftState Shift, int X, int Y)>;
using TKeyEvent = Event<void(TObject* Sender, Word& Key, TShiftState Shift)>;
using TKeyPressEvent = Event<void(TObject* Sender, WideChar& Key)>;
using TCanResizeEvent = Event<void(TObject* Sender, int& NewWidth, int& NewHeight, bool& Resize)>;

RTL_ENUM(TBiDiMode, bdLeftToRight, bdRightToLeft, bdRightToLeftNoAlign, bdRightToLeftReadingOnly);
// Drag and drop (Controls_Drag.cpp). Thin: a drag moves no data and shows
// no drag image; it runs between the controls of this program only. A left
// press on a control whose DragMode is dmAutomatic begins a drag (once the
// mouse moves SM_CXDRAG pixels) in place of the press's own handling.
RTL_ENUM(TDragMode, dmManual, dmAutomatic);
RTL_ENUM(TDragKind, dkDrag, dkDock);
RTL_ENUM(TDragState, dsDragEnter, dsDragLeave, dsDragMove);
class TControl;
using TDragOverEvent =
    Event<void(TObject* Sender, TObject* Source, int X, int Y, TDragState State, bool& Accept)>;
using TDragDropEvent = Event<void(TObject* Sender, TObject* Source, int X, int Y)>;
using TEndDragEvent = Event<void(TObject* Sender, TObject* Target, int X, int Y)>;
using TStartDragEvent = Event<void(TObject* Sender, TObject*& DragObject)>;
// Docking (Controls_Dock.cpp; see TControl's docking members).
class TDragDockObject;
using TStartDockEvent = Event<void(TObject* Sender, TDragDockObject*& DragObject)>;
using TDockOverEvent =
    Event<void(TObject* Sender, TDragDockObject* Source, int X, int Y, TDragState State, bool& Accept)>;
using TDockDropEvent = Event<void(TObject* Sender, TDragDockObject* Source, int X, int Y)>;
using TUnDockEvent = Event<void(TObject* Sender, TControl* Client, TWinControl* NewTarget, bool& Allow)>;
using TGetSiteInfoEvent =
    Event<void(TObject* Sender, TControl* DockClient, TRect& InfluenceRect, TPoint MousePos, bool& CanDock)>;
// Input methods: imDisable turns the input method off for the control's
// window; the other modes and the input-method name are kept only.
RTL_ENUM(TImeMode, imDisable, imClose, imOpen, imDontCare, imSAlpha, imAlpha, imHira, imSKata, imKata, imChinese,
         imSHanguel, imHanguel);
using TImeName = String;
// Keyboard layouts: this platform knows one; ActivateKeyboardLayout answers
// it (the layout in force before) and changes nothing.
struct HKL__;
using HKL = HKL__*;
HKL GetKeyboardLayout(uint32_t ThreadId);
HKL ActivateKeyboardLayout(HKL Layout, uint32_t Flags);
RTL_ENUM(TScalingFlag, sfLeft, sfTop, sfWidth, sfHeight, sfFont, sfDesignSize);
using TScalingFlags = Set<TScalingFlag>;

// Window styles and class styles of TCreateParams.
inline constexpr uint32_t WS_OVERLAPPED = 0x00000000, WS_POPUP = 0x80000000, WS_CHILD = 0x40000000,
                          WS_VISIBLE = 0x10000000, WS_DISABLED = 0x08000000, WS_CLIPSIBLINGS = 0x04000000,
                          WS_CLIPCHILDREN = 0x02000000, WS_CAPTION = 0x00C00000, WS_BORDER = 0x00800000,
                          WS_SYSMENU = 0x00080000, WS_THICKFRAME = 0x00040000, WS_MINIMIZEBOX = 0x00020000,
                          WS_MAXIMIZEBOX = 0x00010000, WS_TABSTOP = 0x00010000,
                          WS_HSCROLL = 0x00100000, WS_VSCROLL = 0x00200000;
inline constexpr uint32_t WS_EX_TOPMOST = 0x00000008, WS_EX_TOOLWINDOW = 0x00000080,
                          WS_EX_CONTROLPARENT = 0x00010000;
inline constexpr uint32_t CS_VREDRAW = 0x0001, CS_HREDRAW = 0x0002, CS_DBLCLKS = 0x0008;

struct TCreateParams {
  String Caption;
  uint32_t Style = 0;
  uint32_t ExStyle = 0;
  int X = 0, Y = 0, Width = 0, Height = 0;
  HWND WndParent = nullptr;
  struct {
    uint32_t style = 0;
  } WindowClass;
};

// Size limits of a control (0: none).
class TSizeConstraints : public TPersistent {
 public:
  int MaxHeight() const { return max_height_; }
  void SetMaxHeight(int Value) { Set(max_height_, Value); }
  int MaxWidth() const { return max_width_; }
  void SetMaxWidth(int Value) { Set(max_width_, Value); }
  int MinHeight() const { return min_height_; }
  void SetMinHeight(int Value) { Set(min_height_, Value); }
  int MinWidth() const { return min_width_; }
  void SetMinWidth(int Value) { Set(min_width_, Value); }
  void Assign(TPersistent* Source) override;
  const TNotifyEvent& OnChange() const { return on_change_; }
  void SetOnChange(TNotifyEvent Value) { on_change_ = std::move(Value); }
  // Limits a width and height.
  void Apply(int& Width, int& Height) const;

 private:
  void Set(int& Field, int Value);
  int max_height_ = 0, max_width_ = 0, min_height_ = 0, min_width_ = 0;
  TNotifyEvent on_change_;
};

using TMouseWheelEvent =
    Event<void(TObject* Sender, TShiftState Shift, int WheelDelta, TPoint MousePos, bool& Handled)>;
using TMouseWheelUpDownEvent = Event<void(TObject* Sender, TShiftState Shift, TPoint MousePos, bool& Handled)>;

// The shift state of mouse messages' MK_ flags (Alt from the key state), and
// of key data (Shift and Ctrl from the key state, Alt from bit 29).
TShiftState KeysToShiftState(Word Keys);
TShiftState KeyDataToShiftState(LPARAM KeyData);

class TControl : public TComponent {
 public:
  explicit TControl(TComponent* AOwner);
  ~TControl() override;
  void BeforeDestruction() override;

  // Parent (the windowed control this one lies in).
  TWinControl* Parent() const { return parent_; }
  virtual void SetParent(TWinControl* AParent);
  void SetParentComponent(TComponent* Value) override;
  TComponent* GetParentComponent() const override;
  bool HasParent() const override { return true; }

  // Bounds.
  int Left() const { return left_; }
  int Top() const { return top_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  void SetLeft(int Value) { SetBounds(Value, top_, width_, height_); }
  void SetTop(int Value) { SetBounds(left_, Value, width_, height_); }
  void SetWidth(int Value) { SetBounds(left_, top_, Value, height_); }
  void SetHeight(int Value) { SetBounds(left_, top_, width_, Value); }
  virtual void SetBounds(int ALeft, int ATop, int AWidth, int AHeight);
  TRect BoundsRect() const { return Bounds(left_, top_, width_, height_); }
  void SetBoundsRect(const TRect& R) { SetBounds(R.Left, R.Top, R.Width(), R.Height()); }
  virtual TRect ClientRect() const { return Rect(0, 0, width_, height_); }
  int ClientWidth() const { return ClientRect().Width(); }
  int ClientHeight() const { return ClientRect().Height(); }
  virtual void SetClientWidth(int Value);
  virtual void SetClientHeight(int Value);
  TPoint ClientToScreen(TPoint P) const;
  TPoint ScreenToClient(TPoint P) const;
  TAlign Align() const { return align_; }
  void SetAlign(TAlign Value);
  TAnchors Anchors() const { return anchors_; }
  void SetAnchors(TAnchors Value);
  TSizeConstraints* Constraints() const { return constraints_.get(); }
  void SetConstraints(TSizeConstraints* Value) { constraints_->Assign(Value); }
  const TCanResizeEvent& OnCanResize() const { return on_can_resize_; }
  void SetOnCanResize(TCanResizeEvent Value) { on_can_resize_ = std::move(Value); }
  // Kept for form data (see above).
  TBiDiMode BiDiMode() const { return bidi_mode_; }
  void SetBiDiMode(TBiDiMode Value) { bidi_mode_ = Value; }
  bool ParentBiDiMode() const { return parent_bidi_mode_; }
  void SetParentBiDiMode(bool Value) { parent_bidi_mode_ = Value; }
  bool Ctl3D() const { return ctl3d_; }
  // A change sends CM_CTL3DCHANGED.
  void SetCtl3D(bool Value);
  bool ParentCtl3D() const { return parent_ctl3d_; }
  void SetParentCtl3D(bool Value) { parent_ctl3d_ = Value; }
  bool ParentShowHint() const { return parent_show_hint_; }
  void SetParentShowHint(bool Value) { parent_show_hint_ = Value; }

  // State and appearance.
  bool Visible() const { return visible_; }
  virtual void SetVisible(bool Value);
  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }
  // Visible and every parent visible (a form: shown).
  virtual bool Showing() const;
  bool Enabled() const { return enabled_; }
  virtual void SetEnabled(bool Value);
  TColor Color() const { return color_; }
  void SetColor(TColor Value);
  bool ParentColor() const { return parent_color_; }
  void SetParentColor(bool Value);
  TFont* Font() const { return font_.get(); }
  void SetFont(TFont* Value) { font_->Assign(Value); }
  bool ParentFont() const { return parent_font_; }
  void SetParentFont(bool Value);
  // Caption and Text are the same text.
  const String& Caption() const { return text_; }
  void SetCaption(const String& Value) { SetText(Value); }
  virtual String Text() const { return text_; }
  virtual void SetText(const String& Value);
  const String& Hint() const { return hint_; }
  void SetHint(const String& Value);
  bool ShowHint() const { return show_hint_; }
  void SetShowHint(bool Value);
  TCursor Cursor() const { return cursor_; }
  void SetCursor(TCursor Value);
  // Color and Font are stored unless taken from the parent.
  bool IsColorStored() const { return !parent_color_; }
  bool IsFontStored() const { return !parent_font_; }

  // Events.
  const TNotifyEvent& OnClick() const { return on_click_; }
  void SetOnClick(TNotifyEvent Value) { on_click_ = std::move(Value); }
  const TNotifyEvent& OnDblClick() const { return on_dbl_click_; }
  void SetOnDblClick(TNotifyEvent Value) { on_dbl_click_ = std::move(Value); }
  const TMouseEvent& OnMouseDown() const { return on_mouse_down_; }
  void SetOnMouseDown(TMouseEvent Value) { on_mouse_down_ = std::move(Value); }
  const TMouseEvent& OnMouseUp() const { return on_mouse_up_; }
  void SetOnMouseUp(TMouseEvent Value) { on_mouse_up_ = std::move(Value); }
  const TMouseMoveEvent& OnMouseMove() const { return on_mouse_move_; }
  void SetOnMouseMove(TMouseMoveEvent Value) { on_mouse_move_ = std::move(Value); }
  const TNotifyEvent& OnResize() const { return on_resize_; }
  void SetOnResize(TNotifyEvent Value) { on_resize_ = std::move(Value); }

  // Runs OnClick; without one (or with the action's own OnExecute) the
  // action executes, with this control as its ActionComponent.
  virtual void Click();

  // Actions (platform/rtl/Actions.h). ExecuteAction and UpdateAction answer
  // whether the control took the action: by default when the action
  // HandlesTarget(this), after ExecuteTarget/UpdateTarget.
  TBasicAction* Action() const { return action_; }
  void SetAction(TBasicAction* Value);
  virtual bool ExecuteAction(TBasicAction* Action);
  virtual bool UpdateAction(TBasicAction* Action);
  void Notification(TComponent* AComponent, TOperation Operation) override;

  // The menu a right click (WM_CONTEXTMENU, sent after the right button's
  // release) pops up at the mouse, with this control as its PopupComponent,
  // when the menu's AutoPopup is set; a control without one hands the
  // message to its parent. Kept valid by free notification.
  TPopupMenu* PopupMenu() const { return popup_menu_; }
  void SetPopupMenu(TPopupMenu* Value);

  // Drag and drop (thin, see above). BeginDrag starts a drag at once, or
  // with Immediate false once the mouse has moved Threshold pixels (-1:
  // SM_CXDRAG) with the button held; the control holds the mouse meanwhile.
  // The release drops on the control under the mouse when its DragOver
  // accepts (DragDrop), then EndDrag runs OnEndDrag with that target (or
  // none). A right press or EndDrag(false) cancels it.
  TDragMode DragMode() const { return drag_mode_; }
  void SetDragMode(TDragMode Value) { drag_mode_ = Value; }
  TDragKind DragKind() const { return drag_kind_; }
  void SetDragKind(TDragKind Value) { drag_kind_ = Value; }
  TCursor DragCursor() const { return drag_cursor_; }
  void SetDragCursor(TCursor Value) { drag_cursor_ = Value; }
  void BeginDrag(bool Immediate, int Threshold = -1);
  void EndDrag(bool Drop);
  bool Dragging() const;
  virtual void DragOver(TObject* Source, int X, int Y, TDragState State, bool& Accept);
  virtual void DragDrop(TObject* Source, int X, int Y);
  const TDragOverEvent& OnDragOver() const { return on_drag_over_; }
  void SetOnDragOver(TDragOverEvent Value) { on_drag_over_ = std::move(Value); }
  const TDragDropEvent& OnDragDrop() const { return on_drag_drop_; }
  void SetOnDragDrop(TDragDropEvent Value) { on_drag_drop_ = std::move(Value); }
  const TEndDragEvent& OnEndDrag() const { return on_end_drag_; }
  void SetOnEndDrag(TEndDragEvent Value) { on_end_drag_ = std::move(Value); }
  const TStartDragEvent& OnStartDrag() const { return on_start_drag_; }
  void SetOnStartDrag(TStartDragEvent Value) { on_start_drag_ = std::move(Value); }

  // Docking (Controls_Dock.cpp). A control whose DragKind is dkDock drags as
  // a dock drag: OnStartDock runs in place of OnStartDrag (a handler may
  // give a TDragDockObject of its own), the dock rectangle shows where the
  // control would go, and the release docks it into the site that accepts
  // or, over no such site, floats it in a tool window of its own at the
  // dock rectangle; OnEndDock then runs with the site (nullptr when it
  // floats or when the drag was cancelled). Docking (ManualDock, or a drop)
  // first asks the site the control leaves (OnUnDock): a refusal leaves it
  // where it was. HostDockSite is the site the control is docked in.
  TWinControl* HostDockSite() const { return host_dock_site_; }
  // True while the control is docked in a floating tool window.
  bool Floating() const;
  // Docks into NewDockSite (nullptr: floats at the control's place) as a
  // drop would: on the side ControlSide of a site with a dock manager (its
  // first client fills it; alNone or alClient beside other clients: the
  // right half), at the top-left corner of another site. DropControl is
  // kept in the drop's object. False when refused.
  bool ManualDock(TWinControl* NewDockSite, TControl* DropControl = nullptr, TAlign ControlSide = alNone);
  // Floats the control in a tool window whose client area is ScreenPos.
  bool ManualFloat(const TRect& ScreenPos);
  const TStartDockEvent& OnStartDock() const { return on_start_dock_; }
  void SetOnStartDock(TStartDockEvent Value) { on_start_dock_ = std::move(Value); }
  const TEndDragEvent& OnEndDock() const { return on_end_dock_; }
  void SetOnEndDock(TEndDragEvent Value) { on_end_dock_ = std::move(Value); }

  // Scaling by M/D (Controls_Scale.cpp): ChangeScale scales the bounds (the
  // right and bottom edges are scaled, so neighbours stay flush) and, unless
  // ParentFont, the font size; while loading only what ScalingFlags names,
  // otherwise everything. ScalingFlags are cleared afterwards.
  virtual void ChangeScale(int M, int D);
  TScalingFlags ScalingFlags() const { return scaling_flags_; }
  void SetScalingFlags(TScalingFlags Value) { scaling_flags_ = Value; }

  // Control style (the class's input behaviour) and transient state.
  TControlStyle ControlStyle() const { return control_style_; }
  void SetControlStyle(TControlStyle Value) { control_style_ = Value; }
  TControlState ControlState() const { return control_state_; }
  void SetControlState(TControlState Value) { control_state_ = Value; }

  // Mouse capture: true while this control gets every mouse message.
  bool MouseCapture() const;
  void SetMouseCapture(bool Value);

  const TMouseWheelEvent& OnMouseWheel() const { return on_mouse_wheel_; }
  void SetOnMouseWheel(TMouseWheelEvent Value) { on_mouse_wheel_ = std::move(Value); }
  const TMouseWheelUpDownEvent& OnMouseWheelDown() const { return on_mouse_wheel_down_; }
  void SetOnMouseWheelDown(TMouseWheelUpDownEvent Value) { on_mouse_wheel_down_ = std::move(Value); }
  const TMouseWheelUpDownEvent& OnMouseWheelUp() const { return on_mouse_wheel_up_; }
  void SetOnMouseWheelUp(TMouseWheelUpDownEvent Value) { on_mouse_wheel_up_ = std::move(Value); }

  // Painting.
  void Invalidate();
  void Repaint();
  void Update();
  void Refresh() { Repaint(); }
  void BringToFront();

  // Messages.
  LRESULT Perform(Cardinal Msg, WPARAM WParam = 0, LPARAM LParam = 0);
  // Runs the window procedure on a message as it stands.
  void Perform(TMessage& Message);
  // The window procedure every message of this control goes through.
  TWndMethod WindowProc() const;
  // Replaces it (an empty method restores WndProc).
  void SetWindowProc(TWndMethod Value) { window_proc_ = std::move(Value); }
  // Whether SetWindowProc has replaced WndProc.
  bool WindowProcReplaced() const { return window_proc_.Assigned(); }
  virtual void WndProc(TMessage& Message);
  virtual void Dispatch(TMessage& Message);
  virtual void DefaultHandler(TMessage& Message);

  // The widget (nullptr until made).
  QWidget* Widget() const { return widget_; }
  bool WidgetAllocated() const { return widget_ != nullptr; }
  // Makes the widget (and the parents' widgets first).
  virtual void HandleNeeded();

  void Loaded() override;

  // Mouse virtuals, run by the default handlers of the mouse messages.
  virtual void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y);
  virtual void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y);
  virtual void MouseMove(TShiftState Shift, int X, int Y);
  virtual void DblClick();
  // Wheel: true when handled. DoMouseWheel fires OnMouseWheel, then one
  // DoMouseWheelDown/Up per WHEEL_DELTA gathered.
  virtual bool DoMouseWheel(TShiftState Shift, int WheelDelta, TPoint MousePos);
  virtual bool DoMouseWheelDown(TShiftState Shift, TPoint MousePos);
  virtual bool DoMouseWheelUp(TShiftState Shift, TPoint MousePos);
  // Sends CM_MOUSEWHEEL where the wheel goes (a form: its focused control).
  virtual void MouseWheelHandler(TMessage& Message);
  // Bounds changed by the window system (top-level windows).
  void WidgetResized(int AWidth, int AHeight);
  void WidgetMoved(int ALeft, int ATop);
  // The window system asks to close a top-level window: true lets it close.
  virtual bool WidgetCloseRequested() { return true; }

 protected:
  // Makes the widget inside ParentWidget (nullptr for a top-level window).
  virtual QWidget* CreateWidget(QWidget* ParentWidget);
  // Pushes the control's state into a fresh widget.
  virtual void InitWidget();
  virtual void DestroyWidget();
  void CreateHandle();
  // The bounds of the widget changed: position it.
  virtual void ApplyBounds();
  virtual void FontChanged();
  virtual void ColorChanged();
  virtual void TextChanged();
  virtual void VisibleChanged();
  virtual void Resize();
  // May change the new size or refuse it (false); runs OnCanResize.
  virtual bool CanResize(int& NewWidth, int& NewHeight);
  // True for text-entry widgets whose Color is the base colour.
  virtual bool ColorIsBase() const { return false; }
  // True when the widget paints its own background in Color.
  virtual bool FillsBackground() const { return false; }
  void ParentFontChanged();
  void ParentColorChanged();
  // Anchors: the reference bounds and parent size.
  void UpdateAnchorRules();
  void AnchorTo(int ParentWidth, int ParentHeight);
  void RequestAlign();
  void SetBoundsInternal(int ALeft, int ATop, int AWidth, int AHeight, bool Aligning);

  QWidget* widget_ = nullptr;

 private:
  friend class TWinControl;
  void FontChangedHandler(TObject* Sender);
  // Default handlers of the mouse messages.
  void WMButtonDown(TMessage& Message, TMouseButton Button, TShiftState Shift);
  void WMButtonUp(TMessage& Message, TMouseButton Button);
  void WMMouseMove(TMessage& Message);
  void WMMouseWheel(TMessage& Message);
  void CMMouseWheel(TMessage& Message);
  void WMCancelMode(TMessage& Message);
  // Cancels other modes before a press (CM_CANCELMODE to the active control
  // of each form this control lies in).
  void CancelModes(TControl* Sender);

  TWinControl* parent_ = nullptr;
  int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
  TAlign align_ = alNone;
  TAnchors anchors_{akLeft, akTop};
  struct AnchorBase {
    bool valid = false;
    int left = 0, top = 0, width = 0, height = 0, parentWidth = 0, parentHeight = 0;
  } anchor_base_;
  bool visible_ = true;
  bool enabled_ = true;
  TColor color_ = clBtnFace;
  bool parent_color_ = true;
  std::unique_ptr<TFont> font_;
  bool parent_font_ = true;
  bool font_from_parent_ = false;
  String text_;
  String hint_;
  bool show_hint_ = false;
  TCursor cursor_ = crDefault;
  std::unique_ptr<TSizeConstraints> constraints_;
  TCanResizeEvent on_can_resize_;
  TBiDiMode bidi_mode_ = bdLeftToRight;
  bool parent_bidi_mode_ = true;
  bool ctl3d_ = true;
  bool parent_ctl3d_ = true;
  bool parent_show_hint_ = true;
  TNotifyEvent on_click_, on_dbl_click_, on_resize_;
  TMouseEvent on_mouse_down_, on_mouse_up_;
  TMouseMoveEvent on_mouse_move_;
  TMouseWheelEvent on_mouse_wheel_;
  TMouseWheelUpDownEvent on_mouse_wheel_down_, on_mouse_wheel_up_;
  TControlStyle control_style_{csCaptureMouse, csClickEvents, csSetCaption, csDoubleClicks};
  TControlState control_state_;
  TWndMethod window_proc_;
  int wheel_accumulator_ = 0;
  TScalingFlags scaling_flags_;
  TBasicAction* action_ = nullptr;
  TPopupMenu* popup_menu_ = nullptr;
  void WMContextMenu(TMessage& Message);
  TDragMode drag_mode_ = dmManual;
  TDragKind drag_kind_ = dkDrag;
  TCursor drag_cursor_ = crDrag;
  TDragOverEvent on_drag_over_;
  TDragDropEvent on_drag_drop_;
  TEndDragEvent on_end_drag_;
  TStartDragEvent on_start_drag_;
  // A drag in progress takes the mouse messages (true: consumed).
  bool DragMessage(TMessage& Message);
  // The pending drag starts (OnStartDrag, or OnStartDock for a dock drag).
  void StartDrag();
  // A press at At (screen) of a control with dmAutomatic: a drag waits for
  // the mouse to move.
  void BeginAutoDrag(TPoint At);
  TWinControl* host_dock_site_ = nullptr;
  // The size the control had before a dock manager sized it (floating
  // gives it back).
  int undock_width_ = 0, undock_height_ = 0;
  TStartDockEvent on_start_dock_;
  TEndDragEvent on_end_dock_;
  // The last step of docking: into Site at Source's DockRect (aligned to
  // its DropAlign when Site has a dock manager).
  void Dock(TWinControl* Site, TDragDockObject* Source);
  // Asks the host the control leaves for NewTarget (OnUnDock).
  bool UndockFor(TWinControl* NewTarget);
  TSize UndockedSize() const;
  friend void DockDragMove(TDragDockObject* Source, TPoint Screen, TPoint Grab);
  friend void DockDragEnd(TControl* Control, TDragDockObject* Source, bool Drop, TWinControl*& Target);
  friend void DockClientRemoved(TWinControl* Site, TControl* Client);
};

class TWinControl : public TControl {
 public:
  explicit TWinControl(TComponent* AOwner);
  ~TWinControl() override;
  void BeforeDestruction() override;

  int ControlCount() const { return static_cast<int>(controls_.size()); }
  TControl* Controls(int Index) const;
  void InsertControl(TControl* AControl);
  void RemoveControl(TControl* AControl);
  bool ContainsControl(const TControl* AControl) const;

  // The window handle (makes the widget).
  HWND Handle();
  // The widget that is the window on screen: the non-client frame when the
  // window has a non-client area (Popup.h), else Widget().
  QWidget* WindowWidget() const;
  // The client area: the bounds less the non-client area (Popup.h) and less
  // the room of the window's shown scroll bars (ScrollBars.h).
  TRect ClientRect() const override;
  bool HandleAllocated() const { return hwnd_ != nullptr; }
  void HandleNeeded() override;

  // Focus and tab order.
  bool TabStop() const { return tab_stop_; }
  void SetTabStop(bool Value);
  // Position among the parent's windowed children in tab order (-1 without parent).
  int TabOrder() const;
  void SetTabOrder(int Value);
  // Windowed children in tab order.
  std::vector<TWinControl*> TabList() const { return tab_list_; }
  // Every windowed control inside, in tab order (depth first).
  void GetTabOrderList(std::vector<TWinControl*>& List) const;
  // The control after (before) CurControl in that order, wrapping round,
  // that can take the focus, with CheckTabStop only TabStop ones, with
  // CheckParent only direct children; nullptr when none.
  TWinControl* FindNextControl(TWinControl* CurControl, bool GoForward, bool CheckTabStop, bool CheckParent) const;
  // Focuses FindNextControl(CurControl, GoForward, CheckTabStop, !CheckTabStop).
  void SelectNext(TWinControl* CurControl, bool GoForward, bool CheckTabStop);
  virtual bool CanFocus() const;
  virtual void SetFocus();
  bool Focused() const;
  TImeMode ImeMode() const { return ime_mode_; }
  void SetImeMode(TImeMode Value);
  const TImeName& ImeName() const { return ime_name_; }
  void SetImeName(const TImeName& Value) { ime_name_ = Value; }
  const TNotifyEvent& OnEnter() const { return on_enter_; }
  void SetOnEnter(TNotifyEvent Value) { on_enter_ = std::move(Value); }
  const TNotifyEvent& OnExit() const { return on_exit_; }
  void SetOnExit(TNotifyEvent Value) { on_exit_ = std::move(Value); }
  const TKeyEvent& OnKeyDown() const { return on_key_down_; }
  void SetOnKeyDown(TKeyEvent Value) { on_key_down_ = std::move(Value); }
  const TKeyEvent& OnKeyUp() const { return on_key_up_; }
  void SetOnKeyUp(TKeyEvent Value) { on_key_up_ = std::move(Value); }
  const TKeyPressEvent& OnKeyPress() const { return on_key_press_; }
  void SetOnKeyPress(TKeyPressEvent Value) { on_key_press_ = std::move(Value); }

  // Moves every child by (DeltaX, DeltaY) (their anchors keep their rules).
  void ScrollBy(int DeltaX, int DeltaY);
  // Paints the window (its non-client area included) and its children onto
  // Canvas with the top-left corner at (X, Y) (the widget is made when needed).
  void PaintTo(TCanvas* Canvas, int X, int Y);
  // The paint of a self-drawn control: WM_ERASEBKGND, then PaintWindow.
  void PaintHandler(HDC DC);
  virtual void PaintWindow(HDC DC);

  // Scales the children and then the control (ChangeScale) with aligning
  // held; ScaleBy scales the children and the control's size and font, not
  // its position.
  void ChangeScale(int M, int D) override;
  void ScaleBy(int M, int D);
  // ChangeScale on every child.
  void ScaleControls(int M, int D);

  // Makes the window anew (see above): sends CM_RECREATEWND when the window
  // exists.
  void RecreateWnd();

  // Realigns the children (Align and Anchors) to the client area.
  void Realign();
  void DisableAlign() { ++align_lock_; }
  void EnableAlign();

  void Loaded() override;

  // Docking (Controls_Dock.cpp; see TControl). A dock site (DockSite) takes
  // dock drags of other controls: over it, GetSiteInfo (OnGetSiteInfo) gives
  // the rectangle of the screen where it takes them (its window, 10 pixels
  // more each way) and whether it takes this one, and DockOver (OnDockOver,
  // accepting unless the handler says no) may change the drop's DockRect.
  // Of the sites that take the control, those under the mouse come first,
  // innermost first. The drop runs DockDrop: the control becomes the site's
  // child and dock client, then OnDockDrop. With UseDockManager the site
  // lays its clients out by alignment: the first takes the whole client
  // area (alClient), each further one half of it on the side nearest the
  // mouse (DropAlign); without, a client keeps its size where it was dropped.
  bool DockSite() const { return dock_site_; }
  void SetDockSite(bool Value);
  bool UseDockManager() const { return use_dock_manager_; }
  void SetUseDockManager(bool Value) { use_dock_manager_ = Value; }
  int DockClientCount() const { return static_cast<int>(dock_clients_.size()); }
  TControl* DockClients(int Index) const;
  virtual void GetSiteInfo(TControl* Client, TRect& InfluenceRect, TPoint MousePos, bool& CanDock);
  virtual void DockOver(TDragDockObject* Source, int X, int Y, TDragState State, bool& Accept);
  virtual void DockDrop(TDragDockObject* Source, int X, int Y);
  const TDockOverEvent& OnDockOver() const { return on_dock_over_; }
  void SetOnDockOver(TDockOverEvent Value) { on_dock_over_ = std::move(Value); }
  const TDockDropEvent& OnDockDrop() const { return on_dock_drop_; }
  void SetOnDockDrop(TDockDropEvent Value) { on_dock_drop_ = std::move(Value); }
  const TUnDockEvent& OnUnDock() const { return on_un_dock_; }
  void SetOnUnDock(TUnDockEvent Value) { on_un_dock_ = std::move(Value); }
  const TGetSiteInfoEvent& OnGetSiteInfo() const { return on_get_site_info_; }
  void SetOnGetSiteInfo(TGetSiteInfoEvent Value) { on_get_site_info_ = std::move(Value); }

  // Key and focus virtuals, run by the default handlers of the key messages
  // and of CM_ENTER/CM_EXIT.
  virtual void KeyDown(Word& Key, TShiftState Shift);
  virtual void KeyUp(Word& Key, TShiftState Shift);
  virtual void KeyPress(WideChar& Key);
  virtual void DoEnter();
  virtual void DoExit();
  // Key message handling behind WM_KEYDOWN, WM_CHAR and WM_KEYUP (the form's
  // key preview, then the virtual): true when the key was taken (set to 0).
  bool DoKeyDown(TMessage& Message);
  bool DoKeyPress(TMessage& Message);
  bool DoKeyUp(TMessage& Message);

  void WndProc(TMessage& Message) override;
  void Dispatch(TMessage& Message) override;
  void DefaultHandler(TMessage& Message) override;

 protected:
  void InitWidget() override;
  void DestroyWidget() override;
  void FontChanged() override;
  void ColorChanged() override;
  void Resize() override;
  void ApplyBounds() override;
  void VisibleChanged() override;
  // The window's description (see above).
  virtual void CreateParams(TCreateParams& Params);
  // Fills the client area with Color (the default erase).
  void EraseBackground(HDC DC);
  // The client area children are aligned in (default: ClientRect).
  virtual void AdjustClientRect(TRect& Rect) const;
  void ApplyTabOrder();
  // Sends the message to each child until one answers not 0.
  void Broadcast(TMessage& Message);
  // A child was inserted, removed, moved, resized (outside aligning), shown
  // or hidden.
  virtual void ControlsChanged() {}
  // Sizes the control to hold its visible children (the box round them)
  // within its client area as AdjustClientRect gives it: the width unless
  // the control is aligned top, bottom or client, the height unless aligned
  // left, right or client; the children not aligned move so that the box
  // starts at the area's top-left corner. Nothing without visible children.
  void SizeToChildren();
  // OnUnDock for Client leaving for NewTarget; false refuses.
  virtual bool DoUnDock(TWinControl* NewTarget, TControl* Client);

 private:
  friend class TControl;
  friend class TWindowScrollBars;
  void CNKeyDown(TMessage& Message);
  void CNChar(TMessage& Message);
  // The form's key preview: true when the form took the key (or this
  // control went meanwhile).
  bool FormPreview(TMessage& Message, bool (TWinControl::*Handler)(TMessage&));
  bool DoKey(TMessage& Message, bool (TWinControl::*Handler)(TMessage&),
             void (TWinControl::*Virtual)(Word&, TShiftState));
  std::vector<TControl*> controls_;
  std::vector<TWinControl*> tab_list_;
  int stored_tab_order_ = -1;
  bool tab_stop_ = false;
  HWND hwnd_ = nullptr;
  int align_lock_ = 0;
  bool aligning_ = false;
  TNotifyEvent on_enter_, on_exit_;
  TKeyEvent on_key_down_, on_key_up_;
  TKeyPressEvent on_key_press_;
  // Non-client area (Popup.cpp): the frame widget around widget_ and the
  // widths of its sides (Left, Top, Right, Bottom).
  QWidget* frame_ = nullptr;
  TRect non_client_{};
  TImeMode ime_mode_ = imDontCare;
  TImeName ime_name_;
  friend struct TNonClientAccess;
  bool dock_site_ = false;
  bool use_dock_manager_ = false;
  bool sizing_to_children_ = false;
  std::vector<TControl*> dock_clients_;
  TDockOverEvent on_dock_over_;
  TDockDropEvent on_dock_drop_;
  TUnDockEvent on_un_dock_;
  TGetSiteInfoEvent on_get_site_info_;
  friend void DockClientRemoved(TWinControl* Site, TControl* Client);

  void ApplyCreateParams();
  // CM_RECREATEWND.
  void RecreateNow();
  // Asks WM_NCCALCSIZE for the client area and makes or updates the frame.
  void UpdateNonClient();
};

// A windowed control that paints itself on its Canvas in Paint.
class TCustomControl : public TWinControl {
 public:
  explicit TCustomControl(TComponent* AOwner);
  ~TCustomControl() override;
  TCanvas* Canvas() const { return canvas_.get(); }
  // Paints with Canvas bound to the widget (called by the paint event).
  void PaintWindow(HDC DC) override;

 protected:
  virtual void Paint();
  QWidget* CreateWidget(QWidget* ParentWidget) override;

 private:
  std::unique_ptr<TCanvas> canvas_;
};

// A control without focus or children that paints itself in Paint.
class TGraphicControl : public TControl {
 public:
  explicit TGraphicControl(TComponent* AOwner);
  ~TGraphicControl() override;
  TCanvas* Canvas() const { return canvas_.get(); }
  void PaintWindow(HDC DC);

 protected:
  virtual void Paint();
  QWidget* CreateWidget(QWidget* ParentWidget) override;

 private:
  std::unique_ptr<TCanvas> canvas_;
};

// A dock drag's control and where it goes: DockRect (screen) is the
// rectangle it takes when dropped, DropAlign its alignment in a site with a
// dock manager, DragTarget the site that accepts it (nullptr: it floats when
// dropped), DragPos the mouse on the screen.
class TDragDockObject : public TObject {
 public:
  explicit TDragDockObject(TControl* AControl) : control_(AControl) {}
  TControl* Control() const { return control_; }
  TRect DockRect() const { return dock_rect_; }
  void SetDockRect(const TRect& Value) { dock_rect_ = Value; }
  TAlign DropAlign() const { return drop_align_; }
  void SetDropAlign(TAlign Value) { drop_align_ = Value; }
  TControl* DropOnControl() const { return drop_on_control_; }
  void SetDropOnControl(TControl* Value) { drop_on_control_ = Value; }
  TWinControl* DragTarget() const { return drag_target_; }
  void SetDragTarget(TWinControl* Value) { drag_target_ = Value; }
  TPoint DragPos() const { return drag_pos_; }
  void SetDragPos(TPoint Value) { drag_pos_ = Value; }
  bool Floating() const { return drag_target_ == nullptr; }

 private:
  TControl* control_;
  TRect dock_rect_{};
  TAlign drop_align_ = alNone;
  TControl* drop_on_control_ = nullptr;
  TWinControl* drag_target_ = nullptr;
  TPoint drag_pos_{};
};

// A canvas that belongs to a control: the platform binds it while that
// control paints (outside a paint it has no device context).
class TControlCanvas : public TCanvas {
 public:
  TControl* Control() const { return control_; }
  void SetControl(TControl* Value) { control_ = Value; }

 private:
  TControl* control_ = nullptr;
};

// Creates a self-drawn widget whose paint events run Paint (with a device
// context over the widget); used for windowed controls that paint.
QWidget* CreatePaintWidget(QWidget* ParentWidget, std::function<void(HDC)> Paint);

// The control that owns a widget (nullptr for others).
TControl* FindControl(QWidget* Widget);
// Windowed control of a handle (nullptr for other handles).
TWinControl* FindControl(HWND Handle);

// Mouse capture by control (a graphic control too) and by window handle.
TControl* GetCaptureControl();
void SetCaptureControl(TControl* Control);
// Returns the previous capture window.
HWND SetCapture(HWND Wnd);
bool ReleaseCapture();
// The capturing control's window (a graphic control's parent's), or nullptr.
HWND GetCapture();
// The window with the keyboard focus, or nullptr.
HWND GetFocus();

// The mouse cursor's position on the screen.
TPoint GetCursorPos();
void SetCursorPos(TPoint P);
// The handle of the innermost windowed control under a screen point, or
// nullptr when the point is over no window of this program.
HWND WindowFromPoint(TPoint P);

class TUnit;
extern const TUnit unit_Controls;
