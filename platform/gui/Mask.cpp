#include "platform/gui/Mask.h"

#include <QApplication>
#include <QClipboard>
#include <QFocusEvent>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextLayout>

#include <algorithm>
#include <climits>
#include <cstring>

#include "platform/gui/GuiInternal.h"
#include "platform/rtl/Locale.h"
#include "platform/rtl/UnitInit.h"

namespace {

constexpr WideChar kCtrlC = 3, kCtrlV = 22, kCtrlX = 24, kEscape = 27;

void Beep() {
  if (GuiApplicationExists()) QApplication::beep();
}

String FirstLine(const String& s) { return s.substr(0, s.find_first_of("\r\n")); }

Word KeyOf(const QKeyEvent* e) {
  int k = e->key();
  if (k >= Qt::Key_A && k <= Qt::Key_Z) return static_cast<Word>('A' + (k - Qt::Key_A));
  switch (k) {
    case Qt::Key_Return:
    case Qt::Key_Enter: return VK_RETURN;
    case Qt::Key_Left: return VK_LEFT;
    case Qt::Key_Right: return VK_RIGHT;
    case Qt::Key_Up: return VK_UP;
    case Qt::Key_Down: return VK_DOWN;
    case Qt::Key_Home: return VK_HOME;
    case Qt::Key_End: return VK_END;
    case Qt::Key_Backspace: return VK_BACK;
    case Qt::Key_Delete: return VK_DELETE;
    case Qt::Key_Insert: return VK_INSERT;
    default: return 0;
  }
}

TShiftState ShiftOf(Qt::KeyboardModifiers m) {
  TShiftState s;
  if (m & Qt::ShiftModifier) s.Include(ssShift);
  if (m & Qt::ControlModifier) s.Include(ssCtrl);
  if (m & Qt::AltModifier) s.Include(ssAlt);
  return s;
}

const char* TextParam(LPARAM p) { return p != 0 ? reinterpret_cast<const char*>(p) : ""; }

}  // namespace

// ---------------------------------------------------------------------------
// The widgets: show the engine's text and selection; their own editing is
// off. A single-line box is a QLineEdit, a multi-line one a QPlainTextEdit.

class TCustomMaskEdit::EditView {
 public:
  EditView(TCustomMaskEdit* edit, bool multiLine) : edit_(edit), multi_line_(multiLine) {}
  virtual ~EditView() = default;
  EditView(const EditView&) = delete;
  EditView& operator=(const EditView&) = delete;

  // Shows the text with the selection from Anchor to Caret (shown units).
  virtual void Show(const QString& Text, int Anchor, int Caret, bool Select) = 0;
  virtual void SetFrame(bool Frame) = 0;
  virtual void SetMargins(int Left, int Top, int Right, int Bottom) = 0;
  // The shown unit where each shown line starts.
  virtual std::vector<int> LineStartUnits() = 0;
  // Moves the caret by the shown lines (multi-line boxes): false when the
  // key is no such move.
  virtual bool MoveCaret(Word, bool, bool) { return false; }

  // Characters of the engine <-> UTF-16 units of the shown text (a
  // multi-line box shows CR LF as one line break).
  int UnitsOf(int Pos) const {
    if (edit_->password_char_ != 0) return Pos;
    const std::u32string& t = edit_->engine_.Chars();
    int units = 0;
    for (int i = 0; i < Pos && i < static_cast<int>(t.size()); ++i) units += Width(t, i);
    return units;
  }
  int CharOf(int Units) const {
    if (edit_->password_char_ != 0) return Units;
    const std::u32string& t = edit_->engine_.Chars();
    int i = 0;
    for (int units = 0; i < static_cast<int>(t.size()); ++i) {
      units += Width(t, i);
      if (units > Units) break;
    }
    if (i > 0 && IsBreak(t, i - 1)) --i;  // never between CR and LF
    return i;
  }

 protected:
  bool IsBreak(const std::u32string& t, int i) const {
    return multi_line_ && t[static_cast<size_t>(i)] == U'\r' && i + 1 < static_cast<int>(t.size()) &&
           t[static_cast<size_t>(i) + 1] == U'\n';
  }
  int Width(const std::u32string& t, int i) const {
    if (IsBreak(t, i)) return 0;
    return t[static_cast<size_t>(i)] > 0xFFFF ? 2 : 1;
  }
  // The widget's caret or selection changed (the mouse): to the engine.
  void FromWidget(int Anchor, int Caret) {
    if (edit_->updating_) return;
    edit_->engine_.SetSel(CharOf(Anchor), CharOf(Caret), false);
  }
  template <class F>
  void Guard(F&& f) {
    TEventScope scope;
    try {
      f();
    } catch (...) {
      HandleEventException(edit_);
    }
  }
  template <class F>
  void Quiet(F&& f) {
    bool saved = edit_->updating_;
    edit_->updating_ = true;
    f();
    edit_->updating_ = saved;
  }

