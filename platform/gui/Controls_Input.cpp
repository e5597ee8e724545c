// Input as window messages: Qt events become messages for the controls'
// window procedures, and messages that reach DefaultHandler go back to the
// widgets as Qt events (Controls.h describes the path).
#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractScrollArea>
#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTextEdit>
#include <QTimer>
#include <QWheelEvent>
#include <QWidget>

#include <string>
#include <vector>

#include "platform/gui/Controls.h"
#include "platform/gui/GuiInternal.h"

namespace {

// ---------------------------------------------------------------------------
// Keys

struct KeyPair {
  int qt;
  Word vk;
};

// Qt keys and virtual keys; the first entry of a virtual key is the Qt key
// made for it.
constexpr KeyPair kKeys[] = {
    {Qt::Key_Backspace, VK_BACK},     {Qt::Key_Tab, VK_TAB},
    {Qt::Key_Return, VK_RETURN},      {Qt::Key_Shift, VK_SHIFT},
    {Qt::Key_Control, VK_CONTROL},    {Qt::Key_Alt, VK_MENU},
    {Qt::Key_Pause, VK_PAUSE},        {Qt::Key_CapsLock, VK_CAPITAL},
    {Qt::Key_Escape, VK_ESCAPE},      {Qt::Key_Space, VK_SPACE},
    {Qt::Key_PageUp, VK_PRIOR},       {Qt::Key_PageDown, VK_NEXT},
    {Qt::Key_End, VK_END},            {Qt::Key_Home, VK_HOME},
    {Qt::Key_Left, VK_LEFT},          {Qt::Key_Up, VK_UP},
    {Qt::Key_Right, VK_RIGHT},        {Qt::Key_Down, VK_DOWN},
    {Qt::Key_Select, VK_SELECT},      {Qt::Key_Printer, VK_PRINT},
    {Qt::Key_Execute, VK_EXECUTE},    {Qt::Key_Print, VK_SNAPSHOT},
    {Qt::Key_Insert, VK_INSERT},      {Qt::Key_Delete, VK_DELETE},
    {Qt::Key_Help, VK_HELP},          {Qt::Key_Super_L, VK_LWIN},
    {Qt::Key_Super_R, VK_RWIN},       {Qt::Key_Menu, VK_APPS},
    {Qt::Key_NumLock, VK_NUMLOCK},    {Qt::Key_ScrollLock, VK_SCROLL},
    {Qt::Key_Clear, VK_CLEAR},        {Qt::Key_Cancel, VK_CANCEL},
    {Qt::Key_Semicolon, VK_OEM_1},    {Qt::Key_Equal, VK_OEM_PLUS},
    {Qt::Key_Comma, VK_OEM_COMMA},    {Qt::Key_Minus, VK_OEM_MINUS},
    {Qt::Key_Period, VK_OEM_PERIOD},  {Qt::Key_Slash, VK_OEM_2},
    {Qt::Key_QuoteLeft, VK_OEM_3},    {Qt::Key_BracketLeft, VK_OEM_4},
    {Qt::Key_Backslash, VK_OEM_5},    {Qt::Key_BracketRight, VK_OEM_6},
    {Qt::Key_Apostrophe, VK_OEM_7},
    // Other Qt keys on the same keys.
    {Qt::Key_Backtab, VK_TAB},        {Qt::Key_Enter, VK_RETURN},
    {Qt::Key_AltGr, VK_MENU},         {Qt::Key_Meta, VK_LWIN},
    {Qt::Key_Colon, VK_OEM_1},        {Qt::Key_Plus, VK_OEM_PLUS},
    {Qt::Key_Less, VK_OEM_COMMA},     {Qt::Key_Underscore, VK_OEM_MINUS},
    {Qt::Key_Greater, VK_OEM_PERIOD}, {Qt::Key_Question, VK_OEM_2},
    {Qt::Key_AsciiTilde, VK_OEM_3},   {Qt::Key_BraceLeft, VK_OEM_4},
    {Qt::Key_Bar, VK_OEM_5},          {Qt::Key_BraceRight, VK_OEM_6},
    {Qt::Key_QuoteDbl, VK_OEM_7},     {Qt::Key_Exclam, '1'},
    {Qt::Key_At, '2'},                {Qt::Key_NumberSign, '3'},
    {Qt::Key_Dollar, '4'},            {Qt::Key_Percent, '5'},
    {Qt::Key_AsciiCircum, '6'},       {Qt::Key_Ampersand, '7'},
    {Qt::Key_Asterisk, '8'},          {Qt::Key_ParenLeft, '9'},
    {Qt::Key_ParenRight, '0'},
};

// Virtual keys of the main block by evdev key code (the key's position), for
// letters of layouts that are not Latin.
Word PositionKey(unsigned code) {
  static constexpr char kRows[][2] = {
      {2, '1'},  {3, '2'},  {4, '3'},  {5, '4'},  {6, '5'},  {7, '6'},  {8, '7'},  {9, '8'},  {10, '9'},
      {11, '0'}, {16, 'Q'}, {17, 'W'}, {18, 'E'}, {19, 'R'}, {20, 'T'}, {21, 'Y'}, {22, 'U'}, {23, 'I'},
      {24, 'O'}, {25, 'P'}, {30, 'A'}, {31, 'S'}, {32, 'D'}, {33, 'F'}, {34, 'G'}, {35, 'H'}, {36, 'J'},
      {37, 'K'}, {38, 'L'}, {44, 'Z'}, {45, 'X'}, {46, 'C'}, {47, 'V'}, {48, 'B'}, {49, 'N'}, {50, 'M'},
  };
  for (const auto& r : kRows) {
    if (static_cast<unsigned>(r[0]) == code) return static_cast<Word>(r[1]);
  }
  switch (code) {
    case 12: return VK_OEM_MINUS;
    case 13: return VK_OEM_PLUS;
    case 26: return VK_OEM_4;
    case 27: return VK_OEM_6;
    case 39: return VK_OEM_1;
    case 40: return VK_OEM_7;
    case 41: return VK_OEM_3;
    case 43: return VK_OEM_5;
    case 51: return VK_OEM_COMMA;
    case 52: return VK_OEM_PERIOD;
    case 53: return VK_OEM_2;
    default: return 0;
  }
}

Word VirtualKeyOf(int key, bool keypad) {
  if (keypad) {
    if (key >= Qt::Key_0 && key <= Qt::Key_9) return static_cast<Word>(VK_NUMPAD0 + (key - Qt::Key_0));
    switch (key) {
      case Qt::Key_Asterisk: return VK_MULTIPLY;
      case Qt::Key_Plus: return VK_ADD;
      case Qt::Key_Minus: return VK_SUBTRACT;
      case Qt::Key_Slash: return VK_DIVIDE;
      case Qt::Key_Period:
      case Qt::Key_Comma: return VK_DECIMAL;
      default: break;
    }
  }
  if (key >= Qt::Key_A && key <= Qt::Key_Z) return static_cast<Word>('A' + (key - Qt::Key_A));
  if (key >= Qt::Key_0 && key <= Qt::Key_9) return static_cast<Word>('0' + (key - Qt::Key_0));
  if (key >= Qt::Key_F1 && key <= Qt::Key_F24) return static_cast<Word>(VK_F1 + (key - Qt::Key_F1));
  for (const KeyPair& k : kKeys) {
    if (k.qt == key) return k.vk;
  }
  return 0;
}

Word VirtualKeyOf(const QKeyEvent* e) {
  Word vk = VirtualKeyOf(e->key(), (e->modifiers() & Qt::KeypadModifier) != 0);
  if (vk == 0 && e->nativeScanCode() > 8) vk = PositionKey(e->nativeScanCode() - 8);  // X key codes
  return vk;
}

int QtKeyOf(Word vk) {
  if (vk >= 'A' && vk <= 'Z') return Qt::Key_A + (vk - 'A');
  if (vk >= '0' && vk <= '9') return Qt::Key_0 + (vk - '0');
  if (vk >= VK_NUMPAD0 && vk <= VK_NUMPAD9) return Qt::Key_0 + (vk - VK_NUMPAD0);
  if (vk >= VK_F1 && vk <= VK_F24) return Qt::Key_F1 + (vk - VK_F1);
  switch (vk) {
    case VK_MULTIPLY: return Qt::Key_Asterisk;
    case VK_ADD: return Qt::Key_Plus;
    case VK_SUBTRACT: return Qt::Key_Minus;
    case VK_DIVIDE: return Qt::Key_Slash;
    case VK_DECIMAL: return Qt::Key_Period;
    default: break;
  }
  for (const KeyPair& k : kKeys) {
    if (k.vk == vk) return k.qt;
  }
  return 0;
}

bool IsExtendedKey(Word vk, int qtKey, bool keypad) {
  switch (vk) {
    case VK_INSERT:
    case VK_DELETE:
    case VK_HOME:
    case VK_END:
    case VK_PRIOR:
    case VK_NEXT:
    case VK_LEFT:
    case VK_UP:
    case VK_RIGHT:
    case VK_DOWN: return !keypad;
    case VK_RETURN: return qtKey == Qt::Key_Enter;
    case VK_DIVIDE:
    case VK_NUMLOCK:
    case VK_LWIN:
    case VK_RWIN:
    case VK_APPS: return true;
    default: return false;
  }
}

LPARAM KeyData(unsigned scan, bool extended, bool alt, bool wasDown, bool released) {
  uint32_t d = 1u | ((scan & 0xFFu) << 16) | (extended ? 1u << 24 : 0) | (alt ? 1u << 29 : 0) |
               (wasDown ? 1u << 30 : 0) | (released ? 1u << 31 : 0);
  return static_cast<LPARAM>(d);
}

// The characters a key press produces (see Controls.h); Text: the Qt
// event's text, nullptr for keys from the queue.
std::u16string KeyChars(Word vk, bool shift, bool ctrl, bool alt, bool caps, const QString* text) {
  if (ctrl && !alt) {
    if (vk >= 'A' && vk <= 'Z') return {static_cast<char16_t>(vk - 'A' + 1)};
    switch (vk) {
      case VK_RETURN: return {u'\n'};
      case VK_BACK: return {char16_t{127}};
      case VK_OEM_4: return {char16_t{27}};
      case VK_OEM_5: return {char16_t{28}};
      case VK_OEM_6: return {char16_t{29}};
      case VK_SPACE: return {u' '};
      default: return {};
    }
  }
  switch (vk) {
    case VK_RETURN: return {u'\r'};
    case VK_BACK: return {u'\b'};
    case VK_TAB: return {u'\t'};
    case VK_ESCAPE: return {char16_t{27}};
    default: break;
  }
  if (text != nullptr && !text->isEmpty()) {
    std::u16string r;
    for (QChar c : *text) {
      if (c.unicode() >= 32 && c.unicode() != 127) r += static_cast<char16_t>(c.unicode());
    }
    return r;
  }
  if (vk >= 'A' && vk <= 'Z') return {static_cast<char16_t>(shift != caps ? vk : vk - 'A' + 'a')};
  if (vk >= '0' && vk <= '9') return {static_cast<char16_t>(shift ? u")!@#$%^&*("[vk - '0'] : vk)};
  if (vk >= VK_NUMPAD0 && vk <= VK_NUMPAD9) return {static_cast<char16_t>('0' + (vk - VK_NUMPAD0))};
  switch (vk) {
    case VK_SPACE: return {u' '};
    case VK_MULTIPLY: return {u'*'};
    case VK_ADD: return {u'+'};
    case VK_SUBTRACT: return {u'-'};
    case VK_DECIMAL: return {u'.'};
    case VK_DIVIDE: return {u'/'};
    case VK_OEM_1: return {shift ? u':' : u';'};
    case VK_OEM_PLUS: return {shift ? u'+' : u'='};
    case VK_OEM_COMMA: return {shift ? u'<' : u','};
    case VK_OEM_MINUS: return {shift ? u'_' : u'-'};
    case VK_OEM_PERIOD: return {shift ? u'>' : u'.'};
    case VK_OEM_2: return {shift ? u'?' : u'/'};
    case VK_OEM_3: return {shift ? u'~' : u'`'};
    case VK_OEM_4: return {shift ? u'{' : u'['};
    case VK_OEM_5: return {shift ? u'|' : u'\\'};
    case VK_OEM_6: return {shift ? u'}' : u']'};
    case VK_OEM_7: return {shift ? u'"' : u'\''};
    default: return {};
  }
}

bool Down(Word vk) { return GetKeyState(vk) < 0; }

Qt::KeyboardModifiers ModifiersNow() {
  Qt::KeyboardModifiers m;
  if (Down(VK_SHIFT)) m |= Qt::ShiftModifier;
  if (Down(VK_CONTROL)) m |= Qt::ControlModifier;
  if (Down(VK_MENU)) m |= Qt::AltModifier;
  return m;
}

void SyncModifiers(Qt::KeyboardModifiers m) {
  SetKeyDown(VK_SHIFT, m & Qt::ShiftModifier);
  SetKeyDown(VK_CONTROL, m & Qt::ControlModifier);
  SetKeyDown(VK_MENU, m & Qt::AltModifier);
}

void SyncButtons(Qt::MouseButtons b) {
  SetKeyDown(VK_LBUTTON, b & Qt::LeftButton);
  SetKeyDown(VK_RBUTTON, b & Qt::RightButton);
  SetKeyDown(VK_MBUTTON, b & Qt::MiddleButton);
}

WPARAM MouseKeys(Qt::KeyboardModifiers m, Qt::MouseButtons b) {
  WPARAM k = 0;
  if (b & Qt::LeftButton) k |= MK_LBUTTON;
  if (b & Qt::RightButton) k |= MK_RBUTTON;
  if (b & Qt::MiddleButton) k |= MK_MBUTTON;
  if (m & Qt::ShiftModifier) k |= MK_SHIFT;
  if (m & Qt::ControlModifier) k |= MK_CONTROL;
  return k;
}

Qt::MouseButtons ButtonsOf(WPARAM keys) {
  Qt::MouseButtons b;
  if (keys & MK_LBUTTON) b |= Qt::LeftButton;
  if (keys & MK_RBUTTON) b |= Qt::RightButton;
  if (keys & MK_MBUTTON) b |= Qt::MiddleButton;
  return b;
}

// ---------------------------------------------------------------------------
// Widgets' own handling

bool IsTextWidget(const QWidget* w) {
  return qobject_cast<const QLineEdit*>(w) != nullptr || qobject_cast<const QPlainTextEdit*>(w) != nullptr ||
         qobject_cast<const QTextEdit*>(w) != nullptr;
}

// Tab goes to Qt's focus chain in every widget but a memo that types tabs.
bool TypesTabs(const QWidget* w) {
  if (auto* p = qobject_cast<const QPlainTextEdit*>(w)) return !p->tabChangesFocus() && !p->isReadOnly();
  if (auto* t = qobject_cast<const QTextEdit*>(w)) return !t->tabChangesFocus() && !t->isReadOnly();
  return false;
}

// Events being handed to widgets, innermost last.
struct NativeSend {
  QEvent* event;
  QWidget* widget;
};
std::vector<NativeSend> g_native;

void SendNative(QWidget* widget, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    int key = static_cast<QKeyEvent*>(event)->key();
    if ((key == Qt::Key_Tab || key == Qt::Key_Backtab) && !TypesTabs(widget)) return;
  }
  g_native.push_back({event, widget});
  struct Pop {
    ~Pop() { g_native.pop_back(); }
  } pop;
  QCoreApplication::sendEvent(widget, event);
}

