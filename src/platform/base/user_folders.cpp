// What every system shares of the user's folders (system.h).
#include <sstream>

#include "system.h"

namespace platform {

std::string PicturesFolderIn(const std::string& userDirs, const std::string& home) {
    std::istringstream in(userDirs);
    std::string line, found;
    const std::string key = "XDG_PICTURES_DIR=\"";
    while (std::getline(in, line)) {
        const auto start = line.find_first_not_of(" \t");
        if (start == std::string::npos || line.compare(start, key.size(), key) != 0) continue;
        const auto close = line.rfind('"');
        if (close < start + key.size()) continue;
        // Backslashes quote the next character, as in the shell's double quotes.
        std::string value;
        for (std::size_t i = start + key.size(); i < close; ++i) {
            if (line[i] == '\\' && i + 1 < close) ++i;
            value += line[i];
        }
        if (value.compare(0, 5, "$HOME") == 0 && (value.size() == 5 || value[5] == '/')) {
            if (home.empty()) continue;
            value = home + value.substr(5);
        }
        if (value.empty() || value[0] != '/') continue;
        while (value.size() > 1 && value.back() == '/') value.pop_back();
        found = value;  // the last line counts, as when the shell reads the file
    }
    return found;
}

}  // namespace platform
