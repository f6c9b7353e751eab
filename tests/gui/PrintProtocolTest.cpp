#include <QAccessible>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>
#include <filesystem>

#include "device/KVZDeviceUn.h"
#include "register/ProtocolRegister.h"
#include "tests/gui/GuiHarness.h"
#include "tests/support/QtSupport.h"

Q_DECLARE_METATYPE(QWidget*)

namespace {

TMeasurement Measured(int resultIndex) {
  TMeasurement measurement;
  measurement.resultIndex = resultIndex;
  return measurement;
}

// Fills every field of the entry dialog so that it passes its checks.
void FillAll(TPrintProtocolForm& form) {
  form.PlaceCB->setEditText("Тула");
  form.FIOCB->setEditText("Петров");
  form.ObjectCB->setEditText("Кольцо");
  form.ObjectTypeCB->setCurrentIndex(1);
  form.ClientFIO->setText("Сидоров С.С.");
  form.DocCB->setEditText("Паспорт");
  form.DocNo->setText("70 01 123456");
}

// Runs the dialog as the print button does; act, by default filling it in and pressing OK, once up.
void RunDialog(GuiHarness& gui, int resultIndex, std::function<void()> act = {}) {
  if (!act)
    act = [&gui] {
      FillAll(*gui.printProtocolForm);
      gui.printProtocolForm->OkButton->click();
    };
  RunModal([&] { gui.printProtocolForm->Execute(Measured(resultIndex)); }, act);
}

}  // namespace

class PrintProtocolTest : public QObject {
  Q_OBJECT

 private slots:
  void numbersNeverRepeatWithinARun();
  void confirmedProtocolsAreKeptAcrossRuns();
  void filledPage();
  void certifiesTheResultShownAtThePress();
  void checksInOrder_data();
  void checksInOrder();
  void trimmedEntriesAreRememberedOnce();
  void closingStillSavesWhatWasTyped();
  void fieldsTakeOnlyWhatAHistoryFileHolds();
  void clearKeepsAnOnlyRememberedName();
  void keyboardAndScreenReaderReachEveryField();
  void unwritableFolderIsReportedAndTheProtocolStillMade();
  void deleteHistoryKeepsTheListsInMemory();
};

void PrintProtocolTest::numbersNeverRepeatWithinARun() {
  GuiHarness gui;
  gui.StartIdle();
  TProtocolEntry entry;
  for (const QDateTime& now :
       {gui.now, gui.now.addSecs(30), gui.now.addSecs(60), gui.now.addSecs(60).addDays(1)}) {
    gui.now = now;
    gui.printForm->FillAndPreview(Measured(2), entry);
  }
  QStringList numbers;
  for (const TReportPage& page : gui.previews) numbers << page.title;
  QCOMPARE(numbers,
           QStringList({"Протокол №1500", "Протокол №1501", "Протокол №1502", "Протокол №2501"}));
}

