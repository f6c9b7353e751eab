#include "app/MainUn.h"

#include <cstdlib>

#include <QApplication>
#include <QDialog>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QScopeGuard>
#include <QScopedValueRollback>
#include <QScreen>
#include <QShortcut>
#include <QTimer>
#include <QToolButton>

#include "app/Lamp.h"
#include "app/ModeDisplay.h"
#include "device/Frames.h"
#include "device/KVZDeviceUn.h"
#include "device/PortList.h"
#include "dialogs/AboutUn.h"
#include "dialogs/SetupUn.h"
#include "protocol/PrintProtocolUn.h"
#include "ui/ManualUn.h"
#include "ui/Pictures.h"
#include "ui/Version.h"
#include "ui/Widgets.h"

namespace {

const QColor kConnecting(255, 255, 0);
const QColor kConnected(0, 255, 0);
const QColor kFailed(255, 0, 0);
const QColor kCurrentResult(0, 0, 0);
const QColor kStaleResult(128, 128, 128);

// A value is set at its label's size from the form; one that would come closer to the next value
// than a clear gap is set smaller. Six characters ("-32768") need that in the form's narrow face,
// and four digits already in the plain face a PC without it puts in its place.
void SetValue(QLabel* label, const QString& text) {
  constexpr int kClear = 10;
  QFont font = label->font();
  font.setPixelSize(label->property(kPixelSizeProperty).toInt());
  while (font.pixelSize() > 1 &&
         QFontMetrics(font).horizontalAdvance(text) > label->width() - kClear)
    font.setPixelSize(font.pixelSize() - 1);
  label->setFont(font);
  label->setText(text);
}

}  // namespace

