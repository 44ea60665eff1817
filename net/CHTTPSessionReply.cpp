// The request text that a client session sends, and the reading of the reply: the header
// block, the status, the header table, plain and chunked bodies, progress.
#include <windows.h>

#include <cwchar>
#include <initializer_list>
#include <new>
#include <utility>

#include "CHTTPSession.h"
#include "FileDialogs.h"
#include "gCFRef.h"
#include "gCFile.h"
#include "gCStream.h"

namespace {

const gCString& TrimSet()
{
    static const gCString set(kTrimWhiteSpace);
    return set;
}

} // namespace

// The whole text in the ANSI code page, however long (the shared conversion buffer stops at 4095 bytes).
gCResult ToAnsiBlock(const gCString& text, CMemBlockT<char>& block)
{
    if (text.Length() == 0) {
        block.Free();
        return kOk;
    }
    int bytes = WideCharToMultiByte(CP_ACP, 0, text.Text(), text.Length(), nullptr, 0, nullptr, nullptr);
    if (bytes <= 0)
        return kBadParameter;
    QV_RETURN_IF_FAILED(block.Resize(bytes));
    WideCharToMultiByte(CP_ACP, 0, text.Text(), text.Length(), block.Data(), bytes, nullptr, nullptr);
    return kOk;
}

// A header is built whole or not at all: never a name without its value, nor a value without
// its name.
gCResult AddPair(gCStringArray& names, gCStringArray& values, const gCString& name, const gCString& value)
{
    QV_RETURN_IF_FAILED(names.AddWhole(name));
    gCResult r = values.AddWhole(value);
    if (r != kOk)
        names.RemoveAt(names.Count() - 1);
    return r;
}

namespace {

int32_t HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// A length header's value read as gCString::ToInteger reads a number (decimal, or hexadecimal
// after an 'x'), but in 64 bits. A value that is negative or does not fit gives the largest
// number, which no body may have.
uint64_t ParseLength(const gCString& value)
{
    const wchar_t* text = value.Text();
    const int32_t length = value.Length();
    const uint64_t largest = ~0ull;
    int32_t start = 0;
    bool negative = false;
    uint64_t base = 10;
    for (int32_t i = 0; i < length && !negative; ++i)
        if (text[i] == L'-') {
            negative = true;
            start = i + 1;
        }
    for (int32_t i = 0; i < length && base == 10; ++i)
        if (text[i] == L'x' || text[i] == L'X') {
            base = 16;
            start = i + 1;
        }
    while (start < length && (text[start] == L' ' || text[start] == L'\t'))
        ++start;
    uint64_t number = 0;
    for (int32_t i = start; i < length; ++i) {
        wchar_t c = text[i];
        if (base == 16 && c >= L'a' && c <= L'f')
            c = static_cast<wchar_t>(c - L'a' + L'A');
        uint64_t digit;
        if (c >= L'0' && c <= L'9')
            digit = static_cast<uint64_t>(c - L'0');
        else if (c >= L'A' && c <= L'F')
            digit = static_cast<uint64_t>(c - L'A' + 10);
        else
            break;
        if (number > (largest - digit) / base)
            return largest;
        number = number * base + digit;
    }
    return negative && number != 0 ? largest : number;
}

// The size of a chunk-size line: its leading hexadecimal number, anything after it (an
// extension) ignored. False without a digit or above the largest body.
bool ParseChunkSize(const char* line, uint32_t length, uint64_t& size)
{
    uint32_t i = 0;
    while (i < length && (line[i] == ' ' || line[i] == '\t'))
        ++i;
    size = 0;
    uint32_t digits = 0;
    for (; i < length && HexDigit(line[i]) >= 0; ++i, ++digits) {
        size = size * 16 + static_cast<uint64_t>(HexDigit(line[i]));
        if (size > kMaxReplyBody)
            return false;
    }
    return digits > 0;
}

} // namespace

