// BLOB values in memory and the client library's BLOB calls.
//
// TFIBBlobStream holds the whole value of one BLOB. It loads the value from
// the server on first use (Read, Write, Seek, Size, GetAsString), keeps the
// value it had before the first change so that Cancel can restore it, and
// stores a changed value on the server as a new BLOB (FlushToServer), whose
// id it then holds:
//
//   TFIBBlobStream s;                       // read mode
//   s.SetDatabase(db); s.SetTransaction(tr); s.SetBlobID(id);
//   String text = s.GetAsString();
//
//   TFIBBlobStream w;
//   w.SetMode(bmWrite); w.SetDatabase(db); w.SetTransaction(tr);
//   w.WriteBuffer(data, size);
//   w.Finalize();                           // w.BlobID() is the new BLOB
//
// Writing replaces the value: the first write after a load or a store keeps
// the old value as the saved copy and starts from an empty buffer (bytes
// before the write position read as zero).
//
// The free routines wrap the client calls on an open BLOB handle: GetBlobInfo,
// ReadBlob (exactly N bytes, or everything up to the end), WriteBlob (in
// segments of at most 65535 bytes) and BlobExist.
//
// BLOB disk cache. A stream that a dataset makes for a BLOB field of a
// record (CreateForCache: table, field and key values) keeps what it loads
// from the server in a file under the database's swap directory
// (TBlobSwapSupport) while the cache is active, and the next load of the
// same BLOB reads the file instead of the body:
//
//   <swap dir>/<table>/<field>/<key values joined by "_">.blb
//
// The names are used as they are, except that "/", "\", "%", control
// characters and a leading "." are written as "%XX", so that no name reaches
// outside its directory. The file holds, in 32-bit little-endian integers
// and bytes without terminators: "FIB$BLOB_BODY", version 1, the BLOB id
// (high word first), the body size N, the number of key values, the table
// name, the field name and the key text (each as length and bytes), then N
// bytes of body as the server stores it (after a client-side BLOB filter's
// write direction). A file is used only when every header field matches the
// stream and the file holds exactly the body; anything else is a miss: the
// file is deleted and the body read from the server. Every open, read,
// write and delete of a cache file runs under BlobCacheLock().
//
// After a database connects with an active cache whose directory exists,
// a TValidateBlobCacheThread walks the directory with its own connection
// and read-only transaction and deletes the files whose BLOB the server no
// longer has.
#pragma once

#include <span>
#include <vector>

#include "dataaccess/core/IB_Intf.h"
#include "dataaccess/core/ibase.h"
#include "platform/db/DB.h"
#include "platform/rtl/Lists.h"
#include "platform/rtl/Streams.h"
#include "platform/rtl/SyncObjs.h"
#include "platform/rtl/System.h"
#include "platform/rtl/Threads.h"
#include "platform/rtl/Variants.h"

class TFIBDatabase;
class TFIBTransaction;

// Largest segment the client library moves in one call.
inline constexpr Integer kBlobSegmentSize = 65535;

class TFIBBlobStream : public TStream {
 public:
  // No owner list, field number -1, read mode, no character set.
  TFIBBlobStream();
  // A stream of a dataset record: joins OwnerList (when given) and keeps the
  // names and key values that identify the BLOB in the disk cache. Only such
  // streams use the cache; any other stream never touches it.
  static TFIBBlobStream* CreateForCache(TList* OwnerList, Integer FieldNo,
                                        std::span<const Variant> KeyValues, const String& FieldName,
                                        const String& TableName);
  // A stream of a dataset record without a cache identity (yet): joins
  // OwnerList (when given); SetCacheIdentity may give it one later.
  static TFIBBlobStream* CreateInList(TList* OwnerList, Integer FieldNo);
  void SetCacheIdentity(std::span<const Variant> KeyValues, const String& FieldName, const String& TableName);
  // Closes a server handle left open by a failed load or store (quietly: a
  // destructor cannot raise) and leaves the owner list; the list's last
  // stream takes the freed slot.
  ~TFIBBlobStream() override;
  TFIBBlobStream(const TFIBBlobStream&) = delete;
  TFIBBlobStream& operator=(const TFIBBlobStream&) = delete;

  // --- Stream operations
  // Client error 35 in write mode; 0 for Count < 1 or a position outside
  // the value.
  Int64 Read(void* Buffer, Int64 Count) override;
  // Client error 36 in read mode (client-only streams excepted). Returns
  // Count; 0 at a negative position or past the 32-bit size limit.
  Int64 Write(const void* Buffer, Int64 Count) override;
  // Positions are not clamped to the value.
  Int64 Seek(Int64 Offset, TSeekOrigin Origin) override;
  // The value's size (loading it first).
  Int64 Size() override;
  // Reallocates the buffer to exactly NewSize bytes; new bytes are zero.
  void SetSize(Int64 NewSize) override;

