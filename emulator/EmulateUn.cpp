#include "emulator/EmulateUn.h"

#include <QApplication>
#include <chrono>
#include <thread>

#include "device/Frames.h"
#include "device/KVZDeviceUn.h"
#include "emulator/Potentials.h"
#include "ui/Widgets.h"

namespace {

std::int16_t LowWord(const QString& text) {
  bool ok = false;
  const int value = text.trimmed().toInt(&ok);
  return static_cast<std::int16_t>(ok ? value & 0xFFFF : 0);
}

}  // namespace

TEmulateForm::TEmulateForm(QWidget* mainWindow, TKVZDevice& device)
    : QWidget(mainWindow, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                              Qt::WindowStaysOnTopHint),
      mainWindow_(mainWindow),
      device_(device),
      random_(static_cast<std::mt19937::result_type>(
          std::chrono::system_clock::now().time_since_epoch().count())) {
  FollowPixelSizes(this);
  setupUi(this);
  for (QPushButton* button :
       {CModeButton, RModeButton, EModeButton, YModeButton, WModeButton, Button2, Button1})
    connect(button, &QPushButton::clicked, this, [this, button] { CModeButtonClick(button); });
  connect(ResCB, &QComboBox::activated, this, [this] { ResCBSelect(); });
  connect(WorkResultButton, &QPushButton::clicked, this, &TEmulateForm::WorkResultButtonClick);

  CurrentModeButton = EModeButton;
  ResCBSelect();
}

void TEmulateForm::showEvent(QShowEvent* event) {
  move(mainWindow_->frameGeometry().topRight() + QPoint(1, 0));
  QWidget::showEvent(event);
}

void TEmulateForm::CModeButtonClick(QPushButton* button) {
  device_.PutModeFrame(button->toolTip().at(0).toLatin1());
  if (button == EModeButton || button == WModeButton || button == YModeButton)
    CurrentModeButton = button;
  if (button == CModeButton) {
    Animate();
    CModeButtonClick(RModeButton);
  }
}

void TEmulateForm::WorkResultButtonClick() {
  const std::int16_t u1 = LowWord(U1Edit->text());
  const std::int16_t u2 = LowWord(U2Edit->text());
  const char code = device_.ResultNames.Code(ResCB->currentIndex());
  device_.PutModeFrame(kModeMeasuring);
  Animate();
  if (ErrCB->isChecked())
    device_.PutModeFrame(kModeError);
  else
    device_.PutWorkFrame(u1, u2, code, CurrentModeButton->toolTip().at(0).toLatin1());
  ResCBSelect();
}

void TEmulateForm::ResCBSelect() {
  const TPotentials drawn =
      DrawPotentials(ResCB->currentIndex(), CurrentModeButton == YModeButton, random_);
  U1Edit->setText(QString::number(drawn.u1));
  U2Edit->setText(QString::number(drawn.u2));
}

void TEmulateForm::Animate() {
  // The detector takes a moment over each step; the bar shows it while the GUI stays live.
  for (int position = ProgressBar1->minimum(); position <= ProgressBar1->maximum(); ++position) {
    QApplication::processEvents();
    ProgressBar1->setValue(position);
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}
