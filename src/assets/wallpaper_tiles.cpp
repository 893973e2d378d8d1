#include "wallpaper_tiles.h"

#include "tile_table.h"

namespace zovex {

namespace {

QImage decode(const StoredTile& tile)
{
    QImage picture(QStringLiteral(":/wallpaper/%1").arg(QLatin1String(tile.fileName)));
    return picture.isNull() ? picture : picture.convertToFormat(QImage::Format_RGB32);
}

} // namespace

QImage defaultTilePicture() { return decode(kStoredTiles[0]); }

QImage builtInTilePicture(int k)
{
    if (k < 1 || k > kBuiltInTiles)
        return {};
    return decode(kStoredTiles[static_cast<std::size_t>(k)]);
}

} // namespace zovex
