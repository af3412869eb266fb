#!/usr/bin/env python3
"""The viewer as a user installs and runs it.

Installs the build into a temporary prefix (cmake --install), checks the
desktop entry, its icon and the MIME file, then starts the installed viewer
on a world on a virtual X display of its own (Xvfb, on a free display number)
with a fresh data folder, and uses it as a user would with xdotool, from the
keyboard and without a click: the world shows without the engine being
fetched or copied anywhere, a reload of the file broken keeps the world, an
arrow key turns the camera, and File > Exit ends the viewer with status 0.

  installed_viewer_test.py --cmake CMAKE --build BUILD_DIR
"""

import argparse
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import xml.etree.ElementTree as ElementTree

WAIT_SECONDS = 60  # the sanitizer build starts slowly on a loaded machine
TITLE = "box.wrl - Vantessel Viewer"
# A red box, lit by its own colour, in front of the camera; nothing in it
# moves, so the picture changes only when the camera does.
WORLD = """#VRML V2.0 utf8
Transform { translation 0 0 -12
  children Shape {
    appearance Appearance { material Material { diffuseColor 1 0 0 emissiveColor 1 0 0 } }
    geometry Box { size 4 4 4 }
  }
}
"""


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def wait_for(predicate, what, seconds=WAIT_SECONDS):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        value = predicate()
        if value:
            return value
        time.sleep(0.1)
    raise Failure(f"timed out waiting for {what}")


class VirtualDisplay:
    """Xvfb on the first free display number; its screen is kept as an XWD
    file that the test reads."""

    def __init__(self, folder, width=640, height=480):
        self.screen_file = os.path.join(folder, "Xvfb_screen0")
        self.width, self.height = width, height
        read_end, write_end = os.pipe()
        self.process = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-fbdir", folder, "-screen", "0", f"{width}x{height}x24",
             "-nolisten", "tcp"], pass_fds=[write_end], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        with os.fdopen(read_end) as reader:
            number = reader.readline().strip()
        check(number, "Xvfb did not start")
        self.display = ":" + number

    def pixels(self, left, top, width, height):
        """The screen's pixels in the rectangle as (r, g, b) rows."""
        with open(self.screen_file, "rb") as file:
            data = file.read()
        fields = struct.unpack(">25I", data[:100])
        header_size, bits_per_pixel, bytes_per_line, colours = fields[0], fields[11], fields[12], fields[19]
        check(bits_per_pixel == 32 and fields[7] == 0, "the screen is not 32-bit little-endian")
        start = header_size + colours * 12
        rows = []
        for y in range(top, top + height):
            line = data[start + y * bytes_per_line:start + (y + 1) * bytes_per_line]
            rows.append([(line[4 * x + 2], line[4 * x + 1], line[4 * x]) for x in range(left, left + width)])
        return rows

    def close(self):
        self.process.terminate()
        self.process.wait()


def red_pixels(rows):
    return sum(1 for row in rows for (r, g, b) in row if r > 128 and g < 64 and b < 64)


def settled(read):
    """What read() gives when it gives the same twice in a row."""
    first = read()
    time.sleep(0.2)
    return first if read() == first else None


def changed_pixels(before, after):
    return sum(1 for old, new in zip(before, after) for a, b in zip(old, new) if a != b)


class Viewer:
    """The installed viewer on the display, and xdotool to drive it."""

    def __init__(self, program, world, display, data):
        runtime = os.path.join(data, "runtime")
        os.makedirs(runtime, mode=0o700)
        leaks = os.path.join(os.path.dirname(os.path.abspath(__file__)), "system-leaks.supp")
        self.env = dict(os.environ, DISPLAY=display, VANTESSEL_ROOT=data, HOME=data, XDG_RUNTIME_DIR=runtime,
                        XDG_CONFIG_HOME=os.path.join(data, "config"), QT_QPA_PLATFORM="xcb",
                        VANTESSEL_AUDIO="null",
                        LSAN_OPTIONS=":".join(filter(None, [os.environ.get("LSAN_OPTIONS"), "suppressions=" + leaks])),
                        # The X keyboard library hands strndup a keymap name
                        # without its terminator: a strict check of whole
                        # strings reports the system's code, not ours.
                        ASAN_OPTIONS=":".join(filter(None, [os.environ.get("ASAN_OPTIONS"), "strict_string_checks=0"])))
        self.env.pop("WAYLAND_DISPLAY", None)
        self.stderr = tempfile.TemporaryFile()
        self.process = subprocess.Popen([program, world], env=self.env, stdout=subprocess.DEVNULL, stderr=self.stderr)

    def xdotool(self, *arguments):
        result = subprocess.run(["xdotool", *arguments], env=self.env, capture_output=True, text=True)
        return result.stdout.split() if result.returncode == 0 else []

    def running(self):
        return self.process.poll() is None

    def output(self):
        self.stderr.seek(0)
        return self.stderr.read().decode(errors="replace")

    def window(self):
        """The frame's left, top, width and height once its title names the world."""
        found = self.xdotool("search", "--name", "^" + TITLE + "$")
        check(self.running(), "the viewer ended:\n" + self.output())
        if not found:
            return None
        lines = self.xdotool("getwindowgeometry", "--shell", found[0])
        geometry = dict(line.split("=") for line in lines)
        return int(geometry["X"]), int(geometry["Y"]), int(geometry["WIDTH"]), int(geometry["HEIGHT"])

    def end(self):
        if self.running():
            self.process.kill()
            self.process.wait()


