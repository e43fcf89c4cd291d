#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

enum class TSeekOrigin { soBeginning, soCurrent, soEnd };

// Byte stream with a size and a position. read and write move as many bytes as they can and
// return the count moved; readBuffer and writeBuffer insist on all of them.
class TStream {
public:
    virtual ~TStream() = default;

    virtual std::int64_t size();
    virtual void setSize(std::int64_t newSize);
    virtual std::int64_t read(void* buffer, std::int64_t count) = 0;
    virtual std::int64_t write(const void* buffer, std::int64_t count) = 0;
    virtual std::int64_t seek(std::int64_t offset, TSeekOrigin origin) = 0;

    // The bytes from the position to the end, when the stream holds them in memory: a reader may
    // then take them in place instead of copying them out. The position does not move. Nothing
    // for a stream whose bytes must be read.
    virtual std::optional<std::span<const std::uint8_t>> bytesInPlace() { return std::nullopt; }

    std::int64_t position() { return seek(0, TSeekOrigin::soCurrent); }
    void setPosition(std::int64_t pos) { seek(pos, TSeekOrigin::soBeginning); }

    // Raise EReadError ("Stream read error") / EWriteError ("Stream write error") on a short transfer.
    void readBuffer(void* buffer, std::int64_t count);
    void writeBuffer(const void* buffer, std::int64_t count);
    // Copies count bytes (all remaining bytes from position 0 when count is 0) from source.
    std::int64_t copyFrom(TStream& source, std::int64_t count);
};

// Growable stream in memory.
class TMemoryStream : public TStream {
public:
    TMemoryStream() = default;
    explicit TMemoryStream(std::string bytes) : data_(bytes.begin(), bytes.end()) {}

    std::int64_t size() override { return static_cast<std::int64_t>(data_.size()); }
    void setSize(std::int64_t newSize) override;
    std::int64_t read(void* buffer, std::int64_t count) override;
    std::int64_t write(const void* buffer, std::int64_t count) override;
    std::int64_t seek(std::int64_t offset, TSeekOrigin origin) override;
    std::optional<std::span<const std::uint8_t>> bytesInPlace() override;

    const char* memory() const { return data_.data(); }
    char* memory() { return data_.data(); }
    std::string bytes() const { return std::string(data_.begin(), data_.end()); }
    void clear();

private:
    std::vector<char> data_;
    std::int64_t position_ = 0;
};

// File opened by its name (the file system's bytes, UTF-8 on Linux).
class TFileStream : public TStream {
public:
    enum class Mode { openRead, create };
    // Raises EFOpenError (openRead) or EFCreateError (create) naming the file and the system's reason.
    // openRead opens regular files only: a directory, a device or a FIFO is refused, without waiting.
    TFileStream(const std::string& fileName, Mode mode);
    // Takes over a descriptor open for reading, which the stream closes.
    TFileStream(int descriptor, const std::string& fileName);
    ~TFileStream() override;
    TFileStream(const TFileStream&) = delete;
    TFileStream& operator=(const TFileStream&) = delete;

    std::int64_t size() override;
    std::int64_t read(void* buffer, std::int64_t count) override;
    std::int64_t write(const void* buffer, std::int64_t count) override;
    // The position is kept by the stream, so that asking for it costs no system call.
    std::int64_t seek(std::int64_t offset, TSeekOrigin origin) override;

    const std::string& fileName() const { return fileName_; }

private:
    std::string fileName_;
    int fd_ = -1;
    std::int64_t position_ = 0;
};
