// A move-only owner of one COM interface pointer: released once, when replaced or destroyed.
#pragma once

template <typename T>
class CComRef {
public:
    CComRef() = default;
    explicit CComRef(T* pointer) : m_pointer(pointer) {}
    ~CComRef() { Reset(); }
    CComRef(CComRef&& other) noexcept : m_pointer(other.Detach()) {}
    CComRef& operator=(CComRef&& other) noexcept
    {
        if (this != &other)
            Reset(other.Detach());
        return *this;
    }
    CComRef(const CComRef&) = delete;
    CComRef& operator=(const CComRef&) = delete;

    T* Get() const { return m_pointer; }
    T* operator->() const { return m_pointer; }
    explicit operator bool() const { return m_pointer != nullptr; }
    // For creation calls that write the pointer; whatever was held is released first.
    T** Receive()
    {
        Reset();
        return &m_pointer;
    }
    T* Detach()
    {
        T* pointer = m_pointer;
        m_pointer = nullptr;
        return pointer;
    }
    void Reset(T* pointer = nullptr)
    {
        if (m_pointer)
            m_pointer->Release();
        m_pointer = pointer;
    }

private:
    T* m_pointer = nullptr;
};
