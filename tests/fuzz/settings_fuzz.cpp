// Fuzz target: settings files of any bytes through the INI document and the
// loader of all settings. Aborts when a written file does not read back as
// itself or a value set cannot be read back.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "base/str.h"
#include "model/settings/settings.h"

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    model::IniDocument ini(text);
    std::string written = ini.Serialize();
    Check(model::IniDocument(written).Serialize() == written);

    model::Settings loaded;
    (void)model::LoadSettings(ini, L"C:\\Graphics\\", L"", L"", loaded);

    // A value set through the document reads back as it was set (trimmed).
    std::wstring value = str::Trim(str::FromUtf8(text.substr(0, 48)));
    if (ini.SetValue(L"TFA", L"Url", value)) {
        Check(ini.Value(L"TFA", L"Url") == value);
        Check(model::IniDocument(ini.Serialize()).Value(L"TFA", L"Url") == value);
    }
    return 0;
}
