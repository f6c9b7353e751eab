#include <filesystem>

#include "tests/gui/FakePortList.h"
#include "tests/support/TempDir.h"

struct FakePortList::Store {
  TempDir sysfs;
};

FakePortList::FakePortList(const std::vector<std::string>& names)
    : store_(std::make_unique<Store>()), source_(store_->sysfs.Path()) {
  for (const std::string& name : names) Add(name);
}

void FakePortList::Add(const std::string& name) {
  std::filesystem::create_directories(store_->sysfs.File("class/tty/" + name + "/device"));
}

FakePortList::~FakePortList() = default;
