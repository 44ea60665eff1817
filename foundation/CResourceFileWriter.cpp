#include "CResourceFileWriter.h"

#include "ResourceTags.h"

gCResult CResourceFileWriter::AddVersion(uint32_t version)
{
    return AddChunk(kTagVersion, 4, &version, 4);
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

gCResult CResourceFileWriter::WriteImageBody(gCStream& body, uint32_t width, uint32_t height, const uint32_t* pixels)
{
    const uint64_t bytes = static_cast<uint64_t>(width) * height * 4u;
    if (bytes > 0x7FFFFFFFu)
        return kBadParameter;
    QV_RETURN_IF_FAILED(body.WriteU32(width));
    QV_RETURN_IF_FAILED(body.WriteU32(height));
    return bytes ? body.WriteBytes(pixels, static_cast<uint32_t>(bytes)) : kOk;
}

gCResult CResourceFileWriter::WriteFontBody(gCStream& body, const void* bytes, uint32_t length)
{
    QV_RETURN_IF_FAILED(body.WriteU32(length));
    return length ? body.WriteBytes(bytes, length) : kOk;
}

gCResult CResourceFileWriter::WriteGradientBody(gCStream& body, const float* positions, const uint32_t* colours,
                                                uint32_t count)
{
    QV_RETURN_IF_FAILED(body.WriteU32(count));
    for (uint32_t i = 0; i < count; ++i) {
        QV_RETURN_IF_FAILED(body.WriteFloat(positions[i]));
        QV_RETURN_IF_FAILED(body.WriteU32(colours[i]));
    }
    return kOk;
}

gCResult CResourceFileWriter::WriteWidgetBody(gCStream& body, int32_t width, int32_t height)
{
    const uint32_t sizeChunk = 16;
    QV_RETURN_IF_FAILED(body.WriteU32(sizeChunk));
    QV_RETURN_IF_FAILED(body.WriteU32(kTagWidgetSize));
    QV_RETURN_IF_FAILED(body.WriteU32(8));
    QV_RETURN_IF_FAILED(body.WriteS32(width));
    return body.WriteS32(height);
}
