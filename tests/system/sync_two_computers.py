#!/usr/bin/env python3
"""Two computers share one program folder through two real Syncthing instances on the loopback
interface. Both drill the same list and edit a word while the link is down; the link comes back
and Syncthing leaves conflict copies. After the next open (sync_probe does what the window does)
every compartment move, both edited words and both drill records are in the list and the log,
on either computer.

Usage: sync_two_computers.py <sync_probe> <program-template> <work-folder>
"""
import json
import os
import shutil
import socket
import subprocess
import sys
import time
import urllib.request
import xml.etree.ElementTree as ET

LIMIT_S = 120
START = time.monotonic()
PROBE, TEMPLATE, WORK = sys.argv[1:4]
FOLDER_ID = "tafelix"
LIST = "Liste.vkb"
processes = []


class Failure(Exception):
    pass


def wait_for(what, condition, step=0.1):
    """Polls `condition` until it returns something true; gives up at the overall time limit."""
    while time.monotonic() - START < LIMIT_S:
        result = condition()
        if result:
            return result
        time.sleep(step)
    raise Failure(f"gave up after {LIMIT_S} s waiting for: {what}")


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class Computer:
    def __init__(self, name):
        self.name = name
        self.home = os.path.join(WORK, name + "-syncthing")
        self.root = os.path.join(WORK, name, "Tafelix")
        self.gui = free_port()
        self.listen = free_port()
        self.key = "tafelix-test-" + name
        os.makedirs(os.path.join(self.root, ".stfolder"))
        subprocess.run(["syncthing", "generate", "--home=" + self.home, "--no-default-folder",
                        "--skip-port-probing"], check=True, capture_output=True)
        self.id = subprocess.run(["syncthing", "serve", "--home=" + self.home, "--device-id"],
                                 check=True, capture_output=True, text=True).stdout.strip()
        # Loopback only: no discovery, relays, NAT traversal, usage reports or upgrades.
        config = os.path.join(self.home, "config.xml")
        tree = ET.parse(config)
        options = tree.getroot().find("options")
        for tag, value in [("listenAddress", f"tcp://127.0.0.1:{self.listen}"),
                           ("globalAnnounceEnabled", "false"), ("localAnnounceEnabled", "false"),
                           ("relaysEnabled", "false"), ("natEnabled", "false"),
                           ("urAccepted", "-1"), ("autoUpgradeIntervalH", "0"),
                           ("startBrowser", "false"), ("crashReportingEnabled", "false"),
                           ("reconnectionIntervalS", "1")]:
            for old in options.findall(tag):
                options.remove(old)
            ET.SubElement(options, tag).text = value
        tree.write(config)
        self.log = open(os.path.join(WORK, name + "-syncthing.log"), "w")
        env = dict(os.environ, STNODEFAULTFOLDER="1", STNOUPGRADE="1", HOME=self.home)
        processes.append(subprocess.Popen(
            ["syncthing", "serve", "--home=" + self.home, "--no-browser", "--no-restart",
             "--no-upgrade", f"--gui-address=http://127.0.0.1:{self.gui}",
             "--gui-apikey=" + self.key], stdout=self.log, stderr=subprocess.STDOUT, env=env))

    def rest(self, method, path, body=None):
        request = urllib.request.Request(
            f"http://127.0.0.1:{self.gui}{path}", method=method,
            data=None if body is None else json.dumps(body).encode(),
            headers={"X-API-Key": self.key, "Content-Type": "application/json"})
        with urllib.request.urlopen(request, timeout=30) as response:
            text = response.read()
            return json.loads(text) if text.strip() else None

    def up(self):
        try:
            return self.rest("GET", "/rest/system/ping")
        except OSError:
            return None

    def introduce(self, other):
        self.rest("POST", "/rest/config/devices",
                  {"deviceID": other.id, "name": other.name,
                   "addresses": [f"tcp://127.0.0.1:{other.listen}"]})
        self.rest("POST", "/rest/config/folders",
                  {"id": FOLDER_ID, "label": "Tafelix", "path": self.root,
                   "type": "sendreceive", "fsWatcherEnabled": False, "rescanIntervalS": 3600,
                   "devices": [{"deviceID": self.id}, {"deviceID": other.id}]})

    def connected(self, other):
        c = self.rest("GET", "/rest/system/connections")["connections"].get(other.id, {})
        return c.get("connected", False)

    def scan(self):
        self.rest("POST", f"/rest/db/scan?folder={FOLDER_ID}")

    def path(self, relative):
        return os.path.join(self.root, relative)

    def read(self, relative):
        try:
            with open(self.path(relative), "rb") as f:
                return f.read()
        except OSError:
            return None

    def conflicts(self):
        found = []
        for sub in ("Vokabeln", "SysDat"):
            folder = self.path(sub)
            if os.path.isdir(folder):
                found += [sub + "/" + n for n in os.listdir(folder) if ".sync-conflict-" in n]
        return sorted(found)

    def probe(self, *args):
        done = subprocess.run([PROBE, args[0], self.root, LIST, *args[1:]], capture_output=True)
        # The list's texts come as the program stores them (Windows-1252), the messages in UTF-8.
        message = done.stderr.decode("utf-8", "replace")
        if done.returncode != 0:
            raise Failure(f"{self.name}: sync_probe {' '.join(args)}: {message}")
        if message.strip():
            print(f"{self.name} is told:\n{message}")
        return done.stdout.decode("cp1252", "replace")


