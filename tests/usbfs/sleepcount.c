/* Preloaded into a client of the usbfs emulation: adds the time every sleep
 * the client asks for (nanosleep, clock_nanosleep, usleep, sleep) to a
 * counter in the file XQ_USBFS_SLEEP_FILE names, shared with the emulation.
 * The emulation advances its host clock by what the client slept between two
 * transfers, and by nothing else of the wall, so the bench clock does not
 * depend on the load of the machine. The sleeps themselves happen as asked. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <fcntl.h>
#include <stdint.h>
#include <stdlib.h>
#include <sys/mman.h>
#include <time.h>
#include <unistd.h>

static int64_t* Counter(void)
{
    static int64_t* pCounter;
    static int bTried;
    if (!bTried) {
        bTried = 1;
        const char* pPath = getenv("XQ_USBFS_SLEEP_FILE");
        const int fd = pPath ? open(pPath, O_RDWR) : -1;
        if (fd >= 0) {
            void* p = mmap(NULL, sizeof(int64_t), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
            if (p != MAP_FAILED)
                pCounter = (int64_t*)p;
            close(fd);
        }
    }
    return pCounter;
}

static void Count(int64_t nNs)
{
    int64_t* p = Counter();
    if (p && nNs > 0)
        __atomic_add_fetch(p, nNs, __ATOMIC_SEQ_CST);
}

static int64_t Ns(const struct timespec* t)
{
    return t ? (int64_t)t->tv_sec * 1000000000 + t->tv_nsec : 0;
}

int nanosleep(const struct timespec* pReq, struct timespec* pRem)
{
    static int (*pReal)(const struct timespec*, struct timespec*);
    if (!pReal)
        pReal = (int (*)(const struct timespec*, struct timespec*))dlsym(RTLD_NEXT, "nanosleep");
    Count(Ns(pReq));
    return pReal(pReq, pRem);
}

int clock_nanosleep(clockid_t clock, int nFlags, const struct timespec* pReq, struct timespec* pRem)
{
    static int (*pReal)(clockid_t, int, const struct timespec*, struct timespec*);
    if (!pReal)
        pReal = (int (*)(clockid_t, int, const struct timespec*, struct timespec*))dlsym(RTLD_NEXT, "clock_nanosleep");
    if (nFlags & TIMER_ABSTIME) {
        struct timespec now;
        clock_gettime(clock, &now);
        Count(Ns(pReq) - Ns(&now));
    } else {
        Count(Ns(pReq));
    }
    return pReal(clock, nFlags, pReq, pRem);
}

int usleep(useconds_t nUs)
{
    const struct timespec t = {(time_t)(nUs / 1000000), (long)(nUs % 1000000) * 1000};
    return nanosleep(&t, NULL);
}

unsigned int sleep(unsigned int nSeconds)
{
    struct timespec t = {(time_t)nSeconds, 0};
    struct timespec rem = {0, 0};
    if (nanosleep(&t, &rem) != 0)
        return (unsigned int)rem.tv_sec;
    return 0;
}
