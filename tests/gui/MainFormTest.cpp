#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QTimer>
#include <QToolButton>
#include <QtTest>
#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>

#include "app/EventLoopClock.h"
#include "app/FormsUn.h"
#include "app/Lamp.h"
#include "device/KVZDeviceUn.h"
#include "tests/gui/GuiHarness.h"
#include "tests/support/QtSupport.h"

namespace {

// The first and last columns with ink of the widget drawn on its own over nothing.
std::pair<int, int> InkSpan(QWidget& widget) {
  QImage image(widget.size(), QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  widget.render(&image, {}, {}, QWidget::DrawChildren);
  std::pair<int, int> span(image.width(), -1);
  for (int x = 0; x < image.width(); ++x)
    for (int y = 0; y < image.height(); ++y)
      if (qAlpha(image.pixel(x, y)) != 0) span = {std::min(span.first, x), x};
  return span;
}

// The mode, and with a result code the measurement, as the listening loop hands them to the window.
void Report(TMainForm& form, char mode, char code = '\0', int u1 = 0, int u2 = 0) {
  TKVZDevice& device = form.Device();
  device.Mode = mode;
  device.ResultCode = code;
  device.U1 = static_cast<std::int16_t>(u1);
  device.U2 = static_cast<std::int16_t>(u2);
  form.ShowMode(device);
  if (code != '\0') form.WorkResultArrived(device);
}

}  // namespace

class MainFormTest : public QObject {
  Q_OBJECT

