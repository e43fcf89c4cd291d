#pragma once

#include <string>
#include <string_view>

// Splits a URI reference into scheme, authority, path, query and fragment and validates each
// component against the URI grammar (RFC 2396). A failed analysis leaves every component empty
// and absent.
class TUriWideStrAnalyzer {
public:
    TUriWideStrAnalyzer() { analyze(std::u16string_view()); }
    virtual ~TUriWideStrAnalyzer() = default;

    // The reference built back from its components and their delimiters.
    virtual void compose(std::u16string& text) const;
    // Each assignment stores a present component that passes its validator and answers true;
    // otherwise it clears the component and answers whether it was absent.
    virtual bool assignAuthority(std::u16string_view text, bool present);
    virtual bool assignFragment(std::u16string_view text, bool present);
    // Stores the path when it is valid, else clears it; answers the validity.
    virtual bool assignPath(std::u16string_view text);
    virtual bool assignQuery(std::u16string_view text, bool present);
    // The scheme ends at the first ":" anywhere in the text, so "dir/a:b" fails as a scheme.
    virtual bool analyze(std::u16string_view text);
    virtual bool assignScheme(std::u16string_view text, bool present);

    std::u16string composed() const {
        std::u16string text;
        compose(text);
        return text;
    }
    const std::u16string& schemePart() const { return schemePart_; }
    const std::u16string& authorityPart() const { return authorityPart_; }
    const std::u16string& pathPart() const { return pathPart_; }
    const std::u16string& queryPart() const { return queryPart_; }
    const std::u16string& fragmentPart() const { return fragmentPart_; }
    bool schemePresent() const { return schemePresent_; }
    bool authorityPresent() const { return authorityPresent_; }
    bool queryPresent() const { return queryPresent_; }
    bool fragmentPresent() const { return fragmentPresent_; }

private:
    std::u16string schemePart_;
    std::u16string authorityPart_;
    std::u16string pathPart_;
    std::u16string queryPart_;
    std::u16string fragmentPart_;
    bool schemePresent_ = false;
    bool authorityPresent_ = false;
    bool queryPresent_ = false;
    bool fragmentPresent_ = false;
};

// Resolves a relative reference against an absolute base. False, with an empty result, when either
// side is invalid, when neither has a scheme, or when ".." segments would climb above the root.
bool resolveAgainstBase(std::u16string_view base, std::u16string_view reference, std::u16string& result);

// True when the ASCII text is an absolute URI: a scheme, ":", then a hierarchical part with an
// optional query, or an opaque part. Fragments are not part of an absolute URI.
bool checkAbsoluteUri(std::string_view text);

// The component validators, for wide text and for ASCII text. Units outside ASCII never pass.
bool isUriScheme(std::u16string_view text);
bool isUriScheme(std::string_view text);
// A server ([userinfo "@"] host [":" port], or empty) or a registry-based name.
bool isUriAuthority(std::u16string_view text);
bool isUriAuthority(std::string_view text);
bool isUriServer(std::u16string_view text);
bool isUriServer(std::string_view text);
// A host name (labels of letters, digits and "-"; the last begins with a letter) or an IPv4 address.
bool isUriHost(std::u16string_view text);
bool isUriHost(std::string_view text);
// Empty, an absolute path, or a relative path of URI characters.
bool isUriPath(std::u16string_view text);
bool isUriPath(std::string_view text);
// Empty or URI characters: reserved, unreserved or escaped ("%" and two hexadecimal digits).
bool isUriQuery(std::u16string_view text);
bool isUriQuery(std::string_view text);
bool isUriFragment(std::u16string_view text);
bool isUriFragment(std::string_view text);
