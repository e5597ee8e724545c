#include <QCheckBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>

#include "platform/os/Resources.h"
#include "platform/rtl/FormStream.h"
#include "tests/platform/gui/GuiFixture.h"

namespace {

class TTestForm : public TForm {
 public:
  explicit TTestForm(TComponent* owner) : TForm(owner) {}
  TButton* OkButton = nullptr;
  TCheckBox* Check = nullptr;
  TLabel* Info = nullptr;
  TMemo* Notes = nullptr;
  TEdit* Edit1 = nullptr;
  TTimer* Ticker = nullptr;
  int created = 0;
  int clicks = 0;
  int ticks = 0;
  bool created_with_fields = false;
  void FormCreate(TObject*) {
    ++created;
    created_with_fields = OkButton != nullptr && OkButton->Caption() == "OK";
  }
  void CheckClick(TObject*) { ++clicks; }
  void TickerTimer(TObject*) { ++ticks; }
  void Dispatch(TMessage& m) override {
    if (m.Msg == WM_USER + 9) {
      SetModalResult(static_cast<int>(m.WParam));
      return;
    }
    if (m.Msg == WM_USER + 10) {
      Close();
      return;
    }
    TForm::Dispatch(m);
  }
};

class TNoResourceForm : public TForm {
 public:
  using TForm::TForm;
};

const char kFormText[] =
    "object TestForm: TTestForm\n"
    "  Left = 10\n"
    "  Top = 20\n"
    "  Caption = 'Test'\n"
    "  ClientHeight = 200\n"
    "  ClientWidth = 300\n"
    "  Font.Height = -11\n"
    "  Font.Name = 'Tahoma'\n"
    "  OnCreate = FormCreate\n"
    "  object OkButton: TButton\n"
    "    Left = 220\n"
    "    Top = 170\n"
    "    Width = 75\n"
    "    Height = 25\n"
    "    Anchors = [akRight, akBottom]\n"
    "    Caption = 'OK'\n"
    "    ModalResult = 1\n"
    "    TabOrder = 1\n"
    "  end\n"
    "  object Check: TCheckBox\n"
    "    Left = 8\n"
    "    Top = 8\n"
    "    Width = 97\n"
    "    Height = 17\n"
    "    Caption = 'Check'\n"
    "    Checked = True\n"
    "    TabOrder = 0\n"
    "    OnClick = CheckClick\n"
    "  end\n"
    "  object Info: TLabel\n"
    "    Left = 8\n"
    "    Top = 40\n"
    "    Width = 5\n"
    "    Height = 5\n"
    "    Caption = 'a'#13'bb'#13#10'&&c&d'\n"
    "  end\n"
    "  object Notes: TMemo\n"
    "    Left = 8\n"
    "    Top = 80\n"
    "    Width = 100\n"
    "    Height = 60\n"
    "    Lines.Strings = (\n"
    "      'one'\n"
    "      'two')\n"
    "    ScrollBars = ssVertical\n"
    "    TabOrder = 2\n"
    "  end\n"
    "  object Edit1: TEdit\n"
    "    Left = 120\n"
    "    Top = 80\n"
    "    Width = 100\n"
    "    Height = 21\n"
    "    TabOrder = 3\n"
    "    Text = 'typed'\n"
    "  end\n"
    "  object Ticker: TTimer\n"
    "    Interval = 500\n"
    "    OnTimer = TickerTimer\n"
    "  end\n"
    "end\n";

class FormsTest : public GuiTest {
 protected:
  static void SetUpTestSuite() {
    GuiTest::SetUpTestSuite();
    if (FindClassInfo("TTestForm") == nullptr) {
      RegisterClass<TTestForm, TForm>("TTestForm")
          .Field("OkButton", &TTestForm::OkButton)
          .Field("Check", &TTestForm::Check)
          .Field("Info", &TTestForm::Info)
          .Field("Notes", &TTestForm::Notes)
          .Field("Edit1", &TTestForm::Edit1)
          .Field("Ticker", &TTestForm::Ticker)
          .Method("FormCreate", &TTestForm::FormCreate)
          .Method("CheckClick", &TTestForm::CheckClick)
          .Method("TickerTimer", &TTestForm::TickerTimer);
      RegisterClass<TNoResourceForm, TForm>("TNoResourceForm");
    }
    RegisterResource("TTESTFORM", RT_RCDATA, reinterpret_cast<const uint8_t*>(kFormText), sizeof kFormText - 1);
  }
};

}  // namespace

