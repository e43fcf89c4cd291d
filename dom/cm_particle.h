#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "dom/cm_node.h"

class TContentModelAutomaton;
class TdomWideStringList;

// A particle of a content model. The occurrence is one of "", "?", "*" and "+" (for the #PCDATA
// choice "*", or "" for a lone #PCDATA); any other value raises EInvalid_Character_Err at
// construction.
//
// contentModelTest decides whether the particle matches at the head of a list of element names and
// gives the names left over: it takes the longest run of names the model matches, through a compiled
// position automaton (see TContentModelAutomaton), so (a*, a) takes "a a" and the time stays
// proportional to the names times the model. An ambiguous model is matched like any other; whether
// it is deterministic is deterministic()'s to tell. The #PCDATA choice raises
// EInternalParserException (mixed content is not matched this way). Compiling and matching are
// iterative: the depth of the model is bounded by memory only.
class TdomCMParticle : public TdomCMNode {
public:
    const std::u16string& occurrence() const { return occurrence_; }

    // The names are the element names of an element's children, in document order. On success
    // remaining holds the names left over; on failure it holds the names given.
    bool contentModelTest(const TdomWideStringList& names, TdomWideStringList& remaining) const;
    // One pass of the particle, without its occurrence; optional makes a failed pass succeed with
    // the list unchanged.
    bool matchOnce(const TdomWideStringList& names, TdomWideStringList& remaining, bool optional) const;

    // The same test over names[from..]: on success next is the index of the first name left over.
    bool matchNames(std::span<const std::u16string> names, std::size_t from, std::size_t& next) const;
    bool matchNamesOnce(std::span<const std::u16string> names, std::size_t from, std::size_t& next,
                        bool optional) const;
    // XML's compatibility rule for element content (see TContentModelAutomaton::deterministic).
    bool deterministic() const;

protected:
    TdomCMParticle(TdomCustomCMObject* owner, TdomCMNodeType type, std::u16string name, std::u16string occurrence,
                   TdomCMNodeTypeSet permittedChildTypes);
    TdomCMParticle(const TdomCMParticle& source) = default;

private:
    // The particle compiled as written, kept while the owner's trees stay unchanged; a copy of the
    // particle starts without one.
    struct CompiledModel {
        std::shared_ptr<const TContentModelAutomaton> automaton;
        std::uint64_t treeVersion = 0;
        CompiledModel() = default;
        CompiledModel(const CompiledModel&) {}
        CompiledModel& operator=(const CompiledModel&) = delete;
    };
    const TContentModelAutomaton& compiled() const;

    std::u16string occurrence_;
    mutable CompiledModel compiled_;
};

// "(" a ", " b ... ")" occurrence: the children in order.
class TdomCMSequenceParticle : public TdomCMParticle {
public:
    TdomCMSequenceParticle(TdomCustomCMObject* owner, std::u16string occurrence);

protected:
    void declarationParts(DeclarationParts& parts) const override;
    std::unique_ptr<TdomCMNode> copyNode() const override;
};

// "(" a " | " b ... ")" occurrence: exactly one of the children.
class TdomCMChoiceParticle : public TdomCMParticle {
public:
    TdomCMChoiceParticle(TdomCustomCMObject* owner, std::u16string occurrence);

protected:
    void declarationParts(DeclarationParts& parts) const override;
    std::unique_ptr<TdomCMNode> copyNode() const override;
};

// "( #PCDATA | a | b )*": mixed content; its children are element particles.
class TdomCMPcdataChoiceParticle : public TdomCMParticle {
public:
    TdomCMPcdataChoiceParticle(TdomCustomCMObject* owner, std::u16string occurrence);

    // True when one of the element particles carries that name. A name that is not an XML Name
    // raises EInvalid_Character_Err.
    bool hasElementParticle(std::u16string_view name) const;
    // Reports EParserDuplicate_Name_In_Mixed_Content_Err when two element particles share a name.
    bool selfCheck(TdomCustomErrorHandler* errorHandler) const override;

protected:
    void declarationParts(DeclarationParts& parts) const override;
    std::unique_ptr<TdomCMNode> copyNode() const override;
};

// An element type name with its occurrence. The name must be an XML Name.
class TdomCMElementParticle : public TdomCMParticle {
public:
    TdomCMElementParticle(TdomCustomCMObject* owner, std::u16string name, std::u16string occurrence);

protected:
    void declarationParts(DeclarationParts& parts) const override;
    std::unique_ptr<TdomCMNode> copyNode() const override;
};
