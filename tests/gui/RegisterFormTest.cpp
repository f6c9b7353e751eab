#include <QFileDialog>
#include <QtTest>

#include "protocol/ProtocolArchive.h"
#include "tests/gui/GuiHarness.h"
#include "tests/support/FilledProtocol.h"

namespace {

// The register window over three protocols on three days, shown.
struct Shown {
  Shown() {
    TProtocolRegister reg(RegisterFileName());
    reg.Record(FilledProtocol(101, "2026-12-01T09:05:00", "Петрова А.А."));
    reg.Record(FilledProtocol(102, "2026-12-02T23:59:59", "Smith J."));
    reg.Record(FilledProtocol(103, "2026-12-03T00:00:00", "Сидоров С.С."));
    form.show();
  }
  GuiHarness gui;
  TRegisterForm& form = (gui.StartIdle(), *gui.registerForm);
};

}  // namespace

class RegisterFormTest : public QObject {
  Q_OBJECT

 private slots:
  void filter_data();
  void filter();
  void exportWritesTheShownRows();
  void rowsAreReadAsTheyAreScrolledTo();
  void openingARowPreviewsItsProtocol();
  void registerThatCannotBeOpenedIsReportedAndTheWindowStaysUsable();
};

void RegisterFormTest::filter_data() {
  QTest::addColumn<QString>("text");
  QTest::addColumn<QDate>("from");
  QTest::addColumn<QDate>("to");
  QTest::addColumn<QList<qint64>>("numbers");
  const QDate none, day1(2026, 12, 1), day2(2026, 12, 2);
  QTest::newRow("all, newest first") << "" << none << none << QList<qint64>{103, 102, 101};
  QTest::newRow("client in other case") << "пЕТРОВА" << none << none << QList<qint64>{101};
  QTest::newRow("Latin") << "SMITH" << none << none << QList<qint64>{102};
  QTest::newRow("date as shown") << "02.12.2026" << none << none << QList<qint64>{102};
  QTest::newRow("from a day") << "" << day2 << none << QList<qint64>{103, 102};
  QTest::newRow("to a day, its end included") << "" << none << day2 << QList<qint64>{102, 101};
  QTest::newRow("one day") << "" << day2 << day2 << QList<qint64>{102};
  QTest::newRow("text and dates") << "сидоров" << day1 << day2 << QList<qint64>{};
  QTest::newRow("too short for the index") << "оВ" << none << none << QList<qint64>{103, 101};
}

void RegisterFormTest::filter() {
  QFETCH(QString, text);
  QFETCH(QDate, from);
  QFETCH(QDate, to);
  QFETCH(QList<qint64>, numbers);
  Shown shown;
  TRegisterForm& form = shown.form;
  QCOMPARE(form.RegisterTable->model()->index(2, 1).data().toString(), QString("01.12.2026 09:05"));
  for (const auto& [check, edit, day] : {std::tuple(form.FromCheckBox, form.FromDateEdit, from),
                                         std::tuple(form.ToCheckBox, form.ToDateEdit, to)}) {
    check->setChecked(day.isValid());
    QCOMPARE(edit->isEnabled(), day.isValid());
    edit->setDate(day.isValid() ? day : QDate(2000, 1, 1));
  }
  for (const QChar letter : text) form.SearchEdit->insert(letter);  // as typed
  const auto shownNumbers = [&] {
    QList<qint64> shownRows;
    for (const TProtocolRecord& row : form.ShownRows()) shownRows << row.number;
    return shownRows;
  };
  QTRY_COMPARE(shownNumbers(), numbers);
  QTRY_COMPARE(form.CountLabel->text(), QString("Показано протоколов: %1").arg(numbers.size()));
  QCOMPARE(form.OpenButton->isEnabled(), !numbers.isEmpty());
}

void RegisterFormTest::exportWritesTheShownRows() {
  Shown shown;
  shown.form.FromCheckBox->setChecked(true);
  shown.form.FromDateEdit->setDate(QDate(2026, 12, 2));
  QTimer::singleShot(0, &shown.form, [&] {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    QVERIFY(dialog);
    QCOMPARE(dialog->nameFilters(), QStringList{"Файлы CSV (*.csv)"});
    dialog->selectFile(QString::fromStdString(shown.gui.dir.File("Журнал")));
    static_cast<QDialog*>(dialog)->accept();
  });
  shown.form.ExportButton->click();
  const QString text = QString::fromStdString(shown.gui.dir.Read("Журнал.csv"));
  QCOMPARE(text.count("\r\n"), 3);
  QVERIFY(text.contains("\r\n103;03.12.2026 00:00;"));
  QVERIFY(text.contains("\r\n102;02.12.2026 23:59;"));
  QVERIFY(shown.gui.boxes.empty());
}

