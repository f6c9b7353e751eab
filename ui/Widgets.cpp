#include "ui/Widgets.h"

#include <QChildEvent>
#include <QDynamicPropertyChangeEvent>
#include <QKeyEvent>
#include <QPalette>
#include <QPushButton>
#include <QVariant>
#include <QWidget>

namespace {

class TPixelSizeFollower : public QObject {
 public:
  explicit TPixelSizeFollower(QWidget* window) : QObject(window) {
    window->installEventFilter(this);
  }

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::ChildAdded) {
      QObject* child = static_cast<QChildEvent*>(event)->child();
      if (child->isWidgetType()) child->installEventFilter(this);
    } else if (event->type() == QEvent::DynamicPropertyChange &&
               static_cast<QDynamicPropertyChangeEvent*>(event)->propertyName() ==
                   kPixelSizeProperty) {
      auto* widget = static_cast<QWidget*>(watched);
      QFont font = widget->font();
      font.setPixelSize(widget->property(kPixelSizeProperty).toInt());
      widget->setFont(font);
    }
    return false;
  }
};

}  // namespace

void FollowPixelSizes(QWidget* window) {
  new TPixelSizeFollower(window);
}

void PaintWhite(QWidget* widget) {
  widget->setAutoFillBackground(true);
  QPalette white = widget->palette();
  white.setColor(QPalette::Window, Qt::white);
  widget->setPalette(white);
}

TEnter EnterPressesButton(const QEvent* event, QObject* target) {
  if (event->type() != QEvent::KeyPress) return TEnter::NotEnter;
  const int key = static_cast<const QKeyEvent*>(event)->key();
  if (key != Qt::Key_Return && key != Qt::Key_Enter) return TEnter::NotEnter;
  auto* button = qobject_cast<QPushButton*>(target);
  if (button == nullptr) return TEnter::Elsewhere;
  // A disabled button ignores the click, as it ignores the mouse.
  button->click();
  return TEnter::PressedButton;
}
