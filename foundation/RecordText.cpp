#include "RecordText.h"

gCResult ReadRecordText(gCStream& stream, gCString& out)
{
    QV_RETURN_IF_FAILED(stream.ReadString(out));
    int32_t length = out.Length();
    if (length > 0 && out[length - 1] == L'\n')
        out.SetLength(length - 1);
    return kOk;
}

bool ReadsAsFile(const gCStream* stream)
{
    return stream && (stream->GetKind() == kStreamKindFile || stream->GetKind() == kStreamKindFileImage) &&
           stream->HasData();
}
