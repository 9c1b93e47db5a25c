// user: window classes, the one window, the message queue and dispatch, message boxes,
// metrics and the cursor.
#include <cstdio>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <windows.h>

#include "text_engine.h"
#include "faults.h"
#include "host.h"
#include "run_options.h"
#include "trace.h"
#include "user_internal.h"
#include "wide_text.h"

namespace {

// Our window frame: a thin border, a caption bar and a menu-bar's height above the client area,
// and a small inner margin. The client area is exactly where a 320×240 picture placed by these
// metrics lands, so a windowed game fills it.
constexpr int kBorder = 1;
constexpr int kCaption = 19;
constexpr int kMenuSize = 19;
constexpr int kInnerLeft = 2;
constexpr int kInnerTop = 3;
// Where CW_USEDEFAULT puts a window.
constexpr int kDefaultX = 26;
constexpr int kDefaultY = 26;

struct WindowClass {
    WNDPROC proc;
    UINT style;
};

struct Window {
    HWND handle;
    WNDPROC proc;
    DWORD style;
    RECT rect;
    bool visible;
    std::string title;
};

struct UserState {
    std::map<std::string, WindowClass> classes;
    std::vector<std::unique_ptr<Window>> windows;
    std::deque<MSG> queue;
    int screenWidth = 0;  // 0: no display mode set, the host's desktop is the screen
    int screenHeight = 0;
    bool cursorHidden = false;
};

UserState& State() {
    static UserState state;
    return state;
}

Window* FindWindow(HWND hWnd) {
    if (hWnd == nullptr) return nullptr;
    for (auto& window : State().windows) {
        if (window->handle == hWnd) return window.get();
    }
    return nullptr;
}

// The window that keyboard input goes to: the last live window created.
Window* FocusWindow() {
    auto& windows = State().windows;
    return windows.empty() ? nullptr : windows.back().get();
}

std::string ClientRectText(const Window& w) {
    return std::to_string(w.rect.left) + "," + std::to_string(w.rect.top);
}

void TellHost(const Window& w) {
    host::Current().WindowChanged(w.visible, platform::text::Cp932ToUtf8(w.title));
}

LRESULT Send(Window* w, UINT message, WPARAM wParam, LPARAM lParam) {
    if (w == nullptr || w->proc == nullptr) return 0;
    return w->proc(w->handle, message, wParam, lParam);
}

LPARAM PackPoint(LONG x, LONG y) {
    return static_cast<LPARAM>((static_cast<DWORD>(y & 0xFFFF) << 16) | (x & 0xFFFF));
}

void SendMove(Window* w) {
    RECT client{};
    platform::WindowClientRect(w->handle, &client);
    Send(w, WM_MOVE, 0, PackPoint(client.left, client.top));
}

// Moves what the host has to say into the queue. Mouse movement is a sent message, not queued.
void CollectHostInput() {
    host::InputEvent event;
    while (host::Current().NextEvent(event)) {
        Window* target = FocusWindow();
        MSG msg{};
        msg.hwnd = target ? target->handle : nullptr;
        msg.wParam = event.virtualKey;
        msg.time = host::Current().Milliseconds();
        switch (event.kind) {
            case host::InputEvent::Kind::KeyDown:
                msg.message = WM_KEYDOWN;
                break;
            case host::InputEvent::Kind::KeyUp:
                msg.message = WM_KEYUP;
                msg.lParam = static_cast<LPARAM>(0xC0000001u);
                break;
            case host::InputEvent::Kind::SysKeyDown:
                msg.message = WM_SYSKEYDOWN;
                msg.lParam = static_cast<LPARAM>(0x20000001u);
                break;
            case host::InputEvent::Kind::SysKeyUp:
                msg.message = WM_SYSKEYUP;
                msg.lParam = static_cast<LPARAM>(0xE0000001u);
                break;
            case host::InputEvent::Kind::Close:
                msg.message = WM_CLOSE;
                msg.wParam = 0;
                break;
            case host::InputEvent::Kind::Quit:
                msg.message = WM_QUIT;
                msg.hwnd = nullptr;
                msg.wParam = 0;
                break;
            case host::InputEvent::Kind::MouseOver:
                if (target) Send(target, WM_SETCURSOR, reinterpret_cast<WPARAM>(target->handle), 1);
                continue;
        }
        if (msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN) msg.lParam |= 1;
        State().queue.push_back(msg);
    }
}

bool Matches(const MSG& msg, HWND hWnd, UINT low, UINT high) {
    if (hWnd != nullptr && msg.hwnd != hWnd && msg.message != WM_QUIT) return false;
    if (low == 0 && high == 0) return true;
    return msg.message >= low && msg.message <= high;
}

// Finds the first queued message the filter accepts.
std::deque<MSG>::iterator FindMessage(HWND hWnd, UINT low, UINT high) {
    auto& queue = State().queue;
    for (auto it = queue.begin(); it != queue.end(); ++it) {
        if (Matches(*it, hWnd, low, high)) return it;
    }
    return queue.end();
}

}  // namespace

