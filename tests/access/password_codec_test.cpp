#include "password_codec.h"

#include <gtest/gtest.h>

#include <vector>

using namespace zovex;

namespace {

QByteArray bytes(std::initializer_list<int> codes)
{
    QByteArray b;
    for (int c : codes)
        b.append(static_cast<char>(c));
    return b;
}

QByteArray encoded(const QByteArray& plain)
{
    const auto e = encodePassword(plain);
    EXPECT_TRUE(e.has_value()) << plain.toStdString();
    return e.value_or(QByteArray());
}

} // namespace

TEST(PasswordCodec, StoresEachCodeShiftedByTwicePositionPlusFifty)
{
    struct Case {
        QByteArray plain;
        QByteArray stored;
    };
    const std::vector<Case> cases = {
        {"abc", bytes({149, 152, 155})},
        {"", ""},
        {"aaaa", bytes({149, 151, 153, 155})}, // the shift grows with the position
        {" ", bytes({84})},                    // the lowest printable character at position 1
        {"~~", bytes({178, 180})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.plain.toStdString());
        EXPECT_EQ(encoded(c.plain), c.stored);
        EXPECT_EQ(decodePassword(c.stored), c.plain);
    }
}

TEST(PasswordCodec, PrintableTextAtEveryPositionRoundTripsWithoutQuotesOrCommas)
{
    for (int position = 1; position <= kMaxStoredChars; ++position) {
        for (int code = 32; code <= 126; ++code) {
            const auto s = encodeChar(static_cast<unsigned char>(code), position);
            ASSERT_TRUE(s.has_value()) << code << " at " << position;
            EXPECT_GE(*s, 84);
            EXPECT_LE(*s, 238);
            EXPECT_NE(*s, '"');
            EXPECT_NE(*s, ',');
            EXPECT_EQ(decodeChar(*s, position), code);
        }
    }
}

TEST(PasswordCodec, RefusesWhatLeavesTheByteRange)
{
    EXPECT_EQ(encodeChar(126, 31), 238); // the highest printable character at the last slot
    EXPECT_EQ(encodeChar(203, 1), 255);
    EXPECT_EQ(encodeChar(204, 1), std::nullopt);
    EXPECT_EQ(encodeChar(193, 6), 255);
    EXPECT_EQ(encodeChar(194, 6), std::nullopt);
    EXPECT_EQ(decodeChar(52, 1), 0);
    EXPECT_EQ(decodeChar(51, 1), std::nullopt);
    EXPECT_EQ(decodeChar(111, 31), std::nullopt);
    EXPECT_EQ(decodeChar(112, 31), 0);

    EXPECT_TRUE(encodePassword(QByteArray(31, 'x')).has_value());
    EXPECT_EQ(encodePassword(QByteArray(32, 'x')), std::nullopt);
    EXPECT_EQ(encodePassword(bytes({97, 250})), std::nullopt);
    EXPECT_EQ(decodePassword(QByteArray(32, char(200))), std::nullopt);
    EXPECT_EQ(decodePassword(bytes({149, 53})), std::nullopt); // position 2 needs at least 54
}

TEST(PasswordCodec, TheFileLineIsTheEncodedTextInQuotesWithCrLf)
{
    EXPECT_EQ(passwordFileLine(""), QByteArray("\"\"\r\n"));
    EXPECT_EQ(passwordFileLine(encoded("abc")), QByteArray("\"\x95\x98\x9b\"\r\n"));
}

TEST(PasswordCodec, ParsesOneQuotedFieldIntoAtMostEightCharacters)
{
    struct Case {
        const char* name;
        QByteArray content;
        PasswordFileDefect defect;
        QString password;
    };
    const QByteArray tenChars = encoded("abcdefghij");
    const std::vector<Case> cases = {
        {"empty password", "\"\"\r\n", PasswordFileDefect::None, ""},
        {"abc", passwordFileLine(encoded("abc")), PasswordFileDefect::None, "abc"},
        {"ten characters: first eight", passwordFileLine(tenChars), PasswordFileDefect::None, "abcdefgh"},
        {"31 characters", passwordFileLine(encoded(QByteArray(31, 'Z'))), PasswordFileDefect::None, "ZZZZZZZZ"},
        {"no line end", "\"\"", PasswordFileDefect::None, ""},
        {"LF only and blank lines", "\"" + encoded("ab") + "\"\n\r\n  \n", PasswordFileDefect::None, "ab"},
        {"high bytes read as Latin-1", "\"" + bytes({52 + 0xC9}) + "\"\r\n", PasswordFileDefect::None,
         QString(QChar(0xC9))},
        {"zero length", "", PasswordFileDefect::Empty, ""},
        {"no quotes", "abc\r\n", PasswordFileDefect::NoQuotedField, ""},
        {"blank before the quote", " \"\"\r\n", PasswordFileDefect::NoQuotedField, ""},
        {"quote never closed", "\"" + encoded("abc") + "\r\n", PasswordFileDefect::NoQuotedField, ""},
        {"32 characters", passwordFileLine(QByteArray(32, char(200))), PasswordFileDefect::TooLong, ""},
        {"decodes below 0", "\"" + bytes({149, 53}) + "\"\r\n", PasswordFileDefect::Undecodable, ""},
        {"NUL in the field", "\"" + bytes({0}) + "\"\r\n", PasswordFileDefect::Undecodable, ""},
        // Decodes to code 0, a line feed, a carriage return: no login box can hold them.
        {"decodes to 0", "\"" + bytes({52}) + "\"\r\n", PasswordFileDefect::Untypable, ""},
        {"decodes to a line feed", "\"" + encoded("ab") + bytes({56 + 10}) + "\"\r\n", PasswordFileDefect::Untypable,
         ""},
        {"decodes to a carriage return", "\"" + bytes({52 + 13}) + "\"\r\n", PasswordFileDefect::Untypable, ""},
        // Other control characters can be pasted, and only the first eight count.
        {"a tab", "\"" + bytes({52 + 9}) + "\"\r\n", PasswordFileDefect::None, "\t"},
        {"0 at position 9", "\"" + encoded("abcdefgh") + bytes({68}) + "\"\r\n", PasswordFileDefect::None, "abcdefgh"},
        {"a second field", "\"\",\"\"\r\n", PasswordFileDefect::TrailingData, ""},
        {"a second line", "\"\"\r\n\"\"\r\n", PasswordFileDefect::TrailingData, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const PasswordFileContent parsed = parsePasswordFile(c.content);
        EXPECT_EQ(parsed.defect, c.defect);
        EXPECT_EQ(parsed.storedPassword, c.password);
    }
}

TEST(PasswordCodec, NewPasswordsArePrintableAsciiUpTo31Characters)
{
    struct Case {
        QString password;
        NewPasswordProblem problem;
    };
    const std::vector<Case> cases = {
        {"", NewPasswordProblem::None},
        {" !~09azAZ\"',", NewPasswordProblem::None},
        {QString(31, 'a'), NewPasswordProblem::None},
        {QString(32, 'a'), NewPasswordProblem::TooLong},
        {"a\tb", NewPasswordProblem::BadCharacter},
        {QString(QChar(0x7F)), NewPasswordProblem::BadCharacter},
        {QStringLiteral("café"), NewPasswordProblem::BadCharacter},
        {QStringLiteral("密码"), NewPasswordProblem::BadCharacter},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.password.toStdString());
        EXPECT_EQ(checkNewPassword(c.password), c.problem);
    }
}
