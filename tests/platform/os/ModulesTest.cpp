#include "platform/os/Modules.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/os/Resources.h"

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

TEST(Modules, ResourcesOfALibraryModuleByNameAndId) {
  // The bitmap library lies next to the test program.
  std::string path = std::filesystem::read_symlink("/proc/self/exe").parent_path() / "B_Lib.DLL";
  HMODULE m = LoadLibrary(path);
  ASSERT_NE(m, nullptr) << LastModuleError();
  auto ok = FindModuleResource(m, "im_ok", RT_BITMAP);  // names ignore case
  ASSERT_TRUE(ok.has_value());
  EXPECT_EQ(ok->Name, "IM_OK");
  ASSERT_GT(ok->Data.size(), 54u);
  EXPECT_EQ(ok->Data[0], 'B');
  EXPECT_EQ(ok->Data[1], 'M');
  auto byId = FindModuleResource(m, uint16_t{101}, RT_BITMAP);
  ASSERT_TRUE(byId.has_value());
  EXPECT_EQ(byId->Name, "#101");
  EXPECT_TRUE(FindModuleResource(m, "#101", RT_BITMAP).has_value());
  EXPECT_FALSE(FindModuleResource(m, "101", RT_BITMAP).has_value());  // a name, not an id
  EXPECT_FALSE(FindModuleResource(m, "IM_OK", RT_RCDATA).has_value());
  EXPECT_FALSE(FindModuleResource(m, "NO_SUCH", RT_BITMAP).has_value());
  EXPECT_FALSE(FindModuleResource(m, uint16_t{102}, RT_BITMAP).has_value());
  EXPECT_TRUE(FreeLibrary(m));

  // A library without a resource table has no resources.
  HMODULE libm = LoadLibrary("libm.so.6");
  ASSERT_NE(libm, nullptr);
  EXPECT_FALSE(FindModuleResource(libm, "IM_OK", RT_BITMAP).has_value());
  FreeLibrary(libm);

  // The program's own resources through HInstance.
  static const uint8_t data[] = {1, 2, 3};
  RegisterResource("42", RT_RCDATA, data, sizeof(data));
  EXPECT_TRUE(FindModuleResource(HInstance, uint16_t{42}, RT_RCDATA).has_value());
  EXPECT_TRUE(FindModuleResource(HInstance, "#42", RT_RCDATA).has_value());
  UnregisterResource("42", RT_RCDATA);
}