TMainForm::TMainForm(const TLinkEnv& env, const std::function<bool()>& setWorkDirs) {
  setWindowFlags(Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  FollowPixelSizes(this);
  setupUi(this);
  // The readings wait for a working mode to show them, the progress bar for a long task.
  for (QLabel* reading : {WorkResLabel, U1Label, DULabel1, DULabel2, U2Label, U1ValueLabel,
                          DUValueLabel, U2ValueLabel, WRSmallLabel})
    reading->hide();
  ProgressBar->hide();
  setWindowTitle(windowTitle() + kProgramVersion);
  AddManualKey(this, ManualSection::kMain);
  PaintWhite(this);

  Image1->setPixmap(Picture("instrument", Image1->size(), devicePixelRatioF()));
  const QSize picture = SetupButton->iconSize();
  SetupButton->setIcon(PictureIcon("settings", picture));
  ConnectButton->setIcon(PictureIcon("connect", picture));
  PrintButton->setIcon(PictureIcon("print", picture, "print-disabled"));
  InfoButton->setIcon(PictureIcon("info", picture));
  // Black in every state, the disabled print button's caption included.
  for (QToolButton* button : {SetupButton, ConnectButton, PrintButton, InfoButton}) {
    QPalette palette = button->palette();
    palette.setColor(QPalette::ButtonText, Qt::black);
    button->setPalette(palette);
  }
  // A plain widget draws its style sheet's fill and outline only when asked to.
  Shape1->setAttribute(Qt::WA_StyledBackground);
  // The delta stands in a label of its own over the blanks that open "   U, мВ", set right-aligned
  // to end just where U begins, so the two read as one word. A Unicode delta in the header font:
  // a symbol font would garble it.
  const QFontMetricsF metrics(DULabel2->font());
  const qreal uStart = (DULabel2->width() - metrics.horizontalAdvance(DULabel2->text())) / 2 +
                       metrics.horizontalAdvance("   ");
  DULabel1->setIndent(qRound(DULabel2->width() - uStart));

  StartTimer = new QTimer(this);
  StartTimer->setInterval(300);
  ShowMessTimer = new QTimer(this);
  ShowMessTimer->setInterval(500);
  connect(StartTimer, &QTimer::timeout, this, &TMainForm::StartTimerTimer);
  connect(ShowMessTimer, &QTimer::timeout, this, &TMainForm::ShowMessTimerTimer);
  WatchTimer = new QTimer(this);
  WatchTimer->setInterval(1000);
  connect(WatchTimer, &QTimer::timeout, this, &TMainForm::WatchTimerTimer);

  stage_ = std::make_unique<TLabelStage>(StagePanel);
  progress_ = std::make_unique<TQtProgressBar>(ProgressBar);

  connect(SetupButton, &QToolButton::clicked, this, &TMainForm::SetupButtonClick);
  connect(ConnectButton, &QToolButton::clicked, this, &TMainForm::ConnectButtonClick);
  connect(PrintButton, &QToolButton::clicked, this, &TMainForm::PrintButtonClick);
  connect(InfoButton, &QToolButton::clicked, this, &TMainForm::InfoButtonClick);

  setWorkDirs();
  CurrentMode = 0;
  device_ = std::make_unique<TKVZDevice>(env);
  device_->OnMode = [this](TKVZDevice& device) { ShowMode(device); };
  device_->OnWorkResult = [this](TKVZDevice& device) { WorkResultArrived(device); };
  device_->OnLost = [this](TKVZDevice&) { LinkLost(); };

  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
}

TMainForm::~TMainForm() {
  // The other windows, which the watch and the loss read from, go first: nothing reconnects now.
  WatchTimer->stop();
  closing_ = true;
  // The listening thread may be handing an event to this window: end it while the window is whole.
  device_.reset();
}

void TMainForm::SetForms(TSetupForm* setupForm, TPrintProtocolForm* printProtocolForm,
                         TAboutForm* aboutForm, QWidget* emulateForm, QDialog* registerForm) {
  setupForm_ = setupForm;
  printProtocolForm_ = printProtocolForm;
  aboutForm_ = aboutForm;
  // Armed only now: a box shown while the windows were being made runs a modal loop, and a
  // connect from there would meet a program without its device object or its dialogs.
  StartTimer->start();
  WatchTimer->start();
  auto* shortcut = new QShortcut(QKeySequence("Ctrl+Shift+E"), this);
  connect(shortcut, &QShortcut::activated, emulateForm, &QWidget::show);
  // As the button: only once a result is there to print.
  auto* printShortcut = new QShortcut(QKeySequence::Print, this);
  connect(printShortcut, &QShortcut::activated, this, [this] {
    if (PrintButton->isEnabled()) PrintButtonClick();
  });
  auto* registerShortcut = new QShortcut(QKeySequence("Ctrl+J"), this);
  connect(registerShortcut, &QShortcut::activated, registerForm, &QDialog::exec);
}

void TMainForm::StartTimerTimer() {
  StartTimer->stop();
  ConnectButtonClick();
}

void TMainForm::ConnectButtonClick() {
  const std::string message = ConnectSteps([this] { return SearchAllPorts(); });
  if (!message.empty()) ShowMsg(message, 1);
}

bool TMainForm::SearchAllPorts() {
  const TStringList names = setupForm_->GetPortNames();
  // What is there now is what the search tries; only what comes later is worth a quiet try.
  // The stored port counts as opening: the watch then tries it again only once it has been seen
  // gone, or made anew.
  const std::string stored = device_->PortParams.PortName;
  portWatch_.Remember(names, {stored, PortIdentity(stored), true});
  return device_->Connect(names, progress_.get(), stage_.get());
}

std::string TMainForm::ConnectSteps(const std::function<bool()>& search) {
  const QScopedValueRollback connecting(connecting_, true);
  watching_ = false;
  // The search lets events through (the status line, the pauses between open attempts); a second
  // connect or a settings change in the middle of one would pull the port from under it.
  const bool printEnabled = PrintButton->isEnabled();
  for (QToolButton* button : {SetupButton, ConnectButton, PrintButton, InfoButton})
    button->setEnabled(false);
  QApplication::setOverrideCursor(Qt::BusyCursor);
  // However the search ends, an error included, the window is handed back to the operator.
  const auto handBack = qScopeGuard([this, printEnabled] {
    QApplication::restoreOverrideCursor();
    ProgressBar->hide();
    if (ReadyShape->Color() == kConnecting) ReadyShape->SetColor(kFailed);
    for (QToolButton* button : {SetupButton, ConnectButton, InfoButton}) button->setEnabled(true);
    PrintButton->setEnabled(printEnabled || PrintButton->isEnabled());
  });

  ShowStage("Подключение к прибору...", stage_.get());
  ReadyShape->SetColor(kConnecting);
  std::string message;
  if (!device_->StopListening()) {
    ShowStage("Прибор не отвечает!", stage_.get());
    message =
        "Прибор не отвечает! Выполните следующие действия:\r1. Выключите прибор\r2. Отсоедините "
        "прибор от компьютера\r3. Включите прибор\r4. Подключите прибор к компьютеру\r5. "
        "Перезапустите программу";
  } else if (!search()) {
    ShowStage("Прибор не найден!", stage_.get());
    watching_ = true;
    message = "Прибор не найден! Подключите прибор к USB-порту.";
    if (device_->AccessDenied())
      message +=
          "\rНет доступа к последовательному порту: добавьте пользователя в группу dialout и "
          "войдите в систему заново.";
  } else if (!device_->RequestReady()) {
    ShowStage("Прибор не готов к работе!", stage_.get());
    message = "Прибор не готов к работе! Выполните подключение еще раз.";
  } else {
    ReadyShape->SetColor(kConnected);
    ShowStage("Связь с прибором установлена.", stage_.get());
    device_->StartListening();
  }
  return message;
}

void TMainForm::WatchTimerTimer() {
  // A connect under way lets this timer through its pauses, and a dialog may be editing the
  // port's settings: either would lose the port from under the other.
  if (!watching_ || connecting_ || QApplication::activeModalWidget() != nullptr) return;
  // A list that cannot be read is a system without serial ports.
  TStringList listed;
  ReadSystemPortNames(listed, setupForm_->PortSource());
  const std::string stored = device_->PortParams.PortName;
  for (const std::string& port :
       portWatch_.Poll(listed, {stored, PortIdentity(stored), device_->CanOpen(stored)})) {
    // No box: nobody asked for this connect. The status line says how it went.
    ConnectSteps([this, &port] { return device_->ConnectPort(port, stage_.get()); });
    if (!watching_) break;
  }
}

void TMainForm::LinkLost() {
  // A connect under way when the loss reaches this thread has the port already and finds out for
  // itself. Otherwise the loop has let go of the port, so StopListening returns at once.
  if (closing_ || connecting_ || !device_->PortLost.load() || !device_->StopListening()) return;
  // A vanished device may refuse its settings back; the handle is gone either way.
  device_->ClosePort();
  TStringList listed;
  ReadSystemPortNames(listed, setupForm_->PortSource());
  const std::string stored = device_->PortParams.PortName;
  portWatch_.Remember(listed, {stored, PortIdentity(stored), device_->CanOpen(stored)});
  watching_ = true;
  ReadyShape->SetColor(kFailed);
  if (resultShown_) MarkResultStale(true);
  ShowStage("Связь с прибором потеряна.", stage_.get());
}

void TMainForm::MarkResultStale(bool stale) {
  for (QLabel* label : {WorkResLabel, U1ValueLabel, DUValueLabel, U2ValueLabel}) {
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, stale ? kStaleResult : kCurrentResult);
    label->setPalette(palette);
  }
  if (!stale) return;
  WRSmallLabel->setText("Результат от " + lastMeasurement_.measuredAt.toString("HH:mm") +
                        ", связь потеряна");
  WRSmallLabel->show();
}

