// The size grip of drop-down windows and the popup list boxes, driven
// through window messages on the offscreen screen.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTest>
#include <QWindow>

#include <algorithm>
#include <memory>
#include <vector>

#include "grid/toolkit/ToolCtrlsEh.h"
#include "platform/gui/Popup.h"
#include "platform/rtl/SysUtils.h"
#include "tests/grid/toolkit/ToolkitFixture.h"
#include "tests/support/QtInput.h"

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


// ---------------------------------------------------------------------------
// TPopupListboxEh and TMRUListboxEh

Cardinal ticks = 0;
Cardinal Ticks() { return ticks; }

class PopupListTest : public ToolkitTest {
 protected:
  void SetUp() override {
    ToolkitTest::SetUp();
    previous_ticks_ = SetTickCountSource(&Ticks);
    ticks = 100000;
    form_ = TForm::CreateNew(nullptr);
    form_->SetBounds(100, 100, 300, 200);
    edit_ = new TEdit(form_);
    edit_->SetParent(form_);
    form_->Show();
    form_->Widget()->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form_->Widget()));
    edit_->SetFocus();
    QCoreApplication::processEvents();
    list_ = new TPopupListboxEh(edit_);
    list_->SetItemHeight(16);
    list_->SetBounds(120, 140, 150, 100);
  }
  void TearDown() override {
    delete form_;
    SetTickCountSource(previous_ticks_);
    ToolkitTest::TearDown();
  }
  void Type(TWinControl* C, const WideString& Text) {
    for (char16_t ch : Text) C->Perform(WM_CHAR, ch, 0);
  }
  void Fill(TCustomListBox* List, std::initializer_list<const char*> Items) {
    List->Items()->Clear();
    for (const char* s : Items) List->Items()->Add(s);
  }

  TTickCountSource previous_ticks_ = nullptr;
  TForm* form_ = nullptr;
  TEdit* edit_ = nullptr;
  TPopupListboxEh* list_ = nullptr;
};

TEST_F(PopupListTest, HeightSnapsToWholeRowsWithinTheBorder) {
  EXPECT_EQ(list_->GetBorderHeight(), 4);  // the raised border, 2 pixels each side
  struct Case {
    int height, rows;
  };
  const Case cases[] = {{4 + 16 * 3, 3}, {4 + 16 * 3 + 15, 3}, {19, 1}, {0, 1}, {4 + 16 * 7 + 1, 7}};
  for (const Case& c : cases) {
    list_->SetBounds(120, 140, 150, c.height);
    EXPECT_EQ(list_->RowCount(), c.rows) << c.height;
    EXPECT_EQ(list_->Height(), 4 + 16 * c.rows) << c.height;
  }
  list_->SetRowCount(5);
  EXPECT_EQ(list_->Height(), 84);
  EXPECT_EQ(list_->RowCount(), 5);
  list_->SetRowCount(0);
  EXPECT_EQ(list_->RowCount(), 1);
  // The window's client area holds exactly the rows.
  list_->SetRowCount(4);
  list_->HandleNeeded();
  EXPECT_EQ(list_->ClientHeight(), 64);
  EXPECT_EQ(list_->ClientWidth(), 146);

  // Without Ctl3D: a one-pixel border.
  list_->SetCtl3D(false);
  EXPECT_EQ(list_->GetBorderHeight(), 2);
  list_->SetRowCount(4);
  EXPECT_EQ(list_->Height(), 66);
  EXPECT_EQ(list_->ClientHeight(), 64);
  // The window keeps a minimum size.
  list_->SetBounds(120, 140, 3, 3);
  EXPECT_GE(list_->Width(), GetSystemMetrics(SM_CXVSCROLL));
  EXPECT_GE(list_->Height(), GetSystemMetrics(SM_CYVSCROLL));
  EXPECT_TRUE(list_->SizeGripResized());
}

TEST_F(PopupListTest, IsADropDownThatNeverTakesTheFocus) {
  Fill(list_, {"one", "two", "three"});
  list_->HandleNeeded();
  ShowWindow(list_->Handle(), SW_SHOW);
  EXPECT_TRUE(IsDropDownWindow(list_));
  EXPECT_FALSE(list_->CanFocus());
  EXPECT_FALSE(list_->TabStop());
  EXPECT_EQ(list_->SizeGrip()->Parent(), list_);
  EXPECT_EQ(list_->SizeGrip()->Owner(), list_);
  const HWND edit = edit_->Handle();
  ASSERT_EQ(GetFocus(), edit);
  QTest::mouseClick(list_->WindowWidget()->windowHandle(), Qt::LeftButton, {}, QPoint(2 + 10, 2 + 20));
  QCoreApplication::processEvents();
  EXPECT_EQ(list_->ItemIndex(), 1);
  EXPECT_TRUE(edit_->Focused());
  EXPECT_EQ(GetFocus(), edit);
  EXPECT_FALSE(list_->Focused());

  // With a parent control (as the MRU list has) it is still a window of its
  // own on the screen.
  auto* mru = new TMRUListboxEh(edit_);
  mru->SetCtl3D(false);
  mru->SetParent(edit_);
  mru->HandleNeeded();
  EXPECT_TRUE(IsDropDownWindow(mru));
  EXPECT_EQ(GetFocus(), edit);
}

