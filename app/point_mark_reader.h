#pragma once

#include <functional>
#include <string>
#include <vector>

#include "app/point_mark_table.h"
#include "front/processor_agent.h"

class TdomNode;
class TStream;
class TXmlParserError;

// Reading point-mark documents into the table. The walk is driven by element and attribute names
// only: a "format" element opens the next record row (RecordCount + 1) and the value elements
// below it fill their columns in that row. Values go into cells as code page 932 bytes ("?" for
// characters the code page lacks), untrimmed.
//
// An element's value is taken when its content starts with text: a text node or a reference to
// one of the predefined entities (lt, gt, amp, apos, quot). It is that text followed by the text,
// CDATA sections and predefined entity references directly after it, so that "a &amp; b" and
// split CDATA content arrive whole. Content that starts with a CDATA section or a comment gives
// no value. The walk keeps its own stack, so deep documents do not exhaust the call stack.
// Messages about values (English, code page 932) are appended to messages when it is given.
// onCell, when given, is told of every cell written and the node its value came from: the element
// for element text, the attribute for href and repeat.
using TCellSource = std::function<void(const TdomNode* source, int row, int column)>;
void ReadNode(TPointMarkTable& table, TdomNode* node, int depth, std::vector<std::string>* messages = nullptr,
              const TCellSource& onCell = {});

// The characters of an attribute: its text, the five predefined references decoded, a declared
// entity replaced by its value. A reference to an undeclared entity is kept as written
// ("&nope;") and its name appended to undeclared when that is given.
std::u16string attributeCharacters(TdomNode* attribute, std::vector<std::u16string>* undeclared = nullptr);

// The external DTD of a document, looked up in the document's own directory: parentSystemId's
// directory part (up to its last "/", the root "/" kept) followed by "/" and systemId. A document
// named without a directory takes systemId as it is, relative to the working directory.
// systemId is set to the path; the file is opened for reading into stream with paOK, or action
// becomes paFail when it cannot be opened or is refused: only a regular file inside the document's
// directory or below it is opened, after links and ".." are resolved, and never a URL (see
// TExternalFilePolicy). An empty systemId changes nothing.
void ResolveExternalSubset(const std::u16string& parentSystemId, std::u16string& publicId, std::u16string& systemId,
                           TStream*& stream, TXmlParserAction& action);

// The path that ResolveExternalSubset opens (file-system bytes, UTF-8).
std::string externalSubsetPath(const std::string& parentSystemId, const std::string& systemId);

// The English message line of a parser error record as code page 932 bytes.
std::string ParserMessageLine(const TXmlParserError& e);
