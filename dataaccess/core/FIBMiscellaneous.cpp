#include "dataaccess/core/FIBMiscellaneous.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "dataaccess/core/FIBDatabase.h"
#include "dataaccess/core/fib.h"
#include "platform/rtl/Exceptions.h"

namespace {

constexpr const char* kStreamName = "BlobStream";

// Items asked of isc_blob_info and the size of its answer.
constexpr char kBlobInfoItems[] = {isc_info_blob_num_segments, isc_info_blob_max_segment,
                                   isc_info_blob_total_length, isc_info_blob_type};
constexpr short kBlobInfoAnswerSize = 100;

void CheckLibrary(IIBClientLibrary* ClientLibrary, const char* Operation) {
  if (ClientLibrary == nullptr)
    throw Exception("Can't perform operation %s. Unknown client library", {Operation});
}

bool IsZero(const ISC_QUAD& Id) { return Id.gds_quad_high == 0 && Id.gds_quad_low == 0; }

// realloc that raises instead of returning nullptr; NewSize 0 frees.
void* Reallocate(void* Block, size_t NewSize) {
  if (NewSize == 0) {
    std::free(Block);
    return nullptr;
  }
  void* p = std::realloc(Block, NewSize);
  if (p == nullptr) throw EOutOfMemory("Out of memory");
  return p;
}

}  // namespace

// ---------------------------------------------------------------------------
// Free routines

void GetBlobInfo(IIBClientLibrary* ClientLibrary, isc_blob_handle* BlobHandle, Integer& NumSegments,
                 Integer& MaxSegmentSize, Integer& TotalSize, SmallInt& BlobType) {
  CheckLibrary(ClientLibrary, "GetBlobInfo");
  char answer[kBlobInfoAnswerSize] = {};
  if (ClientLibrary->isc_blob_info(StatusVector(), BlobHandle, sizeof kBlobInfoItems, kBlobInfoItems,
                                   kBlobInfoAnswerSize, answer) > 0)
    RaiseStatusError(ClientLibrary, nullptr);
  int i = 0;
  while (i < kBlobInfoAnswerSize && answer[i] != isc_info_end) {
    const char item = answer[i];
    if (i + 3 > kBlobInfoAnswerSize) break;
    const auto length = static_cast<short>(ClientLibrary->isc_vax_integer(answer + i + 1, 2));
    if (length < 0 || i + 3 + length > kBlobInfoAnswerSize) break;  // never read past the answer
    const ISC_LONG value = ClientLibrary->isc_vax_integer(answer + i + 3, length);
    switch (item) {
      case isc_info_blob_num_segments: NumSegments = value; break;
      case isc_info_blob_max_segment: MaxSegmentSize = value; break;
      case isc_info_blob_total_length: TotalSize = value; break;
      case isc_info_blob_type: BlobType = static_cast<SmallInt>(value); break;
      default: break;
    }
    i += 3 + length;
  }
}

void ReadBlob(IIBClientLibrary* ClientLibrary, isc_blob_handle* BlobHandle, std::span<Byte> Buffer) {
  CheckLibrary(ClientLibrary, "ReadBlob");
  size_t at = 0;
  while (at < Buffer.size()) {
    const auto wanted = static_cast<unsigned short>(std::min<size_t>(Buffer.size() - at, kBlobSegmentSize));
    unsigned short got = 0;
    const ISC_STATUS status = ClientLibrary->isc_get_segment(StatusVector(), BlobHandle, &got, wanted,
                                                             reinterpret_cast<ISC_SCHAR*>(Buffer.data() + at));
    if (status != 0 && status != isc_segment) RaiseStatusError(ClientLibrary, nullptr);
    at += got;
  }
}

