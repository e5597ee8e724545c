// The record layout on a real database: every column type fetched into the
// cache and read back byte-exact, NULLs, strings around the stored-apart
// boundary, UTF-8 and WIN1251 text, dates and times with the server's
// 1/10000 s, refresh statements matched by name.
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "dataaccess/core/fib.h"
#include "platform/rtl/SysUtils.h"
#include "tests/dataaccess/datasets/DataSetFixture.h"

namespace {

using dstest::TBuffer;
using dstest::TCacheDataSet;

const char* const kColumns =
    "ID, SH, LO, BI, FL, DP, N42, N92, N184, N186, DT, TM, TS, BO, V3, V20, C20, W12, W13, O16, BL, BB, AR";
enum : int { ID, SH, LO, BI, FL, DP, N42, N92, N184, N186, DT, TM, TS, BO, V3, V20, C20, W12, W13, O16, BL, BB, AR };

// "AB", zero bytes, a blank and a last zero byte: binary text whose tail a
// text trim would cut.
const std::string kOctets("AB\0\0\0\0\0\0\0\0\0\0\0\0 \0", 16);

class RecordLayoutTest : public dstest::TDataSetSuite<RecordLayoutTest> {
 public:
  static std::vector<std::string> Tables() {
    return {"create table T_ALL (ID integer not null primary key, SH smallint, LO integer, BI bigint, FL float, "
            "DP double precision, N42 numeric(4,2), N92 numeric(9,2), N184 numeric(18,4), N186 numeric(18,6), "
            "DT date, TM time, TS timestamp, BO boolean, V3 varchar(3), V20 varchar(20), C20 char(20), "
            "W12 varchar(12) character set win1251, W13 varchar(13) character set win1251, "
            "O16 char(16) character set octets, BL blob sub_type text, BB blob sub_type binary, AR integer[1:3])"};
  }

 protected:
  void SetUp() override {
    TDataSetSuite::SetUp();
    if (seeded_) return;
    TFIBTransaction* tr = db_->DefaultTransaction();
    tr->StartTransaction();
    for (const char* sql : {
             "insert into T_ALL (ID, SH, LO, BI, FL, DP, N42, N92, N184, N186, DT, TM, TS, BO, V3, V20, C20, W12, W13, "
             "O16, BL, BB) values (1, -1234, -2000000000, 9000000000000000001, 1.5, 0.1, 12.34, -21474836.47, "
             "123456789012.3456, -1.234567, '2024-02-29', '13:00:00.1234', '2024-02-29 23:59:59.9999', true, "
             "'\xD0\xB0\xD0\xB1\xD0\xB2', 'thirteen char', 'ab', '\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82', "
             "'\xD1\x82\xD1\x80\xD0\xB8\xD0\xBD\xD0\xB0\xD0\xB4\xD1\x86\xD0\xB0\xD1\x82\xD1\x8C" "ABC', "
             "x'41420000000000000000000000002000', 'memo text', x'0102')",
             "insert into T_ALL (ID) values (2)",
             "insert into T_ALL (ID, V3, V20, C20, W12, W13) values (3, '', '', '', '', '')",
             "insert into T_ALL (ID, V3, V20, C20, W12) values (4, 'abc', 'twelve chars', 'abcdefghijklmnopqrst', "
             "'twelve chars')",
             "insert into T_ALL (ID, V20, W13) values (5, 'abcdefghijklmnopqrst', 'thirteen char')"})
      fbtest::ExecSQL(tr, sql);
    tr->Commit();
    seeded_ = true;
  }

  TCacheDataSet* OpenAll(TFIBDatabase* Database = nullptr) {
    TCacheDataSet* ds = NewDataSet(String("select ") + kColumns + " from T_ALL order by ID", Database);
    ds->Open();
    ds->FetchAll();
    return ds;
  }

