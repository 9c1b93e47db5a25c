// The recorder every host's session records with.
#include "recorder.h"

#include "files.h"
#include "tavlo_version.h"

namespace replay {

Replay HeaderHere(std::string* why) {
    Replay header;
    header.program = TAVLO_VERSION;
    header.archive = WorkingArchiveChecksum();
    const platform::FileRead score =
        platform::ReadRegularFile("score.dat", 4, platform::Beyond::KeepFirst);
    if (score.ok() || score.outcome == platform::ReadOutcome::Folder) {
        header.scores = score.bytes;
    } else if (why) {
        *why = platform::DescribeRead(score, 4);
    }
    return header;
}

bool Recorder::Open(const std::string& path, const char* mode) {
    path_ = path;
    out_ = platform::OpenStream(path, mode);
    return out_ != nullptr;
}

ReplayHost* Recorder::Start(std::unique_ptr<host::Host> inner, Replay header) {
    header_ = std::move(header);
    header_.clockStart = inner->Milliseconds();
    host_ = new ReplayHost(std::move(inner), ReplayHost::Mode::Record, header_.clockStart);
    if (out_) {
        const std::string text = HeaderText(header_);
        std::fputs(text.c_str(), out_);
        seedOffset_ = static_cast<long>(text.find("\nseed ") + 6);
        std::fflush(out_);
        host_->RecordTo(out_);
    }
    return host_;
}

void Recorder::Seeded(unsigned seed) {
    if (seeded_) return;
    seeded_ = true;
    if (!out_ || seedOffset_ < 0) return;
    const long end = std::ftell(out_);
    std::fseek(out_, seedOffset_, SEEK_SET);
    std::fputs(SeedField(seed).c_str(), out_);
    std::fseek(out_, end, SEEK_SET);
    std::fflush(out_);
}

bool Recorder::End() {
    if (!out_ || !host_) return false;
    return Close(EndLine(host_->Elapsed(), host_->Frames()));
}

bool Recorder::Cut(std::uint64_t at) {
    if (!out_ || !host_) return false;
    return Close(EndLine(at, host_->Frames(), true));
}

std::optional<std::string> Recorder::SoFar(std::uint64_t at) {
    if (!out_ || !host_ || std::fflush(out_) != 0) return std::nullopt;
    platform::FileRead read = platform::ReadRegularFile(path_, kMaxFileBytes);
    if (!read.ok()) return std::nullopt;
    read.bytes += EndLine(at, host_->Frames(), true);
    return std::move(read.bytes);
}

bool Recorder::Close(const std::string& endLine) {
    if (host_) host_->RecordTo(nullptr);
    const bool written = std::fputs(endLine.c_str(), out_) >= 0;
    const bool closed = std::fclose(out_) == 0;
    out_ = nullptr;
    return written && closed;
}

}  // namespace replay
