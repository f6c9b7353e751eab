#include "device/PortWatch.h"

#include <algorithm>

void TPortWatch::Remember(const TStringList& listed, const std::string& storedPort,
                          const std::string& storedIdentity) {
  known_ = std::set<std::string>(listed.begin(), listed.end());
  storedPort_ = storedPort;
  storedIdentity_ = storedIdentity;
}

TStringList TPortWatch::Poll(const TStringList& listed, const std::string& storedPort,
                             const std::string& storedIdentity) {
  TStringList candidates;
  const bool storedCameBack =
      storedPort == storedPort_ && !storedIdentity.empty() && storedIdentity != storedIdentity_;
  if (storedCameBack) candidates.push_back(storedPort);
  for (const std::string& name : listed) {
    if (known_.count(name) == 0 &&
        std::find(candidates.begin(), candidates.end(), name) == candidates.end())
      candidates.push_back(name);
  }
  // A port that leaves the list and comes back is new again.
  Remember(listed, storedPort, storedIdentity);
  return candidates;
}
