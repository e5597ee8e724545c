#include "grid/datagrid/DBGridEhImpExp.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <exception>

#include "grid/toolkit/GridLibVCL.h"
#include "platform/gui/Clipbrd.h"
#include "platform/gui/Dialogs.h"
#include "platform/rtl/Locale.h"
#include "platform/rtl/UnitInit.h"
#include "platform/gui/GDI.h"
#include "platform/rtl/SysUtils.h"

char DBGridEhImpExpCsvSeparator = ';';

namespace {

// Disables the dataset's controls and, when asked to, returns to the record
// current at the start however the operation ends; with KeepEdited a record
// a failure left in edit or insert state stays so.
class TRecordGuard {
 public:
  TRecordGuard(TDataSet* DataSet, bool Return, bool KeepEdited = false) : ds_(DataSet), keep_edited_(KeepEdited) {
    if (Return) bookmark_ = ds_->GetBookmark();
    ds_->DisableControls();
  }
  ~TRecordGuard() {
    const bool keep = keep_edited_ && std::uncaught_exceptions() > 0 && ds_->State() != dsBrowse;
    try {
      if (!bookmark_.empty() && !keep && ds_->BookmarkValid(bookmark_)) ds_->GotoBookmark(bookmark_);
    } catch (...) {
    }
    ds_->EnableControls();
  }
  TRecordGuard(const TRecordGuard&) = delete;
  TRecordGuard& operator=(const TRecordGuard&) = delete;

 private:
  TDataSet* ds_;
  bool keep_edited_;
  TBookmark bookmark_;
};

}  // namespace

// ---------------------------------------------------------------------------
// TDBGridEhExport

TDBGridEhExport::TDBGridEhExport()
    : cell_params_(std::make_unique<TColCellParamsEh>()), exp_cols_(std::make_unique<TColumnsEhList>()) {}

TDBGridEhExport::~TDBGridEhExport() = default;

void TDBGridEhExport::Put(const String& Text) {
  if (!Text.empty()) stream_->WriteBuffer(Text.data(), static_cast<Int64>(Text.size()));
}

void TDBGridEhExport::PutBytes(const void* Data, size_t Count) {
  if (Count > 0) stream_->WriteBuffer(Data, static_cast<Int64>(Count));
}

void TDBGridEhExport::ExportToFile(const String& FileName, bool IsExportAll) {
  TFileStream file(FileName, fmCreate);
  ExportToStream(&file, IsExportAll);
}

void TDBGridEhExport::ExportToStream(TStream* AStream, bool IsExportAll) {
  stream_ = AStream;
  TDBGridEhSelection* selection = grid_->Selection();
  const TDBGridEhSelectionType kind = IsExportAll ? gstAll : selection->SelectionType();
  if (kind == gstNon) return;
  TDataSet* ds = grid_->DataLink()->DataSet();
  if (ds == nullptr || !ds->Active()) return;
  {
    TRecordGuard guard(ds, true);
    // The columns: the selected ones, the rectangle's span of the visible
    // ones, or every visible one.
    exp_cols_->Clear();
    TColumnsEhList* visible = grid_->VisibleColumns();
    if (kind == gstColumns) {
      TDBGridEhSelectionCols* cols = selection->Columns();
      for (int i = 0; i < cols->Count(); ++i) exp_cols_->Add(cols->Items(i));
    } else {
      int first = 0, last = visible->Count() - 1;
      if (kind == gstRectangle) {
        first = std::max(first, selection->Rect()->LeftCol());
        last = std::min(last, selection->Rect()->RightCol());
      }
      for (int i = first; i <= last; ++i) exp_cols_->Add(visible->Items(i));
    }
    footer_values_.assign(static_cast<size_t>(std::max(0, grid_->FooterRowCount())),
                          std::vector<Currency>(static_cast<size_t>(exp_cols_->Count())));
    WritePrefix();
    if (grid_->Options().Contains(dgTitles)) WriteTitle(exp_cols_.get());
    auto row = [&] {
      WriteRecord(exp_cols_.get());
      CalcFooterValues();
    };
    if (kind == gstRecordBookmarks) {
      TBookmarkListEh* rows = selection->Rows();
      for (int i = 0; i < rows->Count(); ++i) {
        ds->GotoBookmark(rows->Items(i));
        row();
      }
    } else if (kind == gstRectangle) {
      // From the top row until the bottom row or the end of the dataset.
      const TBookmark bottom = selection->Rect()->BottomRow();
      ds->GotoBookmark(selection->Rect()->TopRow());
      while (!ds->Eof()) {
        row();
        if (DataSetCompareBookmarks(ds, ds->GetBookmark(), bottom) == 0) break;
        ds->Next();
      }
    } else {
      ds->First();
      while (!ds->Eof()) {
        row();
        ds->Next();
      }
    }
    for (int r = 0; r < grid_->FooterRowCount(); ++r) WriteFooter(exp_cols_.get(), r);
  }
  WriteSuffix();
}

void TDBGridEhExport::WriteRecord(TColumnsEhList* Columns) {
  TColCellParamsEh* p = cell_params_.get();
  for (int i = 0; i < Columns->Count(); ++i) {
    TColumnEh* c = Columns->Items(i);
    p->Font->Assign(c->Font());
    p->Background = c->Color();
    p->Alignment = c->Alignment();
    p->ImageIndex = c->GetKeyIndex();
    p->Text = c->GetDisplayText();
    p->CheckboxState = c->GetCheckboxState();
    p->ReadOnly = c->ReadOnly();
    p->State = TGridDrawState();
    if (grid_->OnGetCellParams()) grid_->OnGetCellParams()(grid_, c, p->Font.get(), p->Background, p->State);
    if (c->OnGetCellParams()) c->OnGetCellParams()(c, false, p);
    WriteDataCell(c, p);
  }
}

