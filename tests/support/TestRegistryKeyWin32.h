#pragma once

#include <windows.h>

#include <string>

// A volatile key of the test's own (one per object) under HKEY_LOCAL_MACHINE\SOFTWARE, deleted with
// its values at the end, so the port list can be read from a key the test filled instead of the
// system's.
class TestRegistryKey {
 public:
  TestRegistryKey();
  ~TestRegistryKey();
  TestRegistryKey(const TestRegistryKey&) = delete;
  TestRegistryKey& operator=(const TestRegistryKey&) = delete;

  // False when the key could not be made (no right to write there): the test should skip.
  bool Created() const { return key_ != nullptr; }
  // The key's path below HKEY_LOCAL_MACHINE, as ReadSystemPortNames takes it.
  const std::string& Source() const { return source_; }
  void SetString(const std::wstring& name, const std::wstring& value) const;
  void SetNumber(const std::wstring& name, DWORD value) const;

 private:
  std::string source_;
  HKEY key_ = nullptr;
};
