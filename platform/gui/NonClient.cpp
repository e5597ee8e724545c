#include "platform/gui/NonClient.h"

#include <QAbstractScrollArea>
#include <QEvent>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QTextDocument>
#include <QTextOption>
#include <QWidget>

#include "platform/gui/GuiInternal.h"
#include "platform/gui/QtGraphics.h"

namespace {

// Reaches the scroll area's viewport margins (a protected member) through a
// member pointer of the base class.
struct ScrollAreaAccess : QAbstractScrollArea {
  static void SetViewportMargins(QAbstractScrollArea* Area, const QMargins& M) {
    void (QAbstractScrollArea::*set)(const QMargins&) = &ScrollAreaAccess::setViewportMargins;
    (Area->*set)(M);
  }
};

// The layer above a control's widget that paints its non-client area.
class NonClientLayer : public QWidget {
 public:
  explicit NonClientLayer(QWidget* Parent) : QWidget(Parent) {
    setObjectName("NonClientLayer");
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
    setGeometry(Parent->rect());
    Parent->installEventFilter(this);
    show();
    raise();
  }

  QRect client;             // the client area in the widget's coordinates
  int format_left = 0, format_top = 0;

  void ApplyMargins() {
    QWidget* w = parentWidget();
    QMargins m(client.left(), client.top(), w->width() - client.right() - 1, w->height() - client.bottom() - 1);
    QMargins inner = m + QMargins(format_left, format_top, 0, 0);
    if (auto* area = qobject_cast<QAbstractScrollArea*>(w)) {
      area->setFrameShape(QFrame::NoFrame);
      ScrollAreaAccess::SetViewportMargins(area, inner);
    } else {
      if (auto* edit = qobject_cast<QLineEdit*>(w)) edit->setFrame(false);
      w->setContentsMargins(inner);
    }
    update();
  }

 protected:
  bool eventFilter(QObject* Watched, QEvent* Event) override {
    if (Watched == parentWidget()) {
      if (Event->type() == QEvent::Resize) setGeometry(parentWidget()->rect());
      else if (Event->type() == QEvent::ChildAdded) raise();
    }
    return false;
  }

  void paintEvent(QPaintEvent*) override {
    auto* control = dynamic_cast<TWinControl*>(FindControl(parentWidget()));
    if (control == nullptr) return;
    TEventScope scope;
    QPainter painter(this);
    if (format_left > 0 || format_top > 0) {
      QRegion strip = QRegion(client) - QRegion(client.adjusted(format_left, format_top, 0, 0));
      painter.setClipRegion(strip);
      painter.fillRect(client, ToQColor(control->Color()));
    }
    painter.setClipRegion(QRegion(rect()) - QRegion(client));
    HDC dc = CreatePainterDC(&painter);
    try {
      control->Perform(WM_NCPAINT, reinterpret_cast<WPARAM>(dc), 0);
    } catch (...) {
      DeletePainterDC(dc);
      HandleEventException(control);
      return;
    }
    DeletePainterDC(dc);
  }
};

NonClientLayer* Layer(TWinControl* Control, bool Make) {
  QWidget* w = Control != nullptr ? Control->Widget() : nullptr;
  if (w == nullptr) return nullptr;
  auto* layer = w->findChild<NonClientLayer*>("NonClientLayer", Qt::FindDirectChildrenOnly);
  if (layer == nullptr && Make) {
    layer = new NonClientLayer(w);
    layer->client = w->rect();
  }
  return layer;
}

}  // namespace

void RecalcNonClient(TWinControl* Control) {
  NonClientLayer* layer = Layer(Control, true);
  if (layer == nullptr) return;
  TRect r = Rect(0, 0, Control->Width(), Control->Height());
  Control->Perform(WM_NCCALCSIZE, 0, reinterpret_cast<LPARAM>(&r));
  if (r.Right < r.Left) r.Right = r.Left;
  if (r.Bottom < r.Top) r.Bottom = r.Top;
  layer->client = QRect(r.Left, r.Top, r.Width(), r.Height());
  layer->ApplyMargins();
}

void RedrawNonClient(TWinControl* Control) {
  if (NonClientLayer* layer = Layer(Control, false)) layer->update();
}

TRect NonClientClientRect(TWinControl* Control) {
  NonClientLayer* layer = Layer(Control, false);
  if (layer == nullptr) return Rect(0, 0, Control->Width(), Control->Height());
  const QRect& c = layer->client;
  return Rect(c.left(), c.top(), c.left() + c.width(), c.top() + c.height());
}

void SetEditAlignment(TWinControl* Edit, TAlignment Value) {
  QWidget* w = Edit != nullptr ? Edit->Widget() : nullptr;
  Qt::Alignment a = Value == taRightJustify ? Qt::AlignRight : Value == taCenter ? Qt::AlignHCenter : Qt::AlignLeft;
  if (auto* edit = qobject_cast<QLineEdit*>(w)) {
    edit->setAlignment(a | Qt::AlignVCenter);
  } else if (auto* memo = qobject_cast<QPlainTextEdit*>(w)) {
    QTextOption option = memo->document()->defaultTextOption();
    option.setAlignment(a);
    memo->document()->setDefaultTextOption(option);
  }
}

void SetMemoFormatMargins(TWinControl* Memo, int Left, int Top) {
  NonClientLayer* layer = Layer(Memo, true);
  if (layer == nullptr) return;
  layer->format_left = std::max(Left, 0);
  layer->format_top = std::max(Top, 0);
  layer->ApplyMargins();
}
