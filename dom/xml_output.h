#pragma once

#include <string>
#include <string_view>

class TdomNode;
class TStream;

// Writes node and its subtree as XML text: UTF-16 code units in memory order (little-endian), in
// the form that TdomNode::writeTo gives for each kind of node. The tree is walked with an explicit
// stack, so any depth can be written. The text reaches the stream in pieces of a few ten thousand
// units, each cut where a conversion stream can take it on its own (never inside a surrogate pair,
// never in front of a U+FEFF, which a conversion stream would drop as a byte-order mark).
void writeNodeXml(const TdomNode* node, TStream& stream);

// The escaped forms of character data that the output writes. Text: the double quote, ampersand,
// apostrophe, less-than and greater-than as "&#34;", "&#38;", "&#39;", "&#60;", "&#62;", and CR as
// "&#13;" (a parser would read a raw one as a line end). Attribute-value text: the same, and tab and
// LF as "&#9;" and "&#10;" (a parser would turn raw ones into spaces).
void appendEscapedText(std::u16string& out, std::u16string_view data);
void appendEscapedAttributeText(std::u16string& out, std::u16string_view data);