  TCustomMaskEdit* edit_;
  bool multi_line_;
};

namespace {

// The input of both widgets: keys and composed text go to the control, the
// widget's own focus handling is followed by the engine's selection, no
// middle-button paste.
template <class Base, class View>
class InputWidget : public Base, public View {
 public:
  InputWidget(QWidget* parent, TCustomMaskEdit* edit, bool multiLine) : Base(parent), View(edit, multiLine) {
    this->setContextMenuPolicy(Qt::NoContextMenu);
    this->setAcceptDrops(false);
  }

 protected:
  // The control's handling of a key (false: unused) and of a composed character.
  virtual bool Key(QKeyEvent* e) = 0;
  virtual void Composed(char32_t c) = 0;
  virtual void Refresh() = 0;
  virtual void Released() = 0;

  void keyPressEvent(QKeyEvent* e) override {
    bool used = true;
    this->Guard([&] { used = Key(e); });
    if (used) e->accept();
    else e->ignore();
  }
  void inputMethodEvent(QInputMethodEvent* e) override {
    this->Guard([&] {
      for (char32_t c : e->commitString().toStdU32String()) Composed(c);
    });
    e->accept();
  }
  void focusInEvent(QFocusEvent* e) override {
    this->Quiet([&] { Base::focusInEvent(e); });
    this->Guard([&] { Refresh(); });
  }
  void focusOutEvent(QFocusEvent* e) override {
    this->Quiet([&] { Base::focusOutEvent(e); });
    this->Guard([&] { Refresh(); });
  }
  void mousePressEvent(QMouseEvent* e) override {
    if (e->button() == Qt::MiddleButton) return e->accept();
    Base::mousePressEvent(e);
  }
  void mouseReleaseEvent(QMouseEvent* e) override {
    if (e->button() == Qt::MiddleButton) return e->accept();
    Base::mouseReleaseEvent(e);
    this->Guard([&] { Released(); });
  }
};

}  // namespace

// The hooks of InputWidget that reach the control's private members.
class TCustomMaskEdit::EditWidget : public InputWidget<QLineEdit, EditView> {
 public:
  EditWidget(QWidget* parent, TCustomMaskEdit* edit) : InputWidget(parent, edit, false) {
    setDragEnabled(false);
    setMaxLength(INT_MAX);
    connect(this, &QLineEdit::selectionChanged, [this] { Sync(); });
    connect(this, &QLineEdit::cursorPositionChanged, [this](int, int) { Sync(); });
  }

  void Show(const QString& Text, int Anchor, int Caret, bool Select) override {
    if (text() != Text) setText(Text);
    if (Select && Anchor != Caret) setSelection(Anchor, Caret - Anchor);
    else setCursorPosition(Caret);
  }
  void SetFrame(bool Frame) override { setFrame(Frame); }
  void SetMargins(int Left, int Top, int Right, int Bottom) override { setTextMargins(Left, Top, Right, Bottom); }
  std::vector<int> LineStartUnits() override { return {0}; }

 protected:
  bool Key(QKeyEvent* e) override { return edit_->EditKey(KeyOf(e), ShiftOf(e->modifiers()), e->text().toStdU32String()); }
  void Composed(char32_t c) override { edit_->Composed(c); }
  void Refresh() override { edit_->UpdateWidget(); }
  void Released() override { edit_->CheckCursor(); }
  void paintEvent(QPaintEvent* e) override {
    edit_->PaintEvent(this, QPoint(0, 0), [&] { QLineEdit::paintEvent(e); });
  }

 private:
  void Sync() {
    int caret = cursorPosition(), anchor = caret;
    if (hasSelectedText()) {
      int start = selectionStart(), end = start + static_cast<int>(selectedText().size());
      anchor = caret == start ? end : start;
    }
    FromWidget(anchor, caret);
  }
};

class TCustomMaskEdit::MemoWidget : public InputWidget<QPlainTextEdit, EditView> {
 public:
  MemoWidget(QWidget* parent, TCustomMaskEdit* edit, Qt::Alignment align) : InputWidget(parent, edit, true) {
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setTabChangesFocus(true);
    QTextOption option = document()->defaultTextOption();
    option.setAlignment(align);
    document()->setDefaultTextOption(option);
    document()->setDocumentMargin(0);
    connect(this, &QPlainTextEdit::selectionChanged, [this] { Sync(); });
    connect(this, &QPlainTextEdit::cursorPositionChanged, [this] { Sync(); });
  }

