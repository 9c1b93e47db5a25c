// What every system's file module shares.
#include <cstring>

#include "files.h"

namespace platform {

std::string DescribeRead(const FileRead& read, std::size_t limit) {
    switch (read.outcome) {
        case ReadOutcome::Read:
            return "read";
        case ReadOutcome::Folder:
            return "it is a folder";
        case ReadOutcome::NotRegular:
            return "it is not a regular file";
        case ReadOutcome::TooLarge:
            return "it is larger than " + std::to_string(limit) + " bytes";
        case ReadOutcome::Missing:
        case ReadOutcome::Failed:
            break;
    }
    return std::strerror(read.error);
}

}  // namespace platform
