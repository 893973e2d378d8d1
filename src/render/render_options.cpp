#include "render_options.h"

#include "category.h"
#include "generation_tick.h"
#include "image_file.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>

#include <charconv>

namespace zovex {

namespace {

bool parseInt(const std::string& s, long long& v)
{
    if (s.empty())
        return false;
    auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    return ec == std::errc() && p == s.data() + s.size();
}

} // namespace

std::string renderUsage()
{
    return "usage: zovex-render [--category K] [--count N] [--out DIR] [--state X]\n"
           "                    [--line-width TEXT] [--draw-mode TEXT] [--text2 T] [--text3 T] [--text4 T]\n"
           "                    [--format bmp|png]\n"
           "\n"
           "Composes N successive patterns of category K (1-10) as a designer window would,\n"
           "starting from random-source state X (default 327680, the program's start), and writes\n"
           "them to DIR (default ./patterns) as zovex-K-NNNNNN.bmp or .png. Prints one line per\n"
           "pattern: index, state, file, label. Pass a printed state to --state to render that\n"
           "pattern again. --line-width and --draw-mode take any text, as the combo boxes do.\n";
}

ParseResult parseRenderArguments(const std::vector<std::string>& args, RenderOptions& opt,
                                 std::string& error)
{
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h")
            return ParseResult::Help;
        std::string name = a, value;
        bool inlineValue = false;
        if (const auto eq = a.find('='); a.rfind("--", 0) == 0 && eq != std::string::npos) {
            name = a.substr(0, eq);
            value = a.substr(eq + 1);
            inlineValue = true;
        }
        static const char* known[] = {"--category", "--count", "--out", "--state", "--line-width",
                                      "--draw-mode", "--text2", "--text3", "--text4", "--format"};
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
        long long n = 0;
        if (name == "--category") {
            if (!parseInt(value, n) || n < 1 || n > 10) {
                error = "--category must be a whole number from 1 to 10, not '" + value + "'";
                return ParseResult::Error;
            }
            opt.category = static_cast<int>(n);
        } else if (name == "--count") {
            if (!parseInt(value, n) || n < 1 || n > 1000000) {
                error = "--count must be a whole number from 1 to 1000000, not '" + value + "'";
                return ParseResult::Error;
            }
            opt.count = static_cast<int>(n);
        } else if (name == "--state") {
            if (!parseInt(value, n) || n < 0 || n > 16777215) {
                error = "--state must be a whole number from 0 to 16777215, not '" + value + "'";
                return ParseResult::Error;
            }
            opt.state = static_cast<std::uint32_t>(n);
        } else if (name == "--out") {
            if (value.empty()) {
                error = "--out needs a folder name";
                return ParseResult::Error;
            }
            opt.outDir = qv;
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
    return ParseResult::Ok;
}

bool prepareOutputFolder(const QString& dir, std::string& error)
{
    QFileInfo fi(dir);
    if (fi.exists() && !fi.isDir()) {
        error = "output folder '" + dir.toStdString() + "' exists and is not a folder";
        return false;
    }
    if (!QDir().mkpath(dir)) {
        error = "cannot create output folder '" + dir.toStdString() + "'";
        return false;
    }
    QTemporaryFile probe(QDir(dir).filePath(QStringLiteral(".zovex-probe-XXXXXX")));
    if (!probe.open()) {
        error = "cannot write into output folder '" + dir.toStdString() + "': " +
                probe.errorString().toStdString();
        return false;
    }
    return true;
}

int renderPatterns(const RenderOptions& opt, std::FILE* out,
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

    const Colour initial = opt.category == 6 ? kButtonFaceColour : RGB(0, 0, 64);
    Canvas canvas(kDesignerCanvasPx, kDesignerCanvasPx, initial);
    RandomSource rnd;
    rnd.setState(opt.state);
    std::int32_t count = 0;
    const QDir dir(opt.outDir);
    for (int i = 1; i <= opt.count; ++i) {
        const std::uint32_t state = rnd.state();
        const TickOutput t = runGenerationTick(canvas, rnd, cat, count, in);
        const QString name = QStringLiteral("zovex-%1-%2.%3")
                                 .arg(opt.category)
                                 .arg(i, 6, 10, QLatin1Char('0'))
                                 .arg(opt.format);
        const QString path = dir.filePath(name);
        const ImageFormat fmt = opt.format == QLatin1String("png") ? ImageFormat::Png : ImageFormat::Bmp;
        QString why;
        if (!writeImageAtomically(canvas.image(), path, fmt, &why)) {
            error = "could not write " + path.toStdString() + ": " + why.toStdString();
            return 1;
        }
        std::fprintf(out, "%d\t%u\t%s\t%s\n", i, state, path.toLocal8Bit().constData(),
                     t.labelText.toUtf8().constData());
        std::fflush(out);
        if (onPattern)
            onPattern(i);
    }
    return 0;
}

} // namespace zovex
