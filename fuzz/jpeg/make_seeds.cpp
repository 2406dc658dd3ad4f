// Writes the JPEG fuzz target's seeds into a folder: small pictures in each way of coding that
// the decoder may meet (colour subsampled or not, grey, progressive, restart markers,
// arithmetic coding, optimised tables, CMYK, odd sizes), so no binary file is kept in the sources.

#include <cstdio>
#include <string>
#include <vector>

#include <jpeglib.h>

namespace {

struct Seed {
    const char* name;
    int width, height;
    J_COLOR_SPACE space;
    int components;
    void (*tune)(jpeg_compress_struct&);
};

void Baseline(jpeg_compress_struct&) {}
void Full(jpeg_compress_struct& c) {
    for (int i = 0; i < c.num_components; ++i) c.comp_info[i].h_samp_factor = c.comp_info[i].v_samp_factor = 1;
}
void Progressive(jpeg_compress_struct& c) { jpeg_simple_progression(&c); }
void Restarts(jpeg_compress_struct& c) { c.restart_interval = 1; }
void Arithmetic(jpeg_compress_struct& c) { c.arith_code = TRUE; }
void Optimised(jpeg_compress_struct& c) { c.optimize_coding = TRUE; }

const Seed kSeeds[] = {
    {"rgb420.jpg", 16, 16, JCS_RGB, 3, Baseline},     {"rgb444.jpg", 8, 8, JCS_RGB, 3, Full},
    {"grey.jpg", 8, 8, JCS_GRAYSCALE, 1, Baseline},   {"progressive.jpg", 16, 16, JCS_RGB, 3, Progressive},
    {"restarts.jpg", 24, 8, JCS_RGB, 3, Restarts},    {"arithmetic.jpg", 8, 8, JCS_RGB, 3, Arithmetic},
    {"optimised.jpg", 8, 8, JCS_RGB, 3, Optimised},   {"cmyk.jpg", 8, 8, JCS_CMYK, 4, Baseline},
    {"odd.jpg", 5, 3, JCS_RGB, 3, Baseline},
};

bool Write(const std::string& path, const Seed& seed) {
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (!out) return false;
    jpeg_compress_struct c;
    jpeg_error_mgr errors;
    c.err = jpeg_std_error(&errors);
    jpeg_create_compress(&c);
    jpeg_stdio_dest(&c, out);
    c.image_width = static_cast<JDIMENSION>(seed.width);
    c.image_height = static_cast<JDIMENSION>(seed.height);
    c.input_components = seed.components;
    c.in_color_space = seed.space;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 75, TRUE);
    seed.tune(c);
    jpeg_start_compress(&c, TRUE);
    std::vector<JSAMPLE> row(static_cast<size_t>(seed.width * seed.components));
    while (c.next_scanline < c.image_height) {
        for (size_t i = 0; i < row.size(); ++i) row[i] = static_cast<JSAMPLE>((i * 37 + c.next_scanline * 91) & 0xFF);
        JSAMPROW rows[] = {row.data()};
        jpeg_write_scanlines(&c, rows, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    return std::fclose(out) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_jpeg_seeds FOLDER\n");
        return 2;
    }
    for (const Seed& seed : kSeeds) {
        if (!Write(std::string(argv[1]) + "/" + seed.name, seed)) {
            std::fprintf(stderr, "make_jpeg_seeds: cannot write %s/%s\n", argv[1], seed.name);
            return 1;
        }
    }
    return 0;
}
