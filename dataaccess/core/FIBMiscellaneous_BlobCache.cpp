// The BLOB disk cache: cache files of BLOB streams and the validator thread
// (FIBMiscellaneous.h).
#include <algorithm>
#include <climits>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <vector>

#include "dataaccess/core/FIBDatabase.h"
#include "dataaccess/core/FIBMiscellaneous.h"
#include "dataaccess/core/fib.h"
#include "platform/rtl/SysUtils.h"

namespace {

constexpr char kSignature[] = "FIB$BLOB_BODY";
constexpr size_t kSignatureLength = sizeof kSignature - 1;  // 13, no terminator
constexpr uint32_t kFormatVersion = 1;
constexpr const char* kCacheFileExt = ".blb";
constexpr const char* kValidatorTRParams[] = {"read", "isc_tpb_nowait", "read_committed", "rec_version"};

// The running validators; each leaves the list as the last step of its
// destruction. Never destroyed: threads may end after the unit's finalization.
struct TValidators {
  std::mutex mutex;
  std::condition_variable gone;
  std::vector<TValidateBlobCacheThread*> running;
};

TValidators& Validators() {
  static auto* validators = new TValidators;
  return *validators;
}

// One name of a cache path: bytes that could leave the directory or hide
// the entry ("/", "\", a leading "."), "%" itself and control characters
// become "%XX".
String CachePathPart(const String& Name) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  String part;
  part.reserve(Name.size());
  for (size_t i = 0; i < Name.size(); ++i) {
    const auto c = static_cast<unsigned char>(Name[i]);
    if (c == '/' || c == '\\' || c == '%' || c < 0x20 || c == 0x7F || (i == 0 && c == '.')) {
      part += '%';
      part += kHex[c >> 4];
      part += kHex[c & 0x0F];
    } else {
      part += static_cast<char>(c);
    }
  }
  return part;
}

void PutUInt32(String& Out, uint32_t Value) {
  for (int i = 0; i < 4; ++i) Out += static_cast<char>((Value >> (8 * i)) & 0xFF);
}

void PutText(String& Out, const String& Text) {
  PutUInt32(Out, static_cast<uint32_t>(Text.size()));
  Out += Text;
}

// Exactly Count bytes, or false (a file that ends early).
bool ReadExact(TStream* Stream, void* Buffer, Int64 Count) {
  auto* at = static_cast<Byte*>(Buffer);
  while (Count > 0) {
    const Int64 got = Stream->Read(at, Count);
    if (got <= 0) return false;
    at += got;
    Count -= got;
  }
  return true;
}

bool ReadUInt32(TStream* Stream, uint32_t& Value) {
  Byte b[4];
  if (!ReadExact(Stream, b, 4)) return false;
  Value = static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 | static_cast<uint32_t>(b[2]) << 16 |
          static_cast<uint32_t>(b[3]) << 24;
  return true;
}

// A length-prefixed text, refused when the stream does not hold that many bytes.
bool ReadText(TStream* Stream, uint32_t Length, String& Text) {
  if (static_cast<Int64>(Length) > Stream->Size() - Stream->Position()) return false;
  Text.assign(Length, '\0');
  return ReadExact(Stream, Text.data(), Length);
}

// Signature, version 1 and the BLOB id (high word first).
bool ReadCacheHeader(TStream* Stream, ISC_QUAD& BlobID) {
  char signature[kSignatureLength];
  uint32_t version = 0, high = 0, low = 0;
  if (!ReadExact(Stream, signature, kSignatureLength) ||
      std::memcmp(signature, kSignature, kSignatureLength) != 0)
    return false;
  if (!ReadUInt32(Stream, version) || version != kFormatVersion) return false;
  if (!ReadUInt32(Stream, high) || !ReadUInt32(Stream, low)) return false;
  BlobID.gds_quad_high = static_cast<ISC_LONG>(high);
  BlobID.gds_quad_low = low;
  return true;
}

bool EndsWith(const String& S, const String& Suffix) {
  return S.size() >= Suffix.size() && S.compare(S.size() - Suffix.size(), Suffix.size(), Suffix) == 0;
}

}  // namespace

TCriticalSection& BlobCacheLock() {
  static auto* lock = new TCriticalSection;
  return *lock;
}

