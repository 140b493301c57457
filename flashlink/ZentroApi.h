#pragma once

// Zentro_Comms.dll exports its classes; the wizard links them by import. The native build
// has the same classes in a static library, where the attribute means nothing.
#if defined(_WIN32) && !defined(ZENTRO_COMMS_STATIC)
#if defined(ZENTRO_COMMS_BUILD)
#define ZENTRO_API __declspec(dllexport)
#else
#define ZENTRO_API __declspec(dllimport)
#endif
#else
#define ZENTRO_API
#endif