  // --- Value operations
  // Starts a new value: modified; the current value becomes the saved copy
  // when none is kept, otherwise the data is emptied.
  void BeginWrite();
  // The current value becomes the saved copy; the data starts empty.
  void KeepSavedCopy();
  // A loaded, modified stream returns to its saved copy (empty without one).
  void Cancel();
  void DropSavedCopy();
  // Drops the saved copy and the data; the next use loads again.
  void Clear();
  // The saved copy when one is kept, otherwise the current value.
  Int64 ReadOldValue(void* Buffer, Int64 Count);
  Int64 SeekOld(Int64 Offset, TSeekOrigin Origin);
  // Stores a loaded, changed value (any loaded value with Force) of a stream
  // that is not read-only as a new BLOB; with MarkOnly it only marks the
  // value as stored (saved state, not modified).
  void FlushToServer(bool MarkOnly, bool Force);
  // Store, then mark.
  void Finalize();
  // The whole value as text (client error 35 in write mode).
  String GetAsString();

  // --- BLOB disk cache
  // The cache file of the stream, or "" for a stream not made by
  // CreateForCache, when the database has no swap directory or when the
  // directory of the table and field does not exist; CreateDirs creates the
  // missing directories first.
  String GetCacheFileName(bool CreateDirs);
  // Writes the value to Stream from its start: as a cache file, or the raw
  // bytes. Loads the value first (client error 35 in write mode); an empty
  // value writes nothing.
  void SaveToCacheFile(TStream* Stream, bool AsCacheFile);
  // Reads the value from Stream. As a cache file: true when the file
  // matches this stream's BLOB (id, size, key and names) and holds exactly
  // its body, which then becomes the value; otherwise the stream is left
  // as it was. Raw: the whole of Stream becomes the value (modified,
  // loaded); true.
  bool LoadFromCache(TStream* Stream, bool AsCacheFile);
  // Takes the id the server gave the data the stream holds (a refreshed
  // record) and offers the data to the cache.
  void SetBlobIDAndCache(const ISC_QUAD& Value);
  // The key values as text, joined by "_".
  String KeyText() const;

  // --- Properties
  TFIBDatabase* Database() const { return database_; }
  void SetDatabase(TFIBDatabase* Value);
  TFIBTransaction* Transaction() const { return transaction_; }
  void SetTransaction(TFIBTransaction* Value);
  TFIBTransaction* UpdateTransaction() const { return update_transaction_; }
  void SetUpdateTransaction(TFIBTransaction* Value) { update_transaction_ = Value; }
  // UpdateTransaction when set, else Transaction.
  TFIBTransaction* GetActiveTransaction() const;
  TBlobStreamMode Mode() const { return mode_; }
  void SetMode(TBlobStreamMode Value);
  const ISC_QUAD& BlobID() const { return blob_id_; }
  void SetBlobID(const ISC_QUAD& Value);
  // Set by the owner; 1 is text.
  Integer BlobSubType() const { return blob_sub_type_; }
  void SetBlobSubType(Integer Value) { blob_sub_type_ = Value; }
  // Character set of a text value (-1 when none).
  Integer CharSetID() const { return char_set_id_; }
  void SetCharSetID(Integer Value) { char_set_id_ = Value; }
  // The BLOB lives only on the client: no server load, writes in any mode.
  bool IsClientBlob() const { return client_blob_; }
  void SetIsClientBlob(bool Value) { client_blob_ = Value; }

  // From the BLOB information of the last load.
  Integer BlobMaxSegmentSize() const { return max_segment_size_; }
  Integer BlobNumSegments() const { return num_segments_; }
  SmallInt BlobType() const { return blob_type_; }  // 0 segmented, 1 stream

  bool Loaded() const { return loaded_; }
  bool Modified() const { return modified_; }
  bool HasSavedCopy() const { return has_saved_copy_; }
  // The data equals what was last loaded or stored.
  bool SavedState() const { return saved_state_; }
  bool FromCache() const { return from_cache_; }
  // The data and its size, without loading.
  const void* Memory() const { return data_; }
  Integer DataSize() const { return size_; }

  TList* OwnerList() const { return owner_list_; }
  Integer IndexInOwner() const { return index_in_owner_; }
  Integer FieldNo() const { return field_no_; }
  const String& TableName() const { return table_name_; }
  const String& FieldName() const { return field_name_; }
  const std::vector<Variant>& KeyValues() const { return key_values_; }

 private:
  // Loads, starts empty or just marks loaded, on first use.
  void MakeAvailable();
  void LoadFromServer();
  void StoreOnServer();
  void CheckDatabase() const;
  void CheckRead() const;
  void CheckWrite() const;
  void CheckWritable() const;
  // Raises the failed call's error through the transaction's call check, or
  // the status vector's error without one.
  void CheckCall(TFIBTransaction* Transaction, ISC_STATUS Status);
  void CloseHandleQuietly() noexcept;
  void Resize(Integer NewSize, bool ZeroNew);
  // The cache is consulted: a stream of a dataset record (CreateForCache) on
  // a database outside a designer with an active, non-empty swap directory.
  bool CacheEnabled() const;
  // Loads the value from the stream's cache file (FileName, which the
  // BeforeLoadBlobFromSwap handler may change); false on a miss, the file
  // then being deleted unless the handler refused the load.
  bool LoadFromCacheFile(String& FileName);
  // Writes the value to the cache when the conditions hold.
  void SaveToCache();

