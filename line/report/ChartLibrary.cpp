#include "report/ChartLibrary.h"

#include <fstream>
#include <sstream>

#if VANTIX_CHART_JS_EMBEDDED
extern const unsigned char kEmbeddedChartJs[];
extern const unsigned long kEmbeddedChartJsSize;
#endif

std::optional<std::string> ChartLibrary::Load(std::string& lookedAt) {
#if VANTIX_CHART_JS_EMBEDDED
    lookedAt = "this program";
    return std::string(reinterpret_cast<const char*>(kEmbeddedChartJs), kEmbeddedChartJsSize);
#else
    lookedAt = VANTIX_CHART_JS;
    std::ifstream in(VANTIX_CHART_JS, std::ios::binary);
    std::ostringstream text;
    if (!(in && text << in.rdbuf())) {
        return std::nullopt;
    }
    return text.str();
#endif
}