 private slots:
  void startWithoutDetectorSearchesEveryPortAndFails();
  void permissionHintOnlyWhenAPortWasRefused();
  void windowAnswersThroughoutASearch();
  void startWithDetectorOnStoredPortTriesNothingElse();
  void connectWhileListeningReconnectsAndListensAgain();
  void detectorNotReady();
  void detectorThatDoesNotLetGo();
  void modeTexts_data();
  void modeTexts();
  void expertValues_data();
  void expertValues();
  void transientStateReturnsToTheWorkingMode();
  void powerOffClearsTheWorkingMode();
  void resultIndex_data();
  void resultIndex();
  void ctrlPOpensTheProtocolOnceThereIsAResult();
  void resultDuringTransientStateIsWiped();
  void informationWindowShowsTheDetectorIdentity();
  void errorEscapingAHandlerIsShownAndTheProgramGoesOn();
  void captionEndsWithTheVersion();
  void boxDuringStartUpHoldsTheConnectBack();
};

void MainFormTest::startWithoutDetectorSearchesEveryPortAndFails() {
  GuiHarness gui({"ttyUSB1", "ttyUSB0"});
  // At each open attempt the window is locked and busy, and pending events have run since the
  // last one, not only when the status line changed.
  int eventsAtLastOpen = -1;
  gui.beforeOpen = [&gui, &eventsAtLastOpen](const std::string&) {
    const QCursor* cursor = QApplication::overrideCursor();
    QVERIFY(cursor && cursor->shape() == Qt::BusyCursor &&
            !gui.mainForm->ConnectButton->isEnabled());
    QVERIFY(gui.eventRuns > eventsAtLastOpen);
    eventsAtLastOpen = gui.eventRuns;
  };
  TMainForm& form = gui.Start();
  QCOMPARE(form.ReadyShape->Color(), QColor(Qt::white));
  QVERIFY(!gui.opened.size());
  QTRY_COMPARE(gui.boxes.size(), std::size_t(1));
  QCOMPARE(gui.boxes[0].text, QString("Прибор не найден! Подключите прибор к USB-порту."));
  QCOMPARE(gui.boxes[0].caption, QString(" Ошибка"));
  QCOMPARE(gui.boxes[0].icon, TMsgIcon::Error);
  QCOMPARE(gui.stages, QStringList({kStagePrefix + "Подключение к прибору...",
                                    kStagePrefix + "Подключение к порту по умолчанию...",
                                    kStagePrefix + "Подключение к порту ttyUSB0...",
                                    kStagePrefix + "Подключение к порту ttyUSB1...",
                                    kStagePrefix + "Прибор не найден!"}));
  QCOMPARE(form.ReadyShape->Color(), kRed);
  QVERIFY(!form.ProgressBar->isVisible());
  QCOMPARE(form.ProgressBar->maximum(), 3);
  QCOMPARE(gui.opened.size(), std::size_t(15));
  QVERIFY(!QApplication::overrideCursor());
  QCOMPARE(form.Device().PortParams.PortName, std::string("COM1"));
  QVERIFY(!form.StartTimer->isActive());
}

// Absent ports alone give the box without the hint (the test above).
void MainFormTest::permissionHintOnlyWhenAPortWasRefused() {
  GuiHarness gui({"ttyUSB0"});
  gui.refused.insert("ttyUSB0");
  gui.Start();
  QTRY_COMPARE(gui.boxes.size(), std::size_t(1));
  QCOMPARE(gui.boxes[0].text,
           QString("Прибор не найден! Подключите прибор к USB-порту.\rНет доступа "
                   "к последовательному порту: добавьте пользователя в группу "
                   "dialout и войдите в систему заново."));
}

// A screen reader reads the window through a chain of calls, each handed to the GUI thread and
// waited for, as the accessibility bus does. A search for a missing detector (five seconds of
// attempts to open the stored port) answers every chain at once, not a call per pause.
void MainFormTest::windowAnswersThroughoutASearch() {
  GuiHarness gui;
  gui.linkClock = &EventLoopClock();
  TMainForm& form = gui.Start();
  std::atomic<bool> searched{false}, finished{false};
  std::chrono::steady_clock::duration slowest{};
  std::thread reader([&] {
    while (!searched.load()) {
      const auto start = std::chrono::steady_clock::now();
      for (int call = 0; call < 40; ++call)
        QMetaObject::invokeMethod(
            form.StagePanel, [&form] { (void)form.StagePanel->text(); },
            Qt::BlockingQueuedConnection);
      slowest = std::max(slowest, std::chrono::steady_clock::now() - start);
    }
    finished.store(true);
  });
  QTRY_COMPARE_WITH_TIMEOUT(gui.boxes.size(), std::size_t(1), 30000);
  searched.store(true);
  QTRY_VERIFY(finished.load());
  reader.join();
  QCOMPARE(gui.opened.size(), std::size_t(5));
  QVERIFY2(
      slowest < std::chrono::milliseconds(500),
      qPrintable(QString("a chain took %1 ms")
                     .arg(std::chrono::duration_cast<std::chrono::milliseconds>(slowest).count())));
}

void MainFormTest::startWithDetectorOnStoredPortTriesNothingElse() {
  SimProcess sim;
  GuiHarness gui({"ttyUSB0"});
  gui.Bind("COM4", sim);
  gui.dir.Write("kvzport.ini", "COMName=COM4\r\n");
  TMainForm& form = gui.Start();
  QTRY_COMPARE(form.StagePanel->text(), kStagePrefix + "Связь с прибором установлена.");
  QCOMPARE(form.ReadyShape->Color(), kGreen);
  QCOMPARE(gui.opened, std::vector<std::string>{"COM4"});
  QVERIFY(gui.boxes.empty());
  QVERIFY(gui.stages.contains(kStagePrefix + "Подключение к порту по умолчанию..."));
  QCOMPARE(form.ModeLabel->text(), QString("Режим \"Экспертный\""));

  sim.Command("work 1771 -200 3 e");
  QTRY_COMPARE(form.U1ValueLabel->text(), QString("1771"));
  QCOMPARE(form.DUValueLabel->text(), QString("1971"));
  QCOMPARE(form.U2ValueLabel->text(), QString("-200"));
  QVERIFY(form.PrintButton->isEnabled());
}

void MainFormTest::connectWhileListeningReconnectsAndListensAgain() {
  SimProcess sim;
  GuiHarness gui;
  gui.Bind("COM4", sim);
  gui.dir.Write("kvzport.ini", "COMName=COM4\r\n");
  TMainForm& form = gui.Start();
  QTRY_COMPARE(form.ReadyShape->Color(), kGreen);
  QTest::mouseClick(form.ConnectButton, Qt::LeftButton);
  QCOMPARE(gui.opened, (std::vector<std::string>{"COM4", "COM4"}));
  QCOMPARE(form.ReadyShape->Color(), kGreen);
  QVERIFY(gui.boxes.empty());
  sim.Command("mode y");
  QTRY_COMPARE(form.ModeLabel->text(), QString("Режим \"Ювелирный - желтый сплав\""));
}

void MainFormTest::detectorNotReady() {
  SimProcess sim({"--not-ready", "--mode", "p"});
  GuiHarness gui;
  gui.Bind("COM1", sim);
  TMainForm& form = gui.Start();
  QTRY_COMPARE(gui.boxes.size(), std::size_t(1));
  QCOMPARE(gui.boxes[0].text, QString("Прибор не готов к работе! Выполните подключение еще раз."));
  QCOMPARE(form.StagePanel->text(), kStagePrefix + "Прибор не готов к работе!");
  QCOMPARE(form.ReadyShape->Color(), kRed);
  // The reply's mode is shown all the same, and the detector stays connected.
  QCOMPARE(form.ModeLabel->text(), QString("Зонд не подключен!"));
  QVERIFY(form.Device().Connected.load());
}

void MainFormTest::detectorThatDoesNotLetGo() {
  SimProcess sim;
  GuiHarness gui;
  gui.Bind("COM1", sim);
  TMainForm& form = gui.Start();
  QTRY_COMPARE(form.ReadyShape->Color(), kGreen);
  // The loop hands a frame over and waits for a GUI thread that is busy elsewhere.
  gui.holdEvents = true;
  sim.Command("mode w");
  QTest::qWait(50);
  form.ConnectButtonClick();
  gui.holdEvents = false;
  QCOMPARE(gui.boxes.size(), std::size_t(1));
  QCOMPARE(gui.boxes[0].text,
           QString("Прибор не отвечает! Выполните следующие действия:\r1. Выключите прибор\r2. "
                   "Отсоедините прибор от компьютера\r3. Включите прибор\r4. Подключите прибор к "
                   "компьютеру\r5. Перезапустите программу"));
  QCOMPARE(form.StagePanel->text(), kStagePrefix + "Прибор не отвечает!");
  QCOMPARE(form.ReadyShape->Color(), kRed);
  QCOMPARE(gui.opened.size(), std::size_t(1));
}

// How the window follows the display table, one row of each kind.
void MainFormTest::modeTexts_data() {
  QTest::addColumn<char>("mode");
  QTest::addColumn<QString>("text");
  QTest::addColumn<char>("currentMode");
  QTest::addColumn<bool>("timer");
  QTest::addColumn<bool>("verdictArea");
  QTest::addColumn<bool>("expertArea");
  QTest::newRow("expert") << 'e' << "Режим \"Экспертный\"" << 'e' << false << false << true;
  QTest::newRow("power off") << 'f' << "Питание выключено" << '\0' << true << false << false;
  QTest::newRow("yellow") << 'y' << "Режим \"Ювелирный - желтый сплав\"" << 'y' << false << true
                          << false;
}

void MainFormTest::modeTexts() {
  QFETCH(char, mode);
  QFETCH(QString, text);
  QFETCH(char, currentMode);
  QFETCH(bool, timer);
  QFETCH(bool, verdictArea);
  QFETCH(bool, expertArea);
  GuiHarness gui;
  TMainForm& form = gui.StartIdle();
  form.CurrentMode = 'w';
  Report(form, mode);
  QCOMPARE(form.ModeLabel->text(), text);
  QCOMPARE(form.CurrentMode, currentMode);
  QCOMPARE(form.ShowMessTimer->isActive(), timer);
  QCOMPARE(IsShown(form.WorkResLabel), verdictArea);
  QCOMPARE(form.WorkResLabel->text(), QString());
  for (QLabel* label : {form.U1Label, form.DULabel1, form.DULabel2, form.U2Label, form.U1ValueLabel,
                        form.DUValueLabel, form.U2ValueLabel})
    QCOMPARE(IsShown(label), expertArea);
  QVERIFY(!IsShown(form.WRSmallLabel));
}

void MainFormTest::expertValues_data() {
  QTest::addColumn<int>("u1");
  QTest::addColumn<int>("u2");
  QTest::addColumn<QString>("difference");
  // The face a PC without Arial Narrow puts in its place; empty for the form's own.
  QTest::addColumn<QString>("face");
  QTest::newRow("opposite signs") << 1771 << -200 << "1971" << QString();
  QTest::newRow("equal") << 640 << 640 << "0" << QString();
  QTest::newRow("second larger") << -5 << 7 << "12" << QString();
  QTest::newRow("extremes") << -32768 << 32767 << "65535" << QString();
  QTest::newRow("six characters each side") << -32768 << -12345 << "20423" << QString();
  QTest::newRow("four digits in Arial") << 8888 << 4444 << "4444" << QString("Arial");
  QTest::newRow("five characters in Arial") << -1771 << 1234 << "3005" << QString("Arial");
}

void MainFormTest::expertValues() {
  QFETCH(int, u1);
  QFETCH(int, u2);
  QFETCH(QString, difference);
  QFETCH(QString, face);
  GuiHarness gui;
  TMainForm& form = gui.StartIdle();
  for (QLabel* label : {form.U1ValueLabel, form.DUValueLabel, form.U2ValueLabel})
    if (!face.isEmpty()) label->setFont(QFont(face));
  Report(form, 'e', '3', u1, u2);
  QCOMPARE(form.U1ValueLabel->text(), QString::number(u1));
  QCOMPARE(form.U2ValueLabel->text(), QString::number(u2));
  QCOMPARE(form.DUValueLabel->text(), difference);
  // Centred in labels side by side, the values keep a clear gap between them in any face.
  for (const QLabel* label : {form.U1ValueLabel, form.DUValueLabel, form.U2ValueLabel})
    QVERIFY(QFontMetrics(label->font()).horizontalAdvance(label->text()) <= label->width() - 10);
  QVERIFY(!IsShown(form.WRSmallLabel));
  QVERIFY(!IsShown(form.WorkResLabel));
}

void MainFormTest::transientStateReturnsToTheWorkingMode() {
  GuiHarness gui;
  TMainForm& form = gui.StartIdle();
  Report(form, 'w');
  Report(form, 'r');
  QCOMPARE(form.ModeLabel->text(), QString("Готов"));
  QCOMPARE(form.ShowMessTimer->interval(), 500);
  // A second transient state does not restart the pending return.
  const int remaining = form.ShowMessTimer->remainingTime();
  QTest::qWait(100);
  Report(form, 'x');
  QVERIFY(form.ShowMessTimer->remainingTime() < remaining);
  QTRY_COMPARE_WITH_TIMEOUT(form.ModeLabel->text(), QString("Режим \"Ювелирный - белый сплав\""),
                            3000);
  QVERIFY(!form.ShowMessTimer->isActive());
  QVERIFY(IsShown(form.WorkResLabel));
  QCOMPARE(form.WorkResLabel->text(), QString());
}

void MainFormTest::powerOffClearsTheWorkingMode() {
  GuiHarness gui;
  TMainForm& form = gui.StartIdle();
  Report(form, 'e');
  Report(form, 'f');
  QCOMPARE(form.CurrentMode, '\0');
  form.ShowMessTimerTimer();
  QCOMPARE(form.ModeLabel->text(), QString());
  QVERIFY(!IsShown(form.U1Label));
  QVERIFY(!IsShown(form.WorkResLabel));
  QCOMPARE(form.Device().Mode.load(), '\0');
}

void MainFormTest::resultIndex_data() {
  QTest::addColumn<char>("code");
  QTest::addColumn<int>("index");
  QTest::addColumn<QString>("verdict");
  QTest::newRow("not recognised") << '0' << -1 << "сплав не опознан";
  QTest::newRow("585 standard") << '3' << 2 << "Золото 585 пробы (14kt, стандарт)";
  QTest::newRow("platinum") << ';' << 10 << "Платина и сплавы";
  QTest::newRow("repeat") << '\xfe' << 11 << "повторите тест";
  QTest::newRow("not precious") << '\xff' << 12 << "не драгметалл";
  QTest::newRow("unknown code") << '<' << -2 << "";
}

void MainFormTest::resultIndex() {
  QFETCH(char, code);
  QFETCH(int, index);
  QFETCH(QString, verdict);
  GuiHarness gui;
  TMainForm& form = gui.StartIdle();
  QVERIFY(!form.PrintButton->isEnabled());
  Report(form, 'y', code);
  QCOMPARE(form.LastResultIndex, index);
  QCOMPARE(form.WorkResLabel->text(), verdict);
  QVERIFY(form.PrintButton->isEnabled());
}

void MainFormTest::ctrlPOpensTheProtocolOnceThereIsAResult() {
  GuiHarness gui;
  TMainForm& form = gui.StartIdle();
  form.show();
  form.activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(&form));
  QTest::keyClick(&form, Qt::Key_P, Qt::ControlModifier);
  QVERIFY(!gui.printProtocolForm->isVisible());
  form.Device().Mode = 'y';
  form.Device().ResultCode = '3';
  form.WorkResultArrived(form.Device());
  bool opened = false;
  RunModal([&] { QTest::keyClick(&form, Qt::Key_P, Qt::ControlModifier); },
           [&] { opened = gui.printProtocolForm->isVisible(); });
  QVERIFY(opened);
}

