#include "platform/gui/StdCtrls.h"

#include <QCheckBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QTextCursor>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include <algorithm>

#include "platform/gui/Forms.h"
#include "platform/gui/GuiInternal.h"
#include "platform/gui/ScrollBarsInternal.h"
#include "platform/rtl/UnitInit.h"

namespace {

QString ToQ(const String& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }
String FromQ(const QString& s) { return s.toUtf8().toStdString(); }

// Runs a handler called from a Qt signal, keeping exceptions away from Qt.
template <class F>
void Guarded(TObject* sender, F&& f) {
  TEventScope scope;
  try {
    f();
  } catch (...) {
    HandleEventException(sender);
  }
}


// CR LF, CR and LF become "\n".
String NormalizeBreaks(const String& s) {
  String r;
  r.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\r') {
      r += '\n';
      if (i + 1 < s.size() && s[i + 1] == '\n') ++i;
    } else {
      r += s[i];
    }
  }
  return r;
}

}  // namespace

bool IsAccel(WPARAM Ch, const String& Caption) {
  QString text = ToQ(Caption);
  for (qsizetype i = 0; i + 1 < text.size(); ++i) {
    if (text[i] != QChar('&')) continue;
    if (text[i + 1] == QChar('&')) {
      ++i;
      continue;
    }
    return text[i + 1].toUpper() == QChar(static_cast<char16_t>(Ch)).toUpper();
  }
  return false;
}

// ---------------------------------------------------------------------------
// TButton

TButtonControl::TButtonControl(TComponent* AOwner) : TWinControl(AOwner) {
  SetControlStyle({csSetCaption, csDoubleClicks});
}

void TButtonControl::DefaultHandler(TMessage& Message) {
  switch (Message.Msg) {
    case BM_SETCHECK:
      check_ = Message.WParam;
      Message.Result = 0;
      return;
    case BM_GETCHECK:
      Message.Result = static_cast<LRESULT>(check_);
      return;
    default:
      TWinControl::DefaultHandler(Message);
      return;
  }
}

TButton::TButton(TComponent* AOwner) : TButtonControl(AOwner) {
  SetBounds(0, 0, 75, 25);
  SetTabStop(true);
}

void TButton::SetDefault(bool Value) {
  default_ = Value;
  TCustomForm* form = GetParentForm(this);
  if (form != nullptr) form->Perform(CM_FOCUSCHANGED, 0, reinterpret_cast<LPARAM>(form->ActiveControl()));
  else SetActive(Value);
}

void TButton::SetActive(bool Value) {
  active_ = Value;
  if (auto* b = qobject_cast<QPushButton*>(Widget())) b->setDefault(Value);
}

void TButton::Dispatch(TMessage& Message) {
  switch (Message.Msg) {
    case CM_DIALOGKEY:
      if (((Message.WParam == VK_RETURN && active_) || (Message.WParam == VK_ESCAPE && cancel_)) &&
          KeyDataToShiftState(Message.LParam).Empty() && CanFocus()) {
        Click();
        Message.Result = 1;
        return;
      }
      break;
    case CM_DIALOGCHAR:
      if (IsAccel(Message.WParam, Caption()) && CanFocus()) {
        Click();
        Message.Result = 1;
        return;
      }
      break;
    case CM_FOCUSCHANGED: {
      auto* focused = reinterpret_cast<TWinControl*>(Message.LParam);
      SetActive(dynamic_cast<TButton*>(focused) != nullptr ? focused == this : default_);
      break;
    }
    default:
      break;
  }
  TButtonControl::Dispatch(Message);
}

void TButton::Click() {
  if (modal_result_ != 0) {
    if (TCustomForm* form = GetParentForm(this)) form->SetModalResult(modal_result_);
  }
  TButtonControl::Click();
}

QWidget* TButton::CreateWidget(QWidget* ParentWidget) {
  auto* b = new QPushButton(ParentWidget);
  QObject::connect(b, &QPushButton::clicked, [this] { Guarded(this, [this] { Click(); }); });
  return b;
}

void TButton::InitWidget() {
  TButtonControl::InitWidget();
  auto* b = static_cast<QPushButton*>(Widget());
  b->setText(ToQ(Caption()));
  b->setDefault(active_);
  b->setAutoDefault(false);
}

void TButton::TextChanged() {
  if (auto* b = qobject_cast<QPushButton*>(Widget())) b->setText(ToQ(Caption()));
}

// ---------------------------------------------------------------------------
// TCheckBox

TCheckBox::TCheckBox(TComponent* AOwner) : TButtonControl(AOwner) {
  SetBounds(0, 0, 97, 17);
  SetTabStop(true);
}