void CHTTPSession::SetFileName(gCString fileName)
{
    m_fileNameAsGiven = gCString(fileName.Text());
    gCString safe(fileName.Text());
    for (wchar_t c : {L'*', L'?', L'\\', L'/', L':'})
        safe.ReplaceChar(c, L'_');
    m_fileName = safe;
}

gCResult CHTTPSession::QueueRequest(gCString path, gCString folder, gCString fileName, uint32_t rangeStart)
{
    SetFileName(fileName);
    QV_RETURN_IF_FAILED(m_folder.SetString(folder));
    gCString text;
    QV_RETURN_IF_FAILED(text.SetText(L"GET "));
    QV_RETURN_IF_FAILED(text.Append(path));
    QV_RETURN_IF_FAILED(text.AppendText(L" "));
    if (userAgent.IsEmpty())
        QV_RETURN_IF_FAILED(userAgent.SetText(L"Vantor HTTP"));
    gCStringArray names;
    gCStringArray values;
    QV_RETURN_IF_FAILED(BuildRequestHeader(names, values, rangeStart));
    QV_RETURN_IF_FAILED(JoinHeaderLines(names, values, text));
    QV_RETURN_IF_FAILED(ToAnsiBlock(text, m_sendBlock));
    m_serverPump = 0;
    m_isClient = 1;
    if (RequestTextProc)
        // Its answer is ignored: the request is queued.
        (void)RequestTextProc(this, text);
    return kOk;
}

gCResult CHTTPSession::BuildRequestHeader(gCStringArray& names, gCStringArray& values, uint64_t rangeStart)
{
    const gCString empty(L"");
    QV_RETURN_IF_FAILED(AddPair(names, values, gCString::Concat(gCString(L"HTTP/"), protocolVersion), empty));
    QV_RETURN_IF_FAILED(AddPair(names, values, gCString(L"Host:"), m_host));
    QV_RETURN_IF_FAILED(AddPair(names, values, gCString(L"User-Agent:"), userAgent));
    QV_RETURN_IF_FAILED(AddPair(names, values, gCString(L"Connection:"), gCString(L"close")));
    QV_RETURN_IF_FAILED(AddPair(names, values, gCString(L"Accept-Encoding:"), empty));
    if (rangeStart > 0) {
        gCString range(L"bytes=");
        if (range.IsUnset())
            return kOutOfMemory;
        QV_RETURN_IF_FAILED(AppendDecimal(range, rangeStart));
        QV_RETURN_IF_FAILED(range.AppendChar(L'-'));
        QV_RETURN_IF_FAILED(AddPair(names, values, gCString(L"Range:"), range));
    }
    if (AddRequestHeadersProc.proc)
        QV_RETURN_IF_FAILED(AddRequestHeadersProc.proc(names, values, AddRequestHeadersProc.context));
    return kOk;
}

gCResult CHTTPSession::JoinHeaderLines(const gCStringArray& names, const gCStringArray& values, gCString& text)
{
    if (names.Count() != values.Count())
        return kGenericFailure;
    gCString joined;
    QV_RETURN_IF_FAILED(joined.SetString(text));
    for (int32_t i = 0; i < names.Count(); ++i) {
        QV_RETURN_IF_FAILED(joined.Append(names[i]));
        if (values[i].Length() >= 1) {
            QV_RETURN_IF_FAILED(joined.AppendText(L" "));
            QV_RETURN_IF_FAILED(joined.Append(values[i]));
        }
        QV_RETURN_IF_FAILED(joined.AppendText(L"\r\n"));
    }
    QV_RETURN_IF_FAILED(joined.AppendText(L"\r\n"));
    text = std::move(joined);
    return kOk;
}

