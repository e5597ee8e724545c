#include <memory>

#include "platform/rtl/FormStream.h"
#include "tests/platform/gui/GuiFixture.h"

namespace {

using PanelTest = GuiTest;

TColor Rgb(TColor c) { return static_cast<TColor>(ColorToRGB(c)); }

}  // namespace

TEST_F(PanelTest, AFramedPanelFromAFormResourceAlignsItsChildrenInside) {
  std::unique_ptr<TForm> form(Create<TForm>(nullptr));
  ReadComponentFromText(form.get(),
                        "object Form: TForm\n"
                        "  Color = clBtnFace\n"
                        "  object Panel1: TPanel\n"
                        "    Left = 6\n"
                        "    Top = 4\n"
                        "    Width = 171\n"
                        "    Height = 19\n"
                        "    BorderWidth = 2\n"
                        "    Color = clWindow\n"
                        "    object TextBox: TLabel\n"
                        "      Align = alClient\n"
                        "      Caption = '0'\n"
                        "    end\n"
                        "  end\n"
                        "end\n");
  auto* panel = dynamic_cast<TPanel*>(form->FindComponent("Panel1"));
  auto* label = dynamic_cast<TLabel*>(form->FindComponent("TextBox"));
  ASSERT_NE(panel, nullptr);
  ASSERT_NE(label, nullptr);
  EXPECT_EQ(label->Parent(), panel);
  EXPECT_EQ(panel->BevelOuter(), bvRaised);
  // One pixel of raised bevel and two of border on each side.
  EXPECT_EQ(label->BoundsRect(), Bounds(3, 3, 165, 13));

  TPaper paper(171, 19, clBlack);
  panel->PaintTo(paper.Canvas(), 0, 0);
  EXPECT_EQ(paper.At(0, 0), Rgb(clBtnHighlight));
  EXPECT_EQ(paper.At(170, 18), Rgb(clBtnShadow));
  EXPECT_EQ(paper.At(1, 1), Rgb(clWindow));
  EXPECT_EQ(paper.At(2, 9), Rgb(clWindow));

  // Frames add up: a single border, both bevels of width 2.
  panel->SetBorderStyle(bsSingle);
  panel->SetBevelInner(bvLowered);
  panel->SetBevelWidth(2);
  EXPECT_EQ(label->BoundsRect(), Bounds(7, 7, 157, 5));
  panel->SetBevelOuter(bvNone);
  panel->SetBevelInner(bvNone);
  panel->SetBorderStyle(bsNone);
  panel->SetBorderWidth(0);
  EXPECT_EQ(label->BoundsRect(), Bounds(0, 0, 171, 19));
}

TEST_F(PanelTest, TheCaptionIsDrawnByAlignmentInTheMiddle) {
  TPanel panel(nullptr);
  panel.SetBounds(0, 0, 120, 30);
  panel.SetBevelOuter(bvNone);
  panel.SetColor(clWhite);
  panel.Font()->SetColor(clBlack);
  panel.SetCaption("Жук");
  for (TAlignment a : {taLeftJustify, taCenter, taRightJustify}) {
    panel.SetAlignment(a);
    TPaper paper(120, 30, clWhite);
    panel.PaintTo(paper.Canvas(), 0, 0);
    TRect ink = paper.Ink(clWhite);
    ASSERT_FALSE(ink.IsEmpty()) << GetEnumName(a);
    EXPECT_NEAR((ink.Top + ink.Bottom) / 2, 15, 3) << GetEnumName(a);
    int mid = (ink.Left + ink.Right) / 2;
    int expected = a == taLeftJustify ? ink.Width() / 2 : a == taRightJustify ? 120 - ink.Width() / 2 : 60;
    EXPECT_NEAR(mid, expected, 3) << GetEnumName(a);
  }
}
