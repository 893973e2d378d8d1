// "打印" of the print window through the real print system: the test starts a private cupsd of
// its own (own configuration, spool, state and logs in a temporary folder, listening only on a
// private socket there), adds a cups-pdf queue as its default destination, prints a picture
// with the program's real Qt printer and checks where and how large the picture is on the
// PDF page that comes out. Needs root: cupsd runs its backends as root, and cups-pdf reads the
// queue's own settings (where to put the PDF) from /etc/cups/cups-pdf-<queue>.conf only; the
// test writes that one file for its queue and removes it afterwards.
#include "printer.h"
#include "fake_desktop.h"
#include "random_source.h"
#include "scripted_platform.h"
#include "services.h"
#include "tick_gate.h"
#include "tick_queue.h"
#include "app_windows.h"
#include "print_window.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

using namespace zovex;

namespace {

constexpr int kToolMs = 30000;
constexpr int kJobMs = 60000;

const QString kSystemPpd = QStringLiteral("/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd");

struct ToolRun {
    int exitCode = -1;
    QString out;
};

ToolRun runTool(const QString& program, const QStringList& args, const QProcessEnvironment& env)
{
    QProcess p;
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    ToolRun r;
    if (!p.waitForStarted(kToolMs) || !p.waitForFinished(kToolMs)) {
        p.kill();
        p.waitForFinished(kToolMs);
        r.out = QStringLiteral("%1 did not run to its end").arg(program);
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromLocal8Bit(p.readAll());
    return r;
}

bool writeFile(const QString& path, const QByteArray& content)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(content) == content.size();
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A private CUPS scheduler with one cups-pdf queue as its default destination.
class PrivateCups {
public:
    // `imageableArea`: the A4 printable area the queue's driver reports, "left bottom right top"
    // in points from the page's bottom-left corner.
    explicit PrivateCups(QByteArray imageableArea)
        : m_queue(QStringLiteral("zovex-e2e-%1").arg(QCoreApplication::applicationPid())),
          m_queueConf(QStringLiteral("/etc/cups/cups-pdf-%1.conf").arg(m_queue)),
          m_imageableArea("*ImageableArea A4/A4: \"" + imageableArea + '"')
    {
    }
    ~PrivateCups()
    {
        if (m_cupsd.state() != QProcess::NotRunning) {
            m_cupsd.terminate();
            if (!m_cupsd.waitForFinished(10000)) {
                m_cupsd.kill();
                m_cupsd.waitForFinished(10000);
            }
        }
        if (m_wroteQueueConf)
            QFile::remove(m_queueConf);
    }
    PrivateCups(const PrivateCups&) = delete;
    PrivateCups& operator=(const PrivateCups&) = delete;

    QString socket() const { return path(QStringLiteral("cups.sock")); }
    QString outDir() const { return path(QStringLiteral("out")); }
    QString path(const QString& name) const { return m_dir.filePath(name); }

    // The environment of every client: our scheduler only, no user or system defaults.
    QProcessEnvironment clientEnvironment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("CUPS_SERVER"), socket());
        env.insert(QStringLiteral("CUPS_SERVERROOT"), path(QStringLiteral("client")));
        env.insert(QStringLiteral("HOME"), path(QStringLiteral("home")));
        env.remove(QStringLiteral("LPDEST"));
        env.remove(QStringLiteral("PRINTER"));
        return env;
    }

