// The two compilers' command lines read their text source whole before parsing it.
#pragma once
#include "gCMemFile.h"
#include "gCString.h"

// 0 with every byte of the file in bytes; otherwise the code of the open or read that failed.
gCResult ReadSourceFile(const gCString& path, gCMemFile& bytes);
