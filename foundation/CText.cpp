#include "CText.h"

#include "ReportError.h"

gCResult CText::LoadByName(const gCString& name, gCStream* stream, CResourceDirectory* directory)
{
    CResourceSource source;
    QV_RETURN_IF_FAILED(LocateByName(name, stream, directory, source));
    return ReadBody(*source.stream);
}

gCResult CText::LoadByID(uint32_t id, gCStream* stream, CResourceDirectory* directory)
{
    CResourceSource source;
    QV_RETURN_IF_FAILED(LocateByID(id, stream, directory, source));
    return ReadBody(*source.stream);
}

gCResult CText::ReadBody(gCStream& stream)
{
    gCString text;
    gCResult r = stream.ReadString(text);
    if (r != kOk) {
        ReportError(kResourceReadFailure, "Error reading CText string.");
        return r;
    }
    return m_text.SetString(text);
}
