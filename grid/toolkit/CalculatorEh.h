// CalculatorEh: a four-function calculator and its drop-down.
//
// TCalculatorEh builds its face from its form resource "TCALCULATOREH" (a
// display and 23 key buttons) and scales like a form when it reads it: when
// the text height of "0" in its font differs from the height stored in the
// resource, the keys, the display and the client size are scaled by the
// ratio. It keeps a running result with one pending operator. Keys come from
// the keyboard (characters) and from the key buttons (each passes the
// character of its Tag):
//
//   "0".."9"      digits (at most 15, not after an exponent)
//   "." "," or the locale's decimal separator
//   "+" "-" "*" "/" "%" "=" Enter   operators ("%" takes the percentage of
//                 the pending "+"/"-" operand, or divides by 100 for "*"/"/")
//   "I" sign      "R" reciprocal      "S" square root
//   "C" Esc clear   Backspace   Ctrl+C copy   Ctrl+V paste
//
// Division by 0, the reciprocal of 0, the square root of a negative number
// and a result out of the floating-point range show "Error" and lock every
// key but "C". The Ok key reads "=" while a pending operator waits for the
// number being entered, else "Ok".
//
// TPopupCalculatorEh is the drop-down form: a tool window that never takes
// the focus and never activates. It is owned by the editor it drops from and
// has no parent control (a window of its own). It hands its value back
// through its Owner's IPopupOwnerEh: Enter or "=" while the Ok key reads
// "Ok" closes it with CloseUp(true) (while it reads "=" the key computes),
// Esc (key down) and CM_CLOSEUPCANCELEH (while it shows) close it with
// CloseUp(false). Its owner forwards the keys typed into the editor
// (WM_KEYDOWN and WM_CHAR) to its window and reaches the value through
// IPopupCalculatorEh.
#pragma once

#include "grid/toolkit/ToolCtrlsEh.h"
#include "platform/gui/Controls.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/Forms.h"
#include "platform/gui/StdCtrls.h"
#include "platform/rtl/Interfaces.h"
#include "platform/rtl/Variants.h"

class TReader;

RTL_ENUM(TCalcStatusEh, cstStartEh, cstEnteringEh, cstErrorEh);

class TCalculatorEh : public TCustomControl {
 public:
  // Reads the form resource "TCALCULATOREH" (EResNotFound without it).
  explicit TCalculatorEh(TComponent* AOwner);

  // From the form resource.
  TPanel* Panel1 = nullptr;
  // The display.
  TLabel* TextBox = nullptr;
  // The Ok key.
  TSpeedButtonEh* spEqual = nullptr;

  TCalcStatusEh Status() const { return status_; }
  // The result so far.
  double Operand() const { return operand_; }
  // The pending operator: '+', '-', '*', '/', '%', '=', '\r', or 0 before the
  // first one.
  char Operator() const { return operator_; }

  // The display's text.
  String Display() const;
  // Its value (0 in the error state).
  double GetDisplay() const;
  // Shows Value in general format with 15 significant digits.
  void SetDisplay(double Value);

  // One key (see above).
  virtual void ProcessKey(char Key);
  // The OnClick of every key button: the character of its Tag.
  void SpeedButtonClick(TObject* Sender);

  TBorderStyle BorderStyle() const { return border_style_; }
  // A change makes the window anew.
  void SetBorderStyle(TBorderStyle Value);
  // Sizes itself to the client size read from the resource (and scaled)
  // plus its border.
  bool AutoSize() const { return auto_size_; }
  void SetAutoSize(bool Value);
  // The screen's value; a stored value replaces it only while reading.
  int PixelsPerInch() const;
  void SetPixelsPerInch(int Value);
  // The text height stored in the resource (the defined property
  // "TextHeight").
  int TextHeight() const { return text_height_; }
  void ReadTextHeight(TReader& Reader);
  // Kept for form data: writing does nothing.
  bool OldCreateOrder() const { return false; }
  void SetOldCreateOrder(bool) {}
  // While reading, the client size is kept for the automatic size instead
  // of being applied.
  void SetClientWidth(int Value) override;
  void SetClientHeight(int Value) override;

  // The non-client height the window's styles add (AdjustWindowRectEx).
  virtual int GetBorderSize();

  void SetParent(TWinControl* AParent) override;
  void KeyPress(WideChar& Key) override;
  bool DoMouseWheelDown(TShiftState Shift, TPoint MousePos) override;
  bool DoMouseWheelUp(TShiftState Shift, TPoint MousePos) override;
  void WndProc(TMessage& Message) override;

 protected:
  void CreateParams(TCreateParams& Params) override;
  bool CanResize(int& NewWidth, int& NewHeight) override;
  void FontChanged() override;
  // The size AutoSize gives: the kept client size plus GetBorderSize.
  virtual bool CanAutoSize(int& NewWidth, int& NewHeight);
  void AdjustSize();
  // Updates the Ok key's caption ("=" or "Ok").
  void UpdateOkCaption();
  // Shows a computed value, or the error when it is not finite.
  void ShowResult(double Value);
  void ShowError();

 private:
  void ReadFormResource();
  // The entering check: start -> entering with the display "0".
  void BeginEntering();
  void Clear();
  void Operation(char Key);
  void Step(double Delta);

  TCalcStatusEh status_ = cstStartEh;
  double operand_ = 0;
  char operator_ = 0;
  TBorderStyle border_style_ = bsNone;
  bool auto_size_ = false;
  int pixels_per_inch_ = 0;
  int text_height_ = 0;
  int client_width_ = 0;
  int client_height_ = 0;
  bool font_streamed_ = false;
};

// The value and look of a drop-down calculator, for its owner.
class IPopupCalculatorEh {
 public:
  // {697F81AD-0E0F-4A4A-A016-A713620660DE}
  static constexpr TGUID IID{0x697F81AD, 0x0E0F, 0x4A4A, {0xA0, 0x16, 0xA7, 0x13, 0x62, 0x06, 0x60, 0xDE}};
  // True when the Ok key reads "Ok" (the shown value is a finished result).
  virtual bool GetResultOk() = 0;
  virtual bool GetFlat() = 0;
  // The display as a Double; in the error state a value of the error kind
  // (code -1).
  virtual Variant GetValue() = 0;
  virtual void SetFlat(bool Value) = 0;
  // Clears the calculator and shows Value converted to a Double.
  virtual void SetValue(const Variant& Value) = 0;

 protected:
  ~IPopupCalculatorEh() = default;
};

class TPopupCalculatorEh : public TCalculatorEh, public IPopupCalculatorEh {
 public:
  explicit TPopupCalculatorEh(TComponent* AOwner);

  // 2 with Ctl3D, else 0: the raised border inside the window's edge.
  int BorderWidth() const { return border_width_; }
  bool Flat() const { return flat_; }

  bool CanFocus() const override { return false; }
  void ProcessKey(char Key) override;
  void KeyDown(Word& Key, TShiftState Shift) override;
  void WndProc(TMessage& Message) override;

  bool GetResultOk() override;
  bool GetFlat() override { return flat_; }
  Variant GetValue() override;
  // Every key button follows.
  void SetFlat(bool Value) override;
  void SetValue(const Variant& Value) override;

 protected:
  void CreateParams(TCreateParams& Params) override;
  bool CanAutoSize(int& NewWidth, int& NewHeight) override;
  virtual void PaintBorder();

 private:
  int border_width_ = 2;
  bool flat_ = false;
};

class TUnit;
extern const TUnit unit_CalculatorEh;
