#include "ui/ManualUn.h"

#include <QGuiApplication>
#include <QKeySequence>
#include <QListWidgetItem>
#include <QPointer>
#include <QScreen>
#include <QScrollBar>
#include <QShortcut>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QUrl>

#include "ui/Widgets.h"

namespace {

const QUrl kManualPage("qrc:/manual/manual.html");
constexpr int kAnchorRole = Qt::UserRole;
constexpr int kPositionRole = Qt::UserRole + 1;

// The anchor a heading carries: the page gives each section's heading a name to be found by.
QString HeadingAnchor(const QTextBlock& block) {
  for (auto it = block.begin(); !it.atEnd(); ++it) {
    const QStringList names = it.fragment().charFormat().anchorNames();
    if (!names.isEmpty()) return names.front();
  }
  return {};
}

}  // namespace

TManualForm::TManualForm(QWidget* owner) : QDialog(owner) {
  FollowPixelSizes(this);
  setupUi(this);
  setWindowFlag(Qt::WindowMaximizeButtonHint);
  // At 125 % and more the form's size outgrows a laptop's screen; its title bar must stay on it.
  if (const QScreen* screen = owner ? owner->screen() : QGuiApplication::primaryScreen())
    resize(size().boundedTo(screen->availableGeometry().size() * 9 / 10));
  // The text as wide as the windows in its pictures.
  Splitter->setSizes({250, 800});
  Splitter->setStretchFactor(1, 1);
  ManualText->setSource(kManualPage, QTextDocument::HtmlResource);
  FillContents();
  connect(ContentsList, &QListWidget::itemActivated, this, &TManualForm::ContentsListClick);
  connect(ContentsList, &QListWidget::itemClicked, this, &TManualForm::ContentsListClick);
  connect(SearchEdit, &QLineEdit::textChanged, this, &TManualForm::SearchEditChanged);
  connect(SearchEdit, &QLineEdit::returnPressed, this, &TManualForm::FindNext);
  connect(FindButton, &QPushButton::clicked, this, &TManualForm::FindNext);
  // The page's links name its own sections; nothing else is ever loaded into it.
  connect(ManualText, &QTextBrowser::anchorClicked, this, [this](const QUrl& link) {
    if (link.hasFragment()) ShowSection(link.fragment());
  });
}

void TManualForm::FillContents() {
  for (QTextBlock block = ManualText->document()->begin(); block.isValid(); block = block.next()) {
    const int level = block.blockFormat().headingLevel();
    const QString anchor = HeadingAnchor(block);
    if (level < 2 || level > 3 || anchor.isEmpty()) continue;
    auto* item = new QListWidgetItem(QString(level == 3 ? "    " : "") + block.text().trimmed(),
                                     ContentsList);
    item->setData(kAnchorRole, anchor);
    item->setData(kPositionRole, block.position());
  }
}

void TManualForm::ShowSection(const QString& anchor) {
  ManualText->scrollToAnchor(anchor);
  for (int row = 0; row < ContentsList->count(); ++row) {
    if (ContentsList->item(row)->data(kAnchorRole).toString() == anchor)
      ContentsList->setCurrentRow(row);
  }
}

void TManualForm::ContentsListClick() {
  if (const QListWidgetItem* item = ContentsList->currentItem())
    ShowSection(item->data(kAnchorRole).toString());
}

void TManualForm::SearchEditChanged() {
  // As the word grows, the place found first stays found: the search starts where it stands.
  QTextCursor cursor = ManualText->textCursor();
  cursor.setPosition(cursor.selectionStart());
  ManualText->setTextCursor(cursor);
  FindNext();
}

bool TManualForm::FindNext() {
  const QString text = SearchEdit->text();
  bool found = !text.isEmpty() && ManualText->find(text);
  if (!text.isEmpty() && !found) {
    ManualText->moveCursor(QTextCursor::Start);
    found = ManualText->find(text);
  }
  FoundLabel->setText(found || text.isEmpty() ? QString() : QString("Не найдено"));
  if (found) ShowFound();
  return found;
}

void TManualForm::ShowFound() {
  // The place found stands a third down the page, below its own lines rather than at the edge,
  // and the contents mark the section it is in.
  QScrollBar* scroll = ManualText->verticalScrollBar();
  scroll->setValue(scroll->value() + ManualText->cursorRect().top() -
                   ManualText->viewport()->height() / 3);
  const int position = ManualText->textCursor().position();
  for (int row = 0; row < ContentsList->count(); ++row) {
    if (ContentsList->item(row)->data(kPositionRole).toInt() <= position)
      ContentsList->setCurrentRow(row);
  }
}

TManualForm* OpenManual(QWidget* from, const QString& section) {
  static QPointer<TManualForm> manual;
  QWidget* owner = from->window();
  if (manual == nullptr) {
    manual = new TManualForm(owner);
  } else if (manual->parentWidget() != owner) {
    // A window above a modal one must belong to it to take clicks and keys.
    const QRect place = manual->geometry();
    const bool shown = manual->isVisible();
    manual->setParent(owner, manual->windowFlags());
    if (shown) manual->setGeometry(place);
  }
  manual->ShowSection(section);
  manual->show();
  manual->raise();
  manual->activateWindow();
  return manual;
}

void AddManualKey(QWidget* window, const char* section) {
  auto* key = new QShortcut(QKeySequence(Qt::Key_F1), window);
  QObject::connect(key, &QShortcut::activated, window,
                   [window, section] { OpenManual(window, section); });
}
