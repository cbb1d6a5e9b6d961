// The installer under the system's Windows Installer, as a user meets it:
// a quiet per-user install, the program started from its Start-menu
// shortcut, a quiet uninstall, and later packages replacing earlier ones.
#include <windows.h>
#include <msi.h>
#include <msiquery.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "base/fs.h"
#include "base/str.h"
#include "driver.h"

using namespace driver;

namespace {

// The packages are built beside this test: the product, the same version
// built again (a new ProductCode), and the next build number.
std::wstring Package(const wchar_t* name) { return TestBinDir() + name; }

// Runs msiexec without any window; its exit code, or -1.
int Msiexec(const std::wstring& args) {
    std::wstring cmd = L"msiexec.exe " + args + L" /qn";
    std::vector<wchar_t> line(cmd.begin(), cmd.end());
    line.push_back(0);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return -1;
    CloseHandle(pi.hThread);
    win::KernelHandle process(pi.hProcess);
    if (WaitForSingleObject(process.get(), 120000) != WAIT_OBJECT_0) return -1;
    DWORD code = 0;
    GetExitCodeProcess(process.get(), &code);
    return static_cast<int>(code);
}
int Install(const std::wstring& package) { return Msiexec(L"/i \"" + package + L"\""); }
int Uninstall(const std::wstring& productCode) { return Msiexec(L"/x " + productCode); }

// Product codes of the installed packages of the family.
std::vector<std::wstring> InstalledProducts() {
    std::vector<std::wstring> found;
    wchar_t code[39] = {};
    for (DWORD i = 0; MsiEnumRelatedProductsW(WEMLOX_MSI_UPGRADE_CODE, 0, i, code) == ERROR_SUCCESS; i++)
        found.push_back(code);
    return found;
}

// A property of a product installed for the current user alone (a product
// installed for the machine has none); empty when missing.
std::wstring UserProductInfo(const std::wstring& code, const wchar_t* property) {
    wchar_t value[1024] = {};
    DWORD size = 1024;
    if (MsiGetProductInfoExW(code.c_str(), nullptr, MSIINSTALLCONTEXT_USERUNMANAGED, property, value, &size) !=
        ERROR_SUCCESS)
        return {};
    return std::wstring(value, size);
}

// Whether a package says it installs without elevated rights (Word Count
// bit 8), so that Windows asks for no administrator.
bool InstallsWithoutElevation(const std::wstring& package) {
    MSIHANDLE info = 0;
    if (MsiGetSummaryInformationW(0, package.c_str(), 0, &info) != ERROR_SUCCESS) return false;
    UINT type = 0;
    INT wordCount = 0;
    FILETIME unused{};
    DWORD size = 0;
    UINT read = MsiSummaryInfoGetPropertyW(info, PIDSI_WORDCOUNT, &type, &wordCount, &unused, nullptr, &size);
    MsiCloseHandle(info);
    return read == ERROR_SUCCESS && (wordCount & 8) != 0;
}

// The user's "Start with Windows" entry, as the bar's menu writes it.
constexpr const wchar_t* kRunKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
void SetRunEntry(const std::wstring& program) {
    const std::wstring command = L"\"" + program + L"\"";
    RegSetKeyValueW(HKEY_CURRENT_USER, kRunKey, L"Wemlox", REG_SZ, command.c_str(),
                    static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t)));
}
bool HasRunEntry() {
    return RegGetValueW(HKEY_CURRENT_USER, kRunKey, L"Wemlox", RRF_RT_REG_SZ, nullptr, nullptr, nullptr) ==
           ERROR_SUCCESS;
}

void UninstallAll() {
    for (const std::wstring& code : InstalledProducts()) (void)Uninstall(code);
}

std::wstring KnownFolder(REFKNOWNFOLDERID id) {
    PWSTR path = nullptr;
    std::wstring result;
    if (SUCCEEDED(SHGetKnownFolderPath(id, 0, nullptr, &path))) result = path;
    CoTaskMemFree(path);
    return result;
}
std::wstring InstallFolder() { return KnownFolder(FOLDERID_LocalAppData) + L"\\Programs\\Wemlox"; }
std::wstring StartMenuShortcut() { return KnownFolder(FOLDERID_Programs) + L"\\Wemlox.lnk"; }

struct ComScope {
    ComScope() { (void)CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
    ~ComScope() { CoUninitialize(); }
};

// The file a .lnk points at; empty when it cannot be read.
std::wstring ShortcutTarget(const std::wstring& path) {
    std::wstring target;
    IShellLinkW* link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&link))))
        return target;
    IPersistFile* file = nullptr;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
        wchar_t text[MAX_PATH] = {};
        if (SUCCEEDED(file->Load(path.c_str(), STGM_READ)) &&
            SUCCEEDED(link->GetPath(text, MAX_PATH, nullptr, SLGP_RAWPATH)))
            target = text;
        file->Release();
    }
    link->Release();
    return target;
}

bool SameBytes(const std::wstring& a, const std::wstring& b) {
    std::optional<std::string> x = fs::ReadFile(a), y = fs::ReadFile(b);
    return x && y && *x == *y;
}

// Every file of the build's program, byte for byte, in the install folder.
void ExpectProgramInstalled() {
    EXPECT_TRUE(SameBytes(InstallFolder() + L"\\Wemlox.exe", WemloxExe()));
    std::vector<std::wstring> images = fs::ListFileNames(TestBinDir() + L"Graphics");
    EXPECT_FALSE(images.empty());
    for (const std::wstring& name : images)
        EXPECT_TRUE(SameBytes(InstallFolder() + L"\\Graphics\\" + name, TestBinDir() + L"Graphics\\" + name))
            << str::ToUtf8(name);
}

