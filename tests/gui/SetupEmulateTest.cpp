#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QToolButton>
#include <QtTest>
#include <filesystem>

#include "app/Lamp.h"
#include "device/Frames.h"
#include "device/KVZDeviceUn.h"
#include "report/ReportPreview.h"
#include "tests/emulator/DrawRange.h"
#include "tests/gui/GuiHarness.h"
#include "tests/support/QtSupport.h"

namespace {

// Runs the settings dialog on the device object's record, acting on it once it is up.
bool RunSetup(GuiHarness& gui, const std::function<void(TSetupForm&)>& act) {
  bool confirmed = false;
  RunModal([&] { confirmed = gui.setupForm->Execute(gui.mainForm->Device().PortParams); },
           [&] { act(*gui.setupForm); });
  return confirmed;
}

// The windows connected to a simulated detector, recording the modes the device object reports
// and letting the main window show them as usual.
struct Listening {
  Listening() {
    gui.Bind("COM1", sim);
    TMainForm& form = gui.Start();
    QTRY_COMPARE(form.ReadyShape->Color(), kGreen);
    TKVZDevice& device = form.Device();
    QVERIFY(device.StopListening());
    device.OnMode = [this, &form](TKVZDevice& d) {
      modes.push_back(d.Mode.load());
      form.ShowMode(d);
    };
    device.StartListening();
  }
  // Outlives the windows: modes still arrive while they close.
  std::vector<char> modes;
  SimProcess sim;
  GuiHarness gui;
};

// A settings file, what the dialog shows of it and the speed it keeps.
struct LineRow {
  std::string file;
  QString speed, parity, stopBits;
  uint keptSpeed;
};

}  // namespace

Q_DECLARE_METATYPE(LineRow)

class SetupEmulateTest : public QObject {
  Q_OBJECT

 private slots:
  void storedPortIsSelectedWithoutRegardToCase();
  void absentStoredPortStoresAnEmptyName();
  void lineParameters_data();
  void lineParameters();
  void closeLeavesTheRecordAlone();
  void portListIsReadAtEveryOpening();
  void screenReadersGetEachControlsCaption();
  void resetConfirmed();
  void resetRefused();
  void eachButtonSendsItsMode_data();
  void eachButtonSendsItsMode();
  void probeCheckIsFollowedByReady();
  void measurementError();
  void chosenResultAndModeSetTheDrawnPotentials();
  void workResultReachesTheMainWindow();
  void shortcutShowsTheEmulatorBesideTheMainWindow();
};

void SetupEmulateTest::storedPortIsSelectedWithoutRegardToCase() {
  GuiHarness gui({"COM3", "COM10", "COM1"});
  gui.dir.Write("kvzport.ini", "COMName=com3\r\n");
  gui.StartIdle();
  QVERIFY(RunSetup(gui, [](TSetupForm& form) {
    QCOMPARE(ItemTexts(form.COMName), QStringList({"COM1", "COM10", "COM3"}));
    QCOMPARE(form.COMName->currentText(), QString("COM3"));
    for (QComboBox* list : {form.COMSpeed, form.COMByteSize, form.COMParity, form.COMStopBits})
      QVERIFY(!list->isEnabled());
    form.OkButton->click();
  }));
  QCOMPARE(gui.mainForm->Device().PortParams.PortName, std::string("COM3"));
}

void SetupEmulateTest::absentStoredPortStoresAnEmptyName() {
  GuiHarness gui({"COM1", "COM2"});
  gui.dir.Write("kvzport.ini", "COMName=COM7\r\n");
  gui.StartIdle();
  QVERIFY(RunSetup(gui, [](TSetupForm& form) {
    QCOMPARE(form.COMName->currentIndex(), -1);
    form.OkButton->click();
  }));
  QCOMPARE(gui.mainForm->Device().PortParams.PortName, std::string());
  QVERIFY(!std::filesystem::exists(gui.dir.File("missing")));
}

