#pragma once

#include <QFont>
#include <QString>

class QWidget;

// The windows are drawn in pixels, fonts included. A Designer form can give a font only in points,
// which would grow and shrink with the screen's dpi setting, so a form names the family and
// weight in its font and the size in pixels in the dynamic property "pixelSize".
inline constexpr char kPixelSizeProperty[] = "pixelSize";

// Gives window, and every widget inside it that has the property, its font's size in pixels.
void ApplyPixelFonts(QWidget* window);

QFont PixelFont(const QString& family, int pixels, bool bold = false);

// The white ground of the main and information windows, which the style would otherwise paint.
void PaintWhite(QWidget* widget);
