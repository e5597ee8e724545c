// DBGridEh: cell painting (indicator, titles with their bands and sort
// markers, filter row, data cells with images, check boxes and buttons,
// footers), the grid's own paint with its line families, and the repaint
// helpers.
#include <algorithm>
#include <vector>

#include "grid/datagrid/DBGridEh.h"
#include "platform/gui/Forms.h"
#include "platform/gui/GDI.h"
#include "platform/gui/Popup.h"
#include "platform/gui/Themes.h"

namespace {

// The data link's active record moved to a drawn row, restored on leaving.
class TActiveRecordSwitch {
 public:
  TActiveRecordSwitch(TDataLink* Link, int Record) : link_(Link), old_(Link->ActiveRecord()) {
    link_->SetActiveRecord(Record);
  }
  ~TActiveRecordSwitch() { link_->SetActiveRecord(old_); }
  TActiveRecordSwitch(const TActiveRecordSwitch&) = delete;
  TActiveRecordSwitch& operator=(const TActiveRecordSwitch&) = delete;

 private:
  TDataLink* link_;
  int old_;
};

// The canvas's clip region saved and replaced, restored on leaving.
class TClipSwitch {
 public:
  TClipSwitch(HDC DC, const TRect& Clip) : dc_(DC) {
    saved_ = CreateRectRgn(0, 0, 0, 0);
    had_ = GetClipRgn(dc_, saved_) == 1;
    HRGN r = CreateRectRgnIndirect(Clip);
    SelectClipRgn(dc_, r);
    DeleteObject(r);
  }
  ~TClipSwitch() {
    SelectClipRgn(dc_, had_ ? saved_ : HRGN(nullptr));
    DeleteObject(saved_);
  }
  TClipSwitch(const TClipSwitch&) = delete;
  TClipSwitch& operator=(const TClipSwitch&) = delete;

 private:
  HDC dc_;
  HRGN saved_;
  bool had_ = false;
};

TColor Lighten8(TColor C) {
  const int32_t rgb = ColorToRGB(C);
  int32_t out = 0;
  for (int shift = 0; shift <= 16; shift += 8) {
    const int v = (rgb >> shift) & 0xFF;
    out |= std::min(255, v + v / 8) << shift;
  }
  return static_cast<TColor>(out);
}

bool EmptyRect(const TRect& R) { return R.Right <= R.Left || R.Bottom <= R.Top; }

TRect Inflated(TRect R, int DX, int DY) {
  R.Left -= DX;
  R.Top -= DY;
  R.Right += DX;
  R.Bottom += DY;
  return R;
}

// The cell parameters of Column at the link's active record, before events.
void FillFromColumn(TColumnEh* Column, TColCellParamsEh* P) {
  P->Alignment = Column->Alignment();
  P->Text = Column->GetDisplayText();
  P->ImageIndex = Column->GetKeyIndex();
  P->CheckboxState = Column->GetCheckboxState();
  P->ReadOnly = Column->ReadOnly();
}

TEditButtonStyleEh EditKindButtonStyle(TInplaceEditKindEh Kind) {
  switch (Kind) {
    case ekEllipsis: return ebsEllipsisEh;
    case ekUpDown: return ebsUpDownEh;
    default: return ebsDropDownEh;
  }
}

}  // namespace

UINT InplaceSearchMarkFlags(TAlignment Alignment) {
  const UINT align = Alignment == taRightJustify ? DT_RIGHT : Alignment == taCenter ? DT_CENTER : DT_LEFT;
  return align | DT_EXPANDTABS | DT_NOPREFIX;
}

// What DrawCell knows of the cell being drawn; the cell pieces read it.
struct TCustomDBGridEh::TCellDrawCtx {
  int ACol = 0, ARow = 0;
  TRect Rect;  // the cell, shrunk inside a 3-D frame, cut by buttons
  TGridDrawState State;
  int DX = 2, DY = 2;
  int AreaCol = 0, AreaRow = 0, DataCol = 0, DataRow = 0;
  TColumnEh* Column = nullptr;
  bool Frame3D = false;
  bool Themed = false;
  bool Highlighted = false;  // the cell shows highlighted (sunken frame)
  bool Pressed = false;      // the title button is held
  int OldActive = -1;        // the link's active record before DrawCell
  TRect TextRect;            // the text part of a data cell
  THeadTreeNode* Leaf = nullptr;
  bool LeafEllipsis = false;
};

// ---------------------------------------------------------------------------
// Classification and colours

bool TCustomDBGridEh::UseThemedFixedCells() const {
  return !flat_ && ThemeServices()->ThemesEnabled() && options_eh_.Contains(dghFixed3D) &&
         options_.Contains(dgColLines) && options_.Contains(dgRowLines);
}

bool TCustomDBGridEh::CellHas3DFrame(int ACol, int ARow) {
  const int dc = ACol - indicator_offset_, dr = ARow - title_offset_;
  const int filler = RowCount() - footer_row_count_ - 1 - title_offset_;
  const bool footers = footer_row_count_ > 0;
  const bool fixed = ACol < FixedCols() || ARow < FixedRows();
  const bool frozen_data = fixed && dc >= 0 && dr >= 0;
  if (IsFilterRowVisible() && TitlesVisible() && ARow == title_offset_ - 1 && dc >= 0 &&
      dc < columns_->Count() && IsColumnFilterShown(columns_->Items(dc)))
    return false;
  if (options_eh_.Contains(dghFixed3D) && fixed && !frozen_data && (!footers || dr != filler)) return true;
  if (options_eh_.Contains(dghFooter3D) && footers && dr > filler) return true;
  if (options_eh_.Contains(dghData3D) && !fixed && (!footers || dr <= filler)) return true;
  if (options_eh_.Contains(dghFixed3D) && (options_eh_.Contains(dghData3D) || options_eh_.Contains(dghFrozen3D)) &&
      footers && dr == filler && ACol < indicator_offset_)
    return true;
  return options_eh_.Contains(dghFrozen3D) && frozen_data;
}

bool TCustomDBGridEh::GetHighlightColors(int ACol, int ARow, TFont* AFont, TColor& Background, bool Highlight,
                                         TGridDrawState /*State*/, int AreaCol, int AreaRow) {
  if (style_ != nullptr)
    return style_->GetFixedCellHighlight(this, ACol, ARow, ACol - indicator_offset_, ARow - title_offset_, Highlight,
                                         AreaCol, AreaRow, Background, AFont);
  if (!Highlight) return false;
  if ((AreaCol == 1 && AreaRow >= 2) || (AreaCol == 0 && AreaRow == 3)) {
    if (IsGridOrEditorFocused()) {
      Background = clHighlight;
      if (AFont != nullptr) AFont->SetColor(clHighlightText);
    } else {
      Background = clBtnFace;
    }
  } else {
    Background = static_cast<TColor>(0x404040);
    if (AFont != nullptr) AFont->SetColor(static_cast<TColor>(0xFFFFFF));
  }
  return true;
}

