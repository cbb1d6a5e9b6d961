// Benchmark: cost of one journal line once the journal holds 10,000 lines,
// on the real rich-edit control. Prints the median and the 90th percentile.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "../win/shell_fixture.h"
#include "bench_clock.h"

int wmain() {
    if (!OpenTestBar()) return 1;
    for (int i = 0; i < 10000; i++) Shell().bar.ShowInfo(L"filling line " + std::to_wstring(i) + L" of the journal");
    std::vector<double> ms;
    for (int i = 0; i < 300; i++) {
        std::wstring text = L"measured line " + std::to_wstring(i);
        const double start = bench::Now();
        Shell().bar.ShowInfo(text);
        ms.push_back(bench::Now() - start);
    }
    std::printf("journal line at 10,000 lines: median %.3f ms, p90 %.3f ms (%zu samples)\n", bench::Median(ms),
                bench::Percentile(ms, 0.9), ms.size());
    return 0;
}
