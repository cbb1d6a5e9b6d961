#include "model/settings/settings.h"
#include "model/viewer/handover_logic.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "base/fs.h"
#include "base/str.h"
#include "test_util.h"

namespace {

using testutil::TempDir;

std::string Utf8(const std::wstring& s) { return str::ToUtf8(s); }

}  // namespace

TEST(ShowFile, OnlyWhatItsNameAndFirstBytesSayIsAPicture) {
    using C = model::PictureCheck;
    const std::string jpeg = "\xFF\xD8\xFF\xE1", program = std::string("MZ\x90\0\3\0", 6);
    const std::string tiff("II*\0\x08\0\0\0", 8), tiffBe("MM\0*\0\0\0\x08", 8);
    struct Case {
        std::wstring path;
        std::string head;
        const wchar_t* hiRes;
        C expected;
    } cases[] = {
        {L"D:\\x\\P1.JPG", jpeg, L".cr2", C::Picture},
        {L"D:\\x\\p1.jpeg", jpeg, L".cr2", C::Picture},
        {L"D:\\x\\P1.JPG", program + "\xFF\xD9", L".cr2", C::NotItsKind},  // a program served as a picture
        {L"D:\\x\\P1.JPG", "\xFF\xD8", L".cr2", C::NotItsKind},
        {L"D:\\x\\P1.JPG", "", L".cr2", C::NotItsKind},  // empty, or not readable
        {L"D:\\x\\P1.JPG", tiff, L".cr2", C::NotItsKind},
        {L"D:\\x\\IMG_1.CR2", tiff, L".cr2", C::Picture},
        {L"D:\\x\\IMG_1.cr2", tiffBe, L".CR2", C::Picture},
        {L"D:\\x\\IMG_1.CR2", jpeg, L".cr2", C::NotItsKind},
        {L"D:\\x\\IMG_1.CR2", program, L".cr2", C::NotItsKind},
        {L"D:\\x\\x.jpg.exe", program, L".cr2", C::NotByName},
        {L"D:\\shoot.jpg\\clip.mov", jpeg, L".cr2", C::NotByName},  // the folder never counts
        {L"D:\\x.jpg", jpeg, L".cr2", C::Picture},
        {L"D:\\x\\jpg", jpeg, L".cr2", C::NotByName},
        {L"D:\\x\\IMG_1.TIF", tiff, L".cr2", C::NotByName},  // not transferred, so no picture
        {L"D:\\x\\IMG_1.TIF", tiff, L".tif", C::Picture},
        {L"D:\\x\\IMG_1.CR2", tiff, L"", C::NotByName},
        // Raw files: their maker's signature or a TIFF header.
        {L"D:\\x\\A.NEF", tiffBe, L".nef", C::Picture},
        {L"D:\\x\\A.ORF", "IIRO\x08\0\0\0", L".orf", C::Picture},
        {L"D:\\x\\A.ORF", "IIRS\x08\0\0\0", L".orf", C::Picture},
        {L"D:\\x\\A.ORF", "MMOR\0\0\0\x08", L".orf", C::Picture},
        {L"D:\\x\\A.ORF", tiff, L".orf", C::Picture},
        {L"D:\\x\\A.RW2", std::string("IIU\0\x08\0\0\0", 8), L".rw2", C::Picture},
        {L"D:\\x\\A.RAF", "FUJIFILMCCD-RAW 0201", L".raf", C::Picture},
        {L"D:\\x\\A.CR3", std::string("\0\0\0\x18" "ftypcrx \0\0\0\x01", 16), L".cr3", C::Picture},
        {L"D:\\x\\A.CR3", std::string("\0\0\0\x18" "ftypisom", 12), L".cr3", C::NotItsKind},
        {L"D:\\x\\A.X3F", "FOVb\0\0\x02\0", L".x3f", C::Picture},
        {L"D:\\x\\A.MRW", std::string("\0MRM\0\0\x01\0", 8), L".mrw", C::Picture},
        {L"D:\\x\\A.CRW", std::string("II\x1A\0\0\0HEAPCCDR", 14), L".crw", C::Picture},
        {L"D:\\x\\A.RAF", program, L".raf", C::NotItsKind},
        {L"D:\\x\\A.XYZ", tiff, L".xyz", C::NotItsKind},  // a kind whose files cannot say what they are
    };
    for (const Case& c : cases)
        EXPECT_EQ(model::CheckPicture(c.path, c.head, c.hiRes, L".jpg"), c.expected)
            << Utf8(c.path) << " " << Utf8(c.hiRes);
}

