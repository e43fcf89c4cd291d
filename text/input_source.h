#pragma once

#include <cstdint>
#include <exception>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class TStream;
class TdomStandardLocator;

// The encodings an input source recognises, by their fixed codes.
enum class TextEncoding : std::uint8_t {
    utf8 = 0,
    utf16le = 1,
    utf16be = 2,
    iso8859_1 = 3,
    iso8859_2 = 4,
    iso8859_3 = 5,
    iso8859_4 = 6,
    iso8859_5 = 7,
    iso8859_6 = 8,
    iso8859_7 = 9,
    iso8859_8 = 10,
    iso8859_9 = 11,
    iso8859_10 = 12,
    iso8859_13 = 13,
    iso8859_14 = 14,
    iso8859_15 = 15,
    koi8r = 16,
    macRoman = 17,
    windows1250 = 18,
    windows1251 = 19,
    windows1252 = 20,
    eucJp = 21,
    shiftJis = 22,
};

// The encoding a declared name selects (ASCII case ignored); every unknown name gives utf8.
TextEncoding encodingFromName(std::u16string_view name);
// Whether a declared name is one of the names above, "UTF-8" or "UTF-16" (ASCII case ignored).
bool isKnownEncodingName(std::u16string_view name);

// Splits the whole text of an external entity into its text declaration and the rest: a
// declaration is one at the very start, with an optional version "1.0" and then an encoding and
// nothing else. False when the declaration is malformed, or an XML declaration stands anywhere
// else in the text.
bool splitTextDeclaration(const std::u16string& text, std::u16string& content);

// What is wrong with the way a byte stream names its encoding. The source then decodes the stream
// as its byte-order mark says, or as UTF-8 when it has none; the readers report the problem as an
// error record at the declaration.
enum class TEncodingProblem : std::uint8_t {
    none,
    unknownName,     // the declaration names an encoding that is not known
    contradictsMark, // the declaration names another encoding than the byte-order mark
    missingMark,     // the declaration names UTF-16, but the stream has no byte-order mark
};

// Turns a byte stream into UTF-16 code units. The constructor detects the encoding (byte-order
// mark or the encoding named in an XML declaration), sniffs the root element's name and rewinds
// to the first character of content. The byte-order marks FF FE, FE FF (UTF-16) and EF BB BF
// (UTF-8) are not part of the content. readChar then delivers one code unit per call, with CR LF
// and lone CR turned into LF, and tells the locator about each unit it delivers.
//
// The source decodes ahead: it takes the stream's bytes in windows of 64 KB, in place when the
// stream holds them in memory (bytesInPlace), else read into a buffer of its own, and keeps a
// block of decoded units that readers may take in runs (bufferedUnits, skipBufferedUnits). What it
// delivers, the byte positions in its error messages and the positions it rewinds to are exactly
// those of a source that decodes one unit per call: a decoding failure met while decoding ahead is
// kept and raised when the reader reaches it. The stream is not owned; while the source reads on,
// the stream stands at the end of the current window either way, so that its position tells how
// far the source has read.
class TXmlInputSource {
public:
    // Raises EStreamError "Stream not specified." for a missing stream. decodedText tells that the
    // stream holds text that was decoded already (a wide string behind its byte-order mark): the
    // encoding that its declaration names is then no problem of this source.
    TXmlInputSource(TStream* stream, const std::u16string& publicId, const std::u16string& systemId,
                    bool decodedText = false);
    TXmlInputSource(const TXmlInputSource&) = delete;
    TXmlInputSource& operator=(const TXmlInputSource&) = delete;
    virtual ~TXmlInputSource();

    virtual TextEncoding detectEncoding();
    virtual void sniffRootName(std::u16string& name);
    // The whole text after the text declaration; the reading state is left as it was.
    virtual std::u16string entityText();
    virtual void skipTextDeclaration(TdomStandardLocator* locator);
    // One code unit, false at the end of the stream. Unless the source reads on (readOnUndecodable),
    // decoding failures raise EConvertError (UTF-8 and the single-byte encodings) or EReadError (a
    // character cut off by the end of the stream).
    virtual bool readCharWith(char16_t& unit, TdomStandardLocator* locator);
    virtual void rewindWith(TdomStandardLocator* locator);

