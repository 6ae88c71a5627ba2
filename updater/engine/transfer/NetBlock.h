// A range of a file still to be fetched, and who is fetching it.
#pragma once

#include <vector>

class CHttpUpDownConnection;

struct SNetBlock {
  int start = 0;  // first byte still missing
  int end = -1;   // one past the last byte; -1 while the size is unknown
  int key = 0;    // the start it was created with
  std::vector<CHttpUpDownConnection*> connections;

  int Length() const { return end < 0 ? -1 : end - start; }
};
