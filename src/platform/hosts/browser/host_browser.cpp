// The browser host. The game runs on the page's main thread and spins on its clock as it does
// everywhere; when it finds its queue empty the host hands the thread back to the browser until
// the game is likely to draw next (Asyncify unwinds the game's stack and rewinds it on waking),
// so the page keeps painting and taking keys while the game waits for its frame.
// The page's side is core.js and the modules beside it, one a job (canvas: screen.js; keys and
// gamepads: input.js; timers: waits.js; storage: storage.js). What crosses here are numbers and
// strings; the game's memory is written only on this side (the controls' keys, the pads).
#include <emscripten.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <deque>
#include <vector>

#include "host_browser.h"
#include "controller_keys.h"
#include "frame_pacer.h"

// Each of these is defined on Module.tavloHost by the page's side (core.js names its modules).
EM_JS(int, tavlo_next_key, (), { return Module.tavloHost.nextKey(); });
// The pads' numbers, `fields` a slot (as readPads gives them); 0 slots when none is read.
EM_JS(int, tavlo_read_pads, (int* out, int slots, int fields), {
    const pads = Module.tavloHost.readPads(slots);
    if (!pads || pads.length != slots * fields) return 0;
    HEAP32.set(pads, out >> 2);
    return slots;
});
// The controls' keys (`count` numbers, PadMap's order) when they changed since the last call.
EM_JS(int, tavlo_read_pad_map, (unsigned* out, int count), {
    const map = Module.tavloHost.readPadMap();
    if (!map || map.length != count) return 0;
    HEAPU32.set(map, out >> 2);
    return 1;
});
EM_JS(void, tavlo_present,
      (const void* rgba, int width, int height, int top, int bottom, double gameMs, double change),
      { Module.tavloHost.present(rgba, width, height, top, bottom, gameMs, change); });
EM_JS(void, tavlo_log_flip, (), { Module.tavloHost.logFlip(); });
EM_JS(void, tavlo_message_box, (const char* caption, const char* text),
      { Module.tavloHost.messageBox(UTF8ToString(caption), UTF8ToString(text)); });
EM_JS(void, tavlo_set_title, (const char* title),
      { Module.tavloHost.setTitle(UTF8ToString(title)); });
EM_JS(void, tavlo_set_cursor, (int visible), { Module.tavloHost.setCursor(visible); });
EM_JS(void, tavlo_file_replaced, (const char* path),
      { Module.tavloHost.fileReplaced(UTF8ToString(path)); });
EM_ASYNC_JS(void, tavlo_sleep_until, (double due), { await Module.tavloHost.sleepUntil(due); });

namespace browser {
namespace {

// Gamepads are read this often; the game reads its input once per frame (16 ms at least).
constexpr double kPollPadsMs = 4.0;
// The game never keeps the thread longer than this without letting the page run: with Ctrl held
// (waits off) it would otherwise draw frame after frame and the page would stop answering.
constexpr double kLongestRunMs = 12.0;
constexpr int kPadSlots = 4;
// Per slot: connected, the buttons (a bit each, PadButton's order), the axes (PadAxis's order).
constexpr int kPadFields = 2 + static_cast<int>(host::kPadAxes);

struct PadState {
    bool connected = false;
    int buttons = 0;
    std::array<int, host::kPadAxes> axes{};
};

class BrowserHost final : public host::Host {
  public:
    // The player's bindings are read as soon as the module can read them.
    BrowserHost() : origin_(emscripten_get_now()), lastYield_(origin_) { ReadPageBindings(); }

    std::uint32_t Milliseconds() override { return static_cast<std::uint32_t>(ElapsedMs()); }

    bool NextEvent(host::InputEvent& event) override {
        if (pending_.empty()) ReadPads();
        if (!pending_.empty()) {
            event = pending_.front();
            pending_.pop_front();
            return true;
        }
        const int key = tavlo_next_key();
        if (key < 0) return false;
        // A key from the page: the kind in the high half (in this order), the virtual key below.
        static constexpr host::InputEvent::Kind kKinds[] = {
            host::InputEvent::Kind::KeyDown, host::InputEvent::Kind::KeyUp,
            host::InputEvent::Kind::SysKeyDown, host::InputEvent::Kind::SysKeyUp};
        const int kind = key >> 16;
        if (kind < 0 || kind > 3) return false;
        event.kind = kKinds[kind];
        event.virtualKey = static_cast<unsigned>(key & 0xFFFF);
        return true;
    }

