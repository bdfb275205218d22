// The process's live GDI objects on the real Win32 API, stock objects left out.
// GetGuiResources answers that on Windows; Wine's is a stub answering 0, so there the count
// comes from the GDI handle table that Wine, like Windows, publishes in the process
// environment block (PEB::GdiSharedHandleTable): 65,536 entries of 24 bytes whose byte 14 is
// the object's type (0: free) and whose byte 12 has the stock flag in its top bit. Wine's table
// is the process's own; it also holds the objects Wine's drivers make for themselves, so only
// differences of two counts mean anything there.
#pragma once

#include <windows.h>
#include <winternl.h>

#include <cstring>

inline DWORD gdi_object_count() {
    const DWORD answered = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    if (answered != 0) {
        return answered;
    }
#if defined(_WIN64)
    using query_function = NTSTATUS(NTAPI*)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG);
    const auto query = reinterpret_cast<query_function>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess")));
    PROCESS_BASIC_INFORMATION basic{};
    if (query == nullptr ||
        query(GetCurrentProcess(), ProcessBasicInformation, &basic, sizeof basic, nullptr) != 0) {
        return 0;
    }
    const unsigned char* table = nullptr;
    std::memcpy(&table, reinterpret_cast<const unsigned char*>(basic.PebBaseAddress) + 0xF8,
                sizeof table);
    if (table == nullptr) {
        return 0;
    }
    DWORD count = 0;
    for (int i = 0; i < 0x10000; ++i) {
        const unsigned char* entry = table + 24 * i;
        count += entry[14] != 0 && (entry[12] & 0x80) == 0;
    }
    return count;
#else
    return 0;
#endif
}
