// Growable arrays with the toolkit's growth rule: the first allocation is exactly the count
// needed, later growth adds count/4 clamped to 8..2048 (or a fixed step). A failed growth
// returns 5 and leaves the array as it was. Elements are relocated bitwise (realloc), so
// only types without self-references may be stored.
#pragma once
#include <cstdint>
#include <cstring>
#include <new>

#include "gCBaseObject.h"
#include "gCResult.h"
#include "gMem.h"

// Makes room for newCount elements in a block described by data/capacity, following the
// growth rule. Count is the number of elements held before the growth.
gCResult GrowArrayStorage(void** data, int32_t* capacity, int32_t count, int32_t newCount, int32_t growStep,
                          size_t elementSize);

template <typename T>
class gCArray : public gCBaseObject {
public:
    gCArray() = default;
    ~gCArray() override { Release(); }
    gCArray(const gCArray&) = delete;
    gCArray& operator=(const gCArray&) = delete;

    int32_t Count() const { return m_count; }
    int32_t Capacity() const { return m_capacity; }
    T* Data() { return m_data; }
    const T* Data() const { return m_data; }
    T& operator[](int32_t i) { return m_data[i]; }
    const T& operator[](int32_t i) const { return m_data[i]; }
    void SetGrowStep(int32_t step) { m_growStep = step; }

    gCResult Add(const T& element)
    {
        gCResult r = Reserve(m_count + 1);
        if (r != kOk)
            return r;
        new (&m_data[m_count]) T(element);
        ++m_count;
        return kOk;
    }

    // Appends a default-constructed element.
    gCResult AddDefault()
    {
        gCResult r = Reserve(m_count + 1);
        if (r != kOk)
            return r;
        new (&m_data[m_count]) T();
        ++m_count;
        return kOk;
    }

    // Keeps the order of the remaining elements.
    void RemoveAt(int32_t index)
    {
        if (index < 0 || index >= m_count)
            return;
        m_data[index].~T();
        std::memmove(static_cast<void*>(&m_data[index]), &m_data[index + 1],
                     sizeof(T) * static_cast<size_t>(m_count - index - 1));
        --m_count;
    }

    int32_t IndexOf(const T& element) const
    {
        for (int32_t i = 0; i < m_count; ++i)
            if (m_data[i] == element)
                return i;
        return -1;
    }

    void Release()
    {
        for (int32_t i = 0; i < m_count; ++i)
            m_data[i].~T();
        if (m_data)
            gMemFree(m_data);
        m_data = nullptr;
        m_count = 0;
        m_capacity = 0;
    }

private:
    gCResult Reserve(int32_t newCount)
    {
        void* data = m_data;
        gCResult r = GrowArrayStorage(&data, &m_capacity, m_count, newCount, m_growStep, sizeof(T));
        m_data = static_cast<T*>(data);
        return r;
    }

    T* m_data = nullptr;
    int32_t m_count = 0;
    int32_t m_capacity = 0;
    int32_t m_growStep = -1;
};
