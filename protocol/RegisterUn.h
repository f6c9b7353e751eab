#pragma once

#include <QAbstractTableModel>
#include <QDialog>
#include <QLabel>
#include <QStatusBar>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "register/ProtocolRegister.h"
#include "register/RegisterCsv.h"
#include "ui_RegisterUn.h"

// The register's rows as the window's table shows them, newest first, read a page at a time as
// the table scrolls to them: a million protocols cost the pages scrolled through, and each cell's
// text is made only when the view asks for it.
class TRegisterModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  // The page after the row numbered below, or the first page for none.
  using TPage = std::function<std::vector<TProtocolRecord>(std::optional<std::int64_t> below)>;

  using QAbstractTableModel::QAbstractTableModel;

  // Shows total rows, the first page read at once and the others when scrolled to.
  void SetRows(std::int64_t total, TPage page);
  // Shows nothing and keeps nothing.
  void Clear();
  const std::vector<TProtocolRecord>& Rows() const { return rows_; }

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;
  bool canFetchMore(const QModelIndex& parent) const override;
  void fetchMore(const QModelIndex& parent) override;

 private:
  std::vector<TProtocolRecord> rows_;
  std::int64_t total_ = 0;
  TPage page_;
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

  // Designer gives a status bar to a main window only: the constructor makes it, under the names a
  // form would give it.
  QStatusBar* StatusBar;
  QLabel* CountLabel;

  // The rows the search text and the dates select, read again from the register; nothing while
  // the window is hidden. The table holds the rows read so far; the count is of them all.
  void Refresh();
  const std::vector<TProtocolRecord>& ShownRows() const { return model_.Rows(); }

  void OpenButtonClick();
  // Asks for the file, then exports to it.
  void ExportButtonClick();
  // Writes the rows the count counts, read again as they are written; false when that failed,
  // the error then shown.
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
  // Shows count rows, read from the register as filter_ selects them; with no count yet, as many
  // as there are, counted in slices (CountStep).
  void ShowRows(std::optional<std::int64_t> count);
  void ShowCount(std::int64_t count);
  void CountStep();
  std::vector<TProtocolRecord> ReadPage(std::optional<std::int64_t> below);

  TFileName registerFile_;
  TOpenRecord openRecord_;
  TModeName modeName_;
  TRegisterModel model_;
  std::unique_ptr<TProtocolRegister> register_;
  // What the shown rows were selected by, which more pages and the export read.
  TRegisterFilter filter_;
  // Typing restarts it; the search runs once the operator pauses.
  QTimer SearchTimer;
  // A search too short for the index is counted a slice of numbers per turn of the event loop:
  // in one go it would hold the window for half a second at a million protocols.
  QTimer CountTimer;
  std::int64_t counted_ = 0;
  std::optional<std::int64_t> countBelow_;
  std::int64_t countSpan_ = 0;
};
