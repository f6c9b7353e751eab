#pragma once

#include <QDialog>
#include <QLabel>
#include <QPrinter>
#include <QStatusBar>
#include <QString>
#include <QToolBar>
#include <functional>

#include "report/ReportPage.h"
#include "ui_ReportPreview.h"

class TReportPageView;

// The protocol's print preview, run with exec(): the page as it will be printed, white paper on
// grey, with a tool bar to zoom, turn pages, set up the printer, print, save as PDF or as a
// protocol file, and open a saved protocol in place of the shown one (which changes the page the
// caller passed in). Errors are shown in message boxes and the window stays open. The status bar
// reads "Страница 1 из 1" and "Масштаб 100 %".
//
// Each command the tool bar runs is a public method; those that would ask something (a file, a
// printer) have a twin that takes the answer, so tests drive the window without modal dialogs.
class TReportPreview : public QDialog, public Ui::TReportPreview {
  Q_OBJECT

 public:
  // How a failure to save, open or print is put before the operator: the engine has no message
  // box of its own, so the program hands in its error box, and its warning box for what is no
  // failure but the operator must know (a paused printer); without one, the error box shows that.
  using TShowError = std::function<void(QWidget* parent, const QString& text)>;

  TReportPreview(TReportPage& page, QWidget* parent, TShowError showError,
                 TShowError showWarning = nullptr);
  ~TReportPreview() override;

  // Designer gives a tool bar and a status bar to a main window only: the constructor makes these,
  // under the names a form would give them.
  QToolBar* ToolBar;
  QStatusBar* StatusBar;
  QLabel* PageLabel;
  QLabel* ZoomLabel;

  // 100 % shows the paper at its physical size (as far as the screen reports its DPI); clamped
  // to 10..400 %.
  void SetZoomPercent(int percent);
  // The whole page in the window; kept while the window is resized, until another zoom is chosen.
  void ZoomToFit();
  // The page's width across the window, kept likewise.
  void ZoomToWidth();
  int ZoomPercent() const { return zoomPercent_; }

  int PageCount() const { return pageCount_; }
  int CurrentPage() const { return currentPage_; }  // counted from 0
  void GoToPage(int index);                         // clamped to the pages there are

  // *.pdf (any case) is written as a PDF, any other name as a protocol file. False when it
  // failed; the error has then been shown.
  bool SaveTo(const QString& fileName);
  // Loads a protocol file into the page, then shows it and its title. False when it failed.
  bool LoadFrom(const QString& fileName);
  // Prints on printer as it is set up, but always on the page's own paper, portrait. A stopped or
  // paused printer is named before the job goes to its queue. False when it failed: no such
  // paper, or the print service refused the job.
  bool PrintTo(QPrinter& printer);
  // The printer the setup and print dialogs work on.
  QPrinter& Printer() { return printer_; }

  // The commands that ask first, as the tool bar runs them.
  void SetUpPrinter();
  void Print();
  void Save();
  void Load();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  enum class TZoomMode { Fixed, FitPage, FitWidth };

  void ApplyZoom();
  int FittingPercent(bool wholePage) const;
  void UpdateStatus();
  void ShowError(const QString& text);
  // With no printer on the system, says so and offers to save a PDF instead; true then.
  bool NoPrinter();

  TReportPage& page_;
  TShowError showError_;
  TShowError showWarning_;
  QPrinter printer_{QPrinter::HighResolution};
  TReportPageView* view_;
  TZoomMode zoomMode_ = TZoomMode::Fixed;
  int zoomPercent_ = 100;
  int pageCount_ = 1;  // the engine's reports are one page long
  int currentPage_ = 0;
};
