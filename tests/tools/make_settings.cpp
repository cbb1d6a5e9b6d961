// Writes a Wemlox.ini for tests and demos: the built-in default text with
// chosen keys changed, e.g. make_settings OUT.ini TFA.Url=127.0.0.1; a group
// the built-in text lacks ([Inbox]) is added.
#include <cstdio>
#include <string>

#include "base/fs.h"
#include "base/str.h"
#include "model/settings/settings.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: make_settings OUT.ini [Group.Key=Value ...]\n");
        return 2;
    }
    model::IniDocument ini(str::ToUtf8(model::DefaultSettingsText()));
    for (int i = 2; i < argc; i++) {
        std::wstring arg = str::FromUtf8(argv[i]);
        size_t dot = arg.find(L'.'), eq = arg.find(L'=');
        if (dot == std::wstring::npos || eq == std::wstring::npos || dot > eq ||
            !ini.SetValues({{arg.substr(0, dot), arg.substr(dot + 1, eq - dot - 1), arg.substr(eq + 1)}}, true)) {
            std::fprintf(stderr, "make_settings: cannot set %s\n", argv[i]);
            return 1;
        }
    }
    std::string path = argv[1];
    return fs::WriteFile(str::FromUtf8(path), ini.Serialize()) ? 0 : 1;
}
