#include "text/code_page_932.h"

#include <array>

namespace cp932 {
namespace {

#include "text/code_page_932_tables.inc"

constexpr int kLeadCount = sizeof(kLeadBytes);

// Index of each lead byte in kLeadBytes, -1 for other bytes.
constexpr std::array<int, 256> makeLeadIndex() {
    std::array<int, 256> index{};
    for (int& i : index) i = -1;
    for (int i = 0; i < kLeadCount; ++i) index[kLeadBytes[i]] = i;
    return index;
}
constexpr std::array<int, 256> kLeadIndex = makeLeadIndex();

// Encoded bytes of every BMP unit: 0 = unrepresentable, else (length << 16) | bytes.
struct EncodeTable {
    std::array<std::uint32_t, 0x10000> entries{};
    EncodeTable() {
        for (const Cp932Encoding& e : kEncodings)
            entries[e.unit] = (static_cast<std::uint32_t>(e.length) << 16) | e.bytes;
    }
};
const EncodeTable& encodeTable() {
    static const EncodeTable table;
    return table;
}

bool canTrail(std::uint8_t byte) { return byte >= 0x40 && byte != 0x7F && byte <= 0xFC; }

} // namespace

bool isLeadByte(std::uint8_t byte) { return kLeadIndex[byte] >= 0; }

char16_t decodeSingle(std::uint8_t byte) {
    const char16_t unit = kSingleByteUnits[byte];
    return unit != 0 || byte == 0 ? unit : kReplacementUnit;
}

char16_t decodePair(std::uint8_t lead, std::uint8_t trail) {
    const int index = kLeadIndex[lead];
    if (index < 0) return kReplacementUnit;
    const char16_t unit = kPairUnits[index * 256 + trail];
    return unit != 0 ? unit : kReplacementUnit;
}

void appendDecoded(std::string_view bytes, std::u16string& out) {
    const auto* p = reinterpret_cast<const std::uint8_t*>(bytes.data());
    const std::size_t n = bytes.size();
    const std::size_t start = out.size();
    out.resize(start + n);  // never more units than bytes
    char16_t* dest = out.data() + start;
    std::size_t i = 0;
    while (i < n) {
        const std::uint8_t b = p[i];
        if (b < 0x80) {
            *dest++ = b;
            ++i;
        } else if (kLeadIndex[b] < 0) {
            *dest++ = decodeSingle(b);
            ++i;
        } else if (i + 1 < n && canTrail(p[i + 1])) {
            *dest++ = decodePair(b, p[i + 1]);
            i += 2;
        } else {
            *dest++ = kReplacementUnit;
            ++i;
        }
    }
    out.resize(static_cast<std::size_t>(dest - out.data()));
}

std::u16string decode(std::string_view bytes) {
    std::u16string out;
    appendDecoded(bytes, out);
    return out;
}

int encodeUnit(char16_t unit, char out[2]) {
    const std::uint32_t entry = encodeTable().entries[unit];
    const int length = static_cast<int>(entry >> 16);
    if (length == 1) {
        out[0] = static_cast<char>(entry & 0xFF);
    } else if (length == 2) {
        out[0] = static_cast<char>((entry >> 8) & 0xFF);
        out[1] = static_cast<char>(entry & 0xFF);
    }
    return length;
}

void appendEncoded(std::u16string_view text, std::string& out) {
    const auto& entries = encodeTable().entries;
    const std::size_t start = out.size();
    out.resize(start + text.size() * 2);
    char* dest = out.data() + start;
    const std::size_t n = text.size();
    for (std::size_t i = 0; i < n; ++i) {
        const char16_t unit = text[i];
        if (unit < 0x80) {
            *dest++ = static_cast<char>(unit);
            continue;
        }
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < n && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) ++i;
        const std::uint32_t entry = entries[unit];
        switch (entry >> 16) {
        case 1:
            *dest++ = static_cast<char>(entry & 0xFF);
            break;
        case 2:
            *dest++ = static_cast<char>((entry >> 8) & 0xFF);
            *dest++ = static_cast<char>(entry & 0xFF);
            break;
        default:
            *dest++ = kDefaultChar;
        }
    }
    out.resize(static_cast<std::size_t>(dest - out.data()));
}

std::string encode(std::u16string_view text) {
    std::string out;
    appendEncoded(text, out);
    return out;
}

} // namespace cp932
