"""Chromium's DevTools protocol over --remote-debugging-pipe.

Chromium reads commands from descriptor 3 and writes replies and events to
descriptor 4, each message a JSON text ended by a NUL byte. No port is opened,
so this works inside a network namespace with no network at all.
"""
import json
import os
import select
import subprocess
import tempfile
import time


class DevToolsPipe:
    def __init__(self, command):
        self.command = command
        self.events = []
        self._next_id = 0
        self._buffer = b""

    def __enter__(self):
        to_browser_read, self._to_browser = os.pipe()
        self._from_browser, from_browser_write = os.pipe()
        # The shell puts the two pipe ends on descriptors 3 and 4 and becomes Chromium.
        wrapper = ["/bin/sh", "-c", f'exec "$@" 3<&{to_browser_read} 4>&{from_browser_write}', "sh", *self.command]
        # Chromium logs plenty; a file never fills up and blocks it as a pipe would.
        self._log = tempfile.TemporaryFile()
        self._process = subprocess.Popen(wrapper, pass_fds=(to_browser_read, from_browser_write),
                                         stdout=subprocess.DEVNULL, stderr=self._log)
        os.close(to_browser_read)
        os.close(from_browser_write)
        return self

    def __exit__(self, *exception):
        try:
            self.call("Browser.close", seconds=10)
        except (RuntimeError, OSError):
            pass
        os.close(self._to_browser)
        try:
            self._process.wait(timeout=20)
        except subprocess.TimeoutExpired:
            self._process.kill()
            self._process.wait()
        os.close(self._from_browser)
        self._log.close()
        return False

    def log_tail(self):
        self._log.seek(0)
        return self._log.read().decode(errors="replace")[-2000:]

    def _send(self, method, params, session):
        self._next_id += 1
        message = {"id": self._next_id, "method": method, "params": params or {}}
        if session:
            message["sessionId"] = session
        os.write(self._to_browser, json.dumps(message).encode() + b"\0")
        return self._next_id

    def _read(self, deadline):
        """The next message, or None once the deadline has passed."""
        while b"\0" not in self._buffer:
            left = deadline - time.monotonic()
            if left <= 0:
                return None
            ready, _, _ = select.select([self._from_browser], [], [], left)
            if not ready:
                return None
            chunk = os.read(self._from_browser, 1 << 16)
            if not chunk:
                raise RuntimeError("Chromium closed the DevTools pipe: " + self.log_tail())
            self._buffer += chunk
        message, self._buffer = self._buffer.split(b"\0", 1)
        return json.loads(message)

    def call(self, method, params=None, session=None, seconds=60):
        wanted = self._send(method, params, session)
        deadline = time.monotonic() + seconds
        while True:
            message = self._read(deadline)
            if message is None:
                raise RuntimeError(f"no reply to {method} within {seconds} s")
            if message.get("id") == wanted:
                if "error" in message:
                    raise RuntimeError(f"{method}: {message['error']}")
                return message.get("result", {})
            if "method" in message:
                self.events.append(message)

    def wait_for_event(self, method, session=None, seconds=60):
        for event in self.events:
            if event.get("method") == method and event.get("sessionId") == session:
                return event
        deadline = time.monotonic() + seconds
        while True:
            message = self._read(deadline)
            if message is None:
                raise RuntimeError(f"no {method} within {seconds} s")
            if "method" in message:
                self.events.append(message)
                if message["method"] == method and message.get("sessionId") == session:
                    return message

    def settle(self, seconds):
        """Collects whatever events arrive in the next few moments."""
        deadline = time.monotonic() + seconds
        while (message := self._read(deadline)) is not None:
            if "method" in message:
                self.events.append(message)

    def attach_to_new_page(self):
        target = self.call("Target.createTarget", {"url": "about:blank"})["targetId"]
        return self.call("Target.attachToTarget", {"targetId": target, "flatten": True})["sessionId"]
