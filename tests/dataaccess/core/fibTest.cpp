#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <thread>

#include "dataaccess/core/fib.h"
#include "platform/rtl/Component.h"
#include "platform/rtl/StringList.h"
#include "tests/dataaccess/core/FakeClient.h"

namespace {

class FibTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InitializeUnits({&unit_fib});
    std::memset(StatusVector(), 0, sizeof(ISC_STATUS_ARRAY));
  }
  // Fills the status vector: engine code, then one string cluster per text.
  static void SetStatus(ISC_STATUS code, std::initializer_list<const char*> texts) {
    ISC_STATUS* sv = StatusVector();
    int i = 0;
    sv[i++] = isc_arg_gds;
    sv[i++] = code;
    for (const char* t : texts) {
      sv[i++] = isc_arg_string;
      sv[i++] = reinterpret_cast<ISC_STATUS>(t);
    }
    sv[i] = isc_arg_end;
  }
};

void Fill(TStringList& list, const std::vector<String>& lines) {
  for (const String& line : lines) list.Add(line);
}

std::vector<String> LinesOf(const TStringList& list) {
  std::vector<String> lines;
  for (int i = 0; i < list.Count(); ++i) lines.push_back(list.Strings(i));
  return lines;
}

// The call raises EFIBClientError with this SQL code and message.
void ExpectClientError(const std::function<void()>& call, Integer sql_code, const String& message) {
  try {
    call();
    ADD_FAILURE() << "no exception";
  } catch (const EFIBClientError& e) {
    EXPECT_EQ(e.SQLCode(), sql_code);
    EXPECT_EQ(e.Message(), message);
  }
}

String Bytes(std::initializer_list<int> bytes) {
  String s;
  for (int b : bytes) s += static_cast<char>(b);
  return s;
}

}  // namespace

// ---------------------------------------------------------------------------
// Server errors

TEST_F(FibTest, ServerErrorComposesRaiserSQLAndEngineMessages) {
  struct Case {
    const char* variant;  // v5 has only the unbounded interpreter
    const char* sql_text;
    const char* expected_sql;
  } cases[] = {
      {"v6", "lower case text", "Lower case text.\r\n"},
      {"v5", "lower case text", "Lower case text.\r\n"},
      {"v6", "Ends with a point.", "Ends with a point.\r\n"},  // no second point, the line break kept
      {"v6", "split\\nline", "Splitline.\r\n"},
      {"v6", "", ""},
  };
  std::unique_ptr<TComponent> form(new TComponent(nullptr));
  form->SetName("Form1");
  auto* db = new TComponent(form.get());
  db->SetName("DB1");
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.variant) + " " + c.sql_text);
    std::string path = FakeClientPath(c.variant);
    IIBClientLibraryRef lib = TIBClientLibrary::Create(path);
    ConfigureFakeClient(path, -901, c.sql_text);
    SetStatus(335544321, {"first message", "Second."});
    try {
      RaiseStatusError(lib.get(), db);
      ADD_FAILURE() << "no exception";
    } catch (const EFIBInterBaseError& e) {
      EXPECT_EQ(e.SQLCode(), -901);
      EXPECT_EQ(e.IBErrorCode(), 335544321);
      EXPECT_EQ(e.SQLMessage(), c.expected_sql);
      EXPECT_EQ(e.IBMessage(), "First message.\r\nSecond.\r\n");
      EXPECT_EQ(e.Message(), String("Form1.DB1:\r\n") + c.expected_sql + e.IBMessage());
    }
    // The status vector stays as the failed call left it.
    EXPECT_EQ(StatusVector()[1], 335544321);
  }
}

TEST_F(FibTest, RaiserNameNeedsTwoCharactersAndAComponent) {
  std::string path = FakeClientPath("v6");
  IIBClientLibraryRef lib = TIBClientLibrary::Create(path);
  ConfigureFakeClient(path, -1, "x");
  std::unique_ptr<TComponent> d(new TComponent(nullptr));
  d->SetName("D");
  TObject plain;
  for (TObject* raiser : {static_cast<TObject*>(d.get()), &plain, static_cast<TObject*>(nullptr)}) {
    SetStatus(1, {});
    try {
      RaiseStatusError(lib.get(), raiser);
      ADD_FAILURE() << "no exception";
    } catch (const EFIBInterBaseError& e) {
      EXPECT_EQ(e.Message(), "X.\r\n");
      EXPECT_EQ(e.Raiser(), raiser);
    }
  }
}

// ---------------------------------------------------------------------------
// Client errors

