// Benchmark: time from starting Wemlox.exe to its bar being visible, over a
// few fresh starts. Prints the median and the range.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "driver.h"

int wmain() {
    std::vector<double> ms;
    for (int i = 0; i < 7; i++) {
        driver::Sandbox box;
        box.WriteSettings({});
        LARGE_INTEGER f, a, b;
        QueryPerformanceFrequency(&f);
        QueryPerformanceCounter(&a);
        driver::Started p = driver::Start(box, driver::WemloxExe());
        HWND bar = driver::WaitForBar(p, 30000);
        QueryPerformanceCounter(&b);
        if (!bar) return 1;
        ms.push_back(1000.0 * static_cast<double>(b.QuadPart - a.QuadPart) / static_cast<double>(f.QuadPart));
        driver::CloseBar(p, bar);
    }
    std::sort(ms.begin(), ms.end());
    std::printf("start to visible bar: median %.0f ms (min %.0f, max %.0f, %zu starts)\n", ms[ms.size() / 2],
                ms.front(), ms.back(), ms.size());
    return 0;
}
