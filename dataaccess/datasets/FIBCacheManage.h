// The record cache of a dataset.
//
// TRecordsCache keeps fixed-size record images in blocks of BlockSize bytes,
// allocated whole, zero-filled and never moved: an image's address stays
// valid while the cache lives. Physical records are numbered from 1 in the
// order they were first stored; record p lives in block (p-1) div
// RecordsPerBlock at byte ((p-1) mod RecordsPerBlock) * RecordSize.
//
// The operations take logical record numbers (1-based; the "0" variants and
// the string operations 0-based indexes) and map them to physical ones
// through the logical index: absent until the first reordering or insert,
// then one 32-bit entry per physical record. Reordering moves index entries,
// never images.
//
// Caller layout and stored image. The caller's record (what it passes to
// ReadRecord/WriteRecord, BufferSize bytes at most) holds its stored-apart
// strings together, each as a 32-bit length followed by the field's capacity
// in bytes, from the first string offset to last offset + 4 + last size. The
// stored image leaves that stretch out: it is the caller's bytes before the
// first string offset followed directly by those after the stretch, in all
// RecordSize bytes. Without stored-apart strings the image is the caller's
// first RecordSize bytes.
//
// Stored-apart strings live in a string table: one 8-byte cell per physical
// record and string field over an append-only byte arena, so a long
// character column costs its actual length plus 8 bytes. Texts are bytes
// (zero bytes allowed, no terminator); a capacity is at most 65535 bytes. A
// view returned by GetStringCell/GetFieldString stays valid until the next
// write to the cache.
//
// Old versions. Without logging one work buffer holds the version saved by
// SaveOldVersion; it is keyed by the physical record, so that a sort, move
// or insert never makes it stand for another record, and reading the old
// version of a record that was not saved gives its current version without
// disturbing the saved one. With LogOldVersions each record keeps its own
// logged copy (LogOldVersion), one log slot per record, numbered in the
// order records were first logged.
//
// Errors are EMemManagerError with the texts of the operations below;
// nothing is changed before one is raised. Sizes, record numbers and offsets
// that would not fit 32 bits raise it too instead of wrapping.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "platform/rtl/Exceptions.h"
#include "platform/rtl/System.h"

RTL_DECLARE_EXCEPTION(EMemManagerError, Exception);

// Byte strings addressed by (column, row), over an arena of chunks that are
// never moved while they live. A write that fits the cell's current bytes
// reuses them; a longer one appends; space left behind is reclaimed by a
// compaction once it outweighs the texts in use.
class TCacheStringTable {
 public:
  explicit TCacheStringTable(int Columns) : columns_(Columns) {}

  int Columns() const { return columns_; }
  int Rows() const { return rows_; }
  // New rows are empty; the table never shrinks.
  void SetRows(int Rows);
  std::string_view Get(int Column, int Row) const {
    const uint64_t cell = CellRef(Column, Row);
    const auto length = static_cast<size_t>(cell & 0xFFFF);
    if (length == 0) return {};
    return {chunks_[cell >> 40].Data.get() + ((cell >> 16) & 0xFFFFFF), length};
  }
  // At most 65535 bytes (the caller cuts to the field's capacity first).
  void Set(int Column, int Row, const char* Data, size_t Length);
  // Bytes allocated for cells and texts.
  size_t MemoryUsed() const;

 private:
  struct TChunk {
    std::unique_ptr<char[]> Data;
    uint32_t Size = 0;
    uint32_t Used = 0;
  };
  // Cells live in pages that never move (no reallocation as rows grow).
  static constexpr size_t kPageBits = 13;
  static constexpr size_t kPageCells = size_t{1} << kPageBits;
  uint64_t& CellRef(int Column, int Row) const {
    const size_t at = static_cast<size_t>(Row) * static_cast<size_t>(columns_) + static_cast<size_t>(Column);
    return pages_[at >> kPageBits][at & (kPageCells - 1)];
  }
  void Compact();

  int columns_;
  int rows_ = 0;
  // Cell: length (16 bits), offset in chunk (24), chunk (24); 0 is empty.
  std::vector<std::unique_ptr<uint64_t[]>> pages_;
  std::vector<TChunk> chunks_;
  size_t live_ = 0;     // bytes of the texts in use
  size_t garbage_ = 0;  // bytes left behind by rewrites
};

