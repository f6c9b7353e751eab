#include "ui/Pictures.h"

#include <QImage>

// The build renders every SVG picture at its own size and at twice that. The larger one serves any
// density above 1: shrinking it stays sharp where enlarging the smaller one would blur.
QPixmap Picture(const QString& name, QSize size, qreal devicePixelRatio) {
  const QString base = QStringLiteral(":/pictures/%1").arg(name);
  QImage image(devicePixelRatio > 1.0 ? base + QStringLiteral("@2x.png")
                                      : base + QStringLiteral(".png"));
  const QSize pixels = size * devicePixelRatio;
  if (image.size() != pixels)
    image = image.scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  QPixmap pixmap = QPixmap::fromImage(image);
  pixmap.setDevicePixelRatio(devicePixelRatio);
  return pixmap;
}