def install(cmake, build, prefix):
    result = subprocess.run([cmake, "--install", build, "--prefix", prefix], capture_output=True, text=True)
    check(result.returncode == 0, "cmake --install failed:\n" + result.stdout + result.stderr)


def find_installed(prefix, name):
    for folder, _, files in os.walk(prefix):
        if name in files:
            return os.path.join(folder, name)
    raise Failure(f"{name} was not installed")


def check_desktop_integration(prefix):
    entry = os.path.join(prefix, "share", "applications", "vantessel-viewer.desktop")
    result = subprocess.run(["desktop-file-validate", entry], capture_output=True, text=True)
    check(result.returncode == 0 and not result.stdout.strip(), "the desktop entry does not validate:\n" + result.stdout)
    with open(entry) as file:
        keys = dict(line.strip().split("=", 1) for line in file if "=" in line)
    check(keys["Exec"].endswith(" %F"), "the desktop entry does not take several files")
    icon = os.path.join(prefix, "share", "icons", "hicolor", "scalable", "apps", keys["Icon"] + ".svg")
    check(os.path.isfile(icon), "the desktop entry's icon was not installed")
    mime = ElementTree.parse(os.path.join(prefix, "share", "mime", "packages", "vantessel-viewer.xml"))
    defined = [node.get("type") for node in mime.getroot() if node.tag.endswith("mime-type")]
    check("model/vrml" not in defined, "the MIME file defines model/vrml again")
    check(set(keys["MimeType"].rstrip(";").split(";")) <= set(defined) | {"model/vrml"},
          "the desktop entry names a MIME type nobody defines")


def use_the_installed_viewer(prefix, work, display):
    data = os.path.join(work, "data")
    worlds = os.path.join(work, "worlds")
    os.makedirs(worlds)
    world = os.path.join(worlds, "box.wrl")
    with open(world, "w") as file:
        file.write(WORLD)
    viewer = Viewer(os.path.join(prefix, "bin", "vantessel-viewer"), world, display.display, data)
    try:
        left, top, width, height = wait_for(viewer.window, "the viewer's window on the world")
        view = lambda: display.pixels(left, top, width, height)
        wait_for(lambda: red_pixels(view()) > 500, "the world to be drawn")
        components = os.path.join(data, "Orvanta", "Vantessel Viewer", "Components")
        check(not os.listdir(components), "the engine was put into the Components folder")

        # The author breaks the file and reloads (from the keyboard, with no
        # click first): the world stays, and once the box is gone the keys
        # reach the view again.
        viewer.xdotool("mousemove", "--sync", str(display.width - 1), str(display.height - 1))  # off the window
        shown = wait_for(lambda: settled(view), "the world to come to rest", 10)
        with open(world, "w") as file:
            file.write("#VRML V2.0 utf8\nShape { geometry Bux { } }\n")
        viewer.xdotool("key", "ctrl+r")
        wait_for(lambda: viewer.xdotool("search", "--onlyvisible", "--name", "^Error!$"), "the error box")
        viewer.xdotool("key", "Return")
        wait_for(lambda: not viewer.xdotool("search", "--onlyvisible", "--name", "^Error!$"), "the box to close")
        wait_for(lambda: view() == shown, "the world to show again")

        # The left arrow, with the pointer over the view, turns the camera:
        # nothing else in the world moves.
        viewer.xdotool("mousemove", "--sync", str(left + width // 2), str(top + height // 2))
        viewer.xdotool("keydown", "Left")
        time.sleep(0.5)
        viewer.xdotool("keyup", "Left")
        wait_for(lambda: changed_pixels(shown, view()) > 500, "the arrow key to turn the camera", 10)

        viewer.xdotool("key", "alt+f")
        time.sleep(0.5)
        viewer.xdotool("key", "x")
        try:
            status = viewer.process.wait(WAIT_SECONDS)
        except subprocess.TimeoutExpired:
            raise Failure("File > Exit did not end the viewer")
        check(status == 0, f"the viewer ended with status {status}:\n" + viewer.output())
    finally:
        viewer.end()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--cmake", required=True)
    parser.add_argument("--build", required=True)
    args = parser.parse_args()
    work = tempfile.mkdtemp(prefix="vx-installed-")
    display = None
    try:
        prefix = os.path.join(work, "prefix")
        install(args.cmake, args.build, prefix)
        check(find_installed(prefix, "Vantessel2_2.so"), "the engine was not installed")
        platform = os.path.dirname(find_installed(prefix, "libvxplatform.so"))
        check(os.path.isfile(os.path.join(platform, "libvxmedia.so")),
              "the media library was not installed beside the platform library, which loads it from there")
        check_desktop_integration(prefix)
        display = VirtualDisplay(work)
        use_the_installed_viewer(prefix, work, display)
    except Failure as failure:
        print(f"FAILED: {failure}", file=sys.stderr)
        return 1
    finally:
        if display:
            display.close()
        shutil.rmtree(work, ignore_errors=True)
    print("the installed viewer opens a world, takes keys and exits cleanly")
    return 0


if __name__ == "__main__":
    sys.exit(main())
