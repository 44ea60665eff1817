#include "CResourceFileWriter.h"

gCResult CResourceFileWriter::AddVersion(uint32_t version)
{
    return AddChunk('vers', 4, &version, 4);
}

gCResult CResourceFileWriter::AddResource(uint32_t tag, uint32_t id, const gCString& name, gCMemFile& body,
                                          int64_t declaredSize)
{
    gCMemFile content;
    QV_RETURN_IF_FAILED(content.WriteU32(id));
    QV_RETURN_IF_FAILED(content.WriteString(name, 1));
    int64_t bodySize = body.GetSize();
    if (bodySize > 0)
        QV_RETURN_IF_FAILED(content.WriteBytes(body.GetData(), static_cast<uint32_t>(bodySize)));
    uint32_t contentBytes = static_cast<uint32_t>(content.GetSize());
    uint32_t size = declaredSize < 0 ? contentBytes : static_cast<uint32_t>(declaredSize);
    return AddChunk(tag, size, content.GetData(), contentBytes);
}

gCResult CResourceFileWriter::AddChunk(uint32_t tag, uint32_t declaredSize, const void* content, uint32_t contentBytes)
{
    QV_RETURN_IF_FAILED(m_bytes.WriteU32(tag));
    QV_RETURN_IF_FAILED(m_bytes.WriteU32(declaredSize));
    return contentBytes ? m_bytes.WriteBytes(content, contentBytes) : kOk;
}

gCResult CResourceFileWriter::WriteTextBody(gCStream& body, const gCString& text)
{
    QV_RETURN_IF_FAILED(body.WriteString(text, 0));
    return body.WriteU16(0);
}

gCResult CResourceFileWriter::WriteTextListBody(gCStream& body, uint32_t exclusivity, uint32_t count,
                                                const gCString* texts, const uint32_t* values, int32_t entries)
{
    QV_RETURN_IF_FAILED(body.WriteU32(exclusivity));
    QV_RETURN_IF_FAILED(body.WriteU32(count));
    for (int32_t i = 0; i < entries; ++i) {
        QV_RETURN_IF_FAILED(body.WriteString(texts[i], 1));
        if (values)
            QV_RETURN_IF_FAILED(body.WriteU32(values[i]));
    }
    return kOk;
}
