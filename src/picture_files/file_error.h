// Why a file could not be read or written, told in the language of whoever reads it: the
// windows' notices are Chinese, zovex-render speaks English.
//
// Contract: the common reasons the system gives (no space, no permission, read-only, too many
// open files, a name too long, an input/output error, ...) have a Chinese text of their own;
// any other system reason is given in the system's words.
#pragma once

#include <QString>

#include <string>

namespace zovex {

// The reason for the system's error number `errnum`, in the windows' language.
QString systemErrorNotice(int errnum);

class FileError {
public:
    FileError() = default;
    // The system refused: `errnum` is its error number.
    static FileError system(int errnum);
    // A reason of our own, in both languages.
    static FileError own(QString chinese, std::string english);

    int errnum() const { return m_errnum; } // 0 for a reason of our own
    QString notice() const;                 // for a notice
    std::string english() const;            // for a command line

private:
    int m_errnum = 0;
    QString m_chinese;
    std::string m_english;
};

} // namespace zovex
