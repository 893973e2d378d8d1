// The desktop portal's screenshot as the program asks for it, against a bus of the test's own
// (a private dbus-daemon) and a portal written here that answers as the test says: a picture,
// a refusal, an error, silence, a picture of the wrong size, or leaving the bus.
#include "portal_screenshot.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTimer>

#include <gtest/gtest.h>

#include <optional>

#include <unistd.h>

using namespace zovex;

namespace {

enum class Answer { Picture, PictureFirst, Refuse, Fail, ErrorReply, Silent, Vanish };

// org.freedesktop.portal.Request at the path of one request: records Close.
class FakeRequest final : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Request")
public:
    int closes = 0;
    std::function<void()> closed;
public slots:
    void Close()
    {
        ++closes;
        if (closed)
            closed();
    }
};

// org.freedesktop.portal.Screenshot on a connection of its own, under the portal's name.
class FakePortal final : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Screenshot")
public:
    explicit FakePortal(const QString& address) : m_bus(QDBusConnection::connectToBus(address, kConnection)) {}
    ~FakePortal() override { leave(); }

    bool start()
    {
        return m_bus.isConnected() && m_bus.registerObject(kPortalPath, this, QDBusConnection::ExportAllSlots) &&
               m_bus.registerService(kPortalService);
    }
    // Leaves the bus: the portal's name goes with the connection.
    void leave()
    {
        if (m_left)
            return;
        m_left = true;
        m_bus.unregisterService(kPortalService);
        QDBusConnection::disconnectFromBus(kConnection);
    }

    Answer answer = Answer::Picture;
    QString uri;    // the picture's file, for Picture and PictureFirst
    QString parent; // what the last call asked
    QVariantMap options;
    QString sender;
    int calls = 0;
    FakeRequest request; // registered at the request's path
    std::function<void()> called;

public slots:
    QDBusObjectPath Screenshot(const QString& parentWindow, const QVariantMap& opts)
    {
        ++calls;
        parent = parentWindow;
        options = opts;
        sender = message().service();
        QString who = sender.mid(1);
        who.replace(QLatin1Char('.'), QLatin1Char('_'));
        const QString path = QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2")
                                 .arg(who, opts.value(QStringLiteral("handle_token")).toString());
        m_bus.registerObject(path, &request, QDBusConnection::ExportAllSlots);
        switch (answer) {
        case Answer::PictureFirst:
            // The answer overtakes the reply, as a portal that does not ask may do.
            respond(path, 0);
            break;
        case Answer::Picture:
            later([this, path] { respond(path, 0); });
            break;
        case Answer::Refuse:
            later([this, path] { respond(path, 1); });
            break;
        case Answer::Fail:
            later([this, path] { respond(path, 2); });
            break;
        case Answer::ErrorReply:
            sendErrorReply(QStringLiteral("org.freedesktop.DBus.Error.AccessDenied"), QStringLiteral("not today"));
            break;
        case Answer::Silent:
            break;
        case Answer::Vanish:
            later([this] { leave(); });
            break;
        }
        if (called)
            later(called);
        return QDBusObjectPath(path);
    }

private:
    static constexpr const char* kConnection = "zovex-test-portal";
    void later(std::function<void()> f) { QTimer::singleShot(0, this, std::move(f)); }
    void respond(const QString& path, uint code)
    {
        QDBusMessage response = QDBusMessage::createSignal(path, kRequestInterface, QStringLiteral("Response"));
        QVariantMap results;
        if (code == 0)
            results.insert(QStringLiteral("uri"), uri);
        response << QVariant::fromValue(code) << QVariant(results);
        m_bus.send(response);
    }

    QDBusConnection m_bus;
    bool m_left = false;
};