// The widget and point that take a control's mouse input (a scroll area's
// viewport).
QWidget* MouseWidget(TControl* control, QPoint& point) {
  QWidget* w = control->Widget();
  if (auto* area = qobject_cast<QAbstractScrollArea*>(w)) {
    point = area->viewport()->mapFrom(w, point);
    return area->viewport();
  }
  return w;
}

void SendMadeKey(QWidget* w, QEvent::Type type, int key, Qt::KeyboardModifiers mods, const QString& text) {
  if (key == 0) return;
  QKeyEvent e(type, key, mods, text);
  SendNative(w, &e);
}

// The widget's handling of a typed character.
void MakeCharacter(QWidget* w, WPARAM ch) {
  auto c = static_cast<char16_t>(ch);
  QString text(QChar(static_cast<ushort>(c)));
  switch (c) {
    case u'\b': SendMadeKey(w, QEvent::KeyPress, Qt::Key_Backspace, Qt::NoModifier, text); return;
    case u'\t': SendMadeKey(w, QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier, text); return;
    case u'\r': SendMadeKey(w, QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, text); return;
    case 27: SendMadeKey(w, QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier, text); return;
    case 127: SendMadeKey(w, QEvent::KeyPress, Qt::Key_Backspace, Qt::ControlModifier, text); return;
    default: break;
  }
  if (c >= 1 && c <= 26) SendMadeKey(w, QEvent::KeyPress, Qt::Key_A + (c - 1), Qt::ControlModifier, text);
  else if (c >= 32) SendMadeKey(w, QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, text);
}

