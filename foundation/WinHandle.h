// One move-only owner for every system handle; the traits give the invalid value and the close
// call. A traits' Close that answers bool says the close can fail, and the traits' kKeepsRefused
// whether the handle is then still open (kept, so its holder can report and try again) or gone
// all the same. Closes that cannot fail, or whose failure nobody can act on, answer void.
#pragma once
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <type_traits>
#include <utility>

template <typename Traits>
class CUniqueHandle {
public:
    using Type = typename Traits::Type;
    static constexpr bool kCloseCanFail = std::is_same<decltype(Traits::Close(std::declval<Type>())), bool>::value;

    CUniqueHandle() = default;
    explicit CUniqueHandle(Type value) : m_value(value) {}
    ~CUniqueHandle() { (void)Close(); } // a refused close in a destructor has no one to tell
    CUniqueHandle(CUniqueHandle&& other) noexcept : m_value(other.Release()) {}
    CUniqueHandle& operator=(CUniqueHandle&& other) noexcept
    {
        if (this != &other)
            Reset(other.Release());
        return *this;
    }
    CUniqueHandle(const CUniqueHandle&) = delete;
    CUniqueHandle& operator=(const CUniqueHandle&) = delete;

    Type Get() const { return m_value; }
    bool IsValid() const { return m_value != Traits::Invalid(); }
    // Gives the handle up without closing it.
    Type Release()
    {
        Type value = m_value;
        m_value = Traits::Invalid();
        return value;
    }
    // Closes what is held and takes the new value; a refused close is forgotten.
    void Reset(Type value = Traits::Invalid())
    {
        (void)Close();
        m_value = value;
    }
    // For a call that hands a new handle back through a pointer: closes what is held first.
    Type* Put()
    {
        Reset();
        return &m_value;
    }
    // True when nothing was held or the close went through.
    bool Close()
    {
        if (!IsValid())
            return true;
        bool closed = true;
        if constexpr (kCloseCanFail) {
            closed = Traits::Close(m_value);
            if (!closed && Traits::kKeepsRefused)
                return false;
        } else {
            Traits::Close(m_value);
        }
        m_value = Traits::Invalid();
        return closed;
    }

private:
    Type m_value = Traits::Invalid();
};

struct CKernelHandleTraits {
    using Type = HANDLE;
    static Type Invalid() { return nullptr; }
    static void Close(Type h) { CloseHandle(h); }
};
using CKernelHandle = CUniqueHandle<CKernelHandleTraits>;

// Files, snapshots and other handles whose failure value is INVALID_HANDLE_VALUE.
struct CFileHandleTraits {
    using Type = HANDLE;
    static Type Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(Type h) { CloseHandle(h); }
};
using CFileHandle = CUniqueHandle<CFileHandleTraits>;

struct CFindHandleTraits {
    using Type = HANDLE;
    static Type Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(Type h) { FindClose(h); }
};
using CFindHandle = CUniqueHandle<CFindHandleTraits>;

// Bitmaps, brushes and other GDI objects. One that is selected into a DC must be selected out
// first (CSelectGuard) or it is not deleted.
template <typename T>
struct CGdiObjectTraits {
    using Type = T;
    static Type Invalid() { return nullptr; }
    static void Close(Type h) { DeleteObject(h); }
};
using CBitmapHandle = CUniqueHandle<CGdiObjectTraits<HBITMAP>>;
using CBrushHandle = CUniqueHandle<CGdiObjectTraits<HBRUSH>>;

// A DC made with CreateCompatibleDC.
struct CMemoryDCTraits {
    using Type = HDC;
    static Type Invalid() { return nullptr; }
    static void Close(Type dc) { DeleteDC(dc); }
};
using CMemoryDC = CUniqueHandle<CMemoryDCTraits>;

// A window destroyed by its owner: one made for a test, or one whose creation fails half way
// (Release it once it is handed over).
struct CWindowTraits {
    using Type = HWND;
    static Type Invalid() { return nullptr; }
    static void Close(Type h) { DestroyWindow(h); }
};
using CUniqueWindow = CUniqueHandle<CWindowTraits>;

// A C stream. Its close fails when buffered bytes do not reach the disk, but a failed fclose
// has released the stream all the same.
struct CStdFileTraits {
    using Type = std::FILE*;
    static constexpr bool kKeepsRefused = false;
    static Type Invalid() { return nullptr; }
    // The runtime's fclose does not report bytes that its own flush could not write (a full
    // disk): flush first.
    static bool Close(Type f)
    {
        const bool flushed = std::fflush(f) == 0;
        return std::fclose(f) == 0 && flushed;
    }
};
using CStdFile = CUniqueHandle<CStdFileTraits>;

// A C runtime file descriptor, until a C stream takes it over.
struct CCrtDescriptorTraits {
    using Type = int;
    static Type Invalid() { return -1; }
    static void Close(Type d) { _close(d); }
};
using CCrtDescriptor = CUniqueHandle<CCrtDescriptorTraits>;

// A DC from GetDC, released to its window.
class CWindowDC {
public:
    explicit CWindowDC(HWND window) : m_window(window), m_dc(GetDC(window)) {}
    ~CWindowDC()
    {
        if (m_dc)
            ReleaseDC(m_window, m_dc);
    }
    CWindowDC(const CWindowDC&) = delete;
    CWindowDC& operator=(const CWindowDC&) = delete;
    HDC Get() const { return m_dc; }

private:
    HWND m_window;
    HDC m_dc;
};

// Selects an object into a DC and selects the previous one back when it ends, so the object
// can be deleted and the DC is left as it was found.
class CSelectGuard {
public:
    CSelectGuard() = default;
    ~CSelectGuard() { Restore(); }
    CSelectGuard(const CSelectGuard&) = delete;
    CSelectGuard& operator=(const CSelectGuard&) = delete;

    // False when the object could not be selected; an earlier selection is put back first.
    bool Select(HDC dc, HGDIOBJ object)
    {
        Restore();
        HGDIOBJ previous = dc && object ? SelectObject(dc, object) : nullptr;
        if (!previous || previous == HGDI_ERROR)
            return false;
        m_dc = dc;
        m_previous = previous;
        return true;
    }
    void Restore()
    {
        if (m_previous)
            SelectObject(m_dc, m_previous);
        m_dc = nullptr;
        m_previous = nullptr;
    }
    bool IsSelected() const { return m_previous != nullptr; }

private:
    HDC m_dc = nullptr;
    HGDIOBJ m_previous = nullptr;
};

// BeginPaint and EndPaint around a WM_PAINT's drawing.
class CPaintScope {
public:
    explicit CPaintScope(HWND window) : m_window(window), m_dc(BeginPaint(window, &m_paint)) {}
    ~CPaintScope() { EndPaint(m_window, &m_paint); }
    CPaintScope(const CPaintScope&) = delete;
    CPaintScope& operator=(const CPaintScope&) = delete;
    HDC Get() const { return m_dc; }
    const PAINTSTRUCT& Paint() const { return m_paint; }

private:
    HWND m_window;
    PAINTSTRUCT m_paint = {};
    HDC m_dc;
};
