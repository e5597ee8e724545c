#include "platform/gui/Menus.h"

#include <QAction>
#include <QKeyEvent>
#include <QApplication>
#include <QMenu>

#include <memory>

#include "platform/gui/Forms.h"
#include "platform/gui/StdCtrls.h"
#include "tests/platform/gui/GuiFixture.h"

namespace {

class MenusTest : public GuiTest {
 protected:
  static void SetUpTestSuite() {
    GuiTest::SetUpTestSuite();
    InitializeUnits({&unit_Menus});
  }
};

TMenuItem* AddItem(TPopupMenu* menu, const String& caption, std::vector<String>* clicks = nullptr) {
  auto* item = new TMenuItem(menu);
  item->SetCaption(caption);
  if (clicks != nullptr) {
    item->SetOnClick([clicks, caption](TObject* sender) {
      EXPECT_EQ(static_cast<TMenuItem*>(sender)->Caption(), caption);
      clicks->push_back(caption);
    });
  }
  menu->Items()->Add(item);
  return item;
}

QMenu* ShownMenu() { return qobject_cast<QMenu*>(QApplication::activePopupWidget()); }

}  // namespace

TEST_F(MenusTest, ItemsFormATree) {
  std::unique_ptr<TComponent> owner(new TComponent(nullptr));
  auto* menu = new TPopupMenu(owner.get());
  TMenuItem* a = AddItem(menu, "a");
  TMenuItem* c = AddItem(menu, "c");
  auto* b = new TMenuItem(menu);
  menu->Items()->Insert(1, b);
  EXPECT_EQ(b->MenuIndex(), 1);
  EXPECT_EQ(c->MenuIndex(), 2);
  EXPECT_EQ(a->Parent(), menu->Items());
  EXPECT_THROW(menu->Items()->Add(a), EMenuError);
  EXPECT_THROW(menu->Items()->Insert(9, new TMenuItem(menu)), EMenuError);
  EXPECT_THROW(a->Add(menu->Items()), EMenuError);  // no cycles

  c->Add(b);  // moves b below c
  EXPECT_EQ(menu->Items()->Count(), 2);
  EXPECT_EQ(c->Items(0), b);
  delete c;  // frees b with it
  EXPECT_EQ(menu->Items()->Count(), 1);
  EXPECT_THROW(menu->Items()->Remove(new TMenuItem(menu)), EMenuError);  // not in the menu
  owner.reset();  // frees the menu and the items it owns
}

TEST_F(MenusTest, PopupShowsTheItemsAlignedAtThePoint) {
  std::vector<String> clicks;
  std::unique_ptr<TPopupMenu> menu(new TPopupMenu(nullptr));
  AddItem(menu.get(), "first", &clicks);
  AddItem(menu.get(), "-");
  TMenuItem* off = AddItem(menu.get(), "off", &clicks);
  off->SetEnabled(false);
  AddItem(menu.get(), "hidden")->SetVisible(false);
  std::unique_ptr<TComponent> target(new TComponent(nullptr));
  menu->SetPopupComponent(target.get());
  int popups = 0;
  menu->SetOnPopup([&](TObject*) { ++popups; });

  for (TPopupAlignment alignment : {paLeft, paRight, paCenter}) {
    menu->SetAlignment(alignment);
    menu->Popup(400, 300);
    Application->ProcessMessages();
    QMenu* shown = ShownMenu();
    ASSERT_NE(shown, nullptr);
    QList<QAction*> actions = shown->actions();
    ASSERT_EQ(actions.size(), 3);
    EXPECT_EQ(actions[0]->text(), "first");
    EXPECT_TRUE(actions[1]->isSeparator());
    EXPECT_FALSE(actions[2]->isEnabled());
    int w = shown->width();
    int expected = alignment == paLeft ? 400 : alignment == paRight ? 400 - w : 400 - w / 2;
    EXPECT_NEAR(shown->x(), expected, 1) << GetEnumName(alignment);
    EXPECT_EQ(shown->y(), 300);
  }
  EXPECT_EQ(popups, 3);
  EXPECT_EQ(menu->PopupPoint(), Point(400, 300));

  ShownMenu()->actions()[0]->trigger();
  Application->ProcessMessages();
  EXPECT_EQ(clicks, (std::vector<String>{"first"}));
  off->Click();  // disabled: nothing
  EXPECT_EQ(clicks.size(), 1u);

  target.reset();
  EXPECT_EQ(menu->PopupComponent(), nullptr);
}

