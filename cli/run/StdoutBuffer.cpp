#include "run/StdoutBuffer.h"

#include <cerrno>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {

long WriteOut(const char* bytes, std::size_t count) {
#ifdef _WIN32
    return _write(1, bytes, static_cast<unsigned>(count));
#else
    return static_cast<long>(write(1, bytes, count));
#endif
}

}  // namespace

bool StdoutBuffer::Drain() {
    const char* at = pbase();
    if (closed_ && at < pptr() && failure_ == 0) {
        failure_ = EBADF;
    }
    while (at < pptr() && failure_ == 0) {
        const long written = WriteOut(at, static_cast<std::size_t>(pptr() - at));
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            failure_ = written < 0 ? errno : EIO;
        } else {
            at += written;
        }
    }
    setp(buffer_.data(), buffer_.data() + buffer_.size());
    return failure_ == 0;
}

StdoutBuffer::int_type StdoutBuffer::overflow(int_type c) {
    if (!Drain()) {
        return traits_type::eof();
    }
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
        *pptr() = traits_type::to_char_type(c);
        pbump(1);
    }
    return traits_type::not_eof(c);
}

int StdoutBuffer::sync() {
    return Drain() ? 0 : -1;
}

std::string StdoutBuffer::Name() const {
#ifdef _WIN32
    return {};
#else
    if (closed_) {
        return {};
    }
    char target[4096];
    const ssize_t length = readlink("/proc/self/fd/1", target, sizeof target - 1);
    if (length <= 0 || target[0] != '/') {
        return {};
    }
    return std::string(target, static_cast<std::size_t>(length));
#endif
}
