#pragma once

#include <functional>
#include <string>
#include <string_view>

class TFileStream;

// Whole-file operations on file names in the file system's bytes (UTF-8 on Linux).

// Raises EFOpenError "Cannot open file \"NAME\". REASON" when the file cannot be read; a file that
// is not a regular file (a directory, a device, a FIFO) is refused without being read.
std::string readWholeFile(const std::string& fileName);
// The bytes of an open file from its position to its end, however large it says it is.
std::string readRestOfFile(TFileStream& file);

// Writes bytes in one operation: a temporary file in the same directory, renamed over the
// target. A symbolic link is followed: its final target is written (in the target's directory)
// and the link stays. A replaced file keeps its mode, and its owner and group where this user may
// set them; an existing file without write permission is refused (EACCES), even for root. A
// file with other hard links keeps them: once the bytes are safe in the temporary file, they are
// copied over the file's own content (should that copy fail, the temporary file is kept and the
// error names it). On failure the temporary file is removed, the target is left as it was, and
// EFCreateError "Cannot create file \"NAME\". REASON" is raised.
//
// A character device or FIFO (named directly or through links) is not replaced but written into
// as a stream, as cp does: opening a FIFO waits for its reader, a reader that goes away fails the
// write ("Broken pipe") without ending the program, and what was written before a failure stays
// written. A directory, a block device or a socket is refused.
void writeFileAtomically(const std::string& fileName, std::string_view bytes);

// The same with the bytes handed over in pieces, so that a large file need not be built in
// memory first: produce is called once and passes each piece, in order, to the sink it receives.
// An exception from produce removes the temporary file and passes on; the target stays as it was
// (a stream keeps what it received).
using TByteSink = std::function<void(std::string_view)>;
void writeFileAtomicallyInPieces(const std::string& fileName, const std::function<void(const TByteSink&)>& produce);

// The directory part of a file name including its final "/"; empty when there is none.
// "\" is an ordinary character.
std::string directoryOf(const std::string& fileName);
