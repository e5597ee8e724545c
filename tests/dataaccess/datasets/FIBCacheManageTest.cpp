#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "dataaccess/datasets/FIBCacheManage.h"
#include "dataaccess/datasets/pFIBFieldsDescr.h"

namespace {

// A caller layout with two stored-apart strings between a prefix and a
// suffix: prefix [0,10), string 1 (capacity 20) at 10, string 2
// (capacity 5) at 34, suffix [43,49). The stored image is 16 bytes.
constexpr int kBuffer = 49;
constexpr int kImage = 16;

struct TRecord {
  std::vector<Byte> bytes = std::vector<Byte>(kBuffer, 0xEE);

  void Prefix(Byte Value) { std::memset(bytes.data(), Value, 10); }
  void Suffix(Byte Value) { std::memset(bytes.data() + 43, Value, 6); }
  void Text(int Offset, const std::string& S) {
    const auto n = static_cast<Integer>(S.size());
    std::memcpy(bytes.data() + Offset, &n, 4);
    std::memcpy(bytes.data() + Offset + 4, S.data(), S.size());
  }
  std::string TextAt(int Offset) const {
    Integer n;
    std::memcpy(&n, bytes.data() + Offset, 4);
    return std::string(reinterpret_cast<const char*>(bytes.data()) + Offset + 4, static_cast<size_t>(n));
  }
};

struct TTestCache : TRecordsCache {
  explicit TTestCache(int ChunkRecords = 4) : TRecordsCache(ChunkRecords, kBuffer, kImage, 2) {
    SetStringFieldLayout(1, 10, 20);
    SetStringFieldLayout(2, 34, 5);
  }
};

void Store(TRecordsCache& Cache, int RecordNo, Byte Mark, const std::string& A, const std::string& B) {
  TRecord r;
  r.Prefix(Mark);
  r.Suffix(static_cast<Byte>(Mark + 1));
  r.Text(10, A);
  r.Text(34, B);
  Cache.WriteRecord(RecordNo, r.bytes.data(), true);
}

TRecord Load(TRecordsCache& Cache, int RecordNo, bool FromLog = false) {
  TRecord r;
  Cache.ReadRecordEx(RecordNo, r.bytes.data(), FromLog);
  return r;
}

std::vector<Integer> Order(TRecordsCache& Cache) {
  std::vector<Integer> order;
  for (int i = 1; i <= Cache.RecordCount(); ++i) order.push_back(Cache.PhysicalRecordNo(i));
  return order;
}

TEST(RecordsCacheTest, BlockSizes) {
  struct TCase {
    int Chunks, Buffer, Record, Block;
  } cases[] = {
      {32, 35, 30, 1050},   // 960 bytes: the least multiple of the buffer size above 1024
      {32, 32, 30, 1056},   // 1024 is a multiple of 32: the next one
      {100, 60, 50, 5000},  // records * chunks
      {32, 2000, 30, 2000},
  };
  for (const TCase& c : cases) {
    TRecordsCache cache(c.Chunks, c.Buffer, c.Record, 0);
    EXPECT_EQ(cache.BlockSize(), c.Block) << c.Record << "x" << c.Chunks;
    EXPECT_EQ(cache.RecordsPerBlock(), c.Block / c.Record);
    EXPECT_EQ(cache.BlockCount(), 0);
  }
  EXPECT_THROW(TRecordsCache(32, 10, 0, 0), EMemManagerError);
  EXPECT_THROW(TRecordsCache(32, 40, 50, 0), EMemManagerError);  // image wider than the record
  // A block beyond 2^31 bytes is refused rather than wrapped.
  try {
    TRecordsCache(100000, 100000, 100000, 0);
    FAIL() << "no error";
  } catch (const EMemManagerError& e) {
    EXPECT_STREQ(e.what(), "Incompatible Sizes");
  }
}

TEST(RecordsCacheTest, RecordsRoundTripThroughTheStoredImage) {
  TTestCache cache;
  Store(cache, 1, 0x11, "hello", "abc");
  Store(cache, 2, 0x22, "", "");
  Store(cache, 3, 0x33, std::string(20, 'x'), "12345");
  EXPECT_EQ(cache.RecordCount(), 3);
  // The strings live apart: the stored image is the prefix and the suffix.
  const Byte* image = cache.GetRecordPtr(1);
  EXPECT_EQ(image[0], 0x11);
  EXPECT_EQ(image[9], 0x11);
  EXPECT_EQ(image[10], 0x12);
  EXPECT_EQ(image[15], 0x12);

  TRecord r = Load(cache, 1);
  EXPECT_EQ(r.bytes[0], 0x11);
  EXPECT_EQ(r.bytes[48], 0x12);
  EXPECT_EQ(r.TextAt(10), "hello");
  EXPECT_EQ(r.bytes[10 + 4 + 5], 0);  // a zero byte after a shorter text
  EXPECT_EQ(r.TextAt(34), "abc");
  EXPECT_EQ(Load(cache, 2).TextAt(10), "");
  r = Load(cache, 3);
  EXPECT_EQ(r.TextAt(10), std::string(20, 'x'));
  EXPECT_EQ(r.TextAt(34), "12345");
  EXPECT_EQ(r.bytes[33], 'x');  // full capacity: the last byte is text
  EXPECT_EQ(cache.GetStringCell(0, 0), "hello");
  EXPECT_EQ(cache.GetFieldString(3, 1), "12345");

  // A null buffer empties the record.
  cache.WriteRecord(1, nullptr, false);
  r = Load(cache, 1);
  EXPECT_EQ(r.bytes[0], 0);
  EXPECT_EQ(r.TextAt(10), "");
}

TEST(RecordsCacheTest, BlocksGrowWithTheRecordsAndAddressesStay) {
  TTestCache cache(4);  // 49 + 1024 - 44 = 1029: 64 records per block
  cache.AddBlock();
  Byte* first = cache.GetRecordForWrite(1);
  for (int i = 1; i <= 200; ++i) Store(cache, i, static_cast<Byte>(i), std::to_string(i), "");
  EXPECT_EQ(cache.BlockCount(), (200 + cache.RecordsPerBlock() - 1) / cache.RecordsPerBlock());
  EXPECT_EQ(cache.GetRecordPtr(1), first);
  for (int i : {1, 64, 65, 200}) EXPECT_EQ(Load(cache, i).TextAt(10), std::to_string(i));
}

TEST(RecordsCacheTest, ErrorsNameTheOperationAndChangeNothing) {
  TTestCache cache;
  Store(cache, 1, 1, "a", "b");
  const int beyond = cache.RecordsPerBlock() + 1;  // past the only block
  struct TCase {
    const char* Text;
    std::function<void()> Call;
  } cases[] = {
      {"Can't read Buffer.Incorrect RecordNo", [&] { Load(cache, beyond); }},
      {"Can't read Buffer.Incorrect RecordNo", [&] { cache.GetRecordPtr(beyond); }},
      {"Can't read Buffer.Incorrect RecordNo", [&] { Load(cache, 0); }},
      {"Can't write to Buffer.Incorrect RecordNo", [&] {
         TRecord r;
         cache.WriteRecord(beyond, r.bytes.data(), false);
       }},
      {"Can't write to Buffer.Incorrect RecordNo", [&] { cache.GetRecordForWrite(0); }},
      {"Can't read  FieldData .Incorrect RecordNo", [&] {
         Byte* p;
         cache.GetFieldPtr(beyond, 0, p);
       }},
      {"Can't move record.Incorrect RecordNo", [&] { cache.MoveRecord(0, 1); }},
      {"Can't move record.Incorrect RecordNo", [&] { cache.InsertRecord(3); }},
      // Not a permutation of the first positions, or more than the records.
      {"Can't move record.Incorrect RecordNo", [&] { cache.ReorderRecords(std::vector<Integer>{0, 0}); }},
      {"Can't move record.Incorrect RecordNo", [&] { cache.ReorderRecords(std::vector<Integer>{1}); }},
      {"Can't move record.Incorrect RecordNo", [&] { cache.ReorderRecords(std::vector<Integer>{0, 1}); }},
  };
  for (const TCase& c : cases) {
    try {
      c.Call();
      ADD_FAILURE() << "no error: " << c.Text;
    } catch (const EMemManagerError& e) {
      EXPECT_STREQ(e.what(), c.Text);
    }
  }
  EXPECT_EQ(cache.RecordCount(), 1);
  EXPECT_EQ(cache.BlockCount(), 1);
  EXPECT_FALSE(cache.HasIndex());
  EXPECT_EQ(cache.FindRecordPtr(beyond), nullptr);
  EXPECT_EQ(Load(cache, 1).TextAt(10), "a");
  EXPECT_THROW(cache.SetStringFieldLayout(1, 10, 40), EMemManagerError);  // the record cannot hold it
}

TEST(RecordsCacheTest, StringValuesAreTrimmedAndCutByTheirCapacity) {
  struct TCase {
    std::string Value;
    std::string Stored;  // in the cell
    std::string Read;    // through a record
  } cases[] = {
      {"abc", "abc", "abc"},
      {"abc  ", "abc", "abc"},
      {"", "", ""},
      {"ab   xyz", "ab", "ab"},            // cut to 5 ("ab   "), then trimmed
      {"abcdefgh", "abcdefgh", "abcde"},  // nothing to trim: stored whole, read cut
  };
  TTestCache cache;
  Store(cache, 1, 1, "", "");
  for (const TCase& c : cases) {
    cache.SetStringValue(1, 0, c.Value);
    EXPECT_EQ(cache.GetStringCell(0, 1), c.Stored) << c.Value;
    EXPECT_EQ(Load(cache, 1).TextAt(34), c.Read) << c.Value;
    // Reading cut the cell itself.
    EXPECT_EQ(cache.GetStringCell(0, 1), c.Read) << c.Value;
  }
  char chars[20] = "trim me   ";
  cache.SetStringFromBuffer(0, 0, true, 10, chars);
  EXPECT_EQ(cache.GetStringCell(0, 0), "trim me");
  EXPECT_EQ(chars[7], 0);
  char exact[] = "keep  ";
  cache.SetStringFromBuffer(0, 0, false, 6, exact);
  EXPECT_EQ(cache.GetStringCell(0, 0), "keep  ");
  EXPECT_THROW(cache.SetStringValue(2, 0, "x"), EMemManagerError);  // no such string field
}

TEST(RecordsCacheTest, RewrittenStringsKeepTheirValues) {
  TRecordsCache cache(4, 1100, 1, 1);
  cache.SetStringFieldLayout(1, 1, 1000);
  for (int i = 1; i <= 3; ++i) cache.GetRecordForWrite(i);
  // Growing rewrites leave space behind until the table compacts itself.
  for (int round = 1; round <= 3000; ++round)
    cache.SetStringValue(0, round % 3, std::string(static_cast<size_t>(round % 1000 + 1), static_cast<char>('a' + round % 3)));
  for (int round = 2998; round <= 3000; ++round)
    EXPECT_EQ(cache.GetStringCell(round % 3, 0),
              std::string(static_cast<size_t>(round % 1000 + 1), static_cast<char>('a' + round % 3)));
  EXPECT_LT(cache.MemoryUsed(), size_t{8} << 20);
}

TEST(RecordsCacheTest, ReorderingMovesIndexEntries) {
  struct TCase {
    const char* Name;
    std::function<void(TRecordsCache&)> Step;
    std::vector<Integer> Order;
  } cases[] = {
      {"move down", [](TRecordsCache& c) { c.MoveRecord(0, 2); }, {2, 3, 1, 4}},
      {"move up", [](TRecordsCache& c) { c.MoveRecord(3, 1); }, {1, 4, 2, 3}},
      {"move in place", [](TRecordsCache& c) { c.MoveRecord(2, 2); }, {1, 2, 3, 4}},
      {"swap", [](TRecordsCache& c) { c.SwapRecords(0, 3); }, {4, 2, 3, 1}},
      {"insert first", [](TRecordsCache& c) { c.InsertRecord(0); }, {5, 1, 2, 3, 4}},
      {"insert last", [](TRecordsCache& c) { c.InsertRecord(4); }, {1, 2, 3, 4, 5}},
      {"reorder", [](TRecordsCache& c) { c.ReorderRecords(std::vector<Integer>{3, 0, 2, 1}); }, {4, 1, 3, 2}},
      {"reorder a prefix", [](TRecordsCache& c) { c.ReorderRecords(std::vector<Integer>{1, 0}); }, {2, 1, 3, 4}},
      // The reverse map follows every later change.
      {"reorder, then move", [](TRecordsCache& c) {
         c.ReorderRecords(std::vector<Integer>{3, 2, 1, 0});
         c.LogicalIndexOf(2);
         c.MoveRecord(0, 3);
       }, {3, 2, 1, 4}},
  };
  for (const TCase& c : cases) {
    TTestCache cache;
    for (int i = 1; i <= 4; ++i) Store(cache, i, static_cast<Byte>(i), "r" + std::to_string(i), "");
    c.Step(cache);
    EXPECT_EQ(Order(cache), c.Order) << c.Name;
    EXPECT_TRUE(cache.HasIndex());
    for (size_t k = 0; k < c.Order.size(); ++k) EXPECT_EQ(cache.LogicalIndexOf(c.Order[k]), static_cast<Integer>(k));
    // Records keep their images: logical position k shows physical Order[k].
    if (c.Order[0] <= 4) {
      EXPECT_EQ(Load(cache, 1).TextAt(10), "r" + std::to_string(c.Order[0])) << c.Name;
    }
  }
  TTestCache cache;
  for (int i = 1; i <= 3; ++i) Store(cache, i, 1, "", "");
  cache.InsertRecord(1);  // a new physical record 4 at logical 2, with its own string row
  Store(cache, 2, 9, "new", "");
  EXPECT_EQ(Load(cache, 2).TextAt(10), "new");
  EXPECT_EQ(cache.GetFieldString(2, 0), "new");
  EXPECT_TRUE(cache.RecordExists(4));
  EXPECT_FALSE(cache.RecordExists(5));
  EXPECT_FALSE(cache.RecordExists(0));
  EXPECT_EQ(cache.LogicalIndexOf(9), -1);
  EXPECT_EQ(cache.PhysicalRecordNo(9), -1);
  // Writing past the index extends it with new physical numbers.
  Store(cache, 6, 6, "six", "");
  EXPECT_EQ(cache.RecordCount(), 6);
  EXPECT_EQ(cache.PhysicalRecordNo(6), 6);
}

TEST(RecordsCacheTest, OldVersionsWithAndWithoutTheLog) {
  TTestCache cache;
  for (int i = 1; i <= 3; ++i) Store(cache, i, static_cast<Byte>(i), "v1", "");

  // Log: one entry and slot per record; the last logging wins.
  cache.SetLogOldVersions(true);
  cache.LogOldVersion(2);
  Store(cache, 2, 0x20, "v2", "");
  cache.LogOldVersion(2);
  Store(cache, 2, 0x21, "v3", "");
  EXPECT_EQ(cache.LogCount(), 1);
  EXPECT_EQ(cache.LogBlockCount(), 1);
  EXPECT_EQ(Load(cache, 2, true).TextAt(10), "v2");
  EXPECT_EQ(Load(cache, 1, true).TextAt(10), "v1");  // not logged: the current version
  cache.SaveOldVersion(3);                             // logs too
  EXPECT_EQ(cache.LogCount(), 2);
  cache.RestoreOldVersion(2);
  EXPECT_EQ(Load(cache, 2).TextAt(10), "v2");
  EXPECT_EQ(Load(cache, 2).bytes[0], 0x20);
  cache.ClearLog();
  EXPECT_EQ(cache.LogCount(), 0);
  EXPECT_EQ(cache.LogBlockCount(), 0);
  cache.LogOldVersion(3);
  EXPECT_EQ(Load(cache, 3, true).TextAt(10), "v1");

  // A number beyond the records: all 1 bytes.
  const Byte* beyond = cache.GetOldVersion(50);
  for (int i = 0; i < kBuffer; ++i) ASSERT_EQ(beyond[i], 1) << i;
}

TEST(RecordsCacheTest, LoggedVersionsInAnyOrderStayWithTheirRecords) {
  constexpr int kCount = 150;  // three blocks
  TTestCache cache;
  for (int i = 1; i <= kCount; ++i) Store(cache, i, static_cast<Byte>(i), "v" + std::to_string(i), "");
  cache.SetLogOldVersions(true);
  // Descending, then every third record again in ascending order.
  for (int i = kCount; i >= 1; --i) cache.LogOldVersion(i);
  for (int i = 1; i <= kCount; i += 3) {
    Store(cache, i, static_cast<Byte>(i), "w" + std::to_string(i), "");
    cache.LogOldVersion(i);
  }
  EXPECT_EQ(cache.LogCount(), kCount);
  EXPECT_EQ(cache.LogBlockCount(), (kCount + cache.RecordsPerBlock() - 1) / cache.RecordsPerBlock());
  // The log follows the physical record, whatever the logical order.
  cache.MoveRecord(0, kCount - 1);
  for (int i = 1; i <= kCount; ++i) {
    const int physical = i == kCount ? 1 : i + 1;
    const std::string logged = ((physical - 1) % 3 == 0 ? "w" : "v") + std::to_string(physical);
    EXPECT_EQ(Load(cache, i, true).TextAt(10), logged) << i;
  }
  cache.ClearLog();
  cache.LogOldVersion(kCount);
  EXPECT_EQ(cache.LogCount(), 1);
  EXPECT_EQ(Load(cache, kCount, true).TextAt(10), "w1");
  EXPECT_EQ(Load(cache, 1, true).TextAt(10), "v2");  // not logged since: the current version
}

TEST(RecordsCacheTest, SavedOldVersionFollowsItsRecordAcrossReordering) {
  TTestCache cache;
  for (int i = 1; i <= 3; ++i) Store(cache, i, static_cast<Byte>(i), "before" + std::to_string(i), "");
  cache.SaveOldVersion(2);
  Store(cache, 2, 0x22, "after2", "");
  // Moving record 2 to the front: logical 2 now names record 1.
  cache.MoveRecord(1, 0);
  TRecord old;
  std::memcpy(old.bytes.data(), cache.GetOldVersion(1), kBuffer);
  EXPECT_EQ(old.TextAt(10), "before2");
  std::memcpy(old.bytes.data(), cache.GetOldVersion(2), kBuffer);
  EXPECT_EQ(old.TextAt(10), "before1");  // record 1 was never saved: its current version
  // Asking for another record left the saved version alone.
  std::memcpy(old.bytes.data(), cache.GetOldVersion(1), kBuffer);
  EXPECT_EQ(old.TextAt(10), "before2");
  cache.RestoreOldVersion(1);
  EXPECT_EQ(Load(cache, 1).TextAt(10), "before2");
  EXPECT_EQ(Load(cache, 2).TextAt(10), "before1");
}

TEST(FieldDescrListTest, AddClearAndBounds) {
  TFIBFieldDescrList list;
  EXPECT_EQ(list.Add(448, -2, fdkWideString, true, false, true, 40), 0);
  EXPECT_EQ(list.Add(496, 0, fdkOrdinary, false, true, false, 4), 1);
  const TFIBFieldDescr* d = list.Items(0);
  EXPECT_EQ(d->SQLType, 448);
  EXPECT_EQ(d->Scale, -2);
  EXPECT_EQ(d->Kind, fdkWideString);
  EXPECT_EQ(d->InCollection, 1);
  EXPECT_EQ(d->Nullable, 1);
  EXPECT_EQ(d->DataSize, 40);
  EXPECT_EQ(d->CollectionIndex, -1);
  EXPECT_EQ(list.Items(1)->IsDBKey, 1);
  EXPECT_THROW(list.Items(2), EListError);
  EXPECT_THROW(list.Items(-1), EListError);
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.Add(500, 0, fdkOrdinary, false, false, false, 2), 0);
}

}  // namespace
