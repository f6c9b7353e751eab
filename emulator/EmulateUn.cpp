#include "emulator/EmulateUn.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <chrono>
#include <thread>

#include "device/Frames.h"
#include "device/KVZDeviceUn.h"
#include "emulator/Potentials.h"

namespace {

const char* const kResults[] = {" нет в программе",
                                " Золото 375 пробы",
                                " Золото 585 пробы (не стандарт)",
                                " Золото 585 пробы (стандарт)",
                                " Золото 750 пробы",
                                " Золото 958 пробы",
                                " Золото 999 пробы",
                                " Серебро до 800 пробы",
                                " Серебро 800 пробы и более",
                                " Палладий",
                                " Белое золото",
                                " Платина",
                                " повторите тест",
                                " не драгметалл"};

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
  setWindowTitle("Эмулятор KVZ-03");
  setFixedSize(276, 463);
  QFont font("MS Sans Serif");
  font.setPixelSize(11);
  setFont(font);

  GroupBox1 = new QGroupBox(" Set Mode ", this);
  GroupBox1->setGeometry(8, 4, 260, 196);
  // Each mode button carries its mode character as its hint.
  const auto modeButton = [this](const char* caption, char mode, QRect place) {
    auto* button = new QPushButton(QString::fromUtf8(caption), GroupBox1);
    button->setToolTip(QString(QLatin1Char(mode)));
    button->setGeometry(place);
    connect(button, &QPushButton::clicked, this, [this, button] { CModeButtonClick(button); });
    return button;
  };
  CModeButton = modeButton("Коррекция зонда", kModeCheck, {8, 20, 118, 25});
  RModeButton = modeButton("Коррекция завершена", kModeReady, {132, 20, 120, 25});
  ProgressBar1 = new QProgressBar(GroupBox1);
  ProgressBar1->setGeometry(8, 50, 244, 12);
  ProgressBar1->setRange(0, 100);
  ProgressBar1->setTextVisible(false);
  EModeButton = modeButton("Режим \"Экспертный\"", kModeExpert, {8, 70, 244, 25});
  YModeButton = modeButton("Режим \"Ювелирный - желтый сплав\"", kModeYellow, {8, 100, 244, 25});
  WModeButton = modeButton("Режим \"Ювелирный - белый сплав\"", kModeWhite, {8, 130, 244, 25});
  Button2 = modeButton("Отключение зонда", kModeNoProbe, {8, 160, 118, 25});
  Button1 = new QPushButton("Отключение питания", this);
  Button1->setToolTip(QString(QLatin1Char(kModePowerOff)));
  Button1->setGeometry(8 + 132, 4 + 160, 120, 25);
  Button1->raise();
  connect(Button1, &QPushButton::clicked, this, [this] { CModeButtonClick(Button1); });

  GroupBox2 = new QGroupBox(" Work Result ", this);
  GroupBox2->setGeometry(8, 208, 260, 247);
  auto* u1Label = new QLabel("U1", GroupBox2);
  u1Label->setGeometry(12, 26, 20, 21);
  U1Edit = new QLineEdit("0", GroupBox2);
  U1Edit->setGeometry(36, 24, 80, 23);
  auto* u2Label = new QLabel("U2", GroupBox2);
  u2Label->setGeometry(136, 26, 20, 21);
  U2Edit = new QLineEdit("0", GroupBox2);
  U2Edit->setGeometry(160, 24, 80, 23);
  auto* resultLabel = new QLabel("Заключение:", GroupBox2);
  resultLabel->setGeometry(12, 58, 200, 17);
  ResCB = new QComboBox(GroupBox2);
  for (const char* item : kResults) ResCB->addItem(QString::fromUtf8(item));
  ResCB->setCurrentIndex(-1);
  ResCB->setGeometry(12, 78, 236, 23);
  WorkResultButton = new QPushButton("Измерить", GroupBox2);
  WorkResultButton->setGeometry(12, 116, 236, 30);
  ErrCB = new QCheckBox("Ошибка", GroupBox2);
  ErrCB->setGeometry(12, 156, 236, 21);
  // Screen readers name a field by its caption, or else by the group's title.
  u1Label->setBuddy(U1Edit);
  u2Label->setBuddy(U2Edit);
  resultLabel->setBuddy(ResCB);

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
