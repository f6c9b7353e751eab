#include "ui/Widgets.h"

#include <QPalette>
#include <QVariant>
#include <QWidget>

namespace {

void ApplyPixelFont(QWidget* widget) {
  const QVariant pixels = widget->property(kPixelSizeProperty);
  if (!pixels.isValid()) return;
  QFont font = widget->font();
  font.setPixelSize(pixels.toInt());
  widget->setFont(font);
}

}  // namespace

void ApplyPixelFonts(QWidget* window) {
  ApplyPixelFont(window);
  for (QWidget* child : window->findChildren<QWidget*>()) ApplyPixelFont(child);
}

QFont PixelFont(const QString& family, int pixels, bool bold) {
  QFont font(family);
  font.setPixelSize(pixels);
  font.setBold(bold);
  return font;
}

void PaintWhite(QWidget* widget) {
  widget->setAutoFillBackground(true);
  QPalette white = widget->palette();
  white.setColor(QPalette::Window, Qt::white);
  widget->setPalette(white);
}
