#include "label_command.h"

#include "canvas.h"
#include "int_conv.h"
#include "number_label.h"

#include <algorithm>

namespace zovex {

namespace {

// A text as the shell takes it back.
std::string quoted(const QString& text)
{
    std::string s = "'";
    for (const char c : text.toStdString())
        s += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return s + "'";
}

std::string named(int n, const QString& label) { return "label " + std::to_string(n) + " " + quoted(label); }

// The readings that the options pick: a given text keeps the readings with that combo text,
// when there are any; otherwise it is the value that a failing combo text kept.
std::vector<LabelReading> pickReadings(std::vector<LabelReading> readings, const RenderOptions& opt)
{
    if (opt.categoryGiven)
        std::erase_if(readings, [&](const LabelReading& r) { return r.category != opt.category; });
    const auto keepEqual = [&](const std::optional<QString>& text, QString LabelReading::*combo) {
        if (text &&
            std::any_of(readings.begin(), readings.end(), [&](const LabelReading& r) { return r.*combo == *text; }))
            std::erase_if(readings, [&](const LabelReading& r) { return r.*combo != *text; });
    };
    keepEqual(opt.lineWidth, &LabelReading::combo1);
    keepEqual(opt.drawMode, &LabelReading::combo2);
    return preferListItems(std::move(readings));
}

struct Scheme {
    const char* option;  // --line-width
    const char* what;    // line width
    const char* control; // Combo1
    bool (*sets)(const QString&);
    int initial;
};

// What the canvas held before the tick, where the label's combo text gives nothing: the
// option's value, else the renderer's initial one (said in a note). False with `error` set
// when the option contradicts the label.
bool keptValue(const Scheme& s, const QString& text, const std::optional<QString>& option, int n,
               std::optional<int>& kept, LabelJobs& out)
{
    const std::string where = "label " + std::to_string(n) + ": ";
    if (s.sets(text)) {
        if (option && *option != text) {
            out.errors.push_back(where + s.option + " " + quoted(*option) + " does not fit: the label's " + s.what +
                                 " is " + quoted(text));
            return false;
        }
        return true;
    }
    if (option && *option != text) {
        if (!s.sets(*option)) {
            out.errors.push_back(where + s.option + " " + quoted(*option) + " is not a " + s.what);
            return false;
        }
        kept = textToInt16(option->toStdString());
        return true;
    }
    out.notes.push_back(where + s.control + "'s text " + quoted(text) + " gives no " + s.what +
                        ", so the pattern kept the one of the pattern before it, which the label does not hold; "
                        "rendered with " +
                        std::to_string(s.initial) + " (give " + s.option + " N for another)");
    return true;
}

void listReadings(int n, const QString& label, const std::vector<LabelReading>& readings, LabelJobs& out)
{
    out.errors.push_back(named(n, label) + " has " + std::to_string(readings.size()) +
                         " readings; pick one with --line-width and --draw-mode:");
    for (const LabelReading& r : readings)
        out.errors.push_back("  --category " + std::to_string(r.category) + " --line-width " + quoted(r.combo1) +
                             " --draw-mode " + quoted(r.combo2) + "   (state " + std::to_string(r.state) + ")");
}

} // namespace

LabelJobs resolveLabels(const std::vector<QString>& labels, const RenderOptions& opt)
{
    LabelJobs out;
    const Scheme width{"--line-width", "line width", "Combo1", setsDrawWidth, Canvas::kInitialDrawWidth};
    const Scheme mode{"--draw-mode", "draw mode", "Combo2", setsDrawMode, Canvas::kInitialDrawMode};
    for (std::size_t i = 0; i < labels.size(); ++i) {
        const int n = static_cast<int>(i) + 1;
        const LabelReadings read = readNumberLabel(labels[i]);
        if (read.readings.empty()) {
            out.errors.push_back(named(n, labels[i]) + " is printed by no pattern: " + read.error);
            continue;
        }
        const std::vector<LabelReading> picked = pickReadings(read.readings, opt);
        if (picked.size() != 1) {
            if (picked.empty())
                out.errors.push_back(named(n, labels[i]) + " has no reading of category " +
                                     std::to_string(opt.category));
            else
                listReadings(n, labels[i], picked, out);
            continue;
        }
        const LabelReading& r = picked.front();
        PatternJob job;
        job.index = n;
        job.category = r.category;
        job.state = r.state;
        job.inputs = defaultTickInputs(category(r.category));
        job.inputs.combo1 = r.combo1;
        job.inputs.combo2 = r.combo2;
        job.inputs.text2 = opt.text2.value_or(job.inputs.text2);
        job.inputs.text3 = opt.text3.value_or(job.inputs.text3);
        job.inputs.text4 = opt.text4.value_or(job.inputs.text4);
        if (keptValue(width, r.combo1, opt.lineWidth, n, job.keptDrawWidth, out) &&
            keptValue(mode, r.combo2, opt.drawMode, n, job.keptDrawMode, out))
            out.jobs.push_back(std::move(job));
    }
    if (!out.errors.empty())
        out.jobs.clear();
    return out;
}

std::vector<QString> readLabelLines(std::FILE* in)
{
    std::vector<QString> labels;
    std::string line;
    for (int c = std::fgetc(in);; c = std::fgetc(in)) {
        if (c == EOF || c == '\n') {
            const QString label = QString::fromStdString(line).trimmed();
            if (!label.isEmpty())
                labels.push_back(label);
            line.clear();
            if (c == EOF)
                break;
        } else {
            line += static_cast<char>(c);
        }
    }
    return labels;
}

} // namespace zovex
