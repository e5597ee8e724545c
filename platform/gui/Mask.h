// Masked edit box: TCustomMaskEdit and TMaskEdit, and TEditEngine, the text,
// selection and editing rules behind them (no window needed).
//
// The control is a single-line edit box whose text obeys an edit mask
// (platform/rtl/MaskUtils.h; without a mask it is a plain edit box). The
// engine holds the text and the selection; the QLineEdit only shows them:
// every key, paste and undo is the engine's, and the widget's own editing
// (context menu, drops, middle-button paste) is switched off.
//
// Positions. The engine counts characters; the control's SelStart,
// SelLength and the EM_ messages count bytes of the UTF-8 text (as Copy and
// Length do), a byte offset inside a character meaning that character's
// start. MaxLength counts characters (0: no limit), so a limit taken from a
// field's Size never halves Cyrillic text; it limits what the user types or
// pastes, not what code sets; with a mask the mask's places are the
// limit and MaxLength is kept for when the mask goes.
//
// Editing with a mask (the class library's masked edit):
//  - The caret is shown as a one-character selection over the place it is
//    on (the "block"); a one-character selection always counts as the block.
//    The block never rests on a literal: it moves on to the next place that
//    takes input (or to the end of the text).
//  - Typing puts the character (its place's case shift, then CharCase) at the
//    block's place and moves on past literals; a character a place does not
//    take beeps and changes nothing. Typing the literal the block stands
//    before (or the literal that ends the current field) moves past it;
//    typing the literal just stepped over changes nothing, so a formatted
//    value can be typed as it is written.
//  - Backspace blanks the previous place, Delete the current one; with a
//    longer selection both blank every place in it. Nothing shifts.
//  - Left/Right go to the previous/next place that takes input, Home to the
//    first, End to the end of the text; with Shift the block counts as
//    selected. Up and Down do nothing.
//  - Paste (and SelText, EM_REPLACESEL) blanks the selection and types the
//    text's characters from there, skipping those that do not fit.
//  - Escape runs Reset: the edit text as it was when the control got the
//    focus or was last set by code, when Modified.
//  - Every change the user makes (keys, WM_PASTE, WM_CUT, WM_CLEAR,
//    WM_UNDO) asks EditCanModify first (a data-aware descendant starts
//    editing there). ReadOnly refuses them all. Code (the text setters,
//    SelText, EM_REPLACESEL) asks neither.
//  - The mouse places the caret and selects through the widget; on release
//    an empty selection becomes the block.
// Without a mask the box edits as a plain edit box: Shift extends, Ctrl moves
// by words, Ctrl+C/X/V/Z, Shift+Del, Shift+Ins and Ctrl+Ins reach the window
// as WM_COPY/WM_CUT/WM_PASTE/WM_UNDO (so descendants may handle them). Paste
// takes the clipboard text up to its first line break. One level of undo:
// WM_UNDO swaps the text with the one before the last change (a run of typed
// characters is one change); code that sets the text empties it.
//
// Modified becomes true with every change the user makes (and with SelText)
// and false when code sets the text. EN_CHANGE: after every change of the text (user or code) the
// control sends WM_COMMAND with EN_CHANGE to its parent, which reflects it
// back as CN_COMMAND, whose handler runs Change (OnChange). Thin: the
// platform's parents do not reflect yet, so when CN_COMMAND did not come back
// during the send the control performs it itself (also with no parent).
//
// Leaving the control (DoExit) validates a modified masked text
// (ValidateEdit): a required place left blank, or a character a place does
// not take, raises EDBEditError with SMaskEditErr after the focus is taken
// back and the block placed on that place. A control that loses the focus
// because it is no longer showing, or is being freed, is not validated.
//
// Keys: KeyDown handles the masked arrows, Home, End, Delete and Backspace;
// KeyPress types masked characters (all but Ctrl+C, Ctrl+V and Ctrl+X). What
// they leave goes to the widget, whose handling (the edit box's own) does the
// rest. Both input paths (Qt events calling the virtuals, or window messages
// whose default handlers call them) therefore behave alike.
//
// The window's kind follows CreateParams when the window is made (again by
// RecreateWnd): the style ES_MULTILINE without ES_AUTOHSCROLL (and no
// PasswordChar) makes a multi-line edit box whose lines wrap at words within
// the formatting rectangle, its text aligned by ES_LEFT, ES_CENTER or
// ES_RIGHT; anything else a single-line one (the base style is
// ES_AUTOHSCROLL). A multi-line box keeps line breaks as CR LF: Ctrl+Enter
// (character 10) and, with ES_WANTRETURN, Enter type one; Backspace and
// Delete take a CR LF whole; the arrows, Home and End move by the lines as
// shown (Ctrl+Home, Ctrl+End to the text's ends); pasting keeps the lines.
// EM_GETLINECOUNT, EM_LINEFROMCHAR and EM_LINEINDEX answer the shown lines.
// Masks are for single-line boxes.
//
// Display: PasswordChar shows that character for each one (and WM_COPY and
// WM_CUT do nothing); the selection shows only while focused. The formatting
// rectangle becomes the widget's text margins. Painting: when EditPaints()
// answers true the edit box paints itself, else its client area is filled
// with Color; either way PaintWindow then draws over it with a device context
// in client coordinates (the default draws nothing). Thin: AutoSize gives the
// height of the font plus 8 pixels for a single border; no context menu.
#pragma once

