#!/usr/bin/env python3
"""Click-to-call from web pages in a real browser (headless Chromium) against
veltrane.dll under Wine, signed in through the CTI simulator.

The simulator's web address serves the service's page; a small HTTP server
here serves the same page from other origins. Each case loads a page that
acts on load (form POST, <img>, fetch), or opens the library's address the
way a mail client opens a link, and checks what reached the simulator:
the CALL packet of the case's own number, or, for a refused case, the
library's refusal log line and no CALL packet.

    click_to_call_test.py --wine-run cmake/wine-run.sh --simulator cti-simulator.exe
                          --console host-console.exe --dll veltrane.dll

Standard library only. Every wait is bounded and every process started here
is ended here.
"""

import argparse
import functools
import glob
import http.client
import http.server
import json
import os
import select
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time
import urllib.parse
import urllib.request

HERE = os.path.dirname(os.path.abspath(__file__))
OWN_NUMBER = "0212345678"
OUTSIDE = object()  # a case opened from outside the browser
CASE_WAIT = 15  # seconds for one case's outcome to show


def windows_path(path):
    """Wine shows the Linux root as drive Z:."""
    return "Z:" + path.replace("/", "\\")


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def wait_until(condition, seconds, what):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        value = condition()
        if value:
            return value
        time.sleep(0.1)
    raise TimeoutError(what)


def read_text(pattern):
    text = ""
    for path in sorted(glob.glob(pattern)):
        with open(path, "rb") as file:
            text += file.read().decode("latin-1")
    return text


