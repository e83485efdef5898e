"""What the simulated camera itself says: its state file and its trace."""

import json
import struct

# The state file's fixed layout (simcam/include/simcam/SimStateLayout.h). A change
# there bumps the layout version, which read() rejects with a clear message.
LAYOUT_VERSION = 2
HEADER_SIZE = 64
RECORD_SIZE = 33144
TEXT_BYTES = 32
OFF_FIRMWARE = 32
OFF_REBOOTING = 104
OFF_REBOOT_COUNT = 120
OFF_ZOOM_MOTION = 176

# Extension-unit selectors the window writes.
ZOOM_MOVE = 12
AUDIO_ENABLE = 26

# V4L2 control ids (linux/videodev2.h).
CID_BRIGHTNESS = 0x00980900
CID_PAN_SPEED = 0x009a0920
CID_TILT_SPEED = 0x009a0921

ZOOM_IN = "010006"
ZOOM_STOP = "000000"


class CameraState:
    def __init__(self, raw):
        self.firmware = raw[OFF_FIRMWARE:OFF_FIRMWARE + TEXT_BYTES].split(b"\0", 1)[0].decode("latin-1")
        self.rebooting = struct.unpack_from("<I", raw, OFF_REBOOTING)[0] != 0
        self.reboot_count = struct.unpack_from("<Q", raw, OFF_REBOOT_COUNT)[0]
        self.zoom_motion = raw[OFF_ZOOM_MOTION:OFF_ZOOM_MOTION + 3].hex()

    def __repr__(self):
        return "firmware %s, rebooting %s, %d reboots, zoom motion %s" % (
            self.firmware, self.rebooting, self.reboot_count, self.zoom_motion)


def read_state(sim_dir, camera=0):
    with open(sim_dir + "/state", "rb") as f:
        data = f.read()
    magic, version, header_size, record_size = struct.unpack_from("<8sIII", data, 0)
    if magic != b"VORQSIM\0" or (version, header_size, record_size) != (LAYOUT_VERSION, HEADER_SIZE, RECORD_SIZE):
        raise AssertionError("the simulator's state file has another layout (version %d, sizes %d/%d); "
                             "update simcamera.py" % (version, header_size, record_size))
    start = HEADER_SIZE + camera * RECORD_SIZE
    return CameraState(data[start:start + RECORD_SIZE])


class Trace:
    """The JSON lines the simulated camera appends for every transfer."""

    def __init__(self, path):
        self.path = path

    def lines(self):
        try:
            with open(self.path, encoding="utf-8") as f:
                text = f.read()
        except FileNotFoundError:
            return []
        # A line being written right now is not complete yet.
        return [json.loads(line) for line in text.split("\n")[:-1] if line]

    def mark(self):
        return len(self.lines())

    def xu_writes(self, selector, size, since=0):
        """The data of every SET_CUR on an extension-unit control, in order."""
        return [line["data"] for line in self.lines()[since:]
                if line.get("query") == "SET_CUR" and line.get("selector") == selector
                and line.get("size") == size and line.get("errno") == 0]

    def control_writes(self, cid, since=0):
        """The values of every accepted write of a V4L2 control, in order."""
        return [line["value"] for line in self.lines()[since:]
                if line.get("op") == "s_ctrl" and line.get("cid") == cid and line.get("errno") == 0]