    // The thread goes back to the browser until the game is likely to draw next (FramePacer);
    // a key wakes the game at once. Right after a change the game keeps the thread (it is about
    // to wait for its next frame), unless it has kept it for kLongestRunMs already, as it does
    // with Ctrl held and its waits off.
    void Idle() override {
        PresentIfChanged();
        const double now = emscripten_get_now();
        const bool drew = pacer_.JustDrew();
        if (drew && now - lastYield_ < kLongestRunMs) {
            pacer_.Woke(Milliseconds());
            return;
        }
        if (drew) {
            // Only a turn for the page.
            tavlo_sleep_until(now);
        } else {
            const double elapsed = ElapsedMs();
            tavlo_sleep_until(origin_ + elapsed +
                              pacer_.WaitFrom(static_cast<std::uint32_t>(elapsed)));
        }
        lastYield_ = emscripten_get_now();
        pacer_.Woke(Milliseconds());
    }

    void DesktopSize(int& width, int& height) override {
        width = 1024;
        height = 768;
    }
    bool OpenVideo() override { return true; }
    void WindowChanged(bool, const std::string& title) override { tavlo_set_title(title.c_str()); }
    bool SetFullScreenMode() override { return true; }

    void ShowScreen(const host::ScreenImage& image, host::ScreenChange cause) override {
        if (cause == host::ScreenChange::Flip) tavlo_log_flip();
        ++changes_;
        pacer_.Changed();
        next_.Keep(image);
        changed_ = true;
    }

    void MessageBox(const std::string& caption, const std::string& text) override {
        std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
        tavlo_message_box(caption.c_str(), text.c_str());
    }
    void ShowEndNotice(const std::string& text) override { MessageBox("Tavlo", text); }
    void SetCursorVisible(bool visible) override { tavlo_set_cursor(visible ? 1 : 0); }
    // The page's files live in memory: a file put in place (the best score) is stored at once.
    void FileReplaced(const std::string& path) override { tavlo_file_replaced(path.c_str()); }

  private:
    double ElapsedMs() const { return std::floor(emscripten_get_now() - origin_); }

    // Converts the kept picture to RGBA and puts it on the canvas, once per change of the
    // screen: only the rows that differ from the picture shown, all of them when the colours
    // changed, none when it is the picture already shown.
    void PresentIfChanged() {
        if (!changed_) return;
        changed_ = false;
        const bool sameSize = shown_.pixels.size() == next_.pixels.size();
        const bool newColours =
            !sameSize || std::memcmp(next_.colours.data(), shown_.colours.data(),
                                     sizeof(platform::Rgb) * 256) != 0;
        int top = 0;
        int bottom = next_.height;
        if (!newColours) {
            const auto row = [&](int y) {
                const std::size_t at = static_cast<std::size_t>(y) * next_.width;
                return std::memcmp(next_.pixels.data() + at, shown_.pixels.data() + at,
                                   static_cast<std::size_t>(next_.width)) != 0;
            };
            while (top < bottom && !row(top)) ++top;
            while (bottom > top && !row(bottom - 1)) --bottom;
            if (top == bottom) return;
        }
        shown_ = next_;
        if (newColours) {
            for (int i = 0; i < 256; ++i) {
                const platform::Rgb& c = next_.colours[static_cast<std::size_t>(i)];
                // RGBA in memory order on a little-endian machine; the canvas is opaque.
                lookup_[static_cast<std::size_t>(i)] =
                    0xFF000000u | (std::uint32_t{c.b} << 16) | (std::uint32_t{c.g} << 8) | c.r;
            }
        }
        rgba_.resize(next_.pixels.size());
        const std::size_t first = static_cast<std::size_t>(top) * next_.width;
        const std::size_t last = static_cast<std::size_t>(bottom) * next_.width;
        for (std::size_t i = first; i < last; ++i) rgba_[i] = lookup_[next_.pixels[i]];
        tavlo_present(rgba_.data(), next_.width, next_.height, top, bottom, ElapsedMs(),
                      static_cast<double>(changes_ - 1));
    }