// The widget's handling of a message that came from no Qt event of it.
void MakeNativeEvent(TControl* control, const TMessage& m) {
  QWidget* w = control->Widget();
  if (w == nullptr) return;
  Qt::KeyboardModifiers mods = ModifiersNow();
  switch (m.Msg) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: {
      Word vk = LOWORD(m.WParam);
      std::u16string chars = KeyChars(vk, Down(VK_SHIFT), Down(VK_CONTROL), m.Msg == WM_SYSKEYDOWN,
                                      GetKeyState(VK_CAPITAL) & 1, nullptr);
      bool text = IsTextWidget(w);
      if (text && !chars.empty()) return;  // the character does the work
      SendMadeKey(w, QEvent::KeyPress, QtKeyOf(vk), mods, text ? QString() : QString::fromStdU16String(chars));
      return;
    }
    case WM_KEYUP:
    case WM_SYSKEYUP:
      SendMadeKey(w, QEvent::KeyRelease, QtKeyOf(LOWORD(m.WParam)), mods, QString());
      return;
    case WM_CHAR:
      if (IsTextWidget(w)) MakeCharacter(w, m.WParam);
      return;
    case WM_SETFOCUS:
    case WM_KILLFOCUS: {
      QFocusEvent e(m.Msg == WM_SETFOCUS ? QEvent::FocusIn : QEvent::FocusOut, Qt::OtherFocusReason);
      SendNative(w, &e);
      return;
    }
    case WM_MOUSEWHEEL: {
      QPoint global(GET_X_LPARAM(m.LParam), GET_Y_LPARAM(m.LParam));
      QPoint local = w->mapFromGlobal(global);
      QWidget* target = MouseWidget(control, local);
      Qt::MouseButtons buttons;
      if (Down(VK_LBUTTON)) buttons |= Qt::LeftButton;
      if (Down(VK_RBUTTON)) buttons |= Qt::RightButton;
      if (Down(VK_MBUTTON)) buttons |= Qt::MiddleButton;
      QWheelEvent e(local, global, QPoint(), QPoint(0, GET_WHEEL_DELTA_WPARAM(m.WParam)), buttons, mods,
                    Qt::NoScrollPhase, false);
      SendNative(target, &e);
      return;
    }
    default:
      break;
  }
  if (m.Msg < WM_MOUSEFIRST || m.Msg > WM_MOUSELAST) return;
  QEvent::Type type;
  Qt::MouseButton button = Qt::NoButton;
  switch (m.Msg) {
    case WM_LBUTTONDOWN: type = QEvent::MouseButtonPress, button = Qt::LeftButton; break;
    case WM_LBUTTONUP: type = QEvent::MouseButtonRelease, button = Qt::LeftButton; break;
    case WM_LBUTTONDBLCLK: type = QEvent::MouseButtonDblClick, button = Qt::LeftButton; break;
    case WM_RBUTTONDOWN: type = QEvent::MouseButtonPress, button = Qt::RightButton; break;
    case WM_RBUTTONUP: type = QEvent::MouseButtonRelease, button = Qt::RightButton; break;
    case WM_RBUTTONDBLCLK: type = QEvent::MouseButtonDblClick, button = Qt::RightButton; break;
    case WM_MBUTTONDOWN: type = QEvent::MouseButtonPress, button = Qt::MiddleButton; break;
    case WM_MBUTTONUP: type = QEvent::MouseButtonRelease, button = Qt::MiddleButton; break;
    case WM_MBUTTONDBLCLK: type = QEvent::MouseButtonDblClick, button = Qt::MiddleButton; break;
    default: type = QEvent::MouseMove; break;
  }
  QPoint local(GET_X_LPARAM(m.LParam), GET_Y_LPARAM(m.LParam));
  QPoint global = w->mapToGlobal(local);
  QWidget* target = MouseWidget(control, local);
  QMouseEvent e(type, local, global, button, ButtonsOf(m.WParam), mods);
  SendNative(target, &e);
}

