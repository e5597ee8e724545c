#include "dataaccess/core/FIBDBLoginDlg.h"

#include <memory>

#include "dataaccess/core/FIBDatabase.h"
#include "platform/rtl/SysUtils.h"
#include "platform/rtl/TypInfo.h"

void RegisterFIBDBLoginDlgResources();

void TfrmFIBDBLoginDlg::FormCreate(TObject*) {
  SetCaption("Database login");
  Label1->SetCaption("Database:");
  Label2->SetCaption("&User name");
  Label3->SetCaption("&Password");
  Label4->SetCaption("Rol&e");
  Button1->SetCaption("&OK");
  Button2->SetCaption("&Cancel");
}

String ShortDBNameForLogin(const String& DBName) {
  const size_t length = Utf8Length(DBName);
  if (length <= 45) return DBName;
  return DBName.substr(0, Utf8Prefix(DBName, 10)) + "..." + DBName.substr(Utf8Prefix(DBName, length - 33));
}

bool FIBDBLoginDialog(const String& DBName, String& UserName, String& Password, String& RoleName) {
  std::unique_ptr<TfrmFIBDBLoginDlg> dialog(Create<TfrmFIBDBLoginDlg>(nullptr));
  dialog->lbDBName->SetCaption(ShortDBNameForLogin(DBName));
  dialog->EdUserName->SetText(UserName);
  dialog->EdRole->SetText(RoleName);
  if (dialog->ShowModal() != mrOk) return false;
  UserName = dialog->EdUserName->Text();
  RoleName = dialog->EdRole->Text();
  Password = dialog->EdPassword->Text();
  return true;
}

namespace {

void InitFIBDBLoginDlg() {
  RegisterFIBDBLoginDlgResources();
  RegisterClass<TfrmFIBDBLoginDlg, TForm>("TfrmFIBDBLoginDlg")
      .Method("FormCreate", &TfrmFIBDBLoginDlg::FormCreate)
      .Field("Bevel1", &TfrmFIBDBLoginDlg::Bevel1)
      .Field("Label1", &TfrmFIBDBLoginDlg::Label1)
      .Field("lbDBName", &TfrmFIBDBLoginDlg::lbDBName)
      .Field("Bevel2", &TfrmFIBDBLoginDlg::Bevel2)
      .Field("Button1", &TfrmFIBDBLoginDlg::Button1)
      .Field("Button2", &TfrmFIBDBLoginDlg::Button2)
      .Field("Label2", &TfrmFIBDBLoginDlg::Label2)
      .Field("Label3", &TfrmFIBDBLoginDlg::Label3)
      .Field("Label4", &TfrmFIBDBLoginDlg::Label4)
      .Field("EdUserName", &TfrmFIBDBLoginDlg::EdUserName)
      .Field("EdPassword", &TfrmFIBDBLoginDlg::EdPassword)
      .Field("EdRole", &TfrmFIBDBLoginDlg::EdRole);
  DBLoginDialogProc = &FIBDBLoginDialog;
}

void FinalFIBDBLoginDlg() {
  DBLoginDialogProc = nullptr;
}

constexpr const TUnit* kUses[] = {&unit_FIBDatabase, &unit_Forms, &unit_StdCtrls, &unit_ExtCtrls};

}  // namespace

constinit const TUnit unit_FIBDBLoginDlg("FIBDBLoginDlg", kUses, InitFIBDBLoginDlg, FinalFIBDBLoginDlg);
