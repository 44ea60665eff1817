#include "CQuorvelUpdaterBackdrop.h"

#include <algorithm>

#include "CWindowBase.h"
#include "CQVUTransferManager.h"
#include "CRegion.h"
#include "CTimer.h"
#include "UpdateRequest.h"
#include "UpdaterMessages.h"
#include "UpdaterTexts.h"

namespace {
const uint32_t kBackground = 0xFFF0F0F0;
const uint32_t kFrame = 0xFFA0A0A0;
const uint32_t kButtonFace = 0xFFDDDDDD;
const uint32_t kButtonFrame = 0xFF707070;
const uint32_t kText = 0xFF000000;
const int32_t kBodyPixels = 13;
const int32_t kHeadingPixels = 16;
const int32_t kFallbackRowHeight = 16;
const int32_t kRowIndent = 6;
const int32_t kWheelNotch = 120;
const int32_t kRowsPerNotch = 3;
// The scroll mark's width at the list's right edge.
const int32_t kScrollMark = 4;
// More characters than fit in any row.
const int32_t kMostRowCharacters = 400;

// Where the font resource cannot be loaded: Arial, else a free face with the same metrics.
const wchar_t* const kFontFiles[] = {L"arial.ttf", L"Arial.ttf", L"LiberationSans-Regular.ttf"};
const wchar_t* const kBuiltInNote = L"The window could not be loaded from QVUpdater.vrf: its built-in name and size "
                                    L"are used.";
const wchar_t* const kSystemFontNote = L"The font could not be loaded from QVUpdater.vrf: the window uses a system "
                                       L"font.";
const wchar_t* const kNoFontNote = L"The font could not be loaded from QVUpdater.vrf, nor a system font: the window "
                                   L"shows no text.";

uint32_t Mix(uint32_t from, uint32_t to, float amount)
{
    uint32_t out = 0xFF000000;
    for (int32_t shift = 0; shift <= 16; shift += 8) {
        const float a = static_cast<float>((from >> shift) & 0xFF);
        const float b = static_cast<float>((to >> shift) & 0xFF);
        out |= static_cast<uint32_t>(a + (b - a) * amount + 0.5f) << shift;
    }
    return out;
}

int32_t Percent(float fraction)
{
    return static_cast<int32_t>(fraction * 100.0f + 0.5f);
}

gCRect Inset(const gCRect& rect, int32_t by)
{
    return {rect.left + by, rect.top + by, rect.right - by, rect.bottom - by};
}
} // namespace

CQuorvelUpdaterBackdrop::CQuorvelUpdaterBackdrop(IUpdaterWindowOwner* owner, CResultsLog* log)
    : m_owner(owner), m_log(log)
{
    (void)m_name.SetText(L"Quorvel Updater"); // the window's title; empty only without memory
    (void)m_caption.SetText(L"");
    (void)m_buttonText.SetText(L"");
    m_framed = 1;
}

CQuorvelUpdaterBackdrop::~CQuorvelUpdaterBackdrop()
{
    if (m_owner)
        m_owner->OnWindowClosed();
}

void CQuorvelUpdaterBackdrop::LoadResources(gCStream* stream, CResourceDirectory* directory, gCStream* fontStream,
                                            CResourceDirectory* fontDirectory)
{
    // A note the log cannot keep is lost like any other line.
    if (LoadByID(kResourceId, stream, directory) != kOk) {
        (void)SetSize(kWidth, kHeight, 0); // the window reports a back buffer it cannot make
        (void)WriteLogLine(gCString(kBuiltInNote));
    }
    gCString file;
    if (m_font.LoadByID(kFontId, fontStream, fontDirectory) == kOk && m_body.Open(m_font, kBodyPixels) == kOk &&
        m_heading.Open(m_font, kHeadingPixels) == kOk) {
        m_fontSource = kResourceFont;
    } else if (FindSystemFont(kFontFiles, sizeof kFontFiles / sizeof kFontFiles[0], file) == kOk &&
               m_body.Open(file, kBodyPixels) == kOk && m_heading.Open(file, kHeadingPixels) == kOk) {
        m_fontSource = kSystemFont;
        (void)WriteLogLine(gCString(kSystemFontNote));
    } else {
        m_fontSource = kNoFont;
        m_body.Close();
        m_heading.Close();
        (void)WriteLogLine(gCString(kNoFontNote));
    }
    if (m_fontSource != kNoFont)
        m_list.SetVisibleRows((ListRect().Height() - 4) / m_body.GetLineHeight());
}

