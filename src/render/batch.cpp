#include "batch.h"

#include "canvas.h"
#include "category.h"
#include "image_file.h"
#include "interrupt_cleanup.h"

#include <QDir>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <memory>
#include <cstring>
#include <mutex>
#include <new>
#include <sched.h>
#include <thread>
#include <vector>

namespace zovex {

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

QString fileName(const PatternJob& job, const QString& format)
{
    return QStringLiteral("zovex-%1-%2.%3").arg(job.category).arg(job.index, 6, 10, QLatin1Char('0')).arg(format);
}

// A worker's canvas, made on its first pattern and kept for the next ones.
struct WorkerCanvas {
    std::unique_ptr<Canvas> canvas;
    Colour colour = 0;

    Canvas& forJob(const PatternJob& job, double scale)
    {
        const Colour wanted = category(job.category).canvasBack;
        if (!canvas || colour != wanted) {
            canvas.reset();
            const int side = devicePixelsFor(kDesignerCanvasPx, scale);
            canvas = std::make_unique<Canvas>(side, side, wanted, scale);
            colour = wanted;
        }
        if (canvas->persistentImage().isNull())
            throw std::bad_alloc();
        canvas->setDrawWidth(job.keptDrawWidth.value_or(Canvas::kInitialDrawWidth));
        canvas->setDrawMode(job.keptDrawMode.value_or(Canvas::kInitialDrawMode));
        return *canvas;
    }
};

// Workers run ahead of the printed lines by at most `window` patterns; results wait in a ring.
class OrderedBatch {
public:
    OrderedBatch(const BatchOutput& output, int count, const std::function<PatternJob(int)>& jobAt)
        : m_output(output), m_count(count), m_jobAt(jobAt),
          m_threads(std::clamp(output.jobs > 0 ? output.jobs : availableCores(), 1, count)), m_window(4 * m_threads),
          m_results(static_cast<std::size_t>(m_window)),
          m_format(output.format == QLatin1String("png") ? ImageFormat::Png : ImageFormat::Bmp)
    {
    }

    int run(std::FILE* out, const std::function<void(int)>& onPattern, std::string& error);

private:
    void work();
    bool take(int& k);
    PatternResult render(WorkerCanvas& canvas, const PatternJob& job) const;
    PatternResult awaitResult(int k);
    bool printLine(std::FILE* out, const PatternJob& job, const PatternResult& r, std::string& error) const;

