// Shows a result code's fixed text, with an optional detail line, in a modal box titled
// "Error.". Re-entry is dropped; heartbeat work and cursors are restored afterwards.
#pragma once
#include <cstdint>

#include "gCResult.h"

void ReportError(gCResult code, const char* detail);

// The fixed text of a code; codes outside 0..31 give code 1's.
const char* GetResultText(gCResult code);

// Writes the saved value back once, on Restore or at the end of its scope.
class CScopedRestore {
public:
    CScopedRestore(int32_t* guarded, int32_t saved) : m_saved(saved), m_guarded(guarded), m_armed(1) {}
    ~CScopedRestore() { Restore(); }
    CScopedRestore(const CScopedRestore&) = delete;
    CScopedRestore& operator=(const CScopedRestore&) = delete;
    void Restore();

private:
    int32_t m_saved;
    int32_t* m_guarded;
    int32_t m_armed;
};

class CAppActiveGuard {
public:
    CAppActiveGuard();
    ~CAppActiveGuard();
    CAppActiveGuard(const CAppActiveGuard&) = delete;
    CAppActiveGuard& operator=(const CAppActiveGuard&) = delete;

private:
    int32_t m_wasEnabled;
};

class CSystemCursorGuard {
public:
    CSystemCursorGuard();
    ~CSystemCursorGuard();
    CSystemCursorGuard(const CSystemCursorGuard&) = delete;
    CSystemCursorGuard& operator=(const CSystemCursorGuard&) = delete;

private:
    int32_t m_wasShown;
};

class CCursorStateGuard {
public:
    CCursorStateGuard();
    ~CCursorStateGuard();
    CCursorStateGuard(const CCursorStateGuard&) = delete;
    CCursorStateGuard& operator=(const CCursorStateGuard&) = delete;

private:
    int32_t m_systemShown;
    int32_t m_ownShowing;
};
