// Forms, the application object and the screen.
//
// A form is created with Create<T>(Owner) (or Application->CreateForm): its
// AfterConstruction reads the form resources of its class chain (ancestor
// classes first; resource named by the class name upper-cased, RT_RCDATA,
// Resources.h), then fires OnCreate. A descendant of TForm without a
// resource raises EResNotFound "Resource %s not found"; a plain TForm starts
// empty (CreateNew). Before destruction OnDestroy runs.
//
// Closing: Close() asks OnCloseQuery, then runs OnClose with caHide (the
// handler may change it): caNone keeps the form, caHide hides it, caFree
// frees it later (Release), caMinimize minimises it. Closing the main form
// terminates the application. A modal form's Close sets ModalResult to
// mrCancel; ShowModal runs a nested loop until ModalResult is not 0 and
// returns it; meanwhile the application's other forms count as disabled
// (IsWindowEnabled). Position poDesigned and the poDefault kinds keep
// Left/Top; poScreenCenter/poDesktopCenter centre on the screen,
// poMainFormCenter/poOwnerFormCenter over the main form, when the form is
// first shown, at the size it has after its OnShow.
//
// Focus: the form keeps the control that has the focus within it. When a
// control gets WM_SETFOCUS the form runs SetFocusedControl: the controls the
// focus leaves get CM_EXIT (innermost first), those it enters CM_ENTER
// (outermost first), then every control gets CM_FOCUSCHANGED (LParam: the
// control); ActiveControl becomes the control. A handler that moves the focus
// elsewhere ends the chain (the newer focus change runs its own). Keys: the
// form answers CM_DIALOGKEY: Tab and Shift+Tab move through the tab order,
// arrows among the active control's siblings, other keys go to the controls
// (default and cancel buttons). KeyPreview gives the form's KeyDown, KeyPress
// and KeyUp each key of its controls first. The wheel goes to the focused
// control (CM_MOUSEWHEEL). ShowModal cancels the mouse capture first
// (WM_CANCELMODE to the capturing control).
//
// TApplication: Initialize makes the Qt application object and installs the
// main-thread wake-up; Run shows the main form and runs the event loop until
// Terminate (or the main form closes); ProcessMessages handles pending events
// and the main-thread call queue; HandleException shows the message of an
// uncaught exception (OnException, when assigned, gets it instead; EAbort is
// silent). The first form made by CreateForm is the main form.
//
// TScrollingWinControl: a windowed control with two scroll bars
// (TControlScrollBar). A bar shows while it is Visible and its Range exceeds
// the client extent along its axis; the client area then loses the bar's
// thickness. Setting Position (limited to 0 .. Range - client extent)
// moves the children (ScrollBy); the bar's own moves set Position. With
// AutoScroll the ranges follow the children's extent (plus Margin), worked
// out again when the control is resized or loaded and when AutoScroll is
// set. It paints like a self-drawn control (WM_ERASEBKGND, then
// PaintWindow; Controls.h).
#pragma once

#include <algorithm>
#include <map>
#include <memory>
#include <vector>

#include "platform/gui/Controls.h"
#include "platform/rtl/Exceptions.h"

RTL_ENUM(TPosition, poDesigned, poDefault, poDefaultPosOnly, poDefaultSizeOnly, poScreenCenter, poDesktopCenter,
         poMainFormCenter, poOwnerFormCenter);
RTL_ENUM(TFormBorderStyle, bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin);
// The border of a control: bsNone or bsSingle.
using TBorderStyle = TFormBorderStyle;
RTL_ENUM(TCloseAction, caNone, caHide, caFree, caMinimize);
RTL_ENUM(TWindowState, wsNormal, wsMinimized, wsMaximized);
// fsStayOnTop keeps the window above the others; the MDI styles are plain
// windows here.
RTL_ENUM(TFormStyle, fsNormal, fsMDIChild, fsMDIForm, fsStayOnTop);

