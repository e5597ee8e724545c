// The value-list search frame.
#include "datalayer/F_DBFin1.h"

#include "datalayer/B_DBFBPlus.h"

#include "framework/B_Dlg.h"
#include "framework/B_PF.h"
#include "platform/gui/ComCtrls.h"
#include "platform/gui/Hints.h"
#include "platform/gui/Messages.h"
#include "platform/gui/Popup.h"
#include "platform/rtl/UnitInit.h"

void RegisterF_DBFin1Resources();

namespace {

constexpr int kCaptionWidth = 161;

}  // namespace

TFormDBFindList::TFormDBFindList(TComponent* AOwner) : TB_FrameControl(AOwner) {}

void TFormDBFindList::AfterConstruction() {
  TB_FrameControl::AfterConstruction();
  TControlStyle cs = ControlStyle();
  cs.Include(csReplicatable);
  SetControlStyle(cs);
  SetTabStop(false);
  SetVisible(false);
  SetOnKeyDown({this, &TFormDBFindList::FormKeyDown});
  SetOnResize({this, &TFormDBFindList::ButtonLayout});
  Constraints()->SetMinWidth(70);
  Constraints()->SetMinHeight(100);
  List->SetOnData({this, &TFormDBFindList::ListData});
  List->SetOnSelectItem({this, &TFormDBFindList::ListSelectItem});
  List->SetOnClick({this, &TFormDBFindList::ListClick});
  List->SetOnDblClick({this, &TFormDBFindList::ListDblClick});
  BB_OK->SetOnClick({this, &TFormDBFindList::OkClick});
  BB_Cancel->SetOnClick({this, &TFormDBFindList::CancelClick});
  BB_OK->SetEnabled(false);
  ButtonLayout();
}

void FrameCreateParams(TCreateParams& Params, uint32_t ExStyle) {
  Params.Style |= WS_POPUP | WS_BORDER | WS_THICKFRAME | WS_CLIPCHILDREN;
  Params.ExStyle |= ExStyle;
  Params.WindowClass.style = CS_SAVEBITS | CS_DROPSHADOW;
}

void FrameButtonLayout(TWinControl* Frame, TB_BitBtn* Ok, TB_BitBtn* Cancel, int CaptionWidth) {
  if (Ok == nullptr || Cancel == nullptr) return;
  const int h = Ok->Height();
  if (Frame->Width() < 2 * h) Frame->SetWidth(3 * h);
  const bool captions = Frame->Width() >= CaptionWidth;
  Ok->TextGroup()->SetText(captions ? "Принять" : "");
  Cancel->TextGroup()->SetText(captions ? "Закрыть" : "");
  Ok->SetWidth(captions ? 80 : h);
  Cancel->SetWidth(captions ? 80 : h);
}

void FrameKeyDown(TObject* Sender, Word& Key, TShiftState Shift, TTabSet* Tabs, TWinControl* List,
                  const std::function<void(bool Accept)>& Finish) {
  const bool no_shift = !Shift.Contains(ssShift) && !Shift.Contains(ssCtrl) && !Shift.Contains(ssAlt);
  if ((Key == VK_RETURN || Key == VK_ESCAPE) && no_shift) {
    Finish(Key == VK_RETURN);
    Key = 0;
    return;
  }
  if (Shift.Contains(ssCtrl) && Key >= '1' && Key <= '9') {
    const int tab = Key - '1';
    if (tab < Tabs->Tabs()->Count()) Tabs->SetTabIndex(tab);
    Key = 0;
    return;
  }
  if (Sender != List) List->Perform(WM_KEYDOWN, Key, 0);
}

void TFormDBFindList::CreateParams(TCreateParams& Params) {
  TB_FrameControl::CreateParams(Params);
  FrameCreateParams(Params, WS_EX_TOOLWINDOW);
}

void TFormDBFindList::ButtonLayout(TObject*) { FrameButtonLayout(this, BB_OK, BB_Cancel, kCaptionWidth); }

void TFormDBFindList::FormKeyDown(TObject* Sender, Word& Key, TShiftState Shift) {
  FrameKeyDown(Sender, Key, Shift, TabSet1, List, [this](bool Accepted) {
    if (Accepted) Accept();
    else CloseFrame();
  });
}

void TFormDBFindList::PostToOwner(int Code) {
  if (owner_control_ != nullptr && owner_control_->HandleAllocated())
    PostMessage(owner_control_->Handle(), WM_FRAMECOMMAND, 0, Code);
}

void TFormDBFindList::Accept() { PostToOwner(40); }

void TFormDBFindList::CloseFrame() {
  if (closed_) return;
  closed_ = true;
  PostToOwner(2);
}

int TFormDBFindList::Stride() const {
  if (link_ == nullptr) return 1;
  return link_->ListType() == b_ltLinkValue ? 3 : 1;
}

