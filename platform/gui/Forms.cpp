#include "platform/gui/Forms.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>
#include <QWidget>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <utility>
#include <vector>

#include "platform/gui/GuiInternal.h"
#include "platform/os/Resources.h"
#include "platform/rtl/FormStream.h"
#include "platform/rtl/Threads.h"
#include "platform/rtl/UnitInit.h"

TApplication* Application = nullptr;
TScreen* Screen = nullptr;

namespace {

QString ToQ(const String& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

String Upper(const String& s) {
  String r = s;
  for (char& c : r) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return r;
}

// Runs the main-thread call queue when a thread wakes the event loop.
class SyncReceiver : public QObject {
 public:
  static QEvent::Type Kind() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
  }
  bool event(QEvent* e) override {
    if (e->type() != Kind()) return QObject::event(e);
    TEventScope scope;
    try {
      CheckSynchronize();
    } catch (...) {
      HandleEventException(nullptr);
    }
    return true;
  }
};

std::atomic<SyncReceiver*> g_sync{nullptr};

void WakeUp() {
  if (SyncReceiver* r = g_sync.load()) QCoreApplication::postEvent(r, new QEvent(SyncReceiver::Kind()));
}

// Handles the events that are pending (and waits for one when Wait), then the
// main-thread call queue.
void PumpEvents(bool wait) {
  if (GuiApplicationExists()) {
    QCoreApplication::processEvents(wait ? QEventLoop::WaitForMoreEvents : QEventLoop::AllEvents);
    if (!TEventScope::Inside()) QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
  CheckSynchronize();
}

TComponent* FindGlobalForm(const String& Name) {
  if (Screen == nullptr) return nullptr;
  for (int i = 0; i < Screen->FormCount(); ++i) {
    TCustomForm* f = Screen->Forms(i);
    if (Upper(f->Name()) == Upper(Name)) return f;
  }
  return nullptr;
}

// Raises a top-level window (the offscreen platform has no stacking of its
// own: the form's window notes the raise all the same).
void RaiseWindow(QWidget* w) {
  if (w == nullptr) return;
  if (QGuiApplication::platformName() != "offscreen") {
    w->raise();
    return;
  }
  QEvent raised(QEvent::ZOrderChange);
  QCoreApplication::sendEvent(w, &raised);
}

// Counts the times a form's window came to the top of the window order.
uint64_t g_stacking = 0;

// The window of a form: notes each time it comes to the top (shown, raised
// or activated), the order the screen lists the forms in.
// The widget may outlive its form for a while (its deletion is deferred).
class FormWidget : public QWidget {
 public:
  FormWidget(QWidget* parent, TControl* form, uint64_t* stacked)
      : QWidget(parent), form_(form), stacked_(stacked) {}

 protected:
  bool event(QEvent* e) override {
    switch (e->type()) {
      case QEvent::Show:
      case QEvent::ZOrderChange:
      case QEvent::WindowActivate:
        if (isWindow() && form_.Alive()) *stacked_ = ++g_stacking;
        break;
      default:
        break;
    }
    return QWidget::event(e);
  }

 private:
  TControlRef form_;
  uint64_t* stacked_;
};

String ProgramTitle() {
  std::error_code ec;
  auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? String() : exe.stem().string();
}

}  // namespace

void HandleEventException(TObject* Sender) {
  if (Application != nullptr) {
    Application->HandleException(Sender);
    return;
  }
  try {
    throw;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
  } catch (...) {
    std::fprintf(stderr, "Unknown exception\n");
  }
}

// ---------------------------------------------------------------------------
// TCustomForm

TCustomForm::TCustomForm(TComponent* AOwner) : TWinControl(AOwner) {
  SetBounds(0, 0, 320, 240);
  SetColor(clBtnFace);
  SetVisible(false);
  Constraints()->SetOnChange({this, [this](TObject*) {
                                SetBounds(Left(), Top(), Width(), Height());
                                ApplySizeLimits();
                              }});
  if (Screen != nullptr) Screen->AddForm(this);
}

TCustomForm::TCustomForm(TComponent* AOwner, NoResource) : TCustomForm(AOwner) { create_new_ = true; }

TCustomForm::~TCustomForm() {
  if (Screen != nullptr) Screen->RemoveForm(this);
}

TForm* TForm::CreateNew(TComponent* AOwner) {
  auto* form = new TForm(AOwner, NoResource{});
  try {
    form->AfterConstruction();
  } catch (...) {
    delete form;
    throw;
  }
  return form;
}

void TCustomForm::AfterConstruction() {
  TWinControl::AfterConstruction();
  const TClassInfo* info = GetClassInfo(this);
  bool plain = typeid(*this) == typeid(TForm) || typeid(*this) == typeid(TCustomForm);
  if (!create_new_ && !plain && !InitInheritedComponent(this, "TForm")) {
    bool exact = info != nullptr && std::type_index(typeid(*this)) == info->Type();
    throw EResNotFound("Resource %s not found", {exact ? info->ClassName() : ClassName()});
  }
  DoCreate();
  if (Visible()) VisibleChanged();
}

void TCustomForm::BeforeDestruction() {
  // An owner that frees the form has marked it destroying already: OnDestroy
  // runs once either way, while the form's controls still exist.
  if (!destroy_done_) {
    destroy_done_ = true;
    try {
      DoDestroy();
    } catch (...) {
      HandleEventException(this);
    }
  }
  if (Screen != nullptr) Screen->RemoveForm(this);
  TWinControl::BeforeDestruction();
}

void TCustomForm::DoCreate() { OnCreate()(this); }
void TCustomForm::DoDestroy() { OnDestroy()(this); }
void TCustomForm::DoClose(TCloseAction& Action) { OnClose()(this, Action); }

void TCustomForm::SetBorderStyle(TFormBorderStyle Value) {
  border_style_ = Value;
  ApplyWindowFlags();
}

void TCustomForm::SetWindowState(TWindowState Value) {
  window_state_ = Value;
  if (Widget() == nullptr) return;
  if (Value == wsNormal) {
    if (Visible()) Widget()->showNormal();
    // Bounds that SetWindowPlacement gave while the form was not normal.
    QVariant normal = Widget()->property("normalBounds");
    if (normal.isValid()) {
      Widget()->setProperty("normalBounds", QVariant());
      QRect r = normal.toRect();
      SetBounds(r.x(), r.y(), r.width(), r.height());
    }
    return;
  }
  if (!Visible()) return;
  if (Value == wsMinimized) Widget()->showMinimized();
  else Widget()->showMaximized();
}

void TCustomForm::SetActiveControl(TWinControl* Value) {
  active_control_ = Value;
  if (Value != nullptr && !IsLoading() && Showing() && Value->CanFocus()) Value->SetFocus();
}

void TCustomForm::FocusControl(TWinControl* Control) {
  active_control_ = Control;
  Control->HandleNeeded();
  Control->Widget()->setFocus(Qt::OtherFocusReason);
}

namespace {

// Counts focus changes: a focus message whose handler moved the focus ends
// the chain that sent it.
int g_focus_count = 0;

bool SendFocusMessage(TWinControl* Control, Cardinal Msg) {
  int count = g_focus_count;
  Control->Perform(Msg, 0, 0);
  return g_focus_count == count;
}

}  // namespace

bool TCustomForm::SetFocusedControl(TWinControl* Control) {
  ++g_focus_count;
  active_control_ = Control != this ? Control : nullptr;
  if (Control->ControlState().Contains(csFocusing)) return false;
  TControlRef ref(Control);
  Control->SetControlState(Control->ControlState() + TControlState{csFocusing});
  struct Unmark {
    TWinControl* control;
    TControlRef& ref;
    ~Unmark() {
      if (ref) control->SetControlState(control->ControlState() - TControlState{csFocusing});
    }
  } unmark{Control, ref};
  if (focused_control_ == nullptr) focused_control_ = this;
  if (focused_control_ == Control) return true;
  while (focused_control_ != nullptr && !focused_control_->ContainsControl(Control)) {
    TWinControl* leaving = focused_control_;
    focused_control_ = focused_control_->Parent();
    if (!SendFocusMessage(leaving, CM_EXIT) || !ref) return false;
  }
  while (focused_control_ != Control) {
    TWinControl* entering = Control;
    while (entering != nullptr && entering->Parent() != focused_control_) entering = entering->Parent();
    if (entering == nullptr) return false;
    focused_control_ = entering;
    if (!SendFocusMessage(entering, CM_ENTER) || !ref) return false;
  }
  Perform(CM_FOCUSCHANGED, 0, reinterpret_cast<LPARAM>(Control));
  return true;
}

void TCustomForm::DefocusControl(TWinControl* Control, bool Removing) {
  if (Removing && focused_control_ != nullptr && Control->ContainsControl(focused_control_))
    focused_control_ = Control->Parent();
  if (active_control_ != nullptr && Control->ContainsControl(active_control_)) active_control_ = nullptr;
}

void TCustomForm::SendCancelMode(TControl* Sender) {
  if (active_control_ != nullptr) active_control_->Perform(CM_CANCELMODE, 0, reinterpret_cast<LPARAM>(Sender));
}

void TCustomForm::MouseWheelHandler(TMessage& Message) {
  if (focused_control_ != nullptr)
    Message.Result = focused_control_->Perform(CM_MOUSEWHEEL, Message.WParam, Message.LParam);
  else
    TWinControl::MouseWheelHandler(Message);
}

QWidget* TCustomForm::CreateWidget(QWidget* ParentWidget) {
  auto* w = new FormWidget(ParentWidget, this, &stacked_);
  w->setFocusPolicy(Qt::NoFocus);
  return w;
}

void TCustomForm::InitWidget() {
  TWinControl::InitWidget();
  ApplyWindowFlags();
}

// The window manager keeps the user's resizing within the constraints.
void TCustomForm::ApplySizeLimits() {
  QWidget* w = Widget();
  if (w == nullptr || Parent() != nullptr) return;
  const TSizeConstraints* c = Constraints();
  w->setMinimumSize(c->MinWidth(), c->MinHeight());
  w->setMaximumSize(c->MaxWidth() > 0 ? c->MaxWidth() : QWIDGETSIZE_MAX,
                    c->MaxHeight() > 0 ? c->MaxHeight() : QWIDGETSIZE_MAX);
}

void TCustomForm::SetFormStyle(TFormStyle Value) {
  if (Value == form_style_) return;
  form_style_ = Value;
  ApplyWindowFlags();
}

void TCustomForm::ApplyWindowFlags() {
  QWidget* w = Widget();
  if (w == nullptr || Parent() != nullptr) return;
  Qt::WindowFlags flags = Qt::Window;
  switch (border_style_) {
    case bsNone: flags |= Qt::FramelessWindowHint; break;
    case bsDialog: flags = Qt::Dialog; break;
    case bsToolWindow:
    case bsSizeToolWin: flags = Qt::Tool; break;
    default: break;
  }
  if (form_style_ == fsStayOnTop) flags |= Qt::WindowStaysOnTopHint;
  ApplySizeLimits();
  bool visible = w->isVisible();
  w->setWindowFlags(flags);
  if (visible) w->show();
}

bool TCustomForm::CentredOrigin(TPoint& Origin) const {
  int sw = Screen != nullptr ? Screen->Width() : 1024, sh = Screen != nullptr ? Screen->Height() : 768;
  switch (position_) {
    case poScreenCenter:
    case poDesktopCenter:
      Origin = {(sw - Width()) / 2, (sh - Height()) / 2};
      return true;
    case poMainFormCenter:
    case poOwnerFormCenter: {
      TCustomForm* main = Application != nullptr ? Application->MainForm() : nullptr;
      if (main != nullptr && main != this)
        Origin = {main->Left() + (main->Width() - Width()) / 2, main->Top() + (main->Height() - Height()) / 2};
      else
        Origin = {(sw - Width()) / 2, (sh - Height()) / 2};
      return true;
    }
    default:
      return false;
  }
}

bool TCustomForm::ApplyPosition() {
  if (position_applied_) return false;
  position_applied_ = true;
  TPoint origin;
  if (!CentredOrigin(origin)) return false;
  SetBounds(origin.X, origin.Y, Width(), Height());
  return true;
}

void TCustomForm::SetVisible(bool Value) { TWinControl::SetVisible(Value); }

void TCustomForm::VisibleChanged() {
  if (IsLoading()) return;  // a form read as visible shows once created
  if (Visible()) {
    const bool centred = ApplyPosition();
    HandleNeeded();
    if (Parent() == nullptr) {
      switch (window_state_) {
        case wsMinimized: Widget()->showMinimized(); break;
        case wsMaximized: Widget()->showMaximized(); break;
        default: Widget()->show(); break;
      }
      RaiseWindow(Widget());
    } else {
      Widget()->show();
    }
    const TRect placed = BoundsRect();  // where the window system put it
    OnShow()(this);
    // A form that OnShow sized, and did not move, is centred at its size.
    TPoint origin;
    if (centred && Visible() && BoundsRect() != placed && Left() == placed.Left && Top() == placed.Top &&
        CentredOrigin(origin))
      SetBounds(origin.X, origin.Y, Width(), Height());
    if (active_control_ != nullptr && active_control_->CanFocus()) active_control_->SetFocus();
  } else {
    if (Widget() != nullptr) Widget()->hide();
    OnHide()(this);
  }
}

bool TCustomForm::Showing() const {
  if (Parent() != nullptr) return TWinControl::Showing();
  return Visible() && Widget() != nullptr && Widget()->isVisible();
}

void TCustomForm::Show() {
  SetVisible(true);
  RaiseWindow(Widget());
}

bool TCustomForm::CloseQuery() {
  bool can = true;
  OnCloseQuery()(this, can);
  return can;
}

void TCustomForm::Close() {
  if (modal_) {
    modal_result_ = mrCancel;
    return;
  }
  if (!CloseQuery()) return;
  TCloseAction action = caHide;
  DoClose(action);
  if (action == caNone) return;
  if (Application != nullptr && Application->MainForm() == this) {
    Application->Terminate();
    return;
  }
  switch (action) {
    case caHide: Hide(); break;
    case caMinimize: SetWindowState(wsMinimized); break;
    case caFree: Release(); break;
    default: break;
  }
}

void TCustomForm::Release() { PostMessage(Handle(), CM_RELEASE, 0, 0); }

void TCustomForm::Dispatch(TMessage& Message) {
  switch (Message.Msg) {
    case CM_RELEASE:
      delete this;
      return;
    case CM_DIALOGKEY:
      if (GetKeyState(VK_MENU) >= 0) {
        switch (Message.WParam) {
          case VK_TAB:
            if (GetKeyState(VK_CONTROL) >= 0) {
              SelectNext(active_control_, GetKeyState(VK_SHIFT) >= 0, true);
              Message.Result = 1;
              return;
            }
            break;
          case VK_LEFT:
          case VK_RIGHT:
          case VK_UP:
          case VK_DOWN:
            if (active_control_ != nullptr && active_control_->Parent() != nullptr) {
              active_control_->Parent()->SelectNext(active_control_,
                                                    Message.WParam == VK_RIGHT || Message.WParam == VK_DOWN, false);
              Message.Result = 1;
            }
            return;
          default:
            break;
        }
      }
      break;
    default:
      break;
  }
  TWinControl::Dispatch(Message);
}

bool TCustomForm::WidgetCloseRequested() {
  Close();
  return false;  // the form hides (or stays) by itself
}

TModalResult TCustomForm::ShowModal() {
  if (Visible() || !Enabled() || modal_) throw EInvalidOperation("Cannot make a visible window modal");
  HandleNeeded();
  if (TControl* capture = GetCaptureControl()) capture->Perform(WM_CANCELMODE);
  SetCaptureControl(nullptr);
  modal_ = true;
  modal_result_ = mrNone;
  Widget()->setWindowModality(Qt::ApplicationModal);
  // The application's other windows are disabled meanwhile (their input is
  // blocked by the modality; IsWindowEnabled tells), and enabled afterwards.
  std::vector<std::pair<TCustomForm*, TControlRef>> disabled;
  if (Screen != nullptr) {
    for (TCustomForm* f : Screen->forms_) {
      if (f == this || f->Parent() != nullptr || !f->Visible() || f->window_disabled_) continue;
      f->window_disabled_ = true;
      disabled.emplace_back(f, TControlRef(f));
    }
  }
  auto enable = [&disabled] {
    for (auto& [f, ref] : disabled)
      if (ref) f->window_disabled_ = false;
  };
  try {
    Show();
    for (;;) {
      if (Application != nullptr && Application->Terminated()) modal_result_ = mrCancel;
      if (modal_result_ != mrNone) {
        TCloseAction action = caHide;
        if (!CloseQuery()) action = caNone;
        else DoClose(action);
        if (action != caNone) break;
        modal_result_ = mrNone;
      }
      PumpEvents(true);
    }
  } catch (...) {
    modal_ = false;
    enable();
    Hide();  // hidden first: Qt drops a window from its modal stack on hiding
    if (Widget() != nullptr) Widget()->setWindowModality(Qt::NonModal);
    throw;
  }
  modal_ = false;
  enable();
  Hide();
  if (Widget() != nullptr) Widget()->setWindowModality(Qt::NonModal);
  return modal_result_;
}

bool InitInheritedComponent(TComponent* Instance, const String& RootAncestor) {
  const TClassInfo* info = GetClassInfo(Instance);
  const TClassInfo* root = FindClassInfo(RootAncestor);
  // The class chain below the root, the instance's own class first.
  std::vector<String> names;
  for (const TClassInfo* c = info; c != nullptr; c = c->Parent()) {
    if (root != nullptr ? root->InheritsFrom(c) : Upper(c->ClassName()) == Upper(RootAncestor)) break;
    names.push_back(c->ClassName());
  }
  if (info == nullptr || std::type_index(typeid(*Instance)) != info->Type()) names.insert(names.begin(), Instance->ClassName());
  bool read = false;
  for (auto it = names.rbegin(); it != names.rend(); ++it) {
    const TResource* res = FindResource(Upper(*it), RT_RCDATA);
    if (res == nullptr) continue;
    ReadComponentFromText(Instance, String(reinterpret_cast<const char*>(res->Data.data()), res->Data.size()));
    read = true;
  }
  return read;
}

TCustomForm* GetParentForm(TControl* Control) {
  TControl* c = Control;
  while (c != nullptr && c->Parent() != nullptr) c = c->Parent();
  return dynamic_cast<TCustomForm*>(c);
}

// ---------------------------------------------------------------------------
// TApplication

TApplication::TApplication(TComponent* AOwner) : TComponent(AOwner), title_(ProgramTitle()) {}

TApplication::~TApplication() { DestroyHints(); }

void TApplication::Initialize() {
  EnsureGuiApplication();
  if (g_sync.load() == nullptr) {
    auto* receiver = new SyncReceiver;
    receiver->setParent(QCoreApplication::instance());
    g_sync.store(receiver);
    SetWakeMainThread(WakeUp);
  }
  QGuiApplication::setQuitOnLastWindowClosed(false);
  QGuiApplication::setApplicationDisplayName(ToQ(title_));
}

void TApplication::SetTitle(const String& Value) {
  title_ = Value;
  if (GuiApplicationExists()) QGuiApplication::setApplicationDisplayName(ToQ(title_));
}

void TApplication::FormCreated(TCustomForm* Form) {
  if (main_form_ == nullptr) {
    main_form_ = Form;
    Form->FreeNotification(this);
  }
}

void TApplication::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == main_form_) main_form_ = nullptr;
}

