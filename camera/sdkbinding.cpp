#include "camera/sdkbinding.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFileInfo>

#include <iterator>
#include <mutex>

#ifdef Q_OS_WIN
#include "core/peexports.h"

#include <windows.h>
// After windows.h.
#include <psapi.h>
#else
#include <dlfcn.h>
#include <link.h>
#endif

namespace {

// Stand-ins for operations the SDK does not provide.
int missingInit() { return SdkMissingStatus; }
int missingEnum(CameraList *) { return SdkMissingStatus; }
int missingRecord(CameraRecord *) { return SdkMissingStatus; }
int missingRegister(CameraRecord *, FrameCallback, void *) { return SdkMissingStatus; }
int missingMode(CameraRecord *, int) { return SdkMissingStatus; }
int missingText(CameraRecord *, char *) { return SdkMissingStatus; }

SdkApi g_api = missingSdk();
QStringList g_missing;
QString g_loadedPath;
std::once_flag g_defaultLoad;
bool g_installed = false;
bool g_fromLibrary = false; // the table in use came from loadSdk

#ifdef Q_OS_WIN
const char *const LibraryFile = "link.dll";
#else
const char *const LibraryFile = "liblink.so";
#endif

// Opens the library and returns a resolver for one operation (by ordinal on
// Windows, where the SDK exports by number, by name elsewhere).
struct Library {
    void *handle = nullptr;
    QString error;

    bool open(const QString &path)
    {
#ifdef Q_OS_WIN
        handle = reinterpret_cast<void *>(LoadLibraryW(reinterpret_cast<const wchar_t *>(path.utf16())));
        if (!handle)
            error = QStringLiteral("LoadLibrary error %1").arg(GetLastError());
#else
        handle = dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_LOCAL);
        if (!handle)
            error = QString::fromLocal8Bit(dlerror());
#endif
        return handle != nullptr;
    }

    // Why the opened library cannot be the SDK although it resolves the
    // operations (empty when nothing speaks against it).
    QString foreignReason() const
    {
#ifdef Q_OS_WIN
        // Lookups by ordinal succeed in any DLL with that many exports: its
        // export table tells whether those ordinals have other names.
        MODULEINFO module {};
        if (!GetModuleInformation(GetCurrentProcess(), static_cast<HMODULE>(handle), &module, sizeof module))
            return QString();
        const std::optional<PeExports> exports
            = readPeExports(static_cast<const unsigned char *>(module.lpBaseOfDll), module.SizeOfImage);
        if (!exports)
            return QStringLiteral("its export table cannot be read");
        const QStringList foreign = foreignSdkOrdinals(*exports);
        if (!foreign.isEmpty())
            return QStringLiteral("it is %1: %2")
                .arg(exports->dllName.isEmpty() ? QStringLiteral("another library")
                                                : QString::fromLatin1(exports->dllName),
                    foreign.join(QLatin1String(", ")));
#endif
        return QString();
    }

    void close()
    {
#ifdef Q_OS_WIN
        FreeLibrary(static_cast<HMODULE>(handle));
#else
        dlclose(handle);
#endif
        handle = nullptr;
    }

    void *resolve(const char *name, int ordinal) const
    {
#ifdef Q_OS_WIN
        Q_UNUSED(name);
        return reinterpret_cast<void *>(
            GetProcAddress(static_cast<HMODULE>(handle), MAKEINTRESOURCEA(static_cast<WORD>(ordinal))));
#else
        Q_UNUSED(ordinal);
        return dlsym(handle, name);
#endif
    }

    // The file the system loaded, also when it was found on the library path.
    QString loadedPath(const QString &opened) const
    {
#ifdef Q_OS_WIN
        wchar_t buffer[32768];
        const DWORD length
            = GetModuleFileNameW(static_cast<HMODULE>(handle), buffer, DWORD(std::size(buffer)));
        if (length > 0 && length < std::size(buffer))
            return QDir::fromNativeSeparators(QString::fromWCharArray(buffer, int(length)));
#else
        struct link_map *map = nullptr;
        if (dlinfo(handle, RTLD_DI_LINKMAP, &map) == 0 && map && map->l_name && map->l_name[0])
            return QFileInfo(QFile::decodeName(map->l_name)).absoluteFilePath();
#endif
        return opened;
    }
};

