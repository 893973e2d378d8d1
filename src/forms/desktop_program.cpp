#include "desktop_program.h"

#include <QApplication>
#include <QEvent>
#include <QLibraryInfo>
#include <QPointer>
#include <QTranslator>
#include <QWidget>

#include <memory>
#include <utility>

namespace zovex {

namespace {

const QString kTranslatorName = QStringLiteral("zovex-qtbase-zh_CN");

class LastWindowWatch final : public QObject {
public:
    LastWindowWatch(QApplication& app, std::function<void()> end) : QObject(&app), m_end(std::move(end))
    {
        app.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if ((event->type() == QEvent::Hide && !event->spontaneous()) || event->type() == QEvent::Close) {
            if (watched->isWidgetType() && static_cast<QWidget*>(watched)->isWindow())
                scheduleCheck();
        }
        return false;
    }

private:
    void scheduleCheck()
    {
        if (m_pending)
            return;
        m_pending = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                m_pending = false;
                if (!anyProgramWindowVisible())
                    m_end();
            },
            Qt::QueuedConnection);
    }

    std::function<void()> m_end;
    bool m_pending = false;
};

} // namespace

bool installChineseTranslation(QCoreApplication& app)
{
    if (app.findChild<QTranslator*>(kTranslatorName, Qt::FindDirectChildrenOnly))
        return true;
    auto translator = std::make_unique<QTranslator>();
    translator->setObjectName(kTranslatorName);
    if (!translator->load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
        !QCoreApplication::installTranslator(translator.get()))
        return false;
    translator.release()->setParent(&app); // the application owns it from here on
    return true;
}

void endProgramWhenNoWindowIsVisible(QApplication& app, std::function<void()> end)
{
    // Qt's own rule would end the program while an owned tool window is still on the screen.
    app.setQuitOnLastWindowClosed(false);
    // One watch per application; QPointer lets go of it when the application goes first.
    static QPointer<LastWindowWatch> watch;
    delete watch.data();
    if (!end)
        end = [] { QCoreApplication::quit(); };
    watch = new LastWindowWatch(app, std::move(end)); // owned by the application
}

bool anyProgramWindowVisible()
{
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (!w->isWindow() || !w->isVisible() || !w->testAttribute(Qt::WA_QuitOnClose))
            continue;
        const Qt::WindowType type = w->windowType();
        if (type == Qt::Popup || type == Qt::ToolTip || type == Qt::Desktop)
            continue;
        return true;
    }
    return false;
}

} // namespace zovex
