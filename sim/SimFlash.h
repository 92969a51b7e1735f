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
    ~TSimFlash();
    TSimFlash(const TSimFlash&) = delete;
    TSimFlash& operator=(const TSimFlash&) = delete;

    // Keeps the flash in the file at `path` from now on: an existing file must hold exactly the
    // flash and becomes its contents; a missing one is created erased. The file is mapped, so
    // every write is in it at once and a simulator killed at any moment leaves in it exactly
    // what the loader had received. On false the flash is as it was.
    bool Attach(const std::string& path, std::string& error);

    // Page-bounded access stays inside the page of `address`, wrapping at its end, as the chip's
    // page buffer does; linear access runs on across pages. False past the end of the flash.
    bool ReadPaged(uint32_t address, uint32_t count, std::vector<uint8_t>& out) const;
    bool WritePaged(uint32_t address, const std::vector<uint8_t>& data);
    bool ReadLinear(uint32_t address, uint32_t count, std::vector<uint8_t>& out) const;
    void WriteLinear(uint32_t address, const std::vector<uint8_t>& data);   // clipped at the end

private:
    static uint32_t PagedAddress(uint32_t address, uint32_t i);
    bool MapFile(const std::string& path, std::string& error);
    void Unmap();
    std::vector<uint8_t> memory_;   // the flash while no file keeps it
    uint8_t* bytes_;                // memory_ or the file's mapping
    void* mapping_ = nullptr;
};

}   // namespace sim