  void Show(const QString& Text, int Anchor, int Caret, bool Select) override {
    if (toPlainText() != Text) setPlainText(Text);
    QTextCursor c = textCursor();
    c.setPosition(Select ? Anchor : Caret);
    c.setPosition(Caret, QTextCursor::KeepAnchor);
    setTextCursor(c);
  }
  void SetFrame(bool Frame) override { setFrameStyle(Frame ? QFrame::StyledPanel | QFrame::Sunken : QFrame::NoFrame); }
  void SetMargins(int Left, int Top, int Right, int Bottom) override { setViewportMargins(Left, Top, Right, Bottom); }
  std::vector<int> LineStartUnits() override {
    std::vector<int> starts;
    for (QTextBlock b = document()->begin(); b.isValid(); b = b.next()) {
      QTextLayout* layout = b.layout();
      if (layout == nullptr || layout->lineCount() == 0) {
        starts.push_back(b.position());
        continue;
      }
      for (int i = 0; i < layout->lineCount(); ++i) starts.push_back(b.position() + layout->lineAt(i).textStart());
    }
    if (starts.empty()) starts.push_back(0);
    return starts;
  }
  bool MoveCaret(Word Key, bool Extend, bool Ctrl) override {
    QTextCursor::MoveOperation op;
    switch (Key) {
      case VK_LEFT: op = Ctrl ? QTextCursor::PreviousWord : QTextCursor::Left; break;
      case VK_RIGHT: op = Ctrl ? QTextCursor::NextWord : QTextCursor::Right; break;
      case VK_UP: op = QTextCursor::Up; break;
      case VK_DOWN: op = QTextCursor::Down; break;
      case VK_HOME: op = Ctrl ? QTextCursor::Start : QTextCursor::StartOfLine; break;
      case VK_END: op = Ctrl ? QTextCursor::End : QTextCursor::EndOfLine; break;
      default: return false;
    }
    QTextCursor c = textCursor();
    c.movePosition(op, Extend ? QTextCursor::KeepAnchor : QTextCursor::MoveAnchor);
    setTextCursor(c);
    Sync();
    return true;
  }

 protected:
  bool Key(QKeyEvent* e) override {
    Word key = KeyOf(e);
    TShiftState shift = ShiftOf(e->modifiers());
    std::u32string chars = e->text().toStdU32String();
    return edit_->MemoKey(key, shift, chars) || edit_->EditKey(key, shift, chars);
  }
  void Composed(char32_t c) override { edit_->Composed(c); }
  void Refresh() override { edit_->UpdateWidget(); }
  void Released() override {}
  // Paints the viewport (the formatting rectangle), in the window's coordinates.
  void paintEvent(QPaintEvent* e) override {
    edit_->PaintEvent(viewport(), viewport()->pos(), [&] { QPlainTextEdit::paintEvent(e); });
  }
  // The widget lays its text out again when it is resized.
  void resizeEvent(QResizeEvent* e) override {
    QPlainTextEdit::resizeEvent(e);
    Guard([&] { edit_->UpdateWidget(); });
  }

 private:
  void Sync() {
    QTextCursor c = textCursor();
    FromWidget(c.anchor(), c.position());
  }
};

// ---------------------------------------------------------------------------
// TCustomMaskEdit

TCustomMaskEdit::TCustomMaskEdit(TComponent* AOwner) : TCustomEdit(AOwner) { SetBounds(0, 0, 121, 21); }

TCustomMaskEdit::~TCustomMaskEdit() = default;

void TCustomMaskEdit::CreateParams(TCreateParams& Params) {
  TCustomEdit::CreateParams(Params);
  Params.Style |= ES_AUTOHSCROLL;
}

QWidget* TCustomMaskEdit::CreateWidget(QWidget* ParentWidget) {
  TCreateParams params;
  CreateParams(params);
  multi_line_ = (params.Style & ES_MULTILINE) && !(params.Style & ES_AUTOHSCROLL) && password_char_ == 0;
  want_return_ = (params.Style & ES_WANTRETURN) != 0;
  text_align_ = params.Style & (ES_CENTER | ES_RIGHT);
  if (!multi_line_) return new EditWidget(ParentWidget, this);
  Qt::Alignment align = text_align_ == ES_CENTER  ? Qt::AlignHCenter
                        : text_align_ == ES_RIGHT ? Qt::AlignRight
                                                  : Qt::AlignLeft;
  return new MemoWidget(ParentWidget, this, align);
}

