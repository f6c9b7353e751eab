#pragma once

#include <memory>
#include <string>
#include <vector>

// The system's port list as the test sets it, where ReadSystemPortNames reads it from: a sysfs
// tree on Linux, a registry key on Windows.
class FakePortList {
 public:
  explicit FakePortList(const std::vector<std::string>& names);
  ~FakePortList();
  FakePortList(const FakePortList&) = delete;
  FakePortList& operator=(const FakePortList&) = delete;

  void Add(const std::string& name);
  // As the settings dialog takes it.
  const std::string& Source() const { return source_; }

 private:
  struct Store;
  std::unique_ptr<Store> store_;
  std::string source_;
};
