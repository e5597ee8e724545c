#include "framework/B_Regist.h"

#include <gtest/gtest.h>

#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <vector>

#include "framework/B_PF.h"
#include "platform/gui/Forms.h"
#include "platform/rtl/UnitInit.h"
#include "tests/support/ConfigHomeFixture.h"

namespace {

class B_Regist : public ConfigHomeTest {
 protected:
  static void SetUpTestSuite() { InitializeUnits({&unit_B_PF, &unit_Menus, &unit_Forms}); }
  void TearDown() override {
    Application->SetOnException(nullptr);
    ConfigHomeTest::TearDown();
  }

  // The history of E1 as stored, position 0 first, up to the first gap.
  std::vector<String> History(IB_StorageNode* node, const String& name = "E1") {
    std::vector<String> items;
    for (int p = 0; p < node->HistoryCount(); ++p) {
      String text;
      ReadHistoryItem(node, name, p, text);
      if (text.empty()) break;
      items.push_back(text);
    }
    return items;
  }
  void Fill(IB_StorageNode* node, std::initializer_list<const char*> texts, const String& name = "E1") {
    for (auto it = std::rbegin(texts); it != std::rend(texts); ++it) AddHistoryItem(node, name, 0, *it);
  }
};

using Strings = std::vector<String>;

}  // namespace

TEST_F(B_Regist, KeyPathsFollowTheNodeChain) {
  TB_StorageNode form("Form1");
  TB_StorageNode frame("Frame1", &form);
  TB_StorageNode unnamed("", &frame);
  TB_StorageNode edit("Edits", &unnamed);
  TB_StorageNode top("");
  TB_StorageNode belowEmptyTop("X", &top);
  struct Case {
    IB_StorageNode* node;
    const char* path;
  };
  const Case cases[] = {
      {&form, "Form1"},           {&frame, "Form1\\Frame1"},  {&unnamed, "Form1\\Frame1"},
      {&edit, "Form1\\Frame1\\Edits"}, {&top, ""},              {&belowEmptyTop, "\\X"},
  };
  for (const Case& c : cases) EXPECT_EQ(GetNodeKeyPath(c.node), c.path);
  EXPECT_EQ(GetNodeKeyPath(nullptr), "");

  // A node with an empty name and a parent shares its parent's history.
  AddHistoryItem(&frame, "E1", 0, "shared");
  EXPECT_EQ(History(&unnamed), Strings{"shared"});
}

TEST_F(B_Regist, NodesOwnOrBorrowTheirRegistry) {
  TB_StorageNode root("Root", nullptr, true);
  TB_StorageNode child("Child", &root, false);
  TB_StorageNode orphan("Orphan", nullptr, false);
  TB_Registry* own = GetNodeRegistry(&root);
  ASSERT_NE(own, nullptr);
  EXPECT_EQ(GetNodeRegistry(&root), own);  // made once
  EXPECT_EQ(GetNodeRegistry(&child), own);
  EXPECT_EQ(GetNodeRegistry(&orphan), nullptr);

  child.SetOwnRegistry(true);
  TB_Registry* childOwn = GetNodeRegistry(&child);
  EXPECT_NE(childOwn, own);
  child.SetOwnRegistry(false);  // gives its own up
  EXPECT_EQ(GetNodeRegistry(&child), own);
  EXPECT_EQ(child.NodeRegistry(), nullptr);

  // A freed parent is forgotten: the child heads its own chain.
  auto parent = std::make_unique<TB_StorageNode>("Parent");
  TB_StorageNode below("Below", parent.get(), false);
  EXPECT_EQ(GetNodeKeyPath(&below), "Parent\\Below");
  parent.reset();
  EXPECT_EQ(below.ParentNode(), nullptr);
  EXPECT_EQ(GetNodeKeyPath(&below), "Below");
  EXPECT_EQ(GetNodeRegistry(&below), nullptr);

  // Without a registry there is no history, and adding is harmless.
  AddHistoryItem(&orphan, "E1", 0, "x");
  EXPECT_EQ(History(&orphan), Strings{});
  EXPECT_FALSE(std::filesystem::exists(UserSettingsFileName()));
}