// ---------------------------------------------------------------------------
// Cache files of a stream

String TFIBBlobStream::KeyText() const {
  String text;
  for (size_t i = 0; i < key_values_.size(); ++i) {
    if (i > 0) text += '_';
    text += VarToStr(key_values_[i]);
  }
  return text;
}

bool TFIBBlobStream::CacheEnabled() const {
  return cache_stream_ && database_ != nullptr && !database_->IsDesigning() && database_->BlobSwapSupport()->Active() &&
         !database_->BlobSwapSupport()->GetSwapDir().empty();
}

String TFIBBlobStream::GetCacheFileName(bool CreateDirs) {
  if (!cache_stream_ || database_ == nullptr) return String();
  const String swap_dir = database_->BlobSwapSupport()->GetSwapDir();
  if (swap_dir.empty()) return String();
  const String dir = swap_dir + CachePathPart(table_name_) + PathDelim + CachePathPart(field_name_) + PathDelim;
  if (CreateDirs && !DirectoryExists(dir)) ForceDirectories(dir);
  if (!DirectoryExists(dir)) return String();
  return dir + CachePathPart(KeyText()) + kCacheFileExt;
}

void TFIBBlobStream::SaveToCacheFile(TStream* Stream, bool AsCacheFile) {
  if (mode_ == bmWrite) RaiseClientError(fceBlobNotReadable);
  MakeAvailable();
  Stream->SetPosition(0);
  if (size_ == 0) return;
  if (!AsCacheFile) {
    Stream->WriteBuffer(data_, size_);
    return;
  }
  // The body as the server stores it: the filter works on a copy.
  void* body = data_;
  Integer body_size = size_;
  const bool filtered = database_ != nullptr && database_->FindCachedItem(blob_sub_type_);
  if (filtered) {
    body = std::malloc(static_cast<size_t>(size_));
    if (body == nullptr) throw EOutOfMemory("Out of memory");
    std::memcpy(body, data_, static_cast<size_t>(size_));
  }
  try {
    if (filtered) database_->StoreCachedItem(body, body_size, false, blob_sub_type_);
    String header(kSignature, kSignatureLength);
    PutUInt32(header, kFormatVersion);
    PutUInt32(header, static_cast<uint32_t>(blob_id_.gds_quad_high));
    PutUInt32(header, blob_id_.gds_quad_low);
    PutUInt32(header, static_cast<uint32_t>(body_size));
    PutUInt32(header, static_cast<uint32_t>(key_values_.size()));
    PutText(header, table_name_);
    PutText(header, field_name_);
    PutText(header, KeyText());
    Stream->WriteBuffer(header.data(), static_cast<Int64>(header.size()));
    if (body_size > 0) Stream->WriteBuffer(body, body_size);
  } catch (...) {
    if (filtered) std::free(body);
    throw;
  }
  if (filtered) std::free(body);
}

bool TFIBBlobStream::LoadFromCache(TStream* Stream, bool AsCacheFile) {
  Stream->SetPosition(0);
  const Int64 stream_size = Stream->Size();
  if (!AsCacheFile) {
    if (stream_size > INT_MAX) return false;
    void* value = stream_size > 0 ? std::malloc(static_cast<size_t>(stream_size)) : nullptr;
    if (stream_size > 0 && value == nullptr) throw EOutOfMemory("Out of memory");
    if (!ReadExact(Stream, value, stream_size)) {
      std::free(value);
      return false;
    }
    // A loaded value may be cancelled back to, as after Write.
    if (loaded_ && saved_state_) KeepSavedCopy();
    std::free(data_);
    data_ = value;
    size_ = capacity_ = static_cast<Integer>(stream_size);
    saved_state_ = false;
    modified_ = true;
    loaded_ = true;
    return true;
  }
  ISC_QUAD id{};
  uint32_t body_size = 0, key_count = 0, length = 0;
  String text;
  if (!ReadCacheHeader(Stream, id) || id.gds_quad_high != blob_id_.gds_quad_high ||
      id.gds_quad_low != blob_id_.gds_quad_low)
    return false;
  if (!ReadUInt32(Stream, body_size) || body_size != static_cast<uint32_t>(size_)) return false;
  if (!ReadUInt32(Stream, key_count) || key_count != key_values_.size()) return false;
  // An empty table or field name in the file matches any.
  if (!ReadUInt32(Stream, length) || !ReadText(Stream, length, text) || (length > 0 && text != table_name_))
    return false;
  if (!ReadUInt32(Stream, length) || !ReadText(Stream, length, text) || (length > 0 && text != field_name_))
    return false;
  const String key_text = KeyText();
  if (!ReadUInt32(Stream, length) || length != key_text.size() || !ReadText(Stream, length, text) ||
      text != key_text)
    return false;
  // The rest of the file is exactly the body: a truncated or padded file is
  // not taken for data.
  if (stream_size - Stream->Position() != static_cast<Int64>(body_size)) return false;
  void* body = body_size > 0 ? std::malloc(body_size) : nullptr;
  if (body_size > 0 && body == nullptr) throw EOutOfMemory("Out of memory");
  Integer new_size = static_cast<Integer>(body_size);
  try {
    if (!ReadExact(Stream, body, body_size)) {
      std::free(body);
      return false;
    }
    if (database_ != nullptr && database_->FindCachedItem(blob_sub_type_))
      database_->StoreCachedItem(body, new_size, true, blob_sub_type_);
  } catch (...) {
    std::free(body);
    throw;
  }
  std::free(data_);
  data_ = body;
  size_ = capacity_ = new_size;
  return true;
}

