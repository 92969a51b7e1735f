#include "sim/SimFlash.h"

#include "util/AtomicFile.h"
#include "util/InputFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sim {

TSimFlash::TSimFlash() : memory_(FlashSize, 0xFF), bytes_(memory_.data()) {}

TSimFlash::~TSimFlash() { Unmap(); }

bool TSimFlash::Attach(const std::string& path, std::string& error)
{
    std::vector<uint8_t> bytes;
    const TMaybeProblem problem = ReadInputFile(path, FlashSize, bytes);
    if (problem && problem->Kind() == TProblemKind::Missing) {
        // Made whole before it is used: a file cut short would be refused at the next start.
        if (TMaybeProblem refused = ReplaceFile(path, std::string(FlashSize, '\xFF'))) {
            error = refused->Reason();
            return false;
        }
    } else if (problem) {
        error = path + ": " + problem->Reason();
        return false;
    } else if (bytes.size() != FlashSize) {
        // Not ours, or cut short: refuse rather than overwrite it on the first write.
        error = path + ": not a flash image of " + std::to_string(FlashSize) + " bytes";
        return false;
    }
    return MapFile(path, error);
}

bool TSimFlash::MapFile(const std::string& path, std::string& error)
{
    int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    struct stat info {};
    void* mapping = MAP_FAILED;
    // Looked at again on the handle that is mapped: the file may have changed since it was read.
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && static_cast<uint64_t>(info.st_size) == FlashSize)
        mapping = ::mmap(nullptr, FlashSize, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    const int mapError = errno;
    ::close(fd);
    if (mapping == MAP_FAILED) {
        error = path + ": cannot be mapped (" + std::strerror(mapError) + ")";
        return false;
    }
    Unmap();
    mapping_ = mapping;
    bytes_ = static_cast<uint8_t*>(mapping);
    memory_ = {};
    return true;
}

void TSimFlash::Unmap()
{
    if (mapping_) ::munmap(mapping_, FlashSize);
    mapping_ = nullptr;
}

uint32_t TSimFlash::PagedAddress(uint32_t address, uint32_t i)
{
    uint32_t page = address / FlashPageSize * FlashPageSize;
    return page + (address - page + i) % FlashPageSize;
}

bool TSimFlash::ReadPaged(uint32_t address, uint32_t count, std::vector<uint8_t>& out) const
{
    if (address >= FlashSize) return false;
    out.clear();
    for (uint32_t i = 0; i < count; ++i) out.push_back(bytes_[PagedAddress(address, i)]);
    return true;
}

bool TSimFlash::WritePaged(uint32_t address, const std::vector<uint8_t>& data)
{
    if (address >= FlashSize) return false;
    for (uint32_t i = 0; i < data.size(); ++i) bytes_[PagedAddress(address, i)] = data[i];
    return true;
}

bool TSimFlash::ReadLinear(uint32_t address, uint32_t count, std::vector<uint8_t>& out) const
{
    if (address >= FlashSize || count > FlashSize - address) return false;
    out.assign(bytes_ + address, bytes_ + address + count);
    return true;
}

void TSimFlash::WriteLinear(uint32_t address, const std::vector<uint8_t>& data)
{
    for (size_t i = 0; i < data.size() && address + i < FlashSize; ++i) bytes_[address + i] = data[i];
}

}   // namespace sim
