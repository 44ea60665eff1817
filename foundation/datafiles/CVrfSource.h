// The text source of a resource file made at build time: UTF-8 lines, '#' starts a comment,
// a name with spaces is written in double quotes. Colours are 0xAARRGGBB in hex.
//   version <number>                            the version chunk
//   tone <id> <name> <ms> <hz> [<hz> ...]        a sound resource: a short 16-bit mono WAV of
//                                                the tones in turn, each ms long, faded
//   image <id> <name> <width> <height> <colour> [<colour> ...]
//                                                an image; the colours fill it row by row and
//                                                start again while pixels are left
//   imagelist <id> <name> <image id> [<image id> ...]
//                                                a list of images given before it
//   font <id> <name> <file>                      a font file's bytes; a file named without a
//                                                folder lies beside the source
//   gradient <id> <name> <position> <colour> [<position> <colour> ...]
//                                                stops at positions from 0 to 1, none below
//                                                the one before
//   widget <id> <name> <width> <height>          a widget with its name and size
// The bodies are laid out in ResourceTags.h.
#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "CResourceFileWriter.h"

// A RIFF WAVE file of the tones one after another, each ms long, 22050 frames a second.
std::vector<uint8_t> MakeToneWave(const std::vector<uint32_t>& frequencies, uint32_t milliseconds);

class CVrfSource {
public:
    // Where files that the source names without a folder lie: the folder of this path.
    void SetSourcePath(const gCString& path);
    // Adds the chunks in source order. A fault in the source gives 20 and GetError names the
    // line; an id given twice is such a fault.
    gCResult Parse(const char* text, int32_t bytes, CResourceFileWriter& writer);
    const gCString& GetError() const { return m_error; }

private:
    typedef std::vector<std::string> Words;
    gCResult ParseLine(const Words& words, CResourceFileWriter& writer);
    // Each makes the body of its kind of line; 20 after Fail, or the writer's code.
    gCResult Tone(const Words& words, gCMemFile& body);
    gCResult Image(const Words& words, gCMemFile& body);
    gCResult ImageList(const Words& words, gCMemFile& body);
    gCResult Font(const Words& words, gCMemFile& body);
    gCResult Gradient(const Words& words, gCMemFile& body);
    gCResult Widget(const Words& words, gCMemFile& body);
    gCResult Fail(const char* what);

    int32_t m_lineNumber = 0;
    std::vector<uint32_t> m_ids;
    // The bodies of the images so far, by id, for the image lists that name them.
    std::map<uint32_t, std::vector<uint8_t>> m_images;
    gCString m_folder;
    gCString m_error;
};
