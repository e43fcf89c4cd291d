#include "dom/xml_output.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "dom/character_data.h"
#include "dom/document.h"
#include "dom/document_type.h"
#include "dom/element.h"
#include "dom/processing_instruction.h"
#include "dom/wide_string_stream.h"
#include "text/conversion_stream.h"
#include "text/stream.h"
#include "text/text_utils.h"
#include "text/xml_chars.h"

namespace {

void appendEscaped(std::u16string& out, std::u16string_view data, bool attribute) {
    std::size_t plain = 0; // start of the units not copied yet
    for (std::size_t i = 0; i < data.size(); ++i) {
        std::u16string_view reference;
        switch (data[i]) {
        case u'"':
            reference = u"&#34;";
            break;
        case u'&':
            reference = u"&#38;";
            break;
        case u'\'':
            reference = u"&#39;";
            break;
        case u'<':
            reference = u"&#60;";
            break;
        case u'>':
            reference = u"&#62;";
            break;
        case u'\r':
            reference = u"&#13;";
            break;
        case u'\t':
            if (attribute) reference = u"&#9;";
            break;
        case u'\n':
            if (attribute) reference = u"&#10;";
            break;
        default:
            break;
        }
        if (reference.empty()) continue;
        out.append(data.substr(plain, i - plain));
        out.append(reference);
        plain = i + 1;
    }
    out.append(data.substr(plain));
}

// Collects the output and hands it to the stream in pieces.
class UnitWriter {
public:
    explicit UnitWriter(TStream& stream) : stream_(stream) {}
    UnitWriter(const UnitWriter&) = delete;
    UnitWriter& operator=(const UnitWriter&) = delete;

    void put(char16_t unit) {
        buffer_.push_back(unit);
        if (buffer_.size() >= kPieceUnits) writePiece();
    }
    void put(std::u16string_view text) {
        buffer_.append(text);
        if (buffer_.size() >= kPieceUnits) writePiece();
    }
    void putEscaped(std::u16string_view data, bool attribute) {
        appendEscaped(buffer_, data, attribute);
        if (buffer_.size() >= kPieceUnits) writePiece();
    }
    void finish() {
        if (!buffer_.empty()) stream_.writeBuffer(buffer_.data(), static_cast<std::int64_t>(buffer_.size() * 2));
        buffer_.clear();
    }

private:
    static constexpr std::size_t kPieceUnits = 32 * 1024;

    static bool formsPair(char16_t first, char16_t second) {
        return (isHighSurrogate(first) && isLowSurrogate(second)) || (isLowSurrogate(first) && isHighSurrogate(second));
    }

    // Writes the longest leading part that ends between two whole characters (as a conversion stream
    // pairs surrogates, in either order, from the start of a write) and leaves a rest that does not
    // begin with U+FEFF. The last character always stays: the text that follows it is not known yet.
    //
    // The character borders are found from the start of the buffer, but each unit is looked at only
    // once: scanned_ is the last border found (a border below the buffer's size never moves when more
    // text comes) and cut_ the last border found that a piece may end at. So a long run of U+FEFF,
    // which cannot be cut and stays in the buffer, is not scanned again for every unit added.
    void writePiece() {
        std::size_t size = buffer_.size();
        std::size_t i = scanned_;
        while (i + 1 < size) {
            std::size_t next = i + (formsPair(buffer_[i], buffer_[i + 1]) ? 2 : 1);
            if (next >= size) break;
            i = next;
            if (buffer_[i] != 0xFEFF) cut_ = i;
        }
        scanned_ = i;
        if (cut_ == 0) return;
        stream_.writeBuffer(buffer_.data(), static_cast<std::int64_t>(cut_ * 2));
        buffer_.erase(0, cut_);
        scanned_ -= cut_;
        cut_ = 0;
    }

