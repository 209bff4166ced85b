#pragma once

// Decodes one motion-JPEG frame with WIC into a picture of the frame converter's. Internal to the camera
// library (used by the frame converter).
//
// Cameras send baseline JPEG frames without Huffman tables (no DHT segment), relying on the
// standard tables of ITU-T T.81 K.3; WIC's decoder does not supply them, so a frame without a DHT
// segment before its scan gets the standard tables inserted in front of the scan first.

#include <windows.h>

#include <cstddef>
#include <memory_resource>
#include <vector>

#include "webcam/src/LmFrameConverter.h"

namespace lm {

// Where the frame's first scan (its SOS marker) starts, and whether a DHT segment comes
// before it. False for data that is not a JPEG stream up to its scan: no SOI, a segment that
// runs past Length, or no SOS.
struct JpegLayout {
  size_t ScanOffset = 0;
  bool HasHuffmanTables = false;
};
bool ReadJpegLayout(const BYTE* Frame, size_t Length, JpegLayout& Layout);

// The standard tables as one DHT segment (marker included).
const std::vector<BYTE>& StandardHuffmanSegment();

// Decodes Frame (Length bytes) into Target, whose rows hold Width x Height pixels. False when
// the frame is no JPEG that WIC decodes, or its picture is not exactly Width x Height. A frame
// without tables is decoded from a copy with the tables inserted, allocated from Scratch
// (exactly the copy's length, in one block). Needs COM initialised on the calling thread; throws
// nothing except std::bad_alloc.
bool DecodeMjpgFrame(const BYTE* Frame, size_t Length, LONG Width, LONG Height, const PictureTarget& Target,
                     std::pmr::memory_resource* Scratch = std::pmr::get_default_resource());

}  // namespace lm
