#include "SourceFile.h"

#include "gCFile.h"

gCResult ReadSourceFile(const gCString& path, gCMemFile& bytes)
{
    gCFile source;
    QV_RETURN_IF_FAILED(source.OpenFullPath(path, kAccessRead));
    char piece[4096];
    for (;;) {
        uint32_t got = 0;
        QV_RETURN_IF_FAILED(source.ReadUpTo(piece, sizeof piece, got));
        if (got == 0)
            return kOk;
        QV_RETURN_IF_FAILED(bytes.WriteBytes(piece, got));
    }
}