    TStream& stream_;
    std::u16string buffer_;
    std::size_t scanned_ = 0;
    std::size_t cut_ = 0;
};

// A text node below an attribute is attribute-value text.
bool inAttribute(const TdomNode* node) {
    const TdomNode* parent = node->parentNode();
    return parent && parent->nodeType() == TdomNodeType::attribute;
}

// A CDATA section cannot hold "]]>": the data is split there into two sections, the first ending
// with "]]" and the second starting with ">".
void putCDATASection(UnitWriter& out, std::u16string_view data) {
    out.put(u"<![CDATA[");
    for (std::size_t end; (end = data.find(u"]]>")) != std::u16string_view::npos; data.remove_prefix(end + 2)) {
        out.put(data.substr(0, end + 2));
        out.put(u"]]><![CDATA[");
    }
    out.put(data);
    out.put(u"]]>");
}

void putQuoted(UnitWriter& out, std::u16string_view name, std::u16string_view value) {
    out.put(u' ');
    out.put(name);
    out.put(u"=\"");
    out.put(value);
    out.put(u'"');
}

void writeSubtree(const TdomNode* root, UnitWriter& out);

// Writes what comes before a node's children; answers whether the children are written next.
bool writeStart(const TdomNode* node, UnitWriter& out) {
    switch (node->nodeType()) {
    case TdomNodeType::element: {
        out.put(u'<');
        out.put(node->nodeName());
        for (const TdomNode* attr : static_cast<const TdomElement*>(node)->attributeNodes()) {
            if (!static_cast<const TdomAttr*>(attr)->specified()) continue;
            out.put(u' ');
            writeSubtree(attr, out); // attribute children are text and entity references: no deep nesting
        }
        out.put(u'>');
        return true;
    }
    case TdomNodeType::attribute:
        if (!static_cast<const TdomAttr*>(node)->specified()) return false;
        out.put(node->nodeName());
        out.put(u"=\"");
        return true;
    case TdomNodeType::text:
        out.putEscaped(static_cast<const TdomCharacterData*>(node)->data(), inAttribute(node));
        return false;
    case TdomNodeType::cdataSection:
        putCDATASection(out, static_cast<const TdomCharacterData*>(node)->data());
        return false;
    case TdomNodeType::comment:
        out.put(u"<!--");
        out.put(static_cast<const TdomCharacterData*>(node)->data());
        out.put(u"-->");
        return false;
    case TdomNodeType::processingInstruction:
        out.put(u"<?");
        out.put(node->nodeName());
        out.put(u' ');
        out.put(static_cast<const TdomProcessingInstruction*>(node)->data());
        out.put(u"?>");
        return false;
    case TdomNodeType::entityReference:
        out.put(u'&');
        out.put(node->nodeName());
        out.put(u';');
        return false; // the replacement content is not written
    case TdomNodeType::documentType: {
        auto* doctype = static_cast<const TdomDocumentType*>(node);
        out.put(u"<!DOCTYPE ");
        out.put(node->nodeName());
        out.put(u' ');
        if (!doctype->publicId().empty() || !doctype->systemId().empty())
            out.put(formatExternalId(doctype->publicId(), doctype->systemId(), u""));
        if (!doctype->internalSubset().empty()) {
            out.put(u'[');
            out.put(doctype->internalSubset());
            out.put(u']');
        }
        out.put(u'>');
        return false;
    }
    case TdomNodeType::document: {
        auto* document = static_cast<const TdomDocument*>(node);
        out.put(u"<?xml");
        putQuoted(out, u"version", document->version().empty() ? std::u16string_view(u"1.0") : document->version());
        if (!document->encoding().empty()) putQuoted(out, u"encoding", document->encoding());
        if (!document->standalone().empty()) putQuoted(out, u"standalone", document->standalone());
        out.put(u"?>\n");
        return true;
    }
    case TdomNodeType::notation:
        return false;
    case TdomNodeType::entity:
    case TdomNodeType::documentFragment:
    default:
        return true;
    }
}

// Writes what comes after a node's children.
void writeEnd(const TdomNode* node, UnitWriter& out) {
    if (node->nodeType() == TdomNodeType::element) {
        out.put(u"</");
        out.put(node->nodeName());
        out.put(u'>');
    } else if (node->nodeType() == TdomNodeType::attribute) {
        out.put(u'"');
    }
}

void writeSubtree(const TdomNode* root, UnitWriter& out) {
    if (!writeStart(root, out)) return;
    struct Frame {
        const TdomNode* node;
        std::size_t next;
    };
    std::vector<Frame> stack{{root, 0}};
    // Each child of a document is followed by a line feed.
    auto afterChild = [&out](const TdomNode* parent) {
        if (parent->nodeType() == TdomNodeType::document) out.put(u'\n');
    };
    while (!stack.empty()) {
        Frame& frame = stack.back();
        const auto& children = frame.node->children();
        if (frame.next < children.size()) {
            const TdomNode* child = children[frame.next++];
            if (writeStart(child, out)) {
                stack.push_back({child, 0}); // frame is not used after this
            } else {
                afterChild(frame.node);
            }
            continue;
        }
        const TdomNode* done = frame.node;
        stack.pop_back();
        writeEnd(done, out);
        if (!stack.empty()) afterChild(stack.back().node);
    }
}

// Sets the document's encoding field for the time of one write and restores it afterwards, also
// when the write fails.
class EncodingOverride {
public:
    EncodingOverride(TdomDocument& document, std::u16string_view encoding)
        : document_(document), saved_(document.encoding()) {
        document_.setEncoding(encoding);
    }
    ~EncodingOverride() { document_.setEncoding(saved_); }
    EncodingOverride(const EncodingOverride&) = delete;
    EncodingOverride& operator=(const EncodingOverride&) = delete;

private:
    TdomDocument& document_;
    std::u16string saved_;
};

// Writes the document through a conversion stream over target; the conversion stream is freed
// before the encoding field is restored.
template <class ConversionStream>
void writeConverted(TdomDocument& document, TStream& target, std::u16string_view encoding, bool crlfLineEnds) {
    EncodingOverride override(document, encoding);
    ConversionStream converter(&target);
    converter.crlfLineEnds = crlfLineEnds;
    document.writeTo(converter);
}

} // namespace

