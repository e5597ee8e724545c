#include "framework/B_Dlg.h"

#include "platform/gui/Forms.h"
#include "platform/rtl/TypInfo.h"
#include "platform/rtl/UnitInit.h"

// ---------------------------------------------------------------------------
// TB_MsgDialog

TB_MsgDialog::TB_MsgDialog(TComponent* AOwner)
    : TComponent(AOwner), error_(std::make_unique<TStringList>()), text_(std::make_unique<TStringList>()) {}

TB_MsgDialog::~TB_MsgDialog() = default;

int TB_MsgDialog::Execute() {
  std::unique_ptr<TFormMsg> form(Create<TFormMsg>(Application));
  form->SetCaption(title_);
  form->M_Error->SetText(error_->Text());
  form->M_Text->SetText(text_->Text());
  form->SetButtons(buttons_);
  form->SetMsgType(msg_type_);
  if (screen_top_ != 0 || screen_left_ != 0) {
    form->SetPosition(poDesigned);
    form->SetBounds(screen_left_, screen_top_, form->Width(), form->Height());
  } else {
    form->SetPosition(poScreenCenter);
  }
  return form->ShowModal();
}

int MsgBoxAt(int ScreenLeft, int ScreenTop, const String& Message, const String& Details, const String& Buttons,
             TB_MsgType MsgType) {
  std::unique_ptr<TB_MsgDialog> dialog(Create<TB_MsgDialog>(Application));
  dialog->SetButtons(Buttons.empty() ? String(kDefaultMsgButtons) : Buttons);
  dialog->SetMsgType(MsgType);
  dialog->Error()->SetText(Message);
  dialog->Text()->SetText(Details);
  dialog->SetScreenTop(ScreenTop);
  dialog->SetScreenLeft(ScreenLeft);
  return dialog->Execute();
}

// ---------------------------------------------------------------------------
// Replaceable procedures

TFIBDatabase* GetDefaultDatabaseNil(TObject*) { return nullptr; }
void ConvertSQLTextNone(const String& Text, String& Result) { Result = Text; }
TDataSource* GetObjectDataSourceNil(const String&) { return nullptr; }
int RunEventActionsNone() {
  MsgBox("Действия не определены для данного события.", "", "", b_mtError);
  return 0;
}
int FrameworkHookNil(TObject*) { return 0; }

constinit TGetDefaultDatabase GetDefaultDatabase = &GetDefaultDatabaseNil;
constinit TConvertSQLText ConvertSQLText = &ConvertSQLTextNone;
constinit TGetObjectDataSource GetObjectDataSource = &GetObjectDataSourceNil;
constinit TRunEventActions RunEventActions = &RunEventActionsNone;
constinit TFrameworkHook FrameworkHook = &FrameworkHookNil;
constinit Byte PostWithCommit = kDefaultPostWithCommit;
constinit Integer LookupOptions = kDefaultLookupOptions;

namespace {

void InstallDefaults() {
  GetDefaultDatabase = &GetDefaultDatabaseNil;
  ConvertSQLText = &ConvertSQLTextNone;
  GetObjectDataSource = &GetObjectDataSourceNil;
  RunEventActions = &RunEventActionsNone;
  FrameworkHook = &FrameworkHookNil;
  PostWithCommit = kDefaultPostWithCommit;
  LookupOptions = kDefaultLookupOptions;
}

void InitB_Dlg() {
  using D = TB_MsgDialog;
  RegisterClass<D, TComponent>("TB_MsgDialog")
      .Prop("ScreenTop", &D::ScreenTop, &D::SetScreenTop, 0)
      .Prop("ScreenLeft", &D::ScreenLeft, &D::SetScreenLeft, 0)
      .Prop("Title", &D::Title, &D::SetTitle)
      .Object("Error", &D::Error)
      .Object("Text", &D::Text)
      .Prop("MsgType", &D::MsgType, &D::SetMsgType, b_mtInfo)
      .Prop("Buttons", &D::Buttons, &D::SetButtons);
  InstallDefaults();
}

constexpr const TUnit* kUses[] = {&unit_BF_Msg};

}  // namespace

constinit const TUnit unit_B_Dlg("B_Dlg", kUses, InitB_Dlg, InstallDefaults);
