#include "platform/rtl/StringList.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "platform/rtl/Streams.h"

using ::testing::StrEq;
using ::testing::ThrowsMessage;

namespace {

using Lines = std::vector<std::string>;

Lines LinesOf(const TStrings& list) {
  Lines out;
  for (int i = 0; i < list.Count(); ++i) out.push_back(list.Strings(i));
  return out;
}

void Fill(TStrings& list, const Lines& lines) {
  list.Clear();
  for (const auto& s : lines) list.Add(s);
}

// Counts live instances so that tests can see what a list freed.
class TCounted : public TObject {
 public:
  static inline int Live = 0;
  TCounted() { ++Live; }
  ~TCounted() override { --Live; }
};

class TChangeCounter : public TObject {
 public:
  int changing = 0;
  int changed = 0;
  void Changing(TObject*) { ++changing; }
  void Changed(TObject*) { ++changed; }
  void Attach(TStringList& list) {
    list.SetOnChanging({this, &TChangeCounter::Changing});
    list.SetOnChange({this, &TChangeCounter::Changed});
  }
};

struct SplitCase {
  const char* text;
  Lines lines;
};

// Sets each text through the setter and compares the lines.
void CheckSplits(std::initializer_list<SplitCase> cases, void (TStrings::*setter)(const String&)) {
  for (const SplitCase& c : cases) {
    SCOPED_TRACE(c.text);
    TStringList list;
    (list.*setter)(c.text);
    EXPECT_EQ(LinesOf(list), c.lines);
  }
}

std::string TempPath(const char* name) {
  return std::string(::testing::TempDir()) + "lists_" + name + "_" + std::to_string(::getpid());
}

}  // namespace

TEST(StringList, SortedCyrillicUnderLocaleAndFind) {
  TStringList list;
  for (const char* s : {"яблоко", "Жук", "ель", "Ёж", "абрикос", "Banana", "apple"}) list.Add(s);
  list.SetSorted(true);
  // Locale order, case ignored: not byte order (which puts Ё before А and
  // capitals before small letters).
  EXPECT_EQ(LinesOf(list), (Lines{"apple", "Banana", "абрикос", "Ёж", "ель", "Жук", "яблоко"}));

  int index = -1;
  EXPECT_TRUE(list.Find("ЖУК", index));
  EXPECT_EQ(index, 5);
  EXPECT_FALSE(list.Find("вишня", index));
  EXPECT_EQ(index, 3);  // insertion point
  EXPECT_EQ(list.Add("вишня"), 3);
  EXPECT_EQ(list.IndexOf("ЯБЛОКО"), 7);
  EXPECT_FALSE(list.Find("zz", index));
  EXPECT_EQ(index, 2);

  list.SetCaseSensitive(true);
  EXPECT_EQ(list.IndexOf("ЯБЛОКО"), -1);
  EXPECT_EQ(list.IndexOf("яблоко"), 7);
}

TEST(StringList, CaseSensitiveSortOrdersCaseVariantsAndResortsSortedList) {
  TStringList list;
  list.SetSorted(true);
  list.SetDuplicates(dupAccept);
  for (const char* s : {"b", "B", "a", "A"}) list.Add(s);
  // Case ignored: dupAccept puts a line before the lines equal to it.
  EXPECT_EQ(LinesOf(list), (Lines{"A", "a", "B", "b"}));
  list.SetCaseSensitive(true);
  EXPECT_EQ(LinesOf(list), (Lines{"a", "A", "b", "B"}));
  int index = -1;
  EXPECT_TRUE(list.Find("B", index));
  EXPECT_EQ(index, 3);
}

TEST(StringList, DuplicatesModes) {
  struct Case {
    TDuplicates mode;
    int addResult;  // of adding "жук" to {"Жук", "муха"}; -2: raises
    Lines after;
  };
  const Case cases[] = {
      {dupIgnore, 0, {"Жук", "муха"}},
      {dupAccept, 0, {"жук", "Жук", "муха"}},
      {dupError, -2, {"Жук", "муха"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.mode));
    TStringList list;
    list.SetSorted(true);
    list.SetDuplicates(c.mode);
    list.Add("муха");
    list.Add("Жук");
    if (c.addResult == -2) {
      EXPECT_THAT([&] { list.Add("жук"); }, ThrowsMessage<EStringListError>(StrEq("String list does not allow duplicates")));
    } else {
      EXPECT_EQ(list.Add("жук"), c.addResult);
    }
    EXPECT_EQ(LinesOf(list), c.after);
  }
  // Unsorted lists take every line.
  TStringList plain;
  plain.SetDuplicates(dupError);
  plain.Add("x");
  EXPECT_EQ(plain.Add("x"), 1);
}

