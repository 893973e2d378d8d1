#include "command_line.h"

#include "canvas.h"

#include <algorithm>
#include <charconv>
#include <functional>
#include <limits>

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

const char* const kKnownOptions[] = {"--category",  "--count", "--out",   "--state", "--line-width",
                                     "--draw-mode", "--text2", "--text3", "--text4", "--format",
                                     "--from",      "--jobs",  "--scale", "--label", "--labels"};

// A whole-number option: where it goes and the range it takes.
struct Whole {
    const char* name;
    long long lo, hi;
    std::function<void(long long)> set;
};

enum class WholeOption { NotOne, Set, Bad };

// Sets a whole-number option, with `error` set when its value is bad.
WholeOption setWhole(RenderOptions& opt, const std::string& name, const std::string& value, std::string& error)
{
    const Whole wholes[] = {
        {"--category", 1, 10,
         [&](long long n) {
             opt.category = static_cast<int>(n);
             opt.categoryGiven = true;
         }},
        {"--count", 1, 1000000,
         [&](long long n) {
             opt.count = static_cast<int>(n);
             opt.sequenceGiven = true;
         }},
        {"--from", 1, kLastIndex,
         [&](long long n) {
             opt.from = static_cast<int>(n);
             opt.sequenceGiven = true;
         }},
        {"--jobs", 1, 1024, [&](long long n) { opt.jobs = static_cast<int>(n); }},
        {"--state", 0, 16777215,
         [&](long long n) {
             opt.state = static_cast<std::uint32_t>(n);
             opt.sequenceGiven = true;
         }},
    };
    const auto whole =
        std::find_if(std::begin(wholes), std::end(wholes), [&](const Whole& w) { return name == w.name; });
    if (whole == std::end(wholes))
        return WholeOption::NotOne;
    long long n = 0;
    if (!parseInt(value, n) || n < whole->lo || n > whole->hi) {
        error = name + " must be a whole number from " + std::to_string(whole->lo) + " to " +
                std::to_string(whole->hi) + ", not '" + value + "'";
        return WholeOption::Bad;
    }
    whole->set(n);
    return WholeOption::Set;
}

// Sets any other option; false with `error` set when its value is bad.
bool setOther(RenderOptions& opt, const std::string& name, const std::string& value, std::string& error)
{
    const QString qv = QString::fromStdString(value);
    if (name == "--out") {
        if (value.empty()) {
            error = "--out needs a folder name";
            return false;
        }
        opt.outDir = QByteArray::fromStdString(value);
    } else if (name == "--format") {
        if (value != "bmp" && value != "png") {
            error = "--format must be bmp or png, not '" + value + "'";
            return false;
        }
        opt.format = qv;
    } else if (name == "--scale") {
        // A device pixel ratio, as a designer canvas takes it: 2, 1.5, 1.25 ...
        double scale = 0;
        const auto [end, ec] =
            std::from_chars(value.data(), value.data() + value.size(), scale, std::chars_format::fixed);
        if (value.empty() || ec != std::errc() || end != value.data() + value.size() || !(scale >= 1.0) ||
            scale > kMaxScale) {
            error = "--scale must be a number from 1 to " + std::to_string(kMaxScale) + " (such as 2 or 1.5), not '" +
                    value + "'";
            return false;
        }
        opt.scale = scale;
    } else if (name == "--labels") {
        if (value != "-") {
            error = "--labels takes '-' (one label a line on standard input), not '" + value + "'";
            return false;
        }
        opt.labelsFromInput = true;
    } else if (name == "--label") {
        opt.labels.push_back(qv);
    } else {
        std::optional<QString>* texts[] = {&opt.lineWidth, &opt.drawMode, &opt.text2, &opt.text3, &opt.text4};
        const char* names[] = {"--line-width", "--draw-mode", "--text2", "--text3", "--text4"};
        for (std::size_t i = 0; i < std::size(names); ++i)
            if (name == names[i])
                *texts[i] = qv;
    }
    return true;
}

// Checks that hold between options.
bool checkTogether(const RenderOptions& opt, std::string& error)
{
    if (static_cast<long long>(opt.from) + opt.count - 1 > kLastIndex) {
        error = "--from plus --count goes past pattern " + std::to_string(kLastIndex);
        return false;
    }
    if ((!opt.labels.empty() || opt.labelsFromInput) && opt.sequenceGiven) {
        error = "--state, --from and --count do not go with --label or --labels: a label gives its own state";
        return false;
    }
    return true;
}

} // namespace

std::string renderUsage()
{
    return "usage: zovex-render [--category K] [--count N] [--from I] [--out DIR] [--state X]\n"
           "                    [--line-width TEXT] [--draw-mode TEXT] [--text2 T] [--text3 T] [--text4 T]\n"
           "                    [--format bmp|png] [--scale S] [--jobs J] [--version]\n"
           "       zovex-render --label TEXT [--label TEXT ...] | --labels -   [other options as above]\n"
           "\n"
           "Composes N successive patterns of category K (1-10) as a designer window would,\n"
           "starting from random-source state X (default 327680, the program's start), and writes\n"
           "them to DIR (default ./patterns) as zovex-K-NNNNNN.bmp or .png. Prints one line per\n"
           "pattern: index, state, file, label. Pass a printed state to --state to render that\n"
           "pattern again. --line-width and --draw-mode take any text, as the combo boxes do.\n"
           "--from I starts at pattern I of the sequence (default 1): shards of one large batch\n"
           "give exactly its files and lines. --scale S (1-8, also fractional: 1.25, 1.5) draws\n"
           "each pattern S times larger in each direction, as a designer window on a screen of\n"
           "device pixel ratio S (96*S dots per inch; 857*S pixels square, rounded up).\n"
           "--jobs J renders J patterns at once (default: one per core); the output is the same.\n"
           "--label TEXT renders again the pattern whose number label (\"NO: WVK...\") is TEXT: the\n"
           "label gives the category, both combo texts and the state. --labels - reads one label a\n"
           "line from standard input. The n-th label's file is zovex-K-00000n. A label with several\n"
           "readings (typed combo texts) is listed with the --line-width and --draw-mode that pick\n"
           "each; --text2/3/4 give texts that were edited, which the label does not hold.\n";
}

ParseResult parseRenderArguments(const std::vector<std::string>& args, RenderOptions& opt, std::string& error)
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
        if (std::none_of(std::begin(kKnownOptions), std::end(kKnownOptions),
                         [&](const char* k) { return name == k; })) {
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
        const WholeOption whole = setWhole(opt, name, value, error);
        if (whole == WholeOption::Bad || (whole == WholeOption::NotOne && !setOther(opt, name, value, error)))
            return ParseResult::Error;
    }
    return checkTogether(opt, error) ? ParseResult::Ok : ParseResult::Error;
}

} // namespace zovex
