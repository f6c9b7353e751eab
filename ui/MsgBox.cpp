#include "ui/MsgBox.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QScreen>
#include <algorithm>
#include <cmath>

namespace MsgBox {
namespace {

THook& Hook() {
  static THook hook;
  return hook;
}

QMessageBox::Icon IconOf(TMsgIcon icon) {
  switch (icon) {
    case TMsgIcon::Error:
      return QMessageBox::Critical;
    case TMsgIcon::Information:
      return QMessageBox::Information;
    case TMsgIcon::Warning:
      return QMessageBox::Warning;
    case TMsgIcon::None:
      break;
  }
  return QMessageBox::NoIcon;
}

// The box wraps its text at a fixed width (at most 500 pixels, half a small screen), narrower than
// many of our lines: keep each line of the text on one line of the box, as it was written. Longer
// lines still wrap, at 640 pixels or three quarters of the screen, since in a box much wider than
// that Qt breaks the words themselves apart.
void KeepLinesWhole(QMessageBox& message, const QString& text) {
  const int limit = std::min(message.screen()->availableGeometry().width() * 3 / 4, 640);
  for (QLabel* label : message.findChildren<QLabel*>()) {
    if (label->text() != text) continue;
    const QFontMetricsF metrics(label->font());
    qreal widest = 0;
    for (const QString& line : text.split('\n'))
      widest = std::max(widest, metrics.horizontalAdvance(line));
    label->setMinimumWidth(std::min(static_cast<int>(std::ceil(widest)) + 1, limit));
  }
}

}  // namespace

void SetHook(THook hook) {
  Hook() = std::move(hook);
}

TAnswer Show(QWidget* parent, const TBox& box) {
  if (Hook()) return Hook()(box);
  const QString text = QString(box.text).replace('\r', '\n');
  QMessageBox message(
      IconOf(box.icon), box.caption, text,
      box.buttons == TButtons::YesNo ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok,
      parent != nullptr ? parent : QApplication::activeWindow());
  message.setTextFormat(Qt::PlainText);
  KeepLinesWhole(message, text);
  if (box.topmost) message.setWindowFlag(Qt::WindowStaysOnTopHint);
  if (box.buttons == TButtons::YesNo) message.setDefaultButton(QMessageBox::Yes);
  switch (message.exec()) {
    case QMessageBox::Yes:
      return TAnswer::Yes;
    case QMessageBox::No:
      return TAnswer::No;
    default:
      return TAnswer::Ok;
  }
}

void ShowError(QWidget* parent, const QString& text) {
  Show(parent, {text, kCaption, TMsgIcon::Error, TButtons::Ok, false});
}

void ShowWarning(QWidget* parent, const QString& text) {
  Show(parent, {text, kCaption, TMsgIcon::Warning, TButtons::Ok, false});
}

void ReportError(const QString& text) {
  ShowError(nullptr, text);
}

}  // namespace MsgBox
