// CHAR columns of several lengths and character sets, with and without
// poTrimCharFields: the values read, and the values a post of another column
// leaves on the server.
#include <string>
#include <vector>

#include "dataaccess/datasets/pFIBDataSet.h"
#include "platform/rtl/SysUtils.h"
#include "tests/dataaccess/datasets/ExtendedDataSetFixture.h"

namespace {

const int kLengths[] = {1, 10, 12, 13, 40};

// One row of the test tables: the text of each CHAR column (UTF-8, nullptr
// for NULL), in the order of kLengths.
struct TRow {
  int ID;
  bool Cyrillic;  // not in the NONE table
  const char* Text[5];
};

const TRow kRows[] = {
    {1, false, {"a", "ab", "ab", "ab", "ab"}},
    {2, true, {"ж", "жёлтый", "жёлтый", "жёлтый", "жёлтый дом"}},
    {3, false, {"\t", "a\t", "a\t", "a\t", "a\t"}},
    {4, false, {nullptr, nullptr, nullptr, nullptr, nullptr}},
    {5, false, {" ", "a b ", "a b ", "a b ", "a b "}},
};

// A text as an SQL expression of the UTF8 character set.
std::string Literal(const char* Text) {
  if (Text == nullptr) return "null";
  std::string sql, part;
  auto flush = [&] {
    if (!part.empty()) sql += (sql.empty() ? "" : " || ") + ("_UTF8 '" + part + "'");
    part.clear();
  };
  for (const char* p = Text; *p != 0; ++p) {
    if (*p != '\t') {
      part += *p;
      continue;
    }
    flush();
    sql += (sql.empty() ? "" : " || ") + std::string("ascii_char(9)");
  }
  flush();
  return sql;
}

// The Cyrillic letters of the rows in WIN1251.
std::string ToWin1251(const std::string& Text) {
  static const std::pair<const char*, char> kLetters[] = {{"ж", '\xE6'}, {"ё", '\xB8'}, {"л", '\xEB'}, {"т", '\xF2'},
                                                          {"ы", '\xFB'}, {"й", '\xE9'}, {"д", '\xE4'}, {"о", '\xEE'},
                                                          {"м", '\xEC'}};
  std::string result;
  for (size_t i = 0; i < Text.size();) {
    bool letter = false;
    for (const auto& [utf8, win] : kLetters) {
      if (Text.compare(i, std::char_traits<char>::length(utf8), utf8) == 0) {
        result += win;
        i += std::char_traits<char>::length(utf8);
        letter = true;
        break;
      }
    }
    if (!letter) result += Text[i++];
  }
  return result;
}

struct TCharSetCase {
  const char* Connection;
  const char* Table;
  bool Win1251;  // the texts arrive in WIN1251, else in UTF-8 (or bytes)
};

const TCharSetCase kCharSetCases[] = {
    {"UTF8", "CH_U", false}, {"UTF8", "CH_W", false}, {"WIN1251", "CH_W", true},
    {"WIN1251", "CH_U", true}, {"NONE", "CH_N", false}, {"NONE", "CH_U", false},
};

// What a CHAR(Length) column holding Text reads as: blank-padded to its
// length in characters, or without its trailing blanks when trimmed.
std::string Expected(const char* Text, int Length, bool Win1251, bool Trim) {
  std::string value = Win1251 ? ToWin1251(Text) : Text;
  if (Trim) return value.substr(0, value.find_last_not_of(' ') + 1);
  const size_t chars = Win1251 ? value.size() : Utf8Length(value);
  return value + std::string(static_cast<size_t>(Length) - chars, ' ');
}

class CharColumnsTest : public dstest::TExtendedDataSetSuite<CharColumnsTest> {
 public:
  static std::vector<std::string> Tables() {
    std::vector<std::string> sql;
    for (const auto& [table, charSet] : {std::pair{"CH_U", "UTF8"}, {"CH_W", "WIN1251"}, {"CH_N", "NONE"}}) {
      std::string create = std::string("create table ") + table + " (ID integer not null primary key, N integer";
      for (int n : kLengths) create += ", C" + std::to_string(n) + " char(" + std::to_string(n) + ") character set " + charSet;
      sql.push_back(create + ")");
    }
    return sql;
  }