TEST_F(B_Regist, AddingKeepsTheNewestFirstWithoutRepeats) {
  struct Case {
    const char* what;
    Word count;
    bool keepEmpty;
    std::initializer_list<const char*> before;
    const char* added;
    Strings after;
  };
  const Case cases[] = {
      {"new text goes first", 5, false, {"a", "b", "c"}, "d", {"d", "a", "b", "c"}},
      {"a repeat changes nothing", 5, false, {"a", "b", "c"}, "b", {"a", "b", "c"}},
      {"the oldest falls out", 3, false, {"a", "b", "c"}, "d", {"d", "a", "b"}},
      {"repeats compare exactly", 3, false, {"a"}, "A", {"A", "a"}},
      {"empty text is ignored", 5, false, {"a"}, "", {"a"}},
      {"count 0 keeps nothing", 0, false, {}, "a", {}},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TB_StorageNode node("Case" + IntToStr(n++), nullptr, true, c.count);
    node.SetKeepEmptyValues(c.keepEmpty);
    Fill(&node, c.before);
    AddHistoryItem(&node, "E1", 0, c.added);
    EXPECT_EQ(History(&node), c.after);
  }

  // Kept empty values take a place of their own.
  TB_StorageNode node("Empty", nullptr, true, 3);
  node.SetKeepEmptyValues(true);
  Fill(&node, {"a", "b"});
  AddHistoryItem(&node, "E1", 0, "");
  String first, second;
  ReadHistoryItem(&node, "E1", 0, first);
  ReadHistoryItem(&node, "E1", 1, second);
  EXPECT_EQ(first, "");
  EXPECT_EQ(second, "a");

  // Histories of two edit boxes on one node stay apart; names are "<pos>_<box>".
  TB_StorageNode form("Form1");
  AddHistoryItem(&form, "E1", 0, "one");
  AddHistoryItem(&form, "E2", 0, "two");
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey("Form1", false));
  EXPECT_EQ(reg.ReadString("0_E1"), "one");
  EXPECT_EQ(reg.ReadString("0_E2"), "two");
}

TEST_F(B_Regist, ValuesOfEveryKindThroughTheKey) {
  TB_Registry reg;
  const std::pair<TB_RegValueKind, Variant> values[] = {
      {b_rkCurrency, Variant(Currency::FromRaw(123456))}, {b_rkBoolean, Variant(true)},
      {b_rkDate, VarFromDateTime(45000.0)},               {b_rkDateTime, VarFromDateTime(45000.5)},
      {b_rkFloat, Variant(2.5)},                          {b_rkInteger, Variant(-7)},
      {b_rkString, Variant("текст")},                     {b_rkTime, VarFromDateTime(0.25)},
  };
  for (const auto& [kind, value] : values) {
    String name = "v" + IntToStr(static_cast<int>(kind));
    WriteRegistryValue(&reg, "Kinds", name, value, kind);
    Variant read;
    EXPECT_TRUE(ReadRegistryValue(&reg, "Kinds", name, Variant(), kind, read));
    EXPECT_EQ(read.VarType(), value.VarType()) << name;
    EXPECT_TRUE(read == value) << name;
  }
  EXPECT_EQ(reg.CurrentPath(), "");  // each call closes the key

  // Unset strings are written as "".
  WriteRegistryValue(&reg, "Kinds", "unset", Variant(), b_rkString);
  EXPECT_TRUE(TRegistry().OpenKey("Kinds", false));
  TRegistry plain;
  plain.OpenKey("Kinds", false);
  EXPECT_TRUE(plain.ValueExists("unset"));

  // Missing key or value: the default.
  Variant read;
  EXPECT_FALSE(ReadRegistryValue(&reg, "NoSuchKey", "v", Variant(42), b_rkInteger, read));
  EXPECT_EQ(read.AsInteger(), 42);
  EXPECT_FALSE(ReadRegistryValue(&reg, "Kinds", "missing", Variant(43), b_rkInteger, read));
  EXPECT_EQ(read.AsInteger(), 43);
  EXPECT_FALSE(ReadRegistryValue(nullptr, "Kinds", "v6", Variant(44), b_rkInteger, read));
  EXPECT_EQ(read.AsInteger(), 44);
  // A stored text of another kind is an error, and the key is closed after it.
  EXPECT_THROW(ReadRegistryValue(&reg, "Kinds", "v7", Variant(), b_rkInteger, read), ERegistryException);
  EXPECT_EQ(reg.CurrentPath(), "");
}

