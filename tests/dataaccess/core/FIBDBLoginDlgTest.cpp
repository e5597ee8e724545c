#include "dataaccess/core/FIBDBLoginDlg.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "dataaccess/core/FIBDatabase.h"
#include "tests/support/fb/FIBTestSupport.h"

#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

namespace {

class FIBDBLoginDlgTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    fbtest::InitFIBUnits();
    InitializeUnits({&unit_FIBDBLoginDlg});
    Application->Initialize();
  }
  static void TearDownTestSuite() { fbtest::FinishFIBUnits(); }
  void SetUp() override {
    fbtest::InitFIBUnits();
    InitializeUnits({&unit_FIBDBLoginDlg});
  }

  // Runs Call while a window timer acts on the login dialog once it is
  // shown modally (the timer ticks inside the dialog's modal loop).
  static void WithDialog(const std::function<void(TfrmFIBDBLoginDlg*)>& Act, const std::function<void()>& Call) {
    std::unique_ptr<TTimer> timer(new TTimer(nullptr));
    bool acted = false;
    timer->SetInterval(10);
    timer->SetOnTimer([&](TObject*) {
      for (int i = 0; i < Screen->FormCount() && !acted; ++i) {
        auto* dialog = dynamic_cast<TfrmFIBDBLoginDlg*>(Screen->Forms(i));
        if (dialog != nullptr && dialog->Modal() && dialog->Showing()) {
          acted = true;
          Act(dialog);
        }
      }
    });
    Call();
    EXPECT_TRUE(acted);
  }

  static bool RunDialog(const String& DBName, String& User, String& Password, String& Role,
                        const std::function<void(TfrmFIBDBLoginDlg*)>& Act) {
    bool result = false;
    WithDialog(Act, [&] { result = DBLoginDialogProc(DBName, User, Password, Role); });
    return result;
  }
};

TEST_F(FIBDBLoginDlgTest, LongDatabaseNamesAreShortenedInTheMiddle) {
  const String name45(45, 'a');
  EXPECT_EQ(ShortDBNameForLogin(name45), name45);
  const String name46 = "0123456789" + String(3, 'x') + "abcdefghijklmnopqrstuvwxyz0123456";
  ASSERT_EQ(name46.size(), 46u);
  EXPECT_EQ(ShortDBNameForLogin(name46), "0123456789...abcdefghijklmnopqrstuvwxyz0123456");

  // Characters, not bytes: 45 Cyrillic letters (90 bytes) stay whole, and a
  // longer name is cut between letters.
  String cyrillic45;
  for (int i = 0; i < 45; ++i) cyrillic45 += "ж";
  EXPECT_EQ(ShortDBNameForLogin(cyrillic45), cyrillic45);
  const String mixed = "/базы/" + String(40, 'x') + "/учёт.fdb";  // 55 characters
  EXPECT_EQ(ShortDBNameForLogin(mixed), "/базы/xxxx..." + String(24, 'x') + "/учёт.fdb");
}

TEST_F(FIBDBLoginDlgTest, FormCarriesTheLibrarysTexts) {
  EXPECT_EQ(DBLoginDialogProc, &FIBDBLoginDialog);
  std::unique_ptr<TfrmFIBDBLoginDlg> dialog(Create<TfrmFIBDBLoginDlg>(nullptr));
  EXPECT_EQ(dialog->Caption(), "Database login");
  EXPECT_EQ(dialog->Label1->Caption(), "Database:");
  EXPECT_EQ(dialog->Label2->Caption(), "&User name");
  EXPECT_EQ(dialog->Label3->Caption(), "&Password");
  EXPECT_EQ(dialog->Label4->Caption(), "Rol&e");
  EXPECT_EQ(dialog->Button1->Caption(), "&OK");
  EXPECT_EQ(dialog->Button2->Caption(), "&Cancel");
  EXPECT_TRUE(dialog->Label1->Font()->Style().Contains(fsBold));
  EXPECT_EQ(dialog->EdPassword->PasswordChar(), '*');
  EXPECT_EQ(dialog->ActiveControl(), dialog->EdPassword);
  EXPECT_TRUE(dialog->Button1->Default());
  EXPECT_EQ(dialog->Button1->ModalResult(), mrOk);
  EXPECT_TRUE(dialog->Button2->Cancel());
  EXPECT_EQ(dialog->Button2->ModalResult(), mrCancel);
  EXPECT_EQ(dialog->BorderStyle(), bsDialog);
  EXPECT_EQ(dialog->Position(), poScreenCenter);
  EXPECT_EQ(dialog->EdUserName->Left(), 83);
  EXPECT_EQ(dialog->EdRole->Width(), 179);
  EXPECT_EQ(dialog->Bevel2->Shape(), bsFrame);
  EXPECT_FALSE(dialog->lbDBName->AutoSize());
}

TEST_F(FIBDBLoginDlgTest, OkHandsBackTheEditsAndCancelKeepsTheValues) {
  String user = "ann", password = "old", role = "R1";
  String shown;
  const bool ok = RunDialog("/data/x.fdb", user, password, role, [&](TfrmFIBDBLoginDlg* d) {
    shown = d->lbDBName->Caption() + "|" + d->EdUserName->Text() + "|" + d->EdPassword->Text() + "|" +
            d->EdRole->Text();
    d->EdUserName->SetText("bob");
    d->EdRole->SetText("R2");
    d->Button1->Click();  // the password edit stays empty
  });
  EXPECT_TRUE(ok);
  EXPECT_EQ(shown, "/data/x.fdb|ann||R1");
  EXPECT_EQ(user, "bob");
  EXPECT_EQ(password, "");
  EXPECT_EQ(role, "R2");

  const bool cancelled = RunDialog("/data/x.fdb", user, password, role, [](TfrmFIBDBLoginDlg* d) {
    d->EdUserName->SetText("carl");
    d->Button2->Click();
  });
  EXPECT_FALSE(cancelled);
  EXPECT_EQ(user, "bob");
  EXPECT_EQ(role, "R2");
}

TEST_F(FIBDBLoginDlgTest, DatabaseConnectsWithWhatTheDialogGot) {
  fbtest::TTempDatabase file;
  std::unique_ptr<TComponent> form(new TComponent(nullptr));
  TFIBDatabase* db = fbtest::NewFIBDatabase(form.get(), file.Path());
  db->ConnectParams()->SetUserName("");
  db->ConnectParams()->SetPassword("");
  db->SetUseLoginPrompt(true);
  int prompts = 0;
  auto answer = [&](bool accept) {
    return [&, accept](TfrmFIBDBLoginDlg* d) {
      ++prompts;
      d->EdUserName->SetText(fbtest::kUser);
      d->EdPassword->SetText(fbtest::kPassword);
      (accept ? d->Button1 : d->Button2)->Click();
    };
  };
  auto connectWith = [&](const std::function<void(TfrmFIBDBLoginDlg*)>& act) {
    WithDialog(act, [&] { db->Connect(); });
  };
  try {
    connectWith(answer(false));
    FAIL() << "connected after Cancel";
  } catch (const EFIBClientError& e) {
    EXPECT_EQ(e.Message(), "Operation cancelled at user's request.");
  }
  EXPECT_FALSE(db->Connected());
  connectWith(answer(true));
  EXPECT_TRUE(db->Connected());
  EXPECT_EQ(prompts, 2);
  EXPECT_EQ(db->ConnectParams()->UserName(), fbtest::kUser);
  EXPECT_EQ(db->ConnectParams()->Password(), fbtest::kPassword);
  db->Close();
}

}  // namespace
