#!/usr/bin/env python3
"""The update prompt as the desktop shows it: a "Quorvel" dialog with the question, OK and
Cancel, shown before the tray icon. Enter picks OK (the default) and opens the set-up address;
Escape is Cancel; SIGTERM while it is open cancels it and ends the program with code 0."""

import os
import signal
import threading
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

import guitest as g

QUESTION = "A new version is available. Would you like to download now?"
SOURCE = os.environ.get("QUORVEL_SOURCE_DIR", os.path.join(g.HERE, "..", ".."))
NEWER = os.path.join(SOURCE, "tests", "fixtures", "update", "update-newer.xml")


class UpdateServer:
    """Answers /update.xml with a newer version."""

    def __init__(self):
        with open(NEWER, "rb") as f:
            body = f.read()

        class Handler(BaseHTTPRequestHandler):
            def log_message(self, *args):
                pass

            def do_GET(self):
                found = self.path == "/update.xml"
                self.send_response(200 if found else 404)
                self.send_header("Content-Type", "text/xml")
                self.send_header("Content-Length", str(len(body) if found else 0))
                self.end_headers()
                if found:
                    self.wfile.write(body)

        self.server = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        self.host = f"127.0.0.1:{self.server.server_address[1]}"
        threading.Thread(target=self.server.serve_forever, daemon=True).start()


def prompt_window():
    out = g.run("xdotool", "search", "--onlyvisible", "--name", "^Quorvel$")
    return out.split()[0] if out.split() else None


def prompt_texts():
    """The names of the prompt's labels and buttons, read from the accessibility bus."""
    a11y = g.Accessibility()
    if not a11y.available():
        return None
    texts = []
    registry = ("org.a11y.atspi.Registry", "/org/a11y/atspi/accessible/root")
    for app in a11y._children(*registry):
        if a11y._name(app) != "quorvel":
            continue
        stack = [node for node in a11y._children(*app) if a11y._name(node) == "Quorvel"]
        while stack:
            node = stack.pop()
            if a11y._role(node) in ("label", "push button"):
                texts.append(a11y._name(node))
            stack.extend(a11y._children(*node))
    return texts


def start_with_prompt(d):
    program = d.start_program()
    window = g.wait_until(prompt_window, 15)
    g.require(window, "the update prompt appears")
    g.check(g.tray_icon() is None, "the tray icon waits for the answer")
    return program, window


def main():
    server = UpdateServer()
    with g.Desktop("prompt") as d:
        d.env["QUORVEL_UPDATE_HOST"] = server.host
        d.start_trayer()

        program, window = start_with_prompt(d)
        texts = g.wait_until(prompt_texts, 5)
        if texts is None:
            g.note("no accessibility bus: the prompt's texts are not read")
        else:
            g.check(QUESTION in texts and "OK" in texts and "Cancel" in texts,
                    f"the prompt asks the question with OK and Cancel: {texts}")
        g.key(window, "Return")
        g.check(bool(g.wait_until(g.tray_icon, 10)), "after the answer the icon appears")
        setup = f"http://{server.host}/QuorvelSetup.exe"
        g.check(g.wait_until(lambda: d.opened_uris(), 5) == [setup],
                f"Enter answers OK, the default, and opens {setup}")
        d.choose("Exit")
        g.check(d.wait_exit(program) == 0, "Exit ends the program with code 0")

        program, window = start_with_prompt(d)
        g.key(window, "Escape")
        g.check(bool(g.wait_until(g.tray_icon, 10)), "Escape answers Cancel and start-up goes on")
        g.check(len(d.opened_uris()) == 1, "Cancel opens nothing")
        d.choose("Exit")
        g.check(d.wait_exit(program) == 0, "Exit ends the program with code 0")

        program, window = start_with_prompt(d)
        program.send_signal(signal.SIGTERM)
        g.check(d.wait_exit(program, 10) == 0, "SIGTERM with the prompt open ends with code 0")
        g.check(prompt_window() is None and len(d.opened_uris()) == 1,
                "the prompt went away as Cancel")
    server.server.shutdown()


if __name__ == "__main__":
    try:
        main()
    except g.Stop:
        pass
    raise SystemExit(g.finish())
