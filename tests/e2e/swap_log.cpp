// Preloaded into the real editor by the frame-counting test and the idle
// benchmark: appends one line per buffer swap ("s NANOSECONDS") and per key
// press the program takes from its queue ("k NANOSECONDS") to the file named
// by OMBREL_SWAP_LOG. Times are CLOCK_MONOTONIC, as Python's time.monotonic.
#include <GL/glx.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace {

void logEvent(char kind)
{
    static const int file = [] {
        const char* const path = std::getenv("OMBREL_SWAP_LOG");
        return path ? open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644) : -1;
    }();
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    char line[40];
    const int size = std::snprintf(line, sizeof line, "%c %lld\n", kind,
                                   static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec);
    if (file >= 0 && write(file, line, static_cast<size_t>(size)) < 0)
        std::perror("OMBREL_SWAP_LOG");
}

template <typename Function>
Function next(const char* name)
{
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

}  // namespace

extern "C" void glXSwapBuffers(Display* display, GLXDrawable drawable)
{
    static const auto swap = next<void (*)(Display*, GLXDrawable)>("glXSwapBuffers");
    swap(display, drawable);
    logEvent('s');
}

extern "C" int XNextEvent(Display* display, XEvent* event)
{
    static const auto nextEvent = next<int (*)(Display*, XEvent*)>("XNextEvent");
    const int result = nextEvent(display, event);
    if (event->type == KeyPress)
        logEvent('k');
    return result;
}
