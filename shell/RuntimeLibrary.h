// Libraries bound at run time: loading one without the system's error boxes, and its entries
// as functions of their own types. Each user keeps the module in a CModule and decides itself
// when it loads and frees it.
#pragma once
#include <windows.h>

#include "ShellHandles.h"

// SetErrorMode for the life of the object: loading a library shows no system error box.
class CQuietErrorMode {
public:
    CQuietErrorMode() : m_previous(SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX)) {}
    ~CQuietErrorMode() { SetErrorMode(m_previous); }
    CQuietErrorMode(const CQuietErrorMode&) = delete;
    CQuietErrorMode& operator=(const CQuietErrorMode&) = delete;

private:
    UINT m_previous;
};

// A library that may be missing: its absence is an answer, never a box for the user.
inline HMODULE LoadLibraryQuietly(const wchar_t* name)
{
    CQuietErrorMode quiet;
    return LoadLibraryW(name);
}

// The entry as the function type that the caller knows it has. Through the generic function
// type: GetProcAddress's own type fits none of them.
template <typename Function>
Function EntryAs(FARPROC entry)
{
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(entry));
}

// The entry of the name (or MAKEINTRESOURCEA of its ordinal); null when the library is not
// loaded or lacks it.
template <typename Function>
Function FindEntry(const CModule& library, const char* key)
{
    return EntryAs<Function>(library.IsValid() ? GetProcAddress(library.Get(), key) : nullptr);
}
