// The run's options, kept for the host.
#include "run_options.h"

namespace host {
namespace {

RunOptions runOptions;
MessageNote messageNote = nullptr;

}  // namespace

void SetRunOptions(const RunOptions& options) {
    runOptions = options;
}

const RunOptions& CurrentRunOptions() {
    return runOptions;
}

void SetMessageNote(MessageNote note) {
    messageNote = note;
}

std::string NoteForMessage(const std::string& textUtf8) {
    return messageNote ? messageNote(textUtf8) : std::string();
}

}  // namespace host
