#include "util/InputFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
TFileProblem OpenProblem(int error)
{
    if (error == ENOENT || error == ENOTDIR) return TFileProblem::Missing;
    if (error == EACCES || error == EPERM) return TFileProblem::NoPermission;
    return TFileProblem::Unreadable;
}

// Reads at most one byte past `maxBytes`: a file that grew since it was measured is still refused.
TFileProblem ReadAll(int fd, size_t maxBytes, std::vector<uint8_t>& bytes)
{
    uint8_t chunk[65536];
    for (;;) {
        ssize_t n = read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return TFileProblem::Unreadable;
        if (n == 0) return TFileProblem::None;
        if (bytes.size() + static_cast<size_t>(n) > maxBytes) return TFileProblem::TooLarge;
        bytes.insert(bytes.end(), chunk, chunk + n);
    }
}
} // namespace

TFileProblem ReadInputFile(const std::string& path, size_t maxBytes, std::vector<uint8_t>& bytes)
{
    bytes.clear();
    int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return OpenProblem(errno);
    struct stat info {};
    TFileProblem problem = TFileProblem::None;
    if (fstat(fd, &info) != 0) problem = TFileProblem::Unreadable;
    else if (!S_ISREG(info.st_mode)) problem = TFileProblem::NotRegular;
    else if (static_cast<uint64_t>(info.st_size) > maxBytes) problem = TFileProblem::TooLarge;
    else problem = ReadAll(fd, maxBytes, bytes);
    close(fd);
    if (problem != TFileProblem::None) bytes.clear();
    return problem;
}
