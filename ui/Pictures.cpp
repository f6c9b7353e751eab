#include "ui/Pictures.h"

#include <QGuiApplication>

QIcon PictureIcon(const QString& name, QSize size, const QString& disabledName) {
  const qreal ratio = qGuiApp->devicePixelRatio();
  QIcon icon;
  icon.addPixmap(Picture(name, size, ratio), QIcon::Normal);
  if (!disabledName.isEmpty()) icon.addPixmap(Picture(disabledName, size, ratio), QIcon::Disabled);
  return icon;
}
