#include "text/text_utils.h"

#include <unordered_set>

#include "text/exception.h"
#include "text/name_value_list.h"
#include "text/utf8.h"
#include "text/xml_chars.h"

namespace {

bool isQuote(char16_t u) { return u == u'"' || u == u'\''; }

std::u16string_view skipWhiteSpace(std::u16string_view text) {
    std::size_t i = 0;
    while (i < text.size() && isWhiteSpace(text[i])) ++i;
    return text.substr(i);
}

std::u16string quoted(char16_t quote, std::u16string_view text) {
    std::u16string result;
    result.reserve(text.size() + 2);
    result += quote;
    result += text;
    result += quote;
    return result;
}

// A literal with its delimiter, read by takeQuotedLiteral, and what follows it.
struct Literal {
    std::u16string value;
    std::u16string rest;
    char16_t quote = 0;
    bool failed = true;
};

Literal takeLiteral(std::u16string_view text) {
    Literal literal;
    takeQuotedLiteral(text, literal.value, literal.rest, literal.failed, literal.quote);
    return literal;
}

bool isSystemLiteral(const Literal& l) { return !l.failed && checkSystemLiteral(quoted(l.quote, l.value)); }
bool isPubidLiteral(const Literal& l) { return !l.failed && checkPubidLiteral(quoted(l.quote, l.value)); }

// "SYSTEM" or "PUBLIC" followed by white space at the start of text; the keyword, or empty.
std::u16string_view externalIdKeyword(std::u16string_view text) {
    if (text.size() < 7 || !isWhiteSpace(text[6])) return {};
    const std::u16string_view keyword = text.substr(0, 6);
    return keyword == u"SYSTEM" || keyword == u"PUBLIC" ? keyword : std::u16string_view{};
}

// Quotes an identifier with double quotes where check accepts that, else with single quotes.
std::u16string quoteIdentifier(std::u16string_view id, bool (*check)(std::u16string_view), const char* what) {
    std::u16string result = quoted(u'"', id);
    if (check(result)) return result;
    result = quoted(u'\'', id);
    if (check(result)) return result;
    throw EConvertError(utf16ToUtf8(id) + " is not a valid " + what + " value.");
}

std::u16string escape(std::u16string_view text, bool markup) {
    std::u16string result;
    result.reserve(text.size());
    for (char16_t u : text) {
        switch (u) {
        case u'"':
            result += u"&#34;";
            break;
        case u'\'':
            result += u"&#39;";
            break;
        case u'&':
            if (markup)
                result += u"&#38;";
            else
                result += u;
            break;
        case u'<':
            if (markup)
                result += u"&#60;";
            else
                result += u;
            break;
        case u'>':
            if (markup)
                result += u"&#62;";
            else
                result += u;
            break;
        default:
            result += u;
        }
    }
    return result;
}

void unwrap(std::u16string_view text, char16_t open, char16_t close, bool trimInner, std::u16string& inner,
            bool& failed) {
    const std::u16string_view t = trimmedView(text);
    if (t.size() < 2 || t.front() != open || t.back() != close) {
        failed = true;
        inner.clear();
        return;
    }
    const std::u16string_view between = t.substr(1, t.size() - 2);
    inner = std::u16string(trimInner ? trimmedView(between) : between);
    failed = false;
}

} // namespace

std::u16string escapeQuotes(std::u16string_view text) { return escape(text, false); }

std::u16string escapeMarkup(std::u16string_view text) { return escape(text, true); }

