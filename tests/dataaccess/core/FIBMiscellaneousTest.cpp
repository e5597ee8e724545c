#include "dataaccess/core/FIBMiscellaneous.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <stdexcept>
#include <vector>

#include "dataaccess/core/FIBDatabase.h"
#include "platform/rtl/Exceptions.h"
#include "tests/dataaccess/core/BlobArrayFixture.h"

// GCC 12 takes the inlined destructor of a class with TObject's destroying
// delete for a mismatched new/delete pair.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

namespace {

using Bytes = std::vector<Byte>;

Bytes Pattern(size_t Size) {
  Bytes b(Size);
  for (size_t i = 0; i < Size; ++i) b[i] = static_cast<Byte>((i * 7 + i / 251) & 0xFF);
  return b;
}

Bytes Text(const String& S) { return Bytes(S.begin(), S.end()); }

Bytes ReadAll(TFIBBlobStream& S) {
  Bytes b(static_cast<size_t>(S.Size()));
  S.SetPosition(0);
  if (!b.empty()) S.ReadBuffer(b.data(), static_cast<Int64>(b.size()));
  return b;
}

// A binary and a text table, and a procedure (for its BLR).
class FIBBlobStreamTest : public fbtest::TBlobArrayTest<FIBBlobStreamTest> {
 public:
  static std::vector<std::string> Tables() {
    return {"create table BIN (ID integer, B blob sub_type 0)",
            "create table TXT (ID integer, U blob sub_type text character set UTF8, "
            "W blob sub_type text character set WIN1251)",
            "create procedure P returns (X integer) as begin X = 1; suspend; end"};
  }

 protected:
  std::unique_ptr<TFIBBlobStream> Stream(TBlobStreamMode Mode, const ISC_QUAD& Id = {0, 0}) {
    auto s = std::make_unique<TFIBBlobStream>();
    s->SetMode(Mode);
    s->SetDatabase(db_);
    s->SetTransaction(tr_);
    s->SetBlobID(Id);
    return s;
  }

  // A new BLOB of the bytes, stored through a write-mode stream.
  ISC_QUAD Store(const Bytes& Data, Integer SubType = 0) {
    auto s = Stream(bmWrite);
    s->SetBlobSubType(SubType);
    if (!Data.empty()) s->WriteBuffer(Data.data(), static_cast<Int64>(Data.size()));
    s->Finalize();
    EXPECT_FALSE(s->Modified());
    return s->BlobID();
  }