gCResult CQuorvelUpdaterBackdrop::OnWindowOpen()
{
    if (!m_body.IsOpen())
        m_list.SetVisibleRows((ListRect().Height() - 4) / kFallbackRowHeight);
    Render();
    InvalidateAll();
    return kOk;
}

gCResult CQuorvelUpdaterBackdrop::SetSize(int32_t width, int32_t height, int32_t redraw)
{
    QV_RETURN_IF_FAILED(CBackdrop::SetSize(width, height, redraw));
    // The size read from the resource comes before the faces: the window's open draws it.
    if (redraw)
        Render();
    return kOk;
}

gCRect CQuorvelUpdaterBackdrop::RowRect(int32_t visibleIndex) const
{
    const int32_t height = m_body.IsOpen() ? m_body.GetLineHeight() : kFallbackRowHeight;
    const gCRect list = ListRect();
    const int32_t top = list.top + 2 + visibleIndex * height;
    return {list.left + 1, top, list.right - 1, top + height};
}

gCResult CQuorvelUpdaterBackdrop::Changed(uint32_t presentFlag, Part part)
{
    // Only the changed part is drawn and goes to the screen; it stays marked until it has gone
    // there.
    if (m_backBuffer.IsValid()) {
        GdiFlush();
        switch (part) {
        case kCaptionPart:
            DrawCaption();
            Invalidate(CaptionRect());
            break;
        case kListPart:
            DrawList();
            Invalidate(ListRect());
            break;
        case kButtonPart:
            DrawButton();
            Invalidate(ButtonRect());
            break;
        }
    }
    return presentFlag ? Present() : gCResult(kOk);
}

void CQuorvelUpdaterBackdrop::DrawWaitingBar()
{
    if (!m_barStale || !m_backBuffer.IsValid())
        return;
    GdiFlush();
    DrawProgress();
    Invalidate(ProgressRect());
}

gCResult CQuorvelUpdaterBackdrop::Present()
{
    DrawWaitingBar();
    return CBackdrop::Present();
}

HDC CQuorvelUpdaterBackdrop::GetBackBufferDC()
{
    DrawWaitingBar();
    return CBackdrop::GetBackBufferDC();
}

CImageBase& CQuorvelUpdaterBackdrop::GetBackBuffer()
{
    DrawWaitingBar();
    return m_backBuffer;
}

gCResult CQuorvelUpdaterBackdrop::BuildUpdateURL(CQVUTransferManager* manager, const CProductFacts& facts,
                                                 const gCString& key, bool testMode, const gCString& testServer)
{
    if (!manager)
        return kInvalidObject;
    // A test run without the name of its server asks no server at all.
    if (testMode && testServer.IsEmpty())
        return kOutOfMemory;
    gCString target;
    QV_RETURN_IF_FAILED(BuildUpdateTarget(facts, key, testMode, target));
    return CQVUTransferManager::RequestURL(manager, testMode ? testServer : gCString(kUpdateServerHost), target);
}

gCResult CQuorvelUpdaterBackdrop::WriteLogLine(gCString text)
{
    // A log that cannot take the line (a full disk) only misses it: the window and the update
    // go on.
    if (m_log)
        (void)m_log->WriteLine(text);
    return kOk;
}

gCResult CQuorvelUpdaterBackdrop::PostStatusLine(gCString text, uint32_t colour, uint32_t presentFlag)
{
    // The log keeps the line even when the list cannot.
    QV_RETURN_IF_FAILED(WriteLogLine(text));
    QV_RETURN_IF_FAILED(AddWrapped(text, colour));
    // Presenting only shows the line: one that cannot reach the screen now stays marked and shows
    // at the next present or paint, and the update goes on.
    (void)Changed(presentFlag, kListPart);
    return kOk;
}

int32_t CQuorvelUpdaterBackdrop::RowTextWidth()
{
    // Within the frame, after the indent, clear of the scroll mark.
    return ListRect().Width() - 2 - 2 * kRowIndent - kScrollMark;
}