def vkb(words):
    out = b"VKB Vokabeldatei\r\n"
    for german, foreign in words:
        out += b"1\r\n0\r\n" + german.encode("cp1252") + b"\r\n" + foreign.encode("cp1252") \
            + b"\r\n\r\n\r\n"
    return out


WORDS = [("Haus", "house"), ("Baum", "tree"), ("Maus", "mouse"), ("Hund", "dog"),
         ("Katze", "cat"), ("Tür", "door"), ("Tisch", "table"), ("Stuhl", "chair")]


def check_open(computer, output):
    words = [line[5:].split("|") for line in output.splitlines() if line.startswith("word ")]
    log = [line[4:].split("|") for line in output.splitlines() if line.startswith("log ")]
    state = {(g, f): (int(b), int(p)) for g, f, b, p in words}
    # Compartment moves of both computers: A drilled words 1 and 2, B words 4 and 5.
    for german, foreign in [WORDS[0], WORDS[1], WORDS[3], WORDS[4]]:
        if state.get((german, foreign)) != (2, 1):
            raise Failure(f"{computer.name}: {german} not moved: {state}")
    # Both edits: A's of "Maus", B's of "Tür".
    for edited in [("Maus", "mouse (Laptop)"), ("Tür", "door (Schule)")]:
        if edited not in state:
            raise Failure(f"{computer.name}: the edited word {edited} is missing: {state}")
    answers = sorted(r[2] for r in log if r[0] == LIST)
    if answers != ["2", "3"]:
        raise Failure(f"{computer.name}: drill records in the log: {log}")
    return sorted(words), log


def main():
    if shutil.which("syncthing") is None:
        print("SKIP: syncthing is not installed")
        return 77
    a, b = Computer("a"), Computer("b")
    os.makedirs(a.path("SysDat"))
    os.makedirs(a.path("Vokabeln"))
    for name in ("Init.dat", "Statistik.dat"):
        shutil.copy(os.path.join(TEMPLATE, "SysDat", name), a.path("SysDat/" + name))
    with open(a.path("Vokabeln/" + LIST), "wb") as f:
        f.write(vkb(WORDS))

    wait_for("both Syncthing instances to answer", lambda: a.up() and b.up())
    a.introduce(b)
    b.introduce(a)
    wait_for("the two computers to connect", lambda: a.connected(b) and b.connected(a))
    a.scan()
    for rel in ("Vokabeln/" + LIST, "SysDat/Statistik.dat", "SysDat/Init.dat"):
        wait_for(f"{rel} on computer b", lambda rel=rel: b.read(rel) == a.read(rel))
    print(f"in sync after {time.monotonic() - START:.1f} s")

    # The link goes down: each side pauses the other.
    a.rest("POST", f"/rest/system/pause?device={b.id}")
    b.rest("POST", f"/rest/system/pause?device={a.id}")
    wait_for("the link to go down", lambda: not a.connected(b) and not b.connected(a))
    a.probe("drill", "08.12.2026", "2", "1", "2")
    a.probe("edit", "3", "mouse (Laptop)")
    b.probe("drill", "08.12.2026", "3", "4", "5")
    b.probe("edit", "6", "door (Schule)")
    a.scan()
    b.scan()

    # The link comes back; Syncthing keeps one version of each file and a conflict copy.
    a.rest("POST", f"/rest/system/resume?device={b.id}")
    b.rest("POST", f"/rest/system/resume?device={a.id}")

    def settled():
        ca, cb = a.conflicts(), b.conflicts()
        wanted = any(c.startswith("Vokabeln/") for c in ca) and \
            any(c.startswith("SysDat/") for c in ca)
        same = all(a.read(r) == b.read(r) for r in
                   ["Vokabeln/" + LIST, "SysDat/Statistik.dat"] + ca)
        return wanted and ca == cb and same
    wait_for("conflict copies of the list and the log on both computers", settled)
    copies = a.conflicts()
    print(f"conflict copies after {time.monotonic() - START:.1f} s: {copies}")

    merged_a = check_open(a, a.probe("open"))
    if a.conflicts():
        raise Failure(f"a: copies left beside the files: {a.conflicts()}")
    aside = sorted(os.listdir(a.path("Konfliktkopien")))
    if len(aside) != len(copies):
        raise Failure(f"a: Konfliktkopien holds {aside}, expected {copies}")

    # What computer a merged and saved reaches b; b's next open finds it all.
    a.scan()
    wait_for("the merged list and log on computer b, its copies gone",
             lambda: b.read("Vokabeln/" + LIST) == a.read("Vokabeln/" + LIST) and
             b.read("SysDat/Statistik.dat") == a.read("SysDat/Statistik.dat") and
             not b.conflicts())
    merged_b = check_open(b, b.probe("open"))
    if merged_a != merged_b:
        raise Failure(f"the computers disagree:\n{merged_a}\n{merged_b}")
    print(f"PASS after {time.monotonic() - START:.1f} s")
    return 0


if __name__ == "__main__":
    try:
        code = main()
    except (Failure, subprocess.CalledProcessError, OSError) as e:
        print(f"FAIL: {e}", file=sys.stderr)
        for name in ("a", "b"):
            log = os.path.join(WORK, name + "-syncthing.log")
            if os.path.exists(log):
                with open(log) as f:
                    print(f"--- {name}'s Syncthing, last lines:\n" + "".join(f.readlines()[-15:]),
                          file=sys.stderr)
        code = 1
    finally:
        for p in processes:
            p.terminate()
        for p in processes:
            try:
                p.wait(timeout=10)
            except subprocess.TimeoutExpired:
                p.kill()
    sys.exit(code)
