// The batch engine of zovex-render: patterns rendered on several threads, each file written
// whole or not at all, and one line per pattern printed in index order.
//
// Pattern k of a batch depends on nothing but its job: its category, the random-source state
// at the start of its tick, the window's texts and what the canvas holds from the pattern
// before (the draw width and mode a failing combo text keeps). So workers take jobs in any
// order, and a batch split into shards gives exactly the files and lines of the whole batch.
#pragma once

#include "command_line.h"
#include "generation_tick.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>

namespace zovex {

struct PatternJob {
    int index = 1; // the line's first field and the file's number
    int category = 1;
    std::uint32_t state = 0; // at the start of the tick
    TickInputs inputs;
    // The draw width and mode the canvas holds before the tick (those of the pattern before);
    // unset: the canvas's initial ones.
    std::optional<int> keptDrawWidth, keptDrawMode;
};

// How a batch is written, whatever its jobs.
struct BatchOutput {
    int jobs = 0; // threads; 0: one per core
    double scale = 1.0;
    QByteArray outDir; // the folder as the command line gave it, for the lines and messages
    QString folder;    // the folder as openOutputFolder gives it, for writing
    QString format;    // "bmp" or "png"
};

// Renders jobAt(0) .. jobAt(count - 1), writes each into the folder and prints one line per
// pattern in that order: index, state at the start of its tick, file (named under outDir),
// label (tab-separated). onPattern(n) follows the n-th line. Returns 0; or 1 with `error` set
// when a file or a line could not be written, after the lines of the patterns before it.
int renderBatch(const BatchOutput& output, int count, const std::function<PatternJob(int)>& jobAt, std::FILE* out,
                const std::function<void(int)>& onPattern, std::string& error);

// The batch of the command line: patterns from..from+count-1 of the sequence from opt.state.
int renderPatterns(const RenderOptions& opt, const QString& folder, std::FILE* out,
                   const std::function<void(int)>& onPattern, std::string& error);

// The cores this process may run on.
int availableCores();

} // namespace zovex
