// Edit buttons: their settings, the collection, and the button window's
// presses, halves and auto-repeat on a manual timer clock.
#include <gtest/gtest.h>

#include <vector>

#include "grid/toolkit/ToolCtrlsEh.h"
#include "platform/rtl/TypInfo.h"
#include "tests/grid/toolkit/ToolkitFixture.h"
#include "tests/support/QtInput.h"

namespace {

class EditButtonsTest : public ToolkitTest {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    form_ = TForm::CreateNew(nullptr);
    form_->SetBounds(100, 100, 200, 100);
    form_->Show();
  }
  void TearDown() override {
    delete form_;
    GuiTest::TearDown();
  }

  struct TDown {
    bool top;
    uint64_t at;
  };
  // A button of the style on the form, recording its presses and clicks.
  TEditButtonControlEh* AddButton(TEditButtonStyleEh Style, int Height) {
    auto* b = new TEditButtonControlEh(form_);
    b->SetStyle(Style);
    b->SetBounds(10, 10, 15, Height);
    b->SetParent(form_);
    b->SetOnDown([this](TObject*, bool Top, bool& AutoRepeat, bool&) {
      downs_.push_back({Top, clock_.Now()});
      if (force_repeat_ >= 0) AutoRepeat = force_repeat_ != 0;
    });
    b->SetOnClick([this](TObject*) { ++clicks_; });
    return b;
  }

  TForm* form_ = nullptr;
  std::vector<TDown> downs_;
  int clicks_ = 0;
  int force_repeat_ = -1;  // -1: the handler leaves AutoRepeat as it comes
};

TEST_F(EditButtonsTest, HeldUpDownHalfRepeatsAfter400AndThenEvery100Ms) {
  TEditButtonControlEh* b = AddButton(ebsUpDownEh, 18);
  QWidget* w = b->Widget();
  Press(w, QPoint(5, 3));
  ASSERT_EQ(downs_.size(), 1u);
  EXPECT_TRUE(downs_[0].top);
  EXPECT_EQ(b->ButtonNum(), 1);
  clock_.Advance(399);
  EXPECT_EQ(downs_.size(), 1u);
  clock_.Advance(1);
  ASSERT_EQ(downs_.size(), 2u);
  EXPECT_EQ(downs_[1].at, 400u);
  clock_.Advance(250);
  ASSERT_EQ(downs_.size(), 4u);
  EXPECT_EQ(downs_[2].at, 500u);
  EXPECT_EQ(downs_[3].at, 600u);
  for (const TDown& d : downs_) EXPECT_TRUE(d.top);

  // Sliding into the other half releases the button: no more repeats, and
  // the release does not click.
  MoveHeld(w, QPoint(5, 14));
  clock_.Advance(500);
  EXPECT_EQ(downs_.size(), 4u);
  Release(w, QPoint(5, 14));
  EXPECT_EQ(clicks_, 0);
  EXPECT_FALSE(b->RepeatTimer()->Enabled());

  // The lower half: one press, released at once, clicks; the timer stops.
  Press(w, QPoint(5, 14));
  ASSERT_EQ(downs_.size(), 5u);
  EXPECT_FALSE(downs_[4].top);
  EXPECT_EQ(b->ButtonNum(), 2);
  Release(w, QPoint(5, 14));
  EXPECT_EQ(clicks_, 1);
  EXPECT_EQ(b->ButtonNum(), 0);
  clock_.Advance(1000);
  EXPECT_EQ(downs_.size(), 5u);
}

TEST_F(EditButtonsTest, PressesSplitAnUpDownPairAtHalfItsHeight) {
  struct Case {
    int height, y;
    int num;  // 0: the odd middle line, no press reported
  };
  const Case cases[] = {
      {17, 7, 1}, {17, 8, 0}, {17, 9, 2}, {17, 16, 2}, {16, 7, 1}, {16, 8, 2}, {16, 0, 1},
  };
  for (const Case& c : cases) {
    downs_.clear();
    TEditButtonControlEh* b = AddButton(ebsUpDownEh, c.height);
    Press(b->Widget(), QPoint(5, c.y));
    EXPECT_EQ(b->ButtonNum(), c.num) << c.height << " " << c.y;
    EXPECT_EQ(downs_.size(), c.num == 0 ? 0u : 1u) << c.height << " " << c.y;
    EXPECT_EQ(b->RepeatTimer() != nullptr && b->RepeatTimer()->Enabled(), c.num != 0) << c.height << " " << c.y;
    Release(b->Widget(), QPoint(5, c.y));
    delete b;
  }
}

TEST_F(EditButtonsTest, OtherStylesRepeatOnlyWhenTheHandlerAsks) {
  struct Case {
    TEditButtonStyleEh style;
    int force;  // what the handler sets AutoRepeat to (-1: left alone)
    size_t downsAfter700;
  };
  const Case cases[] = {
      {ebsEllipsisEh, -1, 1},  // a press, no repeat
      {ebsEllipsisEh, 1, 5},   // 0, 400, 500, 600, 700
      {ebsDropDownEh, -1, 1},
      {ebsUpDownEh, 0, 1},     // the handler stops the repeat
  };
  for (const Case& c : cases) {
    downs_.clear();
    force_repeat_ = c.force;
    TEditButtonControlEh* b = AddButton(c.style, 17);
    const uint64_t start = clock_.Now();
    Press(b->Widget(), QPoint(5, 3));
    clock_.Advance(700);
    EXPECT_EQ(downs_.size(), c.downsAfter700) << c.style << " " << c.force;
    ASSERT_FALSE(downs_.empty());
    EXPECT_EQ(downs_[0].at, start);
    Release(b->Widget(), QPoint(5, 3));
    delete b;
  }
}