void PrintProtocolTest::confirmedProtocolsAreKeptAcrossRuns() {
  GuiHarness gui;
  gui.StartIdle();
  TKVZDevice& device = gui.mainForm->Device();
  device.Mode = 'y';
  device.ResultCode = '3';
  device.U1 = 1771;
  device.U2 = -200;
  gui.mainForm->WorkResultArrived(device);
  RunModal([&] { gui.mainForm->PrintButtonClick(); },
           [&] {
             FillAll(*gui.printProtocolForm);
             gui.printProtocolForm->OkButton->click();
           });
  // The next run of the program, at the same time of its clock: the register's number is the floor.
  TPrintForm nextRun([&] { return gui.now; },
                     [&](TReportPage& page) { gui.previews.push_back(page); });
  TProtocolEntry entry;
  entry.client = "Кузнецова";
  nextRun.FillAndPreview(Measured(2), entry);

  QVERIFY(gui.boxes.empty());
  QCOMPARE(gui.previews.size(), std::size_t(2));
  QCOMPARE(gui.previews.back().title, QString("Протокол №1501"));
  TProtocolRegister reg(gui.dir.File("protocols.db"));
  const std::vector<TProtocolRecord> kept = reg.Page({}, {}, 10);
  QCOMPARE(kept.size(), std::size_t(2));
  QCOMPARE(kept[0].number, 1501);
  const TProtocolRecord& first = kept[1];
  QCOMPARE(first.number, 1500);
  QCOMPARE(first.madeAt, std::string("2013-01-19T12:00:00"));
  QCOMPARE(first.client, std::string("Сидоров С.С."));
  QCOMPARE(first.material, std::string("Золото 585 пробы (14kt)"));
  QCOMPARE(first.resultCode, '3');
  QCOMPARE(first.resultText, std::string("Золото 585 пробы (14kt, стандарт)"));
  QCOMPARE(first.u1, 1771);
  QCOMPARE(first.u2, -200);
  QCOMPARE(first.mode, 'y');
  QVERIFY(first.matches);
  QCOMPARE(first.verdict, std::string("соответствует"));
  QFile pdf(QString::fromStdString(gui.dir.Path()) + "Протоколы/1500.pdf");
  QVERIFY(pdf.open(QIODevice::ReadOnly));
  QCOMPARE(pdf.read(5), QByteArray("%PDF-"));
  TRegisterFilter byClient;
  byClient.text = "сидоров";
  QCOMPARE(reg.Count(byClient), 1);
  // A kept protocol shows again as it was printed, even where the system's date format changed.
  const QLocale before;
  QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
  nextRun.PreviewRecord(first);
  QLocale::setDefault(before);
  for (const char* field : {"ProtocolNo", "ProtocolDate", "ClientFIO", "ResInd"})
    QCOMPARE(gui.previews.back().Field(field).text, gui.previews.front().Field(field).text);
}

void PrintProtocolTest::filledPage() {
  QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
  GuiHarness gui;
  gui.now = QDateTime(QDate(2026, 12, 7), QTime(9, 15));
  gui.StartIdle();
  RunDialog(gui, 2);
  QLocale::setDefault(QLocale::c());
  QCOMPARE(gui.previews.size(), std::size_t(1));
  const TReportPage& page = gui.previews[0];
  QCOMPARE(page.title, page.Field("ProtocolNo").text);
  QCOMPARE(page.Field("ProtocolNo").text,
           "Протокол №" + QString::number(TPrintForm::ProtocolNumber(gui.now)));
  QCOMPARE(page.Field("ProtocolDate").text, QString("от 07.12.2026"));
  QCOMPARE(page.Field("Place").text, QString("   Тула"));
  QCOMPARE(page.Field("ObjectName").text, QString("   Кольцо"));
  QCOMPARE(page.Field("ObjectType").text, QString("   Золото 585 пробы (14kt)"));
  QCOMPARE(page.Field("ClientFIO").text, QString("   Сидоров С.С."));
  QCOMPARE(page.Field("Doc").text, QString("   Паспорт"));
  QCOMPARE(page.Field("DocNo").text, QString("   70 01 123456"));
  QCOMPARE(page.Field("FIO").text, QString("/ Петров /"));
  QCOMPARE(page.Field("FIO").place, TReportField::TPlace::FlushRightOnBand);
  QCOMPARE(page.Field("ResInd").text, QString("   соответствует"));

  RunDialog(gui, 12);
  QCOMPARE(gui.previews.back().Field("ResInd").text, QString("   не соответствует"));
}

