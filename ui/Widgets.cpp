#include "ui/Widgets.h"

#include <QChildEvent>
#include <QDynamicPropertyChangeEvent>
#include <QPalette>
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