namespace platform {

void ResetUserForTests() {
    State() = UserState{};
}

bool IsLiveWindow(HWND hWnd) {
    return FindWindow(hWnd) != nullptr;
}

bool WindowClientRect(HWND hWnd, RECT* client) {
    Window* w = FindWindow(hWnd);
    if (w == nullptr || client == nullptr) return false;
    client->left = w->rect.left + kBorder + kInnerLeft;
    client->top = w->rect.top + kBorder + kCaption + kMenuSize + kInnerTop;
    client->right = w->rect.right - kBorder - kInnerLeft;
    client->bottom = w->rect.bottom - kBorder - kInnerLeft;
    if (client->right < client->left) client->right = client->left;
    if (client->bottom < client->top) client->bottom = client->top;
    return true;
}

void ScreenSize(int& width, int& height) {
    if (State().screenWidth > 0) {
        width = State().screenWidth;
        height = State().screenHeight;
    } else {
        host::Current().DesktopSize(width, height);
    }
}

void SetScreenMode(int width, int height) {
    State().screenWidth = width;
    State().screenHeight = height;
}

}  // namespace platform

ATOM WINAPI RegisterClassA(CONST WNDCLASSA* wc) {
    if (platform::ShouldFail("RegisterClassA") || wc == nullptr || wc->lpszClassName == nullptr ||
        wc->lpfnWndProc == nullptr) {
        return 0;
    }
    auto& classes = State().classes;
    if (classes.count(wc->lpszClassName) != 0) return 0;  // ERROR_CLASS_ALREADY_EXISTS
    classes[wc->lpszClassName] = WindowClass{wc->lpfnWndProc, wc->style};
    platform::Trace(std::string("RegisterClassA ") + wc->lpszClassName);
    return static_cast<ATOM>(0xC000 + classes.size());
}

HWND WINAPI CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x,
                            int y, int width, int height, HWND parent, HMENU menu,
                            HINSTANCE instance, LPVOID param) {
    (void)exStyle, (void)parent, (void)menu, (void)instance, (void)param;
    if (platform::ShouldFail("CreateWindowExA") || className == nullptr) return nullptr;
    auto found = State().classes.find(className);
    if (found == State().classes.end()) return nullptr;
    if (x == CW_USEDEFAULT) {
        x = kDefaultX;
        y = kDefaultY;
    }
    if (width == CW_USEDEFAULT) width = 640, height = 480;
    if (width < 0) width = 0;
    if (height < 0) height = 0;

    auto window = std::make_unique<Window>();
    static std::uintptr_t nextHandle = 0x10010;
    window->handle = reinterpret_cast<HWND>(nextHandle);
    nextHandle += 0x10;
    window->proc = found->second.proc;
    window->style = style;
    window->rect = RECT{x, y, x + width, y + height};
    window->visible = false;
    window->title = windowName ? windowName : "";
    Window* w = window.get();
    State().windows.push_back(std::move(window));
    platform::Trace("CreateWindowExA " + std::string(className) + " " + ClientRectText(*w));

    TellHost(*w);
    Send(w, WM_CREATE, 0, 0);
    SendMove(w);
    if (style & WS_VISIBLE) ShowWindow(w->handle, SW_SHOW);
    return w->handle;
}

BOOL WINAPI SetWindowTextA(HWND hWnd, LPCSTR lpString) {
    Window* w = FindWindow(hWnd);
    if (w == nullptr) return FALSE;
    w->title = lpString ? lpString : "";
    platform::Trace("SetWindowTextA " + platform::text::Cp932ToUtf8(w->title));
    TellHost(*w);
    return TRUE;
}

BOOL WINAPI ShowWindow(HWND hWnd, int nCmdShow) {
    Window* w = FindWindow(hWnd);
    if (w == nullptr) return FALSE;
    BOOL wasVisible = w->visible ? TRUE : FALSE;
    bool show = nCmdShow != SW_HIDE;
    if (show != w->visible) {
        w->visible = show;
        Send(w, WM_SHOWWINDOW, show ? TRUE : FALSE, 0);
        TellHost(*w);
    }
    SendMove(w);
    if (show) Send(w, WM_SETCURSOR, reinterpret_cast<WPARAM>(w->handle), 1);
    return wasVisible;
}

BOOL WINAPI UpdateWindow(HWND hWnd) {
    return FindWindow(hWnd) ? TRUE : FALSE;
}

BOOL WINAPI DestroyWindow(HWND hWnd) {
    Window* w = FindWindow(hWnd);
    if (w == nullptr) return FALSE;
    Send(w, WM_DESTROY, 0, 0);
    auto& windows = State().windows;
    for (auto it = windows.begin(); it != windows.end(); ++it) {
        if (it->get() == w) {
            windows.erase(it);
            break;
        }
    }
    return TRUE;
}

LRESULT WINAPI DefWindowProcA(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    (void)lParam;
    switch (msg) {
        case WM_CLOSE:
            DestroyWindow(hWnd);
            return 0;
        case WM_SYSKEYDOWN:
            // Alt+F4 asks the window to close, as the system menu would.
            if (wParam == 0x73) SendMessageA(hWnd, WM_CLOSE, 0, 0);
            return 0;
        default:
            return 0;
    }
}

