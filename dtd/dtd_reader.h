#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "parser/signal_chain.h"

class TXmlInputSource;

// Upper bounds on parameter-entity expansion: no single expanded text may grow beyond
// kMaxExpandedTextLength code units, and the expansions of one parse run together (the DTD reader,
// the DTD builder and their nested reads, over both subsets) may not exceed kMaxExpansionTotal code
// units. A DTD that asks for more ends its run with an error record whose code is one of the texts
// below, which say which bound was reached.
inline constexpr std::size_t kMaxExpandedTextLength = 1000000;
inline constexpr std::int64_t kMaxExpansionTotal = 10000000;
inline constexpr std::u16string_view kExpandedTextLimitReached =
    u"length limit of 1000000 code units per declaration or replacement text reached";
inline constexpr std::u16string_view kExpansionLimitReached =
    u"expansion limit of 10000000 code units per parse reached";
inline constexpr std::u16string_view kNestingLimitReached =
    u"nesting limit of 64 levels of parameter-entity references and included sections reached";

// The code units that the expansions of one run have produced so far, shared by everything that
// expands in the run.
struct TXmlExpansionBudget {
    std::int64_t total = 0;
    // Adds count and answers true, or answers false (and adds nothing) when the total would pass
    // kMaxExpansionTotal.
    bool charge(std::size_t count) {
        if (total + static_cast<std::int64_t>(count) > kMaxExpansionTotal) return false;
        total += static_cast<std::int64_t>(count);
        return true;
    }
};

// Reads the text of a document type definition one code unit at a time, cuts it into markup
// declarations, comments, processing instructions, parameter-entity references and conditional
// sections, splits each declaration into its parts and sends one DTD signal per piece down the
// chain. Only the outer shape of each declaration is checked here; names, values and content
// models are checked further down the chain.
//
// In the external subset, parameter-entity references inside declarations are replaced by their
// replacement texts (asked of the chain with findParameterEntity); in the internal subset "%" is
// an ordinary character. The reader is one loop over the input with a single markup buffer: it
// never recurses.
class TXmlStandardDtdReader : public TXmlCustomReader {
public:
    TXmlStandardDtdReader();
    ~TXmlStandardDtdReader() override;

    // Read an external subset (or external parameter entity) and an internal subset. Each sends
    // startExtDtd / startIntDtd first and endExtDtd / endIntDtd last, and answers true when the
    // whole text was read without an error record; a record is reported through dispatchError.
    // An unusable encoding declaration (of the subset or of an external parameter entity) is
    // reported at once and does not stop the reading.
    // The chain is reset before the run, so that a run that an exception ended leaves nothing
    // behind. Exceptions other than an invalid character (a text declaration that is not at the
    // start of the input, an attribute definition that cannot be split) leave the entry points.
    virtual bool parseExternal(TXmlCustomProcessorAgent* processorAgent, TXmlInputSource& inputSource);
    virtual bool parseInternal(TXmlCustomProcessorAgent* processorAgent, TXmlInputSource& inputSource);

    // Makes the reader charge its expansions to budget, which the caller renews (the parser front
    // shares one budget per run between this reader, the DTD builder and nested reads); nullptr
    // gives the reader a budget of its own, renewed for every run.
    void setExpansionBudget(std::shared_ptr<TXmlExpansionBudget> budget);

    // The piece handlers: each takes the whole piece as collected (its delimiters included) and
    // answers the chain's record or a record of its own.
    virtual TXmlErrorRecord sendProcessingInstruction(TXmlCustomProcessorAgent* processorAgent,
                                                      TdomStandardLocator* locator, const std::u16string& piece);
    // content: the text between "<?" and "?>".
    virtual TXmlErrorRecord sendTextDeclaration(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                                const std::u16string& content);
    virtual TXmlErrorRecord sendComment(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                        const std::u16string& piece);
    virtual TXmlErrorRecord sendParameterEntityRef(TXmlCustomProcessorAgent* processorAgent,
                                                   TdomStandardLocator* locator, const std::u16string& piece);
    virtual TXmlErrorRecord sendEntityDeclaration(TXmlCustomProcessorAgent* processorAgent,
                                                  TdomStandardLocator* locator, const std::u16string& piece);
    virtual TXmlErrorRecord sendElementDeclaration(TXmlCustomProcessorAgent* processorAgent,
                                                   TdomStandardLocator* locator, const std::u16string& piece);
    virtual TXmlErrorRecord sendAttributeListDeclaration(TXmlCustomProcessorAgent* processorAgent,
                                                         TdomStandardLocator* locator, const std::u16string& piece);
    virtual TXmlErrorRecord sendNotationDeclaration(TXmlCustomProcessorAgent* processorAgent,
                                                    TdomStandardLocator* locator, const std::u16string& piece);
    // Takes the piece over: the section's content is sent in the piece's own storage.
    virtual TXmlErrorRecord sendConditionalSection(TXmlCustomProcessorAgent* processorAgent,
                                                   TdomStandardLocator* locator, std::u16string& piece);

private:
    enum class State {
        between,
        keyword,
        processingInstruction,
        comment,
        parameterEntityReference,
        entityDeclaration,
        elementDeclaration,
        attributeListDeclaration,
        notationDeclaration,
        conditionalSection,
    };

    bool run(TXmlCustomProcessorAgent* processorAgent, TXmlInputSource& inputSource, bool external);
    // Reads a parameter-entity reference whose "%" was just read, and appends its replacement (or
    // the "%" and a white-space unit) to the buffer. inLiteral: inside a quoted entity value.
    TXmlErrorRecord expandReference(TXmlCustomProcessorAgent* processorAgent, TXmlInputSource& inputSource,
                                    bool inLiteral);
    // The error class of the declaration being collected (for the expansion bounds).
    const char* declarationErrorClass() const;
    TXmlErrorRecord dispatchPiece(TXmlCustomProcessorAgent* processorAgent, TXmlInputSource& inputSource);

    std::u16string buffer_;
    State state_ = State::between;
    bool external_ = false;
    bool inQuotationMarks_ = false;
    bool inApostrophes_ = false;
    // Conditional sections.
    int depth_ = 0;
    bool bracketSeen_ = false;
    bool inComment_ = false;
    std::size_t commentStart_ = 0; // buffer index right after the "<!--" that opened the comment
    std::shared_ptr<TXmlExpansionBudget> budget_;
    bool sharedBudget_ = false;
};

// Splits one attribute definition off the front of an attribute-list declaration's definitions:
// the name, the type (empty before an enumeration), the enumeration with its parentheses, the
// default declaration ("#REQUIRED", "#FIXED" ... or empty), the default value without its quotes,
// and the text left after the definition. Raises EParserInvalidAttributeDeclaration_Err ("Invalid
// attribute declaration error.") when the text does not have the shape of a definition; the
// keyword after "#", the name, the type and the enumeration are not examined.
void splitAttributeDefinition(std::u16string_view text, std::u16string& name, std::u16string& attType,
                              std::u16string& bracket, std::u16string& defaultDecl, std::u16string& attValue,
                              std::u16string& rest);
