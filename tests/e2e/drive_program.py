#!/usr/bin/python3
"""Uses the running program through its accessibility interface, the way a
person would, and checks what the window shows against what the simulated
camera received. Run by run-program-test, which starts the program."""

import argparse
import json
import os
import signal
import subprocess
import sys
import time
import traceback

import pyatspi

import simcamera
from a11y import (Failure, Program, Screen, act, centre, dump_tree, extents, find, has_state, poll, showing, walk,
                  text_of, unnamed_controls, value_of)

CAMERA = "TELDORA TX42"
OLD_VERSION = "1.0.3"
NEW_VERSION = "1.2.0"
# The simulated camera takes an image of its own model and reads the
# version from the file name.
IMAGE_NAME = "Lynx-A_v%s.img" % NEW_VERSION

# Startup is slow in the sanitizer build; a reboot takes 2.5 s plus a re-scan.
START_TIMEOUT = 60
REBOOT_TIMEOUT = 20
UPGRADE_TIMEOUT = 90


def gone(node):
    try:
        return not showing(node)
    except Exception:  # destroyed
        return True


class Session:
    def __init__(self, args):
        self.args = args
        self.program = Program(args.pid)
        self.screen = Screen()
        self.trace = simcamera.Trace(args.trace)
        self.main = None

    # -- finding things ------------------------------------------------------

    def widget(self, name, role=None, root=None, timeout=10.0):
        root = root or self.main
        return poll("%r in %r" % (name, root.name),
                    lambda: self.program.check_alive() or find(root, role=role, name=name), timeout)

    def chosen_camera(self):
        """The camera box's current row."""
        box = next((node for node in walk(self.main) if node.getRole() == pyatspi.ROLE_COMBO_BOX
                    and node.name != "Capture mode"), None)
        if box is None:
            return None
        try:
            return text_of(box)
        except Failure:
            # Qt's own combo box on Linux is named by its current row.
            return box.name

    def state(self):
        return simcamera.read_state(self.args.sim)

    def wait_until(self, what, probe, timeout=10.0):
        def checked():
            self.program.check_alive()
            return probe()
        return poll(what, checked, timeout)

    def click(self, node):
        """Operates a checkable button through its accessible action, as a
        screen reader user would; the program answers it with a click."""
        act(node, "Toggle", "Press")

    def answer(self, text, button):
        box = self.program.window_with_text(text)
        act(self.widget(button, pyatspi.ROLE_PUSH_BUTTON, box), "Press")
        self.wait_until("the box %r to close" % text, lambda: gone(box))

    def choose_file(self, title, path, button):
        """Types a path into Qt's file dialog and confirms it."""
        dialog = self.program.window_titled(title)
        entry = poll("the file name field of %r" % title, lambda: self.file_name_field(dialog))
        entry.queryEditableText().setTextContents(path)
        self.wait_until("the file name to arrive", lambda: text_of(entry) == path)
        act(self.widget(button, pyatspi.ROLE_PUSH_BUTTON, dialog), "Press")
        self.wait_until("the dialog %r to close" % title, lambda: gone(dialog))

    @staticmethod
    def file_name_field(dialog):
        for node in (find(dialog, role=pyatspi.ROLE_TEXT, name_part="File name"),
                     find(dialog, role=pyatspi.ROLE_ENTRY, name_part="File name")):
            if node is not None and has_state(node, pyatspi.STATE_EDITABLE):
                return node
        return None

    def camera_open(self):
        chosen = self.chosen_camera()
        preview = find(self.main, name="Preview")
        if chosen == CAMERA + " connected" and preview is not None and showing(preview):
            return True
        # Not yet: poll() reports the last of these if it stays so.
        raise RuntimeError("the camera box shows %r, the preview switch is %s" % (
            chosen, "shown" if preview is not None and showing(preview) else "hidden"))

    # -- the steps -------------------------------------------------------------

    def sole_camera_is_opened(self):
        self.program.connect(START_TIMEOUT)
        self.main = self.program.window("the main window", lambda w: w.getRole() == pyatspi.ROLE_FRAME,
                                        START_TIMEOUT)
        self.wait_until("the sole camera to be opened", self.camera_open, START_TIMEOUT)
        version = self.widget("Firmware version")
        self.wait_until("the firmware version", lambda: text_of(version) == OLD_VERSION)
        preview = self.widget("Preview")
        assert not has_state(preview, pyatspi.STATE_CHECKED), "the preview starts switched off"
        assert not has_state(self.widget("Take snapshot"), pyatspi.STATE_SENSITIVE)

    def preview_shows_frames(self):
        preview = self.widget("Preview")
        act(preview, "Toggle", "Press")
        self.wait_until("the preview switch to be on", lambda: has_state(preview, pyatspi.STATE_CHECKED))
        picture = self.widget("Camera picture")
        self.wait_until("the camera picture", lambda: showing(picture))
        for name in ("Take snapshot", "Start or stop recording", "Speaker volume", "Microphone volume"):
            button = self.widget(name)
            self.wait_until("%r to be enabled" % name, lambda: has_state(button, pyatspi.STATE_SENSITIVE))
        # The test picture moves: a label that is not empty and keeps changing
        # means frames arrive.
        area = extents(picture)
        first = self.wait_until("a picture in the preview", lambda: self.picture_pixels(area))
        self.wait_until("a further frame", lambda: self.picture_pixels(area) not in (None, first))

    def preview_without_engine_says_why(self):
        # Run on a tree whose media engine was taken away.
        preview = self.widget("Preview")
        act(preview, "Toggle", "Press")
        picture = self.widget("Camera picture")
        self.wait_until("the reason in the picture",
                        lambda: "media engine could not be loaded" in (picture.description or ""))
        assert not has_state(preview, pyatspi.STATE_CHECKED), "the preview switch stays off"
        assert not has_state(self.widget("Take snapshot"), pyatspi.STATE_SENSITIVE)

    def picture_pixels(self, area):
        x, y, width, height = area
        if len(self.screen.colours(x, y, width, height)) < 50:
            return None
        return self.screen.pixels(x, y, width, height)

    def snapshot_is_saved(self):
        path = os.path.join(self.args.files, "snapshot.png")
        act(self.widget("Take snapshot"), "Press")
        self.choose_file("Save Picture", path, "Save")
        self.answer("Photo save successful", "OK")
        with open(path, "rb") as f:
            head = f.read(24)
        assert head[:8] == b"\x89PNG\r\n\x1a\n", "the snapshot is no PNG file"
        width, height = int.from_bytes(head[16:20], "big"), int.from_bytes(head[20:24], "big")
        assert (width, height) == (800, 600), "the snapshot is %dx%d, not the camera's 800x600" % (width, height)

    def recording_is_saved(self):
        path = os.path.join(self.args.files, "recording.mp4")
        record = self.widget("Start or stop recording")
        self.click(record)
        self.choose_file("Please select video save path", path, "Save")
        elapsed = self.widget("Recording time")
        self.wait_until("two seconds of recording", lambda: text_of(elapsed) >= "00:00:02")
        self.click(record)
        self.answer("Video save successful", "OK")
        assert text_of(elapsed) == "", "the recording time stays after the stop"
        probe = subprocess.run(["ffprobe", "-v", "error", "-of", "json", "-show_entries",
                                "stream=codec_type,codec_name:format=duration", path],
                               capture_output=True, text=True, check=False)
        assert probe.returncode == 0, "ffprobe cannot read the recording: " + probe.stderr
        info = json.loads(probe.stdout)
        streams = sorted((s["codec_type"], s["codec_name"]) for s in info["streams"])
        assert streams == [("audio", "aac"), ("video", "h264")], "the recording holds %s" % streams
        assert float(info["format"]["duration"]) >= 1.5, "the recording lasts %s s" % info["format"]["duration"]

    def zoom_moves_while_held(self):
        self.click(self.widget("Video settings"))
        zoom_in = self.widget("Zoom in")
        self.wait_until("the video page", lambda: showing(zoom_in))
        mark = self.trace.mark()
        self.screen.press(*centre(zoom_in))
        try:
            self.wait_until("the zoom to move", lambda: self.trace.xu_writes(simcamera.ZOOM_MOVE, 3, mark)
                            == [simcamera.ZOOM_IN] and self.state().zoom_motion == simcamera.ZOOM_IN)
            # Held a little longer: nothing stops it.
            time.sleep(0.5)
            assert self.trace.xu_writes(simcamera.ZOOM_MOVE, 3, mark) == [simcamera.ZOOM_IN]
            assert self.state().zoom_motion == simcamera.ZOOM_IN
        finally:
            self.screen.release()
        self.wait_until("the zoom to stop", lambda: self.trace.xu_writes(simcamera.ZOOM_MOVE, 3, mark)
                        == [simcamera.ZOOM_IN, simcamera.ZOOM_STOP]
                        and self.state().zoom_motion == simcamera.ZOOM_STOP)

    def pan_tilt_moves_both_ways(self):
        # Held, each pad button sends a speed in its own direction; the
        # release stops the motion.
        self.click(self.widget("Video settings"))
        for name, cid, sign in (("Pan left", simcamera.CID_PAN_SPEED, -1), ("Pan right", simcamera.CID_PAN_SPEED, 1),
                                ("Tilt up", simcamera.CID_TILT_SPEED, 1), ("Tilt down", simcamera.CID_TILT_SPEED, -1)):
            button = self.widget(name)
            self.wait_until("the %r button" % name, lambda: showing(button))
            mark = self.trace.mark()
            self.screen.press(*centre(button))
            try:
                self.wait_until("%r to move the camera" % name,
                                lambda: any(v * sign > 0 for v in self.trace.control_writes(cid, mark)))
            finally:
                self.screen.release()
            self.wait_until("%r to stop on release" % name,
                            lambda: self.trace.control_writes(cid, mark)[-1:] == [0])

    def unplug_while_previewing_and_replug(self):
        # Only the emulated kernel camera can be pulled: the emulator's
        # process takes the signals.
        assert self.args.emulator_pid, "no emulator to unplug the camera"
        os.kill(self.args.emulator_pid, signal.SIGUSR1)
        self.wait_until("the camera to be released", lambda: self.chosen_camera() == "No camera selected")
        os.kill(self.args.emulator_pid, signal.SIGUSR2)
        self.wait_until("the camera to come back", self.camera_open, REBOOT_TIMEOUT)
        preview = self.widget("Preview")
        if not has_state(preview, pyatspi.STATE_CHECKED):
            act(preview, "Toggle", "Press")
        picture = self.widget("Camera picture")
        self.wait_until("the camera picture", lambda: showing(picture))
        area = extents(picture)
        first = self.wait_until("a picture in the preview", lambda: self.picture_pixels(area))
        self.wait_until("a further frame", lambda: self.picture_pixels(area) not in (None, first))

    def properties_dialog_reaches_the_camera(self):
        # Still on the video page: its link opens the properties dialog.
        link = self.widget("Advanced settings")
        self.wait_until("the advanced settings link", lambda: showing(link))
        assert link.getRole() == pyatspi.ROLE_LINK, "the link shows as %s" % link.getRoleName()
        act(link, "Press")
        dialog = self.program.window_titled("Properties")
        unnamed = unnamed_controls(dialog)
        if unnamed:
            raise Failure("controls of the properties dialog without a name:\n  " + "\n  ".join(unnamed))
        brightness = self.widget("Brightness", pyatspi.ROLE_SLIDER, dialog)
        mark = self.trace.mark()
        brightness.queryValue().currentValue = 17
        self.wait_until("the brightness to reach the camera",
                        lambda: self.trace.control_writes(simcamera.CID_BRIGHTNESS, mark) == [17])
        shown = self.widget("Brightness value", root=dialog)
        self.wait_until("the brightness value to be shown", lambda: text_of(shown) == "17")
        self.screen.close_window(self.args.pid, "Properties")
        self.wait_until("the properties dialog to close", lambda: gone(dialog))

    def audio_switch_reboots_the_camera(self):
        self.click(self.widget("Audio settings"))
        switch = self.widget("Camera audio")
        self.wait_until("the audio page", lambda: showing(switch) and has_state(switch, pyatspi.STATE_SENSITIVE))
        assert has_state(switch, pyatspi.STATE_CHECKED), "the camera's audio starts switched on"
        reboots = self.state().reboot_count
        mark = self.trace.mark()
        self.click(switch)
        self.answer("Reboot to turn off Audio?", "Yes")
        self.wait_until("the camera's audio to be switched off",
                        lambda: self.trace.xu_writes(simcamera.AUDIO_ENABLE, 1, mark) == ["00"])
        self.wait_until("the camera to be released", lambda: self.chosen_camera() == "No camera selected")
        self.wait_until("the camera to come back", self.camera_open, REBOOT_TIMEOUT)
        state = self.state()
        assert state.reboot_count == reboots + 1 and not state.rebooting, state
        self.wait_until("the audio switch to show the camera's new setting",
                        lambda: has_state(switch, pyatspi.STATE_SENSITIVE)
                        and not has_state(switch, pyatspi.STATE_CHECKED))

    def information_shows_the_device(self):
        self.click(self.widget("Firmware upgrade"))
        info = self.widget("Get information")
        self.wait_until("the upgrade page", lambda: showing(info) and has_state(info, pyatspi.STATE_SENSITIVE))
        act(info, "Press")
        shown = self.widget("Upgrade information")
        self.wait_until("the device information", lambda: "Soc Version:" + OLD_VERSION in text_of(shown), 20)

    def upgrade_brings_the_new_firmware(self):
        image = os.path.join(self.args.files, IMAGE_NAME)
        with open(image, "wb") as f:
            f.write(b"\x5a" * 20000)
        reboots = self.state().reboot_count
        act(self.widget("Upgrade"), "Press")
        self.answer("This will shut down the device, Do you want to upgrade?", "Yes")
        self.choose_file("选择升级文件", image, "Open")
        dialog = self.program.window_titled("Upgrading")
        status = self.widget("Upgrade status", root=dialog)
        self.wait_until("the upgrade to complete", lambda: text_of(status) == "Upgrade complete!", UPGRADE_TIMEOUT)
        assert value_of(self.widget("Upgrade progress", root=dialog)) == 100
        self.wait_until("the camera to come back", self.camera_open, REBOOT_TIMEOUT)
        version = self.widget("Firmware version")
        self.wait_until("the new firmware version", lambda: text_of(version) == NEW_VERSION)
        state = self.state()
        assert state.firmware == NEW_VERSION and state.reboot_count == reboots + 1, state

    def every_control_is_named(self):
        # Every page and popup exists from the start, shown or not.
        unnamed = unnamed_controls(self.main)
        if unnamed:
            raise Failure("controls of the main window without a name:\n  " + "\n  ".join(unnamed))

    def window_closes(self):
        # The progress dialog stays until the user closes it, and until then
        # it holds the main window (it is window-modal).
        for window in self.program.windows():
            if showing(window) and window is not self.main:
                self.screen.close_window(self.args.pid, window.name)
                self.wait_until("%r to close" % window.name, lambda: gone(window))
        self.screen.close_window(self.args.pid, self.main.name)