void TCheckBox::SetState(TCheckBoxState Value) {
  if (Value == state_) return;
  state_ = Value;
  if (auto* c = qobject_cast<QCheckBox*>(Widget())) {
    updating_ = true;
    c->setCheckState(Value == cbChecked ? Qt::Checked : Value == cbGrayed ? Qt::PartiallyChecked : Qt::Unchecked);
    updating_ = false;
  }
  if (!IsLoading()) Click();
}

void TCheckBox::SetAllowGrayed(bool Value) {
  allow_grayed_ = Value;
  if (auto* c = qobject_cast<QCheckBox*>(Widget())) c->setTristate(Value);
}

void TCheckBox::Toggle() {
  switch (state_) {
    case cbUnchecked: SetState(allow_grayed_ ? cbGrayed : cbChecked); break;
    case cbChecked: SetState(cbUnchecked); break;
    case cbGrayed: SetState(cbChecked); break;
  }
}

void TCheckBox::StateFromWidget(int QtState) {
  if (updating_) return;
  TCheckBoxState s = QtState == Qt::Checked ? cbChecked : QtState == Qt::PartiallyChecked ? cbGrayed : cbUnchecked;
  if (s == state_) return;
  state_ = s;
  Click();
}

QWidget* TCheckBox::CreateWidget(QWidget* ParentWidget) {
  auto* c = new QCheckBox(ParentWidget);
  QObject::connect(c, &QCheckBox::stateChanged, [this](int s) { Guarded(this, [this, s] { StateFromWidget(s); }); });
  return c;
}

void TCheckBox::InitWidget() {
  TButtonControl::InitWidget();
  auto* c = static_cast<QCheckBox*>(Widget());
  updating_ = true;
  c->setText(ToQ(Caption()));
  c->setTristate(allow_grayed_);
  c->setCheckState(state_ == cbChecked ? Qt::Checked : state_ == cbGrayed ? Qt::PartiallyChecked : Qt::Unchecked);
  updating_ = false;
}

void TCheckBox::TextChanged() {
  if (auto* c = qobject_cast<QCheckBox*>(Widget())) c->setText(ToQ(Caption()));
}

// ---------------------------------------------------------------------------
// TLabel

TLabel::TLabel(TComponent* AOwner) : TGraphicControl(AOwner) { SetBounds(0, 0, 65, 17); }

String TLabel::DisplayText() const {
  String text = NormalizeBreaks(Caption());
  if (!show_accel_char_) return text;
  String r;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '&') {
      if (i + 1 < text.size() && text[i + 1] == '&') {
        r += '&';
        ++i;
      }
      continue;
    }
    r += text[i];
  }
  return r;
}

void TLabel::AdjustBounds() {
  if (!auto_size_ || IsLoading()) return;
  EnsureGuiApplication();
  TCanvas measure;
  measure.Font()->Assign(Font());
  String text = DisplayText();
  int w = 0, lines = 0;
  size_t start = 0;
  for (;;) {
    size_t nl = text.find('\n', start);
    String line = text.substr(start, nl == String::npos ? String::npos : nl - start);
    w = std::max(w, measure.TextWidth(line));
    ++lines;
    if (nl == String::npos) break;
    start = nl + 1;
  }
  int h = measure.TextHeight("Wg") * std::max(lines, 1);
  int left = Left();
  if (alignment_ == taRightJustify) left = Left() + Width() - w;
  else if (alignment_ == taCenter) left = Left() + (Width() - w) / 2;
  if (word_wrap_) w = Width();
  SetBounds(left, Top(), w, h);
}

void TLabel::SetAutoSize(bool Value) {
  auto_size_ = Value;
  AdjustBounds();
}

void TLabel::SetAlignment(TAlignment Value) {
  alignment_ = Value;
  ApplyText();
}

void TLabel::SetLayout(TTextLayout Value) {
  layout_ = Value;
  ApplyText();
}

void TLabel::SetWordWrap(bool Value) {
  word_wrap_ = Value;
  ApplyText();
  AdjustBounds();
}

void TLabel::SetTransparent(bool Value) {
  transparent_ = Value;
  if (Widget() != nullptr) ApplyWidgetColor(Widget(), Color(), false, !transparent_);
}

void TLabel::SetShowAccelChar(bool Value) {
  show_accel_char_ = Value;
  ApplyText();
  AdjustBounds();
}

void TLabel::Loaded() {
  TGraphicControl::Loaded();
  AdjustBounds();
}

