#include "text/uri_analyzer.h"

#include <vector>

namespace {

// Character classes of the URI grammar. Code units are compared as unsigned values, so anything
// outside ASCII falls in no class.
template <class C> unsigned unitOf(C c) { return static_cast<std::make_unsigned_t<C>>(c); }

bool isAlpha(unsigned c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isDigit(unsigned c) { return c >= '0' && c <= '9'; }
bool isAlnum(unsigned c) { return isAlpha(c) || isDigit(c); }
bool isHex(unsigned c) { return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }
bool isMark(unsigned c) {
    switch (c) {
    case '-':
    case '_':
    case '.':
    case '!':
    case '~':
    case '*':
    case '\'':
    case '(':
    case ')':
        return true;
    default:
        return false;
    }
}
bool isUnreserved(unsigned c) { return isAlnum(c) || isMark(c); }
bool isReserved(unsigned c) {
    switch (c) {
    case ';':
    case '/':
    case '?':
    case ':':
    case '@':
    case '&':
    case '=':
    case '+':
    case '$':
    case ',':
        return true;
    default:
        return false;
    }
}
bool isOneOf(unsigned c, std::string_view set) { return c < 0x80 && set.find(static_cast<char>(c)) != set.npos; }

// True when every unit of text is in the class, escapes ("%" and two hexadecimal digits)
// counting as one unit of the class when escapesAllowed.
template <class C, class Pred> bool allOf(std::basic_string_view<C> text, Pred inClass, bool escapesAllowed = true) {
    for (std::size_t k = 0; k < text.size(); ++k) {
        const unsigned c = unitOf(text[k]);
        if (c == '%' && escapesAllowed) {
            if (k + 2 >= text.size()) return false;
            if (!isHex(unitOf(text[k + 1])) || !isHex(unitOf(text[k + 2]))) return false;
            k += 2;
            continue;
        }
        if (!inClass(c)) return false;
    }
    return true;
}

bool isUric(unsigned c) { return isReserved(c) || isUnreserved(c); }

template <class C> bool scheme(std::basic_string_view<C> text) {
    if (text.empty() || !isAlpha(unitOf(text[0]))) return false;
    return allOf(
        text.substr(1), [](unsigned c) { return isAlnum(c) || isOneOf(c, "+-."); }, false);
}

template <class C> bool digits(std::basic_string_view<C> text) { return allOf(text, isDigit, false); }

template <class C> bool ipv4(std::basic_string_view<C> text) {
    int dots = 0;
    std::size_t run = 0;
    for (C c : text) {
        const unsigned u = unitOf(c);
        if (u == '.') {
            if (run == 0) return false;
            ++dots;
            run = 0;
        } else if (isDigit(u)) {
            ++run;
        } else {
            return false;
        }
    }
    return dots == 3 && run > 0;
}

template <class C> bool label(std::basic_string_view<C> text, bool top) {
    if (text.empty()) return false;
    const unsigned first = unitOf(text.front());
    if (top ? !isAlpha(first) : !isAlnum(first)) return false;
    if (!isAlnum(unitOf(text.back()))) return false;
    return allOf(
        text, [](unsigned c) { return isAlnum(c) || c == '-'; }, false);
}

template <class C> bool hostname(std::basic_string_view<C> text) {
    if (!text.empty() && unitOf(text.back()) == '.') text.remove_suffix(1);
    if (text.empty()) return false;
    for (;;) {
        const std::size_t dot = text.find(C('.'));
        if (dot == text.npos) return label(text, true);
        if (!label(text.substr(0, dot), false)) return false;
        text.remove_prefix(dot + 1);
    }
}

template <class C> bool host(std::basic_string_view<C> text) { return hostname(text) || ipv4(text); }

template <class C> bool server(std::basic_string_view<C> text) {
    if (text.empty()) return true;
    const std::size_t at = text.find(C('@'));
    if (at != text.npos) {
        if (!allOf(text.substr(0, at), [](unsigned c) { return isUnreserved(c) || isOneOf(c, ";:&=+$,"); }))
            return false;
        text.remove_prefix(at + 1);
    }
    const std::size_t colon = text.find(C(':'));
    if (colon != text.npos) {
        if (!digits(text.substr(colon + 1))) return false;
        text = text.substr(0, colon);
    }
    return host(text);
}

template <class C> bool regName(std::basic_string_view<C> text) {
    return !text.empty() && allOf(text, [](unsigned c) { return isUnreserved(c) || isOneOf(c, "$,;:@&=+"); });
}

template <class C> bool authority(std::basic_string_view<C> text) { return server(text) || regName(text); }

// "/" followed by segments of path characters, parameters and further "/".
template <class C> bool absPath(std::basic_string_view<C> text) {
    if (text.empty() || unitOf(text[0]) != '/') return false;
    return allOf(text, [](unsigned c) { return isUnreserved(c) || isOneOf(c, ":@&=+$,;/"); });
}

template <class C> bool uricText(std::basic_string_view<C> text) { return allOf(text, isUric); }

template <class C> bool path(std::basic_string_view<C> text) {
    if (text.empty()) return true;
    if (unitOf(text[0]) == '/') return absPath(text);
    return uricText(text);
}

struct Cut {
    std::u16string_view before;
    std::u16string_view after;
    bool found;
};

Cut cutAt(std::u16string_view text, char16_t delimiter) {
    const std::size_t at = text.find(delimiter);
    if (at == text.npos) return {text, std::u16string_view(), false};
    return {text.substr(0, at), text.substr(at + 1), true};
}

} // namespace

bool isUriScheme(std::u16string_view text) { return scheme(text); }
bool isUriScheme(std::string_view text) { return scheme(text); }
bool isUriAuthority(std::u16string_view text) { return authority(text); }
bool isUriAuthority(std::string_view text) { return authority(text); }
bool isUriServer(std::u16string_view text) { return server(text); }
bool isUriServer(std::string_view text) { return server(text); }
bool isUriHost(std::u16string_view text) { return host(text); }
bool isUriHost(std::string_view text) { return host(text); }
bool isUriPath(std::u16string_view text) { return path(text); }
bool isUriPath(std::string_view text) { return path(text); }
bool isUriQuery(std::u16string_view text) { return uricText(text); }
bool isUriQuery(std::string_view text) { return uricText(text); }
bool isUriFragment(std::u16string_view text) { return uricText(text); }
bool isUriFragment(std::string_view text) { return uricText(text); }

void TUriWideStrAnalyzer::compose(std::u16string& text) const {
    text.clear();
    if (schemePresent_) {
        text += schemePart_;
        text += u':';
    }
    if (authorityPresent_) {
        text += u"//";
        text += authorityPart_;
    }
    text += pathPart_;
    if (queryPresent_) {
        text += u'?';
        text += queryPart_;
    }
    if (fragmentPresent_) {
        text += u'#';
        text += fragmentPart_;
    }
}

namespace {

bool assignComponent(std::u16string& part, bool& presentFlag, std::u16string_view text, bool present,
                     bool (*valid)(std::u16string_view)) {
    presentFlag = present;
    if (present && valid(text)) {
        part.assign(text);
        return true;
    }
    part.clear();
    return !present;
}

} // namespace

bool TUriWideStrAnalyzer::assignAuthority(std::u16string_view text, bool present) {
    return assignComponent(authorityPart_, authorityPresent_, text, present, isUriAuthority);
}

bool TUriWideStrAnalyzer::assignFragment(std::u16string_view text, bool present) {
    return assignComponent(fragmentPart_, fragmentPresent_, text, present, isUriFragment);
}

bool TUriWideStrAnalyzer::assignPath(std::u16string_view text) {
    if (isUriPath(text)) {
        pathPart_.assign(text);
        return true;
    }
    pathPart_.clear();
    return false;
}

bool TUriWideStrAnalyzer::assignQuery(std::u16string_view text, bool present) {
    return assignComponent(queryPart_, queryPresent_, text, present, isUriQuery);
}

bool TUriWideStrAnalyzer::assignScheme(std::u16string_view text, bool present) {
    return assignComponent(schemePart_, schemePresent_, text, present, isUriScheme);
}

bool TUriWideStrAnalyzer::analyze(std::u16string_view text) {
    const Cut schemeCut = cutAt(text, u':');
    const std::u16string_view schemeText = schemeCut.found ? schemeCut.before : std::u16string_view();
    std::u16string_view rest = schemeCut.found ? schemeCut.after : text;

    const Cut fragmentCut = cutAt(rest, u'#');
    rest = fragmentCut.before;
    const Cut queryCut = cutAt(rest, u'?');
    rest = queryCut.before;

    std::u16string_view authorityText;
    const bool authorityFound = rest.size() >= 2 && rest[0] == u'/' && rest[1] == u'/';
    if (authorityFound) {
        rest.remove_prefix(2);
        const std::size_t slash = rest.find(u'/');
        authorityText = rest.substr(0, slash);
        rest = slash == rest.npos ? std::u16string_view() : rest.substr(slash);
    }

    bool ok = assignScheme(schemeText, schemeCut.found);
    ok = assignFragment(fragmentCut.after, fragmentCut.found) && ok;
    ok = assignQuery(queryCut.after, queryCut.found) && ok;
    ok = assignAuthority(authorityText, authorityFound) && ok;
    ok = assignPath(rest) && ok;
    if (!ok && !text.empty()) analyze(std::u16string_view());
    return ok;
}

namespace {

// Merges a relative path onto the directory of the base path and removes "." and ".." segments.
// False when a ".." would climb above the root.
bool mergePaths(std::u16string_view basePath, std::u16string_view referencePath, std::u16string& result) {
    std::u16string merged;
    const std::size_t lastSlash = basePath.rfind(u'/');
    if (lastSlash != basePath.npos) merged.assign(basePath.substr(1, lastSlash));
    merged += referencePath;

    std::vector<std::u16string_view> segments;
    std::u16string_view rest = merged;
    for (;;) {
        const std::size_t slash = rest.find(u'/');
        segments.push_back(rest.substr(0, slash));
        if (slash == rest.npos) break;
        rest.remove_prefix(slash + 1);
    }
    if (segments.back() == u"." || segments.back() == u"..") segments.emplace_back();

    std::vector<std::u16string_view> kept;
    kept.reserve(segments.size());
    for (std::u16string_view segment : segments)
        if (segment != u".") kept.push_back(segment);

    // Each ".." removes itself and the segment before it, taking the first ".." each time and
    // stopping when that one has nothing before it.
    for (;;) {
        std::size_t k = 0;
        while (k < kept.size() && kept[k] != u"..") ++k;
        if (k == 0 || k == kept.size()) break;
        kept.erase(kept.begin() + static_cast<std::ptrdiff_t>(k - 1),
                   kept.begin() + static_cast<std::ptrdiff_t>(k + 1));
    }
    if (!kept.empty() && kept.front() == u"..") return false;

    result.clear();
    for (std::u16string_view segment : kept) {
        result += u'/';
        result += segment;
    }
    return true;
}

} // namespace

bool resolveAgainstBase(std::u16string_view base, std::u16string_view reference, std::u16string& result) {
    result.clear();
    TUriWideStrAnalyzer baseUri;
    TUriWideStrAnalyzer referenceUri;
    if (!baseUri.analyze(base) || !referenceUri.analyze(reference)) return false;
    if (!baseUri.schemePresent() && !referenceUri.schemePresent()) return false;

    if (referenceUri.pathPart().empty() && !referenceUri.schemePresent() && !referenceUri.authorityPresent() &&
        !referenceUri.queryPresent()) {
        baseUri.assignFragment(referenceUri.fragmentPart(), referenceUri.fragmentPresent());
        baseUri.compose(result);
        return true;
    }
    if (referenceUri.schemePresent()) {
        result.assign(reference);
        return true;
    }

    referenceUri.assignScheme(baseUri.schemePart(), baseUri.schemePresent());
    if (!referenceUri.authorityPresent()) {
        referenceUri.assignAuthority(baseUri.authorityPart(), baseUri.authorityPresent());
        if (referenceUri.pathPart().empty() || referenceUri.pathPart()[0] != u'/') {
            std::u16string path;
            if (!mergePaths(baseUri.pathPart(), referenceUri.pathPart(), path)) return false;
            referenceUri.assignPath(path);
        }
    }
    referenceUri.compose(result);
    return true;
}

bool checkAbsoluteUri(std::string_view text) {
    const std::size_t colon = text.find(':');
    if (colon == text.npos || !scheme(text.substr(0, colon))) return false;
    std::string_view rest = text.substr(colon + 1);

    if (rest.empty() || rest[0] != '/') return !rest.empty() && uricText(rest); // opaque part

    std::string_view query;
    bool hasQuery = false;
    const std::size_t question = rest.find('?');
    if (question != rest.npos) {
        query = rest.substr(question + 1);
        hasQuery = true;
        rest = rest.substr(0, question);
    }
    if (hasQuery && !uricText(query)) return false;

    if (rest.size() >= 2 && rest[1] == '/') {
        rest.remove_prefix(2);
        const std::size_t slash = rest.find('/');
        if (!authority(rest.substr(0, slash))) return false;
        return slash == rest.npos || absPath(rest.substr(slash));
    }
    return absPath(rest);
}
