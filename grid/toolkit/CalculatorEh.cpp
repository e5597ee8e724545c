// CalculatorEh: the calculator, its form resource and its drop-down.
#include "grid/toolkit/CalculatorEh.h"

#include <cmath>
#include <iterator>

#include "platform/gui/Clipbrd.h"
#include "platform/gui/GDI.h"
#include "platform/gui/Popup.h"
#include "platform/os/Resources.h"
#include "platform/rtl/FormStream.h"
#include "platform/rtl/SysUtils.h"
#include "platform/rtl/UnitInit.h"

// Generated from resources/CalculatorEh.dfm.
void RegisterCalculatorEhResources();

namespace {

const char kResourceName[] = "TCALCULATOREH";

// The character each key button passes, by its Tag.
constexpr char kKeyChars[] = {0,   '7', '8', '9', '/', 'S', 'C',  '4', '5', '6', '*', '%',
                              'A', '1', '2', '3', '-', 'R', '\b', '0', 'I', '.', '+', '='};

constexpr size_t kMaxDigits = 15;
constexpr int kPopupBorder = 2;

bool IsDecimalKey(char Key) { return Key == '.' || Key == ',' || Key == FormatSettings.DecimalSeparator; }

bool IsArithmetic(char Operator) {
  return Operator == '+' || Operator == '-' || Operator == '*' || Operator == '/';
}

int ScreenPixelsPerInch() { return Screen != nullptr ? Screen->PixelsPerInch() : 96; }

template <class F>
void ForEachKey(TWinControl* Control, F Action) {
  for (int i = 0; i < Control->ControlCount(); ++i) {
    if (auto* key = dynamic_cast<TSpeedButtonEh*>(Control->Controls(i))) Action(key);
  }
}

// The border the window's styles give it on each side: what AdjustWindowRectEx
// adds to an empty rectangle. A window the window manager frames (one with a
// caption) has none of its own.
TRect StyleInsets(const TCreateParams& Params) {
  TRect r{0, 0, 0, 0};
  if ((Params.Style & WS_CAPTION) == WS_CAPTION) return r;
  AdjustWindowRectEx(&r, Params.Style, false, Params.ExStyle);
  return r;
}

}  // namespace

// ---------------------------------------------------------------------------
// TCalculatorEh

TCalculatorEh::TCalculatorEh(TComponent* AOwner) : TCustomControl(AOwner) {
  SetColor(clWindow);
  SetTabStop(true);
  pixels_per_inch_ = ScreenPixelsPerInch();
  ReadFormResource();
  ForEachKey(this, [](TSpeedButtonEh* Key) {
    Key->SetStyle(ebsGlyphEh);
    Key->SetActive(true);
  });
  SetAutoSize(true);
}

void TCalculatorEh::ReadFormResource() {
  const TResource* res = FindResource(kResourceName, RT_RCDATA);
  if (res == nullptr) throw EResNotFound("Resource %s not found", {kResourceName});
  DisableAlign();
  struct Reading {
    TCalculatorEh* self;
    explicit Reading(TCalculatorEh* c) : self(c) { self->SetControlState(self->ControlState() + TControlState{csReadingState}); }
    ~Reading() {
      self->SetControlState(self->ControlState() - TControlState{csReadingState});
      self->EnableAlign();
    }
  } reading(this);
  client_width_ = client_height_ = 0;
  text_height_ = 0;
  font_streamed_ = false;
  ReadComponentFromText(this, String(reinterpret_cast<const char*>(res->Data.data()), res->Data.size()));
  if (pixels_per_inch_ == 0 || text_height_ == 0) return;
  // As a form: the font to the screen's resolution, then everything by the
  // ratio of the font's height here to the height it had when designed.
  const int screen = ScreenPixelsPerInch();
  if (font_streamed_ && pixels_per_inch_ != screen) Font()->SetHeight(MulDiv(Font()->Height(), screen, pixels_per_inch_));
  pixels_per_inch_ = screen;
  TCanvas measure;
  measure.Font()->Assign(Font());
  const int measured = measure.TextHeight("0");
  if (measured != text_height_) {
    ScaleControls(measured, text_height_);
    client_width_ = MulDiv(client_width_, measured, text_height_);
    client_height_ = MulDiv(client_height_, measured, text_height_);
  }
}

void TCalculatorEh::ReadTextHeight(TReader& Reader) { text_height_ = Reader.ReadInteger(); }

void TCalculatorEh::FontChanged() {
  TCustomControl::FontChanged();
  if (ControlState().Contains(csReadingState)) font_streamed_ = true;
}

String TCalculatorEh::Display() const { return TextBox != nullptr ? TextBox->Caption() : String("0"); }

double TCalculatorEh::GetDisplay() const {
  if (status_ == cstErrorEh) return 0;
  return StrToFloat(Trim(Display()));
}

