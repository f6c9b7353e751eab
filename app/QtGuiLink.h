#pragma once

#include "device/GuiLink.h"

// The device link's way into the Qt GUI: boxes through MessageBox, pending events through the
// application's event loop, and calls from the listening thread queued to the GUI thread.
class TQtGuiLink : public TGuiLink {
 public:
  void ShowMessage(const std::string& text, const std::string& caption, TMsgIcon icon,
                   bool topmost) override;
  void ProcessEvents() override;
  void RunOnGuiThread(const std::function<void()>& call) override;
  void ReportError(const std::string& text) override;
};
