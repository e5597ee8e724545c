// The value-list search frame: its form resource, the button layout, the
// frame commands (search text, binding, selected key) and closing once.
#include <gtest/gtest.h>

#include "datalayer/F_DBFin1.h"
#include "tests/platform/gui/GuiFixture.h"

namespace {

// A host control that records the frame commands posted to it.
class THostControl : public TCustomControl {
 public:
  using TCustomControl::TCustomControl;
  std::vector<LPARAM> codes;
  void Dispatch(TMessage& Message) override {
    if (Message.Msg == WM_FRAMECOMMAND) {
      codes.push_back(Message.LParam);
      return;
    }
    TCustomControl::Dispatch(Message);
  }
};

class SearchFrameTest : public GuiTest {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    InitializeUnits({&unit_F_DBFin1});
    form_ = TForm::CreateNew(nullptr);
    host_ = new THostControl(form_);
    host_->SetParent(form_);
    host_->Handle();
    frame_ = Create<TFormDBFindList>(form_);
    link_ = std::make_unique<TB_DBDataLink>(nullptr, nullptr);
    link_->SetListType(b_ltLinkValue);
    link_->SetValues("1;Один;x;2;Два;y;3;Три;z");
    link_->SetListFieldFind("NAME");
  }
  void TearDown() override {
    delete form_;
    link_.reset();
    GuiTest::TearDown();
  }
  LRESULT Command(int Code, const void* Data) {
    return frame_->Perform(WM_FRAMECOMMAND, reinterpret_cast<WPARAM>(Data), Code);
  }
  String Captions() {
    String s;
    for (int i = 0; i < frame_->List->Items()->Count(); ++i) {
      if (i > 0) s += ",";
      s += frame_->List->Items()->Item(i)->Caption();
    }
    return s;
  }

  TForm* form_ = nullptr;
  THostControl* host_ = nullptr;
  TFormDBFindList* frame_ = nullptr;
  std::unique_ptr<TB_DBDataLink> link_;
};

TEST_F(SearchFrameTest, ResourceAndButtonLayout) {
  ASSERT_NE(frame_->List, nullptr);
  EXPECT_EQ(frame_->BB_OK->TextGroup()->Text(), "Принять");
  EXPECT_FALSE(frame_->Visible());
  frame_->SetWidth(150);
  EXPECT_EQ(frame_->BB_OK->Width(), frame_->BB_OK->Height());
  EXPECT_EQ(frame_->BB_OK->TextGroup()->Text(), "");
  frame_->SetWidth(161);
  EXPECT_EQ(frame_->BB_OK->Width(), 80);
  EXPECT_EQ(frame_->BB_Cancel->TextGroup()->Text(), "Закрыть");
}

TEST_F(SearchFrameTest, BindingSearchTextAndSelectedKey) {
  TFrameValueRecord rec;
  rec.Value = "untouched";
  Command(74, link_.get());
  EXPECT_EQ(Captions(), "Один,Два,Три");
  ASSERT_EQ(frame_->List->Columns()->Count(), 1);
  EXPECT_EQ(frame_->List->Columns()->Items(0)->Caption(), "NAME");
  const String text = "ри";
  Command(18, &text);  // only the records whose text holds "РИ"
  EXPECT_EQ(Captions(), "Три");
  EXPECT_TRUE(frame_->BB_OK->Enabled());
  Command(116, &rec);
  EXPECT_EQ(VarToStr(rec.Value), "3");

  const String none = "щ";
  Command(18, &none);
  EXPECT_EQ(frame_->List->Items()->Count(), 0);
  EXPECT_FALSE(frame_->BB_OK->Enabled());
  rec.Value = "untouched";
  Command(116, &rec);  // nothing selected: the Variant stays
  EXPECT_EQ(VarToStr(rec.Value), "untouched");
}

TEST_F(SearchFrameTest, AcceptAndCloseOnceAreReportedToTheOwner) {
  Command(79, host_);
  Command(74, link_.get());
  EXPECT_EQ(Command(0, nullptr), 0);
  Command(40, nullptr);
  frame_->CloseFrame();
  frame_->CloseFrame();
  Application->ProcessMessages();
  EXPECT_EQ(host_->codes, (std::vector<LPARAM>{40, 2}));
  // The owner freed first: the frame forgets it.
  delete host_;
  host_ = nullptr;
  EXPECT_EQ(frame_->OwnerControl(), nullptr);
}

}  // namespace
