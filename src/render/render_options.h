// Options and the batch loop of zovex-render, kept apart from main() so that tests drive them.
//
// A batch is patterns from..from+count-1 of the sequence that a designer window of one category
// makes from random-source state `state`. Pattern i depends on nothing but i: its state is
// found by jumping the generator ahead, so patterns are rendered on several threads, and a
// batch split into shards (--from) gives exactly the files and lines of the whole batch.
#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace zovex {

struct RenderOptions {
    int category = 1;
    int count = 1;
    int from = 1;  // index of the first pattern of the batch in its sequence
    int jobs = 0;  // patterns rendered at once; 0: one per core
    double scale = 1.0; // canvas pixels per pixel of an ordinary screen, in each direction: 1 to 8, whole or not
    // The folder exactly as the command line gave it: file names are the file system's bytes,
    // whatever the locale makes of them.
    QByteArray outDir = QByteArrayLiteral("patterns");
    std::uint32_t state = 327680;
    std::optional<QString> lineWidth, drawMode, text2, text3, text4;
    QString format = QStringLiteral("bmp");
};

enum class ParseResult { Ok, Help, Version, Error };

ParseResult parseRenderArguments(const std::vector<std::string>& args, RenderOptions& opt,
                                 std::string& error);
std::string renderUsage();

// The cores this process may run on.
int availableCores();

// Creates the folder if missing (from its bytes), checks that it can be written and sets
// `folder` to a name by which Qt reaches it: its own name, or, when that is not text in the
// locale's encoding, the folder held open for the rest of the process.
bool openOutputFolder(const QByteArray& dir, QString& folder, std::string& error);

// Renders the batch into `folder` (as openOutputFolder gives it), each file written atomically, and prints one line per pattern in index
// order: index, state at the start of its tick, file (named under opt.outDir), label
// (tab-separated). onPattern(n) follows the n-th line. Returns 0; or 1 with `error` set when a
// file or a line could not be written, after the lines of the patterns before it.
int renderPatterns(const RenderOptions& opt, const QString& folder, std::FILE* out,
                   const std::function<void(int)>& onPattern, std::string& error);

// A private runtime folder for Qt under `base` (normally /tmp): base/zovex-runtime-<uid> when
// it is a real folder of this user that no one else can enter (made so when missing), else a
// fresh one, which `kind` then says, so that the caller removes it at the end. Empty, with the
// reason in `error`, when neither can be had.
enum class RuntimeFolderKind { Usual, Fresh };
QByteArray privateRuntimeFolder(const QByteArray& base, std::string& error,
                                RuntimeFolderKind* kind = nullptr);

} // namespace zovex