class TRecordsCache : public TObject {
 public:
  // Block size = RecordSize * ChunkRecords; below 1024 bytes it is the least
  // multiple of BufferSize above 1024. "Incompatible Sizes" when a block
  // cannot hold one record, for sizes below 1, and for a block beyond
  // 2^31 - 1 bytes. No block exists yet: the owner adds the first one.
  TRecordsCache(Integer ChunkRecords, Integer BufferSize, Integer RecordSize, Integer StringFieldCount);
  ~TRecordsCache() override;
  TRecordsCache(const TRecordsCache&) = delete;
  TRecordsCache& operator=(const TRecordsCache&) = delete;

  Integer BlockSize() const { return block_size_; }
  Integer RecordSize() const { return record_size_; }
  Integer BufferSize() const { return buffer_size_; }
  Integer RecordsPerBlock() const { return records_per_block_; }
  // The highest physical record number stored so far.
  Integer RecordCount() const { return record_count_; }
  Integer StringFieldCount() const { return static_cast<Integer>(string_offsets_.size()); }
  bool LogOldVersions() const { return log_old_versions_; }
  void SetLogOldVersions(bool Value) { log_old_versions_ = Value; }
  bool HasIndex() const { return has_index_; }

  // --- Blocks
  Integer BlockCount() const { return static_cast<Integer>(blocks_.size()); }
  // Appends a zero-filled block; the new count.
  Integer AddBlock();
  Integer LogBlockCount() const { return static_cast<Integer>(log_blocks_.size()); }
  Integer LogCount() const { return log_count_; }

  // Offset and capacity of stored-apart string field I (1-based) in the
  // caller's layout; ignored for I outside 1..StringFieldCount. A layout
  // that the caller's record cannot hold raises "Incompatible Sizes".
  void SetStringFieldLayout(Integer I, Integer Offset, Integer Size);

  // --- Records
  // Makes room for the record (extending the index, the record count, the
  // blocks and the string rows as needed) and returns its stored image.
  // "Can't write to Buffer.Incorrect RecordNo" below 1.
  Byte* GetRecordForWrite(Integer RecordNo);
  void ReadRecord(Integer RecordNo, void* Buffer) { ReadRecordEx(RecordNo, Buffer, false); }
  // The stored image in the caller's layout; FromLog reads the logged old
  // version when there is one. A string longer than its capacity is cut in
  // the table itself; a shorter one is followed by a zero byte. "Can't read
  // Buffer.Incorrect RecordNo" / "Can't read LogBuffer.Incorrect RecordNo"
  // beyond the blocks.
  void ReadRecordEx(Integer RecordNo, void* Buffer, bool FromLog);
  // The caller's record as the current version (nullptr: zero bytes and
  // empty strings). Extend makes room first; without it "Can't write to
  // Buffer.Incorrect RecordNo" beyond the blocks.
  void WriteRecord(Integer RecordNo, const void* Buffer, bool Extend);
  // "Can't read Buffer.Incorrect RecordNo" beyond the blocks; FindRecordPtr
  // gives nullptr there.
  Byte* GetRecordPtr(Integer RecordNo);
  Byte* FindRecordPtr(Integer RecordNo);
  // RecPtr := the stored image; the result is RecPtr + Offset (an offset in
  // the stored image). GetFieldPtr0 takes a 0-based index. "Can't read
  // FieldData .Incorrect RecordNo" beyond the blocks.
  Byte* GetFieldPtr(Integer RecordNo, Integer Offset, Byte*& RecPtr);
  Byte* GetFieldPtr0(Integer Index, Integer Offset, Byte*& RecPtr);
  // Stored-apart string StringIndex (0-based) of a record, or of a 0-based
  // index; the same error beyond the blocks or the string rows.
  std::string_view GetFieldString(Integer RecordNo, Integer StringIndex);
  std::string_view GetStringCell(Integer Index, Integer Column);
  // Stores a string of a 0-based index (rows are added up to the record). A
  // value longer than the capacity is cut to it and loses its trailing bytes
  // below 33 (when none go, it is stored whole and reading cuts it); a value
  // ending in a blank is stored right-trimmed; an empty value empties the
  // cell.
  void SetStringValue(Integer Column, Integer Index, std::string_view Value);
  // Stores Length bytes of Chars (Length < 0: the capacity; never more).
  // With Trim, trailing blanks go first and, when the text became shorter
  // than the capacity, a zero byte is written into Chars behind it.
  void SetStringFromBuffer(Integer Column, Integer Index, bool Trim, Integer Length, char* Chars);

