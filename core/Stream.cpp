#include "core/Stream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

namespace kv {

std::optional<uint32_t> SeekTarget(uint32_t position, uint32_t size, int32_t offset, SeekOrigin origin) {
    int64_t from = 0;
    switch (origin) {
        case SeekOrigin::Begin: break;
        case SeekOrigin::Current: from = position; break;
        case SeekOrigin::End: from = size; break;
        default: return position;
    }
    const int64_t target = from + offset;
    if (target < 0 || target > UINT32_MAX) return std::nullopt;
    return static_cast<uint32_t>(target);
}

std::FILE* OpenRegularFile(const KvFile& path, FileProblem* problem) {
    FileProblem ignored;
    FileProblem& why = problem ? *problem : ignored;
    auto fail = [&](FileProblem reason) -> std::FILE* {
        why = errno == ENOENT || errno == ENOTDIR ? FileProblem::Missing : reason;
        return nullptr;
    };
    why = FileProblem::None;
    struct stat info;
    // Looked at before opening, since opening a FIFO or a device may itself block or act.
    if (::stat(path.CStr(), &info) != 0) return fail(FileProblem::Unreadable);
    if (!S_ISREG(info.st_mode)) {
        why = FileProblem::NotRegular;
        return nullptr;
    }
    // Something else may have taken the path's place since: the open must not block either,
    // and what it opened is looked at again.
    const int fd = ::open(path.CStr(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return fail(FileProblem::Unreadable);
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        why = FileProblem::NotRegular;
        return nullptr;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    std::FILE* file = ::fdopen(fd, "rb");
    if (!file) {
        ::close(fd);
        why = FileProblem::Unreadable;
    }
    return file;
}

KvFileIStream::KvFileIStream(const KvFile& path) {
    file_ = OpenRegularFile(path);
    if (!file_) return;
    const off_t here = ftello(file_);
    fseeko(file_, 0, SEEK_END);
    const off_t end = ftello(file_);
    fileSize_ = end < 0 ? 0 : static_cast<uint64_t>(end);
    size = static_cast<uint32_t>(std::min<uint64_t>(fileSize_, UINT32_MAX));
    fseeko(file_, here, SEEK_SET);
}

KvFileIStream::~KvFileIStream() {
    if (file_) std::fclose(file_);
}

int32_t KvFileIStream::GetPos() { return file_ ? static_cast<int32_t>(std::ftell(file_)) : -1; }

bool KvFileIStream::Seek(int32_t offset, SeekOrigin origin) {
    if (!file_) return true;
    return std::fseek(file_, offset, static_cast<int>(origin)) != 0;
}

bool KvFileIStream::IsEof() { return file_ ? std::feof(file_) != 0 : true; }

int32_t KvFileIStream::Read(void* buffer, uint32_t count) {
    if (!file_) return 0;
    return static_cast<int32_t>(std::fread(buffer, 1, count, file_));
}

KvMemIStream::KvMemIStream(const void* data, uint32_t size_) : KvBaseMemStream(static_cast<const uint8_t*>(data), 0) {
    size = size_;
}

bool KvMemIStream::Seek(int32_t offset, SeekOrigin origin) {
    const std::optional<uint32_t> target = SeekTarget(position_, size, offset, origin);
    if (!target) return true;
    position_ = *target;
    return position_ > size;
}

int32_t KvMemIStream::Read(void* buffer, uint32_t count) {
    if (!data_ || position_ >= size) return 0;
    uint32_t n = std::min(count, size - position_);
    std::memcpy(buffer, data_ + position_, n);
    position_ += n;
    return static_cast<int32_t>(n);
}

KvElasticMemOStream::KvElasticMemOStream() : data_(new uint8_t[100]), capacity_(100) {}

KvElasticMemOStream::~KvElasticMemOStream() { delete[] data_; }

bool KvElasticMemOStream::Seek(int32_t offset, SeekOrigin origin) {
    const std::optional<uint32_t> target = SeekTarget(position_, size, offset, origin);
    if (!target) return true;
    position_ = *target;
    return position_ > size;
}

int32_t KvElasticMemOStream::Write(const void* buffer, uint32_t count) {
    constexpr uint64_t kLargestCapacity = UINT32_MAX / 100 * 100;
    const uint64_t needed = uint64_t{position_} + count;
    if (needed > kLargestCapacity) return 0;  // past 4 GiB: refuse rather than wrap around
    if (needed > capacity_) {
        // Doubling keeps a text written byte by byte linear; rounding up to 100 serves
        // a single large write without over-allocating.
        const uint64_t grown = std::max((needed + 99) / 100 * 100, uint64_t{capacity_} * 2);
        capacity_ = static_cast<uint32_t>(std::min(grown, kLargestCapacity));
        auto* block = new uint8_t[capacity_];
        std::memcpy(block, data_, size);
        delete[] data_;
        data_ = block;
    }
    std::memcpy(data_ + position_, buffer, count);
    position_ += count;
    size = std::max(size, position_);
    return static_cast<int32_t>(count);
}

bool ReadString(KvIStream& in, KvString& out) {
    uint32_t n = 0;
    if (in.Read(&n, 4) != 4) {
        out = KvString();
        return false;
    }
    // Never trust the length: read in pieces so a corrupt length cannot allocate gigabytes.
    std::string text;
    char chunk[4096];
    uint32_t left = n;
    while (left > 0) {
        uint32_t want = std::min<uint32_t>(left, sizeof chunk);
        int32_t got = in.Read(chunk, want);
        if (got > 0) text.append(chunk, static_cast<std::size_t>(got));
        if (got != static_cast<int32_t>(want)) break;
        left -= want;
    }
    out = KvString(text.data(), text.size());
    return text.size() == n;
}

}  // namespace kv