    bool readChar(char16_t& unit) { return readCharWith(unit, locator_.get()); }
    void rewind() { rewindWith(locator_.get()); }

    // The units already decoded and not yet delivered: the next units readChar delivers, up to the
    // next replacement unit of undecodable bytes, which only readChar delivers. Empty when none are
    // decoded yet or a replacement unit is next; readChar then delivers the next unit.
    std::u16string_view bufferedUnits() const {
        return std::u16string_view(units_.get() + unitPos_, runEnd_ - unitPos_);
    }
    // Delivers the first count buffered units at once; the caller tells its locator about them
    // (advanceOver), as count calls of readCharWith would have.
    void skipBufferedUnits(std::size_t count) { unitPos_ += count; }
    // At least as many units as are left to deliver: the buffered units and one per byte not yet
    // decoded (no encoding makes more than one unit of a byte).
    std::size_t unitsLeftAtMost() const {
        const std::int64_t bytesLeft = streamSize_ - bytePosition();
        return unitEnd_ - unitPos_ + static_cast<std::size_t>(bytesLeft > 0 ? bytesLeft : 0);
    }

    // Bytes that are no character of the encoding and were read as U+30FB, the replacement unit:
    // where the unit stands among the units read (unitsRead counts the same way) and the bytes.
    // Shift_JIS and EUC-JP always read on so; UTF-8, UTF-16 and the single-byte encodings only when
    // readOnUndecodable is set, and raise otherwise. A byte that cannot start or continue a
    // character is replaced on its own (with the lead bytes before it), and the next byte is read
    // again; a well-formed sequence that names no character is replaced as a whole.
    struct TUndecodableBytes {
        std::int64_t unit;
        std::string bytes;
    };
    const std::vector<TUndecodableBytes>& undecodableBytes() const { return undecodable_; }
    // How many of undecodableBytes() stand for units delivered already.
    std::size_t undecodableDelivered() const { return notesDelivered_; }
    // Sets whether every decoder reads on over undecodable bytes; it holds for the units decoded
    // after it (a rewind decodes again).
    void readOnUndecodable(bool readOn) { readOn_ = readOn; }
    // Units delivered so far since the start (or the last rewind).
    std::int64_t unitsRead() const { return unitsBefore_ + static_cast<std::int64_t>(unitPos_); }

    TStream* stream() const { return stream_; }
    TextEncoding encoding() const { return encoding_; }
    // The encoding named by the declaration at the start of the stream, as written; empty when none.
    const std::u16string& declaredEncoding() const { return declaredEncoding_; }
    TEncodingProblem encodingProblem() const { return encodingProblem_; }
    // The problem in words, for the code of an error record; empty when there is none.
    std::u16string encodingProblemText() const;
    TdomStandardLocator* locator() const { return locator_.get(); }
    const std::u16string& publicId() const { return publicId_; }
    const std::u16string& systemId() const { return systemId_; }
    const std::u16string& rootElementName() const { return rootElementName_; }

private:
    static constexpr std::size_t kBufferSize = 64 * 1024;
    static constexpr std::size_t kUnitCapacity = 16 * 1024;

