#pragma once

#include <QAbstractTableModel>
#include <QDialog>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "register/ProtocolRegister.h"
#include "register/RegisterCsv.h"
#include "ui_RegisterUn.h"

// The register's rows as the window's table shows them, newest first. Each cell's text is made
// when the view asks for it, so a hundred thousand protocols cost one vector of records and
// nothing per cell.
class TRegisterModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  using QAbstractTableModel::QAbstractTableModel;

  void SetRows(std::vector<TProtocolRecord> rows);
  const std::vector<TProtocolRecord>& Rows() const { return rows_; }

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;

 private:
  std::vector<TProtocolRecord> rows_;
};

// The register window: every kept protocol, found by text and date, opened again as it was
// printed, and handed to a spreadsheet. It holds the register open only while it is shown.
class TRegisterForm : public QDialog, public Ui::TRegisterForm {
  Q_OBJECT

 public:
  using TFileName = std::function<std::string()>;
  using TOpenRecord = std::function<void(const TProtocolRecord&)>;

  // registerFile names the register, read each time the window is shown; openRecord shows a
  // protocol's page; modeName names a working mode in the exported file.
  TRegisterForm(QWidget* owner, TFileName registerFile, TOpenRecord openRecord, TModeName modeName);
  ~TRegisterForm() override;

  // The rows the search text and the dates select, read again from the register; nothing while
  // the window is hidden.
  void Refresh();
  const std::vector<TProtocolRecord>& ShownRows() const { return model_.Rows(); }

  void OpenButtonClick();
  // Asks for the file, then exports to it.
  void ExportButtonClick();
  // Writes the shown rows; false when that failed, the error then shown.
  bool ExportTo(const QString& fileName);
  // Ask for a folder to copy the register and its pages into, or for a copy to restore.
  void BackupButtonClick();
  void RestoreButtonClick();
  void CloseButtonClick();

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  TRegisterFilter Filter() const;
  void ShowRows(std::vector<TProtocolRecord> rows);

  TFileName registerFile_;
  TOpenRecord openRecord_;
  TModeName modeName_;
  TRegisterModel model_;
  std::unique_ptr<TProtocolRegister> register_;
  // Typing restarts it; the search runs once the operator pauses.
  QTimer SearchTimer;
};
