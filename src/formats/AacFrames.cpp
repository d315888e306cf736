// AudioSpecificConfig and ADTS headers of AAC-LC, and silent frames made bit by bit.
#include "formats/AacFrames.h"

#include "formats/BitFields.h"

namespace rw {

namespace {

constexpr uint32_t SampleRates[13] = {96000, 88200, 64000, 48000, 44100, 32000, 24000,
                                      22050, 16000, 12000, 11025, 8000,  7350};
constexpr int ExplicitRate = 15;
constexpr int ObjectLc = 2;
constexpr int ObjectSbr = 5;
constexpr uint32_t SyncExtension = 0x2B7;

int ObjectType(TBitReader& R) {
  const int type = static_cast<int>(R.Get(5));
  return type == 31 ? 32 + static_cast<int>(R.Get(6)) : type;
}

}  // namespace

bool ParseAacConfig(const uint8_t* P, size_t Size, TAacConfig& Config) {
  TBitReader r(P, Size);
  TAacConfig c;
  if (ObjectType(r) != ObjectLc) return false;  // explicit SBR or PS name their own type first
  c.SampleRateIndex = static_cast<int>(r.Get(4));
  if (c.SampleRateIndex == ExplicitRate)
    c.SampleRate = r.Get(24);
  else if (c.SampleRateIndex < 13)
    c.SampleRate = SampleRates[c.SampleRateIndex];
  c.Channels = static_cast<int>(r.Get(4));
  const uint32_t frameLength960 = r.Get(1), coreCoder = r.Get(1), extension = r.Get(1);
  if (r.Overrun() || c.SampleRate == 0 || c.Channels < 1 || c.Channels > 7 || frameLength960 ||
      coreCoder || extension)
    return false;
  // What may follow: the backward-compatible extension saying there is no SBR, or padding.
  if (r.Left() >= 16) {
    if (r.Get(11) != SyncExtension) return false;
    const int type = ObjectType(r);
    if (type != ObjectSbr || r.Get(1) != 0 || r.Overrun()) return false;
  }
  while (r.Left() > 0)
    if (r.Get(1) != 0) return false;
  Config = c;
  return true;
}

std::string AacConfigText(const uint8_t* P, size_t Size) {
  TAacConfig config;
  if (ParseAacConfig(P, Size, config)) return "";
  TBitReader r(P, Size);
  const int type = ObjectType(r);
  const auto index = static_cast<int>(r.Get(4));
  if (index == ExplicitRate) r.Get(24);
  const auto channels = static_cast<int>(r.Get(4));
  if (r.Overrun())
    return "AAC whose set-up of " + std::to_string(Size) + " bytes is too short to name its format";
  if (type != ObjectLc)
    return "AAC of object type " + std::to_string(type) +
           ", not AAC-LC (SBR, PS or another object type)";
  if (index == 13 || index == 14)
    return "AAC whose set-up names sample rate number " + std::to_string(index) +
           ", which stands for no rate";
  if (channels == 0)
    return "AAC whose set-up names channel configuration 0 (its channels to be listed in the "
           "set-up itself)";
  if (channels > 7)
    return "AAC whose set-up names channel configuration " + std::to_string(channels) +
           ", which has no defined channels";
  return "AAC-LC with 960-sample frames, a core coder or an extension in its set-up";
}

bool ParseAdtsHeader(const uint8_t* P, size_t Avail, TAacConfig& Config) {
  if (Avail < AdtsHeaderBytes || P[0] != 0xFF || (P[1] & 0xF6) != 0xF0) return false;
  TAacConfig c;
  const int profile = P[2] >> 6;  // the object type less one
  c.SampleRateIndex = (P[2] >> 2) & 15;
  c.Channels = ((P[2] & 1) << 2) | (P[3] >> 6);
  const uint32_t length = ((P[3] & 3u) << 11) | (uint32_t{P[4]} << 3) | (P[5] >> 5);
  const uint32_t header = (P[1] & 1) ? AdtsHeaderBytes : AdtsHeaderBytes + 2;
  const int blocks = P[6] & 3;
  if (profile != ObjectLc - 1 || c.SampleRateIndex >= 13 || c.Channels < 1 || length < header ||
      blocks != 0)
    return false;
  c.SampleRate = SampleRates[c.SampleRateIndex];
  Config = c;
  return true;
}

std::vector<uint8_t> MakeSilentAacFrame(int Channels) {
  enum : uint32_t { Single = 0, Pair = 1, Lfe = 3, End = 7 };
  // The elements of each channel configuration, in the order they are coded.
  static const std::vector<uint32_t> Elements[8] = {
      {},
      {Single},
      {Pair},
      {Single, Pair},
      {Single, Pair, Single},
      {Single, Pair, Pair},
      {Single, Pair, Pair, Lfe},
      {Single, Pair, Pair, Pair, Lfe},
  };
  if (Channels < 1 || Channels > 7) return {};
  std::vector<uint8_t> frame;
  TBitWriter w(frame, 0);
  // A long window with no scale factor bands: no sections, scale factors or spectral data.
  auto icsInfo = [&] {
    w.Put(0, 1);  // reserved
    w.Put(0, 2);  // only long window
    w.Put(0, 1);  // sine window shape
    w.Put(0, 6);  // max_sfb
    w.Put(0, 1);  // no prediction
  };
  auto channelStream = [&](bool CommonWindow) {
    w.Put(100, 8);  // global gain: scales nothing here
    if (!CommonWindow) icsInfo();
    w.Put(0, 3);  // no pulse, TNS or gain control data
  };
  uint32_t instances[8] = {};
  for (uint32_t element : Elements[Channels]) {
    w.Put(element, 3);
    w.Put(instances[element]++, 4);
    if (element == Pair) {
      w.Put(1, 1);  // common window
      icsInfo();
      w.Put(0, 2);  // no mid/side coding
      channelStream(true);
      channelStream(true);
    } else {
      channelStream(false);
    }
  }
  w.Put(End, 3);
  return frame;  // the last byte padded with zeros
}

std::vector<uint8_t> MakeSilentAdtsFrame(const uint8_t* Header, size_t Avail) {
  TAacConfig config;
  if (!ParseAdtsHeader(Header, Avail, config)) return {};
  const std::vector<uint8_t> raw = MakeSilentAacFrame(config.Channels);
  const auto length = static_cast<uint32_t>(AdtsHeaderBytes + raw.size());
  std::vector<uint8_t> frame(Header, Header + 4);
  frame[1] |= 1;  // no CRC
  // Channel configuration, original and home bits kept; no copyright identification.
  frame[3] = static_cast<uint8_t>((Header[3] & 0xF0) | (length >> 11));
  frame.push_back(static_cast<uint8_t>(length >> 3));
  frame.push_back(static_cast<uint8_t>(((length & 7) << 5) | 0x1F));  // buffer fullness 0x7FF:
  frame.push_back(0xFC);                                              // variable rate; one block
  frame.insert(frame.end(), raw.begin(), raw.end());
  return frame;
}

}  // namespace rw