bool TCustomDBGridEh::IsCellHighlighted(int ACol, int ARow, int DataCol, int DataRow, TColor& Background,
                                        TGridDrawState& State, TFont* AFont) {
  if (style_ != nullptr)
    return style_->GetDataCellHighlight(this, ACol, ARow, DataCol, DataRow, State, Background, AFont);
  bool selected = false;
  TDataSet* ds = data_link_->DataSet();
  if (selection_->SelectionType() != gstNon && data_link_->Active() && ds != nullptr)
    selected = IsCellSelected(ACol, ARow, ds->Bookmark(), DataCol);
  const bool focused = IsGridOrEditorFocused();
  const bool on_row = ARow == Row();
  if (!selected) {
    bool focus_hl = Focused() && options_eh_.Contains(dghHighlightFocus);
    if (options_eh_.Contains(dghRowHighlight) && on_row && selection_->SelectionType() == gstNon && ACol != Col()) {
      focus_hl = true;
      State.Include(gdSelected);
    }
    selected = (State.Contains(gdSelected) || (on_row && options_.Contains(dgRowSelect))) &&
               (options_.Contains(dgAlwaysShowSelection) || focus_hl) &&
               (update_lock_ == 0 || options_.Contains(dgRowSelect));
    if (!selected) return false;
    if (!focused && on_row && (ACol == Col() || options_.Contains(dgRowSelect)) &&
        (options_.Contains(dgAlwaysShowSelection) || focus_hl)) {
      Background = clBtnShadow;
      if (AFont != nullptr) AFont->SetColor(clHighlightText);
      return true;
    }
  }
  if (focused) {
    Background = clHighlight;
    if (AFont != nullptr) AFont->SetColor(clHighlightText);
  } else {
    Background = clBtnFace;
  }
  return true;
}

// ---------------------------------------------------------------------------
// The default button's kind and the filter-row cell of a column

TInplaceEditKindEh TCustomDBGridEh::GetColumnEditStyle(TColumnEh* Column) {
  return ColumnEditKindEh(this, Column, IsDesigning());
}

bool TCustomDBGridEh::IsColumnFilterShown(TColumnEh* Column) { return Column->STFilter()->Visible(); }
String TCustomDBGridEh::GetColumnFilterText(TColumnEh* Column) { return Column->STFilter()->FilterText(); }
bool TCustomDBGridEh::ColumnFilterHasDropDown(TColumnEh* Column) {
  TField* f = Column->Field();
  return Column->STFilter()->ListSource() != nullptr || (f != nullptr && f->FieldKind() == fkLookup);
}

// ---------------------------------------------------------------------------
// Events

void TCustomDBGridEh::DrawDataCell(const TRect& Rect, TField* Field, TGridDrawState State) {
  if (on_draw_data_cell_) on_draw_data_cell_(this, Rect, Field, State);
}

void TCustomDBGridEh::DrawColumnCell(const TRect& Rect, int DataCol, TColumnEh* Column, TGridDrawState State) {
  if (on_draw_column_cell_) on_draw_column_cell_(this, Rect, DataCol, Column, State);
}

void TCustomDBGridEh::GetCellParams(TColumnEh* Column, TFont* AFont, TColor& Background, TGridDrawState State) {
  if (on_get_cell_params_) on_get_cell_params_(this, Column, AFont, Background, State);
}

void TCustomDBGridEh::GetFooterParams(int DataCol, int Row, TColumnEh* Column, TFont* AFont, TColor& Background,
                                      TAlignment& Alignment, TGridDrawState State, String& Text) {
  if (on_get_footer_params_)
    on_get_footer_params_(this, DataCol, Row, Column, AFont, Background, Alignment, State, Text);
}

// ---------------------------------------------------------------------------
// Cell pieces

void TCustomDBGridEh::DrawCellText(TCanvas* ACanvas, const TRect& ARect, bool FillRect, int DX, int DY,
                                   const String& Text, TAlignment Alignment, TTextLayout Layout, bool WordWrap,
                                   bool EndEllipsis, int LeftMarg, int RightMarg) {
  const bool rtl = BiDiMode() == bdRightToLeft || BiDiMode() == bdRightToLeftReadingOnly;
  if (rtl) {
    if (Alignment == taLeftJustify) Alignment = taRightJustify;
    else if (Alignment == taRightJustify) Alignment = taLeftJustify;
  }
  WriteCellText(ACanvas, ARect, FillRect, DX, DY, Text, Alignment, Layout, WordWrap, EndEllipsis, LeftMarg, RightMarg,
                rtl);
}

void TCustomDBGridEh::DrawEditButton(TCanvas* ACanvas, TEditButtonStyleEh Style, TRect ButtonRect, TRect ClipRect,
                                     TColor ParentColor, bool Enabled, bool AFlat, bool Active, int Pressed,
                                     TBitmap* Glyph) {
  HDC dc = ACanvas->Handle();
  std::unique_ptr<TClipSwitch> clip;
  if (ButtonRect.Left < ClipRect.Left) clip = std::make_unique<TClipSwitch>(dc, ClipRect);
  if (AFlat) {
    HBRUSH b = CreateSolidBrush(static_cast<COLORREF>(ColorToRGB(Active ? clBtnFace : ParentColor)));
    FrameRect(dc, TRect{ButtonRect.Left, ButtonRect.Top, ButtonRect.Left + 1, ButtonRect.Bottom}, b);
    DeleteObject(b);
    ButtonRect.Left += 1;
  }
  if (Style == ebsGlyphEh) {
    TRect r = ButtonRect;
    if (AFlat) {
      HBRUSH b = CreateSolidBrush(static_cast<COLORREF>(ColorToRGB(ParentColor)));
      FrameRect(dc, r, b);
      DeleteObject(b);
      r = Inflated(r, -1, -1);
      ::FillRect(dc, r, GetSysColorBrush(COLOR_BTNFACE));
    } else {
      DrawEdge(dc, r, EDGE_RAISED, BF_RECT | BF_MIDDLE);
      r = Inflated(r, -2, -2);
    }
    if (Glyph != nullptr && !Glyph->Empty()) {
      const int x = r.Left + (r.Width() - Glyph->Width()) / 2;
      const int y = r.Top + (r.Height() - Glyph->Height()) / 2;
      TClipSwitch inner(dc, r);
      ACanvas->Draw(x, y, Glyph);
    }
    return;
  }
  PaintButtonControlEh(dc, ButtonRect, ParentColor, ButtonStyleToPaintKind(Style), Pressed, AFlat, Active, Enabled,
                       cbUnchecked);
}