  ISC_QUAD Run(const String& SQL, Integer Id) { return fbtest::RunQuadStatement(db_, tr_, SQL, Id); }
  ISC_QUAD ThroughRow(const String& Table, const String& Column, const ISC_QUAD& Blob) {
    return fbtest::StoreInRow(db_, tr_, Table, Column, Blob);
  }

};


TEST_F(FIBBlobStreamTest, ValuesComeBackByteForByteThroughATableRow) {
  struct Case {
    size_t size;
    Integer segments;  // as the server counts them; -1: not checked
    Integer max_segment;
  };
  const Case cases[] = {
      {0, 0, 0}, {1, 1, 1}, {65535, 1, 65535}, {65536, 2, 65535}, {200000, 4, 65535}, {10 * 1024 * 1024, -1, 65535},
  };
  for (const Case& c : cases) {
    const Bytes data = Pattern(c.size);
    const ISC_QUAD id = ThroughRow("BIN", "B", Store(data));
    auto s = Stream(bmRead, id);
    EXPECT_TRUE(ReadAll(*s) == data) << c.size;
    EXPECT_EQ(s->BlobMaxSegmentSize(), c.max_segment) << c.size;
    if (c.segments >= 0) {
      EXPECT_EQ(s->BlobNumSegments(), c.segments) << c.size;
    }
    EXPECT_EQ(s->BlobType(), 0) << c.size;
    EXPECT_FALSE(s->Modified());
  }
}

TEST_F(FIBBlobStreamTest, CyrillicTextReadsBackFromUtf8AndWin1251Columns) {
  const String phrase = "Съешь же ещё этих мягких французских булок, да выпей чаю. ";
  String long_text;
  // Longer in UTF-8 than the WIN1251 column stores: the read must go past
  // the length the server reports.
  while (long_text.size() < 150000) long_text += phrase;
  for (const String& text : {phrase, long_text}) {
    for (const char* column : {"U", "W"}) {
      const ISC_QUAD id = ThroughRow("TXT", column, Store(Text(text), 1));
      auto s = Stream(bmRead, id);
      s->SetBlobSubType(1);
      EXPECT_EQ(s->GetAsString(), text) << column << " " << text.size();
    }
  }
  const auto letters = std::count_if(long_text.begin(), long_text.end(), [](char ch) { return (ch & 0xC0) != 0x80; });
  EXPECT_EQ(file_->QueryValue("select octet_length(W) from TXT"), std::to_string(letters))
      << "WIN1251 keeps one byte per letter";
}

TEST_F(FIBBlobStreamTest, SeekAndPartialReads) {
  const ISC_QUAD id = Store(Text("0123456789AB"));
  auto s = Stream(bmRead, id);
  char buf[16] = {};
  EXPECT_EQ(s->Seek(0, soEnd), 12);
  EXPECT_EQ(s->Seek(5, soBeginning), 5);
  EXPECT_EQ(s->Read(buf, 3), 3);
  EXPECT_EQ(String(buf, 3), "567");
  EXPECT_EQ(s->Seek(-2, soEnd), 10);
  EXPECT_EQ(s->Read(buf, 16), 2);  // only what is left
  EXPECT_EQ(String(buf, 2), "AB");
  EXPECT_EQ(s->Read(buf, 1), 0);
  s->SetPosition(5);
  EXPECT_EQ(s->Seek(10, soCurrent), 15);  // not clamped
  EXPECT_EQ(s->Read(buf, 1), 0);
  EXPECT_EQ(s->Seek(-1, soBeginning), -1);
  EXPECT_EQ(s->Read(buf, 1), 0);
  s->SetPosition(0);
  EXPECT_EQ(s->Read(buf, 0), 0);
}

TEST_F(FIBBlobStreamTest, ModeAndConnectionChecksRaiseClientErrors) {
  auto writer = Stream(bmWrite);
  char c = 'x';
  fbtest::ExpectClientError([&] { writer->Read(&c, 1); }, 35, "Blob stream cannot be read.");
  fbtest::ExpectClientError([&] { writer->GetAsString(); }, 35, "Blob stream cannot be read.");
  auto reader = Stream(bmRead, Store(Text("abc")));
  fbtest::ExpectClientError([&] { reader->Write(&c, 1); }, 36, "Blob stream cannot be written.");
  reader->SetIsClientBlob(true);
  EXPECT_EQ(reader->Write(&c, 1), 1);  // client-only: written, nothing loaded from the server
  EXPECT_EQ(ReadAll(*reader), Text("x"));

  TFIBBlobStream lone;
  lone.SetBlobID(ISC_QUAD{1, 1});
  fbtest::ExpectClientError([&] { lone.Size(); }, 21, "Database not assigned for BlobStream.");
  auto idle = std::make_unique<TFIBDatabase>(nullptr);
  lone.SetDatabase(idle.get());
  fbtest::ExpectClientError([&] { lone.Size(); }, 12, "BlobStream: Cannot perform operation -- DB is not open.");
  lone.SetDatabase(db_);
  fbtest::ExpectClientError([&] { lone.Size(); }, 22, "Transaction not assigned for BlobStream.");
  auto other = new TFIBTransaction(form_);
  other->SetDefaultDatabase(db_);
  lone.SetTransaction(other);
  fbtest::ExpectClientError([&] { lone.Size(); }, 15, "BlobStream :Transaction is not active.");

  // Storing checks the update transaction when there is one.
  auto w = Stream(bmWrite);
  w->SetUpdateTransaction(other);
  w->WriteBuffer("abc", 3);
  fbtest::ExpectClientError([&] { w->Finalize(); }, 15, "BlobStream :Transaction is not active.");
  EXPECT_TRUE(w->Modified());  // a failed store keeps the change
  other->StartTransaction();
  w->Finalize();
  EXPECT_FALSE(w->Modified());
  EXPECT_EQ(Stream(bmRead, w->BlobID())->GetAsString(), "abc");
}

TEST_F(FIBBlobStreamTest, ReadWriteStreamWithoutIdStartsEmptyWithoutTheServer) {
  TFIBBlobStream s;  // no database: any server call would raise
  s.SetMode(bmReadWrite);
  EXPECT_EQ(s.Size(), 0);
  EXPECT_TRUE(s.Loaded());
  EXPECT_TRUE(s.Modified());
  s.WriteBuffer("new", 3);
  EXPECT_EQ(s.GetAsString(), "new");
}

TEST_F(FIBBlobStreamTest, ChangesKeepTheLoadedValueUntilCancelOrStore) {
  const ISC_QUAD id = Store(Text("loaded"));
  auto s = Stream(bmReadWrite, id);
  EXPECT_EQ(s->GetAsString(), "loaded");
  EXPECT_TRUE(s->SavedState());

  // The first write replaces the value; the loaded one is the old value.
  s->SetPosition(2);
  s->WriteBuffer("xy", 2);
  EXPECT_EQ(ReadAll(*s), (Bytes{0, 0, 'x', 'y'}));
  char old[16] = {};
  EXPECT_EQ(s->SeekOld(0, soEnd), 6);
  EXPECT_EQ(s->ReadOldValue(old, 16), 6);
  EXPECT_EQ(String(old, 6), "loaded");
  s->Cancel();
  EXPECT_EQ(s->GetAsString(), "loaded");
  EXPECT_FALSE(s->Modified());

  // A second change keeps the first saved copy.
  s->SetPosition(0);
  s->WriteBuffer("one", 3);
  s->BeginWrite();
  EXPECT_EQ(s->Size(), 0);
  s->Cancel();
  EXPECT_EQ(s->GetAsString(), "loaded");

  // Store: a new BLOB; the old one is unchanged.
  s->SetPosition(0);
  s->WriteBuffer("stored", 6);
  s->Finalize();
  EXPECT_TRUE(s->SavedState());
  EXPECT_FALSE(s->Modified());
  EXPECT_NE(std::memcmp(&s->BlobID(), &id, sizeof id), 0);
  EXPECT_EQ(Stream(bmRead, s->BlobID())->GetAsString(), "stored");
  EXPECT_EQ(Stream(bmRead, id)->GetAsString(), "loaded");

  // Without a change nothing is stored; Force stores anyway.
  const ISC_QUAD stored = s->BlobID();
  s->FlushToServer(false, false);
  EXPECT_EQ(std::memcmp(&s->BlobID(), &stored, sizeof stored), 0);
  s->FlushToServer(false, true);
  EXPECT_NE(std::memcmp(&s->BlobID(), &stored, sizeof stored), 0);
}

TEST_F(FIBBlobStreamTest, EmptyWritesAndEmptyOldValuesLoseNothing) {
  auto s = Stream(bmReadWrite, Store(Text("keep")));
  EXPECT_EQ(s->Write("", 0), 0);
  EXPECT_EQ(s->GetAsString(), "keep");
  s->SetPosition(-1);
  EXPECT_EQ(s->Write("z", 1), 0);
  EXPECT_EQ(s->GetAsString(), "keep");

  // An empty value that was changed still reads as empty in old-value state.
  auto fresh = Stream(bmWrite);
  EXPECT_EQ(fresh->Seek(0, soEnd), 0);  // starts empty: its old value is empty
  fresh->WriteBuffer("new", 3);
  char buf[4] = {};
  EXPECT_EQ(fresh->SeekOld(0, soEnd), 0);
  EXPECT_EQ(fresh->ReadOldValue(buf, 4), 0);
  fresh->Cancel();  // no earlier value: empty
  EXPECT_EQ(fresh->Seek(0, soEnd), 0);
}

TEST_F(FIBBlobStreamTest, FiltersOfNegativeSubtypesApplyOnStoreAndLoad) {
  auto filters = std::make_unique<TBlobFilterList>();
  filters->AddFilter(-5, fbtest::ReverseRead, fbtest::ReverseWrite);
  db_->SetBlobFilters(std::move(filters));

  auto w = Stream(bmWrite);
  w->SetBlobSubType(-5);
  w->WriteBuffer("abc", 3);
  w->Finalize();
  EXPECT_EQ(String(static_cast<const char*>(w->Memory()), 3), "abc");  // its own data is unfiltered

  auto raw = Stream(bmRead, w->BlobID());
  EXPECT_EQ(raw->GetAsString(), "cba#");
  auto filtered = Stream(bmRead, w->BlobID());
  filtered->SetBlobSubType(-5);
  EXPECT_EQ(filtered->GetAsString(), "abc");
}

TEST_F(FIBBlobStreamTest, BlrIsReadAsTextWhenTheDatabaseAsksForIt) {
  const ISC_QUAD id = Run("select RDB$PROCEDURE_BLR from RDB$PROCEDURES where RDB$PROCEDURE_NAME = 'P' and ? = 0",
                          0);
  auto raw = Stream(bmRead, id);
  raw->SetBlobSubType(2);
  const String bytes = raw->GetAsString();
  EXPECT_EQ(bytes.find("blr_"), String::npos);
  db_->SetUseBlrToTextFilter(true);
  auto text = Stream(bmRead, id);
  text->SetBlobSubType(2);
  EXPECT_NE(text->GetAsString().find("blr_version"), String::npos);
}

TEST_F(FIBBlobStreamTest, BlobExistOpensTheBlob) {
  const ISC_QUAD id = ThroughRow("BIN", "B", Store(Text("here")));
  IIBClientLibrary* lib = db_->GetClientLibrary();
  EXPECT_TRUE(BlobExist(lib, db_->Handle(), tr_->Handle(), id));
  EXPECT_FALSE(BlobExist(lib, db_->Handle(), tr_->Handle(), ISC_QUAD{0x7FFF, 0x7FFFFFF}));
}

TEST(FIBBlobStreamOwnerList, LeavingTheListMovesTheLastStreamIntoTheSlot) {
  TList list;
  const Variant keys[] = {Variant(7), Variant("k")};
  TFIBBlobStream* a = TFIBBlobStream::CreateForCache(&list, 2, keys, "F", "T");
  TFIBBlobStream* b = TFIBBlobStream::CreateForCache(&list, 3, {}, "F", "T");
  TFIBBlobStream* c = TFIBBlobStream::CreateForCache(&list, 4, {}, "F", "T");
  EXPECT_EQ(a->IndexInOwner(), 0);
  EXPECT_EQ(c->IndexInOwner(), 2);
  EXPECT_EQ(a->KeyValues().size(), 2u);
  EXPECT_EQ(a->FieldNo(), 2);
  EXPECT_TRUE(b->KeyValues().empty());
  delete a;
  ASSERT_EQ(list.Count(), 2);
  EXPECT_EQ(list.Items(0), c);
  EXPECT_EQ(c->IndexInOwner(), 0);
  delete c;  // the last one now
  ASSERT_EQ(list.Count(), 1);
  EXPECT_EQ(list.Items(0), b);
  delete b;
  EXPECT_EQ(list.Count(), 0);
}

}  // namespace

