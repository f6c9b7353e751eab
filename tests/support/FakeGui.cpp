#include "tests/support/FakeGui.h"

#include <thread>

FakeGui::FakeGui() {
  InstallGuiLink(this);
}

FakeGui::~FakeGui() {
  InstallGuiLink(nullptr);
}

void FakeGui::ShowMessage(const std::string& text, const std::string& caption, TMsgIcon icon,
                          bool topmost) {
  messages.push_back({text, caption, icon, topmost});
}

void FakeGui::ProcessEvents() {
  ++processEventsCalls;
  std::unique_lock lock(mutex_);
  while (!queue_.empty()) {
    Call* call = queue_.front();
    queue_.pop_front();
    lock.unlock();
    (*call->call)();
    lock.lock();
    call->done = true;
    changed_.notify_all();
  }
}

void FakeGui::RunOnGuiThread(const std::function<void()>& call) {
  Call entry{&call};
  std::unique_lock lock(mutex_);
  queue_.push_back(&entry);
  changed_.notify_all();
  changed_.wait(lock, [&] { return entry.done; });
}

void FakeGui::ReportError(const std::string& text) {
  errors.push_back(text);
}

bool FakeGui::PumpUntil(const std::function<bool()>& pred, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    ProcessEvents();
    if (pred()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, std::chrono::milliseconds(1), [this] { return !queue_.empty(); });
  }
}