void ReadBlob(IIBClientLibrary* ClientLibrary, isc_blob_handle* BlobHandle, void*& Buffer, Integer& Size) {
  CheckLibrary(ClientLibrary, "ReadBlob");
  // A BLOB may be longer than its reported length (text converted to the
  // connection's character set): a full buffer grows instead of asking the
  // client for 0 bytes, which it would answer forever.
  size_t capacity = Size > 0 ? static_cast<size_t>(Size) : 0;
  size_t read = 0;
  auto finish = [&] {
    if (capacity != read) Buffer = Reallocate(Buffer, read);
    Size = static_cast<Integer>(read);
  };
  // Once the buffer is full the next segment goes to a scratch block, so that
  // a BLOB of exactly the expected length ends without growing the buffer.
  std::unique_ptr<ISC_SCHAR[]> scratch;
  for (;;) {
    const bool full = read == capacity;
    if (full && !scratch) scratch = std::make_unique<ISC_SCHAR[]>(kBlobSegmentSize);
    const auto wanted =
        static_cast<unsigned short>(full ? kBlobSegmentSize : std::min<size_t>(capacity - read, kBlobSegmentSize));
    ISC_SCHAR* target = full ? scratch.get() : static_cast<ISC_SCHAR*>(Buffer) + read;
    unsigned short got = 0;
    const ISC_STATUS status = ClientLibrary->isc_get_segment(StatusVector(), BlobHandle, &got, wanted, target);
    if (status == isc_segstr_eof) break;
    if (status != 0 && status != isc_segment) {
      finish();
      RaiseStatusError(ClientLibrary, nullptr);
    }
    if (full && got > 0) {
      constexpr size_t limit = INT_MAX;
      if (capacity > limit - got) {
        finish();
        throw EOutOfMemory("Out of memory");
      }
      capacity = std::min(limit, std::max(capacity + got, capacity + capacity / 2));
      Buffer = Reallocate(Buffer, capacity);
      std::memcpy(static_cast<ISC_SCHAR*>(Buffer) + read, target, got);
    }
    read += got;
  }
  finish();
}

void WriteBlob(IIBClientLibrary* ClientLibrary, isc_blob_handle* BlobHandle, const void* Buffer,
               Integer Size) {
  CheckLibrary(ClientLibrary, "WriteBlob");
  const auto* bytes = static_cast<const ISC_SCHAR*>(Buffer);
  for (Integer at = 0; at < Size;) {
    const auto length = static_cast<unsigned short>(std::min(Size - at, kBlobSegmentSize));
    if (ClientLibrary->isc_put_segment(StatusVector(), BlobHandle, length, bytes + at) > 0)
      RaiseStatusError(ClientLibrary, nullptr);
    at += length;
  }
}

bool BlobExist(IIBClientLibrary* ClientLibrary, isc_db_handle DBHandle, isc_tr_handle TRHandle,
               const ISC_QUAD& BlobID) {
  CheckLibrary(ClientLibrary, "BlobExist");
  isc_blob_handle blob = 0;
  ISC_QUAD id = BlobID;
  if (ClientLibrary->isc_open_blob2(StatusVector(), &DBHandle, &TRHandle, &blob, &id, 0, nullptr) != 0)
    return false;
  ClientLibrary->isc_close_blob(StatusVector(), &blob);
  return true;
}

// ---------------------------------------------------------------------------
// TFIBBlobStream

TFIBBlobStream::TFIBBlobStream() = default;

TFIBBlobStream* TFIBBlobStream::CreateForCache(TList* OwnerList, Integer FieldNo,
                                               std::span<const Variant> KeyValues, const String& FieldName,
                                               const String& TableName) {
  auto* stream = new TFIBBlobStream;
  stream->cache_stream_ = true;
  stream->field_no_ = FieldNo;
  stream->field_name_ = FieldName;
  stream->table_name_ = TableName;
  stream->key_values_.assign(KeyValues.begin(), KeyValues.end());
  if (OwnerList != nullptr) {
    stream->owner_list_ = OwnerList;
    stream->index_in_owner_ = OwnerList->Add(stream);
  }
  return stream;
}

TFIBBlobStream* TFIBBlobStream::CreateInList(TList* OwnerList, Integer FieldNo) {
  TFIBBlobStream* stream = CreateForCache(OwnerList, FieldNo, {}, String(), String());
  stream->cache_stream_ = false;
  return stream;
}

void TFIBBlobStream::SetCacheIdentity(std::span<const Variant> KeyValues, const String& FieldName,
                                      const String& TableName) {
  cache_stream_ = true;
  field_name_ = FieldName;
  table_name_ = TableName;
  key_values_.assign(KeyValues.begin(), KeyValues.end());
}

