#!/usr/bin/env python3
"""TLS on the CTI link: veltrane.dll under Wine, driven by the host console,
against the native CTI simulator speaking TLS (OpenSSL).

    tls_test.py session|certificates|wrong-side --wine-run cmake/wine-run.sh
        --simulator build/native/tools/cti-simulator --console host-console.exe
        --dll veltrane.dll --cert-store cert-store.exe --openssl openssl

Groups:
  session       a whole session over TLS (login, call, SMS, a reconnection
                with its automatic sign-in), the server's bytes reaching the
                library one byte per write through a relay
  certificates  a fingerprint that does not match, a self-signed certificate
                without one, a chain trusted by the system for its name and
                for another name (a test CA in the Wine prefix's trust)
  wrong-side    a plain server with TLS configured, a TLS server without, and
                a server that agrees to nothing newer than TLS 1.1

Each case is one host-console script; its expectations are the verdict.
Standard library only. Every wait is bounded and every process started here
is ended here.
"""

import argparse
import glob
import os
import shutil
import socket
import ssl
import subprocess
import sys
import tempfile
import threading
import time
import warnings

CONSOLE_LIMIT = 90  # seconds for one host-console script


def windows_path(path):
    """Wine shows the Linux root as drive Z:."""
    return "Z:" + path.replace("/", "\\")


def read_text(pattern, encoding="latin-1"):
    text = ""
    for path in sorted(glob.glob(pattern)):
        with open(path, "rb") as file:
            text += file.read().decode(encoding, "replace")
    return text


def wait_until(condition, seconds, what):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if condition():
            return
        time.sleep(0.1)
    raise TimeoutError(what)