void TApplication::Run() {
  if (main_form_ == nullptr) return;
  EnsureGuiApplication();
  running_ = true;
  try {
    if (show_main_form_) main_form_->Show();
  } catch (...) {
    HandleException(this);
  }
  while (!terminated_) {
    try {
      PumpEvents(true);
    } catch (...) {
      HandleException(this);
    }
    if (main_form_ == nullptr) terminated_ = true;
  }
  running_ = false;
}

void TApplication::Terminate() {
  terminated_ = true;
  if (GuiApplicationExists()) {
    if (auto* d = QAbstractEventDispatcher::instance()) d->wakeUp();
  }
}

void TApplication::ProcessMessages() { PumpEvents(false); }

void TApplication::HandleException(TObject* Sender) {
  std::exception_ptr current = std::current_exception();
  if (!current) return;
  try {
    std::rethrow_exception(current);
  } catch (const EAbort&) {
  } catch (Exception& e) {
    if (on_exception_.Assigned()) on_exception_(Sender, &e);
    else ShowException(&e);
  } catch (const std::exception& e) {
    Exception wrapped(e.what());
    if (on_exception_.Assigned()) on_exception_(Sender, &wrapped);
    else ShowException(&wrapped);
  } catch (...) {
    Exception wrapped(String("Unknown exception"));
    if (on_exception_.Assigned()) on_exception_(Sender, &wrapped);
    else ShowException(&wrapped);
  }
}

