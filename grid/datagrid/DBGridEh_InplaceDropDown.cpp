// TDBGridInplaceEdit: its drop-downs (pick list, lookup grid, calendar,
// calculator) and the most-recently-used list.
#include <algorithm>
#include <cctype>

#include "grid/datagrid/DBGridEh.h"
#include "grid/toolkit/CalculatorEh.h"
#include "platform/gui/Popup.h"
#include "platform/rtl/Locale.h"
#include "platform/rtl/SysUtils.h"

double CalculatorValueOfText(const String& Text) {
  // Keep what a number is written with; drop group separators, currency
  // marks and blanks.
  const TFormatSettings& fs = FormatSettings;
  String digits;
  bool decimal_seen = false;
  for (size_t i = 0; i < Text.size(); ++i) {
    const char ch = Text[i];
    if (ch >= '0' && ch <= '9') {
      digits += ch;
    } else if ((ch == fs.DecimalSeparator || (ch == '.' && fs.ThousandSeparator != '.')) && !decimal_seen) {
      digits += fs.DecimalSeparator;
      decimal_seen = true;
    } else if ((ch == '-' || ch == '(') && digits.empty()) {
      digits += '-';
    } else if ((ch == 'e' || ch == 'E') && !digits.empty() && i + 1 < Text.size()) {
      digits += ch;
      if (Text[i + 1] == '-' || Text[i + 1] == '+') digits += Text[++i];
    }
  }
  double v = 0;
  if (digits.empty() || !TryStrToFloat(digits, v)) return 0;
  return v;
}

void TDBGridInplaceEdit::SetEditStyle(TInplaceEditKindEh Kind) {
  edit_kind_ = Kind;
  TColumnEh* c = GetColumn();
  switch (Kind) {
    case ekPickList:
      if (pick_list_box_ == nullptr) {
        pick_list_box_ = new TPopupListboxEh(this);
        pick_list_box_->SetVisible(false);
        pick_list_box_->SetCtl3D(true);
        pick_list_box_->SetParent(this);
        pick_list_box_->SetOnMouseUp({this, &TDBGridInplaceEdit::ListMouseUp});
      }
      pick_list_box_->SetImages(c != nullptr ? c->ImageList() : nullptr);
      pick_list_box_->SetItemHeight(pick_list_box_->GetTextHeight());
      active_list_ = pick_list_box_;
      break;
    case ekLookupList: {
      TCustomDBGridEh* list = c != nullptr ? c->GetLookupGrid() : nullptr;
      if (list != data_list_) {
        if (data_list_ != nullptr) data_list_->RemoveFreeNotification(this);
        data_list_ = list;
        if (list != nullptr) {
          list->SetVisible(false);
          list->SetCtl3D(true);
          list->SetParentCtl3D(false);
          list->SetParent(this);
          list->FreeNotification(this);
        }
      }
      active_list_ = data_list_;
      break;
    }
    case ekCalendar:
      if (calendar_ == nullptr) {
        calendar_ = new TPopupMonthCalendarEh(this);
        calendar_->SetVisible(false);
        calendar_->SetParent(this);
      }
      active_list_ = calendar_;
      break;
    case ekCalculator:
      active_list_ = c != nullptr && dynamic_cast<TNumericField*>(c->Field()) != nullptr ? GetPopupCalculator() : nullptr;
      break;
    default: active_list_ = nullptr; break;
  }
  if (c != nullptr) SetReadOnly(c->ReadOnly());
  Invalidate();
}

TPopupCalculatorEh* TDBGridInplaceEdit::GetPopupCalculator() {
  if (calculator_ == nullptr) {
    calculator_ = new TPopupCalculatorEh(this);
    calculator_->SetVisible(false);
    calculator_->SetParent(this);
    if (HandleAllocated()) calculator_->HandleNeeded();
  }
  return calculator_;
}

void TDBGridInplaceEdit::ListMouseUp(TObject*, TMouseButton Button, TShiftState, int X, int Y) {
  if (Button == mbLeft && pick_list_box_ != nullptr)
    CloseUp(pick_list_box_->ClientRect().Contains(TPoint{X, Y}));
}

