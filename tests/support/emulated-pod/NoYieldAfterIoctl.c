/* Preloaded before libumockdev-preload by with-emulated-pods. umockdev's preload calls
 * usleep(0) after every ioctl it forwards to the emulator, to let other threads take its
 * lock; on a busy machine that hands the CPU away on each of thousands of USB requests a
 * second, which usbfs never does. Here a zero-length usleep returns at once; any other
 * goes to the C library. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <unistd.h>

int usleep(useconds_t us) {
    static int (*next)(useconds_t) = 0;
    if (us == 0) {
        return 0;
    }
    if (next == 0) {
        next = (int (*)(useconds_t))dlsym(RTLD_NEXT, "usleep");
    }
    return next ? next(us) : -1;
}