void TDBGridEhExport::WriteFooter(TColumnsEhList* Columns, int FooterNo) {
  TFont font;
  for (int i = 0; i < Columns->Count(); ++i) {
    TColumnEh* c = Columns->Items(i);
    TColumnFooterEh* f = c->UsedFooter(FooterNo);
    font.Assign(f->Font());
    TColor background = f->Color();
    TAlignment alignment = f->Alignment();
    String text = (f->ValueType() == fvtSum || f->ValueType() == fvtCount) ? FooterValueText(FooterNo, i)
                                                                            : grid_->GetFooterValue(FooterNo, c);
    if (grid_->OnGetFooterParams())
      grid_->OnGetFooterParams()(grid_, i, FooterNo, c, &font, background, alignment, TGridDrawState(), text);
    WriteFooterCell(i, FooterNo, c, &font, background, alignment, text);
  }
}

TField* TDBGridEhExport::FooterField(TColumnEh* Column, TColumnFooterEh* Footer) const {
  TDataSet* ds = grid_->DataLink()->DataSet();
  if (ds == nullptr) return nullptr;
  return ds->FindField(Footer->FieldName().empty() ? Column->FieldName() : Footer->FieldName());
}

void TDBGridEhExport::CalcFooterValues() {
  for (int r = 0; r < static_cast<int>(footer_values_.size()); ++r)
    for (int i = 0; i < exp_cols_->Count(); ++i) {
      TColumnEh* c = exp_cols_->Items(i);
      TColumnFooterEh* f = c->UsedFooter(r);
      TField* field = FooterField(c, f);
      if (field == nullptr) continue;
      Currency& acc = footer_values_[static_cast<size_t>(r)][static_cast<size_t>(i)];
      if (f->ValueType() == fvtSum) {
        if (!field->IsNull()) acc.Value = std::llrint(static_cast<double>(acc.Value) + field->AsFloat() * 10000.0);
      } else if (f->ValueType() == fvtCount) {
        acc.Value += 10000;
      }
    }
}

String TDBGridEhExport::FooterValueText(int Row, int Col) {
  TColumnEh* c = exp_cols_->Items(Col);
  TColumnFooterEh* f = c->UsedFooter(Row);
  const Currency v = footer_values_[static_cast<size_t>(Row)][static_cast<size_t>(Col)];
  if (f->ValueType() == fvtCount) return FloatToStr(v.ToDouble());
  TField* field = FooterField(c, f);
  if (field == nullptr) return String();
  if (auto* bcd = dynamic_cast<TBCDField*>(field)) {
    if (!bcd->DisplayFormat().empty()) return FormatCurr(bcd->DisplayFormat(), v);
    if (bcd->Currency()) return CurrToStrF(v, ffCurrency, FormatSettings.CurrencyDecimals);
    return CurrToStrF(v, ffGeneral, 0);
  }
  if (auto* fl = dynamic_cast<TFloatField*>(field)) {
    if (!fl->DisplayFormat().empty()) return FormatFloat(fl->DisplayFormat(), v.ToDouble());
    if (fl->Currency()) return FloatToStrF(v.ToDouble(), ffCurrency, fl->Precision(), FormatSettings.CurrencyDecimals);
    return FloatToStrF(v.ToDouble(), ffGeneral, fl->Precision(), 0);
  }
  if (auto* in = dynamic_cast<TIntegerField*>(field)) {
    if (!in->DisplayFormat().empty()) return FormatFloat(in->DisplayFormat(), v.ToDouble());
    return IntToStr(static_cast<int64_t>(v.Value / 10000));
  }
  return String();
}

// ---------------------------------------------------------------------------
// Text and CSV

void TDBGridEhExportAsText::ExportToStream(TStream* AStream, bool IsExportAll) {
  first_rec_ = true;
  TDBGridEhExport::ExportToStream(AStream, IsExportAll);
}

void TDBGridEhExportAsText::CheckFirstRec() {
  if (first_rec_)
    first_rec_ = false;
  else
    Put("\r\n");
  first_cell_ = true;
}

void TDBGridEhExportAsText::CheckFirstCell() {
  if (first_cell_)
    first_cell_ = false;
  else
    Put(String(1, separator_));
}

void TDBGridEhExportAsText::WriteTitle(TColumnsEhList* Columns) {
  CheckFirstRec();
  for (int i = 0; i < Columns->Count(); ++i) {
    CheckFirstCell();
    Put(CellText(Columns->Items(i)->Title()->Caption()));
  }
}

void TDBGridEhExportAsText::WriteRecord(TColumnsEhList* Columns) {
  CheckFirstRec();
  TDBGridEhExport::WriteRecord(Columns);
}

void TDBGridEhExportAsText::WriteDataCell(TColumnEh* /*Column*/, TColCellParamsEh* Params) {
  CheckFirstCell();
  Put(CellText(Params->Text));
}

void TDBGridEhExportAsText::WriteFooter(TColumnsEhList* Columns, int FooterNo) {
  CheckFirstRec();
  TDBGridEhExport::WriteFooter(Columns, FooterNo);
}

void TDBGridEhExportAsText::WriteFooterCell(int, int, TColumnEh*, TFont*, TColor, TAlignment, const String& Text) {
  CheckFirstCell();
  Put(CellText(Text));
}

TDBGridEhExportAsCSV::TDBGridEhExportAsCSV() { separator_ = DBGridEhImpExpCsvSeparator; }

String TDBGridEhExportAsCSV::CellText(const String& Text) {
  String s = "\"";
  for (char ch : Text) {
    if (ch == '"') s += '"';
    s += ch;
  }
  s += '"';
  return s;
}

// ---------------------------------------------------------------------------
// RTF

String RtfEscapeText(const String& Text) {
  String out;
  const auto* p = reinterpret_cast<const unsigned char*>(Text.data());
  const size_t n = Text.size();
  auto unit = [&out](uint32_t u) { out += "\\u" + IntToStr(static_cast<int>(static_cast<int16_t>(u))) + "?"; };
  for (size_t i = 0; i < n;) {
    const unsigned char b = p[i];
    if (b < 0x80) {
      if (b == '\\' || b == '{' || b == '}') out += '\\';
      out += static_cast<char>(b);
      ++i;
      continue;
    }
    int len = b >= 0xF0 && b < 0xF8 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 0;
    uint32_t cp = len == 4 ? b & 0x07u : len == 3 ? b & 0x0Fu : b & 0x1Fu;
    bool ok = len > 0 && i + static_cast<size_t>(len) <= n;
    for (int k = 1; ok && k < len; ++k) {
      if ((p[i + static_cast<size_t>(k)] & 0xC0) != 0x80) ok = false;
      else cp = (cp << 6) | (p[i + static_cast<size_t>(k)] & 0x3Fu);
    }
    if (!ok || cp > 0x10FFFF) {  // a stray byte: the replacement character
      unit(0xFFFD);
      ++i;
      continue;
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      unit(0xD800 + (cp >> 10));
      unit(0xDC00 + (cp & 0x3FF));
    } else {
      unit(cp);
    }
    i += static_cast<size_t>(len);
  }
  return out;
}

