// Helpers of the card system tests: the card simulator started as a process
// of its own and steered over its control port, plain HTTP requests to it,
// and reading the card tree of the running program.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "win/handle.h"

namespace cardtest {

constexpr int kControlPort = 8080;

// A card simulator serving `folder` at address:80 (a loopback address) for
// as long as the object lives (and never longer than its own lifetime).
class Simulator {
public:
    Simulator(std::wstring folder, std::wstring address, const std::wstring& extraArgs = L"");
    ~Simulator();
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    bool Running() const { return running_; }
    const std::wstring& Folder() const { return folder_; }
    const std::wstring& Address() const { return address_; }

    // One control command; the whole reply ("ok..." or "error ...").
    std::string Command(const std::string& line) const;
    // Request targets in the order the card received them.
    std::vector<std::string> Log() const;
    // Requests whose target contains `part`.
    size_t Count(const std::string& part) const;

private:
    std::wstring folder_, address_;
    win::KernelHandle process_;
    bool running_ = false;
};

// A host that takes no connection: the accept queue of a listener that never
// accepts is filled, so further connection attempts get no answer, as with a
// card that has gone to sleep with the camera. Port 80 of a loopback address.
class SilentHost {
public:
    explicit SilentHost(const std::wstring& address);
    ~SilentHost();
    SilentHost(const SilentHost&) = delete;
    SilentHost& operator=(const SilentHost&) = delete;
    bool Ok() const { return ok_; }

private:
    uintptr_t listener_;
    std::vector<uintptr_t> fillers_;
    bool ok_ = false;
};

struct HttpReply {
    bool connected = false;
    std::string head, body;
};
// GET of a target from address:80, reading until the server closes.
HttpReply HttpGet(const std::wstring& address, const std::string& target);

// One item of a tree control: its depth (0 for top items), text, image and data.
struct TreeItem {
    int level = 0;
    std::wstring text;
    int image = 0;
    LPARAM data = 0;
    HTREEITEM handle = nullptr;
};
// Every item of another process's tree control, in display order.
std::vector<TreeItem> ReadTree(HWND tree);
// The item's text rectangle on screen, scrolled into view; empty when the
// item is not shown.
RECT TreeItemOnScreen(HWND tree, HTREEITEM item);

}  // namespace cardtest