TEST(StringList, SortedListRefusesPositionalChangesAndKeepsLines) {
  TStringList list;
  list.SetSorted(true);
  for (const char* s : {"c", "a", "b"}) list.Add(s);
  EXPECT_THROW(list.Insert(0, "z"), EStringListError);
  EXPECT_THROW(list.InsertObject(0, "z", nullptr), EStringListError);
  EXPECT_THROW(list.Put(0, "z"), EStringListError);
  EXPECT_THROW(list.Exchange(0, 2), EStringListError);
  EXPECT_THAT([&] { list.Move(0, 2); }, ThrowsMessage<EStringListError>(StrEq("Operation not allowed on sorted list")));
  EXPECT_EQ(LinesOf(list), (Lines{"a", "b", "c"}));
  // CustomSort leaves a sorted list alone.
  list.CustomSort([](TStringList*, int a, int b) { return b - a; });
  EXPECT_EQ(LinesOf(list), (Lines{"a", "b", "c"}));
}

TEST(StringList, IndexAndCapacityErrors) {
  TStringList list;
  list.Add("a");
  struct Case {
    const char* what;
    std::function<void()> op;
    const char* message;
  };
  const Case cases[] = {
      {"Get", [&] { list.Strings(1); }, "List index out of bounds (1)"},
      {"Get-", [&] { list.Strings(-1); }, "List index out of bounds (-1)"},
      {"Objects", [&] { list.Objects(5); }, "List index out of bounds (5)"},
      {"Delete", [&] { list.Delete(1); }, "List index out of bounds (1)"},
      {"Insert", [&] { list.Insert(2, "x"); }, "List index out of bounds (2)"},
      {"Put", [&] { list.SetStrings(3, "x"); }, "List index out of bounds (3)"},
      {"Exchange", [&] { list.Exchange(0, 1); }, "List index out of bounds (1)"},
      {"Move", [&] { list.Move(0, 4); }, "List index out of bounds (4)"},
      {"Capacity", [&] { list.SetCapacity(0); }, "List capacity out of bounds (0)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_THAT(c.op, ThrowsMessage<EStringListError>(StrEq(c.message)));
  }
  EXPECT_EQ(LinesOf(list), (Lines{"a"}));
  list.Insert(1, "b");  // at Count: appends
  list.SetCapacity(10);
  EXPECT_GE(list.Capacity(), 10);
  EXPECT_EQ(LinesOf(list), (Lines{"a", "b"}));
}

TEST(StringList, TextSplitsAtCrOrLfOrCrLf) {
  CheckSplits({{"", {}},
               {"a", {"a"}},
               {"a\r\nb", {"a", "b"}},
               {"a\rb\nc", {"a", "b", "c"}},
               {"a\r\n", {"a"}},  // a break at the end adds no line
               {"a\n\n", {"a", ""}},
               {"\n\r", {"", ""}},  // LF then CR: two breaks
               {"\r\n\r\n", {"", ""}},
               {"x\r\r\ny", {"x", "", "y"}}},
              &TStrings::SetText);
  TStringList list;
  Fill(list, {"один", "", "три"});
  EXPECT_EQ(list.Text(), "один\r\n\r\nтри\r\n");
  list.SetText(list.Text());
  EXPECT_EQ(LinesOf(list), (Lines{"один", "", "три"}));
}

TEST(StringList, CommaTextQuotingRoundTrip) {
  struct Case {
    Lines lines;
    const char* text;
  };
  const Case cases[] = {
      {{}, ""},
      {{"a", "b"}, "a,b"},
      {{"a b", "c"}, "\"a b\",c"},
      {{"say \"hi\""}, "\"say \"\"hi\"\"\""},
      {{"x,y"}, "\"x,y\""},
      {{""}, "\"\""},
      {{"a", ""}, "a,"},
      {{"", "a"}, ",a"},
      {{"", ""}, ","},
      {{"a", "", "b"}, "a,,b"},
      {{"tab\there"}, "\"tab\there\""},
      {{"Жук=1", "муха"}, "Жук=1,муха"},  // bytes above the space are plain
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    TStringList list;
    Fill(list, c.lines);
    EXPECT_EQ(list.CommaText(), c.text);
    TStringList back;
    back.SetCommaText(c.text);
    EXPECT_EQ(LinesOf(back), c.lines);
  }
}

TEST(StringList, DelimitedTextReading) {
  CheckSplits({{"  a , b  ", {"a", "b"}},
               {"a b", {"a", "b"}},  // blanks split outside quotes
               {"\"open", {"open"}},  // an unclosed quote runs to the end
               {"\"ab\"cd,e", {"ab", "cd", "e"}},
               {"a,\"\",b", {"a", "", "b"}}},
              &TStrings::SetCommaText);

  TStringList list;
  list.SetDelimiter(';');
  list.SetQuoteChar('\'');
  Fill(list, {"a;b", "it's", "c,d"});
  EXPECT_EQ(list.DelimitedText(), "'a;b';'it''s';c,d");
  EXPECT_EQ(list.CommaText(), "a;b,it's,\"c,d\"");  // CommaText keeps its own rules
  list.SetDelimitedText("'x;y';z");
  EXPECT_EQ(LinesOf(list), (Lines{"x;y", "z"}));
  EXPECT_EQ(list.Delimiter(), ';');
}

TEST(StringList, NamesAndValues) {
  TStringList list;
  Fill(list, {"User=SYSDBA", "Role=a=b", "plain", "=anon"});
  EXPECT_EQ(list.Names(0), "User");
  EXPECT_EQ(list.Names(2), "");
  EXPECT_EQ(list.Names(3), "");
  EXPECT_EQ(list.Values("user"), "SYSDBA");  // names compare like lines
  EXPECT_EQ(list.Values("Role"), "a=b");
  EXPECT_EQ(list.Values("plain"), "");
  EXPECT_EQ(list.ValueFromIndex(2), "");  // no separator, no value
  EXPECT_EQ(list.ValueFromIndex(3), "anon");
  EXPECT_EQ(list.IndexOfName("ROLE"), 1);
  EXPECT_EQ(list.IndexOfName("plain"), -1);

  list.SetValues("User", "admin");  // in place
  list.SetValues("Password", "x");  // appended
  list.SetValues("Role", "");  // deleted
  list.SetValues("Missing", "");  // nothing
  list.SetValueFromIndex(1, "text");
  EXPECT_EQ(LinesOf(list), (Lines{"User=admin", "=text", "=anon", "Password=x"}));

  list.SetNameValueSeparator(':');
  Fill(list, {"a:1", "b=2"});
  EXPECT_EQ(list.Values("a"), "1");
  EXPECT_EQ(list.Values("b"), "");

  // A sorted list takes a new value line at its place.
  TStringList sorted;
  sorted.SetSorted(true);
  sorted.Add("b=2");
  sorted.SetValues("a", "1");
  EXPECT_EQ(LinesOf(sorted), (Lines{"a=1", "b=2"}));
}

TEST(StringList, ChangeEventsFireOncePerOutermostUpdate) {
  TStringList list;
  TChangeCounter counter;
  counter.Attach(list);
  list.Add("a");
  list.Add("b");
  list.SetStrings(0, "c");
  EXPECT_EQ(counter.changing, 3);
  EXPECT_EQ(counter.changed, 3);

  counter = TChangeCounter();
  list.BeginUpdate();
  EXPECT_EQ(counter.changing, 1);  // on entering the outermost update
  list.BeginUpdate();
  list.Add("x");
  list.Delete(0);
  list.EndUpdate();
  list.Exchange(0, 1);
  EXPECT_EQ(counter.changed, 0);
  list.EndUpdate();
  EXPECT_EQ(counter.changing, 1);
  EXPECT_EQ(counter.changed, 1);

  counter = TChangeCounter();
  list.SetText("1\r\n2\r\n3");
  list.SetCommaText("4,5");
  TStringList other;
  other.Add("z");
  list.Assign(&other);
  EXPECT_EQ(counter.changed, 3);
  EXPECT_EQ(counter.changing, 3);
  EXPECT_EQ(LinesOf(list), (Lines{"z"}));

  counter = TChangeCounter();
  list.Clear();
  list.Clear();  // already empty: no change
  EXPECT_EQ(counter.changed, 1);
}

TEST(StringList, OwnedObjectsAreFreedAndNotLeaked) {
  TCounted::Live = 0;
  {
    TStringList list(true);
    list.AddObject("a", new TCounted);
    list.AddObject("b", new TCounted);
    list.AddObject("c", new TCounted);
    list.AddObject("d", new TCounted);
    list.Delete(0);
    EXPECT_EQ(TCounted::Live, 3);
    list.SetObjects(0, new TCounted);  // the replaced object goes
    EXPECT_EQ(TCounted::Live, 3);
    list.SetObjects(0, list.Objects(0));  // the same object stays
    EXPECT_EQ(TCounted::Live, 3);
    list.SetStrings(0, "B");  // a new text keeps the object
    EXPECT_EQ(TCounted::Live, 3);
    list.Clear();
    EXPECT_EQ(TCounted::Live, 0);
    list.AddObject("e", new TCounted);
    list.AddObject("f", new TCounted);
  }
  EXPECT_EQ(TCounted::Live, 0);

  auto* heap = new TStringList(true);
  heap->AddObject("x", new TCounted);
  delete heap;
  EXPECT_EQ(TCounted::Live, 0);

  TCounted kept;
  {
    TStringList notOwning;
    notOwning.AddObject("k", &kept);
  }
  EXPECT_EQ(TCounted::Live, 1);
}

TEST(StringList, ObjectsTravelWithTheirLines) {
  TObject a, b, c;
  TStringList list;
  list.AddObject("a", &a);
  list.AddObject("b", &b);
  list.AddObject("c", &c);
  list.Move(0, 2);
  EXPECT_EQ(LinesOf(list), (Lines{"b", "c", "a"}));
  EXPECT_EQ(list.Objects(2), &a);
  list.Move(2, 0);
  list.Exchange(0, 2);
  EXPECT_EQ(list.Objects(0), &c);
  EXPECT_EQ(list.IndexOfObject(&a), 2);
  list.SetSorted(true);
  EXPECT_EQ(list.Objects(0), &a);
  EXPECT_EQ(list.Objects(2), &c);
}

TEST(StringList, CustomSortIsStable) {
  TStringList list;
  Fill(list, {"ccc", "a", "bb", "d", "ee"});
  list.CustomSort([](TStringList* l, int i, int j) {
    return static_cast<int>(l->Strings(i).size()) - static_cast<int>(l->Strings(j).size());
  });
  EXPECT_EQ(LinesOf(list), (Lines{"a", "d", "bb", "ee", "ccc"}));
}

TEST(StringList, AddStringsAssignEquals) {
  TStringList a;
  Fill(a, {"x", "y"});
  a.AddStrings(&a);  // adding a list to itself doubles it once
  EXPECT_EQ(LinesOf(a), (Lines{"x", "y", "x", "y"}));
  TStringList b;
  b.Add("old");
  b.Assign(&a);
  EXPECT_TRUE(b.Equals(&a));
  b.SetStrings(0, "X");
  EXPECT_FALSE(b.Equals(&a));  // equality is exact
}

TEST(StringList, FileRoundTripInUtf8) {
  const std::string path = TempPath("strings.txt");
  TStringList list;
  Fill(list, {"Привет", "", "world"});
  list.SaveToFile(path);
  TStringList back;
  back.LoadFromFile(path);
  EXPECT_EQ(LinesOf(back), LinesOf(list));

  // A byte-order mark is not part of the first line; reading starts at the
  // stream's position.
  TStringStream stream("skip\xEF\xBB\xBFЖ\nlast");
  stream.SetPosition(4);
  back.LoadFromStream(&stream);
  EXPECT_EQ(LinesOf(back), (Lines{"Ж", "last"}));
  TStringStream out;
  back.SaveToStream(&out);
  EXPECT_EQ(out.DataString(), "Ж\r\nlast\r\n");
  std::remove(path.c_str());

  EXPECT_THAT([&] { back.LoadFromFile(path); }, ThrowsMessage<EFOpenError>(StrEq("Cannot open file \"" + path + "\". No such file or directory")));
}