bool TFIBBlobStream::LoadFromCacheFile(String& FileName) {
  FileName = GetCacheFileName(false);
  bool can_load = true;
  if (database_->BeforeLoadBlobFromSwap().Assigned())
    database_->BeforeLoadBlobFromSwap()(table_name_, field_name_, key_values_, FileName, can_load);
  if (!can_load) return false;
  bool loaded = false;
  {
    TCriticalSectionGuard guard(BlobCacheLock());
    if (!FileName.empty() && FileExists(FileName)) {
      try {
        TFileStream file(FileName, fmOpenRead);
        loaded = LoadFromCache(&file, true);
      } catch (...) {
        loaded = false;
      }
    }
    if (!loaded && !FileName.empty()) DeleteFile(FileName);
  }
  from_cache_ = loaded;
  return loaded;
}

void TFIBBlobStream::SaveToCache() {
  if (from_cache_ || !CacheEnabled()) return;
  if (database_->BlobSwapSupport()->MinBlobSizeToSwap() > size_ || blob_id_.gds_quad_high == 0) return;
  String file_name = GetCacheFileName(true);
  bool can_save = true;
  if (database_->BeforeSaveBlobToSwap().Assigned())
    database_->BeforeSaveBlobToSwap()(table_name_, field_name_, key_values_, this, file_name, can_save);
  if (!can_save || file_name.empty()) return;
  if (!table_name_.empty() && !key_values_.empty()) {
    TCriticalSectionGuard guard(BlobCacheLock());
    bool written = false;
    try {
      TFileStream file(file_name, fmCreate);
      SaveToCacheFile(&file, true);
      written = true;
    } catch (...) {
    }
    // A file left half written would only be a miss, but need not wait for one.
    if (!written) DeleteFile(file_name);
  }
  if (database_->AfterSaveBlobToSwap().Assigned())
    database_->AfterSaveBlobToSwap()(table_name_, field_name_, key_values_, file_name);
}

void TFIBBlobStream::SetBlobIDAndCache(const ISC_QUAD& Value) {
  blob_id_ = Value;
  // Only data the stream holds is offered.
  if (loaded_) SaveToCache();
}

// ---------------------------------------------------------------------------
// Validator

void StartValidateBlobCache(TFIBDatabase* Database) {
  if (Database == nullptr || !Database->Connected()) return;
  const String dir = Database->BlobSwapSupport()->GetSwapDir();
  if (dir.empty() || !DirectoryExists(dir)) return;
  Create<TValidateBlobCacheThread>(Database);
}

void StopValidateBlobCacheThreads() {
  TValidators& v = Validators();
  std::unique_lock lock(v.mutex);
  // A listed thread is alive: it leaves the list under this lock.
  for (TValidateBlobCacheThread* thread : v.running) thread->Terminate();
  v.gone.wait(lock, [&v] { return v.running.empty(); });
}