TDBGridEhExportAsRTF::TDBGridEhExportAsRTF()
    : color_table_(std::make_unique<TStringList>()), font_table_(std::make_unique<TStringList>()) {}

TDBGridEhExportAsRTF::~TDBGridEhExportAsRTF() = default;

int TDBGridEhExportAsRTF::ColorIndex(TColor Color) {
  const int32_t rgb = ColorToRGB(Color);
  char key[16];
  std::snprintf(key, sizeof key, "%3d%3d%3d", rgb & 0xFF, (rgb >> 8) & 0xFF, (rgb >> 16) & 0xFF);
  int i = color_table_->IndexOf(key);
  return i >= 0 ? i : color_table_->Add(key);
}

int TDBGridEhExportAsRTF::FontIndex(const String& Name) {
  int i = font_table_->IndexOf(Name);
  return i >= 0 ? i : font_table_->Add(Name);
}

void TDBGridEhExportAsRTF::ExportToStream(TStream* AStream, bool IsExportAll) {
  color_table_->Clear();
  font_table_->Clear();
  ColorIndex(clBlack);
  ColorIndex(clWhite);
  ColorIndex(clBtnFace);
  TMemoryStream body;
  TDBGridEhExport::ExportToStream(&body, IsExportAll);
  String head = "{\\rtf0\\ansi\r\n{\\colortbl";
  for (int i = 0; i < color_table_->Count(); ++i) {
    const String& key = color_table_->Strings(i);
    head += "\\red" + IntToStr(StrToInt(Trim(key.substr(0, 3)))) + "\\green" +
            IntToStr(StrToInt(Trim(key.substr(3, 3)))) + "\\blue" + IntToStr(StrToInt(Trim(key.substr(6, 3)))) + ";";
  }
  head += "}\r\n{\\fonttbl";
  for (int i = 0; i < font_table_->Count(); ++i) head += "\\f" + IntToStr(i) + "\\fnil " + font_table_->Strings(i) + ";";
  head += "}\r\n";
  AStream->WriteBuffer(head.data(), static_cast<Int64>(head.size()));
  body.SetPosition(0);
  if (body.Size() > 0) AStream->CopyFrom(&body, body.Size());
}

void TDBGridEhExportAsRTF::WriteSuffix() { Put("}"); }

void TDBGridEhExportAsRTF::WriteRowStart(const std::vector<TCellDef>& Cells) {
  Put("\\trowd\\trgaph40\r\n");
  const int ppi = std::max(1, GetDeviceCaps(DBGridEh()->Canvas()->Handle(), LOGPIXELSX));
  int right = 0;
  for (int i = 0; i < ExpCols()->Count(); ++i) {
    const TCellDef& cell = Cells[static_cast<size_t>(i)];
    const std::pair<unsigned, const char*> borders[] = {
        {bdLeft, "\\clbrdrl"}, {bdTop, "\\clbrdrt"}, {bdBottom, "\\clbrdrb"}, {bdRight, "\\clbrdrr"}};
    for (const auto& [bit, name] : borders)
      if ((cell.Borders & bit) != 0) Put(String(name) + "\\brdrs\\brdrcf0\r\n");
    right += static_cast<int>(static_cast<double>(ExpCols()->Items(i)->Width()) / ppi * 1440);
    Put("\\clshdng10000\\clcfpat" + IntToStr(ColorIndex(cell.Background)) + "\\cellx" + IntToStr(right) + "\r\n");
  }
  Put("{\\trrh0\r\n");
}

void TDBGridEhExportAsRTF::WriteCell(TFont* AFont, TColor Background, TAlignment Alignment, const String& Text) {
  const char* spacing = DBGridEh()->Flat() ? "12" : "24";
  String s = "\\pard\\intbl{";
  s += Alignment == taRightJustify ? "\\qr" : Alignment == taCenter ? "\\qc" : "\\ql";
  s += String("\\sb") + spacing + "\\sa" + spacing;
  s += "\\fs" + IntToStr(AFont->Size() * 2);
  const TFontStyles st = AFont->Style();
  if (st.Contains(fsBold)) s += "\\b";
  if (st.Contains(fsItalic)) s += "\\i";
  if (st.Contains(fsStrikeOut)) s += "\\strike";
  if (st.Contains(fsUnderline)) s += "\\ul";
  s += "\\f" + IntToStr(FontIndex(AFont->Name())) + "\\cf" + IntToStr(ColorIndex(AFont->Color())) + "\\cb" +
       IntToStr(ColorIndex(Background)) + " ";
  s += RtfEscapeText(Text) + "\\cell}\r\n";
  Put(s);
}

void TDBGridEhExportAsRTF::WriteTitle(TColumnsEhList* Columns) {
  if (DBGridEh()->UseMultiTitle()) return WriteMultiTitle(Columns);
  std::vector<TCellDef> cells;
  for (int i = 0; i < Columns->Count(); ++i) cells.push_back({Columns->Items(i)->Title()->Color()});
  WriteRowStart(cells);
  for (int i = 0; i < Columns->Count(); ++i) {
    TColumnTitleEh* t = Columns->Items(i)->Title();
    WriteCell(t->Font(), t->Color(), t->Alignment(), t->Caption());
  }
  Put("\\pard\\intbl\\row}\r\n");
}