void TCustomDBGridEh::FillCellBackground(const TRect& Rect, bool Down, const TRect& ClipRect) {
  if (UseThemedFixedCells()) {
    TThemedElementDetails d{"toolbar", 3, Down ? 3 : 2};
    const TRect r = Inflated(Rect, 2, 2);
    ThemeServices()->DrawElement(Canvas()->Handle(), d, r, EmptyRect(ClipRect) ? nullptr : &ClipRect);
    return;
  }
  Canvas()->FillRect(Rect);
}

void TCustomDBGridEh::DrawCellFrame(const TRect& R, bool Down, bool LeftSide, bool RightSide) {
  HDC dc = Canvas()->Handle();
  const UINT edge = Down ? BDR_SUNKENINNER : BDR_RAISEDINNER;
  TRect r = R;
  if (LeftSide && RightSide && !flat_) {
    DrawEdge(dc, r, edge, BF_RECT);
    return;
  }
  if (flat_) {
    // Flat: the open sides are plain lines in the brush colour.
    Canvas()->Pen()->SetColor(Canvas()->Brush()->Color());
    if (!LeftSide) {
      Canvas()->MoveTo(R.Left, R.Top);
      Canvas()->LineTo(R.Left, R.Bottom);
    }
    if (!RightSide) {
      Canvas()->MoveTo(R.Right - 1, R.Top);
      Canvas()->LineTo(R.Right - 1, R.Bottom);
    }
  }
  r = R;
  DrawEdge(dc, r, edge, LeftSide ? BF_LEFT | BF_TOP : BF_TOP);
  r = R;
  DrawEdge(dc, r, edge, RightSide ? BF_RIGHT | BF_BOTTOM : BF_BOTTOM);
}

bool TCustomDBGridEh::IsIndicatorRowSelected() {
  if (!options_.Contains(dgMultiSelect) || !data_link_->Active() || draw_ctx_ == nullptr) return false;
  TActiveRecordSwitch sw(data_link_.get(), draw_ctx_->DataRow);
  TDataSet* ds = data_link_->DataSet();
  return ds != nullptr && selection_->DataCellSelected(-1, ds->Bookmark());
}

bool TCustomDBGridEh::IsDuplicateValue(TColumnEh* Column, const String& Text) {
  if (MemTableIntf() != nullptr || data_link_->ActiveRecord() < 1) return false;
  TColCellParamsEh* p = DBGridEhPaintCellParams();
  if (p == nullptr) return false;
  TActiveRecordSwitch sw(data_link_.get(), data_link_->ActiveRecord() - 1);
  p->Font->Assign(Column->Font());
  p->Background = Column->Color();
  FillFromColumn(Column, p);
  p->State = TGridDrawState();
  GetCellParams(Column, p->Font.get(), p->Background, p->State);
  if (Column->OnGetCellParams()) Column->OnGetCellParams()(Column, false, p);
  return p->Text == Text;
}

void TCustomDBGridEh::DrawRequiredMark(TColumnEh* Column, const String& Text, const TRect& Rect) {
  bool draw = false;
  TField* f = Column->Field();
  TDataSet* ds = data_link_->DataSet();
  if (Column->HighlightRequired() && draw_ctx_ != nullptr && draw_ctx_->DataRow == draw_ctx_->OldActive &&
      ds != nullptr && ds->State() == dsInsert && f != nullptr && f->Required() && f->IsNull())
    draw = true;
  if (Column->OnCheckDrawRequiredState()) Column->OnCheckDrawRequiredState()(this, Text, draw);
  if (!draw) return;
  TPen* pen = Canvas()->Pen();
  const TColor old_color = pen->Color();
  const TPenStyle old_style = pen->Style();
  pen->SetColor(static_cast<TColor>(0x0000FF));
  pen->SetStyle(psDot);
  Canvas()->MoveTo(Rect.Left + 2, Rect.Bottom - 1);
  Canvas()->LineTo(Rect.Right - 3, Rect.Bottom - 1);
  pen->SetColor(old_color);
  pen->SetStyle(old_style);
}

void TCustomDBGridEh::DrawInplaceSearchMark() {
  if (draw_ctx_ == nullptr || draw_ctx_->Column == nullptr) return;
  TCellDrawCtx& c = *draw_ctx_;
  TCanvas* cv = Canvas();
  cv->Brush()->SetColor(DBGridEhInplaceSearchColor);
  cv->Font()->SetColor(DBGridEhInplaceSearchTextColor);
  TAlignment a = c.Column->Alignment();
  const bool rtl = BiDiMode() == bdRightToLeft;
  if (rtl) a = a == taLeftJustify ? taRightJustify : a == taRightJustify ? taLeftJustify : a;
  UINT flags = InplaceSearchMarkFlags(a);
  if (c.Column->WordWrap() && DataRowsMultiLine()) {
    flags |= DT_WORDBREAK;
    if (BiDiMode() != bdLeftToRight) flags |= DT_RTLREADING;
  }
  TRect r = Inflated(c.TextRect, -c.DX, -c.DY);
  r.Bottom += 1;
  DRAWTEXTPARAMS dp{};
  dp.cbSize = sizeof(dp);
  if (a != taLeftJustify) {
    // The rest of the cell text stays in place: it is the right margin.
    const String shown = c.Column->GetDisplayText();
    dp.iRightMargin = cv->TextWidth(shown.substr(Utf8Prefix(shown, Utf8Length(search_text_))));
  }
  DrawTextEx(cv->Handle(), search_text_, -1, &r, flags, &dp);
}

// ---------------------------------------------------------------------------
// DrawCell


