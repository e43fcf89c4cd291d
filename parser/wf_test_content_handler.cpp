#include "parser/wf_test_content_handler.h"

#include <string_view>
#include <unordered_set>
#include <utility>

#include "text/name_value_list.h"
#include "text/parser_error.h"
#include "text/parser_exception.h"
#include "text/text_utils.h"
#include "text/xml_chars.h"

namespace {

bool decodesAsCharRef(std::u16string_view reference) {
    try {
        charRefText(reference);
        return true;
    } catch (const Exception&) {
        return false;
    }
}

std::u16string quoted(char16_t quote, const std::u16string& text) {
    std::u16string result;
    result.reserve(text.size() + 2);
    result.push_back(quote);
    result += text;
    result.push_back(quote);
    return result;
}

} // namespace

void TXmlWFTestContentHandler::requireActive() const {
    if (!active_) throw EParserException("TXmlWFTestContentHandler not active.");
}

TXmlErrorRecord TXmlWFTestContentHandler::startDocument(TXmlCustomProcessorAgent* processorAgent,
                                                        TdomStandardLocator* locator, std::u16string&& data) {
    if (OnStartDocument) OnStartDocument(processorAgent, locator, data);
    if (active_) throw EParserException("TXmlWFTestContentHandler is active.");
    openNames_.clear();
    openElements_.clear();
    active_ = true;
    doctypeSeen_ = false;
    rootSeen_ = false;
    atStart_ = true;
    return forward(&TXmlCustomHandler::startDocument, processorAgent, locator, std::move(data));
}

TXmlErrorRecord TXmlWFTestContentHandler::xmlDeclaration(TXmlCustomProcessorAgent* processorAgent,
                                                         TdomStandardLocator* locator, std::u16string&& version,
                                                         std::u16string&& encDl, std::u16string&& sdDl) {
    if (OnXmlDeclaration) OnXmlDeclaration(processorAgent, locator, version, encDl, sdDl);
    requireActive();
    if (!atStart_) return fail(processorAgent, locator, u"", EParserWrongOrder_Err::kClassName);
    atStart_ = false;
    if ((!encDl.empty() && !checkEncName(encDl)) || !(sdDl.empty() || sdDl == u"yes" || sdDl == u"no") ||
        !checkVersionNum(version))
        return fail(processorAgent, locator, u"", EParserInvalidXmlDeclaration_Err::kClassName);
    return forward(&TXmlCustomHandler::xmlDeclaration, processorAgent, locator, std::move(version), std::move(encDl),
                   std::move(sdDl));
}

TXmlErrorRecord TXmlWFTestContentHandler::doctype(TXmlCustomProcessorAgent* processorAgent,
                                                  TdomStandardLocator* locator, std::u16string&& name,
                                                  std::u16string&& pubId, std::u16string&& sysId,
                                                  std::u16string&& data) {
    if (OnDoctype) OnDoctype(processorAgent, locator, name, pubId, sysId, data);
    requireActive();
    atStart_ = false;
    if (doctypeSeen_) return fail(processorAgent, locator, data, EParserDoubleDoctype_Err::kClassName);
    doctypeSeen_ = true;
    if (rootSeen_) return fail(processorAgent, locator, data, EParserWrongOrder_Err::kClassName);
    if (!checkName(name) || (!checkPubidLiteral(quoted(u'"', pubId)) && !checkPubidLiteral(quoted(u'\'', pubId))) ||
        (!checkSystemLiteral(quoted(u'"', sysId)) && !checkSystemLiteral(quoted(u'\'', sysId))))
        return fail(processorAgent, locator, data, EParserInvalidDoctype_Err::kClassName);
    return forward(&TXmlCustomHandler::doctype, processorAgent, locator, std::move(name), std::move(pubId),
                   std::move(sysId), std::move(data));
}

