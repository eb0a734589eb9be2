#include "tests/fakesdk.h"

#include "camera/workthread.h"

#include <atomic>
#include <cstring>
#include <map>
#include <mutex>

namespace fake {
namespace {

    std::mutex mutex;
    std::vector<Call> recorded;
    std::vector<Camera> cameraSet;
    std::atomic<int> status { 0 };
    std::map<QString, int> statusOf; // by op, under the mutex
    std::atomic<FrameCallback> registeredCallback { nullptr };
    std::atomic<void *> registeredContext { nullptr };

    int record(const QString &op, const CameraRecord *r = nullptr, int arg = 0, const char *text = nullptr)
    {
        int index = -1;
        if (r && r >= cameraList.records && r < cameraList.records + 32)
            index = int(r - cameraList.records);
        Call call { op, r, index, arg, text ? QByteArray(text, 64) : QByteArray() };
        std::lock_guard<std::mutex> lock(mutex);
        recorded.push_back(call);
        const auto own = statusOf.find(op);
        return own != statusOf.end() ? own->second : status.load();
    }

    int init()
    {
        return record(QStringLiteral("Init"));
    }
    int enumerate(CameraList *list)
    {
        std::memset(list, 0, sizeof *list);
        list->count = int(cameraSet.size());
        for (std::size_t i = 0; i < cameraSet.size() && i < 32; ++i) {
            std::strncpy(list->records[i].name, cameraSet[i].name, sizeof list->records[i].name - 1);
            std::memcpy(list->records[i].ip, cameraSet[i].ip, 4);
            std::memcpy(list->records[i].mac, cameraSet[i].mac, 6);
        }
        return record(QStringLiteral("Enum"));
    }
    int open(CameraRecord *r)
    {
        return record(QStringLiteral("Open"), r);
    }
    int registerImage(CameraRecord *r, FrameCallback cb, void *context)
    {
        registeredContext.store(context);
        registeredCallback.store(cb);
        return record(QStringLiteral("Register"), r);
    }
    int start(CameraRecord *r)
    {
        return record(QStringLiteral("Start"), r);
    }
    int stop(CameraRecord *r)
    {
        return record(QStringLiteral("Stop"), r);
    }
    int close(CameraRecord *r)
    {
        return record(QStringLiteral("Close"), r);
    }
    int mode(CameraRecord *r, int m)
    {
        return record(QStringLiteral("Mode"), r, m);
    }
    int soft(CameraRecord *r)
    {
        return record(QStringLiteral("Soft"), r);
    }
    int setIp(CameraRecord *r, char *text)
    {
        return record(QStringLiteral("SetIp"), r, 0, text);
    }
    int setName(CameraRecord *r, char *text)
    {
        return record(QStringLiteral("SetName"), r, 0, text);
    }

    QStringList describe(const std::vector<Call> &calls, const QStringList &ops)
    {
        QStringList out;
        for (const Call &c : calls)
            if (ops.isEmpty() || ops.contains(c.op))
                out << c.toString();
        return out;
    }

} // namespace

QString Call::toString() const
{
    QString s = op;
    if (record)
        s += QLatin1Char(' ') + QString::number(index);
    if (op == QLatin1String("Mode"))
        s += QLatin1Char(' ') + QString::number(arg);
    if (!text.isNull())
        s += QLatin1Char(' ') + QString::fromLatin1(text.constData(), int(qstrnlen(text.constData(), 64)));
    return s;
}

SdkApi api()
{
    SdkApi a {};
    a.IB_CC_Init = init;
    a.IB_CC_EnumCamera = enumerate;
    a.IB_CC_OpenCamera = open;
    a.IB_CC_RegisterImage = registerImage;
    a.IB_CC_StartCamera = start;
    a.IB_CC_StopCamera = stop;
    a.IB_CC_CloseCamera = close;
    a.IB_CC_modeCamera = mode;
    a.IB_CC_softCamera = soft;
    a.IB_CC_setCameraip = setIp;
    a.IB_CC_setCameraName = setName;
    return a;
}

void install()
{
    installSdk(api());
}

void setCameras(const std::vector<Camera> &cameras)
{
    cameraSet = cameras;
}

void setStatus(int value)
{
    std::lock_guard<std::mutex> lock(mutex);
    statusOf.clear();
    status.store(value);
}

void setStatus(const QString &op, int value)
{
    std::lock_guard<std::mutex> lock(mutex);
    statusOf[op] = value;
}

std::vector<Call> calls()
{
    std::lock_guard<std::mutex> lock(mutex);
    return recorded;
}

void clear()
{
    std::lock_guard<std::mutex> lock(mutex);
    recorded.clear();
}

QStringList peekCalls(const QStringList &ops)
{
    return describe(calls(), ops);
}

QStringList takeCalls(const QStringList &ops)
{
    std::vector<Call> taken;
    {
        std::lock_guard<std::mutex> lock(mutex);
        taken.swap(recorded);
    }
    return describe(taken, ops);
}

QStringList ops()
{
    QStringList out;
    for (const Call &c : calls())
        out << c.op;
    return out;
}

FrameCallback callback()
{
    return registeredCallback.load();
}

int deliver(unsigned char *data, FrameInfo *info)
{
    const FrameCallback cb = registeredCallback.load();
    return cb ? cb(data, info, registeredContext.load()) : -1;
}

} // namespace fake
