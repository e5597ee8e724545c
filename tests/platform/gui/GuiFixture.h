// Shared set-up of the GUI tests: the GUI units, and a manual timer clock.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>

#include "platform/gui/ComCtrls.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/Forms.h"
#include "platform/gui/ImgList.h"
#include "platform/gui/Jpeg.h"
#include "platform/gui/StdCtrls.h"
#include "platform/rtl/UnitInit.h"

class GuiTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    InitializeUnits({&unit_Forms, &unit_StdCtrls, &unit_ComCtrls, &unit_ExtCtrls, &unit_ImgList, &unit_Jpeg});
    Application->Initialize();
  }
  void SetUp() override { previous_ = SetTimerService(&clock_); }
  void TearDown() override {
    SetTimerService(previous_ == &clock_ ? nullptr : previous_);
    Application->SetOnException(nullptr);
  }

  TManualTimerService clock_;
  TTimerService* previous_ = nullptr;
};

// A bitmap to paint on, filled with one colour, and what its pixels hold.
struct TPaper {
  explicit TPaper(int Width, int Height, TColor Fill = clWhite) {
    bitmap.SetSize(Width, Height);
    bitmap.Canvas()->Brush()->SetColor(Fill);
    bitmap.Canvas()->FillRect(Rect(0, 0, Width, Height));
  }
  TCanvas* Canvas() { return bitmap.Canvas(); }
  TColor At(int X, int Y) { return bitmap.Canvas()->Pixel(X, Y); }
  // Pixels of R that differ from Color (R limited to the bitmap).
  int CountNot(const TRect& R, TColor Color) {
    int n = 0;
    for (int y = std::max(R.Top, 0); y < std::min(R.Bottom, bitmap.Height()); ++y)
      for (int x = std::max(R.Left, 0); x < std::min(R.Right, bitmap.Width()); ++x)
        if (At(x, y) != Color) ++n;
    return n;
  }
  // The smallest rectangle holding every pixel that differs from Color.
  TRect Ink(TColor Color) {
    TRect r{bitmap.Width(), bitmap.Height(), 0, 0};
    for (int y = 0; y < bitmap.Height(); ++y)
      for (int x = 0; x < bitmap.Width(); ++x)
        if (At(x, y) != Color) r = {std::min(r.Left, x), std::min(r.Top, y), std::max(r.Right, x + 1), std::max(r.Bottom, y + 1)};
    return r;
  }
  TBitmap bitmap;
};