TEST_F(PopupListTest, IncrementalSearchRestartsAfterAPause) {
  Fill(list_, {"apple", "abc", "abd", "banana", "Борис", "борщ", "Вера"});
  struct Step {
    Cardinal after;  // ms since the previous character
    const char16_t* typed;
    const char* text;  // the search text afterwards
    int selected;
  };
  const Step steps[] = {
      {0, u"a", "a", 0},
      {300, u"b", "ab", 1},
      {2000, u"d", "abd", 2},  // 2000 ms is no pause yet
      {2001, u"b", "b", 3},    // more is
      {3000, u"\x0431\x043E", "бо", 4},  // without case: Борис
      {10, u"\x0440\x0449", "борщ", 5},
      {10, u"x", "борщx", 5},  // not found: the selection stays
      {5000, u"\x0432", "в", 6},
      {10, u"\x0008", "", 6},  // Backspace clears
      {10, u"\x0431", "б", 4},
      {10, u"\x001B", "", 4},  // Esc clears
  };
  for (const Step& s : steps) {
    ticks += s.after;
    Type(list_, s.typed);
    EXPECT_EQ(list_->SearchText(), s.text) << s.text;
    EXPECT_EQ(list_->ItemIndex(), s.selected) << s.text;
  }
  // At most 32 characters, counted as characters.
  ticks += 3000;
  Type(list_, WideString(40, u'\x0436'));
  EXPECT_EQ(Utf8Length(list_->SearchText()), 32u);
  EXPECT_EQ(list_->SearchText().size(), 64u);
  // Wrapping of the tick count is no pause.
  ticks = 0xFFFFFF00u;
  Type(list_, u"a");
  ticks += 0x200;
  Type(list_, u"b");
  EXPECT_EQ(list_->SearchText(), "ab");
}