void RegisterFormTest::rowsAreReadAsTheyAreScrolledTo() {
  GuiHarness gui;
  gui.StartIdle();
  {
    TProtocolRegister reg(RegisterFileName());
    for (int number = 1; number <= 401; ++number)
      reg.Record(FilledProtocol(number, "2026-12-01T09:05:00", "Петрова"));
  }
  TRegisterForm& form = *gui.registerForm;
  form.show();
  const QAbstractItemModel& model = *form.RegisterTable->model();
  QCOMPARE(form.CountLabel->text(), QString("Показано протоколов: 401"));
  QCOMPARE(model.rowCount(), 200);
  for (const int rows : {400, 401}) {
    form.RegisterTable->scrollToBottom();
    QTRY_COMPARE(model.rowCount(), rows);
  }
  QCOMPARE(model.index(400, 0).data().toString(), QString("1"));
  form.SearchEdit->setText("петрова");
  QTRY_COMPARE(model.rowCount(), 200);
  QVERIFY(form.ExportTo(QString::fromStdString(gui.dir.File("all.csv"))));
  QCOMPARE(QString::fromStdString(gui.dir.Read("all.csv")).count("\r\n"), 402);
  form.hide();
  QCOMPARE(model.rowCount(), 0);
}

void RegisterFormTest::openingARowPreviewsItsProtocol() {
  Shown shown;
  QAbstractItemView& table = *shown.form.RegisterTable;
  table.setCurrentIndex(table.model()->index(1, 3));
  shown.form.OpenButton->click();
  QTest::keyClick(&table, Qt::Key_Return);
  table.setCurrentIndex(table.model()->index(2, 0));
  QTest::mouseDClick(
      shown.form.windowHandle(), Qt::LeftButton, {},
      table.viewport()->mapTo(&shown.form, table.visualRect(table.currentIndex()).center()));
  QStringList titles;
  for (const TReportPage& page : shown.gui.previews) titles << page.title;
  QCOMPARE(titles, QStringList({"Протокол №102", "Протокол №102", "Протокол №101"}));
}

void RegisterFormTest::registerThatCannotBeOpenedIsReportedAndTheWindowStaysUsable() {
  GuiHarness gui;
  gui.StartIdle();
  gui.dir.Write("protocols.db", std::string(4096, 'x'));
  TRegisterForm& form = *gui.registerForm;
  // Opened by Ctrl+J in the main window, then from the entry dialog's "Журнал..." button.
  QVERIFY(QTest::qWaitForWindowActive(gui.mainForm));
  QTimer::singleShot(0, &form, [&] { form.CloseButton->click(); });
  QTest::keyClick(gui.mainForm, Qt::Key_J, Qt::ControlModifier);
  QCOMPARE(gui.boxes.size(), std::size_t(1));
  QTimer::singleShot(0, gui.printProtocolForm, [&] {
    QTimer::singleShot(0, &form, [&] {
      QCOMPARE(form.CountLabel->text(), QString("Показано протоколов: 0"));
      QVERIFY(!form.ExportTo(QString::fromStdString(gui.dir.File("нет/журнал.csv"))));
      QVERIFY(std::filesystem::remove(gui.dir.File("protocols.db")));
      TProtocolRegister(RegisterFileName())
          .Record(FilledProtocol(7, "2026-12-01T09:05:00", "Петрова"));
      form.SearchEdit->insert("7");
      QTRY_COMPARE(form.CountLabel->text(), QString("Показано протоколов: 1"));
      form.CloseButton->click();
    });
    gui.printProtocolForm->RegisterButton->click();
    gui.printProtocolForm->reject();
  });
  gui.printProtocolForm->exec();
  QCOMPARE(gui.boxes.size(), std::size_t(3));
  QVERIFY(gui.boxes[1].text.startsWith("Не удалось открыть журнал протоколов"));
  QCOMPARE(gui.boxes[1].caption, QString("KVz - 03"));
  QVERIFY(gui.boxes[2].text.startsWith("Не удалось записать файл"));
  QVERIFY(!form.isVisible());
}

KVZ_WINDOW_TEST_MAIN(RegisterFormTest, false)

#include "RegisterFormTest.moc"