    // Empty when the scheduler runs with the queue as its default; otherwise what went wrong.
    QString start()
    {
        if (!m_dir.isValid())
            return QStringLiteral("no temporary folder");
        // The filters run as the scheduler's user lp and must reach the spool and the queue's PPD.
        ::chmod(QFile::encodeName(m_dir.path()).constData(), 0755);
        for (const char* sub : {"conf", "spool", "cache", "state", "log", "tmp", "out", "client", "home"})
            if (!QDir().mkpath(path(QString::fromLatin1(sub))))
                return QStringLiteral("cannot make %1").arg(QString::fromLatin1(sub));
        // The filters' temporary files: the scheduler's group may write, as in a normal install.
        ::chmod(QFile::encodeName(path(QStringLiteral("tmp"))).constData(), 01777);

        const QByteArray root = m_dir.path().toLocal8Bit();
        const QByteArray cupsd = "Listen " + socket().toLocal8Bit() +
                                 "\n"
                                 "LogLevel debug\n"
                                 "Browsing No\n"
                                 "BrowseLocalProtocols none\n"
                                 "DefaultAuthType None\n"
                                 "WebInterface No\n"
                                 "<Location />\n  Order allow,deny\n  Allow all\n</Location>\n"
                                 "<Policy default>\n  <Limit All>\n    Order deny,allow\n  </Limit>\n</Policy>\n";
        const QByteArray files = "ServerRoot " + root + "/conf\n" + "RequestRoot " + root + "/spool\n" + "CacheDir " +
                                 root + "/cache\n" + "StateDir " + root + "/state\n" + "TempDir " + root +
                                 "/tmp\n"
                                 "ServerBin /usr/lib/cups\n"
                                 "DataDir /usr/share/cups\n"
                                 "AccessLog " +
                                 root + "/log/access_log\n" + "ErrorLog " + root + "/log/error_log\n" + "PageLog " +
                                 root + "/log/page_log\n" + "Printcap " + root +
                                 "/printcap\n"
                                 "SystemGroup root\n";
        if (!writeFile(path(QStringLiteral("conf/cupsd.conf")), cupsd) ||
            !writeFile(path(QStringLiteral("conf/cups-files.conf")), files))
            return QStringLiteral("cannot write the scheduler's configuration");

        QByteArray ppd = readFile(kSystemPpd);
        const qsizetype at = ppd.indexOf("*ImageableArea A4/A4:");
        if (at < 0)
            return QStringLiteral("%1 has no A4 printable area").arg(kSystemPpd);
        const qsizetype end = ppd.indexOf('\n', at);
        ppd.replace(at, end - at, m_imageableArea);
        if (!writeFile(path(QStringLiteral("margins.ppd")), ppd))
            return QStringLiteral("cannot write the queue's PPD");

        const QByteArray queueConf =
            "Out " + root + "/out\nSpool " + root + "/pdfspool\nLog " + root + "/log\nLogType 7\n";
        m_wroteQueueConf = writeFile(m_queueConf, queueConf);
        if (!m_wroteQueueConf)
            return QStringLiteral("cannot write %1").arg(m_queueConf);

        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        m_cupsd.setProcessEnvironment(env);
        m_cupsd.setProcessChannelMode(QProcess::MergedChannels);
        m_cupsd.start(QStringLiteral("/usr/sbin/cupsd"),
                      {QStringLiteral("-f"), QStringLiteral("-c"), path(QStringLiteral("conf/cupsd.conf")),
                       QStringLiteral("-s"), path(QStringLiteral("conf/cups-files.conf"))});
        if (!m_cupsd.waitForStarted(kToolMs))
            return QStringLiteral("cupsd did not start: ") + m_cupsd.errorString();
        // The scheduler is up when it answers on its socket.
        QElapsedTimer clock;
        clock.start();
        while (runTool(QStringLiteral("lpstat"), {QStringLiteral("-r")}, clientEnvironment())
                   .out.contains(QStringLiteral("not running"))) {
            if (m_cupsd.state() == QProcess::NotRunning || clock.elapsed() > kToolMs)
                return QStringLiteral("cupsd is not answering: ") + QString::fromLocal8Bit(m_cupsd.readAll()) + log();
            QThread::msleep(50);
        }

        const ToolRun add =
            runTool(QStringLiteral("lpadmin"),
                    {QStringLiteral("-p"), m_queue, QStringLiteral("-E"), QStringLiteral("-v"),
                     QStringLiteral("cups-pdf:/") + m_queue, QStringLiteral("-P"), path(QStringLiteral("margins.ppd")),
                     QStringLiteral("-o"), QStringLiteral("PageSize=A4")},
                    clientEnvironment());
        if (add.exitCode != 0)
            return QStringLiteral("lpadmin -p failed: ") + add.out;
        const ToolRun def = runTool(QStringLiteral("lpadmin"), {QStringLiteral("-d"), m_queue}, clientEnvironment());
        if (def.exitCode != 0)
            return QStringLiteral("lpadmin -d failed: ") + def.out;
        return {};
    }

