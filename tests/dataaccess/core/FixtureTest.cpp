#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/fb/FirebirdFixture.h"

TEST(FirebirdFixture, CreatesQueriesAndRemovesDatabase) {
  std::string folder;
  {
    fbtest::TTempDatabase db;
    folder = db.Folder();
    db.Exec({"create table T (ID integer, NAME varchar(20))", "insert into T values (1, 'Привет')"});
    EXPECT_EQ(db.QueryValue("select NAME from T where ID = 1"), "Привет");
    EXPECT_EQ(db.QueryValue("select NAME from T where ID = 2"), "");
    EXPECT_THROW(db.Exec("select * from NO_SUCH_TABLE"), std::runtime_error);
  }
  EXPECT_FALSE(std::filesystem::exists(folder));
}
