#include "gCFont.h"

#include <utility>

#include "CResourceBody.h"
#include "ResourceTags.h"

gCFont::gCFont() : CBodyResource(kTagFont) {}

gCResult gCFont::ReadBody(CResourceBody body)
{
    uint32_t length = 0;
    if (!body.ReadU32(length) || length < 1 || length > kMaxFontBytes || !body.Holds(length, 1))
        return body.Fail("Error reading font data size.");
    CMemBlockT<uint8_t> bytes;
    if (bytes.Resize(static_cast<int32_t>(length)) != kOk)
        return body.Fail("Out of memory for font data.", kOutOfMemory);
    if (!body.ReadBytes(bytes.Data(), length))
        return body.Fail("Error reading font data.");
    CFaceHandle face;
    if (OpenMemoryFace(bytes.Data(), bytes.Count(), face) != kOk)
        return body.Fail("Font data refused by the font engine.");
    // The old face goes before the bytes it reads; the new bytes stay where the new face
    // expects them.
    m_face.Reset();
    m_bytes.Swap(bytes);
    m_face = std::move(face);
    return kOk;
}
