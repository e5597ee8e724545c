#include "platform/rtl/Collection.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using ::testing::StrEq;
using ::testing::ThrowsMessage;

namespace {

std::vector<std::string> g_log;

class TTestItem : public TCollectionItem {
 public:
  static inline int Live = 0;
  explicit TTestItem(TCollection* Collection) : TCollectionItem(Collection), Caption("new") { ++Live; }
  ~TTestItem() override { --Live; }

  std::string Caption;

  void Assign(TPersistent* Source) override {
    if (auto* src = dynamic_cast<TTestItem*>(Source)) {
      Caption = src->Caption;
      return;
    }
    TCollectionItem::Assign(Source);
  }
  void Touch() { Changed(false); }

 protected:
  String GetDisplayName() const override { return Caption; }
};

std::string Name(TCollectionItem* item) {
  if (item == nullptr) return "nil";
  // Notifications see complete items: the derived part is already built.
  auto* t = dynamic_cast<TTestItem*>(item);
  return t == nullptr ? "?" : t->Caption + "#" + std::to_string(item->ID());
}

class TTestCollection : public TOwnedCollection {
 public:
  explicit TTestCollection(TPersistent* AOwner, TCollectionItemClass ItemClass = CollectionItemFactory<TTestItem>)
      : TOwnedCollection(AOwner, ItemClass) {}
  TTestItem* Item(int i) const { return static_cast<TTestItem*>(Items(i)); }
  TTestItem* AddItem(const char* caption) {
    auto* item = static_cast<TTestItem*>(Add());
    item->Caption = caption;
    return item;
  }

 protected:
  void Update(TCollectionItem* Item) override { g_log.push_back("update " + Name(Item)); }
  void Notify(TCollectionItem* Item, TCollectionNotification Action) override {
    static const char* const names[] = {"added", "extracting", "deleting"};
    g_log.push_back(std::string(names[Action]) + " " + Name(Item));
  }
};

std::vector<std::string> Captions(const TTestCollection& c) {
  std::vector<std::string> out;
  for (int i = 0; i < c.Count(); ++i) out.push_back(c.Item(i)->Caption);
  return out;
}

using Log = std::vector<std::string>;

}  // namespace

TEST(Collection, NotificationsAndUpdates) {
  TTestCollection c(nullptr);
  g_log.clear();
  TTestItem* a = c.AddItem("a");
  EXPECT_EQ(g_log, (Log{"added new#0", "update nil"}));

  g_log.clear();
  a->Touch();
  EXPECT_EQ(g_log, (Log{"update a#0"}));

  // Inside an update: notifications pass, one Update(nullptr) at the end.
  g_log.clear();
  c.BeginUpdate();
  c.BeginUpdate();
  c.AddItem("b");
  a->Touch();
  c.EndUpdate();
  c.AddItem("c");
  EXPECT_EQ(g_log, (Log{"added new#1", "added new#2"}));
  c.EndUpdate();
  EXPECT_EQ(g_log, (Log{"added new#1", "added new#2", "update nil"}));

  g_log.clear();
  c.Delete(1);
  EXPECT_EQ(g_log, (Log{"deleting b#1", "extracting b#1", "update nil"}));

  g_log.clear();
  delete c.Item(0);  // freeing an item removes it
  EXPECT_EQ(g_log, (Log{"extracting a#0", "update nil"}));
  EXPECT_EQ(Captions(c), (std::vector<std::string>{"c"}));

  g_log.clear();
  c.AddItem("d");
  c.Clear();
  EXPECT_EQ(g_log, (Log{"added new#3", "update nil", "extracting d#3", "extracting c#2", "update nil"}));
  EXPECT_EQ(c.Count(), 0);
}

TEST(Collection, IndexMovesItemsAndIdsStayUnique) {
  TTestCollection c(nullptr);
  for (const char* s : {"a", "b", "c", "d"}) c.AddItem(s);
  g_log.clear();
  c.Item(0)->SetIndex(2);
  EXPECT_EQ(Captions(c), (std::vector<std::string>{"b", "c", "a", "d"}));
  EXPECT_EQ(g_log, (Log{"update nil"}));
  EXPECT_EQ(c.Item(2)->Index(), 2);
  c.Item(3)->SetIndex(0);
  EXPECT_EQ(Captions(c), (std::vector<std::string>{"d", "b", "c", "a"}));
  EXPECT_THROW(c.Item(0)->SetIndex(4), EListError);

  auto* inserted = static_cast<TTestItem*>(c.Insert(1));
  inserted->Caption = "i";
  EXPECT_EQ(Captions(c), (std::vector<std::string>{"d", "i", "b", "c", "a"}));
  EXPECT_THROW(c.Insert(6), EListError);
  EXPECT_EQ(c.Count(), 5);  // a refused insert adds nothing

  EXPECT_EQ(c.FindItemID(4), inserted);
  c.Delete(0);  // d, ID 3
  EXPECT_EQ(c.FindItemID(3), nullptr);
  EXPECT_EQ(c.AddItem("e")->ID(), 5);  // IDs are not reused

  EXPECT_THAT([&] { c.Items(9); }, ThrowsMessage<EListError>(StrEq("List index out of bounds (9)")));
}

