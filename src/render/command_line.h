// The command line of zovex-render: what a batch is made of, read from the arguments.
//
// A batch is patterns from..from+count-1 of the sequence that a designer window of one category
// makes from random-source state `state`; or, with --label/--labels, the patterns whose printed
// number labels are given, one each.
#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zovex {

struct RenderOptions {
    int category = 1;
    int count = 1;
    int from = 1;       // index of the first pattern of the batch in its sequence
    int jobs = 0;       // patterns rendered at once; 0: one per core
    double scale = 1.0; // canvas pixels per pixel of an ordinary screen, in each direction: 1 to 8, whole or not
    // The folder exactly as the command line gave it: file names are the file system's bytes,
    // whatever the locale makes of them.
    QByteArray outDir = QByteArrayLiteral("patterns");
    std::uint32_t state = 327680;
    std::optional<QString> lineWidth, drawMode, text2, text3, text4;
    QString format = QStringLiteral("bmp");
    // Number labels to render again (--label), and whether more come one a line on standard
    // input (--labels -).
    std::vector<QString> labels;
    bool labelsFromInput = false;
    // Which of the options that a label answers itself were given.
    bool categoryGiven = false, sequenceGiven = false;
};

enum class ParseResult { Ok, Help, Version, Error };

ParseResult parseRenderArguments(const std::vector<std::string>& args, RenderOptions& opt, std::string& error);
std::string renderUsage();

} // namespace zovex