namespace {

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-parameter"
// A client library whose every entry point answers 0 / nothing.
class TClientStub : public IIBClientLibrary {
 public:
  int AddRef() override { return 1; }
  int Release() override { return 1; }
  String LibraryName() const override { return "stub"; }
  Integer ClientMajorVersion() const override { return 3; }
  Integer ClientMinorVersion() const override { return 0; }
  Byte Busy() const override { return 0; }
#define STUB_ENTRY(name, result, params, args, busy, origin) \
  result name params override { return result(); }
  IB_CLIENT_ENTRY_POINTS(STUB_ENTRY)
#undef STUB_ENTRY
  ISC_LONG isc_event_block(ISC_UCHAR** event_buffer, ISC_UCHAR** result_buffer, ISC_USHORT count,
                           const char* const (&names)[kEventBlockNames]) override {
    return 0;
  }
  void FreeLibrary() override {}
};
#pragma GCC diagnostic pop

// A BLOB handed out in the segments given, and the segment calls it saw.
class TScriptedBlob : public TClientStub {
 public:
  explicit TScriptedBlob(Bytes Data = {}) : data_(std::move(Data)) {}

  ISC_STATUS isc_get_segment(ISC_STATUS* sv, isc_blob_handle*, unsigned short* actual_length,
                             unsigned short buffer_length, ISC_SCHAR* buffer) override {
    asked.push_back(buffer_length);
    if (at_ == data_.size()) return Fail(sv, isc_segstr_eof);
    if (buffer_length == 0 && asked.size() > 10000) throw std::runtime_error("asked for 0 bytes forever");
    const size_t n = std::min<size_t>(buffer_length, data_.size() - at_);
    std::memcpy(buffer, data_.data() + at_, n);
    at_ += n;
    *actual_length = static_cast<unsigned short>(n);
    return 0;
  }
  ISC_STATUS isc_put_segment(ISC_STATUS*, isc_blob_handle*, unsigned short length, const ISC_SCHAR*) override {
    put.push_back(length);
    return 0;
  }
  ISC_STATUS isc_blob_info(ISC_STATUS*, isc_blob_handle*, short, const ISC_SCHAR*, short buffer_length,
                           ISC_SCHAR* buffer) override {
    std::memcpy(buffer, info.data(), std::min<size_t>(info.size(), static_cast<size_t>(buffer_length)));
    return 0;
  }
  ISC_LONG isc_vax_integer(const ISC_SCHAR* bytes, short length) override {
    ISC_LONG value = 0;
    for (short i = 0; i < length && i < 4; ++i) value |= static_cast<ISC_LONG>(static_cast<Byte>(bytes[i])) << (8 * i);
    return value;
  }