void TCalculatorEh::SetDisplay(double Value) {
  if (TextBox != nullptr) TextBox->SetCaption(FloatToStrF(Value, ffGeneral, 15, 0));
}

void TCalculatorEh::ShowResult(double Value) {
  if (std::isfinite(Value)) SetDisplay(Value);
  else ShowError();
}

void TCalculatorEh::ShowError() {
  status_ = cstErrorEh;
  if (TextBox != nullptr) TextBox->SetCaption("Error");
}

void TCalculatorEh::BeginEntering() {
  if (status_ != cstStartEh) return;
  status_ = cstEnteringEh;
  TextBox->SetCaption("0");
}

void TCalculatorEh::Clear() {
  status_ = cstStartEh;
  TextBox->SetCaption("0");
  operator_ = '=';
  operand_ = 0;
}

void TCalculatorEh::ProcessKey(char Key) {
  if (TextBox == nullptr) return;
  if (Key >= 'a' && Key <= 'z') Key = static_cast<char>(Key - 'a' + 'A');
  if (status_ == cstErrorEh && Key != 'C') Key = 0;
  if (IsDecimalKey(Key)) {
    BeginEntering();
    // No separator after an exponent: the display stays a number.
    String text = Display();
    if (text.find(FormatSettings.DecimalSeparator) == String::npos && text.find('E') == String::npos)
      TextBox->SetCaption(text + FormatSettings.DecimalSeparator);
  } else {
    switch (Key) {
      case 'I':
        SetDisplay(-GetDisplay());
        break;
      case 'R': {
        status_ = cstStartEh;
        const double v = GetDisplay();
        if (v == 0) ShowError();
        else ShowResult(1 / v);
        break;
      }
      case 'S': {
        status_ = cstStartEh;
        const double v = GetDisplay();
        if (v < 0) ShowError();
        else ShowResult(std::sqrt(v));
        break;
      }
      case 'C':
      case 27:
        Clear();
        break;
      case '0': case '1': case '2': case '3': case '4':
      case '5': case '6': case '7': case '8': case '9': {
        BeginEntering();
        String text = Display();
        if (text == "0") text.clear();
        const size_t limit = !text.empty() && text[0] == '-' ? kMaxDigits + 1 : kMaxDigits;
        if (text.find('E') == String::npos && text.size() < limit) text += Key;
        TextBox->SetCaption(text);
        break;
      }
      case '\b': {
        BeginEntering();
        String text = Display();
        if (text.size() == 1 || (text.size() == 2 && text[0] == '-')) {
          text = "0";
        } else {
          text.pop_back();
          // Never an exponent without its digits.
          if (text.find('E') != String::npos) {
            while (!text.empty() && (text.back() == 'E' || text.back() == '+' || text.back() == '-')) text.pop_back();
          }
        }
        TextBox->SetCaption(text);
        break;
      }
      case 3:
        Clipboard()->SetAsText(Display());
        break;
      case 22:
        if (Clipboard()->HasFormat(CF_TEXT)) ShowResult(StrToFloat(Trim(Clipboard()->AsText())));
        break;
      case '+': case '-': case '*': case '/': case '%': case '=': case '\r':
        Operation(Key);
        break;
      default:
        break;
    }
  }
  UpdateOkCaption();
}

void TCalculatorEh::Operation(char Key) {
  if (status_ == cstEnteringEh) {
    status_ = cstStartEh;
    double r = GetDisplay();
    if (Key == '%') {
      if (operator_ == '+' || operator_ == '-') r = operand_ * r / 100;
      else if (operator_ == '*' || operator_ == '/') r = r / 100;
    }
    switch (operator_) {
      case '*': ShowResult(operand_ * r); break;
      case '+': ShowResult(operand_ + r); break;
      case '-': ShowResult(operand_ - r); break;
      case '/':
        if (r == 0) ShowError();
        else ShowResult(operand_ / r);
        break;
      default: break;
    }
  }
  operator_ = Key;
  operand_ = GetDisplay();
}

void TCalculatorEh::UpdateOkCaption() {
  if (spEqual == nullptr) return;
  const bool pending = status_ == cstEnteringEh && operand_ != 0 && IsArithmetic(operator_);
  spEqual->SetCaption(pending ? "=" : "Ok");
}

void TCalculatorEh::SpeedButtonClick(TObject* Sender) {
  auto* key = dynamic_cast<TComponent*>(Sender);
  const NativeInt tag = key != nullptr ? key->Tag() : 0;
  ProcessKey(tag >= 0 && tag < static_cast<NativeInt>(std::size(kKeyChars)) ? kKeyChars[tag] : 0);
}

void TCalculatorEh::KeyPress(WideChar& Key) {
  TCustomControl::KeyPress(Key);
  ProcessKey(Key < 128 ? static_cast<char>(Key) : 0);
}

