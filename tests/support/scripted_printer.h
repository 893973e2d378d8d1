// A scripted stand-in for the desktop's printer: tests say whether a printer exists and whether
// it takes the picture, and read back every call in order.
#pragma once

#include "printer.h"

#include <vector>

namespace zovex::test {

class ScriptedPrinter final : public Printer {
public:
    enum class Call { PaintPicture, EndDoc };

    bool present = true;  // the desktop has a printer
    bool refuses = false; // the printer fails to start the job
    std::vector<Call> calls;
    std::vector<QImage> pictures; // what PaintPicture was given, one per call
    int pagesSent = 0;            // EndDoc with something drawn

    bool hasPrinter() override { return present; }
    bool PaintPicture(const QImage& picture) override
    {
        calls.push_back(Call::PaintPicture);
        pictures.push_back(picture);
        if (picture.isNull() || !present || refuses)
            return false;
        m_drawn = true;
        return true;
    }
    bool EndDoc() override
    {
        calls.push_back(Call::EndDoc);
        if (m_drawn)
            ++pagesSent;
        m_drawn = false;
        return true;
    }

private:
    bool m_drawn = false;
};

} // namespace zovex::test
