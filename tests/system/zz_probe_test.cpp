#include <gtest/gtest.h>
#include "standins.h"
using namespace driver; using namespace standins;
TEST(ZProbe, Journal) {
  for (int v = 0; v < 3; v++) {
    Sandbox box;
    std::vector<std::pair<std::wstring,std::wstring>> ch;
    if (v == 1) ch = {{L"TFA.Active", L"No"}};
    if (v == 2) ch = {{L"Menu.ButtonSize", L"80"}};
    box.WriteSettings(ch);
    Started p = Start(box, WemloxExe());
    HWND bar = WaitForBar(p);
    Sleep(1500);
    HWND j = GetDlgItem(bar, 101);
    DWORD_PTR len = 0;
    SendMessageTimeoutW(j, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &len);
    std::wstring t = WindowText(j);
    printf("variant %d len=%llu got=%zu\n%s\n----\n", v, (unsigned long long)len, t.size(), str::ToUtf8(t).c_str());
    CloseBar(p, bar);
  }
}
