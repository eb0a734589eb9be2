#ifndef TAVIX_FRAMEMEMORY_H
#define TAVIX_FRAMEMEMORY_H

// Every frame becomes two new images of up to tens of megabytes. By default the
// C library maps blocks that large fresh from the system and unmaps them on
// release, so each frame pays a page fault per 4 KiB twice over. This keeps
// such blocks in the process's heap for reuse instead. Call once, early in main.
void keepFrameMemoryInProcess();

#endif