QWidget* TLabel::CreateWidget(QWidget* ParentWidget) {
  auto* l = new QLabel(ParentWidget);
  l->setTextFormat(Qt::PlainText);
  return l;
}

void TLabel::InitWidget() {
  TGraphicControl::InitWidget();
  ApplyText();
}

void TLabel::ApplyText() {
  auto* l = qobject_cast<QLabel*>(Widget());
  if (l == nullptr) return;
  l->setText(ToQ(DisplayText()));
  l->setWordWrap(word_wrap_);
  Qt::Alignment h = alignment_ == taRightJustify ? Qt::AlignRight : alignment_ == taCenter ? Qt::AlignHCenter
                                                                                           : Qt::AlignLeft;
  Qt::Alignment v = layout_ == tlCenter ? Qt::AlignVCenter : layout_ == tlBottom ? Qt::AlignBottom : Qt::AlignTop;
  l->setAlignment(h | v);
}

void TLabel::TextChanged() {
  ApplyText();
  AdjustBounds();
}

void TLabel::FontChanged() {
  TGraphicControl::FontChanged();
  AdjustBounds();
}

// ---------------------------------------------------------------------------
// TCustomEdit

TCustomEdit::TCustomEdit(TComponent* AOwner) : TWinControl(AOwner) {
  SetColor(clWindow);
  SetTabStop(true);
}

void TCustomEdit::SetMaxLength(int Value) {
  max_length_ = Value;
  ApplyOptions();
}

void TCustomEdit::SetReadOnly(bool Value) {
  read_only_ = Value;
  ApplyOptions();
}

void TCustomEdit::Change() {
  if (!IsLoading()) on_change_(this);
}

// ---------------------------------------------------------------------------
// TMemo

TMemo::TMemo(TComponent* AOwner) : TCustomEdit(AOwner), lines_(std::make_unique<TStringList>()) {
  SetBounds(0, 0, 185, 89);
  lines_->SetOnChange({this, &TMemo::LinesChanged});
}

TMemo::~TMemo() { lines_->SetOnChange(nullptr); }

void TMemo::LinesChanged(TObject*) {
  ApplyLines();
  Change();
}

void TMemo::ApplyLines() {
  auto* e = qobject_cast<QPlainTextEdit*>(Widget());
  if (e == nullptr || updating_) return;
  QStringList lines;
  for (int i = 0; i < lines_->Count(); ++i) lines << ToQ(lines_->Strings(i));
  updating_ = true;
  e->setPlainText(lines.join('\n'));
  updating_ = false;
}

void TMemo::TextFromWidget() {
  if (updating_) return;
  auto* e = qobject_cast<QPlainTextEdit*>(Widget());
  updating_ = true;
  try {
    lines_->SetText(FromQ(e->toPlainText()));
  } catch (...) {
    updating_ = false;
    throw;
  }
  updating_ = false;
}

void TMemo::SetScrollBars(TScrollStyle Value) {
  scroll_bars_ = Value;
  ApplyOptions();
}

void TMemo::SetWordWrap(bool Value) {
  word_wrap_ = Value;
  ApplyOptions();
}

void TMemo::SetWantTabs(bool Value) {
  want_tabs_ = Value;
  ApplyOptions();
}

namespace {

// A memo's widget holds its lines joined by "\n"; its Text() ends each line
// with "\r\n". Edit-message positions are byte offsets into Text().
int MemoByteOffset(const QString& Plain, int Pos) {
  QString head = Plain.left(Pos);
  return static_cast<int>(head.toUtf8().size() + head.count('\n'));
}

int MemoWidgetPos(const String& Text, size_t Bytes) {
  Bytes = std::min(Bytes, Text.size());
  while (Bytes > 0 && Bytes < Text.size() && (static_cast<unsigned char>(Text[Bytes]) & 0xC0) == 0x80) --Bytes;
  String head = Text.substr(0, Bytes);
  head.erase(std::remove(head.begin(), head.end(), '\r'), head.end());
  return static_cast<int>(ToQ(head).size());
}

}  // namespace

