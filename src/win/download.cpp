// Background download with libcurl.
#include "win/download.h"

#include "base/fs.h"

#include <windows.h>

#include <curl/curl.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "base/str.h"

namespace win {

namespace {

// A card at its pace delivers a picture in many small pieces. While they come
// slowly, the writes are spaced out so each takes what has piled up
// meanwhile: a download then costs a few dozen wake-ups a second instead of
// hundreds, and a fast transfer is never held back.
constexpr double kSlowBytesPerSecond = 8e6;
constexpr auto kPieceSpacing = std::chrono::milliseconds(40);

struct Sink {
    FILE* file = nullptr;
    std::chrono::steady_clock::time_point lastWrite;
    uint64_t written = 0;
    uint64_t limit = 0;  // 0: none
    bool tooLong = false;
    const std::atomic<bool>* abort = nullptr;
    std::atomic<uint64_t>* received = nullptr;  // what the poller sees of `written`
};

size_t WriteBody(char* data, size_t size, size_t count, void* user) {
    auto* sink = static_cast<Sink*>(user);
    size_t n = size * count;
    if (sink->limit && sink->written + n > sink->limit) {
        sink->tooLong = true;
        return 0;  // curl fails the transfer
    }
    if (fwrite(data, 1, n, sink->file) != n) return 0;  // disk full: curl fails the transfer
    sink->written += n;
    sink->received->store(sink->written, std::memory_order_relaxed);
    auto now = std::chrono::steady_clock::now();
    double seconds = std::chrono::duration<double>(now - sink->lastWrite).count();
    if (static_cast<double>(n) < kSlowBytesPerSecond * seconds) {
        std::this_thread::sleep_until(sink->lastWrite + kPieceSpacing);
        now = std::chrono::steady_clock::now();
    }
    sink->lastWrite = now;
    return n;
}

int Progress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return static_cast<Sink*>(user)->abort->load() ? 1 : 0;
}

}  // namespace

void InitDownloads() { curl_global_init(CURL_GLOBAL_WIN32); }
void ShutdownDownloads() { curl_global_cleanup(); }

BackgroundDownload::~BackgroundDownload() { Abort(); }

bool BackgroundDownload::Start(const std::string& url, const std::wstring& file, uint64_t expectedSize,
                               uint64_t limit, int stallSeconds) {
    Abort();
    abort_ = false;
    received_ = 0;
    error_.clear();
    ResetEvent(ended_.get());
    state_ = State::Running;
    try {
        worker_ = std::thread(&BackgroundDownload::Run, this, url, file, expectedSize, limit, stallSeconds);
    } catch (...) {
        state_ = State::Failed;
        SetEvent(ended_.get());
        return false;
    }
    return true;
}

void BackgroundDownload::Join() {
    if (worker_.joinable()) worker_.join();
}

void BackgroundDownload::Abort() {
    abort_ = true;
    Join();
}

void BackgroundDownload::Run(std::string url, std::wstring file, uint64_t expectedSize, uint64_t limit,
                             int stallSeconds) {
    Sink sink;
    sink.abort = &abort_;
    sink.received = &received_;
    sink.limit = limit;
    sink.file = _wfopen(fs::SystemPath(file).c_str(), L"wb");
    if (!sink.file) {
        error_ = "cannot create " + str::ToUtf8(file);
        state_ = State::Failed;
        SetEvent(ended_.get());
        return;
    }
    CURL* curl = curl_easy_init();
    CURLcode rc = CURLE_FAILED_INIT;
    if (curl) {
        curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
        curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http");
        curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, WriteBody);
        curl_easy_setopt(curl, CURLOPT_WRITEDATA, &sink);
        curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, Progress);
        curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &sink);
        curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
        curl_easy_setopt(curl, CURLOPT_FAILONERROR, 1L);  // an error page is never a picture
        curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, 10L);
        // A card that goes silent fails the download instead of hanging it.
        curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
        curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, static_cast<long>(stallSeconds > 0 ? stallSeconds : 15));
        curl_easy_setopt(curl, CURLOPT_PROXY, "");
        // An announced length beyond the limit is refused before any byte is written.
        if (limit) curl_easy_setopt(curl, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(limit));
        curl_easy_setopt(curl, CURLOPT_BUFFERSIZE, 256L * 1024L);  // pictures are megabytes: fewer, larger writes
        rc = curl_easy_perform(curl);
        curl_easy_cleanup(curl);
    }
    bool closed = fclose(sink.file) == 0;
    State end = State::Finished;
    if (abort_) {
        end = State::Aborted;
    } else if (sink.tooLong) {
        error_ = "longer than " + std::to_string(limit) + " bytes";
        end = State::Failed;
    } else if (rc != CURLE_OK || !closed) {
        error_ = closed ? curl_easy_strerror(rc) : "cannot write " + str::ToUtf8(file);
        end = State::Failed;
    } else if (expectedSize != 0 && sink.written != expectedSize) {
        error_ = "size " + std::to_string(sink.written) + " instead of " + std::to_string(expectedSize);
        end = State::Failed;
    }
    if (end != State::Finished) _wremove(file.c_str());  // never leave a partial file behind
    state_ = end;  // last, so a poller never sees the end before the file is settled
    SetEvent(ended_.get());
}

}  // namespace win
