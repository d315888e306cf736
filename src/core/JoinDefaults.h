#pragma once
// What the join options propose for a recompressing join, computed from the entries of the
// file list: the frame size (the smallest, rounded down to a multiple of 8), the frame rate
// (the lowest, in the list of rates offered), the resize method (letterbox when some entry is
// 8 pixels or more larger, else no resize) and the preferred compressors. The join options
// dialog shows them; the join decision takes them for what the command line does not give.
#include <cstdint>
#include <string>
#include <vector>

#include "media/VideoFileInfo.h"
#include "recompress/ResizeMethods.h"

namespace rw {

using TFileInfoList = std::vector<const TVideoFileInfo*>;

// Index of the rate's text in List; the text is appended when it is not there yet.
int AddFrameRate(std::vector<std::string>& List, double Rate, char DecimalSeparator = '.');
// The rates offered: those of the entries, then 24, 25 and 29.97, once each, sorted as text.
std::vector<std::string> FillFrameRates(const TFileInfoList& Files, char DecimalSeparator = '.');
// The text of a rate back as a number; raises rw::Exception for a text that is not one.
double ParseFrameRate(const std::string& Text, char DecimalSeparator = '.');

struct TJoinDefaults {
  int32_t Width = 320;
  int32_t Height = 240;
  std::vector<std::string> FrameRates;  // the items of the rate list, the proposed one included
  int FrameRateIndex = 0;
  int ResizeIndex = riLetterbox;  // an index into ResizeMethodItems()
};

// The proposals for the entries; FrameRates is the rate list as filled for them.
TJoinDefaults ComputeJoinDefaults(const TFileInfoList& Files, std::vector<std::string> FrameRates,
                                  char DecimalSeparator = '.');

// Index of the preferred compressor among Names (the last one whose name holds "divx", else
// "xvid"; for sound "mp3", else "mpeg", else "pcm"), or Current when none matches.
int SelectDefaultVideoCompressor(const std::vector<std::string>& Names, int Current);
int SelectDefaultAudioCompressor(const std::vector<std::string>& Names, int Current);

}  // namespace rw