TCustomMaskEdit::EditView* TCustomMaskEdit::View() const { return dynamic_cast<EditView*>(Widget()); }

void TCustomMaskEdit::InitWidget() {
  TCustomEdit::InitWidget();
  if (EditView* v = View()) v->SetFrame(border_style_ != bsNone);
  AdjustHeight();
  ApplyFormatRect();
  UpdateWidget();
}

void TCustomMaskEdit::UpdateWidget() {
  EditView* v = View();
  if (v == nullptr) return;
  bool saved = updating_;
  updating_ = true;
  const std::u32string& t = engine_.Chars();
  QString shown;
  if (password_char_ != 0) {
    shown = QString(static_cast<qsizetype>(t.size()), QChar(static_cast<unsigned char>(password_char_)));
  } else {
    shown = QString::fromUcs4(t.data(), static_cast<qsizetype>(t.size()));
    if (multi_line_) shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  }
  v->Show(shown, v->UnitsOf(engine_.Anchor()), v->UnitsOf(engine_.Caret()), Widget()->hasFocus());
  updating_ = saved;
}

void TCustomMaskEdit::PaintEvent(QWidget* Target, QPoint Origin, const std::function<void()>& Native) {
  bool own = true;
  try {
    own = EditPaints();
  } catch (...) {
    HandleEventException(this);
  }
  if (own) Native();
  QPainter painter(Target);
  painter.translate(-Origin);
  HDC dc = CreatePainterDC(&painter);
  try {
    if (!own) EraseBackground(dc);
    PaintWindow(dc);
  } catch (...) {
    HandleEventException(this);
  }
  DeletePainterDC(dc);
}

std::vector<int> TCustomMaskEdit::LineStarts() const {
  EditView* v = View();
  if (v == nullptr) return {0};
  std::vector<int> starts = v->LineStartUnits();
  for (int& s : starts) s = v->CharOf(s);
  return starts;
}

void TCustomMaskEdit::Composed(char32_t Ch) {
  WideChar key = Ch <= 0xFFFF ? static_cast<WideChar>(Ch) : 0;
  if (key == 0) return TypeChar(Ch);
  KeyPress(key);
  if (key != 0) TypeChar(key);
}

void TCustomMaskEdit::Loaded() {
  TCustomEdit::Loaded();
  AdjustHeight();
}

void TCustomMaskEdit::ApplyOptions() { engine_.SetMaxLength(MaxLength()); }

void TCustomMaskEdit::FontChanged() {
  TCustomEdit::FontChanged();
  AdjustHeight();
}

void TCustomMaskEdit::Resize() {
  format_rect_.reset();
  ApplyFormatRect();
  TCustomEdit::Resize();
}

void TCustomMaskEdit::AdjustHeight() {
  if (!auto_size_ || border_style_ != bsSingle || IsLoading()) return;
  EnsureGuiApplication();
  TCanvas measure;
  measure.Font()->Assign(Font());
  SetHeight(measure.TextHeight("Wg") + 8);
}

void TCustomMaskEdit::SetAutoSize(bool Value) {
  auto_size_ = Value;
  AdjustHeight();
}

void TCustomMaskEdit::SetBorderStyle(TBorderStyle Value) {
  border_style_ = Value == bsNone ? bsNone : bsSingle;
  if (EditView* v = View()) v->SetFrame(border_style_ != bsNone);
  AdjustHeight();
}

void TCustomMaskEdit::SetCharCase(TEditCharCase Value) {
  if (!engine_.SetCharCase(Value)) return;
  UpdateWidget();
  NotifyChange();
}

void TCustomMaskEdit::SetPasswordChar(char Value) {
  password_char_ = Value;
  UpdateWidget();
}

TRect TCustomMaskEdit::FormatRect() const {
  if (format_rect_) return *format_rect_;
  return Rect(margin_left_, 0, std::max(ClientWidth() - margin_right_, margin_left_), ClientHeight());
}

void TCustomMaskEdit::ApplyFormatRect() {
  EditView* v = View();
  if (v == nullptr) return;
  TRect r = FormatRect();
  v->SetMargins(std::max(r.Left, 0), std::max(r.Top, 0), std::max(ClientWidth() - r.Right, 0),
                std::max(ClientHeight() - r.Bottom, 0));
}

// ---------------------------------------------------------------------------
// Texts

