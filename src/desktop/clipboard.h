// The system clipboard behind a small interface, so that the capture runs in tests with an
// in-memory clipboard. The Qt one hands an image to the desktop's clipboard, where other X11
// programs read it as image/png or image/bmp (among other picture formats).
#pragma once

#include <QImage>

namespace zovex {

class Clipboard {
public:
    virtual ~Clipboard() = default;
    // Replaces the clipboard's content with the picture.
    virtual void setImage(const QImage& image) = 0;
    // The picture now on the clipboard; a null image when it holds none.
    virtual QImage image() const = 0;
};

class QtClipboard final : public Clipboard {
public:
    void setImage(const QImage& image) override;
    QImage image() const override;
};

// The program's clipboard: the Qt one unless a test installed another.
Clipboard& systemClipboard();
void setSystemClipboard(Clipboard* clipboard); // nullptr restores the Qt one

} // namespace zovex
