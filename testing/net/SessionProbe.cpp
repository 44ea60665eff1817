#include "SessionProbe.h"

#include <windows.h>

#include "Loopback.h"

namespace {

SessionProbe* Probe(void* context)
{
    return static_cast<SessionProbe*>(context);
}

SessionProbe* gCurrent = nullptr;

} // namespace

SessionProbe::SessionProbe()
{
    EnsureWinSockForTests();
    gCurrent = this;
    session.ProgressProc = {[](CHTTPSession*, uint32_t perMille, void* c) -> gCResult {
                                Probe(c)->perMille.push_back(perMille);
                                return 0;
                            },
                            this};
    session.FinishedProc = {
        [](CHTTPSession*, gCString, gCString, uint32_t complete, uint32_t received, void* c) -> gCResult {
            return Probe(c)->Note("finished:" + std::to_string(complete) + ":" + std::to_string(received));
        },
        this};
    session.RequestFailedProc = {[](CHTTPSession*, void* c) { return Probe(c)->Note("request-failed"); }, this};
    session.TransferErrorProc = {[](CHTTPSession*, void* c) { return Probe(c)->Note("transfer-error"); }, this};
    session.AddRequestHeadersProc = {[](gCStringArray& names, gCStringArray& values, void* c) -> gCResult {
                                         for (const auto& pair : Probe(c)->extraHeaders) {
                                             QV_RETURN_IF_FAILED(names.Add(gCString(pair.first.c_str())));
                                             QV_RETURN_IF_FAILED(values.Add(gCString(pair.second.c_str())));
                                         }
                                         return 0;
                                     },
                                     this};
    // The single callbacks carry no context: they find the probe of the running test.
    session.StateChangedProc = [](CHTTPSession* s) -> gCResult {
        gCurrent->states.push_back(s->GetState());
        return 0;
    };
}

SessionProbe::~SessionProbe()
{
    // The test is over; a close failure has no one to tell.
    (void)session.Close();
    gCurrent = nullptr;
}

bool SessionProbe::PollUntil(const std::function<bool()>& done, int ms)
{
    return WaitUntil(
        done,
        [this] {
            (void)session.Poll(); // failures show in the callbacks the test records
            return true;
        },
        ms);
}

gCResult SessionProbe::Note(const std::string& event)
{
    m_events += (m_events.empty() ? "" : " ") + event;
    return kOk;
}

std::string SessionProbe::Body()
{
    gCMemFile& body = session.GetBody();
    return std::string(reinterpret_cast<const char*>(body.GetData()), static_cast<size_t>(body.GetLength()));
}
