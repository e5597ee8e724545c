// TMemDataSet: an in-memory dataset over a vector of rows, implementing the
// record-buffer protocol of TDataSet for tests of datasets, fields, data
// links and the layers built on them.
//
//   TMemDataSet ds(nullptr);
//   ds.FieldDefs()->Add("ID", ftInteger);
//   ds.FieldDefs()->Add("NAME", ftString, 20);
//   ds.Open();                                   // default fields
//   ds.AppendRows({{1, "one"}, {2, "two"}});
//
// Rows keep the native values of the fields (null flags, then each field's
// native bytes); BLOB values live beside them. A bookmark is the row's 8-byte
// id. Record buffers: id (8 bytes), bookmark flag (1 byte), the row image,
// then the calculated area.
//
// Filtering: with Filtered set, a record is shown when the filter text (parsed
// by TExprParser with poExtSyntax and evaluated by EvaluateFilter) and
// OnFilterRecord accept it. Old values (dsOldValue) are the row as it was
// when the edit began; inserted records have none.
//
// Hooks let tests make an internal operation fail: each runs before the
// operation and may throw.
#pragma once

#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <vector>

#include "platform/db/DB.h"
#include "platform/db/DBCommon.h"

class TMemDataSet : public TDataSet {
 public:
  explicit TMemDataSet(TComponent* AOwner);
  ~TMemDataSet() override;

  // Appends the rows through Append/FieldValues/Post (values by field index).
  void AppendRows(std::initializer_list<std::initializer_list<Variant>> Rows);
  // Rows stored, whatever the filter.
  int RowCount() const { return static_cast<int>(rows_.size()); }
  // The stored value of a row by field index, read through a probe buffer.
  Variant RowValue(int Row, int FieldIndex);

  bool ReadOnly() const { return read_only_; }
  void SetReadOnly(bool Value) { read_only_ = Value; }
  // The parsed filter, when there is one.
  const TExprParser* FilterParser() const { return parser_.get(); }

  void SetFilterText(const String& Value) override;
  void SetFilterOptions(TFilterOptions Value) override;
  void SetFiltered(bool Value) override;
  void SetRecNo(int Value) override;

  bool GetFieldData(TField* Field, void* Buffer) override;
  void SetFieldData(TField* Field, const void* Buffer) override;
  TStream* CreateBlobStream(TField* Field, TBlobStreamMode Mode) override;
  bool BookmarkValid(const TBookmark& Bookmark) override;
  int CompareBookmarks(const TBookmark& Bookmark1, const TBookmark& Bookmark2) override;
  bool GetCurrentRecord(TRecordBuffer Buffer) override;

  std::function<void()> OnInternalEdit;
  std::function<void()> OnInternalPost;
  std::function<void()> OnInternalDelete;
  // Protocol calls made, by name, in order ("GetRecord(gmNext)=grOK", ...).
  std::vector<String> Trace;
  bool TraceCalls = false;

 protected:
  TRecordBuffer AllocRecordBuffer() override;
  void FreeRecordBuffer(TRecordBuffer& Buffer) override;
  void GetBookmarkData(TRecordBuffer Buffer, void* Data) override;
  void SetBookmarkData(TRecordBuffer Buffer, const void* Data) override;
  TBookmarkFlag GetBookmarkFlag(TRecordBuffer Buffer) override;
  void SetBookmarkFlag(TRecordBuffer Buffer, TBookmarkFlag Value) override;
  TGetResult GetRecord(TRecordBuffer Buffer, TGetMode GetMode, bool DoCheck) override;
  int GetRecordSize() override { return header_size_ + image_size_; }
  void InternalAddRecord(const void* Buffer, bool Append) override;
  void InternalClose() override;
  void InternalDelete() override;
  void InternalEdit() override;
  void InternalCancel() override { has_old_ = false; }
  void InternalInsert() override { has_old_ = false; }
  void InternalFirst() override;
  void InternalGotoBookmark(const void* Bookmark) override;
  void InternalHandleException() override {}
  void InternalInitFieldDefs() override {}
  void InternalInitRecord(TRecordBuffer Buffer) override;
  void InternalLast() override;
  void InternalOpen() override;
  void InternalPost() override;
  void InternalSetToRecord(TRecordBuffer Buffer) override;
  bool IsCursorOpen() override { return open_; }
  int GetRecNo() override;
  int GetRecordCount() override;
  bool GetCanModify() override { return !read_only_; }
  void ClearCalcFields(TRecordBuffer Buffer) override;

 private:
  struct TRow {
    int64_t Id = 0;
    std::vector<Byte> Image;
    std::vector<std::string> Blobs;
  };

  TRecordBuffer ActiveRecBuf();
  int IndexOfId(int64_t Id) const;
  void RowToBuffer(const TRow& Row, TRecordBuffer Buffer);
  void BufferToRow(TRecordBuffer Buffer, TRow& Row);
  bool RecordAccepted(TRecordBuffer Buffer);
  void BuildParser(const String& Text, TFilterOptions Options);
  void Note(const String& S) {
    if (TraceCalls) Trace.push_back(S);
  }

  std::vector<TRow> rows_;
  int64_t next_id_ = 1;
  int cursor_ = -1;
  bool open_ = false;
  bool read_only_ = false;
  int header_size_ = 9;
  int image_size_ = 0;
  std::vector<int> offsets_;      // by field def: offset of the value in the image
  std::vector<int> sizes_;        // by field def: native size (0 for BLOBs)
  std::vector<int> blob_index_;   // by field def: BLOB slot or -1
  int blob_count_ = 0;
  std::map<TRecordBuffer, std::vector<std::string>> blobs_;
  std::unique_ptr<TExprParser> parser_;
  TRecordBuffer filter_buffer_ = nullptr;
  TRecordBuffer old_buffer_ = nullptr;
  bool has_old_ = false;
};

// Evaluates a canonical filter buffer against the dataset's current record
// (fields read through FieldByName) and returns the root's value as a
// Boolean. Covers the node classes the parser makes, constants of every type
// code, LIKE with "%" and "_", and UPPER/LOWER.
bool EvaluateFilter(const TExprData& Data, TDataSet* DataSet);
// The field map that writes every type code unchanged.
TFieldMap IdentityFieldMap();