void TCustomDBGridEh::DrawCell(int ACol, int ARow, const TRect& ARect, TGridDrawState AState) {
  if (ARect.Right <= ARect.Left) return;
  TCanvas* cv = Canvas();
  if (IsLoading()) {
    cv->Brush()->SetColor(Color());
    cv->FillRect(ARect);
    return;
  }
  TCellDrawCtx c;
  c.ACol = ACol;
  c.ARow = ARow;
  c.State = AState;
  c.Rect = ARect;
  c.Frame3D = CellHas3DFrame(ACol, ARow);
  c.Themed = UseThemedFixedCells();
  if (c.Frame3D) c.Rect = Inflated(c.Rect, -1, -1);
  c.DX = c.Frame3D ? 1 : 2;
  c.DY = c.DX - (flat_ ? 1 : 0);
  c.OldActive = data_link_->Active() ? data_link_->ActiveRecord() : -1;
  const TCellTypeEh kind = GetCellType(ACol, ARow, c.DataCol, c.DataRow);
  c.AreaCol = kind.Horz;
  c.AreaRow = kind.Vert;
  TCellDrawCtx* outer = draw_ctx_;
  draw_ctx_ = &c;
  struct TRestore {
    TCellDrawCtx*& Slot;
    TCellDrawCtx* Old;
    ~TRestore() { Slot = Old; }
  } restore{draw_ctx_, outer};

  if (c.AreaCol == 0) {
    DrawIndicatorCell(c);
  } else {
    if (c.DataCol < 0 || c.DataCol >= columns_->Count()) {
      cv->Brush()->SetColor(Color());
      cv->FillRect(ARect);
      return;
    }
    c.Column = columns_->Items(c.DataCol);
    const bool above = c.AreaRow < 2;
    cv->SetFont(above ? c.Column->Title()->Font() : c.Column->Font());
    cv->Brush()->SetColor(above ? c.Column->Title()->Color() : c.Column->Color());
    const int filler = RowCount() - footer_row_count_ - 1 - title_offset_;
    const int drow = ARow - title_offset_;
    if (c.AreaRow == 0 && TitlesVisible()) {
      DrawTitleRowCell(c);
    } else if (above) {
      DrawTitleCell(ACol, ARow, c.Rect, c.State);
    } else if (!data_link_->Active() || (footer_row_count_ == 0 && drow >= data_link_->RecordCount())) {
      cv->FillRect(c.Rect);
    } else if (drow < data_link_->RecordCount()) {
      DrawDataRowCell(c);
    } else if (drow <= filler) {
      TColor bg = c.Column->Color();
      const bool sel = IsCellSelected(ACol, ARow, TBookmark(), c.DataCol);
      c.Highlighted = GetHighlightColors(ACol, ARow, cv->Font(), bg, sel, c.State, c.AreaCol, c.AreaRow);
      cv->Brush()->SetColor(bg);
      if (c.Frame3D && c.Themed) FillCellBackground(c.Rect, c.Highlighted, TRect{});
      cv->FillRect(c.Rect);
    } else {
      DrawFooterRowCell(c);
    }
  }
  if (c.Frame3D) {
    c.Rect = Inflated(c.Rect, 1, 1);
    if (!c.Themed) DrawCellFrame(c.Rect, c.Highlighted || c.Pressed, true, true);
  }
  if (c.Leaf != nullptr && c.Leaf->Host() != nullptr) {
    cv->SetFont(title_font_.get());
    DrawTitleBand(c.Leaf, c.Rect, c.LeafEllipsis);
  }
  if (DefaultDrawing() && c.State.Contains(gdFocused) && Focused() && !IsDesigning() &&
      !options_.Contains(dgRowSelect) && update_lock_ == 0 && IsActiveControl() &&
      (style_ == nullptr || style_->DrawFocusFrame())) {
    TRect r = c.Rect;
    DrawFocusRect(cv->Handle(), r);
  }
}

void TCustomDBGridEh::DrawIndicatorCell(TCellDrawCtx& c) {
  TCanvas* cv = Canvas();
  TColor bg = FixedColor();
  if (footer_row_count_ > 0 && c.AreaRow == 3 && !options_eh_.Contains(dghFrozen3D)) bg = Color();
  cv->SetFont(title_font_.get());
  cv->Brush()->SetColor(bg);
  if (!data_link_->Active()) {
    if (c.Themed) FillCellBackground(c.Rect, false, TRect{});
    else cv->FillRect(c.Rect);
    return;
  }
  const bool record_row = c.AreaRow == 2 && (footer_row_count_ == 0 || c.DataRow < data_link_->RecordCount());
  bool selected = false;
  if (record_row) selected = IsIndicatorRowSelected();
  else if (c.AreaRow >= 2) selected = selection_->SelectionType() == gstAll;
  if (selected) {
    GetHighlightColors(c.ACol, c.ARow, cv->Font(), bg, true, c.State, c.AreaCol, c.AreaRow);
    cv->Brush()->SetColor(bg);
  }
  if (c.Themed) FillCellBackground(c.Rect, selected, TRect{});
  else cv->FillRect(c.Rect);
  if (!record_row) return;
  const bool current = c.DataRow == c.OldActive;
  TDataSet* ds = data_link_->DataSet();
  if (ds == nullptr || !current) return;
  int image = 0;
  switch (ds->State()) {
    case dsEdit: image = 1; break;
    case dsInsert: image = 2; break;
    case dsBrowse: image = inc_searching_ ? 6 : selected ? 5 : 0; break;
    default: image = 0; break;
  }
  TCustomImageList* list = DBGridEhIndicators();
  if (list != nullptr && image < list->Count()) {
    const int x = c.Rect.Right - list->Width() - c.DX;
    const int y = (c.Rect.Top + c.Rect.Bottom - list->Height()) / 2;
    list->Draw(cv, x, y, image);
  }
  indicator_row_ = c.ARow;
}

void TCustomDBGridEh::DrawSortMarker(const TRect& Cell, TRect& TextRect, TColumnEh* Column, TSortMarkerEh Marker,
                                     int Shift, bool Highlighted, bool Themed, bool Measure, int& SortWidth,
                                     bool& ShowBitmap, bool& ShowDigits) {
  TCanvas* cv = Canvas();
  TCustomImageList* marks = DBGridEhSortMarkerImages();
  if (marks == nullptr || Marker == smNoneEh) return;
  const String digits = IntToStr(Column->Title()->SortIndex());
  if (Measure) {
    ShowBitmap = true;
    ShowDigits = sort_marked_columns_->Count() >= 2;
    SortWidth = 0;
    if (ShowDigits) {
      cv->SetFont(DBGridEhSortIndexFont());
      SortWidth = cv->TextWidth(digits);
      cv->SetFont(title_font_.get());
    }
    TextRect.Right -= 16;
    if (TextRect.Right < TextRect.Left + marks->Width()) {
      ShowBitmap = false;
      TextRect.Right += 14 - SortWidth;
      if (TextRect.Right < TextRect.Left + SortWidth) {
        ShowDigits = false;
        TextRect.Right += SortWidth + 2;
      }
    }
    if (!ShowDigits) SortWidth = 0;
    return;
  }
  const int w = ShowDigits ? SortWidth : 0;
  const int y = (Cell.Top + Cell.Bottom - marks->Height()) / 2 + Shift;
  const TColor old_brush = cv->Brush()->Color();
  if (ShowBitmap) marks->Draw(cv, Cell.Right - marks->Width() - 2 - w + Shift, y, Marker == smDownEh ? 0 : 1);
  cv->Brush()->SetColor(old_brush);
  if (ShowDigits) {
    cv->SetFont(DBGridEhSortIndexFont());
    if (Highlighted) cv->Font()->SetColor(clWhite);
    if (Themed) cv->Brush()->SetStyle(bsClear);
    cv->TextOut(Cell.Right - w - 2 + Shift, y - 1, digits);
    cv->Brush()->SetStyle(bsSolid);
    cv->Brush()->SetColor(old_brush);
  }
  cv->SetFont(title_font_.get());
}

