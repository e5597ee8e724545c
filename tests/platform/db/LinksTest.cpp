// Data sources and data links: fan-out, order of events, states, masters.
#include "tests/platform/db/DbFixture.h"

namespace {

// A dataset with a master data source (as detail datasets have).
class TDetailSet : public TMemDataSet {
 public:
  using TMemDataSet::TMemDataSet;
  TDataSource* Master = nullptr;
  TDataSource* GetDataSource() override { return Master; }
};

class TNamedLink : public TDataLink {
 public:
  TNamedLink(String Name, Log& Out, bool Visual) : name_(std::move(Name)), out_(Out) { SetVisualControl(Visual); }
  std::function<void()> OnChanged;

 protected:
  void DataSetChanged() override {
    out_.push_back(name_);
    if (OnChanged) OnChanged();
  }

 private:
  String name_;
  Log& out_;
};

TEST(LinksTest, SessionOfEventsInOrder) {
  TLinkedDataSet w(3);
  auto& ds = w.ds;
  auto& link = w.link;
  ds->Close();
  link.Log.clear();
  EXPECT_FALSE(link.Active());
  ds->Open();
  ds->FieldByName("NAME")->SetVisible(false);
  static_cast<TIntegerField*>(ds->FieldByName("ID"))->SetDisplayFormat("0");
  ds->Next();
  ds->Edit();
  ds->FieldByName("NAME")->SetAsString("x");
  ds->FieldByName("NAME")->FocusControl();
  ds->Post();
  ds->Delete();
  ds->Close();
  EXPECT_EQ(link.Log, (Log{"ActiveChanged(on)",
                           "LayoutChanged",              // Visible
                           "DataSetChanged",             // DisplayFormat
                           "CheckBrowseMode", "DataSetScrolled(1)",  // a window of one
                           "CheckBrowseMode", "EditingChanged(on)", "RecordChanged",
                           "RecordChanged(NAME)", "FocusControl(NAME)",
                           "UpdateData", "CheckBrowseMode", "EditingChanged(off)", "DataSetChanged",
                           "CheckBrowseMode", "DataSetChanged",  // Delete
                           "ActiveChanged(off)"}));
}

TEST(LinksTest, SourcesNotifyNonVisualLinksFirstLastAddedFirst) {
  auto ds = MakeDataSet(2);
  TDataSource src(nullptr);
  src.SetDataSet(ds.get());
  Log order;
  TNamedLink v1("visual1", order, true), d1("detail1", order, false), v2("visual2", order, true),
      d2("detail2", order, false);
  for (TDataLink* l : {static_cast<TDataLink*>(&v1), static_cast<TDataLink*>(&d1), static_cast<TDataLink*>(&v2),
                       static_cast<TDataLink*>(&d2)})
    l->SetDataSource(&src);
  ds->Refresh();
  EXPECT_EQ(order, (Log{"detail2", "detail1", "visual2", "visual1"}));
  // A handler that removes another link: the removed one is skipped.
  order.clear();
  d1.OnChanged = [&] { v2.SetDataSource(nullptr); };
  ds->Refresh();
  EXPECT_EQ(order, (Log{"detail2", "detail1", "visual1"}));
  EXPECT_EQ(src.DataLinkCount(), 3);
}

TEST(LinksTest, SourceStateEnabledAndEvents) {
  auto ds = MakeDataSet(2);
  TDataSource src(nullptr);
  Log log;
  src.SetOnStateChange([&](TObject*) { log.push_back("state " + IntToStr(src.State())); });
  src.SetOnDataChange([&](TObject*, TField* f) { log.push_back(f ? "data " + f->FieldName() : String("data")); });
  src.SetDataSet(ds.get());
  EXPECT_EQ(src.State(), dsBrowse);
  TRecordingLink link;
  link.SetDataSource(&src);
  EXPECT_TRUE(link.Active());
  src.SetEnabled(false);
  EXPECT_EQ(src.State(), dsInactive);
  EXPECT_FALSE(link.Active());
  ds->Next();  // not passed on
  src.SetEnabled(true);
  EXPECT_TRUE(link.Active());
  EXPECT_EQ(log, (Log{"state 1", "data", "state 0", "state 1", "data"}));

  // AutoEdit: a link's Edit puts a browsing dataset into edit state.
  EXPECT_TRUE(link.Edit());
  EXPECT_EQ(ds->State(), dsEdit);
  ds->Cancel();
  src.SetAutoEdit(false);
  EXPECT_FALSE(link.Edit());
  EXPECT_EQ(ds->State(), dsBrowse);
  // A read-only link never edits.
  src.SetAutoEdit(true);
  link.SetReadOnly(true);
  EXPECT_FALSE(link.Edit());
  ds->Edit();
  EXPECT_FALSE(link.Editing());
  ds->Cancel();
  link.SetDataSource(nullptr);
}

TEST(LinksTest, UpdateDataDoesNotEchoTheLinksOwnChange) {
  auto ds = MakeDataSet(1);
  TDataSource src(nullptr);
  src.SetDataSet(ds.get());
  struct Writer : TRecordingLink {
    void UpdateData() override {
      TRecordingLink::UpdateData();
      DataSet()->FieldByName("NAME")->SetAsString("written");
    }
  } link;
  TRecordingLink other;
  link.SetDataSource(&src);
  other.SetDataSource(&src);
  ds->Edit();
  link.Log.clear();
  other.Log.clear();
  ds->Post();
  EXPECT_EQ(ds->FieldByName("NAME")->AsString(), "written");
  EXPECT_EQ(link.Log, (Log{"UpdateData", "CheckBrowseMode", "EditingChanged(off)", "DataSetChanged"}));
  EXPECT_EQ(other.Log, (Log{"UpdateData", "RecordChanged(NAME)", "CheckBrowseMode", "EditingChanged(off)",
                            "DataSetChanged"}));
  link.SetDataSource(nullptr);
  other.SetDataSource(nullptr);
}

TEST(LinksTest, MasterChainsAndCircularLinks) {
  TDetailSet master(nullptr), detail(nullptr), grandchild(nullptr);
  TDataSource masterSrc(nullptr), detailSrc(nullptr), grandSrc(nullptr);
  masterSrc.SetDataSet(&master);
  detailSrc.SetDataSet(&detail);
  grandSrc.SetName("GrandSrc");
  detail.Master = &masterSrc;
  grandchild.Master = &detailSrc;
  // A source is linked to a dataset whose masters lead to it; a dataset is
  // linked to a source whose master chain leads back to the dataset.
  EXPECT_TRUE(masterSrc.IsLinkedTo(&grandchild));
  EXPECT_FALSE(detailSrc.IsLinkedTo(&master));
  EXPECT_TRUE(master.IsLinkedTo(&detailSrc));
  EXPECT_FALSE(grandchild.IsLinkedTo(&masterSrc));
  // The master's own source cannot serve a dataset below it.
  try {
    masterSrc.SetDataSet(&grandchild);
    FAIL();
  } catch (EDatabaseError& e) {
    EXPECT_STREQ(e.what(), "Circular datalinks are not allowed");
  }
  EXPECT_EQ(masterSrc.DataSet(), &master);
  grandSrc.SetDataSet(&grandchild);
  EXPECT_EQ(grandSrc.DataSet(), &grandchild);
}

TEST(LinksTest, FixedSourcesAndDetailLinks) {
  TDataSource a(nullptr), b(nullptr);
  TRecordingLink link;
  link.SetDataSource(&a);
  link.SetDataSourceFixed(true);
  try {
    link.SetDataSource(&b);
    FAIL();
  } catch (EDatabaseError& e) {
    EXPECT_STREQ(e.what(), "DataSource cannot be changed");
  }
  link.SetDataSourceFixed(false);
  link.SetDataSource(nullptr);

  TDetailDataLink plain;
  EXPECT_EQ(plain.DetailDataSet(), nullptr);
  auto ds = MakeDataSet(0);
  struct Detail : TDetailDataLink {
    TDataSet* Set;
    TDataSet* GetDetailDataSet() override { return Set; }
  } detail;
  detail.Set = ds.get();
  EXPECT_EQ(detail.DetailDataSet(), ds.get());
}

TEST(LinksTest, FreeingASourceDeactivatesItsLinks) {
  auto ds = MakeDataSet(1);
  auto* src = new TDataSource(nullptr);
  src->SetDataSet(ds.get());
  TRecordingLink link;
  link.SetDataSource(src);
  ASSERT_TRUE(link.Active());
  delete src;
  EXPECT_EQ(link.DataSource(), nullptr);
  EXPECT_FALSE(link.Active());
  ds->Next();  // nothing left pointing at the freed source
}

}  // namespace
