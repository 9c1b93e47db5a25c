// The opted-in player's runs: where they are kept and how they leave.
#include "catalog.h"
#include "auto_submit.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <system_error>
#include <vector>

#include "data_folder.h"
#include "detached.h"
#include "files.h"
#include "startup.h"
#include "score_client.h"
#include "system.h"

namespace entry {
namespace {

constexpr std::uintmax_t kLogLimit = 64 * 1024;

// Names the game gave its recordings: digits, a dash, digits, ".replay" (a suffix when two start
// in one second). Anything else in the folder is the player's and stays.
bool IsRecordingName(const std::string& name) {
    return name.size() >= 22 && name.size() <= 26 && name.rfind(".replay") == name.size() - 7 &&
           name[8] == '-' &&
           std::all_of(name.begin(), name.begin() + 8, [](char c) { return c >= '0' && c <= '9'; });
}

// Where --submit keeps the keys of the player's names: the data folder the program would play
// in, not made ready (only the keys go there).
std::string KeyFolder(const std::string& dataDir) {
    if (!dataDir.empty()) return dataDir;
    const std::string program = platform::ExecutablePath();
    if (InstalledArchive(program).empty()) return "";
    const std::string portable = PortableFolder(program);
    return portable.empty() ? PlayerFolder() : portable;
}

}  // namespace

int SubmitCommand(const std::string& file, const std::string& server, const std::string& name,
                  const std::string& dataDir, const char* program) {
    const net::SubmitResult sent = net::SubmitRun(file, server, name, KeyFolder(dataDir));
    if (sent.exitCode == 0) {
        Print(sent.text + "\n");
    } else {
        PrintError(std::string(program) + ": " + sent.text + "\n");
    }
    return sent.exitCode;
}

AutoSubmit AutoSubmitOf(const host::Settings& settings) {
    if (settings.submitServer.empty() || settings.submitName.empty()) return {};
    return {settings.submitServer, settings.submitName};
}

std::string NewRunFile(const std::string& folder) {
    const std::string runs = folder + "/runs";
    if (!platform::MakeFolders(runs)) return "";
    std::vector<std::string> kept;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(platform::PathOf(runs), error)) {
        const std::string name = platform::Utf8Of(entry.path().filename());
        if (IsRecordingName(name)) kept.push_back(name);
    }
    std::sort(kept.begin(), kept.end());
    for (std::size_t i = 0; i + kKeptRuns - 1 < kept.size(); ++i) {
        platform::RemoveFile(runs + "/" + kept[i]);
    }
    const std::tm now = platform::LocalTime(std::time(nullptr));
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &now);
    std::string path = runs + "/" + stamp + ".replay";
    for (int i = 2; i < 100 && platform::NameTaken(path); ++i) {
        path = runs + "/" + stamp + "-" + std::to_string(i) + ".replay";
    }
    return path;
}

bool SubmitInBackground(const AutoSubmit& submit, const std::string& program,
                        const std::string& recording) {
    const std::string log =
        platform::Utf8Of(platform::PathOf(recording).parent_path() / "submit.log");
    std::error_code error;
    if (std::filesystem::file_size(platform::PathOf(log), error) > kLogLimit && !error) {
        platform::RemoveFile(log);
    }
    if (program.empty() ||
        !StartDetached({program, "--submit", recording, "--server", submit.server, "--name",
                        submit.name, "--data-dir", platform::CurrentFolder()},
                       log)) {
        std::fprintf(stderr, "tavlo: %s\n",
                     // TRANSLATORS: {1} is the recording's file, {2} the score server's address.
                     platform::Fill(tr("the run {1} could not be sent to {2}: the program "
                                       "that sends it did not start"),
                                    {recording, submit.server})
                         .c_str());
        return false;
    }
    return true;
}

}  // namespace entry