void TFormDBFindList::ShowValueList(const String& Values) {
  if (shown_once_ && Values == shown_) return;
  shown_once_ = true;
  shown_ = Values;
  items_ = TB_DBDataLink::ValueListItems(Values);
  const int count = static_cast<int>(items_.size()) / Stride();
  List->Items()->SetCount(count);
  List->Scroll(0, -List->ClientHeight() * (count + 1));
  List->Invalidate();
  List->SetItemIndex(count > 0 ? 0 : -1);
  if (count > 0) List->SetItemFocused(List->Items()->Item(0));
  BB_OK->SetEnabled(List->ItemIndex() >= 0);
}

void TFormDBFindList::ListData(TObject*, TListItem* Item) {
  const size_t i = static_cast<size_t>(Item->Index());
  const size_t at = Stride() == 3 ? 3 * i + 1 : i;
  Item->SetCaption(at < items_.size() ? items_[at] : String());
  Item->SetImageIndex(-1);
}

void TFormDBFindList::ListSelectItem(TObject*, TListItem*, bool) { BB_OK->SetEnabled(List->ItemIndex() >= 0); }

void TFormDBFindList::ListClick(TObject*) {
  if ((LookupOptions & 2) == 0) Accept();
}
void TFormDBFindList::ListDblClick(TObject*) {
  if ((LookupOptions & 2) != 0) Accept();
}

void TFormDBFindList::WMFrameCommand(TMessage& Message) {
  Message.Result = 0;
  switch (Message.LParam) {
    case 0:
      Message.Result = active_ ? 1 : 0;
      break;
    case 18:
      if (link_ != nullptr && Message.WParam != 0)
        ShowValueList(TB_DBDataLink::FilterValueList(link_->Values(), *reinterpret_cast<const String*>(Message.WParam),
                                                     link_->ListType() == b_ltValue ? 1 : 3));
      break;
    case 40:
      Accept();
      break;
    case 74: {
      link_ = reinterpret_cast<TB_DBDataLink*>(Message.WParam);
      List->Columns()->Clear();
      if (link_ != nullptr && link_->Columns()->Count() == 0) {
        List->SetShowColumnHeaders(true);
        String find = link_->ListFieldFind();
        if (find.empty()) find = "*";
        for (const String& item : GetListItems(find)) {
          TListColumn* c = List->Columns()->Add();
          c->SetCaption(item);
          c->SetWidth(List->Width() - 25);
        }
        TabSet1->Tabs()->Clear();
        TabSet1->SetVisible(false);
      }
      shown_once_ = false;
      if (link_ != nullptr) ShowValueList(link_->Values());
      break;
    }
    case 76:
      text_ = Message.WParam != 0 ? *reinterpret_cast<const String*>(Message.WParam) : String();
      break;
    case 79:
      owner_control_ = reinterpret_cast<TWinControl*>(Message.WParam);
      if (owner_control_ != nullptr) owner_control_->FreeNotification(this);
      break;
    case 116:
      if (Message.WParam != 0 && List->ItemIndex() >= 0) {
        const size_t i = static_cast<size_t>(List->ItemIndex());
        const size_t at = Stride() == 3 ? 3 * i : i;
        if (at < items_.size()) reinterpret_cast<TFrameValueRecord*>(Message.WParam)->Value = items_[at];
      }
      break;
    default: break;
  }
}

void TFormDBFindList::Dispatch(TMessage& Message) {
  switch (Message.Msg) {
    case CM_HINTSHOW:
      Message.Result = 1;
      return;
    case WM_KILLFOCUS:
      focus_lost_ = true;
      break;
    case WM_ACTIVATE:
      active_ = LOWORD(Message.WParam) != 0;
      TB_FrameControl::Dispatch(Message);
      if (!active_ && focus_lost_ && owner_control_ != nullptr && !owner_control_->Focused()) CloseFrame();
      focus_lost_ = false;
      return;
    case CM_RELEASE:
      delete this;
      return;
    default: break;
  }
  TB_FrameControl::Dispatch(Message);
}

void TFormDBFindList::Notification(TComponent* AComponent, TOperation Operation) {
  TB_FrameControl::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == owner_control_) owner_control_ = nullptr;
}

namespace {

void InitF_DBFin1() {
  RegisterF_DBFin1Resources();
  using F = TFormDBFindList;
  RegisterClass<F, TB_FrameControl>("TFormDBFindList")
      .Field("TabSet1", &F::TabSet1)
      .Field("List", &F::List)
      .Field("B_Panel1", &F::B_Panel1)
      .Field("BB_OK", &F::BB_OK)
      .Field("BB_Cancel", &F::BB_Cancel);
}
void FinalF_DBFin1() {}

constexpr const TUnit* kUses[] = {&unit_Forms, &unit_ComCtrls, &unit_Tabs, &unit_B_Form, &unit_Bstdctrl, &unit_BButton, &unit_B_DBFBPlus};

}  // namespace

constinit const TUnit unit_F_DBFin1("F_DBFin1", kUses, InitF_DBFin1, FinalF_DBFin1);
