// A station test's own folder: the station file st.ini and the slots' links in slots/.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

// A fresh, empty folder named for the running test (and this process), with slots/ in it.
inline std::filesystem::path FreshStationFolder(const std::string& prefix)
{
    const auto* test = testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(test->test_suite_name()) + "-" + test->name();
    for (char& c : name)
        if (c == '/') c = '-';
    auto dir = std::filesystem::temp_directory_path() / (prefix + name + "-" + std::to_string(getpid()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir / "slots");
    return dir;
}

// st.ini in `dir`: slots `labels` bound to their links in slots/, a settle time of 200 ms and `jobLines`.
inline void WriteStationFile(const std::filesystem::path& dir, const std::vector<std::string>& labels,
                             const std::string& jobLines)
{
    std::ofstream file(dir / "st.ini");
    file << "; test station\n[Job]\nSettle=200\n" << jobLines << "\n[Slots]\n";
    for (const std::string& label : labels) file << label << "=" << (dir / "slots" / label).string() << "\n";
}
