// Linux: serial devices from sysfs, USB details from the adapter's sysfs node, and whether another
// program holds a device, all without opening a device (opening raises an attached board's
// modem lines).
#include "serial/PortList.h"

#include "serial/Serial.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {
constexpr const char* TtyClass = "/sys/class/tty";
constexpr const char* LockFolders[] = {"/var/lock", "/run/lock"};
constexpr int UsbSearchDepth = 4;

std::string ReadFirstLine(const fs::path& path)
{
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

bool IsDigit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }

std::string ReadAll(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// ttyS nodes exist for every possible legacy UART; only those with a detected chip are ports.
bool IsRealPort(const std::string& name, const fs::path& node)
{
    std::error_code ec;
    if (!fs::exists(node / "device", ec)) return false;   // virtual consoles, ptmx, tty
    if (name.rfind("ttyS", 0) != 0) return true;
    std::string type = ReadFirstLine(node / "type");
    return !type.empty() && std::strtol(type.c_str(), nullptr, 10) != 0;
}

// The USB device is the nearest ancestor of the tty's device that has a vendor id.
void ReadUsbDetails(const fs::path& node, PortInfo& info)
{
    std::error_code ec;
    fs::path dir = fs::canonical(node / "device", ec);
    if (ec) return;
    for (int depth = 0; depth < UsbSearchDepth && !dir.empty() && dir != dir.root_path(); ++depth) {
        if (fs::exists(dir / "idVendor", ec)) {
            info.UsbId = ReadFirstLine(dir / "idVendor") + ":" + ReadFirstLine(dir / "idProduct");
            info.Serial = ReadFirstLine(dir / "serial");
            info.Product = ReadFirstLine(dir / "product");
            return;
        }
        dir = dir.parent_path();
    }
}

bool HeldByAnotherProcess(const std::string& path, const std::string& name, const std::string& locks)
{
    pid_t self = getpid();
    struct stat st {};
    if (stat(path.c_str(), &st) == 0 && LockedInProcLocks(locks, major(st.st_dev), minor(st.st_dev), st.st_ino, self))
        return true;
    for (const char* folder : LockFolders) {
        fs::path lockFile = fs::path(folder) / ("LCK.." + name);
        std::error_code ec;
        if (fs::exists(lockFile, ec) && LockFileHeld(ReadAll(lockFile), self)) return true;
    }
    return false;
}
}   // namespace

bool LockedInProcLocks(const std::string& locks, unsigned major, unsigned minor, uint64_t inode, pid_t self)
{
    // Lines look like "1: FLOCK  ADVISORY  WRITE 1234 fe:00:10953265 0 EOF"; a waiting request
    // carries "->" after the number and holds nothing.
    std::istringstream lines(locks);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string ordinal, kind, mode, access, pidText, file;
        if (!(fields >> ordinal >> kind) || kind == "->") continue;
        if (!(fields >> mode >> access >> pidText >> file)) continue;
        unsigned lockMajor = 0, lockMinor = 0;
        unsigned long long lockInode = 0;
        if (std::sscanf(file.c_str(), "%x:%x:%llu", &lockMajor, &lockMinor, &lockInode) != 3) continue;
        if (lockMajor == major && lockMinor == minor && lockInode == inode &&
            std::strtol(pidText.c_str(), nullptr, 10) != self)
            return true;
    }
    return false;
}

bool LockFileHeld(const std::string& content, pid_t self)
{
    // The usual form is the pid in ASCII ("%10d\n"); an old one is a binary 4-byte int.
    bool ascii = std::any_of(content.begin(), content.end(), IsDigit) &&
                 std::all_of(content.begin(), content.end(),
                             [](char c) { return IsDigit(c) || std::isspace(static_cast<unsigned char>(c)); });
    long pid = 0;
    if (ascii) {
        pid = std::strtol(content.c_str(), nullptr, 10);
    } else if (content.size() == sizeof(int32_t)) {
        int32_t binary = 0;
        std::memcpy(&binary, content.data(), sizeof binary);
        pid = binary;
    }
    if (pid <= 0) return true;
    if (pid > std::numeric_limits<pid_t>::max()) return false;   // no such process can exist
    if (pid == self) return false;
    return kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

std::vector<PortInfo> EnumeratePorts(bool findHolders)
{
    std::vector<PortInfo> ports;
    std::string locks = findHolders ? ReadAll("/proc/locks") : std::string();
    std::error_code ec;
    // Iterated with error codes: a node that vanishes meanwhile (an adapter pulled) must not throw.
    for (fs::directory_iterator it(TtyClass, ec), end; !ec && it != end; it.increment(ec)) {
        const fs::directory_entry& entry = *it;
        std::string name = entry.path().filename().string();
        if (!IsRealPort(name, entry.path())) continue;
        PortInfo info;
        info.Path = "/dev/" + name;
        std::error_code missing;
        if (!fs::exists(info.Path, missing)) continue;
        ReadUsbDetails(entry.path(), info);
        info.Free = !findHolders || !HeldByAnotherProcess(info.Path, name, locks);
        ports.push_back(std::move(info));
    }
    std::sort(ports.begin(), ports.end(),
              [](const PortInfo& a, const PortInfo& b) { return NaturalLess(a.Path, b.Path); });
    return ports;
}