TFIBBlobStream::~TFIBBlobStream() {
  CloseHandleQuietly();
  std::free(data_);
  std::free(saved_);
  if (owner_list_ != nullptr && index_in_owner_ >= 0 && index_in_owner_ < owner_list_->Count()) {
    const int last = owner_list_->Count() - 1;
    if (index_in_owner_ != last) {
      auto* moved = static_cast<TFIBBlobStream*>(owner_list_->Items(last));
      owner_list_->Put(index_in_owner_, moved);
      if (moved != nullptr) moved->index_in_owner_ = index_in_owner_;
    }
    owner_list_->Delete(last);
  }
}

void TFIBBlobStream::CloseHandleQuietly() noexcept {
  if (handle_ == 0 || database_ == nullptr) return;
  try {
    if (IIBClientLibrary* lib = database_->GetClientLibrary()) lib->isc_close_blob(StatusVector(), &handle_);
  } catch (...) {
  }
  handle_ = 0;
}

// --- Properties ---------------------------------------------------------------

void TFIBBlobStream::SetDatabase(TFIBDatabase* Value) {
  database_ = Value;
  loaded_ = false;
}

void TFIBBlobStream::SetTransaction(TFIBTransaction* Value) {
  transaction_ = Value;
  loaded_ = false;
}

void TFIBBlobStream::SetMode(TBlobStreamMode Value) {
  mode_ = Value;
  loaded_ = false;
}

void TFIBBlobStream::SetBlobID(const ISC_QUAD& Value) {
  blob_id_ = Value;
  loaded_ = false;
}

TFIBTransaction* TFIBBlobStream::GetActiveTransaction() const {
  return update_transaction_ != nullptr ? update_transaction_ : transaction_;
}

// --- Buffer ---------------------------------------------------------------------

void TFIBBlobStream::Resize(Integer NewSize, bool ZeroNew) {
  if (NewSize <= 0) {
    std::free(data_);
    data_ = nullptr;
    size_ = capacity_ = 0;
    return;
  }
  if (NewSize != capacity_) {
    data_ = Reallocate(data_, static_cast<size_t>(NewSize));
    capacity_ = NewSize;
  }
  if (ZeroNew && NewSize > size_)
    std::memset(static_cast<Byte*>(data_) + size_, 0, static_cast<size_t>(NewSize - size_));
  size_ = NewSize;
}

void TFIBBlobStream::SetSize(Int64 NewSize) {
  if (NewSize < 0 || NewSize > INT_MAX) throw EWriteError("Stream write error");
  Resize(static_cast<Integer>(NewSize), true);
}

// --- Checks -------------------------------------------------------------------

void TFIBBlobStream::CheckDatabase() const {
  if (database_ == nullptr) RaiseClientError(fceDatabaseNotAssigned, {kStreamName});
  if (!database_->Connected()) RaiseClientError(fceDatabaseNotOpen, {kStreamName});
}

void TFIBBlobStream::CheckRead() const {
  CheckDatabase();
  if (transaction_ != nullptr && transaction_->Active()) return;
  if (transaction_ != nullptr) RaiseClientError(fceTransactionNotActive, {kStreamName});
  RaiseClientError(fceTransactionNotAssigned, {kStreamName});
}

void TFIBBlobStream::CheckWrite() const {
  CheckDatabase();
  if (update_transaction_ != nullptr) {
    if (!update_transaction_->Active()) RaiseClientError(fceTransactionNotActive, {kStreamName});
    return;
  }
  if (transaction_ != nullptr && transaction_->Active()) return;
  RaiseClientError(fceTransactionNotAssigned, {kStreamName});
}

void TFIBBlobStream::CheckWritable() const {
  if (mode_ == bmRead && !client_blob_) RaiseClientError(fceBlobNotWritable);
}

void TFIBBlobStream::CheckCall(TFIBTransaction* Transaction, ISC_STATUS Status) {
  if (Transaction != nullptr) Transaction->CheckCall(Status, true);
  else if (Status > 0) RaiseStatusError(database_->GetClientLibrary(), nullptr);
}

// --- Loading and storing ------------------------------------------------------