void MainFormTest::resultDuringTransientStateIsWiped() {
  GuiHarness gui;
  TMainForm& form = gui.StartIdle();
  Report(form, 'y');
  Report(form, 'r');
  Report(form, 'y', '4');
  QCOMPARE(form.WorkResLabel->text(), QString("Золото 750 пробы (18kt)"));
  form.ShowMessTimerTimer();
  QCOMPARE(form.WorkResLabel->text(), QString());
  QCOMPARE(form.LastResultIndex, 3);
  QVERIFY(form.PrintButton->isEnabled());
}

void MainFormTest::informationWindowShowsTheDetectorIdentity() {
  SimProcess sim({"--id", "KVZ03042"});
  GuiHarness gui;
  TMainForm& form = gui.StartIdle();
  TAboutForm& about = *gui.aboutForm;
  about.show();
  QCOMPARE(about.VersLabel->text(),
           QString("Версия ПО: 1.006.27.03.2013\nВерсия ПО прибора: неизвестна"));
  QCOMPARE(about.frameGeometry().topLeft(), form.frameGeometry().topLeft() + QPoint(20, 20));
  QVERIFY(about.Label4->text().contains("GPL-3.0-or-later"));
  about.hide();

  gui.Bind("COM1", sim);
  sim.Command("ready 0");
  form.ConnectButtonClick();
  QCOMPARE(gui.boxes.size(), std::size_t(1));
  about.show();
  QCOMPARE(about.VersLabel->text(),
           QString("Версия ПО: 1.006.27.03.2013\nВерсия ПО прибора: KVZ03042"));
  QCOMPARE(about.Label1->text(), QString("KVZ - 03"));
}

