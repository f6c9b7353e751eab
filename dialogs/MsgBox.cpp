#include "MsgBox.h"

#include <QApplication>
#include <QMessageBox>

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

}  // namespace

void SetHook(THook hook) {
  Hook() = std::move(hook);
}

TAnswer Show(QWidget* parent, const TBox& box) {
  if (Hook()) return Hook()(box);
  QMessageBox message(
      IconOf(box.icon), box.caption, QString(box.text).replace('\r', '\n'),
      box.buttons == TButtons::YesNo ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok,
      parent != nullptr ? parent : QApplication::activeWindow());
  message.setTextFormat(Qt::PlainText);
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

}  // namespace MsgBox
