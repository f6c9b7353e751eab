#include "ui/Pictures.h"

#include <QPainter>
#include <QSvgRenderer>

QPixmap Picture(const QString& name, QSize size, qreal devicePixelRatio) {
  QSvgRenderer renderer(QStringLiteral(":/pictures/%1.svg").arg(name));
  QPixmap pixmap(size * devicePixelRatio);
  pixmap.setDevicePixelRatio(devicePixelRatio);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(size)));
  return pixmap;
}
