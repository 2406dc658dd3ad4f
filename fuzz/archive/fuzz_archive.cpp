// Opens any bytes as a resource archive and reads every entry it admits in uneven pieces,
// with seeks in between. The archive must either refuse the file or stay inside it.

#include <cstdint>
#include <cstdio>
#include <vector>

#include "core/KvFS.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    std::vector<uint8_t> copy(data, data + size);
    std::FILE* file = fmemopen(copy.data(), copy.size(), "rb");
    if (!file) return 0;
    kv::KvFS archive(file);
    if (!archive.IsOpen()) return 0;

    std::vector<uint8_t> buffer;
    for (const kv::KvFSEntry& entry : archive.Entries()) {
        kv::KvFSIStream in(&archive, entry.name);
        if (!in.IsOpen() || in.size > archive.FileSize()) __builtin_trap();
        buffer.assign(in.size + 16, 0);
        uint32_t piece = 1 + entry.name.Length() % 7;
        uint32_t total = 0;
        for (;;) {
            int32_t got = in.Read(buffer.data() + total, piece);
            if (got < 0 || static_cast<uint32_t>(got) > piece) __builtin_trap();
            total += static_cast<uint32_t>(got);
            if (got == 0) break;
            if (total > in.size) __builtin_trap();
        }
        if (total != in.size || !in.IsEof()) __builtin_trap();
        in.Seek(-1, kv::SeekOrigin::Current);
        in.Seek(static_cast<int32_t>(entry.offset), kv::SeekOrigin::Begin);
        if (in.Read(buffer.data(), static_cast<uint32_t>(buffer.size())) > static_cast<int32_t>(in.size)) __builtin_trap();
        in.Seek(-2, kv::SeekOrigin::End);
        in.Read(buffer.data(), 16);
    }
    return 0;
}
