#include <QAction>
#include <QFileDialog>
#include <QLabel>
#include <QPrinterInfo>
#include <QScrollArea>
#include <QScrollBar>
#include <QStandardPaths>
#include <QToolBar>
#include <QtTest>
#include <vector>

#include "report/ReportFile.h"
#include "report/ReportPreview.h"
#include "tests/support/QtSupport.h"
#include "tests/support/TempDir.h"
#include "ui/MsgBox.h"

namespace {

TReportPage SamplePage() {
  return {.title = "Протокол №4142706",
          .fields = {{.name = "Client", .text = "Иванова", .rect = QRectF(20, 30, 120, 8)}}};
}

QByteArray Start(const QString& file) {
  QFile in(file);
  return in.open(QIODevice::ReadOnly) ? in.read(24) : QByteArray();
}

}  // namespace

class ReportPreviewTest : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup() { MsgBox::SetHook(nullptr); }
  void toolBarAndStatus();
  void fileDialogsStartInDocumentsThenWhereTheLastFileWent();
  void zoomCommands();
  void saveWritesTheKindTheNameAsksFor_data();
  void saveWritesTheKindTheNameAsksFor();
  void loadRestoresTextsAndCaption();
  void failuresAreShownAndThePreviewStaysOpen_data();
  void failuresAreShownAndThePreviewStaysOpen();
  void printsToAPdfPrinter();
  void noPrinterOffersAPdf();

 private:
  TempDir dir_;
  TReportPage page_;
  std::vector<MsgBox::TBox> boxes_;
};

void ReportPreviewTest::init() {
  page_ = SamplePage();
  boxes_.clear();
  MsgBox::SetHook([this](const MsgBox::TBox& box) {
    boxes_.push_back(box);
    return MsgBox::TAnswer::Ok;
  });
}

void ReportPreviewTest::toolBarAndStatus() {
  TReportPreview preview(page_, nullptr, MsgBox::ShowError);
  QCOMPARE(preview.windowTitle(), page_.title);
  const std::vector<std::pair<QAction*, QString>> expected = {
      {preview.ZoomFitAction, "Страница целиком"},
      {preview.Zoom100Action, "Масштаб 100 %"},
      {preview.ZoomWidthAction, "По ширине страницы"},
      {preview.FirstPageAction, "Первая страница"},
      {preview.PreviousPageAction, "Предыдущая страница"},
      {preview.NextPageAction, "Следующая страница"},
      {preview.LastPageAction, "Последняя страница"},
      {preview.PrinterSetupAction, "Настройка принтера"},
      {preview.PrintAction, "Печать"},
      {preview.SaveAction, "Сохранить"},
      {preview.LoadAction, "Открыть"},
      {preview.CloseAction, "Закрыть"}};
  std::vector<std::pair<QAction*, QString>> shown;
  for (QAction* action : preview.ToolBar->actions()) {
    if (action->isSeparator()) continue;
    QVERIFY2(!action->icon().isNull(), qPrintable(action->toolTip()));
    QCOMPARE(preview.ToolBar->widgetForAction(action)->focusPolicy(), Qt::TabFocus);
    shown.emplace_back(action, action->toolTip());
  }
  QCOMPARE(shown, expected);
  // One page: nowhere to turn.
  for (int i = 3; i < 7; ++i) {
    QVERIFY2(!expected[i].first->isEnabled(), qPrintable(expected[i].second));
    expected[i].first->trigger();
  }
  QCOMPARE(preview.PageLabel->text(), QString("Страница 1 из 1"));
  QCOMPARE(preview.ZoomLabel->text(), QString("Масштаб 100 %"));
}

void ReportPreviewTest::fileDialogsStartInDocumentsThenWhereTheLastFileWent() {
  const QString home = QDir::fromNativeSeparators(QString::fromStdString(dir_.Path()).chopped(1));
  qputenv("HOME", home.toUtf8());
  QVERIFY(QDir(home).mkdir("Documents"));
  QStringList folders;
  for (bool save : {true, false}) {
    TReportPreview preview(page_, nullptr, MsgBox::ShowError);
    RunModal([&] { save ? preview.Save() : preview.Load(); },
             [&] {
               auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
               QVERIFY(dialog != nullptr);
               folders << dialog->directory().path();
             });
    QVERIFY(preview.SaveTo(home + "/протокол.pdf"));
  }
  // Windows keeps its Documents folder where its own settings say, whatever HOME is.
  const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  QCOMPARE(folders, QStringList({documents, home}));
}

void ReportPreviewTest::zoomCommands() {
  TReportPreview preview(page_, nullptr, MsgBox::ShowError);
  preview.resize(900, 700);
  preview.show();
  QVERIFY(QTest::qWaitForWindowExposed(&preview));
  const auto* scroll = preview.findChild<QScrollArea*>();
  const auto shown = [&] { return QString("Масштаб %1 %").arg(preview.ZoomPercent()); };

  preview.Zoom100Action->trigger();
  QCOMPARE(preview.ZoomLabel->text(), QString("Масштаб 100 %"));
  preview.ZoomFitAction->trigger();
  const int fit = preview.ZoomPercent();
  QCOMPARE(preview.ZoomLabel->text(), shown());
  QVERIFY(fit < 100);
  QVERIFY(scroll->widget()->width() <= scroll->viewport()->width());
  QVERIFY(scroll->widget()->height() <= scroll->viewport()->height());

  preview.ZoomWidthAction->trigger();
  QCOMPARE(preview.ZoomLabel->text(), shown());
  QVERIFY(preview.ZoomPercent() > fit);
  QTRY_VERIFY(scroll->verticalScrollBar()->isVisible());  // the bars come with the next layout
  QVERIFY(scroll->widget()->width() <= scroll->viewport()->width());
  QVERIFY(!scroll->horizontalScrollBar()->isVisible());

  // A fitting zoom follows the window; a chosen one stays.
  const int width = preview.ZoomPercent();
  preview.resize(1200, 700);
  QTRY_VERIFY(preview.ZoomPercent() > width);
  QCOMPARE(preview.ZoomLabel->text(), shown());
  preview.SetZoomPercent(150);
  preview.resize(900, 700);
  QTRY_VERIFY(scroll->viewport()->width() < 900);
  QCOMPARE(preview.ZoomLabel->text(), QString("Масштаб 150 %"));
  preview.SetZoomPercent(100000);
  QCOMPARE(preview.ZoomLabel->text(), QString("Масштаб 400 %"));
}

