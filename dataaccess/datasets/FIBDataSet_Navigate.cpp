// Record navigation: GetRecord with fetch on demand, first and last, record
// numbers and counts, bookmarks, record moves and the refresh of the active
// record (the limited model's own steps are in FIBDataSet_Limited.cpp).
#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>

#include "dataaccess/core/StdFuncs.h"
#include "dataaccess/core/fib.h"
#include "dataaccess/datasets/FIBDataSet.h"
#include "dataaccess/datasets/FIBDataSet_Internal.h"

using fibdataset_internal::TScreenCursorGuard;
using fibdataset_internal::WithCounterRaised;
using fibdataset_internal::WithValue;

namespace {

struct TBookmarkData {
  Integer Physical;
  Integer ActiveRow;
};

TBookmarkData ReadBookmark(const void* Data) {
  TBookmarkData b;
  std::memcpy(&b.Physical, Data, sizeof b.Physical);
  std::memcpy(&b.ActiveRow, static_cast<const Byte*>(Data) + sizeof b.Physical, sizeof b.ActiveRow);
  return b;
}

}  // namespace

Integer TFIBCustomDataSet::RecordNumberOf(TRecordBuffer Buffer) const {
  Integer number;
  std::memcpy(&number, Buffer + kRecNoOffset, sizeof number);
  return number;
}

// ===========================================================================
// Fetching and reading records

bool TFIBCustomDataSet::FetchRecord() {
  if (current_select_ == nullptr || current_select_->AtEnd() || !cache_) return false;
  if (current_select_->FetchNext() == nullptr) return false;
  FetchRecordToCache(current_select_, fetched_count_);
  ++fetched_count_;
  return true;
}

Integer TFIBCustomDataSet::FetchNext(Integer Count) {
  if (current_select_ == nullptr || current_select_->AtEnd() || !cache_) return 0;
  TScreenCursorGuard cursor(sql_screen_cursor_);
  Integer fetched = 0;
  while (fetched < Count && FetchRecord()) ++fetched;
  return fetched;
}

TGetResult TFIBCustomDataSet::GetStandardRecord(TRecordBuffer Buffer, TGetMode GetMode) {
  Integer& current = current_record_index_;
  auto read = [&] {
    if (Buffer != nullptr) ReadRecordFromCache(current, Buffer, false);
    return grOK;
  };
  switch (GetMode) {
    case gmCurrent:
      if (current < 0) return grBOF;
      if (current >= fetched_count_) {
        while (fetched_count_ <= current && FetchRecord()) {
        }
        // Past the last record (the last one was deleted): the one before.
        if (current >= fetched_count_) current = fetched_count_ - 1;
        if (current < 0) return grBOF;
      }
      return read();
    case gmNext:
      if (current < fetched_count_ - 1) {
        ++current;
        return read();
      }
      if (current >= fetched_count_) {
        current = fetched_count_;
        return grEOF;
      }
      if (!FetchRecord()) {
        current = fetched_count_;
        return grEOF;
      }
      ++current;
      return read();
    case gmPrior:
      if (current >= 1 && current <= fetched_count_) {
        --current;
        return read();
      }
      if (current == -1) return grBOF;
      if (current == 0) {
        current = -1;
        return grBOF;
      }
      return grError;
  }
  return grError;
}

TGetResult TFIBCustomDataSet::SkipInvisibleRecords(TRecordBuffer Buffer, TGetMode GetMode) {
  if (Buffer == nullptr) return grOK;
  if (cache_model_options_->CacheModelKind() == cmkLimitedBufferSize) {
    // Record by record through the window, which refills past its ends.
    const TGetMode step = GetMode == gmPrior ? gmPrior : gmNext;
    TGetResult result = grOK;
    while (result == grOK && !IsVisible(Buffer)) result = GetLimitedRecord(Buffer, step);
    return result;
  }
  Integer& current = current_record_index_;
  while (!IsVisible(Buffer)) {
    if (GetMode == gmPrior) {
      if (current > -1) --current;
      if (current == -1) return grBOF;
    } else {
      ++current;
      if (current >= fetched_count_ && !FetchRecord()) {
        current = fetched_count_;
        return grEOF;
      }
    }
    ReadRecordFromCache(current, Buffer, false);
  }
  return grOK;
}

