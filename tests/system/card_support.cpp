// Card simulator process, HTTP client and tree reader for the system tests.
#include "card_support.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <commctrl.h>

#include <cstring>
#include <sstream>

#include "base/str.h"
#include "driver.h"

namespace cardtest {

namespace {

struct SocketsStarted {
    SocketsStarted() {
        WSADATA wsa;
        WSAStartup(MAKEWORD(2, 2), &wsa);
    }
};

// A connected TCP socket to a loopback address, closed on scope exit.
class Connection {
public:
    Connection(const std::wstring& address, int port) {
        static SocketsStarted started;
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        sa.sin_port = htons(static_cast<u_short>(port));
        if (InetPtonW(AF_INET, address.c_str(), &sa.sin_addr) != 1 || (ntohl(sa.sin_addr.s_addr) >> 24) != 127)
            return;  // tests talk to loopback only
        s_ = socket(AF_INET, SOCK_STREAM, 0);
        DWORD timeout = 15000;
        setsockopt(s_, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
        if (s_ != INVALID_SOCKET && connect(s_, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) {
            closesocket(s_);
            s_ = INVALID_SOCKET;
        }
    }
    ~Connection() {
        if (s_ != INVALID_SOCKET) closesocket(s_);
    }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    bool Open() const { return s_ != INVALID_SOCKET; }
    bool Send(const std::string& data) const {
        return send(s_, data.data(), static_cast<int>(data.size()), 0) == static_cast<int>(data.size());
    }
    std::string ReadAll() const {
        std::string all;
        char buf[4096];
        for (int n; (n = recv(s_, buf, sizeof buf, 0)) > 0;) all.append(buf, static_cast<size_t>(n));
        return all;
    }

private:
    SOCKET s_ = INVALID_SOCKET;
};

}  // namespace

Simulator::Simulator(std::wstring folder, std::wstring address, const std::wstring& extraArgs)
    : folder_(std::move(folder)), address_(std::move(address)) {
    driver::MakeDirs(folder_);
    std::wstring cmd = L"\"" + driver::TestBinDir() + L"card_simulator.exe\" --root \"" + folder_ + L"\" --address " +
                       address_ + L" --control-port " + std::to_wstring(kControlPort) + L" --lifetime 300 " + extraArgs;
    std::vector<wchar_t> line(cmd.begin(), cmd.end());
    line.push_back(0);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi))
        return;
    CloseHandle(pi.hThread);
    process_.reset(pi.hProcess);
    running_ = driver::WaitFor([&] { return Command("ping") == "ok\n"; }, 20000);
}

Simulator::~Simulator() {
    if (!process_) return;
    Command("quit");
    if (WaitForSingleObject(process_.get(), 5000) != WAIT_OBJECT_0) TerminateProcess(process_.get(), 1);
}

std::string Simulator::Command(const std::string& line) const {
    Connection c(address_, kControlPort);
    if (!c.Open() || !c.Send(line + "\n")) return {};
    return c.ReadAll();
}

std::vector<std::string> Simulator::Log() const {
    std::vector<std::string> lines;
    std::istringstream in(Command("log"));
    std::string l;
    std::getline(in, l);  // "ok"
    while (std::getline(in, l)) lines.push_back(l);
    return lines;
}

size_t Simulator::Count(const std::string& part) const {
    size_t n = 0;
    for (const std::string& l : Log()) n += l.find(part) != std::string::npos;
    return n;
}

HttpReply HttpGet(const std::wstring& address, const std::string& target) {
    HttpReply r;
    Connection c(address, 80);
    if (!c.Open() || !c.Send("GET " + target + " HTTP/1.1\r\nHost: card\r\n\r\n")) return r;
    r.connected = true;
    std::string all = c.ReadAll();
    size_t end = all.find("\r\n\r\n");
    r.head = all.substr(0, end);
    if (end != std::string::npos) r.body = all.substr(end + 4);
    return r;
}

std::vector<TreeItem> ReadTree(HWND tree) {
    std::vector<TreeItem> items;
    DWORD pid = 0;
    GetWindowThreadProcessId(tree, &pid);
    win::KernelHandle process(OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid));
    if (!process) return items;
    // The control fills a TVITEMW in its own process: lend it memory there.
    constexpr size_t kTextChars = 1024;
    auto* remote = static_cast<char*>(
        VirtualAllocEx(process.get(), nullptr, sizeof(TVITEMW) + kTextChars * sizeof(wchar_t), MEM_COMMIT, PAGE_READWRITE));
    if (!remote) return items;
    auto* remoteText = reinterpret_cast<wchar_t*>(remote + sizeof(TVITEMW));

