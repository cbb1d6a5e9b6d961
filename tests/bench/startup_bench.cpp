// Benchmark: time from starting Wemlox.exe to its bar being visible, over a
// few fresh starts. Prints the median and the range.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "bench_clock.h"
#include "driver.h"

int wmain() {
    std::vector<double> ms;
    for (int i = 0; i < 7; i++) {
        driver::Sandbox box;
        box.WriteSettings({});
        const double start = bench::Now();
        driver::Started p = driver::Start(box, driver::WemloxExe());
        HWND bar = driver::WaitForBar(p, 30000);
        if (!bar) return 1;
        ms.push_back(bench::Now() - start);
        driver::CloseBar(p, bar);
    }
    std::printf("start to visible bar: median %.0f ms (min %.0f, max %.0f, %zu starts)\n", bench::Median(ms),
                *std::min_element(ms.begin(), ms.end()), *std::max_element(ms.begin(), ms.end()), ms.size());
    return 0;
}