TEST_F(B_Regist, HandlersReplaceTheRegistry) {
  TB_Registry reg;
  std::vector<String> written;
  reg.SetOnWriteValue([&](const String& name, TB_RegValueKind kind, const Variant& value) {
    EXPECT_EQ(kind, b_rkString);
    written.push_back(name + "=" + VarToStr(value));
  });
  reg.SetOnReadValue([](const String& name, TB_RegValueKind, Variant& value) {
    if (name == "0_E1") value = "from handler";
  });
  WriteRegistryValue(&reg, "H", "0_E1", "x", b_rkString);
  EXPECT_EQ(written, Strings{"0_E1=x"});
  Variant read;
  EXPECT_TRUE(ReadRegistryValue(&reg, "H", "0_E1", "", b_rkString, read));
  EXPECT_EQ(read.AsString(), "from handler");
  EXPECT_TRUE(ReadRegistryValue(&reg, "H", "1_E1", "dflt", b_rkString, read));
  EXPECT_EQ(read.AsString(), "dflt");  // the handler starts from the default
  TRegistry plain;
  EXPECT_TRUE(plain.OpenKey("H", false));  // the key was opened (created) ...
  EXPECT_FALSE(plain.ValueExists("0_E1"));  // ... but nothing was stored
}

TEST_F(B_Regist, DamagedFileGivesEmptyHistoriesAndIsKept) {
  const std::string damaged = std::string("[Form1]\n0_E1=a\n\0\xff", 17);
  WriteSettingsFile(damaged);
  TB_StorageNode node("Form1");
  EXPECT_EQ(History(&node), Strings{});
  AddHistoryItem(&node, "E1", 0, "b");
  EXPECT_EQ(BuildHistoryPopup(&node, nullptr, "E1", 0, nullptr), nullptr);
  EXPECT_EQ(ReadSettingsFile(), damaged);

  // The same file repaired by the user is read again.
  WriteSettingsFile("[Form1]\n0_E1=a\n");
  EXPECT_EQ(History(&node), Strings{"a"});
}

TEST_F(B_Regist, PopupListsTheChosenFieldOfEachEntry) {
  TB_StorageNode node("Form1", nullptr, true, 5);
  Fill(&node, {"a;1", "b;2", "c;3"});
  std::unique_ptr<TComponent> owner(new TComponent(nullptr));
  std::vector<NativeInt> clicked;
  TNotifyEvent onClick = [&](TObject* sender) { clicked.push_back(static_cast<TMenuItem*>(sender)->Tag()); };

  TPopupMenu* popup = BuildHistoryPopup(&node, owner.get(), "E1", 1, onClick);
  ASSERT_NE(popup, nullptr);
  EXPECT_EQ(popup->Owner(), owner.get());
  EXPECT_EQ(popup->Alignment(), paLeft);
  ASSERT_TRUE(popup->Name().starts_with("PopupList"));
  String stamp = popup->Name().substr(9);
  EXPECT_GE(stamp.size(), 5u);
  EXPECT_EQ(stamp.find_first_not_of("0123456789"), String::npos) << stamp;
  ASSERT_EQ(popup->Items()->Count(), 3);
  for (int i = 0; i < 3; ++i) {
    TMenuItem* item = popup->Items()->Items(i);
    EXPECT_EQ(item->Caption(), IntToStr(i + 1));
    EXPECT_EQ(item->Tag(), i);
    item->Click();
  }
  EXPECT_EQ(clicked, (std::vector<NativeInt>{0, 1, 2}));

  // A second popup on the same owner gets a name of its own.
  TPopupMenu* again = BuildHistoryPopup(&node, owner.get(), "E1", 0, onClick);
  ASSERT_NE(again, nullptr);
  EXPECT_NE(again->Name(), popup->Name());
  EXPECT_EQ(again->Items()->Items(0)->Caption(), "a");

  // Entries stop at the first empty one; no entries, no popup.
  WriteRegistryValue(GetNodeRegistry(&node), "Form1", "1_E1", "", b_rkString);
  std::unique_ptr<TPopupMenu> cut(BuildHistoryPopup(&node, nullptr, "E1", 0, onClick));
  ASSERT_NE(cut, nullptr);
  EXPECT_EQ(cut->Items()->Count(), 1);
  EXPECT_EQ(BuildHistoryPopup(&node, owner.get(), "Other", 0, onClick), nullptr);
}