    auto read = [&](HTREEITEM h, int level) {
        TVITEMW item{};
        item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_PARAM | TVIF_HANDLE;
        item.hItem = h;
        item.pszText = remoteText;
        item.cchTextMax = kTextChars;
        wchar_t text[kTextChars] = {};
        WriteProcessMemory(process.get(), remote, &item, sizeof item, nullptr);
        WriteProcessMemory(process.get(), remoteText, text, sizeof text, nullptr);
        SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(remote));
        ReadProcessMemory(process.get(), remote, &item, sizeof item, nullptr);
        ReadProcessMemory(process.get(), remoteText, text, sizeof text, nullptr);
        text[kTextChars - 1] = 0;
        items.push_back({level, text, item.iImage, item.lParam, h});
    };
    // Depth first, as the tree shows its items.
    std::vector<std::pair<HTREEITEM, int>> stack;
    for (HTREEITEM h = TreeView_GetRoot(tree); h; h = TreeView_GetNextSibling(tree, h)) stack.insert(stack.begin(), {h, 0});
    while (!stack.empty()) {
        auto [h, level] = stack.back();
        stack.pop_back();
        read(h, level);
        std::vector<std::pair<HTREEITEM, int>> children;
        for (HTREEITEM c = TreeView_GetChild(tree, h); c; c = TreeView_GetNextSibling(tree, c)) children.push_back({c, level + 1});
        stack.insert(stack.end(), children.rbegin(), children.rend());
    }
    VirtualFreeEx(process.get(), remote, 0, MEM_RELEASE);
    return items;
}

RECT TreeItemOnScreen(HWND tree, HTREEITEM item) {
    SendMessageW(tree, TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(item));
    // The control writes the rectangle in its own process.
    DWORD pid = 0;
    GetWindowThreadProcessId(tree, &pid);
    win::KernelHandle process(OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid));
    RECT rc{};
    void* remote = process ? VirtualAllocEx(process.get(), nullptr, sizeof rc, MEM_COMMIT, PAGE_READWRITE) : nullptr;
    if (!remote) return rc;
    std::memcpy(&rc, &item, sizeof item);  // the message takes the item in the rectangle's place
    WriteProcessMemory(process.get(), remote, &rc, sizeof rc, nullptr);
    LRESULT ok = SendMessageW(tree, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(remote));
    ReadProcessMemory(process.get(), remote, &rc, sizeof rc, nullptr);
    VirtualFreeEx(process.get(), remote, 0, MEM_RELEASE);
    if (!ok) return RECT{};
    MapWindowPoints(tree, nullptr, reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}

SilentHost::SilentHost(const std::wstring& address) : listener_(INVALID_SOCKET) {
    static SocketsStarted started;
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(80);
    if (InetPtonW(AF_INET, address.c_str(), &sa.sin_addr) != 1 || (ntohl(sa.sin_addr.s_addr) >> 24) != 127) return;
    SOCKET listener = socket(AF_INET, SOCK_STREAM, 0);
    listener_ = listener;
    if (bind(listener, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 || listen(listener, 1) != 0) return;
    for (int i = 0; i < 4; i++) {
        SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
        u_long nonBlocking = 1;
        ioctlsocket(s, FIONBIO, &nonBlocking);
        connect(s, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
        fillers_.push_back(s);
    }
    ok_ = true;
}

SilentHost::~SilentHost() {
    for (uintptr_t s : fillers_) closesocket(static_cast<SOCKET>(s));
    if (listener_ != INVALID_SOCKET) closesocket(static_cast<SOCKET>(listener_));
}

}  // namespace cardtest
