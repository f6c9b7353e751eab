// Arbitrary settings files: the loader must read every one without crashing, and a record it
// saves must load back unchanged.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

#include "base/TextFile.h"
#include "device/CommonProcUn.h"

namespace {

class SilentGui : public TGuiLink {
 public:
  void ShowMessage(const std::string&, const std::string&, TMsgIcon, bool) override {}
  void ProcessEvents() override {}
  void RunOnGuiThread(const std::function<void()>& call) override { call(); }
  void ReportError(const std::string&) override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static SilentGui gui;
  InstallGuiLink(&gui);
  static const std::string file = "/tmp/kvz-fuzz-settings-" + std::to_string(getpid()) + ".ini";
  {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  TStringList list;
  TMyComPortParams params;
  if (!LoadPortParams(list, file, params)) std::abort();
  // Names with line breaks cannot survive a line-based file; everything else must.
  if (params.PortName.find_first_of("\r\n") != std::string::npos) return 0;
  SavePortParams(list, file, params, true);
  TMyComPortParams again;
  LoadPortParams(list, file, again);
  if (!(again == params) && params.PortName.find('?') == std::string::npos) std::abort();
  return 0;
}
