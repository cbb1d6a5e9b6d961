// Copying the picture nomacs shows into the selection folder (button 1):
// the file found, the journal lines and the lamp on the button.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "standins.h"

using namespace driver;
using namespace standins;

namespace {

struct File {
    std::wstring path;
    std::string bytes;
};

struct Case {
    const char* what;
    std::wstring title;              // nomacs shows the file name in its title
    std::vector<File> files;         // written before the click
    std::wstring name;               // the file expected in the selection
    std::string selected;            // its content afterwards, "" when absent
    char lamp;                       // lower lamp of button 1
    std::vector<std::wstring> lines; // new journal lines, oldest first
};

}  // namespace

TEST(Selection, NomacsCopyButtonCopiesTheShownFile) {
    Sandbox box;
    StandIn nomacs = Install(box.programFiles + L"\\nomacs\\nomacs-x64\\nomacs.exe",
                             L"Qt5QWindowIcon|IMG_0042.JPG - nomacs");
    Launch(box, nomacs, L"Qt5QWindowIcon");
    RunningBar run(box, Quiet({}));
    ASSERT_TRUE(run.bar);
    ASSERT_TRUE(WaitFor([&] { return run.Journal().find(L" (nomacs)") != std::wstring::npos; }));

    const std::wstring source = box.profile + L"\\Wemlox";
    for (const wchar_t* sub : {L"\\LoRes", L"\\HiRes"}) ASSERT_TRUE(MakeDirs(source + sub));
    // The folder names as the journal spells them.
    auto lores = [&](const std::wstring& n) { return source + L"\\Lores\\" + n; };
    auto hires = [&](const std::wstring& n) { return source + L"\\HiRes\\" + n; };
    auto stored = [&](const std::wstring& n) { return source + L"\\Storage\\" + n; };
    auto selected = [&](const std::wstring& n) { return source + L"\\Selected\\" + n; };
    auto notFound = [](const wchar_t* ext, const std::wstring& text) {
        return L"Extension: " + std::wstring(ext) + L" not found in File Name: " + text;
    };

    // Ordered so that the lamp changes colour from one click to the next.
    const Case cases[] = {
        {"low resolution copy", L"IMG_0042.JPG - nomacs", {{lores(L"IMG_0042.JPG"), "lores 42"}}, L"IMG_0042.JPG",
         "lores 42", 'g',
         {notFound(L".cr2", L"IMG_0042.JPG - nomacs"), L"Transfer File exists: " + lores(L"IMG_0042.JPG"),
          L"Copy: " + lores(L"IMG_0042.JPG") + L" to: " + selected(L"IMG_0042.JPG")}},
        {"already selected", L"IMG_0042.JPG - nomacs", {}, L"IMG_0042.JPG", "lores 42", 'y',
         {notFound(L".cr2", L"IMG_0042.JPG - nomacs"), L"Copy File exists: " + selected(L"IMG_0042.JPG")}},
        {"high resolution copy", L"IMG_0043.CR2 [1/20]", {{hires(L"IMG_0043.CR2"), "hires 43"}}, L"IMG_0043.CR2",
         "hires 43", 'g', {L"Copy: " + hires(L"IMG_0043.CR2") + L" to: " + selected(L"IMG_0043.CR2")}},
        {".jpeg is no .jpg", L"photo.jpeg", {{lores(L"photo.jpeg"), "jpeg"}}, L"photo.jpeg", "", 'r',
         {notFound(L".cr2", L"photo.jpeg"), notFound(L".jpg", L"photo.jpeg"), notFound(L".cr2", L"photo.jpeg")}},
        {"only in storage, an empty selection file replaced", L"a.jpg.cr2",
         {{stored(L"a.jpg.cr2"), "stored"}, {selected(L"a.jpg.cr2"), ""}}, L"a.jpg.cr2", "stored", 'g',
         {L"Copy: " + stored(L"a.jpg.cr2") + L" to: " + selected(L"a.jpg.cr2")}},
        {"already selected again", L"a.jpg.cr2", {}, L"a.jpg.cr2", "stored", 'y',
         {L"Copy File exists: " + selected(L"a.jpg.cr2")}},
        {"title with a folder part stays in the selection", L"..\\IMG_0050.JPG",
         {{lores(L"IMG_0050.JPG"), "lores 50"}}, L"IMG_0050.JPG", "lores 50", 'g',
         {notFound(L".cr2", L"..\\IMG_0050.JPG"), L"Transfer File exists: " + lores(L"IMG_0050.JPG"),
          L"Copy: " + lores(L"IMG_0050.JPG") + L" to: " + selected(L"IMG_0050.JPG")}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (const File& f : c.files) ASSERT_TRUE(WriteTextFile(f.path, f.bytes)) << str::ToUtf8(f.path);
        ASSERT_TRUE(SetWindowTextW(nomacs.window, c.title.c_str()));
        size_t before = JournalMessages(run).size();
        ClickAndSettle(run, 1);

        EXPECT_EQ(ReadTextFile(selected(c.name)), str::FromUtf8(c.selected));
        EXPECT_TRUE(LampShows(run.Control(1), false, c.lamp)) << "lamp shows " << LampOn(run.Control(1), false);
        std::vector<std::wstring> journal = JournalMessages(run);
        ASSERT_GE(journal.size(), before);
        std::vector<std::wstring> added(journal.rbegin() + static_cast<std::ptrdiff_t>(before), journal.rend());
        EXPECT_EQ(added, c.lines);
    }
    EXPECT_FALSE(FileExists(source + L"\\IMG_0050.JPG"));
    EXPECT_EQ(KeyLines(nomacs), std::vector<std::wstring>{});  // copying sends no key
    Stop(nomacs);
}