    // Gamepads as keys, the way the SDL host maps controllers, through the player's bindings.
    void ReadPads() {
        const double now = emscripten_get_now();
        if (now - lastPadPoll_ < kPollPadsMs) return;
        lastPadPoll_ = now;
        std::vector<host::KeyChange> changes;
        ReadPadMap(changes);
        std::array<int, kPadSlots * kPadFields> raw{};
        const int slots = tavlo_read_pads(raw.data(), kPadSlots, kPadFields);
        for (int pad = 0; pad < kPadSlots; ++pad) {
            PadState next;
            if (pad < slots) {
                const int* field = raw.data() + pad * kPadFields;
                next.connected = field[0] != 0;
                next.buttons = field[1];
                std::copy(field + 2, field + kPadFields, next.axes.begin());
            }
            PadState& was = pads_[static_cast<std::size_t>(pad)];
            if (!next.connected) {
                if (was.connected) controllerKeys_.Removed(pad, changes);
                was = PadState{};
                continue;
            }
            for (std::size_t bit = 0; bit < host::kPadButtons; ++bit) {
                const bool pressed = (next.buttons >> bit) & 1;
                if (pressed != (((was.buttons >> bit) & 1) != 0)) {
                    controllerKeys_.Button(pad, static_cast<host::PadButton>(bit), pressed,
                                           changes);
                }
            }
            for (std::size_t axis = 0; axis < host::kPadAxes; ++axis) {
                if (next.axes[axis] != was.axes[axis]) {
                    controllerKeys_.Axis(pad, static_cast<host::PadAxis>(axis), next.axes[axis],
                                         changes);
                }
            }
            was = next;
        }
        for (const host::KeyChange& change : changes) {
            pending_.push_back(
                {change.down ? host::InputEvent::Kind::KeyDown : host::InputEvent::Kind::KeyUp,
                 change.virtualKey});
        }
    }

    // The player's bindings of the controls, when the page's panel changed them: whatever the
    // pads held is let go first, and pressed again through the new bindings at the next reading.
    void ReadPadMap(std::vector<host::KeyChange>& changes) {
        std::array<unsigned, host::kPadButtons + 2 * host::kPadAxes> keys{};
        if (!tavlo_read_pad_map(keys.data(), static_cast<int>(keys.size()))) return;
        for (int pad = 0; pad < kPadSlots; ++pad) {
            if (pads_[static_cast<std::size_t>(pad)].connected) {
                controllerKeys_.Removed(pad, changes);
            }
            pads_[static_cast<std::size_t>(pad)] = PadState{};
        }
        host::PadMap map;
        std::copy(keys.begin(), keys.begin() + host::kPadButtons, map.buttons.begin());
        std::copy(keys.begin() + host::kPadButtons,
                  keys.begin() + host::kPadButtons + host::kPadAxes, map.negative.begin());
        std::copy(keys.begin() + host::kPadButtons + host::kPadAxes, keys.end(),
                  map.positive.begin());
        controllerKeys_.SetMap(map);
    }

    const double origin_;
    double lastYield_;
    host::FramePacer pacer_;
    double lastPadPoll_ = -1e9;
    std::deque<host::InputEvent> pending_;
    host::ControllerKeys controllerKeys_;
    std::array<PadState, kPadSlots> pads_{};

    host::KeptScreen next_;   // the screen as the game last changed it
    host::KeptScreen shown_;  // and as it is on the canvas
    std::array<std::uint32_t, 256> lookup_{};
    std::vector<std::uint32_t> rgba_;
    std::uint64_t changes_ = 0;  // changes of the screen so far, as the headless host counts them
    bool changed_ = false;
};

}  // namespace

host::Host* CreateBrowserHost() {
    return new BrowserHost;
}

}  // namespace browser
