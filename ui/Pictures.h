#pragma once

#include <QIcon>
#include <QPixmap>
#include <QString>

// The program's pictures, drawn as SVG in resources/ and rendered at the screen's pixel density.
QPixmap Picture(const QString& name, QSize size, qreal devicePixelRatio = 1.0);
// A button picture with its own drawing for the disabled state when one is given.
QIcon PictureIcon(const QString& name, QSize size, const QString& disabledName = QString());
