#include "support.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "display/display.h"
#include "shell/window.h"
#include "trace.h"

namespace testing_support {

HWND OpenGameWindow(int x, int y) {
    WNDCLASSA windowClass{};
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = WindowProc;
    windowClass.lpszClassName = "qv";
    RegisterClassA(&windowClass);
    const int width = 2 * GetSystemMetrics(SM_CXBORDER) + 324;
    const int height = 2 * GetSystemMetrics(SM_CYBORDER) + GetSystemMetrics(SM_CYMENUSIZE) +
                       GetSystemMetrics(SM_CYCAPTION) + 245;
    MainWindow = CreateWindowExA(WS_EX_APPWINDOW, "qv", "Tavlo", WS_POPUP | WS_BORDER | WS_SYSMENU,
                                 x, y, width, height, nullptr, nullptr, nullptr, nullptr);
    ShowWindow(MainWindow, SW_SHOWDEFAULT);
    return MainWindow;
}

void OpenDisplay(int fullScreen) {
    OpenGameWindow();
    ASSERT_EQ(display.Initialize(MainWindow, 320, 240, fullScreen), 1);
}

void UseGreyPalette() {
    PALETTEENTRY greys[256];
    for (int i = 0; i < 256; ++i) {
        const auto level = static_cast<BYTE>(i);
        greys[i] = {level, level, level, 0};
    }
    ASSERT_EQ(DisplayPalette->SetEntries(0, 0, 256, greys), DD_OK);
}

unsigned char SlotPixel(int slot, int x, int y) {
    return SurfaceMemory[slot][y * SurfacePitch[slot] + x];
}

unsigned char Pattern(int x, int y) {
    return static_cast<unsigned char>((x * 7 + y * 13) & 0xFF);
}

void PaintPattern(int slot) {
    for (int y = 0; y < 240; ++y) {
        for (int x = 0; x < 320; ++x)
            SurfaceMemory[slot][y * SurfacePitch[slot] + x] = Pattern(x, y);
    }
}

int TraceCount(const std::string& prefix) {
    int count = 0;
    for (const std::string& line : platform::TraceLog()) {
        if (line.rfind(prefix, 0) == 0) ++count;
    }
    return count;
}

bool Traced(const std::string& line) {
    for (const std::string& traced : platform::TraceLog()) {
        if (traced == line) return true;
    }
    return false;
}

RunResult Run(const std::string& environment, const std::string& command) {
    const char* tmp = std::getenv("TMPDIR");
    std::string errorFile =
        std::string(tmp ? tmp : "/tmp") + "/tavlo-stderr-" + std::to_string(::getpid()) + ".txt";
    std::string line = environment + " " + command + " 2>" + errorFile + " </dev/null";
    int status = std::system(line.c_str());
    RunResult result;
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::ifstream in(errorFile);
    std::stringstream text;
    text << in.rdbuf();
    result.standardError = text.str();
    std::remove(errorFile.c_str());
    return result;
}

std::string FreshFolder(const std::string& name) {
    const char* tmp = std::getenv("TMPDIR");
    std::string folder =
        std::string(tmp ? tmp : "/tmp") + "/tavlo-test-" + std::to_string(::getpid()) + "-" + name;
    std::system(("rm -rf '" + folder + "' && mkdir -p '" + folder + "'").c_str());
    return folder;
}

}  // namespace testing_support
