#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "dom/wide_string_stream.h"
#include "text/exception.h"

namespace {

std::string messageOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const EStreamError& e) {
        return e.message();
    }
    return "(nothing raised)";
}

void writeText(TStream& stream, std::u16string_view text) {
    stream.writeBuffer(text.data(), static_cast<std::int64_t>(text.size() * sizeof(char16_t)));
}

} // namespace

TEST(WideStringStream, WriteReadAndContent) {
    TdomWideStringStream stream;
    writeText(stream, u"<a>");
    writeText(stream, u"\u540D</a>");
    EXPECT_EQ(stream.size(), 16);
    EXPECT_EQ(stream.position(), 16);
    EXPECT_EQ(stream.textLength(), 8);
    EXPECT_EQ(stream.contentText(), u"<a>\u540D</a>");

    // Overwriting in the middle keeps the size.
    stream.setPosition(2);
    writeText(stream, u"b");
    EXPECT_EQ(stream.contentText(), u"<b>\u540D</a>");
    EXPECT_EQ(stream.size(), 16);

    // An odd number of bytes at the end rounds the size up to even.
    stream.seek(0, TSeekOrigin::soEnd);
    const char byte = 'x';
    EXPECT_EQ(stream.write(&byte, 1), 1);
    EXPECT_EQ(stream.size(), 18);
    EXPECT_EQ(stream.position(), 17);
    EXPECT_EQ(stream.textLength(), 9);

    char16_t buffer[4] = {};
    stream.setPosition(6);
    EXPECT_EQ(stream.read(buffer, 4), 4);
    EXPECT_EQ(buffer[0], u'\u540D');
    EXPECT_EQ(buffer[1], u'<');
    stream.setPosition(16);
    EXPECT_EQ(stream.read(buffer, 8), 2); // only what is left
    EXPECT_EQ(stream.read(buffer, 8), 0);
    EXPECT_EQ(stream.read(buffer, -4), 0);
    EXPECT_EQ(stream.write(buffer, 0), 0);
}

TEST(WideStringStream, SeekStaysInsideTheContent) {
    TdomWideStringStream stream;
    writeText(stream, u"abcdef");
    EXPECT_EQ(stream.seek(4, TSeekOrigin::soBeginning), 4);
    EXPECT_EQ(stream.seek(2, TSeekOrigin::soCurrent), 6);
    EXPECT_EQ(stream.seek(-10, TSeekOrigin::soCurrent), 0);
    EXPECT_EQ(stream.seek(100, TSeekOrigin::soBeginning), 12);
    // From the end the offset counts backwards.
    EXPECT_EQ(stream.seek(4, TSeekOrigin::soEnd), 8);
    EXPECT_EQ(stream.seek(-4, TSeekOrigin::soEnd), 12);
    EXPECT_EQ(stream.seek(50, TSeekOrigin::soEnd), 0);
    EXPECT_EQ(stream.seek(INT64_MAX, TSeekOrigin::soCurrent), 12);
    EXPECT_EQ(stream.seek(INT64_MIN, TSeekOrigin::soCurrent), 0);
    EXPECT_EQ(stream.seek(INT64_MIN, TSeekOrigin::soEnd), 12);
}

TEST(WideStringStream, SizeAndCapacityRules) {
    TdomWideStringStream stream;
    EXPECT_EQ(messageOf([&] { stream.setSize(3); }), "Odd size not valid for WideString");
    EXPECT_EQ(messageOf([&] { stream.setSize(-2); }), "Negative stream size invalid");
    EXPECT_EQ(stream.size(), 0);

    // Small sizes get 8 bytes of room, rounded down to a multiple of 4.
    stream.setSize(2);
    EXPECT_EQ(stream.capacity(), 8);
    stream.setSize(6);
    EXPECT_EQ(stream.capacity(), 8);
    stream.setSize(10);
    EXPECT_EQ(stream.capacity(), 16); // 18 rounded down
    // Above 31 bytes a quarter more.
    stream.setSize(34);
    EXPECT_EQ(stream.capacity(), 40); // 42 rounded down
    stream.setSize(100);
    EXPECT_EQ(stream.capacity(), 124); // 125 rounded down

    stream.setPosition(100);
    stream.setSize(20);
    EXPECT_EQ(stream.position(), 20);
    EXPECT_EQ(messageOf([&] { stream.setCapacity(18); }), "Capacity cannot be less than size");
    stream.setCapacity(20);
    EXPECT_EQ(stream.capacity(), 20);

    // Content survives reallocation.
    TdomWideStringStream text;
    for (int k = 0; k < 1000; ++k) writeText(text, u"0123456789");
    EXPECT_EQ(text.textLength(), 10000);
    EXPECT_EQ(text.contentText().substr(9990), u"0123456789");
    EXPECT_GE(text.capacity(), text.size());
}
