#include "records/SystemReason.h"

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "Utf8Path.h"

std::string SystemReason(const std::string& path) {
    std::error_code ec;
    const std::filesystem::file_status status = std::filesystem::status(Utf8Path(path), ec);
    if (status.type() == std::filesystem::file_type::not_found) {
        return " (" + std::make_error_code(std::errc::no_such_file_or_directory).message() + ")";
    }
    if (ec) {
        return " (" + ec.message() + ")";
    }
    if (status.type() == std::filesystem::file_type::directory) {
        return " (" + std::make_error_code(std::errc::is_a_directory).message() + ")";
    }
    errno = 0;
    std::ifstream probe(Utf8Path(path), std::ios::binary);
    if (!probe && errno != 0) {
        return " (" + std::generic_category().message(errno) + ")";
    }
    return {};
}
