#include <QLabel>
#include <QRegularExpression>
#include <QtTest>
#include <csignal>

#include "app/Lamp.h"
#include "device/KVZDeviceUn.h"
#include "tests/gui/GuiHarness.h"
#include "tests/support/Pty.h"

// The lost detector noticed and found again, through the whole program against simulated
// detectors on pseudo-terminals.
class LinkWatchTest : public QObject {
  Q_OBJECT

 private slots:
  void lostDetectorIsShownAndFoundAgainWithoutAClick();
};

// No detector at start: the stored port (a link) is missing and the one listed port is silent,
// perhaps another device. The detector then comes and goes, and comes back on a new port. The
// silent port hears nothing after the search, and no box follows the first.
void LinkWatchTest::lostDetectorIsShownAndFoundAgainWithoutAClick() {
  Pty silent;
  GuiHarness gui({"ttyUSB3"});
  gui.paths["ttyUSB3"] = silent.SlavePath();
  const std::string link = gui.dir.File("kvz03");
  gui.dir.Write("kvzport.ini", "COMName=" + link + "\r\n");
  TMainForm& form = gui.Start();
  QTRY_COMPARE(gui.boxes.size(), std::size_t(1));
  QCOMPARE(silent.Receive(), std::string("VV"));

  auto sim = std::make_unique<SimProcess>(std::vector<std::string>{"--link", link});
  gui.Bind(link, *sim);
  QTRY_COMPARE_WITH_TIMEOUT(form.ReadyShape->Color(), kGreen, 5000);
  QVERIFY(gui.stages.contains(kStagePrefix + "Подключение к порту " + QString::fromStdString(link) +
                              "..."));
  sim->Command("work 412 -35 3 y");
  const QString verdict = "Золото 585 пробы (14kt, стандарт)";
  QTRY_COMPARE(form.WorkResLabel->text(), verdict);

  sim->KillAndWait(SIGTERM);
  QTRY_COMPARE_WITH_TIMEOUT(form.ReadyShape->Color(), kRed, 2000);
  QCOMPARE(form.StagePanel->text(), kStagePrefix + "Связь с прибором потеряна.");
  // The result stays, greyed, with the time it was measured, and may still be printed.
  QCOMPARE(form.WorkResLabel->text(), verdict);
  QCOMPARE(form.WorkResLabel->palette().color(QPalette::WindowText), QColor(128, 128, 128));
  QVERIFY(IsShown(form.WRSmallLabel));
  QVERIFY(QRegularExpression("^Результат от \\d\\d:\\d\\d, связь потеряна$")
              .match(form.WRSmallLabel->text())
              .hasMatch());
  QVERIFY(form.PrintButton->isEnabled());

  QTest::qWait(2500);
  gui.ports.erase(link);
  sim = std::make_unique<SimProcess>();
  gui.Bind("ttyUSB7", *sim);
  gui.AddSystemPort("ttyUSB7");
  QTRY_COMPARE_WITH_TIMEOUT(form.ReadyShape->Color(), kGreen, 5000);
  QCOMPARE(form.StagePanel->text(), kStagePrefix + "Связь с прибором установлена.");
  QCOMPARE(form.Device().PortParams.PortName, std::string("ttyUSB7"));
  QVERIFY(!IsShown(form.WRSmallLabel));
  QCOMPARE(gui.boxes.size(), std::size_t(1));
  QCOMPARE(silent.Receive(0), std::string());
}

KVZ_WINDOW_TEST_MAIN(LinkWatchTest, true)

#include "LinkWatchTest.moc"
