// The dataset of the record layout and field class tests: a TFIBDataSet
// that opens and navigates as any, and whose posted edits are only written
// back into its record cache (no statement runs), with its record buffers
// reachable from the tests.
#pragma once

#include <cstring>

#include "dataaccess/datasets/FIBDataSet.h"

namespace dstest {

class TCacheDataSet : public TFIBDataSet {
 public:
  using TFIBDataSet::TFIBDataSet;

  using TFIBDataSet::ClearCalcFields;
  using TFIBDataSet::GetRecord;
  Integer CurrentIndex() const { return current_record_index_; }
  void SetCurrentIndex(Integer Index) { current_record_index_ = Index; }
  TRecordBuffer NewBuffer() { return AllocRecordBuffer(); }
  void FreeBuffer(TRecordBuffer& Buffer) { FreeRecordBuffer(Buffer); }
  void InitBuffer(TRecordBuffer Buffer) { InternalInitRecord(Buffer); }

 protected:
  void InternalPost() override {
    Integer number;
    std::memcpy(&number, ActiveBuffer(), sizeof number);
    WriteRecordToCache(number, ActiveBuffer());
    if (CachedUpdates()) updates_pending_ = true;
  }
};

}  // namespace dstest
