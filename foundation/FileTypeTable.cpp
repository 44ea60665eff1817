#include "FileTypeTable.h"

namespace {

// Rows 23 to 25 close the table and are never matched by extension.
constexpr int32_t kMatchedRows = 23;

} // namespace

const wchar_t* const gFileTypeNames[kFileTypeCount] = {
    L"",
    L"All Files (*.*)",
    L"Image Files Flag.",
    L"BMP Image (*.bmp)",
    L"JPEG Image (*.jpg)",
    L"PNG Image (*.png)",
    L"Photoshop PSD (*.psd)",
    L"Last Image File Flag.",
    L"Text Files Flag",
    L"Text File (*.txt)",
    L"Header File (*.h)",
    L"PDF File (*.pdf)",
    L"Last Text File Flag.",
    L"Vantor Files Flag.",
    L"Vantor Res File (*.vrf)",
    L"Vantor Res Script (*.txt)",
    L"Last Vantor File Flag.",
    L"Audio Files Flag",
    L"WAV Audio (*.wav)",
    L"Last Audio File Flag.",
    L"Group Types Flag",
    L"All Image Files.",
    L"Last Group Types Flag",
    L"Unknown File Type.",
    L"Last Type Index.",
    L"Num Types Index.",
};

const wchar_t* const gFileTypeExtensions[kFileTypeCount] = {
    L"",
    L".*",
    L"",
    L".bmp",
    L".jpg",
    L".png",
    L".psd",
    L"",
    L"",
    L".txt",
    L".h",
    L".pdf",
    L"",
    L"",
    L".vrf",
    L".txt",
    L"",
    L"",
    L".wav",
    L"",
    L"",
    L".bmp,.jpg,.png,.psd",
    L"",
    L"",
    L"Last Type Index.",
    L"Num Types Index.",
};

const uint32_t gFileTypeCodes[kFileTypeCount] = {
    kUnknownFileType,
    kUnknownFileType,
    0,
    'BMP ',
    'JPEG',
    'PNGf',
    '8BPS',
    0,
    0,
    'TEXT',
    'TEXT',
    'PDF ',
    0,
    0,
    'VRES',
    'TEXT',
    0,
    0,
    '.WAV',
    0,
    0,
    'JPEG',
    0,
    kUnknownFileType,
    0,
    0,
};

uint32_t GetFileTypeOfPath(const gCString& extension)
{
    if (extension.IsEmpty())
        return kUnknownFileType;
    gCString wanted;
    if (extension[0] != L'.' && wanted.SetText(L".") != kOk)
        return kUnknownFileType;
    if (wanted.Append(extension) != kOk)
        return kUnknownFileType;
    wanted.MakeUpper();
    for (int32_t row = 0; row < kMatchedRows; ++row) {
        gCString candidate(gFileTypeExtensions[row]);
        candidate.MakeUpper();
        if (candidate == wanted)
            return gFileTypeCodes[row];
    }
    return kUnknownFileType;
}
