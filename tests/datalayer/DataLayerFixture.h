// Shared set-up of the data layer's tests: one temporary database per suite
// (the tables of Derived::Tables()), the data layer's units and the
// application object, a connected database with its default transaction per
// test, and a message-window answerer that stands in for the user.
#pragma once

#include <QTimer>

#include <algorithm>
#include <functional>
#include <vector>

#include "datalayer/B_DBFBPlus.h"
#include "framework/B_Dlg.h"
#include "platform/gui/Forms.h"
#include "platform/gui/Jpeg.h"
#include "tests/support/fb/FIBSuiteFixture.h"

namespace dltest {

// What one message window showed.
struct TShownMsg {
  String Text;  // the message as the window holds it: lines ended by CR LF
  TB_MsgType Type = b_mtInfo;
  String Buttons;
};

// Part of a message with CR line breaks as a message window holds it.
inline String MemoLines(const String& Message) {
  String result;
  for (char c : Message) {
    if (c == '\r') result += "\r\n";
    else result += c;
  }
  return result;
}
// The whole text a message window holds for a message.
inline String MemoText(const String& Message) { return MemoLines(Message) + "\r\n"; }

// While it lives, answers every message window shown by pressing button
// Button (1-based; the last one when there are fewer), and records it.
class TMsgAnswerer {
 public:
  explicit TMsgAnswerer(int Button = 1) : button_(Button) {
    timer_.setInterval(5);
    QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
    timer_.start();
  }
  void SetButton(int Button) { button_ = Button; }
  // Called for each window before it is answered.
  void SetOnShown(std::function<void(const TShownMsg&)> Handler) { on_shown_ = std::move(Handler); }
  std::vector<TShownMsg> Shown;

 private:
  void Poll() {
    if (Screen == nullptr) return;  // the forms' unit has ended (a program that halts)
    for (int i = Screen->FormCount() - 1; i >= 0; --i) {
      auto* form = dynamic_cast<TFormMsg*>(Screen->Forms(i));
      if (form == nullptr || !form->Visible() || form->ModalResult() != 0 || form->ButtonList().empty()) continue;
      Shown.push_back({form->M_Error->Text(), form->MsgType(), form->Buttons()});
      if (on_shown_) on_shown_(Shown.back());
      const int n = std::min(button_, static_cast<int>(form->ButtonList().size()));
      form->ButtonList()[static_cast<size_t>(n - 1)]->Click();
    }
  }

  int button_;
  std::function<void(const TShownMsg&)> on_shown_;
  QTimer timer_;
};

template <class Derived>
class TDataLayerTest : public fbtest::TFIBSuiteTest<Derived> {
 protected:
  static void SetUpTestSuite() {
    fbtest::TFIBSuiteTest<Derived>::SetUpTestSuite();
    InitializeUnits({&unit_B_DBFBPlus, &unit_Jpeg});
    Application->Initialize();
  }
  void SetUp() override {
    form_ = new TComponent(nullptr);
    db_ = Connect();
  }
  void TearDown() override {
    GetDefaultDatabase = &GetDefaultDatabaseNil;
    ConvertSQLText = &ConvertSQLTextNone;
    PostWithCommit = kDefaultPostWithCommit;
    for (TFIBTransaction* tr : transactions_)
      if (tr->Active()) tr->Rollback();
    delete form_;
  }

  // A connected database on the suite's file with its own default
  // transaction.
  TFIBDatabase* Connect() {
    TFIBDatabase* db = fbtest::NewFIBDatabase(form_, this->file_->Path());
    db->SetDefaultTransaction(NewTransaction(db));
    db->Connect();
    return db;
  }
  TFIBTransaction* NewTransaction(TFIBDatabase* Database) {
    auto* tr = new TFIBTransaction(form_);
    tr->SetDefaultDatabase(Database);
    transactions_.push_back(tr);
    return tr;
  }
  // A query on the test's database with SQL, not opened.
  TB_Query* NewQuery(const String& SQL, TFIBDatabase* Database = nullptr) {
    auto* q = new TB_Query(form_);
    q->SetDatabase(Database != nullptr ? Database : db_);
    q->SQL()->SetText(SQL);
    return q;
  }
  // The first column of every row, joined by ",".
  static String Column(TDataSet* DataSet, const String& Field) {
    String result;
    for (DataSet->First(); !DataSet->Eof(); DataSet->Next()) {
      if (!result.empty()) result += ",";
      result += DataSet->FieldByName(Field)->AsString();
    }
    return result;
  }

  TComponent* form_ = nullptr;
  TFIBDatabase* db_ = nullptr;
  std::vector<TFIBTransaction*> transactions_;
};

}  // namespace dltest
