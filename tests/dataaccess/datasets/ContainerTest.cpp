// Dataset containers with real datasets: every event kind in order through a
// global container and a chain of masters, post and delete errors with their
// actions, the per-thread global container, the comparison of a local sort
// and the registration of datasets up the chain.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "dataaccess/datasets/DSContainer.h"
#include "dataaccess/datasets/pFIBDataSet.h"
#include "platform/rtl/FormStream.h"
#include "tests/dataaccess/datasets/ExtendedDataSetFixture.h"

namespace {

using Log = std::vector<std::string>;
using testing::ElementsAre;
using testing::IsEmpty;
using testing::UnorderedElementsAre;

// "Tag:AfterOpen" for each event a container hands to its handler; a run of
// calculations is one entry.
void RecordEvents(TDataSetsContainer* Container, const std::string& Tag, Log& Out) {
  Container->SetOnDataSetEvent({Container, [Tag, &Out](TDataSet*, TKindDataSetEvent Event) {
                                  const std::string entry = Tag + ":" + GetEnumName(Event).substr(2);
                                  if (Event == deOnCalcFields && !Out.empty() && Out.back() == entry) return;
                                  Out.push_back(entry);
                                }});
}

// A comparison handler of a container: Compared as given, the order of Less.
TOnCompareFieldValues Comparison(TDataSetsContainer* Container, bool Compared,
                                 Integer (*Order)(const String&, const String&)) {
  return {Container, [Compared, Order](TField*, const Variant& S1, const Variant& S2, bool& Done) {
            Done = Compared;
            return Order(S1.AsString(), S2.AsString());
          }};
}
Integer Reversed(const String& A, const String& B) { return B.compare(A); }
Integer ByLength(const String& A, const String& B) {
  return static_cast<Integer>(A.size()) - static_cast<Integer>(B.size());
}

class ContainerTest : public dstest::TExtendedDataSetSuite<ContainerTest> {
 public:
  static std::vector<std::string> Tables() {
    return {"create table C (ID integer not null primary key, NAME varchar(20) check (NAME <> 'bad'))",
            "insert into C values (1, 'one')", "insert into C values (2, 'two')",
            "insert into C values (3, 'three')",
            "create table CHILD (ID integer not null primary key, CID integer references C (ID))",
            "insert into CHILD values (1, 1)"};
  }

 protected:
  TpFIBDataSet* NewC(TFIBDatabase* Database = nullptr, TComponent* Owner = nullptr) {
    auto* ds = new TpFIBDataSet(Owner != nullptr ? Owner : form_);
    ds->SetDatabase(Database != nullptr ? Database : db_);
    ds->SelectSQL()->SetText("select ID, NAME from C order by ID");
    ds->UpdateSQL()->SetText("update C set NAME = ?NAME where ID = ?OLD_ID");
    ds->InsertSQL()->SetText("insert into C (ID, NAME) values (?ID, ?NAME)");
    ds->DeleteSQL()->SetText("delete from C where ID = ?OLD_ID");
    ds->RefreshSQL()->SetText("select ID, NAME from C where ID = ?OLD_ID");
    return ds;
  }

  TDataSetsContainer* NewContainer(TDataSetsContainer* Master = nullptr, TComponent* Owner = nullptr) {
    auto* c = new TDataSetsContainer(Owner != nullptr ? Owner : form_);
    c->SetMasterContainer(Master);
    return c;
  }

