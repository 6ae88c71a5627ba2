// Owners of the libcurl handles the WinHTTP layer holds.
#pragma once

#include <curl/curl.h>

#include <platform/Unique.h>

inline void CleanupMulti(CURLM* multi) { curl_multi_cleanup(multi); }

using CurlPtr = UniquePtr<CURL, curl_easy_cleanup>;
using CurlMultiPtr = UniquePtr<CURLM, CleanupMulti>;
using CurlSlistPtr = UniquePtr<curl_slist, curl_slist_free_all>;
