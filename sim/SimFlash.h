// The loader's flash: 4096 pages of 528 bytes, erased to 0xFF, optionally kept in a file so that
// a person's stored blocks survive a restart of the simulator.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sim {

constexpr uint32_t FlashPageSize = 528;
constexpr uint32_t FlashPages = 4096;
constexpr uint32_t FlashSize = FlashPageSize * FlashPages;

class TSimFlash {
public:
    TSimFlash();
    // Loads the file when it exists (it must hold exactly the flash); a missing file is fresh
    // flash. Later saves go to that file.
    bool Attach(const std::string& path, std::string& error);
    // Saves atomically (temporary file, then rename) when something changed since the last save.
    bool Save(std::string& error);
    bool Dirty() const { return dirty_; }

    // Page-bounded access stays inside the page of `address`, wrapping at its end, as the chip's
    // page buffer does; linear access runs on across pages. False past the end of the flash.
    bool ReadPaged(uint32_t address, uint32_t count, std::vector<uint8_t>& out) const;
    bool WritePaged(uint32_t address, const std::vector<uint8_t>& data);
    bool ReadLinear(uint32_t address, uint32_t count, std::vector<uint8_t>& out) const;
    void WriteLinear(uint32_t address, const std::vector<uint8_t>& data);  // clipped at the end

private:
    static uint32_t PagedAddress(uint32_t address, uint32_t i);
    std::vector<uint8_t> bytes_;
    std::string path_;
    bool dirty_ = false;
};

} // namespace sim
