// The size grip of drop-down windows and the popup list boxes, driven
// through window messages on the offscreen screen.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "grid/toolkit/ToolCtrlsEh.h"
#include "platform/gui/Popup.h"
#include "tests/grid/toolkit/ToolkitFixture.h"

namespace {

// A drop-down window (screen coordinates) that hands the placement's side
// codes to its grip, as the popups do.
class TDropWindow : public TCustomControl {
 public:
  explicit TDropWindow(TComponent* AOwner) : TCustomControl(AOwner) {
    grip = new TSizeGripEh(this);
    grip->SetParent(this);
  }
  void Dispatch(TMessage& Message) override {
    if (Message.Msg == CM_DROPDOWNSIDEEH) grip->ChangeCorner(static_cast<int>(Message.WParam));
    TCustomControl::Dispatch(Message);
  }
  TSizeGripEh* grip;

 protected:
  void CreateParams(TCreateParams& Params) override {
    TCustomControl::CreateParams(Params);
    Params.Style = WS_POPUP;
    Params.ExStyle = WS_EX_TOOLWINDOW;
  }
};

TRect WorkArea() {
  TRect r;
  SystemParametersInfo(SPI_GETWORKAREA, 0, &r, 0);
  return r;
}

TRect WindowRect(TWinControl* C) {
  TRect r;
  GetWindowRect(C->Handle(), &r);
  return r;
}

// Mouse messages to a control at a screen point.
void MouseAt(TControl* C, Cardinal Msg, WPARAM Keys, TPoint Screen) {
  const TPoint p = C->ScreenToClient(Screen);
  C->Perform(Msg, Keys, MAKELPARAM(p.X, p.Y));
}

// A left-button drag of the grip from its centre by (DX, DY), in steps.
void DragGrip(TSizeGripEh* Grip, int DX, int DY) {
  const TPoint start = Grip->ClientToScreen(Point(Grip->Width() / 2, Grip->Height() / 2));
  MouseAt(Grip, WM_LBUTTONDOWN, MK_LBUTTON, start);
  ASSERT_TRUE(Grip->MouseCapture());
  for (int step = 1; step <= 4; ++step)
    MouseAt(Grip, WM_MOUSEMOVE, MK_LBUTTON, Point(start.X + DX * step / 4, start.Y + DY * step / 4));
  MouseAt(Grip, WM_LBUTTONUP, 0, Point(start.X + DX, start.Y + DY));
}

// The grip's place in its parent's client area for each corner.
TPoint CornerPlace(TSizeGripEh* Grip) {
  TWinControl* p = Grip->Parent();
  const int right = p->ClientWidth() - Grip->Width(), bottom = p->ClientHeight() - Grip->Height();
  const TPoint places[] = {Point(0, 0), Point(right, 0), Point(right, bottom), Point(0, bottom)};
  return places[Grip->Corner()];
}

// ---------------------------------------------------------------------------
// TSizeGripEh

class SizeGripTest : public ToolkitTest {
 protected:
  void SetUp() override {
    ToolkitTest::SetUp();
    work_ = WorkArea();
    drop_ = new TDropWindow(nullptr);
    drop_->SetBounds(work_.Left + 200, work_.Top + 150, 120, 90);
    ShowWindow(drop_->Handle(), SW_SHOW);
    drop_->grip->SetOnParentResized([this](TObject* Sender) {
      EXPECT_EQ(Sender, drop_->grip);
      ++resized_;
    });
  }
  void TearDown() override {
    delete drop_;
    ToolkitTest::TearDown();
  }

