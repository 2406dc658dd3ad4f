#pragma once
// A fresh folder for each test, removed after it, with whole files written and read there.
// Folders are named by process and test: the test programs of several build folders may
// share the temporary folder.

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace kv::test {

// The bytes of the file at path; none when it cannot be read.
template <class Bytes = std::vector<uint8_t>>
Bytes ReadWhole(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class TempFolder : public ::testing::Test {
protected:
    void SetUp() override { std::filesystem::create_directories(folder_); }
    void TearDown() override { std::filesystem::remove_all(folder_); }

    std::string Path(const std::string& name) const { return (folder_ / name).string(); }
    // Writes the file name in the folder; its path.
    template <class Bytes = std::vector<uint8_t>>
    std::string Write(const std::string& name, const Bytes& bytes) const {
        std::ofstream(folder_ / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return Path(name);
    }
    template <class Bytes = std::vector<uint8_t>>
    Bytes Read(const std::string& name) const {
        return ReadWhole<Bytes>(folder_ / name);
    }

private:
    const ::testing::TestInfo& test_ = *::testing::UnitTest::GetInstance()->current_test_info();
    const std::filesystem::path folder_ = std::filesystem::temp_directory_path() /
                                          ("kolvex-" + std::to_string(::getpid()) + "-" +
                                           test_.test_suite_name() + "." + test_.name());
};

}  // namespace kv::test
