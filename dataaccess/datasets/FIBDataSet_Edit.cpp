// Editing in the record cache: adding, posting, deleting and cancelling
// records, the modifying statements written by hand, and the update
// transaction around them.
#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>
#include <string_view>

#include "dataaccess/core/StdFuncs.h"
#include "dataaccess/core/StrUtil.h"
#include "dataaccess/core/fib.h"
#include "dataaccess/datasets/FIBDataSet.h"
#include "dataaccess/datasets/FIBDataSet_Internal.h"

using fibdataset_internal::TScreenCursorGuard;

bool ExcludeDeniedUpdateKinds = false;

fibdataset_internal::TSQLTextKind fibdataset_internal::SQLTextKind(TStrings* SQL) {
  static const String kNoAction = "No Action";
  for (int i = 0; i < SQL->Count(); ++i) {
    const String line = SQL->Strings(i);
    int first, last;
    TrimBounds(line, first, last);
    if (first > last) continue;
    const bool noAction = static_cast<size_t>(last - first + 1) == kNoAction.size() &&
                          EqualStrings(line.substr(static_cast<size_t>(first - 1), kNoAction.size()), kNoAction, false);
    return noAction ? TSQLTextKind::NoAction : TSQLTextKind::Statement;
  }
  return TSQLTextKind::Empty;
}

using fibdataset_internal::IsRunnableSQL;

namespace {

// A copy of a record buffer, put back with Restore.
class TBufferSnapshot {
 public:
  TBufferSnapshot(TRecordBuffer Buffer, Integer Size)
      : buffer_(Buffer), size_(static_cast<size_t>(Size)), copy_(new Byte[size_]) {
    std::memcpy(copy_.get(), Buffer, size_);
  }
  void Restore() { std::memcpy(buffer_, copy_.get(), size_); }

 private:
  TRecordBuffer buffer_;
  size_t size_;
  std::unique_ptr<Byte[]> copy_;
};

}  // namespace

// ===========================================================================
// Update transaction and modifying statements

void TFIBCustomDataSet::AutoStartUpdateTransaction() {
  TFIBTransaction* tr = UpdateTransaction();
  if (tr != nullptr && !tr->Active() && options_.Contains(poStartTransaction)) tr->StartTransaction();
}

void TFIBCustomDataSet::AutoCommitUpdateTransaction() {
  TFIBTransaction* tr = UpdateTransaction();
  if (!auto_commit_ || tr == nullptr || !tr->Active()) return;
  if (tr != Transaction() && tr->TimeoutAction() != TACommitRetaining) tr->Commit();
  else tr->CommitRetaining();
}

bool TFIBCustomDataSet::PrepareModifyingQuery(Integer Kind) {
  TFIBQuery* q = Kind == 0 ? update_query_ : Kind == 1 ? insert_query_ : Kind == 2 ? delete_query_ : refresh_query_;
  if (q == nullptr || !IsRunnableSQL(q->SQL())) return false;
  if (q->Prepared()) return true;
  TFIBTransaction* own = q->Transaction();
  TFIBTransaction* read = Transaction();
  if (own == nullptr || read == nullptr) RaiseClientError(fceTransactionNotAssigned, {CmpFullName(this)});
  try {
    if (own->FindDatabase(Database()) >= 0 || own == read) {
      // Prepared in the dataset's transaction; the statement keeps its own.
      if (!read->Active()) read->StartTransaction();
      q->SetTransaction(read);
      try {
        q->Prepare();
      } catch (...) {
        q->SetTransaction(own);
        throw;
      }
      q->SetTransaction(own);
    } else {
      const bool started = !own->Active();
      if (started) own->StartTransaction();
      q->Prepare();
      if (started) own->Commit();
    }
  } catch (EFIBInterBaseError& E) {
    if (E.SQLCode() != -551 || Kind > 2 || IsDesigning() || !ExcludeDeniedUpdateKinds) throw;
    static constexpr TUpdateKind kKinds[] = {ukModify, ukInsert, ukDelete};
    allowed_update_kinds_.Exclude(kKinds[Kind]);
    Abort();
  }
  return true;
}