int32_t CQuorvelUpdaterBackdrop::TextWidth(const gCString& text) const
{
    return m_body.IsOpen() ? m_body.MeasureText(text) : 0;
}

int32_t CQuorvelUpdaterBackdrop::FittingLength(const gCString& text) const
{
    // No row holds more than this many characters, so a long line costs little to measure.
    const int32_t most = text.Length() < kMostRowCharacters ? text.Length() : kMostRowCharacters;
    int32_t low = 1, high = most;
    while (low < high) {
        const int32_t middle = (low + high + 1) / 2;
        if (TextWidth(text.Left(middle)) <= RowTextWidth())
            low = middle;
        else
            high = middle - 1;
    }
    // After the last space that fits, when there is one.
    for (int32_t cut = low; cut > 1; --cut)
        if (text[cut - 1] == L' ')
            return cut;
    return low;
}

gCResult CQuorvelUpdaterBackdrop::AddWrapped(const gCString& text, uint32_t colour)
{
    // A line wider than the list goes on in the rows below it, so that all of it can be read.
    gCString rest = text;
    while (TextWidth(rest) > RowTextWidth()) {
        const int32_t cut = FittingLength(rest);
        gCString row = rest.Left(cut);
        row.Trim(gCString(L" "));
        QV_RETURN_IF_FAILED(m_list.Add(row, colour));
        rest = rest.Mid(cut, rest.Length() - cut);
        rest.Trim(gCString(L" "));
    }
    return m_list.Add(rest, colour);
}

gCResult CQuorvelUpdaterBackdrop::PostColouredLine(gCString text, uint32_t colour)
{
    QV_RETURN_IF_FAILED(m_caption.SetString(text));
    (void)Changed(0, kCaptionPart); // presented with the line
    return PostStatusLine(text, colour, 1);
}

gCResult CQuorvelUpdaterBackdrop::SetProgress(float fraction, uint32_t flag)
{
    if (fraction < 0.0f)
        fraction = 0.0f;
    if (fraction > 1.0f)
        fraction = 1.0f;
    // The bar moves by whole percents: a step within the same percent draws nothing new, and
    // the installer sets the progress once per file.
    const bool same = m_progressShown && Percent(fraction) == Percent(m_progress);
    m_progress = fraction;
    m_progressShown = 1;
    if (same || !m_backBuffer.IsValid())
        return kOk;
    // The bar is drawn only when it is shown (Present, a paint): the installer moves it a percent
    // every few small files, and a present or a drawing for each step would cost more than the
    // files.
    m_barStale = 1;
    if (!flag)
        return kOk;
    const uint32_t now = ReadMillisecondClock();
    if (now - m_barPresentedAt < kBarPresentMs) {
        m_barWaiting = 1;
        return kOk;
    }
    PresentBar(now);
    return kOk;
}

void CQuorvelUpdaterBackdrop::PresentBar(uint32_t now)
{
    m_barPresentedAt = now;
    m_barWaiting = 0;
    (void)Present(); // progress that cannot be shown at once shows at the next paint
}

gCResult CQuorvelUpdaterBackdrop::SetCaptionText(gCString text, uint32_t flag)
{
    m_caption = text;
    (void)Changed(flag, kCaptionPart); // as SetProgress
    return kOk;
}

gCResult CQuorvelUpdaterBackdrop::SetButtonText(gCString text)
{
    m_buttonText = text;
    return Changed(1, kButtonPart);
}

void CQuorvelUpdaterBackdrop::SetButtonOpacity(float opacity)
{
    m_fade.running = 0;
    m_buttonOpacity = opacity;
    (void)Changed(1, kButtonPart); // drawn again at the next paint when it cannot be presented now
}

void CQuorvelUpdaterBackdrop::FadeButton()
{
    m_buttonOpacity = kDimmedButton;
    m_fade.timer.Stamp();
    m_fade.running = 1;
}

void CQuorvelUpdaterBackdrop::RestartAnimations()
{
    m_fade.running = 0;
    m_buttonOpacity = 1.0f;
}

