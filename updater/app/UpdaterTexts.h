// Numbers of the updater's localised texts (text n of the language block, see LocalString.h)
// that the application and its window use themselves; the engine's own numbers live with it.
#pragma once
#include <cstdint>

enum : uint32_t {
    // Text 0 of every block names its language as the product names it; text 1 is its code.
    kTextLanguageName = 0,
    kTextLanguageCode = 1,
    kTextSlaveInstallFailed = 39,
    kTextUpdaterUpdate = 51,
    kTextProductRunning = 74,

    kTextCaptionChecking = 100,
    kTextButtonCancel = 101,
    kTextButtonClose = 102,
    kTextButtonOpenLocation = 103,
    kTextLocationLine = 104,
    kTextFactsMissing = 105,
    kTextBoxCaption = 106,
    kTextCheckingFor = 107,
    kTextCancelled = 108,
    kTextInstallingDropped = 109,
    kTextInstallingSource = 110,
    kTextCaptionDone = 111,
    kTextCaptionFailed = 112,
    kTextCaptionSlave = 113,
    kTextSelfUpdateStarted = 114,
    kTextCaptionInstalling = 115,

    // Why the product's facts could not be read: a line of the log after the box.
    kTextFactsUnreadable = 140,
    kTextFactsNotOpened = 141,
    kTextFactsTooLarge = 142,
    kTextFactsDamaged = 143,
    kTextFactsIncomplete = 144,
};
