#include "text/stream.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "text/exception.h"
#include "text/system_reasons.h"

std::int64_t TStream::size() {
    const std::int64_t saved = position();
    const std::int64_t end = seek(0, TSeekOrigin::soEnd);
    seek(saved, TSeekOrigin::soBeginning);
    return end;
}

void TStream::setSize(std::int64_t) { throw EStreamError("Stream size cannot be changed"); }

void TStream::readBuffer(void* buffer, std::int64_t count) {
    if (count != 0 && read(buffer, count) != count) throw EReadError("Stream read error");
}

void TStream::writeBuffer(const void* buffer, std::int64_t count) {
    if (count != 0 && write(buffer, count) != count) throw EWriteError("Stream write error");
}

std::int64_t TStream::copyFrom(TStream& source, std::int64_t count) {
    if (count == 0) {
        source.setPosition(0);
        count = source.size();
    }
    char buffer[65536];
    std::int64_t left = count;
    while (left > 0) {
        const std::int64_t chunk = std::min<std::int64_t>(left, sizeof buffer);
        source.readBuffer(buffer, chunk);
        writeBuffer(buffer, chunk);
        left -= chunk;
    }
    return count;
}

void TMemoryStream::setSize(std::int64_t newSize) {
    data_.resize(static_cast<std::size_t>(std::max<std::int64_t>(newSize, 0)));
    position_ = std::min(position_, size());
}

std::int64_t TMemoryStream::read(void* buffer, std::int64_t count) {
    if (count <= 0 || position_ >= size()) return 0;
    const std::int64_t n = std::min(count, size() - position_);
    std::memcpy(buffer, data_.data() + position_, static_cast<std::size_t>(n));
    position_ += n;
    return n;
}

std::int64_t TMemoryStream::write(const void* buffer, std::int64_t count) {
    if (count <= 0) return 0;
    const std::int64_t end = position_ + count;
    if (end > size()) data_.resize(static_cast<std::size_t>(end));
    std::memcpy(data_.data() + position_, buffer, static_cast<std::size_t>(count));
    position_ = end;
    return count;
}

std::int64_t TMemoryStream::seek(std::int64_t offset, TSeekOrigin origin) {
    std::int64_t target = offset;
    if (origin == TSeekOrigin::soCurrent) target = position_ + offset;
    if (origin == TSeekOrigin::soEnd) target = size() + offset;
    position_ = std::max<std::int64_t>(target, 0);
    return position_;
}

std::optional<std::span<const std::uint8_t>> TMemoryStream::bytesInPlace() {
    const std::size_t start = static_cast<std::size_t>(std::min(position_, size()));
    return std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(data_.data()) + start,
                                         data_.size() - start);
}

void TMemoryStream::clear() {
    data_.clear();
    data_.shrink_to_fit();
    position_ = 0;
}

TFileStream::TFileStream(const std::string& fileName, Mode mode) : fileName_(fileName) {
    if (mode == Mode::openRead) {
        // Opened without blocking, so that a FIFO without a writer is refused below instead of
        // waiting for one; only a regular file is read (a device such as /dev/zero never ends).
        fd_ = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (fd_ < 0) throw EFOpenError("Cannot open file \"" + fileName + "\". " + systemReason(errno));
        struct stat info {};
        std::string refusal;
        if (::fstat(fd_, &info) != 0)
            refusal = systemReason(errno);
        else if (S_ISDIR(info.st_mode))
            refusal = systemReason(EISDIR);
        else if (!S_ISREG(info.st_mode))
            refusal = "Not a regular file";
        if (!refusal.empty()) {
            const std::string message = "Cannot open file \"" + fileName + "\". " + refusal;
            ::close(fd_);
            throw EFOpenError(message);
        }
        ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) & ~O_NONBLOCK);
    } else {
        fd_ = ::open(fileName.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (fd_ < 0) throw EFCreateError("Cannot create file \"" + fileName + "\". " + systemReason(errno));
    }
}

TFileStream::TFileStream(int descriptor, const std::string& fileName) : fileName_(fileName), fd_(descriptor) {
    const off_t at = ::lseek(fd_, 0, SEEK_CUR);
    position_ = at < 0 ? 0 : static_cast<std::int64_t>(at);
}

TFileStream::~TFileStream() {
    if (fd_ >= 0) ::close(fd_);
}

std::int64_t TFileStream::size() {
    struct stat info {};
    return ::fstat(fd_, &info) == 0 ? static_cast<std::int64_t>(info.st_size) : 0;
}

std::int64_t TFileStream::read(void* buffer, std::int64_t count) {
    std::int64_t total = 0;
    auto* p = static_cast<char*>(buffer);
    while (total < count) {
        const ssize_t n = ::read(fd_, p + total, static_cast<std::size_t>(count - total));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        total += n;
    }
    position_ += total;
    return total;
}

std::int64_t TFileStream::write(const void* buffer, std::int64_t count) {
    std::int64_t total = 0;
    const auto* p = static_cast<const char*>(buffer);
    while (total < count) {
        const ssize_t n = ::write(fd_, p + total, static_cast<std::size_t>(count - total));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        total += n;
    }
    position_ += total;
    return total;
}

std::int64_t TFileStream::seek(std::int64_t offset, TSeekOrigin origin) {
    if (origin == TSeekOrigin::soCurrent && offset == 0) return position_;
    const int whence = origin == TSeekOrigin::soBeginning ? SEEK_SET : origin == TSeekOrigin::soCurrent ? SEEK_CUR : SEEK_END;
    const off_t result = ::lseek(fd_, static_cast<off_t>(offset), whence);
    if (result < 0) return -1;
    position_ = static_cast<std::int64_t>(result);
    return position_;
}