gCResult CHTTPSession::SplitHeaderBlock(gCString text, gCString& statusLine, gCStringArray& names,
                                        gCStringArray& values)
{
    const wchar_t* t = text.Text();
    const int32_t n = text.Length();
    auto findLineEnd = [&](int32_t from) -> int32_t {
        for (int32_t i = from; i + 1 < n; ++i)
            if (t[i] == L'\r' && t[i + 1] == L'\n')
                return i;
        return -1;
    };
    int32_t previous = findLineEnd(0);
    if (previous < 0)
        return kGenericFailure;
    statusLine = text.Left(previous);
    const gCString colon(L":");
    for (;;) {
        int32_t next = findLineEnd(previous + 1);
        if (next < 0)
            return kGenericFailure;
        if (next == previous + 2)
            return kOk;
        gCString line = text.Mid(previous + 2, next - previous - 2);
        gCString name;
        gCString value(L"");
        if (line.FindFirstOf(colon) < 0)
            name = line;
        else
            line.Split(name, value, colon, 0);
        name.Trim(TrimSet());
        value.Trim(TrimSet());
        name.MakeUpper();
        QV_RETURN_IF_FAILED(AddPair(names, values, name, value));
        previous = next;
    }
}

int32_t CHTTPSession::ParseStatusLine(const gCString& statusLine)
{
    if (statusLine.Length() < 4 || std::wcsncmp(statusLine.Text(), L"HTTP", 4) != 0)
        return -1;
    const gCString space(L" ");
    gCString protocol;
    gCString rest;
    if (statusLine.Split(protocol, rest, space, 0) != 0)
        return 404;
    gCString code;
    gCString reason;
    if (rest.Split(code, reason, space, 0) == 1)
        code = gCString(L"");
    if (code.IsEmpty())
        return 404;
    return code.ToInteger();
}

gCResult CHTTPSession::OnReplyHeader(gCString name, gCString value)
{
    // A copy that memory could not hold would pass a page for a file, or a length for none.
    if (name.IsUnset() || value.IsUnset())
        return kOutOfMemory;
    if (name.Equals(L"CONTENT-TYPE")) {
        m_contentType = std::move(value);
    } else if (name.Equals(L"CONTENT-LENGTH")) {
        if (m_total == 0)
            m_total = ParseLength(value);
    } else if (name.Equals(L"CONTENT-RANGE")) {
        gCString range;
        bool matched = false;
        for (const wchar_t* delimiter : {L" ", L"="}) {
            gCString unit;
            gCString rest(L"");
            value.Split(unit, rest, gCString(delimiter), 0);
            unit.MakeUpper();
            if (!matched && unit.Equals(L"BYTES")) {
                range = rest;
                matched = true;
            }
        }
        m_rangeFirst = 0;
        m_rangeLast = 0;
        m_total = 0;
        if (matched) {
            gCString positions;
            gCString complete(L"");
            gCString first;
            gCString last(L"");
            range.Split(positions, complete, gCString(L"/"), 0);
            positions.Split(first, last, gCString(L"-"), 0);
            m_rangeFirst = static_cast<uint32_t>(first.ToInteger());
            m_rangeLast = static_cast<uint32_t>(last.ToInteger());
            m_total = ParseLength(complete);
        }
    } else if (name.Equals(L"TRANSFER-ENCODING")) {
        value.MakeUpper();
        if (value.Equals(L"CHUNKED"))
            m_chunked = 1;
    }
    return kOk;
}

