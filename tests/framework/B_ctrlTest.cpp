#include <chrono>
#include <functional>
#include <thread>

#include "platform/rtl/FormStream.h"
#include "tests/framework/FrameworkFixture.h"

namespace {

using B_ctrlTest = FrameworkTest;

// Paints a 20 x 10 frame set up by Setup onto white paper.
std::unique_ptr<TPaper> PaintFrame(const std::function<void(TB_CustomFramePersistent&)>& Setup) {
  auto paper = std::make_unique<TPaper>(24, 14);
  TB_PanelFramePersistent frame;
  frame.SetBounds(0, 0, 20, 10);
  Setup(frame);
  frame.Paint(paper->Canvas());
  return paper;
}

}  // namespace

TEST_F(B_ctrlTest, FramePaintsBevelsBordersAndLines) {
  const TColor hi = Sys(clBtnHighlight), sh = Sys(clBtnShadow);
  struct Probe {
    int x, y;
    TColor color;
  };
  struct Case {
    const char* what;
    std::function<void(TB_CustomFramePersistent&)> setup;
    std::vector<Probe> probes;
  } cases[] = {
      {"default panel frame: one raised bevel",
       [](TB_CustomFramePersistent&) {},
       {{0, 0, hi}, {10, 0, hi}, {0, 5, hi}, {19, 0, sh}, {0, 9, sh}, {10, 9, sh}, {19, 5, sh}, {1, 1, clWhite},
        {20, 5, clWhite}}},
      {"lowered",
       [](auto& f) { f.SetStyleIn(b_fsLowered); },
       {{0, 0, sh}, {10, 0, sh}, {19, 9, hi}, {19, 0, hi}}},
      {"two lines",
       [](auto& f) { f.SetLineWidth(2); },
       {{1, 1, hi}, {18, 8, sh}, {2, 2, clWhite}}},
      {"bevel, border, inner bevel",
       [](auto& f) {
         f.SetBorderWidth(2);
         f.SetBorderColor(clRed);
         f.SetBorderMode(pmCopy);
         f.SetStyleOu(b_fsLowered);
       },
       {{0, 0, hi}, {1, 1, clRed}, {2, 2, clRed}, {18, 8, clRed}, {3, 3, sh}, {16, 6, hi}, {4, 4, clWhite}}},
      {"a no-operation border draws nothing",
       [](auto& f) {
         f.SetBorderWidth(2);
         f.SetBorderColor(clRed);
       },
       {{1, 1, clWhite}, {2, 2, clWhite}}},
      {"top edge only",
       [](auto& f) { f.SetLines(TB_FrameLines{b_flTop}); },
       {{5, 0, hi}, {0, 5, clWhite}, {10, 9, clWhite}, {19, 5, clWhite}}},
      {"rounded top-left corner",
       [](auto& f) {
         f.SetRoundX(8);
         f.SetRoundY(8);
         f.SetLines(TB_FrameLines{b_flTop, b_flBottom, b_flLeft, b_flRight, b_flTopLeft});
       },
       {{0, 0, clWhite}, {4, 0, hi}, {0, 4, hi}, {19, 0, sh}}},
      {"clNone leaves the colour out",
       [](auto& f) { f.SetColorHighlight(clNone); },
       {{5, 0, clWhite}, {10, 9, sh}}},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    auto paper = PaintFrame(k.setup);
    for (const Probe& p : k.probes) EXPECT_EQ(paper->At(p.x, p.y), p.color) << "at " << p.x << "," << p.y;
  }
}

