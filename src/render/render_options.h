// Options and the batch loop of zovex-render, kept apart from main() so that tests drive them.
#pragma once

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
    QString outDir = QStringLiteral("patterns");
    std::uint32_t state = 327680;
    std::optional<QString> lineWidth, drawMode, text2, text3, text4;
    QString format = QStringLiteral("bmp");
};

enum class ParseResult { Ok, Help, Error };

ParseResult parseRenderArguments(const std::vector<std::string>& args, RenderOptions& opt,
                                 std::string& error);
std::string renderUsage();

// Creates the folder if missing and checks that it can be written.
bool prepareOutputFolder(const QString& dir, std::string& error);

// Renders opt.count successive ticks, writes each file atomically and prints one line per
// pattern: index, state at the start of the tick, path, label (tab-separated).
// Returns 0, or 1 with `error` set when a file could not be written.
int renderPatterns(const RenderOptions& opt, std::FILE* out,
                   const std::function<void(int)>& onPattern, std::string& error);

} // namespace zovex
