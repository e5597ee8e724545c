#include "framework/BF_Msg.h"

#include <algorithm>
#include <cctype>

#include "framework/B_ComCTR.h"
#include "framework/B_PF.h"
#include "platform/gui/Messages.h"
#include "platform/rtl/Locale.h"
#include "platform/rtl/SysUtils.h"
#include "platform/rtl/TypInfo.h"
#include "platform/rtl/UnitInit.h"

void RegisterBF_MsgResources();

// ---------------------------------------------------------------------------
// Plain parts

TMsgButtonSpec ParseMsgButtons(const String& Spec) {
  std::vector<String> items;
  for (int i = 0;; ++i) {
    String item = GetListItem(Spec, i);
    if (item.empty()) break;
    items.push_back(std::move(item));
  }
  if (items.size() < 3) items = {"1", "1", "ОК"};
  TMsgButtonSpec result;
  result.Default = StrToIntDef(items[0], 1);
  result.Cancel = StrToIntDef(items[1], 1);
  for (size_t i = 2; i < items.size(); ++i) {
    const String& item = items[i];
    size_t bar = item.find('|');
    if (bar == String::npos) result.Buttons.push_back({item, {}});
    else result.Buttons.push_back({item.substr(0, bar), item.substr(bar + 1)});
  }
  return result;
}

String MsgButtonImage(const String& Caption) {
  const String upper = AnsiUpperCase(Caption);
  auto any = [&upper](std::initializer_list<const char*> Names) {
    return std::any_of(Names.begin(), Names.end(), [&upper](const char* N) { return upper == N; });
  };
  if (any({"ДА", "YES", "ОК", "OK"})) return "IM_OK";
  if (any({"НЕТ", "NO", "ОТМЕНИТЬ", "CANCEL"})) return "IM_CLOSEW";
  if (any({"ОБНОВИТЬ", "UPDATE"})) return "IM_UPDATE";
  return {};
}

String MsgTypePrefix(TB_MsgType MsgType) {
  switch (MsgType) {
    case b_mtInfo: return "Информыция ";
    case b_mtWARNING: return "Внимание ";
    case b_mtError: return "Ошибка ";
    default: return {};
  }
}

namespace {

bool IsDigit(char C) { return std::isdigit(static_cast<unsigned char>(C)) != 0; }

// Reads the first run of digits at or after From as a number less one (a
// run that is absent or does not convert reads as 1); From moves past it.
int ReadPosition(const String& Text, size_t& From) {
  size_t i = From;
  while (i < Text.size() && !IsDigit(Text[i])) ++i;
  size_t j = i;
  while (j < Text.size() && IsDigit(Text[j])) ++j;
  From = j;
  return std::max(0, StrToIntDef(Text.substr(i, j - i), 1) - 1);
}

}  // namespace

void MsgErrorPosition(const String& Text, int& Line, int& Column) {
  Line = Column = 0;
  size_t at = Text.find("line ");
  if (at == String::npos) return;
  at += 5;
  Line = ReadPosition(Text, at);
  size_t col = Text.find("char ", at);
  size_t skip = 5;
  if (col == String::npos) col = Text.find("column ", at), skip = 7;
  if (col == String::npos) return;
  col += skip;
  Column = ReadPosition(Text, col);
}

// ---------------------------------------------------------------------------
// TFormMsg

void TFormMsg::FormCreate(TObject*) { msg_type_ = b_mtInfo; }

void TFormMsg::SetMsgType(TB_MsgType Value) {
  msg_type_ = Value;
  if (B_Image1 != nullptr) B_Image1->Bitmaps()->SetCurrentImage(static_cast<int>(Value) + 1);
}

void TFormMsg::FormShow(TObject*) {
  buttons_width_ = 0;
  TMsgButtonSpec spec = ParseMsgButtons(buttons_);
  const int count = static_cast<int>(spec.Buttons.size());
  cancel_ = spec.Cancel >= 1 && spec.Cancel <= count ? spec.Cancel : 0;
  for (int k = 1; k <= count; ++k) {
    const TMsgButtonItem& item = spec.Buttons[static_cast<size_t>(k - 1)];
    auto* b = Create<TB_BitBtn>(this);
    b->SetParent(P_Button);
    b->SetDefault(k == spec.Default);
    b->SetCancel(k == spec.Cancel);
    b->SetModalResult(k);
    b->TextGroup()->SetText(item.Caption);
    b->Bitmaps()->SetImagesName("App_ImageList16");
    b->Bitmaps()->SetNameBitmap(item.Image.empty() ? MsgButtonImage(item.Caption) : item.Image);
    b->SetAutoSize(true);
    b->SetAutoSize(false);
    b->SetHeight(b->Height() + 2);
    b->SetWidth(b->Width() + 10);
    buttons_width_ += b->Width();
    button_list_.push_back(b);
  }

  if (Caption().empty()) SetCaption("\"" + (Application != nullptr ? Application->Title() : String()) + "\"");
  SetCaption(MsgTypePrefix(msg_type_) + Caption());

  LayoutButtons();

  M_Error->SetVisible(!M_Error->Text().empty());
  M_Text->SetVisible(!M_Text->Text().empty());

  int line = 0, column = 0;
  MsgErrorPosition(M_Error->Text(), line, column);
  SetTextCaret(line, column);

  if (M_Error->Visible() && !M_Text->Visible()) {
    SetClientHeight(ClientHeight() - M_Text->Height());
    M_Error->SetAlign(alClient);
  }

  M_TextClick(this);
  // Enter presses the focused button: the default one takes the focus.
  if (spec.Default >= 1 && spec.Default <= count) FocusControl(button_list_[static_cast<size_t>(spec.Default - 1)]);
  else SelectFirstControl(P_Button);
}

