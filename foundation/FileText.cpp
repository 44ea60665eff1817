#include "FileText.h"

#include "CStreamScanner.h"

gCResult ReadFileText8(gCStream& stream, gCString& out)
{
    CStreamScanner scanner(stream, 1024);
    CTextCollector<char> bytes;
    uint8_t byte = 0;
    while (scanner.NextByte(byte)) {
        if (byte == 0)
            break;
        QV_RETURN_IF_FAILED(bytes.Add(static_cast<char>(byte)));
        if (IsLineEnd(byte)) {
            uint8_t next = 0;
            if (scanner.PeekByte(next) && CompletesLineEnd(byte, next))
                scanner.Skip(1);
            break;
        }
    }
    QV_RETURN_IF_FAILED(scanner.Finish());
    return out.SetAnsiN(bytes.Data(), bytes.Count());
}
