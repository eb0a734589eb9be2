// The exported operations of the simulated camera SDK (camera/linksdk.h) and
// its introspection functions (sim/linksim.h).
#include "core/linksdk.h"
#include "sim/framesource.h"
#include "sim/linksim.h"
#include "sim/simexport.h"
#include "sim/simmodel.h"

#include <cstring>
#include <type_traits>

using linksim::SimCamera;
using linksim::SimModel;

namespace {

// Runs `operation` on the camera `record` names, or says why it cannot.
template <typename Operation> int withCamera(const CameraRecord *record, Operation operation)
{
    SimModel &model = SimModel::instance();
    if (!model.initialised())
        return LINKSIM_ERR_NOT_INITIALISED;
    if (!record)
        return LINKSIM_ERR_NULL_ARGUMENT;
    SimCamera *camera = model.find(record);
    if (!camera)
        return LINKSIM_ERR_UNKNOWN_CAMERA;
    return operation(*camera);
}

} // namespace

LINKSIM_EXPORT int IB_CC_Init(void)
{
    SimModel::instance().init();
    return LINKSIM_OK;
}

LINKSIM_EXPORT int IB_CC_EnumCamera(CameraList *list)
{
    SimModel &model = SimModel::instance();
    if (!model.initialised())
        return LINKSIM_ERR_NOT_INITIALISED;
    if (!list)
        return LINKSIM_ERR_NULL_ARGUMENT;
    std::memset(list, 0, sizeof *list);
    const int count = model.count();
    for (int i = 0; i < count; ++i)
        list->records[i] = model.camera(i)->record();
    list->count = count;
    return LINKSIM_OK;
}

LINKSIM_EXPORT int IB_CC_OpenCamera(CameraRecord *cam)
{
    return withCamera(cam, [](SimCamera &camera) { return camera.open(); });
}

LINKSIM_EXPORT int IB_CC_RegisterImage(CameraRecord *cam, FrameCallback cb, void *context)
{
    return withCamera(cam, [&](SimCamera &camera) { return camera.registerCallback(cb, context); });
}

LINKSIM_EXPORT int IB_CC_StartCamera(CameraRecord *cam)
{
    return withCamera(cam, [](SimCamera &camera) { return camera.start(); });
}

LINKSIM_EXPORT int IB_CC_StopCamera(CameraRecord *cam)
{
    return withCamera(cam, [](SimCamera &camera) { return camera.stop(); });
}

LINKSIM_EXPORT int IB_CC_CloseCamera(CameraRecord *cam)
{
    return withCamera(cam, [](SimCamera &camera) { return camera.close(); });
}

LINKSIM_EXPORT int IB_CC_modeCamera(CameraRecord *cam, int mode)
{
    return withCamera(cam, [mode](SimCamera &camera) { return camera.setMode(mode); });
}

LINKSIM_EXPORT int IB_CC_softCamera(CameraRecord *cam)
{
    return withCamera(cam, [](SimCamera &camera) { return camera.softTrigger(); });
}

LINKSIM_EXPORT int IB_CC_setCameraip(CameraRecord *cam, char *text64)
{
    return withCamera(cam, [text64](SimCamera &camera) {
        if (!text64)
            return int(LINKSIM_ERR_NULL_ARGUMENT);
        return SimModel::instance().setAddress(camera, text64);
    });
}

LINKSIM_EXPORT int IB_CC_setCameraName(CameraRecord *cam, char *text64)
{
    return withCamera(cam, [text64](SimCamera &camera) {
        if (!text64)
            return int(LINKSIM_ERR_NULL_ARGUMENT);
        // At most 63 bytes are read: the buffer is 64 bytes and need not end in NUL.
        return camera.setName(QByteArray(text64, int(strnlen(text64, 63))));
    });
}

// Every operation has exactly the signature the SDK header lists.
#define LINKSIM_CHECK_SIGNATURE(name, ordinal, ret, args)                                                    \
    static_assert(std::is_same_v<decltype(&name), ret(*) args>, #name " has the SDK's signature");
LINKSDK_OPERATIONS(LINKSIM_CHECK_SIGNATURE)
#undef LINKSIM_CHECK_SIGNATURE

// Introspection.

LINKSIM_EXPORT int linksim_camera_count(void)
{
    return SimModel::instance().count();
}

LINKSIM_EXPORT int linksim_camera_state(int index)
{
    const SimCamera *camera = SimModel::instance().camera(index);
    return camera ? int(camera->state()) : -1;
}

LINKSIM_EXPORT int linksim_trigger_mode(int index)
{
    SimCamera *camera = SimModel::instance().camera(index);
    return camera ? camera->frames().mode() : -1;
}

LINKSIM_EXPORT long long linksim_frames_delivered(int index)
{
    SimCamera *camera = SimModel::instance().camera(index);
    return camera ? (long long)camera->frames().framesDelivered() : -1;
}

LINKSIM_EXPORT int linksim_delivery_running(int index)
{
    SimCamera *camera = SimModel::instance().camera(index);
    return camera ? (camera->frames().threadRunning() ? 1 : 0) : -1;
}

LINKSIM_EXPORT int linksim_get_param(int index, const char *name, long long *value)
{
    SimCamera *camera = SimModel::instance().camera(index);
    if (!camera)
        return LINKSIM_ERR_UNKNOWN_CAMERA;
    if (!name || !value)
        return LINKSIM_ERR_NULL_ARGUMENT;
    const std::optional<qint64> found = camera->parameters().find(QString::fromUtf8(name));
    if (!found)
        return LINKSIM_ERR_UNKNOWN_PARAMETER;
    *value = *found;
    return LINKSIM_OK;
}

LINKSIM_EXPORT int linksim_set_param(int index, const char *name, long long value)
{
    SimCamera *camera = SimModel::instance().camera(index);
    if (!camera)
        return LINKSIM_ERR_UNKNOWN_CAMERA;
    if (!name)
        return LINKSIM_ERR_NULL_ARGUMENT;
    camera->parameters().setValue(QString::fromUtf8(name), value);
    return LINKSIM_OK;
}