bool TFIBCustomDataSet::PrepareModifyingQuery(TFIBQuery* Query) {
  const Integer kind = Query == update_query_   ? 0
                       : Query == insert_query_ ? 1
                       : Query == delete_query_ ? 2
                       : Query == refresh_query_ ? 3
                                                 : -1;
  if (kind >= 0) return PrepareModifyingQuery(kind);
  if (!IsRunnableSQL(Query->SQL())) return false;
  if (!Query->Prepared()) Query->Prepare();
  return true;
}

void TFIBCustomDataSet::ExecModifyingQuery(TFIBQuery* Query, TRecordBuffer Buffer) {
  if (!PrepareModifyingQuery(Query)) return;
  AutoStartUpdateTransaction();
  SetQueryParams(Query, Buffer);
  Query->ExecQuery();
  if (Query->Open()) {
    Query->FetchNext();
    Query->Close();
  }
  AutoCommitUpdateTransaction();
}

void TFIBCustomDataSet::DoPostRecord(TUpdateKind Kind) {
  TRecordBuffer buffer = post_buffer_ != nullptr ? post_buffer_ : ActiveBuffer();
  ExecModifyingQuery(Kind == ukInsert ? insert_query_ : update_query_, buffer);
  if (options_.Contains(poRefreshAfterPost) && IsRunnableSQL(RefreshSQL()))
    RefreshRecord(refresh_query_, buffer);
}

// ===========================================================================
// Cache slots of inserted records

void TFIBCustomDataSet::OpenCacheSlot(Integer Number) {
  cache_->InsertRecord(CacheRecordNo(Number) - 1);
  ResetVisibleRecords();  // the records behind it moved up one
}

void TFIBCustomDataSet::DropCacheSlot(Integer Number) {
  // The slot goes behind every record in use, empty, where the next fetch
  // takes it up.
  const Integer record = CacheRecordNo(Number);
  Byte* image = cache_->GetRecordPtr(record);
  FreeRecordBlobStreams(image + blob_image_offset_);
  cache_->WriteRecord(record, nullptr, false);
  cache_->MoveRecord(record - 1, cache_->RecordCount() - 1);
  ResetVisibleRecords();  // the records behind it moved down one
}

// ===========================================================================
// Posting

bool TFIBCustomDataSet::SortKeyChanged(TRecordBuffer Buffer) {
  // The limited model's rows follow the order its statements were built on.
  const bool limited = cache_model_options_->CacheModelKind() == cmkLimitedBufferSize;
  if ((limited ? limited_order_ : order_info_).empty()) return false;
  if (!options_.Contains(poKeepSorting) && !limited) return false;
  const Integer number = RecordNumberOf(Buffer);
  if (!RecordHeld(number)) return true;
  std::unique_ptr<Byte[]> old(GetOldRecordBuffer(number));
  return SortKeysDiffer(Buffer, old.get());
}

bool TFIBCustomDataSet::SortKeysDiffer(const Byte* Buffer, const Byte* Other) {
  const bool limited = cache_model_options_->CacheModelKind() == cmkLimitedBufferSize;
  for (const TSortFieldInfo& info : limited ? limited_order_ : order_info_) {
    TField* field = FindField(info.FieldName);
    if (field == nullptr || field->FieldNo() < 1 || field->FieldNo() > static_cast<Integer>(columns_.size()))
      continue;
    const Integer column = field->FieldNo() - 1;
    const TColumnLayout& c = columns_[static_cast<size_t>(column)];
    const bool nullNow = Buffer[kNullFlagsOffset + column] != 0, nullOld = Other[kNullFlagsOffset + column] != 0;
    if (nullNow != nullOld) return true;
    if (nullNow) continue;
    if (c.StoredApart) {
      Integer a, b;
      std::memcpy(&a, Buffer + c.Offset, sizeof a);
      std::memcpy(&b, Other + c.Offset, sizeof b);
      if (a != b || std::memcmp(Buffer + c.Offset + 4, Other + c.Offset + 4, static_cast<size_t>(a)) != 0)
        return true;
    } else if (std::memcmp(Buffer + c.Offset, Other + c.Offset, static_cast<size_t>(c.Width)) != 0) {
      return true;
    }
  }
  return false;
}

