// Menu items and popup menus.
//
// A TMenuItem holds a caption ("-" draws a separator; "&" marks the
// accelerator, "&&" is a literal "&"), Enabled, Visible, OnClick and its
// sub-items. An item added to a parent item is freed by it; deleting an item
// removes it from its parent. A TPopupMenu owns its root item (Items()).
//
// Popup(X, Y) shows the menu at a screen point and returns at once (the
// window system's menu is modal only to the user): the menu's left edge at X
// (paLeft), its right edge (paRight) or its middle (paCenter), its top at Y.
// A chosen item's Click runs from the event loop, after the menu has closed;
// an exception from it goes to Application->HandleException. The menu shown
// (a QMenu) is made afresh by each Popup from the items as they are then;
// adding or removing items closes a menu that is showing.
//
// Shortcuts: a TShortCut is a virtual key in the low byte with scShift,
// scCtrl and scAlt above it (Alt+Down is scAlt + VK_DOWN, 32808). An item's
// ShortCut shows beside its caption; a key pressed in a control runs the
// shortcut's item of the popup menu of that control or of one of its parents
// (TWinControl's CN_KEYDOWN asks IsShortCut up the parent chain before
// anything else sees the key). The Default item of a menu shows in bold;
// making an item the default clears the flag of its siblings.
//
// Thin: no main menus, images, radio groups, owner drawing or merging; menu
// items are not read nested from form resources.
#pragma once

#include <memory>
#include <vector>

#include "platform/gui/Controls.h"
#include "platform/gui/Messages.h"
#include "platform/gui/Types.h"
#include "platform/rtl/Component.h"
#include "platform/rtl/Events.h"
#include "platform/rtl/TypInfo.h"

class QMenu;
class TPopupMenu;

using TShortCut = Word;
inline constexpr TShortCut scNone = 0, scShift = 0x2000, scCtrl = 0x4000, scAlt = 0x8000;

// The shortcut of a virtual key (0..255) with Shift, Ctrl and Alt of Shift
// (mouse buttons and ssDouble are ignored); 0 for a key above 255.
TShortCut ShortCut(Word Key, TShiftState Shift);
// Splits a shortcut into its key and its Shift, Ctrl and Alt.
void ShortCutToKey(TShortCut ShortCut, Word& Key, TShiftState& Shift);
// The shortcut of a key message (WM_KEYDOWN, WM_SYSKEYDOWN, CN_KEYDOWN ...):
// its virtual key with the shift state of the moment (Alt from the key data).
TShortCut ShortCutFromMessage(const TMessage& Message);
// "Ctrl+Shift+F", "Alt+Down", "Del", "F2"; empty for 0 or a key without a name.
String ShortCutToText(TShortCut ShortCut);

class TMenuItem : public TComponent {
 public:
  explicit TMenuItem(TComponent* AOwner);
  ~TMenuItem() override;

  const String& Caption() const { return caption_; }
  void SetCaption(const String& Value) { caption_ = Value; }
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool Value) { enabled_ = Value; }
  bool Visible() const { return visible_; }
  void SetVisible(bool Value) { visible_ = Value; }
  TShortCut ShortCut() const { return short_cut_; }
  void SetShortCut(TShortCut Value) { short_cut_ = Value; }
  // The menu's default item (shown in bold); true clears the siblings' flag.
  bool Default() const { return default_; }
  void SetDefault(bool Value);
  const TNotifyEvent& OnClick() const { return on_click_; }
  void SetOnClick(TNotifyEvent Value) { on_click_ = std::move(Value); }
  // Runs OnClick (when enabled).
  virtual void Click();

  int Count() const { return static_cast<int>(items_.size()); }
  TMenuItem* Items(int Index) const;
  TMenuItem* Parent() const { return parent_; }
  // Position in the parent, -1 without one.
  int MenuIndex() const;
  int IndexOf(const TMenuItem* Item) const;
  // Adds Item at the end (Insert: before Index); an item already in another
  // parent is moved. Raises EMenuError "Menu inserted twice" for an item
  // already here and "Menu index out of range" for a bad Index.
  void Add(TMenuItem* Item);
  void Insert(int Index, TMenuItem* Item);
  // Takes Item out without freeing it ("Sub-menu is not in menu" if absent).
  void Remove(TMenuItem* Item);
  // Frees every sub-item.
  void Clear();
  // The first item below this one (depth first) whose ShortCut is Value and
  // that is visible and enabled along with every item above it; nullptr
  // when none.
  TMenuItem* FindShortCut(TShortCut Value) const;

 private:
  friend class TPopupMenu;
  void ItemsChanged();

  String caption_;
  bool enabled_ = true;
  bool visible_ = true;
  bool default_ = false;
  TShortCut short_cut_ = 0;
  TNotifyEvent on_click_;
  std::vector<TMenuItem*> items_;
  TMenuItem* parent_ = nullptr;
  TPopupMenu* menu_ = nullptr;  // set on a popup menu's root item
};

RTL_ENUM(TPopupAlignment, paLeft, paRight, paCenter);

class TPopupMenu : public TComponent {
 public:
  explicit TPopupMenu(TComponent* AOwner);
  ~TPopupMenu() override;

  TMenuItem* Items() const { return items_; }
  TPopupAlignment Alignment() const { return alignment_; }
  void SetAlignment(TPopupAlignment Value) { alignment_ = Value; }
  // Pops up on a right click of a control whose PopupMenu it is.
  bool AutoPopup() const { return auto_popup_; }
  void SetAutoPopup(bool Value) { auto_popup_ = Value; }
  // The component the menu was popped up for (kept valid by free notification).
  TComponent* PopupComponent() const { return popup_component_; }
  void SetPopupComponent(TComponent* Value);
  // The screen point of the last Popup.
  TPoint PopupPoint() const { return popup_point_; }
  const TNotifyEvent& OnPopup() const { return on_popup_; }
  void SetOnPopup(TNotifyEvent Value) { on_popup_ = std::move(Value); }

  // Runs OnPopup, then shows the menu at a screen point (nothing when no
  // item is visible).
  virtual void Popup(int X, int Y);
  // Closes the menu if it is showing.
  void CloseMenu();
  // Runs the item whose shortcut the key message is (ShortCutFromMessage):
  // true when one ran.
  bool IsShortCut(const TMessage& Message);

  void Notification(TComponent* AComponent, TOperation Operation) override;

 private:
  friend class TMenuItem;

  TMenuItem* items_ = nullptr;
  TPopupAlignment alignment_ = paLeft;
  bool auto_popup_ = true;
  TComponent* popup_component_ = nullptr;
  TPoint popup_point_{};
  TNotifyEvent on_popup_;
  QMenu* shown_ = nullptr;
};

RTL_DECLARE_EXCEPTION(EMenuError, Exception);

class TUnit;
extern const TUnit unit_Menus;
