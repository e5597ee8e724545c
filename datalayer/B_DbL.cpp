// The lookup-list grid and its SQL search text.
#include "datalayer/B_DbL.h"

#include <algorithm>

#include "dataaccess/core/SqlTxtRtns.h"
#include "framework/B_Dlg.h"
#include "framework/B_PF.h"
#include "platform/gui/Forms.h"
#include "platform/gui/Messages.h"
#include "platform/gui/Popup.h"
#include "platform/rtl/Locale.h"
#include "platform/rtl/SysUtils.h"

namespace {

// Handled double clicks of all lists: the click right after one is ignored.
int g_dbl_click_guard = 0;

String Converted(const String& Text) {
  String result = Text;
  if (ConvertSQLText != nullptr) ConvertSQLText(Text, result);
  return result;
}

// Cond before an existing condition Old, which keeps its brackets.
String PrependCondition(const String& Cond, const String& Old) {
  if (Cond.empty()) return Old;
  if (Trim(Old).empty()) return Cond;
  return Cond + " and\r\n(" + Old + ")";
}

// A and B joined by " and ", each bracketed when both are there.
String JoinConditions(const String& A, const String& B) {
  if (A.empty()) return B;
  if (B.empty()) return A;
  return "(" + A + ") and (" + B + ")";
}

void AppendItem(String& List, const String& Item) {
  if (Item.empty()) return;
  if (!List.empty()) List += "; ";
  List += Item;
}

bool OnlyWildcardsAndDigits(const String& S) {
  return std::all_of(S.begin(), S.end(), [](char c) { return c == '%' || (c >= '0' && c <= '9'); });
}

}  // namespace

TB_DBLookupList::TB_DBLookupList(TComponent* AOwner) : TCustomDBGridEh(AOwner) {
  TControlStyle cs = ControlStyle();
  cs.Include(csClickEvents);
  cs.Include(csReplicatable);
  SetControlStyle(cs);
  TDBGridOptions o = Options();
  o.Exclude(dgTabs);
  o.Include(dgAlwaysShowSelection);
  SetOptions(o);
  SetBounds(Left(), Top(), 121, 97);
  form_ = std::make_unique<TB_LookupListFormPersistent>();
  own_link_ = std::make_unique<TB_DBDataLink>(this, Columns());
  own_link_->SetOnChange({this, &TB_DBLookupList::DataLinkChanged});
  own_link_->SetOnSourceChange({this, &TB_DBLookupList::ShowListSource});
  SetFlat(true);
  SetFooterColor(clWindow);
}

TB_DBLookupList::~TB_DBLookupList() {
  SetDataSource(nullptr);
  list_data_source_.reset();
  list_query_.reset();
  if (external_link_ != nullptr) {
    external_link_->SetOnSourceChange({});
    external_link_ = nullptr;
  }
  own_link_.reset();
  form_.reset();
}

void TB_DBLookupList::SetTag(NativeInt Value) {
  if (Value == Tag()) return;
  TComponent::SetTag(Value);
  if (own_link_->ListSource() == nullptr && Application != nullptr && Application->MainForm() != nullptr) {
    LRESULT r = SendMessage(Application->MainForm()->Handle(), WM_FRAMECOMMAND, static_cast<WPARAM>(Value), 25);
    own_link_->SetListSource(reinterpret_cast<TDataSource*>(r));
  }
}

void TB_DBLookupList::ShowListSource(TObject*) { SetDataSource(DBDataLink()->ListSource()); }

void TB_DBLookupList::FreeList() {
  ShowListSource();
  list_data_source_.reset();
  list_query_.reset();
}

void TB_DBLookupList::SetExternalDataLink(TB_DBDataLink* Link) {
  if (external_link_ != nullptr && external_link_ != Link) external_link_->SetOnSourceChange({});
  external_link_ = Link;
  if (Link != nullptr) Link->SetOnSourceChange({this, &TB_DBLookupList::ShowListSource});
  ShowListSource();
}

void TB_DBLookupList::SetReadOnly(bool Value) {
  DBDataLink()->SetReadOnly(Value);
  TCustomDBGridEh::SetReadOnly(Value);
}

void TB_DBLookupList::SetFindControl(TB_CustomMaskEdit* Value) {
  if (find_control_ == Value) return;
  if (find_control_ != nullptr) find_control_->SetOnChange({});
  find_control_ = Value;
  if (Value != nullptr) {
    Value->FreeNotification(this);
    Value->SetOnChange({this, &TB_DBLookupList::FindControlChange});
  }
}