void TApplication::ShowException(Exception* E) {
  String msg = E->Message();
  if (!msg.empty() && msg.back() != '.') msg += '.';
  if (GuiApplicationExists() && QGuiApplication::platformName() != "offscreen") {
    QMessageBox::critical(nullptr, ToQ(title_), ToQ(msg));
  } else {
    std::fprintf(stderr, "%s\n", msg.c_str());
  }
}

// ---------------------------------------------------------------------------
// TScreen

TScreen::TScreen(TComponent* AOwner) : TComponent(AOwner) {}

TScreen::~TScreen() {
  if (cursor_ != crDefault && GuiApplicationExists()) QGuiApplication::restoreOverrideCursor();
}

void TScreen::SetCursor(TCursor Value) {
  if (Value == cursor_) return;
  TCursor old = cursor_;
  cursor_ = Value;
  if (!GuiApplicationExists()) return;
  int shape = CursorShape(Value);
  if (old != crDefault) {
    if (shape < 0) QGuiApplication::restoreOverrideCursor();
    else QGuiApplication::changeOverrideCursor(QCursor(static_cast<Qt::CursorShape>(shape)));
  } else if (shape >= 0) {
    QGuiApplication::setOverrideCursor(QCursor(static_cast<Qt::CursorShape>(shape)));
  }
}

