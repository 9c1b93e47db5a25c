// The seam between our Windows and the machine it runs on. The hosts stand behind it (hosts/:
// SDL2, a real window; headless, a virtual clock, scripted input and frame captures). Nothing
// above this seam knows which one runs; a host knows nothing of the layer above.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "rgb.h"

namespace host {

using platform::Rgb;

// One input event, already in the Windows form the message queue wants.
struct InputEvent {
    enum class Kind { KeyDown, KeyUp, SysKeyDown, SysKeyUp, Close, Quit, MouseOver };
    Kind kind = Kind::KeyDown;
    unsigned virtualKey = 0;  // for the key kinds
};

// What the screen shows: 8-bit pixels and the 256 colours in force.
struct ScreenImage {
    const std::uint8_t* pixels = nullptr;
    int width = 0;
    int height = 0;
    int pitch = 0;
    const Rgb* colours = nullptr;  // 256 entries
};

// A copy of what the screen showed, as hosts keep it: the rows packed one after another (width
// bytes a row) and the colours in force.
struct KeptScreen {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels;
    std::array<Rgb, 256> colours{};

    void Keep(const ScreenImage& image);
    ScreenImage Image() const { return {pixels.data(), width, height, width, colours.data()}; }
};

// Why the screen changed (the headless host writes it beside each capture).
enum class ScreenChange { Flip, Blit, Palette };

class Host {
  public:
    virtual ~Host() = default;

    // The millisecond clock behind timeGetTime.
    virtual std::uint32_t Milliseconds() = 0;
    // Takes the next input event that is due, if any; never waits.
    virtual bool NextEvent(InputEvent& event) = 0;
    // Called each time the message queue is found empty by PeekMessageA.
    virtual void Idle() = 0;

    // Size of the desktop that a windowed primary surface covers.
    virtual void DesktopSize(int& width, int& height) = 0;
    // Brings up video for DirectDraw; false when there is no screen to draw on.
    virtual bool OpenVideo() = 0;
    // The program's window came into being, moved, or changed its title or visibility. (Where the
    // window stands and its size are the platform's own: a host shows the screen its own way.)
    virtual void WindowChanged(bool visible, const std::string& titleUtf8) = 0;
    // The screen is taken full screen (the mode's size is the platform's); false when it cannot be.
    virtual bool SetFullScreenMode() = 0;
    // What the screen shows has changed; the host shows it without being asked again.
    virtual void ShowScreen(const ScreenImage& image, ScreenChange cause) = 0;
    // A message box, answered with OK. Texts are UTF-8.
    virtual void MessageBox(const std::string& captionUtf8, const std::string& textUtf8) = 0;
    virtual void SetCursorVisible(bool visible) = 0;
    // A note for the player when the program cannot go on and standard error is all it has said
    // (a start refused before the game runs): a host with a screen shows it in a dialog, the
    // headless host writes it to standard error as it does a message box.
    virtual void ShowEndNotice(const std::string& textUtf8) = 0;
    // A file was put in place by a replace that succeeded (MoveFileExA): `path` is the name it
    // was put in place under. A host whose files live in memory (the browser) stores it from here.
    virtual void FileReplaced(const std::string& path) { (void)path; }
};

// Says how this program's host is made; the program's entry (or a test's) calls it before any
// platform call. The factory runs once, on the first Current().
void SetHostFactory(Host* (*factory)());
// The host of this run, made on first use. Without a factory the process ends with code 2.
Host& Current();
// Ends the host of this run, if one was made: its window and devices are closed and its files
// flushed. The program's entry registers it with std::atexit once the host is made, so it runs
// on every way out through exit; it may be called more than once.
void Shutdown();
// What the platform adds below a message box's text so that the player can act on it: which
// file could not be opened and where it was looked for. Set by the program's entry, which knows
// the game's data files; without it, nothing is added.
using MessageNote = std::string (*)(const std::string& textUtf8);
void SetMessageNote(MessageNote note);
// The note for this text; empty when there is none.
std::string NoteForMessage(const std::string& textUtf8);
// A stop asked from outside (a signal to a recording): safe to call from a signal handler. A host
// that waits for something of its own (the focus back) stops waiting, so the stop is acted on.
// RequestStop(false) takes it back.
void RequestStop(bool stop = true);
bool StopRequested();
// What the program tells a debugger (OutputDebugStringA) goes to the listener, if one is set.
void SetDebugListener(void (*listener)(const char* text));
void DebugOutput(const char* text);

}  // namespace host
