#include "model/settings/catalogue.h"

#include <gtest/gtest.h>

#include <string_view>

#include "base/fs.h"
#include "base/str.h"
#include "test_util.h"

namespace {

using testutil::ScopedEnv;
using testutil::TempDir;

std::string Utf8(const std::wstring& s) { return str::ToUtf8(s); }

// Two program-files folders; viewers are "installed" by writing their executables.
class AutoSearch : public ::testing::Test {
protected:
    AutoSearch()
        : pf_(dir_.MakeDir(L"pf")),
          pf86_(dir_.MakeDir(L"pf86")),
          env_(L"programfiles", pf_),
          env86_(L"programfiles(x86)", pf86_ + L"\\") {}

    // The search with the hit's id as start-up keeps it.
    std::wstring WLX_AutoSearch_Viewer() { return model::AutoSearchViewer(foundViewerId_); }
    std::wstring foundViewerId_;

    // Creates the sub-path's folders and the executable below a base folder.
    std::wstring Install(const std::wstring& base, const std::wstring& subPath,
                         std::string_view bytes = "MZ") {
        size_t from = 0;
        for (size_t slash; (slash = subPath.find(L'\\', from)) != std::wstring::npos;
             from = slash + 1) {
            std::wstring folder = base + L"\\" + subPath.substr(0, slash);
            if (!fs::IsDirectory(folder)) {
                EXPECT_TRUE(fs::CreateDir(folder));
            }
        }
        std::wstring exe = base + L"\\" + subPath;
        EXPECT_TRUE(fs::WriteFile(exe, bytes));
        return exe;
    }

    TempDir dir_;
    std::wstring pf_, pf86_;

private:
    ScopedEnv env_, env86_;
};

}  // namespace

TEST(Catalogue, TableEndsWithMarkerRow) {
    size_t n = std::size(model::KnownViewers);
    EXPECT_EQ(std::wstring_view(model::KnownViewers[n - 1]), model::kKnownViewersEnd);
    EXPECT_EQ((n - 1) % 2, 0u);
    EXPECT_EQ(std::wstring_view(model::KnownViewers[0]), L"nomacs\\nomacs-x64\\nomacs.exe");
    EXPECT_EQ(std::wstring_view(model::KnownViewers[n - 2]), L"ps");
}

TEST(Catalogue, ModeFromViewerPath) {
    struct Case { const wchar_t* path; const wchar_t* id; };
    const Case cases[] = {
        {L"D:\\Tools\\i_view32.exe", L"irfan"},
        {L"C:\\Program Files\\IRFANVIEW\\x.exe", L"irfan"},
        {L"C:\\Program Files\\FastStone Image Viewer\\FSViewer.exe", L"fast"},
        {L"C:\\fsviewer.exe", L"fast"},
        {L"C:\\XnView\\XnView.exe", L"xnview"},
        {L"C:\\Adobe\\Adobe Photoshop CS6\\Photoshop.exe", L"ps"},
        {L"C:\\Adobe\\nomacs\\nomacs.exe", L"ps"},  // adobe is tested before nomacs
        {L"C:\\nomacs\\nomacs-x64\\nomacs.exe", L"nomacs"},
        {L"C:\\irfan\\nomacs.exe", L"irfan"},
        {L"C:\\Windows\\mspaint.exe", L"systemonly"},
        {L"", L"systemonly"},
    };
    for (const Case& c : cases) EXPECT_EQ(model::ModeFromViewerPath(c.path), c.id) << Utf8(c.path);
}

