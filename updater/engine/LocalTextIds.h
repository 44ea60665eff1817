// Numbers of the engine's localised texts (text n of the language block, see LocalString.h);
// the application's own numbers are in its UpdaterTexts.h.
#pragma once
#include <cstdint>

enum : uint32_t {
    // The installer's status and log lines, in the order of an installation.
    kTextInstalledCaption = 16,
    kTextInstallDone = 22,
    kTextReadingArchive = 23,
    kTextUnpackingArchive = 24,
    kTextReadingContents = 25,
    kTextWritingNewFiles = 26,
    kTextCheckingAccess = 27,
    kTextCheckingFile = 28,
    kTextWritingFile = 29,
    kTextMovingNewFiles = 30,
    kTextMovingFile = 31,
    kTextKeepingOldFiles = 33,
    kTextKeepingFile = 34,
    kTextDeletingOldFiles = 35,
    kTextDeletingFile = 36,
    kTextNotWritable = 40,
    kTextAlreadyInstalled = 41,
    kTextInstallStarting = 42,
    kTextOldFileStays = 43,
    kTextArchiveUnreadable = 44,
    kTextArchiveMalformed = 45,
    kTextAccessFailed = 46,
    kTextWriteFailed = 47,
    kTextKeepFailed = 48,
    kTextMoveFailed = 49,
    kTextNoRights = 57,
    kTextStopped = 58,
    kTextRightsCheckFailed = 59,
    kTextRightsBoxCaption = 72,
    kTextArchiveVersion = 73,

    // What the start did with an installation that an earlier run left unfinished.
    kTextRecoveryUndone = 130,
    kTextRecoveryFinished = 131,
    kTextRecoveryFailed = 132,
    kTextRecoverySetAside = 133,

    // The update session's status lines.
    kTextResolveFailed = 52,
    kTextConnectFailed = 53,
    kTextResponseReceived = 54,
    kTextServerFound = 55,

    // The transfer manager's texts.
    kTextReceivedOK = 60,
    kTextFailReasonMissing = 61,
    kTextStartErrorHeading = 62,
    kTextStartFailed = 63,
    kTextDownloadErrorHeading = 64,
    kTextDownloadFailed = 65,
    kTextLookingUp = 66,
    kTextConnectionLost = 67,
    kTextOutsideProcess = 68,
    kTextTransferError = 69,
};
