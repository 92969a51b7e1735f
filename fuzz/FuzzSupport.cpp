#include "fuzz/FuzzSupport.h"

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace fuzz {
namespace {
// Never destroyed: the handler that removes the folder runs after static destructors.
const std::filesystem::path& ScratchDir()
{
    static const auto* dir = new std::filesystem::path([] {
        std::error_code ec;
        std::filesystem::path base = std::filesystem::is_directory("/dev/shm", ec)
                                         ? std::filesystem::path("/dev/shm")
                                         : std::filesystem::temp_directory_path();
        std::filesystem::path own = base / ("flasher-fuzz-" + std::to_string(getpid()));
        std::filesystem::create_directories(own);
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(ScratchDir(), ignored);
        });
        return own;
    }());
    return *dir;
}
}   // namespace

std::string ScratchPath(const char* name) { return (ScratchDir() / name).string(); }

void WriteScratch(const std::string& path, const uint8_t* data, size_t size)
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    FUZZ_CHECK(file.good());
}

}   // namespace fuzz