  static inline bool seeded_ = false;
};

TEST_F(RecordLayoutTest, DescriptorsAndLayoutFigures) {
  TCacheDataSet* ds = OpenAll();
  TFIBFieldDescrList* d = ds->FieldDescrList();
  ASSERT_EQ(d->Count(), 23);
  EXPECT_EQ(ds->DataOffset(), kNullFlagsOffset + 23);
  struct TCase {
    int Column;
    int SQLType;
    int Size;
    bool Apart;
  } cases[] = {
      {SH, SQL_SHORT, 2, false},   {LO, SQL_LONG, 4, false},       {BI, SQL_INT64, 8, false},
      {FL, SQL_FLOAT, 4, false},   {DP, SQL_DOUBLE, 8, false},     {N42, SQL_SHORT, 2, false},
      {N92, SQL_LONG, 4, false},   {N184, SQL_INT64, 8, false},    {N186, SQL_INT64, 8, false},
      {DT, SQL_TYPE_DATE, 4, false}, {TM, SQL_TYPE_TIME, 4, false}, {TS, SQL_TIMESTAMP, 8, false},
      {BO, SQL_BOOLEAN, 1, false}, {V3, SQL_VARYING, 12, false},  // 3 UTF-8 characters: 12 bytes, inside
      {V20, SQL_VARYING, 80, true}, {C20, SQL_TEXT, 80, true},    {W12, SQL_VARYING, 48, true},
      {O16, SQL_TEXT, 16, true},   // binary, no GUID field: apart
      {BL, SQL_BLOB, 8, false},    {AR, SQL_ARRAY, 8, false},
  };
  int strings = 0;
  for (const TCase& c : cases) {
    const TFIBFieldDescr* x = d->Items(c.Column);
    EXPECT_EQ(x->SQLType, c.SQLType) << c.Column;
    EXPECT_EQ(x->DataSize, c.Size) << c.Column;
    EXPECT_EQ(x->InCollection != 0, c.Apart) << c.Column;
    EXPECT_EQ(x->Nullable, 1) << c.Column;
    if (!c.Apart) {
      EXPECT_EQ(x->CollectionIndex, -1);
    }
  }
  EXPECT_EQ(d->Items(ID)->Nullable, 0);
  EXPECT_EQ(d->Items(N42)->Scale, -2);
  EXPECT_EQ(d->Items(V20)->Kind, fdkWideString);  // UTF8 text becomes a wide-string field
  // Values lie one after the other; stored-apart strings follow, numbered
  // in column order.
  EXPECT_EQ(d->Items(ID)->Offset, ds->DataOffset());
  EXPECT_EQ(d->Items(SH)->Offset, ds->DataOffset() + 4);
  for (int c = ID; c <= AR; ++c)
    if (d->Items(c)->InCollection) {
      EXPECT_EQ(d->Items(c)->CollectionIndex, strings++);
    }
  EXPECT_EQ(ds->StringFieldCount(), strings);
  EXPECT_EQ(d->Items(V20)->Offset + 4 + 80, d->Items(C20)->Offset);
  // Two BLOB fields: two 8-byte stream slots, then the calculated area.
  EXPECT_EQ(ds->BlobSlotsOffset() + 2 * kBlobSlotSize, ds->CalcAreaOffset());
  EXPECT_EQ(ds->RecordBufferSize(), ds->CalcAreaOffset() + 0);
  EXPECT_EQ(ds->CacheImageSize(), ds->RecordBufferSize() - kCachedPartOffset - (ds->BlobSlotsOffset() - d->Items(V20)->Offset));
  EXPECT_EQ(ds->RecordsCache()->RecordSize(), ds->CacheImageSize());
  EXPECT_EQ(ds->RecordsCache()->BufferSize(), ds->RecordBufferSize());
}

TEST_F(RecordLayoutTest, EveryTypeIsReadBackExactly) {
  TCacheDataSet* ds = OpenAll();
  ASSERT_EQ(ds->FetchedCount(), 5);
  TBuffer b(ds);
  ds->ReadRecordFromCache(0, b.Get(), false);
  Integer number;
  std::memcpy(&number, b.Get(), 4);
  EXPECT_EQ(number, 0);
  EXPECT_EQ(b.Value<Integer>(ID), 1);
  EXPECT_EQ(b.Value<int16_t>(SH), -1234);
  EXPECT_EQ(b.Value<Integer>(LO), -2000000000);
  EXPECT_EQ(b.Value<Int64>(BI), 9000000000000000001LL);
  EXPECT_EQ(b.Value<float>(FL), 1.5f);
  EXPECT_EQ(b.Value<double>(DP), 0.1);
  EXPECT_EQ(b.Value<int16_t>(N42), 1234);
  EXPECT_EQ(b.Value<Integer>(N92), -2147483647);
  EXPECT_EQ(b.Value<Int64>(N184), 1234567890123456LL);  // scale -4: the scaled integer
  EXPECT_DOUBLE_EQ(b.Value<double>(N186), -1.234567);    // scale -6: a double
  EXPECT_EQ(b.Value<Integer>(DT), DateTimeToTimeStamp(EncodeDate(2024, 2, 29)).Date);
  EXPECT_EQ(b.Value<Integer>(TM), 468001234);  // 13:00:00.1234 in 1/10000 s
  const ISC_TIMESTAMP ts = SlotToTimeStamp(b.Value<double>(TS));
  EXPECT_EQ(ts.timestamp_date + kServerDateDelta, DateTimeToTimeStamp(EncodeDate(2024, 2, 29)).Date);
  EXPECT_EQ(ts.timestamp_time, 863999999u);
  EXPECT_EQ(TimeStampToSlot(ts), b.Value<double>(TS));
  EXPECT_EQ(b.Value<Byte>(BO), 1);
  EXPECT_EQ(b.Inside(V3), "\xD0\xB0\xD0\xB1\xD0\xB2");
  EXPECT_EQ(b.Apart(V20), "thirteen char");
  EXPECT_EQ(b.Apart(C20), "ab" + std::string(18, ' '));  // padded to its 20 characters
  EXPECT_EQ(b.Apart(W12), "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82");
  EXPECT_EQ(b.Apart(W13), "\xD1\x82\xD1\x80\xD0\xB8\xD0\xBD\xD0\xB0\xD0\xB4\xD1\x86\xD0\xB0\xD1\x82\xD1\x8C" "ABC");
  EXPECT_EQ(b.Apart(O16), kOctets);  // binary text keeps every byte
  for (int c = ID; c <= BB; ++c) EXPECT_FALSE(b.IsNull(c)) << c;
  EXPECT_TRUE(b.IsNull(AR));
  EXPECT_EQ(b.Get()[kCachedStatusOffset], cusUnmodified);

  // The same values through the fields.
  ds->First();
  EXPECT_EQ(ds->FieldByName("W12")->AsString(), "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82");
  EXPECT_EQ(ds->FieldByName("V3")->AsString(), "\xD0\xB0\xD0\xB1\xD0\xB2");
  EXPECT_EQ(ds->FieldByName("C20")->AsString(), "ab");
  EXPECT_EQ(ds->FieldByName("N42")->AsFloat(), 12.34);
  EXPECT_EQ(ds->FieldByName("N184")->AsString(), String("123456789012") + FormatSettings.DecimalSeparator + "3456");
}

TEST_F(RecordLayoutTest, NullsAndStringLengths) {
  TCacheDataSet* ds = OpenAll();
  TBuffer b(ds);
  ds->ReadRecordFromCache(1, b.Get(), false);  // ID 2: everything NULL
  for (int c = SH; c <= AR; ++c) EXPECT_TRUE(b.IsNull(c)) << c;
  EXPECT_EQ(b.Apart(V20), "");  // a NULL stored-apart string is empty
  ds->First();
  ds->Next();
  EXPECT_TRUE(ds->FieldByName("DT")->IsNull());
  EXPECT_EQ(ds->FieldByName("V20")->AsString(), "");
  EXPECT_TRUE(ds->FieldByName("V20")->AsVariant().VarType() == varNull);

  struct TCase {
    int Record;
    std::string V20;
    bool V3Null;
  } cases[] = {{2, "", false}, {3, "twelve chars", false}, {0, "thirteen char", false},
               {4, "abcdefghijklmnopqrst", true}};
  for (const TCase& c : cases) {
    ds->ReadRecordFromCache(c.Record, b.Get(), false);
    EXPECT_FALSE(b.IsNull(V20)) << c.Record;
    EXPECT_EQ(b.Apart(V20), c.V20) << c.Record;
    EXPECT_EQ(b.IsNull(V3), c.V3Null) << c.Record;
  }
  ds->ReadRecordFromCache(2, b.Get(), false);  // empty strings are values, not NULL
  EXPECT_EQ(b.Inside(V3), "");
  EXPECT_EQ(b.Bytes(V3, 12), std::string(12, '\0'));
  EXPECT_EQ(b.Apart(C20), std::string(20, ' '));
  EXPECT_EQ(b.Apart(W13), "");
  ds->ReadRecordFromCache(3, b.Get(), false);
  EXPECT_EQ(b.Apart(C20), "abcdefghijklmnopqrst");
  EXPECT_EQ(b.Inside(V3), "abc");
  EXPECT_EQ(b.Bytes(V3, 4), std::string("abc\0", 4));
}

TEST_F(RecordLayoutTest, Win1251AttachmentKeepsShortTextInside) {
  TFIBDatabase* db = Connect("WIN1251");
  TCacheDataSet* ds = OpenAll(db);
  TFIBFieldDescrList* d = ds->FieldDescrList();
  EXPECT_EQ(d->Items(W12)->DataSize, 12);
  EXPECT_FALSE(d->Items(W12)->InCollection);  // 12 bytes: inside
  EXPECT_EQ(d->Items(W13)->DataSize, 13);
  EXPECT_TRUE(d->Items(W13)->InCollection);  // 13 bytes: apart
  EXPECT_EQ(d->Items(W12)->Kind, fdkOrdinary);
  TBuffer b(ds);
  ds->ReadRecordFromCache(0, b.Get(), false);
  EXPECT_EQ(b.Inside(W12), "\xCF\xF0\xE8\xE2\xE5\xF2");  // Привет in WIN1251
  EXPECT_EQ(b.Bytes(W12, 7), std::string("\xCF\xF0\xE8\xE2\xE5\xF2\0", 7));
  EXPECT_EQ(b.Apart(W13), "\xF2\xF0\xE8\xED\xE0\xE4\xF6\xE0\xF2\xFC" "ABC");
  ds->First();
  // Not a Unicode attachment: the text field hands out the bytes as read.
  EXPECT_STREQ(ds->FieldByName("W12")->ClassName().c_str(), "TFIBStringField");
  EXPECT_EQ(ds->FieldByName("W12")->AsString(), "\xCF\xF0\xE8\xE2\xE5\xF2");
  ds->Next();
  ds->Next();
  ds->Next();
  EXPECT_EQ(ds->FieldByName("W12")->AsString(), "twelve chars");
}

TEST_F(RecordLayoutTest, DatesAndTimesRoundTripThroughTheirFields) {
  TCacheDataSet* ds = OpenAll();
  ds->UpdateSQL()->SetText("update T_ALL set TS = ?TS where ID = ?OLD_ID");
  ds->First();
  TBuffer before(ds);
  ds->ReadRecordFromCache(0, before.Get(), false);
  TField* ts = ds->FieldByName("TS");
  TField* tm = ds->FieldByName("TM");
  const TDateTime stamp = ts->AsDateTime();
  // 23:59:59.9999: 9 units of 1/10000 s past 23:59:59.999.
  EXPECT_NEAR((stamp - (EncodeDate(2024, 2, 29) + EncodeTime(23, 59, 59, 999))) * 864000000.0, 9.0, 0.05);
  // Written back unchanged, every 1/10000 s stays.
  ds->Edit();
  ts->SetAsDateTime(stamp);
  tm->SetAsDateTime(tm->AsDateTime());
  ds->Post();
  TBuffer after(ds);
  ds->ReadRecordFromCache(0, after.Get(), false);
  EXPECT_EQ(after.Value<double>(TS), before.Value<double>(TS));
  EXPECT_EQ(after.Value<Integer>(TM), 468001234);
  // The end of a day does not wrap, and the last 1/10000 s of the calendar
  // has its slot.
  ds->Edit();
  tm->SetAsDateTime(EncodeTime(23, 59, 59, 999) + 0.99 / 86400000.0);
  ts->SetAsDateTime(EncodeDate(9999, 12, 31) + (863999999.0 / 864000000.0));
  ds->Post();
  ds->ReadRecordFromCache(0, after.Get(), false);
  EXPECT_EQ(after.Value<Integer>(TM), 863999999);
  const ISC_TIMESTAMP last = SlotToTimeStamp(after.Value<double>(TS));
  EXPECT_EQ(last.timestamp_time, 863999999u);
  EXPECT_EQ(last.timestamp_date + kServerDateDelta, DateTimeToTimeStamp(EncodeDate(9999, 12, 31)).Date);
}

TEST_F(RecordLayoutTest, RefreshStatementColumnsAreMatchedByName) {
  TCacheDataSet* ds = NewDataSet("select ID, SH, LO from T_ALL order by ID");
  ds->Open();
  TFIBQuery* refresh = ds->RefreshQuery();
  refresh->SQL()->SetText("select 55 as LO, 'x' as NOPE, ID from T_ALL where ID = 1");
  refresh->ExecQuery();
  ASSERT_NE(refresh->FetchNext(), nullptr);
  ds->FetchRecordToCache(refresh, 0);
  TBuffer b(ds);
  ds->ReadRecordFromCache(0, b.Get(), false);
  EXPECT_EQ(b.Value<Integer>(2), 55);
  EXPECT_EQ(b.Value<Integer>(0), 1);
  EXPECT_EQ(b.Value<int16_t>(1), -1234);  // no such column: kept
  refresh->Close();

  // A column of another type is refused, not copied as raw bytes.
  refresh->SQL()->SetText("select cast(1.5 as double precision) as SH from T_ALL where ID = 1");
  refresh->ExecQuery();
  ASSERT_NE(refresh->FetchNext(), nullptr);
  try {
    ds->FetchRecordToCache(refresh, 0);
    FAIL() << "no error";
  } catch (const EFIBClientError& e) {
    EXPECT_EQ(e.SQLCode(), fceColumnTypesMismatch);
  }
  refresh->Close();
}

TEST_F(RecordLayoutTest, FetchOptionsAndRecordMapping) {
  // NUMERIC(18,6) is a double unless psSQLINT64ToBCD; NUMERIC(18,4) always
  // the scaled integer.
  TCacheDataSet* ds = NewDataSet("select N184, N186 from T_ALL where ID = 1");
  ds->SetPrepareOptions(ds->PrepareOptions() + TpPrepareOptions{psSQLINT64ToBCD});
  ds->Open();
  TBuffer b(ds);
  ds->ReadRecordFromCache(0, b.Get(), false);
  EXPECT_EQ(b.Value<Int64>(1), -1234567);
  EXPECT_STREQ(ds->FieldByName("N186")->ClassName().c_str(), "TFIBBCDField");
  EXPECT_EQ(ds->FieldByName("N186")->Size(), 6);

  // AfterFetchRecord can stop the fetch: the row stays.
  TCacheDataSet* stopped = NewDataSet("select ID from T_ALL order by ID");
  stopped->SetAfterFetchRecord({form_, [](TFIBQuery*, Integer RecordNumber, bool& Stop) { Stop = RecordNumber == 1; }});
  stopped->Open();
  EXPECT_EQ(stopped->FetchedCount(), 1);
  EXPECT_THROW(stopped->FetchNext(10), EAbort);
  EXPECT_EQ(stopped->FetchedCount(), 2);
  stopped->Close();

  // The ring of the limited model and of UniDirectional.
  TCacheDataSet* ring = NewDataSet("select ID from T_ALL order by ID");
  ring->CacheModelOptions()->SetCacheModelKind(cmkLimitedBufferSize);
  EXPECT_EQ(ring->BufferChunks(), 100);
  EXPECT_EQ(ring->CacheRecordNo(5), 6);
  EXPECT_EQ(ring->CacheRecordNo(105), 6);
  ring->CacheModelOptions()->SetCacheModelKind(cmkStandard);
  EXPECT_EQ(ring->CacheRecordNo(105), 106);
  ring->SetUniDirectional(true);
  EXPECT_EQ(ring->CacheRecordNo(205), 6);
  EXPECT_THROW(ring->CacheRecordNo(-1), EMemManagerError);
  ring->SetUniDirectional(false);
  EXPECT_THROW(ring->CacheRecordNo(INT32_MAX), EMemManagerError);
}

TEST_F(RecordLayoutTest, NewAndOldRecordBuffers) {
  TCacheDataSet* ds = NewDataSet("select ID, V20, LO from T_ALL order by ID");
  ds->UpdateSQL()->SetText("update T_ALL set LO = ?LO where ID = ?OLD_ID");
  ds->Open();
  TBuffer fresh(ds);
  ds->InitBuffer(fresh.Get());
  for (int c = 0; c < 3; ++c) EXPECT_TRUE(fresh.IsNull(c));
  EXPECT_EQ(fresh.Value<Integer>(2), 0);

  ds->First();
  ds->Edit();
  ds->SaveOldRecord(ds->GetActiveRecordBuffer());
  ds->FieldByName("LO")->SetAsInteger(7);
  ds->FieldByName("V20")->SetAsString("changed");
  EXPECT_EQ(TFIBCustomDataSet::CachedStatusOf(ds->GetActiveRecordBuffer()), cusModified);
  ds->Post();
  TRecordBuffer old = ds->GetOldRecordBuffer(-1);
  ASSERT_NE(old, nullptr);
  TBuffer now(ds);
  ds->ReadRecordFromCache(0, now.Get(), false);
  EXPECT_EQ(now.Value<Integer>(2), 7);
  EXPECT_EQ(now.Apart(1), "changed");
  Integer oldLO;
  std::memcpy(&oldLO, old + ds->FieldDescrList()->Items(2)->Offset, 4);
  EXPECT_EQ(oldLO, -2000000000);
  ds->ReadRecordFromCache(0, now.Get(), true);
  EXPECT_EQ(now.Apart(1), "thirteen char");
  ds->FreeOldRecordBuffer(old);
}

}  // namespace
