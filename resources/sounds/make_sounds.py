#!/usr/bin/env python3
"""Makes the result sounds ok.wav and error.wav (our own: plain synthesised tones).

ok.wav: two short rising tones. error.wav: three low, harsher pulses.
Run from this folder: python3 make_sounds.py
"""
import math
import struct
import wave

RATE = 22050


def tone(freq, ms, volume=0.45, square=False):
    n = int(RATE * ms / 1000)
    fade = int(RATE * 0.005)  # 5 ms ramps: no clicks
    out = []
    for i in range(n):
        phase = 2 * math.pi * freq * i / RATE
        s = math.sin(phase)
        if square:  # a few odd harmonics for a buzz
            s = s + math.sin(3 * phase) / 3 + math.sin(5 * phase) / 5
            s *= 0.8
        env = min(1.0, i / fade, (n - 1 - i) / fade)
        out.append(volume * env * s)
    return out


def silence(ms):
    return [0.0] * int(RATE * ms / 1000)


def write(name, samples):
    with wave.open(name, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(b"".join(struct.pack("<h", int(max(-1, min(1, s)) * 32767)) for s in samples))


write("ok.wav", tone(880, 120) + silence(40) + tone(1318.5, 180))
write("error.wav", tone(220, 150, square=True) + silence(60) + tone(220, 150, square=True)
      + silence(60) + tone(165, 260, square=True))
