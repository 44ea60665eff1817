// Texts of the toolkit's own files (string-table records, resource names, text-list entries)
// end with CR LF, which a file's ReadString hands back as one line feed.
#pragma once
#include "gCStream.h"

// Reads such a text and drops its line end; a text ended otherwise is kept whole.
gCResult ReadRecordText(gCStream& stream, gCString& out);

// The readers of these files need a disk file's text rules: an open gCFile, or a file's image
// in memory (CFileImage).
bool ReadsAsFile(const gCStream* stream);
