#pragma once

#include <functional>
#include <string>

// The device link never touches the windowing toolkit. The program installs one TGuiLink at
// start; tests install their own. Texts are UTF-8.

enum class TMsgIcon { None, Error, Information, Warning };

class TGuiLink {
 public:
  virtual ~TGuiLink() = default;
  // A modal box with one OK button, owned by the application.
  virtual void ShowMessage(const std::string& text, const std::string& caption, TMsgIcon icon,
                           bool topmost) = 0;
  // Lets the GUI repaint and handle input while a long call runs on the GUI thread.
  virtual void ProcessEvents() = 0;
  // Runs call on the GUI thread and returns when it has finished. Called from worker threads only.
  virtual void RunOnGuiThread(const std::function<void()>& call) = 0;
  // The application's general error handler; called on the GUI thread.
  virtual void ReportError(const std::string& text) = 0;
};

// A control that shows a line of text, in practice the main window's status line.
class TStageTarget {
 public:
  virtual ~TStageTarget() = default;
  virtual void SetText(const std::string& text) = 0;  // may throw
};

class TProgressBar {
 public:
  virtual ~TProgressBar() = default;
  virtual int Position() const = 0;
  virtual void SetPosition(int position) = 0;
  virtual int Maximum() const = 0;
  virtual void SetMaximum(int maximum) = 0;
  virtual void SetVisible(bool visible) = 0;
};

void InstallGuiLink(TGuiLink* link);
bool GuiLinkInstalled();
// The installed link; throws std::logic_error when none is installed.
TGuiLink& GuiLink();