void TCustomDBGridEh::DrawTitleRowCell(TCellDrawCtx& c) {
  TCanvas* cv = Canvas();
  TColumnEh* col = c.Column;
  TColumnTitleEh* title = col->Title();
  c.Pressed = pressed_title_col_ == c.ACol;
  String text = title->Caption();
  if (use_multi_title_) {
    const size_t i = static_cast<size_t>(c.DataCol);
    if (THeadTreeNode* leaf = i < leaf_field_arr_.size() ? leaf_field_arr_[i].Leaf : nullptr) {
      c.Leaf = leaf;
      c.LeafEllipsis = title->EndEllipsis();
      c.Rect.Top = c.Rect.Bottom - leaf->Height() + 3;
      text = leaf->Text();
    }
  }
  const bool with_image = title_images_ != nullptr && title->ImageIndex() != -1;
  if (with_image) text.clear();
  TColor bg = title->Color();
  TSortMarkerEh marker = title->SortMarker();
  if (col->Field() != nullptr && on_get_btn_params_) {
    on_get_btn_params_(this, col, cv->Font(), bg, marker, c.Pressed);
    cv->SetFont(title->Font());
    TColor bg2 = bg;
    TSortMarkerEh marker2 = marker;
    on_get_btn_params_(this, col, cv->Font(), bg2, marker2, c.Pressed);
  }
  int shift = 0;
  if (c.Pressed) shift = (use_multi_title_ || title_height_ != 0 || title_lines_ != 0) ? 2 : 1;
  TRect tr = c.Rect;
  tr.Left += shift;
  tr.Top += shift;
  tr.Right += shift;
  tr.Bottom += shift;
  int sort_width = 0;
  bool show_bitmap = false, show_digits = false;
  DrawSortMarker(c.Rect, tr, col, marker, shift, false, c.Themed, true, sort_width, show_bitmap, show_digits);
  const bool sel = IsCellSelected(c.ACol, c.ARow, TBookmark(), c.DataCol);
  c.Highlighted = GetHighlightColors(c.ACol, c.ARow, cv->Font(), bg, sel, c.State, c.AreaCol, c.AreaRow) && sel;
  cv->Brush()->SetColor(bg);
  if (c.Themed) FillCellBackground(c.Rect, sel || c.Pressed, TRect{});
  else cv->FillRect(c.Rect);
  if (title->Orientation() == tohVertical)
    WriteVerticalText(cv, tr, !c.Themed, c.DX, c.DY, text, title->Alignment(), tlCenter, title->EndEllipsis(), false);
  else
    DrawCellText(cv, tr, !c.Themed, c.DX, c.DY, text, title->Alignment(), tlCenter, true, title->EndEllipsis(), 0, 0);
  if (with_image) {
    const int iw = title_images_->Width(), ih = title_images_->Height();
    int x = tr.Left + (tr.Width() - iw) / 2;
    if (!use_multi_title_ && title->Alignment() == taLeftJustify) x = tr.Left + c.DX;
    else if (!use_multi_title_ && title->Alignment() == taRightJustify) x = tr.Right - iw - c.DX;
    title_images_->Draw(cv, x, (c.Rect.Top + c.Rect.Bottom - ih) / 2 + shift, title->ImageIndex());
  }
  DrawSortMarker(c.Rect, tr, col, marker, shift, c.Highlighted, c.Themed, false, sort_width, show_bitmap,
                 show_digits);
  cv->SetFont(title_font_.get());
}

void TCustomDBGridEh::DrawTitleCell(int ACol, int ARow, const TRect& Rect, TGridDrawState State) {
  TCanvas* cv = Canvas();
  const int dc = ACol - indicator_offset_;
  TColumnEh* col = dc >= 0 && dc < columns_->Count() ? columns_->Items(dc) : nullptr;
  const bool sel = IsCellSelected(ACol, ARow, TBookmark(), dc);
  bool hl = false;
  if (IsFilterRowVisible() && ARow == title_offset_ - 1 && col != nullptr && IsColumnFilterShown(col)) {
    cv->SetFont(Font());
    cv->Font()->SetColor(static_cast<TColor>(0xFF0000));
    TColor bg = Lighten8(FixedColor());
    hl = GetHighlightColors(ACol, ARow, cv->Font(), bg, sel, State, 1, 1) && sel;
    cv->Brush()->SetColor(bg);
    TRect tr = Rect;
    if (ColumnFilterHasDropDown(col)) {
      const int bw = (flat_ ? DefaultEditButtonWidth() + 1 : GetSystemMetrics(SM_CXVSCROLL));
      TRect br{Rect.Right - bw, Rect.Top, Rect.Right, Rect.Top + edit_button_height_};
      tr.Right = br.Left;
      DrawEditButton(cv, ebsDropDownEh, br, Rect, bg, data_link_->Active(), flat_, false, 0, nullptr);
      if (edit_button_height_ < DefaultRowHeight()) cv->FillRect(TRect{br.Left, br.Bottom, br.Right, Rect.Bottom});
    }
    DrawCellText(cv, tr, true, 1, 1, GetColumnFilterText(col), taLeftJustify, col->Layout(), false, false, 0, 0);
  } else if (!UseThemedFixedCells()) {
    TColor bg = col == nullptr ? FixedColor() : col->Title()->Color();
    hl = GetHighlightColors(ACol, ARow, cv->Font(), bg, sel, State, col == nullptr ? 0 : 1, 1) && sel;
    cv->Brush()->SetColor(bg);
    cv->FillRect(Rect);
  }
  if (draw_ctx_ != nullptr) draw_ctx_->Highlighted = hl;
}

