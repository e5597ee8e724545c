#include <gtest/gtest.h>

#include <vector>

#include "dataaccess/core/pFIBLists.h"
#include "platform/rtl/Exceptions.h"

namespace {

// An object that counts its own destruction.
struct Tracked : TObject {
  explicit Tracked(int& freed) : freed_(freed) {}
  ~Tracked() override { ++freed_; }
  int& freed_;
};

// ---------------------------------------------------------------------------
// TObjStringList

TEST(TObjStringList, HashSamplesTheText) {
  // Short texts: bytes 1..n (the terminator included, the first byte not).
  EXPECT_EQ(TObjStringList::HashOf(""), 0);
  EXPECT_EQ(TObjStringList::HashOf("A"), -32);
  EXPECT_EQ(TObjStringList::HashOf("AB"), 1226);
  EXPECT_EQ(TObjStringList::HashOf("XB"), 1226);
  // 16 bytes and more: every (n div 8)-th byte from position 1, wrapping.
  EXPECT_EQ(TObjStringList::HashOf("0123456789ABCDEF"), 845979991);
  EXPECT_EQ(TObjStringList::HashOf("select * from T where ID = 1"), -82362473);
  EXPECT_EQ(TObjStringList::HashOf("0123456789ABCDEF"), TObjStringList::HashOf("x1x3x5x7x9xBxDxF"));
}

TEST(TObjStringList, HashedKeepsHashOrderAndFindsEveryKey) {
  int freed = 0;
  TObjStringList list(nullptr, true);
  std::vector<String> keys = {"AB", "XB", "select 1 from RDB$DATABASE", "select 2 from RDB$DATABASE",
                              "0123456789ABCDEF", "x1x3x5x7x9xBxDxF", "b", "a", ""};
  std::vector<TObject*> objects;
  for (const String& k : keys) {
    objects.push_back(new Tracked(freed));
    list.AddObject(k, objects.back());
  }
  ASSERT_EQ(list.Count(), static_cast<int>(keys.size()));
  for (int i = 1; i < list.Count(); ++i)
    EXPECT_LE(TObjStringList::HashOf(list.Strings(i - 1)), TObjStringList::HashOf(list.Strings(i)));
  for (size_t k = 0; k < keys.size(); ++k) {
    int at = -1;
    ASSERT_TRUE(list.Find(keys[k], at)) << keys[k];
    EXPECT_EQ(list.Strings(at), keys[k]);
    EXPECT_EQ(list.Objects(at), objects[k]) << "equal hashes keep both entries apart";
  }

  // Case matters; a miss gives an insertion point that keeps the hash order.
  int at = -1;
  EXPECT_FALSE(list.Find("SELECT 1 FROM RDB$DATABASE", at));
  EXPECT_FALSE(list.Find("QB", at)) << "same hash as AB, different text";
  EXPECT_TRUE(at == list.Count() || TObjStringList::HashOf(list.Strings(at)) >= 1226);
  EXPECT_TRUE(at == 0 || TObjStringList::HashOf(list.Strings(at - 1)) <= 1226);

  // A present key keeps its first object; the new one stays the caller's.
  Tracked spare(freed);
  int pos = list.AddObject("XB", &spare);
  EXPECT_EQ(list.Strings(pos), "XB");
  EXPECT_EQ(list.Objects(pos), objects[1]);
  EXPECT_EQ(list.Count(), static_cast<int>(keys.size()));

  // Deleting does not free; the hashes stay parallel to the strings.
  list.Delete("AB");
  list.Delete("not there");
  TObject* firstObject = list.Objects(0);
  list.DeleteAt(0);
  EXPECT_EQ(list.Count(), static_cast<int>(keys.size()) - 2);
  EXPECT_EQ(freed, 0);
  delete objects[0];
  delete firstObject;
  for (int i = 0; i < list.Count(); ++i) {
    ASSERT_TRUE(list.Find(list.Strings(i), at));
    EXPECT_EQ(at, i);
  }
  EXPECT_THROW(list.DeleteAt(list.Count()), EStringListError);
  EXPECT_EQ(list.Count(), static_cast<int>(keys.size()) - 2);
}

TEST(TObjStringList, PlainIsSortedCaseInsensitive) {
  int freed = 0;
  TObject owner;
  auto* list = new TObjStringList(&owner, false);
  EXPECT_EQ(list->Owner(), &owner);
  auto* first = new Tracked(freed);
  list->AddObject("beta", first);
  list->AddObject("Alpha", new Tracked(freed));
  list->AddObject("gamma", new Tracked(freed));
  Tracked spare(freed);
  EXPECT_EQ(list->AddObject("BETA", &spare), 1);
  EXPECT_EQ(list->Count(), 3);
  EXPECT_EQ(list->Strings(0), "Alpha");
  int at = -1;
  ASSERT_TRUE(list->Find("GAMMA", at));
  EXPECT_EQ(at, 2);
  EXPECT_EQ(list->Objects(1), first);
  EXPECT_THROW(list->Objects(3), EStringListError);
  delete list;  // frees the three objects it holds
  EXPECT_EQ(freed, 3);
}

TEST(TObjStringList, ClearFreesTheObjects) {
  int freed = 0;
  TObjStringList list(nullptr, true);
  list.AddObject("a", new Tracked(freed));
  list.AddObject("b", new Tracked(freed));
  list.Clear();
  EXPECT_EQ(freed, 2);
  EXPECT_EQ(list.Count(), 0);
  list.AddObject("a", nullptr);
  int at;
  EXPECT_TRUE(list.Find("a", at));
}

// ---------------------------------------------------------------------------
// TSortedList

std::vector<Integer> Values(const TSortedList& l) {
  std::vector<Integer> v;
  for (int i = 0; i < l.Count(); ++i) v.push_back(l.GetValue(i));
  return v;
}

TEST(TSortedList, AscendingWithoutDuplicates) {
  TSortedList l;
  EXPECT_EQ(l.LastValue(), -1);
  for (Integer v : {12, -3, 7, 40, 7}) l.Add(v);
  EXPECT_EQ(Values(l), (std::vector<Integer>{-3, 7, 12, 40}));
  EXPECT_EQ(l.Add(12), 2);
  EXPECT_EQ(l.Count(), 4);
  EXPECT_EQ(l.LastValue(), 40);

  int at = -1;
  EXPECT_TRUE(l.Find(-3, at));
  EXPECT_EQ(at, 0);
  EXPECT_FALSE(l.Find(8, at));
  EXPECT_EQ(at, 2);
  EXPECT_FALSE(l.Find(41, at));
  EXPECT_EQ(at, 4);

  l.Remove(7);
  l.Remove(8);
  EXPECT_EQ(Values(l), (std::vector<Integer>{-3, 12, 40}));
  EXPECT_THROW(l.GetValue(3), EListError);
  EXPECT_THROW(l.GetValue(-1), EListError);
  l.Clear();
  EXPECT_EQ(l.Count(), 0);
  EXPECT_EQ(l.LastValue(), -1);
}

TEST(TSortedList, ShiftValuesFromAValueUp) {
  struct Case {
    std::vector<Integer> before;
    Integer from, delta;
    std::vector<Integer> after;
  };
  const Case cases[] = {
      {{3, 10, 12}, 10, 5, {3, 15, 17}},
      {{3, 12}, 10, 5, {3, 17}},
      {{3, 12}, 13, 5, {3, 12}},
      {{3, 12}, -100, 1, {4, 13}},
      {{1, 5, 6}, 5, -1, {1, 4, 5}},
      {{1, 0x7FFFFFFF}, 2, 1, {1, INT32_MIN}},  // wraps like 32-bit arithmetic
  };
  for (const auto& c : cases) {
    TSortedList l;
    for (Integer v : c.before) l.Add(v);
    l.ShiftValues(c.from, c.delta);
    EXPECT_EQ(Values(l), c.after) << c.from << " " << c.delta;
  }
}

// ---------------------------------------------------------------------------
// TStringCollection

TEST(TStringCollection, GrowsBy128ThenByHalf) {
  TStringCollection t(2);
  EXPECT_EQ(t.Capacity(), 0);
  for (int i = 0; i < 128; ++i) t.AddRow();
  EXPECT_EQ(t.Capacity(), 128);
  EXPECT_EQ(t.AddRow(), 129);
  EXPECT_EQ(t.Capacity(), 192);
  for (int i = 129; i < 192; ++i) t.AddRow();
  EXPECT_EQ(t.Capacity(), 192);
  t.AddRow();
  EXPECT_EQ(t.Capacity(), 288);
  EXPECT_EQ(t.YCount(), 193);
  t.Clear();
  EXPECT_EQ(t.YCount(), 0);
  EXPECT_EQ(t.Capacity(), 0);
  EXPECT_EQ(t.CellPtr(0, 0), nullptr);
}

TEST(TStringCollection, CellsAndRowDeletion) {
  TStringCollection t(3);
  for (int y = 0; y < 4; ++y) {
    t.AddRow();
    for (int x = 0; x < 3; ++x) t.SetString(x, y, String(1, static_cast<char>('a' + x)) + std::to_string(y));
  }
  t.DeleteRow(1);
  ASSERT_EQ(t.YCount(), 3);
  for (int x = 0; x < 3; ++x) {
    String c(1, static_cast<char>('a' + x));
    EXPECT_EQ(t.GetString(x, 0), c + "0");
    EXPECT_EQ(t.GetString(x, 1), c + "2");
    EXPECT_EQ(t.GetString(x, 2), c + "3");
  }
  EXPECT_EQ(t.AddRow(), 4);
  EXPECT_EQ(t.GetString(2, 3), "") << "a new row is empty";
  EXPECT_THROW(t.DeleteRow(4), EListError);

  const char buf[] = {'x', 'y', '\0', 'z'};
  t.SetPChar(0, 0, -1, buf);
  EXPECT_EQ(t.GetString(0, 0), "xy");
  t.SetPChar(0, 0, 4, buf);
  EXPECT_EQ(t.GetString(0, 0), String(buf, 4));
  t.SetPChar(0, 0, 0, buf);
  EXPECT_EQ(t.GetString(0, 0), "");
  t.SetPChar(1, 0, -1, nullptr);
  EXPECT_EQ(t.GetString(1, 0), "");
  t.SetString(1, 0, "");
  EXPECT_EQ(t.GetString(1, 0), "");

  String* cell = t.CellPtr(2, 1);
  ASSERT_NE(cell, nullptr);
  EXPECT_EQ(*cell, "c2");
  EXPECT_EQ(t.CellPtr(3, 0), nullptr);
  EXPECT_EQ(t.CellPtr(0, 4), nullptr);
  EXPECT_EQ(t.CellPtr(-1, 0), nullptr);
}

TEST(TStringCollection, OutOfRangeCellsFailAssertions) {
  TStringCollection t(2);
  t.AddRow();
  t.SetString(1, 0, "kept");
  struct Case {
    int x, y;
    const char* read;
    const char* write;
  };
  const Case cases[] = {
      {2, 0, "Can't read value to StrCollection. Bad X-Index", "Can't write value to StrCollection. Bad X-Index"},
      {-1, 0, "Can't read value to StrCollection. Bad X-Index", "Can't write value to StrCollection. Bad X-Index"},
      {0, 1, "Can't read value to StrCollection. Bad Y-Index", "Can't write value to StrCollection. Bad Y-Index"},
      {1, -1, "Can't read value to StrCollection. Bad Y-Index", "Can't write value to StrCollection. Bad Y-Index"},
  };
  auto message = [](auto&& call) -> String {
    try {
      call();
    } catch (const EAssertionFailed& e) {
      return e.Message();
    }
    return "no assertion";
  };
  for (const auto& c : cases) {
    String r = message([&] { t.GetString(c.x, c.y); });
    EXPECT_EQ(r.rfind(c.read, 0), 0u) << r;
    EXPECT_NE(r.find("pFIBLists"), String::npos) << r;
    EXPECT_EQ(message([&] { t.SetString(c.x, c.y, "lost"); }).rfind(c.write, 0), 0u);
    EXPECT_EQ(message([&] { t.SetPChar(c.x, c.y, -1, "lost"); }).rfind(c.write, 0), 0u);
  }
  EXPECT_EQ(t.GetString(1, 0), "kept");
  EXPECT_EQ(t.GetString(0, 0), "");
}

}  // namespace
