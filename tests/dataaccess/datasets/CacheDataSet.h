// A dataset for the tests of the record layout and the field classes: it
// opens by preparing its select, executing it and fetching every row into
// the record cache through the dataset's own layout and fetch, and it moves
// over the fetched rows. Posting an edit writes the buffer back to the cache.
#pragma once

#include <climits>
#include <cstring>

#include "dataaccess/datasets/FIBDataSet.h"

namespace dstest {

class TCacheDataSet : public TFIBDataSet {
 public:
  using TFIBDataSet::TFIBDataSet;

  // Prepared and executed, with the layout computed and the cache made,
  // but no row fetched: for tests that fetch rows themselves.
  void OpenLayoutOnly() {
    fetch_on_open_ = false;
    Open();
    fetch_on_open_ = true;
  }
  using TFIBDataSet::CreateRecordCache;
  using TFIBDataSet::ClearCalcFields;
  TRecordBuffer NewBuffer() { return AllocRecordBuffer(); }
  void FreeBuffer(TRecordBuffer& Buffer) { FreeRecordBuffer(Buffer); }
  void InitBuffer(TRecordBuffer Buffer) { InternalInitRecord(Buffer); }

 protected:
  void InternalOpen() override {
    if (!Prepared() || !FieldDefs()->Updated()) Prepare();
    if (DefaultFields()) CreateFields();
    BindFields(true);
    SelectQuery()->ExecQuery();
    cursor_open_ = SelectQuery()->Open();
    ComputeRecordLayout();
    CreateRecordCache();
    if (fetch_on_open_) FetchNext(INT32_MAX);
    current_record_index_ = -1;
  }
  TGetResult GetRecord(TRecordBuffer Buffer, TGetMode GetMode, bool /*DoCheck*/) override {
    switch (GetMode) {
      case gmNext:
        if (current_record_index_ >= FetchedCount() - 1) return grEOF;
        ++current_record_index_;
        break;
      case gmPrior:
        if (current_record_index_ <= 0) {
          current_record_index_ = -1;
          return grBOF;
        }
        --current_record_index_;
        break;
      case gmCurrent:
        if (current_record_index_ < 0 || current_record_index_ >= FetchedCount()) return grError;
        break;
    }
    ReadRecordFromCache(current_record_index_, Buffer, false);
    SetBookmarkFlag(Buffer, bfCurrent);
    GetCalcFields(Buffer);
    return grOK;
  }
  void InternalFirst() override { current_record_index_ = -1; }
  void InternalLast() override { current_record_index_ = FetchedCount(); }
  void GetBookmarkData(TRecordBuffer Buffer, void* Data) override { std::memcpy(Data, Buffer, 4); }
  void SetBookmarkData(TRecordBuffer Buffer, const void* Data) override { std::memcpy(Buffer, Data, 4); }
  void InternalGotoBookmark(const void* Bookmark) override { std::memcpy(&current_record_index_, Bookmark, 4); }
  void InternalPost() override {
    Integer number;
    std::memcpy(&number, ActiveBuffer(), sizeof number);
    WriteRecordToCache(number, ActiveBuffer());
    if (CachedUpdates()) updates_pending_ = true;
  }
  int GetRecordCount() override { return FetchedCount(); }

 private:
  bool fetch_on_open_ = true;
};

}  // namespace dstest