// A session bus of the test's own, with nothing on it that could be activated.
class PrivateBus {
public:
    QString start()
    {
        const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
        if (daemon.isEmpty())
            return QStringLiteral("dbus-daemon is not installed");
        const QString config = m_dir.filePath(QStringLiteral("bus.conf"));
        QFile f(config);
        if (!f.open(QIODevice::WriteOnly))
            return QStringLiteral("cannot write the bus configuration");
        f.write(QStringLiteral("<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
                               " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                               "<busconfig><type>session</type><listen>unix:path=%1</listen>"
                               "<auth>EXTERNAL</auth><policy context=\"default\"><allow send_destination=\"*\"/>"
                               "<allow receive_sender=\"*\"/><allow own=\"*\"/></policy></busconfig>\n")
                    .arg(m_dir.filePath(QStringLiteral("bus")))
                    .toUtf8());
        f.close();
        m_daemon.start(daemon, {QStringLiteral("--config-file=") + config, QStringLiteral("--nofork"),
                                QStringLiteral("--nopidfile"), QStringLiteral("--print-address=1")});
        if (!m_daemon.waitForStarted(10000))
            return QStringLiteral("dbus-daemon did not start");
        QByteArray out;
        while (!out.contains('\n')) {
            if (!m_daemon.waitForReadyRead(10000))
                return QStringLiteral("dbus-daemon did not give its address");
            out += m_daemon.readAllStandardOutput();
        }
        m_address = QString::fromUtf8(out.trimmed());
        return {};
    }
    ~PrivateBus()
    {
        m_daemon.terminate();
        m_daemon.waitForFinished(5000);
    }
    const QString& address() const { return m_address; }

private:
    QTemporaryDir m_dir;
    QProcess m_daemon;
    QString m_address;
};

QImage pattern(int w, int h)
{
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y, qRgb(x * 3, y * 5, (x ^ y) & 0xFF));
    return img;
}

// Runs the event loop until `done` holds, or until a generous bound when the answer never
// comes (the test then fails instead of hanging).
template <typename Done>
bool spinUntil(Done done)
{
    QEventLoop loop;
    QTimer bound;
    bound.setSingleShot(true);
    QObject::connect(&bound, &QTimer::timeout, &loop, &QEventLoop::quit);
    bound.start(15000);
    QTimer poll; // hands control back to the loop between deliveries
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    poll.start(0);
    if (!done())
        loop.exec();
    return done();
}

class PortalScreenshotTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const QString why = bus.start();
        if (!why.isEmpty())
            GTEST_SKIP() << why.toStdString();
        client = QDBusConnection::connectToBus(bus.address(), QStringLiteral("zovex-test-client"));
        ASSERT_TRUE(client.isConnected());
        portal = std::make_unique<FakePortal>(bus.address());
    }
    void TearDown() override
    {
        request.reset();
        portal.reset();
        QDBusConnection::disconnectFromBus(QStringLiteral("zovex-test-client"));
    }

    void ask(std::vector<ScreenLayout> screens = {{QRect(0, 0, 80, 60), 1.0}})
    {
        result.reset();
        request = std::make_unique<PortalScreenshot>(client, std::move(screens),
                                                     [this](ScreenShot shot) { result = std::move(shot); });
    }
    bool answered()
    {
        return spinUntil([this] { return result.has_value(); });
    }

    // A picture file in the temporary folder, as the portal leaves one.
    QString temporaryPicture(const QImage& image)
    {
        QTemporaryFile f(QDir::tempPath() + QStringLiteral("/zovex-portal-XXXXXX.png"));
        f.setAutoRemove(false);
        EXPECT_TRUE(f.open());
        EXPECT_TRUE(image.save(&f, "PNG"));
        f.close();
        leftovers << f.fileName();
        return f.fileName();
    }
    ~PortalScreenshotTest() override
    {
        for (const QString& f : leftovers)
            QFile::remove(f);
    }

    PrivateBus bus;
    QDBusConnection client{QString()};
    std::unique_ptr<FakePortal> portal;
    std::unique_ptr<PortalScreenshot> request;
    std::optional<ScreenShot> result;
    QStringList leftovers;
};

} // namespace

