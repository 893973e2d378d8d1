// The scrambling of the administrator password in "wvkcom.cct", as pure functions over bytes.
//
// Every character is one byte (0-255). Storing shifts the byte at position p (from 1) up by
// 2 * p + 50, reading shifts it back down; a stored text holds at most 31 characters, and only
// the first 8 read back form the password that opens the program. The file is one line: a
// double quote, the stored bytes, a double quote, CR LF. These functions are byte-exact with
// files written by any other copy of the system; they never touch the disk.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>

namespace zovex {

inline constexpr int kMaxStoredChars = 31; // slots of the character array
inline constexpr int kLoginChars = 8;      // characters of StoredPassword

// The byte at position `position` (from 1) as stored / as read back; nullopt when the result
// leaves 0..255.
std::optional<unsigned char> encodeChar(unsigned char code, int position);
std::optional<unsigned char> decodeChar(unsigned char stored, int position);

// A whole text; nullopt when it is longer than 31 characters or a byte leaves 0..255.
std::optional<QByteArray> encodePassword(QByteArrayView plain);
std::optional<QByteArray> decodePassword(QByteArrayView stored);

// The file's one line for an already encoded text.
QByteArray passwordFileLine(QByteArrayView encoded);

// Why a file's content does not hold a password.
enum class PasswordFileDefect {
    None,
    Empty,         // no field at all
    NoQuotedField, // does not start with a double quote, or the quote is never closed
    TooLong,       // more than 31 characters between the quotes
    Undecodable,   // a stored byte smaller than 2 * position + 50
    TrailingData,  // anything but line ends and blanks after the closing quote
    Untypable,     // one of the first 8 characters is one no login box can hold (code 0,
                   // a line feed or a carriage return): the password could never be entered
};

struct PasswordFileContent {
    PasswordFileDefect defect = PasswordFileDefect::None;
    QString storedPassword; // the first 8 characters read back, one Latin-1 character per byte
};

// Reads the content of a password file: exactly one double-quoted field of at most 31
// decodable bytes, followed by nothing but line ends or blanks.
PasswordFileContent parsePasswordFile(QByteArrayView content);

// Why a new password cannot be stored.
enum class NewPasswordProblem { None, TooLong, BadCharacter };

// A new password is stored when it has at most 31 characters, each a printable ASCII character
// (codes 32 to 126); those are stored as bytes 84 to 238, never a double quote or a comma.
NewPasswordProblem checkNewPassword(const QString& password);

} // namespace zovex
