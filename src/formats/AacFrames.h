#pragma once
// AAC sound: what a stream's AudioSpecificConfig or ADTS
// header says of its frames, and silent AAC-LC frames built bit by bit (every channel element
// of the channel configuration with no scale factor bands, hence no spectral data).
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace rw {

// What this join can make silence for: plain AAC-LC (1024 samples a frame, no SBR or PS) of a
// channel configuration from 1 to 7.
struct TAacConfig {
  uint32_t SampleRate = 0;
  int SampleRateIndex = 0;  // 15: the rate is given explicitly
  int Channels = 0;         // the channel configuration, 1..7
};

// Reads an AudioSpecificConfig of Size bytes; false unless it describes AAC-LC that Config
// can hold (a 960-sample frame, a core coder, a program config element, explicit SBR or PS and
// any unknown extension all refuse it).
bool ParseAacConfig(const uint8_t* P, size_t Size, TAacConfig& Config);

// What an AudioSpecificConfig that ParseAacConfig refuses says, in words a user can act on
// ("AAC whose set-up names channel configuration 0, ..."); empty when it is accepted.
std::string AacConfigText(const uint8_t* P, size_t Size);

// Bytes of an ADTS header without CRC.
inline constexpr uint32_t AdtsHeaderBytes = 7;
// Reads the ADTS header at P; false unless it is one of AAC-LC with one raw block, a channel
// configuration from 1 to 7 and a frame length that covers its header.
bool ParseAdtsHeader(const uint8_t* P, size_t Avail, TAacConfig& Config);

// A raw AAC-LC frame of Channels (a channel configuration, 1..7) that decodes to silence;
// empty for any other configuration.
std::vector<uint8_t> MakeSilentAacFrame(int Channels);

// The same frame behind an ADTS header taken from Header (the stream's own first frame's),
// without CRC and with the frame's length; empty when Header is no ADTS header of AAC-LC.
std::vector<uint8_t> MakeSilentAdtsFrame(const uint8_t* Header, size_t Avail);

}  // namespace rw