void TB_DBLookupList::FindControlChange(TObject*) {
  if (find_control_ != nullptr && find_control_->Text() != search_text_) SetSearchText(find_control_->Text());
}

void TB_DBLookupList::Notification(TComponent* AComponent, TOperation Operation) {
  TCustomDBGridEh::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == find_control_) find_control_ = nullptr;
  if (own_link_) own_link_->Notification(AComponent, Operation);
  if (external_link_ != nullptr && external_link_ != own_link_.get()) external_link_->Notification(AComponent, Operation);
}

void TB_DBLookupList::DataLinkChanged(TObject*) {
  current_text_ = DBDataLink()->Text();
  DoChangeData();
}

void TB_DBLookupList::DoChangeData() {
  if (on_change_) on_change_(this);
}

bool TB_DBLookupList::CanEditData() {
  TB_DBDataLink* link = DBDataLink();
  return link->DataSource() == nullptr || link->FieldLink()->Editing();
}

void TB_DBLookupList::SetSearchText(const String& Text) {
  RefreshList(Text);
  if (list_query_ != nullptr) {
    search_text_ = Text;
    return;
  }
  TB_DBDataLink* link = DBDataLink();
  if (link->ListLink()->Active() && !link->ListFieldFind().empty()) {
    link->ListDataSet()->Locate(GetListItem(link->ListFieldFind(), 0), Text, {loCaseInsensitive, loPartialKey});
    search_text_ = Text;
  }
}

void TB_DBLookupList::TypeChar(WideChar Key) {
  if (Key == VK_BACK || Key == VK_ESCAPE) {
    search_pending_ = 0;
    SetSearchText(String());
  } else if (IsTextChar(Key)) {
    String s = search_text_;
    Utf8AppendWideChar(s, Key, search_pending_);
    if (search_pending_ == 0) SetSearchText(s);
  }
  DoChangeData();
}