gCResult CQuorvelUpdaterBackdrop::OnHeartbeat()
{
    if (!m_checkAsked && IsReady() && m_owner) {
        m_checkAsked = 1;
        m_owner->OnCheckWanted();
    }
    if (m_fade.running) {
        m_buttonOpacity = m_fade.GetValue();
        if (!m_fade.running)
            m_buttonOpacity = 1.0f;
        (void)Changed(1, kButtonPart); // a frame of the fade that cannot be shown is simply skipped
    }
    if (m_barWaiting)
        PresentBar(ReadMillisecondClock());
    return kOk;
}

uint32_t CQuorvelUpdaterBackdrop::OnMessage(uint32_t id, uint32_t a, uint32_t b, uint32_t c, uint32_t)
{
    switch (id) {
    case kMsgStatusLine:
        return static_cast<uint32_t>(PostStatusLine(*reinterpret_cast<gCString*>(a), b, 1));
    case kMsgProgress: {
        const int64_t percent = static_cast<int64_t>((static_cast<uint64_t>(c) << 32) | b);
        return static_cast<uint32_t>(SetProgress(static_cast<float>(percent) / 100.0f, 1));
    }
    case kMsgReportClosingLine:
        return static_cast<uint32_t>(PostColouredLine(*reinterpret_cast<gCString*>(a), b));
    case kMsgUpdaterSendSeen:
        if (!m_owner)
            return 0;
        return static_cast<uint32_t>(PostStatusLine(m_owner->Text(kTextUpdaterUpdate), kLineDarkRed, 1));
    case kMsgAnswerReported:
        // An answer page is no download: a bar at its end would claim one.
        m_progressShown = 0;
        m_barStale = 1;
        [[fallthrough]];
    case kMsgBrokenDownloadReported:
        RestartAnimations();
        (void)Changed(1, kButtonPart); // shown at the next paint otherwise
        return 0;
    case kMsgAnswerType2:
        FadeButton();
        return 0;
    default:
        return 0;
    }
}

gCResult CQuorvelUpdaterBackdrop::OnKeyDown(int32_t& handled, int32_t code)
{
    const int32_t page = m_list.GetVisibleRows();
    switch (code) {
    case kKeyUp:
        m_list.Scroll(-1);
        break;
    case kKeyDown:
        m_list.Scroll(1);
        break;
    case kKeyPageUp:
        m_list.Scroll(-page);
        break;
    case kKeyPageDown:
        m_list.Scroll(page);
        break;
    case kKeyHome:
        m_list.Scroll(-m_list.Count());
        break;
    case kKeyEnd:
        m_list.ScrollToEnd();
        break;
    default:
        return kOk;
    }
    handled = 1;
    return Changed(1, kListPart);
}

gCResult CQuorvelUpdaterBackdrop::OnMouseWheel(int32_t& handled, const gCPoint& delta, const gCPoint&)
{
    // Wheel away from the user (positive) shows older rows.
    const int32_t notches = static_cast<int16_t>(delta.y) / kWheelNotch;
    if (notches == 0)
        return kOk;
    m_list.Scroll(-notches * kRowsPerNotch);
    handled = 1;
    return Changed(1, kListPart);
}

gCResult CQuorvelUpdaterBackdrop::OnMouse(int32_t& handled, MouseEvent event, const gCPoint& point)
{
    const gCRect button = ButtonRect();
    const bool inside =
        point.x >= button.left && point.x < button.right && point.y >= button.top && point.y < button.bottom;
    if (event == kLDown && inside) {
        m_buttonPressed = 1;
        handled = 1;
    } else if (event == kLUp && m_buttonPressed) {
        m_buttonPressed = 0;
        handled = 1;
        if (inside && m_owner && !m_buttonText.IsEmpty())
            m_owner->OnMainButton();
    }
    return kOk;
}

void CQuorvelUpdaterBackdrop::FillRect(const gCRect& rect, uint32_t colour)
{
    // Clipped once, then a row at a time: the bar is filled again at every percent.
    CImageBase& image = m_backBuffer;
    uint32_t* bits = image.GetBits();
    const int32_t width = image.GetWidth();
    const gCRect clipped = IntersectRects(rect, {0, 0, width, image.GetHeight()});
    if (!bits || IsEmptyRect(clipped))
        return;
    for (int32_t y = clipped.top; y < clipped.bottom; ++y)
        std::fill_n(bits + static_cast<size_t>(y) * static_cast<size_t>(width) + clipped.left, clipped.Width(), colour);
}

