// Panels, the splitter, the image, the edit box with input history and the
// memo: their painting, layout, dragging, keys and histories.
#include <QMenu>

#include "tests/framework/ControlsFixture.h"
#include "platform/rtl/FormStream.h"
#include "tests/support/TempDir.h"

namespace {

using Bstdctrl = ControlsTest;

// An edit box offering both options.
class THistoryEdit : public TB_CustomMaskEdit {
 public:
  using TB_CustomMaskEdit::TB_CustomMaskEdit;
  TB_EditOptions GetOptions() const override { return {b_eoClear, b_eoHistory}; }
};

void RegisterTestClasses() {
  if (FindClassInfo("THistoryEdit") == nullptr) RegisterClass<THistoryEdit, TB_CustomMaskEdit>("THistoryEdit");
}

}  // namespace

TEST_F(Bstdctrl, PanelPaintsARaisedBevelAndItsTextCentredVerticallyAtTheLeft) {
  auto* panel = Add<TB_Panel>(0, 0, 185, 41);
  EXPECT_EQ(Create<TB_Panel>(form_)->Width(), 185);
  panel->SetTransparent(false);
  panel->SetColor(clWhite);
  panel->TextGroup()->SetText("Panel");
  panel->TextGroup()->Font()->SetColor(clBlack);
  auto p = Paint(panel);
  EXPECT_EQ(p->At(0, 0), Sys(clBtnHighlight));
  EXPECT_EQ(p->At(184, 40), Sys(clBtnShadow));
  EXPECT_EQ(p->At(1, 1), clWhite);  // one pixel wide
  TRect ink = TPaper(1, 1).Ink(clWhite);
  // The text: the ink inside the frame.
  int top = 41, bottom = 0, left = 185;
  for (int y = 1; y < 40; ++y)
    for (int x = 1; x < 184; ++x)
      if (p->At(x, y) != clWhite) {
        top = std::min(top, y);
        bottom = std::max(bottom, y);
        left = std::min(left, x);
      }
  (void)ink;
  ASSERT_LT(top, bottom);
  EXPECT_LE(left, 6);
  EXPECT_NEAR((top + bottom) / 2.0, 20, 3);

  // Children align inside the frame; a wider frame moves them.
  auto* child = Add<TB_Panel>(0, 0, 10, 10, panel);
  child->SetAlign(alClient);
  EXPECT_EQ(child->BoundsRect(), Rect(1, 1, 184, 40));
  panel->Frame()->SetLineWidth(3);
  EXPECT_EQ(child->BoundsRect(), Rect(3, 3, 182, 38));

  // Transparent on a window that paints no background: its own colour.
  panel->SetTransparent(true);
  form_->SetColor(clLime);
  EXPECT_EQ(Paint(form_)->At(10, 10), clWhite);
}

TEST_F(Bstdctrl, TransparentPanelShowsTheFrameBackground) {
  TTempDir dir;
  TBitmap tile;
  tile.SetSize(8, 8);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) tile.Canvas()->SetPixel(x, y, (x < 4) == (y < 4) ? clRed : clBlue);
  tile.SaveToFile(dir.File("tile.bmp"));
  std::unique_ptr<TB_FrameControl> frame(Create<TB_FrameControl>(nullptr, 0));
  frame->SetBounds(0, 0, 100, 60);
  frame->Bitmaps()->SetNameFile(dir.File("tile.bmp"));
  auto* panel = Create<TB_Panel>(frame.get());
  panel->SetParent(frame.get());
  panel->SetBounds(13, 9, 60, 30);
  panel->TextGroup()->SetVisible(false);
  frame->HandleNeeded();
  auto p = Paint(frame.get());
  int wrong = 0;
  for (int y = 11; y < 37; ++y)
    for (int x = 15; x < 71; ++x)
      if (p->At(x, y) != ((x % 8 < 4) == (y % 8 < 4) ? clRed : clBlue)) ++wrong;
  EXPECT_EQ(wrong, 0);
  EXPECT_EQ(p->At(13, 9), Sys(clBtnHighlight));  // its bevel on top
}

