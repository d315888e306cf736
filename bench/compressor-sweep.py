#!/usr/bin/env python3
"""Recompresses one short clip with every compressor that `reelwright-cli compressors` offers
(each audio compressor with the default video compressor, each video compressor with the
default audio compressor) and lets every peer read each output the way the tests'
PeerCheck does: ffmpeg, GStreamer (tests/support/gst-count.py), VLC, mpv and mencoder.

Prints one row per compressor and, per peer, "ok" (every picture, the sound to its end, in
step), "no decoder" (the peer has nothing that decodes that format) or "BROKEN: why".

    bench/compressor-sweep.py [path/to/reelwright-cli] [NAME...]

NAMEs limit the sweep to those compressors. The clip (3 s of 320x240 at 25 fps, black but for
a white flash 0.2 s after each second's start, with a beep at each flash over a quiet hum, 44.1
kHz stereo PCM) is made at run time with ffmpeg.
"""
import os
import re
import shlex
import subprocess
import sys
import tempfile
from concurrent.futures import ThreadPoolExecutor

HERE = os.path.dirname(os.path.abspath(__file__))
GST_COUNT = os.path.join(HERE, "..", "tests", "support", "gst-count.py")
SECONDS = 3.0
RATE = 25
PICTURES = int(SECONDS * RATE)
FRAME = 1.0 / RATE
FLASHES = [0.2, 1.2, 2.2]
PEERS = ["ffmpeg", "GStreamer", "VLC", "mpv", "mencoder"]
NO_DECODER = "no decoder"


def run(command, stdin=None):
    """Output (stdout and stderr together) and exit status; a peer gets at most 10 minutes."""
    try:
        with open(stdin or os.devnull, "rb") as inp:
            p = subprocess.run(command, stdin=inp, stdout=subprocess.PIPE,
                               stderr=subprocess.STDOUT, timeout=600)
        return p.stdout.decode("utf-8", "replace"), p.returncode
    except subprocess.TimeoutExpired:
        return "no end after 600 s", -1


def make_clip(name):
    when = "lt(mod(t+0.8,1),0.04)"
    video = ("color=c=black:s=320x240:r=%d:d=%g,drawbox=c=white:t=fill:enable='%s'"
             % (RATE, SECONDS, when))
    sound = ("aevalsrc='if(%s,0.8*sin(2*PI*1000*t),0)+0.1*sin(2*PI*300*t)|"
             "if(%s,0.8*sin(2*PI*1000*t),0)+0.1*sin(2*PI*300*t)':s=44100:d=%g"
             % (when, when, SECONDS))
    out, rc = run(["ffmpeg", "-nostdin", "-v", "error", "-y", "-f", "lavfi", "-i", video,
                   "-f", "lavfi", "-i", sound, "-c:v", "mpeg4", "-q:v", "2", "-c:a",
                   "pcm_s16le", name])
    if rc != 0:
        sys.exit("ffmpeg could not make the clip: " + out)


def offered(cli):
    """The video and the audio compressors offered, each a list of (name, default?)."""
    out, rc = run([cli, "compressors"])
    if rc != 0:
        sys.exit("reelwright-cli compressors failed: " + out)
    lists, current = {"video": [], "audio": []}, None
    for line in out.splitlines():
        if line.startswith("Video compressors"):
            current = "video"
        elif line.startswith("Audio compressors"):
            current = "audio"
        elif current and len(line) > 2 and line[2:].split():
            name = line[2:].split()[0]
            if name != "none":
                lists[current].append((name, line[0] == "*"))
    return lists


def missing_decoder(text):
    # GStreamer names a sample format it does not know (64-bit PCM) only in an assertion.
    return bool(re.search(r"^missing |missing a plug-in|No decoder available|is not supported|"
                          r"GST_AUDIO_FORMAT_UNKNOWN|"
                          r"no decoder module|Failed to initialize a decoder|"
                          r"Decoder \(codec .*\) not found|Could not find codec", text, re.M))


def near(got, want):
    return abs(got - want) <= FRAME + 1e-4


def ends(pictures, video_end, sound_end):
    """What is wrong with where the pictures and the sound end, or nothing."""
    wrong = []
    if pictures != PICTURES:
        wrong.append("%d pictures" % pictures)
    if not near(video_end, SECONDS):
        wrong.append("pictures end at %.3f s" % video_end)
    if sound_end < 0:
        wrong.append("no sound")
    elif not near(sound_end, video_end):
        wrong.append("sound ends at %.3f s" % sound_end)
    return wrong


