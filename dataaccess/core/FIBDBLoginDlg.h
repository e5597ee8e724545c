// The login prompt of the database component: a small modal dialog asking
// for the user name, password and role of a database, installed as the
// database's login routine (DBLoginDialogProc) by this unit's initialization
// and removed again by its finalization.
#pragma once

#include "platform/gui/ExtCtrls.h"
#include "platform/gui/Forms.h"
#include "platform/gui/StdCtrls.h"
#include "platform/rtl/System.h"
#include "platform/rtl/UnitInit.h"

extern const TUnit unit_FIBDBLoginDlg;

class TfrmFIBDBLoginDlg : public TForm {
 public:
  explicit TfrmFIBDBLoginDlg(TComponent* AOwner) : TForm(AOwner) {}

  // Components of the form resource, bound by name.
  TBevel* Bevel1 = nullptr;
  TLabel* Label1 = nullptr;
  TLabel* lbDBName = nullptr;
  TBevel* Bevel2 = nullptr;
  TButton* Button1 = nullptr;
  TButton* Button2 = nullptr;
  TLabel* Label2 = nullptr;
  TLabel* Label3 = nullptr;
  TLabel* Label4 = nullptr;
  TEdit* EdUserName = nullptr;
  TEdit* EdPassword = nullptr;
  TEdit* EdRole = nullptr;

  // OnCreate: the library's captions.
  void FormCreate(TObject* Sender);
};

// Shows the dialog for DBName with UserName and RoleName filled in and an
// empty password. OK: the three values take the edits' texts and the result
// is true; any other close leaves them and gives false.
bool FIBDBLoginDialog(const String& DBName, String& UserName, String& Password, String& RoleName);

// The database name as the dialog shows it: a name of more than 45
// characters becomes its first 10, "..." and its last 33.
String ShortDBNameForLogin(const String& DBName);