TXmlErrorRecord TXmlWFTestContentHandler::checkAttributes(TXmlCustomProcessorAgent* processorAgent,
                                                          TdomStandardLocator* locator,
                                                          const TdomNameValueList& attributes) {
    const int count = attributes.pairCount();
    if (count == 0) return nullptr;
    // Attribute names are compared exactly, as XML names are; a set keeps long lists linear.
    std::unordered_set<std::u16string_view> seen;
    if (count > 8) seen.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        const std::u16string& name = attributes.nameAt(i);
        const std::u16string& value = attributes.valueAt(i);
        bool duplicate = false;
        if (count > 8) {
            duplicate = !seen.insert(name).second;
        } else {
            for (int j = 0; j < i && !duplicate; ++j) duplicate = attributes.nameAt(j) == name;
        }
        if (duplicate) return fail(processorAgent, locator, name, EParserDoubleAttributeName_Err::kClassName);
        if (!checkName(name)) return fail(processorAgent, locator, value, EParserInvalidAttributeName_Err::kClassName);
        if (value.find(u'&') == std::u16string::npos) {
            if (!checkCharData(value))
                return fail(processorAgent, locator, value, EParserInvalidAttributeValue_Err::kClassName);
            continue;
        }
        std::size_t referenceStart = std::u16string::npos; // index of the open reference's '&'
        for (std::size_t k = 0; k < value.size(); ++k) {
            char16_t unit = value[k];
            if (referenceStart == std::u16string::npos) {
                if (unit == u'&') {
                    referenceStart = k;
                } else if (unit == u'<' || !isCharUnit(unit)) {
                    return fail(processorAgent, locator, value, EParserInvalidAttributeValue_Err::kClassName);
                }
            } else if (unit == u';') {
                std::u16string_view content(value.data() + referenceStart + 1, k - referenceStart - 1);
                if (!content.empty() && content[0] == u'#') {
                    std::u16string_view reference(value.data() + referenceStart, k - referenceStart + 1);
                    if (!decodesAsCharRef(reference))
                        return fail(processorAgent, locator, std::u16string(reference),
                                    EParserInvalidCharRef_Err::kClassName);
                } else if (!checkName(content)) {
                    return fail(processorAgent, locator, std::u16string(content),
                                EParserInvalidEntityName_Err::kClassName);
                }
                referenceStart = std::u16string::npos;
            }
        }
        if (referenceStart != std::u16string::npos)
            return fail(processorAgent, locator, value, EParserInvalidAttributeValue_Err::kClassName);
    }
    return nullptr;
}

// The signals a document sends by the thousand (start and end tags, character data) are flattened:
// the work they call in this file is inlined, which saves a call and a frame for each part of it.
[[gnu::flatten]] TXmlErrorRecord TXmlWFTestContentHandler::startElement(TXmlCustomProcessorAgent* processorAgent,
                                                                        TdomStandardLocator* locator,
                                                                        const std::u16string& namespaceURI,
                                                                        const std::u16string& tagName,
                                                                        TdomNameValueList& attributes) {
    return afterStartElementEvent(processorAgent, locator, namespaceURI, tagName, attributes,
                                  [&](const std::u16string& uri, const std::u16string& name) {
                                      return testStartElement(processorAgent, locator, uri, name, attributes);
                                  });
}

TXmlErrorRecord TXmlWFTestContentHandler::testStartElement(TXmlCustomProcessorAgent* processorAgent,
                                                           TdomStandardLocator* locator,
                                                           const std::u16string& namespaceURI,
                                                           const std::u16string& tagName,
                                                           TdomNameValueList& attributes) {
    requireActive();
    atStart_ = false;
    TXmlErrorRecord error;
    const bool validName = checkName(tagName);
    if (!validName)
        error = fail(processorAgent, locator, tagName, EParserInvalidElementName_Err::kClassName);
    else if (documentMode_ && rootSeen_ && openElements_.empty())
        error = fail(processorAgent, locator, tagName, EParserDoubleRootElement_Err::kClassName);
    rootSeen_ = true;
    openElements_.push_back({openNames_.size(), validName});
    openNames_ += tagName;
    if (!error && attributes.pairCount() > 0) error = checkAttributes(processorAgent, locator, attributes);
    if (error) return error;
    return forward(&TXmlCustomHandler::startElement, processorAgent, locator, namespaceURI, tagName, attributes);
}

