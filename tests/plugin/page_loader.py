#!/usr/bin/python3
"""Loads a web page in a real browser engine (QtWebKit, through PyQt5) with
plug-ins on, then runs steps on it and reports what the page did.

    page_loader.py URL WIDTHxHEIGHT FOLDER STEP...

Steps, run in order once the page has loaded:
    wait:MS        let the page run for MS milliseconds
    shot:NAME      draw the page into FOLDER/NAME.png and FOLDER/NAME.ppm
    click:X,Y      press and release the left button at a point of the page

Lines on standard output: "loaded ok" or "loaded failed", "status TEXT" for
each status-line text, "url URL" each time the page's URL changes (the first
page and each navigation), "shot NAME", and "done" at the end. The run gives
up after a minute (exit code 2)."""
import sys

from PyQt5.QtCore import QPoint, Qt, QTimer, QUrl
from PyQt5.QtGui import QImage, QPainter
from PyQt5.QtTest import QTest
from PyQt5.QtWebKit import QWebSettings
from PyQt5.QtWebKitWidgets import QWebView
from PyQt5.QtWidgets import QApplication

GIVE_UP_MS = 60000


def report(*words):
    print(*words, flush=True)


class Loader:
    def __init__(self, url, size, folder, steps):
        self.folder = folder
        self.steps = list(steps)
        self.started = False
        QWebSettings.globalSettings().setAttribute(QWebSettings.PluginsEnabled, True)
        self.view = QWebView()
        self.view.resize(*size)
        page = self.view.page()
        page.statusBarMessage.connect(lambda text: report("status", text))
        self.view.urlChanged.connect(lambda changed: report("url", changed.toString()))
        self.view.loadFinished.connect(self.loaded)
        self.view.show()
        self.view.load(QUrl(url))

    def loaded(self, ok):
        report("loaded", "ok" if ok else "failed")
        if not self.started:
            self.started = True
            QTimer.singleShot(0, self.next_step)

    def next_step(self):
        if not self.steps:
            report("done")
            QApplication.quit()
            return
        kind, _, argument = self.steps.pop(0).partition(":")
        delay = 0
        if kind == "wait":
            delay = int(argument)
        elif kind == "shot":
            self.shot(argument)
        elif kind == "click":
            x, y = (int(part) for part in argument.split(","))
            QTest.mouseClick(self.view, Qt.LeftButton, Qt.NoModifier, QPoint(x, y))
        else:
            raise SystemExit("unknown step " + kind)
        QTimer.singleShot(delay, self.next_step)

    def shot(self, name):
        image = QImage(self.view.size(), QImage.Format_RGB32)
        painter = QPainter(image)
        self.view.page().mainFrame().render(painter)
        painter.end()
        image.save(f"{self.folder}/{name}.png")
        image.save(f"{self.folder}/{name}.ppm")
        report("shot", name)


def main():
    url, size, folder, *steps = sys.argv[1:]
    application = QApplication(sys.argv[:1])
    loader = Loader(url, tuple(int(part) for part in size.split("x")), folder, steps)
    QTimer.singleShot(GIVE_UP_MS, lambda: application.exit(2))
    code = application.exec_()
    # The page goes, and its plug-in instances with it, while the engine runs.
    loader.view.close()
    loader.view.deleteLater()
    del loader
    sys.exit(code)


if __name__ == "__main__":
    main()
