#include "model/no_transfer.h"

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
    // Without a store folder: the barred name and the snapshot alone.
    card::CardFileRecord p1, p2;
    p1.Name = L"P1.JPG";
    p2.Name = L"p2.jpg";
    struct Case {
        const char* what;
        std::wstring doNotLoad;
        bool onlyAdded;
        Names on, off;
        int32_t count;
    } cases[] = {
        {"the barred name only", L"FA000001.JPG", false, {L"fa000001.jpg"}, {L"P1.JPG", L"P2.JPG", L""}, 1},
        {"with the first listing", L"FA000001.JPG", true, {L"FA000001.JPG", L"p1.jpg", L"P2.JPG"}, {L"P3.JPG"}, 3},
        {"the barred name in the listing counts once", L"P1.jpg", true, {L"P1.JPG"}, {L"FA000001.JPG"}, 2},
        {"nothing at all", L"", false, {}, {L"P1.JPG", L""}, 0},
    };
    for (auto& c : cases) {
        card::NoTransferList list;
        list.Configure(c.doNotLoad, c.onlyAdded);
        list.TakeSnapshotOnce({p1, p2});
        EXPECT_EQ(list.HasSnapshot(), c.onlyAdded) << c.what;
        for (auto& n : c.on) EXPECT_TRUE(list.Contains(n)) << c.what << " " << str::ToUtf8(n);
        for (auto& n : c.off) EXPECT_FALSE(list.Contains(n)) << c.what << " " << str::ToUtf8(n);
        EXPECT_EQ(list.Count(), c.count) << c.what;
    }

    // The snapshot is kept until the camera folder changes.
    card::NoTransferList list;
    list.Configure(L"", true);
    list.TakeSnapshotOnce({p1});
    list.TakeSnapshotOnce({p2});
    EXPECT_FALSE(list.Contains(L"P2.JPG"));
    list.ForgetSnapshot();
    EXPECT_FALSE(list.Contains(L"P1.JPG"));
    list.TakeSnapshotOnce({p2});
    EXPECT_TRUE(list.Contains(L"P2.JPG"));
    list.Configure(L"", false);  // switched off: the snapshot bars nothing
    EXPECT_FALSE(list.Contains(L"P2.JPG"));
    EXPECT_EQ(list.Count(), 0);
}

TEST(NoTransfer, HoldsEveryStoredNameAndOnlyWhatIsStored) {
    Store store;
    for (int i = 0; i < 40; i++) store.Add(L"HiRes", L"P" + std::to_wstring(100000 + i) + L".CR2");
    store.Add(L"LoRes", L"P1.JPG");
    store.Add(L"HiRes", L"p1.jpg");  // the same name in both folders
    store.Add(L"LoRes", L"\xC4rger.JPG");
    store.dir.Write(L"LoRes\\EMPTY.JPG", "");  // a failed copy counts as missing
    store.dir.MakeDir(L"LoRes\\sub.jpg");      // folders are no stored pictures
    card::StoreIndex index;
    EXPECT_TRUE(index.Refresh(store.dir.path()));
    EXPECT_EQ(index.Size(), 42u);
    for (const wchar_t* name : {L"P100000.CR2", L"p100039.cr2", L"P1.JPG", L"\xE4RGER.jpg"}) EXPECT_TRUE(index.Contains(name)) << str::ToUtf8(name);
    for (const wchar_t* name : {L"P100040.CR2", L"EMPTY.JPG", L"sub.jpg", L""}) EXPECT_FALSE(index.Contains(name)) << str::ToUtf8(name);

    // Far more than the 8,192 names the list once held: months of shooting.
    card::NameSet names;
    for (int i = 0; i < 100000; i++) names.Insert(L"P" + std::to_wstring(1000000 + i) + L".CR2");
    EXPECT_EQ(names.Size(), 100000u);
    EXPECT_FALSE(names.Insert(L"p1099999.cr2"));
    EXPECT_TRUE(names.Contains(L"p1000000.Cr2"));
    EXPECT_FALSE(names.Contains(L"P1100000.CR2"));
}

