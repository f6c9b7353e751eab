#include "app/Lamp.h"

#include <QPainter>

TLamp::TLamp(QWidget* parent) : QWidget(parent) {}

void TLamp::SetColor(const QColor& color) {
  color_ = color;
  update();
}

void TLamp::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen(Qt::black, 1));
  painter.setBrush(color_);
  painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 3, 3);
}
