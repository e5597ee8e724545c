#include "platform/gui/Menus.h"

#include <QAction>
#include <QFont>
#include <QMenu>
#include <QPoint>

#include <algorithm>

#include "platform/gui/Controls.h"
#include "platform/gui/GuiInternal.h"
#include "platform/rtl/UnitInit.h"

namespace {

QString ToQ(const String& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

// Names of the keys that are neither letters, digits nor function keys.
struct KeyName {
  Word key;
  const char* name;
};
constexpr KeyName kKeyNames[] = {
    {VK_BACK, "BkSp"},      {VK_TAB, "Tab"},       {VK_RETURN, "Enter"},   {VK_ESCAPE, "Esc"},
    {VK_SPACE, "Space"},    {VK_PRIOR, "PgUp"},    {VK_NEXT, "PgDn"},      {VK_END, "End"},
    {VK_HOME, "Home"},      {VK_LEFT, "Left"},     {VK_UP, "Up"},          {VK_RIGHT, "Right"},
    {VK_DOWN, "Down"},      {VK_INSERT, "Ins"},    {VK_DELETE, "Del"},     {VK_MULTIPLY, "Num *"},
    {VK_ADD, "Num +"},      {VK_SUBTRACT, "Num -"}, {VK_DECIMAL, "Num ."}, {VK_DIVIDE, "Num /"},
    {VK_OEM_1, ";"},        {VK_OEM_PLUS, "="},    {VK_OEM_COMMA, ","},    {VK_OEM_MINUS, "-"},
    {VK_OEM_PERIOD, "."},   {VK_OEM_2, "/"},       {VK_OEM_3, "`"},        {VK_OEM_4, "["},
    {VK_OEM_5, "\\"},       {VK_OEM_6, "]"},       {VK_OEM_7, "'"},
};

String KeyText(Word key) {
  if ((key >= '0' && key <= '9') || (key >= 'A' && key <= 'Z')) return String(1, static_cast<char>(key));
  if (key >= VK_F1 && key <= VK_F24) return "F" + std::to_string(key - VK_F1 + 1);
  if (key >= VK_NUMPAD0 && key <= VK_NUMPAD9) return "Num " + std::to_string(key - VK_NUMPAD0);
  for (const KeyName& k : kKeyNames) {
    if (k.key == key) return k.name;
  }
  return {};
}

// Fills Menu with the visible items below Parent; false when none is visible.
bool FillMenu(QMenu* menu, TMenuItem* parent) {
  bool any = false;
  for (int i = 0; i < parent->Count(); ++i) {
    TMenuItem* item = parent->Items(i);
    if (!item->Visible()) continue;
    any = true;
    if (item->Caption() == "-") {
      menu->addSeparator();
    } else if (item->Count() > 0) {
      QMenu* sub = menu->addMenu(ToQ(item->Caption()));
      sub->setEnabled(item->Enabled());
      FillMenu(sub, item);
    } else {
      // The text after a tab is the menu's shortcut column; the key itself
      // reaches the item through IsShortCut, not through Qt.
      String text = item->Caption();
      if (String keys = ShortCutToText(item->ShortCut()); !keys.empty()) text += "\t" + keys;
      QAction* action = menu->addAction(ToQ(text));
      action->setEnabled(item->Enabled());
      if (item->Default()) {
        QFont font = action->font();
        font.setBold(true);
        action->setFont(font);
      }
      // The menu is rebuilt whenever items come or go, so Item outlives it.
      QObject::connect(action, &QAction::triggered, [item] {
        TEventScope scope;
        try {
          item->Click();
        } catch (...) {
          HandleEventException(item);
        }
      });
    }
  }
  return any;
}

}  // namespace

// ---------------------------------------------------------------------------
// Shortcuts

TShortCut ShortCut(Word Key, TShiftState Shift) {
  if (Key > 0xFF) return 0;
  TShortCut result = Key;
  if (Shift.Contains(ssShift)) result |= scShift;
  if (Shift.Contains(ssCtrl)) result |= scCtrl;
  if (Shift.Contains(ssAlt)) result |= scAlt;
  return result;
}

void ShortCutToKey(TShortCut ShortCut, Word& Key, TShiftState& Shift) {
  Key = ShortCut & 0xFF;
  Shift = {};
  if (ShortCut & scShift) Shift.Include(ssShift);
  if (ShortCut & scCtrl) Shift.Include(ssCtrl);
  if (ShortCut & scAlt) Shift.Include(ssAlt);
}

TShortCut ShortCutFromMessage(const TMessage& Message) {
  return ShortCut(LOWORD(Message.WParam), KeyDataToShiftState(Message.LParam));
}

String ShortCutToText(TShortCut ShortCut) {
  String key = KeyText(ShortCut & 0xFF);
  if (key.empty()) return {};
  String text;
  if (ShortCut & scShift) text += "Shift+";
  if (ShortCut & scCtrl) text += "Ctrl+";
  if (ShortCut & scAlt) text += "Alt+";
  return text + key;
}

// ---------------------------------------------------------------------------
// TMenuItem

TMenuItem::TMenuItem(TComponent* AOwner) : TComponent(AOwner) {}

TMenuItem::~TMenuItem() {
  if (parent_ != nullptr) parent_->Remove(this);
  while (!items_.empty()) delete items_.back();
}

void TMenuItem::Click() {
  if (enabled_) on_click_(this);
}

void TMenuItem::SetDefault(bool Value) {
  if (Value && parent_ != nullptr) {
    for (TMenuItem* sibling : parent_->items_) sibling->default_ = false;
  }
  default_ = Value;
}

TMenuItem* TMenuItem::FindShortCut(TShortCut Value) const {
  if (Value == 0) return nullptr;
  for (TMenuItem* item : items_) {
    if (!item->visible_ || !item->enabled_) continue;
    if (item->short_cut_ == Value) return item;
    if (TMenuItem* found = item->FindShortCut(Value)) return found;
  }
  return nullptr;
}

TMenuItem* TMenuItem::Items(int Index) const {
  if (Index < 0 || Index >= Count()) throw EMenuError("Menu index out of range");
  return items_[static_cast<size_t>(Index)];
}

int TMenuItem::MenuIndex() const { return parent_ == nullptr ? -1 : parent_->IndexOf(this); }

int TMenuItem::IndexOf(const TMenuItem* Item) const {
  auto it = std::find(items_.begin(), items_.end(), Item);
  return it == items_.end() ? -1 : static_cast<int>(it - items_.begin());
}

void TMenuItem::Add(TMenuItem* Item) { Insert(Count(), Item); }

void TMenuItem::Insert(int Index, TMenuItem* Item) {
  if (Item == nullptr) return;
  if (Item->parent_ == this) throw EMenuError("Menu inserted twice");
  if (Index < 0 || Index > Count()) throw EMenuError("Menu index out of range");
  for (TMenuItem* p = this; p != nullptr; p = p->parent_) {
    if (p == Item) throw EMenuError("Menu inserted twice");
  }
  if (Item->parent_ != nullptr) Item->parent_->Remove(Item);
  items_.insert(items_.begin() + Index, Item);
  Item->parent_ = this;
  ItemsChanged();
}

void TMenuItem::Remove(TMenuItem* Item) {
  auto it = std::find(items_.begin(), items_.end(), Item);
  if (it == items_.end()) throw EMenuError("Sub-menu is not in menu");
  items_.erase(it);
  Item->parent_ = nullptr;
  ItemsChanged();
}

void TMenuItem::Clear() {
  while (!items_.empty()) delete items_.back();
}

void TMenuItem::ItemsChanged() {
  const TMenuItem* root = this;
  while (root->parent_ != nullptr) root = root->parent_;
  if (root->menu_ != nullptr) root->menu_->CloseMenu();
}

// ---------------------------------------------------------------------------
// TPopupMenu

TPopupMenu::TPopupMenu(TComponent* AOwner) : TComponent(AOwner) {
  items_ = new TMenuItem(nullptr);
  items_->menu_ = this;
}

TPopupMenu::~TPopupMenu() {
  CloseMenu();
  items_->menu_ = nullptr;
  delete items_;
}

void TPopupMenu::SetPopupComponent(TComponent* Value) {
  if (Value == popup_component_) return;
  if (popup_component_ != nullptr) popup_component_->RemoveFreeNotification(this);
  popup_component_ = Value;
  if (Value != nullptr) Value->FreeNotification(this);
}

void TPopupMenu::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == popup_component_) popup_component_ = nullptr;
}

