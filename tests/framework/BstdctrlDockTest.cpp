// Panels, frames and images in form data with their drag and dock
// properties; panels and frames that size themselves to their children;
// docking panels and frames into panels and frames by mouse.
#include <memory>
#include <string>
#include <vector>

#include "platform/os/Resources.h"
#include "platform/rtl/FormStream.h"
#include "tests/framework/ControlsFixture.h"

namespace {

class TDockForm : public TForm {
 public:
  using TForm::TForm;
  TB_Panel* Site = nullptr;
  TB_Panel* Tool = nullptr;
  TB_Image* Pic = nullptr;
  TB_FrameControl* Frame = nullptr;
  std::vector<std::string> log;

  void SiteDockOver(TObject*, TDragDockObject* Source, int, int, TDragState State, bool&) {
    if (State == dsDragLeave) return;
    // The classic dock panel: a third of the window wide, at its left.
    TPoint o = Site->ClientToScreen({0, 0});
    Source->SetDockRect(Bounds(o.X, o.Y, ClientWidth() / 3, Site->Height()));
  }
  void SiteDockDrop(TObject*, TDragDockObject* Source, int, int) { log.push_back("drop " + Source->Control()->Name()); }
  void SiteGetSiteInfo(TObject*, TControl*, TRect&, TPoint, bool&) { log.push_back("info"); }
  void SiteUnDock(TObject*, TControl* Client, TWinControl*, bool&) { log.push_back("undock " + Client->Name()); }
  void ToolStartDock(TObject*, TDragDockObject*&) { log.push_back("start dock"); }
  void ToolEndDock(TObject*, TObject* Target, int, int) {
    log.push_back(std::string("end dock on ") + (Target != nullptr ? static_cast<TComponent*>(Target)->Name() : "-"));
  }
  void PicStartDrag(TObject*, TObject*&) { log.push_back("start drag"); }
  void PicDragOver(TObject*, TObject*, int, int, TDragState, bool&) {}
  void PicDragDrop(TObject*, TObject*, int, int) {}
  void PicEndDrag(TObject*, TObject*, int, int) {}
};

const char kDockFormText[] = R"(object DockForm: TDockForm
  Left = 100
  Top = 100
  ClientWidth = 600
  ClientHeight = 300
  object Site: TB_Panel
    Left = 0
    Top = 0
    Width = 0
    Height = 300
    Align = alLeft
    AutoSize = True
    DockSite = True
    OnDockDrop = SiteDockDrop
    OnDockOver = SiteDockOver
    OnGetSiteInfo = SiteGetSiteInfo
    OnUnDock = SiteUnDock
  end
  object Tool: TB_Panel
    Left = 300
    Top = 50
    Width = 120
    Height = 80
    DragCursor = crHandPoint
    DragKind = dkDock
    DragMode = dmAutomatic
    OnStartDock = ToolStartDock
    OnEndDock = ToolEndDock
  end
  object Pic: TB_Image
    Left = 300
    Top = 200
    DragCursor = crMultiDrag
    DragMode = dmAutomatic
    OnDragDrop = PicDragDrop
    OnDragOver = PicDragOver
    OnEndDrag = PicEndDrag
    OnStartDrag = PicStartDrag
  end
  object Frame: TB_FrameControl
    Left = 440
    Top = 20
    Width = 150
    Height = 260
    DockSite = True
    DragKind = dkDock
    DragMode = dmAutomatic
    DragCursor = crDrag
    Visible = True
    OnDockDrop = SiteDockDrop
    OnStartDock = ToolStartDock
  end
end
)";