TEST(ShowFile, PlanPerModeAndFile) {
    TempDir dir;
    const std::wstring jpeg = dir.Write(L"IMG_0001.JPG", "\xFF\xD8\xFF\xE0 a picture \xFF\xD9");
    const std::wstring raw = dir.Write(L"IMG_0001.CR2", std::string("II*\0\x10\0\0\0CR", 10));
    const std::wstring fake = dir.Write(L"P1010002.JPG", "MZ a program \xFF\xD9");
    const std::wstring clip = dir.Write(L"clip.mov", "\xFF\xD8\xFF");
    const std::wstring gone = dir / L"gone.jpg";
    const std::wstring viewer = L"C:\\Program Files\\IrfanView\\i_view64.exe";
    using O = model::Opener;
    const std::wstring notIt = L"Not shown, the file is not the picture its name says: ";
    struct Case {
        const wchar_t* mode;
        std::wstring path, viewer;
        std::wstring journal;  // then the path
        O open;
        bool close, raise, shown;
    } cases[] = {
        {L"irfan", raw, viewer, L"View: ", O::Viewer, false, true, true},
        {L"irfan", jpeg, viewer, L"View: ", O::Viewer, false, true, true},
        {L"irfan", clip, viewer, L"TransferOnlyByExtension: ", O::None, false, false, false},
        {L"irfan", fake, viewer, notIt, O::None, false, false, false},
        {L"irfan", gone, viewer, notIt, O::None, false, false, false},
        {L"transferonly", clip, viewer, L"TransferOnly: ", O::None, false, false, true},
        {L"transferonly", fake, viewer, L"TransferOnly: ", O::None, false, false, true},
        {L"systemonly", jpeg, viewer, L"View: ", O::Association, false, false, true},
        {L"systemonly", fake, L"", notIt, O::None, false, false, false},
        {L"userdefined", jpeg, viewer, L"View: ", O::Viewer, false, true, true},
        {L"userdefined", jpeg, L"", L"View: ", O::Association, false, false, true},  // no viewer: the shell
        {L"nomacs", jpeg, viewer, L"View: ", O::Viewer, true, true, true},
        // nomacs is only closed when another picture takes its place.
        {L"nomacs", clip, viewer, L"TransferOnlyByExtension: ", O::None, false, false, false},
        {L"nomacs", fake, viewer, notIt, O::None, false, false, false},
    };
    for (const Case& c : cases) {
        model::ShowFilePlan plan = model::PlanShowFile(c.path, c.mode, c.viewer, L".cr2", L".jpg");
        std::string what = Utf8(c.mode) + " " + Utf8(c.path);
        EXPECT_EQ(plan.journal, c.journal + c.path) << what;
        EXPECT_EQ(plan.open, c.open) << what;
        EXPECT_EQ(plan.closeRunningViewer, c.close) << what;
        EXPECT_EQ(plan.raiseBar, c.raise) << what;
        EXPECT_EQ(plan.shown, c.shown) << what;
        if (c.open == O::Association) {
            EXPECT_EQ(plan.extension, L".JPG") << what;
            EXPECT_EQ(plan.notOpened, L"No program is set to open .JPG files: " + c.path) << what;
        }
        if (c.open == O::Viewer) EXPECT_EQ(plan.notOpened, L"The viewer could not be started: " + viewer) << what;
    }
    for (const wchar_t* mode : {L"irfan", L"transferonly"}) {
        model::ShowFilePlan plan = model::PlanShowFile(L"", mode, viewer, L".cr2", L".jpg");
        EXPECT_EQ(plan.journal, L"") << Utf8(mode);
        EXPECT_FALSE(plan.shown) << Utf8(mode);
    }
}

