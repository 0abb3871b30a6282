#include "report/ReportOutput.h"

#include "ResolvedPath.h"
#include "WritableNode.h"

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#endif

ReportOutput::ReportOutput(std::string path) : path_(std::move(path)) {}

ReportOutput::~ReportOutput() {
#ifndef _WIN32
    if (device_ >= 0) {
        close(device_);
    }
#endif
}

bool ReportOutput::Failed(const std::string& reason, std::string& error) const {
    error = "cannot write the report " + path_ + " (" + reason + ")";
    return false;
}

bool ReportOutput::Open(std::string& error) {
    std::string reason;
#ifndef _WIN32
    // Renaming a file over a device would put a plain file in its place and the report
    // nowhere anyone looks.
    if (IsDeviceOrFifo(path_)) {
        device_ = OpenForWriting(path_, O_WRONLY, 0, reason);
        return device_ >= 0 || Failed(reason, error);
    }
#endif
    file_ = std::make_unique<ReplacingFile>(ResolvedPath(path_));
    return file_->Create(reason) || Failed(reason, error);
}

bool ReportOutput::Commit(std::string& error) {
    const std::string text = text_.str();
    std::string reason;
    if (file_) {
        return (file_->Write(text, reason) && file_->Commit(reason)) || Failed(reason, error);
    }
#ifndef _WIN32
    for (std::string_view rest = text; !rest.empty();) {
        const ssize_t written = write(device_, rest.data(), rest.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return Failed(written == 0 ? "nothing written" : std::strerror(errno), error);
        }
        rest.remove_prefix(static_cast<std::size_t>(written));
    }
#endif
    return true;
}