class BstdctrlDock : public ControlsTest {
 protected:
  static void SetUpTestSuite() {
    InitializeUnits({&unit_Bstdctrl, &unit_B_Form, &unit_Jpeg});
    Application->Initialize();
    if (FindClassInfo("TDockForm") != nullptr) return;
    using F = TDockForm;
    RegisterClass<F, TForm>("TDockForm")
        .Field("Site", &F::Site)
        .Field("Tool", &F::Tool)
        .Field("Pic", &F::Pic)
        .Field("Frame", &F::Frame)
        .Method("SiteDockOver", &F::SiteDockOver)
        .Method("SiteDockDrop", &F::SiteDockDrop)
        .Method("SiteGetSiteInfo", &F::SiteGetSiteInfo)
        .Method("SiteUnDock", &F::SiteUnDock)
        .Method("ToolStartDock", &F::ToolStartDock)
        .Method("ToolEndDock", &F::ToolEndDock)
        .Method("PicStartDrag", &F::PicStartDrag)
        .Method("PicDragOver", &F::PicDragOver)
        .Method("PicDragDrop", &F::PicDragDrop)
        .Method("PicEndDrag", &F::PicEndDrag);
    RegisterResource("TDOCKFORM", RT_RCDATA, reinterpret_cast<const uint8_t*>(kDockFormText),
                     sizeof kDockFormText - 1);
  }
  // Drags C with the left button from its point (5, 5) to the screen point To.
  static void DragTo(TControl* C, TPoint To) {
    C->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    TPoint p = C->ScreenToClient(To);
    C->Perform(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(p.X, p.Y));
    C->Perform(WM_LBUTTONUP, 0, MAKELPARAM(p.X, p.Y));
  }
};

}  // namespace

TEST_F(BstdctrlDock, DragAndDockPropertiesLoadFromFormData) {
  std::unique_ptr<TDockForm> f(Create<TDockForm>(nullptr));
  ASSERT_TRUE(f->Site && f->Tool && f->Pic && f->Frame);
  EXPECT_TRUE(f->Site->DockSite());
  EXPECT_TRUE(f->Site->UseDockManager());
  EXPECT_TRUE(f->Site->AutoSize());
  EXPECT_TRUE(f->Site->OnDockOver() == TDockOverEvent(f.get(), &TDockForm::SiteDockOver));
  EXPECT_TRUE(f->Site->OnUnDock() == TUnDockEvent(f.get(), &TDockForm::SiteUnDock));
  EXPECT_EQ(f->Tool->DragKind(), dkDock);
  EXPECT_EQ(f->Tool->DragMode(), dmAutomatic);
  EXPECT_EQ(f->Tool->DragCursor(), crHandPoint);
  EXPECT_TRUE(f->Tool->OnEndDock() == TEndDragEvent(f.get(), &TDockForm::ToolEndDock));
  EXPECT_EQ(f->Pic->DragCursor(), crMultiDrag);
  EXPECT_TRUE(f->Pic->OnDragOver() == TDragOverEvent(f.get(), &TDockForm::PicDragOver));
  EXPECT_TRUE(f->Frame->DockSite());
  EXPECT_EQ(f->Frame->DragKind(), dkDock);
  EXPECT_TRUE(f->Frame->OnDockDrop() == TDockDropEvent(f.get(), &TDockForm::SiteDockDrop));

  // What differs from the defaults is written back.
  String text = WriteComponentToText(f.get());
  for (const char* line : {"DockSite = True", "DragKind = dkDock", "DragMode = dmAutomatic",
                           "DragCursor = crHandPoint", "OnStartDock = ToolStartDock", "OnDragOver = PicDragOver"})
    EXPECT_NE(text.find(line), String::npos) << line;
  EXPECT_EQ(text.find("DragCursor = crDrag"), String::npos);
  EXPECT_EQ(text.find("UseDockManager"), String::npos);

  // An image in automatic mode starts a drag when pressed and moved.
  f->Show();
  DragTo(f->Pic, f->ClientToScreen({100, 250}));
  EXPECT_EQ(f->log, std::vector<std::string>{"start drag"});
}

