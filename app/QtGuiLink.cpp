#include "app/QtGuiLink.h"

#include <QApplication>
#include <QMetaObject>

#include "ui/MsgBox.h"

const char* const TQtGuiLink::kAppTitle = "KVz - 03";

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
  MsgBox::Show(nullptr, {QString::fromStdString(text), QString::fromUtf8(kAppTitle),
                         TMsgIcon::Error, MsgBox::TButtons::Ok, false});
}