// A file of the user's own that no uninstall may touch: made for the test
// when missing (and removed again), left as it is when the user has one.
struct UserFile {
    std::wstring path;
    std::optional<std::string> before;
    bool made = false;
    explicit UserFile(std::wstring p) : path(std::move(p)), before(fs::ReadFile(path)) {
        if (before) return;
        MakeDirs(path.substr(0, path.find_last_of(L'\\')));
        made = WriteTextFile(path, "kept by every uninstall\r\n");
        before = fs::ReadFile(path);
    }
    ~UserFile() {
        if (made) DeleteFileW(path.c_str());
    }
};

// Each test starts and ends with no package of the family installed,
// whatever an earlier run or a failed check left.
class Installer : public testing::Test {
protected:
    void SetUp() override { UninstallAll(); }
    void TearDown() override { UninstallAll(); }
};

}  // namespace

TEST_F(Installer, InstallsForTheUserStartsFromTheShortcutAndUninstallsCleanly) {
    ComScope com;
    // The settings file and the picture store live where the program puts them.
    const std::wstring appdata = fs::GetEnv(L"APPDATA").value_or(L""), profile = fs::GetEnv(L"USERPROFILE").value_or(L"");
    ASSERT_FALSE(appdata.empty() || profile.empty());
    UserFile settings(appdata + L"\\Wemlox\\Wemlox.ini");
    UserFile picture(profile + L"\\Wemlox\\LoRes\\installer-test.jpg");
    ASSERT_TRUE(settings.before && picture.before);

    EXPECT_TRUE(InstallsWithoutElevation(Package(L"Wemlox.msi")));
    ASSERT_EQ(Install(Package(L"Wemlox.msi")), 0);
    ExpectProgramInstalled();
    std::vector<std::wstring> products = InstalledProducts();
    ASSERT_EQ(products.size(), 1u);
    EXPECT_EQ(UserProductInfo(products[0], INSTALLPROPERTY_INSTALLEDPRODUCTNAME), L"Wemlox Glimmerdeck");
    EXPECT_EQ(UserProductInfo(products[0], INSTALLPROPERTY_VERSIONSTRING), WEMLOX_MSI_VERSION);
    const std::wstring icon = UserProductInfo(products[0], INSTALLPROPERTY_PRODUCTICON);
    EXPECT_TRUE(!icon.empty() && FileExists(icon)) << str::ToUtf8(icon);

    const std::wstring target = ShortcutTarget(StartMenuShortcut());
    EXPECT_TRUE(str::EqualsI(target, InstallFolder() + L"\\Wemlox.exe")) << str::ToUtf8(target);
    {
        // The program from the shortcut, with settings of its own that keep
        // it off the network; it finds its Graphics or stops before the bar.
        Sandbox box;
        box.WriteSettings({{L"TFA.Active", L"No"}});
        Started run = Start(box, target);
        ASSERT_TRUE(run.process);
        HWND bar = WaitForBar(run);
        ASSERT_TRUE(bar);
        EXPECT_EQ(WindowText(bar), L"Wemlox");
        EXPECT_EQ(CloseBar(run, bar), 0);
    }

    SetRunEntry(target);
    ASSERT_TRUE(HasRunEntry());
    ASSERT_EQ(Uninstall(products[0]), 0);
    EXPECT_TRUE(InstalledProducts().empty());
    EXPECT_FALSE(FileExists(InstallFolder()));
    EXPECT_FALSE(FileExists(StartMenuShortcut()));
    EXPECT_FALSE(HasRunEntry()) << "Wemlox would still be started with Windows";
    EXPECT_TRUE(fs::ReadFile(settings.path) == settings.before) << "the settings file was touched";
    EXPECT_TRUE(fs::ReadFile(picture.path) == picture.before) << "the picture store was touched";
}

TEST_F(Installer, LaterPackagesReplaceTheInstalledOneAndEarlierOnesAreRefused) {
    ASSERT_EQ(Install(Package(L"Wemlox.msi")), 0);
    const std::vector<std::wstring> first = InstalledProducts();
    ASSERT_EQ(first.size(), 1u);
    // (Windows keeps it over the upgrades, which remove the old package with
    // UPGRADINGPRODUCTCODE set; Wine's msiexec does not set it.)
    SetRunEntry(InstallFolder() + L"\\Wemlox.exe");

    ASSERT_EQ(Install(Package(L"Wemlox-rebuild.msi")), 0);
    const std::vector<std::wstring> rebuilt = InstalledProducts();
    ASSERT_EQ(rebuilt.size(), 1u) << "a rebuild of the same version installed beside the first";
    EXPECT_NE(rebuilt[0], first[0]);

    ASSERT_EQ(Install(Package(L"Wemlox-next.msi")), 0);
    const std::vector<std::wstring> next = InstalledProducts();
    ASSERT_EQ(next.size(), 1u) << "the later version installed beside the earlier one";
    EXPECT_EQ(UserProductInfo(next[0], INSTALLPROPERTY_VERSIONSTRING), WEMLOX_NEXT_MSI_VERSION);
    ExpectProgramInstalled();
    EXPECT_TRUE(FileExists(StartMenuShortcut()));

    EXPECT_NE(Install(Package(L"Wemlox.msi")), 0) << "an earlier version installed over a later one";
    EXPECT_EQ(InstalledProducts(), next);
    ExpectProgramInstalled();

    EXPECT_EQ(Uninstall(next[0]), 0);
    EXPECT_TRUE(InstalledProducts().empty());
    EXPECT_FALSE(FileExists(InstallFolder()));
    EXPECT_FALSE(HasRunEntry());
}
