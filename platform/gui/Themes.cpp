// Visual-theme services (Themes.h).
#include "platform/gui/Themes.h"

bool TThemeServices::DrawElement(HDC, const TThemedElementDetails&, const TRect&, const TRect*) { return false; }

TThemeServices* ThemeServices() {
  static TThemeServices services;
  return &services;
}