TEST_F(Bstdctrl, ImageSizesItselfToItsImages) {
  auto* image = Add<TB_Image>(0, 0, 50, 50);
  EXPECT_EQ(Create<TB_Image>(form_)->Width(), 50);
  image->Bitmaps()->SetImagesName("App_ImageList16");
  image->Bitmaps()->SetNameBitmap("IM_OK;IM_CANCEL;IM_OPEN");
  ASSERT_EQ(image->Bitmaps()->NumberImages(), 3);
  image->SetAutoSize(true);
  EXPECT_EQ(image->Width(), 48);
  EXPECT_EQ(image->Height(), 16);
  image->Bitmaps()->SetBorder(2);
  EXPECT_EQ(image->Width(), 52);
  EXPECT_EQ(image->Height(), 20);
  // Aligned to the top: only the height follows.
  image->SetAlign(alTop);
  image->SetWidth(300);
  image->AdjustSize();
  EXPECT_EQ(image->Height(), 20);
  EXPECT_NE(image->Width(), 52);
  // No images: 25 x 25.
  auto* empty = Add<TB_Image>(0, 100, 50, 50);
  empty->SetAutoSize(true);
  EXPECT_EQ(empty->BoundsRect(), Rect(0, 100, 25, 125));
}

TEST_F(Bstdctrl, SplitterDragsWithinItsLimits) {
  form_->SetBounds(300, 300, 400, 200);
  auto* left = Add<TB_Panel>(0, 0, 100, 200);
  left->SetAlign(alLeft);
  auto* split = Add<TB_Split>(100, 0, 4, 200);
  split->SetAlign(alLeft);
  split->SetControlResize(left);
  EXPECT_EQ(split->Cursor(), crHSplit);
  ShowActive();
  QWidget* w = split->Widget();
  struct Case {
    int move;
    int width;
  } cases[] = {{50, 150}, {-40, 60}, {-200, 33}, {400, 400 - 33 - 4}};
  for (const Case& c : cases) {
    left->SetWidth(100);
    Press(w, {2, 10});
    EXPECT_TRUE(split->Dragging());
    MoveHeld(w, {2 + c.move, 10});
    EXPECT_EQ(left->Width(), c.width) << c.move;
    EXPECT_EQ(split->Left(), c.width);
    Release(w, {2 + c.move - (split->Left() - 100), 10});
    EXPECT_FALSE(split->Dragging());
  }

  // Double click: the smallest size, then back.
  left->SetWidth(120);
  DoubleClick(split->Widget(), {2, 10});
  EXPECT_EQ(left->Width(), 33);
  DoubleClick(split->Widget(), {2, 10});
  EXPECT_EQ(left->Width(), 120);

  // Without live resizing the size comes on release.
  split->SetLiveResize(false);
  Press(w, {2, 10});
  MoveHeld(w, {32, 10});
  EXPECT_EQ(left->Width(), 120);
  EXPECT_EQ(Paint(form_)->At(152, 50), Sys(clGray));  // the bar where the splitter goes
  Release(w, {32, 10});
  EXPECT_EQ(left->Width(), 150);
  EXPECT_NE(Paint(form_)->At(152, 50), Sys(clGray));  // the splitter itself now
}

TEST_F(Bstdctrl, VerticalSplitterResizesTheControlBelow) {
  form_->SetBounds(300, 300, 200, 300);
  auto* bottom = Add<TB_Panel>(0, 200, 200, 100);
  bottom->SetAlign(alBottom);
  auto* split = Add<TB_Split>(0, 196, 200, 4);
  split->SetAlign(alBottom);
  split->SetOrientation(b_oVertical);
  split->SetControlResize(bottom);
  EXPECT_EQ(split->Cursor(), crVSplit);
  split->SetLimitRightOrBottom(50);
  ShowActive();
  ASSERT_EQ(split->Top(), 196);
  QWidget* w = split->Widget();
  Press(w, {10, 2});
  MoveHeld(w, {10, -30});  // up: the lower control grows
  EXPECT_EQ(bottom->Height(), 132);
  MoveHeld(w, {10, 500});  // far down: 50 pixels stay below the splitter
  EXPECT_EQ(bottom->Height(), 50);
  Release(w, {10, 2});
}

TEST_F(Bstdctrl, BorderGeometryFollowsTheDrawStyles) {
  const TRect window = Rect(0, 0, 100, 20);
  struct Case {
    TB_DrawStyles styles;
    int inset;
  } cases[] = {
      {b_DefaultDrawStyles, 1},
      {TB_DrawStyles{b_ds3D}, 1},
      {TB_DrawStyles{b_dsSingle}, 1},
      {TB_DrawStyles{b_ds3D, b_dsSingle}, 2},
      {TB_DrawStyles{b_ds3D, b_dsSingleFocus}, 3},
      {TB_DrawStyles{}, 0},
  };
  for (const Case& c : cases) {
    TRect r = B_BorderClientRect(c.styles, window);
    EXPECT_EQ(r, Rect(c.inset, c.inset, 100 - c.inset, 20 - c.inset));
  }
}

