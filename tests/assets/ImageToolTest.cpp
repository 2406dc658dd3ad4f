#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "TestResources.h"

// The kvimage tool, run as someone checking a picture before packing it.
namespace kv {
namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class ImageTool : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("kvimage-test-" + std::to_string(::getpid()));
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    int Run(const std::string& args) {
        int status = std::system((std::string(KVIMAGE_TOOL) + " " + args + " >/dev/null 2>&1").c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    fs::path dir_;
};

TEST_F(ImageTool, WritesTheDecodedPictureTopRowFirst) {
    // A 1 x 2 top-left-origin TGA: its first stored row (red) is the top of the picture.
    std::vector<uint8_t> tga = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 2, 0, 32, 0x28,
                                0, 0, 255, 255, /* then */ 255, 0, 0, 128};
    std::ofstream(dir_ / "in.tga", std::ios::binary).write(reinterpret_cast<const char*>(tga.data()), tga.size());
    ASSERT_EQ(Run((dir_ / "in.tga").string() + " " + (dir_ / "out.pam").string()), 0);
    std::vector<uint8_t> pam = ReadFile(dir_ / "out.pam");
    std::string header = "P7\nWIDTH 1\nHEIGHT 2\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n";
    ASSERT_EQ(pam.size(), header.size() + 8);
    EXPECT_EQ(std::string(pam.begin(), pam.begin() + static_cast<long>(header.size())), header);
    EXPECT_EQ(std::vector<uint8_t>(pam.begin() + static_cast<long>(header.size()), pam.end()),
              (std::vector<uint8_t>{255, 0, 0, 255, 0, 0, 255, 128}));

    std::vector<uint8_t> jpeg = test::EncodeJpeg(5, 3, std::vector<uint8_t>(5 * 3 * 3, 99), 3);
    std::ofstream(dir_ / "in.JPG", std::ios::binary).write(reinterpret_cast<const char*>(jpeg.data()), jpeg.size());
    ASSERT_EQ(Run((dir_ / "in.JPG").string() + " " + (dir_ / "out.png").string()), 0);
    std::vector<uint8_t> png = ReadFile(dir_ / "out.png");
    ASSERT_GT(png.size(), 33u);
    EXPECT_EQ(std::string(png.begin() + 1, png.begin() + 4), "PNG");
    EXPECT_EQ(png[19], 5);  // width in the IHDR chunk
    EXPECT_EQ(png[23], 3);  // height
}

TEST_F(ImageTool, RefusesWhatTheGameWouldRefuse) {
    std::ofstream(dir_ / "bad.tga", std::ios::binary) << "short";
    EXPECT_NE(Run((dir_ / "bad.tga").string() + " " + (dir_ / "out.png").string()), 0);
    EXPECT_NE(Run((dir_ / "picture.bmp").string() + " " + (dir_ / "out.png").string()), 0);
    EXPECT_NE(Run((dir_ / "missing.tga").string() + " " + (dir_ / "out.png").string()), 0);
    EXPECT_FALSE(fs::exists(dir_ / "out.png"));
}

}  // namespace
}  // namespace kv
