#include <QAbstractTextDocumentLayout>
#include <QDir>
#include <QScrollBar>
#include <QTextBlock>
#include <QtTest>
#include <map>

#include "device/KVZDeviceUn.h"
#include "tests/gui/GuiHarness.h"
#include "tests/support/QtSupport.h"
#include "ui/ManualUn.h"

namespace {

TManualForm* ShownManual() {
  for (QWidget* window : QApplication::topLevelWidgets()) {
    auto* manual = qobject_cast<TManualForm*>(window);
    if (manual != nullptr && manual->isVisible()) return manual;
  }
  return nullptr;
}

QString MarkedSection(const TManualForm* manual) {
  const QListWidgetItem* item = manual->ContentsList->currentItem();
  return item != nullptr ? item->data(Qt::UserRole).toString() : QString();
}

// The manual is up, its contents mark the section, and the section's heading is in sight.
void CheckSection(const QString& anchor) {
  TManualForm* manual = ShownManual();
  QVERIFY(manual != nullptr);
  QCOMPARE(MarkedSection(manual), anchor);
  const QString heading = manual->ContentsList->currentItem()->text().trimmed();
  QTextBrowser* text = manual->ManualText;
  QTextBlock block = text->document()->begin();
  while (block.isValid() && block.text().trimmed() != heading) block = block.next();
  QVERIFY2(block.isValid(), qPrintable(heading));
  const QRectF place = text->document()->documentLayout()->blockBoundingRect(block).translated(
      0, -text->verticalScrollBar()->value());
  QTRY_VERIFY2(place.intersects(text->viewport()->rect()), qPrintable(heading));
}

void PressF1(QWidget* window, const QString& section) {
  QVERIFY(QTest::qWaitForWindowActive(window));
  QTest::keyClick(window, Qt::Key_F1);
  CheckSection(section);
}

}  // namespace

class ManualTest : public QObject {
  Q_OBJECT

 private slots:
  void f1OpensTheWindowsSection_data();
  void f1OpensTheWindowsSection();
  void contentsJumpToEverySection();
  void searchFindsAWordAgainAndAgainAndSaysWhenNot();
  void informationWindowNamesTheFolderInUseAndOpensTheManual_data();
  void informationWindowNamesTheFolderInUseAndOpensTheManual();
};

void ManualTest::f1OpensTheWindowsSection_data() {
  QTest::addColumn<QString>("section");
  for (const char* section :
       {ManualSection::kMain, ManualSection::kSettings, ManualSection::kProtocol,
        ManualSection::kRegister, ManualSection::kPreview, ManualSection::kAbout})
    QTest::newRow(section) << QString(section);
}

void ManualTest::f1OpensTheWindowsSection() {
  QFETCH(QString, section);
  GuiHarness gui;
  TMainForm& mainForm = gui.StartIdle();
  TPrintForm printForm;  // the program's own preview, not the harness's recorder
  const std::map<QString, std::function<void()>> openModal = {
      {"settings", [&] { gui.setupForm->Execute(mainForm.Device().PortParams); }},
      {"protocol", [&] { gui.printProtocolForm->Execute(TMeasurement{}); }},
      {"register", [&] { gui.registerForm->exec(); }},
      {"preview", [&] { printForm.PreviewRecord(TProtocolRecord{}); }},
      {"about", [&] { gui.aboutForm->exec(); }}};
  if (section == ManualSection::kMain) {
    mainForm.show();
    PressF1(&mainForm, section);
  } else {
    RunModal(openModal.at(section), [&] { PressF1(QApplication::activeModalWidget(), section); });
  }
}

void ManualTest::contentsJumpToEverySection() {
  GuiHarness gui;
  TManualForm* manual = OpenManual(&gui.StartIdle(), "main");
  QVERIFY(QTest::qWaitForWindowExposed(manual));
  QListWidget* contents = manual->ContentsList;
  QVERIFY(contents->count() >= 10);
  // Backwards, so that each jump has to move the text.
  for (int row = contents->count() - 1; row >= 0; --row) {
    QListWidgetItem* item = contents->item(row);
    QTest::mouseClick(contents->viewport(), Qt::LeftButton, {},
                      contents->visualItemRect(item).center());
    CheckSection(item->data(Qt::UserRole).toString());
  }
}

void ManualTest::searchFindsAWordAgainAndAgainAndSaysWhenNot() {
  GuiHarness gui;
  TManualForm* manual = OpenManual(&gui.StartIdle(), "main");
  QTest::keyClicks(manual->SearchEdit, "DIALOUT");
  const QTextCursor first = manual->ManualText->textCursor();
  QCOMPARE(first.selectedText(), QString("dialout"));
  QCOMPARE(MarkedSection(manual), QString("connect"));
  QTest::keyClick(manual->SearchEdit, Qt::Key_Return);
  QVERIFY(manual->ManualText->textCursor().position() > first.position());
  // Past the last place the search starts over from the top.
  while (manual->ManualText->textCursor().position() != first.position()) {
    const int before = manual->ManualText->textCursor().position();
    QVERIFY(manual->FindNext());
    QVERIFY(manual->ManualText->textCursor().position() != before);
  }
  manual->SearchEdit->setText("зюзюка");
  QCOMPARE(manual->FoundLabel->text(), QString("Не найдено"));
}

void ManualTest::informationWindowNamesTheFolderInUseAndOpensTheManual_data() {
  QTest::addColumn<bool>("installed");
  QTest::addColumn<bool>("ownWritable");
  QTest::addColumn<bool>("inUserFolder");
  QTest::newRow("copied program: its own folder") << false << true << false;
  QTest::newRow("copied where it may not write: the user's") << false << false << true;
  QTest::newRow("installed program: the user's folder") << true << true << true;
}

void ManualTest::informationWindowNamesTheFolderInUseAndOpensTheManual() {
  QFETCH(bool, installed);
  QFETCH(bool, ownWritable);
  QFETCH(bool, inUserFolder);
  GuiHarness gui;
  gui.StartIdle();
  // A folder that is not there takes no files, whoever runs the test.
  const std::string own = ownWritable ? gui.dir.Path() : gui.dir.File("gone") + "/";
  const std::string user = gui.dir.File("user") + "/";
  const WorkDirScope folders(own, user, installed);
  TAboutForm& about = *gui.aboutForm;
  RunModal([&] { about.exec(); },
           [&] {
             QVERIFY(about.VersLabel->text().startsWith("Версия ПО: 1.006.27.03.2013\n"));
             const QString folder = QString::fromStdString(inUserFolder ? user : own);
             QCOMPARE(about.DirLabel->text(),
                      "Файлы программы: " + QDir::toNativeSeparators(folder));
             QVERIFY(!about.DirLabel->accessibleName().isEmpty());
             QCOMPARE(about.ManualButton->text(), QString("Руководство оператора"));
             about.ManualButton->click();
             CheckSection("about");
           });
}

QTEST_MAIN(ManualTest)
#include "ManualTest.moc"