void TFIBCustomDataSet::KeepSortingAfterPost() { KeepSorting(); }

void TFIBCustomDataSet::InternalAddRecord(const void* Buffer, bool Append) {
  if (!CanInsert()) RaiseClientError(fceCannotInsert, {CmpFullName(this)});
  if (Append && !UniDirectional()) InternalLast();
  auto* record = static_cast<TRecordBuffer>(const_cast<void*>(Buffer));
  const Integer number = Append ? fetched_count_ : std::max(current_record_index_, 0);
  if (Append) current_record_index_ = number;
  std::memcpy(record + kRecNoOffset, &number, sizeof number);
  SetCachedStatus(record, cusInserted);
  // Placed where the number says, not after the last record.
  record[kBookmarkFlagOffset] = bfInserted;
  TScreenCursorGuard cursor(sql_screen_cursor_);
  PostRecordToCache(record, true);
}

void TFIBCustomDataSet::InternalPost() {
  CheckUpdateAllowed();
  TWideDataSet::InternalPost();
  TScreenCursorGuard cursor(sql_screen_cursor_);
  PostRecordToCache(ActiveBuffer(), State() == dsInsert);
}

void TFIBCustomDataSet::PostLimitedRecord(TRecordBuffer Buffer, bool Inserting) {
  const bool sortKeyChanged = Inserting || SortKeyChanged(Buffer);
  TBufferSnapshot before(Buffer, record_size_);
  if (blob_count_ > 0) FinalizeBlobStreams(Buffer, 0, nullptr);
  const Integer number = RecordNumberOf(Buffer);
  SetCachedStatus(Buffer, Inserting ? cusInserted : cusModified);
  try {
    fibdataset_internal::WithValue(post_buffer_, Buffer, [&] { DoPostRecord(Inserting ? ukInsert : ukModify); });
  } catch (...) {
    before.Restore();
    throw;
  }
  if (!Inserting && RecordHeld(number)) WriteRecordToCache(number, Buffer);
  if (!sortKeyChanged && !options_.Contains(poRefreshAfterPost)) return;
  // The row moved in the order (or is new): the window is filled around it
  // again, so the boundary rows stay where the server sorts them.
  if (State() == dsEdit || State() == dsInsert) SetState(dsBrowse);
  if (!PlaceLimitedByKeys(Buffer)) RestartLimited();
}