 protected:
  void SetUp() override {
    TExtendedDataSetSuite::SetUp();
    std::vector<std::string> sql;
    for (const char* table : {"CH_U", "CH_W", "CH_N"}) {
      sql.push_back(std::string("delete from ") + table);
      for (const TRow& row : kRows) {
        if (row.Cyrillic && std::string(table) == "CH_N") continue;
        std::string insert = std::string("insert into ") + table + " values (" + std::to_string(row.ID) + ", 0";
        for (const char* text : row.Text) insert += ", " + Literal(text);
        sql.push_back(insert + ")");
      }
    }
    file_->Exec(sql);
  }

  // The rows of Table on Database, every column written back by a post.
  TpFIBDataSet* Open(TFIBDatabase* Database, const char* Table, bool Trim) {
    auto* ds = new TpFIBDataSet(form_);
    ds->SetDatabase(Database);
    ds->SelectSQL()->SetText(String("select * from ") + Table + " order by ID");
    String update = String("update ") + Table + " set N = ?N";
    for (int n : kLengths) update += ", C" + std::to_string(n) + " = ?C" + std::to_string(n);
    ds->UpdateSQL()->SetText(update + " where ID = ?OLD_ID");
    if (!Trim) ds->SetOptions(ds->Options() - TpFIBDsOptions{poTrimCharFields});
    ds->Open();
    return ds;
  }

  // Rows of Table whose CHAR columns hold the rows' texts, seen through
  // another attachment.
  int ServerRowsAsInserted(const char* Table) {
    std::string sql = std::string("select count(*) from ") + Table + " where N = ID * 10 and (";
    for (const TRow& row : kRows) {
      sql += (row.ID == 1 ? "(ID = " : " or (ID = ") + std::to_string(row.ID);
      for (size_t k = 0; k < std::size(kLengths); ++k)
        sql += " and C" + std::to_string(kLengths[k]) + " is not distinct from " + Literal(row.Text[k]);
      sql += ")";
    }
    return std::stoi(file_->QueryValue(sql + ")"));
  }
};

TEST_F(CharColumnsTest, ValuesKeepEveryCharacterUnlessTrimmedAndThenOnlyBlanks) {
  for (const TCharSetCase& c : kCharSetCases) {
    TFIBDatabase* db = Connect(c.Connection);
    for (bool trim : {false, true}) {
      SCOPED_TRACE(std::string(c.Connection) + " " + c.Table + (trim ? " trimmed" : ""));
      TpFIBDataSet* ds = Open(db, c.Table, trim);
      for (ds->First(); !ds->Eof(); ds->Next()) {
        const int id = ds->FieldByName("ID")->AsInteger();
        const TRow& row = kRows[id - 1];
        for (size_t k = 0; k < std::size(kLengths); ++k) {
          TField* field = ds->FieldByName("C" + std::to_string(kLengths[k]));
          SCOPED_TRACE("ID " + std::to_string(id) + " " + field->FieldName());
          if (row.Text[k] == nullptr) {
            EXPECT_TRUE(field->IsNull());
            continue;
          }
          EXPECT_EQ(field->AsString(), Expected(row.Text[k], kLengths[k], c.Win1251, trim));
        }
      }
      // A post of another column sends every value back as it came.
      const Integer rows = ds->RecordCount();
      for (ds->First(); !ds->Eof(); ds->Next()) {
        ds->Edit();
        ds->FieldByName("N")->SetAsInteger(ds->FieldByName("ID")->AsInteger() * 10);
        ds->Post();
      }
      db->DefaultTransaction()->Commit();
      EXPECT_EQ(ServerRowsAsInserted(c.Table), rows);
      ds->Close();
      file_->Exec((std::string("update ") + c.Table + " set N = 0").c_str());
    }
  }
}

}  // namespace
