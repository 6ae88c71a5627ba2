// The updater's command-line argument: a prefix followed by the Base64 of the
// map's "key=value" lines.
#pragma once

#include "CmdParamDeal.h"

class PRXCmdLineAnalyse : public CmdParamDeal {
 public:
  // The prefix ends in ':' ("corvane:"): the updater splits the argument at
  // the first ':' it finds.
  QString prefix;

  // Entries that the updater could not read back as the same item (an empty
  // key, a key holding '=' or a line feed, a value holding a line feed) are
  // left out with a warning, so no value can smuggle in items of its own.
  QString ToCmdLine() const;
};
