#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "device/GuiLink.h"

// Stands in for the program's GUI: records every box and error, and runs calls from worker
// threads only when the test thread pumps, as a real event loop would.
class FakeGui : public TGuiLink {
 public:
  struct Message {
    std::string text;
    std::string caption;
    TMsgIcon icon;
    bool topmost;
  };

  FakeGui();
  ~FakeGui() override;

  void ShowMessage(const std::string& text, const std::string& caption, TMsgIcon icon,
                   bool topmost) override;
  void ProcessEvents() override;
  void RunOnGuiThread(const std::function<void()>& call) override;
  void ReportError(const std::string& text) override;

  // Pumps until pred holds or timeout passes; returns pred().
  bool PumpUntil(const std::function<bool()>& pred,
                 std::chrono::milliseconds timeout = std::chrono::seconds(5));

  std::vector<Message> messages;
  std::vector<std::string> errors;
  int processEventsCalls = 0;

 private:
  struct Call {
    const std::function<void()>* call;
    bool done = false;
  };
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Call*> queue_;
};

class FakeStage : public TStageTarget {
 public:
  void SetText(const std::string& text) override { texts.push_back(text); }
  std::vector<std::string> texts;
};

class FakeProgress : public TProgressBar {
 public:
  int Position() const override { return position; }
  void SetPosition(int p) override {
    position = p < 0 ? 0 : (p > maximum ? maximum : p);
    positions.push_back(position);
  }
  int Maximum() const override { return maximum; }
  void SetMaximum(int m) override { maximum = m; }
  void SetVisible(bool v) override { visible.push_back(v); }

  int position = 0;
  int maximum = 100;
  std::vector<int> positions;
  std::vector<bool> visible;
};