using TModalResult = int;
inline constexpr TModalResult mrNone = 0, mrOk = 1, mrCancel = 2, mrAbort = 3, mrRetry = 4, mrIgnore = 5,
                              mrYes = 6, mrNo = 7, mrAll = 8, mrNoToAll = 9, mrYesToAll = 10;

using TCloseEvent = Event<void(TObject* Sender, TCloseAction& Action)>;
using TCloseQueryEvent = Event<void(TObject* Sender, bool& CanClose)>;
using TExceptionEvent = Event<void(TObject* Sender, Exception* E)>;

struct THintInfo;
class THintWindow;
struct HCURSOR__;
using HCURSOR = HCURSOR__*;
using THintWindowClass = THintWindow* (*)(TComponent* AOwner);
using TShowHintEvent = Event<void(String& HintStr, bool& CanShow, THintInfo& HintInfo)>;

class TCustomForm : public TWinControl {
 public:
  explicit TCustomForm(TComponent* AOwner);
  ~TCustomForm() override;
  void AfterConstruction() override;
  void BeforeDestruction() override;

  TPosition Position() const { return position_; }
  void SetPosition(TPosition Value) { position_ = Value; }
  TFormBorderStyle BorderStyle() const { return border_style_; }
  void SetBorderStyle(TFormBorderStyle Value);
  TWindowState WindowState() const { return window_state_; }
  void SetWindowState(TWindowState Value);
  TFormStyle FormStyle() const { return form_style_; }
  void SetFormStyle(TFormStyle Value);
  int PixelsPerInch() const { return pixels_per_inch_; }
  void SetPixelsPerInch(int Value) { pixels_per_inch_ = Value; }
  // Height of the form font's text as the designer measured it (kept as read).
  int TextHeight() const { return text_height_; }
  void SetTextHeight(int Value) { text_height_ = Value; }
  bool OldCreateOrder() const { return old_create_order_; }
  void SetOldCreateOrder(bool Value) { old_create_order_ = Value; }
  bool KeyPreview() const { return key_preview_; }
  void SetKeyPreview(bool Value) { key_preview_ = Value; }
  TWinControl* ActiveControl() const { return active_control_; }
  void SetActiveControl(TWinControl* Value);
  // Makes Value the active control without focusing it (the form focuses
  // it when it is next shown or activated).
  void AssignActiveControl(TWinControl* Value) { active_control_ = Value; }
  // Makes Control the active control and gives it the focus.
  void FocusControl(TWinControl* Control);
  // The focus chain of a control that got WM_SETFOCUS (above); false when a
  // handler moved the focus elsewhere meanwhile.
  bool SetFocusedControl(TWinControl* Control);
  // Control (and what it contains) is leaving the form (Removing) or losing
  // the focus: the form forgets it as its active and focused control.
  void DefocusControl(TWinControl* Control, bool Removing);
  // CM_CANCELMODE to the active control (LParam: Sender).
  void SendCancelMode(TControl* Sender);
  void MouseWheelHandler(TMessage& Message) override;

  TModalResult ModalResult() const { return modal_result_; }
  void SetModalResult(TModalResult Value) { modal_result_ = Value; }
  bool Modal() const { return modal_; }

  void Show();
  void Hide() { SetVisible(false); }
  TModalResult ShowModal();
  void Close();
  // Frees the form once the events in progress are done.
  void Release();
  bool CloseQuery();

  void SetVisible(bool Value) override;
  bool Showing() const override;

  const TNotifyEvent& OnCreate() const { return on_create_; }
  void SetOnCreate(TNotifyEvent Value) { on_create_ = std::move(Value); }
  const TNotifyEvent& OnDestroy() const { return on_destroy_; }
  void SetOnDestroy(TNotifyEvent Value) { on_destroy_ = std::move(Value); }
  const TCloseEvent& OnClose() const { return on_close_; }
  void SetOnClose(TCloseEvent Value) { on_close_ = std::move(Value); }
  const TCloseQueryEvent& OnCloseQuery() const { return on_close_query_; }
  void SetOnCloseQuery(TCloseQueryEvent Value) { on_close_query_ = std::move(Value); }
  const TNotifyEvent& OnShow() const { return on_show_; }
  void SetOnShow(TNotifyEvent Value) { on_show_ = std::move(Value); }
  const TNotifyEvent& OnHide() const { return on_hide_; }
  void SetOnHide(TNotifyEvent Value) { on_hide_ = std::move(Value); }

