#include "CStringTableWriter.h"

gCResult CStringTableWriter::AddRecord(uint32_t id, const gCString& name, const gCString& text, uint32_t reserved)
{
    QV_RETURN_IF_FAILED(m_bytes.WriteU32(id));
    QV_RETURN_IF_FAILED(m_bytes.WriteU32(reserved));
    QV_RETURN_IF_FAILED(m_bytes.WriteString(name, 1));
    return m_bytes.WriteString(text, 1);
}