void TMainForm::SetupButtonClick() {
  setupForm_->Execute(device_->PortParams);
}

void TMainForm::PrintButtonClick() {
  printProtocolForm_->Execute(lastMeasurement_);
}

void TMainForm::InfoButtonClick() {
  aboutForm_->exec();
}

void TMainForm::ShowMode(TKVZDevice& device) {
  const char mode = device.Mode.load();
  const TModeDisplay display = ModeDisplay(mode);
  ModeLabel->setText(display.text);
  if (mode == kModePowerOff) CurrentMode = 0;
  if (display.transient && !ShowMessTimer->isActive()) ShowMessTimer->start();
  if (display.working) CurrentMode = mode;
  ShowResult(mode, true);
}

void TMainForm::ShowResult(char mode, bool clear, int u1, int u2, const QString& text) {
  const TResultArea area = ModeDisplay(mode).area;
  const bool expert = area == TResultArea::Potentials;
  const bool jewellery = area == TResultArea::Verdict;
  for (QLabel* label :
       {U1Label, DULabel1, DULabel2, U2Label, U1ValueLabel, DUValueLabel, U2ValueLabel})
    label->setVisible(expert);
  WorkResLabel->setVisible(jewellery);
  WRSmallLabel->hide();
  MarkResultStale(false);
  resultShown_ = !clear && (expert || jewellery);
  if (expert) {
    SetValue(U1ValueLabel, clear ? QString() : QString::number(u1));
    SetValue(U2ValueLabel, clear ? QString() : QString::number(u2));
    SetValue(DUValueLabel, clear ? QString() : QString::number(std::abs(u1 - u2)));
    if (!clear) WRSmallLabel->setText(text);
  } else if (jewellery) {
    WorkResLabel->setText(clear ? QString() : text);
  }
}

void TMainForm::WorkResultArrived(TKVZDevice& device) {
  const char code = device.ResultCode.load();
  const QString description = QString::fromStdString(device.ResultNames.Value(code));
  LastResultIndex = device.ResultNames.ResultIndex(code);
  lastMeasurement_ = TMeasurement{.resultIndex = LastResultIndex,
                                  .code = code,
                                  .result = description,
                                  .u1 = device.U1.load(),
                                  .u2 = device.U2.load(),
                                  .mode = device.Mode.load(),
                                  .measuredAt = QDateTime::currentDateTime()};
  ShowResult(lastMeasurement_.mode, false, lastMeasurement_.u1, lastMeasurement_.u2, description);
  PrintButton->setEnabled(true);
}

void TMainForm::ShowMessTimerTimer() {
  ShowMessTimer->stop();
  device_->Mode.store(CurrentMode);
  ShowMode(*device_);
}
