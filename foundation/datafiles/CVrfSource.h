// The text source of a resource file made at build time: UTF-8 lines, '#' starts a comment.
//   version <number>                           the version chunk
//   tone <id> <name> <ms> <hz> [<hz> ...]       a sound resource ('audi'): a short 16-bit mono
//                                               WAV of the tones in turn, each ms long, faded
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "CResourceFileWriter.h"

// A RIFF WAVE file of the tones one after another, each ms long, 22050 frames a second.
std::vector<uint8_t> MakeToneWave(const std::vector<uint32_t>& frequencies, uint32_t milliseconds);

class CVrfSource {
public:
    // Adds the chunks in source order. A fault in the source gives 20 and GetError names the
    // line; an id given twice is such a fault.
    gCResult Parse(const char* text, int32_t bytes, CResourceFileWriter& writer);
    const gCString& GetError() const { return m_error; }

private:
    gCResult ParseLine(const std::vector<std::string>& words, CResourceFileWriter& writer);
    gCResult Fail(const char* what);

    int32_t m_lineNumber = 0;
    std::vector<uint32_t> m_ids;
    gCString m_error;
};