#include <algorithm>
#include <functional>
#include <optional>
#include <vector>

#include "platform/gui/Forms.h"
#include "platform/gui/StdCtrls.h"
#include "platform/rtl/MaskUtils.h"

class QPoint;
class QWidget;

RTL_ENUM(TEditCharCase, ecNormal, ecUpperCase, ecLowerCase);

// Edit-box window styles.
inline constexpr uint32_t ES_LEFT = 0x0000, ES_CENTER = 0x0001, ES_RIGHT = 0x0002, ES_MULTILINE = 0x0004,
                          ES_PASSWORD = 0x0020, ES_AUTOVSCROLL = 0x0040, ES_AUTOHSCROLL = 0x0080,
                          ES_WANTRETURN = 0x1000;

// Outcome of an editing operation.
enum TEditResult {
  erUnchanged,  // nothing happened (or only the caret moved)
  erChanged,    // the text changed
  erRejected,   // the input did not fit (the control beeps)
};

class TEditEngine {
 public:
  TEditEngine() = default;

  // Mask. A new mask takes the text along: from a mask, the old places'
  // characters (RawOf) fill the new places; from none, the text is read as
  // Text. The caret goes to the start; true when the text changed.
  const TEditMask& Mask() const { return mask_; }
  bool IsMasked() const { return mask_.IsMasked(); }
  bool SetMask(const String& EditMask, const TFormatSettings& Settings = FormatSettings);
  int MaxLength() const { return max_length_; }
  void SetMaxLength(int Value) { max_length_ = Value < 0 ? 0 : Value; }
  TEditCharCase CharCase() const { return char_case_; }
  // Converts the text; true when it changed.
  bool SetCharCase(TEditCharCase Value);

  // Texts. Setting one (code) conforms it to the mask, applies CharCase,
  // puts the caret at the start, clears Modified and empties the undo.
  const std::u32string& Chars() const { return text_; }
  String EditText() const;
  String Text() const;
  bool SetEditText(const String& Value);
  bool SetText(const String& Value);

  // Selection in characters: Anchor stays, Caret moves.
  int Anchor() const { return anchor_; }
  int Caret() const { return caret_; }
  int SelStart() const { return std::min(anchor_, caret_); }
  int SelEnd() const { return std::max(anchor_, caret_); }
  int SelLength() const { return SelEnd() - SelStart(); }
  std::u32string SelChars() const;
  // Clamps to the text; with a mask and CheckBlock an empty selection
  // becomes the block.
  void SetSel(int AnchorPos, int CaretPos, bool CheckBlock = true);
  void SelectAll() { SetSel(0, Length()); }
  // The caret (the block with a mask) at Pos.
  void SetCursor(int Pos);
  // With a mask: an empty selection becomes the block.
  void CheckCursor();