void TCalculatorEh::Step(double Delta) {
  if (status_ != cstErrorEh) SetDisplay(GetDisplay() + Delta);
}

bool TCalculatorEh::DoMouseWheelDown(TShiftState Shift, TPoint MousePos) {
  if (!TCustomControl::DoMouseWheelDown(Shift, MousePos)) Step(-1);
  return true;
}

bool TCalculatorEh::DoMouseWheelUp(TShiftState Shift, TPoint MousePos) {
  if (!TCustomControl::DoMouseWheelUp(Shift, MousePos)) Step(1);
  return true;
}

void TCalculatorEh::SetBorderStyle(TBorderStyle Value) {
  if (Value == border_style_) return;
  border_style_ = Value;
  RecreateWnd();
  AdjustSize();
}

int TCalculatorEh::PixelsPerInch() const { return pixels_per_inch_ != 0 ? pixels_per_inch_ : ScreenPixelsPerInch(); }

void TCalculatorEh::SetPixelsPerInch(int Value) {
  if (Value == PixelsPerInch() || (Value != 0 && Value < 36)) return;
  if (IsLoading() && pixels_per_inch_ == 0) return;
  pixels_per_inch_ = Value;
}

void TCalculatorEh::SetClientWidth(int Value) {
  if (!ControlState().Contains(csReadingState)) return TCustomControl::SetClientWidth(Value);
  client_width_ = Value;
  SetScalingFlags(ScalingFlags() + TScalingFlags{sfWidth});
}

void TCalculatorEh::SetClientHeight(int Value) {
  if (!ControlState().Contains(csReadingState)) return TCustomControl::SetClientHeight(Value);
  client_height_ = Value;
  SetScalingFlags(ScalingFlags() + TScalingFlags{sfHeight});
}

void TCalculatorEh::SetParent(TWinControl* AParent) {
  TCustomControl::SetParent(AParent);
  AdjustSize();  // the window's styles, and so its border, follow the parent
}

void TCalculatorEh::SetAutoSize(bool Value) {
  if (Value == auto_size_) return;
  auto_size_ = Value;
  AdjustSize();
}

bool TCalculatorEh::CanAutoSize(int& NewWidth, int& NewHeight) {
  const int border = GetBorderSize();
  NewWidth = client_width_ + border;
  NewHeight = client_height_ + border;
  return true;
}

void TCalculatorEh::AdjustSize() {
  int w = Width(), h = Height();
  if (auto_size_ && CanAutoSize(w, h)) SetBounds(Left(), Top(), w, h);
}

bool TCalculatorEh::CanResize(int& NewWidth, int& NewHeight) {
  int w = NewWidth, h = NewHeight;
  if (auto_size_ && !IsLoading() && CanAutoSize(w, h)) {
    NewWidth = w;
    NewHeight = h;
  }
  return TCustomControl::CanResize(NewWidth, NewHeight);
}

int TCalculatorEh::GetBorderSize() {
  TCreateParams params;
  CreateParams(params);
  const TRect r = StyleInsets(params);
  return r.Bottom - r.Top;
}

void TCalculatorEh::CreateParams(TCreateParams& Params) {
  TCustomControl::CreateParams(Params);
  if (border_style_ != bsSingle) return;
  if (Ctl3D()) Params.ExStyle |= WS_EX_CLIENTEDGE;
  else Params.Style |= WS_BORDER;
}

void TCalculatorEh::WndProc(TMessage& Message) {
  TCustomControl::WndProc(Message);
  // The platform frames windows of their own; inside a parent the border of
  // the styles is drawn here.
  if ((Message.Msg != WM_NCCALCSIZE && Message.Msg != WM_NCPAINT) || Parent() == nullptr) return;
  TCreateParams params;
  CreateParams(params);
  const TRect border = StyleInsets(params);
  if (Message.Msg == WM_NCCALCSIZE) {
    if (Message.LParam == 0) return;
    TRect& client = reinterpret_cast<NCCALCSIZE_PARAMS*>(Message.LParam)->rgrc[0];
    client.Left -= border.Left;
    client.Top -= border.Top;
    client.Right -= border.Right;
    client.Bottom -= border.Bottom;
    return;
  }
  HDC dc = GetWindowDC(Handle());
  if (dc == nullptr) return;
  TRect r = Rect(0, 0, Width(), Height());
  if (params.Style & WS_BORDER) {
    FrameRect(dc, r, GetSysColorBrush(COLOR_WINDOWFRAME));
    InflateRect(r, -1, -1);
  }
  if (params.ExStyle & WS_EX_CLIENTEDGE) DrawEdge(dc, r, EDGE_SUNKEN, BF_RECT);
}

// ---------------------------------------------------------------------------
// TPopupCalculatorEh

