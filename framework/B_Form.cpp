#include "framework/B_Form.h"

#include <typeindex>
#include <typeinfo>

#include "platform/gui/GDI.h"
#include "platform/os/Resources.h"
#include "platform/rtl/Threads.h"
#include "platform/rtl/UnitInit.h"

namespace {

// Hands an exception from a destruction step to the application.
void ShowFromDestruction(TObject* Sender) {
  if (Application != nullptr) Application->HandleException(Sender);
}

}  // namespace

// ---------------------------------------------------------------------------
// TB_FrameControl

TB_FrameControl::TB_FrameControl(TComponent* AOwner) : TScrollingWinControl(AOwner) { Init(); }

TB_FrameControl::TB_FrameControl(TComponent* AOwner, int) : TScrollingWinControl(AOwner) {
  create_new_ = true;
  Init();
}

void TB_FrameControl::Init() {
  canvas_ = std::make_unique<TControlCanvas>();
  canvas_->SetControl(this);
  SetBounds(0, 0, 320, 240);
  SetVisible(false);
  SetColor(clBtnFace);
  SetParentColor(true);
  SetAutoScroll(false);
}

TB_FrameControl::~TB_FrameControl() {
  bitmaps_.reset();
  canvas_.reset();
}

void TB_FrameControl::AfterConstruction() {
  TScrollingWinControl::AfterConstruction();
  bool plain = typeid(*this) == typeid(TB_FrameControl);
  bool streamed = Owner() != nullptr && Owner()->IsLoading();
  if (!create_new_ && !plain && !streamed && !InitInheritedComponent(this, "TB_FrameControl")) {
    const TClassInfo* info = GetClassInfo(this);
    bool exact = info != nullptr && std::type_index(typeid(*this)) == info->Type();
    throw EResNotFound("Resource %s not found", {exact ? info->ClassName() : ClassName()});
  }
  DoCreate();
}

void TB_FrameControl::BeforeDestruction() {
  if (!IsDestroying()) {
    try {
      SetVisible(false);
    } catch (...) {
      ShowFromDestruction(this);
    }
    TThread::RemoveQueuedEvents(this);
    try {
      DoDestroy();
    } catch (...) {
      ShowFromDestruction(this);
    }
  }
  TScrollingWinControl::BeforeDestruction();
}

void TB_FrameControl::DoCreate() { on_create_(this); }
void TB_FrameControl::DoDestroy() { on_destroy_(this); }

TB_BitmapPersistent* TB_FrameControl::Bitmaps() {
  if (bitmaps_ == nullptr && !IsDestroying()) {
    bitmaps_ = std::make_unique<TB_BitmapPersistent>(this);
    bitmaps_->SetOnChange({this, &TB_FrameControl::BitmapsChanged});
  }
  return bitmaps_.get();
}

void TB_FrameControl::BitmapsChanged(TObject*) {
  TB_BitmapPersistent* b = bitmaps_.get();
  if (b == nullptr) return;
  if (b->ImagesName().empty()) {
    String path = ResolveFilePath(b->NameFile());
    if (!path.empty()) {
      TPicture picture;
      try {
        picture.LoadFromFile(path);
        b->SetBounds(b->Left(), b->Top(), picture.Width(), picture.Height());
        b->SetNumber(1);
      } catch (const Exception&) {
        // Not a picture: the group keeps its size.
      }
    }
  }
  b->SetStyle(b_bsTile);
  b->SetTransparent(false);
  InvalidateControlTree(this);
}

void TB_FrameControl::CreateParams(TCreateParams& Params) {
  TScrollingWinControl::CreateParams(Params);
  if (Parent() != nullptr) return;
  TCustomForm* main = Application != nullptr ? Application->MainForm() : nullptr;
  Params.WndParent = main != nullptr ? main->Handle() : nullptr;
  Params.Style &= ~(WS_MINIMIZEBOX | WS_MAXIMIZEBOX | 0x3u);
}

void TB_FrameControl::SetAutoSize(bool Value) {
  if (Value == auto_size_) return;
  auto_size_ = Value;
  AdjustSize();
}

void TB_FrameControl::Loaded() {
  TScrollingWinControl::Loaded();
  AdjustSize();
}

void TB_FrameControl::ControlsChanged() {
  TScrollingWinControl::ControlsChanged();
  AdjustSize();
}

void TB_FrameControl::AdjustSize() {
  if (auto_size_ && !IsLoading() && !ComponentState().Contains(csDestroying)) SizeToChildren();
}

void TB_FrameControl::SetParent(TWinControl* AParent) {
  if (AParent != Parent() && Parent() == nullptr && WidgetAllocated()) DestroyWidget();
  TScrollingWinControl::SetParent(AParent);
}

void TB_FrameControl::SetVisible(bool Value) {
  bool was = Showing();
  TScrollingWinControl::SetVisible(Value);
  bool now = Showing();
  if (was == now || IsDesigning()) return;
  if (now) on_show_(this);
  else on_hide_(this);
}

void TB_FrameControl::VisibleChanged() {
  // A frame without a parent is a window of its own: it needs one to show.
  if (Visible() && Parent() == nullptr) HandleNeeded();
  TScrollingWinControl::VisibleChanged();
}

void TB_FrameControl::Dispatch(TMessage& Message) {
  switch (Message.Msg) {
    case WM_ERASEBKGND:
      if (PaintBackgroundFromTop(this, reinterpret_cast<HDC>(Message.WParam))) {
        Message.Result = 1;
        return;
      }
      break;
    case WM_PAINTBACKGROUND:
      WMPaintBackground(Message);
      return;
    case WM_FRAMECOMMAND:
      WMFrameCommand(Message);
      return;
    default:
      break;
  }
  TScrollingWinControl::Dispatch(Message);
}

