// Benchmark of the backup's throughput: a store of N pictures of M MB
// (backup_bench [N] [MB]; 1,000 of 8 MB) copied by Wemlox.exe to its backup
// folder, from its start until the last copy has its name, against CopyFileW
// of the same files on the same disk, each copy flushed to the disk as the
// backup's are.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "base/fs.h"
#include "bench_clock.h"
#include "driver.h"

namespace {

constexpr double kFailed = -1e12;  // below any sum of times

std::wstring Name(int i) { return L"\\P" + std::to_wstring(1000000 + i) + L".JPG"; }

// Copies every picture and removes the copies again; ms, or kFailed.
double PlainCopy(const std::wstring& from, const std::wstring& to, int n) {
    driver::MakeDirs(to);
    const double start = bench::Now();
    for (int i = 0; i < n; i++) {
        win::Handle f(CopyFileW((from + Name(i)).c_str(), (to + Name(i)).c_str(), FALSE)
                          ? CreateFileW((to + Name(i)).c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr)
                          : INVALID_HANDLE_VALUE);
        if (!FlushFileBuffers(f.get())) return kFailed;
    }
    const double ms = bench::Now() - start;
    for (int i = 0; i < n; i++) DeleteFileW((to + Name(i)).c_str());
    return ms;
}

double WemloxBackup(const driver::Sandbox& box, const std::wstring& backup, int n) {
    box.WriteSettings({{L"TFA.Active", L"No"}, {L"Copy.BackupPath", backup}});
    const double start = bench::Now();
    driver::Started wemlox = driver::Start(box, driver::WemloxExe());
    HWND bar = driver::WaitForBar(wemlox);
    bool done = false;  // looked for seldom: the looking must not slow the backup down
    for (const double end = start + 3600e3; bar && !done && bench::Now() < end; Sleep(done ? 0 : 200))
        done = fs::ListFiles(backup + L"\\LoRes").size() == size_t(n);
    const double ms = bench::Now() - start;
    if (bar) driver::CloseBar(wemlox, bar);
    for (int i = 0; i < n; i++) DeleteFileW((backup + L"\\LoRes" + Name(i)).c_str());
    return done ? ms : kFailed;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const int n = argc > 1 ? _wtoi(argv[1]) : 1000;
    const size_t bytes = static_cast<size_t>(argc > 2 ? _wtoi(argv[2]) : 8) << 20;
    driver::Sandbox box;
    const std::wstring store = box.profile + L"\\Wemlox\\LoRes", backup = box.root + L"\\Backup";
    driver::MakeDirs(store);
    for (int i = 0; i < n; i++)
        if (!fs::WriteFile(store + Name(i), std::to_string(i) + std::string(bytes - std::to_string(i).size(), 'p')))
            return std::printf("cannot write the store\n"), 1;
    // Plain, Wemlox, Wemlox, plain: a drift in the disk's state falls on both alike.
    double plain = PlainCopy(store, box.root + L"\\Plain", n);
    double ours = WemloxBackup(box, backup, n);
    ours += WemloxBackup(box, backup, n);
    plain += PlainCopy(store, box.root + L"\\Plain", n);
    for (int i = 0; i < n; i++) DeleteFileW((store + Name(i)).c_str());
    if (plain < 0 || ours < 0) return std::printf("a copy did not complete\n"), 1;
    const double mb = static_cast<double>(n) * static_cast<double>(bytes) / 1e6;
    std::printf("backup of %d pictures of %zu MB on one disk: plain copy %.1f MB/s, Wemlox %.1f MB/s, %.0f %%\n", n,
                bytes >> 20, mb * 2000 / plain, mb * 2000 / ours, 100.0 * plain / ours);
    return 0;
}
