// The SQL search frame and the frame chooser.
#include "datalayer/F_DBFind.h"

#include <memory>

#include "datalayer/B_DBFBPlus.h"
#include "framework/B_PF.h"
#include "platform/gui/ComCtrls.h"
#include "platform/gui/Hints.h"
#include "platform/gui/Messages.h"
#include "platform/gui/Popup.h"
#include "platform/rtl/Streams.h"
#include "platform/rtl/UnitInit.h"

void RegisterF_DBFindResources();

TGetFindFormClass GetFindFormClass = nullptr;

namespace {

constexpr int kCaptionWidth = 241;

TB_FrameControl* NewFindList(TComponent* AOwner) { return Create<TFormDBFindList>(AOwner); }
TB_FrameControl* NewFind(TComponent* AOwner) { return Create<TFormDBFind>(AOwner); }
TFindFormClass DefaultFindFormClass(bool Flag) { return Flag ? &NewFindList : &NewFind; }

}  // namespace

TFormDBFind::TFormDBFind(TComponent* AOwner) : TB_FrameControl(AOwner) {}

void TFormDBFind::AfterConstruction() {
  TB_FrameControl::AfterConstruction();
  TControlStyle cs = ControlStyle();
  cs.Include(csReplicatable);
  SetControlStyle(cs);
  SetTabStop(false);
  SetVisible(false);
  SetOnKeyDown({this, &TFormDBFind::FormKeyDown});
  SetOnResize({this, &TFormDBFind::ButtonLayout});
  List->SetOptions({dgColumnResize, dgTabs, dgTitles, dgColLines, dgRowSelect, dgConfirmDelete, dgIndicator,
                    dgCancelOnExit, dgRowLines});
  List->SetReadOnly(true);
  List->SetOnChange({this, &TFormDBFind::ListChange});
  List->SetOnChangeData({this, &TFormDBFind::ListChangeData});
  List->SetOnDBFilter({this, &TFormDBFind::ListDBFilter});
  TabSet1->SetOnChange({this, &TFormDBFind::TabChange});
  BB_OK->SetOnClick({this, &TFormDBFind::OkClick});
  BB_Cancel->SetOnClick({this, &TFormDBFind::CancelClick});
  ButtonLayout();
  ListChange();
}

void TFormDBFind::CreateParams(TCreateParams& Params) {
  TB_FrameControl::CreateParams(Params);
  FrameCreateParams(Params, WS_EX_TOOLWINDOW | WS_EX_TOPMOST);
}

void TFormDBFind::ButtonLayout(TObject*) { FrameButtonLayout(this, BB_OK, BB_Cancel, kCaptionWidth); }

void TFormDBFind::FormKeyDown(TObject* Sender, Word& Key, TShiftState Shift) {
  FrameKeyDown(Sender, Key, Shift, TabSet1, List, [this](bool Accepted) {
    if (Accepted) List->SelectCurrent();
    else CloseFrame();
  });
}

void TFormDBFind::CloseFrame() {
  List->SetExternalDataLink(nullptr);
  if (owner_control_ == nullptr) return;
  if (owner_control_->CanFocus()) owner_control_->SetFocus();
  if (owner_control_->HandleAllocated()) PostMessage(owner_control_->Handle(), WM_FRAMECOMMAND, 0, 2);
}

void TFormDBFind::ListChange(TObject*) {
  TDataSet* q = List->ListQuery();
  BB_OK->SetEnabled(q != nullptr && !q->IsEmpty());
  TreeDS->SetDataSet(List->DataSource() != nullptr ? List->DataSource()->DataSet() : nullptr);
}

void TFormDBFind::ListChangeData(TObject*) {
  if (owner_control_ != nullptr) {
    TDataSet* ds = List->ListQuery() != nullptr ? List->ListQuery() : List->DBDataLink()->ListDataSet();
    SendMessage(owner_control_->Handle(), WM_FRAMECOMMAND, reinterpret_cast<WPARAM>(ds), 77);
  }
  CloseFrame();
}

void TFormDBFind::TabChange(TObject*, int NewTab, bool&) {
  if (!Visible() || List->Columns()->Count() <= 1 || NewTab < 0 || NewTab >= List->Columns()->Count()) return;
  List->SetSearchFields(List->Columns()->Items(NewTab)->FieldName());
  List->SetSearchText(List->SearchText());
}

