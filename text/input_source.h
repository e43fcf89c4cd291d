#pragma once

#include <string>
#include <utility>

// The source of the characters of a parsing run. So far it carries the identifiers of the input,
// which the locator reports for error messages; the reading side builds on this class.
class TXmlInputSource {
public:
    TXmlInputSource(std::u16string publicId, std::u16string systemId)
        : publicId_(std::move(publicId)), systemId_(std::move(systemId)) {}
    virtual ~TXmlInputSource() = default;
    TXmlInputSource(const TXmlInputSource&) = delete;
    TXmlInputSource& operator=(const TXmlInputSource&) = delete;

    // Public identifier of the input; empty when it has none.
    const std::u16string& publicId() const { return publicId_; }
    // System identifier of the input: the file name for a file.
    const std::u16string& systemId() const { return systemId_; }

private:
    std::u16string publicId_;
    std::u16string systemId_;
};