def onsets(values, threshold, gap):
    """The indexes at which values first rise to the threshold after at least gap below it."""
    found, quiet = [], gap
    for i, v in enumerate(values):
        if v >= threshold and quiet >= gap:
            found.append(i)
        quiet = 0 if v >= threshold else quiet + 1
    return found


def in_step(name):
    """Whether ffmpeg shows every flash at its time and hears its beep within a frame of it."""
    raw = subprocess.run(["ffmpeg", "-nostdin", "-v", "error", "-i", name, "-map", "0:v:0",
                          "-fps_mode", "passthrough", "-vf", "scale=4:4", "-f", "rawvideo",
                          "-pix_fmt", "gray", "-"], stdout=subprocess.PIPE,
                         stderr=subprocess.DEVNULL).stdout
    times, _ = run(["ffprobe", "-v", "error", "-select_streams", "v:0", "-show_entries",
                    "frame=best_effort_timestamp_time", "-of", "csv=p=0", name])
    times = [seconds(t.strip(",")) for t in times.split()]
    bright = [sum(raw[i:i + 16]) / 16 for i in range(0, len(raw) - 15, 16)]
    flashes = [times[i] for i in onsets(bright, 128, 1) if i < len(times)]
    pcm = subprocess.run(["ffmpeg", "-nostdin", "-v", "error", "-i", name, "-map", "0:a:0",
                          "-ac", "1", "-ar", "44100", "-f", "s16le", "-"],
                         stdout=subprocess.PIPE, stderr=subprocess.DEVNULL).stdout
    samples = [abs(int.from_bytes(pcm[i:i + 2], "little", signed=True))
               for i in range(0, len(pcm) - 1, 2)]
    # Players play the decoded sound from the time of its first decoded frame, which is later
    # than 0 where the decoder swallows the first packets.
    start, _ = run(["ffprobe", "-v", "error", "-select_streams", "a:0", "-show_entries",
                    "frame=best_effort_timestamp_time", "-of", "csv=p=0", name])
    start = seconds(start.split()[0].strip(",") if start.split() else "")
    # The hum stays under a quarter of full scale; a beep reaches far above it.
    beeps = [start + i / 44100 for i in onsets(samples, 16000, 4410)]
    if len(flashes) != len(FLASHES) or len(beeps) != len(FLASHES):
        return ["flashes at %s, beeps at %s" % (fmt(flashes), fmt(beeps))]
    return ["beep at %.3f s, flash at %.3f s" % (b, f) for f, b in zip(flashes, beeps)
            if not near(b, f)]


def fmt(times):
    return "[" + " ".join("%.2f" % t for t in times) + "]"


def seconds(text):
    """A time ffprobe printed; none ("N/A") counts as 0, as the tests' PeerCheck reads it."""
    try:
        return float(text)
    except (TypeError, ValueError):
        return 0.0


def ffmpeg_peer(name):
    out, rc = run(["ffprobe", "-v", "error", "-show_entries",
                   "frame=media_type,best_effort_timestamp_time,pkt_duration_time,nb_samples",
                   "-of", "compact=p=0", name])
    pictures, video_end, sound_end, errors = 0, 0.0, -1.0, []
    for line in out.splitlines():
        fields = dict(p.split("=", 1) for p in line.split("|") if "=" in p)
        kind = fields.get("media_type")
        if not line:
            continue
        if kind not in ("video", "audio"):
            errors.append(line)
            continue
        start = fields.get("best_effort_timestamp_time")
        if kind == "video":
            pictures += 1
            video_end = max(video_end, seconds(start) + seconds(fields.get("pkt_duration_time")))
        else:
            # Sound without a time stamp (WMA's last frame) follows the sound before it.
            at = seconds(start) if start not in (None, "N/A") else max(sound_end, 0.0)
            sound_end = max(sound_end, at + int(fields.get("nb_samples", 0)) / 44100)
    if missing_decoder(out):
        return NO_DECODER
    wrong = errors[:2] + ends(pictures, video_end, sound_end)
    if rc != 0:
        wrong.append("exit status %d" % rc)
    return wrong or in_step(name)


def gstreamer_peer(name):
    python = "/usr/bin/python3" if os.access("/usr/bin/python3", os.X_OK) else "python3"
    out, rc = run([python, GST_COUNT, name])
    if missing_decoder(out):
        return NO_DECODER
    found, wrong = {}, []
    for line in out.splitlines():
        words = line.split()
        if len(words) == 3 and words[0] in ("video", "audio"):
            found[words[0]] = (int(words[1]), float(words[2]))
        elif words:
            wrong.append(line)
    pictures, video_end = found.get("video", (0, 0.0))
    wrong += ends(pictures, video_end, found.get("audio", (0, -1.0))[1])
    if rc != 0:
        wrong.append("did not reach the end")
    return wrong


