#include "SourceFile.h"

#include "gCFile.h"

gCResult ReadSourceFile(const gCString& path, gCMemFile& bytes)
{
    gCFile source;
    QV_RETURN_IF_FAILED(source.OpenFullPath(path, kAccessRead));
    return source.CopyRestTo(bytes);
}
