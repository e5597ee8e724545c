#include "platform/os/Registry.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "platform/rtl/SysUtils.h"
#include "tests/support/ConfigHomeFixture.h"

namespace fs = std::filesystem;

using Registry = ConfigHomeTest;

TEST_F(Registry, SettingsFileFollowsTheEnvironment) {
  EXPECT_EQ(UserSettingsFileName(), dir_ + "/procview/registry.ini");
  setenv("XDG_CONFIG_HOME", "relative/dir", 1);  // relative: ignored
  setenv("HOME", dir_.c_str(), 1);
  EXPECT_EQ(UserSettingsFileName(), dir_ + "/.config/procview/registry.ini");
  unsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(UserSettingsFileName(), dir_ + "/.config/procview/registry.ini");
}

TEST_F(Registry, MissingDirectoriesAreCreatedOwnerOnly) {
  String home = dir_ + "/new/config";
  setenv("XDG_CONFIG_HOME", home.c_str(), 1);
  TRegistry reg;
  EXPECT_FALSE(reg.OpenKey("Software\\App", false));
  EXPECT_FALSE(fs::exists(home));  // reading creates nothing
  ASSERT_TRUE(reg.OpenKey("Software\\App", true));
  reg.WriteString("V", "x");
  for (const String& d : {dir_ + "/new", home, home + "/procview"}) {
    struct stat st{};
    ASSERT_EQ(stat(d.c_str(), &st), 0) << d;
    EXPECT_EQ(st.st_mode & 0777, 0700u) << d;
  }
  struct stat st{};
  ASSERT_EQ(stat(UserSettingsFileName().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST_F(Registry, EveryKindRoundTrips) {
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey("Software\\Kinds", true));
  reg.WriteCurrency("cur", Currency::FromRaw(-1234567));
  reg.WriteBool("yes", true);
  reg.WriteBool("no", false);
  reg.WriteDate("date", 45000.0);
  reg.WriteDateTime("stamp", 45000.123456789012);
  reg.WriteFloat("float", 0.1);
  reg.WriteInteger("int", -2147483647 - 1);
  reg.WriteTime("time", 0.75);
  reg.CloseKey();

  TRegistry again;
  ASSERT_TRUE(again.OpenKey("SOFTWARE\\kinds", false));  // names ignore case
  EXPECT_EQ(again.CurrentPath(), "Software\\Kinds");
  EXPECT_EQ(again.ReadCurrency("CUR"), Currency::FromRaw(-1234567));
  EXPECT_TRUE(again.ReadBool("yes"));
  EXPECT_FALSE(again.ReadBool("no"));
  EXPECT_EQ(again.ReadDate("date"), 45000.0);
  EXPECT_EQ(again.ReadDateTime("stamp"), 45000.123456789012);  // exact
  EXPECT_EQ(again.ReadFloat("float"), 0.1);
  EXPECT_EQ(again.ReadInteger("int"), -2147483647 - 1);
  EXPECT_EQ(again.ReadTime("time"), 0.75);
}

TEST_F(Registry, StringsKeepEveryCharacter) {
  const String texts[] = {"",    "a,b",  " padded ", "a;b;c", "Привет, мир", "@ByteArray(x)",
                          "\"q\"", "x=y", "back\\slash", "line\nbreak", "#hash", "[section]"};
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey("S", true));
  for (size_t i = 0; i < std::size(texts); ++i) reg.WriteString(IntToStr(static_cast<int>(i)) + "_E", texts[i]);
  TRegistry again;
  ASSERT_TRUE(again.OpenKey("S", false));
  for (size_t i = 0; i < std::size(texts); ++i) {
    String name = IntToStr(static_cast<int>(i)) + "_E";
    EXPECT_TRUE(again.ValueExists(name));
    EXPECT_EQ(again.ReadString(name), texts[i]) << i;
  }
}

TEST_F(Registry, KeyPathsAreRelativeOrAbsolute) {
  TRegistry reg;
  EXPECT_FALSE(reg.OpenKey("A\\B", false));  // no such key yet
  ASSERT_TRUE(reg.OpenKey("A", true));
  ASSERT_TRUE(reg.OpenKey("B\\", true));  // below A; a trailing "\" adds nothing
  EXPECT_EQ(reg.CurrentPath(), "A\\B");
  reg.WriteInteger("v", 1);
  ASSERT_TRUE(reg.OpenKey("\\A", false));  // from the root
  EXPECT_EQ(reg.CurrentPath(), "A");
  EXPECT_FALSE(reg.ValueExists("v"));
  EXPECT_FALSE(reg.OpenKey("Missing", false));
  EXPECT_EQ(reg.CurrentPath(), "A");  // a failed open keeps the key
  ASSERT_TRUE(reg.OpenKey("\\a\\\\b", false));
  EXPECT_EQ(reg.ReadInteger("V"), 1);
  EXPECT_FALSE(reg.OpenKey("x/y", true));  // "/" is no key name
  EXPECT_FALSE(reg.OpenKey("x\x01", true));
  ASSERT_TRUE(reg.OpenKey("\\Empty", true));  // a new key stays without values
  EXPECT_TRUE(TRegistry().OpenKey("Empty", false));
  EXPECT_FALSE(reg.ValueExists("\x01"));
  reg.CloseKey();
  EXPECT_EQ(reg.CurrentPath(), "");
  reg.WriteString("rootValue", "r");
  EXPECT_EQ(TRegistry().ReadString("ROOTVALUE"), "r");
}

TEST_F(Registry, WrongKindsAndMissingValues) {
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey("K", true));
  reg.WriteString("text", "abc");
  reg.WriteString("number", "42");
  EXPECT_EQ(reg.ReadInteger("number"), 42);  // kinds are not kept
  EXPECT_EQ(reg.ReadString("missing"), "");
  EXPECT_FALSE(reg.ValueExists("missing"));
  struct Case {
    const char* name;
    std::function<void()> read;
  };
  const Case cases[] = {
      {"text", [&] { reg.ReadInteger("text"); }},   {"text", [&] { reg.ReadFloat("text"); }},
      {"text", [&] { reg.ReadCurrency("text"); }},  {"text", [&] { reg.ReadBool("text"); }},
      {"missing", [&] { reg.ReadInteger("missing"); }}, {"missing", [&] { reg.ReadDate("missing"); }},
  };
  for (const Case& c : cases) {
    try {
      c.read();
      ADD_FAILURE() << "no exception for " << c.name;
    } catch (const ERegistryException& e) {
      EXPECT_EQ(e.Message(), Format("Invalid data type for '%s'", {String(c.name)}));
    }
  }
  EXPECT_THROW(reg.WriteString("a/b", "x"), ERegistryException);
  EXPECT_THROW(reg.WriteString("", "x"), ERegistryException);
}