TEST(NoTransfer, TheStoreIsListedAgainOnlyWhenItChanged) {
    Store store;
    store.Add(L"LoRes", L"P1.JPG");
    const std::wstring source = store.dir.path();
    // Both folders a day old, so the times given below are what counts.
    const int64_t second = 1000000000;
    const int64_t stamp = fs::Now() - 86400 * second;
    auto setStamp = [&](int64_t t) {
        ASSERT_TRUE(fs::SetLastWriteTime(store.dir / L"LoRes", t));
        ASSERT_TRUE(fs::SetLastWriteTime(store.dir / L"HiRes", t));
    };
    setStamp(stamp);

    card::StoreIndex index;
    EXPECT_TRUE(index.Refresh(source, stamp + 10 * second));
    EXPECT_FALSE(index.Refresh(source, stamp + 11 * second));  // nothing changed: nothing listed
    EXPECT_TRUE(index.Contains(L"P1.JPG"));

    // A picture the program stores is known at once; its folder moved, so
    // the next refresh lists it again.
    store.Add(L"LoRes", L"P2.JPG");
    index.NoteStored(L"P2.JPG");
    EXPECT_TRUE(index.Contains(L"P2.JPG"));
    EXPECT_EQ(index.Size(), 2u);
    EXPECT_TRUE(index.Refresh(source));
    EXPECT_TRUE(index.Contains(L"P2.JPG"));

    // A stamp as recent as its file system's step is not trusted: a change
    // in the same step keeps it, so the folder is listed until it is old.
    setStamp(stamp);
    EXPECT_TRUE(index.Refresh(source, stamp + second));
    store.Add(L"LoRes", L"P3.JPG");
    setStamp(stamp);
    EXPECT_TRUE(index.Refresh(source, stamp + 2 * second));
    EXPECT_TRUE(index.Contains(L"P3.JPG"));
    EXPECT_TRUE(index.Refresh(source, stamp + 10 * second));
    EXPECT_FALSE(index.Refresh(source, stamp + 20 * second));

    // A name noted but not stored is gone after the next listing; removed
    // pictures too.
    index.NoteStored(L"P9.JPG");
    (void)fs::DeleteFileAt(store.dir / L"LoRes\\P1.JPG");
    EXPECT_TRUE(index.Refresh(source));
    EXPECT_FALSE(index.Contains(L"P9.JPG"));
    EXPECT_FALSE(index.Contains(L"P1.JPG"));
    EXPECT_EQ(index.Size(), 2u);

    // Another store, and a store that is missing, are listed at once.
    Store other;
    other.Add(L"HiRes", L"X.CR2");
    EXPECT_TRUE(index.Refresh(other.dir.path(), stamp + 20 * second));
    EXPECT_TRUE(index.Contains(L"X.CR2"));
    EXPECT_FALSE(index.Contains(L"P2.JPG"));
    EXPECT_TRUE(index.Refresh(other.dir / L"missing"));
    EXPECT_FALSE(index.Refresh(other.dir / L"missing"));
    EXPECT_EQ(index.Size(), 0u);
}

TEST(NoTransfer, BuiltFromTheStoreAndTheFirstListing) {
    testutil::FakeCardPort port;
    card::Session& session = port.session;
    Store store;
    session.Config.SourcePath = store.dir.path();
    session.Config.TransferLoRes = L".jpg";
    session.Config.TransferHiRes = L".cr2";
    session.Config.DoNotLoad = L"FA000001.JPG";
    session.Config.TransferOnlyAddedFiles = true;
    store.Add(L"LoRes", L"P1.JPG");
    store.dir.MakeDir(L"LoRes\\sub.jpg");  // folders are no stored pictures

    EXPECT_EQ(session.Split(L"DIR", Listing({"P1.JPG", "P2.JPG"})), 2);
    EXPECT_EQ(session.NoTransferList(), 3);  // FA000001.JPG, P1.JPG, P2.JPG
    for (const wchar_t* name : {L"FA000001.JPG", L"P1.JPG", L"P2.JPG"}) EXPECT_TRUE(session.NoTransfer.Contains(name));

    // A later picture is not in the snapshot, so it will be transferred.
    EXPECT_EQ(session.Split(L"DIR", Listing({"P1.JPG", "P2.JPG", "P3.JPG"})), 3);
    EXPECT_FALSE(session.NoTransfer.Contains(L"P3.JPG"));

    // A new camera folder takes a new snapshot.
    session.PathChanged = true;
    EXPECT_EQ(session.Split(L"DIR", Listing({"P3.JPG"})), 1);
    EXPECT_TRUE(session.NoTransfer.Contains(L"P3.JPG"));
    EXPECT_FALSE(session.NoTransfer.Contains(L"P2.JPG"));
    EXPECT_EQ(session.NoTransferList(), 3);  // FA000001.JPG, P1.JPG, P3.JPG
    EXPECT_FALSE(session.PathChanged);
}

TEST(NoTransfer, WithoutTheSnapshotOnlyStoredAndBarredNames) {
    testutil::FakeCardPort port;
    card::Session& session = port.session;
    Store store;
    session.Config.SourcePath = store.dir.path();
    session.Config.TransferLoRes = L".jpg";
    session.Config.DoNotLoad = L"FA000001.JPG";
    session.Config.TransferOnlyAddedFiles = false;
    store.Add(L"HiRes", L"P1.CR2");
    store.Add(L"LoRes", L"P1.JPG");
    session.Split(L"DIR", Listing({"P1.JPG", "P2.JPG"}));
    EXPECT_EQ(session.NoTransferList(), 3);  // P1.CR2, P1.JPG, FA000001.JPG
    EXPECT_FALSE(session.NoTransfer.Contains(L"P2.JPG"));

    session.Config.SourcePath = store.dir / L"missing";  // folders that cannot be listed add nothing
    EXPECT_EQ(session.NoTransferList(), 1);
}
