// The one header through which Vorla sees the system. On Windows it is <windows.h> itself;
// elsewhere it is our own subset of Win32 with the same names, types and values.
#pragma once

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef UNICODE
#define UNICODE
#endif
#include <windows.h>

// A block of its own, so that sorting the includes cannot put it above <windows.h>, which
// it needs.
#include <commdlg.h>
#else
#include "platform/posix/win32_subset.h"
#endif
