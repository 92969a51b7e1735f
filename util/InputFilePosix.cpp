#include "util/InputFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
TProblemKind OpenProblem(int error)
{
    if (error == ENOENT || error == ENOTDIR) return TProblemKind::Missing;
    if (error == EACCES || error == EPERM) return TProblemKind::NoPermission;
    return TProblemKind::Unreadable;
}

// Reads at most one byte past `maxBytes`: a file that grew since it was measured is still refused.
std::optional<TProblemKind> ReadAll(int fd, size_t maxBytes, std::vector<uint8_t>& bytes)
{
    uint8_t chunk[65536];
    for (;;) {
        ssize_t n = read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return TProblemKind::Unreadable;
        if (n == 0) return std::nullopt;
        if (bytes.size() + static_cast<size_t>(n) > maxBytes) return TProblemKind::TooLarge;
        bytes.insert(bytes.end(), chunk, chunk + n);
    }
}
}   // namespace

TMaybeProblem ReadInputFile(const std::string& path, size_t maxBytes, std::vector<uint8_t>& bytes)
{
    bytes.clear();
    int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return InputFileProblem(OpenProblem(errno), maxBytes);
    struct stat info {};
    std::optional<TProblemKind> problem;
    if (fstat(fd, &info) != 0) problem = TProblemKind::Unreadable;
    else if (!S_ISREG(info.st_mode)) problem = TProblemKind::NotRegular;
    else if (static_cast<uint64_t>(info.st_size) > maxBytes) problem = TProblemKind::TooLarge;
    else problem = ReadAll(fd, maxBytes, bytes);
    close(fd);
    if (!problem) return std::nullopt;
    bytes.clear();
    return InputFileProblem(*problem, maxBytes);
}
