#include "render_options.h"

#include "canvas.h"
#include "category.h"
#include "generation_tick.h"
#include "image_file.h"

#include <QDir>
#include <QFile>
#include <QTemporaryFile>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <condition_variable>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <mutex>
#include <new>
#include <optional>
#include <sched.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace zovex {

namespace {

bool parseInt(const std::string& s, long long& v)
{
    if (s.empty())
        return false;
    auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    return ec == std::errc() && p == s.data() + s.size();
}

constexpr long long kLastIndex = std::numeric_limits<std::int32_t>::max();

} // namespace

std::string renderUsage()
{
    return "usage: zovex-render [--category K] [--count N] [--from I] [--out DIR] [--state X]\n"
           "                    [--line-width TEXT] [--draw-mode TEXT] [--text2 T] [--text3 T] [--text4 T]\n"
           "                    [--format bmp|png] [--scale S] [--jobs J] [--version]\n"
           "\n"
           "Composes N successive patterns of category K (1-10) as a designer window would,\n"
           "starting from random-source state X (default 327680, the program's start), and writes\n"
           "them to DIR (default ./patterns) as zovex-K-NNNNNN.bmp or .png. Prints one line per\n"
           "pattern: index, state, file, label. Pass a printed state to --state to render that\n"
           "pattern again. --line-width and --draw-mode take any text, as the combo boxes do.\n"
           "--from I starts at pattern I of the sequence (default 1): shards of one large batch\n"
           "give exactly its files and lines. --scale S (1-8) draws each pattern S times larger\n"
           "in each direction, as on a screen of 96*S dots per inch (857*S pixels square).\n"
           "--jobs J renders J patterns at once (default: one per core); the output is the same.\n";
}

ParseResult parseRenderArguments(const std::vector<std::string>& args, RenderOptions& opt,
                                 std::string& error)
{
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h")
            return ParseResult::Help;
        if (a == "--version")
            return ParseResult::Version;
        std::string name = a, value;
        bool inlineValue = false;
        if (const auto eq = a.find('='); a.rfind("--", 0) == 0 && eq != std::string::npos) {
            name = a.substr(0, eq);
            value = a.substr(eq + 1);
            inlineValue = true;
        }
        static const char* known[] = {"--category", "--count", "--out", "--state", "--line-width",
                                      "--draw-mode", "--text2", "--text3", "--text4", "--format",
                                      "--from", "--jobs", "--scale"};
        bool isKnown = false;
        for (const char* k : known)
            isKnown = isKnown || name == k;
        if (!isKnown) {
            error = "unknown option '" + a + "'";
            return ParseResult::Error;
        }
        if (!inlineValue) {
            if (i + 1 >= args.size()) {
                error = "option " + name + " needs a value";
                return ParseResult::Error;
            }
            value = args[++i];
        }
        const QString qv = QString::fromStdString(value);
        // The whole-number options: where each goes and the range it takes.
        struct Whole {
            const char* name;
            long long lo, hi;
            std::function<void(long long)> set;
        };
        const Whole wholes[] = {
            {"--category", 1, 10, [&](long long n) { opt.category = static_cast<int>(n); }},
            {"--count", 1, 1000000, [&](long long n) { opt.count = static_cast<int>(n); }},
            {"--from", 1, kLastIndex, [&](long long n) { opt.from = static_cast<int>(n); }},
            {"--jobs", 1, 1024, [&](long long n) { opt.jobs = static_cast<int>(n); }},
            {"--scale", 1, kMaxScale, [&](long long n) { opt.scale = static_cast<int>(n); }},
            {"--state", 0, 16777215, [&](long long n) { opt.state = static_cast<std::uint32_t>(n); }},
        };
        const auto whole = std::find_if(std::begin(wholes), std::end(wholes), [&](const Whole& w) { return name == w.name; });
        if (whole != std::end(wholes)) {
            long long n = 0;
            if (!parseInt(value, n) || n < whole->lo || n > whole->hi) {
                error = name + " must be a whole number from " + std::to_string(whole->lo) + " to " +
                        std::to_string(whole->hi) + ", not '" + value + "'";
                return ParseResult::Error;
            }
            whole->set(n);
        } else if (name == "--out") {
            if (value.empty()) {
                error = "--out needs a folder name";
                return ParseResult::Error;
            }
            opt.outDir = QByteArray::fromStdString(value);
        } else if (name == "--format") {
            if (value != "bmp" && value != "png") {
                error = "--format must be bmp or png, not '" + value + "'";
                return ParseResult::Error;
            }
            opt.format = qv;
        } else if (name == "--line-width") {
            opt.lineWidth = qv;
        } else if (name == "--draw-mode") {
            opt.drawMode = qv;
        } else if (name == "--text2") {
            opt.text2 = qv;
        } else if (name == "--text3") {
            opt.text3 = qv;
        } else if (name == "--text4") {
            opt.text4 = qv;
        }
    }
    if (static_cast<long long>(opt.from) + opt.count - 1 > kLastIndex) {
        error = "--from plus --count goes past pattern " + std::to_string(kLastIndex);
        return ParseResult::Error;
    }
    return ParseResult::Ok;
}

