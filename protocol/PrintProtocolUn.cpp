#include "protocol/PrintProtocolUn.h"

#include <QApplication>
#include <QKeyEvent>
#include <QValidator>
#include <QVariant>
#include <utility>

#include "base/Platform.h"
#include "base/TextFile.h"
#include "device/CommonProcUn.h"
#include "device/DirUn.h"
#include "device/Frames.h"
#include "device/Vocabulary.h"
#include "protocol/HistoryList.h"
#include "protocol/PrintFormUn.h"
#include "ui/ManualUn.h"
#include "ui/MsgBox.h"
#include "ui/Widgets.h"

namespace {

// The form gives each remembered field the length of its line as this dynamic property.
constexpr char kMaxLengthProperty[] = "maxLength";
// A line edit's own limit, left at its default so that it never cuts a paste short itself.
constexpr int kNoLimit = 32767;

// Leaves out what a history file cannot hold, whether typed or pasted: the field then always
// shows what will be remembered.
void KeepStorable(QString& input, int& pos) {
  if (THistoryList::Storable(input)) return;
  QString kept;
  int cursor = pos;
  for (qsizetype i = 0; i < input.size();) {
    const qsizetype length =
        input[i].isHighSurrogate() && i + 1 < input.size() && input[i + 1].isLowSurrogate() ? 2 : 1;
    const QString character = input.mid(i, length);
    if (THistoryList::Storable(character))
      kept += character;
    else if (i < pos)
      cursor -= static_cast<int>(length);
    i += length;
  }
  input = kept;
  pos = cursor;
}

// A field takes no more than its line of the page holds. A typed key or a paste that would run
// past it is refused whole, and the field stays as it was: a paste cut to the limit would print
// "...гражданина" for "...гражданина РФ" without anyone noticing.
class TFieldText : public QValidator {
 public:
  TFieldText(int maxLength, bool storableOnly, QObject* parent)
      : QValidator(parent), maxLength_(maxLength), storableOnly_(storableOnly) {}

  State validate(QString& input, int& pos) const override {
    if (storableOnly_) KeepStorable(input, pos);
    return input.size() > maxLength_ ? Invalid : Acceptable;
  }

 private:
  int maxLength_;
  bool storableOnly_;
};

// Limits a field to maxLength with a beep for what it refuses.
void LimitField(QLineEdit* edit, int maxLength, bool storableOnly) {
  edit->setMaxLength(kNoLimit);
  edit->setValidator(new TFieldText(maxLength, storableOnly, edit));
  QObject::connect(edit, &QLineEdit::inputRejected, edit, [] { QApplication::beep(); });
}

// The result as the main window showed it and when it arrived: in expert mode the potentials
// too. The date only when it was not today.
QString MeasurementLine(const TMeasurement& measurement) {
  QStringList parts;
  if (measurement.mode == kModeExpert)
    parts << QString("U1 = %1 мВ").arg(measurement.u1) << QString("U2 = %1 мВ").arg(measurement.u2);
  parts << measurement.result.trimmed();
  if (const QDateTime& at = measurement.measuredAt; at.isValid())
    parts << at.toString(at.date() == QDate::currentDate() ? "HH:mm" : "dd.MM.yyyy HH:mm");
  parts.removeAll(QString());
  return "Результат измерения: " + parts.join(", ");
}

QStringList Items(const QComboBox* box) {
  QStringList items;
  for (int i = 0; i < box->count(); ++i) items << box->itemText(i);
  return items;
}

}  // namespace