class Certificates:
    """A self-signed server certificate, a test CA and a server certificate it
    signed, all for localhost; made with the openssl command."""

    def __init__(self, openssl, folder):
        self.openssl = openssl
        self.folder = folder
        extensions = os.path.join(folder, "extensions.cnf")
        with open(extensions, "w") as file:
            file.write("[ca]\nbasicConstraints=critical,CA:TRUE\nkeyUsage=critical,keyCertSign,cRLSign\n"
                       "subjectKeyIdentifier=hash\n"
                       "[server]\nbasicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature,keyEncipherment\n"
                       "extendedKeyUsage=serverAuth\nsubjectAltName=DNS:localhost,IP:127.0.0.1\n")
        self.self_signed = self._key_and_request("self-signed")
        self._run("x509", "-req", "-days", "2", "-in", self.self_signed + ".csr", "-key", self.self_signed + ".key",
                  "-out", self.self_signed + ".pem", "-extfile", extensions, "-extensions", "server")
        ca = self._key_and_request("ca", "Veltrane Test CA")
        self._run("x509", "-req", "-days", "2", "-in", ca + ".csr", "-key", ca + ".key", "-out", ca + ".pem",
                  "-extfile", extensions, "-extensions", "ca")
        self._run("x509", "-in", ca + ".pem", "-outform", "DER", "-out", ca + ".der")
        self.ca_der = ca + ".der"
        self.by_ca = self._key_and_request("by-ca")
        self._run("x509", "-req", "-days", "2", "-in", self.by_ca + ".csr", "-CA", ca + ".pem", "-CAkey", ca + ".key",
                  "-CAcreateserial", "-out", self.by_ca + ".pem", "-extfile", extensions, "-extensions", "server")

    def _run(self, *args):
        subprocess.run([self.openssl] + list(args), check=True, timeout=30, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def _key_and_request(self, name, subject="localhost"):
        base = os.path.join(self.folder, name)
        self._run("req", "-new", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:P-256", "-nodes",
                  "-keyout", base + ".key", "-out", base + ".csr", "-subj", "/CN=" + subject)
        return base

    def fingerprint(self, base):
        """The SHA-256 fingerprint as openssl prints it: AB:CD:..."""
        out = subprocess.run([self.openssl, "x509", "-in", base + ".pem", "-noout", "-fingerprint", "-sha256"],
                             check=True, timeout=30, capture_output=True, text=True).stdout
        return out.strip().split("=", 1)[1]


class Simulator:
    """The native CTI simulator on ports of its own choosing."""

    def __init__(self, program, folder, name, tls=None):
        self.log = os.path.join(folder, name + ".log")
        ports_file = os.path.join(folder, name + ".ports")
        command = [program, "--port", "0", "--control-port", "0", "--ports-file", ports_file, "--no-stdin",
                   "--answer-after", "200", "--call-length", "0"]
        if tls:
            command += ["--tls-cert", tls + ".pem", "--tls-key", tls + ".key"]
        with open(self.log, "wb") as output:
            self.process = subprocess.Popen(command, stdin=subprocess.DEVNULL, stdout=output,
                                            stderr=subprocess.STDOUT)
        wait_until(lambda: os.path.exists(ports_file) or self.process.poll() is not None, 30,
                   "the simulator did not start")
        if self.process.poll() is not None:
            raise RuntimeError("the simulator ended: " + read_text(self.log))
        with open(ports_file) as file:
            ports = dict(line.strip().split("=") for line in file if "=" in line)
        self.port = int(ports["cti"])
        self.control = int(ports["control"])

    def text(self):
        return read_text(self.log, "utf-8")

    def stop(self):
        if self.process.poll() is None:
            try:
                with socket.create_connection(("127.0.0.1", self.control), timeout=5) as control:
                    control.sendall(b"quit\n")
                    control.recv(100)
                self.process.wait(10)
            except (OSError, subprocess.TimeoutExpired):
                self.process.kill()
                self.process.wait(10)


class ByteRelay:
    """Forwards connections to a server; what the server sends reaches the
    client one byte per write, so TLS records arrive in pieces."""

    def __init__(self, server_port):
        self.server_port = server_port
        self.listener = socket.create_server(("127.0.0.1", 0))
        self.port = self.listener.getsockname()[1]
        self.bytes_split = 0
        self.stopping = False
        threading.Thread(target=self._accept, daemon=True).start()

    def _accept(self):
        while not self.stopping:
            try:
                client, _ = self.listener.accept()
            except OSError:
                return
            try:
                server = socket.create_connection(("127.0.0.1", self.server_port), timeout=10)
            except OSError:
                client.close()
                continue
            client.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
            threading.Thread(target=self._pump, args=(client, server, False), daemon=True).start()
            threading.Thread(target=self._pump, args=(server, client, True), daemon=True).start()

    def _pump(self, source, target, one_by_one):
        try:
            while True:
                data = source.recv(65536)
                if not data:
                    break
                if not one_by_one:
                    target.sendall(data)
                    continue
                for i in range(len(data)):
                    target.sendall(data[i:i + 1])
                    self.bytes_split += 1
                    time.sleep(0.0005)
        except OSError:
            pass
        for end in (source, target):
            try:
                end.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass

    def stop(self):
        self.stopping = True
        self.listener.close()


class OldTlsServer:
    """A TLS server that agrees to TLS 1.1 and nothing else (Python's ssl)."""

    def __init__(self, certificate):
        self.context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        self.context.set_ciphers("DEFAULT:@SECLEVEL=0")
        with warnings.catch_warnings():
            warnings.simplefilter("ignore", DeprecationWarning)
            self.context.minimum_version = self.context.maximum_version = ssl.TLSVersion.TLSv1_1
        self.context.load_cert_chain(certificate + ".pem", certificate + ".key")
        self.listener = socket.create_server(("127.0.0.1", 0))
        self.port = self.listener.getsockname()[1]
        threading.Thread(target=self._accept, daemon=True).start()

    def _accept(self):
        while True:
            try:
                client, _ = self.listener.accept()
            except OSError:
                return
            client.settimeout(30)
            try:
                with self.context.wrap_socket(client, server_side=True) as session:
                    session.recv(100)  # until the client goes away
            except (OSError, ssl.SSLError):
                pass

    def stop(self):
        self.listener.close()


class Case:
    """One host-console run: config.ini keys, then the script's lines."""

    def __init__(self, name, simulator, keys, script, port=None, connects=True, certificate_seen=True):
        self.name = name
        self.simulator = simulator
        self.keys = keys
        self.script = script
        self.port = port or simulator.port
        self.connects = connects  # whether "conn|connect||" may come at all
        self.certificate_seen = certificate_seen and keys.get("CTI_TLS") == "Y"


def run_case(args, work, case):
    folder = os.path.join(work, case.name.replace(" ", "-"))
    base = os.path.join(folder, "base")
    os.makedirs(base)
    keys = {"CTI_IPs": "127.0.0.1", "CTI_PORT": str(case.port), "WEB_PORT": "0", "CTI_ANSWER_SECONDS": "2"}
    keys.update(case.keys)
    with open(os.path.join(base, "config.ini"), "w", newline="\r\n") as file:
        file.write("[Connect]\n" + "".join("%s=%s\n" % item for item in keys.items()))
    with open(os.path.join(base, "config_user.ini"), "w", newline="\r\n") as file:
        file.write("[Connect]\nIS_POPUP_SHOW=N\n")
    script = os.path.join(folder, "case.vts")
    with open(script, "w", encoding="utf-8") as file:
        file.write("\n".join(case.script) + "\nquit\n")
    transcript = os.path.join(folder, "console.log")
    with open(transcript, "wb") as output:
        console = subprocess.Popen(
            ["sh", args.wine_run, args.console, "--in-process", "--dll", windows_path(args.dll),
             "--base", windows_path(base) + "\\", "--title", "Veltrane TLS Test",
             "--sim", "127.0.0.1:%d" % case.simulator.control, "--script", windows_path(script)],
            stdin=subprocess.DEVNULL, stdout=output, stderr=subprocess.STDOUT)
        try:
            held = console.wait(CONSOLE_LIMIT) == 0
        except subprocess.TimeoutExpired:
            console.kill()
            console.wait(10)
            held = False
    library_log = read_text(os.path.join(base, "LOG", "*_dll.txt"))
    return held, read_text(transcript, "utf-8"), library_log


def connects_and_fails(failure):
    """A connection that the TLS layer refuses, twice: the event, the close,
    and the next attempt after its pause; never a connect event."""
    return ['DLL_START',
            'wait "conn|disconnect|%s|" 20000' % failure,
            'wait "conn|disconnect||"',
            'wait "conn|disconnect|%s|" 20000' % failure]


def session_cases(simulators, relay, certificates):
    # Any case, colons or not: the lower-case form without them.
    fingerprint = certificates.fingerprint(certificates.self_signed).replace(":", "").lower()
    script = [
        'DLL_START',
        'wait "dllstart|success|certification_no|"',
        'wait "conn|connect||" 20000',
        'CERTIFICATION_NO 0212345678',
        'wait "certification_no|success|0212345678|create number|"',
        'CERTIFICATION_PC 0212345678 123456',
        'wait "certification_pc|success|0212345678||"',
        'PC_LOGIN 0212345678 agent secret',
        'wait "login|success|0212345678|http*|"',
        'DIAL 01012345678',
        'wait "call|success|0212345678|01012345678|dialing|S||"',
        'wait "call|success|0212345678|01012345678|calling|S||"',
        'HANG_UP 01012345678',
        'wait "call|success|0212345678|01012345678|callfinish|S||"',
        'SMS_INSTANT 01012345678 "안녕하세요, 상담 예약 확인 문자입니다."',
        'wait "sms|success|0212345678|01012345678|send|안녕하세요, 상담 예약 확인 문자입니다.|"',
        'sim sms 0311112222 "네, 내일 뵙겠습니다."',
        'wait "sms|success|0212345678|0311112222|read|네, 내일 뵙겠습니다.|"',
        'sim-until 5000 expect-acks',
        # A server restart: the link comes back and signs in again by itself.
        'sim drop',
        'wait "conn|disconnect||"',
        'wait "conn|connect||" 20000',
        'wait "login|success|0212345678|http*|"',
        'SMS_INSTANT 01012345678 "again"',
        'wait "sms|success|0212345678|01012345678|send|again|"',
        'PC_LOGOUT',
        'wait "logout|success|0212345678||"',
        'expect-none "*|fail|*" 0',
    ]
    # A handshake in pieces takes a while on a loaded machine.
    keys = {"CTI_TLS": "Y", "CTI_TLS_CERT_SHA256": fingerprint, "CTI_ANSWER_SECONDS": "30"}
    return [Case("a whole session, the server's bytes one at a time", simulators["self-signed"], keys, script,
                 port=relay.port)]


def certificate_cases(simulators, certificates):
    other = certificates.fingerprint(certificates.by_ca)
    return [
        Case("a fingerprint that does not match", simulators["self-signed"],
             {"CTI_TLS": "Y", "CTI_TLS_CERT_SHA256": other},
             connects_and_fails("TLS certificate fingerprint mismatch"), connects=False),
        Case("a self-signed certificate without a fingerprint", simulators["self-signed"], {"CTI_TLS": "Y"},
             connects_and_fails("TLS certificate untrusted"), connects=False),
        Case("a trusted chain for its name", simulators["by-ca"], {"CTI_TLS": "Y", "CTI_TLS_NAME": "localhost"},
             ['DLL_START', 'wait "conn|connect||" 20000', 'CERTIFICATION_NO 0212345678',
              'wait "certification_no|success|0212345678|create number|"']),
        Case("a trusted chain for another name", simulators["by-ca"],
             {"CTI_TLS": "Y", "CTI_TLS_NAME": "cti.example"}, connects_and_fails("TLS certificate name mismatch"),
             connects=False),
    ]


def wrong_side_cases(simulators, old_server):
    return [
        # The plain server takes the handshake for noise and says nothing.
        Case("TLS configured, the server plain", simulators["plain"], {"CTI_TLS": "Y"},
             connects_and_fails("TLS handshake failure(no answer)"), connects=False, certificate_seen=False),
        # The TLS server closes at the first request: the link does not hang.
        Case("TLS not configured, the server TLS", simulators["self-signed"], {},
             ['DLL_START', 'wait "conn|connect||" 20000', 'CERTIFICATION_NO 0212345678',
              'wait "conn|disconnect||" 10000', 'wait "conn|connect||" 20000']),
        # Whatever the system offers, a session older than TLS 1.2 is not used.
        Case("a server with TLS 1.1 only", simulators["plain"], {"CTI_TLS": "Y"},
             connects_and_fails("TLS handshake failure(*)"), port=old_server.port, connects=False,
             certificate_seen=False),
    ]


def check_logs(case, transcript, library_log, simulator_log):
    """What the transcripts must also show; an empty list when all holds."""
    problems = []
    if not case.connects and "conn|connect||" in transcript:
        problems.append("the library reported a connection")
    if case.certificate_seen and "CTI TLS => TLS 1." not in library_log:
        problems.append("the library logged no TLS line")
    if "secret" in library_log:
        problems.append("the library logged the password")
    if case.name.startswith("a whole session") and simulator_log.count(" TLS with ") < 2:
        problems.append("the simulator did not see two TLS connections")
    if case.name.startswith("TLS not configured") and "TLS handshake with" not in simulator_log:
        problems.append("the simulator saw no failed handshake")
    return problems


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("group", choices=["session", "certificates", "wrong-side"])
    for name in ("--wine-run", "--simulator", "--console", "--dll", "--cert-store", "--openssl"):
        parser.add_argument(name, required=True)
    args = parser.parse_args()
    for name in ("wine_run", "simulator", "console", "dll", "cert_store"):
        setattr(args, name, os.path.abspath(getattr(args, name)))
    if not os.path.exists(args.simulator):
        print("FAIL no native simulator at %s: build the native preset first (tools/test.sh does)" % args.simulator)
        return 1

    work = tempfile.mkdtemp(prefix="veltrane-tls.")
    simulators = {}
    relay = None
    old_server = None
    ca_added = None
    failures = 0
    try:
        certificates = Certificates(args.openssl, work)
        if args.group == "session":
            simulators["self-signed"] = Simulator(args.simulator, work, "self-signed", certificates.self_signed)
            relay = ByteRelay(simulators["self-signed"].port)
            cases = session_cases(simulators, relay, certificates)
        elif args.group == "certificates":
            simulators["self-signed"] = Simulator(args.simulator, work, "self-signed", certificates.self_signed)
            simulators["by-ca"] = Simulator(args.simulator, work, "by-ca", certificates.by_ca)
            ca_added = windows_path(certificates.ca_der)
            subprocess.run(["sh", args.wine_run, args.cert_store, "add", ca_added], check=True, timeout=60,
                           stdin=subprocess.DEVNULL)
            cases = certificate_cases(simulators, certificates)
        else:
            simulators["plain"] = Simulator(args.simulator, work, "plain")
            simulators["self-signed"] = Simulator(args.simulator, work, "self-signed", certificates.self_signed)
            old_server = OldTlsServer(certificates.self_signed)
            cases = wrong_side_cases(simulators, old_server)

        for case in cases:
            started = time.monotonic()
            held, transcript, library_log = run_case(args, work, case)
            problems = [] if held else ["an expectation of the script failed"]
            problems += check_logs(case, transcript, library_log, case.simulator.text())
            if relay is not None and relay.bytes_split < 1000:
                problems.append("the relay split only %d bytes" % relay.bytes_split)
            print("%s %s (%.1f s)%s" % ("FAIL" if problems else "ok  ", case.name, time.monotonic() - started,
                                        ": " + "; ".join(problems) if problems else ""), flush=True)
            if problems:
                failures += 1
                print("=== host console\n%s\n=== simulator\n%s\n=== library log\n%s" % (
                    transcript[-3000:], case.simulator.text()[-3000:], library_log[-3000:]))
    except Exception as error:  # reported, then everything is ended below
        print("FAIL %s: %s" % (type(error).__name__, error))
        failures += 1
    finally:
        if ca_added is not None:
            subprocess.run(["sh", args.wine_run, args.cert_store, "remove", ca_added], timeout=60,
                           stdin=subprocess.DEVNULL)
        if relay is not None:
            relay.stop()
        if old_server is not None:
            old_server.stop()
        for simulator in simulators.values():
            simulator.stop()
        shutil.rmtree(work, ignore_errors=True)
    return 0 if failures == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
