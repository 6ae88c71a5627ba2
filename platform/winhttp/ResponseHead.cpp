#include "ResponseHead.h"

#include <strings.h>

#include <charconv>
#include <cstring>

#include <platform/Strings.h>
#include <platform/WinHttp.h>

static std::string Trimmed(const char* begin, const char* end) {
  while (begin < end && (*begin == ' ' || *begin == '\t')) ++begin;
  while (end > begin && (end[-1] == ' ' || end[-1] == '\t' || end[-1] == '\r' || end[-1] == '\n')) --end;
  return std::string(begin, end);
}

ResponseHead::Line ResponseHead::Add(const char* data, size_t length) {
  const char* end = data + length;
  while (end > data && (end[-1] == '\r' || end[-1] == '\n')) --end;
  if (end == data) return Line::End;
  if (end - data >= 12 && std::strncmp(data, "HTTP/", 5) == 0) {
    const char* space = static_cast<const char*>(std::memchr(data, ' ', end - data));
    int status = 0;
    if (space && std::from_chars(space + 1, end, status).ec == std::errc()) {
      status_ = status;
      headers_.clear();
      return Line::StatusLine;
    }
  }
  const char* colon = static_cast<const char*>(std::memchr(data, ':', end - data));
  if (!colon) return Line::Other;
  headers_.emplace_back(Trimmed(data, colon), Trimmed(colon + 1, end));
  return Line::Header;
}

bool ResponseHead::Find(const char* name, std::string* value) const {
  for (const auto& header : headers_) {
    if (strcasecmp(header.first.c_str(), name) == 0) {
      *value = header.second;
      return true;
    }
  }
  return false;
}

DWORD ResponseHead::Query(DWORD infoLevel, void* buffer, DWORD* bufferLength) const {
  if (!bufferLength) return ERROR_INVALID_PARAMETER;
  const bool asNumber = (infoLevel & WINHTTP_QUERY_FLAG_NUMBER) != 0;
  std::string text;
  switch (infoLevel & ~WINHTTP_QUERY_FLAG_NUMBER) {
    case WINHTTP_QUERY_STATUS_CODE:
      text = std::to_string(status_);
      break;
    case WINHTTP_QUERY_CONTENT_LENGTH:
      if (!Find("Content-Length", &text)) return ERROR_WINHTTP_HEADER_NOT_FOUND;
      break;
    case WINHTTP_QUERY_CONTENT_RANGE:
      if (!Find("Content-Range", &text)) return ERROR_WINHTTP_HEADER_NOT_FOUND;
      break;
    default:
      return ERROR_WINHTTP_INVALID_QUERY_REQUEST;
  }
  if (asNumber) {
    if (*bufferLength < sizeof(DWORD) || !buffer) {
      *bufferLength = sizeof(DWORD);
      return ERROR_INSUFFICIENT_BUFFER;
    }
    // A value with trailing text reads as far as its digits go; none at all reads 0.
    DWORD number = 0;
    std::from_chars(text.data(), text.data() + text.size(), number);
    std::memcpy(buffer, &number, sizeof number);
    *bufferLength = sizeof(DWORD);
    return ERROR_SUCCESS;
  }
  const std::wstring wide = Utf8ToWide(text);
  const DWORD needed = static_cast<DWORD>((wide.size() + 1) * sizeof(wchar_t));
  if (*bufferLength < needed || !buffer) {
    *bufferLength = needed;
    return ERROR_INSUFFICIENT_BUFFER;
  }
  std::memcpy(buffer, wide.c_str(), needed);
  *bufferLength = needed - sizeof(wchar_t);
  return ERROR_SUCCESS;
}
