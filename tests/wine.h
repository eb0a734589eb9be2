// Whether this test program runs under Wine rather than on Windows or Linux,
// and what cannot be judged there.
//
// Wine (8) binds a UDP socket asked for a 127.x.y.z address as 0.0.0.0, so the
// simulated cameras and the tool in one process share one port: which socket
// gets a request or a reply is not the camera's choice. And a TCP connection
// that the other side refuses is never reported as refused, only as not made
// in time, so a restarting camera is not seen coming back.
#ifndef TAVIX_TESTS_WINE_H
#define TAVIX_TESTS_WINE_H

#ifdef _WIN32
#include <windows.h>
#endif

inline bool runsUnderWine()
{
#ifdef _WIN32
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
#else
    return false;
#endif
}

// Skips the current test (or data row) under Wine, saying why.
#define TAVIX_SKIP_UNDER_WINE(why)                                                                           \
    do {                                                                                                     \
        if (runsUnderWine())                                                                                 \
            QSKIP("not judged under Wine: " why);                                                            \
    } while (false)
#define TAVIX_WINE_UDP "UDP sockets asked for 127.x.y.z are bound as 0.0.0.0"
#define TAVIX_WINE_REFUSED "a refused TCP connection is not reported"

#endif