void TDBGridEhExportAsRTF::WriteMultiTitle(TColumnsEhList* Columns) {
  std::vector<String> captions;
  for (int i = 0; i < Columns->Count(); ++i) captions.push_back(Columns->Items(i)->Title()->Caption());
  const TTitleExpArr arr = BuildTitleExpArr(captions);
  const int levels = static_cast<int>(arr.size());
  for (int level = 0; level < levels; ++level) {
    const bool leaf_row = level == levels - 1;
    std::vector<TCellDef> cells;
    for (int i = 0; i < Columns->Count(); ++i) {
      const TTitleExpCell& c = arr[static_cast<size_t>(level)][static_cast<size_t>(i)];
      unsigned b = 0;
      if (c.Left == i) b |= bdLeft;
      if (c.Right == i) b |= bdRight;
      if (c.Top == level) b |= bdTop;
      if (c.Bottom == level) b |= bdBottom;
      cells.push_back({leaf_row ? Columns->Items(i)->Title()->Color() : DBGridEh()->FixedColor(), b});
    }
    WriteRowStart(cells);
    for (int i = 0; i < Columns->Count(); ++i) {
      const TTitleExpCell& c = arr[static_cast<size_t>(level)][static_cast<size_t>(i)];
      TColumnTitleEh* t = Columns->Items(i)->Title();
      // A node's text goes in the first column of its area, on its bottom level.
      const String text = c.Left == i && c.Bottom == level ? c.Text : String();
      if (leaf_row)
        WriteCell(t->Font(), t->Color(), t->Alignment(), text);
      else
        WriteCell(t->Font(), DBGridEh()->FixedColor(), taCenter, text);
    }
    Put("\\pard\\intbl\\row}\r\n");
  }
}

TTitleExpArr BuildTitleExpArr(const std::vector<String>& Captions) {
  std::vector<std::vector<String>> parts;
  size_t levels = 1;
  for (const String& caption : Captions) {
    std::vector<String> p;
    size_t from = 0;
    for (size_t bar; (bar = caption.find('|', from)) != String::npos; from = bar + 1)
      p.push_back(caption.substr(from, bar - from));
    p.push_back(caption.substr(from));
    levels = std::max(levels, p.size());
    parts.push_back(std::move(p));
  }
  const int cols = static_cast<int>(Captions.size());
  const int lv = static_cast<int>(levels);
  TTitleExpArr arr(levels, std::vector<TTitleExpCell>(Captions.size()));
  // Whether column i sits under the same upper node as column i-1 at a level.
  auto joined = [&](int i, int level) {
    if (i == 0) return false;
    const auto& a = parts[static_cast<size_t>(i - 1)];
    const auto& b = parts[static_cast<size_t>(i)];
    if (static_cast<int>(a.size()) - 1 <= level || static_cast<int>(b.size()) - 1 <= level) return false;
    for (int k = 0; k <= level; ++k)
      if (a[static_cast<size_t>(k)] != b[static_cast<size_t>(k)]) return false;
    return true;
  };
  int node = 0;
  for (int level = 0; level < lv; ++level)
    for (int i = 0; i < cols;) {
      const auto& p = parts[static_cast<size_t>(i)];
      const int leaf_top = static_cast<int>(p.size()) - 1;
      if (level >= leaf_top) {  // the column's own leaf, stretched down
        if (level == leaf_top) {
          ++node;
          for (int l = leaf_top; l < lv; ++l)
            arr[static_cast<size_t>(l)][static_cast<size_t>(i)] = {p.back(), node, i, i, leaf_top, lv - 1};
        }
        ++i;
        continue;
      }
      int j = i;
      while (j + 1 < cols && joined(j + 1, level)) ++j;
      ++node;
      for (int k = i; k <= j; ++k)
        arr[static_cast<size_t>(level)][static_cast<size_t>(k)] = {p[static_cast<size_t>(level)], node, i, j, level,
                                                                   level};
      i = j + 1;
    }
  return arr;
}

void TDBGridEhExportAsRTF::WriteRecord(TColumnsEhList* Columns) {
  // The row's shading needs each cell's background after the grid's event.
  std::vector<TCellDef> backgrounds;
  TFont font;
  for (int i = 0; i < Columns->Count(); ++i) {
    TColumnEh* c = Columns->Items(i);
    TColor bg = c->Color();
    font.Assign(c->Font());
    if (DBGridEh()->OnGetCellParams()) DBGridEh()->OnGetCellParams()(DBGridEh(), c, &font, bg, TGridDrawState());
    backgrounds.push_back({bg});
  }
  WriteRowStart(backgrounds);
  TDBGridEhExport::WriteRecord(Columns);
  Put("\\pard\\intbl\\row}\r\n");
}

void TDBGridEhExportAsRTF::WriteDataCell(TColumnEh* /*Column*/, TColCellParamsEh* Params) {
  WriteCell(Params->Font.get(), Params->Background, Params->Alignment, Params->Text);
}

void TDBGridEhExportAsRTF::WriteFooter(TColumnsEhList* Columns, int FooterNo) {
  std::vector<TCellDef> backgrounds;
  TFont font;
  for (int i = 0; i < Columns->Count(); ++i) {
    TColumnEh* c = Columns->Items(i);
    TColumnFooterEh* f = c->UsedFooter(FooterNo);
    TColor bg = f->Color();
    TAlignment al = f->Alignment();
    String text;
    font.Assign(f->Font());
    if (DBGridEh()->OnGetFooterParams())
      DBGridEh()->OnGetFooterParams()(DBGridEh(), i, FooterNo, c, &font, bg, al, TGridDrawState(), text);
    backgrounds.push_back({bg});
  }
  WriteRowStart(backgrounds);
  TDBGridEhExport::WriteFooter(Columns, FooterNo);
  Put("\\pard\\intbl\\row}\r\n");
}

void TDBGridEhExportAsRTF::WriteFooterCell(int, int, TColumnEh*, TFont* AFont, TColor Background,
                                           TAlignment Alignment, const String& Text) {
  WriteCell(AFont, Background, Alignment, Text);
}

// ---------------------------------------------------------------------------
// VCLDBIF

namespace {

void PutInt32(TStream* S, int32_t V) {
  Byte b[4] = {static_cast<Byte>(V), static_cast<Byte>(V >> 8), static_cast<Byte>(V >> 16),
               static_cast<Byte>(V >> 24)};
  S->WriteBuffer(b, 4);
}

void PutByte(TStream* S, Byte V) { S->WriteBuffer(&V, 1); }

}  // namespace

