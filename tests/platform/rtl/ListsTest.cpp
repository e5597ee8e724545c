#include "platform/rtl/Lists.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

using ::testing::StrEq;
using ::testing::ThrowsMessage;

namespace {

int g_values[8] = {0, 1, 2, 3, 4, 5, 6, 7};
void* P(int i) { return &g_values[i]; }

std::vector<int> ValuesOf(const TList& list) {
  std::vector<int> out;
  for (int i = 0; i < list.Count(); ++i) {
    void* p = list.Items(i);
    out.push_back(p == nullptr ? -1 : *static_cast<int*>(p));
  }
  return out;
}

class TRecordingList : public TList {
 public:
  explicit TRecordingList(std::vector<std::pair<int, TListNotification>>* log) : log_(log) {}

 protected:
  void Notify(void* Ptr, TListNotification Action) override { log_->emplace_back(*static_cast<int*>(Ptr), Action); }

 private:
  std::vector<std::pair<int, TListNotification>>* log_;
};

class TCounted : public TObject {
 public:
  static inline int Live = 0;
  TCounted() { ++Live; }
  ~TCounted() override { --Live; }
};

// TObject is not the first base: its address differs from the object's.
struct TOtherBase {
  virtual ~TOtherBase() = default;
  int pad[3] = {};
};
// Unoptimised, GCC takes the destroying delete for a plain deallocation and
// warns that the TObject part is not where the allocation starts; the delete
// frees from the most derived address.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wfree-nonheap-object"
class TMixed : public TOtherBase, public TCounted {};
#pragma GCC diagnostic pop

}  // namespace

TEST(List, Operations) {
  TList list;
  for (int i : {3, 1, 2}) list.Add(P(i));
  list.Insert(0, P(0));
  EXPECT_EQ(ValuesOf(list), (std::vector<int>{0, 3, 1, 2}));
  list.Move(1, 3);
  EXPECT_EQ(ValuesOf(list), (std::vector<int>{0, 1, 2, 3}));
  list.Exchange(0, 3);
  EXPECT_EQ(ValuesOf(list), (std::vector<int>{3, 1, 2, 0}));
  EXPECT_EQ(list.IndexOf(P(2)), 2);
  EXPECT_EQ(list.IndexOf(P(7)), -1);
  EXPECT_EQ(list.Remove(P(1)), 1);
  EXPECT_EQ(list.Remove(P(1)), -1);
  EXPECT_EQ(list.Extract(P(2)), P(2));
  EXPECT_EQ(list.Extract(P(2)), nullptr);
  EXPECT_EQ(list.First(), P(3));
  EXPECT_EQ(list.Last(), P(0));

  list.SetCount(4);  // grows with null items
  list.Put(3, P(5));
  EXPECT_EQ(ValuesOf(list), (std::vector<int>{3, 0, -1, 5}));
  list.Pack();
  EXPECT_EQ(ValuesOf(list), (std::vector<int>{3, 0, 5}));
  list.Sort([](void* a, void* b) { return *static_cast<int*>(a) - *static_cast<int*>(b); });
  EXPECT_EQ(ValuesOf(list), (std::vector<int>{0, 3, 5}));

  TList copy;
  copy.Add(P(7));
  copy.Assign(&list);
  EXPECT_EQ(ValuesOf(copy), (std::vector<int>{0, 3, 5}));
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.Capacity(), 0);
}

