#include "model/bar/work_progress.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "base/str.h"

namespace model {

namespace {

std::wstring Megabytes(int64_t bytes) {
    wchar_t text[32];
    std::swprintf(text, 32, L"%.1f", static_cast<double>(bytes) / 1e6);
    return text;
}

// The next view the info button opens from `view`, skipping those turned off.
InfoView NextView(const TipFacts& f) {
    const bool offered[] = {true, f.showText, f.showTree, f.showThumbs};
    for (int v = static_cast<int>(f.view) + 1; v <= 3; v++)
        if (offered[v]) return static_cast<InfoView>(v);
    return InfoView::Closed;
}

}  // namespace

std::optional<double> ProgressFraction(const WorkProgress& p) {
    if (p.total <= 0) return std::nullopt;
    return std::clamp(static_cast<double>(p.done) / static_cast<double>(p.total), 0.0, 1.0);
}

int32_t ProgressFill(double fraction, int32_t width) {
    if (width <= 0 || !(fraction > 0)) return 0;
    return static_cast<int32_t>(std::lround(std::min(fraction, 1.0) * width));
}

std::wstring ProgressText(const WorkProgress& p) {
    auto counted = [&p](const wchar_t* what) {
        return what + str::FromInt(static_cast<int>(p.done)) + L" of " + str::FromInt(static_cast<int>(p.total));
    };
    switch (p.kind) {
    case WorkProgress::Kind::Download: {
        const std::optional<double> share = ProgressFraction(p);
        std::wstring percent = share ? L" (" + str::FromInt(static_cast<int>(*share * 100)) + L" %)" : L"";
        std::wstring text = p.name + L": " + Megabytes(p.done) + L" of " +
                            (p.total > 0 ? Megabytes(p.total) : std::wstring(L"?")) + L" MB" + percent;
        if (p.elapsedMs > 0) text += L", " + Megabytes(static_cast<int64_t>(p.done * 1000.0 / p.elapsedMs)) + L" MB/s";
        return text;
    }
    case WorkProgress::Kind::Walk: return counted(L"Reading the card's folders: ");
    case WorkProgress::Kind::Thumbnails: return counted(L"Fetching thumbnails: ");
    }
    return L"";
}

std::wstring ButtonTip(int button, const TipFacts& f) {
    switch (button) {
    case 1:
        if (f.view == InfoView::Thumbnails && f.picked > 0)
            return L"Copy the " + str::FromInt(f.picked) + (f.picked == 1 ? L" picked picture" : L" picked pictures") +
                   L" from the card to the storage folder";
        return L"Copy the picture to the selection";
    case 2: return L"Actual size";
    case 3: return L"Fit to the window";
    case 4: return L"Previous picture";
    case 5: return L"Next picture";
    case 6: {
        std::wstring tip = !f.cardAccess ? L"Card transfer is off" :
                           f.downloading ? L"Cancel the transfer" : L"Transfer new pictures from the card";
        if (f.work && f.work->elapsedMs >= kProgressAfterMs) tip += L"\n" + ProgressText(*f.work);
        return tip;
    }
    case 7:
        switch (f.view) {
        case InfoView::Journal: return L"Save the journal";
        case InfoView::Tree: return L"Read the card's folders again";
        case InfoView::Thumbnails: return L"Read the card's folders and thumbnails again";
        case InfoView::Closed: return f.taskbarVisible ? L"Hide the taskbar" : L"Show the taskbar";
        }
        return L"";
    case 8:
        switch (NextView(f)) {
        case InfoView::Journal: return L"Show the journal";
        case InfoView::Tree: return L"Show the card's folders";
        case InfoView::Thumbnails: return L"Show the thumbnails";
        case InfoView::Closed: return L"Close the info panel";
        }
        return L"";
    case 9: return L"Close the picture and end Wemlox";
    case 10: return L"Open the touch keyboard";
    case 11: return L"Minimise the bar";
    default: return L"";
    }
}

}  // namespace model
