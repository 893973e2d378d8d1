#include "open_picture.h"

#include "common_dialog.h"
#include "load_picture.h"

namespace zovex {

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
