#include "FileOperationHook.h"

namespace {
FileOperationHook gHook = nullptr;
void* gContext = nullptr;
} // namespace

void SetFileOperationHook(FileOperationHook hook, void* context)
{
    gHook = hook;
    gContext = context;
}

void NoteFileOperation(FileOperation operation, const gCString& path)
{
    if (gHook)
        gHook(operation, path, gContext);
}
