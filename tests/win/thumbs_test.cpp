// The thumbnail cache in-process: what the card does not need to be asked for.
#include <gtest/gtest.h>

#include "base/fs.h"
#include "model/card/card_session.h"
#include "shell_fixture.h"

// A cached thumbnail is taken from the cache without asking the card (no card
// answers here); a raw file has none.
TEST(Thumbs, ACachedThumbnailNeedsNoCard) {
    ASSERT_TRUE(OpenTestBar());
    TestCard card;
    auto fetch = [&](const wchar_t* name) {
        ui::ThumbRequest wanted;
        wanted.id = {L"/DCIM/101_PANA", name, 0, 0, 0};
        return card.views.FetchThumbnail(wanted);
    };
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    model::Settings settings = card.session.Config();
    std::wstring& cache = settings.ThumbnailPath;
    cache = std::wstring(temp) + L"wemlox-thumbs-" + std::to_wstring(GetCurrentProcessId());
    card.session.AdoptSettings(settings);
    ASSERT_TRUE(fs::CreateDir(cache));
    ASSERT_TRUE(CopyFileW((Shell().graphicsPath + L"Copy.jpg").c_str(), (cache + L"\\_thm_P1.JPG").c_str(), FALSE));
    EXPECT_TRUE(fetch(L"P1.JPG"));
    EXPECT_FALSE(fetch(L"P1.CR2"));
    EXPECT_FALSE(fetch(L"P2.JPG"));  // not cached, and no card
    (void)fs::DeleteFileAt(cache + L"\\_thm_P1.JPG");
    RemoveDirectoryW(cache.c_str());
}