TEST_F(PopupListTest, HotTrackingFollowsAMovingPointer) {
  Fill(list_, {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9"});
  list_->SetRowCount(4);
  list_->HandleNeeded();
  const auto move = [&](WPARAM Keys, int Y) { list_->Perform(WM_MOUSEMOVE, Keys, MAKELPARAM(20, Y)); };
  move(0, 2 * 16 + 3);
  EXPECT_EQ(list_->ItemIndex(), 2);
  move(0, 3 * 16 + 1);
  EXPECT_EQ(list_->ItemIndex(), 3);
  // The list scrolls under a still pointer: no change.
  list_->SetTopIndex(4);
  move(0, 3 * 16 + 1);
  EXPECT_EQ(list_->ItemIndex(), 3);
  move(0, 1 * 16 + 1);
  EXPECT_EQ(list_->ItemIndex(), 5);
  // Not with a button held, not outside the items.
  move(MK_LBUTTON, 0);
  EXPECT_EQ(list_->ItemIndex(), 5);
  list_->SetTopIndex(0);
  Fill(list_, {"0", "1"});
  list_->SetItemIndex(1);
  move(0, 3 * 16 + 1);
  EXPECT_EQ(list_->ItemIndex(), 1);

  // The wheel scrolls by one row.
  Fill(list_, {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9"});
  list_->Perform(CM_MOUSEWHEEL, MAKEWPARAM(0, -WHEEL_DELTA), 0);
  list_->Perform(CM_MOUSEWHEEL, MAKEWPARAM(0, -WHEEL_DELTA), 0);
  EXPECT_EQ(list_->TopIndex(), 2);
  list_->Perform(CM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), 0);
  EXPECT_EQ(list_->TopIndex(), 1);
}

TEST_F(PopupListTest, ShowsAnExternalListAndImagesPerItem) {
  TStringList external;
  for (const char* s : {"alpha", "beta", "gamma"}) external.Add(s);
  list_->SetItemsList(&external);
  EXPECT_EQ(list_->Style(), lbVirtualOwnerDraw);
  EXPECT_EQ(list_->GetItemsList(), &external);
  list_->SetCount(external.Count());
  EXPECT_EQ(list_->ItemText(2), "gamma");
  Type(list_, u"be");
  EXPECT_EQ(list_->ItemIndex(), 1);

  // Images: the editor is the Sender of OnGetImageIndex, the text starts
  // after the image strip.
  auto* images = new TImageList(form_, 10, 10);
  auto bmp = std::make_unique<TBitmap>();
  bmp->SetSize(10, 10);
  bmp->Canvas()->Brush()->SetColor(clRed);
  bmp->Canvas()->FillRect(Rect(0, 0, 10, 10));
  images->Add(bmp.get(), nullptr);
  list_->SetImages(images);
  std::vector<int> asked;
  list_->SetOnGetImageIndex([&](TObject* Sender, int Index, int& ImageIndex) {
    EXPECT_EQ(Sender, edit_);
    asked.push_back(Index);
    ImageIndex = 0;
  });
  list_->SetRowCount(3);
  list_->HandleNeeded();
  list_->SetItemIndex(-1);
  TPaper paper(list_->ClientWidth(), list_->ClientHeight());
  list_->PaintHandler(paper.Canvas()->Handle());
  EXPECT_EQ(asked, (std::vector<int>{0, 1, 2}));
  EXPECT_EQ(paper.At(7, 8), clRed);  // the image, centred in its 14-pixel strip
  const auto window = static_cast<TColor>(ColorToRGB(clWindow));
  EXPECT_EQ(paper.Ink(window).Left, 2);
  EXPECT_EQ(paper.CountNot(Rect(12, 0, 15, 48), window), 0);
  EXPECT_GE(paper.CountNot(Rect(15, 0, paper.bitmap.Width(), 48), window), 1);

  // The image list freed first: the list draws text only.
  delete images;
  EXPECT_EQ(list_->Images(), nullptr);
  list_->PaintHandler(paper.Canvas()->Handle());
  list_->SetItemsList(nullptr);
  EXPECT_EQ(list_->Style(), lbOwnerDrawFixed);
}

TEST_F(PopupListTest, TheGripSitsAwayFromTheEditorAndSizesTheListInWholeRows) {
  Fill(list_, {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9"});
  list_->SetRowCount(4);
  list_->HandleNeeded();
  ShowWindow(list_->Handle(), SW_SHOW);
  const TRect work = WorkArea();
  // Opened above an editor at the bottom right, aligned at its right.
  const TRect host = Rect(work.Right - 60, work.Bottom - 20, work.Right - 10, work.Bottom - 2);
  const TPoint pos = AlignDropDownWindowRect(host, list_, daRight);
  list_->SetBounds(pos.X, pos.Y, list_->Width(), list_->Height());
  TSizeGripEh* g = list_->SizeGrip();
  EXPECT_EQ(g->Corner(), 0);
  EXPECT_EQ(g->Cursor(), crSizeNWSE);
  EXPECT_EQ(Point(g->Left(), g->Top()), Point(0, 0));

  // Dragging the grip up and left: whole rows, the bottom-right corner
  // stays, never past the work area.
  list_->SetSizeGripResized(false);
  const TRect before = WindowRect(list_);
  DragGrip(g, -50, -37);
  TRect r = WindowRect(list_);
  EXPECT_EQ(r.BottomRight(), before.BottomRight());
  EXPECT_EQ(r.Width(), before.Width() + 50);
  EXPECT_EQ(list_->ClientHeight() % 16, 0);
  EXPECT_EQ(list_->RowCount(), 6);
  EXPECT_TRUE(list_->SizeGripResized());
  DragGrip(g, -work.Width() * 2, 0);
  EXPECT_EQ(WindowRect(list_).Left, work.Left);
  EXPECT_EQ(WindowRect(list_).Right, before.Right);
}

class MRUListboxTest : public PopupListTest {
 protected:
  void SetUp() override {
    PopupListTest::SetUp();
    mru_ = new TMRUListboxEh(edit_);
    mru_->SetCtl3D(false);
    mru_->SetItemHeight(16);
    mru_->SetRowCount(4);
    mru_->HandleNeeded();
    ShowWindow(mru_->Handle(), SW_SHOW);
  }
  TScrollBar* Bar() { return mru_->ScrollBar(); }
  TMRUListboxEh* mru_ = nullptr;
};

TEST_F(MRUListboxTest, TheDropDownFiltersAsTypedAndItsBarFollowsTheEntries) {
  EXPECT_EQ(Bar()->Parent(), mru_);
  EXPECT_EQ(Bar()->Kind(), sbVertical);
  EXPECT_FALSE(Bar()->TabStop());
  EXPECT_EQ(GetWindowLong(mru_->Handle(), GWL_STYLE) & WS_VSCROLL, 0);
  TMRUListEh entries(edit_);
  for (const char* s : {"Иванов", "Иваненко", "Ильин", "Ивашов", "Иваново", "Ивантеевка", "Петров"}) entries.Add(s);

  struct Case {
    const char* typed;
    int count;
    bool bar;
  };
  const Case cases[] = {{"и", 6, true}, {"ива", 5, true}, {"иван", 4, false}, {"Ивано", 2, false}, {"", 7, true}};
  for (const Case& c : cases) {
    ASSERT_TRUE(entries.FilterItemsTo(mru_->Items(), c.typed));
    EXPECT_EQ(mru_->Count(), c.count) << c.typed;
    EXPECT_EQ(Bar()->Visible(), c.bar) << c.typed;
    // A bar beside a bottom-right grip: the grip is square and below it.
    EXPECT_EQ(mru_->SizeGrip()->Triangular(), !c.bar) << c.typed;
    if (!c.bar) continue;
    EXPECT_EQ(Bar()->Max(), c.count - 1) << c.typed;
    EXPECT_EQ(Bar()->PageSize(), 4) << c.typed;
    EXPECT_EQ(Bar()->BoundsRect(), Rect(mru_->ClientWidth() - GetSystemMetrics(SM_CXVSCROLL), 0,
                                        mru_->ClientWidth(), mru_->ClientHeight() - mru_->SizeGrip()->Height()))
        << c.typed;
  }
  EXPECT_EQ(mru_->Items()->Strings(6), "Петров");

  // The grip at the top right: the bar below it; at the left: full height.
  mru_->Perform(CM_DROPDOWNSIDEEH, 2, 0);
  ASSERT_EQ(mru_->SizeGrip()->Corner(), 1);
  EXPECT_EQ(Bar()->Top(), mru_->SizeGrip()->Height());
  EXPECT_EQ(Bar()->Height(), mru_->ClientHeight() - mru_->SizeGrip()->Height());
  mru_->Perform(CM_DROPDOWNSIDEEH, 0, 0);
  ASSERT_EQ(mru_->SizeGrip()->Corner(), 0);
  EXPECT_EQ(Bar()->Top(), 0);
  EXPECT_EQ(Bar()->Height(), mru_->ClientHeight());
  EXPECT_TRUE(mru_->SizeGrip()->Triangular());
  // Moved by anyone else, the bar goes back.
  Bar()->SetBounds(0, 0, 5, 5);
  EXPECT_EQ(Bar()->Left(), mru_->ClientWidth() - GetSystemMetrics(SM_CXVSCROLL));
  EXPECT_EQ(Bar()->Height(), mru_->ClientHeight());
}

TEST_F(MRUListboxTest, TheBarScrollsTheListAndFollowsIt) {
  Fill(mru_, {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9"});
  ASSERT_TRUE(Bar()->Visible());
  // The bar's notifications (reflected by the list box) scroll the list.
  mru_->Perform(WM_VSCROLL, SB_LINEDOWN, reinterpret_cast<LPARAM>(Bar()->Handle()));
  EXPECT_EQ(mru_->TopIndex(), 1);
  mru_->Perform(WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 5), reinterpret_cast<LPARAM>(Bar()->Handle()));
  EXPECT_EQ(mru_->TopIndex(), 5);
  EXPECT_EQ(Bar()->Position(), 5);
  // Keys and the wheel move the list; the thumb follows.
  mru_->Perform(WM_KEYDOWN, VK_HOME, 0);
  EXPECT_EQ(mru_->TopIndex(), 0);
  EXPECT_EQ(Bar()->Position(), 0);
  mru_->Perform(CM_MOUSEWHEEL, MAKEWPARAM(0, -WHEEL_DELTA), 0);
  EXPECT_EQ(mru_->TopIndex(), 1);
  EXPECT_EQ(Bar()->Position(), 1);
}

TEST_F(MRUListboxTest, PartsAndOwnersGoInAnyOrder) {
  // The bar freed first: the list box goes on without it.
  delete mru_->ScrollBar();
  EXPECT_EQ(mru_->ScrollBar(), nullptr);
  Fill(mru_, {"0", "1", "2", "3", "4", "5"});
  mru_->SetRowCount(2);
  // The grip freed first.
  delete list_->SizeGrip();
  EXPECT_EQ(list_->SizeGrip(), nullptr);
  list_->SetRowCount(2);
  list_->Perform(CM_DROPDOWNSIDEEH, 2, 0);
  // A list box freed before its owner, and one freed with it.
  delete mru_;
  EXPECT_EQ(edit_->ComponentCount(), 1);
  auto* other = new TMRUListboxEh(edit_);
  other->HandleNeeded();
  delete edit_;
  edit_ = nullptr;
}

}  // namespace
