// The message window TFormMsg, built from its form resource: an icon per
// message type, the message (M_Error) over a further text (M_Text, such as an
// SQL text) and a row of buttons made from a button specification.
//
// Button specification: a field string (B_PF.h) "default;cancel;button;...":
// the numbers of the default button (Enter) and of the cancel button
// (Escape), 1 when not a number, then one item per button, numbered from 1,
// "Caption" or "Caption|IMAGE" (an image of "App_ImageList16"). It ends at
// the first empty item; fewer than three items mean "1;1;ОК". A button
// without an image name gets one from its caption upper-cased under the
// user's locale (MsgButtonImage).
//
// Show: the buttons are made and centred in P_Button (the form widens to
// hold them), the caption gets the type's prefix ("Информыция ",
// "Внимание ", "Ошибка "; an empty caption is the application's title in
// double quotes), an empty text box is hidden (with only the message shown
// the window loses M_Text's height), the caret of M_Text goes to the "line"
// and "char" (or "column") numbers of the message, and B_Panel5 shows the
// caret as "line : column" (1-based); the default button (else the first
// one) has the focus. B_BitBtn1 copies the message. Every
// second the timer raises the window while it is shown, enabled and not the
// application's active form.
//
// Closing the window by its frame counts as the cancel button when there is
// one (platform close code mrCancel otherwise).
#pragma once

#include <vector>

#include "framework/BButton.h"
#include "framework/B_Time.h"
#include "framework/Bstdctrl.h"
#include "platform/gui/Forms.h"

RTL_ENUM(TB_MsgType, b_mtInfo, b_mtQUESTION, b_mtWARNING, b_mtError);

inline constexpr const char* kDefaultMsgButtons = "1;1;ОК";

struct TMsgButtonItem {
  String Caption;
  String Image;  // as given; empty when the item names none
};

struct TMsgButtonSpec {
  int Default = 1;
  int Cancel = 1;
  std::vector<TMsgButtonItem> Buttons;
};

// Reads a button specification (falls back to "1;1;ОК" as above).
TMsgButtonSpec ParseMsgButtons(const String& Spec);
// The image a caption chooses: "IM_OK", "IM_CLOSEW", "IM_UPDATE" or "".
String MsgButtonImage(const String& Caption);
// The caption prefix of a message type.
String MsgTypePrefix(TB_MsgType MsgType);
// The caret (0-based line and column) named by "line N" and then "char M"
// or "column M" in Text; 0 where absent or not a number, never negative.
void MsgErrorPosition(const String& Text, int& Line, int& Column);
// The left of the first button in a panel of client width PanelWidth for
// buttons of summed width Summed.
inline int MsgButtonsLeft(int PanelWidth, int Summed) { return PanelWidth >= Summed ? (PanelWidth - Summed) / 2 : 0; }
// The form's client width that holds the buttons and the panel's border.
inline int MsgFormClientWidth(int FormClientWidth, int PanelBorder, int Summed) {
  return PanelBorder + Summed > FormClientWidth ? PanelBorder + Summed : FormClientWidth;
}

class TFormMsg : public TForm {
 public:
  using TForm::TForm;

  TB_Panel* B_Panel5 = nullptr;
  TB_Image* B_Image1 = nullptr;
  TB_BitBtn* B_BitBtn1 = nullptr;
  TB_Panel* P_Button = nullptr;
  TB_Panel* P_Text = nullptr;
  TB_Memo* M_Error = nullptr;
  TB_Split* B_Split1 = nullptr;
  TB_Memo* M_Text = nullptr;
  TB_HiResTimer* B_HiResTimer1 = nullptr;

  TB_MsgType MsgType() const { return msg_type_; }
  // Also selects the type's image of B_Image1.
  void SetMsgType(TB_MsgType Value);
  const String& Buttons() const { return buttons_; }
  void SetButtons(const String& Value) { buttons_ = Value; }
  // The buttons made at show, in order, and their summed width.
  const std::vector<TB_BitBtn*>& ButtonList() const { return button_list_; }
  int ButtonsWidth() const { return buttons_width_; }

  void FormCreate(TObject* Sender);
  void FormResize(TObject* Sender);
  void FormShow(TObject* Sender);
  void M_TextClick(TObject* Sender);
  void M_TextKeyUp(TObject* Sender, Word& Key, TShiftState Shift);
  void B_BitBtn1Click(TObject* Sender);
  void B_HiResTimer1Timer(TObject* Sender);

  // The caret of M_Text: 0-based line and column (characters).
  void SetTextCaret(int Line, int Column);
  void TextCaret(int& Line, int& Column) const;

  bool WidgetCloseRequested() override;

 private:
  void LayoutButtons();

  TB_MsgType msg_type_ = b_mtInfo;
  String buttons_;
  int buttons_width_ = 0;
  int cancel_ = 0;  // the cancel button's number, 0 when no button is one
  bool laying_out_ = false;
  std::vector<TB_BitBtn*> button_list_;
};

class TUnit;
extern const TUnit unit_BF_Msg;