QStringList candidatePaths(const QString &path)
{
    if (!path.isEmpty())
        return { path };
    QStringList paths;
    // A folder the operator names, e.g. the installed simulated SDK's.
    const QString chosen = qEnvironmentVariable("TAVIX_SDK_DIR");
    if (!chosen.isEmpty())
        paths << QDir(chosen).filePath(QLatin1String(LibraryFile));
    QString dir = QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QString();
    if (dir.isEmpty()) {
        // No application object yet: the executable's folder from the system.
#ifndef Q_OS_WIN
        dir = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalPath();
#endif
    }
    if (!dir.isEmpty())
        paths << QDir(dir).filePath(QLatin1String(LibraryFile));
    paths << QLatin1String(LibraryFile); // the system's library path
    return paths;
}

} // namespace

SdkApi missingSdk()
{
    SdkApi api;
    api.IB_CC_Init = missingInit;
    api.IB_CC_EnumCamera = missingEnum;
    api.IB_CC_OpenCamera = missingRecord;
    api.IB_CC_RegisterImage = missingRegister;
    api.IB_CC_StartCamera = missingRecord;
    api.IB_CC_StopCamera = missingRecord;
    api.IB_CC_CloseCamera = missingRecord;
    api.IB_CC_modeCamera = missingMode;
    api.IB_CC_softCamera = missingRecord;
    api.IB_CC_setCameraip = missingText;
    api.IB_CC_setCameraName = missingText;
    return api;
}

void installSdk(const SdkApi &api)
{
    const SdkApi fallback = missingSdk();
    SdkApi merged = api;
#define TAVIX_SDK_MERGE(name, ordinal, ret, args) \
    if (!merged.name)                              \
        merged.name = fallback.name;
    LINKSDK_OPERATIONS(TAVIX_SDK_MERGE)
#undef TAVIX_SDK_MERGE
    g_api = merged;
    g_installed = true;
    g_fromLibrary = false;
    g_loadedPath.clear();
}

bool loadSdk(const QString &path)
{
    Library library;
    QString opened;
    QStringList errors;
    for (const QString &candidate : candidatePaths(path)) {
        if (library.open(candidate)) {
            opened = candidate;
            break;
        }
        errors << library.error;
    }
    g_missing.clear();
    if (opened.isEmpty()) {
        qWarning().noquote() << "camera SDK" << LibraryFile << "not found (" + errors.join("; ")
                + "): no camera can be used";
#define TAVIX_SDK_ALL(name, ordinal, ret, args) g_missing << QStringLiteral(#name);
        LINKSDK_OPERATIONS(TAVIX_SDK_ALL)
#undef TAVIX_SDK_ALL
        installSdk(SdkApi {});
        g_fromLibrary = true;
        return false;
    }
    const QString foreign = library.foreignReason();
    if (!foreign.isEmpty()) {
        // Calling its functions as the SDK's would crash the program.
        qWarning().noquote() << "camera SDK" << opened
                             << "is not the camera SDK (" + foreign + "): no camera can be used";
        library.close();
#define TAVIX_SDK_ALL(name, ordinal, ret, args)                                                              \
    g_missing << QStringLiteral(#name " (ordinal %1)").arg(ordinal);
        LINKSDK_OPERATIONS(TAVIX_SDK_ALL)
#undef TAVIX_SDK_ALL
        installSdk(SdkApi {});
        return false;
    }
    SdkApi api {};
#define TAVIX_SDK_RESOLVE(name, ordinal, ret, args)                                   \
    api.name = reinterpret_cast<ret(*) args>(library.resolve(#name, ordinal));        \
    if (!api.name)                                                                    \
        g_missing << QStringLiteral(#name " (ordinal %1)").arg(ordinal);
    LINKSDK_OPERATIONS(TAVIX_SDK_RESOLVE)
#undef TAVIX_SDK_RESOLVE
    installSdk(api); // the library stays loaded for the life of the process
    g_fromLibrary = true;
    g_loadedPath = library.loadedPath(opened);
    if (!g_missing.isEmpty()) {
        qWarning().noquote() << "camera SDK" << opened << "lacks" << g_missing.join(", ")
                             << "- those operations will fail";
        return false;
    }
    return true;
}

const SdkApi &sdk()
{
    std::call_once(g_defaultLoad, [] {
        if (!g_installed)
            loadSdk();
    });
    return g_api;
}

QStringList missingSdkOperations()
{
    return g_missing;
}

SdkInfo sdkInfo()
{
    sdk();
    SdkInfo info;
    info.file = QLatin1String(LibraryFile);
    info.path = g_loadedPath;
    info.installed = !g_fromLibrary;
    if (g_fromLibrary)
        info.missing = g_missing;
    return info;
}
