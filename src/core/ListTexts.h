#pragma once
// The column texts of the file list, computed once when a row is made.
#include <cstdint>
#include <string>

#include "core/FileList.h"

namespace rw {

// mm:ss, or hh:mm:ss from one hour on, of Seconds rounded to whole seconds (halves to even).
std::string FormatDuration(double Seconds);
// The user's decimal separator, as the locale gives it ("." when it gives none).
std::string UserDecimalSeparator();

// 25 for a whole rate, else two decimals with DecimalSeparator (29.97).
std::string FrameRateText(double FrameRate, const std::string& DecimalSeparator);
// The same with the user's decimal separator.
std::string FrameRateText(double FrameRate);
// A rate as the join options offer it: two decimals with DecimalSeparator (24 -> "24.00").
std::string FormatFrameRate(double Rate, char DecimalSeparator = '.');
// "44KHz Stereo", "22KHz Mono", "48KHz 6ch" (other channel counts) or "none".
std::string AudioText(const TVideoFileInfo& Info);
// "AVI:DIVX" for AVI files, else the container type name.
std::string TypeText(const TVideoFileInfo& Info);
// The part of a path after its last delimiter.
std::string FileNameText(const std::string& FileName);
// The folder of a path, without its last delimiter unless that is the root or follows
// another delimiter: "/clips/a.avi" gives "/clips", "/a.avi" gives "/".
std::string FolderText(const std::string& FileName);
// The rate the list times a file's pictures at: its header's, or StandInFrameRate when that is
// not plausible (as its duration is counted).
double ListPictureRate(const TVideoFileInfo& Info);
// The pictures of the file, as its duration counts them.
uint32_t ListPictureCount(const TVideoFileInfo& Info);
// The seconds of the file that Cut keeps: its whole exact duration when it is not cut.
double KeptSeconds(const TVideoFileInfo& Info, const TPictureCut& Cut);
// A time as the Cut column shows it: mm:ss.mmm, or hh:mm:ss.mmm from one hour on; rounded up to
// the millisecond (a time a millionth of a second above a whole millisecond is that one).
std::string PictureTimeText(double Seconds);
// The Cut column: empty for the whole file, else when the kept part starts (the In picture's
// time) and when it ends (the time of the picture after Out), "00:01.200-00:09.880", or
// "00:01.200-end" when it keeps the file to its end. Given as START-END to join --cut, the times
// name the same pictures: START keeps the picture shown then, the one shown at END is not kept.
std::string CutText(const TVideoFileInfo& Info, const TPictureCut& Cut);
// The texts of a row for a description and the part of it a join keeps.
TRowTexts RowTexts(const TVideoFileInfo& Info, const TPictureCut& Cut = {});

// A rate as a short number with DecimalSeparator: up to three decimals, no trailing zeros
// (25, 12.5, 29.97, 23.976).
std::string ShortRateText(double Rate, const std::string& DecimalSeparator);
// How the cell of Row in Column differs from the first file's, for the tooltips of the
// highlighted cells: "Codec XVID; the first file has DIVX", "352x288; the first file has
// 640x480", "12.5 fps; the first file has 25", "MP2 sound; the first file has MP3". Empty when
// the cell does not differ or its column is never highlighted (file name, duration, folder).
std::string DifferenceText(const TVideoFileInfo& Row, const TVideoFileInfo& First, int Column);
// What is wrong with the file on its own (it has no index), or empty.
std::string JoinProblemText(const TVideoFileInfo& Info);

}  // namespace rw
