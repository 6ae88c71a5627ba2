// One response head as libcurl hands its lines over, and the queries on it.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include <platform/Win32Types.h>

class ResponseHead {
 public:
  enum class Line { StatusLine, Header, End, Other };
  // A status line starts a new head (a redirect's or an interim one is
  // replaced); the empty line ends it.
  Line Add(const char* data, size_t length);

  int status() const { return status_; }
  // The value of the first header of that name (case-insensitive), if any.
  bool Find(const char* name, std::string* value) const;

  // WinHttpQueryHeaders on this head: ERROR_SUCCESS or the error to set.
  DWORD Query(DWORD infoLevel, void* buffer, DWORD* bufferLength) const;

 private:
  int status_ = 0;
  std::vector<std::pair<std::string, std::string>> headers_;
};