void TDBGridEhExportAsVCLDBIF::WritePrefix() {
  Put("VCLDBIF");
  PutByte(Stream(), 1);
  PutInt32(Stream(), ExpCols()->Count());
  for (int i = 0; i < ExpCols()->Count(); ++i) {
    PutByte(Stream(), ExpCols()->Items(i)->Visible() ? 1 : 0);
    PutByte(Stream(), 0);
  }
}

void TDBGridEhExportAsVCLDBIF::WriteSuffix() { PutByte(Stream(), 0); }

namespace {

// The digits a decimal field's value needs: those of its integer part
// (from the first non-zero one) and the field's scale.
int DecimalDigits(TField* Field) {
  int n = 0;
  bool leading = true;
  for (const char ch : Field->AsString()) {
    if (ch < '0' || ch > '9') {
      if (ch == '-' || ch == '+' || ch == ' ') continue;
      break;  // the decimal separator
    }
    if (leading && ch == '0') continue;
    leading = false;
    ++n;
  }
  return n + Field->Size();
}

}  // namespace

void TDBGridEhExportAsVCLDBIF::WriteDataCell(TColumnEh* Column, TColCellParamsEh* /*Params*/) {
  TField* f = Column->Field();
  if (f != nullptr && f->Lookup() && f->DataSet() != nullptr) f = f->DataSet()->FindField(f->KeyFields());
  if (f == nullptr) return PutByte(Stream(), 1);
  switch (f->DataType()) {
    case ftUnknown: case ftCursor: case ftADT: case ftArray: case ftReference: case ftDataSet: case ftVariant:
    case ftInterface: case ftIDispatch:
      return PutByte(Stream(), 1);
    default: break;
  }
  if (f->IsNull()) return PutByte(Stream(), 2);
  switch (f->DataType()) {
    case ftSmallint: case ftInteger: case ftWord: case ftAutoInc:
      PutByte(Stream(), 3);
      PutInt32(Stream(), f->AsInteger());
      return;
    case ftFloat: case ftCurrency: case ftBCD: case ftDate: case ftTime: case ftDateTime: case ftTimeStamp:
    case ftFMTBcd: {
      // A decimal of more significant digits than a double holds goes as
      // its exact text (a string value, which the import assigns as text).
      if ((f->DataType() == ftBCD || f->DataType() == ftFMTBcd) && DecimalDigits(f) > 15) {
        const String s = f->AsString();
        PutByte(Stream(), 5);
        PutInt32(Stream(), static_cast<int32_t>(s.size()));
        Put(s);
        return;
      }
      PutByte(Stream(), 4);
      const double d = f->AsFloat();
      uint64_t bits;
      std::memcpy(&bits, &d, 8);
      Byte b[8];
      for (int k = 0; k < 8; ++k) b[k] = static_cast<Byte>(bits >> (8 * k));
      PutBytes(b, 8);
      return;
    }
    case ftString: case ftBoolean: case ftMemo: case ftFixedChar: case ftLargeint: case ftOraClob: case ftGuid:
    case ftBytes: case ftVarBytes: case ftBlob: case ftGraphic: case ftFmtMemo: case ftParadoxOle:
    case ftDBaseOle: case ftTypedBinary: case ftWideString: case ftOraBlob: {
      const bool text = f->DataType() == ftString || f->DataType() == ftBoolean || f->DataType() == ftMemo ||
                        f->DataType() == ftFixedChar || f->DataType() == ftLargeint ||
                        f->DataType() == ftOraClob || f->DataType() == ftGuid;
      PutByte(Stream(), text ? 5 : 6);
      const String s = f->AsString();
      PutInt32(Stream(), static_cast<int32_t>(s.size()));
      Put(s);
      return;
    }
    default:
      return PutByte(Stream(), 1);
  }
}

// ---------------------------------------------------------------------------

void DBGridEhExportToStream(TDBGridEhExportClass ExportClass, TCustomDBGridEh* Grid, TStream* Stream,
                            bool IsExportAll) {
  std::unique_ptr<TDBGridEhExport> exporter = ExportClass();
  exporter->SetDBGridEh(Grid);
  exporter->ExportToStream(Stream, IsExportAll);
}

// ---------------------------------------------------------------------------
// Import


TDBGridEhImport::TDBGridEhImport() : imp_cols_(std::make_unique<TColumnsEhList>()) {}

TDBGridEhImport::~TDBGridEhImport() = default;

void TDBGridEhImport::ReadRecord(TColumnsEhList* Columns) {
  for (int i = 0; i < Columns->Count(); ++i) ReadDataCell(Columns->Items(i));
}

void TDBGridEhImport::ImportFromFile(const String& FileName, bool IsImportAll) {
  TFileStream file(FileName, fmOpenRead);
  ImportFromStream(&file, IsImportAll);
}

TField* TDBGridEhImport::EditTarget(TColumnEh* Column) {
  if (Column == nullptr || !Column->CanModify(false)) return nullptr;
  TField* target = Column->Field();
  if (target->FieldKind() == fkLookup) {
    if (target->KeyFields().empty() || target->DataSet() == nullptr) return nullptr;
    target = target->DataSet()->FindField(target->KeyFields());
    if (target == nullptr) return nullptr;
  }
  TDataSet* ds = target->DataSet();
  if (ds == nullptr || !ds->CanModify()) return nullptr;
  ds->Edit();
  return ds->State() == dsEdit || ds->State() == dsInsert ? target : nullptr;
}

void TDBGridEhImport::GuardValue(const std::function<void()>& Assign) {
  try {
    Assign();
  } catch (EAbort&) {
    throw;
  } catch (Exception& e) {
    if (ignore_all_errors_) return;
    const int answer = MessageDlg("Error during insert value:\n" + e.Message() + "\n\nIgnore error?", mtError,
                                  TMsgDlgButtons{mbYes, mbNo, mbAll}, 0);
    if (answer == mrAll)
      ignore_all_errors_ = true;
    else if (answer != mrYes)
      Abort();
  }
}

void TDBGridEhImport::AddRecords(bool Inserting) {
  TDataSet* ds = grid_->DataLink()->DataSet();
  while (!eof_) {
    if (Inserting)
      ds->Insert();
    else
      ds->Append();
    ReadRecord(imp_cols_.get());
    ds->Post();
    if (Inserting) ds->Next();
  }
}