std::u16string_view trimmedView(std::u16string_view text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && isWhiteSpace(text[begin])) ++begin;
    while (end > begin && isWhiteSpace(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

std::u16string trimWhiteSpace(std::u16string_view text) { return std::u16string(trimmedView(text)); }

std::u16string trimChar(std::u16string_view text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && text[begin] == u' ') ++begin;
    while (end > begin && text[end - 1] == u' ') --end;
    return std::u16string(text.substr(begin, end - begin));
}

void splitTarget(std::u16string_view text, std::u16string& first, std::u16string& rest) {
    std::size_t end = 0;
    while (end < text.size() && !isWhiteSpace(text[end])) ++end;
    std::u16string head(text.substr(0, end));
    std::u16string tail(trimmedView(text.substr(end)));
    first = std::move(head);
    rest = std::move(tail);
}

void unwrapBrackets(std::u16string_view text, std::u16string& inner, bool& failed) {
    unwrap(text, u'[', u']', false, inner, failed);
}

void unwrapParentheses(std::u16string_view text, std::u16string& inner, bool& failed) {
    unwrap(text, u'(', u')', true, inner, failed);
}

void takeQuotedLiteral(std::u16string_view text, std::u16string& value, std::u16string& rest, bool& failed,
                       char16_t& quote) {
    const std::u16string_view t = skipWhiteSpace(text);
    const std::size_t close = t.size() >= 2 && isQuote(t[0]) ? t.find(t[0], 1) : std::u16string_view::npos;
    if (text.size() <= 1 || close == std::u16string_view::npos ||
        (close + 1 < t.size() && !isWhiteSpace(t[close + 1]))) {
        failed = true;
        quote = 0;
        value.clear();
        rest.clear();
        return;
    }
    std::u16string literal(t.substr(1, close - 1));
    std::u16string after(skipWhiteSpace(t.substr(close + 1)));
    quote = t[0];
    value = std::move(literal);
    rest = std::move(after);
    failed = false;
}

std::u16string formatExternalId(std::u16string_view publicId, std::u16string_view systemId,
                                std::u16string_view notation) {
    if (!notation.empty() && !checkName(notation))
        throw EConvertError(utf16ToUtf8(notation) + " is not a valid notaName value.");
    const std::u16string system = quoteIdentifier(systemId, checkSystemLiteral, "systemId");
    const std::u16string pubid = quoteIdentifier(publicId, checkPubidLiteral, "publicId");
    std::u16string result;
    if (publicId.empty())
        result = u" SYSTEM " + system + u" ";
    else if (systemId.empty())
        result = u" PUBLIC " + pubid + u" ";
    else
        result = u" PUBLIC " + pubid + u" " + system + u" ";
    if (!notation.empty()) {
        result += u"NDATA ";
        result += notation;
        result += u" ";
    }
    return result;
}

namespace {

// Whether name is new among the names of list. A short list is searched; a long one (a hostile tag)
// goes through a set of its names, made at the first use and given each new name.
bool isNewPseudoAttributeName(const TdomNameValueList& list, std::u16string_view name,
                              std::unordered_set<std::u16string>& longListNames) {
    constexpr int kLinearNameSearch = 16;
    const int count = list.pairCount();
    if (count < kLinearNameSearch) {
        for (int k = 0; k < count; ++k)
            if (list.nameAt(k) == name) return false;
        return true;
    }
    if (longListNames.empty())
        for (int k = 0; k < count; ++k) longListNames.insert(list.nameAt(k));
    return longListNames.emplace(name).second;
}

// Reads the name="value" pairs that follow the target from position i on, which is not white
// space; returns the result code. Kept out of line, so that the common tag without attributes
// does not pay for its frame.
[[gnu::noinline]] int readPseudoAttributes(std::u16string_view text, std::size_t i, TdomNameValueList& list) {
    const std::size_t n = text.size();
    auto skip = [&] {
        while (i < n && isWhiteSpace(text[i])) ++i;
    };
    std::unordered_set<std::u16string> longListNames;
    while (i < n) {
        const std::size_t nameStart = i;
        while (i < n && !isWhiteSpace(text[i]) && text[i] != u'=') ++i;
        const std::u16string_view name = text.substr(nameStart, i - nameStart);
        skip();
        if (i >= n || text[i] != u'=') return kPseudoAttributeMissingEquals;
        ++i;
        skip();
        if (i >= n || !isQuote(text[i])) return kPseudoAttributeBadQuote;
        const std::size_t close = text.find(text[i], i + 1);
        if (close == std::u16string_view::npos) return kPseudoAttributeBadQuote;
        if (!isNewPseudoAttributeName(list, name, longListNames)) return kPseudoAttributeDoubleName;
        std::u16string value(text.substr(i + 1, close - i - 1));
        // A tab, line feed or carriage return written in a value is a space there; the ones that
        // character references stand for are kept, as they are expanded later.
        for (char16_t& unit : value)
            if (unit == 0x09 || unit == 0x0A || unit == 0x0D) unit = 0x20;
        list.addPair(std::u16string(name), value);
        i = close + 1;
        if (i < n && !isWhiteSpace(text[i])) return kPseudoAttributeBadFollower;
        skip();
    }
    return kPseudoAttributesParsed;
}

} // namespace

void parsePseudoAttributes(std::u16string_view text, std::u16string& target, TdomNameValueList& list, int& result) {
    std::size_t end = 0;
    while (end < text.size() && !isWhiteSpace(text[end])) ++end;
    list.clearPairs();
    std::size_t next = end;
    while (next < text.size() && isWhiteSpace(text[next])) ++next;
    // Most tags are a name alone.
    result = next == text.size() ? kPseudoAttributesParsed : readPseudoAttributes(text, next, list);
    // Last, as text may be a view of target; assigning into its storage keeps its capacity.
    target.assign(text.substr(0, end));
}

void parseEntityDefinition(std::u16string_view text, std::u16string& value, std::u16string& systemId,
                           std::u16string& publicId, std::u16string& notation, bool& failed) {
    std::u16string newValue, newSystem, newPublic, newNotation;
    auto finish = [&](bool ok) {
        failed = !ok;
        if (!ok) {
            newValue.clear();
            newSystem.clear();
            newPublic.clear();
            newNotation.clear();
        }
        value = std::move(newValue);
        systemId = std::move(newSystem);
        publicId = std::move(newPublic);
        notation = std::move(newNotation);
    };
    if (text.size() <= 1) return finish(false);
    const std::u16string_view t = skipWhiteSpace(text);
    if (!t.empty() && isQuote(t[0])) {
        const Literal literal = takeLiteral(t);
        if (literal.failed || !literal.rest.empty() || !checkEntityValue(quoted(literal.quote, literal.value)))
            return finish(false);
        newValue = literal.value;
        return finish(true);
    }
    const std::u16string_view keyword = externalIdKeyword(t);
    if (keyword.empty()) return finish(false);
    Literal literal = takeLiteral(t.substr(6));
    if (keyword == u"PUBLIC") {
        if (!isPubidLiteral(literal)) return finish(false);
        newPublic = literal.value;
        literal = takeLiteral(literal.rest);
    }
    if (!isSystemLiteral(literal)) return finish(false);
    newSystem = literal.value;
    if (!literal.rest.empty()) {
        // NDATA, white space, and the notation name.
        const std::u16string_view rest = literal.rest;
        if (rest.size() < 6 || rest.substr(0, 5) != u"NDATA" || !isWhiteSpace(rest[5])) return finish(false);
        const std::u16string_view name = trimmedView(rest.substr(5));
        if (!checkName(name)) return finish(false);
        newNotation = std::u16string(name);
    }
    finish(true);
}

void parseNotationExternalId(std::u16string_view text, std::u16string& systemId, std::u16string& publicId,
                             bool& failed) {
    std::u16string newSystem, newPublic;
    auto finish = [&](bool ok) {
        failed = !ok;
        if (!ok) {
            newSystem.clear();
            newPublic.clear();
        }
        systemId = std::move(newSystem);
        publicId = std::move(newPublic);
    };
    const std::u16string_view t = trimmedView(text);
    const std::u16string_view keyword = externalIdKeyword(t);
    if (keyword.empty()) return finish(false);
    const Literal first = takeLiteral(t.substr(6));
    if (keyword == u"SYSTEM") {
        if (!isSystemLiteral(first) || !first.rest.empty()) return finish(false);
        newSystem = first.value;
        return finish(true);
    }
    if (!isPubidLiteral(first)) return finish(false);
    newPublic = first.value;
    if (!first.rest.empty()) {
        const Literal second = takeLiteral(first.rest);
        if (!isSystemLiteral(second) || !second.rest.empty()) return finish(false);
        newSystem = second.value;
    }
    finish(true);
}
