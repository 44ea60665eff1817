#include "CVrfSource.h"

#include <cmath>
#include <cstdlib>
#include <string>

#include "PathSplit.h"
#include "ResourceTags.h"
#include "SourceFile.h"

namespace {
const uint32_t kSampleRate = 22050;
// An image of the source is at most 64 MB of pixels.
const uint64_t kMaxSourcePixels = 16u * 1024u * 1024u;
const double kPi = 3.14159265358979323846;

void Put16(std::vector<uint8_t>& out, uint32_t v)
{
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

void Put32(std::vector<uint8_t>& out, uint32_t v)
{
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

void PutTag(std::vector<uint8_t>& out, const char* tag)
{
    out.insert(out.end(), tag, tag + 4);
}

// A whole number that fits in 32 bits; false for anything else.
bool ToNumber(const std::string& word, uint32_t& value)
{
    if (word.empty() || word.size() > 10)
        return false;
    uint64_t v = 0;
    for (char c : word) {
        if (c < '0' || c > '9')
            return false;
        v = v * 10 + static_cast<uint64_t>(c - '0');
    }
    if (v > 0xFFFFFFFFu)
        return false;
    value = static_cast<uint32_t>(v);
    return true;
}

// Up to eight hex digits, with or without a leading 0x.
bool ToColour(const std::string& word, uint32_t& value)
{
    const size_t from = word.compare(0, 2, "0x") == 0 ? 2 : 0;
    if (word.size() == from || word.size() - from > 8)
        return false;
    uint32_t v = 0;
    for (size_t i = from; i < word.size(); ++i) {
        const char c = word[i];
        const int digit = c >= '0' && c <= '9'   ? c - '0'
                          : c >= 'a' && c <= 'f' ? c - 'a' + 10
                          : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                 : -1;
        if (digit < 0)
            return false;
        v = (v << 4) | static_cast<uint32_t>(digit);
    }
    value = v;
    return true;
}

// A number from 0 to 1.
bool ToPosition(const std::string& word, float& value)
{
    char* end = nullptr;
    const double v = std::strtod(word.c_str(), &end);
    if (word.empty() || *end != 0 || !(v >= 0.0 && v <= 1.0))
        return false;
    value = static_cast<float>(v);
    return true;
}

// Splits a line at blanks; a word in double quotes keeps its blanks and may be empty. False
// when a quote is left open.
bool SplitWords(const char* text, int32_t begin, int32_t end, std::vector<std::string>& words)
{
    std::string word;
    bool inWord = false, quoted = false;
    for (int32_t i = begin; i < end; ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '"')
                quoted = false;
            else
                word += c;
        } else if (c == '#') {
            break;
        } else if (c == '"') {
            quoted = inWord = true;
        } else if (c == ' ' || c == '\t' || c == '\r') {
            if (inWord)
                words.push_back(word);
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord)
        words.push_back(word);
    return !quoted;
}

bool IsBareFileName(const gCString& name)
{
    for (int32_t i = 0; i < name.Length(); ++i)
        if (IsPathSeparator(name[i]) || name[i] == L':')
            return false;
    return true;
}
} // namespace

std::vector<uint8_t> MakeToneWave(const std::vector<uint32_t>& frequencies, uint32_t milliseconds)
{
    const uint32_t framesPerTone = kSampleRate * milliseconds / 1000;
    const uint32_t fade = framesPerTone / 8 + 1;
    std::vector<uint8_t> samples;
    for (uint32_t frequency : frequencies) {
        for (uint32_t i = 0; i < framesPerTone; ++i) {
            double envelope = 1.0;
            if (i < fade)
                envelope = static_cast<double>(i) / fade;
            else if (framesPerTone - i < fade)
                envelope = static_cast<double>(framesPerTone - i) / fade;
            const double value = 0.4 * envelope * std::sin(2.0 * kPi * frequency * i / kSampleRate);
            Put16(samples, static_cast<uint16_t>(static_cast<int16_t>(std::lround(value * 32767.0))));
        }
    }
    std::vector<uint8_t> wave;
    PutTag(wave, "RIFF");
    Put32(wave, static_cast<uint32_t>(36 + samples.size()));
    PutTag(wave, "WAVE");
    PutTag(wave, "fmt ");
    Put32(wave, 16);
    Put16(wave, 1); // PCM
    Put16(wave, 1); // mono
    Put32(wave, kSampleRate);
    Put32(wave, kSampleRate * 2);
    Put16(wave, 2);
    Put16(wave, 16);
    PutTag(wave, "data");
    Put32(wave, static_cast<uint32_t>(samples.size()));
    wave.insert(wave.end(), samples.begin(), samples.end());
    return wave;
}

gCResult CVrfSource::Fail(const char* what)
{
    gCString line;
    (void)line.SetAnsi(what); // an empty message still fails the build
    m_error = gCString::AppendNumber(gCString(L"line "), m_lineNumber);
    (void)m_error.AppendText(L": ");
    (void)m_error.Append(line);
    return kTextResourceFailure;
}

void CVrfSource::SetSourcePath(const gCString& path)
{
    int32_t cut = path.Length();
    while (cut > 0 && !IsPathSeparator(path[cut - 1]))
        --cut;
    m_folder = path.Left(cut);
}

gCResult CVrfSource::Parse(const char* text, int32_t bytes, CResourceFileWriter& writer)
{
    int32_t start = 0;
    while (start < bytes) {
        int32_t end = start;
        while (end < bytes && text[end] != '\n')
            ++end;
        ++m_lineNumber;
        Words words;
        if (!SplitWords(text, start, end, words))
            return Fail("a quote is not closed");
        if (!words.empty())
            QV_RETURN_IF_FAILED(ParseLine(words, writer));
        start = end + 1;
    }
    return kOk;
}

gCResult CVrfSource::ParseLine(const Words& words, CResourceFileWriter& writer)
{
    if (words[0] == "version") {
        uint32_t version = 0;
        if (words.size() != 2 || !ToNumber(words[1], version))
            return Fail("version needs one number");
        return writer.AddVersion(version);
    }
    static const struct {
        const char* word;
        uint32_t tag;
        size_t leastWords;
        const char* usage;
        gCResult (CVrfSource::*make)(const Words&, gCMemFile&);
    } kKinds[] = {
        {"tone", kTagSound, 5, "tone <id> <name> <ms> <hz> [<hz> ...], with 1 to 5000 ms", &CVrfSource::Tone},
        {"image", kTagImage, 6, "image <id> <name> <width> <height> <colour> [<colour> ...]", &CVrfSource::Image},
        {"imagelist", kTagImageList, 3, "imagelist <id> <name> [<image id> ...]", &CVrfSource::ImageList},
        {"font", kTagFont, 4, "font <id> <name> <file>", &CVrfSource::Font},
        {"gradient", kTagGradient, 5, "gradient <id> <name> <position> <colour> [<position> <colour> ...]",
         &CVrfSource::Gradient},
        {"widget", kTagWidget, 5, "widget <id> <name> <width> <height>", &CVrfSource::Widget},
    };
    for (const auto& kind : kKinds) {
        if (words[0] != kind.word)
            continue;
        uint32_t id = 0;
        if (words.size() < kind.leastWords || !ToNumber(words[1], id))
            return Fail(kind.usage);
        for (const uint32_t seen : m_ids)
            if (seen == id)
                return Fail("the id is given twice");
        gCMemFile body;
        QV_RETURN_IF_FAILED((this->*kind.make)(words, body));
        m_ids.push_back(id);
        if (kind.tag == kTagImage)
            m_images[id] = std::vector<uint8_t>(body.GetData(), body.GetData() + body.GetSize());
        gCString name;
        QV_RETURN_IF_FAILED(name.SetAnsi(words[2].c_str()));
        return writer.AddResource(kind.tag, id, name, body);
    }
    return Fail("a line is version, tone, image, imagelist, font, gradient or widget");
}

gCResult CVrfSource::Tone(const Words& words, gCMemFile& body)
{
    uint32_t ms = 0;
    if (!ToNumber(words[3], ms) || ms == 0 || ms > 5000)
        return Fail("tone <id> <name> <ms> <hz> [<hz> ...], with 1 to 5000 ms");
    std::vector<uint32_t> frequencies;
    for (size_t i = 4; i < words.size(); ++i) {
        uint32_t hz = 0;
        if (!ToNumber(words[i], hz) || hz == 0 || hz > 11025)
            return Fail("a frequency is a whole number of 1 to 11025 Hz");
        frequencies.push_back(hz);
    }
    const std::vector<uint8_t> wave = MakeToneWave(frequencies, ms);
    return body.WriteBytes(wave.data(), static_cast<uint32_t>(wave.size()));
}

gCResult CVrfSource::Image(const Words& words, gCMemFile& body)
{
    uint32_t width = 0, height = 0;
    if (!ToNumber(words[3], width) || !ToNumber(words[4], height) || width < 1 || height < 1 || width > kMaxImageSide ||
        height > kMaxImageSide || static_cast<uint64_t>(width) * height > kMaxSourcePixels)
        return Fail("an image is 1 to 16384 pixels wide and high, 16777216 pixels at most");
    std::vector<uint32_t> colours;
    for (size_t i = 5; i < words.size(); ++i) {
        uint32_t colour = 0;
        if (!ToColour(words[i], colour))
            return Fail("a colour is up to 8 hex digits, 0xAARRGGBB");
        colours.push_back(colour);
    }
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * height);
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = colours[i % colours.size()];
    return CResourceFileWriter::WriteImageBody(body, width, height, pixels.data());
}