TEST_F(B_Regist, UnwritableFileKeepsHistoriesInMemoryAndReportsOnce) {
  TB_StorageNode node("Form1", nullptr, true, 5);
  Fill(&node, {"a"});
  const std::string before = ReadSettingsFile();
  std::vector<String> reports;
  Application->SetOnException([&](TObject*, Exception* e) { reports.push_back(e->Message()); });
  {
    UnwritableSettings unwritable;
    AddHistoryItem(&node, "E1", 0, "b");  // raises nothing into the caller
    AddHistoryItem(&node, "E1", 0, "c");
    AddHistoryItem(&node, "Other", 0, "x");
    EXPECT_EQ(History(&node), (Strings{"c", "b", "a"}));
    TB_StorageNode again("Form1");  // every holder of the key reads them
    EXPECT_EQ(History(&again), (Strings{"c", "b", "a"}));
    EXPECT_EQ(History(&again, "Other"), Strings{"x"});
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_TRUE(reports[0].starts_with("Failed to set data for '")) << reports[0];
  }
  EXPECT_EQ(ReadSettingsFile(), before);

  // Writable again, and wider than owner-only: the next save writes all the
  // history kept, and the file becomes owner-only.
  chmod(UserSettingsFileName().c_str(), 0644);
  AddHistoryItem(&node, "E1", 0, "d");
  const std::string after = ReadSettingsFile();
  for (const char* line : {"0_E1=d", "1_E1=c", "2_E1=b", "3_E1=a", "0_Other=x"})
    EXPECT_NE(after.find(line), std::string::npos) << line << " in " << after;
  struct stat st{};
  ASSERT_EQ(stat(UserSettingsFileName().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_EQ(reports.size(), 1u);

  // After a save that succeeded, a new failure is reported again.
  {
    UnwritableSettings unwritable;
    AddHistoryItem(&node, "E1", 0, "e");
  }
  EXPECT_EQ(reports.size(), 2u);
  EXPECT_EQ(History(&node), (Strings{"e", "d", "c", "b", "a"}));
}

TEST_F(B_Regist, ASaveWritesTheFileOnce) {
  TB_StorageNode node("Form1", nullptr, true, 8);
  Fill(&node, {"b", "c", "d", "e"});
  const String file = UserSettingsFileName();
  const String dir = file.substr(0, file.rfind('/'));
  int fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  ASSERT_GE(fd, 0);
  ASSERT_GE(inotify_add_watch(fd, dir.c_str(), IN_MOVED_TO | IN_CLOSE_WRITE), 0);
  AddHistoryItem(&node, "E1", 0, "a");  // four entries move down
  int writes = 0;
  alignas(inotify_event) char buffer[8192];
  for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) > 0;) {
    for (char* p = buffer; p < buffer + n;) {
      auto* e = reinterpret_cast<inotify_event*>(p);
      if (e->len > 0 && String(e->name) == "registry.ini") ++writes;
      p += sizeof(inotify_event) + e->len;
    }
  }
  close(fd);
  EXPECT_EQ(writes, 1);
  EXPECT_EQ(History(&node), (Strings{"a", "b", "c", "d", "e"}));
}