TEST_F(BstdctrlDock, PanelsAndFramesDockIntoPanelsAndFrames) {
  std::unique_ptr<TDockForm> f(Create<TDockForm>(nullptr));
  f->Show();
  TB_Panel* site = f->Site;
  ASSERT_EQ(site->Width(), 0);  // an empty dock panel, hidden at the left edge

  // The panel docks: the auto-sized site takes the dock rectangle's width.
  DragTo(f->Tool, site->ClientToScreen({2, 100}));
  EXPECT_EQ(f->log, (std::vector<std::string>{"start dock", "info", "drop Tool", "end dock on Site"}));
  EXPECT_EQ(f->Tool->HostDockSite(), site);
  EXPECT_EQ(site->Width(), 200);
  EXPECT_EQ(f->Tool->Align(), alClient);
  EXPECT_EQ(f->Tool->BoundsRect(), Rect(1, 1, 199, 299));  // inside the site's frame

  // A frame docks beside it, on the side nearest the mouse.
  f->log.clear();
  DragTo(f->Frame, site->ClientToScreen({190, 150}));
  EXPECT_EQ(f->Frame->HostDockSite(), site);
  EXPECT_EQ(f->Frame->Align(), alRight);
  EXPECT_EQ(site->Width(), 200);
  EXPECT_EQ(site->DockClientCount(), 2);

  // The panel moves into the frame, which has no dock manager: at its
  // corner, with the size it had before the site's dock manager sized it.
  f->log.clear();
  ASSERT_TRUE(f->Tool->ManualDock(f->Frame));
  EXPECT_EQ(f->log, (std::vector<std::string>{"undock Tool", "drop Tool"}));
  EXPECT_EQ(f->Tool->Parent(), f->Frame);
  EXPECT_EQ(f->Tool->Align(), alNone);
  EXPECT_EQ(f->Tool->BoundsRect(), Rect(0, 0, 120, 80));
  EXPECT_FALSE(f->Frame->ManualDock(f->Frame));  // not into itself

  // A right-aligned auto-sized panel moves left by the width it gains.
  auto* right = Create<TB_Panel>(f.get());
  right->SetParent(f.get());
  right->SetAutoSize(true);
  right->SetAlign(alRight);
  right->SetWidth(0);
  right->SetDockSite(true);
  right->SetOnDockOver([&](TObject*, TDragDockObject* s, int, int, TDragState, bool&) {
    TPoint o = right->ClientToScreen({0, 0});
    s->SetDockRect(Bounds(o.X - 90, o.Y, 90, right->Height()));
  });
  const int edge = right->Left();
  ASSERT_EQ(edge, f->ClientWidth());
  DragTo(f->Tool, right->ClientToScreen({-3, 100}));
  EXPECT_EQ(f->Tool->HostDockSite(), right);
  EXPECT_EQ(right->Width(), 90);
  EXPECT_EQ(right->Left(), edge - 90);
}

TEST_F(BstdctrlDock, AutoSizedPanelsAndFramesHoldTheirChildren) {
  auto* panel = Add<TB_Panel>(20, 20, 185, 41);  // a one-pixel bevel
  auto* a = Add<TB_Panel>(10, 10, 50, 20, panel);
  auto* b = Add<TB_Panel>(40, 40, 30, 30, panel);
  panel->SetAutoSize(true);
  EXPECT_EQ(panel->BoundsRect(), Bounds(20, 20, 62, 62));
  EXPECT_EQ(a->BoundsRect(), Bounds(1, 1, 50, 20));  // the box starts inside the frame
  EXPECT_EQ(b->BoundsRect(), Bounds(31, 31, 30, 30));
  b->SetBounds(31, 31, 100, 30);  // children that change resize it
  EXPECT_EQ(panel->Width(), 132);
  b->Hide();
  EXPECT_EQ(panel->BoundsRect(), Bounds(20, 20, 52, 22));
  panel->Frame()->SetLineWidth(3);
  EXPECT_EQ(panel->BoundsRect(), Bounds(20, 20, 56, 26));
  delete a;  // no visible child: the size stays
  EXPECT_EQ(panel->BoundsRect(), Bounds(20, 20, 56, 26));

  // Aligned, only the free dimension follows the children.
  auto* top = Add<TB_Panel>(0, 0, 100, 100);
  top->SetAlign(alTop);
  Add<TB_Panel>(0, 0, 30, 44, top)->SetAlign(alTop);
  top->SetAutoSize(true);
  EXPECT_EQ(top->Width(), form_->ClientWidth());
  EXPECT_EQ(top->Height(), 46);

  // Read from form data: sized once loaded, not while read.
  ReadComponentFromText(form_, R"(object F: TForm
  object Holder: TB_Panel
    Left = 5
    Top = 150
    Width = 300
    Height = 100
    AutoSize = True
    object Inner: TB_Panel
      Left = 1
      Top = 1
      Width = 40
      Height = 30
    end
  end
end
)");
  auto* holder = dynamic_cast<TB_Panel*>(form_->FindComponent("Holder"));
  ASSERT_NE(holder, nullptr);
  EXPECT_EQ(holder->BoundsRect(), Bounds(5, 150, 42, 32));

  // A frame alike.
  std::unique_ptr<TB_FrameControl> frame(Create<TB_FrameControl>(nullptr));
  frame->SetParent(form_);
  Add<TB_Panel>(30, 20, 60, 40, frame.get());
  frame->SetAutoSize(true);
  EXPECT_EQ(frame->Width(), 60);
  EXPECT_EQ(frame->Height(), 40);
}
