#include "CFormatWriter.h"

#include "gCFile.h"

gCResult CFormatWriter::SaveAs(const gCString& fullPath, int64_t dropTail)
{
    int64_t size = m_bytes.GetSize();
    if (dropTail < 0 || dropTail > size)
        return kBadParameter;
    gCFile file;
    QV_RETURN_IF_FAILED(file.OpenFullPath(fullPath, kAccessWrite));
    int64_t keep = size - dropTail;
    if (keep > 0)
        QV_RETURN_IF_FAILED(file.WriteBytes(m_bytes.GetData(), static_cast<uint32_t>(keep)));
    return file.Close();
}