void TFormMsg::FormResize(TObject*) { LayoutButtons(); }

void TFormMsg::LayoutButtons() {
  if (P_Button == nullptr || button_list_.empty() || laying_out_) return;
  laying_out_ = true;  // widening the form resizes it again
  int left = MsgButtonsLeft(P_Button->ClientWidth(), buttons_width_);
  for (TB_BitBtn* b : button_list_) {
    b->SetBounds(left, 6, b->Width(), b->Height());
    left += b->Width();
  }
  int wanted = MsgFormClientWidth(ClientWidth(), P_Button->Width() - P_Button->ClientWidth(), buttons_width_);
  try {
    if (wanted != ClientWidth()) SetClientWidth(wanted);
  } catch (...) {
    laying_out_ = false;
    throw;
  }
  laying_out_ = false;
}

void TFormMsg::SetTextCaret(int Line, int Column) {
  TStrings* lines = M_Text->Lines();
  const int count = lines->Count();
  size_t offset = 0;
  if (count > 0) {
    Line = std::clamp(Line, 0, count - 1);
    for (int i = 0; i < Line; ++i) offset += lines->Strings(i).size() + 2;
    const String& text = lines->Strings(Line);
    offset += Utf8Prefix(text, static_cast<size_t>(std::max(Column, 0)));
  }
  M_Text->Perform(EM_SETSEL, offset, static_cast<LPARAM>(offset));
  M_Text->Perform(EM_SCROLLCARET);
}

void TFormMsg::TextCaret(int& Line, int& Column) const {
  Cardinal start = 0;
  M_Text->Perform(EM_GETSEL, reinterpret_cast<WPARAM>(&start), 0);
  String head = M_Text->Text().substr(0, start);
  size_t line_start = head.rfind('\n');
  line_start = line_start == String::npos ? 0 : line_start + 1;
  Line = static_cast<int>(std::count(head.begin(), head.end(), '\n'));
  Column = static_cast<int>(Utf8Length(head.substr(line_start)));
}

void TFormMsg::M_TextClick(TObject*) {
  if (B_Panel5 == nullptr || M_Text == nullptr) return;
  if (!M_Text->Visible()) {
    B_Panel5->TextGroup()->SetText("");
    return;
  }
  int line = 0, column = 0;
  TextCaret(line, column);
  B_Panel5->TextGroup()->SetText(IntToStr(line + 1) + " : " + IntToStr(column + 1));
}

void TFormMsg::M_TextKeyUp(TObject* Sender, Word&, TShiftState) { M_TextClick(Sender); }

void TFormMsg::B_BitBtn1Click(TObject*) {
  M_Error->Perform(EM_SETSEL, 0, -1);
  M_Error->Perform(WM_COPY);
}

void TFormMsg::B_HiResTimer1Timer(TObject*) {
  // A window under a modal one counts as disabled: the topmost stays on top.
  if (HandleAllocated() && Screen != nullptr && Screen->ActiveForm() != this && Visible() &&
      IsWindowEnabled(Handle()))
    BringToFront();
}

bool TFormMsg::WidgetCloseRequested() {
  if (Modal() && cancel_ > 0) {
    SetModalResult(cancel_);
    return false;
  }
  return TForm::WidgetCloseRequested();
}

// ---------------------------------------------------------------------------
// Unit

namespace {

void InitBF_Msg() {
  RegisterBF_MsgResources();
  using F = TFormMsg;
  RegisterClass<F, TForm>("TFormMsg")
      .Method("FormCreate", &F::FormCreate)
      .Method("FormResize", &F::FormResize)
      .Method("FormShow", &F::FormShow)
      .Method("M_TextClick", &F::M_TextClick)
      .Method("M_TextKeyUp", &F::M_TextKeyUp)
      .Method("B_BitBtn1Click", &F::B_BitBtn1Click)
      .Method("B_HiResTimer1Timer", &F::B_HiResTimer1Timer)
      .Field("B_Panel5", &F::B_Panel5)
      .Field("B_Image1", &F::B_Image1)
      .Field("B_BitBtn1", &F::B_BitBtn1)
      .Field("P_Button", &F::P_Button)
      .Field("P_Text", &F::P_Text)
      .Field("M_Error", &F::M_Error)
      .Field("B_Split1", &F::B_Split1)
      .Field("M_Text", &F::M_Text)
      .Field("B_HiResTimer1", &F::B_HiResTimer1);
}

constexpr const TUnit* kUses[] = {&unit_Forms, &unit_B_PF, &unit_B_ComCTR, &unit_B_Time, &unit_Bstdctrl};

}  // namespace

constinit const TUnit unit_BF_Msg("BF_Msg", kUses, InitBF_Msg, nullptr);