  bool WidgetCloseRequested() override;
  void Dispatch(TMessage& Message) override;

 protected:
  // Construction without reading a resource (TForm itself, or CreateNew).
  struct NoResource {};
  TCustomForm(TComponent* AOwner, NoResource);
  QWidget* CreateWidget(QWidget* ParentWidget) override;
  void InitWidget() override;
  bool FillsBackground() const override { return true; }
  virtual void DoCreate();
  virtual void DoDestroy();
  virtual void DoClose(TCloseAction& Action);
  void VisibleChanged() override;

 private:
  // The origin Position gives at the form's size; false for the positions
  // that keep Left and Top.
  bool CentredOrigin(TPoint& Origin) const;
  // On the first show: places the form by Position; true when it centred it.
  bool ApplyPosition();
  void ApplyWindowFlags();
  void ApplySizeLimits();

  TPosition position_ = poDesigned;
  TFormBorderStyle border_style_ = bsSizeable;
  TFormStyle form_style_ = fsNormal;
  TWindowState window_state_ = wsNormal;
  int pixels_per_inch_ = 96;
  int text_height_ = 13;
  bool old_create_order_ = false;
  bool key_preview_ = false;
  bool create_new_ = false;
  bool position_applied_ = false;
  bool modal_ = false;
  // Disabled while another form is modal (IsWindowEnabled).
  bool window_disabled_ = false;
  // When the window last came to the top of the window order (TScreen::ZOrder).
  uint64_t stacked_ = 0;
  friend class TScreen;
  friend bool IsWindowEnabled(HWND Wnd);
  bool destroy_done_ = false;
  TWinControl* active_control_ = nullptr;
  TWinControl* focused_control_ = nullptr;
  TModalResult modal_result_ = mrNone;
  TNotifyEvent on_create_, on_destroy_, on_show_, on_hide_;
  TCloseEvent on_close_;
  TCloseQueryEvent on_close_query_;
};

class TForm : public TCustomForm {
 public:
  explicit TForm(TComponent* AOwner) : TCustomForm(AOwner) {}
  // A form of any class that reads no resource.
  static TForm* CreateNew(TComponent* AOwner);

 protected:
  TForm(TComponent* AOwner, NoResource tag) : TCustomForm(AOwner, tag) {}
};

// The form a control lies on (nullptr when none).
TCustomForm* GetParentForm(TControl* Control);

// False for a window whose control is disabled, and for a form's window
// while another form is shown modally (ShowModal disables the application's
// other windows for its duration, as the windowing system's modal loop does).
bool IsWindowEnabled(HWND Wnd);

// Reads the form resources of Instance's class chain into it: the resource
// of each class (named by the class name upper-cased, RT_RCDATA) from the
// class below RootAncestor (and its ancestors) down to Instance's own
// class, ancestors first. True when at least one resource was read.
bool InitInheritedComponent(TComponent* Instance, const String& RootAncestor);

RTL_ENUM(TScrollBarKind, sbHorizontal, sbVertical);

class TScrollingWinControl;

class TControlScrollBar : public TPersistent {
 public:
  TControlScrollBar(TScrollingWinControl* Control, TScrollBarKind Kind);
  void Assign(TPersistent* Source) override;
  TPersistent* GetOwner() override;