TEST_F(Bstdctrl, MemoBorderShowsFocusAndHover) {
  auto* memo = Add<TB_Memo>(10, 10, 120, 60);
  EXPECT_EQ(memo->Color(), clWindow);
  EXPECT_TRUE(memo->WordWrap());
  auto* other = Add<TEdit>(10, 100, 100, 22);
  ShowActive();
  Focus(other);
  // Inactive with b_ds3D: the flat edge (shadow outside).
  EXPECT_EQ(Paint(memo)->At(0, 30), Sys(clBtnShadow));
  // Only b_ds3DFocus: button-face frames until the mouse comes.
  memo->SetDrawStyles({b_ds3DFocus});
  EXPECT_EQ(Paint(memo)->At(0, 30), Sys(clBtnFace));
  memo->Perform(CM_MOUSEENTER);
  EXPECT_NE(Paint(memo)->At(0, 30), Sys(clBtnFace));
  memo->Perform(CM_MOUSELEAVE);
  Focus(memo);
  EXPECT_NE(Paint(memo)->At(0, 30), Sys(clBtnFace));
  // A single style: the window-frame line when inactive.
  memo->SetDrawStyles({b_dsSingle});
  Focus(other);
  EXPECT_EQ(Paint(memo)->At(0, 30), Sys(clWindowFrame));

  // Loaded with b_dsDefault: the default styles.
  memo->SetDrawStyles({b_dsDefault, b_dsSingle});
  memo->Loaded();
  EXPECT_EQ(memo->DrawStyles(), b_DefaultDrawStyles);
  // Its own colour, and the text inside the border.
  memo->SetColor(clYellow);
  EXPECT_EQ(Paint(memo)->At(3, 3), Sys(clYellow));
  // The text starts after the formatting margins; right alignment moves it.
  memo->SetColor(clWhite);
  memo->Font()->SetColor(clBlack);
  memo->Lines()->SetText("WW");
  auto inkX = [&] {
    auto p = Paint(memo);
    int l = 120, r = 0;
    for (int y = 2; y < 58; ++y)
      for (int x = 2; x < 118; ++x)
        if (p->At(x, y) != clWhite) {
          l = std::min(l, x);
          r = std::max(r, x);
        }
    return std::pair(l, r);
  };
  auto [l1, r1] = inkX();
  EXPECT_GE(l1, 3);
  EXPECT_LT(r1, 60);
  memo->SetAlignment(taRightJustify);
  auto [l2, r2] = inkX();
  EXPECT_GT(l2, 60);
  EXPECT_GT(r2, 100);
  memo->SetReadOnly(true);
  EXPECT_FALSE(memo->TabStop());
  memo->SetReadOnly(false);
  EXPECT_TRUE(memo->TabStop());
}

TEST_F(Bstdctrl, EditBoxHistoryButtonAndKeys) {
  RegisterTestClasses();
  auto* plain = Add<TB_CustomMaskEdit>(10, 10, 150, 22);
  plain->SetName("Plain");
  EXPECT_EQ(plain->HistoryButton(), nullptr);
  auto* edit = Add<THistoryEdit>(10, 40, 150, 22);
  edit->SetName("E1");
  TB_BitBtn* button = edit->HistoryButton();
  ASSERT_NE(button, nullptr);
  EXPECT_EQ(button->Parent(), edit);
  EXPECT_EQ(button->Align(), alRight);
  EXPECT_FALSE(button->TabStop());
  EXPECT_EQ(button->Hint(), "Несколько последних выбранных значений. (Ctrl+M)");
  EXPECT_EQ(button->Bitmaps()->Internal(), b_ibMem);
  // The button lies inside the border at the right edge.
  EXPECT_EQ(button->Left() + button->Width(), 149);
  EXPECT_EQ(edit->RightMargin(), 3 + button->Width());

  TB_StorageNode node("Form1");
  edit->SetHistoryNode(&node);
  ShowActive();
  Focus(edit);
  QWidget* w = edit->Widget();

  // Ctrl+M with an empty history shows nothing.
  SendKey(w, Qt::Key_M, Qt::ControlModifier, "\x0d");
  EXPECT_EQ(edit->HistoryPopup(), nullptr);
  EXPECT_EQ(edit->Text(), "");

  // Entries: the newest first, each shown by its first field.
  edit->SetText("c;3");
  edit->SaveHistory();
  edit->SetText("a;b");
  edit->SaveHistory();
  edit->SetText("x");
  // The Cyrillic letter on the M key works alike (its key code is 'M').
  SendKey(w, 0x042C, Qt::ControlModifier, QString::fromUtf8("ь"), 58);
  TPopupMenu* popup = edit->HistoryPopup();
  ASSERT_NE(popup, nullptr);
  EXPECT_EQ(popup->PopupComponent(), edit);
  ASSERT_EQ(popup->Items()->Count(), 2);
  EXPECT_EQ(popup->Items()->Items(0)->Caption(), "a");
  EXPECT_EQ(popup->Items()->Items(1)->Caption(), "c");
  EXPECT_EQ(popup->PopupPoint(), button->ClientToScreen({0, button->Height()}));
  popup->CloseMenu();
  popup->Items()->Items(0)->Click();
  EXPECT_EQ(edit->Text(), "a");
  EXPECT_TRUE(edit->Modified());

  // Ctrl+D clears; not when read-only.
  SendKey(w, Qt::Key_D, Qt::ControlModifier, "\x04");
  EXPECT_EQ(edit->Text(), "");
  edit->SetText("keep");
  edit->SetReadOnly(true);
  SendKey(w, Qt::Key_D, Qt::ControlModifier, "\x04");
  EXPECT_EQ(edit->Text(), "keep");
  // A read-only box leaves the tab order and shows the button face.
  EXPECT_FALSE(edit->TabStop());
  EXPECT_EQ(static_cast<TControl*>(edit)->Color(), clBtnFace);
  EXPECT_EQ(edit->Color(), clWindow);
  edit->SetReadOnly(false);
  EXPECT_EQ(static_cast<TControl*>(edit)->Color(), clWindow);

  // The plain box takes neither key: Ctrl+D leaves the text.
  plain->SetText("plain");
  Focus(plain);
  SendKey(plain->Widget(), Qt::Key_D, Qt::ControlModifier, "\x04");
  EXPECT_EQ(plain->Text(), "plain");
}

