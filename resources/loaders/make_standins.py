#!/usr/bin/env python3
# Writes the stand-in loader images: the real loader programs are the modem maker's and are not
# shipped here. Each stand-in has the right size, a readable tag and a deterministic filler, so
# the eight images differ and their CRCs can be told apart. Replace them with real images (same
# names, same sizes) in the program folder's loaders/ folder.
names = [("h8_38400.bin", 1436), ("h8_115200.bin", 1436),
         ("h8_3069_speed0_low.bin", 1748), ("h8_3069_speed0_high.bin", 1748),
         ("h8_3069_speed1_low.bin", 1748), ("h8_3069_speed1_high.bin", 1748),
         ("h8_3069_speed2_low.bin", 1748), ("h8_3069_speed2_high.bin", 1748)]
for name, size in names:
    data = bytearray(("KELMOR STAND-IN LOADER " + name + " - not a real loader program\0").encode())
    x = sum(name.encode()) & 0xFF
    while len(data) < size:
        x = (x * 75 + 74) % 257
        data.append(x & 0xFF)
    with open(name, "wb") as f:
        f.write(bytes(data[:size]))
