// Splitting a Windows command line into argv, as a Windows program's C
// runtime does it, so a command line built for the design reaches the child
// with the same arguments.
#pragma once

#include <string>
#include <vector>

// The first token is the program name: quotes group and are dropped, and
// backslashes are literal. In the arguments, 2n backslashes before a quote give
// n backslashes and the quote opens or closes a quoted part, 2n+1 give n and a
// literal quote, a doubled quote inside a quoted part is one literal quote, and
// space and tab separate arguments outside quotes. An empty text gives no
// arguments.
std::vector<std::wstring> SplitCommandLine(const std::wstring& commandLine);
