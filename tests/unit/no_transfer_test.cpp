#include "flashair/no_transfer.h"

#include <gtest/gtest.h>

#include "card_fakes.h"
#include "test_util.h"

namespace {

using Names = std::vector<std::wstring>;

// A picture store with HiRes and LoRes folders.
struct Store {
    testutil::TempDir dir;
    Store() {
        dir.MakeDir(L"HiRes");
        dir.MakeDir(L"LoRes");
        g_card.Config.SourcePath = dir.path();
    }
    void Add(const std::wstring& kind, const std::wstring& name) { dir.Write(kind + L"\\" + name, "x"); }
};

std::string Listing(std::initializer_list<const char*> names) {
    std::string s = "WLANSD_FILELIST\r\n";
    for (const char* n : names) s += std::string("/DCIM/101_PANA,") + n + ",100,32,0,0\r\n";
    return s;
}

}  // namespace

TEST(NoTransfer, NamesFromTheirParts) {
    struct Case {
        const char* what;
        Names stored;
        std::wstring doNotLoad;
        bool onlyAdded;
        Names initial, want;
    } cases[] = {
        {"stored, then the barred name, unsorted", {L"P1.CR2", L"P1.JPG"}, L"FA000001.JPG", false, {L"P1.JPG"},
         {L"P1.CR2", L"P1.JPG", L"FA000001.JPG"}},
        {"no barred name", {L"b", L"a"}, L"", false, {}, {L"b", L"a"}},
        {"with the first listing: sorted, once each", {L"P1.JPG"}, L"FA000001.JPG", true, {L"P1.JPG", L"P2.JPG"},
         {L"FA000001.JPG", L"P1.JPG", L"P2.JPG"}},
        {"letter case counts when sorting and removing", {L"p1.jpg", L"P1.JPG"}, L"", true, {L"P1.JPG"},
         {L"P1.JPG", L"p1.jpg"}},
        {"three equal names leave one", {L"A", L"A"}, L"A", true, {L"A"}, {L"A"}},
        {"names that sort after the old end mark are kept", {L"\xE4rger.jpg", L"P1.JPG", L"zzzzzz"}, L"", true,
         {L"P1.JPG", L"~x"}, {L"P1.JPG", L"zzzzzz", L"~x", L"\xE4rger.jpg"}},
        {"nothing at all", {}, L"", true, {}, {}},
    };
    for (auto& c : cases) EXPECT_EQ(card::NoTransferNames(c.stored, c.doNotLoad, c.onlyAdded, c.initial), c.want) << c.what;
}

TEST(NoTransfer, NeverLongerThanItsCapacity) {
    Names stored;
    for (int i = 0; i < 9000; i++) stored.push_back(L"P" + std::to_wstring(100000 + i) + L".JPG");
    bool full = false;
    Names got = card::NoTransferNames(stored, L"FA000001.JPG", true, {}, &full);
    EXPECT_TRUE(full);
    ASSERT_EQ(got.size(), card::kNoTransferCapacity);
    EXPECT_EQ(got.front(), L"FA000001.JPG");
    got = card::NoTransferNames(Names(stored.begin(), stored.begin() + 8191), L"FA000001.JPG", false, {}, &full);
    EXPECT_FALSE(full);
    EXPECT_EQ(got.size(), 8192u);
}

TEST(NoTransfer, MatchingIgnoresCase) {
    Names list = {L"p1.jpg", L"FA000001.JPG"};
    struct Case { const wchar_t* name; bool on; } cases[] = {
        {L"P1.JPG", true}, {L"p1.jpg", true}, {L"fa000001.jpg", true}, {L"P1.JP", false}, {L"P2.JPG", false}, {L"", false}};
    for (auto& c : cases) EXPECT_EQ(card::OnNoTransferList(list, c.name), c.on) << str::ToUtf8(c.name);
}

TEST(NoTransfer, BuiltFromTheStoreAndTheFirstListing) {
    testutil::FakeCardPort port;
    Store store;
    g_card.Config.TransferLoRes = L".jpg";
    g_card.Config.TransferHiRes = L".cr2";
    g_card.Config.DoNotLoad = L"FA000001.JPG";
    g_card.Config.TransferOnlyAddedFiles = true;
    store.Add(L"LoRes", L"P1.JPG");
    store.dir.MakeDir(L"LoRes\\sub.jpg");  // folders are no stored pictures

    EXPECT_EQ(TFA_Split(L"DIR", Listing({"P1.JPG", "P2.JPG"})), 2);
    EXPECT_EQ(g_card.NoTransferNames, (Names{L"FA000001.JPG", L"P1.JPG", L"P2.JPG"}));

    // A later picture is not in the snapshot, so it will be transferred.
    EXPECT_EQ(TFA_Split(L"DIR", Listing({"P1.JPG", "P2.JPG", "P3.JPG"})), 3);
    EXPECT_FALSE(card::OnNoTransferList(g_card.NoTransferNames, L"P3.JPG"));

    // A new camera folder takes a new snapshot.
    g_card.PathChanged = true;
    EXPECT_EQ(TFA_Split(L"DIR", Listing({"P3.JPG"})), 1);
    EXPECT_EQ(g_card.NoTransferNames, (Names{L"FA000001.JPG", L"P1.JPG", L"P3.JPG"}));
    EXPECT_FALSE(g_card.PathChanged);
}

TEST(NoTransfer, WithoutTheSnapshotOnlyStoredAndBarredNames) {
    testutil::FakeCardPort port;
    Store store;
    g_card.Config.TransferLoRes = L".jpg";
    g_card.Config.DoNotLoad = L"FA000001.JPG";
    g_card.Config.TransferOnlyAddedFiles = false;
    store.Add(L"HiRes", L"P1.CR2");
    store.Add(L"LoRes", L"P1.JPG");
    TFA_Split(L"DIR", Listing({"P1.JPG", "P2.JPG"}));
    EXPECT_EQ(g_card.NoTransferNames, (Names{L"P1.CR2", L"P1.JPG", L"FA000001.JPG"}));
    EXPECT_EQ(TFA_NoTransferList(), 3);

    g_card.Config.SourcePath = store.dir / L"missing";  // folders that cannot be listed add nothing
    EXPECT_EQ(TFA_NoTransferList(), 1);
}
