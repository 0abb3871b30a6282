#pragma once

#include "RegionImage.h"

// A region the file never touched still holds the cleared extent 0..0. Working on it would
// erase and write a page of the target that the image knows nothing about, and storing it
// would record a word the file never had.
bool IsUntouchedRegion(const RegionImage& words);
