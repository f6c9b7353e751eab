#include <stdexcept>

#include "tests/gui/FakePortList.h"
#include "tests/support/TestRegistryKeyWin32.h"

struct FakePortList::Store {
  TestRegistryKey key;
  int added = 0;
};

FakePortList::FakePortList(const std::vector<std::string>& names)
    : store_(std::make_unique<Store>()), source_(store_->key.Source()) {
  if (!store_->key.Created()) throw std::runtime_error("cannot create " + source_);
  for (const std::string& name : names) Add(name);
}

void FakePortList::Add(const std::string& name) {
  // The value names stand for the drivers' device names; only the data is the port's name.
  store_->key.SetString(L"\\Device\\TestSerial" + std::to_wstring(store_->added++),
                        std::wstring(name.begin(), name.end()));
}

FakePortList::~FakePortList() = default;
