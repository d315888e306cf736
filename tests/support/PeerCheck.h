#pragma once
// Every player and tool we did not write reads a finished output whole: ffmpeg and GStreamer
// decode it (counting pictures and where the sound ends), VLC and mencoder read it through its
// indexes, mpv says how long it lasts. Each must find every picture, the sound to its end and
// nothing to complain about.
#include <string>
#include <vector>

namespace rw::test {

struct TPeerExpectation {
  int Pictures = 0;      // decoded pictures (an empty chunk, a repeated picture, is none)
  double Seconds = 0;    // where the pictures end
  double SoundEnd = -1;  // where the sound ends; below 0: no sound stream
  double Tolerance = 0;  // seconds, for both ends
  // Where GStreamer, which times AVI pictures by their slots, must see the pictures turn
  // bright, within 27 ms each; not checked when empty.
  std::vector<double> Flashes;
};

// The pictures ffmpeg decodes from the file's first video stream.
int DecodedPictures(const std::string& FileName);

// Where GStreamer (its own AVI demuxer and decoders) hears the sound turn loud: the time of the
// first sample above half of full scale after at least 0.1 s below it. Empty, with a note on
// standard error, when GStreamer is not usable and the test run does not require it.
std::vector<double> GStreamerBeeps(const std::string& FileName);

// What the peers found wrong with the file, one text each, naming the peer; empty when every
// peer read it whole. A peer that is not installed is one complaint when the test run requires
// every peer (RW_REQUIRE_PEERS or CI set, as ./test does), else a note on standard error.
std::vector<std::string> PeerComplaints(const std::string& FileName,
                                        const TPeerExpectation& Expect);

}  // namespace rw::test
