#include "core/KvFS.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

namespace kv {

namespace {

// The scrambling table: successive top bytes of a 32-bit xorshift generator
// (x ^= x << 13; x ^= x >> 17; x ^= x << 5) started from the magic read as a
// big-endian number, 0x4B564653 ("KVFS"). Fixed forever: changing it orphans every archive.
constexpr std::array<uint8_t, kScrambleTableSize> MakeScrambleTable() {
    std::array<uint8_t, kScrambleTableSize> table{};
    uint32_t x = 0x4B564653u;
    for (uint32_t i = 0; i < kScrambleTableSize; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        table[i] = static_cast<uint8_t>(x >> 24);
    }
    return table;
}

constexpr std::array<uint8_t, kScrambleTableSize> kScrambleTable = MakeScrambleTable();

constexpr char kMagic[4] = {'K', 'V', 'F', 'S'};
constexpr uint32_t kHeaderSize = 8;

uint32_t LoadU32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

// A name fit to be shown in a message: a short run of printable ASCII.
bool Printable(const KvString& name) {
    const std::size_t n = name.Length();
    if (n == 0 || n > 100) return false;
    for (std::size_t i = 0; i < n; ++i)
        if (name.At(i) < ' ' || name.At(i) > '~') return false;
    return true;
}

void AppendU32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

}  // namespace

const uint8_t* ScrambleTable() { return kScrambleTable.data(); }

void Unscramble(uint8_t* buffer, uint32_t count, uint64_t startOffset) {
    auto t = static_cast<uint32_t>(startOffset % kScrambleTableSize);
    for (uint32_t i = 0; i < count; ++i) {
        buffer[i] ^= kScrambleTable[t];
        if (++t == kScrambleTableSize) t = 0;
    }
}

KvFS::KvFS(const KvFile& path) {
    FileProblem problem = FileProblem::None;
    file_ = OpenRegularFile(path, &problem);
    const int error = errno;
    switch (problem) {
        case FileProblem::None: Check(path); break;
        case FileProblem::Missing: problem_.Format("%s not found", path.CStr()); break;
        case FileProblem::NotRegular: problem_.Format("%s is damaged: not a regular file", path.CStr()); break;
        case FileProblem::Unreadable:
            problem_.Format("%s cannot be read: %s", path.CStr(), std::strerror(error));
            break;
    }
}

KvFS::KvFS(std::FILE* file, const KvString& name) : file_(file) {
    if (file_) Check(name);
    else problem_.Format("%s not found", name.CStr());
}

void KvFS::Check(const KvString& name) {
    const KvString damage = ReadIndex();
    if (damage.Length() == 0) return;
    Close();
    problem_.Format("%s is damaged: %s", name.CStr(), damage.CStr());
}

KvFS::~KvFS() { Close(); }

void KvFS::Close() {
    if (file_) std::fclose(file_);
    file_ = nullptr;
    fileSize_ = 0;
    filePos_ = 0;
    index_.clear();
    order_.clear();
}

bool KvFS::ReadAt(uint64_t offset, void* buffer, uint32_t count) {
    if (filePos_ != offset) {
        if (fseeko(file_, static_cast<off_t>(offset), SEEK_SET) != 0) {
            filePos_ = UINT64_MAX;
            return false;
        }
        filePos_ = offset;
    }
    size_t got = std::fread(buffer, 1, count, file_);
    if (got != count) {
        filePos_ = UINT64_MAX;  // unknown after a short read: seek next time
        return false;
    }
    filePos_ += got;
    return true;
}

// Reads the whole index, checking every field against the file size before trusting it.
KvString KvFS::ReadIndex() {
    const KvString badHeader = "bad header", badIndex = "bad index";
    if (fseeko(file_, 0, SEEK_END) != 0) return badHeader;
    off_t end = ftello(file_);
    if (end < 0) return badHeader;
    fileSize_ = static_cast<uint64_t>(end);
    filePos_ = UINT64_MAX;

    uint8_t header[kHeaderSize];
    if (fileSize_ < kHeaderSize || !ReadAt(0, header, kHeaderSize)) return badHeader;
    if (std::memcmp(header, kMagic, sizeof kMagic) != 0) return badHeader;
    Unscramble(header + 4, 4, 4);

    uint64_t pos = LoadU32(header + 4);
    auto readU32 = [&](uint32_t& value) {
        uint8_t bytes[4];
        if (pos + 4 > fileSize_ || !ReadAt(pos, bytes, 4)) return false;
        Unscramble(bytes, 4, pos);
        value = LoadU32(bytes);
        pos += 4;
        return true;
    };

    uint32_t rawCount = 0;
    if (!readU32(rawCount)) return badIndex;
    // The count is signed on disk: a negative one is damage, not an empty archive.
    int32_t count = static_cast<int32_t>(rawCount);
    if (count < 0) return badIndex;
    // Every record takes at least 12 bytes; a count that cannot fit is a damaged index.
    if (static_cast<uint64_t>(count) > (fileSize_ - pos) / 12) return badIndex;

    std::vector<uint8_t> name;
    for (int32_t i = 0; i < count; ++i) {
        uint32_t length = 0;
        if (!readU32(length)) return badIndex;
        if (pos + length + 8 > fileSize_) return badIndex;
        name.resize(length);
        if (length > 0) {
            if (!ReadAt(pos, name.data(), length)) return badIndex;
            Unscramble(name.data(), length, pos);
            pos += length;
        }
        KvFSEntry entry;
        if (!readU32(entry.offset) || !readU32(entry.size)) return badIndex;
        // A stored name ends at its first zero byte, as a terminated string would.
        auto nameEnd = std::find(name.begin(), name.end(), uint8_t{0});
        entry.name = KvString(reinterpret_cast<const char*>(name.data()),
                              static_cast<std::size_t>(nameEnd - name.begin()));
        if (static_cast<uint64_t>(entry.offset) + entry.size > fileSize_) {
            if (!Printable(entry.name)) return badIndex;
            return KvString().Format("the entry '%s' runs past the end", entry.name.CStr());
        }
        order_.push_back(entry);
        index_.insert_or_assign(entry.name, entry);  // a later record of a name replaces the earlier
    }
    return KvString();
}

const KvFSEntry* KvFS::Find(const KvString& name) const {
    auto it = index_.find(name);
    return it == index_.end() ? nullptr : &it->second;
}

KvFSHandle* KvFS::Open(const KvString& name) {
    if (!file_) return nullptr;
    const KvFSEntry* entry = Find(name);
    if (!entry) return nullptr;
    return new KvFSHandle{entry->offset, entry->size, 0};
}

int32_t KvFS::Read(void* buffer, uint32_t count, KvFSHandle* handle) {
    if (!file_ || !handle || handle->position >= handle->size) return 0;
    uint32_t n = std::min(count, handle->size - handle->position);
    uint64_t start = static_cast<uint64_t>(handle->offset) + handle->position;
    auto* bytes = static_cast<uint8_t*>(buffer);
    if (!ReadAt(start, bytes, n)) {
        // The file shrank under us since it was opened; deliver nothing rather than stale bytes.
        return 0;
    }
    Unscramble(bytes, n, start);
    handle->position += n;
    return static_cast<int32_t>(n);
}

bool KvFS::Seek(KvFSHandle* handle, int32_t offset, SeekOrigin origin) {
    if (!file_ || !handle) return true;
    const std::optional<uint32_t> target = SeekTarget(handle->position, handle->size, offset, origin);
    if (!target) return true;
    handle->position = *target;
    return handle->position > handle->size;
}

int32_t KvFS::GetPos(KvFSHandle* handle) {
    if (!file_ || !handle) return -1;
    return static_cast<int32_t>(handle->position);
}

void KvFS::Release(KvFSHandle* handle) { delete handle; }

KvFSIStream::KvFSIStream(KvFS* archive, const KvString& name) : archive_(archive) {
    if (!archive_) return;
    handle_ = archive_->Open(name);
    if (handle_) size = handle_->size;
}

KvFSIStream::~KvFSIStream() {
    if (IsOpen()) archive_->Release(handle_);
}

int32_t KvFSIStream::GetPos() { return IsOpen() ? archive_->GetPos(handle_) : -1; }

bool KvFSIStream::Seek(int32_t offset, SeekOrigin origin) {
    return IsOpen() ? archive_->Seek(handle_, offset, origin) : true;
}

bool KvFSIStream::IsEof() { return IsOpen() && handle_->position == handle_->size; }

int32_t KvFSIStream::Read(void* buffer, uint32_t count) {
    return IsOpen() ? archive_->Read(buffer, count, handle_) : 0;
}

std::optional<std::vector<uint8_t>> BuildArchive(const std::vector<KvFSWriteEntry>& entries) {
    uint64_t total = kHeaderSize + 4;
    for (const KvFSWriteEntry& e : entries) total += e.data.size() + 12 + e.name.Length();
    if (total > UINT32_MAX) return std::nullopt;

    std::vector<uint8_t> out(kMagic, kMagic + sizeof kMagic);
    out.reserve(static_cast<size_t>(total));
    AppendU32(out, 0);  // index offset, filled in below
    std::vector<uint32_t> offsets;
    for (const KvFSWriteEntry& e : entries) {
        offsets.push_back(static_cast<uint32_t>(out.size()));
        out.insert(out.end(), e.data.begin(), e.data.end());
    }
    auto indexOffset = static_cast<uint32_t>(out.size());
    AppendU32(out, static_cast<uint32_t>(entries.size()));
    for (size_t i = 0; i < entries.size(); ++i) {
        const KvFSWriteEntry& e = entries[i];
        auto length = static_cast<uint32_t>(e.name.Length());
        AppendU32(out, length);
        out.insert(out.end(), e.name.CStr(), e.name.CStr() + length);
        AppendU32(out, offsets[i]);
        AppendU32(out, static_cast<uint32_t>(e.data.size()));
    }
    for (int i = 0; i < 4; ++i) out[4 + i] = static_cast<uint8_t>(indexOffset >> (8 * i));
    Unscramble(out.data() + 4, static_cast<uint32_t>(out.size() - 4), 4);
    return out;
}

bool WriteArchive(const KvFile& path, const std::vector<KvFSWriteEntry>& entries) {
    std::optional<std::vector<uint8_t>> bytes = BuildArchive(entries);
    if (!bytes) return false;
    std::FILE* f = std::fopen(path.CStr(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(bytes->data(), 1, bytes->size(), f) == bytes->size();
    ok = std::fclose(f) == 0 && ok;
    if (!ok) std::remove(path.CStr());
    return ok;
}

}  // namespace kv
