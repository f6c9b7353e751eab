#include "report/ReportPreview.h"

#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QPageSetupDialog>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinterInfo>
#include <QScreen>
#include <QScrollBar>
#include <QStandardPaths>
#include <QStyle>
#include <algorithm>
#include <cmath>
#include <exception>
#include <utility>

#include "report/PrintSystem.h"
#include "report/ReportFile.h"
#include "report/ReportRenderer.h"
#include "report/SaveName.h"

namespace {

constexpr double kMmPerInch = 25.4;
constexpr int kMinZoom = 10, kMaxZoom = 400;
constexpr int kBorder = 16;  // grey around the paper, in pixels
constexpr int kShadow = 4;
const QString kPdfFilter = "Документ PDF (*.pdf)";
const QString kReportFilter = "Протокол KVZ-03 (*.kvzr)";

// Where the file dialogs start: the folder last saved to or opened from in this run, by any
// preview, else the user's documents, not the folder the program happened to be started in.
QString& LastFolder() {
  static QString folder;
  return folder;
}

QString StartFolder() {
  if (!LastFolder().isEmpty()) return LastFolder();
  const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  return QFileInfo(documents).isDir() ? documents : QDir::homePath();
}

}  // namespace

// The paper with its shadow on the grey, sized to the zoom; the scroll area around it scrolls.
class TReportPageView : public QWidget {
 public:
  explicit TReportPageView(const TReportPage& page) : page_(page) {}

  double PixelsPerMm(int percent) const { return logicalDpiX() / kMmPerInch * percent / 100; }
  QSize SizeAt(int percent) const {
    const double scale = PixelsPerMm(percent);
    return {static_cast<int>(std::ceil(page_.paper.width() * scale)) + 2 * kBorder + kShadow,
            static_cast<int>(std::ceil(page_.paper.height() * scale)) + 2 * kBorder + kShadow};
  }
  void SetZoom(int percent) {
    percent_ = percent;
    setFixedSize(SizeAt(percent));
    update();
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.fillRect(rect(), palette().dark());
    const double scale = PixelsPerMm(percent_);
    const QRectF paper(kBorder, kBorder, page_.paper.width() * scale, page_.paper.height() * scale);
    painter.fillRect(paper.translated(kShadow, kShadow), palette().shadow());
    painter.fillRect(paper, Qt::white);
    painter.translate(paper.topLeft());
    painter.scale(scale, scale);
    painter.setClipRect(QRectF(QPointF(), page_.paper));
    RenderPage(painter, page_);
  }

 private:
  const TReportPage& page_;
  int percent_ = 100;
};

