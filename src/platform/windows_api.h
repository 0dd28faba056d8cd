// The one way the program includes the Windows API: winsock2.h must come
// before windows.h or libcurl's headers clash with the old winsock.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif

#include <winsock2.h>
#include <windows.h>
