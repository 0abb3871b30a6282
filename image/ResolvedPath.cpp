#include "ResolvedPath.h"

#include <filesystem>
#include <system_error>

#include "Utf8Path.h"

namespace {

std::string Utf8Of(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

}  // namespace

std::string ResolvedPath(const std::string& path) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path resolved = fs::absolute(Utf8Path(path), ec);
    if (ec) {
        return path;
    }
    // weakly_canonical resolves the part that exists; a last component that is a link to a
    // file yet to be made is left standing, so follow such links by hand (as the system
    // does, at most 40 of them).
    for (int links = 0; links < 40; ++links) {
        const fs::path folded = fs::weakly_canonical(resolved, ec);
        if (!ec) {
            resolved = folded;
        }
        if (!fs::is_symlink(fs::symlink_status(resolved, ec)) || ec) {
            break;
        }
        const fs::path target = fs::read_symlink(resolved, ec);
        if (ec) {
            break;
        }
        resolved = target.is_absolute() ? target : resolved.parent_path() / target;
    }
    return Utf8Of(resolved.lexically_normal());
}

std::string AbsolutePath(const std::string& path) {
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(Utf8Path(path), ec);
    return ec ? path : Utf8Of(absolute.lexically_normal());
}
