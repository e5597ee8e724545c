// Form extras: stay on top, size limits for the window manager, window
// placement, scaling.
#include <QWidget>

#include <memory>

#include "platform/gui/Popup.h"
#include "tests/platform/gui/GuiFixture.h"

namespace {

class FormExtrasTest : public GuiTest {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    form_.reset(TForm::CreateNew(nullptr));
    form_->SetBounds(50, 60, 320, 240);
  }
  std::unique_ptr<TForm> form_;
};

TEST_F(FormExtrasTest, StayOnTopAndConstraintsReachTheWindow) {
  form_->SetFormStyle(fsStayOnTop);
  form_->Show();
  EXPECT_TRUE(form_->Widget()->windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_TRUE(form_->Visible());
  form_->SetFormStyle(fsNormal);
  EXPECT_FALSE(form_->Widget()->windowFlags() & Qt::WindowStaysOnTopHint);

  form_->Constraints()->SetMinWidth(70);
  form_->Constraints()->SetMinHeight(100);
  form_->SetBounds(50, 60, 10, 10);
  EXPECT_EQ(form_->Width(), 70);
  EXPECT_EQ(form_->Height(), 100);
  EXPECT_EQ(form_->Widget()->minimumSize(), QSize(70, 100));
  form_->Constraints()->SetMaxWidth(400);
  EXPECT_EQ(form_->Widget()->maximumWidth(), 400);
  EXPECT_EQ(form_->Widget()->maximumHeight(), QWIDGETSIZE_MAX);
  form_->SetBounds(50, 60, 900, 120);
  EXPECT_EQ(form_->Width(), 400);
}

TEST_F(FormExtrasTest, WindowPlacementKeepsTheNormalBoundsOfAMaximizedForm) {
  form_->Show();
  WINDOWPLACEMENT wp;
  ASSERT_TRUE(GetWindowPlacement(form_->Handle(), &wp));
  EXPECT_EQ(wp.showCmd, static_cast<UINT>(SW_SHOWNORMAL));
  EXPECT_EQ(wp.rcNormalPosition, form_->BoundsRect());

  wp.showCmd = SW_SHOWMAXIMIZED;
  wp.rcNormalPosition = Rect(10, 20, 210, 170);
  ASSERT_TRUE(SetWindowPlacement(form_->Handle(), &wp));
  EXPECT_EQ(form_->WindowState(), wsMaximized);
  WINDOWPLACEMENT back;
  ASSERT_TRUE(GetWindowPlacement(form_->Handle(), &back));
  EXPECT_EQ(back.showCmd, static_cast<UINT>(SW_SHOWMAXIMIZED));
  EXPECT_EQ(back.rcNormalPosition, Rect(10, 20, 210, 170));
  form_->SetWindowState(wsNormal);
  EXPECT_EQ(form_->BoundsRect(), Rect(10, 20, 210, 170)) << "restored to the placement's bounds";

  wp.showCmd = SW_SHOWNORMAL;
  wp.rcNormalPosition = Rect(30, 40, 130, 140);
  ASSERT_TRUE(SetWindowPlacement(form_->Handle(), &wp));
  EXPECT_EQ(form_->BoundsRect(), Rect(30, 40, 130, 140));

  wp.length = 12;
  EXPECT_FALSE(SetWindowPlacement(form_->Handle(), &wp));
  EXPECT_FALSE(GetWindowPlacement(form_->Handle(), &wp));
  TCustomControl plain(nullptr);
  back.length = sizeof back;
  EXPECT_FALSE(GetWindowPlacement(plain.Handle(), &back)) << "placement is a form's";
}

TEST_F(FormExtrasTest, ScalingKeepsNeighboursFlushAndScalesOwnFonts) {
  auto* panel = new TCustomControl(form_.get());
  panel->SetParent(form_.get());
  panel->SetBounds(10, 10, 66, 40);
  auto* a = new TCustomControl(panel);
  a->SetParent(panel);
  a->SetBounds(0, 0, 33, 20);
  a->SetParentFont(false);
  a->Font()->SetSize(8);  // own font
  auto* b = new TCustomControl(panel);
  b->SetParent(panel);
  b->SetBounds(33, 0, 33, 20);  // takes the panel's font
  panel->Font()->SetSize(10);
  ASSERT_TRUE(b->ParentFont());

  panel->ChangeScale(3, 2);
  EXPECT_EQ(panel->BoundsRect(), Rect(15, 15, 114, 75));
  EXPECT_EQ(a->BoundsRect(), Rect(0, 0, 50, 30));
  EXPECT_EQ(b->BoundsRect(), Rect(50, 0, 99, 30)) << "flush against a";
  EXPECT_EQ(a->Font()->Size(), 12);
  EXPECT_EQ(b->Font()->Size(), panel->Font()->Size());

  form_->ScaleBy(1, 2);
  EXPECT_EQ(form_->Left(), 50) << "ScaleBy keeps the position";
  EXPECT_EQ(form_->Width(), 160);
  EXPECT_EQ(panel->Left(), 8);

  panel->ChangeScale(5, 5);  // no change
  EXPECT_EQ(panel->Width(), 49);

  struct Case {
    int n, m, d, r;
  } cases[] = {{10, 3, 2, 15}, {5, 1, 2, 3}, {-5, 1, 2, -3}, {7, 1, 0, -1}, {2000000000, 2, 4, 1000000000},
               {4, 3, -2, -6}};
  for (const Case& c : cases) EXPECT_EQ(MulDiv(c.n, c.m, c.d), c.r) << c.n << "*" << c.m << "/" << c.d;
}

}  // namespace
