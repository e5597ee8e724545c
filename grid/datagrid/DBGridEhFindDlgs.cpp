#include "grid/datagrid/DBGridEhFindDlgs.h"

#include "platform/gui/Dialogs.h"
#include "platform/gui/Messages.h"
#include "platform/rtl/Locale.h"
#include "platform/rtl/SysUtils.h"
#include "platform/rtl/TypInfo.h"

// Generated from resources/DBGridEhFindDlgs.dfm.
void RegisterDBGridEhFindDlgsResources();

TExecuteDBGridEhFindDialogProc ExecuteDBGridEhFindDialogProc = nullptr;

namespace {

const char kAll[] = "<All>";
TDBGridEhFindDlg* g_dialog = nullptr;

}  // namespace

TDBGridEhFindDlg::TDBGridEhFindDlg(TComponent* AOwner)
    : TForm(AOwner), columns_(std::make_unique<TColumnsEhList>()) {}

TDBGridEhFindDlg::~TDBGridEhFindDlg() {
  if (g_dialog == this) g_dialog = nullptr;
}

void TDBGridEhFindDlg::Notification(TComponent* AComponent, TOperation Operation) {
  TForm::Notification(AComponent, Operation);
  if (Operation != opRemove || AComponent != grid_) return;
  // The grid goes: forget it and its columns.
  grid_ = nullptr;
  columns_->Clear();
  columns_arr_.clear();
  cur_column_ = -1;
  if (cbFindIn != nullptr) {
    const TNotifyEvent change = cbFindIn->OnChange();
    cbFindIn->SetOnChange(nullptr);
    cbFindIn->Items()->Clear();
    cbFindIn->KeyItems()->Clear();
    cbFindIn->SetOnChange(change);
  }
}

void TDBGridEhFindDlg::Execute(TCustomDBGridEh* Grid, const String& Text, const TColumnFieldsArrEh& Columns,
                               bool Modal) {
  cur_column_ = -1;
  cbText->SetText(Text);
  if (grid_ != Grid) {
    if (grid_ != nullptr) grid_->RemoveFreeNotification(this);
    grid_ = Grid;
    if (grid_ != nullptr) grid_->FreeNotification(this);
  }
  columns_arr_ = Columns;
  // The columns to choose from, then "<All>".
  const TNotifyEvent change = cbFindIn->OnChange();
  cbFindIn->SetOnChange(nullptr);
  TStrings* items = cbFindIn->Items();
  items->Clear();
  if (!columns_arr_.empty()) {
    for (const TColumnFieldItemEh& item : columns_arr_) items->AddObject(item.Caption, item.Column);
  } else if (grid_ != nullptr) {
    for (int i = 0; i < grid_->VisibleColumns()->Count(); ++i) {
      TColumnEh* c = grid_->VisibleColumns()->Items(i);
      items->AddObject(c->Title()->Caption(), c);
    }
  }
  items->AddObject(kAll, nullptr);
  cbFindIn->KeyItems()->Assign(items);
  TColumnEh* current = grid_ != nullptr ? grid_->SelectedColumn() : nullptr;
  cbFindIn->SetItemIndex(current != nullptr ? items->IndexOf(current->Title()->Caption()) : -1);
  cbFindIn->SetOnChange(change);

  first_search_ = true;
  if (Visible()) Close();
  SetActiveControl(cbText);
  cbFindInChange(cbFindIn);
  modal_ = Modal;
  if (Modal) {
    SetFormStyle(fsNormal);
    ShowModal();
  } else {
    SetFormStyle(fsStayOnTop);
    Show();
  }
}

void TDBGridEhFindDlg::cbFindInChange(TObject* /*Sender*/) {
  columns_->Clear();
  TStrings* items = cbFindIn->Items();
  if (cbFindIn->ItemIndex() < 0) {
    const TNotifyEvent change = cbFindIn->OnChange();
    cbFindIn->SetOnChange(nullptr);
    cbFindIn->SetItemIndex(items->IndexOf(kAll));
    cbFindIn->SetOnChange(change);
  }
  const int selected = cbFindIn->ItemIndex();
  if (selected >= 0 && items->Strings(selected) == kAll && items->Objects(selected) == nullptr) {
    for (int i = 0; i < items->Count(); ++i)
      if (auto* c = dynamic_cast<TColumnEh*>(items->Objects(i))) columns_->Add(c);
  } else if (selected >= 0) {
    if (auto* c = dynamic_cast<TColumnEh*>(items->Objects(selected))) columns_->Add(c);
  }
  cbTextChange(cbText);
}

void TDBGridEhFindDlg::cbTextChange(TObject* /*Sender*/) {
  first_search_ = true;
  cur_column_ = cbFindDirection->Text() == "Up" ? columns_->Count() - 1 : 0;
}

void TDBGridEhFindDlg::bCancelClick(TObject* /*Sender*/) { Close(); }

String TDBGridEhFindDlg::CellText(TColumnEh* Column) const {
  if (cbUseFormat->Checked()) return Column->GetDisplayText();
  TField* f = Column->Field();
  return f != nullptr ? f->AsString() : String();
}

