// The lookup binding and the lookup-list grid against an embedded database
// with a server function B_UPPER: display texts of keys and value lists,
// the search select (checked against the server's own select), quotes,
// bracketed WHERE texts, errors in the message window, the chosen row in
// the data field (read back on another attachment) and Ctrl+Delete.
#include <gtest/gtest.h>

#include "datalayer/B_DbL.h"
#include "datalayer/F_DBFind.h"
#include "framework/BF_Msg.h"
#include "tests/datalayer/DataLayerFixture.h"
#include "tests/support/MemDataSet.h"

namespace {

class LookupListTest : public dltest::TDataLayerTest<LookupListTest> {
 public:
  static std::vector<std::string> Tables() {
    return {
        "create table LIST_T (ID integer not null primary key, NAME varchar(40), KIND integer)",
        "create table DATA_T (ID integer not null primary key, LIST_ID integer)",
        "insert into DATA_T values (1, 2)",
        "create function B_UPPER(S varchar(200)) returns varchar(200) as begin return upper(:S); end",
    };
  }

 protected:
  void SetUp() override {
    dltest::TDataLayerTest<LookupListTest>::SetUp();
    InitializeUnits({&unit_DBGridEh});
    static bool filled = false;
    if (!filled) {
      // Through the UTF8 attachment: 10 000 Cyrillic names, three kinds.
      TFIBTransaction* tr = db_->DefaultTransaction();
      tr->StartTransaction();
      fbtest::ExecSQL(tr,
                      "execute block as declare i integer = 1; begin while (i <= 10000) do begin "
                      "insert into LIST_T values (:i, 'Фамилия ' || :i, mod(:i, 3)); i = i + 1; end end");
      fbtest::ExecSQL(tr, "insert into LIST_T values (20001, 'O''Brien', 1)");
      fbtest::ExecSQL(tr, "insert into LIST_T values (20002, 'Ёлкин', 2)");
      tr->Commit();
      filled = true;
    }
    list_ = NewQuery("select ID, NAME, KIND from LIST_T where KIND = 1 or KIND = 2");
    list_src_ = new TDataSource(form_);
    list_src_->SetDataSet(list_);
    grid_ = new TB_DBLookupList(form_);
    grid_->SetName("LookupList1");
    TB_DBDataLink* link = grid_->DBDataLink();
    link->SetListSource(list_src_);
    link->SetListFieldLink("ID");
    link->SetListFieldFind("NAME");
  }

  // The IDs of the rows of a select run by the server, joined by ",".
  String ServerIDs(const String& SQL) {
    TB_Query* q = NewQuery(SQL);
    q->Open();
    String ids = Column(q, "ID");
    delete q;
    return ids;
  }
  String ListIDs() { return grid_->ListQuery() ? Column(grid_->ListQuery(), "ID") : String("-"); }

