// The message window and MsgBox, driven through the modal loop by queued
// key strokes and clicks; the plain parts as tables; the replaceable
// procedures.

#include <QApplication>
#include <QClipboard>
#include <QTimer>

#include <functional>

#include "framework/B_Dlg.h"
#include "tests/framework/ControlsFixture.h"

namespace {

// A shown message window other than Except.
TFormMsg* OtherMsg(TFormMsg* Except) {
  for (int i = 0; i < Screen->FormCount(); ++i)
    if (auto* f = dynamic_cast<TFormMsg*>(Screen->Forms(i)); f != nullptr && f != Except && f->Visible()) return f;
  return nullptr;
}

class MsgBoxTest : public ControlsTest {
 protected:
  static void SetUpTestSuite() {
    InitializeUnits({&unit_B_Dlg, &unit_Jpeg});
    Application->Initialize();
  }
  void SetUp() override {
    ControlsTest::SetUp();
    Application->SetTitle("Тест");
  }
  // Runs Check on the shown window, then Answer; returns MsgBox's result.
  int Run(const String& Message, const String& Details, const String& Buttons, TB_MsgType Type,
          std::function<void(TFormMsg*)> Answer) {
    QTimer::singleShot(0, [this, Answer] {
      TFormMsg* f = FindMsg();
      if (f == nullptr) return;
      shown = f;
      f->Widget()->activateWindow();
      QApplication::processEvents();
      Inspect(f);
      Answer(f);
    });
    return MsgBox(Message, Details, Buttons, Type);
  }
  TFormMsg* FindMsg() {
    for (int i = Screen->FormCount() - 1; i >= 0; --i)
      if (auto* f = dynamic_cast<TFormMsg*>(Screen->Forms(i)); f != nullptr && f->Visible()) return f;
    ADD_FAILURE() << "no message window";
    return nullptr;
  }
  void Inspect(TFormMsg* f) {
    caption = f->Caption();
    captions.clear();
    images.clear();
    image_counts.clear();
    image_widths.clear();
    defaults.clear();
    cancels.clear();
    type_image = f->B_Image1->Bitmaps()->CurrentImage();
    for (TB_BitBtn* b : f->ButtonList()) {
      captions.push_back(b->TextGroup()->Text());
      images.push_back(b->Bitmaps()->NameBitmap());
      image_counts.push_back(b->Bitmaps()->NumberImages());
      image_widths.push_back(b->Bitmaps()->ImageWidth());
      defaults.push_back(b->Default());
      cancels.push_back(b->Cancel());
    }
    focused = -1;
    for (size_t i = 0; i < f->ButtonList().size(); ++i)
      if (f->ButtonList()[i]->Focused()) focused = static_cast<int>(i) + 1;
    error_visible = f->M_Error->Visible();
    text_visible = f->M_Text->Visible();
    client_height = f->ClientHeight();
    f->TextCaret(line, column);
    caret_text = f->B_Panel5->TextGroup()->Text();
  }
  static void Key(TFormMsg*, int K) {
    QWidget* w = QApplication::focusWidget();
    ASSERT_NE(w, nullptr);
    SendKey(w, K);
  }

