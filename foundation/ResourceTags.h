// The chunk tags of the resource file (.vrf), one per resource class, and the bodies of the
// classes whose layout is not given where the class lives. A chunk is a u32 tag, a u32 size and
// its content; a resource's content is its u32 ID, its name (UTF-16LE units and CR LF) and the
// body below. Every value is little-endian. Readers check each size and count against the
// chunk's end and the limits here before they make anything for it.
#pragma once
#include <cstdint>

// One u32, the file format version.
const uint32_t kTagVersion = 'vers';
// CText.h and CTextList.h.
const uint32_t kTagText = 'text';
const uint32_t kTagTextList = 'txlt';
// A u32 length, then a RIFF WAVE file (CSound.h).
const uint32_t kTagSound = 'audi';

// Image: u32 width, u32 height (each 1..kMaxImageSide), then width x height u32 pixels
// 0xAARRGGBB, row by row from the top.
const uint32_t kTagImage = 'imag';
const uint32_t kMaxImageSide = 16384;

// Image list: u32 count (0..kMaxImageListCount), then that many image bodies as above.
const uint32_t kTagImageList = 'imls';
const uint32_t kMaxImageListCount = 4096;

// Font: u32 length (1..kMaxFontBytes), then that many bytes of a TrueType or OpenType font
// file.
const uint32_t kTagFont = 'font';
const uint32_t kMaxFontBytes = 64u * 1024u * 1024u;

// Gradient: u32 count of stops (1..kMaxGradientStops), then for each stop an f32 position
// from 0 to 1, none below the one before it, and a u32 colour 0xAARRGGBB.
const uint32_t kTagGradient = 'grad';
const uint32_t kMaxGradientStops = 256;

// Widget: u32 block size, then a block of that many bytes of typed chunks (u32 tag, u32 size,
// content), which a reader skips when it does not know the tag. The block holds one size
// chunk: i32 width, i32 height (each 0..kMaxWidgetSide).
const uint32_t kTagWidget = 'wdgt';
const uint32_t kTagWidgetSize = 'wsiz';
const int32_t kMaxWidgetSide = 16384;
