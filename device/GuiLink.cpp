#include "device/GuiLink.h"

#include <atomic>
#include <stdexcept>

namespace {
std::atomic<TGuiLink*> g_link{nullptr};
}

void InstallGuiLink(TGuiLink* link) {
  g_link.store(link);
}

bool GuiLinkInstalled() {
  return g_link.load() != nullptr;
}

TGuiLink& GuiLink() {
  TGuiLink* link = g_link.load();
  if (link == nullptr) throw std::logic_error("no GUI link installed");
  return *link;
}