// ---------------------------------------------------------------------------
// Messages made from Qt events

// The Qt event behind a message being delivered.
struct Origin {
  enum Kind {
    kHandOn,     // DefaultHandler hands the event to the widget
    kNothing,    // the widget does nothing for this message
    kCharacter,  // WM_CHAR of a text widget: hands on the key while unchanged
  };
  const TMessage* message;
  TControl* control;
  Kind kind;
  QEvent* event;
  QWidget* widget;
  bool* handed_on;      // shared by the messages of one event
  WPARAM character = 0;  // kCharacter: the character as the key produced it
};
std::vector<Origin*> g_origins;

class OriginScope {
 public:
  explicit OriginScope(Origin* o) { g_origins.push_back(o); }
  ~OriginScope() { g_origins.pop_back(); }
  OriginScope(const OriginScope&) = delete;
  OriginScope& operator=(const OriginScope&) = delete;
};

// Delivers a message made from a Qt event, with the event behind it.
void Deliver(TControl* control, TMessage& m, Origin::Kind kind, QEvent* event, QWidget* widget, bool* handedOn) {
  Origin o{&m, control, kind, event, widget, handedOn, m.WParam};
  OriginScope scope(&o);
  control->Perform(m);
}

// One key press or release on its way through the messages.
struct Stroke {
  uint64_t id;
  QKeyEvent* event;    // nullptr for keys from the queue
  QWidget* widget;
  bool text_widget;
  bool handed_on = false;
};
std::vector<Stroke*> g_strokes;
uint64_t g_next_stroke = 1;

