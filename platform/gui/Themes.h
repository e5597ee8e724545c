// Visual-theme services. Thin: visual themes are off on this platform, so
// ThemesAvailable and ThemesEnabled answer false and callers take their
// classic drawing path; DrawElement draws nothing and answers false.
#pragma once

#include "platform/gui/Graphics.h"

// A theme element: class name ("toolbar", "button" ...), part and state.
struct TThemedElementDetails {
  String Element;
  int Part = 0;
  int State = 0;
};

class TThemeServices {
 public:
  bool ThemesAvailable() const { return false; }
  bool ThemesEnabled() const { return false; }
  void UpdateThemes() {}
  bool DrawElement(HDC DC, const TThemedElementDetails& Details, const TRect& R, const TRect* ClipRect = nullptr);
};

// The one theme service of the program.
TThemeServices* ThemeServices();
