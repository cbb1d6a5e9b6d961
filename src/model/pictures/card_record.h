// What Wemlox keeps of one card between runs: the pictures it stored from
// the card and where, the pictures that were new and still wait, what the
// card held at its last visit, and how far the camera's clock is off the
// computer's. One small text file per card in
// the settings folder, replaced as a whole (a temporary file and a rename),
// bounded in size. No platform headers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "model/pictures/picture.h"

namespace model {

class CardRecord {
public:
    // Bounds: far more than a card holds at once; the oldest entries go first.
    static constexpr size_t kMaxWaiting = 10000;
    static constexpr size_t kMaxStored = 30000;
    // The entries' text together; the oldest stored entries go first, then
    // the oldest waiting ones. A record file is read up to kReadLimit, which
    // no record this program writes reaches.
    static constexpr size_t kMaxEntryBytes = size_t{8} << 20;
    // What the card held: at most kMaxHeld identities in kMaxHeldBytes of
    // lines; the folders listed longest ago go first.
    static constexpr size_t kMaxHeld = 30000;
    static constexpr size_t kMaxHeldBytes = size_t{4} << 20;
    static constexpr size_t kReadLimit = kMaxEntryBytes + kMaxHeldBytes + (size_t{64} << 10);
    // How many clock readings of pictures seen arriving are kept; the
    // smallest is the offset (a picture is listed after it was taken).
    static constexpr size_t kClockReadings = 8;
    // Readings beyond a century either way are taken as a century, so that
    // a card time set right by them stays a time.
    static constexpr int64_t kMaxClockOffsetNs = int64_t{100} * 366 * 86400 * 1000000000;

    // The record file of a card in `folder`: a readable part of the id, and
    // a hash of all of it (a card id may be any text the card sends, and
    // ids that differ in a space or a letter's case are other cards).
    static std::wstring FileFor(const std::wstring& folder, std::wstring_view cardId);

    // Reads the card's record from `folder` (empty when there is none; a
    // record of the earlier naming is taken over when it names this card).
    // A record file that is there and cannot be used (it cannot be read, is
    // too large, or names another card) holds nothing for this card and is
    // left as it is, never written over: the reason, for the journal. A file
    // that is no record at all holds nothing and is written over.
    std::optional<std::wstring> Open(const std::wstring& folder, std::wstring cardId);
    bool IsOpen() const { return !file_.empty(); }
    const std::wstring& CardId() const { return cardId_; }
    const std::wstring& File() const { return file_; }

    // Pictures that were new and are not stored yet.
    bool IsWaiting(const PictureId& id) const { return waiting_.count(id.Key()) > 0; }
    void Wait(const PictureId& id);
    void StopWaiting(const PictureId& id);
    // Drops the waiting pictures of `folder` that its listing no longer
    // shows (deleted on the camera, or grown into another identity).
    void KeepWaitingListed(std::wstring_view folder, const std::vector<PictureId>& listed);
    size_t WaitingCount() const { return waitingOrder_.size(); }
    std::vector<PictureId> Waiting() const;
    // The picture that waits last at this place on the card (PictureId::PlaceKey).
    std::optional<PictureId> LastWaitingAt(const std::wstring& placeKey) const;

    // Where the picture was stored: "LoRes\P1010001-2.JPG" below the store.
    std::optional<std::wstring> StoredAs(const PictureId& id) const;
    // Whose file it is ("LoRes\P1010001.JPG", ignoring case): the picture's
    // PictureId::Key, when this program stored it.
    std::optional<std::wstring> PictureOf(const std::wstring& file) const;
    // The picture stored last from this place on the card (PictureId::PlaceKey).
    std::optional<PictureId> LastStoredAt(const std::wstring& placeKey) const;
    void NoteStored(const PictureId& id, std::wstring file);
    size_t StoredCount() const { return storedOrder_.size(); }

    // What the card holds in a folder now: the listing's identities replace
    // those of the folder's last visit.
    void Held(std::wstring_view folder, const std::vector<PictureId>& listed);
    // True when the record knows what the card held somewhere (a record of
    // an earlier version knows nothing of it).
    bool KnowsHeld() const { return !held_.empty(); }
    // Whether the picture was listed at the last visit of its folder;
    // nothing when the folder was never listed (or was dropped).
    std::optional<bool> WasHeld(const PictureId& id) const;
    size_t HeldCount() const { return heldCount_; }

    // Computer clock minus camera clock, in ns, read for a picture seen
    // arriving (an upper bound: the picture was taken before it was listed);
    // kept within kMaxClockOffsetNs.
    void NoteClockReading(int64_t offsetNs);
    std::optional<int64_t> ClockOffset() const;

    bool Dirty() const { return dirty_; }
    // Writes the record if it changed; false when it cannot be written.
    [[nodiscard]] bool Save();

    // The record's text, and the record from a text (its card line becomes
    // CardId; false when the text is no record); what Parse read, Serialize
    // writes again.
    std::string Serialize() const;
    bool Parse(std::string_view text);

private:
    struct Entry {
        PictureId id;
        std::wstring file;  // stored entries only
        size_t bytes = 0;   // of its line
    };
    void Trim();
    // Forget a picture (its place in waitingOrder_ or storedOrder_ is the caller's).
    void DropWaiting(const std::wstring& key);
    void DropStored(const std::wstring& key);

    std::wstring file_, cardId_;
    bool kept_ = false;  // another's record, or one that cannot be read: never written
    std::unordered_map<std::wstring, Entry> waiting_, stored_;  // by PictureId::Key
    std::unordered_map<std::wstring, std::wstring> byFile_;     // fs::NameKey of the file -> Key, one per stored
    std::unordered_map<std::wstring, std::wstring> byPlace_;    // PlaceKey -> Key of the last stored
    std::unordered_map<std::wstring, std::wstring> waitingAt_;  // PlaceKey -> Key of the last waiting
    std::deque<std::wstring> waitingOrder_, storedOrder_;       // oldest first
    std::deque<int64_t> clock_;
    size_t bytes_ = 0;  // the entries' lines
    struct HeldFolder {
        std::vector<PictureId> ids;  // as listed, in the listing's order
        std::unordered_map<std::wstring, bool> keys;  // PictureId::Key
        size_t bytes = 0;
    };
    void AddHeld(HeldFolder& folder, const PictureId& id);
    void TrimHeld();
    std::unordered_map<std::wstring, HeldFolder> held_;  // by the folder's key
    std::deque<std::wstring> heldOrder_;  // folder keys, listed longest ago first
    size_t heldCount_ = 0, heldBytes_ = 0;
    bool dirty_ = false;
};

// The moment this program first kept pictures by identity, recorded once in
// `folder`: stored files older than that carry the download's time, not the
// card's. `now` when it cannot be recorded.
int64_t IdentitiesSince(const std::wstring& folder, int64_t now);

}  // namespace model