  TScrollBarKind Kind() const { return kind_; }
  int Increment() const { return increment_; }
  void SetIncrement(int Value) { increment_ = std::max(Value, 1); }
  int Margin() const { return margin_; }
  void SetMargin(int Value);
  int Position() const { return position_; }
  void SetPosition(int Value);
  int Range() const { return range_; }
  void SetRange(int Value);
  bool Smooth() const { return smooth_; }
  void SetSmooth(bool Value) { smooth_ = Value; }
  // Thickness in pixels (0: the platform's).
  int Size() const { return size_; }
  void SetSize(int Value);
  bool Tracking() const { return tracking_; }
  void SetTracking(bool Value);
  bool Visible() const { return visible_; }
  void SetVisible(bool Value);
  // True while the bar is shown.
  bool IsScrollBarVisible() const;
  // The thickness used.
  int ScrollBarSize() const;
  // The client extent along the bar's axis without this bar.
  int ControlSize() const;

 private:
  friend class TScrollingWinControl;
  TScrollingWinControl* control_;
  TScrollBarKind kind_;
  int increment_ = 8;
  int margin_ = 0;
  int position_ = 0;
  int range_ = 0;
  bool smooth_ = false;
  int size_ = 0;
  bool tracking_ = false;
  bool visible_ = true;
  bool shown_ = false;  // as last laid out
};

class TScrollingWinControl : public TWinControl {
 public:
  explicit TScrollingWinControl(TComponent* AOwner);
  ~TScrollingWinControl() override;

  TControlScrollBar* HorzScrollBar() const { return horz_.get(); }
  void SetHorzScrollBar(TControlScrollBar* Value) { horz_->Assign(Value); }
  TControlScrollBar* VertScrollBar() const { return vert_.get(); }
  void SetVertScrollBar(TControlScrollBar* Value) { vert_->Assign(Value); }
  bool AutoScroll() const { return auto_scroll_; }
  void SetAutoScroll(bool Value);
  TRect ClientRect() const override;
  // Lays the scroll bars out again (AutoScroll ranges first).
  void UpdateScrollBars();
  void Loaded() override;

 protected:
  QWidget* CreateWidget(QWidget* ParentWidget) override;
  void InitWidget() override;
  void DestroyWidget() override;
  void Resize() override;

 private:
  friend class TControlScrollBar;
  void CalcAutoRange();
  void PlaceBars();

  std::unique_ptr<TControlScrollBar> horz_;
  std::unique_ptr<TControlScrollBar> vert_;
  bool auto_scroll_ = true;
  bool updating_ = false;
  QWidget* bars_[2] = {nullptr, nullptr};  // the Qt scroll bars while the widget exists
};

class TApplication : public TComponent {
 public:
  explicit TApplication(TComponent* AOwner);
  ~TApplication() override;

  void Initialize();
  // Makes a form, storing it in Reference before its OnCreate runs; the first
  // form made is the main form.
  template <class T>
  void CreateForm(T*& Reference) {
    T* form = new T(this);
    Reference = form;
    try {
      form->AfterConstruction();
    } catch (...) {
      Reference = nullptr;
      delete form;
      throw;
    }
    FormCreated(form);
  }
  void Run();
  void Terminate();
  bool Terminated() const { return terminated_; }
  void ProcessMessages();
  // Shows the current exception (call inside a catch block).
  void HandleException(TObject* Sender);
  void ShowException(Exception* E);

  TCustomForm* MainForm() const { return main_form_; }
  const String& Title() const { return title_; }
  void SetTitle(const String& Value);
  bool MainFormOnTaskBar() const { return main_form_on_task_bar_; }
  void SetMainFormOnTaskBar(bool Value) { main_form_on_task_bar_ = Value; }
  bool ShowMainForm() const { return show_main_form_; }
  void SetShowMainForm(bool Value) { show_main_form_ = Value; }
  const TExceptionEvent& OnException() const { return on_exception_; }
  void SetOnException(TExceptionEvent Value) { on_exception_ = std::move(Value); }

  void Notification(TComponent* AComponent, TOperation Operation) override;

