#pragma once

#include <exception>
#include <string>
#include <utility>

// Root of every exception the program raises itself. The message is UTF-8.
class Exception : public std::exception {
public:
    explicit Exception(std::string message) : message_(std::move(message)) {}
    const char* what() const noexcept override { return message_.c_str(); }
    const std::string& message() const noexcept { return message_; }

private:
    std::string message_;
};

// Run-time errors of the program's own library layer.
class EConvertError : public Exception {
    using Exception::Exception;
};
class EAccessViolation : public Exception {
    using Exception::Exception;
};
class EInvalidCast : public Exception {
    using Exception::Exception;
};
class EStringListError : public Exception {
    using Exception::Exception;
};
class EStreamError : public Exception {
    using Exception::Exception;
};
class EReadError : public EStreamError {
    using EStreamError::EStreamError;
};
class EWriteError : public EStreamError {
    using EStreamError::EStreamError;
};
// A file that cannot be opened for reading; the message names the file and the system's reason.
class EFOpenError : public EStreamError {
    using EStreamError::EStreamError;
};
// A file that cannot be created or written; the message names the file and the system's reason.
class EFCreateError : public EStreamError {
    using EStreamError::EStreamError;
};
