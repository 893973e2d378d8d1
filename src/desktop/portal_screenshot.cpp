#include "portal_screenshot.h"

#include "file_error.h"
#include "load_picture.h"
#include "regular_file.h"

#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <algorithm>
#include <cmath>

#include <sys/stat.h>
#include <unistd.h>

namespace zovex {

namespace {

QString sizeText(QSize size) { return QStringLiteral("%1x%2").arg(size.width()).arg(size.height()); }

QRect boundsOf(const std::vector<ScreenLayout>& screens)
{
    QRect bounds;
    for (const ScreenLayout& s : screens)
        bounds |= s.geometry;
    return bounds;
}

// The folders where a file is a temporary of the session's programs.
bool inTemporaryFolder(const QString& folder)
{
    const QString here = QFileInfo(folder).canonicalFilePath();
    if (here.isEmpty())
        return false;
    QStringList temporary{QDir::tempPath(), QStringLiteral("/tmp")};
    if (!qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR"))
        temporary << qEnvironmentVariable("XDG_RUNTIME_DIR");
    return std::any_of(temporary.begin(), temporary.end(),
                       [&](const QString& t) { return QFileInfo(t).canonicalFilePath() == here; });
}

} // namespace

ScreenShot splitDesktopImage(QImage desktop, const std::vector<ScreenLayout>& screens)
{
    const QRect bounds = boundsOf(screens);
    if (screens.empty() || bounds.isEmpty())
        return ScreenShot::failed(ScreenFailure::NoScreen);
    double largestRatio = 1.0;
    for (const ScreenLayout& s : screens)
        largestRatio = std::max(largestRatio, s.ratio);
    const QSize expected(static_cast<int>(std::ceil(bounds.width() * largestRatio)),
                         static_cast<int>(std::ceil(bounds.height() * largestRatio)));
    const auto wrongSize = [&] {
        return ScreenShot::failed(ScreenFailure::WrongSize, QStringLiteral("桌面给出的图像是 %1 像素，屏幕是 %2 像素")
                                                                .arg(sizeText(desktop.size()), sizeText(expected)));
    };
    if (desktop.isNull())
        return wrongSize();
    // One scale across and down; the height may differ by a pixel where the scale is fractional.
    const double scale = static_cast<double>(desktop.width()) / bounds.width();
    if (scale < 1.0 - 1e-9 || scale > kLargestPortalScale ||
        std::abs(std::nearbyint(bounds.height() * scale) - desktop.height()) > 1)
        return wrongSize();

    desktop.setDevicePixelRatio(1.0);
    if (desktop.format() != QImage::Format_RGB32)
        desktop.convertTo(QImage::Format_RGB32);
    const auto edge = [&](int logical, int origin, int limit) {
        return std::clamp(static_cast<int>(std::nearbyint((logical - origin) * scale)), 0, limit);
    };
    ScreenShot shot;
    for (const ScreenLayout& s : screens) {
        const QRect g = s.geometry;
        const int l = edge(g.left(), bounds.left(), desktop.width());
        const int r = edge(g.left() + g.width(), bounds.left(), desktop.width());
        const int t = edge(g.top(), bounds.top(), desktop.height());
        const int b = edge(g.top() + g.height(), bounds.top(), desktop.height());
        if (r <= l || b <= t)
            return wrongSize();
        const QRect part(l, t, r - l, b - t);
        // One screen that is the whole picture keeps the picture itself: no second copy.
        QImage pixels = screens.size() == 1 && part == desktop.rect() ? desktop : desktop.copy(part);
        shot.screens.push_back({std::move(pixels), g.topLeft(), scale});
    }
    return shot;
}

PortalPicture readPortalPicture(const QUrl& uri, qint64 largestBytes, const QDateTime& sentAt)
{
    const auto unreadable = [](const QString& what, const QString& why) {
        return PortalPicture{{}, ScreenFailure::UnreadableFile, QStringLiteral("“%1”%2").arg(what, why)};
    };
    if (!uri.isValid() || !uri.isLocalFile())
        return unreadable(uri.toString(), QStringLiteral("不是本机的文件"));
    const QString path = uri.toLocalFile();
    const QByteArray name = QFile::encodeName(path);
    // Not through a link: the portal names the file it wrote itself.
    const RegularFile opened = openRegularFile(name, LinkRule::Refuse);
    if (opened.fd < 0)
        return unreadable(path, opened.notRegular ? QStringLiteral("不是普通文件")
                                                  : QStringLiteral("无法打开：") + systemErrorNotice(opened.error));
    struct stat st {};
    if (::fstat(opened.fd, &st) != 0 || st.st_uid != ::geteuid()) {
        ::close(opened.fd);
        return unreadable(path, QStringLiteral("不属于当前用户"));
    }
    QImage image;
    {
        QFile file;
        if (file.open(opened.fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
            image = readPicture(file, largestBytes);
        else
            ::close(opened.fd);
    }
    // The portal's temporary goes once read, whatever it held; nothing else is removed. The name
    // must still be the file that was read (same device and inode) when it is removed.
    const qint64 writtenAt = static_cast<qint64>(st.st_mtim.tv_sec);
    const bool fresh = writtenAt + 2 >= sentAt.toSecsSinceEpoch();
    struct stat now {};
    if (fresh && st.st_nlink == 1 && inTemporaryFolder(QFileInfo(path).absolutePath()) &&
        ::lstat(name.constData(), &now) == 0 && now.st_dev == st.st_dev && now.st_ino == st.st_ino)
        ::unlink(name.constData());
    if (image.isNull())
        return unreadable(path, QStringLiteral("不是可读的图像，或者太大"));
    return {std::move(image), ScreenFailure::None, {}};
}

QString portalRequestPath(const QDBusConnection& bus, const QString& token)
{
    // ":1.42" gives "1_42".
    QString sender = bus.baseService();
    if (sender.startsWith(QLatin1Char(':')))
        sender.remove(0, 1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    return QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2").arg(sender, token);
}

PortalScreenshot::PortalScreenshot(QDBusConnection bus, std::vector<ScreenLayout> screens, Done done)
    : m_bus(std::move(bus)), m_screens(std::move(screens)), m_done(std::move(done))
{
    m_waiting = true;
    m_timer.setSingleShot(true);
    m_timer.setInterval(kAnswerTimeoutMs);
    connect(&m_timer, &QTimer::timeout, this, &PortalScreenshot::timeOut);
    if (!m_bus.isConnected()) {
        finish(ScreenShot::failed(ScreenFailure::NoPortal, QStringLiteral("没有会话总线（D-Bus）")));
        return;
    }
    static quint32 requests = 0;
    const QString token = QStringLiteral("zovex%1_%2")
                              .arg(++requests)
                              .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
    // Subscribed before the call: the answer may come before the call's reply does.
    listenOn(portalRequestPath(m_bus, token));
    m_watcher = new QDBusServiceWatcher(kPortalService, m_bus, QDBusServiceWatcher::WatchForUnregistration, this);
    connect(m_watcher, &QDBusServiceWatcher::serviceUnregistered, this, &PortalScreenshot::portalGone);

    QDBusMessage call =
        QDBusMessage::createMethodCall(kPortalService, kPortalPath, kScreenshotInterface, QStringLiteral("Screenshot"));
    QVariantMap options;
    options.insert(QStringLiteral("handle_token"), token);
    options.insert(QStringLiteral("interactive"), false);
    call << QString() << options;
    m_sentAt = QDateTime::currentDateTimeUtc();
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call, kAnswerTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) { called(w); });
    m_timer.start();
}

PortalScreenshot::~PortalScreenshot()
{
    if (m_waiting)
        closeRequest();
    if (!m_path.isEmpty())
        m_bus.disconnect(kPortalService, m_path, kRequestInterface, QStringLiteral("Response"), this,
                         SLOT(response(uint, QVariantMap)));
}

void PortalScreenshot::listenOn(const QString& path)
{
    if (!m_path.isEmpty())
        m_bus.disconnect(kPortalService, m_path, kRequestInterface, QStringLiteral("Response"), this,
                         SLOT(response(uint, QVariantMap)));
    m_path = path;
    m_bus.connect(kPortalService, m_path, kRequestInterface, QStringLiteral("Response"), this,
                  SLOT(response(uint, QVariantMap)));
}

void PortalScreenshot::called(QDBusPendingCallWatcher* call)
{
    call->deleteLater();
    if (!m_waiting)
        return;
    const QDBusPendingReply<QDBusObjectPath> reply = *call;
    if (reply.isError()) {
        const QDBusError error = reply.error();
        switch (error.type()) {
        case QDBusError::ServiceUnknown:
        case QDBusError::UnknownObject:
        case QDBusError::UnknownInterface:
        case QDBusError::UnknownMethod:
            finish(ScreenShot::failed(ScreenFailure::NoPortal, error.name()));
            return;
        case QDBusError::NoReply:
        case QDBusError::Timeout:
        case QDBusError::TimedOut:
            finish(ScreenShot::failed(ScreenFailure::NoAnswer, error.name()));
            return;
        default:
            finish(
                ScreenShot::failed(ScreenFailure::PortalFailed, error.name() + QStringLiteral("：") + error.message()));
            return;
        }
    }
    // Portals older than the request tokens answer on a path of their own choosing.
    const QString handle = reply.value().path();
    if (!handle.isEmpty() && handle != m_path)
        listenOn(handle);
}

void PortalScreenshot::response(uint code, const QVariantMap& results)
{
    if (!m_waiting)
        return;
    switch (code) {
    case 0:
        break;
    case 1:
        finish(ScreenShot::failed(ScreenFailure::Refused));
        return;
    default:
        finish(ScreenShot::failed(ScreenFailure::PortalFailed, QStringLiteral("回答 %1").arg(code)));
        return;
    }
    const QString uri = results.value(QStringLiteral("uri")).toString();
    if (uri.isEmpty()) {
        finish(ScreenShot::failed(ScreenFailure::PortalFailed, QStringLiteral("回答里没有图像")));
        return;
    }
    const QRect bounds = boundsOf(m_screens);
    const qint64 largest =
        std::min<qint64>(kLargestPictureBytes, static_cast<qint64>(bounds.width()) * bounds.height() * 4 *
                                                   kLargestPortalScale * kLargestPortalScale);
    PortalPicture picture = readPortalPicture(QUrl(uri), largest, m_sentAt);
    if (picture.image.isNull()) {
        finish(ScreenShot::failed(picture.failure, picture.detail));
        return;
    }
    finish(splitDesktopImage(std::move(picture.image), m_screens));
}

void PortalScreenshot::portalGone() { finish(ScreenShot::failed(ScreenFailure::PortalGone)); }

void PortalScreenshot::timeOut()
{
    if (!m_waiting)
        return;
    // The desktop may still be asking the user: the question goes away with the request.
    closeRequest();
    finish(ScreenShot::failed(ScreenFailure::NoAnswer, QStringLiteral("%1 秒").arg(kAnswerTimeoutMs / 1000)));
}

void PortalScreenshot::closeRequest()
{
    if (m_path.isEmpty() || !m_bus.isConnected())
        return;
    m_bus.send(QDBusMessage::createMethodCall(kPortalService, m_path, kRequestInterface, QStringLiteral("Close")));
}

void PortalScreenshot::finish(ScreenShot shot)
{
    if (!m_waiting)
        return;
    m_waiting = false;
    m_timer.stop();
    if (m_watcher != nullptr) {
        m_watcher->disconnect(this);
        m_watcher->deleteLater();
        m_watcher = nullptr;
    }
    // From the event loop, never inside a D-Bus delivery: the caller may destroy this object
    // in its callback.
    QMetaObject::invokeMethod(
        this,
        [this, shot = std::move(shot)]() mutable {
            Done done = std::move(m_done);
            m_done = nullptr;
            if (done)
                done(std::move(shot));
        },
        Qt::QueuedConnection);
}

} // namespace zovex