  // Editing as the user does it (ReplaceSel also serves code).
  TEditResult TypeChar(char32_t Ch);
  TEditResult ReplaceSel(const std::u32string& Value);
  TEditResult DeleteChar(bool Backward);
  TEditResult ClearSel();
  bool Undo();
  bool CanUndo() const { return undo_.has_value(); }
  void EmptyUndo();
  // Caret movement: Extend keeps the anchor (Shift), ByWord moves by words.
  void MoveLeft(bool Extend, bool ByWord);
  void MoveRight(bool Extend, bool ByWord);
  void Home(bool Extend);
  void End(bool Extend);

  bool Modified() const { return modified_; }
  void SetModified(bool Value) { modified_ = Value; }
  // The first place that makes the text invalid (-1: valid or no mask).
  int FirstInvalid() const { return IsMasked() ? mask_.ValidateText(text_) : -1; }

  // Character position <-> byte offset into the UTF-8 text.
  int Length() const { return static_cast<int>(text_.size()); }
  int ByteOffset(int CharPos) const;
  int CharPos(int Offset) const;

 private:
  struct State {
    std::u32string text;
    int anchor = 0, caret = 0;
  };
  // Typing Ch at Pos of Text with a mask: the new caret, or -1 when refused.
  int MaskInput(std::u32string& Text, int Pos, char32_t Ch) const;
  char32_t CaseOf(char32_t Ch) const;
  std::u32string CaseOf(const std::u32string& S) const;
  void BlankRange(std::u32string& Text, int From, int To) const;
  void Assign(std::u32string Text);
  TEditResult Commit(std::u32string Text, int Caret, bool Typing);

  TEditMask mask_;
  std::u32string text_;
  int anchor_ = 0, caret_ = 0;
  int max_length_ = 0;
  TEditCharCase char_case_ = ecNormal;
  bool modified_ = false;
  std::optional<State> undo_;
  bool typing_ = false;  // the last change was typing (its undo state is kept)
};

// The class library's invalid-input error.
RTL_DECLARE_EXCEPTION(EDBEditError, Exception);
inline constexpr const char SMaskEditErr[] = "Invalid input value.  Use escape key to abandon changes";

class TCustomMaskEdit : public TCustomEdit {
 public:
  explicit TCustomMaskEdit(TComponent* AOwner);
  ~TCustomMaskEdit() override;

  const String& EditMask() const { return engine_.Mask().Source(); }
  void SetEditMask(const String& Value);
  bool IsMasked() const { return engine_.IsMasked(); }
  // The text with its literals and blanks (the window's text).
  String EditText() const { return engine_.EditText(); }
  void SetEditText(const String& Value);
  String Text() const override { return engine_.Text(); }
  void SetText(const String& Value) override;
  // Raises EDBEditError when a modified masked text is not complete.
  virtual void ValidateEdit();

  bool AutoSelect() const { return auto_select_; }
  void SetAutoSelect(bool Value) { auto_select_ = Value; }
  bool AutoSize() const { return auto_size_; }
  virtual void SetAutoSize(bool Value);
  TBorderStyle BorderStyle() const { return border_style_; }
  void SetBorderStyle(TBorderStyle Value);
  TEditCharCase CharCase() const { return engine_.CharCase(); }
  void SetCharCase(TEditCharCase Value);
  char PasswordChar() const { return password_char_; }
  void SetPasswordChar(char Value);

