#include "device/PortWatch.h"

#include <algorithm>

void TPortWatch::Remember(const TStringList& listed, const TStored& stored) {
  known_ = std::set<std::string>(listed.begin(), listed.end());
  stored_ = stored;
}

TStringList TPortWatch::Poll(const TStringList& listed, const TStored& stored) {
  TStringList candidates;
  // A device namespace name can stay the same over a replug (a Windows COM name): that the port
  // opens again after it would not tells the return as well.
  const bool storedCameBack = stored.port == stored_.port &&
                              ((!stored.identity.empty() && stored.identity != stored_.identity) ||
                               (stored.opens && !stored_.opens));
  if (storedCameBack) candidates.push_back(stored.port);
  for (const std::string& name : listed) {
    if (known_.count(name) == 0 &&
        std::find(candidates.begin(), candidates.end(), name) == candidates.end())
      candidates.push_back(name);
  }
  // A port that leaves the list and comes back is new again.
  Remember(listed, stored);
  return candidates;
}