TEST_F(Bstdctrl, EditBoxHistoryKeepsCountAndSkipsRepeats) {
  RegisterTestClasses();
  auto* edit = Add<THistoryEdit>(10, 40, 150, 22);
  edit->SetName("E1");
  TB_StorageNode node("Form1", nullptr, true, 5);
  edit->SetHistoryNode(&node);
  for (const char* t : {"a", "b", "c", "d", "b", "", "e", "f"}) {
    edit->SetText(t);
    edit->SaveHistory();
  }
  std::vector<String> items;
  for (int p = 0; p < 6; ++p) {
    String s;
    ReadHistoryItem(&node, "E1", p, s);
    items.push_back(s);
  }
  EXPECT_EQ(items, (std::vector<String>{"f", "e", "d", "c", "b", ""}));
  // The history lives in the settings file under the node's key.
  EXPECT_NE(ReadSettingsFile().find("0_E1=f"), std::string::npos);

  // A password box keeps no history.
  edit->SetPasswordChar('*');
  edit->SetText("secret");
  edit->SaveHistory();
  String first;
  ReadHistoryItem(&node, "E1", 0, first);
  EXPECT_EQ(first, "f");
  EXPECT_EQ(ReadSettingsFile().find("secret"), std::string::npos);
}

TEST_F(Bstdctrl, EditBoxForgetsAFreedHistoryNode) {
  RegisterTestClasses();
  auto* edit = Add<THistoryEdit>(10, 40, 150, 22);
  edit->SetName("E1");
  auto node = std::make_unique<TB_StorageNode>("Form1", nullptr, true, 5);
  edit->SetHistoryNode(node.get());
  edit->SetText("kept");
  edit->SaveHistory();
  ShowActive();
  Focus(edit);
  SendKey(edit->Widget(), Qt::Key_M, Qt::ControlModifier, "\x0d");
  TPopupMenu* popup = edit->HistoryPopup();
  ASSERT_NE(popup, nullptr);
  popup->CloseMenu();

  node.reset();
  EXPECT_EQ(edit->HistoryNode(), nullptr);
  // Every path that read the node: nothing happens, nothing is written.
  edit->SetText("after");
  edit->SaveHistory();
  edit->SetText("");
  popup->Items()->Items(0)->Click();  // the popup built before
  EXPECT_EQ(edit->Text(), "");
  Focus(edit);
  SendKey(edit->Widget(), Qt::Key_M, Qt::ControlModifier, "\x0d");
  edit->HistoryButton()->Click();
  EXPECT_EQ(edit->HistoryPopup(), nullptr);
  EXPECT_EQ(ReadSettingsFile().find("after"), std::string::npos);

  // A box freed first leaves the node nothing to clear.
  TB_StorageNode other("Form2");
  auto* gone = Add<THistoryEdit>(10, 70, 150, 22);
  gone->SetHistoryNode(&other);
  delete gone;
}