TEST(List, BoundsErrors) {
  TList list;
  list.Add(P(1));
  list.Add(P(2));
  struct Case {
    const char* what;
    std::function<void()> op;
    const char* message;
  };
  const Case cases[] = {
      {"Items", [&] { list.Items(2); }, "List index out of bounds (2)"},
      {"Items-", [&] { list.Items(-1); }, "List index out of bounds (-1)"},
      {"Put", [&] { list.Put(2, nullptr); }, "List index out of bounds (2)"},
      {"Delete", [&] { list.Delete(5); }, "List index out of bounds (5)"},
      {"Insert", [&] { list.Insert(3, nullptr); }, "List index out of bounds (3)"},
      {"Exchange", [&] { list.Exchange(0, 2); }, "List index out of bounds (2)"},
      {"Move", [&] { list.Move(-1, 0); }, "List index out of bounds (-1)"},
      {"SetCount", [&] { list.SetCount(-1); }, "List count out of bounds (-1)"},
      {"SetCapacity", [&] { list.SetCapacity(1); }, "List capacity out of bounds (1)"},
      {"SetCapacityMax", [&] { list.SetCapacity(MaxListSize + 1); }, "List capacity out of bounds (134217728)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_THAT(c.op, ThrowsMessage<EListError>(StrEq(c.message)));
  }
  EXPECT_EQ(ValuesOf(list), (std::vector<int>{1, 2}));
  list.Insert(2, P(3));  // at Count: appends

  TList empty;
  EXPECT_THAT([&] { empty.Last(); }, ThrowsMessage<EListError>(StrEq("List index out of bounds (-1)")));
  EXPECT_THROW(empty.First(), EListError);
}

TEST(List, NotifySeesEveryNonNullItem) {
  using L = std::vector<std::pair<int, TListNotification>>;
  L log;
  auto* list = new TRecordingList(&log);
  list->Add(P(1));
  list->Add(nullptr);
  list->Insert(0, P(2));
  list->Put(0, P(3));  // the old item goes, the new one comes
  list->Extract(P(1));
  list->Add(P(4));
  list->Delete(0);
  list->Add(P(5));
  list->SetCount(2);  // deletes from the end
  EXPECT_EQ(log, (L{{1, lnAdded},
                    {2, lnAdded},
                    {2, lnDeleted},
                    {3, lnAdded},
                    {1, lnExtracted},
                    {4, lnAdded},
                    {3, lnDeleted},
                    {5, lnAdded},
                    {5, lnDeleted}}));
  log.clear();
  delete list;  // clears through the derived class: its Notify still runs
  EXPECT_EQ(log, (L{{4, lnDeleted}}));
}

TEST(ObjectList, OwnsAndFreesObjects) {
  TCounted::Live = 0;
  {
    TObjectList list;
    auto* a = new TCounted;
    auto* b = new TCounted;
    list.Add(a);
    list.Add(b);
    list.Add(new TCounted);
    list.Add(new TCounted);
    list.Delete(0);
    EXPECT_EQ(TCounted::Live, 3);
    EXPECT_EQ(list.Extract(b), b);  // taken out, not freed
    EXPECT_EQ(TCounted::Live, 3);
    delete b;
    list.Put(0, new TCounted);  // the replaced object is freed
    EXPECT_EQ(TCounted::Live, 2);
    list.Remove(list.Items(1));
    EXPECT_EQ(TCounted::Live, 1);
    list.Add(new TCounted);
  }  // a list on the stack frees what it owns
  EXPECT_EQ(TCounted::Live, 0);

  auto* heap = new TObjectList;
  heap->Add(new TCounted);
  delete heap;
  EXPECT_EQ(TCounted::Live, 0);

  TCounted kept;
  {
    TObjectList notOwning(false);
    notOwning.Add(&kept);
    notOwning.Clear();
  }
  EXPECT_EQ(TCounted::Live, 1);
}

TEST(ObjectList, TypedListFreesObjectsWhoseTObjectPartIsNotFirst) {
  TCounted::Live = 0;
  {
    TObjectListOf<TMixed> list;
    auto* m = new TMixed;
    list.Add(m);
    list.Add(new TMixed);
    EXPECT_EQ(list.Items(0), m);
    EXPECT_EQ(list.IndexOf(m), 0);
    EXPECT_EQ(list.First(), m);
    list.Delete(1);
    EXPECT_EQ(TCounted::Live, 1);
  }
  EXPECT_EQ(TCounted::Live, 0);
}
