// Hints: the hint window and what a control tells the application's hint
// machinery (TApplication, Forms.h).
//
// The application watches the mouse messages that reach every control
// (TControl::WndProc). When the mouse rests on a control whose effective
// ShowHint is on (its own, or its parent's while ParentShowHint), with
// Application->ShowHint on, a show timer starts: HintPause, or HintShortPause
// while a hint is showing; the control may change the pause in
// CM_HINTSHOWPAUSE (WParam 1 when a hint was showing, LParam: int* pause;
// 0 shows at once). When it fires, ActivateHint fills a THintInfo (the short
// part of the control's Hint, or of its nearest parent's that has one; the
// hint window class; HintPos under the cursor; the control's client rectangle
// as CursorRect; HideTimeout HintHidePause) and sends CM_HINTSHOW (LParam:
// THintInfo*); an answer not 0 shows nothing. The control may change the
// text, position, window class, colour and rectangle, so one control can show
// a hint per cell. OnShowHint may change them again or refuse. A hint with
// text is shown in the application's hint window (made from HintWindowClass,
// made anew when the class changes): its CalcHintRect sized by HintMaxWidth,
// moved to HintPos, ActivateHintData. Moving the mouse out of CursorRect (or
// onto another control) hides it and starts over; a press, the wheel or
// CancelHint hides it until the mouse moves again; it hides by itself after
// HideTimeout ms (0 or less: never) and, with ReshowTimeout > 0, is worked out
// again after that many ms. Timers run on the timer service (Messages.h).
//
// THintWindow is a drop-down window (Popup.h) with a one-pixel border in the
// non-client area, coloured by HintColor, that the mouse passes through (on
// X11; on the offscreen platform the hint machinery ignores moves over it).
#pragma once

#include "platform/gui/Controls.h"

inline constexpr Cardinal CM_HINTSHOW = CM_BASE + 48;
inline constexpr Cardinal CM_HINTSHOWPAUSE = CM_BASE + 84;

class THintWindow : public TCustomControl {
 public:
  explicit THintWindow(TComponent* AOwner);
  // The window rectangle (origin 0, 0) that shows the text within MaxWidth.
  virtual TRect CalcHintRect(int MaxWidth, const String& AHint, void* AData);
  // Shows the text with the window at Rect (screen), kept on the screen.
  virtual void ActivateHint(TRect Rect, const String& AHint);
  virtual void ActivateHintData(TRect Rect, const String& AHint, void* AData);
  // Hides the window.
  void ReleaseHandle();
  bool Active() const;

 protected:
  void CreateParams(TCreateParams& Params) override;
  void InitWidget() override;
  void Paint() override;
};

using THintWindowClass = THintWindow* (*)(TComponent* AOwner);
template <class T>
THintWindow* MakeHintWindow(TComponent* AOwner) {
  return new T(AOwner);
}

struct THintInfo {
  TControl* HintControl = nullptr;
  THintWindowClass HintWindowClass = nullptr;
  TPoint HintPos;  // screen
  int HintMaxWidth = 0;
  TColor HintColor = clInfoBk;
  TRect CursorRect;  // HintControl's client coordinates
  TPoint CursorPos;  // HintControl's client coordinates
  int ReshowTimeout = 0;
  int HideTimeout = 0;
  String HintStr;
  void* HintData = nullptr;
};

// The parts of a hint "short|long" (without "|" both are the whole text).
String GetShortHint(const String& Hint);
String GetLongHint(const String& Hint);
