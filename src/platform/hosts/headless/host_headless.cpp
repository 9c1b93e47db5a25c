// The headless host: a virtual millisecond clock that moves only when the program finds its
// message queue empty, input from a script, and a capture of every change of the screen.
// Runs are deterministic and take almost no wall time. The formats here are read by outside
// checks; keep them as they are.
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "bmp_file.h"
#include "files.h"
#include "host_headless.h"
#include "input_script.h"
#include "numbers.h"

namespace headless {
namespace {

constexpr int kDesktopWidth = 1024;
constexpr int kDesktopHeight = 768;
constexpr std::uint64_t kDefaultTimeLimit = 600000;

const char* CauseName(host::ScreenChange cause) {
    switch (cause) {
        case host::ScreenChange::Flip:
            return "flip";
        case host::ScreenChange::Blit:
            return "blit";
        case host::ScreenChange::Palette:
            return "palette";
    }
    return "?";
}

class HeadlessHost final : public host::Host {
  public:
    explicit HeadlessHost(headless::Pictures pictures)
        : keepLast_(pictures == headless::Pictures::KeepLast) {
        start_ = static_cast<std::uint32_t>(
            platform::NumberVariable("TAVLO_CLOCK_START", UINT32_MAX, 0));
        limit_ = platform::NumberVariable("TAVLO_TIME_LIMIT", UINT64_MAX / 10, kDefaultTimeLimit);
        if (const char* script = std::getenv("TAVLO_INPUT")) LoadScript(script);
        if (const char* folder = std::getenv("TAVLO_CAPTURE")) OpenCapture(folder);
    }
    ~HeadlessHost() override;

    std::uint32_t Milliseconds() override { return static_cast<std::uint32_t>(start_ + elapsed_); }

    bool NextEvent(host::InputEvent& event) override {
        if (next_ >= events_.size() || events_[next_].at > elapsed_) return false;
        event = events_[next_++].event;
        return true;
    }

    void Idle() override {
        if (idleHook_) idleHook_();
        ++elapsed_;
        if (elapsed_ > limit_) {
            if (timeLimitHook_) timeLimitHook_();
            std::fprintf(stderr, "tavlo: headless time limit of %llu ms reached\n",
                         static_cast<unsigned long long>(limit_));
            std::fflush(nullptr);
            std::_Exit(3);
        }
    }

    void DesktopSize(int& width, int& height) override {
        width = kDesktopWidth;
        height = kDesktopHeight;
    }
    bool OpenVideo() override { return true; }
    void WindowChanged(bool, const std::string&) override {}
    bool SetFullScreenMode() override { return true; }

    void ShowScreen(const host::ScreenImage& image, host::ScreenChange cause) override {
        ++changes_;
        if (!keepLast_ && captureFolder_.empty()) return;
        last_.Keep(image);
        last_.cause = cause;
        last_.at = elapsed_;
        if (!captureFolder_.empty()) WriteCapture(cause);
    }

    void MessageBox(const std::string& caption, const std::string& text) override {
        std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
        std::fflush(stderr);
    }
    void ShowEndNotice(const std::string& text) override { MessageBox("Tavlo", text); }
    void SetCursorVisible(bool) override {}

    std::uint64_t elapsed_ = 0;
    std::vector<host::ScriptedEvent> events_;
    std::size_t next_ = 0;
    std::function<void()> idleHook_;
    std::function<void()> timeLimitHook_;
    headless::Picture last_;
    int changes_ = 0;

  private:
    void LoadScript(const char* path) { events_ = host::LoadInputScript(path); }

    void OpenCapture(const char* folder) {
        captureFolder_ = folder;
        platform::MakeFolders(captureFolder_);
        std::string index = captureFolder_ + "/frames.tsv";
        frames_ = platform::OpenStream(index, "wb");
        if (!frames_) {
            std::fprintf(stderr, "tavlo: TAVLO_CAPTURE: cannot write %s\n", index.c_str());
            std::exit(2);
        }
    }

    void WriteCapture(host::ScreenChange cause) {
        char name[16];
        std::snprintf(name, sizeof name, "%06d", captured_++);
        std::vector<std::uint8_t> file = platform::EncodeBmp8(
            last_.width, last_.height, last_.pixels.data(), last_.colours.data());
        std::string path = captureFolder_ + "/" + name + ".bmp";
        // A picture that did not reach the disk gets no row: the run ends here instead.
        FILE* out = platform::OpenStream(path, "wb");
        bool written = out && std::fwrite(file.data(), 1, file.size(), out) == file.size();
        if (out) written = std::fclose(out) == 0 && written;
        if (!written) {
            std::fprintf(stderr, "tavlo: TAVLO_CAPTURE: cannot write %s: %s\n", path.c_str(),
                         std::strerror(errno));
            std::exit(2);
        }
        std::fprintf(frames_, "%s\t%llu\t%s\n", name, static_cast<unsigned long long>(elapsed_),
                     CauseName(cause));
        std::fflush(frames_);
    }

    bool keepLast_;
    std::uint32_t start_ = 0;
    std::uint64_t limit_ = kDefaultTimeLimit;
    std::string captureFolder_;
    FILE* frames_ = nullptr;
    int captured_ = 0;
};

HeadlessHost* headlessHost = nullptr;

HeadlessHost::~HeadlessHost() {
    if (frames_) std::fclose(frames_);
    if (headlessHost == this) headlessHost = nullptr;
}

}  // namespace

host::Host* CreateHeadlessHost(headless::Pictures pictures) {
    headlessHost = new HeadlessHost(pictures);
    return headlessHost;
}

host::Host* CreateHeadlessHost() {
    return CreateHeadlessHost(headless::Pictures::KeepLast);
}

std::uint64_t Elapsed() {
    return headlessHost ? headlessHost->elapsed_ : 0;
}

void InjectEvent(std::uint64_t atMs, const host::InputEvent& event) {
    if (!headlessHost) return;
    auto& events = headlessHost->events_;
    auto at = std::upper_bound(
        events.begin() + static_cast<long>(headlessHost->next_), events.end(), atMs,
        [](std::uint64_t t, const host::ScriptedEvent& e) { return t < e.at; });
    events.insert(at, host::ScriptedEvent{atMs, event});
}

void SetIdleHook(std::function<void()> hook) {
    if (headlessHost) headlessHost->idleHook_ = std::move(hook);
}

void SetTimeLimitHook(std::function<void()> hook) {
    if (headlessHost) headlessHost->timeLimitHook_ = std::move(hook);
}

const Picture& LastPicture() {
    static Picture none;
    return headlessHost ? headlessHost->last_ : none;
}

int ScreenChanges() {
    return headlessHost ? headlessHost->changes_ : 0;
}

}  // namespace headless