    const BatchOutput& m_output;
    const int m_count;
    const std::function<PatternJob(int)>& m_jobAt;
    const int m_threads, m_window;
    std::vector<PatternResult> m_results;
    const ImageFormat m_format;
    std::mutex m_mutex;
    std::condition_variable m_resultReady, m_roomFree;
    int m_nextToTake = 0, m_nextToPrint = 0;
    bool m_stop = false;
};

bool OrderedBatch::take(int& k)
{
    std::unique_lock lock(m_mutex);
    m_roomFree.wait(lock, [&] { return m_stop || m_nextToTake >= m_count || m_nextToTake < m_nextToPrint + m_window; });
    if (m_stop || m_nextToTake >= m_count)
        return false;
    k = m_nextToTake++;
    return true;
}

PatternResult OrderedBatch::render(WorkerCanvas& canvas, const PatternJob& job) const
{
    PatternResult r;
    r.state = job.state;
    const int side = devicePixelsFor(kDesignerCanvasPx, m_output.scale);
    try {
        Canvas& c = canvas.forJob(job, m_output.scale);
        RandomSource rnd;
        rnd.setState(job.state);
        std::int32_t count = job.index - 1;
        const TickOutput t =
            runGenerationTick(c, rnd, category(job.category), count, job.inputs, PreviewSnapshot::Skip);
        r.label = t.labelText.toUtf8();
        const QString name = fileName(job, m_output.format);
        FileError why;
        r.written = writeImageAtomically(c.persistentImage(), QDir(m_output.folder).filePath(name), m_format, &why);
        if (!r.written)
            r.error = "could not write " + fileLabel(m_output.outDir, name).toStdString() + ": " + why.english();
    } catch (const std::bad_alloc&) {
        canvas.canvas.reset();
        r.written = false;
        r.error = "not enough memory for pattern " + std::to_string(job.index) + " on a canvas of " +
                  std::to_string(side) + " x " + std::to_string(side) +
                  " pixels (try a smaller --scale or fewer --jobs)";
    } catch (const std::exception& e) {
        r.written = false;
        r.error = "pattern " + std::to_string(job.index) + " failed: " + e.what();
    } catch (...) {
        r.written = false;
        r.error = "pattern " + std::to_string(job.index) + " failed";
    }
    return r;
}

void OrderedBatch::work()
{
    // Registered, so that a signal that ends the process stops this thread before the
    // temporary files are removed.
    const BatchWorkerScope scope;
    WorkerCanvas canvas;
    int k = 0;
    while (take(k)) {
        PatternResult r = render(canvas, m_jobAt(k));
        std::lock_guard lock(m_mutex);
        PatternResult& slot = m_results[static_cast<std::size_t>(k % m_window)];
        slot = std::move(r);
        slot.ready = true;
        m_resultReady.notify_all();
    }
}

PatternResult OrderedBatch::awaitResult(int k)
{
    PatternResult r;
    {
        std::unique_lock lock(m_mutex);
        PatternResult& slot = m_results[static_cast<std::size_t>(k % m_window)];
        m_resultReady.wait(lock, [&] { return slot.ready; });
        r = std::move(slot);
        slot = PatternResult{};
        m_nextToPrint = k + 1;
        if (!r.written)
            m_stop = true;
    }
    m_roomFree.notify_all();
    return r;
}

bool OrderedBatch::printLine(std::FILE* out, const PatternJob& job, const PatternResult& r, std::string& error) const
{
    const QByteArray file = fileLabel(m_output.outDir, fileName(job, m_output.format));
    errno = 0;
    if (std::fprintf(out, "%d\t%u\t%s\t%s\n", job.index, r.state, file.constData(), r.label.constData()) < 0 ||
        std::fflush(out) != 0) {
        error = std::string("cannot write to standard output: ") + (errno ? std::strerror(errno) : "write error") +
                " (the lines that name the files are lost)";
        return false;
    }
    return true;
}

int OrderedBatch::run(std::FILE* out, const std::function<void(int)>& onPattern, std::string& error)
{
    std::vector<std::thread> pool;
    pool.reserve(static_cast<std::size_t>(m_threads));
    for (int t = 0; t < m_threads; ++t)
        pool.emplace_back([this] { work(); });

    int rc = 0;
    for (int k = 0; k < m_count; ++k) {
        const PatternResult r = awaitResult(k);
        if (!r.written) {
            error = r.error;
            rc = 1;
            break;
        }
        if (!printLine(out, m_jobAt(k), r, error)) {
            rc = 1;
            break;
        }
        if (onPattern)
            onPattern(k + 1);
    }
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_roomFree.notify_all();
    for (std::thread& t : pool)
        t.join();
    return rc;
}

} // namespace

int availableCores()
{
    cpu_set_t set;
    if (sched_getaffinity(0, sizeof set, &set) == 0)
        return std::max(1, CPU_COUNT(&set));
    return static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

int renderBatch(const BatchOutput& output, int count, const std::function<PatternJob(int)>& jobAt, std::FILE* out,
                const std::function<void(int)>& onPattern, std::string& error)
{
    OrderedBatch batch(output, count, jobAt);
    return batch.run(out, onPattern, error);
}

int renderPatterns(const RenderOptions& opt, const QString& folder, std::FILE* out,
                   const std::function<void(int)>& onPattern, std::string& error)
{
    const Category& cat = category(opt.category);
    PatternJob base;
    base.category = opt.category;
    base.inputs = defaultTickInputs(cat);
    if (opt.lineWidth)
        base.inputs.combo1 = *opt.lineWidth;
    if (opt.drawMode)
        base.inputs.combo2 = *opt.drawMode;
    if (opt.text2)
        base.inputs.text2 = *opt.text2;
    if (opt.text3)
        base.inputs.text3 = *opt.text3;
    if (opt.text4)
        base.inputs.text4 = *opt.text4;
    // A tick always makes the same number of draws, so the state of the first pattern of the
    // batch, and of every one after it, is a jump from the start of the sequence.
    RandomSource first;
    first.setState(opt.state);
    first.advance(static_cast<std::uint64_t>(opt.from - 1) * static_cast<std::uint64_t>(cat.drawsPerTick()));
    const std::uint32_t firstState = first.state();
    const auto jobAt = [&](int k) {
        PatternJob job = base;
        job.index = opt.from + k;
        RandomSource rnd;
        rnd.setState(firstState);
        rnd.advance(static_cast<std::uint64_t>(k) * static_cast<std::uint64_t>(cat.drawsPerTick()));
        job.state = rnd.state();
        return job;
    };
    const BatchOutput output{opt.jobs, opt.scale, opt.outDir, folder, opt.format};
    return renderBatch(output, opt.count, jobAt, out, onPattern, error);
}

} // namespace zovex
