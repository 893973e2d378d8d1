// zovex-render --label: patterns found again from their printed number labels.
//
// Each label is read back to its category, combo texts and state; the options pick among
// several readings (--line-width, --draw-mode, --category) and give what the label does not
// hold (the texts, and the width or mode that a failing combo text kept from the pattern
// before). The n-th label becomes pattern n of the batch.
#pragma once

#include "batch.h"
#include "command_line.h"

#include <QString>

#include <string>
#include <vector>

namespace zovex {

struct LabelJobs {
    std::vector<PatternJob> jobs;    // one per label, when every label has one reading
    std::vector<std::string> notes;  // what the user should know about a job, one a line
    std::vector<std::string> errors; // refused or ambiguous labels, one message a line
};

LabelJobs resolveLabels(const std::vector<QString>& labels, const RenderOptions& opt);

// The labels of a file or a pipe, one a line; blank lines are skipped.
std::vector<QString> readLabelLines(std::FILE* in);

} // namespace zovex
