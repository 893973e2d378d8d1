#include "open_picture.h"

#include "common_dialog.h"
#include "load_picture.h"

#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>

namespace zovex {

namespace {

// Shows the busy cursor over every window of the program while it lives (when a GUI
// application exists). openPicture holds one around every window's load, which may take a
// few seconds for the largest pictures.
class BusyCursor {
public:
    BusyCursor()
    {
        if (qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
            QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
            m_set = true;
        }
    }
    ~BusyCursor()
    {
        if (m_set)
            QGuiApplication::restoreOverrideCursor();
    }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;

private:
    bool m_set = false;
};

} // namespace

QImage openPicture(CommonDialog& dialog, QWidget* parent) noexcept
{
    try {
        dialog.Filter = kOpenPictureFilter;
        dialog.CancelError = true;
        if (!dialog.ShowOpen(parent)) // a cancel throws; this is the same end
            return {};
        // The largest pictures take a few seconds to decode.
        const BusyCursor busy;
        return LoadPicture(dialog.FileName);
    } catch (...) {
        return {};
    }
}

} // namespace zovex