TPrintProtocolForm::TPrintProtocolForm(QWidget* owner, TPrintForm& printForm,
                                       std::function<void()> openRegister)
    : QDialog(owner), printForm_(printForm), openRegister_(std::move(openRegister)) {
  FollowPixelSizes(this);
  setupUi(this);
  AddManualKey(this, ManualSection::kProtocol);
  for (QComboBox* box : Remembered())
    LimitField(box->lineEdit(), box->property(kMaxLengthProperty).toInt(), true);
  for (QLineEdit* edit : {ClientFIO, DocNo}) LimitField(edit, edit->maxLength(), false);
  // The result is there to be read, not filled in: it takes the dialog's ground, as a read-only
  // box does on Windows. It wraps: in expert mode, with the potentials, it is longer than a line.
  QPalette readOnly = ResultEdit->palette();
  readOnly.setColor(QPalette::Base, readOnly.color(QPalette::Window));
  ResultEdit->setPalette(readOnly);
  // Here rather than in the form: an item's position is the material index the verdict compares.
  for (int material = 0; material < MaterialCount(); ++material)
    ObjectTypeCB->addItem(QString::fromUtf8(MaterialName(material)));

  // The form makes no button the default: Enter in a field moves on, and Enter on a button presses
  // that button (see eventFilter), as on Windows.
  for (QPushButton* button : {OkButton, ClearButton, RegisterButton, CloseButton})
    button->installEventFilter(this);
  connect(OkButton, &QPushButton::clicked, this, &TPrintProtocolForm::OkButtonClick);
  connect(ClearButton, &QPushButton::clicked, this, &TPrintProtocolForm::ClearButtonClick);
  RegisterButton->setEnabled(static_cast<bool>(openRegister_));
  connect(RegisterButton, &QPushButton::clicked, this, &TPrintProtocolForm::RegisterButtonClick);
  connect(CloseButton, &QPushButton::clicked, this, &TPrintProtocolForm::CloseButtonClick);

  enterOrder_ = {PlaceCB, FIOCB, ObjectCB, ObjectTypeCB, ClientFIO, DocCB, DocNo};
  for (QWidget* field : enterOrder_) field->installEventFilter(this);
  for (QComboBox* box : Remembered()) box->lineEdit()->installEventFilter(this);

  LoadHistory();
  ClearButtonClick();
}

std::vector<QComboBox*> TPrintProtocolForm::Remembered() const {
  // Every editable combo box remembers its entries; nothing else does.
  std::vector<QComboBox*> boxes;
  for (QComboBox* box : findChildren<QComboBox*>()) {
    if (box->isEditable()) boxes.push_back(box);
  }
  return boxes;
}

std::string TPrintProtocolForm::HistoryFile(const QComboBox* field) const {
  return field->objectName().toStdString() + ".lst";
}

// A copy on purpose: a reference to the main window's last result would follow a result that
// arrives while the dialog is open.
// NOLINTNEXTLINE(performance-unnecessary-value-param)
void TPrintProtocolForm::Execute(TMeasurement measurement) {
  LoadHistory();
  ResultEdit->setPlainText(MeasurementLine(measurement));
  if (exec() != QDialog::Accepted) return;
  TProtocolEntry entry;
  entry.place = PlaceCB->currentText();
  entry.operatorName = FIOCB->currentText();
  entry.object = ObjectCB->currentText();
  entry.materialIndex = ObjectTypeCB->currentIndex();
  entry.material = ObjectTypeCB->currentText();
  entry.client = ClientFIO->text();
  entry.document = DocCB->currentText();
  entry.documentNo = DocNo->text();
  // The next item is most often another client's: a passport number must never reach another
  // person's protocol, so the form opens next as "Очистить форму" leaves it.
  ClearButtonClick();
  printForm_.FillAndPreview(measurement, entry);
}

void TPrintProtocolForm::LoadHistory() {
  for (QComboBox* box : Remembered()) {
    // A history that cannot be read is reported and left as it is; the dialog still works.
    try {
      THistoryList history;
      if (!history.Load(FileToRead(HistoryFile(box)))) continue;
      const QString typed = box->currentText();
      box->clear();
      box->addItems(history.Items());
      box->setEditText(typed);
    } catch (const TFileError& e) {
      MsgBox::ReportError(e.what());
    }
  }
}

