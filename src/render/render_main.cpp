// zovex-render: composes patterns headless, exactly as a designer window of one category
// would from a given random-source state, and writes each one whole or not at all.
#include "render_main.h"

#include "batch.h"
#include "command_line.h"
#include "interrupt_cleanup.h"
#include "label_command.h"
#include "output_folder.h"
#include "standard_descriptors.h"

#include <QGuiApplication>

#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace zovex {

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

// Headless sessions often have no runtime folder; give Qt a private one instead of a warning.
// Returns the folder to remove at the end, if it was made fresh.
QByteArray provideRuntimeFolder()
{
    if (qEnvironmentVariableIsSet("XDG_RUNTIME_DIR"))
        return {};
    const QByteArray base = qEnvironmentVariableIsEmpty("TMPDIR") ? QByteArray("/tmp") : qgetenv("TMPDIR");
    std::string why;
    RuntimeFolderKind kind = RuntimeFolderKind::Usual;
    const QByteArray dir = privateRuntimeFolder(base, why, &kind);
    if (dir.isEmpty())
        return {};
    qputenv("XDG_RUNTIME_DIR", dir);
    return kind == RuntimeFolderKind::Fresh ? dir : QByteArray();
}

// The patterns of the labels, or exit 2 with a line for each label that has no single reading.
int resolveLabelJobs(const RenderOptions& opt, LabelJobs& resolved)
{
    std::vector<QString> labels = opt.labels;
    if (opt.labelsFromInput) {
        const std::vector<QString> more = readLabelLines(stdin);
        labels.insert(labels.end(), more.begin(), more.end());
    }
    if (labels.empty()) {
        std::fprintf(stderr, "zovex-render: no label on standard input\n");
        return 2;
    }
    resolved = resolveLabels(labels, opt);
    for (const std::string& line : resolved.errors)
        std::fprintf(stderr, "zovex-render: %s\n", line.c_str());
    if (!resolved.errors.empty())
        return 2;
    for (const std::string& line : resolved.notes)
        std::fprintf(stderr, "zovex-render: %s\n", line.c_str());
    return 0;
}

int renderInto(const RenderOptions& opt, const LabelJobs& labelJobs, std::string& error)
{
    QString folder;
    if (!openOutputFolder(opt.outDir, folder, error))
        return 2;
    const bool fromLabels = !labelJobs.jobs.empty();
    const int count = fromLabels ? static_cast<int>(labelJobs.jobs.size()) : opt.count;
    const bool progress = count >= 50 && isatty(STDERR_FILENO);
    const auto onPattern = [&](int done) {
        if (progress && (done % 10 == 0 || done == count))
            std::fprintf(stderr, "\rzovex-render: %d/%d", done, count);
        if (progress && done == count)
            std::fputc('\n', stderr);
    };
    if (!fromLabels)
        return renderPatterns(opt, folder, stdout, onPattern, error);
    const BatchOutput output{opt.jobs, opt.scale, opt.outDir, folder, opt.format};
    return renderBatch(
        output, count, [&](int k) { return labelJobs.jobs[static_cast<std::size_t>(k)]; }, stdout, onPattern, error);
}

} // namespace

int renderMain(int argc, char** argv)
{
    // Before anything opens a file: a closed descriptor would be taken by the next one opened.
    const ClosedStandardDescriptors closed = openNullOnClosedStandardDescriptors();
    if (closed.output) {
        std::fputs("zovex-render: standard output is closed: the lines that name the files would be lost\n", stderr);
        return 1;
    }
    // A closed pipe must show up as a failed write that is reported, not as a silent death.
    std::signal(SIGPIPE, SIG_IGN);
    RenderOptions opt;
    std::string error;
    const ParseResult parsed = parseRenderArguments({argv + 1, argv + argc}, opt, error);
    if (parsed == ParseResult::Help)
        return printAndExit(renderUsage());
    if (parsed == ParseResult::Version)
        return printAndExit("zovex-render " ZOVEX_VERSION "\n");
    if (parsed == ParseResult::Error) {
        std::fprintf(stderr, "zovex-render: %s (try --help)\n", error.c_str());
        return 2;
    }
    LabelJobs labelJobs;
    if ((!opt.labels.empty() || opt.labelsFromInput) && resolveLabelJobs(opt, labelJobs) != 0)
        return 2;
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const QByteArray freshRuntime = provideRuntimeFolder();
    int rc = 0;
    {
        QGuiApplication app(argc, argv);
        // An interrupted batch must not leave temporary files in the folder, the probe included.
        installBatchInterruptCleanup();
        rc = renderInto(opt, labelJobs, error);
        if (rc != 0)
            std::fprintf(stderr, "zovex-render: %s\n", error.c_str());
    }
    if (!freshRuntime.isEmpty())
        rmdir(freshRuntime.constData()); // only when Qt left nothing in it
    return rc;
}

} // namespace zovex
