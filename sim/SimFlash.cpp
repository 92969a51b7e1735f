#include "sim/SimFlash.h"

#include "util/AtomicFile.h"

#include <filesystem>
#include <fstream>
#include <system_error>

namespace sim {

TSimFlash::TSimFlash() : bytes_(FlashSize, 0xFF) {}

bool TSimFlash::Attach(const std::string& path, std::string& error)
{
    path_ = path;
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) return true;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = path + ": cannot be read";
        return false;
    }
    std::vector<uint8_t> data(FlashSize);
    in.read(reinterpret_cast<char*>(data.data()), static_cast<std::streamsize>(data.size()));
    if (static_cast<size_t>(in.gcount()) != FlashSize || in.peek() != std::ifstream::traits_type::eof()) {
        // Not ours, or cut short: refuse rather than overwrite it on the first write.
        error = path + ": not a flash image of " + std::to_string(FlashSize) + " bytes";
        return false;
    }
    bytes_ = std::move(data);
    return true;
}

bool TSimFlash::Save(std::string& error)
{
    if (path_.empty() || !dirty_) return true;
    if (!ReplaceFile(path_, {reinterpret_cast<const char*>(bytes_.data()), bytes_.size()}, &error)) return false;
    dirty_ = false;
    return true;
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
    dirty_ = true;
    return true;
}

bool TSimFlash::ReadLinear(uint32_t address, uint32_t count, std::vector<uint8_t>& out) const
{
    if (address >= FlashSize || count > FlashSize - address) return false;
    out.assign(bytes_.begin() + address, bytes_.begin() + address + count);
    return true;
}

void TSimFlash::WriteLinear(uint32_t address, const std::vector<uint8_t>& data)
{
    for (size_t i = 0; i < data.size() && address + i < FlashSize; ++i) bytes_[address + i] = data[i];
    dirty_ = true;
}

} // namespace sim
