#include "protocol/RegisterUn.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QHeaderView>
#include <QStandardPaths>
#include <chrono>
#include <utility>

#include "base/TextFile.h"
#include "protocol/BackupCommands.h"
#include "protocol/DailyBackup.h"
#include "ui/FileDialogs.h"
#include "ui/ManualUn.h"
#include "ui/MsgBox.h"
#include "ui/Widgets.h"

namespace {

// The pause in typing after which the search runs: one search per word rather than per letter.
constexpr int kSearchDelayMs = 250;
// Rows read at a time: a few screens, read in milliseconds.
constexpr std::size_t kPageRows = 200;

enum TColumn { kNumber, kDate, kClient, kItem, kMaterial, kResult, kVerdict, kColumnCount };

const struct {
  const char* caption;
  int width;
} kColumns[kColumnCount] = {
    {"Номер", 70},     {"Дата", 110},      {"Сдатчик", 150},    {"Изделие", 100},
    {"Материал", 150}, {"Результат", 190}, {"Заключение", 120},
};

// A slice of a count the index cannot help with, and the numbers its first slice spans: a
// thousandth of a day each, so a day of an office's protocols, or a thousand where they lie close.
constexpr int kCountSliceMs = 12;
constexpr std::int64_t kFirstCountSpan = 1000;

const QString kCsvFilter = "Файлы CSV (*.csv)";

std::chrono::year_month_day Day(const QDate& date) {
  return {std::chrono::year(date.year()), std::chrono::month(static_cast<unsigned>(date.month())),
          std::chrono::day(static_cast<unsigned>(date.day()))};
}

}  // namespace

void TRegisterModel::SetRows(std::int64_t total, TPage page) {
  beginResetModel();
  page_ = std::move(page);
  total_ = total;
  rows_ = total_ > 0 ? page_(std::nullopt) : std::vector<TProtocolRecord>();
  // Nothing where rows were counted: a failed read, which is not tried again for the next page.
  if (rows_.empty()) total_ = 0;
  endResetModel();
}

void TRegisterModel::Clear() {
  beginResetModel();
  // Swapped away, not cleared: the rows' memory goes back with them.
  std::vector<TProtocolRecord>().swap(rows_);
  total_ = 0;
  page_ = nullptr;
  endResetModel();
}

bool TRegisterModel::canFetchMore(const QModelIndex& parent) const {
  return !parent.isValid() && page_ && static_cast<std::int64_t>(rows_.size()) < total_;
}

void TRegisterModel::fetchMore(const QModelIndex& parent) {
  if (!canFetchMore(parent)) return;
  std::vector<TProtocolRecord> more =
      page_(rows_.empty() ? std::nullopt : std::optional(rows_.back().number));
  // Fewer rows than counted (protocols deleted meanwhile by hand, or a failed read): the end.
  if (more.empty()) {
    total_ = static_cast<std::int64_t>(rows_.size());
    return;
  }
  const int first = static_cast<int>(rows_.size());
  beginInsertRows(QModelIndex(), first, first + static_cast<int>(more.size()) - 1);
  rows_.insert(rows_.end(), std::make_move_iterator(more.begin()),
               std::make_move_iterator(more.end()));
  endInsertRows();
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
  StatusBar = new QStatusBar(this);
  StatusBar->setObjectName("StatusBar");
  CountLabel = new QLabel(StatusBar);
  CountLabel->setObjectName("CountLabel");
  CountLabel->setTextFormat(Qt::PlainText);
  Layout->addWidget(StatusBar);
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
  connect(&CountTimer, &QTimer::timeout, this, &TRegisterForm::CountStep);
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
  ShowRows(0);
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
    filter_ = Filter();
    CountTimer.stop();
    if (TProtocolRegister::ReadsEveryRow(filter_)) {
      counted_ = 0;
      countBelow_.reset();
      countSpan_ = kFirstCountSpan;
      ShowRows(std::nullopt);
      CountTimer.start();
    } else {
      ShowRows(register_->Count(filter_));
    }
  } catch (const TRegisterError& e) {
    ShowRows(0);
    MsgBox::ReportError(e.what());
  }
}

void TRegisterForm::ShowRows(std::optional<std::int64_t> count) {
  if (count.value_or(1) > 0) {
    model_.SetRows(count.value_or(INT64_MAX),
                   [this](std::optional<std::int64_t> below) { return ReadPage(below); });
  } else {
    model_.Clear();
  }
  if (count)
    ShowCount(*count);
  else
    CountLabel->setText("Показано протоколов: подсчёт...");
  OpenButton->setEnabled(model_.rowCount() > 0);
  if (model_.rowCount() > 0) RegisterTable->setCurrentIndex(model_.index(0, 0));
}

void TRegisterForm::ShowCount(std::int64_t count) {
  CountLabel->setText(QString("Показано протоколов: %1").arg(count));
}

void TRegisterForm::CountStep() {
  try {
    const std::optional<std::int64_t> top = register_->LastNumber(countBelow_);
    if (!top) {
      CountTimer.stop();
      ShowCount(counted_);
      return;
    }
    const std::int64_t below = *top + 1;
    const std::int64_t from = below - countSpan_;
    QElapsedTimer slice;
    slice.start();
    counted_ += register_->Count(filter_, std::pair(from, below));
    countBelow_ = from;
    // The numbers lie as densely as protocols were made: the slice follows the time it takes.
    if (slice.elapsed() < kCountSliceMs / 2)
      countSpan_ *= 2;
    else if (slice.elapsed() > kCountSliceMs * 2 && countSpan_ > 1)
      countSpan_ /= 2;
  } catch (const TRegisterError& e) {
    CountTimer.stop();
    MsgBox::ReportError(e.what());
  }
}

// The view asks for pages while it lays itself out, so a failure is shown once the asking is
// over; the rows read by then stay.
std::vector<TProtocolRecord> TRegisterForm::ReadPage(std::optional<std::int64_t> below) {
  try {
    if (register_) return register_->Page(filter_, below, kPageRows);
  } catch (const TRegisterError& e) {
    QMetaObject::invokeMethod(
        this, [text = QString::fromStdString(e.what())] { MsgBox::ReportError(text); },
        Qt::QueuedConnection);
  }
  return {};
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
    // With no register open, the window shows no rows, and the file holds its captions only.
    WriteRegisterCsv(
        QDir::toNativeSeparators(fileName).toStdString(),
        [this](const std::function<bool(const TProtocolRecord&)>& each) {
          if (register_ && model_.rowCount() > 0) register_->ForEach(filter_, each);
        },
        modeName_);
  } catch (const TRegisterError& e) {
    MsgBox::ReportError(e.what());
    return false;
  } catch (const TFileError& e) {
    MsgBox::ReportError(e.what());
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
  CountTimer.stop();
  model_.Clear();
  register_.reset();
  QDialog::hideEvent(event);
}
