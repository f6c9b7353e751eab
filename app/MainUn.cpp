#include "app/MainUn.h"

#include <cstdlib>

#include <QApplication>
#include <QFontMetrics>
#include <QFrame>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QScopeGuard>
#include <QScreen>
#include <QShortcut>
#include <QTimer>
#include <QToolButton>

#include "app/Lamp.h"
#include "app/ModeDisplay.h"
#include "device/Frames.h"
#include "device/KVZDeviceUn.h"
#include "dialogs/AboutUn.h"
#include "dialogs/SetupUn.h"
#include "protocol/PrintProtocolUn.h"
#include "ui/Pictures.h"
#include "ui/Version.h"

namespace {

const QColor kConnecting(255, 255, 0);
const QColor kConnected(0, 255, 0);
const QColor kFailed(255, 0, 0);

QFont PixelFont(const char* family, int pixels, bool bold = false) {
  QFont font{QString::fromUtf8(family)};
  font.setPixelSize(pixels);
  font.setBold(bold);
  return font;
}

QLabel* Label(QWidget* parent, const QString& text, QRect place, const QFont& font,
              Qt::Alignment alignment = Qt::AlignCenter) {
  auto* label = new QLabel(text, parent);
  label->setTextFormat(Qt::PlainText);
  label->setGeometry(place);
  label->setFont(font);
  label->setAlignment(alignment);
  return label;
}

QToolButton* CommandButton(QWidget* parent, const QString& caption, int left, const QIcon& icon) {
  auto* button = new QToolButton(parent);
  button->setGeometry(left, 4, 167, 165);
  button->setText(caption);
  button->setIcon(icon);
  button->setIconSize({96, 96});
  button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
  button->setAutoRaise(true);
  button->setCursor(Qt::PointingHandCursor);
  button->setFont(PixelFont("Tahoma", 21));
  QPalette palette = button->palette();
  palette.setColor(QPalette::ButtonText, Qt::black);
  button->setPalette(palette);
  return button;
}

constexpr int kValuePixels = 43;

// Six characters ("-32768") at the value size are wider than a value label and would run into the
// next value: such a value is set smaller, keeping a few pixels clear on each side.
void SetValue(QLabel* label, const QString& text) {
  constexpr int kClear = 4;
  QFont font = label->font();
  font.setPixelSize(kValuePixels);
  while (font.pixelSize() > 1 &&
         QFontMetrics(font).horizontalAdvance(text) > label->width() - kClear)
    font.setPixelSize(font.pixelSize() - 1);
  label->setFont(font);
  label->setText(text);
}

}  // namespace

