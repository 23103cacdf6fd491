"""Listening to the desktop's sound server: the null sink's monitor recorded
with parec, and sounds compared by their loudness over time."""

import array
import math
import os
import subprocess
import wave

RATE = 22050
WINDOW = 0.01  # seconds per step of an envelope
SILENCE = 0.01  # RMS (of full scale) below which a step counts as silent
SOUNDS = os.path.join(os.path.dirname(__file__), "../../resources/sounds")


class Recorder:
    """Records the null sink's monitor, mono 16 bit, into a file as it plays."""

    def __init__(self, path):
        self.path = path
        self._file = open(path, "wb")
        self.process = subprocess.Popen(
            ["parec", "--device=dunvex_null.monitor", "--raw", "--format=s16le",
             f"--rate={RATE}", "--channels=1", "--latency-msec=10"],
            stdout=self._file,
        )  # fmt: skip

    def position(self):
        """Seconds recorded so far: the time of an event on the recording's clock."""
        return os.path.getsize(self.path) / 2 / RATE

    def quiet(self, seconds=0.3):
        """True when the last `seconds` recorded were silent."""
        size = int(seconds * RATE) * 2
        if os.path.getsize(self.path) < size:
            return False
        samples = array.array("h")
        with open(self.path, "rb") as raw:
            raw.seek(-size, os.SEEK_END)
            samples.frombytes(raw.read(size))
        return max(envelope([s / 32768.0 for s in samples], RATE)) <= SILENCE

    def stop(self):
        self.process.terminate()
        self.process.wait(10)
        self._file.close()
        samples = array.array("h")
        with open(self.path, "rb") as raw:
            samples.frombytes(raw.read())
        return [sample / 32768.0 for sample in samples]


def envelope(samples, rate):
    """RMS per WINDOW seconds."""
    step = max(1, int(rate * WINDOW))
    return [
        math.sqrt(sum(s * s for s in samples[i : i + step]) / step)
        for i in range(0, len(samples) - step + 1, step)
    ]


def sound_file(name):
    """The game's own recording, mixed to mono floats, with its rate."""
    with wave.open(os.path.join(SOUNDS, name + ".wav")) as recording:
        channels, width = recording.getnchannels(), recording.getsampwidth()
        rate = recording.getframerate()
        frames = recording.readframes(recording.getnframes())
    if width == 1:
        values = [(byte - 128) / 128.0 for byte in frames]
    else:
        values = [sample / 32768.0 for sample in array.array("h", frames)]
    mono = [sum(values[i : i + channels]) / channels for i in range(0, len(values), channels)]
    return mono, rate


def onset(levels, start):
    """The first step at or after `start` (seconds) that is not silent, in seconds."""
    for index in range(int(start / WINDOW), len(levels)):
        if levels[index] > SILENCE:
            return index * WINDOW
    return None


def correlation(a, b):
    """Normalised correlation of two equally long envelopes, 1 for the same shape."""
    mean_a, mean_b = sum(a) / len(a), sum(b) / len(b)
    da = [x - mean_a for x in a]
    db = [y - mean_b for y in b]
    norm = math.sqrt(sum(x * x for x in da) * sum(y * y for y in db))
    return sum(x * y for x, y in zip(da, db)) / norm if norm else 0.0


def best_match(levels, reference, around, reach=0.1):
    """The highest correlation of the reference's envelope with the recording's
    near `around` seconds (within `reach`): how well the start of what was
    heard there matches the start of the game's own file."""
    length = min(len(reference), 40)  # the first 0.4 s carries the shape
    reference = reference[:length]
    first = int(around / WINDOW)
    best = -1.0
    for shift in range(-int(reach / WINDOW), int(reach / WINDOW) + 1):
        begin = first + shift
        if begin < 0 or begin + length > len(levels):
            continue
        best = max(best, correlation(levels[begin : begin + length], reference))
    return best