Stroke* FindStroke(uint64_t id) {
  for (Stroke* s : g_strokes) {
    if (s->id == id) return s;
  }
  return nullptr;
}

bool NoCapture() { return GetCaptureControl() == nullptr; }

void DeliverChar(const TMsg& cm, Stroke* s) {
  TWinControl* win = FindControl(cm.hwnd);
  if (win == nullptr) return;
  TControlRef self(win);
  if (NoCapture()) {
    Cardinal cn = cm.message == WM_SYSCHAR ? CN_SYSCHAR : CN_CHAR;
    if (win->Perform(cn, cm.wParam, cm.lParam) != 0 || !self) return;
  }
  TMessage m{cm.message, cm.wParam, cm.lParam, 0};
  if (s == nullptr || s->event == nullptr || win->Widget() != s->widget) {
    win->Perform(m);  // the widget's handling is made from the message
    return;
  }
  Origin::Kind kind = s->text_widget && cm.message == WM_CHAR ? Origin::kCharacter : Origin::kNothing;
  Deliver(win, m, kind, s->event, s->widget, &s->handed_on);
}

// Dialog keys, the key message and the characters it produced.
void RunKey(TWinControl* win, Cardinal msg, Word vk, LPARAM data, const std::u16string& chars, Stroke* s) {
  TControlRef self(win);
  if (NoCapture() && (win->Perform(CN_BASE + msg, vk, data) != 0 || !self)) return;
  g_strokes.push_back(s);
  struct Pop {
    ~Pop() { g_strokes.pop_back(); }
  } pop;
  std::vector<uint64_t> queued;
  if (!chars.empty()) {
    HWND h = win->Handle();
    Cardinal charMsg = msg == WM_SYSKEYDOWN ? WM_SYSCHAR : WM_CHAR;
    TPoint pt = GetCursorPos();
    for (char16_t c : chars)
      queued.push_back(QueueMessage({h, charMsg, c, data, static_cast<Cardinal>(GetMessageTime()), pt}, s->id));
  }
  TMessage m{msg, vk, data, 0};
  if (s->event == nullptr) {
    win->Perform(m);
  } else {
    bool byChars = s->text_widget && !chars.empty();
    Deliver(win, m, byChars ? Origin::kNothing : Origin::kHandOn, s->event, s->widget, &s->handed_on);
  }
  for (uint64_t id : queued) {
    TMsg cm;
    if (TakeQueuedMessage(id, cm)) DeliverChar(cm, s);
  }
}

