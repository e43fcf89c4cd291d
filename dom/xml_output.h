#pragma once

class TdomNode;
class TStream;

// Writes node and its subtree as XML text: UTF-16 code units in memory order (little-endian), in
// the form that TdomNode::writeTo gives for each kind of node. The tree is walked with an explicit
// stack, so any depth can be written. The text reaches the stream in pieces of a few ten thousand
// units, each cut where a conversion stream can take it on its own (never inside a surrogate pair,
// never in front of a U+FEFF, which a conversion stream would drop as a byte-order mark).
void writeNodeXml(const TdomNode* node, TStream& stream);