void TFIBBlobStream::MakeAvailable() {
  if (loaded_) return;
  if (client_blob_) {
    loaded_ = true;
    return;
  }
  if (mode_ == bmWrite || (mode_ == bmReadWrite && IsZero(blob_id_))) {
    CheckWritable();
    blob_id_ = ISC_QUAD{0, 0};
    BeginWrite();
  } else {
    LoadFromServer();
    loaded_ = true;
    SaveToCache();  // a value read from the server goes to the disk cache
    return;
  }
  loaded_ = true;
}

void TFIBBlobStream::LoadFromServer() {
  if (mode_ == bmWrite) RaiseClientError(fceBlobNotReadable);
  CheckRead();
  from_cache_ = false;
  IIBClientLibrary* lib = database_->GetClientLibrary();
  // Version 1; source type = this subtype; target type text.
  const ISC_UCHAR bpb[] = {isc_bpb_version1, isc_bpb_source_type, 1, static_cast<ISC_UCHAR>(blob_sub_type_),
                           isc_bpb_target_type, 1, isc_blob_text};
  const bool filter_to_text = blob_sub_type_ >= 2 && database_->UseBlrToTextFilter();
  CheckCall(transaction_, lib->isc_open_blob2(StatusVector(), database_->HandlePtr(), transaction_->HandlePtr(),
                                              &handle_, &blob_id_, filter_to_text ? sizeof bpb : 0,
                                              filter_to_text ? bpb : nullptr));
  try {
    Integer total = 0;
    GetBlobInfo(lib, &handle_, num_segments_, max_segment_size_, total, blob_type_);
    Resize(total, false);
    String cache_file;
    if (CacheEnabled() && LoadFromCacheFile(cache_file)) {
      database_->CheckCall(lib->isc_close_blob(StatusVector(), &handle_), true);
      handle_ = 0;
      if (database_->AfterLoadBlobFromSwap().Assigned())
        database_->AfterLoadBlobFromSwap()(table_name_, field_name_, key_values_, cache_file);
      return;
    }
    if (database_->IsODS11_1()) {
      // Text is converted to the connection's character set: its length may change.
      ReadBlob(lib, &handle_, data_, size_);
      capacity_ = size_;
    } else {
      ReadBlob(lib, &handle_, std::span<Byte>(static_cast<Byte*>(data_), static_cast<size_t>(size_)));
    }
    if (database_->FindCachedItem(blob_sub_type_)) {
      database_->StoreCachedItem(data_, size_, true, blob_sub_type_);
      capacity_ = size_;
    }
    CheckCall(transaction_, lib->isc_close_blob(StatusVector(), &handle_));
  } catch (...) {
    CloseHandleQuietly();
    throw;
  }
  handle_ = 0;
}

void TFIBBlobStream::StoreOnServer() {
  from_cache_ = false;
  CheckWrite();
  IIBClientLibrary* lib = database_->GetClientLibrary();
  TFIBTransaction* tr = GetActiveTransaction();
  ISC_QUAD new_id{0, 0};
  CheckCall(tr, lib->isc_create_blob2(StatusVector(), database_->HandlePtr(), tr->HandlePtr(), &handle_, &new_id,
                                      0, nullptr));
  // The filter works on a copy: the stream keeps its own bytes.
  void* filtered = nullptr;
  try {
    const void* bytes = data_;
    Integer length = size_;
    if (database_->FindCachedItem(blob_sub_type_) && size_ > 0) {
      filtered = Reallocate(nullptr, static_cast<size_t>(size_));
      std::memcpy(filtered, data_, static_cast<size_t>(size_));
      database_->StoreCachedItem(filtered, length, false, blob_sub_type_);
      bytes = filtered;
    }
    WriteBlob(lib, &handle_, bytes, length);
    CheckCall(tr, lib->isc_close_blob(StatusVector(), &handle_));
  } catch (...) {
    std::free(filtered);
    CloseHandleQuietly();
    throw;
  }
  std::free(filtered);
  handle_ = 0;
  blob_id_ = new_id;
}

void TFIBBlobStream::FlushToServer(bool MarkOnly, bool Force) {
  if (!loaded_ || mode_ == bmRead) return;
  if (!Force && !modified_) return;
  from_cache_ = false;
  if (MarkOnly) {
    saved_state_ = true;
    modified_ = false;
  } else {
    StoreOnServer();
  }
}

void TFIBBlobStream::Finalize() {
  FlushToServer(false, false);
  FlushToServer(true, false);
}