void PrintProtocolTest::certifiesTheResultShownAtThePress() {
  SimProcess sim;
  GuiHarness gui;
  gui.Bind("COM4", sim);
  gui.dir.Write("kvzport.ini", "COMName=COM4\r\n");
  TMainForm& form = gui.Start();
  QTRY_COMPARE(form.ReadyShape->Color(), kGreen);
  sim.Command("work 412 -35 3 e");
  QTRY_COMPARE(form.U1ValueLabel->text(), QString("412"));
  const QString shown = "Золото 585 пробы (14kt, стандарт)";
  RunModal([&] { form.PrintButtonClick(); },
           [&] {
             sim.Command("work 100 100 7 y");
             QTRY_COMPARE(form.WorkResLabel->text(), QString("Серебро до 800 пробы"));
             QVERIFY(gui.printProtocolForm->ResultEdit->toPlainText().startsWith(
                 "Результат измерения: U1 = 412 мВ, U2 = -35 мВ, " + shown + ", "));
             FillAll(*gui.printProtocolForm);
             gui.printProtocolForm->OkButton->click();
           });
  QCOMPARE(gui.previews.at(0).Field("ResInd").text, QString("   соответствует"));
  QCOMPARE(TProtocolRegister(gui.dir.File("protocols.db")).Page({}, {}, 1).at(0).resultText,
           shown.toStdString());
}

void PrintProtocolTest::checksInOrder_data() {
  QTest::addColumn<QString>("emptied");
  QTest::addColumn<QString>("message");
  QTest::addColumn<QString>("focus");
  const QString person = "Данные проводившего измерения должны быть заполнены";
  const QString client = "Данные сдатчика должны быть заполнены";
  const QString place = "Место проведения измерений должно быть заполнено";
  const QString object = "Изделие должно быть заполнено";
  QTest::newRow("place") << "PlaceCB" << place << "PlaceCB";
  QTest::newRow("operator") << "FIOCB" << person << "FIOCB";
  QTest::newRow("object") << "ObjectCB" << object << "ObjectCB";
  QTest::newRow("material") << "ObjectTypeCB"
                            << "Материал изделия (проба) должен быть указан"
                            << "ObjectTypeCB";
  QTest::newRow("client") << "ClientFIO" << client << "ClientFIO";
  QTest::newRow("document") << "DocCB" << client << "DocCB";
  QTest::newRow("document number") << "DocNo" << client << "DocNo";
  QTest::newRow("blanks only count as empty") << "PlaceBlanks" << place << "PlaceCB";
  QTest::newRow("first of several") << "ObjectCB+DocNo" << object << "ObjectCB";
}

void PrintProtocolTest::checksInOrder() {
  QFETCH(QString, emptied);
  QFETCH(QString, message);
  QFETCH(QString, focus);
  GuiHarness gui;
  gui.StartIdle();
  TPrintProtocolForm& form = *gui.printProtocolForm;
  form.show();
  QVERIFY(QTest::qWaitForWindowActive(&form));
  FillAll(form);
  for (const QString& name : emptied.split('+')) {
    if (name == "PlaceBlanks") form.PlaceCB->setEditText("   ");
    if (auto* box = form.findChild<QComboBox*>(name))
      box->isEditable() ? box->setEditText(QString()) : box->setCurrentIndex(-1);
    if (auto* edit = form.findChild<QLineEdit*>(name)) edit->clear();
  }
  form.OkButtonClick();
  QCOMPARE(gui.boxes.size(), std::size_t(1));
  QCOMPARE(gui.boxes[0].text, message);
  QCOMPARE(gui.boxes[0].caption, QString(" Ошибка"));
  QVERIFY(form.isVisible());
  QWidget* focused = QApplication::focusWidget();
  QVERIFY(focused != nullptr);
  const QWidget* expected = form.findChild<QWidget*>(focus);
  QVERIFY2(focused == expected || focused->parentWidget() == expected,
           qPrintable(focused->metaObject()->className() + QString(" ") + focused->objectName()));
  form.hide();
}

