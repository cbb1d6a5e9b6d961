// What the Windows benchmarks share: a millisecond clock, the median, and a
// plain libcurl download of a URL to compare the program's against.
#pragma once

#include <windows.h>

#include <curl/curl.h>

#include <algorithm>
#include <string>
#include <vector>

namespace bench {

inline double Now() {
    LARGE_INTEGER f, t;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&t);
    return 1000.0 * static_cast<double>(t.QuadPart) / static_cast<double>(f.QuadPart);
}

inline double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

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