TEST_F(Registry, DamagedOrUnreadableFilesAreNeverWritten) {
  struct Case {
    const char* what;
    std::string bytes;
  };
  const Case cases[] = {
      {"NUL bytes", std::string("[A]\nv=1\n\0\0garbage", 17)},
      {"not UTF-8", "[A]\nv=\xff\xfe\xc3\n"},
      {"unclosed section", "[A\nv=1\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WriteSettingsFile(c.bytes);
    TRegistry reg;
    EXPECT_FALSE(reg.OpenKey("A", false));
    EXPECT_FALSE(reg.OpenKey("A", true));
    EXPECT_FALSE(reg.ValueExists("v"));
    EXPECT_EQ(reg.ReadString("v"), "");
    EXPECT_THROW(reg.WriteString("v", "2"), ERegistryException);
    EXPECT_EQ(ReadSettingsFile(), c.bytes);
  }

  // A directory where the file should be.
  fs::remove(UserSettingsFileName());
  fs::create_directories(UserSettingsFileName());
  TRegistry reg;
  EXPECT_FALSE(reg.OpenKey("A", true));
  EXPECT_THROW(reg.WriteString("v", "2"), ERegistryException);
  fs::remove(UserSettingsFileName());

  if (geteuid() != 0) {  // permissions do not stop root
    WriteSettingsFile("[A]\nv=1\n");
    chmod(UserSettingsFileName().c_str(), 0200);
    EXPECT_FALSE(reg.OpenKey("A", true));
    chmod(UserSettingsFileName().c_str(), 0600);
    EXPECT_EQ(ReadSettingsFile(), "[A]\nv=1\n");
  }
}

TEST_F(Registry, WriteFailureRaises) {
  // The configuration directory lies below a plain file: nothing can be made.
  String blocker = dir_ + "/file";
  std::ofstream(blocker) << "x";
  setenv("XDG_CONFIG_HOME", (blocker + "/config").c_str(), 1);
  TRegistry reg;
  EXPECT_FALSE(reg.OpenKey("A", true));
  try {
    reg.WriteInteger("v", 1);
    ADD_FAILURE() << "no exception";
  } catch (const ERegistryException& e) {
    EXPECT_EQ(e.Message(), "Failed to set data for 'v'");
  }
}

TEST_F(Registry, AFailedWriteKeepsTheValueAndLeavesTheFile) {
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey("K", true));
  reg.WriteString("a", "1");
  const std::string before = ReadSettingsFile();
  {
    UnwritableSettings unwritable;
    EXPECT_THROW(reg.WriteString("b", "2"), ERegistryException);
    ASSERT_TRUE(reg.OpenKey("\\New", true));  // made in memory
    EXPECT_THROW(reg.WriteString("c", "3"), ERegistryException);
    TRegistry other;
    ASSERT_TRUE(other.OpenKey("K", false));
    EXPECT_EQ(other.ReadString("b"), "2");
    EXPECT_EQ(other.ReadString("a"), "1");
    ASSERT_TRUE(other.OpenKey("\\new", false));
    EXPECT_EQ(other.ReadString("C"), "3");
    // An update raises once, at its end.
    reg.BeginUpdate();
    reg.WriteString("d", "4");
    reg.WriteString("e", "5");
    EXPECT_EQ(other.ReadString("e"), "5");
    try {
      reg.EndUpdate();
      ADD_FAILURE() << "no exception";
    } catch (const ERegistryException& e) {
      EXPECT_EQ(e.Message(), "Failed to set data for 'd'");
    }
  }
  EXPECT_EQ(ReadSettingsFile(), before);

  // Nothing is left beside the file by the failed writes.
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(fs::path(UserSettingsFileName()).parent_path()))
    names.push_back(entry.path().filename().string());
  EXPECT_EQ(names, std::vector<std::string>{"registry.ini"});

  // The next write takes everything kept along.
  reg.WriteString("f", "6");
  const std::string after = ReadSettingsFile();
  for (const char* text : {"[K]", "a=1", "b=2", "[New]", "c=3", "d=4", "e=5", "f=6"})
    EXPECT_NE(after.find(text), std::string::npos) << text << " in " << after;

  // Another process's change is read, and kept by the next write here.
  WriteSettingsFile(after + "[Outside]\nv=7\n");
  TRegistry outside;
  ASSERT_TRUE(outside.OpenKey("Outside", false));
  EXPECT_EQ(outside.ReadString("v"), "7");
  reg.WriteString("g", "8");
  EXPECT_NE(ReadSettingsFile().find("v=7"), std::string::npos);
}