void SetupEmulateTest::lineParameters_data() {
  QTest::addColumn<LineRow>("line");
  QTest::newRow("defaults") << LineRow{"COMName=COM1\r\n", "115200", "нет", "1", 115200u};
  QTest::newRow("even parity") << LineRow{"COMParity=2\r\nCOMSpeed=921600\r\n", "921600", "чет",
                                          "1", 921600u};
  QTest::newRow("odd parity, two stop bits")
      << LineRow{"COMParity=1\r\nCOMStopBits=2\r\n", "115200", "нечет", "2", 115200u};
  QTest::newRow("speed not in the list")
      << LineRow{"COMSpeed=12345\r\nCOMStopBits=1\r\n", "", "нет", "1,5", 12345u};
}

void SetupEmulateTest::lineParameters() {
  QFETCH(LineRow, line);
  GuiHarness gui;
  gui.dir.Write("kvzport.ini", line.file);
  gui.StartIdle();
  QVERIFY(RunSetup(gui, [&](TSetupForm& form) {
    QCOMPARE(form.COMSpeed->currentText(), line.speed);
    QCOMPARE(form.COMParity->currentText(), line.parity);
    QCOMPARE(form.COMStopBits->currentText(), line.stopBits);
    QCOMPARE(form.COMByteSize->currentText(), QString("8"));
    form.OkButton->click();
  }));
  QCOMPARE(gui.mainForm->Device().PortParams.BaudRate, line.keptSpeed);
}

// Enter on anything but a button does nothing either; Tab passes the panel focused at first.
void SetupEmulateTest::closeLeavesTheRecordAlone() {
  GuiHarness gui({"COM1", "COM2"});
  gui.dir.Write("kvzport.ini", "COMName=COM1\r\n");
  gui.StartIdle();
  const TMyComPortParams before = gui.mainForm->Device().PortParams;
  QWidgetList stops;
  QVERIFY(!RunSetup(gui, [&](TSetupForm& form) {
    form.COMName->setCurrentIndex(1);
    for (int i = 0; i < 6; ++i) {
      stops << form.focusWidget();
      if (!qobject_cast<QPushButton*>(stops.back())) QTest::keyClick(stops.back(), Qt::Key_Return);
      QVERIFY(form.isVisible());
      QTest::keyClick(&form, Qt::Key_Tab);
    }
    form.CloseButton->click();
  }));
  const TSetupForm& f = *gui.setupForm;
  QCOMPARE(stops, QWidgetList({f.Panel4, f.OkButton, f.CloseButton, f.COMName,
                               f.SetDefaultSettingsButton, f.OkButton}));
  QCOMPARE(gui.mainForm->Device().PortParams, before);
}

void SetupEmulateTest::portListIsReadAtEveryOpening() {
  FakePortList ports({});
  GuiHarness gui;
  gui.StartIdle();
  TSetupForm form(gui.mainForm, ports.Source(), [] {});
  QVERIFY(form.GetPortNames().empty());
  ports.Add("ttyUSB0");
  QCOMPARE(form.GetPortNames(), TStringList{"ttyUSB0"});
}

// A control without a caption of its own is announced by its group's title, or not at all; the
// lists' pop-ups are not controls of the window.
void SetupEmulateTest::screenReadersGetEachControlsCaption() {
  GuiHarness gui;
  gui.StartIdle();
  TReportPage page;
  TReportPreview preview(page, nullptr, MsgBox::ShowError);
  for (QWidget* w : gui.setupForm->findChildren<QWidget*>() +
                        gui.emulateForm->findChildren<QWidget*>() +
                        preview.findChildren<QWidget*>()) {
    const QString name = QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name);
    const auto* group = qobject_cast<QGroupBox*>(w->parentWidget());
    if (w->focusPolicy() != Qt::NoFocus && w->window()->windowType() != Qt::Popup)
      QVERIFY2(!name.isEmpty() && (!group || name != group->title()), qPrintable(name));
  }
}