TEST_F(B_ctrlTest, FrameContentRectAndNotifications) {
  TB_PanelFramePersistent f;
  EXPECT_EQ(f.ContentRect(Rect(0, 0, 100, 50)), Rect(1, 1, 99, 49));
  f.SetBorderWidth(4);
  f.SetStyleOu(b_fsRaised);
  f.SetLines(TB_FrameLines{b_flRight, b_flBottom});
  EXPECT_EQ(f.ContentRect(Rect(0, 0, 100, 50)), Rect(0, 0, 94, 44));
  // One notification per change; none for the same value, none while locked,
  // none from inside the notification.
  int changes = 0;
  f.SetOnChange([&](TObject*) {
    ++changes;
    f.SetLineWidth(f.LineWidth() + 1);
  });
  f.SetRoundX(3);
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(f.LineWidth(), 2);  // changed inside, not reported again
  f.SetRoundX(3);
  EXPECT_EQ(changes, 1);
  f.LockUpdates();
  f.SetRoundX(4);
  f.UnlockUpdates();
  EXPECT_EQ(changes, 1);
  f.SetOnChange(nullptr);
  f.SetLineWidth(0);  // at least one line
  EXPECT_EQ(f.LineWidth(), 1);
}

TEST_F(B_ctrlTest, GroupsStreamWithDottedNamesAndDefaults) {
  TGroupsControl::Register();
  auto control = std::make_unique<TGroupsControl>(nullptr);
  control->SetName("Panel1");
  String text = WriteComponentToText(control.get());
  EXPECT_EQ(text.find("Frame."), String::npos) << text;  // defaults are not written
  EXPECT_EQ(text.find("Text.Text"), String::npos) << text;  // "Text" is the default text
  control->Frame()->SetStyleIn(b_fsNone);
  control->TextGroup()->SetText("");
  control->TextGroup()->SetAlignHorz(b_ahRight);
  control->Bitmaps()->SetInternal(b_ibCheck);
  text = WriteComponentToText(control.get());
  EXPECT_NE(text.find("Frame.StyleIn = b_fsNone"), String::npos) << text;
  EXPECT_NE(text.find("Text.Text = ''"), String::npos) << text;
  EXPECT_NE(text.find("Text.AlignHorz = b_ahRight"), String::npos) << text;
  EXPECT_NE(text.find("Bitmaps.Internal = b_ibCheck"), String::npos) << text;
  EXPECT_EQ(text.find("Bitmaps.NameBitmap"), String::npos) << text;  // given by the built-in bitmap
  auto copy = std::make_unique<TGroupsControl>(nullptr);
  ReadComponentFromText(copy.get(), text);
  EXPECT_EQ(copy->Frame()->StyleIn(), b_fsNone);
  EXPECT_EQ(copy->TextGroup()->Text(), "");
  EXPECT_EQ(copy->TextGroup()->AlignHorz(), b_ahRight);
  EXPECT_EQ(copy->Bitmaps()->Internal(), b_ibCheck);
}

TEST_F(B_ctrlTest, TextMeasuring) {
  TB_TextPersistent t;
  t.SetBorder(2);
  TCanvas* scratch = nullptr;
  auto measure = [&](const String& s, int esc = 0) {
    t.SetText(s);
    t.SetEscapement(esc);
    TRect r{5, 5, 205, 105};
    t.Measure(r, scratch);
    EXPECT_EQ(r.Left, 5);
    return TSize{r.Width(), r.Height()};
  };
  TSize letter = measure("A");
  TSize amp = measure("&");
  TSize empty = measure("");
  EXPECT_EQ(amp.cy, letter.cy);  // a lone "&" still has a line's height
  EXPECT_EQ(empty.cy, letter.cy);
  TPaper paper(1, 1);
  paper.Canvas()->SetFont(t.Font());
  EXPECT_EQ(measure("ab").cx, paper.Canvas()->TextWidth("ab") + 2 * 2 + 1);
  EXPECT_EQ(measure("ab").cy, paper.Canvas()->TextHeight("ab") + 2 * 2);
  TSize flat = measure("Rotated");
  TSize turned = measure("Rotated", 900);
  EXPECT_EQ(turned.cx, flat.cy);  // width and height swapped
  EXPECT_EQ(turned.cy, flat.cx);
  EXPECT_EQ(t.MeasuredWidth(), flat.cx);
  t.SetEscapement(0);
  t.SetStyle(b_tsRaised);
  t.SetShadowWidthX(3);
  EXPECT_EQ(measure("ab").cx, paper.Canvas()->TextWidth("ab") + 2 * 2 + 3 + 1);
  t.SetVisible(false);
  EXPECT_EQ(measure("ab").cx, 0);
  // The display text passes the formatter.
  t.SetFormat("%S");
  t.SetText("Value");
  String shown;
  t.GetText(shown);
  EXPECT_EQ(shown, "Value");
  t.SetFormat("[%S]");
  t.GetText(shown);
  EXPECT_EQ(shown, "[Value]");
  t.SetFormated(false);
  t.GetText(shown);
  EXPECT_EQ(shown, "Value");
  t.SetOnGetText([](TObject*, String& s) { s = "from the event"; });
  t.GetText(shown);
  EXPECT_EQ(shown, "from the event");
}

