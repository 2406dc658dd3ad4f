#pragma once
// The resource archive: one file holding every model, picture and sound by name.
//
// Layout (integers unsigned 32-bit little-endian):
//   offset 0   "KVFS"                       plain
//   offset 4   index offset                 scrambled
//   anywhere   entry data blocks            scrambled
//   index      entry count, then per entry: name length, name bytes, data offset, data size
// Every byte after the magic is XORed with ScrambleTable()[absolute offset % 1000], so the
// same rule serves the header field, the index and the data, and reading in pieces gives
// the same bytes as reading at once.
//
// An archive is checked when it is opened: a bad header, a negative entry count, or an index or
// an entry that runs past the end of the file rejects the whole archive (it then has no file
// and no entries, and Problem() says what is wrong), so every later read stays inside the file.
// Reads through a handle never pass the end of its entry.

#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "core/KvString.h"
#include "core/Stream.h"

namespace kv {

inline constexpr uint32_t kScrambleTableSize = 1000;

// The fixed 1000-byte table, the same for every archive the game reads or writes.
const uint8_t* ScrambleTable();

// XORs count bytes that sit at absolute file offset startOffset with the table.
// Scrambling and unscrambling are the same operation.
void Unscramble(uint8_t* buffer, uint32_t count, uint64_t startOffset);

struct KvFSEntry {
    KvString name;
    uint32_t offset = 0;  // absolute file offset of the first byte
    uint32_t size = 0;
};

// The read cursor of one open entry.
struct KvFSHandle {
    uint32_t offset = 0;
    uint32_t size = 0;
    uint32_t position = 0;  // within the entry
};

class KvFS {
public:
    // Opens and indexes the archive at path; a missing, foreign or damaged file, or one that is
    // not a regular file, leaves it closed.
    explicit KvFS(const KvFile& path);
    // Takes ownership of an already opened file (used to read archives held in memory); name
    // stands for it in Problem().
    explicit KvFS(std::FILE* file, const KvString& name = "the archive");
    ~KvFS();
    KvFS(const KvFS&) = delete;
    KvFS& operator=(const KvFS&) = delete;

    void Close();
    bool IsOpen() const { return file_ != nullptr; }
    // Why opening failed, naming the archive: "Kolvex.kvfs not found", "Kolvex.kvfs is damaged:
    // bad index"; empty when it opened.
    const KvString& Problem() const { return problem_; }

    // A new handle on the entry of exactly this name (case-sensitive); null when absent or closed.
    KvFSHandle* Open(const KvString& name);
    // Copies up to count bytes of the entry from the handle's position; returns the number copied.
    int32_t Read(void* buffer, uint32_t count, KvFSHandle* handle);
    // Returns true on failure: the new position lies past the end of the entry (or before its start).
    bool Seek(KvFSHandle* handle, int32_t offset, SeekOrigin origin);
    int32_t GetPos(KvFSHandle* handle);
    void Release(KvFSHandle* handle);

    const KvFSEntry* Find(const KvString& name) const;
    // Every index record in the order the index stores them (a name stored twice appears twice).
    const std::vector<KvFSEntry>& Entries() const { return order_; }
    // The size of the archive file in bytes, 0 when closed.
    uint64_t FileSize() const { return fileSize_; }

private:
    // Reads the index of the open file; when it is damaged, closes the archive and says so.
    void Check(const KvString& name);
    // What is wrong with the archive; empty when it is sound.
    KvString ReadIndex();
    bool ReadAt(uint64_t offset, void* buffer, uint32_t count);

    std::FILE* file_ = nullptr;
    uint64_t fileSize_ = 0;
    uint64_t filePos_ = 0;  // where the file handle stands, to skip needless seeks
    std::map<KvString, KvFSEntry> index_;
    std::vector<KvFSEntry> order_;
    KvString problem_;
};

// An input stream over one named archive entry.
class KvFSIStream : public KvIStream {
public:
    KvFSIStream(KvFS* archive, const KvString& name);
    ~KvFSIStream() override;
    KvFSIStream(const KvFSIStream&) = delete;
    KvFSIStream& operator=(const KvFSIStream&) = delete;

    int32_t GetPos() override;
    bool Seek(int32_t offset, SeekOrigin origin) override;
    bool IsOpen() override { return archive_ != nullptr && handle_ != nullptr; }
    // True exactly when the position equals the entry size.
    bool IsEof() override;
    int32_t Read(void* buffer, uint32_t count) override;

private:
    KvFS* archive_;
    KvFSHandle* handle_ = nullptr;
};

// One entry to be written into a new archive.
struct KvFSWriteEntry {
    KvString name;
    std::vector<uint8_t> data;
};

// The complete bytes of an archive holding these entries in this index order: magic, header,
// data blocks from offset 8, then the index. Fails (returns nothing) past 4 GiB.
std::optional<std::vector<uint8_t>> BuildArchive(const std::vector<KvFSWriteEntry>& entries);

// Builds the archive and writes it to path; false when it cannot be built or written.
bool WriteArchive(const KvFile& path, const std::vector<KvFSWriteEntry>& entries);

}  // namespace kv
