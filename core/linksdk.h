// The camera SDK's records, callback and operations, as the SDK library
// (link.dll on Windows, liblink.so elsewhere) exports them.
//
// Plain C so that the simulated SDK and any vendor build agree on the layout.
#ifndef TAVIX_LINKSDK_H
#define TAVIX_LINKSDK_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#pragma pack(push, 1)
// One camera as enumerated: 74 bytes, packed.
typedef struct CameraRecord {
    char name[64];          // NUL-terminated, UTF-8
    unsigned char ip[4];    // first dotted number first
    unsigned char mac[6];   // first byte first
} CameraRecord;

// The enumeration result: a count and room for 32 records.
typedef struct CameraList {
    int32_t count;
    CameraRecord records[32];
} CameraList;
#pragma pack(pop)

// What the SDK says about a delivered frame: 24 bytes.
typedef struct FrameInfo {
    uint32_t nWidth;        // pixels
    uint32_t nHeight;       // rows
    uint32_t nBitCount;     // 8 = grey, 24 = blue, green, red per pixel
    unsigned char reserved[12];
} FrameInfo;

// Called by the SDK from its own delivery thread with rows top to bottom, no padding.
typedef int (*FrameCallback)(unsigned char *data, FrameInfo *info, void *context);

#ifdef __cplusplus
}
#endif

#ifdef __cplusplus
static_assert(sizeof(CameraRecord) == 74, "camera record is 74 bytes");
static_assert(sizeof(CameraList) == 4 + 32 * 74, "camera list is a count and 32 records");
static_assert(sizeof(FrameInfo) == 24, "FrameInfo is 24 bytes");
#endif

// Every operation returns 0 on success.
#define LINKSDK_OPERATIONS(X) \
    X(IB_CC_Init,          1,  int, (void)) \
    X(IB_CC_EnumCamera,    3,  int, (CameraList *list)) \
    X(IB_CC_OpenCamera,    4,  int, (CameraRecord *cam)) \
    X(IB_CC_RegisterImage, 5,  int, (CameraRecord *cam, FrameCallback cb, void *context)) \
    X(IB_CC_StartCamera,   6,  int, (CameraRecord *cam)) \
    X(IB_CC_StopCamera,    7,  int, (CameraRecord *cam)) \
    X(IB_CC_CloseCamera,   8,  int, (CameraRecord *cam)) \
    X(IB_CC_modeCamera,    9,  int, (CameraRecord *cam, int mode)) \
    X(IB_CC_softCamera,    10, int, (CameraRecord *cam)) \
    X(IB_CC_setCameraip,   11, int, (CameraRecord *cam, char *text64)) \
    X(IB_CC_setCameraName, 12, int, (CameraRecord *cam, char *text64))

#endif
