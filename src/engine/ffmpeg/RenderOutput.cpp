#include "engine/ffmpeg/RenderOutput.h"

#include <exception>

namespace rw {

TEncoderStream::TEncoderStream(AVFormatContext* Output, TCodecContextPtr Codec,
                               const TEncoderBehaviour& Behaviour)
    : FOutput(Output), FCodec(std::move(Codec)), FBehaviour(Behaviour) {
  FStream = avformat_new_stream(FOutput, nullptr);
  if (!FStream) throw EMediaEngineError(ME_OUTOFMEMORY, "Out of memory");
  CheckAV(avcodec_parameters_from_context(FStream->codecpar, FCodec.get()),
          "Cannot set up the output");
  FStream->time_base = FCodec->time_base;
  if (FCodec->codec_type == AVMEDIA_TYPE_VIDEO) FStream->avg_frame_rate = FCodec->framerate;
}

void TEncoderStream::Send(AVFrame* Frame) {
  if (Frame && FCodec->codec_type == AVMEDIA_TYPE_VIDEO && (FCodec->flags & AV_CODEC_FLAG_QSCALE))
    Frame->quality = FCodec->global_quality;
  int err = avcodec_send_frame(FCodec.get(), Frame);
  if (err == AVERROR_EOF) return;
  CheckAV(err, std::string("Encoding with ") + FCodec->codec->name + " failed");
  while (true) {
    err = avcodec_receive_packet(FCodec.get(), FPacket.get());
    if (err == AVERROR(EAGAIN) || err == AVERROR_EOF) return;
    CheckAV(err, std::string("Encoding with ") + FCodec->codec->name + " failed");
    FPacket->stream_index = FStream->index;
    // A stream's first picture and every picture of a codec without references decode on their
    // own; some encoders (SMPTE VC-2, Apple Video) leave them unmarked, and an index without key
    // frames makes players warn and unable to seek.
    const AVCodecDescriptor* codec = avcodec_descriptor_get(FCodec->codec_id);
    if (FCodec->codec_type == AVMEDIA_TYPE_VIDEO &&
        (!FPacketWritten || (codec && (codec->props & AV_CODEC_PROP_INTRA_ONLY))))
      FPacket->flags |= AV_PKT_FLAG_KEY;
    FPacketWritten = true;
    av_packet_rescale_ts(FPacket.get(), FCodec->time_base, FStream->time_base);
    if (!FShiftKnown) {
      FShift = FPacket->dts != AV_NOPTS_VALUE && FPacket->dts < 0 ? -FPacket->dts : 0;
      FShiftKnown = true;
    }
    if (FPacket->pts != AV_NOPTS_VALUE) FPacket->pts += FShift;
    if (FPacket->dts != AV_NOPTS_VALUE) FPacket->dts += FShift;
    err = av_interleaved_write_frame(FOutput, FPacket.get());
    CheckAV(err, "Writing the output failed");
  }
}

TRenderOutput::TRenderOutput(const std::string& FileName) {
  QuietLibraries();
  CheckAV(avformat_alloc_output_context2(&FOutput, nullptr, "avi", nullptr),
          "Cannot set up the AVI writer");
  const int err = avio_open(&FOutput->pb, FileURL(FileName).c_str(), AVIO_FLAG_WRITE);
  if (err < 0) {
    Release();
    CheckAV(err, "Cannot create " + FileName);
  }
}

TRenderOutput::~TRenderOutput() { Release(); }

void TRenderOutput::Release() {
  FStreams.clear();
  if (FOutput) avio_closep(&FOutput->pb);
  avformat_free_context(FOutput);
  FOutput = nullptr;
}

TEncoderStream& TRenderOutput::Add(const TCompressorFormat& Format, const TRenderEncoder& Encoder) {
  const TEncoderFormat format = EncoderFormatOf(Format);
  const AVCodec* codec = FindEncoder(Encoder.Name, format.Video);
  // What the encoder's output looks like decoded (how late it comes out) is known by trying it;
  // the uncompressed formats hold nothing back.
  const TEncoderBehaviour behaviour =
      Encoder.Name.empty() ? TEncoderBehaviour{} : ProbeEncoder(codec, format, Encoder.Options);
  FStreams.push_back(std::make_unique<TEncoderStream>(
      FOutput, OpenEncoder(codec, format, Encoder.Options), behaviour));
  return *FStreams.back();
}

void TRenderOutput::Begin() {
  TLibraryMessages said;
  CheckAV(avformat_write_header(FOutput, nullptr), "Cannot write the output");
  FBegun = true;
}

void TRenderOutput::Finish() {
  if (!FBegun || FFinished) return;
  FFinished = true;
  // The file is completed also when an encoder fails to drain; the first failure is raised.
  std::exception_ptr failure;
  for (auto& s : FStreams) {
    try {
      s->Send(nullptr);
    } catch (const EMediaEngineError&) {
      if (!failure) failure = std::current_exception();
    }
  }
  CheckAV(av_write_trailer(FOutput), "Cannot complete the output");
  if (failure) std::rethrow_exception(failure);
}

}  // namespace rw
