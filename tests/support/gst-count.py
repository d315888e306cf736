#!/usr/bin/env python3
# Decodes a file with GStreamer (filesrc ! decodebin, each decoded stream into a fakesink that
# does not wait for the clock) and prints, one line each:
#   video PICTURES END     pictures decoded and where the last one ends, in seconds
#   audio BUFFERS END      buffers of decoded sound and where the last one ends
#   error TEXT / warning TEXT   what the pipeline's bus reported
#   missing TYPE           a stream of that type that no installed decoder takes
# With --flashes after the file's name, also where the pictures turn bright:
#   flash TIME             the time GStreamer gives each picture brighter than mid-grey whose
#                          picture before was not
# With --beeps, also where the sound turns loud:
#   beep TIME              the time of the first sample above half of full scale (in any
#                          channel) after at least 0.1 s below it
# Exits 0 when the pipeline reached its end, 1 otherwise, 2 when GStreamer is not usable.
import array
import sys

try:
    import gi

    gi.require_version("Gst", "1.0")
    from gi.repository import Gst
except (ImportError, ValueError) as e:
    print("error GStreamer for Python is not installed: %s" % e)
    sys.exit(2)

Gst.init(None)
pipeline = Gst.Pipeline.new("check")
source = Gst.ElementFactory.make("filesrc")
decode = Gst.ElementFactory.make("decodebin")
if source is None or decode is None:
    print("error filesrc or decodebin is missing")
    sys.exit(2)
source.set_property("location", sys.argv[1])
flashes = "--flashes" in sys.argv[2:]
beeps = "--beeps" in sys.argv[2:]
pipeline.add(source)
pipeline.add(decode)
source.link(decode)

counts = {}  # "video" or "audio" -> [buffers, end in ns]
bright = [False]
last_loud = [None]  # when the sound was last loud, in seconds


def on_buffer(pad, info, kind):
    buf = info.get_buffer()
    entry = counts[kind]
    entry[0] += 1
    if buf.pts != Gst.CLOCK_TIME_NONE:
        end = buf.pts + (buf.duration if buf.duration != Gst.CLOCK_TIME_NONE else 0)
        entry[1] = max(entry[1], end)
    if flashes and kind == "video":
        ok, mapped = buf.map(Gst.MapFlags.READ)
        if ok:
            grey = mapped.data[::7]
            now = len(grey) > 0 and sum(grey) > 128 * len(grey)
            buf.unmap(mapped)
            if now and not bright[0]:
                print("flash %.6f" % (buf.pts / Gst.SECOND))
            bright[0] = now
    if beeps and kind == "audio":
        caps = pad.get_current_caps()
        s = caps.get_structure(0) if caps else None
        ok, mapped = buf.map(Gst.MapFlags.READ)
        if ok and s is not None:
            channels = s.get_value("channels")
            rate = s.get_value("rate")
            samples = array.array("h", bytes(mapped.data[: len(mapped.data) // 2 * 2]))
            buf.unmap(mapped)
            for i, v in enumerate(samples):
                if abs(v) > 16384:
                    t = buf.pts / Gst.SECOND + (i // channels) / rate
                    if last_loud[0] is None or t - last_loud[0] > 0.1:
                        print("beep %.6f" % t)
                    last_loud[0] = t
    return Gst.PadProbeReturn.OK


def decode_into(pipeline, pad, sink, converter, caps):
    """Links pad to sink through the converter and a filter of caps."""
    convert = Gst.ElementFactory.make(converter)
    wanted = Gst.ElementFactory.make("capsfilter")
    wanted.set_property("caps", Gst.Caps.from_string(caps))
    for element in (convert, wanted):
        pipeline.add(element)
        element.sync_state_with_parent()
    convert.link(wanted)
    wanted.link(sink)
    pad.link(convert.get_static_pad("sink"))


def on_pad(element, pad):
    caps = pad.get_current_caps() or pad.query_caps(None)
    name = caps.get_structure(0).get_name() if caps and caps.get_size() else ""
    kind = name.split("/")[0]
    if kind not in ("video", "audio"):
        kind = name or "other"
    counts.setdefault(kind, [0, 0])
    sink = Gst.ElementFactory.make("fakesink")
    sink.set_property("sync", False)
    pipeline.add(sink)
    sink.sync_state_with_parent()
    sink_pad = sink.get_static_pad("sink")
    sink_pad.add_probe(Gst.PadProbeType.BUFFER, on_buffer, kind)
    # Grey pictures, whose bytes are their brightness; interleaved 16-bit samples, whose values
    # are their loudness.
    if flashes and kind == "video":
        decode_into(pipeline, pad, sink, "videoconvert", "video/x-raw,format=GRAY8")
        return
    if beeps and kind == "audio":
        decode_into(pipeline, pad, sink, "audioconvert", "audio/x-raw,format=S16LE,layout=interleaved")
        return
    pad.link(sink_pad)


def on_unknown_type(element, pad, caps):
    name = caps.get_structure(0).get_name() if caps and caps.get_size() else "unknown"
    print("missing %s" % name)


# PyGObject makes a type's Python class on its first use; two streaming threads making it at
# once may make two that do not match ("Must be Gst.Buffer, not Buffer"). Made here first.
Gst.Buffer.new().pts
Gst.PadProbeInfo.get_buffer

decode.connect("pad-added", on_pad)
decode.connect("unknown-type", on_unknown_type)
pipeline.set_state(Gst.State.PLAYING)
bus = pipeline.get_bus()
finished = False
while True:
    msg = bus.timed_pop_filtered(
        600 * Gst.SECOND,
        Gst.MessageType.EOS | Gst.MessageType.ERROR | Gst.MessageType.WARNING,
    )
    if msg is None:
        print("error no end after 600 s")
        break
    if msg.type == Gst.MessageType.EOS:
        finished = True
        break
    if msg.type == Gst.MessageType.ERROR:
        err, debug = msg.parse_error()
        print("error %s (%s)" % (err.message, msg.src.get_name()))
        break
    if msg.type == Gst.MessageType.WARNING:
        err, debug = msg.parse_warning()
        print("warning %s (%s)" % (err.message, msg.src.get_name()))
pipeline.set_state(Gst.State.NULL)
for kind, (buffers, end) in sorted(counts.items()):
    print("%s %d %.6f" % (kind, buffers, end / Gst.SECOND))
sys.exit(0 if finished else 1)