void TB_FrameControl::WMFrameCommand(TMessage& Message) { Message.Result = 0; }

void TB_FrameControl::WMPaintBackground(TMessage& Message) {
  auto* r = reinterpret_cast<TRect*>(Message.LParam);
  auto dc = reinterpret_cast<HDC>(Message.WParam);
  if (Message.Result == 1 || r == nullptr || dc == nullptr) return;
  TB_BitmapPersistent* b = bitmaps_.get();
  TCustomImageList* list = b != nullptr ? b->ImageList() : nullptr;
  TCanvas canvas;
  canvas.SetHandle(dc);
  if (list == nullptr || list->Count() == 0 || b->NumberImages() == 0) {
    TRect area = *r;
    OffsetRect(area, -area.Left, -area.Top);
    canvas.Brush()->SetColor(Color());
    canvas.FillRect(area);
  } else {
    // Tiles from the frame's origin (the rectangle's shifted top-left) to
    // the far edges of the area painted, which lies at (0, 0) of the DC.
    int saved = SaveDC(dc);
    TRect old = b->BoundsRect();
    b->LockUpdates();
    b->SetBounds(r->Left, r->Top, r->Width() - std::min(r->Left, 0), r->Height() - std::min(r->Top, 0));
    try {
      b->Paint(&canvas);
    } catch (...) {
      b->SetBoundsRect(old);
      b->UnlockUpdates();
      RestoreDC(dc, saved);
      canvas.SetHandle(nullptr);
      throw;
    }
    b->SetBoundsRect(old);
    b->UnlockUpdates();
    RestoreDC(dc, saved);
  }
  canvas.SetHandle(nullptr);
  Message.Result = 1;
}

// ---------------------------------------------------------------------------
// TB_CustomFormPersistent

// Forgets the form when it is freed elsewhere.
class TB_CustomFormPersistent::Watcher : public TComponent {
 public:
  Watcher() : TComponent(nullptr) {}
  void Notification(TComponent* AComponent, TOperation Operation) override {
    TComponent::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == form) form = nullptr;
  }
  TComponent* form = nullptr;
};

TB_CustomFormPersistent::TB_CustomFormPersistent() : watcher_(std::make_unique<Watcher>()) {}

TB_CustomFormPersistent::~TB_CustomFormPersistent() {
  TComponent* form = watcher_->form;
  if (form == nullptr) return;
  form->RemoveFreeNotification(watcher_.get());
  watcher_->form = nullptr;
  if (is_destroy_) delete form;
}

TComponent* TB_CustomFormPersistent::Form() const { return watcher_->form; }

void TB_CustomFormPersistent::SetForm(TComponent* Value) {
  if (Value == watcher_->form) return;
  if (watcher_->form != nullptr) watcher_->form->RemoveFreeNotification(watcher_.get());
  watcher_->form = Value;
  if (Value != nullptr) Value->FreeNotification(watcher_.get());
}

// ---------------------------------------------------------------------------
// Unit

namespace {

void InitB_Form() {
  using F = TB_FrameControl;
  using S = TScrollingWinControl;
  auto frame = RegisterClass<F, S>("TB_FrameControl");
  PublishDrag(frame, true);
  PublishDockSite(frame);
  frame.Event("OnCreate", &F::OnCreate, &F::SetOnCreate)
      .Event("OnDestroy", &F::OnDestroy, &F::SetOnDestroy)
      .Event("OnHide", &F::OnHide, &F::SetOnHide)
      .Event("OnShow", &F::OnShow, &F::SetOnShow)
      .Object("Bitmaps", &F::Bitmaps)
      .Prop("Left", &F::Left, &F::SetLeft, 0)
      .Prop("Top", &F::Top, &F::SetTop, 0)
      .Prop("Height", &F::Height, &F::SetHeight)
      .Prop("Width", &F::Width, &F::SetWidth)
      .Prop("Caption", &F::Caption, &F::SetCaption)
      .Prop("AutoScroll", &S::AutoScroll, &S::SetAutoScroll, false)
      .Prop("AutoSize", &F::AutoSize, &F::SetAutoSize, false)
      .Prop("BiDiMode", &F::BiDiMode, &F::SetBiDiMode, bdLeftToRight)
      .Object("Constraints", &F::Constraints)
      .Prop("Color", &F::Color, &F::SetColor, clBtnFace)
      .Stored(&TControl::IsColorStored)
      .Prop("Ctl3D", &F::Ctl3D, &F::SetCtl3D, true)
      .Prop("ParentBiDiMode", &F::ParentBiDiMode, &F::SetParentBiDiMode, true)
      .Prop("ParentCtl3D", &F::ParentCtl3D, &F::SetParentCtl3D, true)
      .Prop("ParentShowHint", &F::ParentShowHint, &F::SetParentShowHint, true)
      .Object("HorzScrollBar", &S::HorzScrollBar)
      .Object("VertScrollBar", &S::VertScrollBar)
      .Prop("Visible", &F::Visible, &F::SetVisible, false)
      .Event("OnCanResize", &F::OnCanResize, &F::SetOnCanResize);
}

constexpr const TUnit* kUses[] = {&unit_B_ctrl, &unit_B_Ctrls, &unit_Forms};

}  // namespace

constinit const TUnit unit_B_Form("B_Form", kUses, InitB_Form, nullptr);