bool TMemo::SelectionMessage(TMessage& Message) {
  auto* e = qobject_cast<QPlainTextEdit*>(Widget());
  switch (Message.Msg) {
    case EM_GETSEL: {
      Cardinal start = 0, end = 0;
      if (e != nullptr) {
        QString plain = e->toPlainText();
        QTextCursor c = e->textCursor();
        start = static_cast<Cardinal>(MemoByteOffset(plain, c.selectionStart()));
        end = static_cast<Cardinal>(MemoByteOffset(plain, c.selectionEnd()));
      }
      if (Message.WParam != 0) *reinterpret_cast<Cardinal*>(Message.WParam) = start;
      if (Message.LParam != 0) *reinterpret_cast<Cardinal*>(Message.LParam) = end;
      Message.Result = start > 0xFFFF || end > 0xFFFF ? -1 : static_cast<LRESULT>(start | (end << 16));
      return true;
    }
    case EM_SETSEL: {
      if (e == nullptr) return true;
      QTextCursor c = e->textCursor();
      auto anchor = static_cast<intptr_t>(Message.WParam);
      intptr_t end = Message.LParam;
      String text = Text();
      int last = static_cast<int>(e->toPlainText().size());
      int to = end < 0 ? last : std::min(last, MemoWidgetPos(text, static_cast<size_t>(end)));
      if (anchor < 0) {
        c.clearSelection();
      } else {
        c.setPosition(std::min(last, MemoWidgetPos(text, static_cast<size_t>(anchor))));
        c.setPosition(to, QTextCursor::KeepAnchor);
      }
      e->setTextCursor(c);
      return true;
    }
    case EM_SCROLLCARET:
      if (e != nullptr) e->ensureCursorVisible();
      Message.Result = 1;
      return true;
    case WM_COPY:
      if (e != nullptr && e->textCursor().hasSelection()) {
        EnsureGuiApplication();
        QGuiApplication::clipboard()->setText(e->textCursor().selectedText().replace(QChar::ParagraphSeparator, "\r\n"));
      }
      return true;
    default:
      return false;
  }
}

void TMemo::Dispatch(TMessage& Message) {
  if (SelectionMessage(Message)) return;
  TCustomEdit::Dispatch(Message);
  if (Message.Msg != WM_GETDLGCODE) return;
  if (want_tabs_) Message.Result |= DLGC_WANTTAB;
  else Message.Result &= ~DLGC_WANTTAB;
  if (!want_returns_) Message.Result &= ~DLGC_WANTALLKEYS;
}

void TMemo::KeyPress(WideChar& Key) {
  TCustomEdit::KeyPress(Key);
  if (Key == u'\r' && !want_returns_) Key = 0;
}