gCResult CHTTPSession::ParseReply()
{
    const uint32_t size = m_receiveBuffer.Size();
    // The end of the header block is found in the raw bytes: with a multibyte code page the
    // converted text's positions are not byte positions.
    int64_t end = m_receiveBuffer.Find("\r\n\r\n", 4, m_headerScanFrom);
    if (end < 0) {
        if (size >= kMaxHeaderBlock)
            return kNetworkFatal;
        m_headerScanFrom = size >= 3 ? size - 3 : 0;
        return kOk;
    }
    const uint32_t headerLength = static_cast<uint32_t>(end) + 4;
    if (headerLength > kMaxHeaderBlock)
        return kNetworkFatal;
    gCString text;
    QV_RETURN_IF_FAILED(text.SetAnsiN(m_receiveBuffer.Data(), static_cast<int32_t>(headerLength)));
    gCString statusLine;
    gCStringArray names;
    gCStringArray values;
    QV_RETURN_IF_FAILED(SplitHeaderBlock(text, statusLine, names, values));
    const int32_t status = ParseStatusLine(statusLine);
    if (status < 0)
        return kGenericFailure;
    if (status != 200 && status != 206) {
        ChangeState(kSocketClosedWithError);
        m_stopped = 1;
        SetReplyState(ReplyState::kRefused);
        m_receiveBuffer.Clear();
        QV_RETURN_IF_FAILED(CallRequestFailed());
        for (int32_t i = 0; i < names.Count(); ++i)
            // The refusal is reported: a header lost to memory changes nothing more.
            (void)OnReplyHeader(names[i], values[i]);
        return kOk;
    }
    for (int32_t i = 0; i < names.Count(); ++i)
        QV_RETURN_IF_FAILED(OnReplyHeader(names[i], values[i]));
    // A body announced beyond the largest one taken would be cut anyway: refuse it now.
    if (m_total > kMaxReplyBody) {
        SetReplyState(ReplyState::kBodyRefused);
        return FailReply(kNetworkFatal);
    }
    if (!m_fileName.IsEmpty()) {
        if (OpenOutputProc.proc)
            QV_RETURN_IF_FAILED(
                OpenOutputProc.proc(this, m_folder, m_fileName, m_total, m_output, OpenOutputProc.context));
        if (!m_output)
            QV_RETURN_IF_FAILED(OpenOutputFile());
        m_received = static_cast<uint64_t>(m_output->GetLength());
    }
    QV_RETURN_IF_FAILED(StartBody(headerLength));
    AcceptHeaders();
    if (ReplyHeadersProc.proc)
        // Its answer is ignored: the headers are accepted.
        (void)ReplyHeadersProc.proc(names, values, ReplyHeadersProc.context);
    return kOk;
}

gCResult CHTTPSession::OpenOutputFile()
{
    gCString path(m_folder.Text());
    QV_RETURN_IF_FAILED(path.AppendText(L"\\"));
    QV_RETURN_IF_FAILED(path.Append(m_fileName));
    gCFRef reference(path);
    if (!reference.IsValid())
        return kStreamFailure;
    gCFile* file = new (std::nothrow) gCFile(kAccessWrite);
    if (!file)
        return kOutOfMemory;
    gCResult r = OpenFileForSave(*file, reference, nullptr, kAccessWrite);
    if (r != kOk) {
        delete file;
        return r;
    }
    m_output = file;
    return kOk;
}

gCResult CHTTPSession::StartBody(uint32_t headerLength)
{
    SetReplyState(ReplyState::kBodyStarting);
    m_receiveBuffer.Consume(headerLength);
    if (!m_chunked && !m_output && m_total > 0)
        // One block for the whole announced body (the cap bounds it): it is read in place and
        // never copied to grow.
        QV_RETURN_IF_FAILED(m_body.Reserve(static_cast<int64_t>(m_total)));
    m_headerScanFrom = 0;
    return ReceiveBody();
}

gCResult CHTTPSession::ReceiveBody()
{
    return m_chunked ? ReceiveChunkedBody() : ReceivePlainBody();
}

bool CHTTPSession::IsBodyComplete() const
{
    return m_chunked ? m_replyState == ReplyState::kLastChunkSeen : m_received >= m_total;
}

bool CHTTPSession::BodyEndsAtClose() const
{
    // Without an announced length only the close ends the body.
    return readToClose != 0 || m_chunked != 0 || m_total == 0;
}

