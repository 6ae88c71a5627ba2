// Owners of the libcurl handles the WinHTTP layer holds.
#pragma once

#include <curl/curl.h>

#include <memory>

template <typename T, void (*Free)(T*)>
struct CurlDeleter {
  void operator()(T* p) const { Free(p); }
};

inline void CleanupMulti(CURLM* multi) { curl_multi_cleanup(multi); }

using CurlPtr = std::unique_ptr<CURL, CurlDeleter<CURL, curl_easy_cleanup>>;
using CurlMultiPtr = std::unique_ptr<CURLM, CurlDeleter<CURLM, CleanupMulti>>;
using CurlSlistPtr = std::unique_ptr<curl_slist, CurlDeleter<curl_slist, curl_slist_free_all>>;