void TB_DBLookupList::RefreshList(const String& Text) {
  FreeList();
  TB_DBDataLink* link = DBDataLink();
  TDataSource* data_source = link->DataSource();
  TDataSet* list = link->ListDataSet();
  TDataSet* source = list != nullptr ? list : (data_source != nullptr ? data_source->DataSet() : nullptr);
  if (source == nullptr) {
    MsgBox(Name() + " не указан объект данных. Для получения информации о базе данных.", "", "", b_mtError);
    return;
  }
  std::unique_ptr<TDataSet> origin;
  String sql;
  try {
    if (search_fields_.empty()) search_fields_ = link->ListFieldFind();
    if (list != nullptr) sql = GetDataSetSQL(list);
    if (search_fields_.empty() && link->ListFilter().empty()) {
      last_sql_ = sql;
      SetDataSource(nullptr);
      DoChangeData();
      return;
    }
    String select;
    AppendItem(select, link->ListFieldLink());
    AppendItem(select, link->ListFields());
    AppendItem(select, link->ListFieldFind());
    AppendItem(select, search_fields_);

    String filter = on_db_filter_ ? on_db_filter_(this) : String();
    char mark = 0;
    if (!link->ListFilter().empty()) {
      const char first = link->ListFilter()[0];
      if (first == '+' || first == '=') mark = first;
      const String list_filter = SubstituteFieldValues(data_source, link->ListFilter());
      filter = mark != 0 ? JoinConditions(list_filter, filter) : JoinConditions(filter, list_filter);
    }
    if (mark == 0 && !filter.empty() && (filter[0] == '+' || filter[0] == '=')) mark = filter[0];
    if (mark != 0) {
      // The marked filter is the whole statement.
      if (!filter.empty() && (filter[0] == '+' || filter[0] == '=')) filter[0] = ' ';
      sql = filter;
      filter.clear();
    }
    for (int i = 0; i < Columns()->Count(); ++i) {
      const String& name = Columns()->Items(i)->FieldName();
      if (!name.empty() && AnsiCompareStr(name, search_fields_) != 0) AppendItem(select, name);
    }
    String order = link->ListFieldIndex();
    if (order.empty()) order = search_fields_;
    else if (size_t star = order.find('*'); star != String::npos) order.replace(star, 1, search_fields_);

    select = RemoveDuplicateItems(select);
    ReplaceChar(select, ';', ',', 0);
    String text = Text;
    for (char& c : text)
      if (c == '\'' || c == '"' || c == '-') c = '%';
    String prefix, suffix;
    if (!text.empty() && !OnlyWildcardsAndDigits(text) && link->UsesFunc().Contains(b_ftUpper)) {
      prefix = "B_UPPER(";
      suffix = ")";
      text = AnsiUpperCase(text);
    }
    origin.reset(CreateQueryFor(nullptr, source, Converted(SubstituteFieldValues(data_source, sql))));

    String condition;
    if (!text.empty() || mark == '=') {
      String expr;
      for (const String& item : GetListItems(search_fields_)) {
        if (item.empty()) continue;
        String o = GetFieldOriginOrName(origin.get(), item, true);
        if (link->UsesFunc().Contains(b_ftStrCat)) o = "COALESCE(" + o + ", '')";
        if (!expr.empty()) expr += " || ' ' || ";
        expr += o;
      }
      if (!expr.empty() && !text.empty()) {
        if (text[0] == '=') {
          const String body = text.substr(1);
          if (Utf8Length(text) >= 2 || mark == '=')
            condition = prefix + expr + suffix + " LIKE " + QuotedStr(body + "%");
        } else {
          condition = prefix + expr + suffix + " LIKE " + QuotedStr("%" + text + "%");
        }
      }
    }
    String master;
    for (int i = 0;; ++i) {
      const String m = GetListItem(link->MasterFields(), i), o = GetListItem(link->OwnerFields(), i);
      if (m.empty() || o.empty()) break;
      if (!master.empty()) master += " and ";
      master += m + " = :" + o;
    }
    if (!master.empty()) {
      master = SubstituteFieldValues(data_source, master);
      condition = condition.empty() ? master : condition + " and " + master;
    }
    if (mark != '=') sql = ReplaceSelectFields(sql, select);
    const String old_where = GetWhereClause(sql);
    String where = PrependCondition(condition, old_where);
    where = PrependCondition(filter, where);
    if (where != old_where) {
      TSQLParser parser(sql);
      sql = parser.SetMainWhere(where);
    }
    String order_by;
    for (const String& raw : GetListItems(order)) {
      if (raw.empty()) continue;
      String name = raw, tail;
      if (name[0] == '"') {
        const size_t close = name.find('"', 1);
        if (close != String::npos) {
          tail = Trim(name.substr(close + 1));
          name = name.substr(1, close - 1);
        }
      }
      String item = GetFieldOriginOrName(origin.get(), name, true);
      if (!tail.empty()) item += " " + tail;
      if (!order_by.empty()) order_by += ", ";
      order_by += item;
    }
    if (link->ListGroup() && !select.empty()) {
      TSQLParser parser(sql);
      sql = parser.SetGroupBy(order_by);
    }
    if (!order_by.empty()) {
      TSQLParser parser(sql);
      sql = parser.SetOrderBy(order_by);
    }
    sql = Converted(SubstituteFieldValues(data_source, sql));
    last_sql_ = sql;
    list_query_.reset(CreateQueryFor(nullptr, source, sql));  // owned here, not by the grid
    if (list_query_ != nullptr) {
      SetDataSetDataSource(list_query_.get(), data_source);
      CopyParamValues(source, list_query_.get());
      list_query_->Open();
      list_data_source_ = std::make_unique<TDataSource>(nullptr);
      if (!list_query_->IsEmpty()) list_data_source_->SetDataSet(list_query_.get());
    }
  } catch (const std::exception& E) {
    last_sql_ = sql;
    list_data_source_.reset();
    list_query_.reset();
    MsgBox(E.what(), sql, "", b_mtError);
  }
  origin.reset();
  SetDataSource(list_data_source_.get());
  DoChangeData();
}

void TB_DBLookupList::SelectCurrent() {
  if (on_click_) on_click_(this);
  TB_DBDataLink* link = DBDataLink();
  if (list_query_ == nullptr) {
    link->CopyFromList(nullptr);
  } else if (!list_query_->IsEmpty()) {
    if (!link->ListFieldLink().empty()) link->AssignValue(list_query_->FieldValues(link->ListFieldLink()));
    if (!link->ListFields().empty()) link->SetDataFieldsValue(list_query_->FieldValues(link->ListFields()));
    link->SetCurrentTextField(GetListItem(link->ListFieldFind(), 0));
    if (!link->CurrentTextField().empty())
      if (TField* f = list_query_->FindField(link->CurrentTextField())) link->SetCurrentText(f->AsString());
  }
  if (on_change_data_) on_change_data_(this);
  if (free_list_on_select_) FreeList();
}