TReportPreview::TReportPreview(TReportPage& page, QWidget* parent, TShowError showError,
                               TShowError showWarning)
    : QDialog(parent),
      page_(page),
      showError_(std::move(showError)),
      showWarning_(showWarning ? std::move(showWarning) : showError_) {
  setupUi(this);
  ToolBar = new QToolBar(this);
  ToolBar->setObjectName("ToolBar");
  Layout->insertWidget(0, ToolBar);
  ToolBar->addActions({ZoomFitAction, Zoom100Action, ZoomWidthAction});
  ToolBar->addSeparator();
  ToolBar->addActions({FirstPageAction, PreviousPageAction, NextPageAction, LastPageAction});
  ToolBar->addSeparator();
  ToolBar->addActions({PrinterSetupAction, PrintAction, SaveAction, LoadAction});
  ToolBar->addSeparator();
  ToolBar->addAction(CloseAction);
  setWindowTitle(page_.title);
  setWindowFlag(Qt::WindowMaximizeButtonHint);
  printer_.setPageSize(QPageSize(page_.paper, QPageSize::Millimeter));
  printer_.setPageOrientation(QPageLayout::Portrait);
  printer_.setDocName(page_.title);

  const std::pair<QAction*, QStyle::StandardPixmap> icons[] = {
      {ZoomFitAction, QStyle::SP_FileDialogContentsView},
      {Zoom100Action, QStyle::SP_FileDialogListView},
      {ZoomWidthAction, QStyle::SP_ToolBarHorizontalExtensionButton},
      {FirstPageAction, QStyle::SP_MediaSkipBackward},
      {PreviousPageAction, QStyle::SP_ArrowBack},
      {NextPageAction, QStyle::SP_ArrowForward},
      {LastPageAction, QStyle::SP_MediaSkipForward},
      {PrinterSetupAction, QStyle::SP_FileDialogDetailedView},
      {PrintAction, QStyle::SP_DialogApplyButton},
      {SaveAction, QStyle::SP_DialogSaveButton},
      {LoadAction, QStyle::SP_DialogOpenButton},
      {CloseAction, QStyle::SP_DialogCloseButton}};
  for (const auto& [action, icon] : icons) action->setIcon(style()->standardIcon(icon));
  // The tool bar's buttons take the focus by Tab, as a dialog's buttons do.
  for (QAction* action : ToolBar->actions()) {
    QWidget* button = ToolBar->widgetForAction(action);
    if (button && !action->isSeparator()) button->setFocusPolicy(Qt::TabFocus);
  }

  connect(ZoomFitAction, &QAction::triggered, this, &TReportPreview::ZoomToFit);
  connect(Zoom100Action, &QAction::triggered, this, [this] { SetZoomPercent(100); });
  connect(ZoomWidthAction, &QAction::triggered, this, &TReportPreview::ZoomToWidth);
  connect(FirstPageAction, &QAction::triggered, this, [this] { GoToPage(0); });
  connect(PreviousPageAction, &QAction::triggered, this, [this] { GoToPage(currentPage_ - 1); });
  connect(NextPageAction, &QAction::triggered, this, [this] { GoToPage(currentPage_ + 1); });
  connect(LastPageAction, &QAction::triggered, this, [this] { GoToPage(pageCount_ - 1); });
  connect(PrinterSetupAction, &QAction::triggered, this, &TReportPreview::SetUpPrinter);
  connect(PrintAction, &QAction::triggered, this, &TReportPreview::Print);
  connect(SaveAction, &QAction::triggered, this, &TReportPreview::Save);
  connect(LoadAction, &QAction::triggered, this, &TReportPreview::Load);
  connect(CloseAction, &QAction::triggered, this, &QDialog::close);

  view_ = new TReportPageView(page_);
  PageScrollBox->setBackgroundRole(QPalette::Dark);
  PageScrollBox->setWidget(view_);
  PageScrollBox->viewport()->installEventFilter(this);
  // The status bar lays out its own items: the page on the left, the zoom at the right.
  StatusBar = new QStatusBar(this);
  StatusBar->setObjectName("StatusBar");
  PageLabel = new QLabel(StatusBar);
  PageLabel->setObjectName("PageLabel");
  PageLabel->setTextFormat(Qt::PlainText);
  ZoomLabel = new QLabel(StatusBar);
  ZoomLabel->setObjectName("ZoomLabel");
  ZoomLabel->setTextFormat(Qt::PlainText);
  Layout->addWidget(StatusBar);
  StatusBar->addWidget(PageLabel, 1);
  StatusBar->addPermanentWidget(ZoomLabel);

  // Opens at the report's own zoom, the page's whole width in view where the screen allows.
  zoomPercent_ = std::clamp(page_.zoomPercent, kMinZoom, kMaxZoom);
  const QSize available = screen()->availableGeometry().size();
  const int pageWidth = view_->SizeAt(zoomPercent_).width() +
                        style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, PageScrollBox) +
                        2 * PageScrollBox->frameWidth();
  resize(std::min(available.width() * 9 / 10, std::max(pageWidth, ToolBar->sizeHint().width())),
         available.height() * 9 / 10);
  ApplyZoom();
  GoToPage(0);
}

TReportPreview::~TReportPreview() = default;

void TReportPreview::SetZoomPercent(int percent) {
  zoomMode_ = TZoomMode::Fixed;
  zoomPercent_ = std::clamp(percent, kMinZoom, kMaxZoom);
  ApplyZoom();
}

void TReportPreview::ZoomToFit() {
  zoomMode_ = TZoomMode::FitPage;
  ApplyZoom();
}

void TReportPreview::ZoomToWidth() {
  zoomMode_ = TZoomMode::FitWidth;
  ApplyZoom();
}

int TReportPreview::FittingPercent(bool wholePage) const {
  // Measured against the viewport as it is without scroll bars, so that fitting does not depend
  // on the bars the previous zoom needed, and refitting on their coming and going changes nothing.
  const QSize room = PageScrollBox->maximumViewportSize();
  const QSize at100 = view_->SizeAt(100);
  const double paperWidth = at100.width() - 2 * kBorder - kShadow;
  const double paperHeight = at100.height() - 2 * kBorder - kShadow;
  const double width = room.width() - 2 * kBorder - kShadow;
  const double height = room.height() - 2 * kBorder - kShadow;
  if (wholePage)
    return static_cast<int>(std::floor(100 * std::min(width / paperWidth, height / paperHeight)));
  // Across the width the page is taller than the window: leave room for the vertical bar.
  const double bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, PageScrollBox);
  return static_cast<int>(std::floor(100 * (width - bar) / paperWidth));
}

