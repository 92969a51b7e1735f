#include "util/AtomicFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {
bool WriteAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        ssize_t n = write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}
} // namespace

bool ReplaceFile(const std::string& path, std::string_view bytes, std::string* error)
{
    std::string temp = path + ".tmp";
    int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    bool ok = fd >= 0 && WriteAll(fd, bytes) && fsync(fd) == 0;
    int saved = errno;
    if (fd >= 0 && close(fd) != 0 && ok) {
        ok = false;
        saved = errno;
    }
    if (ok && std::rename(temp.c_str(), path.c_str()) == 0) return true;
    if (ok) saved = errno;
    if (error) *error = (fd < 0 ? temp : path) + ": " + std::strerror(saved);
    if (fd >= 0) std::remove(temp.c_str());
    return false;
}