// --- Stream operations ----------------------------------------------------------

Int64 TFIBBlobStream::Read(void* Buffer, Int64 Count) {
  if (mode_ == bmWrite) RaiseClientError(fceBlobNotReadable);
  MakeAvailable();
  if (Count < 1 || position_ < 0 || position_ >= size_) return 0;
  const Int64 n = std::min<Int64>(Count, size_ - position_);
  std::memcpy(Buffer, static_cast<const Byte*>(data_) + position_, static_cast<size_t>(n));
  position_ += n;
  return n;
}

Int64 TFIBBlobStream::Write(const void* Buffer, Int64 Count) {
  CheckWritable();
  MakeAvailable();
  // Nothing to write leaves the value alone (it must not be emptied unmarked).
  if (Count < 1 || position_ < 0 || position_ > INT_MAX - Count) return 0;
  if (saved_state_) KeepSavedCopy();
  const Int64 end = position_ + Count;
  if (end > size_) {
    if (end > capacity_) {
      // Sequential writes grow the buffer geometrically.
      const Int64 grown = std::min<Int64>(INT_MAX, std::max<Int64>(end, Int64{capacity_} + capacity_ / 2));
      data_ = Reallocate(data_, static_cast<size_t>(grown));
      capacity_ = static_cast<Integer>(grown);
    }
    if (position_ > size_) std::memset(static_cast<Byte*>(data_) + size_, 0, static_cast<size_t>(position_ - size_));
    size_ = static_cast<Integer>(end);
  }
  std::memcpy(static_cast<Byte*>(data_) + position_, Buffer, static_cast<size_t>(Count));
  position_ = end;
  modified_ = true;
  return Count;
}

Int64 TFIBBlobStream::Seek(Int64 Offset, TSeekOrigin Origin) {
  MakeAvailable();
  switch (Origin) {
    case soBeginning: position_ = Offset; break;
    case soCurrent: position_ += Offset; break;
    case soEnd: position_ = size_ + Offset; break;
  }
  return position_;
}

Int64 TFIBBlobStream::Size() {
  MakeAvailable();
  return size_;
}

// --- Value operations -----------------------------------------------------------

void TFIBBlobStream::BeginWrite() {
  modified_ = true;
  if (saved_state_) KeepSavedCopy();
  else Resize(0, false);
}

void TFIBBlobStream::KeepSavedCopy() {
  std::free(saved_);
  // The copy takes the buffer as it is: its capacity may exceed the size.
  saved_ = data_;
  saved_size_ = size_;
  has_saved_copy_ = true;
  data_ = nullptr;
  size_ = capacity_ = 0;
  saved_state_ = false;
}

void TFIBBlobStream::Cancel() {
  if (!loaded_ || !modified_) return;
  std::free(data_);
  data_ = saved_;
  size_ = capacity_ = saved_size_;
  saved_ = nullptr;
  modified_ = false;
  saved_state_ = true;
  DropSavedCopy();
}

void TFIBBlobStream::DropSavedCopy() {
  std::free(saved_);
  saved_ = nullptr;
  saved_size_ = 0;
  has_saved_copy_ = false;
}

void TFIBBlobStream::Clear() {
  DropSavedCopy();
  Resize(0, false);
  loaded_ = false;
}

Int64 TFIBBlobStream::ReadOldValue(void* Buffer, Int64 Count) {
  if (!has_saved_copy_) return Read(Buffer, Count);
  const Int64 n = std::clamp<Int64>(Count, 0, saved_size_);
  if (n > 0) std::memcpy(Buffer, saved_, static_cast<size_t>(n));
  return n;
}

Int64 TFIBBlobStream::SeekOld(Int64 Offset, TSeekOrigin Origin) {
  if (!has_saved_copy_) return Seek(Offset, Origin);
  return saved_size_;
}

String TFIBBlobStream::GetAsString() {
  if (mode_ == bmWrite) RaiseClientError(fceBlobNotReadable);
  MakeAvailable();
  if (size_ == 0) return String();
  // Text of a Unicode attachment arrives in UTF-8, the program's own code
  // page, and any other text stays as read: the bytes are the text.
  return String(static_cast<const char*>(data_), static_cast<size_t>(size_));
}