    QString queue() const { return m_queue; }
    // Jobs not yet done.
    QString pendingJobs() const
    {
        return runTool(QStringLiteral("lpstat"), {QStringLiteral("-o")}, clientEnvironment()).out.trimmed();
    }
    QString log() const
    {
        const QByteArray all = readFile(path(QStringLiteral("log/error_log")));
        return QString::fromLocal8Bit(all.right(4000));
    }

private:
    QTemporaryDir m_dir;
    QString m_queue;
    QString m_queueConf;
    QByteArray m_imageableArea;
    bool m_wroteQueueConf = false;
    QProcess m_cupsd;
};

// Sets the process's environment for one test and puts it back afterwards.
class ScopedEnvironment {
public:
    void set(const char* name, const QByteArray& value)
    {
        remember(name);
        qputenv(name, value);
    }
    void unset(const char* name)
    {
        remember(name);
        qunsetenv(name);
    }
    ~ScopedEnvironment()
    {
        for (const auto& [name, value] : m_saved) {
            if (value)
                qputenv(name.constData(), *value);
            else
                qunsetenv(name.constData());
        }
    }

private:
    void remember(const char* name)
    {
        m_saved.emplace_back(name,
                             qEnvironmentVariableIsSet(name) ? std::optional<QByteArray>(qgetenv(name)) : std::nullopt);
    }
    std::vector<std::pair<QByteArray, std::optional<QByteArray>>> m_saved;
};

// The program's environment with the real printer (the desktop's default queue, our cupsd's),
// message boxes and file dialogs scripted; the print window registered.
struct PrintProgram {
    test::ScriptedPlatform platform;
    test::FakeDesktop desktop;
    QtPrinter printer;
    TickQueue ticks;
    TickGate gate;
    RandomSource random;
    WindowRegistry registry{ticks};
    const Services services{
        platform.boxes, platform.dialogs, printer, desktop.screen, desktop.clipboard, registry, ticks, gate, random};

    PrintProgram() { registerPrintWindow(services); }
    ~PrintProgram() { registry.reset(); }
    zvtdy& printWindow() { return registry.as<ZvtdyForm>(WindowKind::zvtdy).window(); }
};