void TDBGridInplaceEdit::ShowPopup(TWinControl* Popup) {
  const TPoint p = AlignDropDownWindow(this, Popup, daLeft);
  SetWindowPos(Popup->Handle(), HWND_TOP, p.X, p.Y, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
  Popup->SetVisible(true);
}

void TDBGridInplaceEdit::HidePopup(TWinControl* Popup) {
  if (Popup->HandleAllocated())
    SetWindowPos(Popup->Handle(), nullptr, 0, 0, 0, 0,
                 SWP_HIDEWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  Popup->SetVisible(false);
}

// The data list shows the lookup dataset through ListDataSource: its
// current record is the list's choice.
void TDBGridInplaceEdit::DataListTakeKey(const Variant& Key) {
  TColumnEh* c = GetColumn();
  TDataSet* lds = data_source_->DataSet();
  if (c == nullptr || c->Field() == nullptr || lds == nullptr || !lds->Active()) return;
  if (!VarIsNull(Key) && !VarIsEmpty(Key)) lds->Locate(c->Field()->LookupKeyFields(), Key, TLocateOptions{});
  // The list grid keeps its own selected key: it moves from there.
  if (data_list_ != nullptr && ColumnDropDownGridFactoryEh().SelectKey != nullptr)
    ColumnDropDownGridFactoryEh().SelectKey(data_list_, c, Key);
}

String TDBGridInplaceEdit::DataListText() const {
  TColumnEh* c = GetColumn();
  TDataSet* lds = data_source_->DataSet();
  if (c == nullptr || c->Field() == nullptr || lds == nullptr || !lds->Active() || lds->IsEmpty()) return Text();
  TField* r = lds->FindField(c->Field()->LookupResultField());
  return r != nullptr ? r->Text() : Text();
}

// The text an open list shows while it is browsed: the grid's edit text
// keeps the cell's value until the list is accepted.
void TDBGridInplaceEdit::SetListText(const String& Value) {
  TCustomDBGridEh* g = Grid();
  if (g == nullptr) return SetText(Value);
  const bool saved = g->writing_edit_text_;
  g->writing_edit_text_ = true;
  try {
    SetText(Value);
  } catch (...) {
    g->writing_edit_text_ = saved;
    throw;
  }
  g->writing_edit_text_ = saved;
}

void TDBGridInplaceEdit::DropDown() {
  if (list_visible_ || active_list_ == nullptr) return;
  TCustomDBGridEh* g = Grid();
  TColumnEh* c = GetColumn();
  if (g == nullptr || c == nullptr) return;
  active_list_->SetWidth(Width());
  if (active_list_ == data_list_) {
    TDataSet* lds = c->GetLookupDataSet();
    if (lds == nullptr) return;
    data_list_->SetColor(Color());
    data_list_->TControl::SetFont(Font());
    data_source_->SetDataSet(lds);
    data_list_->SetDataSource(data_source_);
    int width = Width();
    if (c->DropDownWidth() == -1) {
      width = 0;
      for (int i = 0; i < data_list_->Columns()->Count(); ++i) width += data_list_->Columns()->Items(i)->Width();
    } else if (c->DropDownWidth() > 0) {
      width = c->DropDownWidth();
    }
    data_list_->SetWidth(std::max(width, Width()));
    spec_row_picked_ = false;
    DataListTakeKey(g->LookupKeyValue());
  } else if (active_list_ == calendar_) {
    calendar_->SetColor(Color());
    calendar_->TControl::SetFont(Font());
    TDateTime d = Date();
    if (!Text().empty()) {
      try {
        d = StrToDate(Text());
      } catch (const Exception&) {
        TField* f = c->Field();
        d = f != nullptr && !f->IsNull() && f->AsDateTime() != 0 ? f->AsDateTime() : Date();
      }
    }
    calendar_->SetDate(d);
    const TRect r = calendar_->MinReqRect();
    calendar_->SetBounds(calendar_->Left(), calendar_->Top(), r.Width(), r.Height());
  } else if (active_list_ == calculator_) {
    // A formatted or foreign text opens the calculator at 0.
    calculator_->SetValue(Text().empty() ? Variant(0) : Variant(CalculatorValueOfText(Text())));
    calculator_->SetFlat(g->Flat());
    SetSelLength(0);
  } else if (active_list_ == pick_list_box_) {
    TPopupListboxEh* list = pick_list_box_;
    list->SetColor(Color());
    list->TControl::SetFont(Font());
    list->Items()->Clear();
    const bool key_list = c->KeyList()->Count() > 0;
    const int count = key_list ? std::min(c->PickList()->Count(), c->KeyList()->Count()) : c->PickList()->Count();
    for (int i = 0; i < count; ++i) list->Items()->AddObject(c->PickList()->Strings(i), c->PickList()->Objects(i));
    const int item_h = list->ItemHeight();
    const int rows = static_cast<int>(c->DropDownRows());
    list->SetHeight(count >= rows ? item_h * rows + 4 : item_h * count + 4);
    TField* f = c->Field();
    list->SetItemIndex(f == nullptr || f->IsNull() ? -1 : list->Items()->IndexOf(Text()));
    TCanvas measure;
    measure.Font()->Assign(Font());
    int widest = 0;
    for (int i = 0; i < count; ++i) widest = std::max(widest, measure.TextWidth(list->Items()->Strings(i)));
    list->SetClientWidth(std::max(list->ClientWidth(), widest) + 4);
  }
  if (ColumnMRUList() != nullptr && ColumnMRUList()->DroppedDown()) CloseMRUList(false);
  ShowPopup(active_list_);
  if (auto* list = dynamic_cast<TPopupListboxEh*>(active_list_)) {
    if (list->SizeGrip() != nullptr) list->SizeGrip()->SetVisible(c->DropDownSizing());
    list->SetSizeGripResized(false);
  }
  list_visible_ = true;
  Invalidate();
  if (!button_controls_.empty()) button_controls_[0].Button->SetAlwaysDown(true);
  list_dropped_ = true;
}

void TDBGridInplaceEdit::CloseUp(bool Accept) {
  TCustomDBGridEh* g = Grid();
  TColumnEh* c = GetColumn();
  TWinControl* list = active_list_;
  if (list != nullptr && list->HandleAllocated()) {
    TControl* focus = FindControl(GetFocus());
    if (focus != nullptr && (focus == list || list->ContainsControl(focus)) && CanFocus()) SetFocus();
  }
  if (!list_visible_ || list == nullptr) return;
  if (!button_controls_.empty()) button_controls_[0].Button->SetAlwaysDown(false);
  if (grid_updating_) return;
  if (MouseCapture()) SetMouseCapture(false);
  if (list->MouseCapture()) list->SetMouseCapture(false);
  Variant value = Null();
  String list_text;
  if (list == data_list_ && c != nullptr && c->Field() != nullptr) {
    TDataSet* lds = data_source_->DataSet();
    if (lds != nullptr && lds->Active() && !lds->IsEmpty()) {
      value = lds->FieldValues(c->Field()->LookupKeyFields());
      list_text = DataListText();
    }
    if (spec_row_picked_) {
      value = c->DropDownSpecRow()->Value();
      list_text = c->DropDownSpecRow()->GetCellText(0);
    }
  } else if (list == pick_list_box_ && pick_list_box_ != nullptr) {
    const int i = pick_list_box_->ItemIndex();
    if (i >= 0 && i < pick_list_box_->Items()->Count())
      value = c != nullptr && c->KeyList()->Count() > 0 ? Variant(c->KeyList()->Strings(i))
                                                        : Variant(pick_list_box_->Items()->Strings(i));
    if (pick_list_box_->SizeGripResized() && c != nullptr && pick_list_box_->ItemHeight() > 0) {
      c->SetDropDownRows(static_cast<Cardinal>(pick_list_box_->ClientHeight() / pick_list_box_->ItemHeight()));
      c->SetDropDownWidth(pick_list_box_->Width());
    }
  }
  HidePopup(list);
  list_dropped_ = list_visible_ = false;
  if (list == data_list_ && data_list_ != nullptr) data_list_->SetDataSource(nullptr);
  data_source_->SetDataSet(nullptr);
  Invalidate();
  if (g == nullptr || c == nullptr) return;
  if (!Accept) {
    if (list == data_list_ || list == pick_list_box_) SetListText(g->EditText());
    return;
  }
  if (list == data_list_) {
    TField* f = c->Field();
    std::vector<TField*> keys;
    if (f != nullptr && f->DataSet() != nullptr && !f->KeyFields().empty()) f->DataSet()->GetFieldList(keys, f->KeyFields());
    if (f != nullptr && FieldsCanModify(keys) && g->CanEditModify() && c->CanModify(true)) {
      f->DataSet()->Edit();
      if (g->DataLink()->Editing()) {
        g->DataLink()->Modified();
        g->SetLookupKeyValue(value);
        g->edit_text_ = list_text;
      }
      SetText(list_text);
      SelectAll();
    }
  } else if (list == calendar_) {
    TField* f = c->Field();
    if (f != nullptr && c->CanModify(true) && g->CanEditModify()) {
      f->DataSet()->Edit();
      const TDateTime d = calendar_->Date();
      c->UpdateData(FormatDateTime(FormatSettings.ShortDateFormat, d), VarFromDateTime(d), false);
      SetText(g->GetEditText(g->Col(), g->Row()));
      SelectAll();
    }
  } else if (list == calculator_) {
    if (c->CanModify(true) && g->CanEditModify()) {
      const Variant v = calculator_->GetValue();
      const TVarType t = VarType(v);
      if (t == varSmallint || t == varInteger || t == varSingle || t == varDouble || t == varCurrency) {
        SetText(FloatToStr(v.AsDouble()));
        g->edit_text_ = Text();
        if (g->DataLink()->Editing()) g->DataLink()->Modified();
        SelectAll();
      }
    }
  } else if (!VarIsNull(value) && g->CanEditModify()) {
    String text = VarToStr(value);
    if (c->KeyList()->Count() > 0 && pick_list_box_ != nullptr && pick_list_box_->ItemIndex() >= 0)
      text = pick_list_box_->Items()->Strings(pick_list_box_->ItemIndex());
    SetText(text);
    g->edit_text_ = text;
    if (g->DataLink()->Editing()) g->DataLink()->Modified();
    UpdateImageIndex();
  }
}

bool TDBGridInplaceEdit::DoDropDownKeys(Word& Key, TShiftState Shift) {
  const bool alt = Shift.Contains(ssAlt);
  const bool calculator_open = list_visible_ && active_list_ != nullptr && active_list_ == calculator_;
  if ((Key == VK_UP || Key == VK_DOWN) && alt) {
    if (list_visible_) CloseUp(true);
    else DropDown();
    Key = 0;
    return true;
  }
  if ((Key == VK_RETURN || Key == VK_ESCAPE) && !alt && list_visible_ && !calculator_open) {
    if (!Shift.Contains(ssCtrl) || Key == VK_ESCAPE) {
      CloseUp(Key == VK_RETURN);
      Key = 0;
      return true;
    }
  }
  if (Key == VK_RETURN && Shift == TShiftState{ssCtrl} && !list_visible_ && active_list_ != nullptr) {
    DropDown();
    Key = 0;
    return true;
  }
  return false;
}

// ---------------------------------------------------------------------------
// The most-recently-used list

TMRUListboxEh* TDBGridInplaceEdit::CreateMRUListBox() {
  auto* list = new TMRUListboxEh(this);
  list->SetVisible(false);
  list->SetCtl3D(false);
  list->SetParentCtl3D(false);
  list->SetParent(this);
  list->SetOnMouseUp({this, &TDBGridInplaceEdit::MRUListMouseUp});
  return list;
}

TMRUListboxEh* TDBGridInplaceEdit::GetMRUListBox() {
  if (mru_list_box_ == nullptr) mru_list_box_ = CreateMRUListBox();
  return mru_list_box_;
}

void TDBGridInplaceEdit::MRUListMouseUp(TObject*, TMouseButton, TShiftState, int X, int Y) {
  if (mru_list_box_ != nullptr) CloseMRUList(mru_list_box_->ClientRect().Contains(TPoint{X, Y}));
}

void TDBGridInplaceEdit::FilterMRUItem(const String& ItemText, bool& Accept) {
  const String text = Text();
  const String head = ItemText.substr(0, Utf8Prefix(ItemText, Utf8Length(text)));
  Accept = ColumnMRUList() != nullptr && ColumnMRUList()->CaseSensitive() ? head == text : AnsiCompareText(head, text) == 0;
  if (ColumnMRUList() != nullptr && ColumnMRUList()->OnFilterItem()) ColumnMRUList()->OnFilterItem()(GetColumn(), Accept);
}

void TDBGridInplaceEdit::DropDownMRUList() {
  if (ColumnMRUList() == nullptr || mru_setting_text_) return;
  const String empty = IsMasked() ? FormatMaskText(EditMask(), String()) : String();
  if (Text() == empty) {
    if (ColumnMRUList()->DroppedDown()) CloseMRUList(false);
    return;
  }
  if (!ColumnMRUList()->Active() || !Showing() || list_dropped_) return;
  TMRUListboxEh* list = GetMRUListBox();
  list->Items()->Clear();
  for (int i = 0; i < ColumnMRUList()->Items()->Count(); ++i) {
    bool accept = false;
    FilterMRUItem(ColumnMRUList()->Items()->Strings(i), accept);
    if (accept) list->Items()->Add(ColumnMRUList()->Items()->Strings(i));
  }
  const int count = list->Items()->Count();
  if (count == 0) {
    if (ColumnMRUList()->DroppedDown()) CloseMRUList(false);
    return;
  }
  if (!ColumnMRUList()->DroppedDown()) {
    list->SetColor(Color());
    list->TControl::SetFont(Font());
    list->SetItemHeight(list->GetTextHeight());
    list->SetItemIndex(-1);
    list->SetWidth(ColumnMRUList()->Width() > 0 ? ColumnMRUList()->Width() : Width());
  }
  list->SetRowCount(std::min(count, ColumnMRUList()->Rows()));
  ShowPopup(list);
  if (list->SizeGrip() != nullptr) list->SizeGrip()->SetVisible(true);
  ColumnMRUList()->SetDroppedDown(true);
}

void TDBGridInplaceEdit::CloseMRUList(bool Accept) {
  if (ColumnMRUList() == nullptr || !ColumnMRUList()->DroppedDown() || mru_list_box_ == nullptr) return;
  TMRUListboxEh* list = mru_list_box_;
  if (list->MouseCapture()) list->SetMouseCapture(false);
  const bool list_focused = list->HandleAllocated() && GetFocus() == list->Handle();
  HidePopup(list);
  if (list_focused && CanFocus()) SetFocus();
  ColumnMRUList()->SetDroppedDown(false);
  TCustomDBGridEh* g = Grid();
  if (!Accept || ReadOnly() || g == nullptr) return;
  g->DataLink()->Edit();
  if (!g->DataLink()->Editing()) return;
  const int i = list->ItemIndex();
  if (i >= 0 && i < list->Items()->Count()) {
    // The list's own text opens no list again.
    mru_setting_text_ = true;
    try {
      SetText(list->Items()->Strings(i));
    } catch (...) {
      mru_setting_text_ = false;
      throw;
    }
    mru_setting_text_ = false;
    text_changed_ = false;
    g->edit_text_ = Text();
    g->DataLink()->Modified();
  }
  if (Focused()) SelectAll();
}

void TDBGridInplaceEdit::StoreMRUListSize() {
  if (ColumnMRUList() == nullptr || !ColumnMRUList()->DroppedDown() || mru_list_box_ == nullptr) return;
  ColumnMRUList()->SetRows(mru_list_box_->RowCount());
  ColumnMRUList()->SetWidth(mru_list_box_->Width());
}