void TCustomMaskEdit::SetEditMask(const String& Value) {
  if (Value == EditMask()) return;
  bool changed = engine_.SetMask(Value);
  old_value_ = engine_.Chars();
  UpdateWidget();
  if (changed) NotifyChange();
}

void TCustomMaskEdit::SetEditText(const String& Value) {
  if (Value == EditText()) return;
  Perform(WM_SETTEXT, 0, reinterpret_cast<LPARAM>(Value.c_str()));
  Perform(CM_TEXTCHANGED);
}

void TCustomMaskEdit::SetText(const String& Value) {
  if (!IsMasked()) return SetEditText(Value);
  SetEditText(Utf32ToUtf8(engine_.Mask().EditTextOf(Utf8ToUtf32(Value))));
}

void TCustomMaskEdit::Clear() { SetEditText(""); }

void TCustomMaskEdit::Reset() {
  if (!Modified()) return;
  SetEditText(Utf32ToUtf8(old_value_));
  SetModified(false);
}

void TCustomMaskEdit::ValidateEdit() {
  if (!IsMasked() || !Modified()) return;
  int pos = engine_.FirstInvalid();
  if (pos < 0) return;
  if (!IsDesigning() && !Focused() && CanFocus() && Showing()) {
    re_enter_ = true;  // the focus comes back: not a new entry
    SetFocus();
  }
  engine_.SetCursor(pos);
  UpdateWidget();
  ValidateError();
}

void TCustomMaskEdit::ValidateError() {
  Beep();
  throw EDBEditError(SMaskEditErr);
}

// ---------------------------------------------------------------------------
// Selection

int TCustomMaskEdit::SelStart() const { return engine_.ByteOffset(engine_.SelStart()); }

int TCustomMaskEdit::SelLength() const { return engine_.ByteOffset(engine_.SelEnd()) - SelStart(); }

void TCustomMaskEdit::SetSelStart(int Value) {
  Value = std::max(Value, 0);
  Perform(EM_SETSEL, static_cast<WPARAM>(Value), Value);
}

void TCustomMaskEdit::SetSelLength(int Value) {
  int start = SelStart();
  Perform(EM_SETSEL, static_cast<WPARAM>(start), std::max(start + Value, 0));
}

String TCustomMaskEdit::SelText() const { return Utf32ToUtf8(engine_.SelChars()); }

void TCustomMaskEdit::SetSelText(const String& Value) {
  Perform(EM_REPLACESEL, 0, reinterpret_cast<LPARAM>(Value.c_str()));
}

void TCustomMaskEdit::SelectAll() { Perform(EM_SETSEL, 0, -1); }

void TCustomMaskEdit::CheckCursor() {
  engine_.CheckCursor();
  UpdateWidget();
}

void TCustomMaskEdit::PlaceCursor(int Pos) {
  engine_.SetCursor(engine_.CharPos(Pos));
  UpdateWidget();
}

// ---------------------------------------------------------------------------
// Editing

bool TCustomMaskEdit::CanEdit() {
  if (ReadOnly()) return false;
  return !IsMasked() || EditCanModify();
}

void TCustomMaskEdit::Edited(TEditResult Result) {
  if (Result == erRejected) Beep();
  UpdateWidget();
  if (Result == erChanged) NotifyChange();
}

void TCustomMaskEdit::NotifyChange() {
  WPARAM w = static_cast<WPARAM>(EN_CHANGE) << 16;
  TWinControl* parent = Parent();
  if (HandleAllocated() && parent != nullptr && parent->HandleAllocated()) {
    bool saved = change_reflected_;
    change_reflected_ = false;
    LPARAM self = reinterpret_cast<LPARAM>(Handle());
    SendMessage(parent->Handle(), WM_COMMAND, w, self);
    bool reflected = change_reflected_;
    change_reflected_ = saved;
    if (!reflected) Perform(CN_COMMAND, w, self);
  } else {
    Perform(CN_COMMAND, w, HandleAllocated() ? reinterpret_cast<LPARAM>(Handle()) : 0);
  }
}

void TCustomMaskEdit::TypeChar(char32_t Ch) {
  if (CanEdit()) Edited(engine_.TypeChar(Ch));
}

