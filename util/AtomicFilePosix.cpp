#include "util/AtomicFile.h"

#include "util/PathName.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
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

// The file a save replaces: a symbolic link's target, so that the link stays a link. Empty with
// `reason` when there is none.
std::string TargetOf(const std::string& path, TMaybeProblem& reason)
{
    struct stat link {};
    if (lstat(path.c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) return path;
    char resolved[PATH_MAX];
    if (realpath(path.c_str(), resolved)) return resolved;
    reason = TProblem(TProblemKind::Missing, "ссылка ведёт к несуществующему файлу");
    return {};
}

// Empty when `path` may be replaced: it does not exist yet, or it is a regular file the user
// lets us write. The owner's write bit counts even for the superuser, whom access checks let
// write anything: a file the user made read-only is not to be replaced by a writable one.
TMaybeProblem Refusal(const std::string& path, struct stat& existing, bool& exists)
{
    exists = stat(path.c_str(), &existing) == 0;
    if (!exists) return errno == ENOENT ? TMaybeProblem() : TProblem(TProblemKind::Unwritable, std::strerror(errno));
    if (!S_ISREG(existing.st_mode)) return TProblem(TProblemKind::NotRegular, "это не обычный файл");
    if (!(existing.st_mode & S_IWUSR) || faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0)
        return TProblem(TProblemKind::NoPermission, "файл только для чтения");
    return std::nullopt;
}

// The new file takes the old one's permissions (and owner, which only the superuser may give
// away), before a byte is in it. A file system without permissions refuses; that is no reason
// to lose the save.
void TakeOver(int fd, const struct stat& existing)
{
    [[maybe_unused]] int mode = fchmod(fd, existing.st_mode & 07777);
    [[maybe_unused]] int owner = fchown(fd, existing.st_uid, existing.st_gid);
}

// The rename itself on the disk, not only in memory.
void SyncFolderOf(const std::string& path)
{
    std::string folder = FolderOf(path);
    int fd = open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    fsync(fd);
    close(fd);
}
}   // namespace

TMaybeProblem ReplaceFile(const std::string& path, std::string_view bytes)
{
    TMaybeProblem refusal;
    const std::string target = TargetOf(path, refusal);
    struct stat existing {};
    bool exists = false;
    if (!refusal) refusal = Refusal(target, existing, exists);
    if (refusal) return TProblem(refusal->Kind(), path + ": " + refusal->Reason());
    std::string temp = target + ".tmp";
    int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd >= 0 && exists) TakeOver(fd, existing);
    bool ok = fd >= 0 && WriteAll(fd, bytes) && fsync(fd) == 0;
    int saved = errno;
    if (fd >= 0 && close(fd) != 0 && ok) {
        ok = false;
        saved = errno;
    }
    if (ok && std::rename(temp.c_str(), target.c_str()) == 0) {
        SyncFolderOf(target);
        return std::nullopt;
    }
    if (ok) saved = errno;
    if (fd >= 0) std::remove(temp.c_str());
    return TProblem(TProblemKind::Unwritable, (fd < 0 ? temp : path) + ": " + std::strerror(saved));
}