TEST(Collection, FactoryWithPlainNewIsAnnouncedOnceComplete) {
  TTestCollection c(nullptr, [](TCollection* owner) -> TCollectionItem* { return new TTestItem(owner); });
  g_log.clear();
  c.Add();
  EXPECT_EQ(g_log, (Log{"added new#0", "update nil"}));

  // Made with plain `new` outside Add, an item joins unannounced, and leaves
  // the same way.
  g_log.clear();
  auto* item = new TTestItem(&c);
  EXPECT_EQ(item->Index(), 1);
  delete item;
  EXPECT_EQ(g_log, Log{});
  EXPECT_EQ(c.Count(), 1);
}

TEST(Collection, AssignClearsAndCopiesItemByItem) {
  TTestCollection src(nullptr);
  src.AddItem("x");
  src.AddItem("y");
  TTestCollection dst(nullptr);
  dst.AddItem("old");
  g_log.clear();
  dst.Assign(&src);
  EXPECT_EQ(Captions(dst), (std::vector<std::string>{"x", "y"}));
  // One update for the whole assignment.
  EXPECT_EQ(std::count(g_log.begin(), g_log.end(), "update nil"), 1);
  EXPECT_EQ(g_log.back(), "update nil");

  dst.SetItems(0, src.Item(1));
  EXPECT_EQ(dst.Item(0)->Caption, "y");
  TCollectionItem plain(nullptr);
  EXPECT_THROW(dst.Item(0)->Assign(&plain), EConvertError);
}

TEST(Collection, NamePathsAndOwners) {
  TComponent form(nullptr);
  form.SetName("Form1");
  TTestCollection c(&form);
  c.AddItem("a");
  c.AddItem("b");
  EXPECT_EQ(c.GetNamePath(), c.ClassName());  // property name unknown
  c.SetPropName("Columns");
  EXPECT_EQ(c.GetNamePath(), "Form1.Columns");
  EXPECT_EQ(c.Item(1)->GetNamePath(), "Form1.Columns[1]");
  EXPECT_EQ(c.Item(1)->DisplayName(), "b");
  EXPECT_EQ(c.Item(1)->GetOwner(), &c);
  EXPECT_EQ(c.Owner(), &form);
  EXPECT_EQ(TCollection(CollectionItemFactory<TTestItem>).Owner(), nullptr);

  TCollectionItem loose(nullptr);
  EXPECT_EQ(loose.GetNamePath(), "TCollectionItem");
  EXPECT_EQ(loose.Index(), -1);
}

TEST(Collection, ItemsMoveBetweenCollectionsAndAreFreedWithThem) {
  TTestItem::Live = 0;
  auto* a = new TTestCollection(nullptr);
  TTestCollection b(nullptr);
  a->AddItem("one");
  TTestItem* moving = a->AddItem("two");
  b.AddItem("three");
  g_log.clear();
  moving->SetCollection(&b);  // a new ID in b
  EXPECT_EQ(g_log, (Log{"extracting two#1", "update nil", "added two#1", "update nil"}));
  EXPECT_EQ(moving->Collection(), &b);
  EXPECT_EQ(moving->Index(), 1);
  EXPECT_EQ(a->Count(), 1);

  // A collection freed with `delete` reports each item to its own Notify.
  g_log.clear();
  delete a;
  EXPECT_EQ(g_log, (Log{"extracting one#0"}));
  EXPECT_EQ(TTestItem::Live, 2);

  // Create<T> announces an item once it is complete.
  g_log.clear();
  auto* made = Create<TTestItem>(&b);
  EXPECT_EQ(g_log, (Log{"added new#2", "update nil"}));
  EXPECT_EQ(made->Index(), 2);
  {
    TTestCollection local(nullptr);
    local.AddItem("x");
    local.AddItem("y");
  }
  EXPECT_EQ(TTestItem::Live, 3);
}
