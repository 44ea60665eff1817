// The source record: a byte-for-byte copy of an update archive of the updater itself, laid
// beside the program for the slave copy to install.
#pragma once
#include "gCResult.h"
#include "gCStream.h"
#include "gCString.h"

extern const wchar_t* const kSourceRecordName;

// Writes the whole archive to the record in the folder (which ends in its separator) and
// rewinds the archive. A failed write leaves no record: a cut one would be taken for a download
// source at the next start. Everyone else writes the record through
// IUpdaterHost::SaveUpdateSource, which the application implements with this.
gCResult WriteSourceRecord(const gCString& folder, gCStream& archive);
