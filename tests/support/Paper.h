// A bitmap to paint on in tests, and what its pixels hold.
#pragma once

#include <algorithm>

#include "platform/gui/Graphics.h"

// True when Inner lies wholly in Outer.
inline bool Within(const TRect& Inner, const TRect& Outer) {
  return Inner.Left >= Outer.Left && Inner.Top >= Outer.Top && Inner.Right <= Outer.Right && Inner.Bottom <= Outer.Bottom;
}

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
  // Pixels that hold exactly Color.
  int Count(TColor Color) {
    return bitmap.Width() * bitmap.Height() - CountNot(Rect(0, 0, bitmap.Width(), bitmap.Height()), Color);
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
