#include "tests/support/TestRegistryKeyWin32.h"

#include <atomic>
#include <stdexcept>

namespace {
std::atomic<int> keysMade{0};
}

TestRegistryKey::TestRegistryKey()
    : source_("SOFTWARE\\KVZ03-Test-" + std::to_string(GetCurrentProcessId()) + "-" +
              std::to_string(keysMade++)) {
  const std::wstring path(source_.begin(), source_.end());
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, REG_OPTION_VOLATILE,
                      KEY_READ | KEY_WRITE, nullptr, &key_, nullptr) != ERROR_SUCCESS)
    key_ = nullptr;
}

TestRegistryKey::~TestRegistryKey() {
  if (key_ == nullptr) return;
  RegCloseKey(key_);
  const std::wstring path(source_.begin(), source_.end());
  RegDeleteTreeW(HKEY_LOCAL_MACHINE, path.c_str());
}

void TestRegistryKey::SetString(const std::wstring& name, const std::wstring& value) const {
  const DWORD bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
  if (RegSetValueExW(key_, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                     bytes) != ERROR_SUCCESS)
    throw std::runtime_error("cannot write a test registry value");
}

void TestRegistryKey::SetNumber(const std::wstring& name, DWORD value) const {
  if (RegSetValueExW(key_, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                     sizeof(value)) != ERROR_SUCCESS)
    throw std::runtime_error("cannot write a test registry value");
}
