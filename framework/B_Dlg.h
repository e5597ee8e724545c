// The message dialog TB_MsgDialog and the routines MsgBox/MsgBoxAt that show
// the message window (BF_Msg.h) and return the 1-based number of the pressed
// button; the replaceable procedures through which the host program serves
// the framework's data layer.
//
// Execute makes a TFormMsg owned by the application, shows it modally at
// ScreenLeft/ScreenTop (centred on the screen when both are 0) and frees it
// on every path; each call (nested ones too) has its own dialog and form.
//
// Replaceable procedures: plain routines. The unit's initialization installs
// the defaults and its finalization installs them again, so that no host
// routine is called after its own unit has ended.
#pragma once

#include <memory>

#include "framework/BF_Msg.h"
#include "platform/rtl/Component.h"
#include "platform/rtl/StringList.h"

class TFIBDatabase;
class TDataSource;

class TB_MsgDialog : public TComponent {
 public:
  explicit TB_MsgDialog(TComponent* AOwner);
  ~TB_MsgDialog() override;

  int ScreenTop() const { return screen_top_; }
  void SetScreenTop(int Value) { screen_top_ = Value; }
  int ScreenLeft() const { return screen_left_; }
  void SetScreenLeft(int Value) { screen_left_ = Value; }
  // Empty: the application's title in double quotes.
  const String& Title() const { return title_; }
  void SetTitle(const String& Value) { title_ = Value; }
  // The message (upper text box).
  TStrings* Error() const { return error_.get(); }
  void SetError(TStrings* Value) { error_->Assign(Value); }
  // Further text (lower text box), such as an SQL text.
  TStrings* Text() const { return text_.get(); }
  void SetText(TStrings* Value) { text_->Assign(Value); }
  TB_MsgType MsgType() const { return msg_type_; }
  void SetMsgType(TB_MsgType Value) { msg_type_ = Value; }
  const String& Buttons() const { return buttons_; }
  void SetButtons(const String& Value) { buttons_ = Value; }

  // The pressed button's number (the window's modal result).
  int Execute();

 private:
  int screen_top_ = 0;
  int screen_left_ = 0;
  String title_;
  std::unique_ptr<TStringList> error_;
  std::unique_ptr<TStringList> text_;
  TB_MsgType msg_type_ = b_mtInfo;
  String buttons_;
};

int MsgBoxAt(int ScreenLeft, int ScreenTop, const String& Message, const String& Details, const String& Buttons,
             TB_MsgType MsgType);
inline int MsgBox(const String& Message, const String& Details, const String& Buttons, TB_MsgType MsgType) {
  return MsgBoxAt(0, 0, Message, Details, Buttons, MsgType);
}

// ---------------------------------------------------------------------------
// Replaceable procedures

// The database a query dataset without one takes (callers pass nullptr).
using TGetDefaultDatabase = TFIBDatabase* (*)(TObject* Owner);
// The SQL text a query dataset or lookup list uses in place of Text.
using TConvertSQLText = void (*)(const String& Text, String& Result);
// The data source of a data object.
using TGetObjectDataSource = TDataSource* (*)(const String& IDObject);
// Runs the actions bound to an event.
using TRunEventActions = int (*)();
// A further hook of the host program.
using TFrameworkHook = int (*)(TObject* Sender);

extern TGetDefaultDatabase GetDefaultDatabase;
extern TConvertSQLText ConvertSQLText;
extern TGetObjectDataSource GetObjectDataSource;
extern TRunEventActions RunEventActions;
extern TFrameworkHook FrameworkHook;

// Framework settings read by the data layer, installed with the defaults.
// PostWithCommit (0 at start): 1 makes the light save after an edit
// (ApplyDataSet in mode 1) a full save with apply and commit.
// LookupOptions (5 at start): a bit set; bit value 2 makes lists take a row
// on double click instead of single click.
extern Byte PostWithCommit;
extern Integer LookupOptions;
inline constexpr Byte kDefaultPostWithCommit = 0;
inline constexpr Integer kDefaultLookupOptions = 5;

// The defaults: nullptr; Result := Text; nullptr; shows "Действия не
// определены для данного события." as an error and returns 0; 0.
TFIBDatabase* GetDefaultDatabaseNil(TObject* Owner);
void ConvertSQLTextNone(const String& Text, String& Result);
TDataSource* GetObjectDataSourceNil(const String& IDObject);
int RunEventActionsNone();
int FrameworkHookNil(TObject* Sender);

class TUnit;
extern const TUnit unit_B_Dlg;
