// Holds the picture reader against Qt's own reader over many files: for each file named on the
// command line (or listed, one a line, on standard input), whether LoadPicture accepts it,
// whether Qt's reader decodes it within the same limit, whether the two pictures agree pixel for
// pixel, and how long the header walk took. Not a test of its own: run it over the pictures a
// machine has, e.g.
//   find /usr/share -type f \( -iname '*.png' -o -iname '*.bmp' -o ... \) | zovex-picture-sweep
#include "load_picture.h"

#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QImageReader>
#include <QTextStream>

#include <cstdio>
#include <map>

using namespace zovex;

namespace {

QImage qtDecoded(const QString& path)
{
    const int previous = QImageReader::allocationLimit();
    QImageReader::setAllocationLimit(int(kLargestPictureBytes >> 20));
    QImageReader reader(path);
    QImage image = reader.read();
    QImageReader::setAllocationLimit(previous);
    if (!image.isNull() && qint64(image.width()) * image.height() > kLargestPicturePixels)
        return {};
    return image;
}

bool samePixels(const QImage& a, const QImage& b)
{
    return a.size() == b.size() && a.convertToFormat(QImage::Format_ARGB32) == b.convertToFormat(QImage::Format_ARGB32);
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_LOGGING_RULES", "qt.gui.imageio.warning=false");
    QGuiApplication app(argc, argv);
    QStringList paths;
    for (int i = 1; i < argc; ++i)
        paths << QFile::decodeName(argv[i]);
    if (paths.isEmpty()) {
        QTextStream in(stdin);
        while (!in.atEnd())
            paths << in.readLine();
    }
    std::map<QString, int> counts;
    qint64 slowestNs = 0;
    QString slowest;
    for (const QString& path : paths) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            continue;
        QElapsedTimer t;
        t.start();
        const PictureClaim claim = examinePicture(file);
        const qint64 ns = t.nsecsElapsed();
        if (ns > slowestNs) {
            slowestNs = ns;
            slowest = path;
        }
        const QImage ours = LoadPicture(path);
        const QImage qt = qtDecoded(path);
        QString verdict;
        if (ours.isNull() && qt.isNull())
            verdict = QStringLiteral("both refuse");
        else if (ours.isNull())
            verdict = QStringLiteral("refused, Qt decodes");
        else if (qt.isNull())
            verdict = QStringLiteral("accepted, Qt refuses");
        else
            verdict = samePixels(ours, qt) ? QStringLiteral("both decode, same pixels")
                                           : QStringLiteral("both decode, pixels differ");
        ++counts[verdict];
        if (!verdict.startsWith(QLatin1String("both refuse")) && !verdict.endsWith(QLatin1String("same pixels")))
            std::printf("%s\t%s\t%s\n", qPrintable(verdict), claim.format.constData(), qPrintable(path));
    }
    for (const auto& [verdict, n] : counts)
        std::printf("%6d  %s\n", n, qPrintable(verdict));
    std::printf("slowest header walk: %.2f ms (%s)\n", double(slowestNs) / 1e6, qPrintable(slowest));
    return 0;
}