void TMemo::ApplyOptions() {
  auto* e = qobject_cast<QPlainTextEdit*>(Widget());
  if (e == nullptr) return;
  bool h = scroll_bars_ == ssHorizontal || scroll_bars_ == ssBoth;
  bool v = scroll_bars_ == ssVertical || scroll_bars_ == ssBoth;
  e->setHorizontalScrollBarPolicy(h ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
  e->setVerticalScrollBarPolicy(v ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
  e->setLineWrapMode(word_wrap_ && !h ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
  e->setReadOnly(ReadOnly());
  e->setTabChangesFocus(!want_tabs_);
}

QWidget* TMemo::CreateWidget(QWidget* ParentWidget) {
  auto* e = new QPlainTextEdit(ParentWidget);
  QObject::connect(e, &QPlainTextEdit::textChanged, [this] { Guarded(this, [this] { TextFromWidget(); }); });
  return e;
}

void TMemo::InitWidget() {
  TCustomEdit::InitWidget();
  ApplyOptions();
  ApplyLines();
}

// ---------------------------------------------------------------------------
// TEdit

TEdit::TEdit(TComponent* AOwner) : TCustomEdit(AOwner) { SetBounds(0, 0, 121, 21); }

void TEdit::SetText(const String& Value) {
  if (Value == Text()) return;
  TCustomEdit::SetText(Value);
  if (auto* e = qobject_cast<QLineEdit*>(Widget()); e != nullptr && !updating_) {
    updating_ = true;
    e->setText(ToQ(Value));
    updating_ = false;
  }
  Change();
}

void TEdit::SetPasswordChar(char Value) {
  password_char_ = Value;
  ApplyOptions();
}

void TEdit::ApplyOptions() {
  auto* e = qobject_cast<QLineEdit*>(Widget());
  if (e == nullptr) return;
  e->setMaxLength(MaxLength() > 0 ? MaxLength() : 32767);
  e->setReadOnly(ReadOnly());
  e->setEchoMode(password_char_ != 0 ? QLineEdit::Password : QLineEdit::Normal);
}

QWidget* TEdit::CreateWidget(QWidget* ParentWidget) {
  auto* e = new QLineEdit(ParentWidget);
  QObject::connect(e, &QLineEdit::textEdited, [this](const QString& s) {
    Guarded(this, [this, s] {
      updating_ = true;
      try {
        SetText(FromQ(s));
      } catch (...) {
        updating_ = false;
        throw;
      }
      updating_ = false;
    });
  });
  return e;
}

void TEdit::InitWidget() {
  TCustomEdit::InitWidget();
  auto* e = static_cast<QLineEdit*>(Widget());
  updating_ = true;
  e->setText(ToQ(Text()));
  updating_ = false;
  ApplyOptions();
}

// ---------------------------------------------------------------------------
// Unit

namespace {

void InitStdCtrls() {
  RegisterScrollBarClasses();
  RegisterClass<TButtonControl, TWinControl>("TButtonControl");
  RegisterClass<TButton, TButtonControl>("TButton")
      .Prop("Caption", &TControl::Caption, &TControl::SetCaption)
      .Prop("Cancel", &TButton::Cancel, &TButton::SetCancel, false)
      .Prop("Default", &TButton::Default, &TButton::SetDefault, false)
      .Prop("ModalResult", &TButton::ModalResult, &TButton::SetModalResult, 0)
      .Prop("TabStop", &TWinControl::TabStop, &TWinControl::SetTabStop, true);
  RegisterClass<TCheckBox, TButtonControl>("TCheckBox")
      .Prop("AllowGrayed", &TCheckBox::AllowGrayed, &TCheckBox::SetAllowGrayed, false)
      .Prop("Caption", &TControl::Caption, &TControl::SetCaption)
      .Prop("Checked", &TCheckBox::Checked, &TCheckBox::SetChecked, false)
      .Prop("State", &TCheckBox::State, &TCheckBox::SetState, cbUnchecked)
      .Stored(false)
      .Prop("TabStop", &TWinControl::TabStop, &TWinControl::SetTabStop, true);
  RegisterClass<TLabel, TGraphicControl>("TLabel")
      .Prop("Alignment", &TLabel::Alignment, &TLabel::SetAlignment, taLeftJustify)
      .Prop("AutoSize", &TLabel::AutoSize, &TLabel::SetAutoSize, true)
      .Prop("Caption", &TControl::Caption, &TControl::SetCaption)
      .Prop("Layout", &TLabel::Layout, &TLabel::SetLayout, tlTop)
      .Prop("ShowAccelChar", &TLabel::ShowAccelChar, &TLabel::SetShowAccelChar, true)
      .Prop("Transparent", &TLabel::Transparent, &TLabel::SetTransparent, false)
      .Prop("WordWrap", &TLabel::WordWrap, &TLabel::SetWordWrap, false);
  RegisterClass<TCustomEdit, TWinControl>("TCustomEdit")
      .Prop("Color", &TControl::Color, &TControl::SetColor, clWindow)
      .Stored(&TControl::IsColorStored)
      .Prop("ParentColor", &TControl::ParentColor, &TControl::SetParentColor, false)
      .Prop("MaxLength", &TCustomEdit::MaxLength, &TCustomEdit::SetMaxLength, 0)
      .Prop("ReadOnly", &TCustomEdit::ReadOnly, &TCustomEdit::SetReadOnly, false)
      .Prop("TabStop", &TWinControl::TabStop, &TWinControl::SetTabStop, true)
      .Event("OnChange", &TCustomEdit::OnChange, &TCustomEdit::SetOnChange);
  RegisterClass<TMemo, TCustomEdit>("TMemo")
      .Object("Lines", &TMemo::Lines)
      .Prop("ScrollBars", &TMemo::ScrollBars, &TMemo::SetScrollBars, ssNone)
      .Prop("WantReturns", &TMemo::WantReturns, &TMemo::SetWantReturns, true)
      .Prop("WantTabs", &TMemo::WantTabs, &TMemo::SetWantTabs, false)
      .Prop("WordWrap", &TMemo::WordWrap, &TMemo::SetWordWrap, true);
  RegisterClass<TCustomListBox, TWinControl>("TCustomListBox");
  RegisterClass<TListBox, TCustomListBox>("TListBox")
      .Prop("ItemHeight", &TCustomListBox::ItemHeight, &TCustomListBox::SetItemHeight, 16)
      .Object("Items", &TCustomListBox::Items)
      .Prop("Style", &TCustomListBox::Style, &TCustomListBox::SetStyle, lbStandard);
  RegisterClass<TEdit, TCustomEdit>("TEdit")
      .Prop("PasswordChar", &TEdit::PasswordChar, &TEdit::SetPasswordChar, char{0})
      .Prop("Text", &TControl::Text, &TControl::SetText);
}

constexpr const TUnit* kUses[] = {&unit_Forms};

}  // namespace

constinit const TUnit unit_StdCtrls("StdCtrls", kUses, InitStdCtrls, nullptr);
