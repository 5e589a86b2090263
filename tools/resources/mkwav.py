#!/usr/bin/env python3
"""Writes the alarm sound: about one second of two alternating tones,
16-bit PCM mono at 22050 Hz, with short fades so that it does not click."""
import math
import struct
import sys
import wave

RATE = 22050
BEEP = 0.125      # seconds per tone
TONES = (880.0, 660.0)
COUNT = 8         # 8 x 0.125 s = 1 s
FADE = int(RATE * 0.008)
VOLUME = 0.6 * 32767


def samples():
    per_beep = int(RATE * BEEP)
    for beep in range(COUNT):
        freq = TONES[beep % 2]
        for n in range(per_beep):
            edge = min(n, per_beep - 1 - n)
            gain = min(1.0, edge / FADE)
            yield int(VOLUME * gain * math.sin(2 * math.pi * freq * n / RATE))


def main(path):
    with wave.open(path, "wb") as out:
        out.setnchannels(1)
        out.setsampwidth(2)
        out.setframerate(RATE)
        out.writeframes(b"".join(struct.pack("<h", s) for s in samples()))


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "conflict.wav")