void TReportPreview::ApplyZoom() {
  if (zoomMode_ != TZoomMode::Fixed)
    zoomPercent_ = std::clamp(FittingPercent(zoomMode_ == TZoomMode::FitPage), kMinZoom, kMaxZoom);
  view_->SetZoom(zoomPercent_);
  UpdateStatus();
}

void TReportPreview::GoToPage(int index) {
  currentPage_ = std::clamp(index, 0, pageCount_ - 1);
  FirstPageAction->setEnabled(currentPage_ > 0);
  PreviousPageAction->setEnabled(currentPage_ > 0);
  NextPageAction->setEnabled(currentPage_ < pageCount_ - 1);
  LastPageAction->setEnabled(currentPage_ < pageCount_ - 1);
  PageScrollBox->ensureVisible(0, 0);
  UpdateStatus();
}

void TReportPreview::UpdateStatus() {
  PageLabel->setText(QString("Страница %1 из %2").arg(currentPage_ + 1).arg(pageCount_));
  ZoomLabel->setText(QString("Масштаб %1 %").arg(zoomPercent_));
}

bool TReportPreview::eventFilter(QObject* watched, QEvent* event) {
  if (watched == PageScrollBox->viewport() && event->type() == QEvent::Resize &&
      zoomMode_ != TZoomMode::Fixed)
    ApplyZoom();
  return QDialog::eventFilter(watched, event);
}

void TReportPreview::ShowError(const QString& text) {
  showError_(this, text);
}

bool TReportPreview::SaveTo(const QString& fileName) {
  try {
    if (QFileInfo(fileName).suffix().compare("pdf", Qt::CaseInsensitive) == 0)
      RenderToPdf(page_, fileName);
    else
      SaveReport(page_, fileName);
  } catch (const std::exception& e) {
    ShowError(QString::fromStdString(e.what()));
    return false;
  }
  LastFolder() = QFileInfo(fileName).absolutePath();
  return true;
}

bool TReportPreview::LoadFrom(const QString& fileName) {
  try {
    LoadReport(page_, fileName);
  } catch (const std::exception& e) {
    ShowError(QString::fromStdString(e.what()));
    return false;
  }
  LastFolder() = QFileInfo(fileName).absolutePath();
  setWindowTitle(page_.title);
  printer_.setDocName(page_.title);
  view_->update();
  return true;
}

bool TReportPreview::PrintTo(QPrinter& printer) {
  try {
    PrintPage(printer, page_, [&] {
      // A stopped queue takes the job without a word and holds it.
      if (PrintSystem::IsPaused(printer.printerName()))
        showWarning_(this, "Принтер \"" + printer.printerName() +
                               "\" приостановлен: задание будет ждать в очереди");
    });
  } catch (const std::exception& e) {
    ShowError(QString::fromStdString(e.what()));
    return false;
  }
  return true;
}

bool TReportPreview::NoPrinter() {
  if (!QPrinterInfo::availablePrinterNames().isEmpty()) return false;
  // The system's print dialogs do not open without a printer, and say nothing either.
  showWarning_(this, "Принтеры не установлены. Сохраните протокол в файл PDF.");
  Save();
  return true;
}

void TReportPreview::SetUpPrinter() {
  if (NoPrinter()) return;
  QPageSetupDialog dialog(&printer_, this);
  dialog.exec();
}

void TReportPreview::Print() {
  if (NoPrinter()) return;
  QPrintDialog dialog(&printer_, this);
  if (dialog.exec() == QDialog::Accepted) PrintTo(printer_);
}

void TReportPreview::Save() {
  QString filter = kPdfFilter;
  const QString fileName = QFileDialog::getSaveFileName(this, "Сохранить протокол", StartFolder(),
                                                        kPdfFilter + ";;" + kReportFilter, &filter);
  if (!fileName.isEmpty()) SaveTo(CompleteSaveName(fileName, filter == kReportFilter));
}

void TReportPreview::Load() {
  const QString fileName =
      QFileDialog::getOpenFileName(this, "Открыть протокол", StartFolder(), kReportFilter);
  if (!fileName.isEmpty()) LoadFrom(fileName);
}
