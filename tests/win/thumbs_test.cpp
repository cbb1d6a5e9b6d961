// The thumbnail cache in-process: what the card does not need to be asked for.
#include <gtest/gtest.h>

#include "base/fs.h"
#include "flashair/thumbs.h"
#include "shell_fixture.h"

// Every card walk starts the tiles afresh; a picture already decoded from the
// cache is used again instead of one more bitmap per tile and refresh.
TEST(Thumbs, ACacheFileIsDecodedOncePerRun) {
    ASSERT_TRUE(OpenTestBar());
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    g_settings.ThumbnailPath = std::wstring(temp) + L"wemlox-thumbs-" + std::to_wstring(GetCurrentProcessId());
    ASSERT_TRUE(fs::CreateDir(g_settings.ThumbnailPath));
    ASSERT_TRUE(CopyFileW((g_run.GraphicsPath + L"Copy.jpg").c_str(),
                          (g_settings.ThumbnailPath + L"\\_thm_P1.JPG").c_str(), FALSE));
    int32_t first = TFA_TransferThumb(L"P1.JPG", L"/DCIM/101_PANA");
    EXPECT_GT(first, 0);
    EXPECT_EQ(TFA_TransferThumb(L"P1.JPG", L"/DCIM/101_PANA"), first);
    EXPECT_EQ(TFA_TransferThumb(L"P1.CR2", L"/DCIM/101_PANA"), 0);  // raw files have no thumbnail
    (void)fs::DeleteFileAt(g_settings.ThumbnailPath + L"\\_thm_P1.JPG");
    RemoveDirectoryW(g_settings.ThumbnailPath.c_str());
}