TEST_F(MenusTest, ClickHandlerMayFreeTheMenu) {
  TPopupMenu* menu = new TPopupMenu(nullptr);
  auto* item = AddItem(menu, "close");
  bool ran = false;
  item->SetOnClick([&](TObject*) {
    ran = true;
    delete menu;
  });
  menu->Popup(10, 10);
  Application->ProcessMessages();
  ASSERT_NE(ShownMenu(), nullptr);
  ShownMenu()->actions()[0]->trigger();
  Application->ProcessMessages();
  EXPECT_TRUE(ran);
  EXPECT_EQ(ShownMenu(), nullptr);
}

TEST_F(MenusTest, ChangingItemsClosesTheShownMenu) {
  std::unique_ptr<TPopupMenu> menu(new TPopupMenu(nullptr));
  TMenuItem* item = AddItem(menu.get(), "x");
  menu->Popup(10, 10);
  Application->ProcessMessages();
  ASSERT_NE(ShownMenu(), nullptr);
  delete item;
  Application->ProcessMessages();
  EXPECT_EQ(ShownMenu(), nullptr);
  menu->Popup(10, 10);  // nothing visible: nothing shown
  Application->ProcessMessages();
  EXPECT_EQ(ShownMenu(), nullptr);
}

namespace {

// Records where it was asked to pop up instead of showing.
class TRecordingPopup : public TPopupMenu {
 public:
  using TPopupMenu::TPopupMenu;
  void Popup(int X, int Y) override { points.push_back({X, Y}); }
  std::vector<TPoint> points;
};

}  // namespace

TEST_F(MenusTest, ARightClickPopsUpTheMenuOfTheControlOrOfAParent) {
  std::unique_ptr<TForm> form(new TForm(nullptr));
  form->SetBounds(50, 60, 300, 200);
  auto* panel = new TScrollingWinControl(form.get());
  panel->SetParent(form.get());
  panel->SetBounds(10, 10, 200, 100);
  auto* label = new TLabel(form.get());  // a graphic control inside the panel
  label->SetParent(panel);
  label->SetBounds(5, 5, 50, 20);
  form->Show();
  auto* menu = new TRecordingPopup(form.get());
  panel->SetPopupMenu(menu);

  auto rightClick = [](TControl* c, int x, int y) {
    c->Perform(WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(x, y));
    c->Perform(WM_RBUTTONUP, 0, MAKELPARAM(x, y));
  };
  rightClick(label, 3, 4);  // the label has no menu: its parent's pops up
  ASSERT_EQ(menu->points.size(), 1u);
  EXPECT_EQ(menu->points[0], label->ClientToScreen(TPoint{3, 4}));
  EXPECT_EQ(menu->PopupComponent(), panel);
  rightClick(form.get(), 250, 150);  // outside the panel: no menu
  EXPECT_EQ(menu->points.size(), 1u);
  menu->SetAutoPopup(false);
  rightClick(panel, 1, 1);
  EXPECT_EQ(menu->points.size(), 1u);
  menu->SetAutoPopup(true);
  // Asked for by key: the middle of the control.
  panel->Perform(WM_CONTEXTMENU, 0, MAKELPARAM(-1, -1));
  ASSERT_EQ(menu->points.size(), 2u);
  EXPECT_EQ(menu->points[1], panel->ClientToScreen(TPoint{100, 50}));
  delete menu;  // the panel forgets it
  EXPECT_EQ(panel->PopupMenu(), nullptr);
  rightClick(panel, 1, 1);
}

