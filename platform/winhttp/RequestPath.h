// The object name of a request as it goes on the wire. WinHTTP, opened
// without WINHTTP_FLAG_ESCAPE_DISABLE, escapes what a URL path cannot carry;
// libcurl refuses such a path outright, so the escaping is ours.
#pragma once

#include <string>

// Percent-encodes (upper-case hex) every byte of the UTF-8 text that is not
// a path character: blanks and controls, '#', '?', '%' that starts no valid
// escape, the other unsafe ASCII signs and every byte of a non-ASCII letter.
// An escape already present ("%41") goes through as it is.
std::string EscapeRequestPath(const std::string& utf8);
