#include "app/QtGuiLink.h"

#include <QApplication>
#include <QMetaObject>

#include "ui/MsgBox.h"

void TQtGuiLink::ShowMessage(const std::string& text, const std::string& caption, TMsgIcon icon,
                             bool topmost) {
  MsgBox::Show(nullptr, {QString::fromStdString(text), QString::fromStdString(caption), icon,
                         MsgBox::TButtons::Ok, topmost});
}

void TQtGuiLink::ProcessEvents() {
  QCoreApplication::processEvents();
}

void TQtGuiLink::RunOnGuiThread(const std::function<void()>& call) {
  QMetaObject::invokeMethod(
      qApp, [&call] { call(); }, Qt::BlockingQueuedConnection);
}

void TQtGuiLink::ReportError(const std::string& text) {
  MsgBox::ReportError(QString::fromStdString(text));
}