void CQuorvelUpdaterBackdrop::FrameRect(const gCRect& rect, uint32_t colour)
{
    FillRect({rect.left, rect.top, rect.right, rect.top + 1}, colour);
    FillRect({rect.left, rect.bottom - 1, rect.right, rect.bottom}, colour);
    FillRect({rect.left, rect.top, rect.left + 1, rect.bottom}, colour);
    FillRect({rect.right - 1, rect.top, rect.right, rect.bottom}, colour);
}

void CQuorvelUpdaterBackdrop::DrawCaption()
{
    const gCRect caption = CaptionRect();
    FillRect(caption, kBackground);
    m_heading.DrawText(m_backBuffer, 12, 6, m_caption, kText, caption);
}

void CQuorvelUpdaterBackdrop::DrawList()
{
    const gCRect list = ListRect();
    FillRect(list, kListColour);
    FrameRect(list, kFrame);
    const gCRect inner = Inset(list, 1);
    for (int32_t i = 0; i < m_list.GetVisibleRows(); ++i) {
        const int32_t index = m_list.GetFirstVisible() + i;
        if (index >= m_list.Count())
            break;
        const gCRect row = RowRect(i);
        const CStatusList::Row& entry = m_list.At(index);
        m_body.DrawText(m_backBuffer, row.left + kRowIndent, row.top, entry.text, entry.colour, inner);
    }
    // Where the shown rows lie in the whole list.
    if (m_list.Count() > m_list.GetVisibleRows()) {
        const int32_t track = inner.Height();
        const int32_t thumb = track * m_list.GetVisibleRows() / m_list.Count();
        const int32_t top = inner.top + track * m_list.GetFirstVisible() / m_list.Count();
        FillRect({inner.right - kScrollMark, top, inner.right, top + (thumb > kScrollMark ? thumb : kScrollMark)},
                 kFrame);
    }
}

void CQuorvelUpdaterBackdrop::DrawProgress()
{
    m_barStale = 0;
    const gCRect trough = ProgressRect();
    if (!m_progressShown) {
        FillRect(trough, kBackground);
        return;
    }
    FillRect(trough, kListColour);
    FrameRect(trough, kFrame);
    const gCRect inner = Inset(trough, 2);
    const int32_t filled = inner.Width() * Percent(m_progress) / 100;
    FillRect({inner.left, inner.top, inner.left + filled, inner.bottom}, kBarColour);
    const gCString text = gCString::Concat(gCString::AppendNumber(gCString(L""), Percent(m_progress)), gCString(L"%"));
    const int32_t x = trough.left + (trough.Width() - m_body.MeasureText(text)) / 2;
    const int32_t y = trough.top + (trough.Height() - m_body.GetLineHeight()) / 2;
    m_body.DrawText(m_backBuffer, x, y, text, kText, trough);
}

void CQuorvelUpdaterBackdrop::DrawButton()
{
    const gCRect button = ButtonRect();
    if (m_buttonText.IsEmpty()) {
        FillRect(button, kBackground);
        return;
    }
    FillRect(button, Mix(kBackground, kButtonFace, m_buttonOpacity));
    FrameRect(button, Mix(kBackground, kButtonFrame, m_buttonOpacity));
    const int32_t x = button.left + (button.Width() - m_body.MeasureText(m_buttonText)) / 2;
    const int32_t y = button.top + (button.Height() - m_body.GetLineHeight()) / 2;
    const uint32_t alpha = static_cast<uint32_t>(m_buttonOpacity * 255.0f + 0.5f);
    m_body.DrawText(m_backBuffer, x, y, m_buttonText, (alpha << 24) | (kText & 0xFFFFFF), button);
}

void CQuorvelUpdaterBackdrop::Render()
{
    CImageBase& image = m_backBuffer;
    if (!image.IsValid())
        return;
    GdiFlush();
    image.Fill(kBackground);
    DrawCaption();
    DrawList();
    DrawProgress();
    DrawButton();
}
