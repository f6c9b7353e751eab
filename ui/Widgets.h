#pragma once

class QEvent;
class QObject;
class QWidget;

// The windows are drawn in pixels, fonts included. A Designer form can give a font only in points,
// which would grow and shrink with the screen's dpi setting, so a form names the family and
// weight in its font and the size in pixels in the dynamic property "pixelSize".
inline constexpr char kPixelSizeProperty[] = "pixelSize";

// Called before the form's setupUi: from then on each "pixelSize" the form sets, on window or on
// any widget made inside it, sizes that widget's font at once. A size applied only after the
// controls exist would reach them as a font change, and a combo box that sees one builds its
// pop-up there and then rather than when it first opens.
void FollowPixelSizes(QWidget* window);

// The white ground of the main and information windows, which the style would otherwise paint.
void PaintWhite(QWidget* widget);

// The program's dialogs have no default button, so that Enter never confirms what a list merely
// shows: Enter presses the focused button instead, as Windows does. What Enter was to target.
enum class TEnter { NotEnter, PressedButton, Elsewhere };
TEnter EnterPressesButton(const QEvent* event, QObject* target);
