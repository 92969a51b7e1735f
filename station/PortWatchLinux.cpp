// Linux: udev makes and removes /dev/serial/by-path/... and by-id/... links as adapters come and
// go, and the kernel the /dev/tty... nodes; inotify on the folders holding the slots' names hears
// both. A folder that does not exist yet (by-path appears with the first USB adapter) is waited
// for on its nearest existing ancestor.
#include "station/PortWatch.h"
#include "station/StationFile.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <map>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr uint32_t NameEvents = IN_CREATE | IN_DELETE | IN_MOVED_TO | IN_MOVED_FROM | IN_ATTRIB;
constexpr uint32_t FolderEvents = NameEvents | IN_DELETE_SELF | IN_MOVE_SELF;
constexpr uint32_t GoneEvents = IN_DELETE | IN_MOVED_FROM;

std::string FolderOf(const std::string& path)
{
    std::string folder = std::filesystem::path(path).parent_path().string();
    return folder.empty() ? "." : folder;
}

std::string NameOf(const std::string& path) { return std::filesystem::path(path).filename().string(); }

bool IsFolder(const std::string& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string NearestExisting(std::string folder)
{
    while (!IsFolder(folder)) {
        std::string parent = FolderOf(folder);
        if (parent == folder) break;
        folder = parent;
    }
    return folder;
}
}   // namespace

TSlotBinding BindingOf(const std::string& port)
{
    if (port.rfind("/dev/serial/by-path/", 0) == 0) return TSlotBinding::Socket;
    if (port.rfind("/dev/serial/by-id/", 0) == 0) return TSlotBinding::ById;
    return TSlotBinding::PortName;
}

std::string PresentDevice(const std::string& port)
{
    // A link whose device is gone (udev not done yet) is not a port.
    struct stat info {};
    if (::stat(port.c_str(), &info) != 0 || !S_ISCHR(info.st_mode)) return {};
    return port;
}

struct TPortWatch::TImpl {
    std::vector<std::string> Ports;
    std::vector<uint64_t> Removals;
    int Notify = -1;
    int WakeFd = -1;
    std::map<int, std::string> Watched;   // watch descriptor -> folder

    void Arm();
    void Drain();
};

void TPortWatch::TImpl::Arm()
{
    for (const std::string& port : Ports) {
        std::string folder = NearestExisting(FolderOf(port));
        int wd = ::inotify_add_watch(Notify, folder.c_str(), FolderEvents);
        if (wd >= 0) Watched[wd] = folder;
    }
}

void TPortWatch::TImpl::Drain()
{
    alignas(inotify_event) char buffer[8192];
    bool rearm = false;
    for (;;) {
        ssize_t length = ::read(Notify, buffer, sizeof buffer);
        if (length <= 0) break;
        for (char* at = buffer; at < buffer + length;) {
            auto* event = reinterpret_cast<inotify_event*>(at);
            at += sizeof(inotify_event) + event->len;
            auto folder = Watched.find(event->wd);
            if (event->mask & (IN_IGNORED | IN_DELETE_SELF | IN_MOVE_SELF | IN_Q_OVERFLOW)) rearm = true;
            if (folder == Watched.end()) continue;
            if (event->mask & IN_ISDIR) rearm = true;   // a folder on the way to a slot's may have come
            if (!(event->mask & GoneEvents) || event->len == 0) continue;
            for (size_t i = 0; i < Ports.size(); ++i)
                if (FolderOf(Ports[i]) == folder->second && NameOf(Ports[i]) == event->name) ++Removals[i];
        }
    }
    if (rearm) {
        for (auto& [wd, folder] : Watched) ::inotify_rm_watch(Notify, wd);
        Watched.clear();
        Arm();
    }
}

TPortWatch::TPortWatch(std::vector<std::string> ports) : impl_(std::make_unique<TImpl>())
{
    impl_->Removals.assign(ports.size(), 0);
    impl_->Ports = std::move(ports);
}

TPortWatch::~TPortWatch()
{
    if (impl_->Notify >= 0) ::close(impl_->Notify);
    if (impl_->WakeFd >= 0) ::close(impl_->WakeFd);
}

bool TPortWatch::Start(std::string& error)
{
    impl_->Notify = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    impl_->WakeFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (impl_->Notify < 0 || impl_->WakeFd < 0) {
        error = std::string("inotify: ") + std::strerror(errno);
        return false;
    }
    impl_->Arm();
    if (impl_->Watched.empty()) {
        error = "не удалось следить ни за одной папкой портов гнёзд";
        return false;
    }
    return true;
}

void TPortWatch::Wait(int64_t ms)
{
    pollfd fds[2] = {{impl_->Notify, POLLIN, 0}, {impl_->WakeFd, POLLIN, 0}};
    int timeout = ms < 0 ? -1 : static_cast<int>(std::min<int64_t>(ms, 1 << 30));
    if (::poll(fds, 2, timeout) <= 0) return;
    if (fds[0].revents) impl_->Drain();
    if (fds[1].revents) {
        uint64_t count;
        while (::read(impl_->WakeFd, &count, sizeof count) > 0) {}
    }
}

void TPortWatch::Wake()
{
    uint64_t one = 1;
    while (::write(impl_->WakeFd, &one, sizeof one) < 0 && errno == EINTR) {}
}

uint64_t TPortWatch::Removals(size_t index) const { return impl_->Removals[index]; }

std::string TPortWatch::Device(size_t index) const { return PresentDevice(impl_->Ports[index]); }