TEST_F(B_ctrlTest, TextStaysInsideItsAlignmentBox) {
  TB_TextPersistent t;
  t.Font()->SetHeight(-16);
  t.Font()->SetColor(clBlack);
  t.SetText("Mi");
  const TRect box{20, 10, 180, 70};
  struct Case {
    TB_AlignHorz h;
    TB_AlignVert v;
    int cx_side, cy_side;  // -1 left/top part, 0 centre, 1 right/bottom part
  } cases[] = {
      {b_ahLeft, b_avTop, -1, -1}, {b_ahCenter, b_avCenter, 0, 0}, {b_ahRight, b_avBottom, 1, 1},
      {b_ahLeft, b_avCenter, -1, 0},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(testing::Message() << k.h << "," << k.v);
    t.SetAlignHorz(k.h);
    t.SetAlignVert(k.v);
    TPaper paper(200, 80);
    t.Draw(paper.Canvas(), box);
    TRect ink = paper.Ink(clWhite);
    ASSERT_FALSE(ink.IsEmpty());
    TRect inner = box;
    InflateRect(inner, -t.Border(), -t.Border());
    EXPECT_TRUE(Within(ink, inner));
    int cx = (ink.Left + ink.Right) / 2, cy = (ink.Top + ink.Bottom) / 2;
    auto side = [](int c, int lo, int hi) { return c < lo + (hi - lo) / 3 ? -1 : c > hi - (hi - lo) / 3 ? 1 : 0; };
    EXPECT_EQ(side(cx, box.Left, box.Right), k.cx_side);
    EXPECT_EQ(side(cy, box.Top, box.Bottom), k.cy_side);
  }
}

TEST_F(B_ctrlTest, TextShadowsStatesAndRotation) {
  TB_TextPersistent t;
  t.Font()->SetHeight(-24);
  t.Font()->SetColor(clBlack);
  t.SetText("HI");
  t.SetBorder(0);
  // A raised text: its shadow copies, all within the rectangle.
  t.SetStyle(b_tsRaised);
  t.SetColorShadow(clRed);
  t.SetColorLowered(clBlue);
  t.SetShadowWidthX(3);
  t.SetShadowWidthY(3);
  const TRect box{10, 10, 90, 50};
  TPaper paper(100, 60);
  t.Draw(paper.Canvas(), box);
  TRect ink = paper.Ink(clWhite);
  EXPECT_GE(ink.Left, box.Left);
  EXPECT_GE(ink.Top, box.Top);
  EXPECT_GT(paper.Count(clRed), 0);
  EXPECT_GT(paper.Count(clBlue), 0);
  EXPECT_GT(paper.Count(clBlack), 0);
  // Text colours by state: disabled, selected, highlighted.
  t.SetStyle(b_tsNone);
  struct State {
    bool enabled, selected, highlighted;
    TColor color;
  } states[] = {{false, true, true, clGrayText}, {true, true, true, clHighlightText},
                {true, false, true, clHighlight}};
  for (const State& s : states) {
    t.SetEnabled(s.enabled);
    t.SetSelected(s.selected);
    t.SetHighlighted(s.highlighted);
    TPaper p(100, 60, clWhite);
    t.Draw(p.Canvas(), box);
    EXPECT_GT(p.Count(Sys(s.color)), 0) << ColorToString(s.color);
  }
  t.SetEnabled(true);
  t.SetSelected(false);
  t.SetHighlighted(false);
  // Turned texts keep inside the rectangle; a quarter turn stands upright.
  const TRect tall{10, 5, 60, 95};
  for (int esc : {900, 1800, 2700, 450}) {
    SCOPED_TRACE(esc);
    t.SetEscapement(esc);
    TPaper p(100, 100);
    t.Draw(p.Canvas(), tall);
    TRect turned = p.Ink(clWhite);
    ASSERT_FALSE(turned.IsEmpty());
    EXPECT_TRUE(Within(turned, tall));
    if (esc == 900 || esc == 2700) {
      EXPECT_GT(turned.Height(), turned.Width());
    }
  }
}

