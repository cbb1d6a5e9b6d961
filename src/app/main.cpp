// Entry point of Wemlox.exe.
#include <windows.h>
#include <shellapi.h>

#include "app/app.h"
#include "win/dpi.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    win::UsePerMonitorDpi();
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    // One program, alive until the process ends.
    static app::App program;
    int rc = program.Run(argc, argv);
    LocalFree(argv);
    return rc;
}
