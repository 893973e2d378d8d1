// zovex-render: composes patterns headless, exactly as a designer window of one category
// would from a given random-source state, and writes each one whole or not at all.
#include "atomic_file.h"
#include "render_options.h"

#include <QGuiApplication>

#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace {

// Usage and version texts: a reader that has gone away is an error, not a silent success.
int printAndExit(const std::string& text)
{
    if (std::fputs(text.c_str(), stdout) < 0 || std::fflush(stdout) != 0) {
        std::perror("zovex-render: cannot write to standard output");
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    using namespace zovex;
    // A closed pipe must show up as a failed write that is reported, not as a silent death.
    std::signal(SIGPIPE, SIG_IGN);
    std::vector<std::string> args(argv + 1, argv + argc);
    RenderOptions opt;
    std::string error;
    const ParseResult parsed = parseRenderArguments(args, opt, error);
    if (parsed == ParseResult::Help)
        return printAndExit(renderUsage());
    if (parsed == ParseResult::Version)
        return printAndExit("zovex-render " ZOVEX_VERSION "\n");
    if (parsed == ParseResult::Error) {
        std::fprintf(stderr, "zovex-render: %s (try --help)\n", error.c_str());
        return 2;
    }
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Headless sessions often have no runtime folder; give Qt a private one instead of a warning.
    QByteArray freshRuntime;
    if (!qEnvironmentVariableIsSet("XDG_RUNTIME_DIR")) {
        const QByteArray base = qEnvironmentVariableIsEmpty("TMPDIR") ? QByteArray("/tmp") : qgetenv("TMPDIR");
        std::string why;
        RuntimeFolderKind kind = RuntimeFolderKind::Usual;
        const QByteArray dir = privateRuntimeFolder(base, why, &kind);
        if (!dir.isEmpty()) {
            qputenv("XDG_RUNTIME_DIR", dir);
            if (kind == RuntimeFolderKind::Fresh)
                freshRuntime = dir;
        }
    }
    int rc = 0;
    {
        QGuiApplication app(argc, argv);
        QString folder;
        if (!openOutputFolder(opt.outDir, folder, error)) {
            std::fprintf(stderr, "zovex-render: %s\n", error.c_str());
            rc = 2;
        } else {
            // An interrupted batch must not leave half-written temporary files in the folder.
            installTemporaryFileCleanup();
            const bool progress = opt.count >= 50 && isatty(STDERR_FILENO);
            rc = renderPatterns(opt, folder, stdout, [&](int done) {
                if (progress && (done % 10 == 0 || done == opt.count))
                    std::fprintf(stderr, "\rzovex-render: %d/%d", done, opt.count);
                if (progress && done == opt.count)
                    std::fputc('\n', stderr);
            }, error);
            if (rc != 0)
                std::fprintf(stderr, "zovex-render: %s\n", error.c_str());
        }
    }
    if (!freshRuntime.isEmpty())
        rmdir(freshRuntime.constData()); // only when Qt left nothing in it
    return rc;
}