void TCustomDBGridEh::DrawDataRowCell(TCellDrawCtx& c) {
  TCanvas* cv = Canvas();
  TColumnEh* col = c.Column;
  TActiveRecordSwitch sw(data_link_.get(), c.DataRow);
  TRect tr = c.Rect;
  const int f = flat_ ? 1 : 0;
  int buttons_w = 0;
  const bool show_buttons = col->AlwaysShowEditButton();
  TInplaceEditKindEh kind = ekPlain;
  if (show_buttons) {
    kind = GetColumnEditStyle(col);
    if (kind != ekPlain) buttons_w += edit_button_width_ + f;
    TEditButtonsEh* eb = col->EditButtons();
    for (int i = 0; i < eb->Count(); ++i) {
      TEditButtonEh* b = eb->Items(i);
      if (!b->Visible()) continue;
      buttons_w += (b->Width() > 0 ? b->Width() : (flat_ ? DefaultEditButtonWidth() : GetSystemMetrics(SM_CXVSCROLL))) + f;
    }
    tr.Right -= buttons_w;
  }
  TColCellParamsEh* p = cell_params_.get();
  p->Font->Assign(cv->Font());
  p->State = c.State;
  p->Background = cv->Brush()->Color();
  FillFromColumn(col, p);
  GetCellParams(col, p->Font.get(), p->Background, p->State);
  if (col->OnGetCellParams()) col->OnGetCellParams()(col, false, p);
  c.Highlighted = IsCellHighlighted(c.ACol, c.ARow, c.DataCol, c.DataRow, p->Background, p->State, p->Font.get());
  if (c.Highlighted) p->State.Include(gdSelected);
  cv->SetFont(p->Font.get());
  cv->Brush()->SetColor(p->Background);
  if (col->HideDuplicates() && IsDuplicateValue(col, p->Text)) {
    p->Text.clear();
    p->ImageIndex = -1;
  }
  if (DefaultDrawing() && tr.Right > tr.Left) {
    if (c.Frame3D && c.Themed) FillCellBackground(tr, c.Highlighted, TRect{});
    int left_marg = 0;
    TCustomImageList* images = col->ImageList();
    const TColumnCellKindEh ck = col->GetColumnType();
    if (images != nullptr && col->ShowImageAndText()) {
      TRect box{tr.Left, tr.Top, std::min(tr.Right, tr.Left + images->Width() + 4), tr.Bottom};
      const TColor keep = cv->Brush()->Color();
      cv->Brush()->SetColor(col->Color());
      cv->FillRect(box);
      DrawImageCentered(cv->Handle(), box, images, p->ImageIndex, c.Highlighted);
      cv->Brush()->SetColor(keep);
      tr.Left = box.Right;
      left_marg = 1;
    }
    if (ck == cckCheckBoxes) {
      cv->FillRect(tr);
      const int w = DefaultCheckBoxWidth(), h = DefaultCheckBoxHeight();
      TRect box = tr;
      if (tr.Width() > w) box.Left = tr.Left + (tr.Width() - w) / 2, box.Right = box.Left + w;
      if (tr.Height() > h) box.Top = tr.Top + (tr.Height() - h) / 2, box.Bottom = box.Top + h;
      PaintButtonControlEh(cv->Handle(), box, p->Background, bpkCheckBoxEh, 0, flat_, false, true, p->CheckboxState);
    } else if (ck == cckKeyImageList && images != nullptr) {
      cv->FillRect(tr);
      DrawImageCentered(cv->Handle(), tr, images, p->ImageIndex, c.Highlighted);
    } else {
      DrawCellText(cv, tr, true, c.DX, c.DY, p->Text, p->Alignment, col->Layout(),
                   col->WordWrap() && DataRowsMultiLine(), col->EndEllipsis(), left_marg, 0);
    }
  }
  c.TextRect = tr;
  if (show_buttons && buttons_w > 0) {
    const TRect cell = c.Rect;
    int x = c.Rect.Right - buttons_w;
    int top = c.Rect.Top;
    const TColor parent = cv->Brush()->Color();
    auto draw_one = [&](int w, TEditButtonStyleEh style, TBitmap* glyph) {
      TRect br{x, top, x + w, top + edit_button_height_};
      DrawEditButton(cv, style, br, cell, parent, data_link_->Active(), flat_, false, 0, glyph);
      if (flat_ && c.Frame3D) cv->FillRect(TRect{br.Left - 1, br.Top, br.Left, cell.Bottom});
      x += w;
    };
    if (kind != ekPlain) {
      if (c.Frame3D) {
        x += 1;
        top -= 1;
      }
      draw_one(edit_button_width_ + f, EditKindButtonStyle(kind), nullptr);
    }
    TEditButtonsEh* eb = col->EditButtons();
    for (int i = 0; i < eb->Count(); ++i) {
      TEditButtonEh* b = eb->Items(i);
      if (!b->Visible()) continue;
      const int w = (b->Width() > 0 ? b->Width() : edit_button_width_) + f;
      draw_one(w, b->Style(), b->Glyph());
    }
    if (edit_button_height_ < DefaultRowHeight())
      cv->FillRect(TRect{c.Rect.Right - buttons_w, c.Rect.Top + edit_button_height_, c.Rect.Right, c.Rect.Bottom});
  }
  DrawRequiredMark(col, p->Text, tr);
  if (col->IsDefaultColumn()) DrawDataCell(c.Rect, col->Field(), p->State);
  DrawColumnCell(c.Rect, c.DataCol, col, p->State);
  if (inc_searching_ && p->State.Contains(gdSelected) && c.DataRow == c.OldActive && c.ACol == Col() &&
      (options_.Contains(dgAlwaysShowSelection) || Focused()) && !IsDesigning() && update_lock_ == 0 &&
      IsActiveControl())
    DrawInplaceSearchMark();
  if (!(flat_ && kind != ekPlain && show_buttons)) c.Rect.Right -= buttons_w;
}

void TCustomDBGridEh::DrawFooterRowCell(TCellDrawCtx& c) {
  TCanvas* cv = Canvas();
  TColumnEh* col = c.Column;
  const int filler = RowCount() - footer_row_count_ - 1 - title_offset_;
  const int k = c.ARow - title_offset_ - filler - 1;
  TColumnFooterEh* footer = col->UsedFooter(k);
  cv->SetFont(footer->Font());
  TColor bg = footer->Color();
  cv->Brush()->SetColor(bg);
  if (DefaultDrawing()) {
    TAlignment al = footer->Alignment();
    String text = GetFooterValue(k, col);
    GetFooterParams(c.DataCol, k, col, cv->Font(), bg, al, c.State, text);
    const bool sel = IsCellSelected(c.ACol, c.ARow, TBookmark(), c.DataCol);
    c.Highlighted = GetHighlightColors(c.ACol, c.ARow, cv->Font(), bg, sel, c.State, c.AreaCol, c.AreaRow) && sel;
    cv->Brush()->SetColor(bg);
    if (c.Frame3D && c.Themed) FillCellBackground(c.Rect, c.Highlighted, TRect{});
    const bool fill = !(c.Frame3D && c.Themed && bg == clBtnFace);
    DrawCellText(cv, c.Rect, fill, c.DX, c.DY, text, al, col->Layout(), footer->WordWrap() && DataRowsMultiLine(),
                 footer->EndEllipsis(), 0, 0);
  }
  if (on_draw_footer_cell_) on_draw_footer_cell_(this, c.DataCol, k, col, c.Rect, c.State);
}