  static Log Names(TDataSet* DataSet) {
    Log names;
    for (DataSet->First(); !DataSet->Eof(); DataSet->Next()) names.push_back(DataSet->FieldByName("NAME")->AsString());
    return names;
  }
};

TEST_F(ContainerTest, EveryEventOfADataSetInOrder) {
  Log log;
  TDataSetsContainer* global = NewContainer();
  global->SetIsGlobalContainer(true);
  RecordEvents(global, "G", log);
  TpFIBDataSet* ds = NewC();
  auto* twice = new TIntegerField(ds);
  twice->SetFieldName("TWICE");
  twice->SetFieldKind(fkCalculated);
  twice->SetDataSet(ds);
  ds->Prepare();
  for (int i = 0; i < ds->FieldDefs()->Count(); ++i) ds->FieldDefs()->Items(i)->CreateField(ds);
  ds->SetOnCalcFields({form_, [](TDataSet* D) {
                         D->FieldByName("TWICE")->SetAsInteger(D->FieldByName("ID")->AsInteger() * 2);
                       }});

  ds->Open();
  ds->Next();
  ds->Edit();
  ds->FieldByName("NAME")->SetAsString("TWO");
  ds->Post();
  ds->Edit();
  ds->Cancel();
  ds->Insert();
  ds->FieldByName("ID")->SetAsInteger(4);
  ds->FieldByName("NAME")->SetAsString("four");
  ds->Post();
  ds->Delete();
  ds->Refresh();
  ds->Close();
  EXPECT_THAT(log, ElementsAre("G:BeforeOpen", "G:OnCalcFields", "G:AfterOpen", "G:AfterScroll",  //
                               "G:BeforeScroll", "G:OnCalcFields", "G:AfterScroll",               // Next
                               "G:BeforeEdit", "G:OnCalcFields", "G:AfterEdit", "G:OnCalcFields",  //
                               "G:BeforePost", "G:BeforeRefresh", "G:AfterRefresh",               // Post
                               "G:OnCalcFields", "G:AfterPost",                                    // (read again)
                               "G:BeforeEdit", "G:OnCalcFields", "G:AfterEdit", "G:BeforeCancel",  //
                               "G:OnCalcFields", "G:AfterCancel",                                  // Cancel
                               "G:BeforeInsert", "G:BeforeScroll", "G:OnNewRecord", "G:AfterInsert",
                               "G:AfterScroll", "G:OnCalcFields", "G:BeforePost", "G:BeforeRefresh",
                               "G:AfterRefresh", "G:OnCalcFields", "G:AfterPost",                  // Insert
                               "G:BeforeDelete", "G:BeforeScroll", "G:OnCalcFields", "G:AfterDelete",
                               "G:AfterScroll",                                                    // Delete
                               "G:BeforeRefresh", "G:OnCalcFields", "G:AfterRefresh",              // Refresh
                               "G:BeforeClose", "G:AfterClose"));
}

TEST_F(ContainerTest, MasterChainTopmostFirst) {
  Log log;
  TDataSetsContainer* global = NewContainer();
  global->SetIsGlobalContainer(true);
  TDataSetsContainer* c1 = NewContainer();
  TDataSetsContainer* c2 = NewContainer(c1);
  RecordEvents(global, "G", log);
  RecordEvents(c1, "C1", log);
  RecordEvents(c2, "C2", log);
  TpFIBDataSet* ds = NewC();
  ds->SetContainer(c2);
  ds->Open();
  EXPECT_THAT(log, ElementsAre("G:BeforeOpen", "C1:BeforeOpen", "C2:BeforeOpen", "G:AfterOpen", "C1:AfterOpen",
                               "C2:AfterOpen", "G:AfterScroll", "C1:AfterScroll", "C2:AfterScroll"));

  // An inactive container still hands events up to its master.
  log.clear();
  c2->SetActive(false);
  ds->Next();
  EXPECT_THAT(log, ElementsAre("G:BeforeScroll", "C1:BeforeScroll", "G:AfterScroll", "C1:AfterScroll"));
  log.clear();
  c2->SetActive(true);
  c1->SetActive(false);
  ds->Next();
  EXPECT_THAT(log, ElementsAre("G:BeforeScroll", "C2:BeforeScroll", "G:AfterScroll", "C2:AfterScroll"));
  c1->SetActive(true);

  // Field repository settings take the same road, the dataset's own handler
  // last.
  log.clear();
  for (auto entry : {std::pair{global, "G"}, std::pair{c1, "C1"}, std::pair{c2, "C2"}}) {
    auto* c = entry.first;
    const char* tag = entry.second;
    c->SetOnApplyFieldRepository({c, [&log, tag](TDataSet*, TField* F, TpFIBFieldInfo*) {
                                    log.push_back(std::string(tag) + ":" + F->FieldName());
                                  }});
  }
  ds->SetOnApplyFieldRepository({form_, [&log](TDataSet*, TField* F, TpFIBFieldInfo*) {
                                   log.push_back("DS:" + F->FieldName());
                                 }});
  ds->ContainersApplyFieldRepository(ds->FieldByName("NAME"), nullptr);
  EXPECT_THAT(log, ElementsAre("G:NAME", "C1:NAME", "C2:NAME", "DS:NAME"));

  // The global container as the dataset's own container hears each event once.
  log.clear();
  ds->SetContainer(global);
  ds->Close();
  EXPECT_THAT(log, ElementsAre("G:BeforeClose", "G:AfterClose"));
}

TEST_F(ContainerTest, PostAndDeleteErrorsReachContainersThenTheDataSet) {
  TDataSetsContainer* global = NewContainer();
  global->SetIsGlobalContainer(true);
  TDataSetsContainer* c1 = NewContainer();
  TDataSetsContainer* c2 = NewContainer(c1);
  TpFIBDataSet* ds = NewC();
  ds->SetContainer(c2);
  Log log;
  // Each records the kind and the action it was given; C1 decides.
  TDataAction decision = daFail;
  auto record = [&log](const std::string& Tag, TKindDataSetError Kind, EDatabaseError* E, TDataAction Action) {
    log.push_back(Tag + ":" + GetEnumName(Kind).substr(4) + ":" + std::to_string(Action) +
                  (dynamic_cast<EFIBInterBaseError*>(E) != nullptr ? "" : ":no server error"));
  };
  global->SetOnDataSetError({global, [&](TDataSet*, TKindDataSetError K, EDatabaseError* E, TDataAction& A) {
                               record("G", K, E, A);
                             }});
  c1->SetOnDataSetError({c1, [&](TDataSet* D, TKindDataSetError K, EDatabaseError* E, TDataAction& A) {
                           record("C1", K, E, A);
                           A = decision;
                           // A retried post goes through with an accepted value.
                           if (decision == daRetry) D->FieldByName("NAME")->SetAsString("good");
                         }});
  c2->SetOnDataSetError({c2, [&](TDataSet*, TKindDataSetError K, EDatabaseError* E, TDataAction& A) {
                           record("C2", K, E, A);
                         }});
  ds->SetOnPostError({form_, [&](TDataSet*, EDatabaseError* E, TDataAction& A) {
                        record("DS", deOnPostError, E, A);
                      }});
  ds->SetOnDeleteError({form_, [&](TDataSet*, EDatabaseError* E, TDataAction& A) {
                          record("DS", deOnDeleteError, E, A);
                        }});
  ds->Open();
  ds->Next();

  auto postBad = [&](TDataAction Decision) {
    log.clear();
    decision = Decision;
    ds->Edit();
    ds->FieldByName("NAME")->SetAsString("bad");
    ds->Post();
  };
  EXPECT_THROW(postBad(daFail), EFIBInterBaseError);
  EXPECT_THAT(log, ElementsAre("G:PostError:0", "C1:PostError:0", "C2:PostError:0", "DS:PostError:0"));
  EXPECT_EQ(ds->State(), dsEdit);
  ds->Cancel();
  EXPECT_THROW(postBad(daAbort), EAbort);
  EXPECT_THAT(log, ElementsAre("G:PostError:0", "C1:PostError:0", "C2:PostError:1", "DS:PostError:1"));
  ds->Cancel();
  postBad(daRetry);
  EXPECT_THAT(log, ElementsAre("G:PostError:0", "C1:PostError:0", "C2:PostError:2", "DS:PostError:2"));
  EXPECT_EQ(ds->State(), dsBrowse);
  EXPECT_EQ(db_->QueryValue("select NAME from C where ID = 2", 0, db_->DefaultTransaction()).AsString(), "good");

  // The first row is referenced by CHILD.
  log.clear();
  decision = daAbort;
  ds->First();
  EXPECT_THROW(ds->Delete(), EAbort);
  EXPECT_THAT(log, ElementsAre("G:DeleteError:0", "C1:DeleteError:0", "C2:DeleteError:1", "DS:DeleteError:1"));
  EXPECT_EQ(ds->RecordCount(), 3);
  EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 1);
}

