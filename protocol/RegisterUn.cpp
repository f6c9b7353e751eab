#include "protocol/RegisterUn.h"

#include <QDir>
#include <QFileDialog>
#include <QHeaderView>
#include <QStandardPaths>
#include <chrono>
#include <utility>

#include "base/TextFile.h"
#include "device/GuiLink.h"
#include "protocol/BackupCommands.h"
#include "protocol/DailyBackup.h"
#include "ui/FileDialogs.h"
#include "ui/ManualUn.h"
#include "ui/Widgets.h"

namespace {

// The pause in typing after which the search runs: one search per word rather than per letter,
// with a hundred thousand rows to look through.
constexpr int kSearchDelayMs = 250;

enum TColumn { kNumber, kDate, kClient, kItem, kMaterial, kResult, kVerdict, kColumnCount };

const struct {
  const char* caption;
  int width;
} kColumns[kColumnCount] = {
    {"Номер", 70},     {"Дата", 110},      {"Сдатчик", 150},    {"Изделие", 100},
    {"Материал", 150}, {"Результат", 190}, {"Заключение", 120},
};

const QString kCsvFilter = "Файлы CSV (*.csv)";

std::chrono::year_month_day Day(const QDate& date) {
  return {std::chrono::year(date.year()), std::chrono::month(static_cast<unsigned>(date.month())),
          std::chrono::day(static_cast<unsigned>(date.day()))};
}

}  // namespace

void TRegisterModel::SetRows(std::vector<TProtocolRecord> rows) {
  beginResetModel();
  rows_ = std::move(rows);
  endResetModel();
}

int TRegisterModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int TRegisterModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kColumnCount;
}

QVariant TRegisterModel::data(const QModelIndex& index, int role) const {
  if (role != Qt::DisplayRole || !index.isValid()) return {};
  const TProtocolRecord& row = rows_[static_cast<std::size_t>(index.row())];
  switch (index.column()) {
    case kNumber:
      return QString::number(row.number);
    case kDate:
      return QString::fromStdString(ShownDateTime(row.madeAt));
    case kClient:
      return QString::fromStdString(row.client);
    case kItem:
      return QString::fromStdString(row.item);
    case kMaterial:
      return QString::fromStdString(row.material);
    case kResult:
      return QString::fromStdString(row.resultText);
    case kVerdict:
      return QString::fromStdString(row.verdict);
    default:
      return {};
  }
}

QVariant TRegisterModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole || orientation != Qt::Horizontal || section < 0 ||
      section >= kColumnCount)
    return {};
  return QString::fromUtf8(kColumns[section].caption);
}

TRegisterForm::TRegisterForm(QWidget* owner, TFileName registerFile, TOpenRecord openRecord,
                             TModeName modeName)
    : QDialog(owner),
      registerFile_(std::move(registerFile)),
      openRecord_(std::move(openRecord)),
      modeName_(std::move(modeName)) {
  FollowPixelSizes(this);
  setupUi(this);
  AddManualKey(this, ManualSection::kRegister);
  StatusBar->addWidget(CountLabel, 1);
  RegisterTable->setModel(&model_);
  for (int column = 0; column < kColumnCount; ++column)
    RegisterTable->horizontalHeader()->resizeSection(column, kColumns[column].width);
  const QDate today = QDate::currentDate();
  FromDateEdit->setDate(today);
  ToDateEdit->setDate(today);

  SearchTimer.setSingleShot(true);
  SearchTimer.setInterval(kSearchDelayMs);
  connect(&SearchTimer, &QTimer::timeout, this, &TRegisterForm::Refresh);
  connect(SearchEdit, &QLineEdit::textChanged, &SearchTimer, qOverload<>(&QTimer::start));
  for (const std::pair<QCheckBox*, QDateEdit*>& day :
       {std::pair(FromCheckBox, FromDateEdit), std::pair(ToCheckBox, ToDateEdit)}) {
    QCheckBox* check = day.first;
    connect(check, &QCheckBox::toggled, day.second, &QWidget::setEnabled);
    connect(check, &QCheckBox::toggled, this, &TRegisterForm::Refresh);
    connect(day.second, &QDateEdit::dateChanged, this, [this, check] {
      if (check->isChecked()) Refresh();
    });
  }
  connect(RegisterTable, &QAbstractItemView::activated, this, &TRegisterForm::OpenButtonClick);
  connect(OpenButton, &QPushButton::clicked, this, &TRegisterForm::OpenButtonClick);
  connect(ExportButton, &QPushButton::clicked, this, &TRegisterForm::ExportButtonClick);
  connect(BackupButton, &QPushButton::clicked, this, &TRegisterForm::BackupButtonClick);
  connect(RestoreButton, &QPushButton::clicked, this, &TRegisterForm::RestoreButtonClick);
  connect(CloseButton, &QPushButton::clicked, this, &TRegisterForm::CloseButtonClick);
  ShowRows({});
}