void TCustomDBGridEh::DrawTitleBand(THeadTreeNode* ChildNode, TRect ChildRect, bool EndEllipsis) {
  THeadTreeNode* h = ChildNode->Host();
  // The root holds the tree and is no title: its band is not drawn.
  if (h == nullptr || h->Host() == nullptr || draw_ctx_ == nullptr) return;
  TCellDrawCtx& c = *draw_ctx_;
  TCanvas* cv = Canvas();
  const bool col_lines = options_.Contains(dgColLines), row_lines = options_.Contains(dgRowLines);
  const bool themed = c.Themed;
  TColor bg = FixedColor();
  cv->SetFont(title_font_.get());
  if (c.Highlighted)
    GetHighlightColors(c.ACol, c.ARow, cv->Font(), bg, true, c.State, c.AreaCol, c.AreaRow);
  cv->Brush()->SetColor(bg);
  TRect b;
  b.Bottom = ChildRect.Top - (row_lines ? 1 : 0);
  b.Top = ChildRect.Top - h->Height();
  b.Left = ChildRect.Left;
  for (THeadTreeNode* s = h->Child(); s != nullptr && s != ChildNode; s = s->Next())
    b.Left -= s->Width() + (col_lines ? 1 : 0);
  b.Right = b.Left + h->Width();
  // The slice of the band above this cell.
  const TRect cell = CellRect(c.ACol, c.ARow);
  TRect s{cell.Left, b.Top, cell.Right, b.Bottom};
  int l = b.Left - cell.Left;
  int r = cell.Right - b.Right;
  if (r != 0 && !(c.ACol == FixedCols() - 1 && LeftCol() != FixedCols())) {
    s.Right += 1;
    r += 1;
  }
  const bool fixed3d = options_eh_.Contains(dghFixed3D);
  if (fixed3d) s = TRect{s.Left, s.Top + 1, s.Right, s.Bottom - 1};
  TRect t = s;
  if (l == 0) {
    cv->FillRect(TRect{t.Left, t.Top, t.Left + 2, t.Bottom});
    t.Left += 2;
  } else {
    l += 2;
  }
  if (r == 0) {
    cv->FillRect(TRect{t.Right - 2, t.Top, t.Right, t.Bottom});
    t.Right -= 2;
  } else {
    r += 2;
  }
  if (themed) {
    const TRect clip{t.Left - 2, t.Top - 2, t.Right + 3, t.Bottom + 2};
    FillCellBackground(TRect{t.Left + l - 1, t.Top, t.Right - r + 1, t.Bottom}, c.Highlighted, clip);
  }
  if (t.Bottom > t.Top && t.Right > t.Left) {
    // Laid out over the whole band, shown in this slice.
    TClipSwitch clip(cv->Handle(), t);
    DrawCellText(cv, t, !themed, 0, c.DY, h->Text(), taCenter, tlCenter, true, EndEllipsis, l, r);
  }
  if (fixed3d && !themed) {
    s = TRect{s.Left, s.Top - 1, s.Right, s.Bottom + 1};
    DrawCellFrame(s, c.Highlighted, l == 0, r == 0);
  }
  if (row_lines && !themed) {
    TPen* pen = cv->Pen();
    const TColor old = pen->Color();
    pen->SetColor(flat_ ? static_cast<TColor>(0x808080) : clBlack);
    cv->MoveTo(s.Left, b.Bottom);
    cv->LineTo(s.Right, b.Bottom);
    pen->SetColor(old);
  }
  if (h->Host() != nullptr) DrawTitleBand(h, b, EndEllipsis);
}

// ---------------------------------------------------------------------------
// Paint

namespace {
struct TLineFamilies {
  std::vector<TPoint> Points[2];  // 0 fixed, 1 data
  void Add(int Family, TPoint A, TPoint B) {
    std::vector<TPoint>& v = Points[Family];
    // A segment that continues the last one on the same line extends it.
    if (!v.empty() && v.back() == A && v.size() >= 2) {
      const TPoint& from = v[v.size() - 2];
      if ((from.X == A.X && A.X == B.X) || (from.Y == A.Y && A.Y == B.Y)) {
        v.back() = B;
        return;
      }
    }
    v.push_back(A);
    v.push_back(B);
  }
};
}  // namespace

void TCustomDBGridEh::DrawGridLines(const TGridDrawInfo& Info) {
  HDC dc = Canvas()->Handle();
  if (dc == nullptr) return;
  std::vector<TGridSpan> cols, rows;
  GridShownCells(Info.Horz, cols);
  GridShownCells(Info.Vert, rows);
  const int lw_h = Info.Horz.EffectiveLineWidth, lw_v = Info.Vert.EffectiveLineWidth;
  const TGridOptions o = TCustomGrid::Options();
  const int fixed_rows = FixedRows(), fixed_cols = FixedCols();
  const int first_footer = footer_row_count_ > 0 ? RowCount() - footer_row_count_ : RowCount();
  const bool footer_fixed = footer_row_count_ > 0 && (options_eh_.Contains(dghFooter3D) || footer_color_ == clBtnFace);
  const bool frozen_fixed = options_eh_.Contains(dghFrozen3D);
  auto family = [&](int c, int r) {
    if (r < fixed_rows || c < indicator_offset_) return 0;
    if (footer_fixed && r >= first_footer) return 0;
    if (c < fixed_cols) return frozen_fixed ? 0 : 1;
    return 1;
  };
  TLineFamilies lines;
  if (lw_h > 0)
    for (const TGridSpan& c : cols) {
      const int x = c.start + c.extent + lw_h / 2;
      for (const TGridSpan& r : rows) {
        const int fam = family(c.index, r.index);
        if (!o.Contains(fam == 0 ? goFixedVertLine : goVertLine)) continue;
        lines.Add(fam, TPoint{x, r.start}, TPoint{x, r.start + r.extent + lw_v});
      }
    }
  if (lw_v > 0)
    for (const TGridSpan& r : rows) {
      const int y = r.start + r.extent + lw_v / 2;
      for (const TGridSpan& c : cols) {
        int fam = family(c.index, r.index);
        if (footer_fixed && r.index == first_footer - 1) fam = 0;  // along the footers' top edge
        if (!o.Contains(fam == 0 ? goFixedHorzLine : goHorzLine)) continue;
        lines.Add(fam, TPoint{c.start, y}, TPoint{c.start + c.extent + lw_h, y});
      }
    }
  const TColor colors[2] = {flat_ || UseThemedFixedCells() ? clBtnShadow : clBlack,
                            Color() == clSilver ? clGray : clSilver};
  const int width = std::max(lw_h, lw_v);
  for (int f = 0; f < 2; ++f) {
    std::vector<TPoint>& pts = lines.Points[f];
    if (pts.empty()) continue;
    const COLORREF rgb = static_cast<COLORREF>(ColorToRGB(colors[f]));
    LOGBRUSH lb{BS_SOLID, rgb, 0};
    HPEN pen = width > 1 ? ExtCreatePen(PS_GEOMETRIC | PS_SOLID | PS_ENDCAP_FLAT | PS_JOIN_MITER,
                                        static_cast<DWORD>(width), lb, 0, nullptr)
                         : CreatePen(PS_SOLID, 1, rgb);
    HPEN old = SelectObject(dc, pen);
    std::vector<DWORD> counts(pts.size() / 2, 2);
    PolyPolyline(dc, pts.data(), counts.data(), static_cast<DWORD>(counts.size()));
    SelectObject(dc, old);
    DeleteObject(pen);
  }
}

