// A plain libcurl download of a URL, to compare the program's own against.
#pragma once

#include <curl/curl.h>

#include <string>

#include "bench_clock.h"

namespace bench {

// Milliseconds for the whole body; -1 when it failed.
inline double DownloadMs(const std::string& url) {
    CURL* curl = curl_easy_init();
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, +[](char*, size_t s, size_t n, void*) { return s * n; });
    curl_easy_setopt(curl, CURLOPT_PROXY, "");
    double start = Now();
    CURLcode rc = curl_easy_perform(curl);
    double ms = Now() - start;
    curl_easy_cleanup(curl);
    return rc == CURLE_OK ? ms : -1;
}

}  // namespace bench
