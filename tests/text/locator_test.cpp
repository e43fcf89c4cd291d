#include <gtest/gtest.h>

#include <string>

#include "text/input_source.h"
#include "text/locator.h"
#include "text/xml_memory_stream.h"

namespace {

void feed(TdomStandardLocator& locator, std::u16string_view text) {
    for (char16_t c : text) locator.advance(c);
}

} // namespace

TEST(Locator, CountsLinesAndColumns) {
    TdomStandardLocator locator(nullptr);
    EXPECT_EQ(locator.line(), 0);
    EXPECT_EQ(locator.column(), 0);
    EXPECT_EQ(locator.publicId(), u"");
    EXPECT_EQ(locator.systemId(), u"");

    locator.advance(u'a');
    EXPECT_EQ(locator.line(), 1);
    EXPECT_EQ(locator.column(), 1);
    // A line feed belongs to the line it ends.
    feed(locator, u"b\n");
    EXPECT_EQ(locator.line(), 1);
    EXPECT_EQ(locator.column(), 3);
    locator.advance(u'c');
    EXPECT_EQ(locator.line(), 2);
    EXPECT_EQ(locator.column(), 1);
    // Carriage returns and surrogate halves are ordinary units here.
    feed(locator, u"\r\U0001F600");
    EXPECT_EQ(locator.line(), 2);
    EXPECT_EQ(locator.column(), 4);
    feed(locator, u"\n\n");
    EXPECT_EQ(locator.line(), 3);
    EXPECT_EQ(locator.column(), 1);

    locator.reset();
    EXPECT_EQ(locator.line(), 0);
    EXPECT_EQ(locator.pieceStartLine(), 0);
    locator.advance(u'x');
    EXPECT_EQ(locator.line(), 1);
    EXPECT_EQ(locator.column(), 1);
    EXPECT_EQ(locator.pieceStartColumn(), 1);
}

TEST(Locator, PiecesStartAtTheCharacterAfterTheirMark) {
    TXmlMemoryStream empty;
    TXmlInputSource source(&empty, u"pub", u"sys.xml");
    TdomStandardLocator locator(&source);
    EXPECT_EQ(locator.publicId(), u"pub");
    EXPECT_EQ(locator.systemId(), u"sys.xml");
    EXPECT_EQ(locator.inputSource(), &source);

    // The first character after construction starts a piece.
    feed(locator, u"<a>");
    EXPECT_EQ(locator.pieceStartLine(), 1);
    EXPECT_EQ(locator.pieceStartColumn(), 1);
    locator.markPieceEnd();
    EXPECT_EQ(locator.pieceStartColumn(), 1); // nothing moves until the next character
    feed(locator, u"text");
    EXPECT_EQ(locator.pieceStartColumn(), 4);
    EXPECT_EQ(locator.column(), 7);
    // startPiece takes the current character.
    locator.startPiece();
    EXPECT_EQ(locator.pieceStartColumn(), 7);
    feed(locator, u"\nmore");
    EXPECT_EQ(locator.pieceStartLine(), 1);
    EXPECT_EQ(locator.pieceStartColumn(), 7);
    EXPECT_EQ(locator.line(), 2);
    EXPECT_EQ(locator.column(), 4);
}

TEST(Locator, AdvancingOverARunCountsAsUnitByUnitWould) {
    const std::u16string line(40, u'x');
    const std::u16string runs[] = {u"",
                                   u"a",
                                   u"\n",
                                   u"abc",
                                   u"ab\n",
                                   u"\nab",
                                   u"a\n\nb",
                                   u"\n\n",
                                   u"x\ny\nz\n",
                                   line,
                                   line + u"\n",
                                   u"\n" + line,
                                   line + u"\n" + line,
                                   u"a\n" + line + u"\n",
                                   u"abcdefghi\njklmnopq\nrstuvwxyz"};
    for (const std::u16string& before : runs) {
        for (const std::u16string& run : runs) {
            for (bool endPiece : {false, true}) {
                TdomStandardLocator one(nullptr);
                TdomStandardLocator all(nullptr);
                feed(one, before);
                feed(all, before);
                if (endPiece) {
                    one.markPieceEnd();
                    all.markPieceEnd();
                }
                feed(one, run);
                all.advanceOver(run);
                SCOPED_TRACE(testing::Message() << before.size() << "/" << run.size() << "/" << endPiece);
                EXPECT_EQ(all.line(), one.line());
                EXPECT_EQ(all.column(), one.column());
                EXPECT_EQ(all.pieceStartLine(), one.pieceStartLine());
                EXPECT_EQ(all.pieceStartColumn(), one.pieceStartColumn());
                // Whether the last unit was a line feed shows at the next unit.
                one.advance(u'q');
                all.advance(u'q');
                EXPECT_EQ(all.line(), one.line());
                EXPECT_EQ(all.column(), one.column());
            }
        }
    }
}