void TCustomDBGridEh::Paint() {
  if (in_layout_) return;
  TCanvas* cv = Canvas();
  HDC dc = cv->Handle();
  const bool mirrored = BiDiMode() == bdRightToLeft;
  if (mirrored) {
    SetMapMode(dc, MM_ANISOTROPIC);
    SetWindowOrgEx(dc, ClientWidth(), 0, nullptr);
    SetViewportExtEx(dc, ClientWidth(), ClientHeight(), nullptr);
    SetWindowExtEx(dc, -ClientWidth(), ClientHeight(), nullptr);
  }
  TGridDrawInfo info;
  CalcDrawInfo(info);
  DrawGridLines(info);
  std::vector<TGridSpan> cols, rows;
  GridShownCells(info.Horz, cols);
  GridShownCells(info.Vert, rows);
  const TGridRect sel = TCustomGrid::Selection();
  const bool active = IsActiveControl();
  const TRect clip = cv->ClipRect();
  const int fixed_cols = FixedCols(), fixed_rows = FixedRows();
  // Fixed corner, titles, indicator column, then the data area.
  for (int region = 0; region < 4; ++region) {
    for (const TGridSpan& r : rows) {
      if (r.start >= clip.Bottom || r.start + r.extent <= clip.Top) continue;
      const bool fixed_row = r.index < fixed_rows;
      if ((region <= 1) != fixed_row) continue;
      for (const TGridSpan& c : cols) {
        const bool fixed_col = c.index < fixed_cols;
        if ((region == 0 || region == 2) != fixed_col) continue;
        if (c.start >= clip.Right || c.start + c.extent <= clip.Left) continue;
        const TRect where{c.start, r.start, c.start + c.extent, r.start + r.extent};
        TGridDrawState state;
        if (region < 3) {
          state.Include(gdFixed);
          cv->Brush()->SetColor(FixedColor());
        } else {
          cv->Brush()->SetColor(Color());
        }
        if (sel.Contains(c.index, r.index)) state.Include(gdSelected);
        if (active && c.index == Col() && r.index == Row()) state.Include(gdFocused);
        cv->SetFont(Font());
        DrawCell(c.index, r.index, where, state);
      }
    }
  }
  if (!IsDesigning() && TCustomGrid::Options().Contains(goRowSelect) && Focused()) {
    const TRect box = BoxRect(sel.Left, sel.Top, sel.Right, sel.Bottom);
    if (!EmptyRect(box)) cv->DrawFocusRect(box);
  }
  cv->Brush()->SetColor(Color());
  if (info.Horz.GridBoundary < ClientWidth())
    cv->FillRect(TRect{info.Horz.GridBoundary, 0, ClientWidth(), ClientHeight()});
  if (info.Vert.GridBoundary < ClientHeight())
    cv->FillRect(TRect{0, info.Vert.GridBoundary, info.Horz.GridBoundary, ClientHeight()});
  if (IsRowSelectFocused() && (style_ == nullptr || style_->DrawFocusFrame())) {
    cv->Font()->SetColor(clWindowText);
    cv->Brush()->SetColor(clWindow);
    TRect box = BoxRect(std::max(0, sel.Left - frozen_cols_), sel.Top, sel.Right, sel.Bottom);
    if (!EmptyRect(box)) DrawFocusRect(dc, box);
  }
  if (mirrored) {
    SetWindowOrgEx(dc, 0, 0, nullptr);
    SetMapMode(dc, MM_TEXT);
  }
}

void TCustomDBGridEh::PaintWindow(HDC DC) {
  if (!paint_buffered_ && UseThemedFixedCells()) paint_buffered_ = true;
  if (!paint_buffered_ || DC == nullptr) {
    TCustomGrid::PaintWindow(DC);
    return;
  }
  const int w = std::max(1, ClientWidth()), h = std::max(1, ClientHeight());
  TRect box{0, 0, w, h};
  GetClipBox(DC, &box);
  HDC mem = CreateCompatibleDC(DC);
  HBITMAP bmp = CreateCompatibleBitmap(DC, w, h);
  HBITMAP old = SelectObject(mem, bmp);
  Perform(WM_ERASEBKGND, reinterpret_cast<WPARAM>(mem), 0);
  IntersectClipRect(mem, box.Left, box.Top, box.Right, box.Bottom);
  TCustomGrid::PaintWindow(mem);
  BitBlt(DC, 0, 0, w, h, mem, 0, 0, SRCCOPY);
  SelectObject(mem, old);
  DeleteObject(bmp);
  DeleteDC(mem);
}

void TCustomDBGridEh::PaintFlatBorder() {
  if (!flat_ || BorderStyle() != bsSingle || !Ctl3D() || !HandleAllocated()) return;
  HDC dc = GetWindowDC(Handle());
  if (dc == nullptr) return;
  TRect r;
  GetWindowRect(Handle(), &r);
  r = TRect{0, 0, r.Right - r.Left, r.Bottom - r.Top};
  DrawEdge(dc, r, BDR_SUNKENOUTER, BF_RECT);
  ReleaseDC(Handle(), dc);
}

// ---------------------------------------------------------------------------
// Repaint helpers

bool TCustomDBGridEh::IsActiveControl() {
  if (TCustomForm* form = GetParentForm(this)) return form->ActiveControl() == this;
  if (!HandleAllocated()) return false;
  for (HWND w = GetFocus(); w != nullptr && IsWindow(w); w = GetParent(w))
    if (w == Handle()) return true;
  return false;
}

void TCustomDBGridEh::InvalidateSelection() {
  if (selection_->SelectionType() == gstAll) {
    Invalidate();
  } else if (selection_->SelectionType() != gstNon) {
    const TRect r = selection_->SelectionToGridRect();
    if (r.Left >= 0 && r.Top >= 0) InvalidateGridRect(TGridRect{r.Left, r.Top, r.Right, r.Bottom});
  }
  if (HandleAllocated()) InvalidateRow(Row());
  last_focused_ = IsGridOrEditorFocused();
}

void TCustomDBGridEh::InvalidateIndicator() {
  if (options_.Contains(dgIndicator) && HandleAllocated() && indicator_row_ >= 0 && indicator_row_ < RowCount())
    InvalidateCell(0, indicator_row_);
}