TEST_F(Bstdctrl, EditBoxAlignsItsTextAndSavesNothingWithoutANode) {
  auto* edit = Add<TB_CustomMaskEdit>(10, 10, 150, 22);
  edit->SetName("E2");
  edit->SetText("x");
  edit->SaveHistory();  // no node: nothing written, nothing raised
  EXPECT_EQ(edit->DrawStyles(), b_DefaultDrawStyles);
  EXPECT_EQ(edit->BorderStyle(), bsNone);
  edit->SetColor(clWhite);
  edit->Font()->SetColor(clBlack);
  edit->SetText("WWW");
  auto ink = [&] {
    auto p = Paint(edit);
    int l = 150, r = 0;
    for (int y = 3; y < 19; ++y)
      for (int x = 2; x < 148; ++x)
        if (p->At(x, y) != clWhite) {
          l = std::min(l, x);
          r = std::max(r, x);
        }
    return std::pair(l, r);
  };
  auto [l1, r1] = ink();
  ASSERT_LT(l1, r1);
  EXPECT_LT(l1, 10);
  edit->SetAlignment(taRightJustify);
  auto [l2, r2] = ink();
  EXPECT_GT(r2, 135);
  edit->SetAlignment(taCenter);
  auto [l3, r3] = ink();
  EXPECT_NEAR((l3 + r3) / 2.0, 75, 6);
}

TEST_F(Bstdctrl, ControlsReadFromFormTextAndWriteBackOnlyWhatDiffers) {
  RegisterTestClasses();
  ReadComponentFromText(form_, R"(object F: TForm
  object P: TB_Panel
    Left = 0
    Top = 0
    Width = 100
    Height = 50
    Align = alLeft
    Frame.StyleIn = b_fsLowered
    Text.Text = 'Hi'
    Transparent = False
  end
  object S: TB_Split
    Left = 100
    ControlResize = P
    Orientation = b_oVertical
    LimitLeftOrTop = 10
  end
  object M: TB_Memo
    Left = 120
    DrawStyles = [b_dsDefault, b_dsSingle]
    Color = clYellow
    ReadOnly = True
  end
  object B: TB_BitBtn
    Left = 200
    Default = True
    Kind = b_bkClose
    Text.Text = 'OK'
    Bitmaps.AlignHorz = b_ahLeft
    RepeatEnabled = True
  end
  object E: THistoryEdit
    Left = 120
    Top = 100
    DrawStyles = [b_dsSingle]
    Alignment = taCenter
  end
end
)");
  auto* p = dynamic_cast<TB_Panel*>(form_->FindComponent("P"));
  auto* s = dynamic_cast<TB_Split*>(form_->FindComponent("S"));
  auto* m = dynamic_cast<TB_Memo*>(form_->FindComponent("M"));
  auto* b = dynamic_cast<TB_BitBtn*>(form_->FindComponent("B"));
  auto* e = dynamic_cast<THistoryEdit*>(form_->FindComponent("E"));
  ASSERT_TRUE(p && s && m && b && e);
  EXPECT_EQ(p->Frame()->StyleIn(), b_fsLowered);
  EXPECT_EQ(p->TextGroup()->Text(), "Hi");
  EXPECT_FALSE(p->Transparent());
  EXPECT_EQ(s->ControlResize(), p);
  EXPECT_EQ(s->Cursor(), crVSplit);
  EXPECT_EQ(s->Width(), 4);
  EXPECT_EQ(s->LimitLeftOrTop(), 10);
  EXPECT_EQ(m->DrawStyles(), b_DefaultDrawStyles);  // b_dsDefault after loading
  EXPECT_EQ(m->Color(), clYellow);
  EXPECT_FALSE(m->TabStop());
  EXPECT_TRUE(b->Default());
  EXPECT_EQ(b->Kind(), b_bkClose);
  EXPECT_EQ(b->Bitmaps()->AlignHorz(), b_ahLeft);
  EXPECT_TRUE(b->RepeatEnabled());
  EXPECT_EQ(e->DrawStyles(), TB_DrawStyles{b_dsSingle});
  EXPECT_EQ(e->Alignment(), taCenter);
  EXPECT_NE(e->HistoryButton(), nullptr);

  String text = WriteComponentToText(form_);
  for (const char* absent : {"Flat", "HotTrack", "RepeatPause", "LimitRightOrBottom", "FullRepaint"})
    EXPECT_EQ(text.find(absent), String::npos) << absent;
  for (const char* present : {"Bitmaps.AlignHorz = b_ahLeft", "Orientation = b_oVertical", "Alignment = taCenter"})
    EXPECT_NE(text.find(present), String::npos) << present;
}