void TFIBCustomDataSet::PostRecordToCache(TRecordBuffer Buffer, bool Inserting) {
  if (cache_model_options_->CacheModelKind() == cmkLimitedBufferSize) return PostLimitedRecord(Buffer, Inserting);
  // The open select could return a row this post writes (a new key ahead of
  // the cursor) a second time: its remaining rows are read first.
  if (!cached_updates_ && !UniDirectional() && current_select_ != nullptr && current_select_->Open() &&
      !current_select_->AtEnd())
    FetchNext(INT32_MAX);
  const bool sortKeyChanged = Inserting || SortKeyChanged(Buffer);
  // What the buffer, the position and the counters were: a refused post
  // gives them back.
  TBufferSnapshot before(Buffer, record_size_);
  const Integer savedCurrent = current_record_index_;
  // The record takes its streams' null states and BLOB ids.
  if (blob_count_ > 0) FinalizeBlobStreams(Buffer, 0, nullptr);
  Integer number = RecordNumberOf(Buffer);
  // The status the record has in the cache (a field change already marked
  // the buffer).
  TCachedUpdateStatus oldStatus = CachedStatusOf(Buffer);
  if (!Inserting && number >= 0 && number < fetched_count_)
    oldStatus = StatusInCache(number);
  if (!Inserting) {
    if (oldStatus == cusUnmodified || oldStatus == cusModified) SetCachedStatus(Buffer, cusModified);
    else if (oldStatus == cusUninserted || oldStatus == cusInserted) SetCachedStatus(Buffer, cusInserted);
  } else {
    SetCachedStatus(Buffer, cusInserted);
    const TBookmarkFlag flag = GetBookmarkFlag(Buffer);
    if (number < 0 || flag == bfEOF || flag == bfBOF || fetched_count_ == 0) number = fetched_count_;
    number = std::min(number, fetched_count_);
    std::memcpy(Buffer + kRecNoOffset, &number, sizeof number);
    current_record_index_ = number;
  }
  if (!cached_updates_) {
    // The cache's image of an edited record, for a refused post.
    std::unique_ptr<Byte[]> image;
    if (!Inserting && number >= 0 && number < fetched_count_) {
      image.reset(AllocRecordBuffer());
      ReadRecordFromCache(number, image.get(), false);
    }
    if (Inserting) OpenCacheSlot(number);
    try {
      fibdataset_internal::WithValue(post_buffer_, Buffer, [&] { DoPostRecord(Inserting ? ukInsert : ukModify); });
    } catch (...) {
      if (Inserting) DropCacheSlot(number);
      else if (image) WriteRecordToCache(number, image.get());
      before.Restore();
      current_record_index_ = savedCurrent;
      throw;
    }
  } else if (Inserting) {
    OpenCacheSlot(number);
  }
  if (oldStatus == cusUninserted && !Inserting) --deleted_count_;
  if (Inserting) {
    ++fetched_count_;
    ++inserted_count_;
  }
  if (cached_updates_) {
    if (Inserting || oldStatus == cusUnmodified || oldStatus == cusUninserted) ++changed_count_;
    updates_pending_ = true;
  }
  if (blob_count_ > 0) {
    if (cached_updates_) FinalizeBlobStreams(Buffer, 0, nullptr);
    else if (options_.Contains(poRefreshAfterPost)) FinalizeBlobStreams(Buffer, bsaPost, nullptr);
  }
  WriteRecordToCache(number, Buffer);
  if (sortKeyChanged) {
    if (!order_info_.empty()) {
      if (State() == dsEdit || State() == dsInsert) SetState(dsBrowse);
      if (IsVisible(Buffer)) KeepSortingAfterPost();
    }
  } else if (!options_.Contains(poKeepSorting)) {
    order_info_.clear();
    sorted_ = false;
  }
}

// ===========================================================================
// Deleting and cancelling

void TFIBCustomDataSet::InternalDelete() {
  TScreenCursorGuard cursor(sql_screen_cursor_);
  if (!CanDelete()) RaiseClientError(fceCannotDelete, {CmpFullName(this)});
  TRecordBuffer active = ActiveBuffer();
  const Integer number = RecordNumberOf(active);
  last_deleted_ = {};
  const TCachedUpdateStatus before = CachedStatusOf(active);
  if (cached_updates_) {
    const TCachedUpdateStatus status = before;
    if (status == cusInserted) {
      SetCachedStatus(active, cusUninserted);
      --changed_count_;
    } else {
      SetCachedStatus(active, cusDeleted);
      // A record counts once however often it changes.
      if (status == cusUnmodified) ++changed_count_;
    }
    WriteRecordToCache(number, active);
    ++deleted_count_;
  } else {
    InternalDeleteRecord(delete_query_, active);
    // A record the refresh statement still finds stays in view.
    if (CachedStatusOf(active) == cusDeletedApplied) {
      if (cache_model_options_->CacheModelKind() == cmkLimitedBufferSize) DropLimitedRecord(number);
      else ++deleted_count_;
    }
  }
  updates_pending_ = changed_count_ > 0;
  last_deleted_ = {number, before};
}