TEST_F(ContainerTest, CircularLinkRefused) {
  TDataSetsContainer* c1 = NewContainer();
  TDataSetsContainer* c2 = NewContainer(c1);
  TDataSetsContainer* c3 = NewContainer(c2);
  for (TDataSetsContainer* master : {c1, c2, c3})
    EXPECT_THAT([&] { c1->SetMasterContainer(master); },
                testing::ThrowsMessage<Exception>(testing::StrEq("Circular link is not allowed.")));
  EXPECT_EQ(c1->MasterContainer(), nullptr);
  EXPECT_EQ(c2->MasterContainer(), c1);
  EXPECT_NO_THROW(c1->SetMasterContainer(nullptr));
  // Moving a container under another branch is no cycle.
  TDataSetsContainer* other = NewContainer();
  c3->SetMasterContainer(other);
  EXPECT_NO_THROW(c1->SetMasterContainer(c3));
  EXPECT_EQ(c1->MasterContainer(), c3);
}

TEST_F(ContainerTest, GlobalContainerPerThread) {
  TDataSetsContainer* first = NewContainer();
  EXPECT_EQ(TDataSetsContainer::GlobalContainer(), nullptr);
  first->SetIsGlobalContainer(true);
  EXPECT_EQ(TDataSetsContainer::GlobalContainer(), first);
  Log mainLog;
  RecordEvents(first, "main", mainLog);

  // Another thread starts without one, and its own global container hears
  // only that thread's datasets.
  std::atomic<bool> sawNone{false};
  Log threadLog;
  std::thread other([&] {
    try {
      TComponent owner(nullptr);
      sawNone = TDataSetsContainer::GlobalContainer() == nullptr;
      TFIBDatabase* db = fbtest::NewFIBDatabase(&owner, file_->Path());
      auto* tr = new TFIBTransaction(&owner);
      tr->SetDefaultDatabase(db);
      db->SetDefaultTransaction(tr);
      db->Connect();
      TDataSetsContainer* mine = NewContainer(nullptr, &owner);
      mine->SetIsGlobalContainer(true);
      RecordEvents(mine, "thread", threadLog);
      TpFIBDataSet* ds = NewC(db, &owner);
      ds->Open();
      ds->Close();
      if (tr->Active()) tr->Rollback();
    } catch (const std::exception& e) {
      threadLog.push_back(std::string("failed: ") + e.what());
    }
  });
  other.join();
  EXPECT_TRUE(sawNone);
  EXPECT_THAT(threadLog, ElementsAre("thread:BeforeOpen", "thread:AfterOpen", "thread:AfterScroll",
                                     "thread:BeforeClose", "thread:AfterClose"));
  EXPECT_THAT(mainLog, IsEmpty());
  EXPECT_EQ(TDataSetsContainer::GlobalContainer(), first);

  // A second global container of the thread clears the first one's flag;
  // releasing a container that is not the global one changes nothing.
  TDataSetsContainer* second = NewContainer();
  second->SetIsGlobalContainer(true);
  EXPECT_FALSE(first->IsGlobalContainer());
  EXPECT_EQ(TDataSetsContainer::GlobalContainer(), second);
  first->SetIsGlobalContainer(false);
  EXPECT_EQ(TDataSetsContainer::GlobalContainer(), second);
  // A container being designed keeps the flag only.
  TDataSetsContainer* designed = NewContainer();
  designed->SetDesigning(true);
  designed->SetIsGlobalContainer(true);
  EXPECT_TRUE(designed->IsGlobalContainer());
  EXPECT_EQ(TDataSetsContainer::GlobalContainer(), second);
  // A freed global container stops being global.
  delete second;
  EXPECT_EQ(TDataSetsContainer::GlobalContainer(), nullptr);
  TpFIBDataSet* ds = NewC();
  ds->Open();
  EXPECT_THAT(mainLog, IsEmpty());
}