[[gnu::flatten]] TXmlErrorRecord TXmlWFTestContentHandler::endElement(TXmlCustomProcessorAgent* processorAgent,
                                                                      TdomStandardLocator* locator,
                                                                      const std::u16string& namespaceURI,
                                                                      const std::u16string& tagName) {
    return afterEndElementEvent(processorAgent, locator, namespaceURI, tagName,
                                [&](const std::u16string& uri, const std::u16string& name) {
                                    return testEndElement(processorAgent, locator, uri, name);
                                });
}

TXmlErrorRecord TXmlWFTestContentHandler::testEndElement(TXmlCustomProcessorAgent* processorAgent,
                                                         TdomStandardLocator* locator,
                                                         const std::u16string& namespaceURI,
                                                         const std::u16string& tagName) {
    requireActive();
    atStart_ = false;
    // A name equal to the innermost open one is exactly as valid as that one was found to be; only
    // another name needs checking before it is reported as unmatched.
    const bool matches = !openElements_.empty() &&
                         sameUnits(std::u16string_view(openNames_).substr(openElements_.back().start), tagName);
    if (matches ? !openElements_.back().validName : !checkName(tagName))
        return fail(processorAgent, locator, tagName, EParserInvalidElementName_Err::kClassName);
    if (!matches) return fail(processorAgent, locator, tagName, EParserMissingStartTag_Err::kClassName);
    openNames_.resize(openElements_.back().start);
    openElements_.pop_back();
    return forward(&TXmlCustomHandler::endElement, processorAgent, locator, namespaceURI, tagName);
}

[[gnu::flatten]] TXmlErrorRecord TXmlWFTestContentHandler::PCDATA(TXmlCustomProcessorAgent* processorAgent,
                                                                  TdomStandardLocator* locator, std::u16string&& data) {
    if (OnPCDATA) OnPCDATA(processorAgent, locator, data);
    requireActive();
    atStart_ = false;
    if (!checkCharData(data)) return fail(processorAgent, locator, data, EParserInvalidCharacter_Err::kClassName);
    if (documentMode_ && !rootSeen_ && !checkWhiteSpace(data))
        return fail(processorAgent, locator, data, EParserNotInRoot_Err::kClassName);
    return forward(&TXmlCustomHandler::PCDATA, processorAgent, locator, std::move(data));
}

TXmlErrorRecord TXmlWFTestContentHandler::CDATA(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                                std::u16string&& data) {
    if (OnCDATA) OnCDATA(processorAgent, locator, data);
    requireActive();
    atStart_ = false;
    if (!checkCData(data)) return fail(processorAgent, locator, data, EParserInvalidCDATASection_Err::kClassName);
    if (documentMode_ && !rootSeen_) return fail(processorAgent, locator, data, EParserNotInRoot_Err::kClassName);
    return forward(&TXmlCustomHandler::CDATA, processorAgent, locator, std::move(data));
}

TXmlErrorRecord TXmlWFTestContentHandler::charRef(TXmlCustomProcessorAgent* processorAgent,
                                                  TdomStandardLocator* locator, std::u16string&& data) {
    if (OnCharRef) OnCharRef(processorAgent, locator, data);
    requireActive();
    atStart_ = false;
    if (documentMode_ && !rootSeen_) return fail(processorAgent, locator, data, EParserNotInRoot_Err::kClassName);
    if (!decodesAsCharRef(data)) return fail(processorAgent, locator, data, EParserInvalidCharRef_Err::kClassName);
    return forward(&TXmlCustomHandler::charRef, processorAgent, locator, std::move(data));
}