void TDBGridEhImport::ImportFromStream(TStream* AStream, bool IsImportAll) {
  stream_ = AStream;
  eof_ = false;
  TDataSet* ds = grid_->DataLink()->DataSet();
  if (ds == nullptr || !ds->Active()) return;
  TDBGridEhSelection* selection = grid_->Selection();
  TColumnsEhList* visible = grid_->VisibleColumns();
  if (IsImportAll) {
    selection->Clear();
    ds->First();
    if (visible->Count() > 0) grid_->SetSelectedIndex(visible->Items(0)->Index());
  }
  const bool inserting = ds->State() == dsInsert;
  TRecordGuard guard(ds, !inserting, true);
  imp_cols_->Clear();
  const TDBGridEhSelectionType kind = selection->SelectionType();
  switch (kind) {
    case gstNon:
      for (int i = 0; i < visible->Count(); ++i)
        if (visible->Items(i)->Index() >= grid_->SelectedIndex()) imp_cols_->Add(visible->Items(i));
      break;
    case gstRectangle:
      for (int i = std::max(0, selection->Rect()->LeftCol());
           i <= std::min(visible->Count() - 1, selection->Rect()->RightCol()); ++i)
        imp_cols_->Add(visible->Items(i));
      break;
    case gstColumns:
      for (int i = 0; i < selection->Columns()->Count(); ++i) imp_cols_->Add(selection->Columns()->Items(i));
      break;
    default:
      for (int i = 0; i < visible->Count(); ++i) imp_cols_->Add(visible->Items(i));
      break;
  }
  ReadPrefix();
  if (inserting) {
    AddRecords(true);
  } else {
    switch (kind) {
      case gstNon:
        // From the current record (the last one too) to the end.
        if (!(ds->Bof() && ds->Eof()))
          while (!eof_) {
            ReadRecord(imp_cols_.get());
            ds->Next();
            if (ds->Eof()) break;
          }
        if (!eof_ && grid_->AllowedOperations().Contains(alopAppendEh)) AddRecords(false);
        break;
      case gstRecordBookmarks: {
        TBookmarkListEh* rows = selection->Rows();
        for (int i = 0; i < rows->Count(); ++i) {
          ds->GotoBookmark(rows->Items(i));
          ReadRecord(imp_cols_.get());
        }
        break;
      }
      case gstRectangle: {
        const TBookmark bottom = selection->Rect()->BottomRow();
        ds->GotoBookmark(selection->Rect()->TopRow());
        while (!ds->Eof()) {
          ReadRecord(imp_cols_.get());
          if (DataSetCompareBookmarks(ds, ds->GetBookmark(), bottom) == 0) break;
          ds->Next();
        }
        break;
      }
      default:
        ds->First();
        while (!ds->Eof()) {
          ReadRecord(imp_cols_.get());
          ds->Next();
        }
        break;
    }
  }
  ReadSuffix();
}

// ---------------------------------------------------------------------------
// Text import

void TDBGridEhImportAsText::ImportFromStream(TStream* AStream, bool IsImportAll) {
  ignore_all_errors_ = false;
  TDBGridEhImport::ImportFromStream(AStream, IsImportAll);
}

void TDBGridEhImportAsText::ReadToken() {
  char b;
  if (Stream()->Read(&b, 1) != 1) {
    token_ = tkEos;
    SetEof(true);
    return;
  }
  ch_ = b;
  if (b == '\t') {
    token_ = tkTab;
  } else if (b == '\n') {
    token_ = tkLineEnd;
  } else if (b == '\r') {
    if (Stream()->Read(&b, 1) != 1 || b != '\n')
      throw Exception("TDBGridEhImportAsText.CheckState: Invalid text format");
    token_ = tkLineEnd;
  } else {
    token_ = tkChar;
  }
}

void TDBGridEhImportAsText::ReadPrefix() { ReadToken(); }

void TDBGridEhImportAsText::ReadRecord(TColumnsEhList* Columns) {
  if (token_ == tkEos) return;
  int col = 0;
  for (;;) {
    cell_.clear();
    while (token_ == tkChar) {
      cell_ += ch_;
      ReadToken();
    }
    if (col < Columns->Count()) ReadDataCell(Columns->Items(col++));
    if (token_ == tkTab) {
      ReadToken();
      continue;
    }
    if (token_ == tkLineEnd) ReadToken();
    return;
  }
}

void TDBGridEhImportAsText::ReadDataCell(TColumnEh* Column) {
  GuardValue([&] {
    TField* target = EditTarget(Column);
    if (target == nullptr) return;
    TField* field = Column->Field();
    if (field->FieldKind() == fkLookup) {
      TDataSet* lookup = field->LookupDataSet();
      if (lookup != nullptr &&
          lookup->Locate(field->LookupResultField(), Variant(cell_), TLocateOptions{loCaseInsensitive, loPartialKey}))
        target->SetValue(lookup->FieldValues(field->LookupKeyFields()));
    } else if (Column->KeyList()->Count() > 0) {
      const int i = Column->PickList()->IndexOf(cell_);
      if (i < 0 || i >= Column->KeyList()->Count())
        target->Clear();
      else
        target->SetText(Column->KeyList()->Strings(i));
    } else {
      target->SetAsString(cell_);
    }
  });
}

// ---------------------------------------------------------------------------
// VCLDBIF import

TDBGridEhImportAsVCLDBIF::TDBGridEhImportAsVCLDBIF() = default;
TDBGridEhImportAsVCLDBIF::~TDBGridEhImportAsVCLDBIF() = default;

void TDBGridEhImportAsVCLDBIF::FormatError() {
  throw Exception("TDBGridEhImportAsVCLDBIF.ReadPrefix: Invalid VCLDBIF format");
}

void TDBGridEhImportAsVCLDBIF::Need(void* Buffer, Int64 Count) {
  if (Count > 0 && Stream()->Read(Buffer, Count) != Count) FormatError();
}

namespace {

int32_t Int32At(const Byte* P) {
  return static_cast<int32_t>(static_cast<uint32_t>(P[0]) | static_cast<uint32_t>(P[1]) << 8 |
                              static_cast<uint32_t>(P[2]) << 16 | static_cast<uint32_t>(P[3]) << 24);
}

}  // namespace