TEST_F(B_ctrlTest, TextFollowsTheControlsFontWhileParentFont) {
  TGroupsControl c(nullptr);
  TB_TextPersistent* t = c.TextGroup();
  c.Font()->SetHeight(-20);
  t->ParentFontChanged();
  EXPECT_EQ(t->Font()->Height(), -20);
  EXPECT_TRUE(t->ParentFont());
  t->Font()->SetColor(clRed);  // a font of its own
  EXPECT_FALSE(t->ParentFont());
  c.Font()->SetHeight(-30);
  t->ParentFontChanged();
  EXPECT_EQ(t->Font()->Height(), -20);
  t->SetParentFont(true);
  EXPECT_EQ(t->Font()->Height(), -30);
}

TEST_F(B_ctrlTest, TimerOnWindowTimers) {
  TB_TimerPersistent timer;
  timer.SetThreaded(false);
  int ticks = 0, activations = 0;
  timer.SetOnActive([&](TObject*) { ++activations; });
  timer.SetOnTimer([&](TObject*) { ++ticks; });
  timer.SetActive(true);
  EXPECT_EQ(activations, 1);
  EXPECT_TRUE(timer.HasWindowTimer());
  clock_.Advance(1200);
  EXPECT_EQ(ticks, 3);  // every 400 ms
  timer.SetInterval(100);
  clock_.Advance(300);
  EXPECT_EQ(ticks, 6);
  // Interval 0, or no OnTimer: no ticks although active.
  timer.SetInterval(0);
  EXPECT_FALSE(timer.HasWindowTimer());
  clock_.Advance(1000);
  EXPECT_EQ(ticks, 6);
  timer.SetInterval(100);
  timer.SetOnTimer(nullptr);
  EXPECT_EQ(clock_.ActiveCount(), 0);
  timer.SetOnTimer([&](TObject*) { ++ticks; });
  // Threaded and back: one tick source at a time.
  timer.SetThreaded(true);
  EXPECT_TRUE(timer.HasThread());
  EXPECT_FALSE(timer.HasWindowTimer());
  EXPECT_EQ(clock_.ActiveCount(), 0);
  timer.SetThreaded(false);
  EXPECT_FALSE(timer.HasThread());
  EXPECT_EQ(clock_.ActiveCount(), 1);
  timer.SetActive(false);
  EXPECT_EQ(activations, 2);
  EXPECT_EQ(clock_.ActiveCount(), 0);
}

TEST_F(B_ctrlTest, TimerOnAWorkerThread) {
  TB_TimerPersistent timer;
  timer.SetInterval(5);
  timer.SetThreadPriority(tpLower);
  int ticks = 0;
  timer.SetOnTimer([&](TObject*) {
    if (++ticks == 3) timer.SetActive(false);  // stopped from inside its own tick
  });
  timer.SetActive(true);
  EXPECT_TRUE(timer.HasThread());
  auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (timer.Active() && std::chrono::steady_clock::now() < until) CheckSynchronize(10);
  EXPECT_EQ(ticks, 3);
  EXPECT_FALSE(timer.HasThread());
  for (int i = 0; i < 5; ++i) CheckSynchronize(5);
  EXPECT_EQ(ticks, 3);  // no tick after the stop
  // Freed while its thread runs.
  auto running = std::make_unique<TB_TimerPersistent>();
  running->SetInterval(1);
  running->SetOnTimer([&](TObject*) { ++ticks; });
  running->SetActive(true);
  std::this_thread::sleep_for(std::chrono::milliseconds(5));
  running.reset();
  int after = ticks;
  for (int i = 0; i < 3; ++i) CheckSynchronize(5);
  EXPECT_EQ(ticks, after);
}
