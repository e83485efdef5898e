#!/usr/bin/python3
# Seeks a file with GStreamer (as GNOME Videos and browsers on Linux do) and
# writes the picture shown there as raw 8-bit grey.
#   gst_picture_at.py FILE SECONDS OUT  ->  prints "time width height"
import sys

import gi

gi.require_version("Gst", "1.0")
from gi.repository import Gst  # noqa: E402


def main():
    path, seconds, out = sys.argv[1], float(sys.argv[2]), sys.argv[3]
    Gst.init(None)
    player = Gst.ElementFactory.make("playbin")
    player.set_property("uri", Gst.filename_to_uri(path))
    sink = Gst.parse_bin_from_description("videoconvert ! video/x-raw,format=GRAY8 ! appsink name=s", True)
    player.set_property("video-sink", sink)
    player.set_property("audio-sink", Gst.ElementFactory.make("fakesink"))
    player.set_state(Gst.State.PAUSED)
    if player.get_state(20 * Gst.SECOND)[0] == Gst.StateChangeReturn.FAILURE:
        sys.exit("cannot open " + path)
    flags = Gst.SeekFlags.FLUSH | Gst.SeekFlags.ACCURATE
    if not player.seek_simple(Gst.Format.TIME, flags, int(seconds * Gst.SECOND)):
        sys.exit("seek refused")
    player.get_state(20 * Gst.SECOND)
    sample = sink.get_by_name("s").emit("pull-preroll")
    if sample is None:
        sys.exit("no picture")
    structure = sample.get_caps().get_structure(0)
    width, height = structure.get_value("width"), structure.get_value("height")
    buffer = sample.get_buffer()
    ok, info = buffer.map(Gst.MapFlags.READ)
    stride = len(info.data) // height
    with open(out, "wb") as f:
        for y in range(height):
            f.write(info.data[y * stride:y * stride + width])
    buffer.unmap(info)
    print(f"{buffer.pts / Gst.SECOND:.6f} {width} {height}")
    player.set_state(Gst.State.NULL)


main()