TGetResult TFIBCustomDataSet::GetRecord(TRecordBuffer Buffer, TGetMode GetMode, bool /*DoCheck*/) {
  const bool limited = cache_model_options_->CacheModelKind() == cmkLimitedBufferSize;
  TGetResult result = grError;
  try {
    WithValue(getting_record_, true, [&] {
      result = limited ? GetLimitedRecord(Buffer, GetMode) : GetStandardRecord(Buffer, GetMode);
      if (result == grOK) result = SkipInvisibleRecords(Buffer, GetMode);
    });
  } catch (EDatabaseError& E) {
    TDataAction action = daFail;
    if (!on_get_record_error_.Assigned()) throw;
    on_get_record_error_(this, &E, action);
    if (action == daFail) throw;
    if (action == daAbort) Abort();
    // daRetry: no record was reached (a fetch failed).
    result = grError;
  }
  if (Buffer != nullptr) {
    switch (result) {
      case grOK:
        SetBookmarkFlag(Buffer, bfCurrent);
        GetCalcFields(Buffer);
        break;
      case grBOF:
        SetBookmarkFlag(Buffer, bfBOF);
        break;
      default:
        SetBookmarkFlag(Buffer, bfEOF);
        break;
    }
  }
  return result;
}

// ===========================================================================
// First, last, record numbers and counts

void TFIBCustomDataSet::InternalFirst() {
  if (cache_model_options_->CacheModelKind() == cmkLimitedBufferSize) return LimitedFirst();
  current_record_index_ = -1;
}

void TFIBCustomDataSet::InternalLast() {
  if (cache_model_options_->CacheModelKind() == cmkLimitedBufferSize) return LimitedLast();
  FetchNext(INT32_MAX);
  current_record_index_ = fetched_count_;
}

int TFIBCustomDataSet::GetRecNo() {
  if (State() == dsFilter) return current_record_index_ + 1;
  TRecordBuffer active = GetActiveRecordBuffer();
  return active != nullptr ? RecordNumberOf(active) + 1 : 0;
}

int TFIBCustomDataSet::GetRecordCount() {
  if (UniDirectional() && BufferChunks() <= fetched_count_) return BufferChunks();
  return fetched_count_ - deleted_count_;
}

void TFIBCustomDataSet::SetRecNo(int Value) {
  CheckBrowseMode();
  const bool limited = cache_model_options_->CacheModelKind() == cmkLimitedBufferSize;
  Integer target;
  if (Value < 1) {
    target = 0;
  } else if (limited) {
    target = Value - 1;
  } else if (Value > fetched_count_) {
    FetchNext(INT32_MAX);
    target = std::min(Value, fetched_count_) - 1;
  } else {
    target = Value - 1;
  }
  // The limited model's record numbers are window positions: only the
  // window's records can be reached.
  if (limited && !RecordHeld(target)) return;
  if (!Bof() && !Eof() && Value == RecNo()) return;
  DoBeforeScroll();
  current_record_index_ = target;
  Resync({});
  // Below the first and beyond the last record: one more step to BOF/EOF.
  if (!limited)
    WithCounterRaised(internal_navigation_count_, [&] {
      if (Value < 1) MoveBy(-1);
      else if (Value > fetched_count_) MoveBy(1);
    });
  DoAfterScroll();
}

// ===========================================================================
// Bookmarks

void TFIBCustomDataSet::GetBookmarkData(TRecordBuffer Buffer, void* Data) {
  if (cache_model_options_->CacheModelKind() == cmkLimitedBufferSize) {
    const TBookmarkData b{RecordNumberOf(Buffer), ActiveRecord()};
    std::memset(Data, 0, static_cast<size_t>(BookmarkSize()));
    std::memcpy(Data, &b.Physical, sizeof b.Physical);
    std::memcpy(static_cast<Byte*>(Data) + sizeof b.Physical, &b.ActiveRow, sizeof b.ActiveRow);
    WriteLimitedKeys(Buffer, static_cast<Byte*>(Data) + 8);
    return;
  }
  TBookmarkData b{-1, ActiveRecord()};
  if (cache_) {
    const Integer number = RecordNumberOf(Buffer);
    if (number >= 0) b.Physical = cache_->PhysicalRecordNo(CacheRecordNo(number));
  }
  std::memset(Data, 0, static_cast<size_t>(BookmarkSize()));
  std::memcpy(Data, &b.Physical, sizeof b.Physical);
  std::memcpy(static_cast<Byte*>(Data) + sizeof b.Physical, &b.ActiveRow, sizeof b.ActiveRow);
}

void TFIBCustomDataSet::SetBookmarkData(TRecordBuffer Buffer, const void* Data) {
  if (!cache_) return;
  const bool limited = cache_model_options_->CacheModelKind() == cmkLimitedBufferSize;
  const Integer number = limited ? ReadBookmark(Data).Physical : cache_->LogicalIndexOf(ReadBookmark(Data).Physical);
  std::memcpy(Buffer + kRecNoOffset, &number, sizeof number);
}