  TB_Query* list_ = nullptr;
  TDataSource* list_src_ = nullptr;
  TB_DBLookupList* grid_ = nullptr;
};

TEST_F(LookupListTest, SearchConditionGoesBeforeTheBracketedWhere) {
  grid_->SetSearchText("ab");
  const String sql = grid_->LastSQL();
  EXPECT_NE(sql.find("B_UPPER("), String::npos) << sql;
  EXPECT_NE(sql.find(") LIKE '%AB%' and\r\n(KIND = 1 or KIND = 2"), String::npos) << sql;
  EXPECT_NE(sql.find("ORDER BY"), String::npos) << sql;
  ASSERT_NE(grid_->ListQuery(), nullptr);
  EXPECT_TRUE(grid_->ListQuery()->IsEmpty());
  EXPECT_EQ(grid_->DataSource()->DataSet(), nullptr);  // an empty result shows no rows

  struct {
    const char* text;
    const char* like;  // what the condition reads, "" for none
  } cases[] = {
      {"=ab", "LIKE 'AB%'"},  // a prefix match
      {"12%", "LIKE '%12%%'"},  // digits and "%": no B_UPPER
      {"=", ""},
  };
  for (const auto& c : cases) {
    grid_->SetSearchText(c.text);
    const String s = grid_->LastSQL();
    if (*c.like == 0) {
      EXPECT_EQ(s.find("LIKE"), String::npos) << c.text << ": " << s;
    } else {
      EXPECT_NE(s.find(c.like), String::npos) << c.text << ": " << s;
    }
    EXPECT_EQ(s.find("B_UPPER") != String::npos, String(c.text) == "=ab") << c.text << ": " << s;
  }
}

TEST_F(LookupListTest, TypedCyrillicPrefixShowsWhatTheServerSelects) {
  for (char16_t c : std::u16string(u"фамилия 99")) grid_->TypeChar(c);
  EXPECT_EQ(grid_->SearchText(), "фамилия 99");
  const String expected = ServerIDs(
      "select ID, NAME from LIST_T where B_UPPER(NAME) like '%ФАМИЛИЯ 99%' and (KIND = 1 or KIND = 2) order by NAME");
  ASSERT_FALSE(expected.empty());
  EXPECT_EQ(ListIDs(), expected);
  // Only kinds 1 and 2: the list's own "or" kept its meaning.
  for (TDataSet* q = grid_->ListQuery(); !q->Eof(); q->Next()) EXPECT_NE(q->FieldByName("KIND")->AsInteger(), 0);
  EXPECT_EQ(grid_->DataSource()->DataSet(), grid_->ListQuery());

  grid_->TypeChar(u'\b');  // Backspace clears the whole text
  EXPECT_EQ(grid_->SearchText(), "");
  grid_->SetSearchText("ёлк");
  EXPECT_EQ(ListIDs(), "20002");
  grid_->SetSearchText("o'br");  // a quote in the text
  EXPECT_EQ(ListIDs(), "20001");
}

TEST_F(LookupListTest, SqlErrorShowsTheMessageWindowWithTheStatement) {
  std::vector<String> details;
  dltest::TMsgAnswerer answer;
  answer.SetOnShown([&](const dltest::TShownMsg&) {
    for (int i = 0; i < Screen->FormCount(); ++i)
      if (auto* f = dynamic_cast<TFormMsg*>(Screen->Forms(i)); f != nullptr && f->Visible())
        details.push_back(f->M_Text->Text());
  });
  grid_->SetSearchFields("NO_SUCH_FIELD");
  grid_->SetSearchText("x");
  ASSERT_EQ(answer.Shown.size(), 1u);
  EXPECT_EQ(answer.Shown[0].Type, b_mtError);
  ASSERT_EQ(details.size(), 1u);
  EXPECT_NE(details[0].find("NO_SUCH_FIELD"), String::npos) << details[0];
  EXPECT_NE(details[0].find("LIST_T"), String::npos) << details[0];
  EXPECT_EQ(grid_->ListQuery(), nullptr);

  // A list without any data source names the list in its message.
  auto* bare = new TB_DBLookupList(form_);
  bare->SetName("Bare");
  bare->SetSearchText("x");
  ASSERT_EQ(answer.Shown.size(), 2u);
  EXPECT_NE(answer.Shown[1].Text.find("Bare не указан объект данных"), String::npos);
}

TEST_F(LookupListTest, ChosenRowGoesIntoTheDataField) {
  auto* data = NewQuery("select ID, LIST_ID from DATA_T");
  data->UpdateSQL()->SetText("update DATA_T set LIST_ID = ?LIST_ID where ID = ?OLD_ID");
  data->SetAutoCommit(true);
  data->Open();
  auto* src = new TDataSource(form_);
  src->SetDataSet(data);
  TB_DBDataLink* link = grid_->DBDataLink();
  link->SetDataSource(src);
  link->SetDataField("LIST_ID");
  EXPECT_EQ(link->Value().AsInteger(), 2);
  EXPECT_EQ(VarToStr(link->Text()), "Фамилия 2");  // the key's display text through SQL

  grid_->SetSearchText("ёлкин");
  ASSERT_EQ(ListIDs(), "20002");
  grid_->SelectCurrent();
  EXPECT_EQ(link->Value().AsInteger(), 20002);
  EXPECT_EQ(VarToStr(link->CurrentText()), "Ёлкин");
  data->Post();
  TFIBDatabase* other = Connect();
  TB_Query* check = NewQuery("select LIST_ID from DATA_T where ID = 1", other);
  check->Open();
  EXPECT_EQ(check->FieldByName("LIST_ID")->AsInteger(), 20002);
}

TEST_F(LookupListTest, CtrlDeleteRemovesTheListRow) {
  db_->DefaultTransaction()->StartTransaction();
  fbtest::ExecSQL(db_->DefaultTransaction(), "insert into LIST_T values (30001, 'Удаляемый', 1)");
  db_->DefaultTransaction()->Commit();
  list_->UpdateSQL()->SetText("update LIST_T set NAME = ?NAME where ID = ?OLD_ID");
  list_->DeleteSQL()->SetText("delete from LIST_T where ID = ?OLD_ID");
  list_->SetAutoCommit(true);
  list_->Open();
  ASSERT_TRUE(list_->Locate("ID", 30001, {}));
  TDBGridOptions o = grid_->Options();
  o.Exclude(dgConfirmDelete);
  grid_->SetOptions(o);
  Word key = VK_DELETE;
  grid_->KeyDown(key, {ssCtrl});
  EXPECT_EQ(key, 0);
  TFIBDatabase* other = Connect();
  TB_Query* check = NewQuery("select count(*) as N from LIST_T where ID = 30001", other);
  check->Open();
  EXPECT_EQ(check->FieldByName("N")->AsInteger(), 0);
}

TEST_F(LookupListTest, BindingTextsOfValueListsAndKeys) {
  TB_DBDataLink link(nullptr, nullptr);
  link.SetListType(b_ltLinkValue);
  link.SetValues("1;Один;x;2;Два;y");
  link.StoreValue(2);
  EXPECT_EQ(VarToStr(link.Text()), "Два");
  link.StoreValue(3);
  EXPECT_EQ(VarToStr(link.Text()), "");
  EXPECT_EQ(TB_DBDataLink::FilterValueList("1;Один;x;2;Два;y", "ДВ", 3), "2;Два;y");
  EXPECT_EQ(TB_DBDataLink::FilterValueList("1;Один;x;2;Два;y", "", 3), "1;Один;x;2;Два;y");
  EXPECT_EQ(TB_DBDataLink::FilterValueList("Один;Два;Три", "и", 1), "Один;Три");

  // A key with a quote is a literal of its own in the key condition.
  TB_DBDataLink db_link(nullptr, nullptr);
  db_link.SetListSource(list_src_);
  db_link.SetListFieldLink("NAME");
  db_link.SetListFieldFind("ID");
  db_link.StoreValue("O'Brien");
  EXPECT_EQ(VarToStr(db_link.Text()), "20001");
  db_link.StoreValue("x' or '1'='1");
  EXPECT_EQ(VarToStr(db_link.Text()), "");
}

TEST_F(LookupListTest, BindingSourcesFieldsAndColumns) {
  auto* mem = new TMemDataSet(form_);
  mem->FieldDefs()->Add("A", ftInteger);
  mem->Open();
  mem->AppendRows({{1}});
  auto* src = new TDataSource(form_);
  src->SetDataSet(mem);
  TB_DBDataLink* link = grid_->DBDataLink();
  link->SetDataSource(src);
  link->SetDataField("A");
  EXPECT_FALSE(link->ReadOnly());
  link->SetDataField("A;B");  // B is missing
  EXPECT_TRUE(link->ReadOnly());
  EXPECT_FALSE(link->CanModify());

  // A source whose dataset is a detail of the active list: refused.
  list_->Open();
  auto* detail = NewQuery("select ID from LIST_T where ID = :ID");
  detail->SetDataSource(list_src_);
  auto* detail_src = new TDataSource(form_);
  detail_src->SetDataSet(detail);
  link->SetListSource(detail_src);
  EXPECT_EQ(link->ListSource(), list_src_);

  // Freeing the list source's owner clears it.
  auto* holder = new TComponent(form_);
  auto* owned_src = new TDataSource(holder);
  owned_src->SetDataSet(NewQuery("select ID, NAME from LIST_T"));
  link->SetListSource(owned_src);
  ASSERT_EQ(link->ListSource(), owned_src);
  delete holder;
  EXPECT_EQ(link->ListSource(), nullptr);
  EXPECT_EQ(grid_->DataSource(), nullptr);
}

// A search select is open and shown when the list dataset, the data source
// or the data dataset goes: the list forgets it and searches on, or stops.
TEST_F(LookupListTest, OpenSearchOutlivesWhatGoesFirst) {
  dltest::TMsgAnswerer answer;  // a list left with no dataset says so
  enum Gone { kListDataSet, kListSource, kDataSource, kDataDataSet };
  for (Gone gone : {kListDataSet, kListSource, kDataSource, kDataDataSet}) {
    SCOPED_TRACE(gone);
    auto* data = NewQuery("select ID, LIST_ID from DATA_T");
    data->Open();
    auto* src = new TDataSource(form_);
    src->SetDataSet(data);
    if (list_ == nullptr) {
      list_ = NewQuery("select ID, NAME, KIND from LIST_T where KIND = 1 or KIND = 2");
      list_src_->SetDataSet(list_);
    }
    if (list_src_ == nullptr) {
      list_src_ = new TDataSource(form_);
      list_src_->SetDataSet(list_);
    }
    TB_DBDataLink* link = grid_->DBDataLink();
    link->SetListSource(list_src_);
    link->SetDataSource(src);
    link->SetDataField("LIST_ID");
    grid_->SetSearchText("ёлк");
    ASSERT_EQ(ListIDs(), "20002");
    switch (gone) {
      case kListDataSet: delete list_; list_ = nullptr; break;
      case kListSource: delete list_src_; list_src_ = nullptr; break;
      case kDataSource: delete src; src = nullptr; break;
      case kDataDataSet: delete data; data = nullptr; break;
    }
    Application->ProcessMessages();
    if (gone == kListSource) EXPECT_EQ(link->ListSource(), nullptr);
    if (gone == kDataSource) EXPECT_EQ(link->DataSource(), nullptr);
    if (gone == kListDataSet) EXPECT_EQ(link->ListDataSet(), nullptr);
    grid_->Repaint();
    grid_->TypeChar(u'и');
    grid_->Repaint();
    grid_->SelectCurrent();
    grid_->TypeChar(u'\b');
    delete src;
    delete data;
  }
}

// A host control that records the frame commands that reach it.
class TFrameHost : public TCustomControl {
 public:
  using TCustomControl::TCustomControl;
  std::vector<LPARAM> codes;
  TDataSet* chosen = nullptr;
  void Dispatch(TMessage& Message) override {
    if (Message.Msg != WM_FRAMECOMMAND) return TCustomControl::Dispatch(Message);
    codes.push_back(Message.LParam);
    if (Message.LParam == 77) chosen = reinterpret_cast<TDataSet*>(Message.WParam);
  }
};

TEST_F(LookupListTest, SqlSearchFrameAnswersTheFrameCommands) {
  InitializeUnits({&unit_F_DBFind});
  ASSERT_NE(GetFindFormClass, nullptr);
  auto* host_form = TForm::CreateNew(form_);
  auto* host = new TFrameHost(host_form);
  host->SetParent(host_form);
  host->Handle();
  TB_FrameControl* made = GetFindFormClass(false)(host_form);
  auto* frame = dynamic_cast<TFormDBFind*>(made);
  ASSERT_NE(frame, nullptr);
  EXPECT_NE(dynamic_cast<TFormDBFindList*>(GetFindFormClass(true)(host_form)), nullptr);
  frame->SetParent(host_form);

  TB_DBDataLink plain(nullptr, nullptr);  // a binding without columns
  plain.SetListSource(list_src_);
  plain.SetListFieldLink("ID");
  plain.SetListFieldFind("NAME");
  TB_DBDataLink* link = &plain;
  frame->Perform(WM_FRAMECOMMAND, reinterpret_cast<WPARAM>(host), 79);
  frame->Perform(WM_FRAMECOMMAND, reinterpret_cast<WPARAM>(link), 74);
  EXPECT_EQ(frame->List->DBDataLink(), link);
  EXPECT_FALSE(frame->TabSet1->Visible());
  EXPECT_EQ(frame->List->Columns()->Count(), 1);  // one per ListFieldFind item
  const String text = "ёлк";
  frame->Perform(WM_FRAMECOMMAND, reinterpret_cast<WPARAM>(&text), 18);
  ASSERT_NE(frame->List->ListQuery(), nullptr);
  EXPECT_EQ(Column(frame->List->ListQuery(), "ID"), "20002");
  EXPECT_TRUE(frame->BB_OK->Enabled());
  frame->List->ListQuery()->First();
  frame->Perform(WM_FRAMECOMMAND, 0, 40);  // take the row: 77 sent, then closed (2 posted)
  Application->ProcessMessages();
  EXPECT_EQ(host->codes, (std::vector<LPARAM>{77, 2}));
  EXPECT_EQ(VarToStr(link->CurrentText()), "Ёлкин");
  EXPECT_NE(frame->List->DBDataLink(), link);  // the external binding was dropped
  const String none = "щщщ";
  frame->Perform(WM_FRAMECOMMAND, reinterpret_cast<WPARAM>(link), 74);
  frame->Perform(WM_FRAMECOMMAND, reinterpret_cast<WPARAM>(&none), 18);
  EXPECT_EQ(frame->StatusBar->TextGroup()->Text(), "Нет данных");
  EXPECT_FALSE(frame->BB_OK->Enabled());

  // Ten columns: nine "Ctrl+" tabs and a bare tenth; Ctrl+9 the ninth.
  TB_DBDataLink cols(nullptr, nullptr);
  cols.SetListSource(list_src_);
  cols.SetListFieldFind("F3");
  for (int i = 1; i <= 10; ++i) {
    TColumnEh* c = cols.Columns()->Add();
    c->SetFieldName("F" + std::to_string(i));
    c->Title()->SetCaption("T" + std::to_string(i));
  }
  frame->Perform(WM_FRAMECOMMAND, reinterpret_cast<WPARAM>(&cols), 74);
  ASSERT_EQ(frame->TabSet1->Tabs()->Count(), 10);
  EXPECT_EQ(frame->TabSet1->Tabs()->Strings(0), "Ctrl+1 T1");
  EXPECT_EQ(frame->TabSet1->Tabs()->Strings(9), "T10");
  EXPECT_EQ(frame->TabSet1->TabIndex(), 2);
  Word key = '9';
  frame->FormKeyDown(frame, key, {ssCtrl});
  EXPECT_EQ(frame->TabSet1->TabIndex(), 8);
  frame->List->SetExternalDataLink(nullptr);
}

}  // namespace
