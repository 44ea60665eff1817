// The rows of the window's status list: text and colour, with the first row shown. A new row
// scrolls the list to the newest; the wheel and keys scroll it back and forth.
#pragma once
#include <cstdint>

#include "gCArray.h"
#include "gCString.h"

class CStatusList {
public:
    struct Row {
        gCString text;
        uint32_t colour;
    };

    // Adds a row and shows the newest rows. 0 or 5.
    gCResult Add(const gCString& text, uint32_t colour);
    void SetVisibleRows(int32_t rows);
    // Moves the first shown row by the count (negative: towards the oldest), kept in range.
    void Scroll(int32_t rows);
    void ScrollToEnd();

    int32_t Count() const { return m_rows.Count(); }
    const Row& At(int32_t i) const { return m_rows[i]; }
    int32_t GetFirstVisible() const { return m_first; }
    int32_t GetVisibleRows() const { return m_visible; }

private:
    int32_t LastFirst() const;

    gCArray<Row> m_rows;
    int32_t m_first = 0;
    int32_t m_visible = 1;
};
