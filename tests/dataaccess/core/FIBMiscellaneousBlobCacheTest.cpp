// The BLOB disk cache on an embedded database: cache files written and
// read by BLOB streams of table rows, and the validator thread.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>
#include <vector>

#include "dataaccess/core/FIBDatabase.h"
#include "dataaccess/core/FIBMiscellaneous.h"
#include "platform/rtl/SysUtils.h"
#include "tests/dataaccess/core/BlobArrayFixture.h"
#include "tests/support/fb/FIBTestSupport.h"

#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<Byte>;

Bytes Pattern(size_t Size, int Seed) {
  Bytes b(Size);
  for (size_t i = 0; i < Size; ++i) b[i] = static_cast<Byte>((i * 31 + static_cast<size_t>(Seed) * 7) & 0xFF);
  return b;
}

String HexLiteral(const Bytes& Data) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  String s = "x'";
  for (Byte b : Data) {
    s += kHex[b >> 4];
    s += kHex[b & 0x0F];
  }
  return s + "'";
}

Bytes FileBytes(const String& Name) {
  std::ifstream in(Name, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFileBytes(const String& Name, const Bytes& Data) {
  std::ofstream out(Name, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(Data.data()), static_cast<std::streamsize>(Data.size()));
}

bool WaitForValidators(std::chrono::milliseconds Limit = std::chrono::seconds(30)) {
  const auto end = std::chrono::steady_clock::now() + Limit;
  while (ValidateBlobCacheThreadCount() > 0) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

// The header of a cache file, built here byte by byte.
Bytes CacheHeader(const ISC_QUAD& Id, uint32_t BodySize, uint32_t KeyCount, const String& Table, const String& Field,
                  const String& KeyText) {
  Bytes b;
  auto u32 = [&b](uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<Byte>(v >> (8 * i)));
  };
  auto text = [&](const String& t) {
    u32(static_cast<uint32_t>(t.size()));
    b.insert(b.end(), t.begin(), t.end());
  };
  const String signature = "FIB$BLOB_BODY";
  b.insert(b.end(), signature.begin(), signature.end());
  u32(1);
  u32(static_cast<uint32_t>(Id.gds_quad_high));
  u32(Id.gds_quad_low);
  u32(BodySize);
  u32(KeyCount);
  text(Table);
  text(Field);
  text(KeyText);
  return b;
}

// The shared BLOB fixture (connected, transaction running) with tables T
// (binary) and F (filtered), and a cache folder per test.
class BlobCacheTest : public fbtest::TBlobArrayTest<BlobCacheTest> {
 public:
  static std::vector<std::string> Tables() {
    return {"create table T (ID integer not null primary key, B blob sub_type 0)",
            "create table F (ID integer not null primary key, B blob sub_type -5)"};
  }

 protected:
  void SetUp() override {
    TBlobArrayTest::SetUp();
    static int folders = 0;
    cache_ = file_->Folder() + "/cache" + std::to_string(++folders) + "/";
    fs::create_directories(cache_);
    db_->BlobSwapSupport()->SetActive(true);
    db_->BlobSwapSupport()->SetSwapDir(cache_);
  }
  void TearDown() override {
    EXPECT_TRUE(WaitForValidators());
    TBlobArrayTest::TearDown();
  }

  // The row's BLOB id, read in the test's transaction.
  ISC_QUAD BlobIdOf(Integer Id, const String& Table = "T") {
    return fbtest::RunQuadStatement(db_, tr_, "select B from " + Table + " where ID = ?", Id);
  }

  // Writes the row in its own committed transaction, as another user
  // would; the test's transaction sees it after Refresh.
  static void PutRow(Integer Id, const Bytes& Data, const String& Table = "T") {
    file_->Exec(std::vector<std::string>{"update or insert into " + Table + " (ID, B) values (" + IntToStr(Id) + ", " +
                                         HexLiteral(Data) + ")"});
  }
  // Deletes the row; reading the table afterwards collects its BLOB.
  static void DeleteRow(Integer Id) {
    file_->Exec(std::vector<std::string>{"delete from T where ID = " + IntToStr(Id)});
    file_->QueryValue("select count(*) from T");
  }
  // A new transaction: it sees the rows written since.
  void Refresh() {
    tr_->Commit();
    tr_->StartTransaction();
  }

  // A stream of the row's BLOB as a dataset makes it: key values, field
  // and table name.
  std::unique_ptr<TFIBBlobStream> NamedStream(const ISC_QUAD& BlobId, const std::vector<Variant>& Keys,
                                              const String& Field, const String& Table) {
    std::unique_ptr<TFIBBlobStream> s(TFIBBlobStream::CreateForCache(nullptr, 1, Keys, Field, Table));
    s->SetDatabase(db_);
    s->SetTransaction(tr_);
    s->SetBlobID(BlobId);
    return s;
  }
  std::unique_ptr<TFIBBlobStream> RowStream(Integer Id, const std::vector<Variant>& Keys, const String& Table = "T") {
    return NamedStream(BlobIdOf(Id, Table), Keys, "B", Table);
  }
  std::unique_ptr<TFIBBlobStream> RowStream(Integer Id) { return RowStream(Id, {Variant(Id)}); }

  static Bytes ReadAll(TFIBBlobStream& S) {
    Bytes b(static_cast<size_t>(S.Size()));
    S.SetPosition(0);
    if (!b.empty()) S.ReadBuffer(b.data(), static_cast<Int64>(b.size()));
    return b;
  }
  // The row's bytes through a new stream; FromCache tells where they came from.
  Bytes ReadRow(Integer Id, bool& FromCache) {
    auto s = RowStream(Id);
    Bytes b = ReadAll(*s);
    FromCache = s->FromCache();
    return b;
  }

  String CacheFile(const String& Key) const { return cache_ + "T/B/" + Key + ".blb"; }

  String cache_;
};

TEST_F(BlobCacheTest, SecondReadComesFromTheCacheFileAndAChangedBlobDoesNot) {
  const Bytes first = Pattern(30000, 1);
  PutRow(7, first);
  Refresh();
  std::vector<String> saved, loaded;
  db_->SetAfterSaveBlobToSwap(
      [&saved](const String&, const String&, std::span<const Variant>, const String& Name) { saved.push_back(Name); });
  db_->SetAfterLoadBlobFromSwap(
      [&loaded](const String&, const String&, std::span<const Variant>, const String& Name) { loaded.push_back(Name); });

  bool from_cache = true;
  EXPECT_EQ(ReadRow(7, from_cache), first);
  EXPECT_FALSE(from_cache);
  EXPECT_EQ(saved, std::vector<String>{CacheFile("7")});
  const ISC_QUAD id = BlobIdOf(7);
  Bytes expected = CacheHeader(id, 30000, 1, "T", "B", "7");
  expected.insert(expected.end(), first.begin(), first.end());
  EXPECT_TRUE(FileBytes(CacheFile("7")) == expected) << "the file format, byte for byte";

  EXPECT_EQ(ReadRow(7, from_cache), first);
  EXPECT_TRUE(from_cache);
  EXPECT_EQ(loaded, std::vector<String>{CacheFile("7")});
  EXPECT_EQ(saved.size(), 1u) << "a value from the cache is not written back";

  // Same size, new bytes and a new BLOB id: the file is not served.
  const Bytes second = Pattern(30000, 2);
  PutRow(7, second);
  Refresh();
  EXPECT_EQ(ReadRow(7, from_cache), second);
  EXPECT_FALSE(from_cache);
  EXPECT_EQ(ReadRow(7, from_cache), second);
  EXPECT_TRUE(from_cache) << "the file now holds the new BLOB";
}

TEST_F(BlobCacheTest, NewValueIsCachedOnceTheRowGivesItsId) {
  PutRow(3, Pattern(10, 1));
  Refresh();
  const Bytes data = Pattern(4000, 5);
  auto s = RowStream(3);
  s->SetMode(bmReadWrite);
  s->WriteBuffer(data.data(), static_cast<Int64>(data.size()));  // loads (and caches) the old value first
  fs::remove(CacheFile("3"));
  s->Finalize();
  ISC_QUAD temporary = s->BlobID();
  EXPECT_FALSE(fs::exists(CacheFile("3"))) << "a new BLOB not yet in a row has no permanent id";
  fbtest::RunQuadStatement(db_, tr_, "update or insert into T (ID, B) values (?, ?) matching (ID)", 3, &temporary);
  s->SetBlobIDAndCache(BlobIdOf(3));  // as a refreshed record hands it over
  bool from_cache = false;
  EXPECT_EQ(ReadRow(3, from_cache), data);
  EXPECT_TRUE(from_cache);

  // The raw forms copy the value out and in.
  TBytesStream out;
  s->SaveToCacheFile(&out, false);
  EXPECT_TRUE(Bytes(out.Bytes().begin(), out.Bytes().begin() + out.Size()) == data);
  TStringStream in("replacement");
  EXPECT_TRUE(s->LoadFromCache(&in, false));
  EXPECT_TRUE(s->Modified());
  EXPECT_EQ(s->GetAsString(), "replacement");
  s->Cancel();
  EXPECT_TRUE(ReadAll(*s) == data) << "the loaded value comes back";
}

TEST_F(BlobCacheTest, DamagedCacheFilesAreMissesAndGetReplaced) {
  const Bytes data = Pattern(3000, 3);
  PutRow(1, data);
  Refresh();
  bool from_cache = false;
  ReadRow(1, from_cache);
  const Bytes good = FileBytes(CacheFile("1"));
  ASSERT_EQ(good.size(), CacheHeader(BlobIdOf(1), 3000, 1, "T", "B", "1").size() + 3000);

  struct Case {
    const char* damage;
    Bytes content;
  };
  Bytes truncated(good.begin(), good.end() - 1);
  Bytes padded = good;
  padded.push_back(0);
  Bytes version = good;
  version[13] = 2;
  Bytes other_key = good;
  other_key[good.size() - 3000 - 1] = '2';  // the key text "1" -> "2"
  Bytes cut_header(good.begin(), good.begin() + 20);
  const Case cases[] = {
      {"truncated body", truncated}, {"trailing byte", padded},       {"version 2", version},
      {"other key", other_key},      {"cut in the header", cut_header}, {"empty", {}},
      {"garbage", Pattern(5000, 4)},
  };
  for (const Case& c : cases) {
    WriteFileBytes(CacheFile("1"), c.content);
    EXPECT_EQ(ReadRow(1, from_cache), data) << c.damage;
    EXPECT_FALSE(from_cache) << c.damage;
    EXPECT_TRUE(FileBytes(CacheFile("1")) == good) << c.damage << ": replaced by the server's value";
  }
  // A file of the same length with another BLOB id is not taken either.
  Bytes other_id = good;
  other_id[21] ^= 1;
  WriteFileBytes(CacheFile("1"), other_id);
  EXPECT_EQ(ReadRow(1, from_cache), data);
  EXPECT_FALSE(from_cache);
}

TEST_F(BlobCacheTest, NamesFromKeysTablesAndFieldsStayInsideTheCacheDirectory) {
  const Bytes data = Pattern(500, 5);
  PutRow(1, data);
  Refresh();
  struct Case {
    const char* table;
    const char* field;
    Variant key;
    const char* relative;  // the file below the cache directory
  };
  const Case cases[] = {
      {"T", "B", Variant("../../../evil"), "T/B/%2E.%2F..%2F..%2Fevil.blb"},
      {"..", "..", Variant("evil"), "%2E./%2E./evil.blb"},
      {"a/b", ".hidden", Variant("/50%"), "a%2Fb/%2Ehidden/%2F50%25.blb"},
      {"T", "B", Variant("x\\y\n"), "T/B/x%5Cy%0A.blb"},
  };
  for (const Case& c : cases) {
    auto s = NamedStream(BlobIdOf(1), {c.key}, c.field, c.table);
    EXPECT_EQ(ReadAll(*s), data) << c.relative;
    EXPECT_EQ(s->GetCacheFileName(false), cache_ + c.relative);
    EXPECT_TRUE(fs::is_regular_file(cache_ + c.relative)) << c.relative;

    auto again = NamedStream(BlobIdOf(1), {c.key}, c.field, c.table);
    EXPECT_EQ(ReadAll(*again), data) << c.relative;
    EXPECT_TRUE(again->FromCache()) << c.relative;
  }
  // Where the names taken as paths would have led.
  EXPECT_FALSE(fs::exists(fs::path(file_->Folder()).parent_path() / "evil.blb"));
  EXPECT_FALSE(fs::exists(fs::path(file_->Folder()) / "evil.blb"));
}

// A statement's stream (no table, field or keys) reads from the server only:
// no cache event, no file, not even a look for one.
TEST_F(BlobCacheTest, StreamsNotMadeForARecordNeverTouchTheCache) {
  const Bytes data = Pattern(3000, 2);
  PutRow(4, data);
  Refresh();
  std::vector<String> events;
  auto note = [&events](const char* What) {
    return [&events, What](const String&, const String&, std::span<const Variant>, const String& Name) {
      events.push_back(String(What) + " " + Name);
    };
  };
  db_->SetAfterSaveBlobToSwap(note("saved"));
  db_->SetAfterLoadBlobFromSwap(note("loaded"));
  db_->SetBeforeLoadBlobFromSwap([&events](const String&, const String&, std::span<const Variant>, String& Name,
                                           bool&) { events.push_back("load? " + Name); });
  db_->SetBeforeSaveBlobToSwap([&events](const String&, const String&, std::span<const Variant>, TFIBBlobStream*,
                                         String& Name, bool&) { events.push_back("save? " + Name); });
  for (int i = 0; i < 2; ++i) {
    TFIBBlobStream s;
    s.SetDatabase(db_);
    s.SetTransaction(tr_);
    s.SetBlobID(BlobIdOf(4));
    EXPECT_EQ(ReadAll(s), data);
    EXPECT_FALSE(s.FromCache());
    EXPECT_EQ(s.GetCacheFileName(true), "");
    s.SetBlobIDAndCache(BlobIdOf(4));
  }
  EXPECT_EQ(events, std::vector<String>{});
  EXPECT_TRUE(fs::is_empty(cache_));
}

TEST_F(BlobCacheTest, WhatStaysOutOfTheCache) {
  db_->BlobSwapSupport()->SetMinBlobSizeToSwap(1000);
  PutRow(1, Pattern(999, 6));
  PutRow(2, Pattern(1000, 7));
  Refresh();
  bool from_cache = false;
  ReadRow(1, from_cache);
  ReadRow(2, from_cache);
  EXPECT_FALSE(fs::exists(CacheFile("1"))) << "smaller than MinBlobSizeToSwap";
  EXPECT_TRUE(fs::exists(CacheFile("2")));

  // A stream without key values: named, offered, never written.
  std::vector<String> offered;
  db_->SetAfterSaveBlobToSwap([&offered](const String&, const String&, std::span<const Variant>, const String& Name) {
    offered.push_back(Name);
  });
  auto keyless = RowStream(2, {});
  ReadAll(*keyless);
  EXPECT_EQ(offered, std::vector<String>{cache_ + "T/B/.blb"});
  EXPECT_FALSE(fs::exists(cache_ + "T/B/.blb"));

  // A refused save writes nothing; a refused load neither reads nor deletes.
  db_->SetBeforeSaveBlobToSwap(
      [](const String&, const String&, std::span<const Variant>, TFIBBlobStream*, String&, bool& CanSave) {
        CanSave = false;
      });
  fs::remove(CacheFile("2"));
  ReadRow(2, from_cache);
  EXPECT_FALSE(fs::exists(CacheFile("2")));
  db_->SetBeforeSaveBlobToSwap(nullptr);
  ReadRow(2, from_cache);
  ASSERT_TRUE(fs::exists(CacheFile("2")));
  db_->SetBeforeLoadBlobFromSwap(
      [](const String&, const String&, std::span<const Variant>, String&, bool& CanLoad) { CanLoad = false; });
  WriteFileBytes(CacheFile("2"), Pattern(10, 8));
  db_->SetBeforeSaveBlobToSwap(
      [](const String&, const String&, std::span<const Variant>, TFIBBlobStream*, String&, bool& CanSave) {
        CanSave = false;
      });
  EXPECT_EQ(ReadRow(2, from_cache), Pattern(1000, 7));
  EXPECT_FALSE(from_cache);
  EXPECT_TRUE(FileBytes(CacheFile("2")) == Pattern(10, 8)) << "left as it was";

  // An inactive cache is not consulted.
  db_->SetBeforeLoadBlobFromSwap(nullptr);
  db_->SetBeforeSaveBlobToSwap(nullptr);
  db_->BlobSwapSupport()->SetActive(false);
  fs::remove(CacheFile("2"));
  ReadRow(2, from_cache);
  EXPECT_FALSE(fs::exists(CacheFile("2")));
}

TEST_F(BlobCacheTest, FilteredBlobsAreCachedAsTheServerStoresThem) {
  auto filters = std::make_unique<TBlobFilterList>();
  filters->AddFilter(-5, fbtest::ReverseRead, fbtest::ReverseWrite);
  db_->SetBlobFilters(std::move(filters));
  const Bytes data = Pattern(2000, 9);
  {
    TFIBBlobStream w;
    w.SetMode(bmWrite);
    w.SetDatabase(db_);
    w.SetTransaction(tr_);
    w.SetBlobSubType(-5);
    w.WriteBuffer(data.data(), static_cast<Int64>(data.size()));
    w.Finalize();
    const ISC_QUAD id = w.BlobID();
    fbtest::RunQuadStatement(db_, tr_, "update or insert into F (ID, B) values (?, ?) matching (ID)", 1, &id);
    Refresh();
  }
  auto read = [&] {
    auto s = RowStream(1, {Variant(1)}, "F");
    s->SetBlobSubType(-5);
    EXPECT_EQ(ReadAll(*s), data);
    return s->FromCache();
  };
  EXPECT_FALSE(read());
  const Bytes file = FileBytes(cache_ + "F/B/1.blb");
  Bytes body(data.rbegin(), data.rend());
  body.push_back('#');
  Bytes expected = CacheHeader(BlobIdOf(1, "F"), 2001, 1, "F", "B", "1");
  expected.insert(expected.end(), body.begin(), body.end());
  EXPECT_TRUE(file == expected) << "the body as the server holds it";
  EXPECT_TRUE(read());
}

TEST_F(BlobCacheTest, ValidatorDeletesTheFilesOfDeletedRowsAndKeepsTheOthers) {
  PutRow(1, Pattern(100, 1));
  PutRow(2, Pattern(100, 2));
  Refresh();
  bool from_cache = false;
  ReadRow(1, from_cache);
  ReadRow(2, from_cache);
  const Bytes valid = FileBytes(CacheFile("1"));
  fs::create_directories(cache_ + "T/B/deeper");
  fs::create_directories(cache_ + ".hidden");
  WriteFileBytes(cache_ + "T/B/deeper/1.blb", valid);
  WriteFileBytes(cache_ + "T/B/junk.blb", Pattern(40, 3));
  WriteFileBytes(cache_ + "T/B/note.txt", Pattern(40, 3));
  WriteFileBytes(cache_ + ".hidden/junk.blb", Pattern(40, 3));
  fs::create_symlink(cache_ + "T/B/junk.blb", cache_ + "T/B/link.blb");
  db_->Close();  // no transaction of ours keeps the deleted row's BLOB
  DeleteRow(2);

  db_->Connect();  // an embedded attachment: the validator's is embedded too
  ASSERT_TRUE(WaitForValidators());
  EXPECT_TRUE(fs::exists(CacheFile("1")));
  EXPECT_TRUE(fs::exists(cache_ + "T/B/deeper/1.blb"));
  EXPECT_FALSE(fs::exists(CacheFile("2"))) << "its row was deleted";
  EXPECT_FALSE(fs::exists(cache_ + "T/B/junk.blb")) << "no cache file";
  EXPECT_TRUE(fs::exists(cache_ + "T/B/note.txt"));
  EXPECT_TRUE(fs::exists(cache_ + ".hidden/junk.blb")) << "hidden directories are not entered";
  EXPECT_TRUE(fs::is_symlink(cache_ + "T/B/link.blb")) << "links are passed over";
  for (TFIBDatabase* db : FIBDatabaseList()) EXPECT_NE(db->Name(), "dbValidateBlobCache") << "freed when done";
}

TEST_F(BlobCacheTest, ValidatorThatCannotConnectKeepsTheFiles) {
  PutRow(1, Pattern(100, 1));
  Refresh();
  bool from_cache = false;
  ReadRow(1, from_cache);
  WriteFileBytes(cache_ + "T/B/junk.blb", Pattern(40, 3));
  // A parameter the validator's connect refuses (the main database is
  // attached already).
  TNotifyEvent changing = db_->DBParams()->OnChanging();
  db_->DBParams()->SetOnChanging(nullptr);
  db_->DBParams()->Add("no_such_parameter=1");
  db_->DBParams()->SetOnChanging(changing);
  StartValidateBlobCache(db_);
  ASSERT_TRUE(WaitForValidators());
  EXPECT_TRUE(fs::exists(CacheFile("1")));
  EXPECT_TRUE(fs::exists(cache_ + "T/B/junk.blb"));
}

TEST_F(BlobCacheTest, ValidatorConnectsWithoutTheCacheLock) {
  PutRow(1, Pattern(100, 1));
  Refresh();
  bool from_cache = false;
  ReadRow(1, from_cache);
  const String attachments = "select count(*) from mon$attachments where mon$attachment_id <> current_connection";
  const std::string before = file_->QueryValue(attachments);
  {
    // Loads of the user interface holding the lock do not keep the
    // validator from attaching.
    TCriticalSectionGuard guard(BlobCacheLock());
    StartValidateBlobCache(db_);
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (file_->QueryValue(attachments) == before && std::chrono::steady_clock::now() < end)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(std::stoi(file_->QueryValue(attachments)), std::stoi(before) + 1);
  }
  ASSERT_TRUE(WaitForValidators());
  EXPECT_TRUE(fs::exists(CacheFile("1")));
}

TEST_F(BlobCacheTest, FinalizationStopsARunningValidator) {
  // Files without the signature: each one the validator visits goes.
  const int kFiles = 5000;
  fs::create_directories(cache_ + "T/B");
  for (int i = 0; i < kFiles; ++i) WriteFileBytes(cache_ + "T/B/k" + std::to_string(i) + ".blb", Pattern(8, i));

  StartValidateBlobCache(db_);
  fbtest::FinishFIBUnits();  // as the program ends
  EXPECT_EQ(ValidateBlobCacheThreadCount(), 0);
  for (TFIBDatabase* db : FIBDatabaseList()) EXPECT_NE(db->Name(), "dbValidateBlobCache");
  size_t left = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator(cache_ + "T/B")) ++left;
  EXPECT_GT(left, 0u) << "stopped before the end of its walk";
  EXPECT_LT(left, static_cast<size_t>(kFiles) + 1);
  fbtest::InitFIBUnits();
}

}  // namespace
