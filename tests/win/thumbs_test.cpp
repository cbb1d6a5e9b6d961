// The thumbnail cache in-process: what the card does not need to be asked for.
#include <gtest/gtest.h>

#include "base/fs.h"
#include "model/card_session.h"
#include "app/operations.h"
#include "shell_fixture.h"

// A cached thumbnail is taken from the cache without asking the card (no card
// answers here); a raw file has none.
TEST(Thumbs, ACachedThumbnailNeedsNoCard) {
    ASSERT_TRUE(OpenTestBar());
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::wstring& cache = TestApp().card.Config.ThumbnailPath;
    cache = std::wstring(temp) + L"wemlox-thumbs-" + std::to_wstring(GetCurrentProcessId());
    ASSERT_TRUE(fs::CreateDir(cache));
    ASSERT_TRUE(CopyFileW((TestApp().run.GraphicsPath + L"Copy.jpg").c_str(), (cache + L"\\_thm_P1.JPG").c_str(), FALSE));
    EXPECT_EQ(TFA_TransferThumb(L"P1.JPG", L"/DCIM/101_PANA"), 1);
    EXPECT_EQ(TFA_TransferThumb(L"P1.CR2", L"/DCIM/101_PANA"), 0);
    EXPECT_EQ(TFA_TransferThumb(L"P2.JPG", L"/DCIM/101_PANA"), 0);  // not cached, and no card
    (void)fs::DeleteFileAt(cache + L"\\_thm_P1.JPG");
    RemoveDirectoryW(cache.c_str());
}
