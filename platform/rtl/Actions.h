// Actions: commands that components execute and keep up to date.
//
// Thin: there are no action lists, shortcuts or action links that copy an
// action's caption and state into controls. An action runs OnExecute (or,
// without it, offers itself to its target through the target's
// ExecuteAction); Update runs OnUpdate. TEditAction and its descendants are
// the standard edit actions a control may accept in its ExecuteAction and
// UpdateAction (copy, cut, paste, select all, delete).
#pragma once

#include "platform/rtl/Component.h"

class TBasicAction : public TComponent {
 public:
  explicit TBasicAction(TComponent* AOwner) : TComponent(AOwner) {}
  // The component that the action acts on while it runs (may be nullptr).
  TComponent* ActionComponent() const { return action_component_; }
  void SetActionComponent(TComponent* Value) { action_component_ = Value; }
  const TNotifyEvent& OnExecute() const { return on_execute_; }
  void SetOnExecute(TNotifyEvent Value) { on_execute_ = std::move(Value); }
  const TNotifyEvent& OnUpdate() const { return on_update_; }
  void SetOnUpdate(TNotifyEvent Value) { on_update_ = std::move(Value); }
  // True when the action can act on Target (default: no).
  virtual bool HandlesTarget(TObject*) { return false; }
  virtual void ExecuteTarget(TObject*) {}
  virtual void UpdateTarget(TObject*) {}
  // Runs OnExecute; true when it was assigned.
  virtual bool Execute() {
    if (!on_execute_) return false;
    on_execute_(this);
    return true;
  }
  // Runs OnUpdate; true when it was assigned.
  virtual bool Update() {
    if (!on_update_) return false;
    on_update_(this);
    return true;
  }

 private:
  TComponent* action_component_ = nullptr;
  TNotifyEvent on_execute_, on_update_;
};

// An action with the state it shows in the controls that use it.
class TCustomAction : public TBasicAction {
 public:
  using TBasicAction::TBasicAction;
  const String& Caption() const { return caption_; }
  void SetCaption(const String& Value) { caption_ = Value; }
  const String& Hint() const { return hint_; }
  void SetHint(const String& Value) { hint_ = Value; }
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool Value) { enabled_ = Value; }
  bool Checked() const { return checked_; }
  void SetChecked(bool Value) { checked_ = Value; }
  bool Visible() const { return visible_; }
  void SetVisible(bool Value) { visible_ = Value; }

 private:
  String caption_, hint_;
  bool enabled_ = true, checked_ = false, visible_ = true;
};

class TAction : public TCustomAction {
 public:
  using TCustomAction::TCustomAction;
};

// The standard edit actions: each acts on the control that accepts it.
class TEditAction : public TCustomAction {
 public:
  using TCustomAction::TCustomAction;
};
class TEditCopy : public TEditAction {
 public:
  using TEditAction::TEditAction;
};
class TEditCut : public TEditAction {
 public:
  using TEditAction::TEditAction;
};
class TEditPaste : public TEditAction {
 public:
  using TEditAction::TEditAction;
};
class TEditSelectAll : public TEditAction {
 public:
  using TEditAction::TEditAction;
};
class TEditDelete : public TEditAction {
 public:
  using TEditAction::TEditAction;
};