bool DeliverKey(QWidget* widget, TControl* control, QKeyEvent* e) {
  auto* win = dynamic_cast<TWinControl*>(control);
  if (win == nullptr || widget != control->Widget()) return false;
  SyncModifiers(e->modifiers());
  Word vk = VirtualKeyOf(e);
  if (vk == 0) return false;
  bool press = e->type() == QEvent::KeyPress;
  e->accept();
  if (!press && e->isAutoRepeat()) return true;  // a held key repeats its key-down only
  SetKeyDown(vk, press);
  SetMessageTime(static_cast<int32_t>(e->timestamp()));
  bool alt = Down(VK_MENU), ctrl = Down(VK_CONTROL);
  bool sys = (alt && !ctrl) || vk == VK_F10;
  Cardinal msg = press ? (sys ? WM_SYSKEYDOWN : WM_KEYDOWN) : (sys ? WM_SYSKEYUP : WM_KEYUP);
  bool keypad = (e->modifiers() & Qt::KeypadModifier) != 0;
  LPARAM data = KeyData(e->nativeScanCode() > 8 ? e->nativeScanCode() - 8 : 0, IsExtendedKey(vk, e->key(), keypad),
                        alt, press ? e->isAutoRepeat() : true, !press);
  QString text = e->text();
  std::u16string chars =
      press ? KeyChars(vk, Down(VK_SHIFT), ctrl, alt, GetKeyState(VK_CAPITAL) & 1, &text) : std::u16string();
  Stroke s{g_next_stroke++, e, widget, IsTextWidget(widget)};
  RunKey(win, msg, vk, data, chars, &s);
  return true;
}

// Keys taken from the queue by the loop.
bool DeliverQueuedInput(const TMsg& msg, uint64_t stroke) {
  if (msg.message < WM_KEYFIRST || msg.message > WM_KEYLAST) return false;
  TWinControl* win = FindControl(msg.hwnd);
  if (win == nullptr) return false;
  switch (msg.message) {
    case WM_CHAR:
    case WM_SYSCHAR:
      DeliverChar(msg, FindStroke(stroke));
      return true;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYUP: {
      Word vk = LOWORD(msg.wParam);
      bool press = msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN;
      std::u16string chars = press ? KeyChars(vk, Down(VK_SHIFT), Down(VK_CONTROL), msg.message == WM_SYSKEYDOWN,
                                              GetKeyState(VK_CAPITAL) & 1, nullptr)
                                   : std::u16string();
      Stroke s{g_next_stroke++, nullptr, win->Widget(), IsTextWidget(win->Widget())};
      RunKey(win, msg.message, vk, msg.lParam, chars, &s);
      return true;
    }
    default:
      return false;
  }
}

// ---------------------------------------------------------------------------
// Mouse

TControl* g_capture = nullptr;

// The screen position of the pointer event being delivered (GetCursorPos).
struct PointerAt {
  bool active = false;
  TPoint pos;
} g_pointer;

class PointerScope {
 public:
  explicit PointerScope(QPoint global) : saved_(g_pointer) { g_pointer = {true, {global.x(), global.y()}}; }
  ~PointerScope() { g_pointer = saved_; }
  PointerScope(const PointerScope&) = delete;
  PointerScope& operator=(const PointerScope&) = delete;

 private:
  PointerAt saved_;
};

HWND WindowOf(TControl* c) {
  auto* win = dynamic_cast<TWinControl*>(c);
  if (win == nullptr && c != nullptr) win = c->Parent();
  return win != nullptr && win->HandleAllocated() ? win->Handle() : nullptr;
}

HWND HandleOfWidget(QWidget* w) {
  for (; w != nullptr; w = w->parentWidget()) {
    if (auto* win = dynamic_cast<TWinControl*>(FindInputControl(w)); win != nullptr && win->HandleAllocated())
      return win->Handle();
  }
  return nullptr;
}

// Hot tracking: the innermost control under the mouse. A Leave settles on
// the parent once the events in progress are done, unless an Enter (moving
// into a sibling) comes first.
TControl* g_mouse_control = nullptr;
struct PendingLeave {
  bool pending = false;
  TControl* target = nullptr;  // valid while pending (ControlGone cancels)
} g_leave;

void SetMouseControl(TControl* c) {
  TControl* old = g_mouse_control;
  if (old == c) return;
  g_mouse_control = c;
  TControl* capture = g_capture;
  if (old != nullptr && (capture == nullptr || old == capture)) old->Perform(CM_MOUSELEAVE);
  if (c != nullptr && g_mouse_control == c && (capture == nullptr || c == capture)) c->Perform(CM_MOUSEENTER);
}

bool Contains(const TControl* outer, const TControl* inner) {
  for (const TControl* c = inner; c != nullptr; c = c->Parent()) {
    if (c == outer) return true;
  }
  return false;
}