void TFIBCustomDataSet::InternalGotoBookmark(const void* Bookmark) {
  const TBookmark bookmark(static_cast<const char*>(Bookmark), static_cast<size_t>(BookmarkSize()));
  if (!BookmarkValid(bookmark)) {
    // The position stays: the Resync that follows is skipped.
    ++resync_skip_count_;
    return;
  }
  if (cache_model_options_->CacheModelKind() == cmkLimitedBufferSize) {
    bool placed = false;
    WithValue(going_to_bookmark_, true, [&] {
      WithCounterRaised(internal_navigation_count_, [&] {
        placed = LimitedGotoBookmark(static_cast<const Byte*>(Bookmark));
      });
    });
    if (!placed) ++resync_skip_count_;
    return;
  }
  WithValue(going_to_bookmark_, true, [&] {
    WithCounterRaised(internal_navigation_count_, [&] {
      const TBookmarkData b = ReadBookmark(Bookmark);
      const Integer index = cache_->LogicalIndexOf(b.Physical);
      if (index < 0) return;
      // The record comes back to the row of the window it had.
      bookmark_active_row_ = b.ActiveRow;
      current_record_index_ = index;
    });
  });
}

int TFIBCustomDataSet::CompareBookmarks(const TBookmark& Bookmark1, const TBookmark& Bookmark2) {
  const bool absent1 = Bookmark1.size() < sizeof(Integer), absent2 = Bookmark2.size() < sizeof(Integer);
  if (absent1 || absent2) return absent1 == absent2 ? 0 : absent1 ? -1 : 1;
  if (!cache_) return 0;
  if (cache_model_options_->CacheModelKind() == cmkLimitedBufferSize) {
    // Window positions: only bookmarks of one window compare.
    const Integer a = ReadBookmark(Bookmark1.data()).Physical, b = ReadBookmark(Bookmark2.data()).Physical;
    return a < b ? -1 : a > b ? 1 : 0;
  }
  const Integer a = cache_->LogicalIndexOf(ReadBookmark(Bookmark1.data()).Physical);
  const Integer b = cache_->LogicalIndexOf(ReadBookmark(Bookmark2.data()).Physical);
  return a < b ? -1 : a > b ? 1 : 0;
}

bool TFIBCustomDataSet::GetCurrentRecord(TRecordBuffer Buffer) {
  if (IsEmpty() || GetBookmarkFlag(ActiveBuffer()) != bfCurrent) return false;
  ReadRecordFromCache(RecordNumberOf(ActiveBuffer()), Buffer, false);
  return true;
}

// ===========================================================================
// Moving records and refreshing the active one

void TFIBCustomDataSet::MoveRecord(Integer From, Integer To) {
  CheckDatasetOpen("move a record");
  if (To < 1) To = 1;
  if (To > fetched_count_) {
    FetchAll();
    To = std::min(To, fetched_count_);
  }
  WithCounterRaised(internal_navigation_count_, [&] { cache_->MoveRecord(From - 1, To - 1); });
  Resync({});
}

void TFIBCustomDataSet::InternalRefresh() {
  TWideDataSet::InternalRefresh();
  TRecordBuffer active = GetActiveRecordBuffer();
  // An empty dataset has no record to read again.
  if (active == nullptr || GetBookmarkFlag(active) != bfCurrent) return;
  WithValue(refreshing_, true, [&] { UpdateRecordInCache(refresh_query_, active, false); });
}

void TFIBCustomDataSet::UpdateRecordInCache(TFIBQuery* Query, TRecordBuffer Buffer, bool KeepOldVersion) {
  if (cache_model_options_->CacheModelKind() == cmkLimitedBufferSize)
    return UpdateLimitedRecord(Query, Buffer, KeepOldVersion);
  const Integer deleted = deleted_count_;
  // The sort key before the refresh: a record whose key the server changed
  // moves to its sorted place.
  std::unique_ptr<Byte[]> before;
  if (sorted_ && !order_info_.empty() && options_.Contains(poKeepSorting)) {
    before.reset(AllocRecordBuffer());
    std::memcpy(before.get(), Buffer, static_cast<size_t>(record_size_));
  }
  // No row is an error unless poRefreshDeletedRecord took the record away.
  const bool found = RefreshRecord(Query, Buffer);
  if (!found && deleted_count_ == deleted) RaiseClientError(fceCannotRefreshRow, {CmpFullName(this)});
  current_record_index_ = RecNo() - 1;
  if (found && before && Buffer == GetActiveRecordBuffer() && SortKeysDiffer(Buffer, before.get()) &&
      IsVisible(Buffer))
    KeepSorting();
  if (!dsEditModes.Contains(State()) && detail_conditions_.Contains(dcForceMasterRefresh)) RefreshMasterDataSet();
}