TEST_F(PortalScreenshotTest, APictureOfTheScreenComesBackAndItsTemporaryGoes)
{
    ASSERT_TRUE(portal->start());
    for (Answer way : {Answer::Picture, Answer::PictureFirst}) {
        SCOPED_TRACE(way == Answer::Picture ? "answered after the reply" : "answered before the reply");
        const QImage screen = pattern(80, 60);
        const QString file = temporaryPicture(screen);
        portal->answer = way;
        portal->uri = QUrl::fromLocalFile(file).toString();
        ask();
        EXPECT_TRUE(request->isWaiting());
        EXPECT_FALSE(result.has_value()) << "never inside the call";
        ASSERT_TRUE(answered());
        ASSERT_TRUE(result->ok()) << result->detail.toStdString();
        ASSERT_EQ(result->screens.size(), 1u);
        EXPECT_EQ(result->screens[0].pixels, screen);
        EXPECT_EQ(result->screens[0].origin, QPoint(0, 0));
        EXPECT_EQ(result->screens[0].ratio, 1.0);
        EXPECT_FALSE(QFile::exists(file)) << "the portal's temporary is removed once read";
        EXPECT_FALSE(request->isWaiting());
        EXPECT_FALSE(request->answerTimer().isActive());
    }
    // What was asked: no parent window, not interactive, on the path the portal answers on.
    EXPECT_EQ(portal->parent, QString());
    EXPECT_EQ(portal->options.value(QStringLiteral("interactive")), QVariant(false));
    const QString token = portal->options.value(QStringLiteral("handle_token")).toString();
    EXPECT_FALSE(token.isEmpty());
    EXPECT_EQ(request->requestPath(), portalRequestPath(client, token));
    EXPECT_EQ(portal->sender, client.baseService());
}

TEST_F(PortalScreenshotTest, EveryWayOfNotGettingThePictureIsAFailureWithItsReason)
{
    ASSERT_TRUE(portal->start());
    struct Case {
        const char* what;
        Answer answer;
        QSize picture; // of the file named in a successful answer
        ScreenFailure expected;
    };
    const Case cases[] = {
        {"the user refuses", Answer::Refuse, {}, ScreenFailure::Refused},
        {"the portal fails", Answer::Fail, {}, ScreenFailure::PortalFailed},
        {"the call is refused", Answer::ErrorReply, {}, ScreenFailure::PortalFailed},
        {"a picture smaller than the screen", Answer::Picture, {40, 30}, ScreenFailure::WrongSize},
        {"a picture of another shape", Answer::Picture, {80, 80}, ScreenFailure::WrongSize},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        portal->answer = c.answer;
        if (!c.picture.isEmpty())
            portal->uri =
                QUrl::fromLocalFile(temporaryPicture(pattern(c.picture.width(), c.picture.height()))).toString();
        ask();
        ASSERT_TRUE(answered());
        EXPECT_EQ(result->failure, c.expected);
        EXPECT_TRUE(result->screens.empty());
    }
}

TEST_F(PortalScreenshotTest, NoPortalOnTheBus)
{
    ask();
    ASSERT_TRUE(answered());
    EXPECT_EQ(result->failure, ScreenFailure::NoPortal);
    EXPECT_TRUE(result->detail.contains(QStringLiteral("ServiceUnknown"))) << result->detail.toStdString();

    // No session bus at all.
    result.reset();
    request = std::make_unique<PortalScreenshot>(QDBusConnection(QStringLiteral("no-such-connection")),
                                                 std::vector<ScreenLayout>{{QRect(0, 0, 80, 60), 1.0}},
                                                 [this](ScreenShot shot) { result = std::move(shot); });
    ASSERT_TRUE(answered());
    EXPECT_EQ(result->failure, ScreenFailure::NoPortal);
}

TEST_F(PortalScreenshotTest, APortalThatLeavesBeforeAnsweringIsGone)
{
    ASSERT_TRUE(portal->start());
    portal->answer = Answer::Vanish;
    ask();
    ASSERT_TRUE(answered());
    EXPECT_EQ(result->failure, ScreenFailure::PortalGone);
}

TEST_F(PortalScreenshotTest, NoAnswerInTimeClosesTheRequest)
{
    ASSERT_TRUE(portal->start());
    portal->answer = Answer::Silent;
    ask();
    ASSERT_TRUE(spinUntil([this] { return portal->calls == 1; }));
    EXPECT_TRUE(request->answerTimer().isActive());
    EXPECT_EQ(request->answerTimer().interval(), 20000);
    EXPECT_TRUE(request->isWaiting());
    EXPECT_FALSE(result.has_value());

    request->timeOut(); // the end of the time allowed, as its timer would call it
    ASSERT_TRUE(answered());
    EXPECT_EQ(result->failure, ScreenFailure::NoAnswer);
    ASSERT_TRUE(spinUntil([this] { return portal->request.closes == 1; })) << "the desktop stops asking";
}