bool nearColour(QRgb a, QRgb b, int tolerance)
{
    return std::abs(qRed(a) - qRed(b)) <= tolerance && std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
           std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

// Points this process (and what it starts) at our scheduler only, with no default destination
// of the user's; `env` restores the environment when it goes. Returns the scheduler's client
// environment, for the tools the test runs itself.
QProcessEnvironment talkToOurCupsOnly(ScopedEnvironment& env, const PrivateCups& cups)
{
    const QProcessEnvironment client = cups.clientEnvironment();
    for (const char* name : {"CUPS_SERVER", "CUPS_SERVERROOT", "HOME"})
        env.set(name, client.value(QString::fromLatin1(name)).toLocal8Bit());
    env.unset("LPDEST");
    env.unset("PRINTER");
    return client;
}

// Prints a 382 x 383 picture from the print window on a queue whose driver reports
// `imageableArea`, and checks that it lands at `printableOrigin` (pixels at 96 dpi) at its own size.
void printsAtTheOriginOfThePrintableArea(const QByteArray& imageableArea, QPoint printableOrigin)
{
    PrivateCups cups(imageableArea);
    const QString failure = cups.start();
    ASSERT_TRUE(failure.isEmpty()) << failure.toStdString();

    // The program's process talks to our scheduler only, before anything asked CUPS anything.
    ScopedEnvironment env;
    const QProcessEnvironment client = talkToOurCupsOnly(env, cups);

    // 382 x 383 pixels, one colour, with a marked top-left corner that shows any turn or flip.
    constexpr QRgb kBody = qRgb(20, 90, 160);
    constexpr QRgb kCorner = qRgb(250, 200, 0);
    QImage picture(382, 383, QImage::Format_RGB32);
    picture.fill(kBody);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x)
            picture.setPixel(x, y, kCorner);
    QTemporaryDir pictures;
    ASSERT_TRUE(pictures.isValid());
    const QString file = pictures.filePath(QStringLiteral("picture.bmp"));
    ASSERT_TRUE(picture.save(file, "BMP"));

    {
        PrintProgram program;
        zvtdy& window = program.printWindow();
        program.platform.dialogs.answers = {file};
        window.Command4_Click();
        ASSERT_EQ(window.Picture1->picture().size(), QSize(382, 383));
        ASSERT_TRUE(program.printer.hasPrinter());
        window.Command2_Click();
        EXPECT_TRUE(program.platform.boxes.shown.empty());
    }

    // The job is done when the scheduler has no job left and cups-pdf has put its PDF down.
    QElapsedTimer clock;
    clock.start();
    QStringList pdfs;
    for (;;) {
        pdfs = QDir(cups.outDir()).entryList({QStringLiteral("*.pdf")}, QDir::Files);
        if (!pdfs.isEmpty() && cups.pendingJobs().isEmpty())
            break;
        ASSERT_LT(clock.elapsed(), kJobMs) << "no PDF came out; jobs: " << cups.pendingJobs().toStdString() << "\n"
                                           << cups.log().toStdString();
        QThread::msleep(100);
    }
    ASSERT_EQ(pdfs.size(), 1) << "one press, one document";
    const QString pdf = QDir(cups.outDir()).filePath(pdfs.front());

    const ToolRun info = runTool(QStringLiteral("pdfinfo"), {pdf}, client);
    ASSERT_EQ(info.exitCode, 0) << info.out.toStdString();
    EXPECT_TRUE(info.out.contains(QRegularExpression(QStringLiteral("Pages:\\s+1\\n")))) << info.out.toStdString();

    const QString prefix = QDir(cups.outDir()).filePath(QStringLiteral("page"));
    const ToolRun render =
        runTool(QStringLiteral("pdftoppm"),
                {QStringLiteral("-r"), QStringLiteral("96"), QStringLiteral("-png"), pdf, prefix}, client);
    ASSERT_EQ(render.exitCode, 0) << render.out.toStdString();
    const QImage page = QImage(prefix + QStringLiteral("-1.png")).convertToFormat(QImage::Format_RGB32);
    ASSERT_FALSE(page.isNull());
    EXPECT_NEAR(page.width(), 794, 1); // A4 at 96 dpi
    EXPECT_NEAR(page.height(), 1123, 1);

    // Everything that is not paper white is the picture.
    QRect inked;
    for (int y = 0; y < page.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(page.constScanLine(y));
        for (int x = 0; x < page.width(); ++x)
            if (!nearColour(row[x], qRgb(255, 255, 255), 24))
                inked |= QRect(x, y, 1, 1);
    }
    ASSERT_FALSE(inked.isEmpty()) << "the page is blank";
    EXPECT_NEAR(inked.left(), printableOrigin.x(), 1);
    EXPECT_NEAR(inked.top(), printableOrigin.y(), 1);
    EXPECT_NEAR(inked.width(), 382, 1);
    EXPECT_NEAR(inked.height(), 383, 1);
    EXPECT_TRUE(nearColour(page.pixel(inked.left() + 8, inked.top() + 8), kCorner, 40));
    EXPECT_TRUE(nearColour(page.pixel(inked.center()), kBody, 40));
    EXPECT_TRUE(nearColour(page.pixel(inked.right() - 8, inked.bottom() - 8), kBody, 40));
    EXPECT_TRUE(nearColour(page.pixel(inked.right() - 8, inked.top() + 8), kBody, 40));
}