TEST_F(FibTest, ClientErrorsUseTheTableModulo128) {
  struct Case {
    Integer number;
    std::initializer_list<TVarRec> args;
    Integer sql_code;
    const char* message;
  } cases[] = {
      {fceDatabaseNotOpen,
       {"Form1.DB1"},
       12,
       "Form1.DB1: Cannot perform operation -- DB is not open."},
      {128 + 12, {"DB"}, 12, "DB: Cannot perform operation -- DB is not open."},
      {fceOpenNonSelect, {}, 38, "Can't \"open\" a non-select statement. Use ExecQuery."},
      {fceCannotPost, {"Q"}, 45, "Can't post. (Q) "},
      {fceNeedsVersion2,
       {"X"},
       78,
       "X is an Firebird 2 function. Please upgrade to Firebird 2 to use this functonality"},
      {fceWindowsAPIError, {5, 255}, 55, "Windows API error. (Windows error 5 [$000000FF])"},
      {100, {}, 100, "Unknown error."},  // past the table: no read beyond it
  };
  StatusVector()[1] = 335544344;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.number);
    try {
      RaiseClientError(c.number, c.args);
      ADD_FAILURE() << "no exception";
    } catch (const EFIBClientError& e) {
      EXPECT_EQ(e.SQLCode(), c.sql_code);
      EXPECT_EQ(e.Message(), c.message);
      EXPECT_EQ(e.Raiser(), nullptr);
      EXPECT_EQ(e.IBErrorCode(), 335544344);  // whatever the status vector held
    }
  }
  ExpectClientError([] { RaiseClientErrorMsg("free %s text", {"format"}); }, -1,
                    "free format text");
  EXPECT_THROW(RaiseClientError(fceEndOfFile), EDatabaseError);
}

// ---------------------------------------------------------------------------
// Status vector

TEST_F(FibTest, StatusVectorHasCodeWalksTheClusters) {
  EXPECT_FALSE(StatusVectorHasCode({0, 335544344}));  // clean vector

  static const char kText[] = "x";
  ISC_STATUS* sv = StatusVector();
  ISC_STATUS words[] = {
      isc_arg_gds,    335544344, isc_arg_cstring, 777, reinterpret_cast<ISC_STATUS>(kText),
      isc_arg_string, 888,       isc_arg_number,  999, isc_arg_end};
  std::memcpy(sv, words, sizeof(words));
  EXPECT_TRUE(StatusVectorHasCode({335544344}));
  EXPECT_TRUE(StatusVectorHasCode({1, 999}));  // number argument
  EXPECT_FALSE(StatusVectorHasCode({777}));    // the counted string's length
  EXPECT_FALSE(StatusVectorHasCode({888}));    // a string cluster is not compared

  // A vector without an end word is read no further than its 20 words.
  for (int i = 0; i < ISC_STATUS_LENGTH; ++i) sv[i] = isc_arg_string;
  EXPECT_FALSE(StatusVectorHasCode({12345}));
}

TEST_F(FibTest, StatusVectorIsPerThread) {
  StatusVector()[0] = 1;
  ISC_STATUS other = -1;
  std::thread([&] { other = StatusVector()[0]; }).join();
  EXPECT_EQ(other, 0);
}

TEST(ReallocZeroed, AllocatesGrowsZeroesAndFrees) {
  void* p = nullptr;
  ReallocZeroed(p, 0, 8);
  ASSERT_NE(p, nullptr);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(static_cast<char*>(p)[i], 0);
  std::memset(p, 'a', 8);
  ReallocZeroed(p, 8, 16);
  EXPECT_EQ(std::string(static_cast<char*>(p), 16), std::string(8, 'a') + std::string(8, '\0'));
  ReallocZeroed(p, 16, 4);
  EXPECT_EQ(std::string(static_cast<char*>(p), 4), "aaaa");
  ReallocZeroed(p, 4, 0);
  EXPECT_EQ(p, nullptr);
}

// ---------------------------------------------------------------------------
// Parameter blocks

using TBuild = void (*)(TStrings*, String&, SmallInt&);

