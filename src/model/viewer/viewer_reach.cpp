// The rights rule and the refusal lines.
#include "model/viewer/viewer_reach.h"

namespace model {

bool InputBlockedByRights(const ProcessRights& own, const ProcessRights& viewer) {
    if (own.uiAccess || !own.integrity || !viewer.integrity) return false;
    return *viewer.integrity > *own.integrity;
}

std::wstring RefusalLine(ViewerRefusal why, std::wstring_view viewerId) {
    const std::wstring viewer = L"the viewer (" + std::wstring(viewerId) + L")";
    switch (why) {
    case ViewerRefusal::NotBroughtForward:
        return L"Keys not sent, " + viewer + L" could not be brought to the front";
    case ViewerRefusal::KeyboardLost:
        return L"Keys stopped, another program took the keyboard from " + viewer;
    case ViewerRefusal::NotAnswering:
        return L"Nothing sent, " + viewer + L" does not answer";
    case ViewerRefusal::HigherRights:
        return L"Windows blocks Wemlox's keys to " + viewer +
               L": it runs with higher rights (started as administrator). Start both the same way";
    }
    return L"";
}

}  // namespace model