TEST_F(ContainerTest, FieldComparisonOfALocalSort) {
  // Engine order by NAME: one, three, two.
  struct Case {
    const char* what;
    bool globalReverses;
    int own;  // 0 none, 1 by length, 2 declines (Compared false), 3 reverses while inactive, 4 no handler
    bool masterReverses;
    Log expected;
  };
  const Case cases[] = {
      {"the global container alone", true, 0, false, {"two", "three", "one"}},
      {"the own container has the last word", true, 1, false, {"one", "two", "three"}},
      {"the own container declines: the engine's order", true, 2, false, {"one", "three", "two"}},
      {"an inactive container still compares", false, 3, false, {"two", "three", "one"}},
      {"the master is never asked", false, 4, true, {"one", "three", "two"}},
      {"no handler anywhere", false, 0, false, {"one", "three", "two"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TComponent owner(nullptr);
    TDataSetsContainer* global = NewContainer(nullptr, &owner);
    global->SetIsGlobalContainer(true);
    if (c.globalReverses) global->SetOnCompareFieldValues(Comparison(global, true, Reversed));
    TDataSetsContainer* master = NewContainer(nullptr, &owner);
    if (c.masterReverses) master->SetOnCompareFieldValues(Comparison(master, true, Reversed));
    TpFIBDataSet* ds = NewC(nullptr, &owner);
    if (c.own != 0) {
      TDataSetsContainer* own = NewContainer(master, &owner);
      if (c.own == 1) own->SetOnCompareFieldValues(Comparison(own, true, ByLength));
      if (c.own == 2) own->SetOnCompareFieldValues(Comparison(own, false, ByLength));
      if (c.own == 3) {
        own->SetOnCompareFieldValues(Comparison(own, true, Reversed));
        own->SetActive(false);
      }
      ds->SetContainer(own);
    }
    ds->Open();
    ds->DoSort({"NAME"}, {true});
    EXPECT_EQ(Names(ds), c.expected);
  }
}

TEST_F(ContainerTest, DataSetsRegisteredUpTheMasterChain) {
  TDataSetsContainer* c1 = NewContainer();
  TDataSetsContainer* c2 = NewContainer(c1);
  TDataSetsContainer* c3 = NewContainer(c2);
  TpFIBDataSet* ds = NewC();
  TpFIBDataSet* ds2 = NewC();
  ds->SetContainer(c3);
  EXPECT_THAT(c3->DataSets(), ElementsAre(ds));
  EXPECT_THAT(c2->DataSets(), ElementsAre(ds));
  EXPECT_THAT(c1->DataSets(), ElementsAre(ds));

  // A master change moves the registrations below it.
  c2->SetMasterContainer(nullptr);
  EXPECT_THAT(c1->DataSets(), IsEmpty());
  EXPECT_THAT(c2->DataSets(), ElementsAre(ds));
  c2->SetMasterContainer(c1);
  EXPECT_THAT(c1->DataSets(), ElementsAre(ds));

  // A dataset moving to another container leaves the old branch only.
  ds->SetContainer(c2);
  ds2->SetContainer(c3);
  EXPECT_THAT(c3->DataSets(), ElementsAre(ds2));
  EXPECT_THAT(c2->DataSets(), UnorderedElementsAre(ds, ds2));
  EXPECT_THAT(c1->DataSets(), UnorderedElementsAre(ds, ds2));

  // Freed datasets are forgotten everywhere.
  delete ds;
  EXPECT_THAT(c2->DataSets(), ElementsAre(ds2));
  EXPECT_THAT(c1->DataSets(), ElementsAre(ds2));

  // A freed container: its datasets forget it, and its masters forget them.
  Log log;
  RecordEvents(c1, "C1", log);
  delete c3;
  EXPECT_EQ(ds2->Container(), nullptr);
  EXPECT_THAT(c2->DataSets(), IsEmpty());
  EXPECT_THAT(c1->DataSets(), IsEmpty());
  ds2->Open();
  EXPECT_THAT(log, IsEmpty());

  // A freed master is forgotten by the container below it.
  ds2->SetContainer(c2);
  delete c1;
  EXPECT_EQ(c2->MasterContainer(), nullptr);
  EXPECT_THAT(c2->DataSets(), ElementsAre(ds2));
  ds2->Close();
}

TEST_F(ContainerTest, ReadFromAFormResource) {
  const String text =
      "object Root: TComponent\r\n"
      "  object DS: TpFIBDataSet\r\n"
      "    Container = Inner\r\n"
      "  end\r\n"
      "  object Inner: TDataSetsContainer\r\n"
      "    Active = False\r\n"
      "    MasterContainer = Outer\r\n"
      "  end\r\n"
      "  object Outer: TDataSetsContainer\r\n"
      "    IsGlobalContainer = True\r\n"
      "  end\r\n"
      "end\r\n";
  auto root = std::make_unique<TComponent>(nullptr);
  ReadComponentFromText(root.get(), text);
  auto* ds = dynamic_cast<TpFIBDataSet*>(root->FindComponent("DS"));
  auto* inner = dynamic_cast<TDataSetsContainer*>(root->FindComponent("Inner"));
  auto* outer = dynamic_cast<TDataSetsContainer*>(root->FindComponent("Outer"));
  ASSERT_TRUE(ds != nullptr && inner != nullptr && outer != nullptr);
  EXPECT_EQ(ds->Container(), inner);
  EXPECT_FALSE(inner->Active());
  EXPECT_EQ(inner->MasterContainer(), outer);
  EXPECT_THAT(outer->DataSets(), ElementsAre(ds));
  EXPECT_EQ(TDataSetsContainer::GlobalContainer(), outer);
  // The error events streamed are the dataset's own, called after the
  // containers, not the class library's ones that lead to them.
  const TClassInfo* info = FindClass("TpFIBDataSet");
  EXPECT_NE(info->FindProp("OnApplyDefaultValue"), nullptr);
  for (const char* name : {"OnPostError", "OnDeleteError"}) {
    SCOPED_TRACE(name);
    EXPECT_FALSE(info->FindProp(name)->MethodAssigned(ds));
  }
  ds->SetOnPostError({ds, [](TDataSet*, EDatabaseError*, TDataAction&) {}});
  ds->SetOnDeleteError({ds, [](TDataSet*, EDatabaseError*, TDataAction&) {}});
  for (const char* name : {"OnPostError", "OnDeleteError"}) EXPECT_TRUE(info->FindProp(name)->MethodAssigned(ds));
  root.reset();
  EXPECT_EQ(TDataSetsContainer::GlobalContainer(), nullptr);
}

}  // namespace
