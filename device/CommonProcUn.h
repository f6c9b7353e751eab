#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/Clock.h"
#include "device/GuiLink.h"
#include "device/SerialLine.h"

// How the serial port is to be opened. Parity and StopBits use the codes of the Windows serial
// control block: parity 0 none, 1 odd, 2 even, 3 mark, 4 space; stop bits 0 one, 1 one and a
// half, 2 two.
struct TMyComPortParams {
  std::string PortName;
  std::uint32_t BaudRate = 0;
  std::uint8_t ByteSize = 0;
  std::uint8_t Parity = 0;
  std::uint8_t StopBits = 0;

  bool operator==(const TMyComPortParams&) const = default;
};

using TStringList = std::vector<std::string>;

// Reads the settings file through list. False, with the first-run defaults, when the file does
// not exist. Throws TFileError when it exists but cannot be read.
bool LoadPortParams(TStringList& list, const std::string& fileName, TMyComPortParams& params);
// Appends the five settings lines to list (emptied first when clearFirst) and replaces the file
// with list. A failed write shows the settings error box.
void SavePortParams(TStringList& list, const std::string& fileName, const TMyComPortParams& params,
                    bool clearFirst);

// Message box of the given kind: 1 error, 2 information, 3 warning, any other a plain message.
void ShowMsg(const std::string& text, int kind);
// Puts eight blanks and text on target (when given), then lets pending GUI events run. False when
// the text could not be set.
bool ShowStage(const std::string& text, TStageTarget* target);

// What opening a port needs from the outside world; tests replace both.
struct TLinkEnv {
  TLineOpener Open = OpenSerialLine;
  TClock* Clock = &SteadyClock();
};

// Up to five attempts a second apart, stepping progress (0..5) after each failed one, then the
// line settings of params. On a failed configuration the handle stays open for the caller to close.
// error, when given, tells why the last attempt to open failed.
// Pending GUI events run during the pauses, so it is called on the GUI thread only.
bool OpenComPort(const TMyComPortParams& params, TPortHandle& handle, TProgressBar* progress,
                 const TLinkEnv& env = TLinkEnv(), TOpenError* error = nullptr);
// Closes handle; the handle is invalid afterwards whatever the result.
bool CloseComPort(TPortHandle& handle);