int availableCores()
{
    cpu_set_t set;
    if (sched_getaffinity(0, sizeof set, &set) == 0)
        return std::max(1, CPU_COUNT(&set));
    return static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

bool openOutputFolder(const QByteArray& dir, QString& folder, std::string& error)
{
    const std::string name = dir.toStdString();
    // Each missing folder on the way is made, as mkdir -p does, from the bytes as given.
    for (qsizetype end = 1; end <= dir.size(); ++end) {
        if (end < dir.size() && dir[end] != '/')
            continue;
        const QByteArray part = dir.left(end);
        if (part.endsWith('/'))
            continue;
        if (mkdir(part.constData(), 0777) != 0 && errno != EEXIST) {
            error = "cannot create output folder '" + name + "': " + std::strerror(errno);
            return false;
        }
    }
    struct stat st {};
    if (stat(dir.constData(), &st) != 0) {
        error = "cannot create output folder '" + name + "': " + std::strerror(errno);
        return false;
    }
    if (!S_ISDIR(st.st_mode)) {
        error = "output folder '" + name + "' exists and is not a folder";
        return false;
    }
    if (QFile::encodeName(QFile::decodeName(dir)) == dir) {
        folder = QFile::decodeName(dir);
    } else {
        // Text cannot carry these bytes; the folder itself, held open, can.
        const int fd = open(dir.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) {
            error = "cannot open output folder '" + name + "': " + std::strerror(errno);
            return false;
        }
        folder = QStringLiteral("/proc/self/fd/%1").arg(fd);
    }
    QTemporaryFile probe(QDir(folder).filePath(QStringLiteral(".zovex-probe-XXXXXX")));
    if (!probe.open()) {
        error = "cannot write into output folder '" + name + "': " + probe.errorString().toStdString();
        return false;
    }
    return true;
}

namespace {

// One pattern, from the worker that rendered it to the thread that prints the lines in order.
struct PatternResult {
    bool ready = false;
    bool written = false;
    std::uint32_t state = 0;
    QByteArray label;
    std::string error;
};

QByteArray fileLabel(const QByteArray& outDir, const QString& name)
{
    QByteArray prefix = outDir;
    while (prefix.size() > 1 && prefix.endsWith('/'))
        prefix.chop(1);
    if (!prefix.endsWith('/'))
        prefix += '/';
    return prefix + name.toLatin1();
}

} // namespace

int renderPatterns(const RenderOptions& opt, const QString& folder, std::FILE* out,
                   const std::function<void(int)>& onPattern, std::string& error)
{
    const Category& cat = category(opt.category);
    TickInputs in = defaultTickInputs(cat);
    if (opt.lineWidth)
        in.combo1 = *opt.lineWidth;
    if (opt.drawMode)
        in.combo2 = *opt.drawMode;
    if (opt.text2)
        in.text2 = *opt.text2;
    if (opt.text3)
        in.text3 = *opt.text3;
    if (opt.text4)
        in.text4 = *opt.text4;

    const Colour initial = cat.canvasBack;
    const ImageFormat format = opt.format == QLatin1String("png") ? ImageFormat::Png : ImageFormat::Bmp;
    const int sidePx = kDesignerCanvasPx * opt.scale;
    // A tick always makes the same number of draws, so the state of the first pattern of the
    // batch, and of every one after it, is a jump from the start of the sequence.
    RandomSource first;
    first.setState(opt.state);
    first.advance(static_cast<std::uint64_t>(opt.from - 1) * static_cast<std::uint64_t>(cat.drawsPerTick()));
    const std::uint32_t firstState = first.state();

    const int threads = std::clamp(opt.jobs > 0 ? opt.jobs : availableCores(), 1, opt.count);
    // Workers run ahead of the printed lines by at most this many patterns.
    const int window = 4 * threads;
    std::vector<PatternResult> results(static_cast<std::size_t>(window));
    std::mutex mutex;
    std::condition_variable resultReady, roomFree;
    int nextToTake = 0, nextToPrint = 0;
    bool stop = false;

    auto nameOf = [&](int k) {
        return QStringLiteral("zovex-%1-%2.%3")
            .arg(opt.category)
            .arg(opt.from + k, 6, 10, QLatin1Char('0'))
            .arg(opt.format);
    };

    auto worker = [&, in]() {
        std::optional<Canvas> canvas;
        while (true) {
            int k = 0;
            {
                std::unique_lock lock(mutex);
                roomFree.wait(lock, [&] { return stop || nextToTake >= opt.count || nextToTake < nextToPrint + window; });
                if (stop || nextToTake >= opt.count)
                    return;
                k = nextToTake++;
            }
            PatternResult r;
            RandomSource rnd;
            rnd.setState(firstState);
            rnd.advance(static_cast<std::uint64_t>(k) * static_cast<std::uint64_t>(cat.drawsPerTick()));
            r.state = rnd.state();
            try {
                if (!canvas)
                    canvas.emplace(sidePx, sidePx, initial, opt.scale);
                if (canvas->persistentImage().isNull())
                    throw std::bad_alloc();
                std::int32_t count = opt.from + k - 1;
                const TickOutput t = runGenerationTick(*canvas, rnd, cat, count, in, PreviewSnapshot::Skip);
                r.label = t.labelText.toUtf8();
                const QString name = nameOf(k);
                FileError why;
                r.written = writeImageAtomically(canvas->persistentImage(), QDir(folder).filePath(name), format, &why);
                if (!r.written)
                    r.error = "could not write " + fileLabel(opt.outDir, name).toStdString() + ": " + why.english();
            } catch (const std::bad_alloc&) {
                canvas.reset();
                r.written = false;
                r.error = "not enough memory for pattern " + std::to_string(opt.from + k) + " on a canvas of " +
                          std::to_string(sidePx) + " x " + std::to_string(sidePx) +
                          " pixels (try a smaller --scale or fewer --jobs)";
            } catch (const std::exception& e) {
                r.written = false;
                r.error = "pattern " + std::to_string(opt.from + k) + " failed: " + e.what();
            } catch (...) {
                r.written = false;
                r.error = "pattern " + std::to_string(opt.from + k) + " failed";
            }
            std::lock_guard lock(mutex);
            results[static_cast<std::size_t>(k % window)] = std::move(r);
            results[static_cast<std::size_t>(k % window)].ready = true;
            resultReady.notify_all();
        }
    };

    std::vector<std::thread> pool;
    pool.reserve(static_cast<std::size_t>(threads));
    for (int t = 0; t < threads; ++t)
        pool.emplace_back(worker);

    int rc = 0;
    for (int k = 0; k < opt.count; ++k) {
        PatternResult r;
        {
            std::unique_lock lock(mutex);
            PatternResult& slot = results[static_cast<std::size_t>(k % window)];
            resultReady.wait(lock, [&] { return slot.ready; });
            r = std::move(slot);
            slot = PatternResult{};
            nextToPrint = k + 1;
            if (!r.written)
                stop = true;
        }
        roomFree.notify_all();
        if (!r.written) {
            error = r.error;
            rc = 1;
            break;
        }
        const QByteArray file = fileLabel(opt.outDir, nameOf(k));
        errno = 0;
        if (std::fprintf(out, "%d\t%u\t%s\t%s\n", opt.from + k, r.state, file.constData(), r.label.constData()) < 0 ||
            std::fflush(out) != 0) {
            error = std::string("cannot write to standard output: ") +
                    (errno ? std::strerror(errno) : "write error") + " (the lines that name the files are lost)";
            rc = 1;
            break;
        }
        if (onPattern)
            onPattern(k + 1);
    }
    {
        std::lock_guard lock(mutex);
        stop = true;
    }
    roomFree.notify_all();
    for (std::thread& t : pool)
        t.join();
    return rc;
}

QByteArray privateRuntimeFolder(const QByteArray& base, std::string& error, RuntimeFolderKind* kind)
{
    if (kind)
        *kind = RuntimeFolderKind::Usual;
    const QByteArray usual = base + "/zovex-runtime-" + QByteArray::number(getuid());
    if (mkdir(usual.constData(), 0700) == 0 || errno == EEXIST) {
        // Anyone may have made it first: use it only when it is really ours and closed to others.
        struct stat st {};
        if (lstat(usual.constData(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == getuid() &&
            (st.st_mode & 07777) == 0700)
            return usual;
    }
    QByteArray fresh = base + "/zovex-runtime-XXXXXX";
    if (mkdtemp(fresh.data())) {
        if (kind)
            *kind = RuntimeFolderKind::Fresh;
        return fresh;
    }
    error = "cannot make a private runtime folder in " + base.toStdString() + ": " + std::strerror(errno);
    return {};
}

} // namespace zovex