TEST_F(FormsTest, FormIsBuiltFromItsResourceThenCreated) {
  std::unique_ptr<TTestForm> f(Create<TTestForm>(nullptr));
  EXPECT_EQ(f->Name(), "TestForm");
  EXPECT_EQ(f->created, 1);
  EXPECT_TRUE(f->created_with_fields);  // OnCreate runs after reading
  EXPECT_EQ(f->Caption(), "Test");
  EXPECT_EQ(f->BoundsRect(), Bounds(10, 20, 300, 200));
  EXPECT_EQ(f->Color(), clBtnFace);
  EXPECT_FALSE(f->Visible());
  ASSERT_NE(f->OkButton, nullptr);
  EXPECT_EQ(f->OkButton->Parent(), f.get());
  EXPECT_EQ(f->OkButton->Owner(), f.get());
  EXPECT_EQ(f->OkButton->Font()->Name(), "Tahoma");  // parent font
  EXPECT_EQ(f->Check->TabOrder(), 0);
  EXPECT_EQ(f->OkButton->TabOrder(), 1);
  EXPECT_EQ(f->Notes->TabOrder(), 2);
  // Checked while reading is no click; its handler is bound afterwards anyway.
  EXPECT_TRUE(f->Check->Checked());
  EXPECT_EQ(f->clicks, 0);
  EXPECT_EQ(f->Notes->Lines()->Count(), 2);
  EXPECT_EQ(f->Notes->Text(), "one\r\ntwo\r\n");
  EXPECT_EQ(f->Edit1->Text(), "typed");
  EXPECT_TRUE(f->Ticker->Running());

  // Anchored to the right and bottom: follows the form's size.
  f->SetClientWidth(400);
  f->SetClientHeight(250);
  EXPECT_EQ(f->OkButton->BoundsRect(), Bounds(320, 220, 75, 25));

  // Widgets mirror the properties once made.
  f->HandleNeeded();
  EXPECT_EQ(static_cast<QPushButton*>(f->OkButton->Widget())->text(), "OK");
  EXPECT_TRUE(static_cast<QCheckBox*>(f->Check->Widget())->isChecked());
  EXPECT_EQ(static_cast<QPlainTextEdit*>(f->Notes->Widget())->toPlainText(), "one\ntwo");
  EXPECT_EQ(static_cast<QLabel*>(f->Info->Widget())->text(), "a\nbb\n&cd");
}

TEST_F(FormsTest, ResourceRoundTripsThroughTheWriter) {
  std::unique_ptr<TTestForm> f(Create<TTestForm>(nullptr));
  String text = WriteComponentToText(f.get());
  auto copy = std::make_unique<TTestForm>(nullptr);
  ReadComponentFromText(copy.get(), text);
  EXPECT_EQ(WriteComponentToText(copy.get()), text);
  EXPECT_NE(text.find("    Caption = 'OK'\n    ModalResult = 1\n"), String::npos);
  EXPECT_NE(text.find("Lines.Strings = (\n      'one'\n      'two')"), String::npos);
  EXPECT_EQ(text.find("Color = clBtnFace"), String::npos);  // the form's default
}

TEST_F(FormsTest, MissingResourceAndPlainForms) {
  try {
    std::unique_ptr<TNoResourceForm> f(Create<TNoResourceForm>(nullptr));
    ADD_FAILURE() << "no exception";
  } catch (const EResNotFound& e) {
    EXPECT_EQ(e.Message(), "Resource TNoResourceForm not found");
  }
  std::unique_ptr<TForm> plain(Create<TForm>(nullptr));
  EXPECT_EQ(plain->ControlCount(), 0);
  std::unique_ptr<TForm> blank(TForm::CreateNew(nullptr));
  EXPECT_EQ(blank->ClientWidth(), 320);
}