void appendEscapedText(std::u16string& out, std::u16string_view data) { appendEscaped(out, data, false); }

void appendEscapedAttributeText(std::u16string& out, std::u16string_view data) { appendEscaped(out, data, true); }

void writeNodeXml(const TdomNode* node, TStream& stream) {
    UnitWriter out(stream);
    writeSubtree(node, out);
    out.finish();
}

void TdomNode::writeTo(TStream& stream) const { writeNodeXml(this, stream); }

std::u16string TdomNode::serializedText() const {
    TdomWideStringStream text;
    writeTo(text);
    return text.contentText();
}

void TdomDocument::writeUtf8To(TStream& stream) { writeConverted<TUTF16BEToUTF8Stream>(*this, stream, u"UTF-8", true); }

void TdomDocument::writeUtf16To(TStream& stream) {
    EncodingOverride override(*this, u"UTF-16");
    const char16_t byteOrderMark = 0xFEFF;
    stream.writeBuffer(&byteOrderMark, sizeof byteOrderMark);
    writeTo(stream);
}

void TdomDocument::writeShiftJisTo(TStream& stream) {
    writeConverted<TUTF16BEToShiftJISStream>(*this, stream, u"Shift_JIS", true);
}

void TdomDocument::writeEucJpTo(TStream& stream) {
    writeConverted<TUTF16BEToEUCJPStream>(*this, stream, u"EUC-JP", false);
}

std::string TdomDocument::codeAsUtf8() {
    TMemoryStream bytes;
    writeUtf8To(bytes);
    return bytes.bytes();
}

std::u16string TdomDocument::codeAsUtf16() {
    TdomWideStringStream text;
    writeUtf16To(text);
    return text.contentText();
}
