#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/Win32Text.h"
#include "device/PortList.h"

namespace {

// The registry's own limit on value names, in characters.
constexpr std::size_t kMaxValueName = 16384;

// Closes the key however the reading ends.
class TKey {
 public:
  explicit TKey(HKEY key) : key_(key) {}
  ~TKey() { RegCloseKey(key_); }
  TKey(const TKey&) = delete;
  TKey& operator=(const TKey&) = delete;
  HKEY Get() const { return key_; }

 private:
  HKEY key_;
};

// The port name a value holds, without the terminating nulls the registry may or may not keep.
std::string PortNameOf(const std::vector<BYTE>& data, DWORD size) {
  std::wstring text(reinterpret_cast<const wchar_t*>(data.data()), size / sizeof(wchar_t));
  while (!text.empty() && text.back() == L'\0') text.pop_back();
  return WideToUtf8(text);
}

}  // namespace

std::string DefaultPortSource() {
  return "HARDWARE\\DEVICEMAP\\SERIALCOMM";
}

bool ReadSystemPortNames(TStringList& names, const std::string& source) {
  HKEY opened = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, Utf8ToWide(source).c_str(), 0, KEY_READ, &opened) !=
      ERROR_SUCCESS)
    return false;
  const TKey key(opened);

  DWORD nameCapacity = 0;
  DWORD dataCapacity = 0;
  if (RegQueryInfoKeyW(key.Get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                       &nameCapacity, &dataCapacity, nullptr, nullptr) != ERROR_SUCCESS)
    return false;
  // The value names are the drivers' device names; only the data, the port name, is wanted.
  std::vector<wchar_t> valueName(nameCapacity + 1);
  std::vector<BYTE> data(dataCapacity + sizeof(wchar_t));

  TStringList found;
  for (DWORD index = 0;;) {
    DWORD nameSize = static_cast<DWORD>(valueName.size());
    DWORD dataSize = static_cast<DWORD>(data.size());
    DWORD type = 0;
    const LSTATUS rc = RegEnumValueW(key.Get(), index, valueName.data(), &nameSize, nullptr, &type,
                                     data.data(), &dataSize);
    if (rc == ERROR_MORE_DATA && valueName.size() <= kMaxValueName) {
      // A driver added a longer value while we read; grow and ask for the same one again.
      valueName.resize(valueName.size() * 2);
      data.resize(std::max<std::size_t>(data.size() * 2, dataSize + sizeof(wchar_t)));
      continue;
    }
    if (rc != ERROR_SUCCESS) break;
    if (type == REG_SZ || type == REG_EXPAND_SZ) {
      std::string port = PortNameOf(data, dataSize);
      if (!port.empty()) found.push_back(std::move(port));
    }
    ++index;
  }
  SortPortNames(found);
  names = std::move(found);
  return true;
}

std::string PortIdentity(const std::string& portName) {
  // A COM name is a link in the device namespace while its device is there; a name given as a
  // path has none.
  if (portName.empty() || portName.find_first_of("\\/") != std::string::npos) return "";
  std::vector<wchar_t> target(1024);
  const DWORD n = QueryDosDeviceW(Utf8ToWide(portName).c_str(), target.data(),
                                  static_cast<DWORD>(target.size()));
  return n == 0 ? "" : WideToUtf8(std::wstring(target.data()));
}