TEST_F(PortalScreenshotTest, AnAbandonedRequestIsClosedAndNeverAnswers)
{
    ASSERT_TRUE(portal->start());
    portal->answer = Answer::Silent;
    bool ran = false;
    request = std::make_unique<PortalScreenshot>(client, std::vector<ScreenLayout>{{QRect(0, 0, 80, 60), 1.0}},
                                                 [&](ScreenShot) { ran = true; });
    ASSERT_TRUE(spinUntil([this] { return portal->calls == 1; }));
    request.reset();
    ASSERT_TRUE(spinUntil([this] { return portal->request.closes == 1; }));
    EXPECT_FALSE(ran);
}

TEST(SplitDesktopImage, EachScreenGetsItsPartAtThePicturesScale)
{
    // Two screens side by side, the second smaller and lower: the picture covers their bounds.
    const std::vector<ScreenLayout> screens{{QRect(0, 0, 80, 60), 1.0}, {QRect(80, 20, 40, 30), 2.0}};
    for (int scale : {1, 2}) {
        SCOPED_TRACE(scale);
        const QImage desktop = pattern(120 * scale, 60 * scale);
        const ScreenShot shot = splitDesktopImage(desktop, screens);
        ASSERT_TRUE(shot.ok()) << shot.detail.toStdString();
        ASSERT_EQ(shot.screens.size(), 2u);
        EXPECT_EQ(shot.screens[0].pixels, desktop.copy(0, 0, 80 * scale, 60 * scale));
        EXPECT_EQ(shot.screens[0].origin, QPoint(0, 0));
        EXPECT_EQ(shot.screens[1].pixels, desktop.copy(80 * scale, 20 * scale, 40 * scale, 30 * scale));
        EXPECT_EQ(shot.screens[1].origin, QPoint(80, 20));
        for (const ScreenImage& s : shot.screens) {
            EXPECT_EQ(s.ratio, scale);
            EXPECT_EQ(s.pixels.format(), QImage::Format_RGB32);
        }
        EXPECT_EQ(shot.screens[1].logicalGeometry(), QRect(80, 20, 40, 30));
    }
    // A fractional scale: 1.5 picture pixels to a logical one.
    const ScreenShot frac = splitDesktopImage(pattern(180, 90), screens);
    ASSERT_TRUE(frac.ok());
    EXPECT_EQ(frac.screens[1].pixels.size(), QSize(60, 45));
    EXPECT_EQ(frac.screens[1].ratio, 1.5);
}

TEST(SplitDesktopImage, APictureNotOfTheScreensSizeIsRefused)
{
    const std::vector<ScreenLayout> one{{QRect(0, 0, 80, 60), 2.0}};
    const QSize sizes[] = {{79, 60}, {40, 30}, {80, 70}, {160, 100}, {800, 600}, {0, 0}};
    for (QSize s : sizes) {
        SCOPED_TRACE(testing::Message() << s.width() << "x" << s.height());
        const ScreenShot shot = splitDesktopImage(s.isEmpty() ? QImage() : pattern(s.width(), s.height()), one);
        EXPECT_EQ(shot.failure, ScreenFailure::WrongSize);
        EXPECT_TRUE(shot.screens.empty());
        EXPECT_TRUE(shot.detail.contains(QStringLiteral("160x120"))) << shot.detail.toStdString();
    }
    EXPECT_TRUE(splitDesktopImage(pattern(160, 120), one).ok());
    EXPECT_TRUE(splitDesktopImage(pattern(80, 60), one).ok()) << "a picture at the logical size is the screen";
}

