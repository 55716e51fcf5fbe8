#!/usr/bin/env python3
"""Writes the monitor's built-in alert sound: two short sine tones, 8-bit
mono at 11025 Hz, with soft edges so that they do not click.

    tools/make_alert_sound.py resources/alert.wav
"""
import math
import struct
import sys

RATE = 11025


def tone(frequency, seconds, volume=0.45):
    count = int(RATE * seconds)
    fade = int(RATE * 0.01)
    samples = []
    for i in range(count):
        edge = min(1.0, i / fade, (count - 1 - i) / fade)
        value = math.sin(2 * math.pi * frequency * i / RATE) * volume * edge
        samples.append(int(128 + 127 * value))
    return samples


def main(path):
    samples = tone(880, 0.12) + [128] * int(RATE * 0.04) + tone(1175, 0.16)
    data = bytes(samples)
    header = b"RIFF" + struct.pack("<I", 36 + len(data)) + b"WAVE"
    header += b"fmt " + struct.pack("<IHHIIHH", 16, 1, 1, RATE, RATE, 1, 8)
    header += b"data" + struct.pack("<I", len(data))
    with open(path, "wb") as out:
        out.write(header + data)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "resources/alert.wav")
