#include "password_codec.h"

namespace zovex {

namespace {
int shiftAt(int position) { return 2 * position + 50; }

bool isLineEndOrBlank(char c) { return c == '\r' || c == '\n' || c == ' ' || c == '\t'; }
} // namespace

std::optional<unsigned char> encodeChar(unsigned char code, int position)
{
    const int v = code + shiftAt(position);
    if (v > 255)
        return std::nullopt;
    return static_cast<unsigned char>(v);
}

std::optional<unsigned char> decodeChar(unsigned char stored, int position)
{
    const int v = stored - shiftAt(position);
    if (v < 0)
        return std::nullopt;
    return static_cast<unsigned char>(v);
}

std::optional<QByteArray> encodePassword(QByteArrayView plain)
{
    if (plain.size() > kMaxStoredChars)
        return std::nullopt;
    QByteArray out;
    out.reserve(plain.size());
    for (qsizetype i = 0; i < plain.size(); ++i) {
        const auto c = encodeChar(static_cast<unsigned char>(plain[i]), static_cast<int>(i) + 1);
        if (!c)
            return std::nullopt;
        out.append(static_cast<char>(*c));
    }
    return out;
}

std::optional<QByteArray> decodePassword(QByteArrayView stored)
{
    if (stored.size() > kMaxStoredChars)
        return std::nullopt;
    QByteArray out;
    out.reserve(stored.size());
    for (qsizetype i = 0; i < stored.size(); ++i) {
        const auto c = decodeChar(static_cast<unsigned char>(stored[i]), static_cast<int>(i) + 1);
        if (!c)
            return std::nullopt;
        out.append(static_cast<char>(*c));
    }
    return out;
}

QByteArray passwordFileLine(QByteArrayView encoded)
{
    QByteArray line;
    line.reserve(encoded.size() + 4);
    line.append('"').append(encoded).append('"').append("\r\n");
    return line;
}

PasswordFileContent parsePasswordFile(QByteArrayView content)
{
    if (content.isEmpty())
        return {PasswordFileDefect::Empty, {}};
    if (content[0] != '"')
        return {PasswordFileDefect::NoQuotedField, {}};
    const qsizetype close = content.indexOf('"', 1);
    if (close < 0)
        return {PasswordFileDefect::NoQuotedField, {}};
    for (qsizetype i = close + 1; i < content.size(); ++i) {
        if (!isLineEndOrBlank(content[i]))
            return {PasswordFileDefect::TrailingData, {}};
    }
    const QByteArrayView field = content.sliced(1, close - 1);
    if (field.size() > kMaxStoredChars)
        return {PasswordFileDefect::TooLong, {}};
    const std::optional<QByteArray> decoded = decodePassword(field);
    if (!decoded)
        return {PasswordFileDefect::Undecodable, {}};
    // Every other character can reach the login box, if only by pasting, and another copy of
    // the system stores whatever its box held: only these three would lock the user out.
    const QByteArray login = decoded->left(kLoginChars);
    if (login.contains('\0') || login.contains('\n') || login.contains('\r'))
        return {PasswordFileDefect::Untypable, {}};
    return {PasswordFileDefect::None, QString::fromLatin1(login)};
}

NewPasswordProblem checkNewPassword(const QString& password)
{
    if (password.size() > kMaxStoredChars)
        return NewPasswordProblem::TooLong;
    for (const QChar c : password) {
        if (c.unicode() < 32 || c.unicode() > 126)
            return NewPasswordProblem::BadCharacter;
    }
    return NewPasswordProblem::None;
}

} // namespace zovex