  TRect work_;
  TDropWindow* drop_ = nullptr;
  int resized_ = 0;
};

TEST_F(SizeGripTest, StartsTriangularAtTheBottomRightWithTheCornersCursor) {
  TSizeGripEh* g = drop_->grip;
  EXPECT_EQ(g->Corner(), 2);
  EXPECT_TRUE(g->Triangular());
  EXPECT_EQ(g->Width(), GetSystemMetrics(SM_CXVSCROLL));
  EXPECT_EQ(g->Height(), GetSystemMetrics(SM_CYVSCROLL));
  EXPECT_EQ(g->Color(), clBtnFace);
  EXPECT_TRUE(g->ControlStyle().Contains(csCaptureMouse));
  EXPECT_TRUE(g->ControlStyle().Contains(csReplicatable));

  // Each corner: its place, its cursor and the triangle that cuts it off
  // (the corner pixel inside, the opposite one outside).
  struct Case {
    int corner;
    TCursor cursor;
    TPoint inside, outside;
  };
  const int w = g->Width(), h = g->Height();
  const Case cases[] = {
      {0, crSizeNWSE, Point(1, 1), Point(w - 2, h - 2)},
      {1, crSizeNESW, Point(w - 2, 1), Point(1, h - 2)},
      {2, crSizeNWSE, Point(w - 2, h - 2), Point(1, 1)},
      {3, crSizeNESW, Point(1, h - 2), Point(w - 2, 1)},
  };
  for (const Case& c : cases) {
    g->SetCorner(c.corner);
    EXPECT_EQ(g->Cursor(), c.cursor) << c.corner;
    EXPECT_EQ(Point(g->Left(), g->Top()), CornerPlace(g)) << c.corner;
    HRGN rgn = CreateRectRgn(0, 0, 0, 0);
    ASSERT_NE(GetWindowRgn(g->Handle(), rgn), ERROR) << c.corner;
    EXPECT_TRUE(PtInRegion(rgn, c.inside.X, c.inside.Y)) << c.corner;
    EXPECT_FALSE(PtInRegion(rgn, c.outside.X, c.outside.Y)) << c.corner;
    DeleteObject(rgn);
  }
  // A square grip has no region.
  g->SetTriangular(false);
  HRGN rgn = CreateRectRgn(0, 0, 0, 0);
  EXPECT_EQ(GetWindowRgn(g->Handle(), rgn), ERROR);
  g->SetTriangular(true);
  EXPECT_NE(GetWindowRgn(g->Handle(), rgn), ERROR);
  DeleteObject(rgn);
}

TEST_F(SizeGripTest, TheCornerFollowsTheSideTheDropDownOpenedOn) {
  // ChangeCorner by side code (0 right-aligned, 1 left-aligned, 2 above,
  // 3 below) from each corner.
  const int expected[4][4] = {{0, 0, 3, 3}, {1, 1, 2, 2}, {0, 1, 1, 0}, {3, 2, 2, 3}};
  for (int side = 0; side < 4; ++side) {
    for (int corner = 0; corner < 4; ++corner) {
      drop_->grip->SetCorner(corner);
      drop_->grip->ChangeCorner(side);
      EXPECT_EQ(drop_->grip->Corner(), expected[side][corner]) << side << " " << corner;
    }
  }
  drop_->grip->SetCorner(1);
  drop_->grip->ChangeCorner(7);
  EXPECT_EQ(drop_->grip->Corner(), 1);

  // Placed above an editor at the bottom-right of the work area, aligned at
  // the editor's right side: the grip goes to the top-left.
  drop_->grip->SetCorner(2);
  const TRect host = Rect(work_.Right - 60, work_.Bottom - 20, work_.Right - 10, work_.Bottom - 2);
  const TPoint pos = AlignDropDownWindowRect(host, drop_, daRight);
  EXPECT_LT(pos.Y, host.Top);
  EXPECT_EQ(drop_->grip->Corner(), 0);
  EXPECT_EQ(drop_->grip->Cursor(), crSizeNWSE);
  EXPECT_EQ(Point(drop_->grip->Left(), drop_->grip->Top()), Point(0, 0));
}

TEST_F(SizeGripTest, DragResizesTheParentWithinTheWorkArea) {
  TSizeGripEh* g = drop_->grip;
  // Bottom-right: the client area grows by the drag, up to the work area.
  const TRect before = WindowRect(drop_);
  DragGrip(g, 30, 20);
  EXPECT_EQ(drop_->ClientWidth(), 150);
  EXPECT_EQ(drop_->ClientHeight(), 110);
  EXPECT_EQ(WindowRect(drop_).TopLeft(), before.TopLeft());
  EXPECT_EQ(resized_, 4);
  EXPECT_EQ(Point(g->Left(), g->Top()), CornerPlace(g));
  DragGrip(g, work_.Width() * 2, work_.Height() * 2);
  EXPECT_EQ(WindowRect(drop_).Right, work_.Right);
  EXPECT_EQ(WindowRect(drop_).Bottom, work_.Bottom);
  EXPECT_EQ(WindowRect(drop_).TopLeft(), before.TopLeft());
  EXPECT_EQ(Point(g->Left(), g->Top()), CornerPlace(g));

  // Top-left: the opposite edges stay; the drag stops at the work area.
  drop_->SetBounds(work_.Left + 200, work_.Top + 150, 120, 90);
  g->SetCorner(0);
  resized_ = 0;
  DragGrip(g, -40, -30);
  TRect r = WindowRect(drop_);
  EXPECT_EQ(r, Rect(work_.Left + 160, work_.Top + 120, work_.Left + 320, work_.Top + 240));
  EXPECT_EQ(resized_, 4);
  DragGrip(g, -work_.Width() * 2, -work_.Height() * 2);
  r = WindowRect(drop_);
  EXPECT_EQ(r, Rect(work_.Left, work_.Top, work_.Left + 320, work_.Top + 240));
  EXPECT_EQ(Point(g->Left(), g->Top()), Point(0, 0));

  // Top-right and bottom-left mix the two rules; shrinking past the opposite
  // edge leaves an empty window, never a negative one.
  drop_->SetBounds(work_.Left + 200, work_.Top + 150, 120, 90);
  g->SetCorner(1);
  DragGrip(g, 10, -10);
  EXPECT_EQ(WindowRect(drop_), Rect(work_.Left + 200, work_.Top + 140, work_.Left + 330, work_.Top + 240));
  g->SetCorner(3);
  DragGrip(g, 500, -500);
  EXPECT_EQ(drop_->Width(), 0);
  EXPECT_EQ(drop_->Height(), 0);
  EXPECT_EQ(WindowRect(drop_).Right, work_.Left + 330);
}

TEST_F(SizeGripTest, MovesWithoutTheLeftButtonOrTheCaptureLeaveTheParent) {
  TSizeGripEh* g = drop_->grip;
  const TPoint centre = g->ClientToScreen(Point(g->Width() / 2, g->Height() / 2));
  MouseAt(g, WM_MOUSEMOVE, 0, Point(centre.X + 40, centre.Y + 40));
  MouseAt(g, WM_LBUTTONDOWN, MK_LBUTTON, centre);
  MouseAt(g, WM_MOUSEMOVE, MK_RBUTTON, Point(centre.X + 40, centre.Y + 40));
  g->SetMouseCapture(false);
  MouseAt(g, WM_MOUSEMOVE, MK_LBUTTON, Point(centre.X + 40, centre.Y + 40));
  EXPECT_EQ(drop_->Width(), 120);
  EXPECT_EQ(drop_->Height(), 90);
  EXPECT_EQ(resized_, 0);

  // Moved away by anyone, the grip snaps back into its corner.
  MoveWindow(g->Handle(), 3, 4, g->Width(), g->Height(), true);
  EXPECT_EQ(Point(g->Left(), g->Top()), CornerPlace(g));
  // SetVisible shows and hides the window, not the control.
  EXPECT_TRUE(IsWindowVisible(g->Handle()));
  g->SetVisible(false);
  EXPECT_FALSE(IsWindowVisible(g->Handle()));
  EXPECT_TRUE(g->Visible());
  g->SetVisible(true);
  EXPECT_TRUE(IsWindowVisible(g->Handle()));
}

TEST_F(SizeGripTest, PaintsTheHatchTowardsItsCorner) {
  TSizeGripEh* g = drop_->grip;
  const int w = g->Width(), h = g->Height();
  for (int corner : {2, 0}) {
    g->SetCorner(corner);
    TPaper paper(w, h);
    g->PaintHandler(paper.Canvas()->Handle());
    // Along the edge from the corner: the hatch's colours; the first line
    // on the diagonal is the highlight.
    std::vector<int32_t> seen;
    for (int k = 0; k < h; ++k) seen.push_back(ColorToRGB(paper.At(corner == 2 ? w - 1 : 0, corner == 2 ? h - 1 - k : k)));
    EXPECT_NE(std::find(seen.begin(), seen.end(), ColorToRGB(clBtnShadow)), seen.end()) << corner;
    EXPECT_NE(std::find(seen.begin(), seen.end(), ColorToRGB(clBtnHighlight)), seen.end()) << corner;
    const TPoint diagonal = corner == 2 ? Point(w / 2, h - w / 2) : Point(w / 2, h - w / 2 - 2);
    EXPECT_EQ(ColorToRGB(paper.At(diagonal.X, diagonal.Y)), ColorToRGB(clBtnHighlight)) << corner;
    // Nothing on the far side of the diagonal.
    const TPoint far = corner == 2 ? Point(1, 1) : Point(w - 2, h - 2);
    EXPECT_EQ(ColorToRGB(paper.At(far.X, far.Y)), ColorToRGB(clBtnFace)) << corner;
  }
}

}  // namespace
