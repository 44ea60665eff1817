// Writes resource files (.vrf): chunks of a u32 tag, a u32 size and the content. A resource
// chunk's content is its u32 ID, its name (UTF-16LE units and CR LF) and the class's body,
// which the body writers below lay out (ResourceTags.h).
#pragma once
#include "CFormatWriter.h"

class CResourceFileWriter : public CFormatWriter {
public:
    // The 'vers' chunk: size 4 and the format version.
    gCResult AddVersion(uint32_t version);
    // One resource; a declaredSize of -1 writes the true size, any other value is written as
    // the chunk's size whatever the content holds (an overrun or a short size).
    gCResult AddResource(uint32_t tag, uint32_t id, const gCString& name, gCMemFile& body, int64_t declaredSize = -1);
    // A chunk of raw content, under any tag.
    gCResult AddChunk(uint32_t tag, uint32_t declaredSize, const void* content, uint32_t contentBytes);

    // 'text': the text's units and a 0 unit.
    static gCResult WriteTextBody(gCStream& body, const gCString& text);
    // 'txlt': the exclusivity word, the count as given, then each text with its line end and,
    // when values are given (format version 2), its u32 value.
    static gCResult WriteTextListBody(gCStream& body, uint32_t exclusivity, uint32_t count, const gCString* texts,
                                      const uint32_t* values, int32_t entries);
    // An image of width x height pixels, as the body of an image or as one of an image list.
    static gCResult WriteImageBody(gCStream& body, uint32_t width, uint32_t height, const uint32_t* pixels);
    // A font file's bytes.
    static gCResult WriteFontBody(gCStream& body, const void* bytes, uint32_t length);
    static gCResult WriteGradientBody(gCStream& body, const float* positions, const uint32_t* colours, uint32_t count);
    // The data block with the widget's size chunk.
    static gCResult WriteWidgetBody(gCStream& body, int32_t width, int32_t height);
};