STEPS = [
    Session.sole_camera_is_opened,
    Session.preview_shows_frames,
    Session.snapshot_is_saved,
    Session.recording_is_saved,
    Session.zoom_moves_while_held,
    Session.pan_tilt_moves_both_ways,
    Session.properties_dialog_reaches_the_camera,
    Session.audio_switch_reboots_the_camera,
    Session.information_shows_the_device,
    Session.upgrade_brings_the_new_firmware,
    Session.every_control_is_named,
]
# Steps run only when asked for by name, in this order.
ALL_STEPS = STEPS[:STEPS.index(Session.properties_dialog_reaches_the_camera) + 1] + [
    Session.unplug_while_previewing_and_replug, Session.preview_without_engine_says_why] + STEPS[STEPS.index(Session.properties_dialog_reaches_the_camera) + 1:]


def save_evidence(session, out):
    tree = os.path.join(out, "accessibility-tree.txt")
    try:
        lines = []
        for window in session.program.windows():
            lines += dump_tree(window)
        if session.main is not None:
            unnamed = unnamed_controls(session.main)
            lines += ["", "Controls of the main window without a name: %d" % len(unnamed)] + unnamed
        with open(tree, "w", encoding="utf-8") as f:
            f.write("\n".join(lines) + "\n")
    except Exception as error:
        print("could not save the accessibility tree: %s" % error)
    try:
        session.screen.save_png(os.path.join(out, "screen.png"))
    except Exception as error:
        print("could not save a screenshot: %s" % error)