TEST_F(FormsTest, CheckBoxClicksOnEveryChangeByCodeOrUser) {
  std::unique_ptr<TTestForm> f(Create<TTestForm>(nullptr));
  f->Check->SetChecked(false);
  EXPECT_EQ(f->clicks, 1);
  f->Check->SetChecked(false);  // no change, no click
  EXPECT_EQ(f->clicks, 1);
  f->HandleNeeded();
  static_cast<QCheckBox*>(f->Check->Widget())->click();  // the user
  EXPECT_TRUE(f->Check->Checked());
  EXPECT_EQ(f->clicks, 2);
}

TEST_F(FormsTest, LabelShowsLineBreaksAndSizesToItsText) {
  std::unique_ptr<TTestForm> f(Create<TTestForm>(nullptr));
  EXPECT_EQ(f->Info->DisplayText(), "a\nbb\n&cd");
  TCanvas measure;
  measure.Font()->Assign(f->Info->Font());
  EXPECT_EQ(f->Info->Height(), 3 * measure.TextHeight("Wg"));
  EXPECT_EQ(f->Info->Width(), measure.TextWidth("&cd"));
  EXPECT_EQ(f->Info->Left(), 8);
  f->Info->SetCaption("x");
  EXPECT_EQ(f->Info->Height(), measure.TextHeight("Wg"));
}

TEST_F(FormsTest, TimerTicksOneIntervalAfterEnablingAndStopsWhenDisabled) {
  std::unique_ptr<TTestForm> f(Create<TTestForm>(nullptr));
  clock_.Advance(499);
  EXPECT_EQ(f->ticks, 0);
  clock_.Advance(1);
  EXPECT_EQ(f->ticks, 1);
  f->Ticker->SetEnabled(false);
  clock_.Advance(2000);
  EXPECT_EQ(f->ticks, 1);
  f->Ticker->SetEnabled(true);
  clock_.Advance(499);
  EXPECT_EQ(f->ticks, 1);
  clock_.Advance(1);
  EXPECT_EQ(f->ticks, 2);
  f->Ticker->SetInterval(0);
  EXPECT_FALSE(f->Ticker->Running());
  f->Ticker->SetInterval(10);
  f->Ticker->SetOnTimer(nullptr);
  EXPECT_FALSE(f->Ticker->Running());
}

TEST_F(FormsTest, ShowModalReturnsTheModalResult) {
  std::unique_ptr<TTestForm> f(Create<TTestForm>(nullptr));
  // A posted message sets the result from inside the modal loop.
  PostMessage(f->Handle(), WM_USER + 9, mrRetry, 0);
  EXPECT_EQ(f->ShowModal(), mrRetry);
  EXPECT_FALSE(f->Visible());
  // Close of a modal form ends it with mrCancel, after OnClose.
  int closes = 0;
  f->SetOnClose([&](TObject*, TCloseAction&) { ++closes; });
  PostMessage(f->Handle(), WM_USER + 10, 0, 0);
  EXPECT_EQ(f->ShowModal(), mrCancel);
  EXPECT_EQ(closes, 1);
  // The button hands its ModalResult to the form.
  f->OkButton->Click();
  EXPECT_EQ(f->ModalResult(), mrOk);
  f->Show();
  EXPECT_THROW(f->ShowModal(), EInvalidOperation);  // already visible
}

TEST_F(FormsTest, ClosingHidesOrKeepsTheForm) {
  std::unique_ptr<TTestForm> f(Create<TTestForm>(nullptr));
  f->Show();
  EXPECT_TRUE(f->Showing());
  f->SetOnCloseQuery([](TObject*, bool& can) { can = false; });
  f->Close();
  EXPECT_TRUE(f->Visible());
  f->SetOnCloseQuery(nullptr);
  f->SetOnClose([](TObject*, TCloseAction& a) { a = caNone; });
  f->Close();
  EXPECT_TRUE(f->Visible());
  f->SetOnClose(nullptr);
  f->Close();
  EXPECT_FALSE(f->Visible());

  // caFree releases the form through a posted message.
  auto* freed = Create<TTestForm>(nullptr);
  bool destroyed = false;
  freed->SetOnDestroy([&](TObject*) { destroyed = true; });
  freed->SetOnClose([](TObject*, TCloseAction& a) { a = caFree; });
  freed->Show();
  freed->Close();
  EXPECT_FALSE(destroyed);
  Application->ProcessMessages();
  EXPECT_TRUE(destroyed);
}