void TPopupMenu::CloseMenu() {
  QMenu* menu = shown_;
  shown_ = nullptr;
  DisposeWidget(menu);
}

bool TPopupMenu::IsShortCut(const TMessage& Message) {
  TMenuItem* item = items_->FindShortCut(ShortCutFromMessage(Message));
  if (item == nullptr) return false;
  item->Click();
  return true;
}

void TPopupMenu::Popup(int X, int Y) {
  popup_point_ = {X, Y};
  on_popup_(this);
  CloseMenu();
  EnsureGuiApplication();
  auto* menu = new QMenu;
  if (!FillMenu(menu, items_)) {
    delete menu;
    return;
  }
  shown_ = menu;
  int width = menu->sizeHint().width();
  int left = alignment_ == paRight ? X - width : alignment_ == paCenter ? X - width / 2 : X;
  menu->popup(QPoint(left, Y));
}

// ---------------------------------------------------------------------------

namespace {

void InitMenus() {
  RegisterClass<TMenuItem, TComponent>("TMenuItem")
      .Prop("Caption", &TMenuItem::Caption, &TMenuItem::SetCaption)
      .Prop("Default", &TMenuItem::Default, &TMenuItem::SetDefault, false)
      .Prop("ShortCut", &TMenuItem::ShortCut, &TMenuItem::SetShortCut, TShortCut{0})
      .Prop("Enabled", &TMenuItem::Enabled, &TMenuItem::SetEnabled, true)
      .Prop("Visible", &TMenuItem::Visible, &TMenuItem::SetVisible, true)
      .Event("OnClick", &TMenuItem::OnClick, &TMenuItem::SetOnClick);
  RegisterClass<TPopupMenu, TComponent>("TPopupMenu")
      .Prop("Alignment", &TPopupMenu::Alignment, &TPopupMenu::SetAlignment, paLeft)
      .Prop("AutoPopup", &TPopupMenu::AutoPopup, &TPopupMenu::SetAutoPopup, true)
      .Event("OnPopup", &TPopupMenu::OnPopup, &TPopupMenu::SetOnPopup);
}

constexpr const TUnit* kUses[] = {&unit_Controls};

}  // namespace

constinit const TUnit unit_Menus("Menus", kUses, InitMenus, nullptr);