void MainFormTest::errorEscapingAHandlerIsShownAndTheProgramGoesOn() {
  GuiHarness gui;
  gui.StartIdle();
  QTimer failing;
  failing.setSingleShot(true);
  connect(&failing, &QTimer::timeout, [] { throw std::runtime_error("Нет места на диске"); });
  failing.start(0);
  QTRY_COMPARE(gui.boxes.size(), std::size_t(1));
  QCOMPARE(gui.boxes[0].caption, QString("KVz - 03"));
  QCOMPARE(gui.boxes[0].text, QString("Нет места на диске"));
  QCOMPARE(gui.boxes[0].icon, TMsgIcon::Error);
  QVERIFY(gui.mainForm->isVisible());

  // An error inside the connect reaches the same handler, and the window is handed back.
  gui.beforeOpen = [](const std::string&) { throw std::runtime_error("Сбой драйвера порта"); };
  QTimer::singleShot(0, gui.mainForm, &TMainForm::ConnectButtonClick);
  QTRY_COMPARE(gui.boxes.size(), std::size_t(2));
  QCOMPARE(gui.boxes[1].text, QString("Сбой драйвера порта"));
  QVERIFY(gui.mainForm->SetupButton->isEnabled() && gui.mainForm->ConnectButton->isEnabled());
  QVERIFY(!gui.mainForm->ProgressBar->isVisible() && !QApplication::overrideCursor());
}