gCResult CVrfSource::ImageList(const Words& words, gCMemFile& body)
{
    // The reader refuses a longer list as damaged.
    if (words.size() - 3 > kMaxImageListCount)
        return Fail("imagelist <id> <name> [<image id> ...], 4096 images at most");
    QV_RETURN_IF_FAILED(body.WriteU32(static_cast<uint32_t>(words.size() - 3)));
    for (size_t i = 3; i < words.size(); ++i) {
        uint32_t image = 0;
        const auto found = ToNumber(words[i], image) ? m_images.find(image) : m_images.end();
        if (found == m_images.end())
            return Fail("an image list names images given before it");
        QV_RETURN_IF_FAILED(body.WriteBytes(found->second.data(), static_cast<uint32_t>(found->second.size())));
    }
    return kOk;
}

gCResult CVrfSource::Font(const Words& words, gCMemFile& body)
{
    if (words.size() != 4)
        return Fail("font <id> <name> <file>");
    gCString file;
    QV_RETURN_IF_FAILED(file.SetAnsi(words[3].c_str()));
    if (IsBareFileName(file))
        file = gCString::Concat(m_folder, file);
    gCMemFile bytes;
    if (ReadSourceFile(file, bytes) != kOk)
        return Fail("the font file cannot be read");
    const int64_t length = bytes.GetSize();
    if (length < 1 || length > kMaxFontBytes)
        return Fail("a font file holds 1 byte to 64 MB");
    return CResourceFileWriter::WriteFontBody(body, bytes.GetData(), static_cast<uint32_t>(length));
}

