#pragma once
// The byte-stream family. Every reader in the program (compiler, model, image and sound
// loaders) is written against KvIStream and never knows which stream it holds.
// Multi-byte values are little-endian with the in-memory width of the field.

#include <cstdint>
#include <cstdio>
#include <optional>

#include "core/KvString.h"

namespace kv {

enum class SeekOrigin : int { Begin = 0, Current = 1, End = 2 };

class KvStream {
public:
    virtual ~KvStream() = default;
    // Current position; -1 when the stream is not open.
    virtual int32_t GetPos() = 0;
    // Returns true on failure: the new position lies past the end (it still moves there),
    // before the start (it stays where it was), or the stream is not open.
    virtual bool Seek(int32_t offset, SeekOrigin origin) = 0;
    virtual bool IsOpen() = 0;
    virtual bool IsEof() = 0;

    uint32_t size = 0;  // total length of the content in bytes
};

class KvIStream : public KvStream {
public:
    // Copies up to count bytes into buffer; returns how many were copied.
    virtual int32_t Read(void* buffer, uint32_t count) = 0;
};

class KvOStream : public KvStream {
public:
    virtual int32_t Write(const void* buffer, uint32_t count) = 0;
};

// Why a file could not be opened for reading.
enum class FileProblem { None, Missing, NotRegular, Unreadable };

// Opens path for binary reading only when it names a regular file (or a link to one): a FIFO
// would block the open until some writer comes, a device may never end, a directory reads as
// nothing. Null otherwise, with the reason in problem when given.
std::FILE* OpenRegularFile(const KvFile& path, FileProblem* problem = nullptr);

class KvBaseFileStream {
protected:
    std::FILE* file_ = nullptr;
};

class KvBaseMemStream {
protected:
    KvBaseMemStream(const uint8_t* data, uint32_t position) : data_(data), position_(position) {}
    const uint8_t* data_;
    uint32_t position_;
};

// A regular file opened for binary reading (anything else stays closed, see OpenRegularFile).
// IsEof turns true only after a read ran short.
class KvFileIStream : public KvIStream, private KvBaseFileStream {
public:
    explicit KvFileIStream(const KvFile& path);
    ~KvFileIStream() override;
    KvFileIStream(const KvFileIStream&) = delete;
    KvFileIStream& operator=(const KvFileIStream&) = delete;

    int32_t GetPos() override;
    bool Seek(int32_t offset, SeekOrigin origin) override;
    bool IsOpen() override { return file_ != nullptr; }
    bool IsEof() override;
    int32_t Read(void* buffer, uint32_t count) override;

    // The file's length when opened, in full: `size` stops at 4 GiB - 1.
    uint64_t FileSize() const { return fileSize_; }

private:
    uint64_t fileSize_ = 0;
};

// A read view over a block the caller owns. Reads stop at the end of the block.
class KvMemIStream : public KvIStream, private KvBaseMemStream {
public:
    KvMemIStream(const void* data, uint32_t size);

    int32_t GetPos() override { return static_cast<int32_t>(position_); }
    bool Seek(int32_t offset, SeekOrigin origin) override;
    bool IsOpen() override { return data_ != nullptr; }
    bool IsEof() override { return position_ >= size; }
    int32_t Read(void* buffer, uint32_t count) override;
};

// A growable output block. Its capacity is a multiple of 100 bytes and at least doubles
// when it grows, so writing n bytes one at a time copies O(n) bytes in all.
class KvElasticMemOStream : public KvOStream {
public:
    KvElasticMemOStream();
    ~KvElasticMemOStream() override;
    KvElasticMemOStream(const KvElasticMemOStream&) = delete;
    KvElasticMemOStream& operator=(const KvElasticMemOStream&) = delete;

    int32_t GetPos() override { return static_cast<int32_t>(position_); }
    bool Seek(int32_t offset, SeekOrigin origin) override;
    bool IsOpen() override { return data_ != nullptr; }
    bool IsEof() override { return position_ >= size; }
    int32_t Write(const void* buffer, uint32_t count) override;

    const uint8_t* Data() const { return data_; }
    uint32_t Capacity() const { return capacity_; }

private:
    uint8_t* data_;
    uint32_t capacity_;
    uint32_t position_ = 0;
};

// Where a seek of the memory and archive streams lands from position in content of size
// bytes; nothing when that lies before the start or beyond 32 bits.
std::optional<uint32_t> SeekTarget(uint32_t position, uint32_t size, int32_t offset, SeekOrigin origin);

// Reads a 32-bit little-endian length, then that many bytes, into out.
// Returns false when the stream held fewer bytes than announced (out then holds what was read).
bool ReadString(KvIStream& in, KvString& out);

}  // namespace kv
