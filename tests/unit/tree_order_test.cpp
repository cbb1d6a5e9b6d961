#include "model/bar/tree_order.h"

#include <gtest/gtest.h>

#include "base/str.h"

namespace {

model::CardFileEntry File(const std::wstring& dir, const std::wstring& name, int32_t index) {
    return {dir + L"/" + name, dir, name, index};
}

// "1 text" for folders, "2 text #index" for files.
std::vector<std::string> Render(const std::vector<model::TreeRow>& rows) {
    std::vector<std::string> out;
    for (auto& r : rows)
        out.push_back(std::to_string(r.level) + " " + str::ToUtf8(*r.text) +
                      (r.file ? " #" + std::to_string(r.file->RecordIndex) : ""));
    return out;
}

}  // namespace

TEST(TreeOrder, FoldersSortedWithTheirFilesSorted) {
    std::vector<std::wstring> dirs = {L"/DCIM/101_PANA", L"/MISC", L"/DCIM", L"/DCIM/100TEST", L"/DCIM/101_PANA/sub"};
    std::vector<model::CardFileEntry> files = {
        File(L"/DCIM/101_PANA", L"P2.JPG", 7), File(L"/DCIM/101_PANA", L"P1.RW2", 6),
        File(L"", L"ROOT.TXT", 1), File(L"/DCIM/101_PANA", L"P1.JPG", 5),
        File(L"/DCIM/100TEST", L"b.jpg", 9), File(L"/DCIM/101_PANA/sub", L"s.jpg", 11),
        File(L"/GONE", L"x.jpg", 12), File(L"/DCIM/100TEST", L"B.jpg", 8),
    };
    model::SortForTree(dirs, files);
    EXPECT_EQ(dirs, (std::vector<std::wstring>{L"/DCIM", L"/DCIM/100TEST", L"/DCIM/101_PANA", L"/DCIM/101_PANA/sub", L"/MISC"}));
    EXPECT_EQ(files.front().FullPath, L"/DCIM/100TEST/B.jpg");  // code-unit order: capitals first
    EXPECT_EQ(Render(model::TreeRows(dirs, files)),
              (std::vector<std::string>{"1 /DCIM", "1 /DCIM/100TEST", "2 B.jpg #8", "2 b.jpg #9", "1 /DCIM/101_PANA",
                                        "2 P1.JPG #5", "2 P1.RW2 #6", "2 P2.JPG #7", "1 /DCIM/101_PANA/sub",
                                        "2 s.jpg #11", "1 /MISC"}));
}

TEST(TreeOrder, EqualTextsKeepTheCardsOrder) {
    std::vector<std::wstring> dirs = {L"/A", L"/A"};
    std::vector<model::CardFileEntry> files = {File(L"/A", L"x", 3), File(L"/A", L"x", 2), File(L"/A", L"a", 4)};
    model::SortForTree(dirs, files);
    // A folder listed twice shows its files twice, as each folder item lists
    // the files that name it.
    EXPECT_EQ(Render(model::TreeRows(dirs, files)),
              (std::vector<std::string>{"1 /A", "2 a #4", "2 x #3", "2 x #2", "1 /A", "2 a #4", "2 x #3", "2 x #2"}));
    EXPECT_TRUE(model::TreeRows({}, files).empty());
}

TEST(TreeOrder, NonAsciiNamesSortByCodeUnit) {
    std::vector<std::wstring> dirs = {L"/\xC4pfel", L"/Zoo", L"/apfel"};
    std::vector<model::CardFileEntry> files;
    model::SortForTree(dirs, files);
    EXPECT_EQ(dirs, (std::vector<std::wstring>{L"/Zoo", L"/apfel", L"/\xC4pfel"}));
}
