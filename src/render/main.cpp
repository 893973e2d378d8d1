// zovex-render: composes patterns headless, exactly as a designer window of one category
// would from a given random-source state, and writes each one whole or not at all.
#include "category.h"
#include "font_faces.h"
#include "generation_tick.h"
#include "render_options.h"

#include <QDir>
#include <QGuiApplication>

#include <cstdio>
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

int main(int argc, char** argv)
{
    using namespace zovex;
    std::vector<std::string> args(argv + 1, argv + argc);
    RenderOptions opt;
    std::string error;
    const ParseResult parsed = parseRenderArguments(args, opt, error);
    if (parsed == ParseResult::Help) {
        std::fputs(renderUsage().c_str(), stdout);
        return 0;
    }
    if (parsed == ParseResult::Error) {
        std::fprintf(stderr, "zovex-render: %s (try --help)\n", error.c_str());
        return 2;
    }
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Headless sessions often have no runtime folder; give Qt a private one instead of a warning.
    if (!qEnvironmentVariableIsSet("XDG_RUNTIME_DIR")) {
        const QByteArray dir = "/tmp/zovex-runtime-" + QByteArray::number(getuid());
        if (mkdir(dir.constData(), 0700) == 0 || errno == EEXIST)
            qputenv("XDG_RUNTIME_DIR", dir);
    }
    QGuiApplication app(argc, argv);
    if (!prepareOutputFolder(opt.outDir, error)) {
        std::fprintf(stderr, "zovex-render: %s\n", error.c_str());
        return 2;
    }
    const bool progress = opt.count >= 50 && isatty(STDERR_FILENO);
    const int rc = renderPatterns(opt, stdout, [&](int done) {
        if (progress && (done % 10 == 0 || done == opt.count))
            std::fprintf(stderr, "\rzovex-render: %d/%d", done, opt.count);
        if (progress && done == opt.count)
            std::fputc('\n', stderr);
    }, error);
    if (rc != 0)
        std::fprintf(stderr, "zovex-render: %s\n", error.c_str());
    return rc;
}