def chunk_counts(name):
    """The entries per stream of the file's legacy index ('idx1'): what VLC must take."""
    with open(name, "rb") as f:
        data = f.read()
    at = data.rfind(b"idx1")
    counts = {}
    if at < 0:
        return []
    size = int.from_bytes(data[at + 4:at + 8], "little")
    for entry in range(at + 8, min(at + 8 + size, len(data)) - 15, 16):
        stream = data[entry:entry + 2]
        if stream.isdigit():
            counts[int(stream)] = counts.get(int(stream), 0) + 1
    return [counts.get(i, 0) for i in range(max(counts) + 1)] if counts else []


def vlc_peer(name):
    user = ["runuser", "-u", "nobody", "--"] if os.geteuid() == 0 else []
    out, _ = run(user + ["cvlc", "-vv", "--play-and-exit", "--aout=dummy", "--vout=dummy",
                         "--intf=dummy", "--run-time=1", "-"], stdin=name)
    if missing_decoder(out):
        return NO_DECODER
    entries, wrong = {}, []
    for line in out.splitlines():
        m = re.search(r"stream\[(\d+)\] created (\d+) index entries", line)
        if m:
            entries[int(m.group(1))] = int(m.group(2))
        opendml = "multiple riff -> OpenDML" in line or "detected OpenDML file" in line
        if ("broken or missing index" in line or "avi demux error" in line
                or ("avi demux warning" in line and not opendml)):
            wrong.append(line[line.find("]") + 2:])
    for i, count in enumerate(chunk_counts(name)):
        if entries.get(i, -1) != count:
            wrong.append("%d index entries of stream %d, expected %d"
                         % (entries.get(i, -1), i, count))
    return wrong


def mpv_peer(name):
    out, rc = run(["mpv", "--no-config", "--vo=null", "--ao=null", "--untimed", "--frames=1",
                   "--term-playing-msg=DUR=${=duration}", name])
    if missing_decoder(out):
        return NO_DECODER
    m = re.search(r"DUR=([0-9.]+)", out)
    wrong = [] if rc == 0 else ["exit status %d" % rc]
    if not m:
        wrong.append("no duration")
    elif not near(float(m.group(1)), SECONDS):
        wrong.append("lasts %s s" % m.group(1))
    return wrong


def mencoder_peer(name):
    out, _ = run(["mencoder", "-ovc", "copy", "-oac", "copy", "-o", "/dev/null", name])
    m = re.search(r"Video stream:.* (\d+) frames", out)
    if not m:
        return ["no video stream read"]
    return [] if int(m.group(1)) == PICTURES else ["%s pictures" % m.group(1)]


PEER_RUNS = [ffmpeg_peer, gstreamer_peer, vlc_peer, mpv_peer, mencoder_peer]


def verdict(found):
    if found == NO_DECODER:
        return NO_DECODER
    return "ok" if not found else "BROKEN: " + "; ".join(found)


def main():
    args = sys.argv[1:]
    cli = args.pop(0) if args and os.path.sep in args[0] else "build/bin/reelwright-cli"
    cli = os.path.abspath(cli)
    only = set(args)
    lists = offered(cli)
    with tempfile.TemporaryDirectory() as folder:
        # VLC may run as nobody, who must be able to read the outputs.
        os.chmod(folder, 0o755)
        clip = os.path.join(folder, "clip.avi")
        make_clip(clip)
        print("kind\tcompressor\t" + "\t".join(PEERS), flush=True)
        for kind, option in (("video", "--vcodec"), ("audio", "--acodec")):
            for name, default in lists[kind]:
                if only and name not in only:
                    continue
                out = os.path.join(folder, name + ".avi")
                said, rc = run([cli, "join", "--recompress", "--yes", "-o", out, option, name,
                                clip])
                label = name + (" *" if default else "")
                if rc != 0:
                    print("%s\t%s\tjoin fails: %s" % (kind, label, said.strip()), flush=True)
                    continue
                with ThreadPoolExecutor(len(PEER_RUNS)) as pool:
                    found = list(pool.map(lambda peer: peer(out), PEER_RUNS))
                print("%s\t%s\t%s" % (kind, label, "\t".join(verdict(f) for f in found)),
                      flush=True)
                os.remove(out)


if __name__ == "__main__":
    main()
