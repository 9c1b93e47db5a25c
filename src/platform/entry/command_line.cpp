// The command line, read with getopt_long.
#include "catalog.h"
#include "command_line.h"

#include <getopt.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include "files.h"
#include "score_client.h"
#include "system.h"
#include "tavlo_version.h"

namespace entry {
namespace {

enum Option : int {
    kHelp = 'h',
    kVersion = 'V',
    kWindow = 256,
    kFullScreen,
    kSharp,
    kSmooth,
    kDataDir,
    kRecord,
    kReplay,
    kVerify,
    kSubmit,
    kServer,
    kName,
};

const option kOptions[] = {
    {"help", no_argument, nullptr, kHelp},
    {"version", no_argument, nullptr, kVersion},
    {"window", no_argument, nullptr, kWindow},
    {"fullscreen", no_argument, nullptr, kFullScreen},
    {"sharp", no_argument, nullptr, kSharp},
    {"smooth", no_argument, nullptr, kSmooth},
    {"data-dir", required_argument, nullptr, kDataDir},
    {"record", required_argument, nullptr, kRecord},
    {"replay", required_argument, nullptr, kReplay},
    {"verify", no_argument, nullptr, kVerify},
    {"submit", required_argument, nullptr, kSubmit},
    {"server", required_argument, nullptr, kServer},
    {"name", required_argument, nullptr, kName},
    {nullptr, 0, nullptr, 0},
};

}  // namespace

CommandLine ParseCommandLine(int argc, char** argv) {
    CommandLine line;
    opterr = 0;  // our own message, one line
    optind = 0;  // (0: getopt starts over, so that the parser can run more than once)
    for (;;) {
        const int previous = optind ? optind : 1;
        const int choice = getopt_long(argc, argv, "+:hV", kOptions, nullptr);
        if (choice == -1) break;
        switch (choice) {
            case kHelp:
                if (line.action == CommandLine::Action::Play)
                    line.action = CommandLine::Action::Help;
                break;
            case kVersion:
                if (line.action == CommandLine::Action::Play) {
                    line.action = CommandLine::Action::Version;
                }
                break;
            case kWindow:
            case kFullScreen:
                line.options.window = choice == kWindow;
                break;
            case kSharp:
            case kSmooth:
                line.options.smooth = choice == kSmooth;
                break;
            case kDataDir:
                line.dataDir = optarg;
                if (line.dataDir.empty()) {
                    line.action = CommandLine::Action::Usage;
                    line.error = tr("--data-dir needs a folder");
                    return line;
                }
                break;
            case kRecord:
            case kReplay:
                (choice == kRecord ? line.record : line.replay) = optarg;
                if (*optarg == '\0') {
                    line.action = CommandLine::Action::Usage;
                    line.error = choice == kRecord ? tr("--record needs a file")
                                                   : tr("--replay needs a file");
                    return line;
                }
                break;
            case kVerify:
                line.verify = true;
                break;
            case kSubmit:
                line.submit = optarg;
                if (line.submit.empty()) {
                    line.action = CommandLine::Action::Usage;
                    line.error = tr("--submit needs a file");
                    return line;
                }
                break;
            case kServer:
                line.server = optarg;
                break;
            case kName:
                line.name = optarg;
                break;
            default: {
                // ':' a value missing, '?' an option we do not know.
                line.action = CommandLine::Action::Usage;
                const std::string given = previous < argc ? argv[previous] : "";
                if (choice == ':') {
                    line.error = platform::Fill(tr("option needs a value: {1}"), {given});
                } else if (given.rfind("--", 0) == 0 || optopt == 0) {
                    line.error = platform::Fill(tr("unknown option: {1}"), {given});
                } else {
                    line.error = platform::Fill(tr("unknown option: {1}"),
                                                {std::string("-") + static_cast<char>(optopt)});
                }
                return line;
            }
        }
    }
    if (line.action == CommandLine::Action::Usage) return line;
    if (!line.record.empty() && !line.replay.empty()) {
        line.action = CommandLine::Action::Usage;
        line.error = tr("--record and --replay do not go together");
    } else if (line.verify && line.replay.empty()) {
        line.action = CommandLine::Action::Usage;
        line.error = tr("--verify needs --replay FILE");
    } else if (!line.submit.empty()) {
        if (!line.record.empty() || !line.replay.empty() || line.verify) {
            line.action = CommandLine::Action::Usage;
            line.error = tr("--submit does not go with --record, --replay or --verify");
        } else if (line.server.empty() || line.name.empty()) {
            line.action = CommandLine::Action::Usage;
            line.error = tr("--submit needs --server URL and --name NAME");
        } else if (net::RunsAddress(line.server, line.name).empty()) {
            line.action = CommandLine::Action::Usage;
            line.error = platform::Fill(
                // TRANSLATORS: {1} is the address given after --server.
                tr("--server {1}: not a web address (http:// or https://, no query)"),
                {line.server});
        } else if (line.action == CommandLine::Action::Play) {
            line.action = CommandLine::Action::Submit;
        }
    } else if (!line.server.empty() || !line.name.empty()) {
        line.action = CommandLine::Action::Usage;
        line.error = tr("--server and --name go with --submit FILE");
    }
    if (optind < argc) {
        line.action = CommandLine::Action::Usage;
        line.error = platform::Fill(tr("unexpected argument: {1}"), {argv[optind]});
    }
    return line;
}

namespace {

// A relative name as seen from the current folder; left as it is when that cannot be known.
std::string Anchored(const std::string& name) {
    if (name.empty() || name.front() == '/') return name;
    std::error_code error;
    const std::filesystem::path path = std::filesystem::absolute(platform::PathOf(name), error);
    return error ? name : platform::Utf8Of(path);
}

}  // namespace

void AnchorRelativePaths(CommandLine& line) {
    line.record = Anchored(line.record);
    line.replay = Anchored(line.replay);
    for (const char* name :
         {"TAVLO_INPUT", "TAVLO_CAPTURE", "TAVLO_RECORD", "TAVLO_FRAME_SUMS", "TAVLO_REACTIONS"}) {
        const char* value = std::getenv(name);
        if (value && *value) platform::SetEnvironment(name, Anchored(value));
    }
}

std::string UsageText(const char* program) {
    return platform::Fill(
        // TRANSLATORS: {1} is the program's name; the options' names stay as they are.
        tr("Usage: {1} [--window|--fullscreen] [--sharp|--smooth] [--data-dir DIR]\n"
           "       [--record FILE | --replay FILE [--verify]]\n"
           "       {1} --submit FILE --server URL --name NAME\n"
           "Try '{1} --help' for more information.\n"),
        {program});
}

std::string HelpText(const char* program, const std::string& defaultFolder) {
    return platform::Fill(
        // TRANSLATORS: {1} is the program's name, {2} the folder it plays in by default. The
        // options' names stay as they are; keep the lines under 80 columns and the descriptions
        // lined up.
        tr("Usage: {1} [OPTION]...\n"
           "A small reaction game: press the arrow key of each picture's kind before it leaves\n"
           "the screen.\n"
           "\n"
           "  --window          play in a window this time\n"
           "  --fullscreen      play full screen this time\n"
           "  --sharp           whole-number scaling, square pixels, this time\n"
           "  --smooth          smooth scaling to fill the screen or window, this time\n"
           "  --data-dir DIR    play in DIR, which holds \"tavlo.rka\" and \"score.dat\"\n"
           "                    (default: {2})\n"
           "  --record FILE     write this run's input to FILE, a replay\n"
           "  --replay FILE     play the replay FILE back (the keys do nothing but Pause)\n"
           "  --verify          with --replay: play it without a window, as fast as it goes,\n"
           "                    and report the pictures' checksum and the best score\n"
           "  --submit FILE     send the replay FILE to the score server at URL (--server URL)\n"
           "                    under the player's name (--name NAME), and say its answer;\n"
           "                    the game does not start\n"
           "  -h, --help        show this help and exit\n"
           "  -V, --version     show the version and exit\n"
           "\n"
           "Keys: the arrows answer the pictures and move the menu, Enter chooses, Ctrl held\n"
           "skips every wait, Pause ends the game. Alt+Enter switches full screen and window,\n"
           "F11 sharp and smooth scaling (both remembered), F12 takes a screenshot.\n"
           "\n"
           "Exit status: 1 when the game ends itself, 0 when its window class cannot be\n"
           "registered, 2 for a wrong command line. With --verify: 0 when the replay played\n"
           "to its end, 1 when it does not fit this program or the run went another way.\n"
           "With --submit: 0 when the server took the run, 1 when it refused it or could not\n"
           "be reached.\n"
           "\n"
           "submit_server=URL and submit_name=NAME in settings.conf send every run that sets a\n"
           "new best to that server after the game (see the manual page).\n"),
        {program, defaultFolder});
}

std::string VersionText() {
    return std::string("tavlo ") + TAVLO_VERSION + "\n";
}

}  // namespace entry