bool TDBGridEhFindDlg::Matches(const String& Cell, const String& Text) const {
  const bool exact = cbCharCase->Checked();
  const String cell = exact ? Cell : AnsiUpperCase(Cell);
  const String text = exact ? Text : AnsiUpperCase(Text);
  const String kind = cbMatchinType->Text();
  if (kind == "Whole field") return cell == text;
  if (kind == "From beging of field") return cell.compare(0, text.size(), text) == 0;
  return cell.find(text) != String::npos;
}

void TDBGridEhFindDlg::bFindClick(TObject* /*Sender*/) {
  bool backward = cbFindDirection->Text() == "Up";
  if (GetKeyState(VK_CONTROL) < 0) backward = !backward;
  const String text = cbText->Text();
  if (cbText->Items()->IndexOf(text) < 0) cbText->Items()->Add(text);
  if (grid_ == nullptr || grid_->DataSource() == nullptr) return;
  TDataSet* ds = grid_->DataSource()->DataSet();
  if (ds == nullptr || !ds->Active() || columns_->Count() == 0) return;
  ds->DisableControls();
  bool found = false;
  {
    struct Enabling {
      TDataSet* ds;
      ~Enabling() { ds->EnableControls(); }
    } enabling{ds};
    const TBookmark start = ds->GetBookmark();
    const int last = columns_->Count() - 1;
    if (cur_column_ < 0 || cur_column_ > last) cur_column_ = backward ? last : 0;
    auto step = [&] {
      if (!backward) {
        if (cur_column_ < last) {
          ++cur_column_;
        } else {
          ds->Next();
          cur_column_ = 0;
        }
      } else if (cur_column_ > 0) {
        --cur_column_;
      } else {
        ds->Prior();
        cur_column_ = last;
      }
    };
    if (cbFindDirection->Text() == "All" && first_search_) {
      ds->First();
      cur_column_ = 0;
    }
    if (!first_search_) step();
    while (!(backward ? ds->Bof() : ds->Eof())) {
      TColumnEh* column = columns_->Items(cur_column_);
      if (Matches(CellText(column), text)) {
        found = true;
        grid_->SetSelectedIndex(column->Index());
        first_search_ = false;
        break;
      }
      step();
    }
    if (!found && ds->BookmarkValid(start)) ds->GotoBookmark(start);
  }
  if (!found) MessageDlg(Format("String \"%s\" not found.", {text}), mtInformation, TMsgDlgButtons{mbOK}, 0);
}

void TDBGridEhFindDlg::FormKeyDown(TObject* /*Sender*/, Word& Key, TShiftState /*Shift*/) {
  if (Key != VK_RETURN && Key != VK_ESCAPE) return;
  if (ActiveControl() != nullptr && ActiveControl()->Perform(CM_WANTSPECIALKEY, Key, 0) != 0) return;
  if (Key == VK_ESCAPE) {
    if (!modal_) {
      Close();
      Key = 0;
    }
  } else {
    Key = 0;
    bFindClick(bFind);
  }
  cbText->SetModified(false);
}

void ExecuteDBGridEhFindDialog(TCustomDBGridEh* Grid, const String& Text, const String& /*FieldName*/,
                               const TColumnFieldsArrEh& Columns, bool Modal) {
  if (g_dialog == nullptr) g_dialog = Create<TDBGridEhFindDlg>(Application);
  g_dialog->Execute(Grid, Text, Columns, Modal);
}

TDBGridEhFindDlg* DBGridEhFindDlg() { return g_dialog; }

// ---------------------------------------------------------------------------
// The unit

namespace {

void InitDBGridEhFindDlgs() {
  RegisterDBGridEhFindDlgsResources();
  using D = TDBGridEhFindDlg;
  RegisterClass<D, TForm>("TDBGridEhFindDlg")
      .Method("bFindClick", &D::bFindClick)
      .Method("bCancelClick", &D::bCancelClick)
      .Method("cbFindInChange", &D::cbFindInChange)
      .Method("cbTextChange", &D::cbTextChange)
      .Method("FormKeyDown", &D::FormKeyDown)
      .Field("Label1", &D::Label1)
      .Field("Label2", &D::Label2)
      .Field("cbMatchType", &D::cbMatchType)
      .Field("Label3", &D::Label3)
      .Field("cbText", &D::cbText)
      .Field("cbFindIn", &D::cbFindIn)
      .Field("cbMatchinType", &D::cbMatchinType)
      .Field("cbFindDirection", &D::cbFindDirection)
      .Field("cbCharCase", &D::cbCharCase)
      .Field("cbUseFormat", &D::cbUseFormat)
      .Field("bFind", &D::bFind)
      .Field("bCancel", &D::bCancel);
  ExecuteDBGridEhFindDialogProc = &ExecuteDBGridEhFindDialog;
}

void FinalDBGridEhFindDlgs() {
  ExecuteDBGridEhFindDialogProc = nullptr;
  delete g_dialog;
}

constexpr const TUnit* kUses[] = {&unit_DBCtrlsEh, &unit_Forms, &unit_StdCtrls};

}  // namespace

constinit const TUnit unit_DBGridEhFindDlgs("DBGridEhFindDlgs", kUses, InitDBGridEhFindDlgs, FinalDBGridEhFindDlgs);
