// The wallpaper window's stored pictures: file name, format and pixel size of the default tile
// picture and of the twelve built-in tiles, and which pattern each is made from. The build
// tool that makes the pictures and the window that decodes them both read this one table.
#pragma once

#include <array>

namespace zovex {

enum class StoredFormat { Bmp, Jpeg };

struct StoredTile {
    const char* fileName;
    int width;
    int height;
    StoredFormat format;
    int category; // the pattern category the picture is made from
    int skip;     // patterns of that category passed over first
};

// Entry 0 is the default tile picture, entry k (1..12) the built-in tile k.
inline constexpr std::array<StoredTile, 13> kStoredTiles{{
    {"default.bmp", 382, 383, StoredFormat::Bmp, 1, 0},
    {"tile1.jpg", 685, 685, StoredFormat::Jpeg, 1, 1},
    {"tile2.jpg", 685, 685, StoredFormat::Jpeg, 2, 0},
    {"tile3.jpg", 685, 685, StoredFormat::Jpeg, 3, 0},
    {"tile4.jpg", 685, 685, StoredFormat::Jpeg, 4, 0},
    {"tile5.jpg", 685, 685, StoredFormat::Jpeg, 5, 0},
    {"tile6.jpg", 685, 685, StoredFormat::Jpeg, 6, 0},
    {"tile7.jpg", 857, 857, StoredFormat::Jpeg, 7, 0},
    {"tile8.jpg", 685, 685, StoredFormat::Jpeg, 8, 0},
    {"tile9.jpg", 857, 857, StoredFormat::Jpeg, 9, 0},
    {"tile10.jpg", 857, 857, StoredFormat::Jpeg, 10, 0},
    {"tile11.bmp", 589, 589, StoredFormat::Bmp, 1, 2},
    {"tile12.jpg", 857, 857, StoredFormat::Jpeg, 2, 2},
}};

inline constexpr int kBuiltInTiles = int(kStoredTiles.size()) - 1;

} // namespace zovex
