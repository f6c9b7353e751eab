#include "dialogs/SetupUn.h"

#include <QKeyEvent>
#include <exception>

#include "device/PortList.h"
#include "ui/ManualUn.h"
#include "ui/MsgBox.h"
#include "ui/Pictures.h"
#include "ui/Widgets.h"

namespace {

struct TChoice {
  const char* text;
  std::uint32_t code;
};

const TChoice kSpeeds[] = {
    {"110", 110},       {"300", 300},       {"600", 600},       {"1200", 1200},
    {"2400", 2400},     {"4800", 4800},     {"9600", 9600},     {"14400", 14400},
    {"19200", 19200},   {"38400", 38400},   {"56000", 56000},   {"57600", 57600},
    {"115200", 115200}, {"230400", 230400}, {"460800", 460800}, {"921600", 921600}};
const TChoice kByteSizes[] = {{"5", 5}, {"6", 6}, {"7", 7}, {"8", 8}};
const TChoice kParities[] = {{"нет", 0}, {"чет", 2}, {"нечет", 1}, {"маркер", 3}, {"пробел", 4}};
const TChoice kStopBits[] = {{"1", 0}, {"1,5", 1}, {"2", 2}};

template <std::size_t N>
void Fill(QComboBox* box, const TChoice (&choices)[N]) {
  for (const TChoice& c : choices) box->addItem(QString::fromUtf8(c.text), c.code);
}

void Select(QComboBox* box, std::uint32_t code) {
  box->setCurrentIndex(box->findData(code));
}

template <typename Field>
void Store(const QComboBox* box, Field& field) {
  if (box->currentIndex() >= 0) field = static_cast<Field>(box->currentData().toUInt());
}

}  // namespace

TSetupForm::TSetupForm(QWidget* owner, std::string portSource, std::function<void()> deleteHistory)
    : QDialog(owner), portSource_(std::move(portSource)), deleteHistory_(std::move(deleteHistory)) {
  FollowPixelSizes(this);
  setupUi(this);
  AddManualKey(this, ManualSection::kSettings);
  Image1->setPixmap(Picture("port", Image1->size(), devicePixelRatioF()));
  // Each item's text and the code it stands for stay together, here.
  Fill(COMSpeed, kSpeeds);
  Fill(COMByteSize, kByteSizes);
  Fill(COMParity, kParities);
  Fill(COMStopBits, kStopBits);

  connect(OkButton, &QPushButton::clicked, this, &TSetupForm::OkButtonClick);
  connect(CloseButton, &QPushButton::clicked, this, &TSetupForm::CloseButtonClick);
  connect(SetDefaultSettingsButton, &QPushButton::clicked, this,
          &TSetupForm::SetDefaultSettingsButtonClick);
}

bool TSetupForm::Execute(TMyComPortParams& params) {
  Params = params;
  FillPortNames();
  COMName->setCurrentIndex(
      COMName->findText(QString::fromStdString(Params.PortName), Qt::MatchFixedString));
  Select(COMSpeed, Params.BaudRate);
  Select(COMByteSize, Params.ByteSize);
  Select(COMParity, Params.Parity);
  Select(COMStopBits, Params.StopBits);
  if (exec() != QDialog::Accepted) return false;
  params = Params;
  return true;
}

void TSetupForm::FillPortNames() {
  TStringList names;
  if (!ReadSystemPortNames(names, portSource_)) return;
  COMName->clear();
  for (const std::string& name : names) COMName->addItem(QString::fromStdString(name));
}

TStringList TSetupForm::GetPortNames() {
  FillPortNames();
  TStringList names;
  for (int i = 0; i < COMName->count(); ++i) names.push_back(COMName->itemText(i).toStdString());
  return names;
}

void TSetupForm::OkButtonClick() {
  try {
    Params.PortName = COMName->currentIndex() >= 0 ? COMName->currentText().toStdString() : "";
    Store(COMSpeed, Params.BaudRate);
    Store(COMByteSize, Params.ByteSize);
    Store(COMParity, Params.Parity);
    Store(COMStopBits, Params.StopBits);
    accept();
  } catch (const std::exception&) {
    ShowMsg("Ошибка при записи данных", 1);
  }
}

void TSetupForm::CloseButtonClick() {
  reject();
}

void TSetupForm::SetDefaultSettingsButtonClick() {
  const MsgBox::TAnswer answer = MsgBox::Show(
      this,
      {"Настройки программы будут сброшены в состояние по умолчанию.\rПодтвердите операцию...",
       "Внимание", TMsgIcon::Warning, MsgBox::TButtons::YesNo, false});
  if (answer != MsgBox::TAnswer::Yes) return;
  deleteHistory_();
  COMName->setCurrentIndex(-1);
  OkButtonClick();
}

void TSetupForm::keyPressEvent(QKeyEvent* event) {
  // No button is the default: Enter on a list would store the port shown there, or none at all
  // when the stored port is not listed.
  if (EnterPressesButton(event, focusWidget()) == TEnter::NotEnter) QDialog::keyPressEvent(event);
}

void TSetupForm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  // The panel takes no Tab stop, so no list is focused as the dialog opens.
  Panel4->setFocus();
}
