// The suites on a database with the repository tables FIB$FIELDS_INFO and
// FIB$DATASETS_INFO in their current layout (with the version generator,
// the FIB$BOOLEAN domain and the triggers that raise FIB$VERSION) and the
// suite's own tables; the repository caches start empty in every test.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "dataaccess/datasets/pFIBDataInfo.h"
#include "dataaccess/datasets/pFIBDataSet.h"
#include "tests/dataaccess/datasets/DataSetFixture.h"

namespace dstest {

inline const char* const kFieldsInfoTable =
    "create table FIB$FIELDS_INFO (TABLE_NAME varchar(31) not null, FIELD_NAME varchar(31) not null, "
    "DISPLAY_LABEL varchar(25), VISIBLE smallint default 1, DISPLAY_FORMAT varchar(15), EDIT_FORMAT varchar(15), "
    "TRIGGERED smallint default 0, DISPLAY_WIDTH integer default 0, FIB$VERSION integer, CHAR_CASE varchar(1), "
    "constraint PK_FIB$FIELDS_INFO primary key (TABLE_NAME, FIELD_NAME))";
inline const char* const kDataSetsInfoTable =
    "create table FIB$DATASETS_INFO (DS_ID integer not null primary key, DESCRIPTION varchar(40), "
    "SELECT_SQL blob sub_type 1, UPDATE_SQL blob sub_type 1, INSERT_SQL blob sub_type 1, "
    "DELETE_SQL blob sub_type 1, REFRESH_SQL blob sub_type 1, NAME_GENERATOR varchar(68), KEY_FIELD varchar(68), "
    "FIB$VERSION integer, UPDATE_TABLE_NAME varchar(68), UPDATE_ONLY_MODIFIED_FIELDS FIB$BOOLEAN, "
    "CONDITIONS blob sub_type 1)";

inline std::string VersionTrigger(const char* Table, const char* Suffix, const char* When) {
  return std::string("create trigger ") + Table + "_" + Suffix + " for " + Table + " active " + When +
         " position 0 as begin new.fib$version = gen_id(fib$field_info_version, 1); end";
}

// The statements that make both tables.
inline std::vector<std::string> RepositoryTables() {
  return {"create generator FIB$FIELD_INFO_VERSION",
          "create domain FIB$BOOLEAN as smallint default 1 not null check (value in (0,1))",
          kFieldsInfoTable,
          kDataSetsInfoTable,
          VersionTrigger("FIB$FIELDS_INFO", "BI", "before insert"),
          VersionTrigger("FIB$FIELDS_INFO", "BU", "before update"),
          VersionTrigger("FIB$DATASETS_INFO", "BI", "before insert"),
          VersionTrigger("FIB$DATASETS_INFO", "BU", "before update")};
}

// Derived::OwnTables() (std::vector<std::string>) follow the repository's.
template <class Derived>
class TRepositorySuite : public TDataSetSuite<Derived> {
 public:
  static std::vector<std::string> Tables() {
    std::vector<std::string> tables = RepositoryTables();
    for (std::string& statement : Derived::OwnTables()) tables.push_back(std::move(statement));
    return tables;
  }

 protected:
  void SetUp() override {
    TDataSetSuite<Derived>::SetUp();
    InitializeUnits({&unit_pFIBDataSet});
    ListTableInfo()->Clear();
    ListDataSetInfo()->Clear();
  }
};

}  // namespace dstest