void TDBGridEhImportAsVCLDBIF::ImportFromStream(TStream* AStream, bool IsImportAll) {
  std::memset(header_, 0, sizeof header_);
  column_count_ = 0;
  value_ = Unassigned();
  names_present_ = false;
  ignore_all_errors_ = false;
  names_ = std::make_unique<TStringList>();
  struct Drop {
    std::unique_ptr<TStringList>& names;
    ~Drop() { names.reset(); }
  } drop{names_};
  TDBGridEhImport::ImportFromStream(AStream, IsImportAll);
}

void TDBGridEhImportAsVCLDBIF::ReadPrefix() {
  Need(header_, 12);
  if (std::memcmp(header_, "VCLDBIF", 7) != 0) FormatError();
  column_count_ = Int32At(header_ + 8);
  // Each stored column takes at least two bytes (its flag and the name's
  // terminator): a count the rest of the stream cannot hold is not read.
  const Int64 left = Stream()->Size() - Stream()->Position();
  if (column_count_ < 0 || static_cast<Int64>(column_count_) * 2 > left) FormatError();
  for (int32_t i = 0; i < column_count_; ++i) {
    Byte visible;
    Need(&visible, 1);
    String name;
    for (char ch;;) {
      Need(&ch, 1);
      if (ch == 0) break;
      name += ch;
    }
    if (!name.empty()) names_present_ = true;
    names_->AddObject(name, reinterpret_cast<TObject*>(static_cast<uintptr_t>(visible)));
  }
  ReadValue();
  // With no columns a record reads no value: anything but the end would
  // never end (appending without end).
  if (column_count_ == 0 && !Eof()) FormatError();
}

void TDBGridEhImportAsVCLDBIF::ReadValue() {
  if (Eof()) return;
  Byte tag;
  Need(&tag, 1);
  value_ = Unassigned();
  switch (tag) {
    case 0:
      SetEof(true);
      break;
    case 2:
      value_ = Null();
      break;
    case 3: {
      Byte b[4];
      Need(b, 4);
      value_ = Variant(Int32At(b));
      break;
    }
    case 4: {
      Byte b[8];
      Need(b, 8);
      uint64_t bits = 0;
      for (int k = 7; k >= 0; --k) bits = bits << 8 | b[k];
      double d;
      std::memcpy(&d, &bits, 8);
      value_ = Variant(d);
      break;
    }
    case 5:
    case 6: {
      Byte b[4];
      Need(b, 4);
      const int32_t length = Int32At(b);
      if (length < 0 || length > Stream()->Size() - Stream()->Position()) FormatError();
      String s(static_cast<size_t>(length), '\0');
      Need(s.data(), length);
      value_ = Variant(s);
      break;
    }
    default:
      break;  // tag 1 and unknown tags: no value
  }
}

void TDBGridEhImportAsVCLDBIF::ReadRecord(TColumnsEhList* Columns) {
  for (int i = 0; i < column_count_; ++i) ReadDataCell(i < Columns->Count() ? Columns->Items(i) : nullptr);
}

void TDBGridEhImportAsVCLDBIF::ReadDataCell(TColumnEh* Column) {
  if (!VarIsEmpty(value_) && Column != nullptr) {
    GuardValue([&] {
      TField* target = EditTarget(Column);
      if (target == nullptr) return;
      // An exact decimal text goes in as text, not through a double.
      if ((target->DataType() == ftBCD || target->DataType() == ftFMTBcd) && VarType(value_) == varString)
        target->SetAsString(VarToStr(value_));
      else
        target->SetValue(value_);
    });
  }
  ReadValue();
}

void DBGridEhImportFromStream(TDBGridEhImportClass ImportClass, TCustomDBGridEh* Grid, TStream* Stream,
                              bool IsImportAll) {
  std::unique_ptr<TDBGridEhImport> importer = ImportClass();
  importer->SetDBGridEh(Grid);
  importer->ImportFromStream(Stream, IsImportAll);
}

// ---------------------------------------------------------------------------
// The clipboard

Word CF_VCLDBIF = 0;
Word CF_CSV = 0;
Word CF_RICH_TEXT_FORMAT = 0;

void PutStreamToClipboard(Word Format, TMemoryStream* Stream) {
  Clipboard()->SetData(Format, Stream->Memory(), static_cast<size_t>(Stream->Size()));
}

void GetClipboardToStream(Word Format, TMemoryStream* Stream) {
  const TBytes data = Clipboard()->GetData(Format);
  Stream->Clear();
  if (!data.empty()) Stream->WriteBuffer(data.data(), static_cast<Int64>(data.size()));
  Stream->SetPosition(0);
}

namespace {

// Opens the clipboard and disables the dataset's controls for one operation.
class TClipboardGuard {
 public:
  explicit TClipboardGuard(TDataSet* DataSet) : ds_(DataSet) {
    Clipboard()->Open();
    if (ds_ != nullptr) ds_->DisableControls();
  }
  ~TClipboardGuard() {
    Clipboard()->Close();
    if (ds_ != nullptr) ds_->EnableControls();
  }
  TClipboardGuard(const TClipboardGuard&) = delete;
  TClipboardGuard& operator=(const TClipboardGuard&) = delete;

 private:
  TDataSet* ds_;
};

void PutZero(TMemoryStream& S) {
  const Byte zero = 0;
  S.WriteBuffer(&zero, 1);
}

// Clears a cell when its column and dataset allow it.
void ClearCell(TColumnEh* Column) {
  if (!Column->CanModify(false)) return;
  TField* f = Column->Field();
  if (f->FieldKind() == fkLookup) f = f->DataSet() != nullptr ? f->DataSet()->FindField(f->KeyFields()) : nullptr;
  if (f == nullptr || f->DataSet() == nullptr || !f->DataSet()->CanModify()) return;
  f->DataSet()->Edit();
  if (f->DataSet()->State() == dsEdit || f->DataSet()->State() == dsInsert) f->Clear();
}

}  // namespace