void PrintProtocolTest::trimmedEntriesAreRememberedOnce() {
  GuiHarness gui;
  gui.StartIdle();
  // Entries stay sorted without regard to case; a different case of a listed one is not added.
  for (const char* typed : {"  Тула  ", "Москва", "тула "}) {
    RunDialog(gui, 2, [&] {
      FillAll(*gui.printProtocolForm);
      gui.printProtocolForm->PlaceCB->setEditText(QString::fromUtf8(typed));
      gui.printProtocolForm->OkButton->click();
    });
  }
  QCOMPARE(gui.previews.size(), std::size_t(3));
  QCOMPARE(gui.printProtocolForm->PlaceCB->currentText(), QString("тула"));
  QCOMPARE(gui.printProtocolForm->ClientFIO->text() + gui.printProtocolForm->DocNo->text(), "");
  QCOMPARE(ItemTexts(gui.printProtocolForm->PlaceCB), QStringList({"Москва", "Тула"}));
  QCOMPARE(gui.dir.Read("PlaceCB.lst"),
           std::string("\xcc\xee\xf1\xea\xe2\xe0\r\n\xd2\xf3\xeb\xe0\r\n"));
}

void PrintProtocolTest::closingStillSavesWhatWasTyped() {
  GuiHarness gui;
  gui.StartIdle();
  RunDialog(gui, 2, [&] {
    gui.printProtocolForm->FIOCB->setEditText("Иванов И.И.");
    gui.printProtocolForm->DocCB->setEditText("Паспорт");
    gui.printProtocolForm->CloseButton->click();
  });
  QVERIFY(gui.previews.empty());
  QCOMPARE(gui.dir.Read("FIOCB.lst"), std::string("\xc8\xe2\xe0\xed\xee\xe2 \xc8.\xc8.\r\n"));
  QCOMPARE(gui.dir.Read("DocCB.lst"), std::string("\xcf\xe0\xf1\xef\xee\xf0\xf2\r\n"));
  QCOMPARE(gui.dir.Read("ObjectCB.lst"), std::string());
}

void PrintProtocolTest::fieldsTakeOnlyWhatAHistoryFileHolds() {
  GuiHarness gui;
  gui.StartIdle();
  TPrintProtocolForm& form = *gui.printProtocolForm;
  QStringList texts;
  for (QLineEdit* edit :
       {form.PlaceCB->lineEdit(), form.FIOCB->lineEdit(), form.ObjectCB->lineEdit(),
        form.DocCB->lineEdit(), form.ClientFIO, form.DocNo}) {
    for (const char* key : {"Ё", "中", "Å", "😀", "№"})
      QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, key, Qt::NoModifier);
    edit->insert(" «Тула» —€\n😀中");  // as a paste does
    texts << edit->text();
  }
  const QString kept = "Ё№ «Тула» —€", all = "Ё中Å😀№ «Тула» —€\n😀中";
  QCOMPARE(texts, QStringList({kept, kept, kept, kept, all, all}));
  form.DocNo->setText(QString(28, u'ж'));
  form.DocNo->insert(" РФ");
  QCOMPARE(form.DocNo->text(), QString(28, u'ж'));
}

void PrintProtocolTest::clearKeepsAnOnlyRememberedName() {
  GuiHarness gui;
  gui.dir.Write("FIOCB.lst", "\xcf\xe5\xf2\xf0\xee\xe2\r\n");
  gui.dir.Write("PlaceCB.lst", "\xd2\xf3\xeb\xe0\r\nTver\r\n");
  gui.StartIdle();
  TPrintProtocolForm& form = *gui.printProtocolForm;
  QCOMPARE(form.FIOCB->currentText(), QString("Петров"));
  FillAll(form);
  form.PlaceCB->setEditText("Вологда");
  form.FIOCB->setEditText("Кто-то");
  form.ClearButtonClick();
  QCOMPARE(form.FIOCB->currentText(), QString("Петров"));
  QCOMPARE(form.PlaceCB->currentText(), QString("Вологда"));
  for (const QString& text : {form.ObjectCB->currentText(), form.ClientFIO->text(),
                              form.DocCB->currentText(), form.DocNo->text()})
    QCOMPARE(text, QString());
  QCOMPARE(form.ObjectTypeCB->currentIndex(), -1);
}

