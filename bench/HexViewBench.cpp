// The cost of painting the hex view at the form's size, by buffer size and scroll position.
// Only the rows in view are formatted, so the cost should not depend on the buffer.
// Run with QT_QPA_PLATFORM=offscreen (set here when the environment does not say).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "CHexEditBase.h"

namespace {

// 223 x 116 dialog units of Arial 9 on the form.
constexpr int kViewWidth = 335;
constexpr int kViewHeight = 189;

enum class Position { Top, Middle, End };

struct BufferSize {
    const char* label;
    std::uint32_t bytes;
};

constexpr BufferSize kSizes[] = {
    {"2KiB", 2 * 1024}, {"64KiB", 64 * 1024}, {"16MiB", 16 * 1024 * 1024}};

std::vector<std::uint8_t> Buffer(std::uint32_t bytes) {
    std::vector<std::uint8_t> data(bytes);
    std::uint32_t x = 0x12345678;
    for (std::uint8_t& b : data) {
        x = x * 1103515245u + 12345u;
        b = static_cast<std::uint8_t>(x >> 16);
    }
    return data;
}

void Paint(benchmark::State& state, std::uint32_t bytes, Position position) {
    const std::vector<std::uint8_t> data = Buffer(bytes);
    CHexEditBase view;
    view.resize(kViewWidth, kViewHeight);
    // Configured as the form configures it.
    view.SetAddressDigits(4, false);
    view.ShowAddress(true, false);
    view.ShowAscii(false, false);
    view.SetBytesPerRow(8, true, false);
    view.SetData(data.data(), bytes, false, 0);
    view.show();
    QApplication::processEvents();

    const HexLayout& layout = view.Layout();
    const std::uint32_t row = position == Position::Top      ? 0
                              : position == Position::Middle ? layout.maxTopRow / 2
                                                             : layout.maxTopRow;
    view.SetTopRow(row, false);
    QApplication::processEvents();
    QImage image(view.size(), QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        view.render(&image);
        benchmark::ClobberMemory();
    }
    state.counters["rows"] = static_cast<double>(layout.totalRows);
    state.counters["top_row"] = static_cast<double>(view.TopRow());
    state.counters["rows_in_view"] = static_cast<double>(layout.rowsInView);
    state.counters["bytes_per_row"] = static_cast<double>(layout.bytesPerRow);
}

}  // namespace

int main(int argc, char** argv) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    QApplication app(argc, argv);
    const std::pair<const char*, Position> positions[] = {
        {"top", Position::Top}, {"middle", Position::Middle}, {"end", Position::End}};
    for (const BufferSize& size : kSizes) {
        for (const auto& [label, position] : positions) {
            const std::string name = std::string("Paint/") + size.label + "/" + label;
            benchmark::RegisterBenchmark(name.c_str(), Paint, size.bytes, position)
                ->Unit(benchmark::kMicrosecond);
        }
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