TEST(CopyToSelection, CutFileName) {
    struct Case { const wchar_t* text; const wchar_t* extension; std::optional<std::wstring> name; } cases[] = {
        {L"IMG_0042.JPG - nomacs", L".jpg", L"IMG_0042.JPG"},
        {L"IMG_0042.CR2 [1/20]", L".cr2", L"IMG_0042.CR2"},
        {L"a.jpg.cr2", L".cr2", L"a.jpg.cr2"},
        {L"a.jpg.cr2", L".jpg", L"a.jpg"},
        {L"photo.jpeg", L".jpg", std::nullopt},
        {L"%ERR%", L".jpg", std::nullopt},
        {L"", L".jpg", std::nullopt},
        {L"x.jpg", L"", std::nullopt},
        // A title never names a file outside the picture folders.
        {L"C:\\Pictures\\IMG_1.JPG - nomacs", L".jpg", L"IMG_1.JPG"},
        {L"..\\..\\Windows\\evil.jpg", L".jpg", L"evil.jpg"},
        {L"../up/IMG_2.jpg", L".jpg", L"IMG_2.jpg"},
        {L"D:IMG_3.jpg", L".jpg", L"IMG_3.jpg"},
        {L"dir.jpg\\x", L".jpg", L"dir.jpg"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(model::CutFileName(c.text, c.extension), c.name) << Utf8(c.text) << " / " << Utf8(c.extension);
    EXPECT_EQ(model::WithLeadingDot(L"cr2"), L".cr2");
    EXPECT_EQ(model::WithLeadingDot(L".cr2"), L".cr2");
    EXPECT_EQ(model::WithLeadingDot(L""), L"");  // no extension: that kind is not transferred
}

namespace {

// The picture folders below a scratch folder, and what one copy reported.
class SelectionCopy : public ::testing::Test {
protected:
    SelectionCopy() {
        source_ = dir_.MakeDir(L"src");
        storage_ = dir_.MakeDir(L"store");
        for (const wchar_t* sub : {L"\\Lores", L"\\HiRes", L"\\Selected"}) EXPECT_TRUE(fs::CreateDir(source_ + sub));
        folders_ = {source_, storage_, L"cr2", L"jpg"};
    }

    void Put(const std::wstring& path, std::string_view bytes) { ASSERT_TRUE(fs::WriteFile(path, bytes)) << Utf8(path); }
    std::wstring Lores(const std::wstring& name) const { return source_ + L"\\Lores\\" + name; }
    std::wstring HiRes(const std::wstring& name) const { return source_ + L"\\HiRes\\" + name; }
    std::wstring Selected(const std::wstring& name) const { return source_ + L"\\Selected\\" + name; }
    std::wstring Stored(const std::wstring& name) const { return storage_ + L"\\" + name; }

    bool Copy(const std::wstring& text) {
        journal_.clear();
        lamps_.clear();
        model::CopyFeedback feedback{[this](const std::wstring& line) { journal_.push_back(line); },
                              [this](model::Lamp colour, model::LampAt at) {
                                  static const wchar_t kLetters[] = L"rgbycx";
                                  lamps_.push_back(std::wstring(1, kLetters[static_cast<int>(colour)]) + L"/" +
                                                   (at == model::LampAt::Top ? L"t" : L"b"));
                              }};
        return model::CopyShownFileToSelection(text, folders_, feedback);
    }

    TempDir dir_;
    std::wstring source_, storage_;
    model::SelectionFolders folders_;
    std::vector<std::wstring> journal_, lamps_;
};

using Lines = std::vector<std::wstring>;

}  // namespace

TEST_F(SelectionCopy, FromLowResolutionFirst) {
    Put(Lores(L"IMG_0042.JPG"), "lo");
    Put(HiRes(L"IMG_0042.JPG"), "hi");
    EXPECT_TRUE(Copy(L"IMG_0042.JPG - nomacs"));
    EXPECT_EQ(journal_, (Lines{L"Extension: .cr2 not found in File Name: IMG_0042.JPG - nomacs",
                               L"Transfer File exists: " + Lores(L"IMG_0042.JPG"),
                               L"Copy: " + Lores(L"IMG_0042.JPG") + L" to: " + Selected(L"IMG_0042.JPG")}));
    EXPECT_EQ(lamps_, (Lines{L"b/t", L"g/b"}));
    EXPECT_EQ(testutil::ReadAll(Selected(L"IMG_0042.JPG")), "lo");

    // Clicked again: the selection has this picture. Another picture of the
    // name (a different size) is not it, and goes beside.
    EXPECT_TRUE(Copy(L"IMG_0042.JPG - nomacs"));
    EXPECT_EQ(journal_.back(), L"Copy File exists: " + Selected(L"IMG_0042.JPG"));
    Put(Lores(L"IMG_0042.JPG"), "another");
    EXPECT_TRUE(Copy(L"IMG_0042.JPG - nomacs"));
    EXPECT_EQ(testutil::ReadAll(Selected(L"IMG_0042.JPG")), "lo");
    EXPECT_EQ(testutil::ReadAll(Selected(L"IMG_0042-2.JPG")), "another");
}

TEST_F(SelectionCopy, SourcesInOrderSkippingMissingAndEmptyOnes) {
    struct Case {
        const char* what;
        std::wstring text, name;
        bool loresEmpty, inHiRes, inStorage;
        std::string expected;  // the selection's content afterwards, "" for none
    } cases[] = {
        {"high resolution", L"IMG_0042.CR2 [1/20]", L"IMG_0042.CR2", false, true, true, "hi"},
        {"empty low resolution copy", L"IMG_0043.CR2", L"IMG_0043.CR2", true, true, false, "hi"},
        {"only in storage", L"a.jpg.cr2", L"a.jpg.cr2", false, false, true, "store"},
        {"nowhere", L"IMG_0044.JPG", L"IMG_0044.JPG", false, false, false, ""},
    };
    for (const Case& c : cases) {
        if (c.loresEmpty) Put(Lores(c.name), "");
        if (c.inHiRes) Put(HiRes(c.name), "hi");
        if (c.inStorage) Put(Stored(c.name), "store");
        EXPECT_EQ(Copy(c.text), !c.expected.empty()) << c.what;
        EXPECT_EQ(testutil::ReadAll(Selected(c.name)), c.expected) << c.what;
        EXPECT_EQ(lamps_, (Lines{L"b/t", c.expected.empty() ? L"r/b" : L"g/b"})) << c.what;
        // "Transfer File exists" belongs to the low-resolution copy alone.
        for (const std::wstring& line : journal_)
            EXPECT_FALSE(str::StartsWith(line, L"Transfer File exists")) << c.what;
    }
}

TEST_F(SelectionCopy, NoRecognisedExtension) {
    Put(Lores(L"photo.jpeg"), "lo");
    // A viewer window without a title: the journal names it "%ERR%".
    struct Case { std::wstring text, shown; } cases[] = {
        {L"photo.jpeg", L"photo.jpeg"}, {L"%ERR%", L"%ERR%"}, {L"", L"%ERR%"}};
    for (const Case& c : cases) {
        EXPECT_FALSE(Copy(c.text));
        std::wstring hi = L"Extension: .cr2 not found in File Name: " + c.shown;
        EXPECT_EQ(journal_, (Lines{hi, L"Extension: .jpg not found in File Name: " + c.shown, hi}));
        EXPECT_EQ(lamps_, (Lines{L"r/b"}));
    }
    EXPECT_FALSE(fs::FileSize(Selected(L"photo.jpeg")));
}

TEST_F(SelectionCopy, MissingSelectionFolderFails) {
    folders_.sourcePath = dir_.MakeDir(L"other");
    ASSERT_TRUE(fs::CreateDir(folders_.sourcePath + L"\\Lores"));
    Put(folders_.sourcePath + L"\\Lores\\IMG_1.JPG", "lo");
    EXPECT_FALSE(Copy(L"IMG_1.JPG"));
    EXPECT_EQ(lamps_, (Lines{L"b/t", L"r/b"}));
    EXPECT_FALSE(str::StartsWith(journal_.back(), L"Copy: "));
}

TEST_F(SelectionCopy, AnEmptyExtensionIsNotLookedForAndCutsNothing) {
    Put(Lores(L"IMG.0042.JPG"), "lo");
    folders_.hiResExtension = L"";  // raw files are not transferred
    EXPECT_TRUE(Copy(L"IMG.0042.JPG - nomacs"));
    EXPECT_EQ(journal_.front(), L"Transfer File exists: " + Lores(L"IMG.0042.JPG"));
    EXPECT_EQ(testutil::ReadAll(Selected(L"IMG.0042.JPG")), "lo");

    folders_.loResExtension = L"";
    EXPECT_FALSE(Copy(L"IMG.0043.JPG - nomacs"));
    EXPECT_EQ(lamps_, (Lines{L"r/b"}));
    EXPECT_FALSE(fs::FileSize(Selected(L"IMG.0043.JPG")));
}