void PrintProtocolTest::keyboardAndScreenReaderReachEveryField() {
  GuiHarness gui;
  gui.StartIdle();
  TPrintProtocolForm& form = *gui.printProtocolForm;
  const std::vector<QWidget*> order = {form.PlaceCB,   form.FIOCB, form.ObjectCB, form.ObjectTypeCB,
                                       form.ClientFIO, form.DocCB, form.DocNo,    form.PlaceCB};
  QStringList captions;
  for (std::size_t i = 0; i + 1 < order.size(); ++i)
    for (const auto& label :
         QAccessible::queryAccessibleInterface(order[i])->relations(QAccessible::Label))
      captions << label.first->text(QAccessible::Name);
  QCOMPARE(
      captions.join('|'),
      QString("Место проведения измерений:|Измерения проводил (Фамилия И.О.):|Изделие:|Материал "
              "изделия (по пробирному клейму)|Сдатчик (ФИО):|Документ:|Серия и номер:"));
  RunDialog(gui, 2, [&] {
    QVERIFY(QTest::qWaitForWindowActive(&form));
    FillAll(form);
    form.PlaceCB->setFocus();
    for (std::size_t i = 1; i < order.size(); ++i) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
      QWidget* focused = QApplication::focusWidget();
      QVERIFY2(focused == order[i] || focused->parentWidget() == order[i],
               qPrintable(QString::number(i)));
    }
    QCOMPARE(form.PlaceCB->lineEdit()->selectedText(), QString("Тула"));
    // Enter on a focused button presses it.
    form.ClearButton->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Enter);
    QCOMPARE(form.ObjectCB->currentText(), QString());
    QCOMPARE(QApplication::focusWidget(), form.ObjectCB);
    FillAll(form);
    form.OkButton->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
  });
  QVERIFY(gui.boxes.empty());
  QCOMPARE(gui.previews.size(), std::size_t(1));
}

void PrintProtocolTest::unwritableFolderIsReportedAndTheProtocolStillMade() {
  GuiHarness gui;
  gui.StartIdle();
  const WorkDirScope gone(gui.dir.File("gone") + "/");
  RunDialog(gui, 2);
  // Four history files, then the protocol's PDF and its register together.
  QCOMPARE(gui.boxes.size(), std::size_t(5));
  for (const MsgBox::TBox& box : gui.boxes) QCOMPARE(box.caption, QString("KVz - 03"));
  for (std::size_t i = 0; i < 4; ++i) QVERIFY(gui.boxes[i].text.contains(".lst"));
  QVERIFY(gui.boxes[4].text.contains("1500.pdf"));
  QVERIFY(gui.boxes[4].text.contains("protocols.db"));
  QVERIFY(!std::filesystem::exists(gui.dir.File("gone")));
  QCOMPARE(gui.previews.size(), std::size_t(1));
  QVERIFY(!gui.printProtocolForm->isVisible());
}

void PrintProtocolTest::deleteHistoryKeepsTheListsInMemory() {
  GuiHarness gui;
  gui.dir.Write("DocCB.lst", "\xcf\xe0\xf1\xef\xee\xf0\xf2\r\n");
  gui.StartIdle();
  gui.printProtocolForm->DeleteHistory();
  QVERIFY(!std::filesystem::exists(gui.dir.File("DocCB.lst")));
  QCOMPARE(ItemTexts(gui.printProtocolForm->DocCB), QStringList{"Паспорт"});
  RunDialog(gui, 2, [&] { gui.printProtocolForm->CloseButton->click(); });
  QCOMPARE(gui.dir.Read("DocCB.lst"), std::string("\xcf\xe0\xf1\xef\xee\xf0\xf2\r\n"));
}

KVZ_WINDOW_TEST_MAIN(PrintProtocolTest, false)

#include "PrintProtocolTest.moc"
