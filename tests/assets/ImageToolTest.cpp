#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "TempFolder.h"
#include "TestResources.h"

// The kvimage tool, run as someone checking a picture before packing it.
namespace kv {
namespace {

class ImageTool : public test::TempFolder {
protected:
    // Converts the file named in to the file named out; the tool's exit status.
    int Run(const std::string& in, const std::string& out) {
        const std::string command = std::string(KVIMAGE_TOOL) + " " + Path(in) + " " + Path(out) + " >/dev/null 2>&1";
        const int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
};

TEST_F(ImageTool, WritesTheDecodedPictureTopRowFirst) {
    // A 1 x 2 top-left-origin TGA: its first stored row (red) is the top of the picture.
    Write("in.tga", {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 2, 0, 32, 0x28,  // header
                     0, 0, 255, 255, /* then */ 255, 0, 0, 128});
    ASSERT_EQ(Run("in.tga", "out.pam"), 0);
    const std::string header = "P7\nWIDTH 1\nHEIGHT 2\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n";
    const std::vector<uint8_t> pam = Read("out.pam");
    EXPECT_EQ(std::string(pam.begin(), pam.end()), header + std::string("\xff\0\0\xff\0\0\xff\x80", 8));

    Write("in.JPG", test::EncodeJpeg(5, 3, std::vector<uint8_t>(5 * 3 * 3, 99), 3));
    ASSERT_EQ(Run("in.JPG", "out.png"), 0);
    std::vector<uint8_t> png = Read("out.png");
    ASSERT_GT(png.size(), 33u);
    EXPECT_EQ(std::string(png.begin() + 1, png.begin() + 4), "PNG");
    EXPECT_EQ(png[19], 5);  // width in the IHDR chunk
    EXPECT_EQ(png[23], 3);  // height
}

TEST_F(ImageTool, RefusesWhatTheGameWouldRefuse) {
    Write("bad.tga", {'s', 'h', 'o', 'r', 't'});
    for (const char* in : {"bad.tga", "picture.bmp", "missing.tga"}) EXPECT_NE(Run(in, "out.png"), 0) << in;
    EXPECT_FALSE(std::filesystem::exists(Path("out.png")));
}

}  // namespace
}  // namespace kv
