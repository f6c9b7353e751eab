#include "device/CommonProcUn.h"

#include <charconv>
#include <exception>
#include <optional>
#include <string_view>

#include "base/TextFile.h"
#include "device/TextCase.h"

namespace {

// The value of the first line "key=value" whose key matches without regard to letter case.
std::optional<std::string> ValueOf(const TStringList& list, std::string_view key) {
  for (const std::string& line : list) {
    const std::size_t eq = line.find('=');
    if (eq != std::string::npos && EqualIgnoringCase(std::string_view(line).substr(0, eq), key))
      return line.substr(eq + 1);
  }
  return std::nullopt;
}

// A decimal integer in the range of a signed or an unsigned 32-bit number, as its low 32 bits.
std::uint32_t NumberOf(const TStringList& list, std::string_view key, std::uint32_t fallback) {
  const std::optional<std::string> value = ValueOf(list, key);
  if (!value || value->empty()) return fallback;
  std::string_view text = *value;
  // from_chars takes a minus but no plus; one sign at most.
  if (text.front() == '+') {
    text.remove_prefix(1);
    if (text.empty() || text.front() == '-') return fallback;
  }
  long long number = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), number);
  if (ec != std::errc() || end != text.data() + text.size()) return fallback;
  if (number < -2147483648LL || number > 4294967295LL) return fallback;
  return static_cast<std::uint32_t>(number);
}

}  // namespace

bool LoadPortParams(TStringList& list, const std::string& fileName, TMyComPortParams& params) {
  if (!FileExists(fileName)) {
    params = {"COM1", 115200, 8, 0, 0};
    return false;
  }
  // Five short lines; a file this long is garbage, so every key takes its fallback, and the rest
  // of it is never read into memory.
  constexpr std::size_t kMaxSettingsBytes = 64 * 1024;
  list = ReadShortTextLines(fileName, kMaxSettingsBytes).value_or(TStringList());
  params.PortName = ValueOf(list, "COMName").value_or("");
  params.BaudRate = NumberOf(list, "COMSpeed", 115200);
  params.ByteSize = static_cast<std::uint8_t>(NumberOf(list, "COMByteSize", 8));
  params.Parity = static_cast<std::uint8_t>(NumberOf(list, "COMParity", 0));
  params.StopBits = static_cast<std::uint8_t>(NumberOf(list, "COMStopBits", 0));
  return true;
}

void SavePortParams(TStringList& list, const std::string& fileName, const TMyComPortParams& params,
                    bool clearFirst) {
  if (clearFirst) list.clear();
  list.push_back("COMName=" + params.PortName);
  list.push_back("COMSpeed=" + std::to_string(params.BaudRate));
  list.push_back("COMByteSize=" + std::to_string(params.ByteSize));
  list.push_back("COMParity=" + std::to_string(params.Parity));
  list.push_back("COMStopBits=" + std::to_string(params.StopBits));
  try {
    WriteTextLines(fileName, list);
  } catch (const TFileError&) {
    ShowMsg("Ошибка при записи настроек", 1);
  }
}

void ShowMsg(const std::string& text, int kind) {
  switch (kind) {
    case 1:
      GuiLink().ShowMessage(text, " Ошибка", TMsgIcon::Error, true);
      break;
    case 2:
      GuiLink().ShowMessage(text, " Информация", TMsgIcon::Information, true);
      break;
    case 3:
      GuiLink().ShowMessage(text, " Предупреждение", TMsgIcon::Warning, true);
      break;
    default:
      GuiLink().ShowMessage(text, " Сообщение", TMsgIcon::None, false);
  }
}

bool ShowStage(const std::string& text, TStageTarget* target) {
  bool ok = true;
  if (target != nullptr) {
    try {
      target->SetText("        " + text);
    } catch (const std::exception&) {
      ok = false;
    }
  }
  GuiLink().ProcessEvents();
  return ok;
}

bool OpenComPort(const TMyComPortParams& params, TPortHandle& handle, TProgressBar* progress,
                 const TLinkEnv& env, TOpenError* error) {
  if (handle && !CloseComPort(handle)) return false;
  constexpr int kAttempts = 5;
  constexpr int kPauseSlices = 20;
  constexpr std::chrono::milliseconds kPauseSlice(1000 / kPauseSlices);
  if (progress != nullptr) {
    progress->SetPosition(0);
    progress->SetMaximum(kAttempts);
  }
  TPortHandle line;
  for (int attempt = 0; attempt < kAttempts && !line; ++attempt) {
    line = env.Open(params.PortName, error);
    if (!line) {
      // The second between attempts passes on the GUI thread, in slices with pending events
      // handled before each; the program's clock runs the event loop through the slices too, so
      // the window paints and answers at once (on Windows one that handles nothing for five
      // seconds is greyed out as not responding), and the progress bar steps per attempt.
      for (int slice = 0; slice < kPauseSlices; ++slice) {
        GuiLink().ProcessEvents();
        env.Clock->Sleep(kPauseSlice);
      }
      if (progress != nullptr) progress->SetPosition(progress->Position() + 1);
    }
  }
  if (progress != nullptr) progress->SetPosition(progress->Maximum());
  if (!line) return false;
  handle = std::move(line);
  return handle->Configure(params);
}

bool CloseComPort(TPortHandle& handle) {
  if (!handle) return true;
  bool ok = false;
  try {
    ok = handle->Close();
  } catch (const std::exception&) {
    ok = false;
  }
  handle.reset();
  return ok;
}