TEST_F(FibTest, ParameterBlocksEncodeEachKindOfItem) {
  struct Case {
    TBuild build;
    std::vector<String> lines;
    String block;
  } cases[] = {
      {BuildDPB,
       {"user_name=ADMIN", "isc_dpb_lc_ctype=WIN1251"},
       Bytes({1, 28, 5}) + "ADMIN" + Bytes({48, 7}) + "WIN1251"},
      {BuildDPB, {"password=masterkey"}, Bytes({1, 29, 9}) + "masterkey"},
      {BuildDPB, {"sql_dialect=3"}, Bytes({1, 63, 1, 3})},
      {BuildDPB, {"sweep_interval=20000"}, Bytes({1, 22, 4, 0x20, 0x4E, 0, 0})},
      {BuildDPB, {"num_buffers=75"}, Bytes({1, 5, 1, 75})},
      {BuildDPB, {"num_buffers=2048"}, Bytes({1, 5, 4, 0x00, 0x08, 0, 0})},  // too big for a byte
      {BuildDPB, {"connect_timeout=200"}, Bytes({1, 57, 4, 200, 0, 0, 0})},  // a byte reads as -56
      {BuildDPB, {"garbage_collect=ignored", "ISC_DPB_SWEEP"}, Bytes({1, 8, 1, 0, 10, 1, 2})},
      {BuildDPB,
       {"USER_NAME=a", "", " \t", "  sql_role_name=R  "},
       Bytes({1, 28, 1, 'a', 60, 1, 'R'})},
      {BuildDPB, {}, Bytes({1})},
      {BuildTPB,
       {"write", "isc_tpb_nowait", "read_committed", "rec_version"},
       Bytes({3, 9, 7, 15, 17})},
      {BuildTPB,
       {"write", "", "isc_tpb_nowait", "read_committed", "rec_version"},
       Bytes({3, 9, 7, 15, 17})},
      {BuildTPB, {"read", "lock_read=CUSTOMERS"}, Bytes({3, 8, 10, 9}) + "CUSTOMERS"},
      {BuildTPB, {"CONCURRENCY", "Wait"}, Bytes({3, 2, 6})},
      {BuildTPB, {}, ""},
      {BuildTPB, {""}, Bytes({3})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.lines.empty() ? "" : c.lines[0]);
    TStringList lines;
    Fill(lines, c.lines);
    String block = "stale";
    SmallInt length = -1;
    c.build(&lines, block, length);
    EXPECT_EQ(block, c.block);
    EXPECT_EQ(length, static_cast<SmallInt>(c.block.size()));
  }
}

TEST_F(FibTest, ParameterBlocksRejectUnknownUnsupportedAndTooLongItems) {
  struct Case {
    TBuild build;
    String line;
    Integer sql_code;
    String message;
  } cases[] = {
      {BuildDPB, "user_name =a", fceDPBConstantUnknown, "DPB Constant (user_name ) is unknown."},
      {BuildDPB, "isc_dpb_nonsense=1", fceDPBConstantUnknown,
       "DPB Constant (nonsense) is unknown."},
      {BuildDPB, "page_size=4096", fceDPBConstantUnsupported,
       "DPB Constant (isc_dpb_page_size) is unsupported."},
      // Listed, but the installed client has no such item.
      {BuildDPB, "instance_name=x", fceDPBConstantUnknown,
       "DPB Constant (instance_name) is unknown."},
      {BuildDPB, "user_name=" + String(256, 'u'), -1,
       "DPB Constant (isc_dpb_user_name) value is too long: 256 bytes, at most 255."},
      {BuildTPB, "autocommit", fceTPBConstantUnsupported,
       "TPB Constant (isc_tpb_autocommit) is unsupported."},
      {BuildTPB, "isc_tpb_verb_time", fceTPBConstantUnsupported,
       "TPB Constant (isc_tpb_verb_time) is unsupported."},
      {BuildTPB, "bogus", fceTPBConstantUnknown, "TPB Constant (bogus) is unknown."},
      {BuildTPB, "no_savepoint", fceTPBConstantUnknown, "TPB Constant (no_savepoint) is unknown."},
      {BuildTPB, "lock_write=" + String(300, 't'), -1,
       "TPB Constant (isc_tpb_lock_write) value is too long: 300 bytes, at most 255."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line.substr(0, 20));
    TStringList lines;
    Fill(lines, {c.build == BuildDPB ? "user_name=U" : "read", c.line});  // after a good line
    String block;
    SmallInt length = 0;
    ExpectClientError([&] { c.build(&lines, block, length); }, c.sql_code, c.message);
  }

  TStringList not_a_number;
  not_a_number.Add("num_buffers=many");
  String block;
  SmallInt length = 0;
  EXPECT_THROW(BuildDPB(&not_a_number, block, length), EConvertError);

  // A string of exactly 255 bytes still fits.
  TStringList longest;
  longest.Add("user_name=" + String(255, 'u'));
  BuildDPB(&longest, block, length);
  EXPECT_EQ(length, 1 + 2 + 255);
}

TEST_F(FibTest, BuildRewritesLinesTrimmedUpToTheFailingOne) {
  TStringList lines;
  Fill(lines, {"  user_name=a\t", " page_size=1 ", "  password=b  "});
  String block;
  SmallInt length = 0;
  EXPECT_THROW(BuildDPB(&lines, block, length), EFIBClientError);
  EXPECT_EQ(LinesOf(lines), (std::vector<String>{"user_name=a", "page_size=1", "  password=b  "}));
}