TEST_F(MenusTest, ShortCutsPackTheKeyAndTheModifiers) {
  struct Case {
    Word key;
    TShiftState shift;
    TShortCut expected;
    const char* text;
  };
  const Case cases[] = {
      {'A', {}, 65, "A"},
      {VK_DOWN, {ssAlt}, 32808, "Alt+Down"},
      {VK_DELETE, {ssAlt}, 32814, "Alt+Del"},
      {VK_RETURN, {ssShift, ssCtrl}, scShift | scCtrl | VK_RETURN, "Shift+Ctrl+Enter"},
      {VK_OEM_7, {ssCtrl}, scCtrl | 222, "Ctrl+'"},
      {'F', {ssCtrl, ssLeft, ssDouble}, scCtrl | 'F', "Ctrl+F"},  // mouse state is no part of it
      {VK_F2, {}, VK_F2, "F2"},
      {0xFF, {ssShift}, scShift | 0xFF, ""},  // no name
      {0x100, {ssCtrl}, 0, ""},               // not a virtual key
  };
  for (const Case& c : cases) {
    TShortCut sc = ShortCut(c.key, c.shift);
    EXPECT_EQ(sc, c.expected) << c.text;
    EXPECT_EQ(ShortCutToText(sc), c.text);
    if (sc == 0) continue;
    Word key = 0;
    TShiftState shift{ssMiddle};
    ShortCutToKey(sc, key, shift);
    EXPECT_EQ(key, c.key);
    EXPECT_EQ(shift, (c.shift * TShiftState{ssShift, ssCtrl, ssAlt})) << c.text;
  }
  // Alt comes from the key data of the message.
  TMessage alt{WM_SYSKEYDOWN, VK_DOWN, LPARAM{1} << 29, 0};
  EXPECT_EQ(ShortCutFromMessage(alt), 32808);
}

namespace {

class TKeyLog : public TCustomControl {
 public:
  using TCustomControl::TCustomControl;
  void KeyDown(Word& Key, TShiftState Shift) override {
    keys.push_back(Key);
    TCustomControl::KeyDown(Key, Shift);
  }
  std::vector<Word> keys;
};

void PressKey(QWidget* w, int key, Qt::KeyboardModifiers mods) {
  QKeyEvent press(QEvent::KeyPress, key, mods);
  QCoreApplication::sendEvent(w, &press);
  QKeyEvent release(QEvent::KeyRelease, key, mods);
  QCoreApplication::sendEvent(w, &release);
  QKeyEvent up(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier);
  QCoreApplication::sendEvent(w, &up);
}

}  // namespace

TEST_F(MenusTest, AKeyRunsTheShortCutItemOfAPopupMenuUpTheParents) {
  std::unique_ptr<TForm> form(new TForm(nullptr));
  form->SetBounds(50, 60, 300, 200);
  auto* box = new TKeyLog(form.get());
  box->SetParent(form.get());
  box->SetBounds(10, 10, 100, 50);
  form->Show();
  auto* menu = new TPopupMenu(form.get());
  form->SetPopupMenu(menu);
  std::vector<String> clicks;
  TMenuItem* sub = AddItem(menu, "sub");
  auto* find = new TMenuItem(menu);
  find->SetCaption("find");
  find->SetShortCut(ShortCut('F', {ssCtrl}));
  find->SetOnClick([&](TObject*) { clicks.push_back("find"); });
  sub->Add(find);
  TMenuItem* hidden = AddItem(menu, "hidden", &clicks);
  hidden->SetShortCut(ShortCut('H', {ssCtrl}));
  hidden->SetVisible(false);

  PressKey(box->Widget(), Qt::Key_F, Qt::ControlModifier);
  EXPECT_EQ(clicks, (std::vector<String>{"find"}));
  EXPECT_TRUE(box->keys.empty());  // the menu took the key
  PressKey(box->Widget(), Qt::Key_H, Qt::ControlModifier);
  sub->SetEnabled(false);  // a disabled sub-menu hides its items' shortcuts
  PressKey(box->Widget(), Qt::Key_F, Qt::ControlModifier);
  EXPECT_EQ(clicks.size(), 1u);
  EXPECT_EQ(box->keys, (std::vector<Word>{'H', 'F'}));

  // The default item is bold and unique among its siblings; the shortcut shows.
  sub->SetEnabled(true);
  TMenuItem* a = AddItem(menu, "a");
  TMenuItem* b = AddItem(menu, "b");
  a->SetDefault(true);
  b->SetDefault(true);
  EXPECT_FALSE(a->Default());
  menu->Popup(10, 10);
  Application->ProcessMessages();
  ASSERT_NE(ShownMenu(), nullptr);
  QList<QAction*> actions = ShownMenu()->actions();
  ASSERT_EQ(actions.size(), 3);
  EXPECT_FALSE(actions[1]->font().bold());
  EXPECT_TRUE(actions[2]->font().bold());
  EXPECT_EQ(actions[0]->menu()->actions()[0]->text(), "find\tCtrl+F");
  menu->CloseMenu();
}
