// A function that tests can replace, with the default it falls back to. Setting null puts the
// default back; the setter returns what was in place, so whoever replaced it can restore it.
#pragma once

template <typename Function>
class CReplaceableHook {
public:
    // constexpr: the default is in place before any static initialiser of another file can call it.
    explicit constexpr CReplaceableHook(Function fallback) : m_fallback(fallback), m_current(fallback) {}
    CReplaceableHook(const CReplaceableHook&) = delete;
    CReplaceableHook& operator=(const CReplaceableHook&) = delete;

    Function Set(Function function)
    {
        const Function previous = m_current;
        m_current = function ? function : m_fallback;
        return previous;
    }
    Function Get() const { return m_current; }

private:
    const Function m_fallback;
    Function m_current;
};