TEST(Catalogue, DeriveMode) {
    const wchar_t* xnview = L"C:\\XnView\\XnView.exe";
    struct Case {
        const wchar_t* raw; bool present; const wchar_t* found; const wchar_t* path;
        const wchar_t* mode;
    };
    const Case cases[] = {
        {L"", false, L"irfan", xnview, L"systemonly"},  // missing key
        {L"ViewerDefined", true, L"irfan", xnview, L"irfan"},
        {L"ViewerDefined", true, L"", xnview, L"xnview"},
        {L"ViewerDefined", true, L"", L"", L"systemonly"},
        {L"UserDefined", true, L"nomacs", xnview, L"userdefined"},
        {L"UserDefined", true, L"", xnview, L"xnview"},
        {L"TransferOnly SystemOnly", true, L"irfan", xnview, L"transferonly"},
        {L"SystemOnly ViewerDefined", true, L"irfan", xnview, L"systemonly"},
        {L" TRANSFERONLY ", true, L"", L"", L"transferonly"},
        {L"systemonly", true, L"", xnview, L"systemonly"},
        {L"ViewerDefined UserDefined", true, L"fast", xnview, L"fast"},
        {L"fast", true, L"", xnview, L"xnview"},  // an id written here is not taken
        {L"fast", true, L"irfan", L"", L"systemonly"},
        {L"", true, L"irfan", xnview, L"xnview"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(model::DeriveMode(c.raw, c.present, c.found, c.path), c.mode)
            << Utf8(c.raw) << " found=" << Utf8(c.found);
}

TEST(Catalogue, TransferOnlyBeforeFullLoad) {
    struct Case { const wchar_t* raw; bool transferOnly; };
    const Case cases[] = {
        {L"TransferOnly", true}, {L"TransferOnly SystemOnly", true}, {L"xtransferonlyx", true},
        {L"SystemOnly", false},  {L"ViewerDefined", false},          {L"", false},
        {L"Transfer Only", false},
    };
    for (const Case& c : cases) EXPECT_EQ(model::DerivesToTransferOnly(c.raw), c.transferOnly) << Utf8(c.raw);
}

TEST(Catalogue, GetModeFromViewerUsesViewerPath) {
    EXPECT_EQ(model::ModeFromViewerPath(L"C:\\IrfanView\\i_view64.exe"), L"irfan");
    EXPECT_EQ(model::ModeFromViewerPath(L""), L"systemonly");
}

TEST_F(AutoSearch, NothingInstalled) {
    Install(pf_, L"IrfanView\\i_view64.exe", "");  // 0 bytes does not count
    EXPECT_EQ(WLX_AutoSearch_Viewer(), L"");
    EXPECT_EQ(foundViewerId_, L"");
}

TEST_F(AutoSearch, ThirtyTwoBitFolderFallback) {
    std::wstring exe = Install(pf86_, L"IrfanView\\i_view64.exe");
    EXPECT_EQ(WLX_AutoSearch_Viewer(), exe);
    EXPECT_EQ(foundViewerId_, L"irfan");
}

TEST_F(AutoSearch, RowOrderWinsOverFolder) {
    Install(pf_, L"IrfanView\\i_view64.exe");
    std::wstring nomacs = Install(pf86_, L"nomacs\\nomacs-x86\\nomacs.exe");
    EXPECT_EQ(WLX_AutoSearch_Viewer(), nomacs);
    EXPECT_EQ(foundViewerId_, L"nomacs");
}

TEST_F(AutoSearch, SixtyFourBitFolderFirstWithinARow) {
    Install(pf86_, L"XnView\\XnView.exe");
    std::wstring exe = Install(pf_, L"XnView\\XnView.exe");
    EXPECT_EQ(WLX_AutoSearch_Viewer(), exe);
    EXPECT_EQ(foundViewerId_, L"xnview");
}

TEST_F(AutoSearch, TrailingSeparatorMakesNoDifference) {
    std::wstring exe = Install(pf_, L"Adobe\\Adobe Photoshop CS6\\Photoshop.exe");
    std::wstring results[2];
    for (int i = 0; i < 2; i++) {
        ScopedEnv env(L"programfiles", i == 0 ? pf_ : pf_ + L"\\");
        results[i] = WLX_AutoSearch_Viewer();
    }
    EXPECT_EQ(results[0], exe);
    EXPECT_EQ(results[1], exe);
    EXPECT_EQ(foundViewerId_, L"ps");
}

TEST_F(AutoSearch, UnsetVariableIsSkipped) {
    std::wstring exe = Install(pf86_, L"FastStone Image Viewer\\FSViewer.exe");
    ScopedEnv unset(L"programfiles", std::nullopt);
    EXPECT_EQ(WLX_AutoSearch_Viewer(), exe);
    EXPECT_EQ(foundViewerId_, L"fast");
}

TEST(Catalogue, ViewerProgramByTheTablesFileNamesOrTheUsersViewer) {
    struct Case { const wchar_t* id; const wchar_t* program; const wchar_t* viewerPath; bool is; } cases[] = {
        {L"nomacs", L"C:\\Program Files\\nomacs\\nomacs-x64\\NOMACS.EXE", L"", true},
        {L"nomacs", L"D:\\portable\\nomacs.exe", L"", true},  // the file name counts, not the folder
        {L"nomacs", L"C:\\Qt\\designer.exe", L"", false},     // another Qt 5 program
        {L"irfan", L"C:\\x\\nomacs.exe", L"", false},         // another viewer's program
        {L"irfan", L"D:\\Tools\\iview.exe", L"D:\\Tools\\IView.exe", true},  // the viewer the user named
        {L"irfan", L"", L"D:\\Tools\\iview.exe", false},      // the system did not tell
    };
    for (const Case& c : cases)
        EXPECT_EQ(model::IsViewerProgram(c.id, c.program, c.viewerPath), c.is) << Utf8(c.id) << " " << Utf8(c.program);
}
