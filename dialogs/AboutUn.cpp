#include "dialogs/AboutUn.h"

#include <QDir>

#include "base/Platform.h"
#include "device/DirUn.h"
#include "device/KVZDeviceUn.h"
#include "ui/ManualUn.h"
#include "ui/Pictures.h"
#include "ui/Version.h"
#include "ui/Widgets.h"

TAboutForm::TAboutForm(QWidget* mainWindow, const TKVZDevice& device)
    : QDialog(mainWindow), mainWindow_(mainWindow), device_(device) {
  FollowPixelSizes(this);
  setupUi(this);
  PaintWhite(this);
  Image1->setPixmap(Picture("instrument", Image1->size(), devicePixelRatioF()));
  Image2->setPixmap(Picture("emblem", Image2->size(), devicePixelRatioF()));
  connect(ManualButton, &QPushButton::clicked, this,
          [this] { OpenManual(this, ManualSection::kAbout); });
  AddManualKey(this, ManualSection::kAbout);
}

void TAboutForm::showEvent(QShowEvent* event) {
  // From the main window's outer corner, frame and caption included, as a form's Left and Top.
  move(mainWindow_->frameGeometry().topLeft() + QPoint(20, 20));
  const QString deviceVersion = device_.Connected.load()
                                    ? QString::fromStdString(Cp1251ToUtf8(device_.DeviceVersion))
                                    : QString("неизвестна");
  VersLabel->setText(
      QString("Версия ПО: %1\nВерсия ПО прибора: %2").arg(kProgramVersion, deviceVersion));
  // The settings file's folder: the register and the history lists go where it goes, unless one
  // of them alone could not be written there.
  DirLabel->setText("Файлы программы: " +
                    QDir::toNativeSeparators(QString::fromStdString(FolderOf(kSettingsFile))));
  QDialog::showEvent(event);
}
