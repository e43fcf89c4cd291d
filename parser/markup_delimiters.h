#pragma once

#include <cstddef>
#include <string_view>

// The delimiters of markup as the document and DTD readers recognise them, and their lengths in
// code units for cutting a piece's content out of its markup.
inline constexpr std::u16string_view kPiOpen = u"<?";
inline constexpr std::u16string_view kPiClose = u"?>";
inline constexpr std::u16string_view kXmlDeclarationOpen = u"<?xml";
inline constexpr std::u16string_view kCommentOpen = u"<!--";
inline constexpr std::u16string_view kCommentClose = u"-->";
inline constexpr std::u16string_view kCDataOpen = u"<![CDATA[";
inline constexpr std::u16string_view kSectionOpen = u"<![";
inline constexpr std::u16string_view kSectionClose = u"]]>";
inline constexpr std::u16string_view kDoctypeOpen = u"<!DOCTYPE";
inline constexpr std::u16string_view kEntityOpen = u"<!ENTITY";
inline constexpr std::u16string_view kElementOpen = u"<!ELEMENT";
inline constexpr std::u16string_view kAttlistOpen = u"<!ATTLIST";
inline constexpr std::u16string_view kNotationOpen = u"<!NOTATION";

// A delimiter's length as a signed count, for arithmetic on piece lengths.
constexpr std::ptrdiff_t lengthOf(std::u16string_view delimiter) {
    return static_cast<std::ptrdiff_t>(delimiter.size());
}
