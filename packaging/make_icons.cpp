// zovex-make-icons OUTDIR NAME: draws the application icon, a ring of star polygons like the
// ones the designer windows compose, as OUTDIR/NAME.svg and as OUTDIR/NAME-48.png and
// OUTDIR/NAME-128.png. The star figures come from the drawing core, so the icon shows the
// program's own geometry; each file is written whole or not at all. Exit status 1 on failure.
#include "star_ring.h"

#include <QBuffer>
#include <QColor>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QSaveFile>
#include <QString>

#include <cstdio>
#include <vector>

namespace {

using zovex::PixelPoint;

// The figures are computed in hundredths of an icon unit: the core's points are integers.
constexpr int kUnits = 256;
constexpr int kScale = 100;

struct Ring {
    int inset; // icon units from the edge of the icon
    std::int16_t points;
    const char* colour;
    double width; // pen width in icon units
};

// Outer to inner, in the colours of the login dialog and of a typical pattern.
const Ring kRings[] = {
    {14, 24, "#ffc000", 5.0},
    {50, 12, "#00ff80", 6.0},
    {84, 7, "#ff4060", 7.0},
};
constexpr const char* kBackground = "#400040";

struct Figure {
    const Ring* ring;
    std::vector<PixelPoint> vertices;
};

std::vector<Figure> figures()
{
    std::vector<Figure> out;
    for (const Ring& r : kRings) {
        const int side = (kUnits - 2 * r.inset) * kScale;
        for (auto& f : zovex::starRingFigures(r.inset * kScale, r.inset * kScale, side, side, r.points, 1.0f))
            out.push_back({&r, std::move(f)});
    }
    return out;
}

bool writeWhole(const QString& path, const QByteArray& bytes)
{
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size() || !f.commit()) {
        std::fprintf(stderr, "zovex-make-icons: cannot write %s: %s\n", qPrintable(path), qPrintable(f.errorString()));
        return false;
    }
    return true;
}

QByteArray svg(const std::vector<Figure>& figs)
{
    QByteArray s;
    s += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    s += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"256\" height=\"256\" viewBox=\"0 0 256 256\">\n";
    s += QStringLiteral("  <circle cx=\"128\" cy=\"128\" r=\"126\" fill=\"%1\"/>\n")
             .arg(QLatin1String(kBackground))
             .toUtf8();
    for (const Figure& f : figs) {
        QString pts;
        for (const PixelPoint& p : f.vertices)
            pts += QStringLiteral("%1,%2 ").arg(p.x / double(kScale), 0, 'f', 2).arg(p.y / double(kScale), 0, 'f', 2);
        s += QStringLiteral("  <polygon points=\"%1\" fill=\"none\" stroke=\"%2\" stroke-width=\"%3\" "
                            "stroke-linejoin=\"round\"/>\n")
                 .arg(pts.trimmed(), QLatin1String(f.ring->colour))
                 .arg(f.ring->width)
                 .toUtf8();
    }
    s += "</svg>\n";
    return s;
}

QByteArray png(const std::vector<Figure>& figs, int size)
{
    QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    {
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(double(size) / kUnits, double(size) / kUnits);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(QLatin1String(kBackground)));
        p.drawEllipse(QPointF(128, 128), 126, 126);
        p.setBrush(Qt::NoBrush);
        for (const Figure& f : figs) {
            // Small icons get relatively wider pens so the rings stay visible.
            const double w = f.ring->width * (size < 64 ? 1.5 : 1.0);
            p.setPen(QPen(QColor(QLatin1String(f.ring->colour)), w, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            QPolygonF poly;
            for (const PixelPoint& v : f.vertices)
                poly << QPointF(v.x / double(kScale), v.y / double(kScale));
            p.drawPolygon(poly);
        }
    }
    QByteArray bytes;
    QBuffer buf(&bytes);
    buf.open(QIODevice::WriteOnly);
    if (!img.save(&buf, "PNG"))
        bytes.clear();
    return bytes;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fputs("usage: zovex-make-icons OUTDIR NAME\n", stderr);
        return 2;
    }
    const QString dir = QString::fromLocal8Bit(argv[1]);
    const QString name = QString::fromLocal8Bit(argv[2]);
    const std::vector<Figure> figs = figures();
    bool ok = writeWhole(dir + QLatin1Char('/') + name + QStringLiteral(".svg"), svg(figs));
    for (int size : {48, 128}) {
        const QByteArray bytes = png(figs, size);
        if (bytes.isEmpty()) {
            std::fprintf(stderr, "zovex-make-icons: cannot encode the %d-pixel PNG\n", size);
            return 1;
        }
        ok = ok && writeWhole(QStringLiteral("%1/%2-%3.png").arg(dir, name).arg(size), bytes);
    }
    return ok ? 0 : 1;
}
