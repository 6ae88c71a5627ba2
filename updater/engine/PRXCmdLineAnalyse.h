// The updater's whole job description as one argument: a prefix ending in
// ':' and the Base64 of "key=value" lines (each ended by a line feed), the
// decoded text beginning with '-'.
#pragma once

#include "CmdParamDeal.h"

class PRXCmdLineAnalyse : public CmdParamDeal {
 public:
  // False (nothing stored in the map) for a missing ':', Base64 that does not
  // decode, or a decoded text that is empty or does not begin with '-'. The
  // prefix is kept from the first ':' on.
  bool Parse(const std::wstring& argument);
  // The prefix and the Base64 of the items in key order; the prefix alone
  // for an empty map.
  std::wstring ToCmdLine() const;

  const std::wstring& Prefix() const { return m_prefix; }

 private:
  std::wstring m_prefix;
};
