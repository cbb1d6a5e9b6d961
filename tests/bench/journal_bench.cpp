// Benchmark: cost of one journal line once the journal holds 10,000 lines,
// on the real rich-edit control. Prints the median and the 90th percentile.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "../win/shell_fixture.h"
#include "app/operations.h"

int wmain() {
    if (!OpenTestBar()) return 1;
    for (int i = 0; i < 10000; i++) ShowInfo(L"filling line " + std::to_wstring(i) + L" of the journal");
    LARGE_INTEGER f, a, b;
    QueryPerformanceFrequency(&f);
    std::vector<double> ms;
    for (int i = 0; i < 300; i++) {
        std::wstring text = L"measured line " + std::to_wstring(i);
        QueryPerformanceCounter(&a);
        ShowInfo(text);
        QueryPerformanceCounter(&b);
        ms.push_back(1000.0 * static_cast<double>(b.QuadPart - a.QuadPart) / static_cast<double>(f.QuadPart));
    }
    std::sort(ms.begin(), ms.end());
    std::printf("journal line at 10,000 lines: median %.3f ms, p90 %.3f ms (%zu samples)\n", ms[ms.size() / 2],
                ms[ms.size() * 9 / 10], ms.size());
    return 0;
}