  TFormMsg* shown = nullptr;
  String caption, caret_text;
  std::vector<String> captions, images;
  std::vector<bool> defaults, cancels;
  std::vector<int> image_counts, image_widths;
  int type_image = 0, focused = -1;
  bool error_visible = false, text_visible = false;
  int client_height = 0, line = -1, column = -1;
};

TEST_F(MsgBoxTest, DefaultButtonAnswersEnterAndEscape) {
  for (int k : {Qt::Key_Return, Qt::Key_Escape}) {
    EXPECT_EQ(Run("Сообщение", "", "", b_mtInfo, [k](TFormMsg* f) { Key(f, k); }), 1);
    EXPECT_EQ(caption, "Информыция \"Тест\"");
    EXPECT_EQ(captions, std::vector<String>{"ОК"});
    EXPECT_EQ(images, std::vector<String>{"IM_OK"});
    EXPECT_EQ(type_image, 1);
  }
  // Only the default and cancel numbers: the same single button.
  EXPECT_EQ(Run("m", "", "2;3", b_mtQUESTION, [](TFormMsg* f) { Key(f, Qt::Key_Escape); }), 1);
  EXPECT_EQ(captions, std::vector<String>{"ОК"});
  EXPECT_EQ(caption, "\"Тест\"");
}

TEST_F(MsgBoxTest, ThreeButtonsWithDefaultAndCancel) {
  const String spec = "2;3;Да;Нет|IM_CANCEL;Отмена";
  EXPECT_EQ(Run("m", "", spec, b_mtWARNING, [](TFormMsg* f) { Key(f, Qt::Key_Return); }), 2);
  EXPECT_EQ(captions, (std::vector<String>{"Да", "Нет", "Отмена"}));
  EXPECT_EQ(images, (std::vector<String>{"IM_OK", "IM_CANCEL", ""}));
  EXPECT_EQ(image_counts, (std::vector<int>{1, 1, 0}));  // no name: no image, and no room for one
  EXPECT_EQ(image_widths, (std::vector<int>{16, 16, 0}));
  EXPECT_EQ(type_image, 3);
  EXPECT_EQ(focused, 2);  // the default button, so Enter presses it
  EXPECT_EQ(defaults, (std::vector<bool>{false, true, false}));
  EXPECT_EQ(cancels, (std::vector<bool>{false, false, true}));
  EXPECT_EQ(caption, "Внимание \"Тест\"");
  EXPECT_EQ(Run("m", "", spec, b_mtWARNING, [](TFormMsg* f) { Key(f, Qt::Key_Escape); }), 3);
  // A click on the n-th button.
  for (int n = 1; n <= 3; ++n) {
    EXPECT_EQ(Run("m", "", spec, b_mtError, [n](TFormMsg* f) {
                QWidget* w = f->ButtonList()[static_cast<size_t>(n - 1)]->Widget();
                Press(w, {5, 5});
                Release(w, {5, 5});
              }),
              n);
  }
  // Closing the window by its frame is the cancel button.
  EXPECT_EQ(Run("m", "", spec, b_mtError, [](TFormMsg* f) { f->Widget()->close(); }), 3);
}

TEST_F(MsgBoxTest, NumbersMatchingNoButtonLeaveNoneDefaultOrCancel) {
  EXPECT_EQ(Run("m", "", "7;9;A;B", b_mtInfo, [](TFormMsg* f) {
              Key(f, Qt::Key_Escape);  // no cancel button: nothing happens
              EXPECT_EQ(f->ModalResult(), mrNone);
              f->ButtonList()[1]->Press();
            }),
            2);
  EXPECT_EQ(defaults, (std::vector<bool>{false, false}));
  EXPECT_EQ(cancels, (std::vector<bool>{false, false}));
}

TEST_F(MsgBoxTest, ButtonsAreCentredAndWidenTheWindow) {
  int panel = 0, first = 0, summed = 0, width = 0;
  auto measure = [&](TFormMsg* f) {
    panel = f->P_Button->ClientWidth();
    first = f->ButtonList()[0]->Left();
    summed = f->ButtonsWidth();
    width = f->ClientWidth();
    for (size_t i = 1; i < f->ButtonList().size(); ++i)
      EXPECT_EQ(f->ButtonList()[i]->Left(), f->ButtonList()[i - 1]->BoundsRect().Right);
    EXPECT_EQ(f->ButtonList()[0]->Top(), 6);
    f->ButtonList()[0]->Press();
  };
  Run("m", "", "1;1;A;B", b_mtInfo, measure);
  EXPECT_EQ(first, (panel - summed) / 2);
  EXPECT_EQ(width, 556);
  String many = "1;1";
  for (int i = 0; i < 12; ++i) many += ";Очень длинная надпись " + std::to_string(i);
  Run("m", "", many, b_mtInfo, measure);
  EXPECT_GT(summed, 556);
  EXPECT_GE(width, summed);
  EXPECT_EQ(first, (panel - summed) / 2);
}

TEST_F(MsgBoxTest, EmptyDetailsHideTheTextBoxAndShrinkTheWindow) {
  auto escape = [](TFormMsg* f) { Key(f, Qt::Key_Escape); };
  Run("message", "SELECT 1\nFROM T", "", b_mtError, escape);
  EXPECT_TRUE(error_visible);
  EXPECT_TRUE(text_visible);
  const int full = client_height;
  Run("message", "", "", b_mtError, escape);
  EXPECT_TRUE(error_visible);
  EXPECT_FALSE(text_visible);
  EXPECT_LT(client_height, full);
  EXPECT_EQ(caret_text, "");
  // Only details: the message box hides, the window keeps its height.
  Run("", "details", "", b_mtError, escape);
  EXPECT_FALSE(error_visible);
  EXPECT_TRUE(text_visible);
  EXPECT_EQ(client_height, full);
}

TEST_F(MsgBoxTest, CaretFollowsTheMessageAndIsShown) {
  const String sql = "SELECT\n  A,\n  ПолеБ, C\nFROM T\n";
  auto escape = [](TFormMsg* f) { Key(f, Qt::Key_Escape); };
  Run("Ошибка: line 3, char 7", sql, "", b_mtError, escape);
  EXPECT_EQ(line, 2);
  EXPECT_EQ(column, 6);
  EXPECT_EQ(caret_text, "3 : 7");
  // Moving the caret by key updates the display.
  String moved;
  Run("line 3, char 7", sql, "", b_mtError, [&moved](TFormMsg* f) {
    f->FocusControl(f->M_Text);
    SendKey(f->M_Text->Widget(), Qt::Key_Right);
    moved = f->B_Panel5->TextGroup()->Text();
    f->ButtonList()[0]->Press();
  });
  EXPECT_EQ(moved, "3 : 8");
  Run("Dynamic SQL Error\r\nline 2, column 3", sql, "", b_mtError, escape);
  EXPECT_EQ(caret_text, "2 : 3");
  Run("line x", sql, "", b_mtError, escape);
  EXPECT_EQ(caret_text, "1 : 1");
  // Past the end: the last line, its end.
  Run("line 40, char 90", "ab\ncd", "", b_mtError, escape);
  EXPECT_EQ(caret_text, "2 : 3");
}

TEST_F(MsgBoxTest, CopyButtonCopiesTheMessage) {
  QApplication::clipboard()->clear();
  Run("первая\nвторая", "x", "", b_mtInfo, [](TFormMsg* f) {
    f->B_BitBtn1->Press();
    Key(f, Qt::Key_Escape);
  });
  EXPECT_EQ(QApplication::clipboard()->text().toStdString(), "первая\r\nвторая");
}

TEST_F(MsgBoxTest, NestedCallsEachHaveTheirWindow) {
  int inner = 0;
  int outer = Run("outer", "", "1;2;A;B", b_mtInfo, [&inner](TFormMsg* f) {
    QTimer::singleShot(0, [f] {
      TFormMsg* g = OtherMsg(f);
      ASSERT_NE(g, nullptr);
      EXPECT_EQ(g->M_Error->Text(), "inner\r\n");
      g->ButtonList()[0]->Press();
    });
    inner = MsgBox("inner", "", "1;1;X", b_mtError);
    f->ButtonList()[1]->Press();
  });
  EXPECT_EQ(inner, 1);
  EXPECT_EQ(outer, 2);
}

TEST_F(MsgBoxTest, NestedWindowStaysAboveTheOuterOne) {
  std::vector<String> order_inner;  // captions, topmost first
  std::vector<TCustomForm*> order_after;
  bool outer_enabled_inner = true, outer_enabled_after = false, inner_enabled = false;
  Run("outer", "", "1;2;A;B", b_mtInfo, [&](TFormMsg* f) {
    QTimer::singleShot(0, [&, f] {
      TFormMsg* g = OtherMsg(f);
      ASSERT_NE(g, nullptr);
      g->Widget()->activateWindow();  // as the window system does
      QApplication::processEvents();
      ASSERT_EQ(Screen->ActiveForm(), g);
      // Both windows' timers tick (a second passes): the outer one, under
      // the modal inner one, counts as disabled and stays below.
      for (int tick = 0; tick < 2; ++tick) {
        f->B_HiResTimer1->OnTimer()(f->B_HiResTimer1);
        g->B_HiResTimer1->OnTimer()(g->B_HiResTimer1);
      }
      for (TCustomForm* w : Screen->ZOrder()) order_inner.push_back(w->Caption());
      outer_enabled_inner = IsWindowEnabled(f->Handle());
      inner_enabled = IsWindowEnabled(g->Handle());
      EXPECT_TRUE(f->Enabled());  // the property is the form's own
      g->ButtonList()[0]->Press();
    });
    TFormMsg* outer = f;
    MsgBox("inner", "", "1;1;X", b_mtError);
    outer_enabled_after = IsWindowEnabled(outer->Handle());
    outer->B_HiResTimer1->OnTimer()(outer->B_HiResTimer1);
    order_after = Screen->ZOrder();
    f->ButtonList()[1]->Press();
  });
  ASSERT_EQ(order_inner.size(), 2u);
  EXPECT_EQ(order_inner, (std::vector<String>{"Ошибка \"Тест\"", "Информыция \"Тест\""}));  // the inner one on top
  EXPECT_FALSE(outer_enabled_inner);
  EXPECT_TRUE(inner_enabled);
  EXPECT_TRUE(outer_enabled_after);
  ASSERT_EQ(order_after.size(), 1u);
  EXPECT_EQ(order_after[0], shown);
}

TEST_F(MsgBoxTest, WindowIsCentredAtTheSizeItShowsWith) {
  struct Case {
    const char* what;
    String details, buttons;
  };
  String many = "1;1";
  for (int i = 0; i < 4; ++i) many += ";Длинная надпись " + std::to_string(i);
  const Case cases[] = {
      {"lower without details", "", ""},
      {"wider for its buttons", "x", many},
      {"as designed", "x", ""},
  };
  for (const Case& c : cases) {
    TRect bounds;
    Run("m", c.details, c.buttons, b_mtInfo, [&bounds](TFormMsg* f) {
      bounds = f->BoundsRect();
      f->ButtonList()[0]->Press();
    });
    ASSERT_LE(bounds.Width(), Screen->Width()) << c.what;
    // The offscreen window system may move a window by its frame.
    EXPECT_NEAR(bounds.Left, (Screen->Width() - bounds.Width()) / 2, 2) << c.what;
    EXPECT_NEAR(bounds.Top, (Screen->Height() - bounds.Height()) / 2, 2) << c.what;
  }
}

TEST_F(MsgBoxTest, TimerRunsEverySecondWhileTheWindowShows) {
  Run("m", "", "", b_mtInfo, [](TFormMsg* f) {
    TB_HiResTimer* t = f->B_HiResTimer1;
    EXPECT_TRUE(t->Enabled());
    EXPECT_EQ(t->Interval(), 1000u);
    EXPECT_NE(t->TimerID(), 0u);
    EXPECT_TRUE(static_cast<bool>(t->OnTimer()));
    f->B_HiResTimer1Timer(t);  // the window shows: raising it changes nothing else
    EXPECT_TRUE(f->Visible());
    f->ButtonList()[0]->Press();
  });
}

TEST_F(MsgBoxTest, ExecutePlacesTheWindowAtTheScreenPosition) {
  auto* d = Create<TB_MsgDialog>(Application);
  d->SetScreenLeft(70);
  d->SetScreenTop(40);
  d->SetTitle("Заголовок");
  d->Error()->SetText("e");
  int left = 0, top = 0;
  QTimer::singleShot(0, [&] {
    TFormMsg* f = FindMsg();
    left = f->Left(), top = f->Top();
    caption = f->Caption();
    f->ButtonList()[0]->Press();
  });
  EXPECT_EQ(d->Execute(), 1);
  delete d;
  EXPECT_NEAR(left, 70, 2);
  EXPECT_NEAR(top, 40, 2);  // the offscreen window system may move a window by its frame
  EXPECT_EQ(caption, "Информыция Заголовок");
}

// ---------------------------------------------------------------------------
// Plain parts

TEST(MsgPlain, ButtonSpecifications) {
  struct Case {
    const char* spec;
    int def, cancel;
    std::vector<std::pair<String, String>> buttons;
  } cases[] = {
      {"", 1, 1, {{"ОК", ""}}},
      {"2;3", 1, 1, {{"ОК", ""}}},
      {"x;y;A", 1, 1, {{"A", ""}}},
      {"1;2;Да|IM_OK;Нет|IM_CANCEL", 1, 2, {{"Да", "IM_OK"}, {"Нет", "IM_CANCEL"}}},
      {"1;2;A;;B", 1, 2, {{"A", ""}}},
      {"1;1;a|b|c", 1, 1, {{"a", "b|c"}}},
  };
  for (const Case& c : cases) {
    TMsgButtonSpec s = ParseMsgButtons(c.spec);
    EXPECT_EQ(s.Default, c.def) << c.spec;
    EXPECT_EQ(s.Cancel, c.cancel) << c.spec;
    ASSERT_EQ(s.Buttons.size(), c.buttons.size()) << c.spec;
    for (size_t i = 0; i < s.Buttons.size(); ++i) {
      EXPECT_EQ(s.Buttons[i].Caption, c.buttons[i].first) << c.spec;
      EXPECT_EQ(s.Buttons[i].Image, c.buttons[i].second) << c.spec;
    }
  }
}

TEST(MsgPlain, ImagesFromCaptions) {
  const std::pair<const char*, const char*> cases[] = {
      {"да", "IM_OK"},        {"Yes", "IM_OK"},       {"ок", "IM_OK"},          {"Ok", "IM_OK"},
      {"нет", "IM_CLOSEW"},   {"No", "IM_CLOSEW"},    {"Отменить", "IM_CLOSEW"}, {"cancel", "IM_CLOSEW"},
      {"обновить", "IM_UPDATE"}, {"Update", "IM_UPDATE"}, {"&Да", ""},          {"Отмена", ""},
  };
  for (auto [caption, image] : cases) EXPECT_EQ(MsgButtonImage(caption), image) << caption;
}

TEST(MsgPlain, ErrorPositions) {
  const std::tuple<const char*, int, int> cases[] = {
      {"line 3, char 7", 2, 6},
      {"at line 3, column 7", 2, 6},
      {"line 3 char 7 column 9", 2, 6},
      {"line , char 7", 6, 0},  // the run of digits is the 7: no column left
      {"line x", 0, 0},
      {"char 7", 0, 0},
      {"Line 3, char 7", 0, 0},
      {"line 0, char 0", 0, 0},
      {"line 99999999999, char 2", 0, 1},
      {"line 5", 4, 0},
  };
  for (auto [text, l, c] : cases) {
    int line = -1, column = -1;
    MsgErrorPosition(text, line, column);
    EXPECT_EQ(line, l) << text;
    EXPECT_EQ(column, c) << text;
  }
}

TEST(MsgPlain, ButtonLayout) {
  // panel width, summed width, form client width, panel border -> first left, form client width
  const int cases[][6] = {
      {500, 100, 556, 0, 200, 556}, {101, 100, 556, 0, 0, 556}, {80, 100, 90, 0, 0, 100},
      {80, 100, 90, 8, 0, 108},     {100, 100, 100, 0, 0, 100}, {99, 100, 120, 0, 0, 120},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(MsgButtonsLeft(c[0], c[1]), c[4]);
    EXPECT_EQ(MsgFormClientWidth(c[2], c[3], c[1]), c[5]);
  }
}

TEST(MsgPlain, TypePrefixes) {
  EXPECT_EQ(MsgTypePrefix(b_mtInfo), "Информыция ");
  EXPECT_EQ(MsgTypePrefix(b_mtQUESTION), "");
  EXPECT_EQ(MsgTypePrefix(b_mtWARNING), "Внимание ");
  EXPECT_EQ(MsgTypePrefix(b_mtError), "Ошибка ");
}

// ---------------------------------------------------------------------------
// Replaceable procedures

TFIBDatabase* HostDatabase(TObject*) { return reinterpret_cast<TFIBDatabase*>(0x10); }
void HostConvert(const String& Text, String& Result) { Result = "/*host*/" + Text; }
int HostActions() { return 7; }

TEST_F(MsgBoxTest, ReplaceableProceduresDefaultsAndReinstallation) {
  EXPECT_EQ(GetDefaultDatabase(nullptr), nullptr);
  String out;
  ConvertSQLText("select 1", out);
  EXPECT_EQ(out, "select 1");
  EXPECT_EQ(GetObjectDataSource("OBJ"), nullptr);
  EXPECT_EQ(FrameworkHook(nullptr), 0);
  EXPECT_EQ(PostWithCommit, 0);
  EXPECT_EQ(LookupOptions, 5);
  int windows = 0;
  EXPECT_EQ(Run("", "", "", b_mtInfo, [](TFormMsg* f) { Key(f, Qt::Key_Escape); }), 1);  // warm up
  for (int i = 0; i < 2; ++i) {
    QTimer::singleShot(0, [&windows, this] {
      TFormMsg* f = FindMsg();
      f->Widget()->activateWindow();
      QApplication::processEvents();
      ++windows;
      EXPECT_EQ(f->M_Error->Text(), "Действия не определены для данного события.\r\n");
      EXPECT_EQ(f->MsgType(), b_mtError);
      EXPECT_FALSE(f->M_Text->Visible());
      Key(f, Qt::Key_Return);
    });
    EXPECT_EQ(RunEventActions(), 0);
  }
  EXPECT_EQ(windows, 2);

  GetDefaultDatabase = &HostDatabase;
  ConvertSQLText = &HostConvert;
  RunEventActions = &HostActions;
  PostWithCommit = 1;
  LookupOptions = 2;
  ConvertSQLText("x", out);
  EXPECT_EQ(out, "/*host*/x");
  EXPECT_EQ(RunEventActions(), 7);
  // The finalization installs the defaults again.
  unit_B_Dlg.Final()();
  EXPECT_EQ(GetDefaultDatabase, &GetDefaultDatabaseNil);
  EXPECT_EQ(ConvertSQLText, &ConvertSQLTextNone);
  EXPECT_EQ(GetObjectDataSource, &GetObjectDataSourceNil);
  EXPECT_EQ(RunEventActions, &RunEventActionsNone);
  EXPECT_EQ(FrameworkHook, &FrameworkHookNil);
  EXPECT_EQ(PostWithCommit, 0);
  EXPECT_EQ(LookupOptions, 5);
}

}  // namespace
