#pragma once

#include <initializer_list>
#include <string>
#include <vector>

#include "dom/cm_object.h"
#include "text/error_handler.h"
#include "text/wide_string_list.h"

// Builds content models in a subset object: el(u"a", u"?"), seq({...}, u"*"), choice({...}).
struct ModelBuilder {
    TdomCustomCMObject& owner;

    TdomCMParticle* el(const std::u16string& name, const std::u16string& occurrence = u"") {
        return owner.createElementParticle(name, occurrence);
    }
    TdomCMParticle* seq(std::initializer_list<TdomCMParticle*> children, const std::u16string& occurrence = u"") {
        return fill(owner.createSequenceParticle(occurrence), children);
    }
    TdomCMParticle* choice(std::initializer_list<TdomCMParticle*> children, const std::u16string& occurrence = u"") {
        return fill(owner.createChoiceParticle(occurrence), children);
    }

private:
    TdomCMParticle* fill(TdomCMParticle* group, std::initializer_list<TdomCMParticle*> children) {
        for (TdomCMParticle* child : children) group->appendChild(child);
        return group;
    }
};

inline TdomWideStringList nameList(std::initializer_list<const char16_t*> names) {
    TdomWideStringList list;
    for (const char16_t* name : names) list.addString(name);
    return list;
}

inline std::vector<std::u16string> listContent(const TdomWideStringList& list) {
    std::vector<std::u16string> content;
    for (int i = 0; i < list.count(); ++i) content.push_back(list.stringAt(i));
    return content;
}

// The error classes an error handler received, in order, errors and warnings apart.
class RecordingErrorHandler : public TdomCustomErrorHandler {
public:
    void error(void*, const TdomStandardLocator*, std::u16string_view code, std::string_view errorClass) override {
        classes.emplace_back(errorClass);
        codes.emplace_back(code);
    }
    void warning(void*, const TdomStandardLocator*, std::u16string_view, std::string_view errorClass) override {
        warnings.emplace_back(errorClass);
    }
    std::vector<std::string> classes;
    std::vector<std::string> warnings;
    std::vector<std::u16string> codes;
};
