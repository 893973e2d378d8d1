// zovex-make-tiles: makes the wallpaper window's stored pictures from the program's own
// patterns, at build time. Each picture is one pattern of the generator, composed on the
// designer canvas from the random source's fixed start and scaled to the picture's size, so
// every build makes the same pictures and the repository holds none of them.
//
// Usage: zovex-make-tiles OUTPUT_FOLDER. Writes default.bmp and tile1 ... tile12 (.jpg, tile 11
// .bmp) whole or not at all; exit 0 on success, 1 with a message on stderr otherwise.
#include "category.h"
#include "generation_tick.h"
#include "image_file.h"
#include "tile_table.h"

#include <QDir>
#include <QGuiApplication>
#include <QImageWriter>
#include <QSaveFile>

#include <cstdio>

namespace {

using namespace zovex;

QImage composePattern(RandomSource& rnd, int categoryNumber, std::int32_t& count)
{
    const Category& cat = category(categoryNumber);
    Canvas canvas(kDesignerCanvasPx, kDesignerCanvasPx, RGB(255, 255, 255));
    runGenerationTick(canvas, rnd, cat, count, defaultTickInputs(cat));
    return canvas.Image();
}

bool writeJpeg(const QImage& image, const QString& path, QString& why)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        why = file.errorString();
        return false;
    }
    QImageWriter writer(&file, "jpeg");
    writer.setQuality(90);
    if (!writer.write(image)) {
        why = writer.errorString();
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        why = file.errorString();
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fputs("usage: zovex-make-tiles OUTPUT_FOLDER\n", stderr);
        return 1;
    }
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QDir out(QString::fromLocal8Bit(argv[1]));
    if (!out.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "zovex-make-tiles: cannot make the folder %s\n", argv[1]);
        return 1;
    }

    RandomSource rnd;
    std::int32_t count = 0;
    for (const StoredTile& tile : kStoredTiles) {
        // Skipping a few patterns between pictures makes neighbouring tiles of one category
        // differ in more than their colours.
        for (int i = 0; i < tile.skip; ++i)
            composePattern(rnd, tile.category, count);
        const QImage pattern = composePattern(rnd, tile.category, count);
        const QImage picture =
            pattern.scaled(QSize(tile.width, tile.height), Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                .convertToFormat(QImage::Format_RGB32);
        const QString path = out.filePath(QString::fromLatin1(tile.fileName));
        QString why;
        FileError bmpWhy;
        const bool ok = tile.format == StoredFormat::Bmp
                            ? writeImageAtomically(picture, path, ImageFormat::Bmp, &bmpWhy)
                            : writeJpeg(picture, path, why);
        if (!ok && tile.format == StoredFormat::Bmp)
            why = QString::fromStdString(bmpWhy.english());
        if (!ok) {
            std::fprintf(stderr, "zovex-make-tiles: cannot write %s: %s\n", qPrintable(path), qPrintable(why));
            return 1;
        }
    }
    return 0;
}
