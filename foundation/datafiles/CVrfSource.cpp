#include "CVrfSource.h"

#include <cmath>
#include <cstdlib>
#include <string>

namespace {
const uint32_t kSoundTag = 'audi';
const uint32_t kSampleRate = 22050;
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

gCResult CVrfSource::Parse(const char* text, int32_t bytes, CResourceFileWriter& writer)
{
    int32_t start = 0;
    while (start < bytes) {
        int32_t end = start;
        while (end < bytes && text[end] != '\n')
            ++end;
        ++m_lineNumber;
        std::vector<std::string> words;
        std::string word;
        for (int32_t i = start; i < end && text[i] != '#'; ++i) {
            const char c = text[i];
            if (c != ' ' && c != '\t' && c != '\r') {
                word += c;
            } else if (!word.empty()) {
                words.push_back(word);
                word.clear();
            }
        }
        if (!word.empty())
            words.push_back(word);
        if (!words.empty())
            QV_RETURN_IF_FAILED(ParseLine(words, writer));
        start = end + 1;
    }
    return kOk;
}

gCResult CVrfSource::ParseLine(const std::vector<std::string>& words, CResourceFileWriter& writer)
{
    if (words[0] == "version") {
        uint32_t version = 0;
        if (words.size() != 2 || !ToNumber(words[1], version))
            return Fail("version needs one number");
        return writer.AddVersion(version);
    }
    if (words[0] != "tone")
        return Fail("a line is 'version' or 'tone'");
    uint32_t id = 0, ms = 0;
    if (words.size() < 5 || !ToNumber(words[1], id) || !ToNumber(words[3], ms) || ms == 0 || ms > 5000)
        return Fail("tone <id> <name> <ms> <hz> [<hz> ...], with 1 to 5000 ms");
    std::vector<uint32_t> frequencies;
    for (size_t i = 4; i < words.size(); ++i) {
        uint32_t hz = 0;
        if (!ToNumber(words[i], hz) || hz == 0 || hz > 11025)
            return Fail("a frequency is a whole number of 1 to 11025 Hz");
        frequencies.push_back(hz);
    }
    for (const uint32_t seen : m_ids)
        if (seen == id)
            return Fail("the id is given twice");
    m_ids.push_back(id);

    const std::vector<uint8_t> wave = MakeToneWave(frequencies, ms);
    gCMemFile body;
    QV_RETURN_IF_FAILED(body.WriteBytes(wave.data(), static_cast<uint32_t>(wave.size())));
    gCString name;
    QV_RETURN_IF_FAILED(name.SetAnsi(words[2].c_str()));
    return writer.AddResource(kSoundTag, id, name, body);
}