TPopupCalculatorEh::TPopupCalculatorEh(TComponent* AOwner) : TCalculatorEh(AOwner) {
  SetControlStyle(ControlStyle() + TControlStyle{csReplicatable});
  SetCtl3D(true);
  SetParentCtl3D(false);
  SetTabStop(false);
  border_width_ = Ctl3D() ? kPopupBorder : 0;
  SetFlat(true);
  AdjustSize();
}

void TPopupCalculatorEh::CreateParams(TCreateParams& Params) {
  TCalculatorEh::CreateParams(Params);
  PopupCreateParamsEh(Params, Ctl3D());
}

bool TPopupCalculatorEh::CanAutoSize(int& NewWidth, int& NewHeight) {
  TCalculatorEh::CanAutoSize(NewWidth, NewHeight);
  NewWidth += 2 * border_width_;
  NewHeight += 2 * border_width_;
  return true;
}

void TPopupCalculatorEh::ProcessKey(char Key) {
  // The owner may hide the popup: nothing here runs after the close-up.
  if ((Key == '=' || Key == '\r') && GetResultOk() && CloseUpPopupOwnerEh(this, true)) return;
  TCalculatorEh::ProcessKey(Key);
}

void TPopupCalculatorEh::KeyDown(Word& Key, TShiftState Shift) {
  TCalculatorEh::KeyDown(Key, Shift);
  if (Key == VK_ESCAPE && CloseUpPopupOwnerEh(this, false)) Key = 0;
}

void TPopupCalculatorEh::WndProc(TMessage& Message) {
  if (Message.Msg == WM_MOUSEACTIVATE) {
    Message.Result = MA_NOACTIVATE;
    return;
  }
  // Enter and Esc close it through ProcessKey and KeyDown.
  if (PopupCloseMessageEh(this, Message)) return;
  TCalculatorEh::WndProc(Message);
  PopupFrameMessageEh(Message, border_width_);
  switch (Message.Msg) {
    case WM_NCPAINT:
      PaintBorder();
      break;
    case CM_CTL3DCHANGED:
      border_width_ = Ctl3D() ? kPopupBorder : 0;
      RecreateWnd();
      AdjustSize();
      break;
    default:
      break;
  }
}

void TPopupCalculatorEh::PaintBorder() {
  if (!Ctl3D()) return;
  HDC dc = GetWindowDC(Handle());
  if (dc == nullptr) return;
  TRect r = Rect(0, 0, Width(), Height());
  FrameRect(dc, r, GetSysColorBrush(COLOR_3DDKSHADOW));
  InflateRect(r, -1, -1);
  DrawEdge(dc, r, BDR_RAISEDINNER, BF_RECT);
}

bool TPopupCalculatorEh::GetResultOk() { return spEqual != nullptr && spEqual->Caption() == "Ok"; }

Variant TPopupCalculatorEh::GetValue() {
  if (Status() == cstErrorEh) return VarAsError(-1);
  return Variant(GetDisplay());
}

void TPopupCalculatorEh::SetFlat(bool Value) {
  if (Value == flat_) return;
  flat_ = Value;
  ForEachKey(this, [Value](TSpeedButtonEh* Key) { Key->SetFlat(Value); });
}

void TPopupCalculatorEh::SetValue(const Variant& Value) {
  ProcessKey('C');
  ShowResult(Value.AsDouble());
}

// ---------------------------------------------------------------------------
// The unit

namespace {

void InitCalculatorEh() {
  RegisterCalculatorEhResources();
  using C = TCalculatorEh;
  RegisterClass<C, TCustomControl>("TCalculatorEh")
      .Prop("BorderStyle", &C::BorderStyle, &C::SetBorderStyle)
      .Prop("ClientHeight", &C::ClientHeight, &C::SetClientHeight)
      .Stored(false)
      .Prop("ClientWidth", &C::ClientWidth, &C::SetClientWidth)
      .Stored(false)
      .Prop("OldCreateOrder", &C::OldCreateOrder, &C::SetOldCreateOrder)
      .Stored(false)
      .Prop("PixelsPerInch", &C::PixelsPerInch, &C::SetPixelsPerInch)
      .Stored(false)
      .Defined("TextHeight", &C::ReadTextHeight, nullptr, nullptr)
      .Method("SpeedButtonClick", &C::SpeedButtonClick)
      .Field("Panel1", &C::Panel1)
      .Field("TextBox", &C::TextBox)
      .Field("spEqual", &C::spEqual);
  RegisterClass<TPopupCalculatorEh, TCalculatorEh>("TPopupCalculatorEh");
}

constexpr const TUnit* kUses[] = {&unit_ToolCtrlsEh, &unit_Clipbrd, &unit_Forms};

}  // namespace

constinit const TUnit unit_CalculatorEh("CalculatorEh", kUses, InitCalculatorEh, nullptr);
