// The one table from libcurl's results to WinHTTP errors.
#pragma once

#include <curl/curl.h>

#include <platform/Win32Types.h>

DWORD WinHttpErrorFromCurl(CURLcode code);