void MainFormTest::captionEndsWithTheVersion() {
  GuiHarness gui;
  gui.Start();
  QCOMPARE(gui.mainForm->windowTitle(),
           QString("KVz - 03. Электрохимический детектор металлов. Версия 1.006.27.03.2013"));
  QCOMPARE(gui.mainForm->size(), QSize(685, 463));
  QCOMPARE(gui.mainForm->GroupBox1->geometry(), QRect(348, 100, 327, 157));
  QCOMPARE(gui.mainForm->PrintButton->geometry(), QRect(344, 4, 167, 165));
  // The two labels of the delta header read as one word: Δ and U as close as in "ΔU".
  const QFontMetrics metrics(gui.mainForm->DULabel2->font());
  const int natural = metrics.rightBearing(QChar(0x394)) + metrics.leftBearing('U');
  const int shown =
      InkSpan(*gui.mainForm->DULabel2).first - InkSpan(*gui.mainForm->DULabel1).second;
  QVERIFY2(qAbs(shown - natural) <= 1, qPrintable(QString::number(shown)));
}

void MainFormTest::boxDuringStartUpHoldsTheConnectBack() {
  GuiHarness gui;
  MsgBox::SetHook(nullptr);
  const auto failingWorkDirs = [] {
    // A real box with its own modal loop, open well past the start timer's 300 ms.
    RunModal(
        [] {
          GuiLink().ShowMessage("Установить рабочие директории не удалось", "Ошибка",
                                TMsgIcon::Error, false);
        },
        [] {}, std::chrono::milliseconds(800));
    return false;
  };
  const TKVZForms forms(
      {{[](const std::string&, TOpenError*) { return TPortHandle(); }, &gui.clock},
       failingWorkDirs,
       gui.dir.Path()});
  QVERIFY(forms.MainForm.StagePanel->text().isEmpty() && forms.MainForm.StartTimer->isActive());
}

KVZ_WINDOW_TEST_MAIN(MainFormTest, true)

#include "MainFormTest.moc"