    // The encoding name of the XML or text declaration at the current position, read in units of
    // the byte-order mark's encoding (single bytes without one); empty when there is none or it is
    // malformed.
    std::u16string declarationEncodingName(TextEncoding markEncoding);
    // Moves the byte reading position to an offset, keeping the buffer when it covers the offset.
    void seekTo(std::int64_t offset);
    // Refills the buffer from the stream at the current position; false at the end of the stream.
    bool fill();
    // One raw byte; false at the end of the stream.
    bool nextByte(std::uint8_t& byte) {
        if (bufferPos_ == bufferLength_ && !fill()) return false;
        byte = buffer_[bufferPos_++];
        return true;
    }
    // One raw byte that must be there: EReadError at the end of the stream.
    std::uint8_t requiredByte();
    // Byte offset in the stream of the next byte to be decoded.
    std::int64_t bytePosition() const { return bufferStart_ + static_cast<std::int64_t>(bufferPos_); }
    std::int32_t decodeUtf8(std::uint8_t lead);
    // decodeUtf8 that reads on over undecodable bytes.
    std::int32_t decodeUtf8ReadingOn(std::uint8_t lead);
    // One UTF-16 unit from its first byte, reading on over a unit cut off by the end of the stream
    // and over a surrogate without its other half.
    std::int32_t decodeUtf16ReadingOn(std::uint8_t first, bool littleEndian);
    // The next byte; at the end of the stream EReadError, or when reading on 0 with atEnd set.
    std::uint8_t byteOrEnd(bool& atEnd);
    // A Shift_JIS or EUC-JP character from its first byte where the rest may need a refill or be
    // cut off by the end of the stream.
    [[gnu::noinline]] char16_t decodeJapaneseNearEnd(std::uint8_t first);
    // Notes the bytes of a Shift_JIS or EUC-JP replacement unit, unless they are U+30FB itself.
    [[gnu::noinline]] void noteJapanese(const std::uint8_t* bytes, std::size_t count, bool shiftJis);
    // Notes the bytes of the replacement unit being decoded.
    void noteUndecodable(const std::uint8_t* bytes, std::size_t count) {
        noted_.assign(reinterpret_cast<const char*>(bytes), count);
    }
    // Where the run of buffered units ends: at the next undelivered replacement unit of this block.
    void findRunEnd();
    // Decodes the next block of units; false at the end of the stream. Raises a failure kept from
    // the previous block, or one met before the first unit of this block.
    bool decodeAhead();
    // Decodes into units_[0..) until the block is full, the stream ends or decoding fails; a
    // failure is left in pendingFailure_.
    void decodeBlock();
    // decodeBlock with decodeUnit turning a byte (and the bytes it needs after it) into a code point.
    template <class DecodeUnit> void decodeBlockWith(DecodeUnit decodeUnit);
    void buildSingleByteTable();
    // Forgets the decoded units and any kept failure.
    void dropDecodedUnits();

    TStream* stream_;
    TextEncoding encoding_ = TextEncoding::utf8;
    bool decodedText_ = false;
    std::int64_t contentStart_ = 0; // the offset after the byte-order mark
    std::u16string declaredEncoding_;
    TEncodingProblem encodingProblem_ = TEncodingProblem::none;
    bool asciiTransparent_ = false;    // bytes below 0x80 are the units of the same value
    bool afterCarriageReturn_ = false; // of the last unit decoded
    std::unique_ptr<TdomStandardLocator> locator_;
    std::u16string publicId_;
    std::u16string systemId_;
    std::u16string rootElementName_;

    // The window of bytes: the stream's own memory when it holds its bytes in place (ownBuffer_
    // stays empty then), else ownBuffer_.
    const std::uint8_t* buffer_ = nullptr;
    std::unique_ptr<std::uint8_t[]> ownBuffer_;
    bool inPlace_ = false;
    std::int64_t streamSize_ = 0;
    std::int64_t bufferStart_ = 0; // stream offset of buffer_[0]; the stream stands at bufferStart_ + bufferLength_
    std::size_t bufferPos_ = 0;
    std::size_t bufferLength_ = 0;

    // Decoded units units_[unitPos_..unitEnd_) wait for delivery; pendingFailure_ follows them.
    std::unique_ptr<char16_t[]> units_;
    std::size_t unitPos_ = 0;
    std::size_t unitEnd_ = 0;
    std::size_t runEnd_ = 0; // unitPos_ <= runEnd_ <= unitEnd_
    std::exception_ptr pendingFailure_;
    std::int64_t unitsBefore_ = 0; // units of the blocks before units_

    // The undecodable bytes of the unit being decoded (empty for any other unit), those noted so
    // far, and how many of them were delivered.
    std::string noted_;
    std::vector<TUndecodableBytes> undecodable_;
    std::size_t notesDelivered_ = 0;
    bool readOn_ = false;

    // Single-byte encodings: the code unit of every byte; bytes without one are marked in
    // singleByteInvalid_ and decoded again through the decoder, which raises its own error.
    std::unique_ptr<char16_t[]> singleByteTable_;
    std::unique_ptr<bool[]> singleByteInvalid_;
};
