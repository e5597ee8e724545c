// Shared fixture of the dataset tests: an in-memory dataset with an integer
// ID and a NAME, and a data link that records the events it receives.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "platform/db/DB.h"
#include "platform/rtl/SysUtils.h"
#include "tests/support/MemDataSet.h"

// A dataset (IDs 1..Count, names "n1".."nCount") opened with default fields.
inline std::unique_ptr<TMemDataSet> MakeDataSet(int Count) {
  auto ds = std::make_unique<TMemDataSet>(nullptr);
  ds->SetName("Mem");
  ds->FieldDefs()->Add("ID", ftInteger);
  ds->FieldDefs()->Add("NAME", ftString, 20);
  ds->Open();
  for (int i = 1; i <= Count; ++i) {
    ds->Append();
    ds->FieldByName("ID")->SetAsInteger(i);
    ds->FieldByName("NAME")->SetAsString("n" + IntToStr(i));
    ds->Post();
  }
  ds->First();
  return ds;
}

inline String EventName(TDataEvent Event) {
  static const char* const kNames[] = {
      "FieldChange",  "RecordChange",  "DataSetChange", "DataSetScroll",  "LayoutChange",
      "UpdateRecord", "UpdateState",   "CheckBrowseMode", "PropertyChange", "FieldListChange",
      "FocusControl", "ParentScroll",  "ConnectChange", "ReconcileError", "DisabledStateChange"};
  return kNames[Event];
}

// Records the handlers a data link runs, e.g. "DataSetScrolled(1)".
class TRecordingLink : public TDataLink {
 public:
  std::vector<String> Log;
  int ActiveRecordSeen = -1;

 protected:
  void ActiveChanged() override { Log.push_back(Active() ? "ActiveChanged(on)" : "ActiveChanged(off)"); }
  void CheckBrowseMode() override { Log.push_back("CheckBrowseMode"); }
  void DataSetChanged() override {
    Log.push_back("DataSetChanged");
    ActiveRecordSeen = ActiveRecord();
  }
  void DataSetScrolled(int Distance) override {
    Log.push_back("DataSetScrolled(" + IntToStr(Distance) + ")");
    ActiveRecordSeen = ActiveRecord();
  }
  void EditingChanged() override { Log.push_back(Editing() ? "EditingChanged(on)" : "EditingChanged(off)"); }
  void FocusControl(TFieldRef Field) override { Log.push_back("FocusControl(" + (*Field)->FieldName() + ")"); }
  void LayoutChanged() override { Log.push_back("LayoutChanged"); }
  void RecordChanged(TField* Field) override {
    Log.push_back(Field != nullptr ? "RecordChanged(" + Field->FieldName() + ")" : "RecordChanged");
  }
  void UpdateData() override { Log.push_back("UpdateData"); }
};

using Log = std::vector<String>;

// A dataset of Count records (MakeDataSet) shown through a data source and a
// recording link with a window of Buffers records; the log starts empty.
struct TLinkedDataSet {
  std::unique_ptr<TMemDataSet> ds;
  TDataSource src{nullptr};
  TRecordingLink link;
  explicit TLinkedDataSet(int Count, int Buffers = 1) : ds(MakeDataSet(Count)) {
    src.SetDataSet(ds.get());
    link.SetDataSource(&src);
    link.SetBufferCount(Buffers);
    link.Log.clear();
  }
  int Id() { return ds->FieldByName("ID")->AsInteger(); }
};
