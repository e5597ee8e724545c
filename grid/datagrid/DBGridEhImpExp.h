// Writing a data grid's rows to a stream or a file: tab-separated text, CSV,
// an RTF table and the binary VCLDBIF format. An export walks the grid's
// selection (or everything), writes the titles, one record per row and the
// footer rows, with sums and counts taken over the rows written.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "grid/datagrid/DBGridEh.h"
#include "platform/rtl/StringList.h"
#include "platform/rtl/Streams.h"

// The CSV exporter's separator when it is created.
extern char DBGridEhImpExpCsvSeparator;

class TDBGridEhExport : public TObject {
 public:
  TDBGridEhExport();
  ~TDBGridEhExport() override;

  TCustomDBGridEh* DBGridEh() const { return grid_; }
  void SetDBGridEh(TCustomDBGridEh* Value) { grid_ = Value; }
  TStream* Stream() const { return stream_; }
  TColumnsEhList* ExpCols() const { return exp_cols_.get(); }
  // One value per footer row and exported column.
  const std::vector<std::vector<Currency>>& FooterValues() const { return footer_values_; }

  virtual void ExportToStream(TStream* AStream, bool IsExportAll);
  // Replaces the file; the file stream is freed whatever happens.
  virtual void ExportToFile(const String& FileName, bool IsExportAll);

 protected:
  virtual void WritePrefix() {}
  virtual void WriteSuffix() {}
  virtual void WriteTitle(TColumnsEhList* /*Columns*/) {}
  virtual void WriteRecord(TColumnsEhList* Columns);
  virtual void WriteDataCell(TColumnEh* /*Column*/, TColCellParamsEh* /*Params*/) {}
  virtual void WriteFooter(TColumnsEhList* Columns, int FooterNo);
  virtual void WriteFooterCell(int /*DataCol*/, int /*Row*/, TColumnEh* /*Column*/, TFont* /*AFont*/,
                               TColor /*Background*/, TAlignment /*Alignment*/, const String& /*Text*/) {}

  // The bytes of the text, no terminator.
  void Put(const String& Text);
  void PutBytes(const void* Data, size_t Count);
  TColCellParamsEh* ColCellParams() const { return cell_params_.get(); }

 private:
  void CalcFooterValues();
  String FooterValueText(int Row, int Col);
  TField* FooterField(TColumnEh* Column, TColumnFooterEh* Footer) const;

  std::unique_ptr<TColCellParamsEh> cell_params_;
  TCustomDBGridEh* grid_ = nullptr;
  std::unique_ptr<TColumnsEhList> exp_cols_;
  TStream* stream_ = nullptr;
  std::vector<std::vector<Currency>> footer_values_;
};

class TDBGridEhExportAsText : public TDBGridEhExport {
 public:
  void ExportToStream(TStream* AStream, bool IsExportAll) override;

 protected:
  void WriteTitle(TColumnsEhList* Columns) override;
  void WriteRecord(TColumnsEhList* Columns) override;
  void WriteDataCell(TColumnEh* Column, TColCellParamsEh* Params) override;
  void WriteFooter(TColumnsEhList* Columns, int FooterNo) override;
  void WriteFooterCell(int DataCol, int Row, TColumnEh* Column, TFont* AFont, TColor Background,
                       TAlignment Alignment, const String& Text) override;
  virtual void CheckFirstRec();
  virtual void CheckFirstCell();
  // A cell's text as written.
  virtual String CellText(const String& Text) { return Text; }

  bool first_rec_ = true;
  bool first_cell_ = true;
  char separator_ = '\t';
};

class TDBGridEhExportAsCSV : public TDBGridEhExportAsText {
 public:
  TDBGridEhExportAsCSV();
  char Separator() const { return separator_; }
  void SetSeparator(char Value) { separator_ = Value; }

 protected:
  String CellText(const String& Text) override;
};

class TDBGridEhExportAsRTF : public TDBGridEhExport {
 public:
  TDBGridEhExportAsRTF();
  ~TDBGridEhExportAsRTF() override;
  void ExportToStream(TStream* AStream, bool IsExportAll) override;
  TStringList* ColorTable() const { return color_table_.get(); }
  TStringList* FontTable() const { return font_table_.get(); }

 protected:
  void WriteSuffix() override;
  void WriteTitle(TColumnsEhList* Columns) override;
  void WriteRecord(TColumnsEhList* Columns) override;
  void WriteDataCell(TColumnEh* Column, TColCellParamsEh* Params) override;
  void WriteFooter(TColumnsEhList* Columns, int FooterNo) override;
  void WriteFooterCell(int DataCol, int Row, TColumnEh* Column, TFont* AFont, TColor Background,
                       TAlignment Alignment, const String& Text) override;

 private:
  int ColorIndex(TColor Color);
  int FontIndex(const String& Name);
  // Cell borders of a row definition.
  enum : unsigned { bdLeft = 1, bdTop = 2, bdBottom = 4, bdRight = 8, bdAll = 15 };
  struct TCellDef {
    TColor Background;
    unsigned Borders = bdAll;
  };
  void WriteRowStart(const std::vector<TCellDef>& Cells);
  void WriteMultiTitle(TColumnsEhList* Columns);
  void WriteCell(TFont* AFont, TColor Background, TAlignment Alignment, const String& Text);

  std::unique_ptr<TStringList> color_table_;
  std::unique_ptr<TStringList> font_table_;
};