  bool Modified() const { return engine_.Modified(); }
  void SetModified(bool Value) { engine_.SetModified(Value); }
  // Byte offsets (see above); SetSelLength may be negative (a selection
  // running back from SelStart).
  int SelStart() const;
  void SetSelStart(int Value);
  int SelLength() const;
  void SetSelLength(int Value);
  String SelText() const;
  void SetSelText(const String& Value);
  void SelectAll();
  void ClearSelection() { Perform(WM_CLEAR); }
  void CopyToClipboard() { Perform(WM_COPY); }
  void CutToClipboard() { Perform(WM_CUT); }
  void PasteFromClipboard() { Perform(WM_PASTE); }
  void Undo() { Perform(WM_UNDO); }
  void ClearUndo() { Perform(EM_EMPTYUNDOBUFFER); }
  bool CanUndo() const { return engine_.CanUndo(); }
  // Empties the text.
  virtual void Clear();
  // With a mask: an empty selection becomes the block.
  void CheckCursor();
  // Restores the text of the last focus or code change when Modified.
  virtual void Reset();
  const TEditEngine& Engine() const { return engine_; }
  // True while the window is a multi-line one (see above).
  bool MultiLine() const { return multi_line_; }

  void KeyDown(Word& Key, TShiftState Shift) override;
  void KeyPress(WideChar& Key) override;
  void DoEnter() override;
  void DoExit() override;
  void Dispatch(TMessage& Message) override;
  // The edit box's own handling of its messages (see Messages.h).
  void DefaultHandler(TMessage& Message) override;
  void Loaded() override;

 protected:
  // Asked before every change of a masked text; false refuses it.
  virtual bool EditCanModify() { return true; }
  // Beeps and raises EDBEditError.
  virtual void ValidateError();
  // The block (caret) at the byte offset Pos.
  void PlaceCursor(int Pos);
  QWidget* CreateWidget(QWidget* ParentWidget) override;
  void InitWidget() override;
  // The base adds ES_AUTOHSCROLL.
  void CreateParams(TCreateParams& Params) override;
  // Whether the edit box's own painting runs (see above).
  virtual bool EditPaints() { return true; }
  void ApplyOptions() override;
  void FontChanged() override;
  void Resize() override;

 private:
  class EditView;
  class EditWidget;
  class MemoWidget;

  EditView* View() const;
  // A paint event of the widget Target, whose origin lies at Origin of the
  // client area: Native is the widget's own painting.
  void PaintEvent(QWidget* Target, QPoint Origin, const std::function<void()>& Native);
  bool CanEdit();
  // Multi-line keys: the caret moved by the shown lines, a line break typed.
  bool MemoKey(Word Key, TShiftState Shift, const std::u32string& Chars);
  // Widens the selection over a CR LF that Backspace (Delete) would split.
  void SpanLineBreak(bool Backward);
  // The shown lines: the first character of each.
  std::vector<int> LineStarts() const;
  // The edit box's handling of a key that reached the widget: false when it
  // does not use it.
  bool EditKey(Word Key, TShiftState Shift, const std::u32string& Chars);
  // A character that reached the widget (typed).
  void TypeChar(char32_t Ch);
  // A character the input method composed.
  void Composed(char32_t Ch);
  void Edited(TEditResult Result);
  void NotifyChange();
  void UpdateWidget();
  void AdjustHeight();
  TRect FormatRect() const;
  void ApplyFormatRect();
  String ClipboardText() const;
  void SetClipboardText(const String& Value) const;

  TEditEngine engine_;
  std::u32string old_value_;
  bool auto_select_ = true;
  bool auto_size_ = true;
  TBorderStyle border_style_ = bsSingle;
  char password_char_ = 0;
  bool re_enter_ = false;
  bool change_reflected_ = false;
  std::optional<TRect> format_rect_;
  int margin_left_ = 0, margin_right_ = 0;
  bool multi_line_ = false;
  bool want_return_ = false;
  uint32_t text_align_ = ES_LEFT;
};

class TMaskEdit : public TCustomMaskEdit {
 public:
  explicit TMaskEdit(TComponent* AOwner);
};

class TUnit;
extern const TUnit unit_Mask;
