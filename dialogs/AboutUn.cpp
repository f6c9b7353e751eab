#include "dialogs/AboutUn.h"

#include <QLabel>

#include "base/Platform.h"
#include "device/KVZDeviceUn.h"
#include "ui/Pictures.h"
#include "ui/Version.h"

namespace {

QLabel* TextLabel(QWidget* parent, const QString& text, QRect place, int pixels, bool bold,
                  Qt::Alignment alignment) {
  auto* label = new QLabel(text, parent);
  label->setTextFormat(Qt::PlainText);
  label->setGeometry(place);
  label->setAlignment(alignment);
  QFont font("Tahoma");
  font.setPixelSize(pixels);
  font.setBold(bold);
  label->setFont(font);
  return label;
}

}  // namespace

TAboutForm::TAboutForm(QWidget* mainWindow, const TKVZDevice& device)
    : QDialog(mainWindow), mainWindow_(mainWindow), device_(device) {
  setWindowTitle("Информация");
  setFixedSize(685, 343);
  setAutoFillBackground(true);
  QPalette white = palette();
  white.setColor(QPalette::Window, Qt::white);
  setPalette(white);

  Image1 = new QLabel(this);
  Image1->setGeometry(8, 8, 325, 250);
  Image1->setPixmap(Picture("instrument", {325, 250}, devicePixelRatioF()));
  Label1 = TextLabel(this, "KVZ - 03", {348, 4, 327, 89}, 64, true, Qt::AlignCenter);
  Label2 =
      TextLabel(this, "Электрохимический детектор", {348, 92, 327, 33}, 20, true, Qt::AlignCenter);
  VersLabel =
      TextLabel(this, QString(), {348, 136, 327, 121}, 20, false, Qt::AlignLeft | Qt::AlignTop);
  Image2 = new QLabel(this);
  Image2->setGeometry(8, 276, 58, 58);
  Image2->setPixmap(Picture("emblem", {58, 58}, devicePixelRatioF()));
  Label3 = TextLabel(this, "Проект KVZ-03: свободная программа для детектора", {72, 276, 241, 57},
                     16, true, Qt::AlignLeft | Qt::AlignTop);
  Label3->setWordWrap(true);
  Label4 = TextLabel(this,
                     "Лицензия: GNU GPL версии 3\n"
                     "или более поздней (GPL-3.0-or-later)\n"
                     "Неполадки: трекер задач проекта",
                     {328, 276, 349, 57}, 16, true, Qt::AlignLeft | Qt::AlignTop);
  Label4->setWordWrap(true);
}

void TAboutForm::showEvent(QShowEvent* event) {
  // From the main window's outer corner, frame and caption included, as a form's Left and Top.
  move(mainWindow_->frameGeometry().topLeft() + QPoint(20, 20));
  const QString deviceVersion = device_.Connected.load()
                                    ? QString::fromStdString(Cp1251ToUtf8(device_.DeviceVersion))
                                    : QString("неизвестна");
  VersLabel->setText(
      QString("Версия ПО: %1\nВерсия ПО прибора: %2").arg(kProgramVersion, deviceVersion));
  QDialog::showEvent(event);
}