TEST(ReadPortalPicture, TheFileIsReadWithCareAndOnlyThePortalsTemporaryRemoved)
{
    const QImage picture = pattern(30, 20);
    const QDateTime sent = QDateTime::currentDateTimeUtc();
    QTemporaryDir kept; // a folder like the user's Pictures
    const auto write = [&](const QString& path, const QByteArray& bytes = {}) {
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        if (bytes.isEmpty())
            EXPECT_TRUE(picture.save(&f, "PNG"));
        else
            f.write(bytes);
    };
    const QString temp = QDir::tempPath() + QStringLiteral("/zovex-portal-%1").arg(::getpid());
    struct Cleanup {
        QString base;
        ~Cleanup()
        {
            for (const char* s : {".png", ".link", ".bad", ".hard", ".old"})
                QFile::remove(base + QLatin1String(s));
        }
    } cleanup{temp};

    // In the temporary folder, written since the request: read and removed.
    write(temp + QStringLiteral(".png"));
    PortalPicture got = readPortalPicture(QUrl::fromLocalFile(temp + QStringLiteral(".png")), 1 << 20, sent);
    EXPECT_EQ(got.image.convertToFormat(QImage::Format_RGB32), picture);
    EXPECT_FALSE(QFile::exists(temp + QStringLiteral(".png")));

    // Among the user's pictures: read and left.
    write(kept.filePath(QStringLiteral("Screenshot.png")));
    got = readPortalPicture(QUrl::fromLocalFile(kept.filePath(QStringLiteral("Screenshot.png"))), 1 << 20, sent);
    EXPECT_FALSE(got.image.isNull());
    EXPECT_TRUE(QFile::exists(kept.filePath(QStringLiteral("Screenshot.png"))));

    // In the temporary folder but older than the request, or with a second name: left.
    write(temp + QStringLiteral(".old"));
    got = readPortalPicture(QUrl::fromLocalFile(temp + QStringLiteral(".old")), 1 << 20, sent.addSecs(3600));
    EXPECT_FALSE(got.image.isNull());
    EXPECT_TRUE(QFile::exists(temp + QStringLiteral(".old")));
    write(temp + QStringLiteral(".png"));
    ASSERT_EQ(::link(QFile::encodeName(temp + QStringLiteral(".png")).constData(),
                     QFile::encodeName(temp + QStringLiteral(".hard")).constData()),
              0);
    got = readPortalPicture(QUrl::fromLocalFile(temp + QStringLiteral(".png")), 1 << 20, sent);
    EXPECT_FALSE(got.image.isNull());
    EXPECT_TRUE(QFile::exists(temp + QStringLiteral(".png")));

    struct Refused {
        const char* what;
        QUrl uri;
        qint64 largest;
    };
    write(temp + QStringLiteral(".bad"), QByteArray("\x89PNG\r\n\x1a\nthis is no picture", 26));
    ASSERT_TRUE(QFile::link(kept.filePath(QStringLiteral("Screenshot.png")), temp + QStringLiteral(".link")));
    const Refused refused[] = {
        {"not a picture", QUrl::fromLocalFile(temp + QStringLiteral(".bad")), 1 << 20},
        {"a link", QUrl::fromLocalFile(temp + QStringLiteral(".link")), 1 << 20},
        {"larger than allowed", QUrl::fromLocalFile(kept.filePath(QStringLiteral("Screenshot.png"))), 30 * 20 * 4 - 1},
        {"missing", QUrl::fromLocalFile(kept.filePath(QStringLiteral("none.png"))), 1 << 20},
        {"a folder", QUrl::fromLocalFile(kept.path()), 1 << 20},
        {"not a local file", QUrl(QStringLiteral("https://127.0.0.1/out.png")), 1 << 20},
    };
    for (const Refused& r : refused) {
        SCOPED_TRACE(r.what);
        got = readPortalPicture(r.uri, r.largest, sent);
        EXPECT_TRUE(got.image.isNull());
        EXPECT_EQ(got.failure, ScreenFailure::UnreadableFile);
        EXPECT_FALSE(got.detail.isEmpty());
    }
    EXPECT_TRUE(QFile::exists(kept.filePath(QStringLiteral("Screenshot.png")))) << "a link's target is never removed";
    EXPECT_TRUE(QFileInfo(temp + QStringLiteral(".link")).isSymLink());
}

TEST(IsAllBlack, OnlyAPictureBlackInEveryPixelIs)
{
    QImage black(64, 48, QImage::Format_RGB32);
    black.fill(0xFF000000u);
    EXPECT_TRUE(isAllBlack(black));
    QImage transparentBlack(64, 48, QImage::Format_ARGB32);
    transparentBlack.fill(0u);
    EXPECT_TRUE(isAllBlack(transparentBlack)) << "black whatever its alpha";
    QImage lastPixel = black;
    lastPixel.setPixel(63, 47, qRgb(0, 0, 1));
    EXPECT_FALSE(isAllBlack(lastPixel));
    QImage grey(8, 8, QImage::Format_Grayscale8);
    grey.fill(0);
    EXPECT_TRUE(isAllBlack(grey));
    grey.setPixel(7, 7, qRgb(255, 255, 255));
    EXPECT_FALSE(isAllBlack(grey));
    EXPECT_FALSE(isAllBlack(QImage())) << "no picture is not a black one";
}

#include "portal_screenshot_test.moc"
