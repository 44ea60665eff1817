// Owners of the shell services' handles: registry keys, global memory blocks and their locks,
// the open clipboard and loaded libraries.
#pragma once
#include <windows.h>

#include "WinHandle.h"

struct CRegKeyTraits {
    using Type = HKEY;
    static Type Invalid() { return nullptr; }
    static void Close(Type h) { RegCloseKey(h); }
};
using CRegKey = CUniqueHandle<CRegKeyTraits>;

struct CGlobalMemoryTraits {
    using Type = HGLOBAL;
    static Type Invalid() { return nullptr; }
    static void Close(Type h) { GlobalFree(h); }
};
using CGlobalMemory = CUniqueHandle<CGlobalMemoryTraits>;

// GlobalLock for the life of the object.
class CGlobalLock {
public:
    explicit CGlobalLock(HGLOBAL block) : m_block(block), m_data(block ? GlobalLock(block) : nullptr) {}
    ~CGlobalLock()
    {
        if (m_data)
            GlobalUnlock(m_block);
    }
    CGlobalLock(const CGlobalLock&) = delete;
    CGlobalLock& operator=(const CGlobalLock&) = delete;

    void* Data() const { return m_data; }
    // The block's size in bytes; the lock's view never reaches past it.
    SIZE_T Size() const { return m_data ? GlobalSize(m_block) : 0; }

private:
    HGLOBAL m_block;
    void* m_data;
};

// OpenClipboard for the life of the object.
class CClipboardSession {
public:
    explicit CClipboardSession(HWND owner) : m_open(owner && OpenClipboard(owner)) {}
    ~CClipboardSession()
    {
        if (m_open)
            CloseClipboard();
    }
    CClipboardSession(const CClipboardSession&) = delete;
    CClipboardSession& operator=(const CClipboardSession&) = delete;

    bool IsOpen() const { return m_open; }

private:
    bool m_open;
};

struct CModuleTraits {
    using Type = HMODULE;
    static Type Invalid() { return nullptr; }
    static void Close(Type h) { FreeLibrary(h); }
};
// A library loaded with LoadLibrary, freed once.
using CModule = CUniqueHandle<CModuleTraits>;
