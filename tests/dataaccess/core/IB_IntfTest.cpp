#include <dlfcn.h>
#include <gtest/gtest.h>

#include <memory>

#include "dataaccess/core/IB_Intf.h"
#include "dataaccess/core/fib.h"
#include "platform/rtl/Component.h"
#include "platform/rtl/StringList.h"
#include "tests/dataaccess/core/FakeClient.h"

namespace {

bool IsLoaded(const std::string& path) {
  void* h = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
  if (h != nullptr) dlclose(h);
  return h != nullptr;
}

String MessageOf(const std::function<void()>& call) {
  try {
    call();
  } catch (const Exception& e) {
    return e.Message();
  }
  return "(no exception)";
}

}  // namespace

TEST(IBClientLibrary, VersionFollowsTheExportedGroups) {
  struct Case {
    const char* variant;
    int major, minor;
  } cases[] = {{"v5", 5, 0}, {"v6", 6, 0}, {"v7", 7, 5}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.variant);
    IIBClientLibraryRef lib = TIBClientLibrary::Create(FakeClientPath(c.variant));
    EXPECT_EQ(lib->ClientMajorVersion(), c.major);
    EXPECT_EQ(lib->ClientMinorVersion(), c.minor);
    EXPECT_EQ(lib->LibraryName(), FakeClientPath(c.variant));
  }
}

TEST(IBClientLibrary, UnboundEntryPointsRaiseMissingProcedure) {
  std::string v5 = FakeClientPath("v5"), v6 = FakeClientPath("v6"), v7 = FakeClientPath("v7");
  IIBClientLibraryRef lib5 = TIBClientLibrary::Create(v5);
  ISC_TIMESTAMP stamp{};
  tm t{};
  EXPECT_EQ(MessageOf([&] { lib5->isc_encode_timestamp(&t, &stamp); }),
            "Can't find procedure isc_encode_timestamp in " + v5);
  EXPECT_THROW(lib5->isc_rollback_retaining(StatusVector(), nullptr), Exception);

  // Version 6 binds the group; batch and cancel calls need isc_get_client_version.
  IIBClientLibraryRef lib6 = TIBClientLibrary::Create(v6);
  int before = FakeClientCalls(v6);
  lib6->isc_encode_timestamp(&t, &stamp);
  EXPECT_EQ(FakeClientCalls(v6), before + 1);
  EXPECT_EQ(MessageOf([&] { lib6->fb_cancel_operation(StatusVector(), nullptr, fb_cancel_raise); }),
            "Can't find procedure fb_cancel_operation in " + v6);

  IIBClientLibraryRef lib7 = TIBClientLibrary::Create(v7);
  EXPECT_EQ(lib7->fb_cancel_operation(StatusVector(), nullptr, fb_cancel_raise), 0);
  EXPECT_EQ(MessageOf([&] {
              lib7->isc_dsql_batch_execute_immed(StatusVector(), nullptr, nullptr, 3, 0, nullptr,
                                                 nullptr);
            }),
            "Can't find procedure isc_dsql_batch_execute_immed in " + v7);
  // Never bound, whatever the library exports.
  EXPECT_THROW(lib7->isc_array_lookup_desc(StatusVector(), nullptr, nullptr, "T", "F", nullptr),
               Exception);
}

TEST(IBClientLibrary, LoadFailures) {
  EXPECT_EQ(MessageOf([] { TIBClientLibrary::Create("/nonexistent/libnothing.so"); }),
            "Can't load library /nonexistent/libnothing.so ");
  // A required entry point missing: the loader's error names it, and the
  // library is not left loaded.
  std::string nofree = FakeClientPath("nofree");
  try {
    TIBClientLibrary::Create(nofree);
    ADD_FAILURE() << "no exception";
  } catch (const EOSError& e) {
    EXPECT_NE(e.Message().find("isc_free"), String::npos) << e.Message();
  }
  EXPECT_FALSE(IsLoaded(nofree));
}

TEST(IBClientLibrary, UnloadsOnLastReleaseAndOnFreeLibrary) {
  std::string v6 = FakeClientPath("v6");
  IIBClientLibraryRef lib = TIBClientLibrary::Create(v6);
  {
    IIBClientLibraryRef second = lib;
    EXPECT_TRUE(IsLoaded(v6));
  }
  EXPECT_TRUE(IsLoaded(v6));
  lib.reset();
  EXPECT_FALSE(IsLoaded(v6));

  lib = TIBClientLibrary::Create(v6);
  lib->FreeLibrary();
  EXPECT_FALSE(IsLoaded(v6));
  lib->FreeLibrary();  // harmless the second time
  // No call reaches the unloaded code.
  EXPECT_EQ(MessageOf([&] { lib->isc_dsql_fetch(StatusVector(), nullptr, 3, nullptr); }),
            "Can't find procedure isc_dsql_fetch in " + v6);
}

// One binding per name for the whole process, and no unload before the
// unit's finalization, whoever lets go of it.
TEST(IBClientLibrary, SharedBindingStaysLoadedUntilTheUnitEnds) {
  InitializeUnits({&unit_IB_Intf});
  const std::string v7 = FakeClientPath("v7");
  {
    IIBClientLibraryRef a = SharedClientLibrary(v7);
    IIBClientLibraryRef b = SharedClientLibrary(v7);
    EXPECT_EQ(a, b);
    a->FreeLibrary();  // not on a shared binding
    EXPECT_EQ(b->isc_dsql_fetch(StatusVector(), nullptr, 3, nullptr), 100);
  }
  EXPECT_TRUE(IsLoaded(v7));
  EXPECT_NE(SharedClientLibrary(v7), TIBClientLibrary::Create(v7)) << "Create makes a binding of one's own";
  // A failed load is raised each time, not kept.
  for (int i = 0; i < 2; ++i)
    EXPECT_EQ(MessageOf([] { SharedClientLibrary("/nonexistent/libnothing.so"); }),
              "Can't load library /nonexistent/libnothing.so ");
  FinalizeUnits();
  EXPECT_FALSE(IsLoaded(v7));
}

