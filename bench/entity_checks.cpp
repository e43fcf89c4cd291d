// The entity checks on hostile documents: each is parsed and checked in this process, and the
// time of the check is printed with the reason it gave. The deep document's check is set against
// its parse alone, as `pointmark-xml dump` reads it.

#include <cstdio>
#include <memory>
#include <string>

#include "bench/run_times.h"
#include "dom/document.h"
#include "dom/implementation.h"
#include "front/entity_constraints.h"
#include "front/xml_to_dom_parser.h"
#include "text/error_handler.h"
#include "text/parser_error.h"
#include "text/stream.h"
#include "text/utf8.h"

namespace {

std::u16string repeated(const std::u16string& text, int times) {
    std::u16string out;
    out.reserve(text.size() * static_cast<std::size_t>(times));
    for (int k = 0; k < times; ++k) out += text;
    return out;
}

std::u16string number(int value) { return utf8ToUtf16(std::to_string(value)); }

// Parses and checks the text; the milliseconds of the parse and of the check, and what the check said.
struct Outcome {
    double parseMs = 0;
    double checkMs = 0;
    std::string said = "ok";
};
Outcome parseAndCheck(const std::u16string& text, const TExternalEntityOpener& opener = nullptr) {
    TDomImplementation implementation;
    TXmlToDomParser parser;
    parser.setDOMImpl(&implementation);
    TdomDocument* document = nullptr;
    Outcome outcome;
    outcome.parseMs = millisecondsOf([&] { document = parser.wideStringToDocument(text); });
    if (!document) {
        outcome.said = "not parsed";
        return outcome;
    }
    TdomStandardErrorHandler handler;
    outcome.checkMs = millisecondsOf([&] { checkEntityConstraints(document, &handler, opener); });
    if (!handler.errorList().empty())
        outcome.said = utf16ToUtf8(handler.errorList().front()->errorMessage(TXmlMessageLanguage::en));
    return outcome;
}

void print(const char* what, const Outcome& outcome, double targetMs) {
    std::printf("%-52s check %9.2f ms (target <= %6.0f ms)  %s\n", what, outcome.checkMs, targetMs,
                outcome.said.substr(outcome.said.find(" -- ") == std::string::npos ? 0 : outcome.said.find(" -- ") + 4)
                    .c_str());
}

} // namespace

int main() {
    // 100,000 references to one entity of 100,000 characters.
    print("100,000 references to a 100,000-character entity",
          parseAndCheck(u"<!DOCTYPE a [<!ENTITY e '" + std::u16string(100000, u'x') + u"'>]><a>" +
                        repeated(u"&e;", 100000) + u"</a>"),
          1000);

    // The billion laughs, with short and with long strings, in content and in an attribute value.
    for (const int length : {3, 1000}) {
        std::u16string laughs =
            u"<!DOCTYPE a [<!ENTITY l0 '" + std::u16string(static_cast<std::size_t>(length), u'l') + u"'>";
        for (int level = 1; level <= 9; ++level)
            laughs += u"<!ENTITY l" + number(level) + u" '" + repeated(u"&l" + number(level - 1) + u";", 10) + u"'>";
        laughs += u"]>";
        const std::string name = "billion laughs, strings of " + std::to_string(length);
        print((name + ", in content").c_str(), parseAndCheck(laughs + u"<a>&l9;</a>"), 100);
        print((name + ", in an attribute").c_str(), parseAndCheck(laughs + u"<a b='&l9;'/>"), 100);
    }

    // External entities 30 deep, each referring twice to the next.
    const TExternalEntityOpener chain = [](const std::u16string& systemId, bool) -> std::unique_ptr<TStream> {
        const int level = std::stoi(utf16ToUtf8(systemId.substr(1)));
        if (level == 30) return std::make_unique<TMemoryStream>("end");
        const std::string next = "&e" + std::to_string(level + 1) + ";";
        return std::make_unique<TMemoryStream>("<x>" + next + next + "</x>");
    };
    std::u16string chained = u"<!DOCTYPE a [";
    for (int level = 0; level <= 30; ++level)
        chained += u"<!ENTITY e" + number(level) + u" SYSTEM 'e" + number(level) + u"'>";
    print("external entities 30 deep, two references each", parseAndCheck(chained + u"]><a>&e0;</a>", chain), 100);

    // 1,000,000 nested elements: the check against the parse.
    const int depth = 1000000;
    const Outcome deep = parseAndCheck(repeated(u"<a>", depth) + repeated(u"</a>", depth));
    std::printf("%-52s parse %9.2f ms, parse and check %9.2f ms: %.2fx (target < 2x)  %s\n",
                "1,000,000 nested elements", deep.parseMs, deep.parseMs + deep.checkMs,
                (deep.parseMs + deep.checkMs) / deep.parseMs, deep.said.c_str());
}
