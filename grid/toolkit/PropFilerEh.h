// Property-storage interceptors: objects whose published properties stand in
// for those of a target object while its properties are saved to or
// restored from a store, for targets that cannot expose the right values
// themselves (a maximised form's live bounds are not the ones to keep).
//
// The registry pairs a target class with an interceptor class; one target
// class has at most one interceptor, the last registered. The code that
// reads and writes a store creates the interceptor of a target for one save
// or restore, sets or reads its published properties, calls EndRestore
// after a restore and frees it.
#pragma once

#include "platform/gui/Forms.h"
#include "platform/rtl/Component.h"
#include "platform/rtl/UnitInit.h"

class TClassInfo;

// Initialization registers TFormStoragePropertyInterceptor for TCustomForm;
// finalization frees the registry.
extern const TUnit unit_PropFilerEh;

class TStoragePropertyInterceptor : public TPersistent {
 public:
  explicit TStoragePropertyInterceptor(TPersistent* ATarget) : target_(ATarget) {}

  TPersistent* Target() const { return target_; }
  // False when the target's properties are not to be stored (the base: true).
  virtual bool CanStore() { return true; }
  // Called after all properties were restored (the base does nothing).
  virtual void EndRestore() {}

 private:
  TPersistent* target_;
};

// "class of TStoragePropertyInterceptor": the class name and the virtual
// constructor.
struct TStoragePropertyInterceptorClassDesc {
  String ClassName;
  TStoragePropertyInterceptor* (*Create)(TPersistent* Target);
};
using TStoragePropertyInterceptorClass = const TStoragePropertyInterceptorClassDesc*;
template <class I>
TStoragePropertyInterceptorClass StoragePropertyInterceptorClassOf() {
  static const TStoragePropertyInterceptorClassDesc desc{
      TObject::ClassNameOf(typeid(I)),
      [](TPersistent* Target) -> TStoragePropertyInterceptor* { return ::Create<I>(Target); }};
  return &desc;
}

// Removes every pair with this target class, then appends the pair.
void RegisterPropertyInterceptor(const TClassInfo* TargetClass, TStoragePropertyInterceptorClass InterceptorClass);
// Removes every pair of exactly these two classes.
void UnregisterPropertyInterceptor(const TClassInfo* TargetClass, TStoragePropertyInterceptorClass InterceptorClass);
// The registered pairs in registration order, for the storing code.
int PropertyInterceptorCount();
const TClassInfo* PropertyInterceptorTargetClass(int Index);
TStoragePropertyInterceptorClass PropertyInterceptorClass(int Index);

// Stands in for a form: its normal bounds (not the maximised ones), pixels
// per inch, window state and active control. A restore rescales the bounds
// from the stored pixels per inch to the screen's, and a form that is not
// normal keeps its state and gets the bounds for its return to normal.
class TFormStoragePropertyInterceptor : public TStoragePropertyInterceptor {
 public:
  // Captures the target form's values (none for a target that is not a form).
  explicit TFormStoragePropertyInterceptor(TPersistent* ATarget);

  void EndRestore() override;

  // Left, Top, Width and Height read the form's normal bounds afresh (0
  // without a form); the others read the captured or restored values.
  TWinControl* ActiveControl() const { return active_control_; }
  void SetActiveControl(TWinControl* Value) { active_control_ = Value; }
  int Height() const;
  void SetHeight(int Value) { height_ = Value; }
  int Left() const;
  void SetLeft(int Value);
  int PixelsPerInch() const { return pixels_per_inch_; }
  void SetPixelsPerInch(int Value) { pixels_per_inch_ = Value; }
  int Top() const;
  void SetTop(int Value);
  int Width() const;
  void SetWidth(int Value) { width_ = Value; }
  TWindowState WindowState() const { return window_state_; }
  void SetWindowState(TWindowState Value) { window_state_ = Value; }

 private:
  TCustomForm* Form() const;

  TWinControl* active_control_ = nullptr;
  int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
  int pixels_per_inch_ = 0;
  TWindowState window_state_ = wsNormal;
  bool position_changed_ = false;
};
