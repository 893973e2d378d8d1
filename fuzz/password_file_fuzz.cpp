// Any bytes as the content of the password file: the parser must never crash, read outside
// the content, or accept a password it could not have come from.
#include "password_codec.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace zovex;
    const QByteArrayView content(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const PasswordFileContent parsed = parsePasswordFile(content);
    if (parsed.defect != PasswordFileDefect::None) {
        if (!parsed.storedPassword.isEmpty())
            std::abort(); // a damaged file never yields a password
        return 0;
    }
    if (parsed.storedPassword.size() > kLoginChars)
        std::abort();
    // What was accepted must be the first characters of a field that encodes back to itself.
    const qsizetype close = content.indexOf('"', 1);
    const auto decoded = decodePassword(content.sliced(1, close - 1));
    if (!decoded || QString::fromLatin1(decoded->left(kLoginChars)) != parsed.storedPassword)
        std::abort();
    const auto again = encodePassword(*decoded);
    if (!again || *again != content.sliced(1, close - 1))
        std::abort();
    return 0;
}
