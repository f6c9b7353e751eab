#pragma once

#include <QDialog>
#include <QString>

#include "ui_ManualUn.h"

// The operator's manual, compiled into the program: its contents on the left, its text on the
// right, a search box above. The text is the program's own page (resources ":/manual/"), never
// anything from outside, and its links lead only to its own sections.
class TManualForm : public QDialog, public Ui::TManualForm {
  Q_OBJECT

 public:
  explicit TManualForm(QWidget* owner);

  // Scrolls to the section whose heading carries the anchor name and marks it in the contents.
  void ShowSection(const QString& anchor);
  // The next place the search box's text stands, after the selection, then from the top again;
  // false, and "Не найдено", when it stands nowhere.
  bool FindNext();

 private:
  void FillContents();
  void SearchEditChanged();
  void ContentsListClick();
  void ShowFound();
};

// The anchor name of each window's section in the manual.
namespace ManualSection {
inline constexpr char kMain[] = "main";
inline constexpr char kSettings[] = "settings";
inline constexpr char kProtocol[] = "protocol";
inline constexpr char kPreview[] = "preview";
inline constexpr char kRegister[] = "register";
inline constexpr char kAbout[] = "about";
}  // namespace ManualSection

// Shows the one manual window at the section, above the window from: a modal window blocks every
// window but its own, so the manual belongs to whichever window asks for it last.
TManualForm* OpenManual(QWidget* from, const QString& section);
// F1 anywhere in window opens the manual at the section.
void AddManualKey(QWidget* window, const char* section);
