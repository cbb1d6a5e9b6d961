// Several cards on one bar.
#include "model/bar/card_states.h"

#include <algorithm>

namespace model {

std::wstring CardName(const CardState& card) { return card.ssid.empty() ? card.entry : card.ssid; }

std::wstring CardLine(const std::vector<CardState>& cards, size_t card, const std::wstring& text) {
    if (cards.size() < 2 || card >= cards.size()) return text;
    return L"[" + CardName(cards[card]) + L"] " + text;
}

bool CardSays(std::vector<CardState>& cards, size_t card, const std::wstring& text) {
    if (card >= cards.size()) return true;
    if (cards[card].said == text) return false;
    cards[card].said = text;
    return true;
}

Lamp JoinedLamp(const std::vector<CardState>& cards, bool inboxTrouble, Lamp asked) {
    auto any = [&cards](Lamp l) {
        return std::any_of(cards.begin(), cards.end(), [l](const CardState& c) { return c.answer == l; });
    };
    if (asked == Lamp::Red || inboxTrouble || any(Lamp::Red)) return Lamp::Red;
    if (asked == Lamp::Green && any(Lamp::Yellow)) return Lamp::Yellow;
    return asked;
}

std::wstring CardsTip(const std::vector<CardState>& cards) {
    if (cards.size() < 2) return L"";
    std::wstring tip;
    for (const CardState& c : cards) {
        tip += L"\n" + CardName(c) + (c.host.empty() ? L"" : L" (" + c.host + L")") + L": ";
        tip += c.answer == Lamp::Green ? L"answers" : c.answer == Lamp::Red ? L"does not answer" : L"not found yet";
    }
    return tip;
}

}  // namespace model