void TCustomMaskEdit::KeyDown(Word& Key, TShiftState Shift) {
  TCustomEdit::KeyDown(Key, Shift);
  if (!IsMasked() || Key == 0 || Shift.Contains(ssAlt)) return;
  bool extend = Shift.Contains(ssShift), ctrl = Shift.Contains(ssCtrl);
  switch (Key) {
    case VK_LEFT: engine_.MoveLeft(extend, ctrl); break;
    case VK_RIGHT: engine_.MoveRight(extend, ctrl); break;
    case VK_HOME: engine_.Home(extend); break;
    case VK_END: engine_.End(extend); break;
    case VK_UP:
    case VK_DOWN: break;
    case VK_DELETE:
      if (extend || ctrl) return;  // Shift+Del cuts (the box's own handling)
      if (CanEdit()) Edited(engine_.DeleteChar(false));
      break;
    case VK_BACK:
      if (CanEdit()) Edited(engine_.DeleteChar(true));
      break;
    default:
      CheckCursor();
      return;
  }
  Key = 0;
  UpdateWidget();
}

void TCustomMaskEdit::KeyPress(WideChar& Key) {
  TCustomEdit::KeyPress(Key);
  if (!IsMasked() || Key == 0 || Key == kCtrlC || Key == kCtrlV || Key == kCtrlX) return;
  WideChar ch = Key;
  Key = 0;
  if (ch == kEscape) return Reset();
  if (ch < 32 || ch == 127 || (ch >= 0xD800 && ch <= 0xDFFF)) return;
  TypeChar(ch);
}

void TCustomMaskEdit::SpanLineBreak(bool Backward) {
  if (engine_.SelLength() > 0) return;
  const std::u32string& t = engine_.Chars();
  int p = engine_.Caret();
  auto crlf = [&](int at) {
    return at >= 0 && at + 1 < static_cast<int>(t.size()) && t[static_cast<size_t>(at)] == U'\r' &&
           t[static_cast<size_t>(at) + 1] == U'\n';
  };
  if (Backward && crlf(p - 2)) engine_.SetSel(p, p - 2, false);
  else if (!Backward && crlf(p)) engine_.SetSel(p, p + 2, false);
}

bool TCustomMaskEdit::MemoKey(Word Key, TShiftState Shift, const std::u32string& Chars) {
  bool extend = Shift.Contains(ssShift), ctrl = Shift.Contains(ssCtrl), alt = Shift.Contains(ssAlt);
  if (alt) return false;
  if ((Key == VK_RETURN && (ctrl || want_return_)) || Chars == U"\n") {
    if (CanEdit()) Edited(engine_.ReplaceSel(U"\r\n"));
    return true;
  }
  if (Key == VK_BACK || (Key == VK_DELETE && !extend && !ctrl)) {
    SpanLineBreak(Key == VK_BACK);
    return false;  // the deletion itself as in a single line
  }
  EditView* v = View();
  return v != nullptr && v->MoveCaret(Key, extend, ctrl);
}

bool TCustomMaskEdit::EditKey(Word Key, TShiftState Shift, const std::u32string& Chars) {
  bool extend = Shift.Contains(ssShift), ctrl = Shift.Contains(ssCtrl), alt = Shift.Contains(ssAlt);
  switch (Key) {
    case VK_LEFT:
    case VK_RIGHT:
    case VK_HOME:
    case VK_END:
      if (alt) return false;
      if (Key == VK_LEFT) engine_.MoveLeft(extend, ctrl);
      else if (Key == VK_RIGHT) engine_.MoveRight(extend, ctrl);
      else if (Key == VK_HOME) engine_.Home(extend);
      else engine_.End(extend);
      UpdateWidget();
      return true;
    case VK_BACK:
      if (alt) return false;
      if (CanEdit()) Edited(engine_.DeleteChar(true));
      return true;
    case VK_DELETE:
      if (alt) return false;
      if (extend) Perform(WM_CUT);
      else if (!ctrl && CanEdit()) Edited(engine_.DeleteChar(false));
      return true;
    case VK_INSERT:
      if (extend && !ctrl) Perform(WM_PASTE);
      else if (ctrl && !extend) Perform(WM_COPY);
      else return false;
      return true;
    default: break;
  }
  if (ctrl && !alt) {
    switch (Key) {
      case 'C': Perform(WM_COPY); return true;
      case 'V': Perform(WM_PASTE); return true;
      case 'X': Perform(WM_CUT); return true;
      case 'Z': Perform(WM_UNDO); return true;
      default: return false;
    }
  }
  bool used = false;
  for (char32_t c : Chars) {
    if (c < 32 || c == 127) continue;
    TypeChar(c);
    used = true;
  }
  return used;
}

// ---------------------------------------------------------------------------
// Focus

void TCustomMaskEdit::DoEnter() {
  if (re_enter_) {
    re_enter_ = false;
    CheckCursor();
    return;
  }
  old_value_ = engine_.Chars();
  if (auto_select_ && !(QGuiApplication::mouseButtons() & Qt::LeftButton)) SelectAll();
  TCustomEdit::DoEnter();
  CheckCursor();
}

