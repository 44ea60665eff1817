// The toolkit messages of the update engine (ids 0xFF0F00xx). a, b and c are the three
// words of a send; pointers travel in a word, which is why the program is 32-bit only.
#pragma once
#include <cstdint>

enum : uint32_t {
    // application: manager, the manager's state, its sign word. Nothing acts on it.
    kMsgTransferFailed = 0xFF0F0001,
    // view: pointer to a gCString (valid during the call), ARGB colour, 0.
    kMsgStatusLine = 0xFF0F0004,
    // view: session, percent as a signed 64-bit value in b (low) and c (high).
    kMsgProgress = 0xFF0F0005,
    // view: pointer to a gCString, ARGB colour, 0; the closing line of an error report.
    kMsgReportClosingLine = 0xFF0F0006,
    // application: manager, pointer to the body (gCMemFile), 0.
    kMsgFileArrived = 0xFF0F0007,
    // as kMsgFileArrived, once a reply of the run carried "QVU-UpdaterSend".
    kMsgUpdaterFileArrived = 0xFF0F0008,
    // application: manager, answer type, its sign word.
    kMsgAnswerReported = 0xFF0F000A,
    // application: manager, 0, 0.
    kMsgBrokenDownloadReported = 0xFF0F000B,
    // application: manager, 0, 0; the reply carries "QVU-UpdaterSend".
    kMsgUpdaterSendSeen = 0xFF0F000D,
    // application (flag 0): manager, address of its session field, 0.
    kMsgSupplySession = 0xFF0F000E,
    // application: manager, 0, 0; a complete file arrived.
    kMsgCompleteFileArrived = 0xFF0F000F,
    // application: manager, 0, 0; an answer page or a broken download arrived.
    kMsgPageOrBrokenArrived = 0xFF0F0010,
    // application, sent to itself: 0, 0, 0; the user cancelled, the installer stops at its next
    // file. The view does nothing with it.
    kMsgStopInstalling = 0xFF0F0012,
    // view: manager, 0, 0; the answer is of type 2.
    kMsgAnswerType2 = 0xFF0F0013,
};

// Status-line colours (ARGB) of the transfer, besides those of UpdaterHost.h.
const uint32_t kLineLightRed = 0xFFFF4040;
const uint32_t kLineGreen = 0xFF008000;
// The line that says the update is one of the updater itself.
const uint32_t kLineDarkRed = 0xFF800000;

// A pointer or a value as one message word.
template <typename T>
inline uint32_t MessageWord(T* pointer)
{
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(pointer));
}
inline uint32_t SignWord(int64_t value)
{
    return value < 0 ? 0xFFFFFFFFu : 0u;
}
