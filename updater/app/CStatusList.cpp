#include "CStatusList.h"

gCResult CStatusList::Add(const gCString& text, uint32_t colour)
{
    Row row{text, colour};
    QV_RETURN_IF_FAILED(m_rows.Add(row));
    ScrollToEnd();
    return kOk;
}

void CStatusList::SetVisibleRows(int32_t rows)
{
    m_visible = rows > 0 ? rows : 1;
    Scroll(0);
}

int32_t CStatusList::LastFirst() const
{
    const int32_t last = m_rows.Count() - m_visible;
    return last > 0 ? last : 0;
}

void CStatusList::Scroll(int32_t rows)
{
    int32_t first = m_first + rows;
    if (first > LastFirst())
        first = LastFirst();
    m_first = first < 0 ? 0 : first;
}

void CStatusList::ScrollToEnd()
{
    m_first = LastFirst();
}