void MouseEntered(TControl* control) {
  if (g_capture != nullptr) return;
  g_leave.pending = false;
  SetMouseControl(control);
}

void MouseLeft(TControl* control) {
  if (g_capture != nullptr || g_mouse_control == nullptr || !Contains(control, g_mouse_control)) return;
  g_leave = {true, control->Parent()};
  QTimer::singleShot(0, QCoreApplication::instance(), [] {
    if (!g_leave.pending) return;
    g_leave.pending = false;
    SetMouseControl(g_leave.target);
  });
}

Cardinal MouseMessage(QEvent::Type type, Qt::MouseButton button) {
  if (type == QEvent::MouseMove) return WM_MOUSEMOVE;
  Cardinal base;
  switch (button) {
    case Qt::LeftButton: base = WM_LBUTTONDOWN; break;
    case Qt::RightButton: base = WM_RBUTTONDOWN; break;
    case Qt::MiddleButton: base = WM_MBUTTONDOWN; break;
    default: return 0;
  }
  switch (type) {
    case QEvent::MouseButtonPress: return base;
    case QEvent::MouseButtonRelease: return base + 1;
    case QEvent::MouseButtonDblClick: return base + 2;
    default: return 0;
  }
}

TPoint ToClient(TControl* c, QPoint global) { return c->ScreenToClient({global.x(), global.y()}); }

// The key state and message time of a mouse or wheel event.
void TakePointerEvent(QSinglePointEvent* e) {
  e->accept();
  SyncModifiers(e->modifiers());
  SyncButtons(e->buttons());
  SetMessageTime(static_cast<int32_t>(e->timestamp()));
}

// The control that takes input over a control: itself, or its nearest
// enabled parent when it is disabled (nullptr: none).
TControl* EnabledTarget(TControl* control) {
  while (control != nullptr && !control->Enabled()) control = control->Parent();
  return control;
}

// Delivers a pointer message; the widget's own handling runs on the event
// when the message stays with the widget's control, else it is made anew.
void SendPointerMessage(TControl* target, TControl* control, TMessage& m, QEvent* e, QWidget* widget) {
  if (target != control) {
    target->Perform(m);
    return;
  }
  bool handedOn = false;
  Deliver(target, m, Origin::kHandOn, e, widget, &handedOn);
}

bool DeliverMouse(QWidget* widget, TControl* control, QMouseEvent* e) {
  Cardinal msg = MouseMessage(e->type(), e->button());
  if (msg == 0) return false;
  TakePointerEvent(e);
  QPoint global = e->globalPosition().toPoint();
  PointerScope at(global);
  QPoint local = widget->mapTo(control->Widget(), e->position().toPoint());
  TControl* target;
  TPoint p{local.x(), local.y()};
  if (TControl* capture = g_capture) {
    target = capture;
    if (capture != control) p = ToClient(capture, global);
    if (msg == WM_MOUSEMOVE) SetMouseControl(capture->ClientRect().Contains(p) ? capture : nullptr);
  } else {
    if (msg == WM_MOUSEMOVE) {
      g_leave.pending = false;
      SetMouseControl(control);
    }
    target = EnabledTarget(control);
    if (target == nullptr) return true;
    if (target != control) p = ToClient(target, global);
    if (msg != WM_LBUTTONUP && msg != WM_RBUTTONUP && msg != WM_MBUTTONUP) {
      TControlRef alive(target);
      PointerCursorRound(target, widget, msg);
      if (!alive) return true;
    }
  }
  TMessage m{msg, MouseKeys(e->modifiers(), e->buttons()), MAKELPARAM(p.X, p.Y), 0};
  SendPointerMessage(target, control, m, e, widget);
  return true;
}

bool DeliverWheel(QWidget* widget, TControl* control, QWheelEvent* e) {
  int delta = e->angleDelta().y();
  if (delta == 0) return false;
  TakePointerEvent(e);
  QPoint global = e->globalPosition().toPoint();
  PointerScope at(global);
  TMessage m{WM_MOUSEWHEEL, MAKEWPARAM(static_cast<int>(MouseKeys(e->modifiers(), e->buttons())), delta),
             MAKELPARAM(global.x(), global.y()), 0};
  TControl* target = EnabledTarget(control);
  if (target != nullptr) SendPointerMessage(target, control, m, e, widget);
  return true;
}

// ---------------------------------------------------------------------------
// Focus

HWND g_focus_lost = nullptr;  // the window that lost the focus to another of ours