  // Hints (Hints.h describes the machinery).
  bool ShowHint() const { return show_hint_; }
  void SetShowHint(bool Value);
  int HintPause() const { return hint_pause_; }
  void SetHintPause(int Value) { hint_pause_ = Value; }
  int HintShortPause() const { return hint_short_pause_; }
  void SetHintShortPause(int Value) { hint_short_pause_ = Value; }
  int HintHidePause() const { return hint_hide_pause_; }
  void SetHintHidePause(int Value) { hint_hide_pause_ = Value; }
  TColor HintColor() const { return hint_color_; }
  void SetHintColor(TColor Value) { hint_color_ = Value; }
  // The class of the hint window (nullptr: THintWindow).
  THintWindowClass HintWindowClass() const { return hint_window_class_; }
  void SetHintWindowClass(THintWindowClass Value) { hint_window_class_ = Value; }
  const TShowHintEvent& OnShowHint() const { return on_show_hint_; }
  void SetOnShowHint(TShowHintEvent Value) { on_show_hint_ = std::move(Value); }
  // Shows the hint of the control under the mouse for the cursor at CursorPos
  // (screen), as when the show timer fires.
  void ActivateHint(TPoint CursorPos);
  // Hides the hint and forgets its control.
  void CancelHint();
  // Hides the hint window.
  void HideHint();
  // Every mouse message (and CM_MOUSELEAVE) of a control, before it is handled.
  void HintMouseMessage(TControl* Control, TMessage& Message);

 private:
  void FormCreated(TCustomForm* Form);
  struct THintState;
  THintState* Hints();
  void HintTimer(TMessage& Message);
  void DestroyHints();
  THintState* hint_ = nullptr;
  bool show_hint_ = true;
  int hint_pause_ = 500, hint_short_pause_ = 50, hint_hide_pause_ = 2500;
  TColor hint_color_ = clInfoBk;
  THintWindowClass hint_window_class_ = nullptr;
  TShowHintEvent on_show_hint_;

  TCustomForm* main_form_ = nullptr;
  String title_;
  bool main_form_on_task_bar_ = false;
  bool show_main_form_ = true;
  bool terminated_ = false;
  bool running_ = false;
  TExceptionEvent on_exception_;
};

class TScreen : public TComponent {
 public:
  explicit TScreen(TComponent* AOwner);
  ~TScreen() override;

  // The cursor shown over every window (crDefault: each control's own).
  TCursor Cursor() const { return cursor_; }
  void SetCursor(TCursor Value);
  // The registry of cursors by TCursor value (Cursors.h).
  HCURSOR Cursors(int Index) const;
  void SetCursors(int Index, HCURSOR Handle);
  int FormCount() const { return static_cast<int>(forms_.size()); }
  TCustomForm* Forms(int Index) const;
  TCustomForm* ActiveForm() const;
  // The top-level forms that show, topmost first: stay-on-top forms above
  // the others, each group in the order this program last showed, raised
  // or activated their windows (the window system's own order is not read).
  std::vector<TCustomForm*> ZOrder() const;
  int Width() const;
  int Height() const;
  int PixelsPerInch() const { return 96; }
  // The input method and keyboard layout in force at start (none here).
  const String& DefaultIme() const { return default_ime_; }
  HKL DefaultKbLayout() const { return GetKeyboardLayout(0); }

 private:
  friend class TCustomForm;
  void AddForm(TCustomForm* Form);
  void RemoveForm(TCustomForm* Form);

  TCursor cursor_ = crDefault;
  // The registered cursors, destroyed with the screen (Cursors.cpp).
  struct TCursorRegistry {
    std::map<int, HCURSOR> map;
    TCursorRegistry() = default;
    TCursorRegistry(const TCursorRegistry&) = delete;
    TCursorRegistry& operator=(const TCursorRegistry&) = delete;
    ~TCursorRegistry();
  } cursors_;
  String default_ime_;
  std::vector<TCustomForm*> forms_;
};

// Made by the Forms unit's initialization, freed by its finalization.
extern TApplication* Application;
extern TScreen* Screen;

class TUnit;
extern const TUnit unit_Forms;
