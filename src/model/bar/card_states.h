// What the bar shows of several cards at once: which card a journal line
// is about, button 6's lower lamp for all of them together and the
// tooltip's line per card.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "model/bar/work_progress.h"
#include "model/common/info_logic.h"

namespace model {

// One configured card as the bar knows it.
struct CardState {
    std::wstring entry;       // its [TFA] Url entry
    std::wstring ssid, host;  // its network name and address, once found
    Lamp answer = Lamp::Yellow;  // its last lower lamp: Green answers, Red does not, Yellow not found yet
    std::optional<WorkProgress> work;  // its long work running now
    std::wstring said;  // its last journal text
};

// The card's name for the user: its network name once found, else its entry.
std::wstring CardName(const CardState& card);
// A journal line about the card: with several cards it names the card.
std::wstring CardLine(const std::vector<CardState>& cards, size_t card, const std::wstring& text);
// Whether the card's text goes into the journal: not when it is the card's
// last one again (the journal drops a line said twice in a row, and other
// cards' lines in between must not let a card's repeats through).
bool CardSays(std::vector<CardState>& cards, size_t card, const std::wstring& text);
// Button 6's lower lamp for `asked` (what one card or inbox just painted):
// green only while every card answers and no inbox is in trouble, red while
// one of them is, yellow while a card is not found yet.
Lamp JoinedLamp(const std::vector<CardState>& cards, bool inboxTrouble, Lamp asked);
// The tooltip's lines, one per card with its state; none for a single card.
std::wstring CardsTip(const std::vector<CardState>& cards);

}  // namespace model