TXmlErrorRecord TXmlWFTestContentHandler::entityRef(TXmlCustomProcessorAgent* processorAgent,
                                                    TdomStandardLocator* locator, std::u16string&& data) {
    if (OnEntityRef) OnEntityRef(processorAgent, locator, data);
    requireActive();
    atStart_ = false;
    if (!checkName(data)) return fail(processorAgent, locator, data, EParserInvalidEntityName_Err::kClassName);
    if (documentMode_ && !rootSeen_)
        return fail(processorAgent, locator, u"&" + data + u";", EParserNotInRoot_Err::kClassName);
    return forward(&TXmlCustomHandler::entityRef, processorAgent, locator, std::move(data));
}

TXmlErrorRecord TXmlWFTestContentHandler::comment(TXmlCustomProcessorAgent* processorAgent,
                                                  TdomStandardLocator* locator, std::u16string&& data) {
    if (OnComment) OnComment(processorAgent, locator, data);
    requireActive();
    atStart_ = false;
    if (data.find(u"--") != std::u16string::npos)
        return fail(processorAgent, locator, u"--", EParserInvalidComment_Err::kClassName);
    if (!data.empty() && data.back() == u'-')
        return fail(processorAgent, locator, u"-", EParserInvalidComment_Err::kClassName);
    if (!checkChars(data)) return fail(processorAgent, locator, data, EParserInvalidCharacter_Err::kClassName);
    return forward(&TXmlCustomHandler::comment, processorAgent, locator, std::move(data));
}

TXmlErrorRecord TXmlWFTestContentHandler::processingInstruction(TXmlCustomProcessorAgent* processorAgent,
                                                                TdomStandardLocator* locator, std::u16string&& targ,
                                                                std::u16string&& data) {
    if (OnProcessingInstruction) OnProcessingInstruction(processorAgent, locator, targ, data);
    requireActive();
    atStart_ = false;
    if (!checkPITarget(targ))
        return fail(processorAgent, locator, targ, EParserInvalidProcessingInstruction_Err::kClassName);
    if (data.find(u"?>") != std::u16string::npos)
        return fail(processorAgent, locator, u"?>", EParserInvalidProcessingInstruction_Err::kClassName);
    if (!checkChars(data)) return fail(processorAgent, locator, data, EParserInvalidCharacter_Err::kClassName);
    return forward(&TXmlCustomHandler::processingInstruction, processorAgent, locator, std::move(targ),
                   std::move(data));
}

TXmlErrorRecord TXmlWFTestContentHandler::skippedEntity(TXmlCustomProcessorAgent* processorAgent,
                                                        TdomStandardLocator* locator, std::u16string&& data) {
    if (OnSkippedEntity) OnSkippedEntity(processorAgent, locator, data);
    requireActive();
    return forward(&TXmlCustomHandler::skippedEntity, processorAgent, locator, std::move(data));
}

TXmlErrorRecord TXmlWFTestContentHandler::endDocument(TXmlCustomProcessorAgent* processorAgent,
                                                      TdomStandardLocator* locator) {
    if (OnEndDocument) OnEndDocument(processorAgent, locator);
    requireActive();
    active_ = false;
    TXmlErrorRecord error;
    if (!openElements_.empty())
        error = fail(processorAgent, locator, u"", EParserMissingEndTag_Err::kClassName);
    else if (documentMode_ && !rootSeen_)
        error = fail(processorAgent, locator, u"", EParserRootNotFound_Err::kClassName);
    doctypeSeen_ = false;
    rootSeen_ = false;
    if (error) return error;
    return forward(&TXmlCustomHandler::endDocument, processorAgent, locator);
}

void TXmlWFTestContentHandler::reset() {
    active_ = false;
    doctypeSeen_ = false;
    rootSeen_ = false;
    atStart_ = true;
    openNames_.clear();
    openElements_.clear();
    TXmlCustomContentHandler::reset();
}