bool TFIBCustomDataSet::UndoDelete() {
  const TDeletedRecord deleted = last_deleted_;
  last_deleted_ = {};
  if (deleted.Number < 0 || !Active() || deleted.Number >= fetched_count_) return false;
  const TCachedUpdateStatus now = StatusInCache(deleted.Number);
  // Delete's counting, run backwards.
  switch (now) {
    case cusUninserted:
      if (deleted.Before != cusInserted) return false;
      ++changed_count_;
      break;
    case cusDeleted:
      if (deleted.Before == cusUnmodified) --changed_count_;
      else if (deleted.Before != cusModified) return false;
      break;
    case cusDeletedApplied:
      if (cache_model_options_->CacheModelKind() == cmkLimitedBufferSize) return false;
      break;
    default:
      return false;
  }
  SetStatusInCache(deleted.Number, now == cusDeletedApplied ? cusUnmodified : deleted.Before);
  --deleted_count_;
  updates_pending_ = changed_count_ > 0;
  Resync({});
  return true;
}

void TFIBCustomDataSet::InternalDeleteRecord(TFIBQuery* Query, TRecordBuffer Buffer) {
  ExecModifyingQuery(Query, Buffer);
  MarkRecordDeleted(Buffer);
}

void TFIBCustomDataSet::MarkRecordDeleted(TRecordBuffer Buffer) {
  bool found = false;
  // Without a refresh statement the deleted row is not looked for.
  if (options_.Contains(poRefreshAfterDelete) && !IsEmptyStrings(RefreshSQL())) {
    const Integer deleted = deleted_count_;
    found = RefreshRecord(refresh_query_, Buffer);
    // The caller counts the deletion.
    deleted_count_ = deleted;
  }
  if (!found) SetCachedStatus(Buffer, cusDeletedApplied);
  WriteRecordToCache(RecordNumberOf(Buffer), Buffer);
}

void TFIBCustomDataSet::InternalCancel() {
  TWideDataSet::InternalCancel();
  TRecordBuffer active = ActiveBuffer();
  if (blob_count_ > 0 && active != nullptr) {
    if (State() == dsInsert) {
      // The streams of a record that never reached the cache go with it.
      FreeRecordBlobStreams(active + blob_slots_offset_);
    } else {
      FinalizeBlobStreams(active, bsaCancel, nullptr);
      // A stream that a refused post wrote to the server goes back to the
      // BLOB the cached record names.
      const Integer number = RecordNumberOf(active);
      if (number >= 0 && number < fetched_count_) {
        std::unique_ptr<Byte[]> cached(AllocRecordBuffer());
        ReadRecordFromCache(number, cached.get(), false);
        for (Integer slot = 0; slot < blob_count_; ++slot) {
          TFIBBlobStream* stream = RecordBlobStream(active, slot);
          const Integer column = stream != nullptr ? stream->FieldNo() - 1 : -1;
          if (column < 0 || column >= static_cast<Integer>(columns_.size())) continue;
          if (stream != RecordBlobStream(cached.get(), slot)) {
            // Made during the edit: the record in the cache never had it.
            FreeBlobStreamInSlot(active + blob_slots_offset_ + static_cast<size_t>(slot) * kBlobSlotSize);
            continue;
          }
          ISC_QUAD id;
          std::memcpy(&id, cached.get() + columns_[static_cast<size_t>(column)].Offset, sizeof id);
          if (stream->BlobID().gds_quad_high != id.gds_quad_high || stream->BlobID().gds_quad_low != id.gds_quad_low) {
            stream->Clear();
            stream->SetBlobID(id);
          }
        }
      }
    }
  }
  if (State() != dsInsert || current_record_index_ < 0 || active == nullptr) return;
  const TBookmarkFlag flag = GetBookmarkFlag(active);
  if (flag == bfEOF || (flag == bfBOF && fetched_count_ == 0)) --current_record_index_;
}