gCResult CVrfSource::Gradient(const Words& words, gCMemFile& body)
{
    const size_t stops = (words.size() - 3) / 2;
    if ((words.size() - 3) % 2 != 0 || stops > kMaxGradientStops)
        return Fail("gradient <id> <name> <position> <colour> [<position> <colour> ...], 256 stops at most");
    std::vector<float> positions(stops);
    std::vector<uint32_t> colours(stops);
    for (size_t i = 0; i < stops; ++i) {
        if (!ToPosition(words[3 + 2 * i], positions[i]) || (i > 0 && positions[i] < positions[i - 1]))
            return Fail("a position is a number from 0 to 1, not below the one before");
        if (!ToColour(words[4 + 2 * i], colours[i]))
            return Fail("a colour is up to 8 hex digits, 0xAARRGGBB");
    }
    return CResourceFileWriter::WriteGradientBody(body, positions.data(), colours.data(), static_cast<uint32_t>(stops));
}

gCResult CVrfSource::Widget(const Words& words, gCMemFile& body)
{
    uint32_t width = 0, height = 0;
    if (words.size() != 5 || !ToNumber(words[3], width) || !ToNumber(words[4], height) ||
        width > static_cast<uint32_t>(kMaxWidgetSide) || height > static_cast<uint32_t>(kMaxWidgetSide))
        return Fail("widget <id> <name> <width> <height>, each 0 to 16384");
    return CResourceFileWriter::WriteWidgetBody(body, static_cast<int32_t>(width), static_cast<int32_t>(height));
}
