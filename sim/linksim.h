// The simulated camera SDK's own additions: the status codes its operations
// return, and a few introspection functions for tests and tools.
//
// The SDK operations themselves (IB_CC_*) are declared in camera/linksdk.h.
// Every function here is exported with C linkage from liblink.so; resolve it
// with dlsym. A camera index is the camera's position in the enumeration.
#ifndef TAVIX_LINKSIM_H
#define TAVIX_LINKSIM_H

#ifdef __cplusplus
extern "C" {
#endif

// Status codes of the simulated SDK. 0 is success; callers of the real SDK
// only compare with 0.
enum LinkSimStatus {
    LINKSIM_OK = 0,
    LINKSIM_ERR_NOT_INITIALISED = 1, // IB_CC_Init has not been called
    LINKSIM_ERR_NULL_ARGUMENT = 2, // a required pointer was null
    LINKSIM_ERR_UNKNOWN_CAMERA = 3, // the record names no simulated camera
    LINKSIM_ERR_WRONG_STATE = 4, // e.g. open on an opened camera, start on a closed one
    LINKSIM_ERR_BAD_MODE = 5, // trigger mode other than 0, 1, 2
    LINKSIM_ERR_WRONG_MODE = 6, // software trigger outside software-trigger mode
    LINKSIM_ERR_TRIGGER_OVERRUN = 7, // too many software triggers waiting
    LINKSIM_ERR_BAD_ADDRESS = 8, // not a dotted IPv4 camera address on loopback
    LINKSIM_ERR_ADDRESS_IN_USE = 9, // another simulated camera has that address
    LINKSIM_ERR_BAD_NAME = 10, // empty name
    LINKSIM_ERR_BUSY = 11, // called from a frame callback while the camera is changing state
    LINKSIM_ERR_UNKNOWN_PARAMETER = 12
};

// Camera states as linksim_camera_state reports them.
enum LinkSimCameraState { LINKSIM_CLOSED = 0, LINKSIM_OPENED = 1, LINKSIM_STREAMING = 2 };

// Number of simulated cameras; 0 before IB_CC_Init.
int linksim_camera_count(void);

// LinkSimCameraState of camera `index`, or -1 for no such camera.
int linksim_camera_state(int index);

// Trigger mode (0 free run, 1 hardware input, 2 software trigger), or -1.
int linksim_trigger_mode(int index);

// Frame callbacks completed for camera `index` since IB_CC_Init, or -1.
long long linksim_frames_delivered(int index);

// 1 while camera `index` has a frame delivery thread, 0 if not, -1 for no such camera.
int linksim_delivery_running(int index);

// Read or write one parameter of camera `index` by name (see sim/README.md).
// linksim_get_param: LINKSIM_ERR_UNKNOWN_PARAMETER for a name never set.
int linksim_get_param(int index, const char *name, long long *value);
int linksim_set_param(int index, const char *name, long long value);

#ifdef __cplusplus
}
#endif

#endif