TCustomForm* TScreen::Forms(int Index) const {
  if (Index < 0 || Index >= FormCount()) throw EListError("List index out of bounds (%d)", {Index});
  return forms_[static_cast<size_t>(Index)];
}

TCustomForm* TScreen::ActiveForm() const {
  for (TCustomForm* f : forms_) {
    if (f->Widget() != nullptr && f->Widget()->isActiveWindow()) return f;
  }
  return nullptr;
}

int TScreen::Width() const {
  if (GuiApplicationExists() && QGuiApplication::primaryScreen() != nullptr)
    return QGuiApplication::primaryScreen()->geometry().width();
  return 1024;
}

int TScreen::Height() const {
  if (GuiApplicationExists() && QGuiApplication::primaryScreen() != nullptr)
    return QGuiApplication::primaryScreen()->geometry().height();
  return 768;
}

std::vector<TCustomForm*> TScreen::ZOrder() const {
  std::vector<TCustomForm*> shown;
  for (TCustomForm* f : forms_)
    if (f->Parent() == nullptr && f->Showing()) shown.push_back(f);
  std::stable_sort(shown.begin(), shown.end(), [](const TCustomForm* a, const TCustomForm* b) {
    bool at = a->FormStyle() == fsStayOnTop, bt = b->FormStyle() == fsStayOnTop;
    return at != bt ? at : a->stacked_ > b->stacked_;
  });
  return shown;
}

