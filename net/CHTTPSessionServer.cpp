// The server side of a session: reading a GET request, choosing the content through the
// owner's callbacks, the reply header block, and streaming the content in pieces.
#include <cwchar>

#include "CHTTPSession.h"
#include "gCStream.h"

namespace {

bool IsHexDigit(wchar_t c)
{
    return (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F');
}

uint32_t HexValue(wchar_t c)
{
    if (c <= L'9')
        return static_cast<uint32_t>(c - L'0');
    if (c <= L'F')
        return static_cast<uint32_t>(c - L'A' + 10);
    return static_cast<uint32_t>(c - L'a' + 10);
}

// A decimal position; false when the text holds no digit. Digits beyond what 64 bits hold
// saturate, so a hostile number only asks for more than there is.
bool ParsePosition(const gCString& text, uint64_t& value)
{
    const gCString trimmed = text.Trimmed(gCString(kTrimWhiteSpace));
    value = 0;
    int32_t i = 0;
    for (; i < trimmed.Length() && trimmed[i] >= L'0' && trimmed[i] <= L'9'; ++i) {
        const uint64_t digit = static_cast<uint64_t>(trimmed[i] - L'0');
        value = value > (kRangeToEnd - digit) / 10 ? kRangeToEnd : value * 10 + digit;
    }
    return i > 0;
}

bool StartsWith(const gCString& text, const wchar_t* prefix)
{
    return std::wcsncmp(text.Text(), prefix, std::wcslen(prefix)) == 0;
}

// The requested path from the request line's text after the method: up to two characters
// before the last capital 'H' (the version's), without the leading '/'. Sets noReply for a
// line whose only 'H' starts the text (no path at all).
void PathFromRequestLine(const gCString& rest, gCString& path, bool& hasPath, bool& noReply)
{
    int32_t h = -1;
    for (int32_t i = 0; i < rest.Length(); ++i)
        if (rest[i] == L'H')
            h = i;
    noReply = h == 0;
    hasPath = !noReply && !StartsWith(rest, L"HTTP/");
    if (hasPath)
        path = rest.Mid(1, h > 2 ? h - 2 : 0);
}

} // namespace

uint32_t IsTextFileName(gCString path)
{
    if (path.IsEmpty())
        return 1;
    int32_t dot = -1;
    for (int32_t i = 0; i < path.Length(); ++i)
        if (path[i] == L'.')
            dot = i;
    if (dot < 0 || dot == path.Length() - 1)
        return 0;
    gCString extension = path.Mid(dot + 1, path.Length() - dot - 1);
    extension.MakeUpper();
    return extension.Equals(L"HTML") || extension.Equals(L"HTM") || extension.Equals(L"TXT") ? 1 : 0;
}

gCResult UnescapeURLText(gCString& text)
{
    int32_t from = 0;
    for (;;) {
        int32_t percent = -1;
        for (int32_t i = from; i < text.Length() && percent < 0; ++i)
            if (text[i] == L'%')
                percent = i;
        if (percent < 0)
            return kOk;
        from = percent + 1;
        if (percent + 2 >= text.Length() || !IsHexDigit(text[percent + 1]) || !IsHexDigit(text[percent + 2]))
            continue;
        const char byte = static_cast<char>(HexValue(text[percent + 1]) * 16 + HexValue(text[percent + 2]));
        gCString decoded = gCString::ConcatChar(text.Left(percent), byte);
        // The search goes on after the decoded character: "%252e" gives "%2e", not ".".
        from = decoded.Length();
        text = gCString::Concat(decoded, text.Mid(percent + 3, text.Length() - percent - 3));
    }
}

gCResult CHTTPSession::AcceptOn(SOCKET listeningHandle)
{
    m_isClient = 0;
    m_serverPump = 1;
    SetSocketCallbacks();
    AdoptHandle(listeningHandle);
    return Create(0);
}

gCResult CHTTPSession::ParseRequest()
{
    // One request per connection: what the client sends after it is not read.
    if (IsInBody() || m_stopped) {
        m_receiveBuffer.Clear();
        return kOk;
    }
    const uint32_t size = m_receiveBuffer.Size();
    if (m_receiveBuffer.Find("\r\n\r\n", 4) < 0 && m_receiveBuffer.Find("\n\n", 2) < 0)
        return size >= kMaxHeaderBlock ? kNetworkFatal : kOk;
    gCString received;
    const uint32_t taken = size < kMaxHeaderBlock ? size : kMaxHeaderBlock;
    QV_RETURN_IF_FAILED(received.SetAnsiN(m_receiveBuffer.Data(), static_cast<int32_t>(taken)));
    m_receiveBuffer.Clear();
    bool serve = false;
    const gCResult r = ReadRequest(received, serve);
    // Whatever the outcome the request is taken; without a reply the exchange is over.
    if (r != kOk || !serve) {
        m_stopped = 1;
        return r;
    }
    return ServeRequest();
}

gCResult CHTTPSession::ReadRequest(gCString& received, bool& serve)
{
    if (ServerRequestProc.proc) {
        uint32_t handled = 0;
        QV_RETURN_IF_FAILED(ServerRequestProc.proc(received, this, handled, ServerRequestProc.context));
        if (handled)
            return kOk;
    }
    gCString requestLine;
    gCStringArray names;
    gCStringArray values;
    QV_RETURN_IF_FAILED(SplitHeaderBlock(received, requestLine, names, values));
    if (!StartsWith(requestLine, L"GET"))
        return kGenericFailure;
    const gCString rest = requestLine.Mid(4, requestLine.Length() > 4 ? requestLine.Length() - 4 : 0);
    gCString path(L"");
    bool hasPath = false;
    bool noReply = false;
    PathFromRequestLine(rest, path, hasPath, noReply);
    if (noReply)
        return kOk;
    if (hasPath) {
        m_fileNameAsGiven = path;
        m_fileName = path;
        QV_RETURN_IF_FAILED(UnescapeURLText(m_fileName));
    }
    for (int32_t i = 0; i < names.Count(); ++i)
        QV_RETURN_IF_FAILED(ParseRequestHeader(names[i], values[i]));
    if (ReplyHeadersProc.proc)
        (void)ReplyHeadersProc.proc(names, values, ReplyHeadersProc.context); // only told, never asked
    serve = true;
    return kOk;
}

gCResult CHTTPSession::ParseRequestHeader(gCString name, gCString value)
{
    if (name.Equals(L"USER-AGENT"))
        return userAgent.SetString(value);
    if (!name.Equals(L"RANGE"))
        return kOk;
    m_rangeAsked = 0;
    m_rangeFirst = 0;
    m_rangeLast = 0;
    gCString unit;
    gCString range(L"");
    if (value.Split(unit, range, gCString(L"="), 0) != 0)
        return kOk;
    unit.MakeUpper();
    if (!unit.Equals(L"BYTES"))
        return kOk;
    gCString first;
    gCString last(L"");
    (void)range.Split(first, last, gCString(L"-"), 0); // without '-' the whole text is the first position
    (void)ParsePosition(first, m_rangeFirst);          // no digits: from the start
    if (!ParsePosition(last, m_rangeLast))
        m_rangeLast = kRangeToEnd;
    m_rangeAsked = 1;
    return kOk;
}

void CHTTPSession::ClampRange(uint64_t size)
{
    // The last position is inclusive; a range that ends before it starts is no range at all.
    if (!m_rangeAsked || m_rangeLast < m_rangeFirst) {
        m_rangeFirst = 0;
        m_serveEnd = size;
    } else if (m_rangeFirst >= size) {
        m_rangeFirst = size;
        m_serveEnd = size;
    } else {
        m_serveEnd = m_rangeLast < size - 1 ? m_rangeLast + 1 : size;
    }
    m_rangeLast = m_serveEnd > m_rangeFirst ? m_serveEnd - 1 : m_rangeFirst;
}

gCResult CHTTPSession::ServeRequest()
{
    uint32_t text = IsTextFileName(m_fileName);
    m_fileNameAsGiven = m_fileName;
    gCStream* stream = nullptr;
    uint32_t refuse = 0;
    gCString message;
    gCResult r = kGenericFailure;
    if (ServerFileProc.proc)
        r = ServerFileProc.proc(m_fileName, ServerFileProc.context, this, stream, text, refuse, message);
    DeleteOutput();
    // A stream handed over is ours even when the request is refused.
    m_output = stream;
    if (r != kOk || refuse || (!stream && !ServerBodyProc.proc)) {
        m_stopped = 1;
        return kOk;
    }
    uint32_t binary = text ? 0 : 1;
    if (!stream) {
        QV_RETURN_IF_FAILED(ServerBodyProc.proc(m_body, binary, ServerBodyProc.context));
        QV_RETURN_IF_FAILED(m_body.Rewind());
    }
    gCStream& content = stream ? *stream : m_body;
    const int64_t length = content.GetLength();
    if (length < 0)
        return kStreamFailure;
    const uint64_t size = static_cast<uint64_t>(length);
    ClampRange(size);
    m_servedSize = size;
    m_total = m_serveEnd - m_rangeFirst;
    m_received = 0;
    SetReplyState(ReplyState::kInBody);
    gCStringArray names;
    gCStringArray values;
    QV_RETURN_IF_FAILED(BuildReplyHeaders(names, values, binary ? 0 : 1, size, m_rangeFirst, m_serveEnd));
    gCString lines(L"");
    QV_RETURN_IF_FAILED(JoinHeaderLines(names, values, lines));
    QV_RETURN_IF_FAILED(ToAnsiBlock(lines, m_sendBlock));
    // The range is clamped to the content, so its start is a position inside or at the end.
    QV_RETURN_IF_FAILED(content.SetPosition(static_cast<int64_t>(m_rangeFirst)));
    return kOk;
}

gCResult CHTTPSession::BuildReplyHeaders(gCStringArray& names, gCStringArray& values, uint32_t text, uint64_t size,
                                         uint64_t rangeFirst, uint64_t rangeEnd)
{
    const bool whole = rangeFirst == 0 && rangeEnd == size;
    QV_RETURN_IF_FAILED(AddPair(names, values, gCString(L"HTTP 200 OK"), gCString(L"")));
    QV_RETURN_IF_FAILED(AddPair(names, values, gCString(L"Server:"), gCString(L"Vantor HTTP")));
    QV_RETURN_IF_FAILED(
        AddPair(names, values, gCString(L"Content-type:"), gCString(text ? L"text/html" : L"application/binary")));
    gCString length;
    QV_RETURN_IF_FAILED(AppendDecimal(length, rangeEnd - rangeFirst));
    QV_RETURN_IF_FAILED(AddPair(names, values, gCString(L"Content-length:"), length));
    if (!whole) {
        // Positions past the content make an empty range, announced by the size alone.
        gCString range;
        QV_RETURN_IF_FAILED(range.SetText(L"bytes "));
        if (rangeEnd > rangeFirst) {
            QV_RETURN_IF_FAILED(AppendDecimal(range, rangeFirst));
            QV_RETURN_IF_FAILED(range.AppendText(L"-"));
            QV_RETURN_IF_FAILED(AppendDecimal(range, rangeEnd - 1));
        } else {
            QV_RETURN_IF_FAILED(range.AppendText(L"*"));
        }
        QV_RETURN_IF_FAILED(range.AppendText(L"/"));
        QV_RETURN_IF_FAILED(AppendDecimal(range, size));
        QV_RETURN_IF_FAILED(AddPair(names, values, gCString(L"CONTENT-RANGE:"), range));
    }
    if (ServerHeadersProc.proc)
        QV_RETURN_IF_FAILED(ServerHeadersProc.proc(names, values, ServerHeadersProc.context));
    return kOk;
}

gCResult CHTTPSession::SendNextBodyPart()
{
    if (!IsInBody() || m_sendBlock.Count() > 0)
        return kOk;
    gCStream& content = m_output ? *m_output : m_body;
    int64_t position = 0;
    QV_RETURN_IF_FAILED(content.GetPosition64(position));
    const uint64_t at = static_cast<uint64_t>(position);
    if (position < 0 || at >= m_serveEnd) {
        m_stopped = 1;
        return kOk;
    }
    const uint64_t left = m_serveEnd - at;
    const uint32_t piece = left < kServePiece ? static_cast<uint32_t>(left) : kServePiece;
    QV_RETURN_IF_FAILED(m_sendBlock.Resize(static_cast<int32_t>(piece)));
    gCResult r = content.ReadBytes(m_sendBlock.Data(), piece);
    if (r != kOk) {
        m_sendBlock.Free();
        return r;
    }
    m_received = at + piece - m_rangeFirst;
    return ReportProgress();
}

gCResult CHTTPSession::OnServerClosed()
{
    m_stopped = 1;
    DeleteOutput();
    ChangeState(IsInBody() && m_received < m_total ? kSocketClosedWithError : kSocketClosed);
    return kOk;
}