gCResult CHTTPSession::ReceivePlainBody()
{
    // The bytes are either already in the body (read in place) or in the receive buffer.
    const uint32_t placed = m_placed;
    m_placed = 0;
    uint32_t n = placed != 0 ? placed : m_receiveBuffer.Size();
    if (n == 0)
        return kOk;
    // An announced body ends with its last byte: what the server sends after it is no part
    // of it (in-place reads never go past it).
    if (m_total > 0 && m_received + n > m_total) {
        n = m_received < m_total ? static_cast<uint32_t>(m_total - m_received) : 0;
        if (n == 0) {
            m_receiveBuffer.Clear();
            return kOk;
        }
    }
    if (m_received + n > kMaxReplyBody)
        return FailReply(kNetworkFatal);
    if (placed != 0) {
        QV_RETURN_IF_FAILED(m_body.Advance(n));
    } else {
        QV_RETURN_IF_FAILED(WriteBody(m_receiveBuffer.Data(), n));
        m_receiveBuffer.Clear();
    }
    m_received += n;
    QV_RETURN_IF_FAILED(ReportProgress());
    if (!BodyEndsAtClose() && m_received >= m_total)
        QV_RETURN_IF_FAILED(OnDownloadFinished());
    return kOk;
}

gCResult CHTTPSession::ReceiveChunkedBody()
{
    for (;;) {
        if (m_replyState == ReplyState::kLastChunkSeen) {
            // Trailer lines and anything after them carry nothing we use.
            m_receiveBuffer.Clear();
            return kOk;
        }
        const uint32_t n = m_receiveBuffer.Size();
        if (n == 0)
            return kOk;
        const char* data = m_receiveBuffer.Data();
        int64_t lineEnd = -1;
        const uint32_t scan = n < kMaxChunkSizeLine + 2 ? n : kMaxChunkSizeLine + 2;
        for (uint32_t i = 0; i + 1 < scan && lineEnd < 0; ++i)
            if (data[i] == '\r' && data[i + 1] == '\n')
                lineEnd = i;
        if (lineEnd < 0)
            return n > kMaxChunkSizeLine ? FailReply(kNetworkFatal) : kOk;
        uint64_t size = 0;
        if (!ParseChunkSize(data, static_cast<uint32_t>(lineEnd), size))
            return FailReply(kNetworkFatal);
        const uint64_t available = n - static_cast<uint64_t>(lineEnd) - 2;
        if (size == 0) {
            SetReplyState(ReplyState::kLastChunkSeen);
            continue;
        }
        if (m_received + size > kMaxReplyBody)
            return FailReply(kNetworkFatal);
        if (available < size + 2)
            return kOk;
        const char* chunk = data + lineEnd + 2;
        if (chunk[size] != '\r' || chunk[size + 1] != '\n')
            return FailReply(kNetworkFatal);
        QV_RETURN_IF_FAILED(WriteBody(chunk, static_cast<uint32_t>(size)));
        m_receiveBuffer.Consume(static_cast<uint32_t>(lineEnd + 2 + size + 2));
        m_received += size;
    }
}

gCResult CHTTPSession::ReportProgress()
{
    if (!ProgressProc.proc || m_total == 0)
        return kOk;
    const uint32_t perMille = static_cast<uint32_t>(m_received * 1000 / m_total);
    if (perMille == m_lastPerMille)
        return kOk;
    QV_RETURN_IF_FAILED(ProgressProc.proc(this, perMille, ProgressProc.context));
    m_lastPerMille = perMille;
    return kOk;
}

gCResult CHTTPSession::FailReply(gCResult code)
{
    m_stopped = 1;
    if (m_replyState != ReplyState::kBodyRefused)
        SetReplyState(IsInBody() ? ReplyState::kBodyBroken : ReplyState::kBroken);
    m_receiveBuffer.Clear();
    // Nothing more from this server can be trusted: end the connection now, which stores
    // the failed state once.
    // The fault being reported is the one that counts.
    (void)Close();
    if (TransferErrorProc.proc)
        QV_RETURN_IF_FAILED(TransferErrorProc.proc(this, TransferErrorProc.context));
    return code;
}