bool IsWindowEnabled(HWND Wnd) {
  TWinControl* c = FindControl(Wnd);
  if (c == nullptr || !c->Enabled()) return false;
  auto* form = dynamic_cast<TCustomForm*>(c);
  return form == nullptr || !form->window_disabled_;
}

void TScreen::AddForm(TCustomForm* Form) {
  if (std::find(forms_.begin(), forms_.end(), Form) == forms_.end()) forms_.push_back(Form);
}

void TScreen::RemoveForm(TCustomForm* Form) { forms_.erase(std::remove(forms_.begin(), forms_.end(), Form), forms_.end()); }

// ---------------------------------------------------------------------------
// Unit

namespace {

void InitForms() {
  RegisterClass<TCustomForm, TWinControl>("TCustomForm");
  RegisterClass<TForm, TCustomForm>("TForm")
      .Prop("Caption", &TControl::Caption, &TControl::SetCaption)
      .Prop("ClientHeight", &TControl::ClientHeight, &TControl::SetClientHeight)
      .Prop("ClientWidth", &TControl::ClientWidth, &TControl::SetClientWidth)
      .Prop("Width", &TControl::Width, &TControl::SetWidth)
      .Stored(false)
      .Prop("Height", &TControl::Height, &TControl::SetHeight)
      .Stored(false)
      .Prop("Color", &TControl::Color, &TControl::SetColor, clBtnFace)
      .Stored(&TControl::IsColorStored)
      .Prop("ActiveControl", &TCustomForm::ActiveControl, &TCustomForm::SetActiveControl)
      .Prop("BorderStyle", &TCustomForm::BorderStyle, &TCustomForm::SetBorderStyle, bsSizeable)
      .Prop("FormStyle", &TCustomForm::FormStyle, &TCustomForm::SetFormStyle, fsNormal)
      .Prop("KeyPreview", &TCustomForm::KeyPreview, &TCustomForm::SetKeyPreview, false)
      .Prop("OldCreateOrder", &TCustomForm::OldCreateOrder, &TCustomForm::SetOldCreateOrder)
      .Prop("PixelsPerInch", &TCustomForm::PixelsPerInch, &TCustomForm::SetPixelsPerInch)
      .Prop("Position", &TCustomForm::Position, &TCustomForm::SetPosition, poDesigned)
      .Prop("TextHeight", &TCustomForm::TextHeight, &TCustomForm::SetTextHeight)
      .Prop("Visible", &TControl::Visible, &TControl::SetVisible, false)
      .Prop("WindowState", &TCustomForm::WindowState, &TCustomForm::SetWindowState, wsNormal)
      .Event("OnClose", &TCustomForm::OnClose, &TCustomForm::SetOnClose)
      .Event("OnCloseQuery", &TCustomForm::OnCloseQuery, &TCustomForm::SetOnCloseQuery)
      .Event("OnCreate", &TCustomForm::OnCreate, &TCustomForm::SetOnCreate)
      .Event("OnDestroy", &TCustomForm::OnDestroy, &TCustomForm::SetOnDestroy)
      .Event("OnHide", &TCustomForm::OnHide, &TCustomForm::SetOnHide)
      .Event("OnShow", &TCustomForm::OnShow, &TCustomForm::SetOnShow);
  RegisterLayoutClasses();
  FindGlobalComponent = FindGlobalForm;
  SetQuitHandler([](int) {
    if (Application != nullptr) Application->Terminate();
  });
  Screen = new TScreen(nullptr);
  Application = new TApplication(nullptr);
}

void FinalForms() {
  FindGlobalComponent = nullptr;
  SetQuitHandler(nullptr);
  if (g_sync.exchange(nullptr) != nullptr) SetWakeMainThread(nullptr);
  FreeAndNil(Application);
  FreeAndNil(Screen);
  if (GuiApplicationExists()) QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  DestroyGuiApplication();
}

constexpr const TUnit* kUses[] = {&unit_Controls};

}  // namespace

constinit const TUnit unit_Forms("Forms", kUses, InitForms, FinalForms);
