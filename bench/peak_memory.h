// This process's memory figures from /proc, for benchmarks that report how far the peak rose
// while they ran: reset the peak, note VmRSS, run, read VmHWM.
#pragma once

#include <QFile>

#include <cstring>

namespace zovex::bench {

// A figure of /proc/self/status ("VmRSS:", "VmHWM:"), in MiB.
inline double procStatusMiB(const char* key)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(static_cast<int>(std::strlen(key))).trimmed().split(' ').value(0).toDouble() / 1024.0;
    return 0;
}

// Sets the peak (VmHWM) back to what the process holds now.
inline void resetPeakMemory()
{
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    if (f.open(QIODevice::WriteOnly))
        f.write("5");
}

// How far the peak rose from what the process held when the probe was made; the peak is reset
// then, so that each measured operation shows its own rise.
class PeakProbe {
public:
    PeakProbe()
    {
        resetPeakMemory();
        m_before = procStatusMiB("VmRSS:");
    }
    double extraMiB() const { return procStatusMiB("VmHWM:") - m_before; }

private:
    double m_before;
};

} // namespace zovex::bench