// The same pattern saved on an ordinary screen (857 pixels at 96 dpi) and on a screen of ratio
// 2 (1714 pixels at 192 dpi): both open in the print window at the canvas's size and go to the
// page at the same physical size, the finer one with all its pixels.
void finerPatternsPrintAtTheSizeOfTheOrdinaryOne()
{
    PrivateCups cups("0 0 595 842");
    const QString failure = cups.start();
    ASSERT_TRUE(failure.isEmpty()) << failure.toStdString();
    ScopedEnvironment env;
    const QProcessEnvironment client = talkToOurCupsOnly(env, cups);

    QTemporaryDir pictures;
    ASSERT_TRUE(pictures.isValid());
    struct Saved {
        int side;
        int dpm; // as a designer canvas records 96 and 192 dpi
        int ppi;
    };
    const Saved saved[] = {{857, 3780, 96}, {1714, 7559, 192}};
    for (const Saved& k : saved) {
        QImage picture(k.side, k.side, QImage::Format_RGB32);
        picture.fill(qRgb(20, 90, 160));
        picture.setDotsPerMeterX(k.dpm);
        picture.setDotsPerMeterY(k.dpm);
        const QString file = pictures.filePath(QStringLiteral("pattern-%1.bmp").arg(k.side));
        ASSERT_TRUE(picture.save(file, "BMP"));

        const QStringList before = QDir(cups.outDir()).entryList({QStringLiteral("*.pdf")}, QDir::Files);
        {
            PrintProgram program;
            zvtdy& window = program.printWindow();
            program.platform.dialogs.answers = {file};
            window.Command4_Click();
            ASSERT_EQ(window.Picture1->picture().size(), QSize(k.side, k.side));
            EXPECT_EQ(window.Picture1->interior().size(), QSize(857, 857)) << k.side;
            window.Command2_Click();
        }

        QElapsedTimer clock;
        clock.start();
        QStringList pdfs;
        for (;;) {
            pdfs = QDir(cups.outDir()).entryList({QStringLiteral("*.pdf")}, QDir::Files);
            for (const QString& old : before)
                pdfs.removeAll(old);
            if (!pdfs.isEmpty() && cups.pendingJobs().isEmpty())
                break;
            ASSERT_LT(clock.elapsed(), kJobMs) << "no PDF came out; jobs: " << cups.pendingJobs().toStdString();
            QThread::msleep(100);
        }
        ASSERT_EQ(pdfs.size(), 1);
        // The picture's pixels and the density they were put on the page at.
        const ToolRun list = runTool(QStringLiteral("pdfimages"),
                                     {QStringLiteral("-list"), QDir(cups.outDir()).filePath(pdfs.front())}, client);
        ASSERT_EQ(list.exitCode, 0) << list.out.toStdString();
        const QStringList lines = list.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        ASSERT_GE(lines.size(), 3) << list.out.toStdString();
        const QStringList f = lines[2].simplified().split(QLatin1Char(' '));
        ASSERT_GE(f.size(), 14) << list.out.toStdString();
        EXPECT_EQ(f[3].toInt(), k.side) << list.out.toStdString();
        EXPECT_EQ(f[4].toInt(), k.side) << list.out.toStdString();
        // x-ppi, y-ppi: the side in inches is 857 / 96 either way.
        EXPECT_NEAR(f[12].toDouble(), k.ppi, 1) << list.out.toStdString();
        EXPECT_NEAR(f[13].toDouble(), k.ppi, 1) << list.out.toStdString();
    }
}

TEST(PrintEndToEnd, APatternSavedOnAHiDpiScreenPrintsAtThePhysicalSizeOfTheOrdinaryOne)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root: the test starts its own cupsd and writes its queue's cups-pdf settings";
    finerPatternsPrintAtTheSizeOfTheOrdinaryOne();
}

TEST(PrintEndToEnd, PictureLandsAtTheTopLeftOfThePrintableAreaAtItsOwnSize)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root: the test starts its own cupsd and writes its queue's cups-pdf settings";
    // Margins of our own, so that the printable area does not start at the page corner: 18 pt
    // left, 36 pt top (842 - 806). At 96 dpi that is 24 and 48 pixels.
    printsAtTheOriginOfThePrintableArea("18 36 577 806", {24, 48});
}

TEST(PrintEndToEnd, OnAPrinterThatPrintsTheWholePageThePictureStartsAtTheCorner)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root: the test starts its own cupsd and writes its queue's cups-pdf settings";
    // No margin at all: no margin of Qt's own either.
    printsAtTheOriginOfThePrintableArea("0 0 595 842", {0, 0});
}

} // namespace