  std::vector<unsigned short> asked, put;
  std::vector<char> info;

 private:
  static ISC_STATUS Fail(ISC_STATUS* sv, ISC_STATUS code) {
    sv[0] = 1;
    sv[1] = code;
    sv[2] = 0;
    return code;
  }
  Bytes data_;
  size_t at_ = 0;
};

TEST(FIBBlobCalls, ReadingToTheEndGrowsPastTheExpectedLength) {
  const Bytes data = Pattern(200000);
  for (Integer expected : {0, 1000, 200000, 300000}) {
    TScriptedBlob lib(data);
    isc_blob_handle h = 1;
    void* buffer = expected > 0 ? std::malloc(static_cast<size_t>(expected)) : nullptr;
    Integer size = expected;
    ReadBlob(&lib, &h, buffer, size);
    ASSERT_EQ(size, 200000) << expected;
    EXPECT_EQ(std::memcmp(buffer, data.data(), data.size()), 0) << expected;
    for (unsigned short n : lib.asked) EXPECT_GT(n, 0) << "a request for 0 bytes never ends";
    std::free(buffer);
  }
}

TEST(FIBBlobCalls, ExactReadsRaiseAtAnEarlyEndAndWritesUseFullSegments) {
  TScriptedBlob short_blob(Pattern(10));
  isc_blob_handle h = 1;
  Bytes buf(20);
  EXPECT_THROW(ReadBlob(&short_blob, &h, std::span<Byte>(buf)), EFIBInterBaseError);
  EXPECT_TRUE(std::equal(buf.begin(), buf.begin() + 10, Pattern(10).begin()));

  struct Case {
    Integer size;
    std::vector<unsigned short> segments;
  };
  const Bytes big = Pattern(140000);
  for (const Case& c : {Case{0, {}}, Case{1, {1}}, Case{65535, {65535}}, Case{65536, {65535, 1}},
                        Case{140000, {65535, 65535, 8930}}}) {
    TScriptedBlob lib;
    WriteBlob(&lib, &h, big.data(), c.size);
    EXPECT_EQ(lib.put, c.segments) << c.size;
  }
}

TEST(FIBBlobCalls, InfoStopsAtTheEndItem) {
  TScriptedBlob lib;
  // total length 300, then the end item, then items that must not be read.
  lib.info = {isc_info_blob_total_length, 2, 0, 44, 1, isc_info_end,
              isc_info_blob_num_segments, 1, 0, 9, isc_info_blob_type, 1, 0, 1};
  isc_blob_handle h = 1;
  Integer segments = -1, max_segment = -1, total = -1;
  SmallInt type = -1;
  GetBlobInfo(&lib, &h, segments, max_segment, total, type);
  EXPECT_EQ(total, 300);
  EXPECT_EQ(segments, -1);
  EXPECT_EQ(type, -1);
}

TEST(FIBBlobCalls, WithoutALibraryEachRoutineNamesItself) {
  isc_blob_handle h = 0;
  Integer i = 0;
  SmallInt t = 0;
  void* p = nullptr;
  auto expect = [](auto&& call, const String& name) {
    try {
      call();
      ADD_FAILURE() << name;
    } catch (const Exception& e) {
      EXPECT_EQ(e.Message(), "Can't perform operation " + name + ". Unknown client library");
    }
  };
  expect([&] { GetBlobInfo(nullptr, &h, i, i, i, t); }, "GetBlobInfo");
  expect([&] { ReadBlob(nullptr, &h, p, i); }, "ReadBlob");
  expect([&] { WriteBlob(nullptr, &h, p, 1); }, "WriteBlob");
  expect([&] { BlobExist(nullptr, 0, 0, ISC_QUAD{0, 0}); }, "BlobExist");
}

}  // namespace