TEST_F(FormsTest, FormFreedByItsOwnerRunsOnDestroyOnceWithItsControls) {
  auto* owner = new TComponent(nullptr);
  auto* form = Create<TTestForm>(owner);
  int runs = 0;
  bool edit_alive = false;
  form->SetOnDestroy([&](TObject*) {
    ++runs;
    edit_alive = form->FindComponent("Edit1") != nullptr;
  });
  delete owner;
  EXPECT_EQ(runs, 1);
  EXPECT_TRUE(edit_alive);
}

TEST_F(FormsTest, UncaughtExceptionsReachTheApplication) {
  std::vector<String> shown;
  Application->SetOnException([&](TObject*, Exception* e) { shown.push_back(e->Message()); });
  try {
    throw EConvertError("bad value");
  } catch (...) {
    Application->HandleException(nullptr);
  }
  try {
    Abort();
  } catch (...) {
    Application->HandleException(nullptr);  // silent
  }
  // An exception in a handler run by the event loop does not escape into Qt.
  std::unique_ptr<TTestForm> f(Create<TTestForm>(nullptr));
  f->Check->SetOnClick([](TObject*) { throw EConvertError("from a click"); });
  f->HandleNeeded();
  static_cast<QCheckBox*>(f->Check->Widget())->click();
  EXPECT_EQ(shown, (std::vector<String>{"bad value", "from a click"}));
}

TEST_F(FormsTest, TreeNodesInTreeOrder) {
  auto tv = std::make_unique<TTreeView>(nullptr);
  TTreeNodes* items = tv->Items();
  TTreeNode* a = items->AddObject(nullptr, "a", reinterpret_cast<void*>(uintptr_t{1}));
  TTreeNode* b = items->Add(a, "b");
  TTreeNode* a1 = items->AddChild(a, "a1");
  TTreeNode* a2 = items->AddChildObject(a, "a2", reinterpret_cast<void*>(uintptr_t{7}));
  TTreeNode* a1x = items->AddChild(a1, "a1x");
  TTreeNode* c = items->AddChild(nullptr, "c");
  EXPECT_EQ(items->Count(), 6);
  std::vector<String> order;
  for (int i = 0; i < items->Count(); ++i) order.push_back(items->Item(i)->Text());
  EXPECT_EQ(order, (std::vector<String>{"a", "a1", "a1x", "a2", "b", "c"}));
  EXPECT_EQ(a2->AbsoluteIndex(), 3);
  EXPECT_EQ(a2->Data(), reinterpret_cast<void*>(uintptr_t{7}));
  EXPECT_EQ(a1x->Level(), 2);
  EXPECT_EQ(a1x->Parent(), a1);
  EXPECT_EQ(a->Count(), 2);
  EXPECT_EQ(b->GetNextSibling(), c);
  EXPECT_THROW(items->Item(6), ETreeViewError);
  EXPECT_THROW(items->Item(-1), ETreeViewError);

  tv->HandleNeeded();
  auto* tw = static_cast<QTreeWidget*>(tv->Widget());
  EXPECT_EQ(tw->topLevelItemCount(), 3);
  EXPECT_EQ(tw->indentation(), 19);
  items->AddChild(c, "c1");
  EXPECT_EQ(tw->topLevelItem(2)->child(0)->text(0), "c1");
  a1->Delete();
  EXPECT_EQ(items->Count(), 5);
  EXPECT_EQ(tw->topLevelItem(0)->childCount(), 1);
  items->Clear();
  EXPECT_EQ(items->Count(), 0);
  EXPECT_EQ(tw->topLevelItemCount(), 0);
}
