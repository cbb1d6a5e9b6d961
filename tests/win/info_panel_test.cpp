// The journal control and the button lamps of the real bar.
#include <gtest/gtest.h>

#include <richedit.h>

#include "shell_fixture.h"

namespace {

std::wstring Journal() { return Shell().bar.JournalText(); }

COLORREF PixelOf(int image, int x, int y) {
    win::Picture* pic = Shell().bar.Image(image);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, pic->bitmap.get());
    COLORREF c = GetPixel(dc, x, y);
    SelectObject(dc, old);
    DeleteDC(dc);
    return c;
}

}  // namespace

TEST(Journal, NewestFirstWithTimeStampAndRepeatRule) {
    ASSERT_TRUE(OpenTestBar());
    Shell().bar.ShowInfo(L"first line");
    Shell().bar.ShowInfo(L"second line");
    Shell().bar.ShowInfo(L"second line");  // a repeat is dropped
    Shell().bar.ShowInfo(L"first line");   // but not once another line came between
    std::wstring j = Journal();
    size_t a = j.find(L" first line"), b = j.find(L" second line"), c = j.find(L" first line", a + 1);
    ASSERT_NE(a, std::wstring::npos);
    EXPECT_LT(a, b);
    EXPECT_LT(b, c);
    EXPECT_EQ(j.find(L" second line", b + 1), std::wstring::npos);
    EXPECT_EQ(j.substr(19, 12), L" first line\r");
}

TEST(Journal, TenThousandLinesKeepEveryCharacter) {
    ASSERT_TRUE(OpenTestBar());
    for (int i = 0; i < 10000; i++) Shell().bar.ShowInfo(L"line number " + std::to_wstring(i) + L" of a long run");
    std::wstring j = Journal();
    size_t last = j.find(L" line number 9999 of");
    size_t first = j.find(L" line number 0 of");
    ASSERT_NE(last, std::wstring::npos);
    ASSERT_NE(first, std::wstring::npos);
    EXPECT_LT(last, first);
    size_t count = 0;
    for (size_t p = j.find(L" of a long run"); p != std::wstring::npos; p = j.find(L" of a long run", p + 1)) count++;
    EXPECT_EQ(count, 10000u);
    EXPECT_GT(j.size(), 32767u * 10);  // far beyond the control's default limit
}

TEST(Lamps, PaintTwoPixelBarsIntoTheFace) {
    ASSERT_TRUE(OpenTestBar());
    win::Picture* face = Shell().bar.Image(3);
    ASSERT_TRUE(face && face->width == 80);
    COLORREF background = PixelOf(3, 2, 2);
    EXPECT_TRUE(Shell().bar.SetLamp(3, model::Lamp::Red, model::LampAt::Top));
    EXPECT_TRUE(Shell().bar.SetLamp(3, model::Lamp::Green, model::LampAt::Bottom));
    EXPECT_EQ(PixelOf(3, 27, 27), RGB(255, 0, 0));
    EXPECT_EQ(PixelOf(3, 52, 28), RGB(255, 0, 0));
    EXPECT_EQ(PixelOf(3, 53, 27), PixelOf(3, 53, 26));  // the bar ends at x = 52
    EXPECT_EQ(PixelOf(3, 40, 29), PixelOf(3, 40, 30));  // two pixels high
    EXPECT_EQ(PixelOf(3, 27, 53), RGB(0, 255, 0));
    EXPECT_EQ(PixelOf(3, 52, 54), RGB(0, 255, 0));
    EXPECT_TRUE(Shell().bar.SetLamp(3, model::Lamp::Clear, model::LampAt::Top));  // clear: the face's own background
    EXPECT_EQ(PixelOf(3, 40, 27), background);
    EXPECT_EQ(PixelOf(3, 40, 53), RGB(0, 255, 0));  // the other lamp stays
    EXPECT_TRUE(Shell().bar.SetLamp(3, model::Lamp::Black, model::LampAt::Top));
    EXPECT_EQ(PixelOf(3, 40, 27), RGB(0, 0, 0));
    EXPECT_FALSE(Shell().bar.SetLamp(0, model::Lamp::Red, model::LampAt::Top));
}

TEST(Lamps, JournalTextsSetTheCardLamp) {
    ASSERT_TRUE(OpenTestBar());
    struct Case { const wchar_t* text; COLORREF lamp; } cases[] = {
        {L"TFA Success: 3 files", RGB(0, 255, 0)},
        {L"a tfa fail in lower case", RGB(255, 0, 0)},
        {L"TFA Search in 2 sec", RGB(0, 0, 255)},
    };
    for (auto& c : cases) {
        Shell().bar.ShowInfo(c.text);
        EXPECT_EQ(PixelOf(6, 40, 27), c.lamp) << str::ToUtf8(c.text);
    }
    Shell().bar.SetLamp(6, model::Lamp::Clear, model::LampAt::Top);
    Shell().bar.ShowInfo(L"nothing about the card");
    EXPECT_EQ(PixelOf(6, 40, 27), PixelOf(6, 2, 2));
}
