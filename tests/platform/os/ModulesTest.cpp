#include "platform/os/Modules.h"

#include <gtest/gtest.h>

namespace {
int Answer() { return 42; }
}  // namespace

TEST(Modules, BuiltinModuleLoadsByNameIgnoringCase) {
  RegisterBuiltinModule({"probe.dll", {{"Answer", reinterpret_cast<void*>(&Answer)}}});
  HMODULE m = LoadLibrary("PROBE.DLL");
  ASSERT_NE(m, nullptr);
  auto fn = reinterpret_cast<int (*)()>(GetProcAddress(m, "Answer"));
  ASSERT_NE(fn, nullptr);
  EXPECT_EQ(fn(), 42);
  EXPECT_EQ(GetProcAddress(m, "Missing"), nullptr);
  EXPECT_TRUE(FreeLibrary(m));
  EXPECT_TRUE(UnregisterBuiltinModule("probe.dll"));
  EXPECT_EQ(LoadLibrary("probe.dll"), nullptr);
  EXPECT_FALSE(LastModuleError().empty());
}

TEST(Modules, SharedLibraryThroughAlias) {
  RegisterLibraryAlias("libm-alias.dll", "libm.so.6");
  HMODULE m = LoadLibrary("libm-alias.dll");
  ASSERT_NE(m, nullptr);
  auto cosine = reinterpret_cast<double (*)(double)>(GetProcAddress(m, "cos"));
  ASSERT_NE(cosine, nullptr);
  EXPECT_DOUBLE_EQ(cosine(0.0), 1.0);
  HMODULE again = LoadLibrary("libm.so.6");
  EXPECT_EQ(again, m);  // one entry per library, reference counted
  EXPECT_TRUE(FreeLibrary(again));
  EXPECT_TRUE(FreeLibrary(m));
  EXPECT_FALSE(FreeLibrary(m));
  EXPECT_EQ(LoadLibrary("/nonexistent/libnothing.so"), nullptr);
}
