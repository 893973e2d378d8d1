// The screen read through the desktop portal (org.freedesktop.portal.Screenshot on the session
// bus), as a Wayland desktop allows it: one request, non-interactive, whose answer comes later
// as the Response signal of a request object, after the desktop has perhaps asked the user
// ("Allow Applications to Take Screenshots?").
//
// Contract: PortalScreenshot sends its request when made and never blocks the event loop; its
// callback runs exactly once, from the event loop, with one image per screen or the reason
// there is none (no portal, refused, an error, no answer within kAnswerTimeoutMs, the portal
// gone before answering, a picture that cannot be read or is not the screens' size); destroying
// it first abandons the request (the portal is told to close it) and the callback never runs.
// The answer is awaited on the request path the portal will use, subscribed to before the call,
// so an answer that overtakes the call's reply is not lost; only the portal's own answer counts.
//
// The picture file the portal names is read like any file from outside: through the program's
// picture reader with a size limit, refusing links and files of other users. It is removed
// afterwards only where it is plainly the portal's temporary: a file of this user, with one
// name, in the temporary folder or the runtime folder, written since the request was sent. A
// file the desktop keeps among the user's pictures (GNOME saves its screenshots there) is left.
#pragma once

#include "screen.h"

#include <QDBusConnection>
#include <QDateTime>
#include <QImage>
#include <QObject>
#include <QTimer>
#include <QUrl>
#include <QVariantMap>

#include <functional>
#include <vector>

class QDBusPendingCallWatcher;
class QDBusServiceWatcher;

namespace zovex {

inline const QString kPortalService = QStringLiteral("org.freedesktop.portal.Desktop");
inline const QString kPortalPath = QStringLiteral("/org/freedesktop/portal/desktop");
inline const QString kScreenshotInterface = QStringLiteral("org.freedesktop.portal.Screenshot");
inline const QString kRequestInterface = QStringLiteral("org.freedesktop.portal.Request");

// One screen of the desktop: its place in logical pixels and Qt's device pixel ratio for it.
struct ScreenLayout {
    QRect geometry;
    double ratio = 1.0;
};

// The largest number of picture pixels to a logical pixel the portal's picture may have.
inline constexpr double kLargestPortalScale = 4.0;

// Cuts the portal's picture of the whole desktop into one image per screen. The picture covers
// the bounding rectangle of the screens at one scale s (picture pixels per logical pixel, the
// same across and down, 1 <= s <= kLargestPortalScale): each screen's part is cut by its
// geometry at that scale, and its image keeps s as its ratio, so the block the user selects is
// the portal's own pixels. Any other size is WrongSize (the detail gives both sizes).
ScreenShot splitDesktopImage(QImage desktop, const std::vector<ScreenLayout>& screens);

// The picture the portal wrote, read from `uri` (a file:// URL) with at most `largestBytes` of
// decoded pixels, and removed when it is the portal's temporary (see above) written no earlier
// than `sentAt`. The image is null and `failure` says why when it cannot be read.
struct PortalPicture {
    QImage image;
    ScreenFailure failure = ScreenFailure::None;
    QString detail;
};
PortalPicture readPortalPicture(const QUrl& uri, qint64 largestBytes, const QDateTime& sentAt);

// The request object path the portal uses for a request of `bus` with `token`.
QString portalRequestPath(const QDBusConnection& bus, const QString& token);

class PortalScreenshot final : public QObject, public PendingScreenShot {
    Q_OBJECT
public:
    using Done = std::function<void(ScreenShot)>;
    // Long enough for the user to read and answer the desktop's question.
    static constexpr int kAnswerTimeoutMs = 20000;

    PortalScreenshot(QDBusConnection bus, std::vector<ScreenLayout> screens, Done done);
    ~PortalScreenshot() override;
    PortalScreenshot(const PortalScreenshot&) = delete;
    PortalScreenshot& operator=(const PortalScreenshot&) = delete;

    bool isWaiting() const { return m_waiting; }
    // Where the answer is awaited.
    const QString& requestPath() const { return m_path; }
    // Runs out the time allowed for the answer, at the end of kAnswerTimeoutMs.
    const QTimer& answerTimer() const { return m_timer; }
    void timeOut();

private slots:
    void response(uint code, const QVariantMap& results);
    void portalGone();

private:
    void called(QDBusPendingCallWatcher* call);
    void listenOn(const QString& path);
    void closeRequest();
    void finish(ScreenShot shot);

    QDBusConnection m_bus;
    std::vector<ScreenLayout> m_screens;
    Done m_done;
    QString m_path;
    QDateTime m_sentAt;
    QTimer m_timer;
    QDBusServiceWatcher* m_watcher = nullptr;
    bool m_waiting = false;
};

} // namespace zovex