int ValidateBlobCacheThreadCount() {
  TValidators& v = Validators();
  std::lock_guard lock(v.mutex);
  return static_cast<int>(v.running.size());
}

// Runs on the thread that connected the main database: the validator reads
// it only here.
TValidateBlobCacheThread::TValidateBlobCacheThread(TFIBDatabase* Database) : TThread(false) {
  try {
    database_ = new TFIBDatabase(nullptr);
    // The same attachment as the main one: an embedded database stays
    // embedded, a remote one remote.
    database_->SetLibraryName(Database->LibraryName());
    database_->SetDBName(Database->DBName());
    database_->DBParams()->Assign(Database->DBParams());
    database_->SetUseLoginPrompt(false);
    database_->SetSynchronizeTime(false);
    database_->SetName("dbValidateBlobCache");
    // Its idle timer would tick on the main thread into a database that
    // this thread owns; the internal transaction is never started here.
    database_->GetInternalTransaction()->SetTimeout(0);
    transaction_ = new TFIBTransaction(nullptr);
    transaction_->SetDefaultDatabase(database_);
    transaction_->SetName("trValidateBlobCache");
    for (const char* line : kValidatorTRParams) transaction_->TRParams()->Add(line);
    swap_dir_ = Database->BlobSwapSupport()->GetSwapDir();
  } catch (...) {
    delete transaction_;
    delete database_;
    throw;
  }
  SetFreeOnTerminate(true);
  TValidators& v = Validators();
  std::lock_guard lock(v.mutex);
  v.running.push_back(this);
}

TValidateBlobCacheThread::~TValidateBlobCacheThread() {
  try {
    if (transaction_->Active()) transaction_->Commit();
  } catch (...) {
  }
  delete transaction_;
  try {
    database_->Close();
  } catch (...) {
  }
  delete database_;  // forces a disconnect that Close could not make
  TValidators& v = Validators();
  std::lock_guard lock(v.mutex);
  v.running.erase(std::remove(v.running.begin(), v.running.end(), this), v.running.end());
  v.gone.notify_all();
}

void TValidateBlobCacheThread::Execute() { ValidateDirectory(swap_dir_); }

bool TValidateBlobCacheThread::Connect() {
  if (stop_) return false;
  try {
    if (!database_->Connected()) database_->Connect();
    if (!transaction_->Active()) transaction_->StartTransaction();
    return true;
  } catch (...) {
    stop_ = true;
    return false;
  }
}

void TValidateBlobCacheThread::ValidateDirectory(const String& Dir) {
  namespace fs = std::filesystem;
  std::vector<String> files, dirs;
  std::error_code error;
  // An unreadable directory is passed over.
  for (fs::directory_iterator it(Dir, error), end; !error && it != end; it.increment(error)) {
    const String name = it->path().filename().string();
    std::error_code status_error;
    const fs::file_status status = it->symlink_status(status_error);
    if (status_error) continue;
    if (fs::is_regular_file(status) && EndsWith(name, kCacheFileExt)) files.push_back(name);
    else if (fs::is_directory(status) && name[0] != '.') dirs.push_back(name);
  }
  std::sort(files.begin(), files.end());
  std::sort(dirs.begin(), dirs.end());
  for (const String& name : files) {
    if (Terminated() || stop_) return;
    ValidateFile(Dir + name);
  }
  for (const String& name : dirs) {
    if (Terminated() || stop_) return;
    ValidateDirectory(Dir + name + PathDelim);
  }
}

// The connection is made outside the cache lock, so that loads of the user
// interface do not wait for it; the check itself and the delete run under it.
void TValidateBlobCacheThread::ValidateFile(const String& FileName) {
  if (!Connect()) return;
  TCriticalSectionGuard guard(BlobCacheLock());
  bool exists = false;
  try {
    TFileStream file(FileName, fmOpenRead);
    ISC_QUAD id{};
    if (ReadCacheHeader(&file, id)) {
      exists = BlobExist(database_->GetClientLibrary(), database_->Handle(), transaction_->Handle(), id);
      // A lost connection says nothing about the BLOB: keep the files.
      if (!exists && !database_->IsConnectionAlive()) {
        stop_ = true;
        return;
      }
    }
  } catch (...) {
    exists = false;
  }
  if (!exists) DeleteFile(FileName);
}
