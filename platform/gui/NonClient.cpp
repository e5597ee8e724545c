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
#include "platform/gui/Popup.h"
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

// A layer above a text box's widget (its client area) that fills the strip
// of the memo's formatting margins with the control's colour.
class FormatLayer : public QWidget {
 public:
  explicit FormatLayer(QWidget* Parent) : QWidget(Parent) {
    setObjectName("FormatLayer");
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
    setGeometry(Parent->rect());
    Parent->installEventFilter(this);
    show();
    raise();
  }

  int format_left = 0, format_top = 0;

  // The text keeps inside the formatting rectangle; the control paints the
  // border, so the widget's own frame is off.
  void ApplyMargins() {
    QWidget* w = parentWidget();
    QMargins inner(format_left, format_top, 0, 0);
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
    if (format_left <= 0 && format_top <= 0) return;
    auto* control = dynamic_cast<TWinControl*>(FindControl(parentWidget()));
    if (control == nullptr) return;
    QPainter painter(this);
    painter.setClipRegion(QRegion(rect()) - QRegion(rect().adjusted(format_left, format_top, 0, 0)));
    painter.fillRect(rect(), ToQColor(control->Color()));
  }
};

FormatLayer* Layer(TWinControl* Control, bool Make) {
  QWidget* w = Control != nullptr ? Control->Widget() : nullptr;
  if (w == nullptr) return nullptr;
  auto* layer = w->findChild<FormatLayer*>("FormatLayer", Qt::FindDirectChildrenOnly);
  if (layer == nullptr && Make) layer = new FormatLayer(w);
  return layer;
}

}  // namespace

void RecalcNonClient(TWinControl* Control) {
  FormatLayer* layer = Layer(Control, true);
  if (layer == nullptr) return;
  layer->ApplyMargins();
  if (Control->HandleAllocated())
    SetWindowPos(Control->Handle(), nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
  RedrawNonClient(Control);
}

void RedrawNonClient(TWinControl* Control) {
  if (Control != nullptr && Control->Widget() != nullptr && Control->WindowWidget() != Control->Widget())
    Control->WindowWidget()->update();
}

TRect NonClientClientRect(TWinControl* Control) {
  const TRect c = Control->ClientRect();
  if (Control->Widget() == nullptr || Control->WindowWidget() == Control->Widget()) return c;
  const QPoint o = Control->Widget()->pos();
  return Rect(o.x(), o.y(), o.x() + c.Width(), o.y() + c.Height());
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
  FormatLayer* layer = Layer(Memo, true);
  if (layer == nullptr) return;
  layer->format_left = std::max(Left, 0);
  layer->format_top = std::max(Top, 0);
  layer->ApplyMargins();
}
