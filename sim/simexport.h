// How the simulated SDK exports a function with C linkage: by visibility on
// ELF; on Windows the module definition file (sim/link.def) lists the exports,
// the SDK's operations by the ordinals of core/linksdk.h.
#ifndef TAVIX_SIM_SIMEXPORT_H
#define TAVIX_SIM_SIMEXPORT_H

#ifdef _WIN32
#define LINKSIM_EXPORT extern "C"
#else
#define LINKSIM_EXPORT extern "C" __attribute__((visibility("default")))
#endif

#endif
