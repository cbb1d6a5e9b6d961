// Benchmark of the backup's throughput: a store of N pictures of M bytes
// (1,000 of 8 MB unless told: backup_bench [N] [MB]) copied by Wemlox.exe to
// its backup folder, from the program's start until the last copy is there,
// against a plain copy of the same files on the same disk.
// The plain copy is CopyFileW with each copy flushed to the disk, as the
// backup's copies are before they count (the figure without the flush is
// printed too).
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/fs.h"
#include "bench_clock.h"
#include "driver.h"

namespace {

std::wstring Name(int i) { return L"P" + std::to_wstring(1000000 + i) + L".JPG"; }

bool Flush(const std::wstring& file) {
    win::KernelHandle f(CreateFileW(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    return f.get() != INVALID_HANDLE_VALUE && FlushFileBuffers(f.get());
}

// Copies every picture; ms, or -1 when a copy failed.
double PlainCopy(const std::wstring& from, const std::wstring& to, int n, bool flush) {
    driver::MakeDirs(to);
    const double start = bench::Now();
    for (int i = 0; i < n; i++)
        if (!CopyFileW((from + L"\\" + Name(i)).c_str(), (to + L"\\" + Name(i)).c_str(), FALSE) ||
            (flush && !Flush(to + L"\\" + Name(i))))
            return -1;
    const double ms = bench::Now() - start;
    for (int i = 0; i < n; i++) DeleteFileW((to + L"\\" + Name(i)).c_str());
    return ms;
}

// Wemlox.exe started with a backup folder: ms until every picture is there
// at its size (a copy is renamed to its name only once verified), or -1.
double WemloxBackup(const driver::Sandbox& box, const std::wstring& backup, int n, size_t bytes) {
    box.WriteSettings({{L"TFA.Active", L"No"}, {L"Copy.BackupPath", backup}});
    const double start = bench::Now();
    driver::Started wemlox = driver::Start(box, driver::WemloxExe());
    HWND bar = driver::WaitForBar(wemlox);
    const bool done = bar && driver::WaitFor([&] {
        for (int i = n - 1; i >= 0; i--)
            if (fs::FileSize(backup + L"\\LoRes\\" + Name(i)) != std::optional<uint64_t>(bytes)) return false;
        return true;
    }, 3600 * 1000);
    const double ms = bench::Now() - start;
    if (bar) driver::CloseBar(wemlox, bar);
    for (int i = 0; i < n; i++) DeleteFileW((backup + L"\\LoRes\\" + Name(i)).c_str());
    return done ? ms : -1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const int n = argc > 1 ? _wtoi(argv[1]) : 1000;
    const size_t bytes = static_cast<size_t>(argc > 2 ? _wtoi(argv[2]) : 8) << 20;
    driver::Sandbox box;
    const std::wstring store = box.profile + L"\\Wemlox\\LoRes", backup = box.root + L"\\Backup";
    driver::MakeDirs(store);
    std::string picture(bytes, '\0');
    for (int i = 0; i < n; i++) {
        for (size_t at = 0; at < bytes; at += 4096) picture[at] = static_cast<char>(i + at / 4096);
        if (!fs::WriteFile(store + L"\\" + Name(i), picture)) return std::printf("cannot write the store\n"), 1;
    }
    // Each in turn, twice: the disk's write-back of one run falls on the next alike.
    std::vector<double> plain, unflushed, wemlox;
    for (int round = 0; round < 2; round++) {
        plain.push_back(PlainCopy(store, box.root + L"\\Plain", n, true));
        unflushed.push_back(PlainCopy(store, box.root + L"\\Plain", n, false));
        wemlox.push_back(WemloxBackup(box, backup, n, bytes));
    }
    for (int i = 0; i < n; i++) DeleteFileW((store + L"\\" + Name(i)).c_str());
    for (auto* v : {&plain, &unflushed, &wemlox})
        if (*std::min_element(v->begin(), v->end()) < 0) return std::printf("the copies did not complete\n"), 1;
    const double mb = static_cast<double>(n) * static_cast<double>(bytes) / 1e6;
    auto line = [&](const char* what, const std::vector<double>& ms) {
        const double m = bench::Median(ms);
        std::printf("  %-22s median %8.0f ms  %7.1f MB/s  (runs %.0f, %.0f ms)\n", what, m, mb / m * 1000, ms[0], ms[1]);
        return m;
    };
    std::printf("backup of %d pictures of %zu MB (%.0f MB) to another folder of the same disk:\n", n, bytes >> 20, mb);
    const double reference = line("plain copy, flushed", plain);
    line("plain copy, not flushed", unflushed);
    const double ours = line("Wemlox backup", wemlox);
    std::printf("  Wemlox's backup runs at %.0f %% of the flushed plain copy\n", 100.0 * reference / ours);
    return 0;
}
