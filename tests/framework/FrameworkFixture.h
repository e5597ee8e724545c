// Shared set-up of the framework's GUI tests: the framework's units, the
// application object and a manual timer clock; a control that publishes
// one group of each kind.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "framework/B_Form.h"
#include "platform/gui/Jpeg.h"
#include "platform/rtl/UnitInit.h"
#include "tests/support/Paper.h"

class FrameworkTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    InitializeUnits({&unit_B_Form, &unit_Jpeg});
    Application->Initialize();
  }
  void SetUp() override { previous_ = SetTimerService(&clock_); }
  void TearDown() override { SetTimerService(previous_ == &clock_ ? nullptr : previous_); }

  TManualTimerService clock_;
  TTimerService* previous_ = nullptr;
};

inline TColor Sys(TColor C) { return static_cast<TColor>(ColorToRGB(C)); }

// A self-drawn control with a frame, a text and a bitmap group, painted in
// that order over its client area; counts the groups' changes.
class TGroupsControl : public TB_CustomControl {
 public:
  explicit TGroupsControl(TComponent* AOwner)
      : TB_CustomControl(AOwner),
        frame_(std::make_unique<TB_PanelFramePersistent>()),
        text_(std::make_unique<TB_TextPersistent>()),
        bitmaps_(std::make_unique<TB_BitmapPersistent>(this)) {
    frame_->SetControl(this);
    text_->SetControl(this);
    text_->ParentFontChanged();
    for (TB_Persistent* g : {static_cast<TB_Persistent*>(frame_.get()), static_cast<TB_Persistent*>(text_.get()),
                             static_cast<TB_Persistent*>(bitmaps_.get())})
      g->SetOnChange({this, [this](TObject*) {
                        ++changes;
                        Invalidate();
                      }});
  }
  TB_PanelFramePersistent* Frame() const { return frame_.get(); }
  TB_TextPersistent* TextGroup() const { return text_.get(); }
  TB_BitmapPersistent* Bitmaps() const { return bitmaps_.get(); }
  int changes = 0;

  static void Register() {
    if (FindClassInfo("TGroupsControl") != nullptr) return;
    RegisterClass<TGroupsControl, TB_CustomControl>("TGroupsControl")
        .Object("Frame", &TGroupsControl::Frame)
        .Object("Text", &TGroupsControl::TextGroup)
        .Object("Bitmaps", &TGroupsControl::Bitmaps);
  }

 protected:
  void Paint() override {
    TRect r = ClientRect();
    frame_->SetBoundsRect(r);
    bitmaps_->SetBoundsRect(frame_->ContentRect(r));
    bitmaps_->Paint(Canvas());
    text_->Draw(Canvas(), frame_->ContentRect(r));
    frame_->Paint(Canvas());
  }

 private:
  std::unique_ptr<TB_PanelFramePersistent> frame_;
  std::unique_ptr<TB_TextPersistent> text_;
  std::unique_ptr<TB_BitmapPersistent> bitmaps_;
};
