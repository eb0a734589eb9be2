#ifndef TAVIX_FRAMEMEMORY_H
#define TAVIX_FRAMEMEMORY_H

// Every frame becomes two new images of up to tens of megabytes. By default the
// C library maps blocks that large fresh from the system and unmaps them on
// release, so each frame pays a page fault per 4 KiB twice over. This keeps
// such blocks in the process's heap for reuse instead. Call once, early in main.
void keepFrameMemoryInProcess();

// Hands the heap's unused pages back to the system. The tuning above keeps
// freed blocks for the next frame; a firmware image (up to 400 MB) is freed
// once and not needed again, so the download calls this when its queue ends.
void releaseUnusedMemory();

#endif
