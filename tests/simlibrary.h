// The simulated camera SDK as a test loads it itself: the SDK's operations by
// ordinal on Windows (link.dll exports them by number only), by name
// elsewhere; its own linksim_* functions by name everywhere.
#ifndef TAVIX_TESTS_SIMLIBRARY_H
#define TAVIX_TESTS_SIMLIBRARY_H

#include <QByteArray>
#include <QString>

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

class SimLibrary {
public:
    bool load(const QByteArray &path)
    {
        m_path = path;
#ifdef _WIN32
        m_handle = LoadLibraryW(wide().c_str());
        m_error = m_handle ? QString() : QStringLiteral("LoadLibrary error %1").arg(GetLastError());
#else
        m_handle = dlopen(path.constData(), RTLD_NOW | RTLD_LOCAL);
        m_error = m_handle ? QString() : QString::fromLocal8Bit(dlerror());
#endif
        return m_handle != nullptr;
    }

    template <typename F> bool byName(F &target, const char *name) const
    {
#ifdef _WIN32
        target = reinterpret_cast<F>(reinterpret_cast<void *>(GetProcAddress(m_handle, name)));
#else
        target = reinterpret_cast<F>(dlsym(m_handle, name));
#endif
        return target != nullptr;
    }

    template <typename F> bool operation(F &target, const char *name, int ordinal) const
    {
#ifdef _WIN32
        Q_UNUSED(name);
        target = reinterpret_cast<F>(
            reinterpret_cast<void *>(GetProcAddress(m_handle, MAKEINTRESOURCEA(WORD(ordinal)))));
        return target != nullptr;
#else
        Q_UNUSED(ordinal);
        return byName(target, name);
#endif
    }

    // True once the library is really gone from the process.
    bool unload()
    {
#ifdef _WIN32
        FreeLibrary(m_handle);
        m_handle = nullptr;
        return GetModuleHandleW(wide().c_str()) == nullptr;
#else
        dlclose(m_handle);
        m_handle = nullptr;
        return dlopen(m_path.constData(), RTLD_NOW | RTLD_NOLOAD) == nullptr;
#endif
    }

    QString error() const
    {
        return m_error;
    }

private:
#ifdef _WIN32
    std::wstring wide() const
    {
        return QString::fromLocal8Bit(m_path).toStdWString();
    }
    HMODULE m_handle = nullptr;
#else
    void *m_handle = nullptr;
#endif
    QByteArray m_path;
    QString m_error;
};

#endif
