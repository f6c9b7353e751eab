#include "ui/FileDialogs.h"

#include <QFileDialog>
#include <QFileIconProvider>

namespace {

class TNameOnlyIcons : public QFileIconProvider {
 public:
  using QFileIconProvider::icon;
  QIcon icon(const QFileInfo& info) const override { return icon(info.isDir() ? Folder : File); }
  QString type(const QFileInfo& info) const override {
    return info.isDir() ? QString("Папка") : info.suffix();
  }
};

QString Choose(QFileDialog& dialog) {
  TNameOnlyIcons icons;
  dialog.setIconProvider(&icons);
  return dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()
             ? dialog.selectedFiles().constFirst()
             : QString();
}

}  // namespace

QString ChooseFolder(QWidget* owner, const QString& caption, const QString& folder) {
  QFileDialog dialog(owner, caption, folder);
  dialog.setFileMode(QFileDialog::Directory);
  dialog.setOption(QFileDialog::ShowDirsOnly);
  return Choose(dialog);
}

QString ChooseFileToOpen(QWidget* owner, const QString& caption, const QString& folder,
                         const QString& filter) {
  QFileDialog dialog(owner, caption, folder, filter);
  dialog.setFileMode(QFileDialog::ExistingFile);
  return Choose(dialog);
}