TRegisterForm::~TRegisterForm() = default;

TRegisterFilter TRegisterForm::Filter() const {
  TRegisterFilter filter;
  filter.text = SearchEdit->text().trimmed().toStdString();
  if (FromCheckBox->isChecked()) filter.from = Day(FromDateEdit->date());
  if (ToCheckBox->isChecked()) filter.to = Day(ToDateEdit->date());
  return filter;
}

void TRegisterForm::Refresh() {
  SearchTimer.stop();
  // Hidden, the window holds no register; its next showing reads the rows afresh.
  if (!isVisible()) return;
  // A register that cannot be opened or read leaves the window empty and usable: the next search
  // or showing tries again.
  try {
    if (!register_) register_ = std::make_unique<TProtocolRegister>(registerFile_());
    ShowRows(register_->Find(Filter()));
  } catch (const TRegisterError& e) {
    ShowRows({});
    GuiLink().ReportError(e.what());
  }
}

void TRegisterForm::ShowRows(std::vector<TProtocolRecord> rows) {
  model_.SetRows(std::move(rows));
  const int count = model_.rowCount();
  CountLabel->setText(QString("Показано протоколов: %1").arg(count));
  OpenButton->setEnabled(count > 0);
  if (count > 0) RegisterTable->setCurrentIndex(model_.index(0, 0));
}

void TRegisterForm::OpenButtonClick() {
  const QModelIndex current = RegisterTable->currentIndex();
  if (!current.isValid()) return;
  // A copy: the preview runs its own loop, in which the rows may be read again.
  const TProtocolRecord record = model_.Rows()[static_cast<std::size_t>(current.row())];
  openRecord_(record);
}

void TRegisterForm::ExportButtonClick() {
  const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  QString fileName =
      QFileDialog::getSaveFileName(this, "Экспорт журнала протоколов",
                                   QDir(documents).filePath("Журнал протоколов.csv"), kCsvFilter);
  if (fileName.isEmpty()) return;
  if (!fileName.endsWith(".csv", Qt::CaseInsensitive)) fileName += ".csv";
  ExportTo(fileName);
}

bool TRegisterForm::ExportTo(const QString& fileName) {
  try {
    WriteRegisterCsv(QDir::toNativeSeparators(fileName).toStdString(), model_.Rows(), modeName_);
  } catch (const TFileError& e) {
    GuiLink().ReportError(e.what());
    return false;
  }
  return true;
}

void TRegisterForm::BackupButtonClick() {
  const QString folder =
      ChooseFolder(this, "Папка для резервной копии",
                   QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
  if (!folder.isEmpty())
    BackUpRegister(this, registerFile_(), folder, QDateTime::currentDateTime());
}

void TRegisterForm::RestoreButtonClick() {
  const QString copy = ChooseFileToOpen(this, "Копия журнала протоколов",
                                        QString::fromStdString(BackupFolderOf(registerFile_())),
                                        "Журнал протоколов (*.db)");
  if (!copy.isEmpty() &&
      RestoreRegisterFrom(this, registerFile_(), copy, QDateTime::currentDateTime()))
    Refresh();
}

void TRegisterForm::CloseButtonClick() {
  reject();
}

void TRegisterForm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  Refresh();
}

void TRegisterForm::hideEvent(QHideEvent* event) {
  // Not held while hidden, so that a backup copies a closed file.
  SearchTimer.stop();
  register_.reset();
  QDialog::hideEvent(event);
}