TEST(IBClientLibrary, BusyFlagIsClearedAfterEachCall) {
  IIBClientLibraryRef lib = TIBClientLibrary::Create(FakeClientPath("v6"));
  EXPECT_EQ(lib->isc_dsql_fetch(StatusVector(), nullptr, 3, nullptr), 100);
  EXPECT_EQ(lib->Busy(), 0);
  EXPECT_THROW(lib->isc_dsql_batch_execute(StatusVector(), nullptr, nullptr, 3, nullptr, 0, nullptr,
                                           nullptr),
               Exception);
  EXPECT_EQ(lib->Busy(), 0);
}

// The installed client library and its embedded engine.
class RealClient : public ::testing::Test {
 protected:
  void SetUp() override { InitializeUnits({&unit_fib}); }
};

TEST_F(RealClient, LoadsByDefaultAndOldNames) {
  IIBClientLibraryRef lib = TIBClientLibrary::Create(DefaultLibraryName);
  EXPECT_EQ(DefaultLibraryName, "libfbclient.so.2");
  EXPECT_GE(lib->ClientMajorVersion(), 6);  // Firebird clients report 6.x for compatibility
  for (const char* old_name : {"gds32.dll", "FBCLIENT.DLL"}) {
    IIBClientLibraryRef alias = TIBClientLibrary::Create(old_name);
    EXPECT_EQ(alias->LibraryName(), old_name);
    EXPECT_EQ(alias->ClientMajorVersion(), lib->ClientMajorVersion());
    EXPECT_EQ(alias->ClientMinorVersion(), lib->ClientMinorVersion());
  }
}

TEST_F(RealClient, EventBlockTakesNoMoreNamesThanItPasses) {
  IIBClientLibraryRef lib = TIBClientLibrary::Create(DefaultLibraryName);
  const char* names[kEventBlockNames] = {"FIRST", "SECOND"};
  ISC_UCHAR* events = nullptr;
  ISC_UCHAR* results = nullptr;
  const ISC_LONG length = lib->isc_event_block(&events, &results, 2, names);
  // Version byte, then per name: its length, the name and a 4-byte count.
  EXPECT_EQ(length, 1 + (1 + 5 + 4) + (1 + 6 + 4));
  ASSERT_NE(events, nullptr);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(events) + 2, 5), "FIRST");
  lib->isc_free(reinterpret_cast<ISC_SCHAR*>(events));
  lib->isc_free(reinterpret_cast<ISC_SCHAR*>(results));

  events = results = nullptr;
  EXPECT_EQ(MessageOf([&] { lib->isc_event_block(&events, &results, kEventBlockNames + 1, names); }),
            "isc_event_block: 16 event names, at most 15");
  EXPECT_EQ(MessageOf([&] { lib->isc_event_block(&events, &results, 3, names); }),
            "isc_event_block: event name 3 is missing");
  EXPECT_EQ(events, nullptr);
  EXPECT_EQ(lib->Busy(), 0);
}

TEST_F(RealClient, FailedAttachRaisesTheServerError) {
  IIBClientLibraryRef lib = TIBClientLibrary::Create(DefaultLibraryName);
  TStringList params;
  params.Add("user_name=SYSDBA");
  String dpb;
  SmallInt dpb_length = 0;
  BuildDPB(&params, dpb, dpb_length);

  const String path = ::testing::TempDir() + "no-such-dir/missing.fdb";
  isc_db_handle db = 0;
  ISC_STATUS status =
      lib->isc_attach_database(StatusVector(), 0, path.c_str(), &db, dpb_length, dpb.data());
  ASSERT_GT(status, 0);
  EXPECT_TRUE(StatusVectorHasCode({isc_io_error}));
  EXPECT_TRUE(StatusVectorHasCode({isc_bad_db_format, isc_io_error}));
  EXPECT_FALSE(StatusVectorHasCode({isc_bad_db_format}));

  std::unique_ptr<TComponent> form(new TComponent(nullptr));
  form->SetName("Form1");
  TComponent* db_component = new TComponent(form.get());
  db_component->SetName("DB1");
  try {
    RaiseStatusError(lib.get(), db_component);
    ADD_FAILURE() << "no exception";
  } catch (const EFIBInterBaseError& e) {
    EXPECT_EQ(e.SQLCode(), -902);
    EXPECT_EQ(e.IBErrorCode(), isc_io_error);
    EXPECT_EQ(e.RaiserName(), "Form1.DB1");
    EXPECT_EQ(e.Raiser(), db_component);
    const String& m = e.Message();
    EXPECT_EQ(m.rfind("Form1.DB1:\r\nUnsuccessful execution caused by a system error", 0), 0u) << m;
    EXPECT_NE(m.find(".\r\nI/O error during \"open\" operation for file \"" + path + "\".\r\n"),
              String::npos)
        << m;
    EXPECT_EQ(m.substr(m.size() - 3), ".\r\n");
  }
}
