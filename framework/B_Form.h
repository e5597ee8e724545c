// The frame container TB_FrameControl and the form-settings group
// TB_CustomFormPersistent.
//
// TB_FrameControl is a scrolling window control that builds itself from the
// form resource of its class (and of its ancestors down from
// TB_FrameControl), like a form placed inside another window. It starts
// hidden; without a parent its window is owned by the application's main
// form. OnShow and OnHide follow its showing state; freeing a visible frame
// hides it (OnHide) and then runs OnDestroy.
//
// Background: Bitmaps (made on first use) holds a picture file (NameFile)
// tiled over the frame. The frame erases itself, and paints for transparent
// controls on it, through WM_PAINTBACKGROUND (B_Ctrls.h): the top-level
// frame paints its tiles so that they continue under every transparent
// control, aligned with the frame. A frame inside a window that does not
// answer the message (a form) fills itself with its colour.
//
// WM_FRAMECOMMAND carries a command code (LParam) and a data pointer
// (WParam) between frames and their hosts; a frame answers it through the
// virtual WMFrameCommand, 0 by default.
#pragma once

#include <memory>

#include "framework/B_Ctrls.h"
#include "framework/B_ctrl.h"
#include "platform/gui/Forms.h"

inline constexpr Cardinal WM_FRAMECOMMAND = WM_USER + 137;

class TB_FrameControl : public TScrollingWinControl {
 public:
  // Loads the form resource of a descendant class (when created with
  // Create<T>, in AfterConstruction); a descendant without one raises
  // EResNotFound "Resource %s not found".
  explicit TB_FrameControl(TComponent* AOwner);
  // Construction without a form resource (CreateNew).
  TB_FrameControl(TComponent* AOwner, int Dummy);
  ~TB_FrameControl() override;
  void AfterConstruction() override;
  void BeforeDestruction() override;

  TControlCanvas* Canvas() const { return canvas_.get(); }
  // The background group, made on first use (not while being freed).
  TB_BitmapPersistent* Bitmaps();
  void SetBitmaps(TB_BitmapPersistent* Value) { Bitmaps()->Assign(Value); }
  bool HasBitmaps() const { return bitmaps_ != nullptr; }
  // Sizes the frame to hold its visible children (the width unless aligned
  // top or bottom, the height unless aligned left or right), again whenever
  // they change; not while it is read from form data.
  bool AutoSize() const { return auto_size_; }
  void SetAutoSize(bool Value);
  void Loaded() override;

  void SetParent(TWinControl* AParent) override;
  void SetVisible(bool Value) override;
  void Dispatch(TMessage& Message) override;

  const TNotifyEvent& OnCreate() const { return on_create_; }
  void SetOnCreate(TNotifyEvent Value) { on_create_ = std::move(Value); }
  const TNotifyEvent& OnDestroy() const { return on_destroy_; }
  void SetOnDestroy(TNotifyEvent Value) { on_destroy_ = std::move(Value); }
  const TNotifyEvent& OnHide() const { return on_hide_; }
  void SetOnHide(TNotifyEvent Value) { on_hide_ = std::move(Value); }
  const TNotifyEvent& OnShow() const { return on_show_; }
  void SetOnShow(TNotifyEvent Value) { on_show_ = std::move(Value); }

 protected:
  virtual void DoCreate();
  virtual void DoDestroy();
  // No parent: owned by the main form, without minimise and maximise boxes.
  void CreateParams(TCreateParams& Params) override;
  void VisibleChanged() override;
  virtual void WMFrameCommand(TMessage& Message);
  virtual void WMPaintBackground(TMessage& Message);
  void ControlsChanged() override;

 private:
  void Init();
  void BitmapsChanged(TObject* Sender);
  void AdjustSize();

  bool create_new_ = false;
  bool auto_size_ = false;
  std::unique_ptr<TControlCanvas> canvas_;
  std::unique_ptr<TB_BitmapPersistent> bitmaps_;
  TNotifyEvent on_create_, on_destroy_, on_hide_, on_show_;
};

// Settings of a component that opens a form: the form it made and two
// flags (true after construction); with IsDestroy the group frees that form
// when it is freed itself. A form freed elsewhere first is forgotten.
class TB_CustomFormPersistent : public TPersistent {
 public:
  TB_CustomFormPersistent();
  ~TB_CustomFormPersistent() override;

  TComponent* Form() const;
  void SetForm(TComponent* Value);
  bool IsDestroy() const { return is_destroy_; }
  void SetIsDestroy(bool Value) { is_destroy_ = Value; }
  bool Show() const { return show_; }
  void SetShow(bool Value) { show_ = Value; }

 private:
  class Watcher;
  std::unique_ptr<Watcher> watcher_;
  bool is_destroy_ = true;
  bool show_ = true;
};

extern const TUnit unit_B_Form;