void TB_DBLookupList::RunDefaultMenuItem() {
  TPopupMenu* menu = PopupMenu();
  if (menu == nullptr) return;
  if (menu->OnPopup()) menu->OnPopup()(menu);
  TMenuItem* items = menu->Items();
  for (int i = 0; items != nullptr && i < items->Count(); ++i) {
    TMenuItem* item = items->Items(i);
    if (item->Visible() && item->Enabled() && item->Default()) {
      item->Click();
      return;
    }
  }
}

void TB_DBLookupList::KeyDown(Word& Key, TShiftState Shift) {
  if (Key == VK_DELETE && Shift.Contains(ssCtrl)) {
    TB_DBDataLink* link = DBDataLink();
    TDataSet* list = link->ListDataSet();
    if (link->ListUsable() && !ReadOnly() && list != nullptr && !list->IsEmpty()) {
      if (list->CanModify() && AllowedOperations().Contains(alopDeleteEh))
        DeleteRecordConfirmed(list, Options().Contains(dgConfirmDelete), 1);
      Key = 0;
    }
  }
  TCustomDBGridEh::KeyDown(Key, Shift);
  if (find_control_ != nullptr && Key != 0) find_control_->Perform(WM_KEYDOWN, Key, 0);
}

void TB_DBLookupList::KeyUp(Word& Key, TShiftState Shift) {
  TCustomDBGridEh::KeyUp(Key, Shift);
  if (find_control_ != nullptr && Key != 0) find_control_->Perform(WM_KEYUP, Key, 0);
}

void TB_DBLookupList::KeyPress(WideChar& Key) {
  if (find_control_ != nullptr) find_control_->Perform(WM_CHAR, Key, 0);
  if (Key == VK_RETURN) {
    SelectCurrent();
    RunDefaultMenuItem();
    Key = 0;
  }
  TCustomDBGridEh::KeyPress(Key);
  if (find_control_ == nullptr && Key != 0 && Key != VK_ESCAPE) TypeChar(Key);
  if (Key == VK_ESCAPE) {
    search_text_.clear();
    Key = 0;
    FreeList();
  } else if (Key != 0 && IsTextChar(Key)) {
    SelectCurrent();
  }
}

void TB_DBLookupList::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  title_pressed_ = Options().Contains(dgTitles) && MouseCoord(X, Y).Y >= 0 && MouseCoord(X, Y).Y < TitleOffset();
  TCustomDBGridEh::MouseDown(Button, Shift, X, Y);
}

void TB_DBLookupList::Click() {
  TCustomDBGridEh::Click();
  if (Parent() == nullptr || title_pressed_) return;
  if ((LookupOptions & 2) == 0) SelectCurrent();
}

void TB_DBLookupList::DblClick() {
  if (g_dbl_click_guard != 0) {
    g_dbl_click_guard = 0;
    return;
  }
  g_dbl_click_guard = 1;
  if ((LookupOptions & 2) != 0) SelectCurrent();
  if (on_dbl_click_) on_dbl_click_(this);
  RunDefaultMenuItem();
  TCustomDBGridEh::DblClick();
}

void TB_DBLookupList::DoExit() {
  if (free_list_on_select_) FreeList();
  TB_DBDataLink* link = DBDataLink();
  if (link->DataSource() != nullptr) {
    ApplyDataSet(link->DataSource()->DataSet(), 1);
  } else if (link->ListDataSet() != nullptr) {
    DataLink()->UpdateDataNow();
    ApplyDataSet(link->ListDataSet(), 1);
  }
  TCustomDBGridEh::DoExit();
}

void TB_DBLookupList::SetColumnAttributes() {
  TCustomDBGridEh::SetColumnAttributes();
  if (Parent() == nullptr) return;
  int width = 0, fields = 0;
  for (int i = 0; i < Columns()->Count(); ++i) {
    TColumnEh* c = Columns()->Items(i);
    if (!c->Visible()) continue;
    if (c->Field() != nullptr) ++fields;
    width += c->Width();
    if (i > 0 && Options().Contains(dgColLines)) width += GridLineWidth();
  }
  if (fields == 0) return;
  width += GetSystemMetrics(SM_CXVSCROLL);
  const bool ctrl = GetKeyState(VK_CONTROL) < 0;
  if (!ctrl && width < Width()) {
    if (!AutoFitColWidths()) {
      auto_fit_set_ = true;
      SetAutoFitColWidths(true);
    }
  } else if (ctrl && auto_fit_set_) {
    auto_fit_set_ = false;
    SetAutoFitColWidths(false);
  }
}