void TFormDBFind::BindLink(TB_DBDataLink* Link) {
  List->SetExternalDataLink(Link);
  List->SetSearchFields("");
  List->Columns()->Clear();
  TabSet1->Tabs()->Clear();
  if (Link == nullptr) return;
  TDBGridOptions o = List->Options();
  if (Link->Columns()->Count() > 0) {
    o.Include(dgTitles);
    List->SetOptions(o);
    // The binding's columns, copied through a stream.
    TMemoryStream stream;
    Link->Columns()->SaveToStream(&stream);
    stream.SetPosition(0);
    List->Columns()->LoadFromStream(&stream);
    const String first = GetListItem(Link->ListFieldFind(), 0);
    int selected = -1;
    for (int i = 0; i < List->Columns()->Count(); ++i) {
      TColumnEh* c = List->Columns()->Items(i);
      const String caption = c->Title()->Caption();
      TabSet1->Tabs()->Add(i < 9 ? "Ctrl+" + std::to_string(i + 1) + " " + caption : caption);
      if (selected < 0 && SameText(c->FieldName(), first)) selected = i;
    }
    if (selected >= 0) TabSet1->SetTabIndex(selected);
    TabSet1->SetVisible(true);
  } else {
    o.Exclude(dgTitles);
    List->SetOptions(o);
    for (const String& item : GetListItems(Link->ListFieldFind())) List->Columns()->Add()->SetFieldName(item);
    TabSet1->SetVisible(false);
  }
}

void TFormDBFind::WMFrameCommand(TMessage& Message) {
  Message.Result = 0;
  switch (Message.LParam) {
    case 0:
      Message.Result = active_ ? 1 : 0;
      break;
    case 18: {
      const String text = Message.WParam != 0 ? *reinterpret_cast<const String*>(Message.WParam) : String();
      if (List->SearchText().empty() || List->SearchText() != text) List->SetSearchText(text);
      if (List->ListQuery() == nullptr || List->ListQuery()->IsEmpty()) StatusBar->TextGroup()->SetText("Нет данных");
      break;
    }
    case 40:
      List->SelectCurrent();
      break;
    case 74:
      BindLink(reinterpret_cast<TB_DBDataLink*>(Message.WParam));
      break;
    case 76:
      filter_ = Message.WParam != 0 ? *reinterpret_cast<const String*>(Message.WParam) : String();
      break;
    case 79:
      owner_control_ = reinterpret_cast<TWinControl*>(Message.WParam);
      if (owner_control_ != nullptr) owner_control_->FreeNotification(this);
      break;
    default: break;
  }
  ListChange();
}

void TFormDBFind::Dispatch(TMessage& Message) {
  switch (Message.Msg) {
    case CM_HINTSHOW:
      Message.Result = 1;
      return;
    case WM_ACTIVATE:
      active_ = LOWORD(Message.WParam) != 0;
      return;
    case CM_VISIBLECHANGED:
      TB_FrameControl::Dispatch(Message);
      if (!Visible() && List != nullptr) List->SetExternalDataLink(nullptr);
      return;
    default: break;
  }
  TB_FrameControl::Dispatch(Message);
}

void TFormDBFind::Notification(TComponent* AComponent, TOperation Operation) {
  TB_FrameControl::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == owner_control_) owner_control_ = nullptr;
}

namespace {

void InitF_DBFind() {
  RegisterF_DBFindResources();
  RegisterClass<TB_DBLookupList, TCustomDBGridEh>("TB_DBLookupList");
  using F = TFormDBFind;
  RegisterClass<F, TB_FrameControl>("TFormDBFind")
      .Field("List", &F::List)
      .Field("TabSet1", &F::TabSet1)
      .Field("StatusBar", &F::StatusBar)
      .Field("BB_OK", &F::BB_OK)
      .Field("BB_Cancel", &F::BB_Cancel)
      .Field("TreeDS", &F::TreeDS);
  GetFindFormClass = &DefaultFindFormClass;
}
void FinalF_DBFind() { GetFindFormClass = nullptr; }

constexpr const TUnit* kUses[] = {&unit_F_DBFin1, &unit_DBGridEh};

}  // namespace

constinit const TUnit unit_F_DBFind("F_DBFind", kUses, InitF_DBFind, FinalF_DBFind);
