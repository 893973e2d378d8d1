// Talking to a host program in an end-to-end test: the host runs the windows under test on the
// test's X server and answers one line per command on stdout (it says "ready" first). Every
// wait is bounded; a host that does not answer in time gives an empty reply.
#pragma once

#include "x_session.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QPoint>
#include <QProcess>
#include <QRegularExpression>
#include <QString>

#include <functional>

namespace zovex::test {

class LineHost {
public:
    explicit LineHost(int waitMs) : m_waitMs(waitMs) {}

    // Starts `program` on the session's display and waits for its "ready".
    bool start(const XSession& x, const QString& program)
    {
        return x.launch(m_guard, program) && readLine() == "ready";
    }
    QByteArray ask(const QByteArray& command)
    {
        m_guard.process->write(command + '\n');
        m_guard.process->waitForBytesWritten(m_waitMs);
        return readLine();
    }
    // The value of `key=` in the reply to "state".
    QString state(const QString& key)
    {
        const QString s = QString::fromUtf8(ask("state"));
        const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("\\b%1=(\\S+)").arg(key)).match(s);
        return m.hasMatch() ? m.captured(1) : QString();
    }
    QProcess& process() { return *m_guard.process; }

private:
    QByteArray readLine()
    {
        QDeadlineTimer deadline(m_waitMs);
        while (!m_guard.process->canReadLine()) {
            if (deadline.hasExpired() || !m_guard.process->waitForReadyRead(static_cast<int>(deadline.remainingTime())))
                return {};
        }
        return m_guard.process->readLine().trimmed();
    }
    int m_waitMs;
    ProcessGuard m_guard;
};

// Asks until the condition holds, for at most `waitMs`; every question is a round trip
// through the host's event loop, so X events sent before it have had their chance to arrive.
inline bool eventually(const std::function<bool()>& condition, int waitMs)
{
    QDeadlineTimer deadline(waitMs);
    while (!deadline.hasExpired()) {
        if (condition())
            return true;
    }
    return false;
}

// The point in a reply "<word> X Y"; (-1, -1) when the reply is anything else.
inline QPoint pointIn(const QByteArray& reply)
{
    const QList<QByteArray> parts = reply.split(' ');
    if (parts.size() != 3)
        return {-1, -1};
    return {parts[1].toInt(), parts[2].toInt()};
}

} // namespace zovex::test