bool DeliverFocus(QWidget* widget, TControl* control, QFocusEvent* e) {
  auto* win = dynamic_cast<TWinControl*>(control);
  if (win == nullptr || widget != control->Widget() || e->reason() == Qt::PopupFocusReason) return false;
  HWND other;
  Cardinal msg;
  if (e->type() == QEvent::FocusIn) {
    // Qt hands the focus on while a window's children are destroyed; a
    // window that is itself going takes none of it.
    if (win->ComponentState().Contains(csDestroying)) return true;
    msg = WM_SETFOCUS;
    other = IsWindow(g_focus_lost) ? g_focus_lost : nullptr;
    g_focus_lost = nullptr;
  } else {
    msg = WM_KILLFOCUS;
    other = HandleOfWidget(QApplication::focusWidget());  // Qt has moved the focus already
    g_focus_lost = other != nullptr ? win->Handle() : nullptr;
  }
  TMessage m{msg, reinterpret_cast<WPARAM>(other), 0, 0};
  bool handedOn = false;
  HWND lost = win->Handle();
  Deliver(win, m, Origin::kHandOn, e, widget, &handedOn);
  if (msg == WM_KILLFOCUS) DropDownFocusMoved(lost, IsWindow(other) ? other : nullptr);
  return true;
}

}  // namespace

// ---------------------------------------------------------------------------
// GUI-layer entry points

void InitInput() { SetQueuedInputHandler(DeliverQueuedInput); }

bool PointerEventPos(TPoint& Pos) {
  if (!g_pointer.active) return false;
  Pos = g_pointer.pos;
  return true;
}

bool DeliverInputEvent(QWidget* Widget, TControl* Control, QEvent* Event) {
  switch (Event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
      return DeliverMouse(Widget, Control, static_cast<QMouseEvent*>(Event));
    case QEvent::Wheel:
      return DeliverWheel(Widget, Control, static_cast<QWheelEvent*>(Event));
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
      return DeliverKey(Widget, Control, static_cast<QKeyEvent*>(Event));
    case QEvent::FocusIn:
    case QEvent::FocusOut:
      return DeliverFocus(Widget, Control, static_cast<QFocusEvent*>(Event));
    case QEvent::Enter:
      MouseEntered(Control);
      return false;
    case QEvent::Leave:
      MouseLeft(Control);
      return false;
    default:
      return false;
  }
}

bool IsNativeDelivery(QEvent* Event) {
  for (const NativeSend& n : g_native) {
    if (n.event == Event) return true;
  }
  return false;
}

bool IsNativeTarget(QEvent* Event, QWidget* Widget) {
  for (auto it = g_native.rbegin(); it != g_native.rend(); ++it) {
    if (it->event == Event) return it->widget == Widget;
  }
  return false;
}

void DefaultInputHandler(TControl* Control, TMessage& Message) {
  for (auto it = g_origins.rbegin(); it != g_origins.rend(); ++it) {
    Origin* o = *it;
    if (o->message != &Message || o->control != Control) continue;
    if (o->kind == Origin::kNothing) return;
    if (o->kind == Origin::kCharacter && Message.WParam != o->character) {
      MakeNativeEvent(Control, Message);  // a changed character is typed as it now is
      return;
    }
    if (*o->handed_on) return;
    *o->handed_on = true;
    SendNative(o->widget, o->event);
    return;
  }
  MakeNativeEvent(Control, Message);
}

LRESULT NativeDlgCode(QWidget* Widget) {
  if (qobject_cast<QLineEdit*>(Widget) != nullptr) return DLGC_WANTCHARS | DLGC_HASSETSEL | DLGC_WANTARROWS;
  if (qobject_cast<QPlainTextEdit*>(Widget) != nullptr || qobject_cast<QTextEdit*>(Widget) != nullptr)
    return DLGC_WANTCHARS | DLGC_HASSETSEL | DLGC_WANTARROWS | DLGC_WANTALLKEYS;
  if (auto* push = qobject_cast<QPushButton*>(Widget))
    return DLGC_BUTTON | (push->isDefault() ? DLGC_DEFPUSHBUTTON : DLGC_UNDEFPUSHBUTTON);
  if (qobject_cast<QRadioButton*>(Widget) != nullptr) return DLGC_BUTTON | DLGC_RADIOBUTTON;
  if (qobject_cast<QAbstractButton*>(Widget) != nullptr) return DLGC_BUTTON;
  if (qobject_cast<QAbstractItemView*>(Widget) != nullptr) return DLGC_WANTARROWS | DLGC_WANTCHARS;
  if (qobject_cast<QLabel*>(Widget) != nullptr) return DLGC_STATIC;
  return 0;
}

void ControlGone(TControl* Control) {
  if (g_capture == Control) g_capture = nullptr;
  if (g_mouse_control == Control) g_mouse_control = nullptr;
  if (g_leave.target == Control) g_leave.pending = false;
}

TControl* GetCaptureControl() { return g_capture; }

void SetCaptureControl(TControl* Control) {
  TControl* old = g_capture;
  if (old == Control) return;
  g_capture = Control;
  if (old != nullptr) old->Perform(WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(WindowOf(Control)));
}

HWND SetCapture(HWND Wnd) {
  HWND old = GetCapture();
  SetCaptureControl(FindControl(Wnd));
  return old;
}

bool ReleaseCapture() {
  SetCaptureControl(nullptr);
  return true;
}

HWND GetCapture() { return g_capture != nullptr ? WindowOf(g_capture) : nullptr; }

HWND GetFocus() { return GuiApplicationExists() ? HandleOfWidget(QApplication::focusWidget()) : nullptr; }
