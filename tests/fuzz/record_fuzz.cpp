// Fuzz target: a card record of any bytes. What Parse read, Serialize
// writes again, and that reads back as itself; the record stays within its
// bounds whatever it was given.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "model/pictures/card_record.h"

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    model::CardRecord record;
    record.Parse(std::string_view(reinterpret_cast<const char*>(data), size));
    const std::string written = record.Serialize();
    Check(written.size() <= model::CardRecord::kReadLimit);
    Check(record.WaitingCount() <= model::CardRecord::kMaxWaiting);
    Check(record.StoredCount() <= model::CardRecord::kMaxStored);
    if (std::optional<int64_t> offset = record.ClockOffset())
        Check(*offset >= -model::CardRecord::kMaxClockOffsetNs && *offset <= model::CardRecord::kMaxClockOffsetNs);

    model::CardRecord again;
    again.Parse(written);
    Check(again.Serialize() == written);
    Check(again.CardId() == record.CardId() && again.ClockOffset() == record.ClockOffset());
    for (const model::PictureId& id : record.Waiting()) Check(again.IsWaiting(id));
    return 0;
}