  TFIBDatabase* database_ = nullptr;
  TFIBTransaction* transaction_ = nullptr;
  TFIBTransaction* update_transaction_ = nullptr;
  ISC_QUAD blob_id_{0, 0};
  Integer max_segment_size_ = 0;
  Integer num_segments_ = 0;
  Integer size_ = 0;
  Integer saved_size_ = 0;
  SmallInt blob_type_ = 0;
  Integer blob_sub_type_ = 0;
  void* data_ = nullptr;   // malloc'ed (BLOB filters may replace it); nullptr when empty
  Integer capacity_ = 0;   // bytes allocated for data_: size_, or more while writes grow it
  void* saved_ = nullptr;  // the saved copy, saved_size_ bytes
  bool has_saved_copy_ = false;
  bool loaded_ = false;
  isc_blob_handle handle_ = 0;
  TBlobStreamMode mode_ = bmRead;
  bool modified_ = false;
  Int64 position_ = 0;
  TList* owner_list_ = nullptr;
  Integer index_in_owner_ = -1;
  Integer field_no_ = -1;
  bool saved_state_ = true;
  String table_name_;
  String field_name_;
  std::vector<Variant> key_values_;
  bool cache_stream_ = false;  // made by CreateForCache
  bool from_cache_ = false;
  bool client_blob_ = false;
  Integer char_set_id_ = -1;
};

// --- Client calls on an open BLOB handle. Each raises "Can't perform
// operation <name>. Unknown client library" without a library, and the
// status vector's error (RaiseStatusError) when a call fails.

// Items 4-7 of the BLOB information.
void GetBlobInfo(IIBClientLibrary* ClientLibrary, isc_blob_handle* BlobHandle, Integer& NumSegments,
                 Integer& MaxSegmentSize, Integer& TotalSize, SmallInt& BlobType);
// Exactly Buffer.size() bytes; a BLOB that ends earlier raises, the buffer
// holding what was read.
void ReadBlob(IIBClientLibrary* ClientLibrary, isc_blob_handle* BlobHandle, std::span<Byte> Buffer);
// Everything up to the end into a malloc'ed buffer: Size is the expected
// length on entry (the buffer's size) and the length read on return. The
// buffer grows when the BLOB is longer than expected and is cut to the
// length read.
void ReadBlob(IIBClientLibrary* ClientLibrary, isc_blob_handle* BlobHandle, void*& Buffer, Integer& Size);
// Size bytes in segments of at most 65535 bytes; nothing for Size <= 0.
void WriteBlob(IIBClientLibrary* ClientLibrary, isc_blob_handle* BlobHandle, const void* Buffer,
               Integer Size);
// True when the BLOB can be opened in the transaction (no error is raised).
bool BlobExist(IIBClientLibrary* ClientLibrary, isc_db_handle DBHandle, isc_tr_handle TRHandle,
               const ISC_QUAD& BlobID);

// ---------------------------------------------------------------------------
// BLOB disk cache

// The process-wide lock of every cache file operation.
TCriticalSection& BlobCacheLock();

// Starts a TValidateBlobCacheThread for a connected database whose expanded
// swap directory is not empty and exists; otherwise does nothing.
void StartValidateBlobCache(TFIBDatabase* Database);
// Asks every running validator to stop and waits until all are gone (unit
// finalization: no validator outlives the databases' unit).
void StopValidateBlobCacheThreads();
// Validators running now.
int ValidateBlobCacheThreadCount();

// Deletes the cache files whose BLOB the server no longer has. It connects
// with its own database (same name, parameters and client library as the
// main one) and a read-only read-committed transaction, frees itself when
// done and starts on construction (create it with Create<>).
//
// Each "*.blb" file (not links) is checked under the cache lock: a file
// without the signature and version 1 is deleted, so is one whose BLOB id
// cannot be opened. Subdirectories are walked after the files of their
// directory; hidden (".") directories and links are not entered. The walk
// ends, keeping the files, when the connection cannot be made or is lost.
class TValidateBlobCacheThread : public TThread {
 public:
  explicit TValidateBlobCacheThread(TFIBDatabase* Database);
  // Commits and frees the transaction, disconnects and frees the database.
  ~TValidateBlobCacheThread() override;

 protected:
  void Execute() override;

 private:
  void ValidateDirectory(const String& Dir);
  void ValidateFile(const String& FileName);
  // Connects and starts the transaction when needed; false (for good) once
  // that failed.
  bool Connect();

  TFIBDatabase* database_ = nullptr;
  TFIBTransaction* transaction_ = nullptr;
  String swap_dir_;
  bool stop_ = false;  // no connection: the walk ends
};