void TPrintProtocolForm::SaveHistory() {
  for (QComboBox* box : Remembered()) {
    THistoryList history(Items(box));
    if (const int at = history.Add(box->currentText()); at >= 0) {
      box->insertItem(at, history.Items()[at]);
      box->setEditText(history.Items()[at]);
    }
    // A history that cannot be written is reported; the dialog closes all the same.
    try {
      history.Save(FileToWrite(HistoryFile(box)));
    } catch (const TFileError& e) {
      MsgBox::ReportError(e.what());
    }
  }
}

void TPrintProtocolForm::DeleteHistory() {
  // A history file that cannot be deleted is left as it is.
  for (QComboBox* box : Remembered()) RemoveWorkFile(HistoryFile(box));
}

void TPrintProtocolForm::ClearButtonClick() {
  for (QComboBox* box : {PlaceCB, FIOCB}) {
    if (box->count() == 1) box->setCurrentIndex(0);
  }
  ObjectCB->setEditText(QString());
  ClientFIO->clear();
  DocCB->setEditText(QString());
  DocNo->clear();
  ObjectTypeCB->setCurrentIndex(-1);
  ObjectCB->setFocus();
}

void TPrintProtocolForm::OkButtonClick() {
  for (QComboBox* box : {PlaceCB, FIOCB, ObjectCB, DocCB})
    box->setEditText(box->currentText().trimmed());
  for (QLineEdit* edit : {ClientFIO, DocNo}) edit->setText(edit->text().trimmed());

  const char* const kOperatorMissing = "Данные проводившего измерения должны быть заполнены";
  const char* const kClientMissing = "Данные сдатчика должны быть заполнены";
  const struct {
    QWidget* field;
    bool missing;
    const char* message;
  } checks[] = {
      {PlaceCB, PlaceCB->currentText().isEmpty(),
       "Место проведения измерений должно быть заполнено"},
      {FIOCB, FIOCB->currentText().isEmpty(), kOperatorMissing},
      {ObjectCB, ObjectCB->currentText().isEmpty(), "Изделие должно быть заполнено"},
      {ObjectTypeCB, ObjectTypeCB->currentIndex() < 0,
       "Материал изделия (проба) должен быть указан"},
      {ClientFIO, ClientFIO->text().isEmpty(), kClientMissing},
      {DocCB, DocCB->currentText().isEmpty(), kClientMissing},
      {DocNo, DocNo->text().isEmpty(), kClientMissing},
  };
  for (const auto& check : checks) {
    if (!check.missing) continue;
    ShowMsg(check.message, 1);
    check.field->setFocus();
    return;
  }
  accept();
}

void TPrintProtocolForm::RegisterButtonClick() {
  openRegister_();
}

void TPrintProtocolForm::CloseButtonClick() {
  reject();
}

void TPrintProtocolForm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  ObjectCB->setFocus();
}

void TPrintProtocolForm::done(int result) {
  SaveHistory();
  QDialog::done(result);
}

bool TPrintProtocolForm::eventFilter(QObject* watched, QEvent* event) {
  switch (EnterPressesButton(event, watched)) {
    case TEnter::NotEnter:
      return QDialog::eventFilter(watched, event);
    case TEnter::PressedButton:
      return true;
    case TEnter::Elsewhere:
      break;
  }
  // Enter moves on to the next field instead of confirming the dialog.
  for (std::size_t i = 0; i < enterOrder_.size(); ++i) {
    QWidget* field = enterOrder_[i];
    const auto* box = qobject_cast<QComboBox*>(field);
    if (watched != field && (box == nullptr || watched != box->lineEdit())) continue;
    QWidget* next = enterOrder_[(i + 1) % enterOrder_.size()];
    next->setFocus();
    if (auto* nextBox = qobject_cast<QComboBox*>(next); nextBox && nextBox->lineEdit())
      nextBox->lineEdit()->selectAll();
    else if (auto* edit = qobject_cast<QLineEdit*>(next))
      edit->selectAll();
    return true;
  }
  return QDialog::eventFilter(watched, event);
}
