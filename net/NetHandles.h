// Move-only owners of the WinSock handles. Close keeps the handle when the system refuses,
// so the caller can report the failure and try again.
#pragma once
#include <winsock2.h>

template <typename Traits>
class CUniqueNetHandle {
public:
    typedef typename Traits::Type Type;

    CUniqueNetHandle() = default;
    explicit CUniqueNetHandle(Type handle) : m_handle(handle) {}
    ~CUniqueNetHandle() { Close(); }
    CUniqueNetHandle(const CUniqueNetHandle&) = delete;
    CUniqueNetHandle& operator=(const CUniqueNetHandle&) = delete;
    CUniqueNetHandle(CUniqueNetHandle&& other) noexcept : m_handle(other.Release()) {}
    CUniqueNetHandle& operator=(CUniqueNetHandle&& other) noexcept
    {
        if (this != &other) {
            Close();
            m_handle = other.Release();
        }
        return *this;
    }

    Type Get() const { return m_handle; }
    bool IsValid() const { return m_handle != Traits::Invalid(); }

    Type Release()
    {
        Type handle = m_handle;
        m_handle = Traits::Invalid();
        return handle;
    }

    // True when there was nothing to close or the close succeeded.
    bool Close()
    {
        if (!IsValid())
            return true;
        if (!Traits::Close(m_handle))
            return false;
        m_handle = Traits::Invalid();
        return true;
    }

private:
    Type m_handle = Traits::Invalid();
};

struct SocketHandleTraits {
    typedef SOCKET Type;
    static SOCKET Invalid() { return INVALID_SOCKET; }
    static bool Close(SOCKET s) { return closesocket(s) == 0; }
};

struct NetEventTraits {
    typedef WSAEVENT Type;
    static WSAEVENT Invalid() { return WSA_INVALID_EVENT; }
    static bool Close(WSAEVENT e) { return WSACloseEvent(e) != FALSE; }
};

typedef CUniqueNetHandle<SocketHandleTraits> CUniqueSocket;
typedef CUniqueNetHandle<NetEventTraits> CUniqueNetEvent;