  // --- Old versions
  // A full-width buffer (BufferSize bytes) with the record's old version in
  // the caller's layout: the logged one, or the one SaveOldVersion kept, or
  // else the current version; all 1 bytes beyond the record count.
  Byte* GetOldVersion(Integer RecordNo);
  void SaveOldVersion(Integer RecordNo);
  // Copies the current version into the record's log slot (one per record).
  void LogOldVersion(Integer RecordNo);
  void RestoreOldVersion(Integer RecordNo) { WriteRecord(RecordNo, GetOldVersion(RecordNo), false); }
  // Frees the log; logging starts again from slot 1.
  void ClearLog();

  // --- Order (each builds the identity index first when there is none).
  // 0-based positions; "Can't move record.Incorrect RecordNo" outside the
  // records.
  void SwapRecords(Integer I, Integer J);
  void MoveRecord(Integer From, Integer To);
  // Positions 0..Order.size()-1 take the records that stood at Order[i]
  // (a permutation of those positions; anything else raises before a
  // change). The records after them stay.
  void ReorderRecords(std::span<const Integer> Order);
  // A new physical record (count + 1) at Position (0..count).
  void InsertRecord(Integer Position);
  // -1 for a number outside the records (with an index) or below 1.
  Integer PhysicalRecordNo(Integer RecordNo) const;
  Integer PhysicalRecordNo0(Integer Index) const { return PhysicalRecordNo(Index + 1); }
  // 0-based logical position of a physical record; -1 when absent. A
  // reordered index keeps a reverse map, rebuilt on the first look-up after
  // a reordering (appended records keep it).
  Integer LogicalIndexOf(Integer Physical) const;
  bool RecordExists(Integer Physical) const;

  // Bytes the cache holds: blocks, index, strings, log and buffers.
  size_t MemoryUsed() const;

  // Raises EMemManagerError with Message.
  [[noreturn]] static void RaiseError(const char* Message);

 private:
  void BuildIndex();
  Integer PhysicalOrRaise(Integer RecordNo, const char* Message) const;
  Byte* ImageOf(const std::vector<std::unique_ptr<Byte[]>>& Blocks, Integer Number, const char* Message) const;
  void EnsureBlocks(Integer Physical);
  void EnsureStringRows(TCacheStringTable& Table, Integer Rows);
  Integer StringCapacity(Integer Column) const { return string_sizes_[static_cast<size_t>(Column)]; }
  void StoreString(TCacheStringTable& Table, Integer Column, Integer Row, std::string_view Value);
  void CheckStringColumn(Integer Column) const;
  // Image <-> caller's layout.
  void ImageToCaller(const Byte* Image, TCacheStringTable* Strings, Integer Row, Byte* Buffer);
  void CallerToImage(const Byte* Buffer, Byte* Image, Integer Row);
  // Log slot of a physical record; 0 when it was not logged.
  Integer LogSlotOf(Integer Physical) const {
    const auto at = static_cast<size_t>(Physical - 1);
    return at < log_slots_.size() ? log_slots_[at] : 0;
  }

  Integer block_size_;
  Integer record_size_;
  Integer buffer_size_;
  Integer records_per_block_;
  Integer record_count_ = 0;
  bool log_old_versions_ = false;

  bool has_index_ = false;
  std::vector<Integer> index_;
  mutable std::vector<Integer> positions_;  // physical - 1 -> logical position
  mutable bool positions_valid_ = false;
  std::unique_ptr<TCacheStringTable> strings_;
  std::unique_ptr<TCacheStringTable> log_strings_;
  std::vector<std::unique_ptr<Byte[]>> blocks_;
  std::vector<std::unique_ptr<Byte[]>> log_blocks_;
  // Log slot by physical record (entry p - 1; 0: not logged): one look-up
  // or insertion per logged record in any order.
  std::vector<Integer> log_slots_;
  Integer log_count_ = 0;
  std::vector<Integer> string_offsets_;  // -1 until set
  std::vector<Integer> string_sizes_;
  Integer strings_start_ = 0;  // first string offset
  Integer strings_end_ = 0;    // end of the string stretch

  std::unique_ptr<Byte[]> work_;     // the saved old version
  Integer work_physical_ = -1;       // its record
  std::unique_ptr<Byte[]> scratch_;  // old versions handed out otherwise
};
