// The readable description a level bitmap is made from: three character grids
// of one size (column heights, block teams and palette lists, object codes by
// a legend) and the bitmap's path. Used by the data generator, and by the
// tests to check the shipped levels against their descriptions.
#pragma once

#include <string>

#include "levels/Bitmap.h"

namespace GameLogicView {

struct LevelSource {
    std::string output;  // the bitmap's path, relative to the data folder
    Bitmap24 image;      // blue = height, green = team/palette list, red = object code
};

// The format, line by line ('#' starts a comment):
//   output <path>          the bitmap to write
//   legend <char> <code>   an object character and its red code (1..255)
//   heights | teams | objects
//                          the rows of that grid follow, top row first
// Heights: '.' or '0' = 0, '1'..'9', 'a'..'z' = 10..35, 'A'..'Z' = 36..61.
// Teams: '.' = 0, '0'..'9'. Objects: '.' = none, else a legend character.
// False with a message naming the description (and line) on any error.
bool ParseLevelSource(const std::string& text, const std::string& name, LevelSource& out, std::string& error);

}  // namespace GameLogicView
