#pragma once

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

// The standard output of a tool: a run whose output could not be written (a full disk, /dev/full,
// a closed descriptor) fails, however it went otherwise.

// The reason (an errno value) of the first write to standard output that failed; 0 while none did.
inline int& standardOutputError() {
    static int error = 0;
    return error;
}

// Writes bytes to standard output, keeping the reason when they could not all be written.
inline void writeStandardOutput(std::string_view bytes) {
    if (std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size() && standardOutputError() == 0)
        standardOutputError() = errno != 0 ? errno : EIO;
}

// Flushes standard output at the end of the run and answers the exit status: status as it is
// when everything was written; else 1 (or status when that already tells a failure), after
// "PROGRAM: cannot write to standard output: REASON" on standard error.
inline int finishStandardOutput(const char* program, int status) {
    errno = 0;
    if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return status;
    const int error = standardOutputError() != 0 ? standardOutputError() : errno;
    // A formatted write that failed earlier left only its mark in ferror, not its reason.
    const std::string reason = error != 0 ? std::string(": ") + std::strerror(error) : std::string();
    std::fprintf(stderr, "%s: cannot write to standard output%s\n", program, reason.c_str());
    return status != 0 ? status : 1;
}