TMainForm::TMainForm(const TLinkEnv& env, const std::function<bool()>& setWorkDirs) {
  setWindowTitle(QString("KVz - 03. Электрохимический детектор металлов. Версия ") +
                 kProgramVersion);
  setWindowFlags(Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  setFixedSize(685, 463);
  setAutoFillBackground(true);
  QPalette white = palette();
  white.setColor(QPalette::Window, Qt::white);
  setPalette(white);
  setFont(PixelFont("MS Sans Serif", 11));

  CreateFrame();
  CreateMeasurementPanel();

  setWorkDirs();
  CurrentMode = 0;
  device_ = std::make_unique<TKVZDevice>(env);
  device_->OnMode = [this](TKVZDevice& device) { ShowMode(device); };
  device_->OnWorkResult = [this](TKVZDevice& device) { WorkResultArrived(device); };

  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
}

TMainForm::~TMainForm() {
  // The listening thread may be handing an event to this window: end it while the window is whole.
  device_.reset();
}

void TMainForm::SetForms(TSetupForm* setupForm, TPrintProtocolForm* printProtocolForm,
                         TAboutForm* aboutForm, QWidget* emulateForm) {
  setupForm_ = setupForm;
  printProtocolForm_ = printProtocolForm;
  aboutForm_ = aboutForm;
  // Armed only now: a box shown while the windows were being made runs a modal loop, and a
  // connect from there would meet a program without its device object or its dialogs.
  StartTimer->start();
  auto* shortcut = new QShortcut(QKeySequence("Ctrl+Shift+E"), this);
  connect(shortcut, &QShortcut::activated, emulateForm, &QWidget::show);
}

void TMainForm::CreateFrame() {
  Image1 = new QLabel(this);
  Image1->setGeometry(8, 8, 325, 250);
  Image1->setPixmap(Picture("instrument", {325, 250}, devicePixelRatioF()));
  Label1 = Label(this, "KVz - 03", {348, 4, 327, 89}, PixelFont("Tahoma", 64, true));
  GroupBox1 = new QGroupBox(this);
  GroupBox1->setGeometry(348, 100, 327, 157);

  constexpr int kStageHeight = 25;
  constexpr int kPanelHeight = 172;
  Panel1 = new QWidget(this);
  Panel1->setGeometry(0, height() - kStageHeight - kPanelHeight, width(), kPanelHeight);
  const QSize picture(96, 96);
  SetupButton = CommandButton(Panel1, "Настройки", 4, PictureIcon("settings", picture));
  ConnectButton = CommandButton(Panel1, "Подключить", 174, PictureIcon("connect", picture));
  PrintButton =
      CommandButton(Panel1, "Печать", 344, PictureIcon("print", picture, "print-disabled"));
  PrintButton->setEnabled(false);
  InfoButton = CommandButton(Panel1, "Информация", 514, PictureIcon("info", picture));

  StagePanel = Label(this, QString(), {0, height() - kStageHeight, width(), kStageHeight},
                     PixelFont("Tahoma", 11), Qt::AlignLeft | Qt::AlignVCenter);
  auto* separator = new QFrame(StagePanel);
  separator->setFrameShape(QFrame::HLine);
  separator->setFrameShadow(QFrame::Sunken);
  separator->setGeometry(0, 0, width(), 2);
  ReadyShape = new TLamp(StagePanel);
  ReadyShape->setGeometry(7, 7, 11, 11);
  ProgressBar = new QProgressBar(StagePanel);
  ProgressBar->setGeometry(width() - 175, 3, 175, kStageHeight - 5);
  ProgressBar->setTextVisible(false);
  ProgressBar->hide();

  StartTimer = new QTimer(this);
  StartTimer->setInterval(300);
  ShowMessTimer = new QTimer(this);
  ShowMessTimer->setInterval(500);
  connect(StartTimer, &QTimer::timeout, this, &TMainForm::StartTimerTimer);
  connect(ShowMessTimer, &QTimer::timeout, this, &TMainForm::ShowMessTimerTimer);

  stage_ = std::make_unique<TLabelStage>(StagePanel);
  progress_ = std::make_unique<TQtProgressBar>(ProgressBar);

  connect(SetupButton, &QToolButton::clicked, this, &TMainForm::SetupButtonClick);
  connect(ConnectButton, &QToolButton::clicked, this, &TMainForm::ConnectButtonClick);
  connect(PrintButton, &QToolButton::clicked, this, &TMainForm::PrintButtonClick);
  connect(InfoButton, &QToolButton::clicked, this, &TMainForm::InfoButtonClick);
}

void TMainForm::CreateMeasurementPanel() {
  Shape1 = new QWidget(GroupBox1);
  Shape1->setObjectName("Shape1");
  Shape1->setGeometry(3, 3, 321, 151);
  Shape1->setStyleSheet("#Shape1 { background: rgb(234, 255, 255); border: 1px solid silver; }");
  Shape1->setAttribute(Qt::WA_StyledBackground);

  const QFont header = PixelFont("Tahoma", 19, true);
  const QFont value = PixelFont("Arial Narrow", kValuePixels);
  ModeLabel = Label(GroupBox1, QString(), {8, 8, 311, 17}, PixelFont("Tahoma", 15));
  WorkResLabel = Label(GroupBox1, QString(), {12, 32, 303, 113}, PixelFont("Tahoma", 29, true));
  WorkResLabel->setWordWrap(true);
  U1Label = Label(GroupBox1, "U1, мВ", {12, 32, 101, 33}, header);
  // The delta stands in a label of its own over the blanks that open "   U, мВ", set right-aligned
  // to end just where U begins, so the two read as one word. A Unicode delta in the header font:
  // a symbol font would garble it.
  const QString unit = "   U, мВ";
  DULabel1 = Label(GroupBox1, "Δ", {113, 32, 101, 33}, header, Qt::AlignRight | Qt::AlignVCenter);
  DULabel2 = Label(GroupBox1, unit, {113, 32, 101, 33}, header);
  const QFontMetricsF metrics(header);
  const qreal uStart =
      (DULabel2->width() - metrics.horizontalAdvance(unit)) / 2 + metrics.horizontalAdvance("   ");
  DULabel1->setIndent(qRound(DULabel2->width() - uStart));
  U2Label = Label(GroupBox1, "U2, мВ", {214, 32, 101, 33}, header);
  U1ValueLabel = Label(GroupBox1, QString(), {12, 72, 101, 53}, value);
  DUValueLabel = Label(GroupBox1, QString(), {113, 72, 101, 53}, value);
  U2ValueLabel = Label(GroupBox1, QString(), {214, 72, 101, 53}, value);
  WRSmallLabel = Label(GroupBox1, QString(), {12, 128, 303, 17}, PixelFont("Tahoma", 15));
  for (QLabel* hidden : {WorkResLabel, U1Label, DULabel1, DULabel2, U2Label, U1ValueLabel,
                         DUValueLabel, U2ValueLabel, WRSmallLabel})
    hidden->hide();
}

void TMainForm::StartTimerTimer() {
  StartTimer->stop();
  ConnectButtonClick();
}

void TMainForm::ConnectButtonClick() {
  const std::string message = ConnectSteps();
  if (!message.empty()) ShowMsg(message, 1);
}

std::string TMainForm::ConnectSteps() {
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
  } else if (!device_->Connect(setupForm_->GetPortNames(), progress_.get(), stage_.get())) {
    ShowStage("Прибор не найден!", stage_.get());
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

void TMainForm::SetupButtonClick() {
  setupForm_->Execute(device_->PortParams);
}

void TMainForm::PrintButtonClick() {
  printProtocolForm_->Execute(LastResultIndex);
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
  ShowResult(device.Mode.load(), false, device.U1.load(), device.U2.load(), description);
  PrintButton->setEnabled(true);
}

void TMainForm::ShowMessTimerTimer() {
  ShowMessTimer->stop();
  device_->Mode.store(CurrentMode);
  ShowMode(*device_);
}