void ReportPreviewTest::saveWritesTheKindTheNameAsksFor_data() {
  QTest::addColumn<QString>("name");
  QTest::addColumn<QByteArray>("start");
  QTest::newRow("PDF") << "протокол.pdf" << QByteArray("%PDF-");
  QTest::newRow("PDF in capitals") << "ПРОТОКОЛ.PDF" << QByteArray("%PDF-");
  QTest::newRow("protocol file") << "протокол.kvzr" << QByteArray("[KVZ-03 report 1]\r\n");
}

void ReportPreviewTest::saveWritesTheKindTheNameAsksFor() {
  QFETCH(QString, name);
  QFETCH(QByteArray, start);
  TReportPreview preview(page_, nullptr, MsgBox::ShowError);
  const QString file = QString::fromStdString(dir_.Path()) + name;
  QVERIFY(preview.SaveTo(file));
  QVERIFY(Start(file).startsWith(start));
  QCOMPARE(boxes_.size(), std::size_t(0));
}

void ReportPreviewTest::loadRestoresTextsAndCaption() {
  TReportPage saved = SamplePage();
  saved.title = "Протокол №2";
  saved.Field("Client").text = "Петрова";
  const QString file = QString::fromStdString(dir_.File("loaded.kvzr"));
  SaveReport(saved, file);
  TReportPreview preview(page_, nullptr, MsgBox::ShowError);
  QVERIFY(preview.LoadFrom(file));
  QCOMPARE(preview.windowTitle(), QString("Протокол №2"));
  QCOMPARE(page_.Field("Client").text, QString("Петрова"));
  QCOMPARE(boxes_.size(), std::size_t(0));
}

void ReportPreviewTest::failuresAreShownAndThePreviewStaysOpen_data() {
  QTest::addColumn<QString>("name");
  QTest::addColumn<bool>("save");
  QTest::addColumn<QString>("error");
  QTest::newRow("PDF into a missing folder") << "нет/протокол.pdf" << true << "Не удалось записать";
  QTest::newRow("protocol into a missing folder")
      << "нет/протокол.kvzr" << true << "Не удалось записать";
  QTest::newRow("loading a missing file") << "нет.kvzr" << false << "Не удалось открыть";
  QTest::newRow("loading something else") << "other.pdf" << false << "не является";
}

void ReportPreviewTest::failuresAreShownAndThePreviewStaysOpen() {
  QFETCH(QString, name);
  QFETCH(bool, save);
  QFETCH(QString, error);
  dir_.Write("other.pdf", "%PDF-1.4\r\n");
  TReportPreview preview(page_, nullptr, MsgBox::ShowError);
  preview.show();
  const QString file = QString::fromStdString(dir_.Path()) + name;
  QVERIFY(!(save ? preview.SaveTo(file) : preview.LoadFrom(file)));
  QCOMPARE(boxes_.size(), std::size_t(1));
  QVERIFY2(
      boxes_[0].text.contains(error) && boxes_[0].text.contains(QDir::toNativeSeparators(file)),
      qPrintable(boxes_[0].text));
  QCOMPARE(boxes_[0].caption, QString("KVz - 03"));
  QCOMPARE(boxes_[0].icon, TMsgIcon::Error);
  QVERIFY(preview.isVisible());
  QCOMPARE(preview.windowTitle(), SamplePage().title);
}

// Neither command opens the system's dialog without a printer: each says why and offers a PDF.
void ReportPreviewTest::noPrinterOffersAPdf() {
  if (!QPrinterInfo::availablePrinterNames().isEmpty()) QSKIP("this system has printers");
  TReportPreview preview(page_, nullptr, MsgBox::ShowError);
  for (QAction* command : {preview.PrintAction, preview.PrinterSetupAction}) {
    RunModal([&] { command->trigger(); },
             [] { QVERIFY(qobject_cast<QFileDialog*>(QApplication::activeModalWidget())); });
  }
  QCOMPARE(boxes_.size(), std::size_t(2));
  QCOMPARE(boxes_[1].text, QString("Принтеры не установлены. Сохраните протокол в файл PDF."));
}

void ReportPreviewTest::printsToAPdfPrinter() {
  TReportPreview preview(page_, nullptr, MsgBox::ShowError);
  const QString file = QString::fromStdString(dir_.File("printed.pdf"));
  preview.Printer().setOutputFormat(QPrinter::PdfFormat);
  preview.Printer().setOutputFileName(file);
  QVERIFY(preview.PrintTo(preview.Printer()));
  QVERIFY(Start(file).startsWith("%PDF-"));
  QCOMPARE(preview.Printer().docName(), page_.title);
  QCOMPARE(boxes_.size(), std::size_t(0));
}

QTEST_MAIN(ReportPreviewTest)
#include "ReportPreviewTest.moc"
