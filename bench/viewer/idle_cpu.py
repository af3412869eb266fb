#!/usr/bin/env python3
"""How much processor time the viewer takes while nothing moves.

Starts a virtual X display of its own (Xvfb, on a free display number), opens
the viewer on each case with a fresh data folder that holds the engine in its
Components folder, lets it settle, and reads the viewer's own processor time
(user + system, from /proc/<pid>/stat) over a fixed stretch of wall-clock
time. The figure is the share of one core. The viewer's own time is what
counts: other programs loading the machine lengthen it only a little, where a
wall-clock rate would suffer much more. Each case runs several times; the
load average is printed with the results, since it belongs with them.

  bench/viewer/idle_cpu.py [--build build/test-release] [--seconds 10] [--runs 3]
                           [--case empty|box|panorama|boxes|showcase ...]

Cases:
  empty     the first window (412 x 350) with no world
  box       the first window with one box that does not move
  panorama  worlds/panorama.wrl, left at rest, at 1280 x 1024
  boxes     360 boxes that do not move, at 1280 x 1024
  showcase  worlds/showcase.wrl (everything in motion) at 1280 x 1024
"""

import argparse
import os
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
TICKS = os.sysconf("SC_CLK_TCK")
STATIC_BOX = """#VRML V2.0 utf8
Transform { translation 0 0 -12
  children Shape {
    appearance Appearance { material Material { diffuseColor 1 0 0 } }
    geometry Box { size 4 4 4 }
  }
}
"""
BOX_ROWS, BOX_COLUMNS = 18, 20


def still_boxes():
    """A world of BOX_ROWS x BOX_COLUMNS boxes in a wall, nothing in motion."""
    lines = ["#VRML V2.0 utf8"]
    for row in range(BOX_ROWS):
        for column in range(BOX_COLUMNS):
            x, y = (column - BOX_COLUMNS / 2) * 1.2, (row - BOX_ROWS / 2) * 1.2
            colour = f"{column / BOX_COLUMNS:.2f} {row / BOX_ROWS:.2f} 0.5"
            lines.append(f"Transform {{ translation {x:.2f} {y:.2f} -30 children Shape {{ appearance Appearance "
                         f"{{ material Material {{ diffuseColor {colour} }} }} geometry Box {{ }} }} }}")
    return "\n".join(lines) + "\n"


def cpu_seconds(pid):
    """User plus system time of the process so far."""
    with open(f"/proc/{pid}/stat") as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICKS


def load_average():
    with open("/proc/loadavg") as loadavg:
        return " ".join(loadavg.read().split()[:3])


class VirtualDisplay:
    """An Xvfb on the first free display number, which it reports itself."""

    def __init__(self, width, height):
        read_end, write_end = os.pipe()
        self.process = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", f"{width}x{height}x24", "-nolisten", "tcp"],
            pass_fds=[write_end], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        with os.fdopen(read_end) as reader:
            number = reader.readline().strip()
        if not number:
            self.process.kill()
            raise RuntimeError("Xvfb did not start")
        self.display = ":" + number

    def close(self):
        self.process.terminate()
        self.process.wait()


def run_viewer(args, display, world, geometry):
    """One run: the viewer's share of a core over the measured stretch."""
    with tempfile.TemporaryDirectory(prefix="vx-idle-") as data:
        components = os.path.join(data, "Orvanta", "Vantessel Viewer", "Components")
        os.makedirs(components)
        shutil.copy(os.path.join(args.build, "engine", "Vantessel2_2.so"), components)
        env = dict(os.environ, DISPLAY=display, VANTESSEL_ROOT=data, HOME=data, VANTESSEL_AUDIO="null",
                   VANTESSEL_COMMAND_PORT="0", VANTESSEL_CHAT_PORT="0")
        env.pop("WAYLAND_DISPLAY", None)
        command = [os.path.join(args.build, "viewer", "vantessel-viewer")]
        if geometry:
            command += ["-geometry", geometry]
        if world:
            command.append(world)
        viewer = subprocess.Popen(command, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            time.sleep(args.settle)
            if viewer.poll() is not None:
                raise RuntimeError(f"the viewer ended with status {viewer.returncode}")
            start_cpu, start_wall = cpu_seconds(viewer.pid), time.monotonic()
            time.sleep(args.seconds)
            used = cpu_seconds(viewer.pid) - start_cpu
            return used / (time.monotonic() - start_wall)
        finally:
            viewer.send_signal(signal.SIGTERM)
            viewer.wait()


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build", default=os.path.join(ROOT, "build", "test-release"))
    parser.add_argument("--seconds", type=float, default=10.0, help="measured stretch of each run")
    parser.add_argument("--settle", type=float, default=3.0, help="time the viewer gets to open first")
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--case", action="append", choices=["empty", "box", "panorama", "boxes", "showcase"])
    args = parser.parse_args()
    args.build = os.path.abspath(args.build)

    with tempfile.TemporaryDirectory(prefix="vx-idle-worlds-") as worlds:
        box = os.path.join(worlds, "box.wrl")
        with open(box, "w") as file:
            file.write(STATIC_BOX)
        boxes = os.path.join(worlds, "boxes.wrl")
        with open(boxes, "w") as file:
            file.write(still_boxes())
        large = "1280x1024+0+0"
        cases = {
            "empty": (None, None),
            "box": (box, None),
            "panorama": (os.path.join(ROOT, "worlds", "panorama.wrl"), large),
            "boxes": (boxes, large),
            "showcase": (os.path.join(ROOT, "worlds", "showcase.wrl"), large),
        }
        display = VirtualDisplay(1400, 1200)
        try:
            print(f"load average before: {load_average()}  ({os.cpu_count()} cores)")
            for name in args.case or ["empty", "box", "panorama", "boxes", "showcase"]:
                world, geometry = cases[name]
                shares = [run_viewer(args, display.display, world, geometry) for _ in range(args.runs)]
                figures = " ".join(f"{share * 100:5.1f}" for share in shares)
                print(f"{name:9} median {statistics.median(shares) * 100:5.1f} % of a core   runs: {figures}")
                sys.stdout.flush()
            print(f"load average after:  {load_average()}")
        finally:
            display.close()


if __name__ == "__main__":
    main()