void DBGridEhCopyToClipboard(TCustomDBGridEh* Grid, bool IsAll) {
  TClipboardGuard guard(Grid->DataLink()->DataSet());
  TMemoryStream s;
  DBGridEhExportToStream(&CreateDBGridEhExport<TDBGridEhExportAsText>, Grid, &s, IsAll);
  const WideString text =
      Utf8ToWide(String(static_cast<const char*>(s.Memory()), static_cast<size_t>(s.Size())));
  // UTF-16 with its terminating zero character.
  std::vector<Byte> wide((text.size() + 1) * 2, 0);
  for (size_t i = 0; i < text.size(); ++i) {
    wide[2 * i] = static_cast<Byte>(text[i]);
    wide[2 * i + 1] = static_cast<Byte>(text[i] >> 8);
  }
  Clipboard()->SetData(CF_UNICODETEXT, wide.data(), wide.size());
  s.Clear();
  DBGridEhExportToStream(&CreateDBGridEhExport<TDBGridEhExportAsCSV>, Grid, &s, IsAll);
  PutZero(s);
  PutStreamToClipboard(CF_CSV, &s);
  s.Clear();
  DBGridEhExportToStream(&CreateDBGridEhExport<TDBGridEhExportAsRTF>, Grid, &s, IsAll);
  PutZero(s);
  PutStreamToClipboard(CF_RICH_TEXT_FORMAT, &s);
  s.Clear();
  DBGridEhExportToStream(&CreateDBGridEhExport<TDBGridEhExportAsVCLDBIF>, Grid, &s, IsAll);
  PutStreamToClipboard(CF_VCLDBIF, &s);
}

void DBGridEhCutToClipboard(TCustomDBGridEh* Grid, bool IsAll) {
  DBGridEhCopyToClipboard(Grid, IsAll);
  DBGridEhDeleteSelection(Grid, IsAll);
}

void DBGridEhPasteFromClipboard(TCustomDBGridEh* Grid, bool IsAll) {
  TClipboard* clipboard = Clipboard();
  clipboard->Open();
  struct Closing {
    TClipboard* c;
    ~Closing() { c->Close(); }
  } closing{clipboard};
  TMemoryStream s;
  if (clipboard->HasFormat(CF_VCLDBIF)) {
    GetClipboardToStream(CF_VCLDBIF, &s);
    DBGridEhImportFromStream(&CreateDBGridEhImport<TDBGridEhImportAsVCLDBIF>, Grid, &s, IsAll);
  } else if (clipboard->HasFormat(CF_TEXT)) {
    GetClipboardToStream(CF_TEXT, &s);
    // The text ends at its first zero byte.
    const auto* p = static_cast<const char*>(s.Memory());
    const size_t n = static_cast<size_t>(s.Size());
    s.SetSize(static_cast<Int64>(std::find(p, p + n, '\0') - p));
    s.SetPosition(0);
    DBGridEhImportFromStream(&CreateDBGridEhImport<TDBGridEhImportAsText>, Grid, &s, IsAll);
  }
}

void DBGridEhDeleteSelection(TCustomDBGridEh* Grid, bool IsAll) {
  TDataSet* ds = Grid->DataLink()->DataSet();
  if (ds == nullptr || !ds->Active()) return;
  TDBGridEhSelection* selection = Grid->Selection();
  const TDBGridEhSelectionType kind = IsAll ? gstAll : selection->SelectionType();
  String question;
  switch (kind) {
    case gstNon:
      return;
    case gstRecordBookmarks:
      question = selection->Rows()->Count() < 2 ? "Delete record?" : "Delete all selected records?";
      break;
    case gstRectangle:
      question = "Clear selected cells?";
      break;
    case gstColumns:
      question = "Clear selected columns?";
      break;
    case gstAll:
      question = "Delete all records?";
      break;
  }
  if (Grid->Options().Contains(dgConfirmDelete) &&
      MessageDlg(question, mtConfirmation, mbOKCancel, 0) != mrOk)
    return;
  ds->DisableControls();
  struct Enabling {
    TDataSet* ds;
    ~Enabling() { ds->EnableControls(); }
  } enabling{ds};
  const TBookmark remembered = ds->GetBookmark();
  auto clear_row = [](TColumnsEhList* Columns, int First, int Last) {
    for (int i = First; i <= Last && i < Columns->Count(); ++i) ClearCell(Columns->Items(i));
  };
  switch (kind) {
    case gstRecordBookmarks: {
      TBookmarkListEh* rows = selection->Rows();
      for (int i = 0; i < rows->Count(); ++i) {
        if (!ds->BookmarkValid(rows->Items(i))) continue;
        ds->GotoBookmark(rows->Items(i));
        ds->Delete();
      }
      rows->Clear();
      return;
    }
    case gstAll:
      ds->First();
      while (!ds->IsEmpty()) ds->Delete();
      return;
    case gstRectangle: {
      const TBookmark bottom = selection->Rect()->BottomRow();
      const int left = std::max(0, selection->Rect()->LeftCol());
      const int right = selection->Rect()->RightCol();
      ds->GotoBookmark(selection->Rect()->TopRow());
      while (!ds->Eof()) {
        clear_row(Grid->VisibleColumns(), left, right);
        if (DataSetCompareBookmarks(ds, ds->GetBookmark(), bottom) == 0) break;
        ds->Next();
      }
      break;
    }
    default: {  // columns
      TDBGridEhSelectionCols* cols = selection->Columns();
      ds->First();
      while (!ds->Eof()) {
        for (int i = 0; i < cols->Count(); ++i) ClearCell(cols->Items(i));
        ds->Next();
      }
      break;
    }
  }
  if (ds->State() == dsEdit || ds->State() == dsInsert) ds->Post();
  if (ds->BookmarkValid(remembered)) ds->GotoBookmark(remembered);
}

// ---------------------------------------------------------------------------
// The unit

namespace {

void InitDBGridEhImpExp() {
  CF_VCLDBIF = RegisterClipboardFormat("VCLDBIF");
  CF_CSV = RegisterClipboardFormat("Csv");
  CF_RICH_TEXT_FORMAT = RegisterClipboardFormat("Rich Text Format");
}

void FinalDBGridEhImpExp() { CF_VCLDBIF = CF_CSV = CF_RICH_TEXT_FORMAT = 0; }

constexpr const TUnit* kUses[] = {&unit_Clipbrd};

}  // namespace

constinit const TUnit unit_DBGridEhImpExp("DBGridEhImpExp", kUses, InitDBGridEhImpExp, FinalDBGridEhImpExp);
