// The application's handling of the update engine's messages; every message then goes on to
// the window.
#include <new>

#include "CQVUHTTPSession.h"
#include "CSound.h"
#include "CQVUTransferManager.h"
#include "CQuorvelUpdaterApp.h"
#include "UpdaterMessages.h"
#include "UpdaterTexts.h"

namespace {
const uint32_t kAnswerOffersLocation = 1;
const uint32_t kSoundFileArrived = 90000;
const uint32_t kSoundPageArrived = 90001;
} // namespace

uint32_t CQuorvelUpdaterApp::OnMessage(uint32_t id, uint32_t a, uint32_t b, uint32_t c, uint32_t flag)
{
    switch (id) {
    case kMsgSupplySession: {
        CQVULocalHTTPSession* session = new (std::nothrow) CQVULocalHTTPSession(*this);
        if (!session)
            return kCreateFailure;
        *reinterpret_cast<CQVUHTTPSession**>(b) = session;
        break;
    }
    case kMsgFileArrived:
    case kMsgUpdaterFileArrived: {
        gCMemFile* body = reinterpret_cast<gCMemFile*>(b);
        m_pending = body;
        if (id == kMsgUpdaterFileArrived)
            QV_RETURN_IF_FAILED(SaveUpdateSource(*body));
        break;
    }
    case kMsgAnswerReported:
        if (b == kAnswerOffersLocation) {
            QV_RETURN_IF_FAILED(OfferLocation());
        } else {
            Finish(b == 2 ? kTextCaptionDone : kTextCaptionFailed);
        }
        break;
    case kMsgTransferFailed:
    case kMsgBrokenDownloadReported:
        Finish(kTextCaptionFailed);
        break;
    case kMsgCompleteFileArrived:
        PlaySound(0);
        break;
    case kMsgPageOrBrokenArrived:
        PlaySound(1);
        break;
    case kMsgStopInstalling:
        m_desquasher.SetStopFlag();
        break;
    default:
        break;
    }
    return flag ? SendToView(id, a, b, c) : SendToViewFlag0(id, a, b, c);
}

gCResult CQuorvelUpdaterApp::OfferLocation()
{
    gCString location;
    if (CQVUTransferManager::GetReplyHeader(m_manager.get(), gCString(L"QVU-DownloadLocation"), location) != kOk)
        (void)location.SetText(L""); // no location, nothing to offer
    m_location = location;
    // A line that names no location would only puzzle the user.
    if (!m_location.IsEmpty())
        QV_RETURN_IF_FAILED(PostStatusLine(gCString::Concat(Text(kTextLocationLine), location), kLineBlack, 1));
    SetState(m_location.IsEmpty() ? State::kDone : State::kOffering);
    Finish(kTextCaptionFailed);
    if (m_state == State::kOffering && m_backdrop) {
        QV_RETURN_IF_FAILED(m_backdrop->SetButtonText(Text(kTextButtonOpenLocation)));
        m_backdrop->SetButtonOpacity(1.0f);
    }
    return kOk;
}

void CQuorvelUpdaterApp::LoadSounds()
{
    // A program without its sounds still updates: a missing one is simply not played.
    const uint32_t ids[2] = {kSoundFileArrived, kSoundPageArrived};
    for (int32_t i = 0; i < 2; ++i)
        m_sounds[i].reset(CreateSound(ids[i], nullptr, nullptr));
}

void CQuorvelUpdaterApp::PlaySound(int32_t index)
{
    if (m_sounds[index])
        (void)m_sounds[index]->Play(0); // a sound that cannot play is only missed
}
