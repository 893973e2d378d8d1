#include "control_drag.h"

#include "screen.h"

#include <QMouseEvent>
#include <QPointer>
#include <QWidget>

namespace zovex {

namespace {

// Follows the pointer for one drag, then goes. It lives as a child of the control, so a
// control that is destroyed during the drag takes it along.
class ControlDrag final : public QObject {
public:
    static constexpr const char* kName = "zovex-control-drag";

    ControlDrag(QWidget& control, QPoint pointer)
        : QObject(&control), m_control(&control), m_start(control.pos()), m_grabbed(pointer)
    {
        setObjectName(QLatin1String(kName));
        control.installEventFilter(this);
        control.grabMouse();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched != m_control)
            return false;
        switch (event->type()) {
        case QEvent::MouseMove:
            follow(static_cast<QMouseEvent*>(event));
            return true;
        case QEvent::MouseButtonRelease:
            follow(static_cast<QMouseEvent*>(event));
            finish();
            return true;
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
            return true; // a second button during the move changes nothing
        case QEvent::Hide:
        case QEvent::UngrabMouse:
            finish();
            return false;
        default:
            return false;
        }
    }

private:
    void follow(const QMouseEvent* event)
    {
        m_control->move(dragPosition(m_start, m_grabbed, event->globalPosition().toPoint()));
    }
    void finish()
    {
        if (m_done)
            return;
        m_done = true;
        m_control->removeEventFilter(this);
        if (QWidget::mouseGrabber() == m_control)
            m_control->releaseMouse();
        deleteLater();
    }

    QPointer<QWidget> m_control;
    QPoint m_start;
    QPoint m_grabbed;
    bool m_done = false;
};

} // namespace

void DragControl(Screen& screen, QWidget& control, QPoint pointer)
{
    screen.releaseCapture();
    if (QWidget* grabber = QWidget::mouseGrabber())
        grabber->releaseMouse();
    // One drag at a time: a drag still running on this control ends here.
    for (QObject* earlier :
         control.findChildren<QObject*>(QLatin1String(ControlDrag::kName), Qt::FindDirectChildrenOnly))
        delete earlier;
    new ControlDrag(control, pointer);
}

} // namespace zovex