// The multi-level titles of exported columns laid out as levels x columns:
// each cell names the title node covering it (the node's text, its first and
// last column and level). Built from the "|"-separated captions; a column with
// fewer levels has its leaf stretched down to the bottom level.
struct TTitleExpCell {
  String Text;
  int Node = 0;  // the same number over the area of one node
  int Left = 0, Right = 0, Top = 0, Bottom = 0;
};
using TTitleExpArr = std::vector<std::vector<TTitleExpCell>>;  // [level][column]
TTitleExpArr BuildTitleExpArr(const std::vector<String>& Captions);

class TDBGridEhExportAsVCLDBIF : public TDBGridEhExport {
 protected:
  void WritePrefix() override;
  void WriteSuffix() override;
  void WriteDataCell(TColumnEh* Column, TColCellParamsEh* Params) override;
};

// An RTF text: "\", "{" and "}" escaped, other ASCII unchanged and every
// other character as \uN? (N the signed UTF-16 code unit).
String RtfEscapeText(const String& Text);

using TDBGridEhExportClass = std::unique_ptr<TDBGridEhExport> (*)();
template <class T>
std::unique_ptr<TDBGridEhExport> CreateDBGridEhExport() {
  return std::make_unique<T>();
}
// Creates an exporter, exports the grid and frees the exporter.
void DBGridEhExportToStream(TDBGridEhExportClass ExportClass, TCustomDBGridEh* Grid, TStream* Stream,
                            bool IsExportAll);

// ---------------------------------------------------------------------------
// Import: tab-separated text and VCLDBIF read into the grid's dataset under
// its selection (or from the current record on, appending with
// alopAppendEh).

class TDBGridEhImport : public TObject {
 public:
  TDBGridEhImport();
  ~TDBGridEhImport() override;

  TCustomDBGridEh* DBGridEh() const { return grid_; }
  void SetDBGridEh(TCustomDBGridEh* Value) { grid_ = Value; }
  TStream* Stream() const { return stream_; }
  TColumnsEhList* ImpCols() const { return imp_cols_.get(); }
  bool Eof() const { return eof_; }

  virtual void ImportFromStream(TStream* AStream, bool IsImportAll);
  virtual void ImportFromFile(const String& FileName, bool IsImportAll);

 protected:
  virtual void ReadPrefix() {}
  virtual void ReadSuffix() {}
  virtual void ReadRecord(TColumnsEhList* Columns);
  virtual void ReadDataCell(TColumnEh* /*Column*/) {}

  void SetEof(bool Value) { eof_ = Value; }
  // The field a column's value goes to (for a lookup column the key field),
  // in edit or insert state; nullptr when the value cannot be written.
  TField* EditTarget(TColumnEh* Column);
  // Runs Assign; a failure asks whether to go on (Yes, All) or to stop the
  // import silently (No), unless all errors are being ignored.
  void GuardValue(const std::function<void()>& Assign);
  bool ignore_all_errors_ = false;

 private:
  void AddRecords(bool Inserting);
  TCustomDBGridEh* grid_ = nullptr;
  TStream* stream_ = nullptr;
  std::unique_ptr<TColumnsEhList> imp_cols_;
  bool eof_ = false;
};

class TDBGridEhImportAsText : public TDBGridEhImport {
 public:
  enum TTokenKind { tkChar, tkTab, tkLineEnd, tkEos };
  void ImportFromStream(TStream* AStream, bool IsImportAll) override;

 protected:
  void ReadPrefix() override;
  void ReadRecord(TColumnsEhList* Columns) override;
  void ReadDataCell(TColumnEh* Column) override;

 private:
  void ReadToken();
  char ch_ = 0;
  TTokenKind token_ = tkEos;
  String cell_;
};

class TDBGridEhImportAsVCLDBIF : public TDBGridEhImport {
 public:
  TDBGridEhImportAsVCLDBIF();
  ~TDBGridEhImportAsVCLDBIF() override;
  void ImportFromStream(TStream* AStream, bool IsImportAll) override;
  // The stored column names (objects: visible flags) during an import.
  TStringList* FieldNames() const { return names_.get(); }
  bool NamesPresent() const { return names_present_; }

 protected:
  void ReadPrefix() override;
  void ReadRecord(TColumnsEhList* Columns) override;
  void ReadDataCell(TColumnEh* Column) override;

 private:
  void ReadValue();
  void Need(void* Buffer, Int64 Count);
  [[noreturn]] static void FormatError();
  Byte header_[12] = {};
  int32_t column_count_ = 0;
  Variant value_;
  bool names_present_ = false;
  std::unique_ptr<TStringList> names_;
};

using TDBGridEhImportClass = std::unique_ptr<TDBGridEhImport> (*)();
template <class T>
std::unique_ptr<TDBGridEhImport> CreateDBGridEhImport() {
  return std::make_unique<T>();
}
// Creates an importer, imports into the grid and frees the importer.
void DBGridEhImportFromStream(TDBGridEhImportClass ImportClass, TCustomDBGridEh* Grid, TStream* Stream,
                              bool IsImportAll);

// ---------------------------------------------------------------------------
// The clipboard

// The registered formats (set when the unit starts).
extern Word CF_VCLDBIF;
extern Word CF_CSV;
extern Word CF_RICH_TEXT_FORMAT;

void PutStreamToClipboard(Word Format, TMemoryStream* Stream);
void GetClipboardToStream(Word Format, TMemoryStream* Stream);

// With IsAll the whole dataset is the selection.
void DBGridEhCopyToClipboard(TCustomDBGridEh* Grid, bool IsAll);
void DBGridEhCutToClipboard(TCustomDBGridEh* Grid, bool IsAll);
void DBGridEhPasteFromClipboard(TCustomDBGridEh* Grid, bool IsAll);
void DBGridEhDeleteSelection(TCustomDBGridEh* Grid, bool IsAll);

class TUnit;
extern const TUnit unit_DBGridEhImpExp;