TEST_F(EditButtonsTest, AlwaysDownKeepsTheButtonPressedUntilCleared) {
  TEditButtonControlEh* b = AddButton(ebsDropDownEh, 17);
  b->SetAlwaysDown(true);
  EXPECT_TRUE(b->Down());
  EXPECT_EQ(b->GroupIndex(), 1);
  EXPECT_FALSE(b->AllowAllUp());
  EXPECT_EQ(b->ButtonNum(), 1);
  // A click while the drop-down is open does not release it.
  Press(b->Widget(), QPoint(5, 5));
  Release(b->Widget(), QPoint(5, 5));
  EXPECT_TRUE(b->Down());
  EXPECT_EQ(b->ButtonNum(), 1);
  b->SetAlwaysDown(false);
  EXPECT_FALSE(b->Down());
  EXPECT_EQ(b->GroupIndex(), 0);
  EXPECT_EQ(b->ButtonNum(), 0);
}

TEST_F(EditButtonsTest, ButtonSettingsReportChangesOnlyWhenTheyChange) {
  TEditButtonsEh buttons(form_, CollectionItemFactory<TVisibleEditButtonEh>);
  EXPECT_EQ(buttons.GetOwner(), form_);
  int collectionChanges = 0;
  buttons.SetOnChanged([&](TObject* Sender) {
    EXPECT_EQ(Sender, &buttons);
    ++collectionChanges;
  });
  TEditButtonEh* item = buttons.Add();
  EXPECT_EQ(collectionChanges, 1);
  EXPECT_TRUE(item->Visible());
  EXPECT_EQ(item->ShortCut(), 32808);
  EXPECT_EQ(item->Style(), ebsDropDownEh);

  item->SetVisible(true);  // unchanged
  item->SetNumGlyphs(1);
  EXPECT_EQ(collectionChanges, 1);
  item->SetNumGlyphs(9);  // clamped
  EXPECT_EQ(item->NumGlyphs(), 4);
  item->SetNumGlyphs(-3);
  EXPECT_EQ(item->NumGlyphs(), 1);
  item->SetStyle(ebsEllipsisEh);
  EXPECT_EQ(collectionChanges, 4);

  // Bound, the button's own notification takes the place of the collection's.
  TObject* notified = nullptr;
  item->SetOnChanged([&](TObject* Sender) { notified = Sender; });
  item->SetWidth(21);
  EXPECT_EQ(notified, item);
  EXPECT_EQ(collectionChanges, 4);

  // The stand-alone main button of a plain edit box is hidden until shown.
  TEditButtonEh main(form_);
  EXPECT_FALSE(main.Visible());
  EXPECT_EQ(main.ShortCut(), 0);
  EXPECT_TRUE(main.Glyph()->Transparent());
  EXPECT_EQ(main.EditControl(), form_);
  main.Assign(item);
  EXPECT_TRUE(main.Visible());
  EXPECT_EQ(main.Style(), ebsEllipsisEh);
  EXPECT_EQ(main.Width(), 21);
  EXPECT_EQ(main.ShortCut(), 32808);
}

TEST_F(EditButtonsTest, ButtonWindowsBelongToTheirEditor) {
  auto* edit = new TEdit(form_);
  edit->SetParent(form_);
  TEditButtonsEh buttons(edit, CollectionItemFactory<TVisibleEditButtonEh>);
  TEditButtonEh main(edit);
  for (TEditButtonEh* button : {&main, buttons.Add()}) {
    TEditButtonControlEh* c = button->CreateEditButtonControl();
    EXPECT_EQ(c->Owner(), edit);
    EXPECT_EQ(c->Parent(), edit);
    EXPECT_EQ(c->Width(), 10);
    EXPECT_EQ(c->Height(), 17);
    EXPECT_TRUE(c->Visible());
    EXPECT_FALSE(c->Transparent());
    EXPECT_TRUE(c->ControlStyle().Contains(csReplicatable));
  }
  EXPECT_EQ(edit->ComponentCount(), 2);
}

TEST_F(EditButtonsTest, PublishedDefaultsAreThoseOfEachButtonClass) {
  TEditButtonEh plain(form_);
  TVisibleEditButtonEh visible(form_);
  auto speed = std::make_unique<TSpeedButtonEh>(nullptr);
  struct Case {
    TObject* object;
    const char* prop;
    bool isDefault;
  };
  const Case cases[] = {
      {&plain, "Visible", true},       {&plain, "ShortCut", true},  {&plain, "NumGlyphs", true},
      {&visible, "Visible", true},     {&visible, "ShortCut", true}, {speed.get(), "Style", true},
      {speed.get(), "Active", true},
  };
  for (const Case& c : cases) {
    const TPropInfo* p = GetPropInfo(c.object, c.prop);
    ASSERT_NE(p, nullptr) << c.prop;
    EXPECT_EQ(p->IsDefault(c.object), c.isDefault) << c.object->ClassName() << "." << c.prop;
  }
  visible.SetVisible(false);
  EXPECT_FALSE(GetPropInfo(&visible, "Visible")->IsDefault(&visible));
  plain.SetShortCut(TVisibleEditButtonEh::kDefaultShortCut);
  EXPECT_FALSE(GetPropInfo(&plain, "ShortCut")->IsDefault(&plain));
}

}  // namespace
