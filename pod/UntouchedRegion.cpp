#include "UntouchedRegion.h"

bool IsUntouchedRegion(const RegionImage& words) {
    return !words.loaded && words.wordCount == 0 && words.minAddress == 0 && words.maxAddress == 0;
}