class Chromium:
    """Headless Chromium driven over the DevTools protocol on a pipe: JSON
    messages ended by NUL, commands on its fd 3, answers and events on fd 4."""

    def __init__(self, profile, flags):
        to_browser, self._commands = os.pipe()
        self._answers, from_browser = os.pipe()

        def give_pipes():
            os.dup2(to_browser, 3)
            os.dup2(from_browser, 4)

        self.process = subprocess.Popen(
            ["chromium", "--headless=new", "--no-sandbox", "--disable-gpu", "--disable-background-networking",
             "--disable-component-update", "--disable-sync", "--no-first-run", "--user-data-dir=" + profile,
             "--remote-debugging-pipe"] + flags + ["about:blank"],
            preexec_fn=give_pipes, pass_fds=(3, 4), start_new_session=True,
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(to_browser)
        os.close(from_browser)
        self._buffer = b""
        self._id = 0
        target = self.call("Target.createTarget", {"url": "about:blank"})["targetId"]
        self._session = self.call("Target.attachToTarget", {"targetId": target, "flatten": True})["sessionId"]

    def call(self, method, params=None, in_page=False, seconds=10):
        self._id += 1
        message = {"id": self._id, "method": method, "params": params or {}}
        if in_page:
            message["sessionId"] = self._session
        os.write(self._commands, json.dumps(message).encode() + b"\0")
        deadline = time.monotonic() + seconds
        while True:
            while b"\0" in self._buffer:
                raw, self._buffer = self._buffer.split(b"\0", 1)
                answer = json.loads(raw)
                if answer.get("id") == self._id:
                    if "error" in answer:
                        raise RuntimeError(method + ": " + answer["error"].get("message", ""))
                    return answer.get("result", {})
            left = deadline - time.monotonic()
            if left <= 0 or not select.select([self._answers], [], [], left)[0]:
                raise TimeoutError("Chromium did not answer " + method)
            data = os.read(self._answers, 1 << 16)
            if not data:
                raise EOFError("Chromium closed its pipe")
            self._buffer += data

    def navigate(self, url):
        self.call("Page.navigate", {"url": url}, in_page=True)

    def evaluate(self, expression, seconds=10):
        result = self.call("Runtime.evaluate", {"expression": expression, "awaitPromise": True,
                                                "returnByValue": True}, in_page=True, seconds=seconds)
        return result.get("result", {}).get("value")

    def close(self):
        try:
            self.call("Browser.close", seconds=5)
            self.process.wait(10)
        except Exception:
            pass
        if self.process.poll() is None:
            os.killpg(self.process.pid, signal.SIGKILL)
            self.process.wait(10)
        os.close(self._commands)
        os.close(self._answers)


def open_from_outside(url, profile):
    """Opens a URL the way a mail or chat client opens a link: a browser
    started with the URL on its command line, here one that loads it and ends."""
    process = subprocess.Popen(
        ["chromium", "--headless=new", "--no-sandbox", "--disable-gpu", "--disable-background-networking",
         "--disable-component-update", "--disable-sync", "--no-first-run", "--user-data-dir=" + profile,
         "--virtual-time-budget=5000", "--dump-dom", url],
        stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True)
    try:
        process.wait(CASE_WAIT * 2)
    except subprocess.TimeoutExpired:
        raise TimeoutError("the browser did not end")
    finally:
        try:
            os.killpg(process.pid, signal.SIGKILL)  # and whatever it left behind
        except ProcessLookupError:
            pass
        process.wait(10)


class PageHandler(http.server.BaseHTTPRequestHandler):
    """Serves the test page to any GET, from an origin that is not the service's."""

    def do_GET(self):
        with open(os.path.join(HERE, "click_to_call.html"), "rb") as file:
            page = file.read()
        self.send_response(200)
        self.send_header("Content-Type", "text/html")
        self.send_header("Content-Length", str(len(page)))
        self.end_headers()
        self.wfile.write(page)

    def log_message(self, *args):
        pass


class Session:
    """The simulator, the host console signed in through it, and the files."""

    def __init__(self, args, work):
        self.args = args
        self.work = work
        self.processes = []
        base = os.path.join(work, "base")
        os.makedirs(base)
        self.library_log = os.path.join(base, "LOG", "*_dll.txt")
        self.simulator_log = os.path.join(work, "simulator.log")
        self.console_log = os.path.join(work, "console.log")
        self.base = base

    def start(self):
        args = self.args
        ports_file = os.path.join(self.work, "ports")
        self._start([args.simulator, "--port", "0", "--control-port", "0", "--web-port", "0", "--no-stdin",
                     "--ports-file", windows_path(ports_file),
                     "--web-page", windows_path(os.path.join(HERE, "click_to_call.html")),
                     "--answer-after", "200", "--call-length", "200"], self.simulator_log)
        wait_until(lambda: os.path.exists(ports_file), 60, "the simulator did not start")
        with open(ports_file) as file:
            ports = dict(line.strip().split("=") for line in file if "=" in line)
        self.control_port = int(ports["control"])
        self.service_port = int(ports["web"])
        self.web_port = free_port()
        with open(os.path.join(self.base, "config.ini"), "w", newline="\r\n") as file:
            file.write("[Connect]\nCTI_IPs=127.0.0.1\nCTI_PORT=%s\nWEB_PORT=%d\n" % (ports["cti"], self.web_port))

        self.console = self._start(
            [args.console, "--in-process", "--dll", windows_path(args.dll), "--base", windows_path(self.base) + "\\",
             "--title", "Veltrane Browser Test", "--script", windows_path(os.path.join(HERE, "click_to_call.vts"))],
            self.console_log)
        wait_until(lambda: "login|success|" in read_text(self.console_log), 120, "the host did not sign in")

    def _start(self, command, log):
        with open(log, "wb") as output:
            process = subprocess.Popen(["sh", self.args.wine_run] + command, stdin=subprocess.DEVNULL,
                                       stdout=output, stderr=subprocess.STDOUT)
        self.processes.append(process)
        return process

    def calls_for(self, guest):
        """The CALL requests for this number that the simulator received."""
        return [line for line in read_text(self.simulator_log).splitlines()
                if " <- |LINK|CALL" in line and "|" + guest + "|" in line]

    def refusals(self):
        return read_text(self.library_log).count("HTTPServer => Refused ")

    def finish(self):
        """The closing request, from a program: the script then calls DLL_FINISH."""
        query = urllib.parse.urlencode({"KIND": "SS", "PHONE_NO": OWN_NUMBER, "GUEST_PHONE": "0000"})
        try:
            urllib.request.urlopen("http://127.0.0.1:%d/?%s" % (self.web_port, query), timeout=10).read()
        except (http.client.RemoteDisconnected, ConnectionResetError):
            pass  # the script's DLL_FINISH, prompted by this request's event, ended the host before the answer
        self.console.wait(60)
        with socket.create_connection(("127.0.0.1", self.control_port), timeout=10) as control:
            control.sendall(b"quit\n")
            control.recv(100)
        return "== expectations held so far" in read_text(self.console_log)

    def stop(self):
        for process in self.processes:
            if process.poll() is None:
                process.kill()
            process.wait(10)


def grant_local_network(browser, origin):
    """What the user grants when the page first asks to reach this PC. The
    permission's name has changed between Chromium versions; a version that
    knows neither does not ask."""
    for name in ("loopback-network", "local-network-access"):
        try:
            browser.call("Browser.setPermission", {"permission": {"name": name}, "setting": "granted",
                                                   "origin": origin})
            return
        except RuntimeError:
            continue


def run_cases(session, browser, page_port, outside_profile):
    """Each case: (what, page URL, expected outcome of a fetch or None, the case's own number, allowed).
    A fetch outcome of OUTSIDE opens the URL from outside the browser instead."""
    def page(origin, how, guest):
        query = urllib.parse.urlencode({"lib": session.web_port, "how": how, "phone": OWN_NUMBER, "guest": guest})
        return origin + "/veltrane/click_to_call.html?" + query

    service = "http://127.0.0.1:%d" % session.service_port
    other = "http://other.test:%d" % page_port
    other_port = "http://127.0.0.1:%d" % page_port

    def direct(host, guest):
        return "http://%s:%d/?%s" % (host, session.web_port, urllib.parse.urlencode(
            {"KIND": "CS", "PHONE_NO": OWN_NUMBER, "GUEST_PHONE": guest}))
    cases = [
        ("the service's page, form POST", page(service, "form", "0101000001"), None, "0101000001", True),
        ("the service's page, fetch", page(service, "fetch", "0101000002"), "status 200", "0101000002", True),
        ("another origin, form POST", page(other, "form", "0101000003"), None, "0101000003", False),
        ("another origin, <img>", page(other, "img", "0101000004"), None, "0101000004", False),
        ("another origin, fetch", page(other, "fetch", "0101000005"), "failed", "0101000005", False),
        ("another origin, form with no-referrer", page(other, "form-no-referrer", "0101000006"), None,
         "0101000006", False),
        ("another port of 127.0.0.1, form POST", page(other_port, "form", "0101000007"), None, "0101000007", False),
        # Typed in or opened by a rebound name: no Origin or Referer, only a Host that names another site.
        ("a DNS-rebinding Host", direct("rebind.test", "0101000008"), None, "0101000008", False),
        # A link in a mail: no Origin or Referer, Sec-Fetch-Site none; the agent's own number is no secret.
        ("a link opened from outside the browser", direct("127.0.0.1", "0101000009"), OUTSIDE, "0101000009", False),
    ]
    failures = 0
    for what, url, fetch_outcome, guest, allowed in cases:
        refused_before = session.refusals()
        problem = None
        try:
            if fetch_outcome is OUTSIDE:
                open_from_outside(url, outside_profile)
            else:
                browser.navigate(url)
            if fetch_outcome not in (None, OUTSIDE):
                wait_until(lambda: browser.evaluate("location.href") == url, CASE_WAIT, "the page did not load")
                seen = browser.evaluate("window.outcome", CASE_WAIT)
                if seen != fetch_outcome:
                    problem = "the page's fetch saw %r, not %r" % (seen, fetch_outcome)
            if allowed:
                wait_until(lambda: session.calls_for(guest), CASE_WAIT, "no CALL packet reached the simulator")
            else:
                wait_until(lambda: session.refusals() > refused_before, CASE_WAIT, "the library logged no refusal")
                time.sleep(0.5)
                if session.calls_for(guest):
                    problem = "a CALL packet reached the simulator"
                elif fetch_outcome is OUTSIDE and "Refused Sec-Fetch-Site:none" not in read_text(session.library_log):
                    problem = "refused, but not as a link from outside"
        except (TimeoutError, RuntimeError) as error:
            problem = str(error)
        calls = len(session.calls_for(guest))
        if allowed and calls != 1 and problem is None:
            problem = "%d CALL packets reached the simulator" % calls
        print("%s %s%s" % ("FAIL" if problem else "ok  ", what, ": " + problem if problem else ""), flush=True)
        failures += 1 if problem else 0
    return failures


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    for name in ("--wine-run", "--simulator", "--console", "--dll"):
        parser.add_argument(name, required=True)
    args = parser.parse_args()
    for name in ("wine_run", "simulator", "console", "dll"):
        setattr(args, name, os.path.abspath(getattr(args, name)))
    if shutil.which("chromium") is None:
        print("chromium is not installed (tools/setup-debian.sh installs it)")
        return 1

    work = tempfile.mkdtemp(prefix="veltrane-browser.")
    session = browser = pages = None
    status = 1
    try:
        session = Session(args, work)
        session.start()
        pages = http.server.ThreadingHTTPServer(("127.0.0.1", 0), PageHandler)
        threading.Thread(target=pages.serve_forever, daemon=True).start()
        page_port = pages.server_address[1]
        service = "127.0.0.1:%d" % session.service_port
        browser = Chromium(os.path.join(work, "profile"), [
            "--host-resolver-rules=MAP other.test 127.0.0.1, MAP rebind.test 127.0.0.1",
            # The service's page counts as a public site, as it is in real use.
            "--ip-address-space-overrides=%s=public" % service])
        grant_local_network(browser, "http://" + service)
        failures = run_cases(session, browser, page_port, os.path.join(work, "outside-profile"))
        browser.close()
        browser = None
        held = session.finish()
        if not held:
            print("FAIL the host session's expectations did not hold")
        status = 0 if failures == 0 and held else 1
    except Exception as error:  # reported, then everything is ended below
        print("FAIL %s: %s" % (type(error).__name__, error))
    finally:
        if browser is not None:
            browser.close()
        if pages is not None:
            pages.shutdown()
        if session is not None:
            session.stop()
            if status != 0:
                for name, pattern in (("host console", session.console_log), ("simulator", session.simulator_log),
                                      ("library log", session.library_log)):
                    print("=== %s\n%s" % (name, read_text(pattern)[-4000:]))
        shutil.rmtree(work, ignore_errors=True)
    return status


if __name__ == "__main__":
    sys.exit(main())