void TCustomMaskEdit::DoExit() {
  // A control going away with its form (hidden or freed) is not left.
  if (IsMasked() && !IsDesigning() && !IsDestroying() && Showing()) {
    ValidateEdit();
    CheckCursor();
  }
  TCustomEdit::DoExit();
}

// ---------------------------------------------------------------------------
// Messages

void TCustomMaskEdit::Dispatch(TMessage& Message) {
  switch (Message.Msg) {
    case CN_COMMAND:
      if (static_cast<Word>(Message.WParam >> 16) == EN_CHANGE) {
        change_reflected_ = true;
        Change();
      }
      return;
    case CM_WANTSPECIALKEY:
      TCustomEdit::Dispatch(Message);
      if (Message.WParam == VK_ESCAPE && IsMasked() && Modified()) Message.Result = 1;
      return;
    default:
      TCustomEdit::Dispatch(Message);
  }
}

String TCustomMaskEdit::ClipboardText() const {
  EnsureGuiApplication();
  return QGuiApplication::clipboard()->text().toStdString();
}

void TCustomMaskEdit::SetClipboardText(const String& Value) const {
  EnsureGuiApplication();
  QGuiApplication::clipboard()->setText(QString::fromStdString(Value));
}

void TCustomMaskEdit::DefaultHandler(TMessage& Message) {
  switch (Message.Msg) {
    case WM_SETTEXT: {
      bool changed = engine_.SetEditText(TextParam(Message.LParam));
      old_value_ = engine_.Chars();
      UpdateWidget();
      if (changed) NotifyChange();
      Message.Result = 1;
      return;
    }
    case WM_GETTEXT: {
      auto* buffer = reinterpret_cast<char*>(Message.LParam);
      Message.Result = 0;
      if (buffer == nullptr || Message.WParam == 0) return;
      String text = EditText();
      size_t n = std::min(text.size(), static_cast<size_t>(Message.WParam) - 1);
      while (n > 0 && n < text.size() && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
      std::memcpy(buffer, text.data(), n);
      buffer[n] = 0;
      Message.Result = static_cast<LRESULT>(n);
      return;
    }
    case WM_GETTEXTLENGTH:
      Message.Result = engine_.ByteOffset(engine_.Length());
      return;
    case WM_COPY:
      if (password_char_ == 0 && engine_.SelLength() > 0) SetClipboardText(SelText());
      return;
    case WM_CUT:
      if (password_char_ != 0 || engine_.SelLength() == 0 || !CanEdit()) return;
      SetClipboardText(SelText());
      Edited(engine_.ClearSel());
      return;
    case WM_CLEAR:
      if (CanEdit()) Edited(engine_.ClearSel());
      return;
    case WM_PASTE: {
      if (!CanEdit()) return;
      String text = multi_line_ ? AdjustLineBreaks(ClipboardText()) : FirstLine(ClipboardText());
      if (!text.empty()) Edited(engine_.ReplaceSel(Utf8ToUtf32(text)));
      return;
    }
    case WM_UNDO:
      Message.Result = 0;
      if (!engine_.CanUndo() || !CanEdit()) return;
      Message.Result = 1;
      if (engine_.Undo()) Edited(erChanged);
      else UpdateWidget();
      return;
    case EM_GETSEL: {
      auto start = static_cast<Cardinal>(SelStart());
      auto end = static_cast<Cardinal>(SelStart() + SelLength());
      if (Message.WParam != 0) *reinterpret_cast<Cardinal*>(Message.WParam) = start;
      if (Message.LParam != 0) *reinterpret_cast<Cardinal*>(Message.LParam) = end;
      Message.Result = start > 0xFFFF || end > 0xFFFF ? -1 : static_cast<LRESULT>(start | (end << 16));
      return;
    }
    case EM_SETSEL: {
      auto anchor = static_cast<intptr_t>(Message.WParam);
      intptr_t end = Message.LParam;
      int bytes = engine_.ByteOffset(engine_.Length());
      if (anchor < 0) {
        engine_.SetCursor(engine_.Caret());
      } else {
        if (end < 0 || end > bytes) end = bytes;
        anchor = std::min<intptr_t>(anchor, bytes);
        engine_.SetSel(engine_.CharPos(static_cast<int>(anchor)), engine_.CharPos(static_cast<int>(end)));
      }
      UpdateWidget();
      return;
    }
    case EM_REPLACESEL:
      if (engine_.ReplaceSel(Utf8ToUtf32(TextParam(Message.LParam))) == erChanged) {
        UpdateWidget();
        NotifyChange();
      } else {
        UpdateWidget();
      }
      return;
    case EM_GETMODIFY:
      Message.Result = Modified() ? 1 : 0;
      return;
    case EM_SETMODIFY:
      SetModified(Message.WParam != 0);
      return;
    case EM_CANUNDO:
      Message.Result = CanUndo() ? 1 : 0;
      return;
    case EM_EMPTYUNDOBUFFER:
      engine_.EmptyUndo();
      return;
    case EM_GETRECT:
      if (Message.LParam != 0) *reinterpret_cast<TRect*>(Message.LParam) = FormatRect();
      return;
    case EM_SETRECT:
    case EM_SETRECTNP:
      if (Message.LParam != 0) format_rect_ = *reinterpret_cast<const TRect*>(Message.LParam);
      else format_rect_.reset();
      ApplyFormatRect();
      if (Message.Msg == EM_SETRECT) Invalidate();
      return;
    case EM_SETMARGINS:
      if (Message.WParam == EC_USEFONTINFO) {
        EnsureGuiApplication();
        TCanvas measure;
        measure.Font()->Assign(Font());
        margin_left_ = margin_right_ = measure.TextWidth("0") / 2;
      } else {
        if (Message.WParam & EC_LEFTMARGIN) margin_left_ = static_cast<int>(Message.LParam & 0xFFFF);
        if (Message.WParam & EC_RIGHTMARGIN) margin_right_ = static_cast<int>((Message.LParam >> 16) & 0xFFFF);
      }
      format_rect_.reset();
      ApplyFormatRect();
      return;
    case EM_GETMARGINS:
      Message.Result = static_cast<LRESULT>((margin_left_ & 0xFFFF) | ((margin_right_ & 0xFFFF) << 16));
      return;
    case EM_SCROLLCARET:
      UpdateWidget();
      Message.Result = 1;
      return;
    case EM_GETLINECOUNT:
      Message.Result = static_cast<LRESULT>(LineStarts().size());
      return;
    case EM_LINEFROMCHAR: {
      auto offset = static_cast<intptr_t>(Message.WParam);
      int pos = offset < 0 ? engine_.Caret() : engine_.CharPos(static_cast<int>(offset));
      std::vector<int> starts = LineStarts();
      auto it = std::upper_bound(starts.begin() + 1, starts.end(), pos);
      Message.Result = static_cast<LRESULT>(it - starts.begin() - 1);
      return;
    }
    case EM_LINEINDEX: {
      std::vector<int> starts = LineStarts();
      auto line = static_cast<intptr_t>(Message.WParam);
      if (line < 0) {
        Message.Result = Perform(EM_LINEINDEX, static_cast<WPARAM>(Perform(EM_LINEFROMCHAR, static_cast<WPARAM>(-1))));
        return;
      }
      Message.Result = line < static_cast<intptr_t>(starts.size()) ? engine_.ByteOffset(starts[static_cast<size_t>(line)]) : -1;
      return;
    }
    default:
      TCustomEdit::DefaultHandler(Message);
  }
}

// ---------------------------------------------------------------------------
// TMaskEdit and the unit

TMaskEdit::TMaskEdit(TComponent* AOwner) : TCustomMaskEdit(AOwner) {}

namespace {

void InitMask() {
  RegisterClass<TCustomMaskEdit, TCustomEdit>("TCustomMaskEdit");
  RegisterClass<TMaskEdit, TCustomMaskEdit>("TMaskEdit")
      .Prop("AutoSelect", &TCustomMaskEdit::AutoSelect, &TCustomMaskEdit::SetAutoSelect, true)
      .Prop("AutoSize", &TCustomMaskEdit::AutoSize, &TCustomMaskEdit::SetAutoSize, true)
      .Prop("BorderStyle", &TCustomMaskEdit::BorderStyle, &TCustomMaskEdit::SetBorderStyle, bsSingle)
      .Prop("CharCase", &TCustomMaskEdit::CharCase, &TCustomMaskEdit::SetCharCase, ecNormal)
      .Prop("EditMask", &TCustomMaskEdit::EditMask, &TCustomMaskEdit::SetEditMask)
      .Prop("PasswordChar", &TCustomMaskEdit::PasswordChar, &TCustomMaskEdit::SetPasswordChar, char{0})
      .Prop("Text", &TControl::Text, &TControl::SetText);
}

constexpr const TUnit* kUses[] = {&unit_StdCtrls};

}  // namespace

constinit const TUnit unit_Mask("Mask", kUses, InitMask, nullptr);