void SetupEmulateTest::resetConfirmed() {
  GuiHarness gui({"COM1"});
  gui.dir.Write("kvzport.ini", "COMName=COM1\r\n");
  for (const char* file : {"PlaceCB.lst", "FIOCB.lst", "ObjectCB.lst", "DocCB.lst"})
    gui.dir.Write(file, "x\r\n");
  gui.answer = MsgBox::TAnswer::Yes;
  gui.StartIdle();
  QVERIFY(RunSetup(gui, [](TSetupForm& form) { form.SetDefaultSettingsButton->click(); }));
  QCOMPARE(gui.boxes.size(), std::size_t(1));
  QCOMPARE(gui.boxes[0].text, QString("Настройки программы будут сброшены в состояние по "
                                      "умолчанию.\rПодтвердите операцию..."));
  QCOMPARE(gui.boxes[0].caption, QString("Внимание"));
  QCOMPARE(gui.boxes[0].icon, TMsgIcon::Warning);
  QCOMPARE(gui.boxes[0].buttons, MsgBox::TButtons::YesNo);
  for (const char* file : {"PlaceCB.lst", "FIOCB.lst", "ObjectCB.lst", "DocCB.lst"})
    QVERIFY2(!std::filesystem::exists(gui.dir.File(file)), file);
  QCOMPARE(gui.mainForm->Device().PortParams.PortName, std::string());
  QVERIFY(!gui.setupForm->isVisible());
}

void SetupEmulateTest::resetRefused() {
  GuiHarness gui({"COM1"});
  gui.dir.Write("PlaceCB.lst", "x\r\n");
  gui.StartIdle();
  MsgBox::SetHook(nullptr);
  int lines = 0;  // of the question, as the real box shows it
  QVERIFY(!RunSetup(gui, [&](TSetupForm& form) {
    RunModal([&] { form.SetDefaultSettingsButton->click(); },
             [&] {
               auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
               QVERIFY(box != nullptr);
               for (QLabel* label : box->findChildren<QLabel*>())
                 if (label->text().endsWith("..."))
                   lines = label->height() / label->fontMetrics().lineSpacing();
               box->button(QMessageBox::No)->click();
             });
    QVERIFY(form.isVisible());
    form.CloseButton->click();
  }));
  QCOMPARE(lines, 2);
  QVERIFY(std::filesystem::exists(gui.dir.File("PlaceCB.lst")));
  QCOMPARE(gui.mainForm->Device().PortParams.PortName, std::string("COM1"));
}

void SetupEmulateTest::eachButtonSendsItsMode_data() {
  QTest::addColumn<QString>("button");
  QTest::addColumn<char>("mode");
  QTest::newRow("probe check") << "CModeButton" << kModeCheck;
  QTest::newRow("ready") << "RModeButton" << kModeReady;
  QTest::newRow("expert") << "EModeButton" << kModeExpert;
  QTest::newRow("yellow alloy") << "YModeButton" << kModeYellow;
  QTest::newRow("white alloy") << "WModeButton" << kModeWhite;
  QTest::newRow("probe off") << "Button2" << kModeNoProbe;
  QTest::newRow("power off") << "Button1" << kModePowerOff;
}

void SetupEmulateTest::eachButtonSendsItsMode() {
  QFETCH(QString, button);
  QFETCH(char, mode);
  Listening on;
  on.gui.emulateForm->findChild<QPushButton*>(button)->click();
  QTRY_VERIFY(!on.modes.empty());
  QCOMPARE(on.modes.front(), mode);
}

