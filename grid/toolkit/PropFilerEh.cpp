#include "grid/toolkit/PropFilerEh.h"

#include <memory>
#include <vector>

#include "platform/gui/Popup.h"
#include "platform/gui/Types.h"
#include "platform/rtl/TypInfo.h"

namespace {

// Two parallel lists: entry i of one belongs to entry i of the other.
struct TInterceptorRegistry {
  std::vector<TStoragePropertyInterceptorClass> interceptors;
  std::vector<const TClassInfo*> targets;

  void Remove(size_t Index) {
    interceptors.erase(interceptors.begin() + static_cast<std::ptrdiff_t>(Index));
    targets.erase(targets.begin() + static_cast<std::ptrdiff_t>(Index));
  }
};

// Made by the first registration, freed by the finalization.
TInterceptorRegistry* g_registry = nullptr;

// The form's bounds in the normal state: the placement's while the form is
// minimised or maximised, else its bounds.
TRect NormalFormBounds(TCustomForm* Form) {
  if (Form->WindowState() != wsNormal && Form->HandleAllocated()) {
    WINDOWPLACEMENT placement;
    if (GetWindowPlacement(Form->Handle(), &placement)) return placement.rcNormalPosition;
  }
  return Bounds(Form->Left(), Form->Top(), Form->Width(), Form->Height());
}

void InitPropFilerEh() {
  using I = TFormStoragePropertyInterceptor;
  RegisterClass<TStoragePropertyInterceptor, TPersistent>("TStoragePropertyInterceptor");
  RegisterClass<I, TStoragePropertyInterceptor>("TFormStoragePropertyInterceptor")
      .Prop("ActiveControl", &I::ActiveControl, &I::SetActiveControl)
      .Prop("Height", &I::Height, &I::SetHeight)
      .Prop("Left", &I::Left, &I::SetLeft)
      .Prop("PixelsPerInch", &I::PixelsPerInch, &I::SetPixelsPerInch)
      .Prop("Top", &I::Top, &I::SetTop)
      .Prop("Width", &I::Width, &I::SetWidth)
      .Prop("WindowState", &I::WindowState, &I::SetWindowState);
  RegisterPropertyInterceptor(ClassInfoOf<TCustomForm>(), StoragePropertyInterceptorClassOf<I>());
}

void FinalPropFilerEh() { FreeAndNil(g_registry); }

constexpr const TUnit* kUses[] = {&unit_TypInfo, &unit_Forms};

}  // namespace

constinit const TUnit unit_PropFilerEh("PropFilerEh", kUses, InitPropFilerEh, FinalPropFilerEh);

// ===========================================================================
// Registry

void RegisterPropertyInterceptor(const TClassInfo* TargetClass, TStoragePropertyInterceptorClass InterceptorClass) {
  if (g_registry == nullptr) g_registry = new TInterceptorRegistry;
  for (size_t i = g_registry->targets.size(); i-- > 0;)
    if (g_registry->targets[i] == TargetClass) g_registry->Remove(i);
  g_registry->interceptors.push_back(InterceptorClass);
  g_registry->targets.push_back(TargetClass);
}

void UnregisterPropertyInterceptor(const TClassInfo* TargetClass, TStoragePropertyInterceptorClass InterceptorClass) {
  if (g_registry == nullptr) return;
  for (size_t i = g_registry->targets.size(); i-- > 0;)
    if (g_registry->targets[i] == TargetClass && g_registry->interceptors[i] == InterceptorClass) g_registry->Remove(i);
}

int PropertyInterceptorCount() { return g_registry == nullptr ? 0 : static_cast<int>(g_registry->targets.size()); }

const TClassInfo* PropertyInterceptorTargetClass(int Index) {
  if (Index < 0 || Index >= PropertyInterceptorCount()) throw EListError("List index out of bounds (%d)", {Index});
  return g_registry->targets[static_cast<size_t>(Index)];
}

TStoragePropertyInterceptorClass PropertyInterceptorClass(int Index) {
  if (Index < 0 || Index >= PropertyInterceptorCount()) throw EListError("List index out of bounds (%d)", {Index});
  return g_registry->interceptors[static_cast<size_t>(Index)];
}

// ===========================================================================
// TFormStoragePropertyInterceptor

TFormStoragePropertyInterceptor::TFormStoragePropertyInterceptor(TPersistent* ATarget)
    : TStoragePropertyInterceptor(ATarget) {
  TCustomForm* form = Form();
  if (form == nullptr) return;
  TRect bounds = NormalFormBounds(form);
  left_ = bounds.Left;
  top_ = bounds.Top;
  width_ = bounds.Width();
  height_ = bounds.Height();
  pixels_per_inch_ = form->PixelsPerInch();
  window_state_ = form->WindowState();
  active_control_ = form->ActiveControl();
}

TCustomForm* TFormStoragePropertyInterceptor::Form() const { return dynamic_cast<TCustomForm*>(Target()); }

int TFormStoragePropertyInterceptor::Left() const {
  TCustomForm* form = Form();
  return form == nullptr ? 0 : NormalFormBounds(form).Left;
}

int TFormStoragePropertyInterceptor::Top() const {
  TCustomForm* form = Form();
  return form == nullptr ? 0 : NormalFormBounds(form).Top;
}

int TFormStoragePropertyInterceptor::Width() const {
  TCustomForm* form = Form();
  return form == nullptr ? 0 : NormalFormBounds(form).Width();
}

int TFormStoragePropertyInterceptor::Height() const {
  TCustomForm* form = Form();
  return form == nullptr ? 0 : NormalFormBounds(form).Height();
}

void TFormStoragePropertyInterceptor::SetLeft(int Value) {
  left_ = Value;
  position_changed_ = true;
}

void TFormStoragePropertyInterceptor::SetTop(int Value) {
  top_ = Value;
  position_changed_ = true;
}

void TFormStoragePropertyInterceptor::EndRestore() {
  TStoragePropertyInterceptor::EndRestore();
  // A store without a resolution (or a corrupt one) keeps the bounds as they
  // are rather than collapsing them.
  if (pixels_per_inch_ > 0) {
    const int screen = Screen->PixelsPerInch();
    height_ = MulDiv(height_, screen, pixels_per_inch_);
    left_ = MulDiv(left_, screen, pixels_per_inch_);
    top_ = MulDiv(top_, screen, pixels_per_inch_);
    width_ = MulDiv(width_, screen, pixels_per_inch_);
  }
  TCustomForm* form = Form();
  if (form == nullptr) return;
  form->SetWindowState(window_state_);
  form->AssignActiveControl(active_control_);
  if (form->WindowState() != wsNormal) {
    WINDOWPLACEMENT placement;
    GetWindowPlacement(form->Handle(), &placement);
    placement.rcNormalPosition = Bounds(left_, top_, width_, height_);
    SetWindowPlacement(form->Handle(), &placement);
  } else {
    form->SetBounds(left_, top_, width_, height_);
  }
  if ((form->Position() == poScreenCenter || form->Position() == poDesktopCenter) && !form->IsDesigning() &&
      position_changed_)
    form->SetPosition(poDesigned);
}
