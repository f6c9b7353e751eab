#pragma once

#include <set>
#include <string>

#include "device/CommonProcUn.h"

// What is watched for while no detector is connected: the stored port coming back (made anew, or
// opening again after it would not), or a port the system did not list at the last search. A port
// that was there and did not answer is never offered again while it stays: another device may sit
// on it (a receipt printer, a modem), and the detector that answered before comes back as a new
// port.
class TPortWatch {
 public:
  // The stored port as the watch sees it: its name, its PortIdentity, whether it opens.
  struct TStored {
    std::string port;
    std::string identity;
    bool opens = false;
  };

  // The system's list and the stored port as the search met them.
  void Remember(const TStringList& listed, const TStored& stored);
  // The ports worth a try now, the stored one first, each offered once per appearance. A stored
  // port the operator has renamed meanwhile waits for the operator's own connect.
  TStringList Poll(const TStringList& listed, const TStored& stored);

 private:
  std::set<std::string> known_;
  TStored stored_;
};