void SetupEmulateTest::probeCheckIsFollowedByReady() {
  Listening on;
  GuiHarness& gui = on.gui;
  TEmulateForm& emulator = *gui.emulateForm;
  emulator.CModeButton->click();
  QCOMPARE(emulator.ProgressBar1->value(), 100);
  QTRY_COMPARE(on.modes, (std::vector<char>{'c', 'r'}));
  QCOMPARE(gui.mainForm->ModeLabel->text(), QString("Готов"));
  QTRY_COMPARE(gui.mainForm->ModeLabel->text(), QString("Режим \"Экспертный\""));
}

void SetupEmulateTest::measurementError() {
  Listening on;
  GuiHarness& gui = on.gui;
  int results = 0;
  gui.mainForm->Device().OnWorkResult = [&results](TKVZDevice&) { ++results; };
  gui.emulateForm->ErrCB->setChecked(true);
  gui.emulateForm->WorkResultButton->click();
  QTRY_COMPARE(on.modes, (std::vector<char>{'s', 'x'}));
  QTest::qWait(50);
  QCOMPARE(results, 0);
}

void SetupEmulateTest::chosenResultAndModeSetTheDrawnPotentials() {
  GuiHarness gui;
  gui.StartIdle();
  TEmulateForm& emulator = *gui.emulateForm;
  // The one result class whose potentials differ between the modes and spread over both.
  for (const TDrawRange& r : {TDrawRange{12, false, 1701, 1999, -2000, 1999},
                              TDrawRange{12, true, 1201, 1999, -2000, 1999}}) {
    emulator.CurrentModeButton = r.yellow ? emulator.YModeButton : emulator.WModeButton;
    emulator.ResCB->setCurrentIndex(r.item);
    const auto shown = [&] {
      emulator.ResCBSelect();
      return TPotentials{static_cast<std::int16_t>(emulator.U1Edit->text().toInt()),
                         static_cast<std::int16_t>(emulator.U2Edit->text().toInt())};
    };
    QVERIFY2(DrawsFill(r, shown), qPrintable(QString::number(r.yellow)));
  }
}

void SetupEmulateTest::workResultReachesTheMainWindow() {
  Listening on;
  GuiHarness& gui = on.gui;
  TEmulateForm& emulator = *gui.emulateForm;
  emulator.YModeButton->click();
  emulator.ResCB->setCurrentIndex(3);
  emulator.WorkResultButton->click();
  QTRY_COMPARE(gui.mainForm->WorkResLabel->text(), QString("Золото 585 пробы (14kt, стандарт)"));
  QCOMPARE(gui.mainForm->LastResultIndex, 2);
  QCOMPARE(gui.mainForm->ModeLabel->text(), QString("Режим \"Ювелирный - желтый сплав\""));
  QVERIFY(gui.mainForm->PrintButton->isEnabled());

  // Potentials go out as their low sixteen bits.
  emulator.EModeButton->click();
  emulator.ResCB->setCurrentIndex(0);
  emulator.U1Edit->setText("70000");
  emulator.U2Edit->setText("abc");
  emulator.WorkResultButton->click();
  QTRY_COMPARE(gui.mainForm->U1ValueLabel->text(), QString("4464"));
  QCOMPARE(gui.mainForm->U2ValueLabel->text(), QString("0"));
  QCOMPARE(gui.mainForm->LastResultIndex, -1);
}

void SetupEmulateTest::shortcutShowsTheEmulatorBesideTheMainWindow() {
  GuiHarness gui;
  gui.StartIdle();
  QVERIFY(QTest::qWaitForWindowActive(gui.mainForm));
  QVERIFY(!gui.emulateForm->isVisible());
  QTest::keyClick(gui.mainForm, Qt::Key_E, Qt::ControlModifier | Qt::ShiftModifier);
  QVERIFY(gui.emulateForm->isVisible());
  QCOMPARE(gui.emulateForm->pos().y(), gui.mainForm->frameGeometry().top());
  QVERIFY(gui.emulateForm->pos().x() > gui.mainForm->frameGeometry().right());
}

KVZ_WINDOW_TEST_MAIN(SetupEmulateTest, false)

#include "SetupEmulateTest.moc"
