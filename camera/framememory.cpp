#include "camera/framememory.h"

#include <cstdlib> // defines __GLIBC__ where the C library is glibc

#if defined(__GLIBC__)
#include <malloc.h>
#endif

void keepFrameMemoryInProcess()
{
#if defined(__GLIBC__)
    // Above the largest frame image (4096 x 4096 x 3 bytes and then some).
    mallopt(M_MMAP_THRESHOLD, 64 << 20);
    // Give memory back only when a lot of it lies unused at the heap's top.
    mallopt(M_TRIM_THRESHOLD, 256 << 20);
    // Frames are allocated on the acquisition thread and freed on the GUI
    // thread. A thread's own arena is built of 64 MiB heaps that are unmapped
    // as soon as they are empty, so large frames would be faulted in afresh
    // each time; one arena keeps them all in the heap above.
    mallopt(M_ARENA_MAX, 1);
#endif
}

void releaseUnusedMemory()
{
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
}