def main():
    parser = argparse.ArgumentParser()
    for option in ("--pid", "--sim", "--trace", "--files", "--out"):
        parser.add_argument(option, required=True, type=int if option == "--pid" else str)
    # A subset, by name, for cameras that cannot do everything (the emulated one).
    parser.add_argument("--steps", default="")
    parser.add_argument("--emulator-pid", type=int, default=0)
    # name=reason: a step known to fail for a reason mended elsewhere.
    parser.add_argument("--skip", action="append", default=[])
    args = parser.parse_args()
    skipped = dict(s.split("=", 1) for s in args.skip)
    steps = STEPS
    if args.steps:
        wanted = args.steps.split(",")
        unknown = [n for n in wanted if n not in [s.__name__ for s in ALL_STEPS]]
        if unknown:
            print("unknown steps: %s" % ", ".join(unknown))
            return 2
        steps = [s for s in ALL_STEPS if s.__name__ in wanted]
    session = Session(args)
    started = time.monotonic()
    try:
        for step in steps:
            if step.__name__ in skipped:
                print("skip %-38s %s" % (step.__name__, skipped[step.__name__]), flush=True)
                continue
            begun = time.monotonic()
            step(session)
            print("ok   %-38s %5.1f s" % (step.__name__, time.monotonic() - begun), flush=True)
    except Exception as error:  # whatever went wrong, keep the evidence
        detail = str(error) if isinstance(error, Failure) else traceback.format_exc()
        print("FAIL %s: %s" % (step.__name__, detail), flush=True)
        if session.program.app is not None:
            save_evidence(session, args.out)
        return 1
    # Saved on success too: it documents what the window offers.
    save_evidence(session, args.out)
    try:
        session.window_closes()
    except Exception as error:
        print("FAIL window_closes: %s" % error, flush=True)
        return 1
    print("all steps passed in %.1f s" % (time.monotonic() - started))
    return 0


if __name__ == "__main__":
    sys.exit(main())