void WINAPI PostQuitMessage(int exitCode) {
    MSG msg{};
    msg.message = WM_QUIT;
    msg.wParam = static_cast<WPARAM>(exitCode);
    State().queue.push_back(msg);
}

BOOL WINAPI PostMessageA(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (hWnd != nullptr && FindWindow(hWnd) == nullptr) return FALSE;
    MSG msg{};
    msg.hwnd = hWnd;
    msg.message = message;
    msg.wParam = wParam;
    msg.lParam = lParam;
    State().queue.push_back(msg);
    return TRUE;
}

LRESULT WINAPI SendMessageA(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return Send(FindWindow(hWnd), message, wParam, lParam);
}

BOOL WINAPI PeekMessageA(LPMSG msg, HWND hWnd, UINT low, UINT high, UINT remove) {
    if (msg == nullptr) return FALSE;
    CollectHostInput();
    auto found = FindMessage(hWnd, low, high);
    if (found == State().queue.end()) {
        host::Current().Idle();
        return FALSE;
    }
    *msg = *found;
    if (remove & PM_REMOVE) State().queue.erase(found);
    return TRUE;
}

BOOL WINAPI GetMessageA(LPMSG msg, HWND hWnd, UINT low, UINT high) {
    if (msg == nullptr) return -1;
    for (;;) {
        CollectHostInput();
        auto found = FindMessage(hWnd, low, high);
        if (found != State().queue.end()) {
            *msg = *found;
            State().queue.erase(found);
            return msg->message == WM_QUIT ? FALSE : TRUE;
        }
        host::Current().Idle();
    }
}

BOOL WINAPI TranslateMessage(CONST MSG* msg) {
    // No character messages: nothing in the program reads them.
    return msg != nullptr && (msg->message == WM_KEYDOWN || msg->message == WM_SYSKEYDOWN);
}

LRESULT WINAPI DispatchMessageA(CONST MSG* msg) {
    if (msg == nullptr) return 0;
    return Send(FindWindow(msg->hwnd), msg->message, msg->wParam, msg->lParam);
}

int WINAPI MessageBoxA(HWND hWnd, LPCSTR text, LPCSTR caption, UINT type) {
    (void)hWnd, (void)type;
    std::string captionUtf8 = platform::text::Cp932ToUtf8(caption ? caption : "Error");
    std::string textUtf8 = platform::text::Cp932ToUtf8(text ? text : "");
    platform::Trace("MessageBoxA " + captionUtf8 + ": " + textUtf8);
    // The game's text as it is, then what the platform knows that the player needs to act.
    if (const std::string note = host::NoteForMessage(textUtf8); !note.empty()) {
        if (!textUtf8.empty() && textUtf8.back() != '\n') textUtf8 += '\n';
        textUtf8 += note;
    }
    host::Current().MessageBox(captionUtf8, textUtf8);
    return IDOK;
}

int WINAPI MessageBoxW(HWND hWnd, LPCWSTR text, LPCWSTR caption, UINT type) {
    (void)hWnd, (void)type;
    const std::string captionUtf8 = api::Utf8FromWide(caption ? caption : L"Error");
    const std::string textUtf8 = api::Utf8FromWide(text ? text : L"");
    platform::Trace("MessageBoxW " + captionUtf8 + ": " + textUtf8);
    host::Current().MessageBox(captionUtf8, textUtf8);
    return IDOK;
}

int WINAPI GetSystemMetrics(int index) {
    int width = 0, height = 0;
    switch (index) {
        case SM_CXSCREEN:
            platform::ScreenSize(width, height);
            return width;
        case SM_CYSCREEN:
            platform::ScreenSize(width, height);
            return height;
        case SM_CXBORDER:
        case SM_CYBORDER:
            return kBorder;
        case SM_CYCAPTION:
            return kCaption;
        case SM_CYMENUSIZE:
            return kMenuSize;
        default:
            return 0;
    }
}

BOOL WINAPI GetWindowRect(HWND hWnd, LPRECT rect) {
    Window* w = FindWindow(hWnd);
    if (w == nullptr || rect == nullptr) return FALSE;
    *rect = w->rect;
    return TRUE;
}

BOOL WINAPI GetClientRect(HWND hWnd, LPRECT rect) {
    RECT client{};
    if (rect == nullptr || !platform::WindowClientRect(hWnd, &client)) return FALSE;
    *rect = RECT{0, 0, client.right - client.left, client.bottom - client.top};
    return TRUE;
}

HCURSOR WINAPI SetCursor(HCURSOR cursor) {
    bool hide = cursor == nullptr;
    if (hide != State().cursorHidden) {
        State().cursorHidden = hide;
        host::Current().SetCursorVisible(!hide);
    }
    return nullptr;
}

int WINAPI ShowCursor(BOOL show) {
    host::Current().SetCursorVisible(show != FALSE);
    return show ? 0 : -1;
}
