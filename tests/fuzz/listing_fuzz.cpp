// Fuzz target: card answers of any bytes through every parser of card
// listings (candidates, the walk, the tree order), the address ranges and
// the name rules. Aborts when a list breaks its own rules.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "base/str.h"
#include "model/bar/tree_order.h"
#include "model/card/address_range.h"
#include "model/pictures/card_list.h"
#include "model/pictures/card_text.h"

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

// The input's pieces between "\n--\n" separators: the walk's n-th listing
// answers with piece n, later ones with nothing; a piece "X" cannot be opened.
std::vector<std::string_view> Pieces(std::string_view input) {
    std::vector<std::string_view> pieces;
    for (size_t start = 0;;) {
        size_t sep = input.find("\n--\n", start);
        pieces.push_back(input.substr(start, sep == std::string_view::npos ? std::string_view::npos : sep - start));
        if (sep == std::string_view::npos) return pieces;
        start = sep + 4;
    }
}

void CheckWalk(const model::CardLists& lists) {
    Check(lists.CardDirectories.size() + lists.CardFiles.size() <= lists.CardRecords.size());
    for (size_t i = 0; i < lists.CardRecords.size(); i++) {
        Check(lists.CardRecords[i].Index == static_cast<int32_t>(i + 1));
        Check(model::IsSafeLocalName(lists.CardRecords[i].Name));
        Check(model::IsSafeCardFolder(lists.CardRecords[i].Directory));
    }
    for (const model::CardFileEntry& f : lists.CardFiles) {
        const model::CardFileRecord* r = lists.Record(f.RecordIndex);
        Check(r && r->Size > 0 && r->Name == f.Name && f.FullPath == f.Directory + L"/" + f.Name);
    }
}

// A percent-encoded path holds nothing that could end or split a query
// value, and decodes to the bytes it was made from.
void CheckEncoding(std::string_view bytes) {
    std::string encoded = model::PercentEncode(bytes), decoded;
    auto hex = [](char c) { return (c >= '0' && c <= '9') ? c - '0' : (c >= 'A' && c <= 'F') ? c - 'A' + 10 : -1; };
    for (size_t i = 0; i < encoded.size(); i++) {
        char c = encoded[i];
        Check(c > 0x20 && c < 0x7F && c != '&' && c != '#' && c != '?' && c != '+' && c != '=');
        if (c != '%') {
            decoded.push_back(c);
            continue;
        }
        Check(i + 2 < encoded.size() && hex(encoded[i + 1]) >= 0 && hex(encoded[i + 2]) >= 0);
        decoded.push_back(static_cast<char>(hex(encoded[i + 1]) * 16 + hex(encoded[i + 2])));
        i += 2;
    }
    Check(decoded == bytes);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    auto quiet = [](const std::wstring&) {};

    std::vector<model::CardFileRecord> candidates = model::ListingCandidates(input, L".rw2", L".jpg", quiet);
    for (const auto& c : candidates) Check(model::IsSafeLocalName(c.Name));

    std::vector<std::string_view> pieces = Pieces(input);
    size_t asked = 0;
    model::CardLists lists;
    model::ExamineTree(
        "/",
        [&](const std::string&) -> std::optional<std::string> {
            std::string_view piece = asked < pieces.size() ? pieces[asked] : std::string_view();
            asked++;
            if (piece == "X") return std::nullopt;
            return std::string(piece);
        },
        lists, quiet);
    CheckWalk(lists);
    // Every folder is asked for once at most; the root is asked first.
    Check(asked <= lists.CardDirectories.size() + 1);

    model::SortForTree(lists.CardDirectories, lists.CardFiles);
    std::vector<model::TreeRow> rows = model::TreeRows(lists.CardDirectories, lists.CardFiles);
    Check(rows.size() <= lists.CardDirectories.size() * (lists.CardFiles.size() + 1));

    std::wstring text = str::FromUtf8(input.substr(0, 64));
    if (auto sweep = model::SweepOf(text)) Check(1 <= sweep->lower && sweep->lower <= sweep->upper && sweep->upper <= 254);
    CheckEncoding(input.substr(0, 256));

    if (auto ssid = model::SsidFromAnswer(input)) Check(!ssid->empty() && input.size() <= model::kSsidMaxBytes + 2);
    if (auto next = model::NextCameraFolder(str::FromUtf8(input.substr(0, 32)), lists.CardRecords))
        Check(model::IsSafeCardFolder(*next));
    return 0;
}
