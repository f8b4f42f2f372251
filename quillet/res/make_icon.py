# Draws the application icon: a location pin over a blue disc with signal arcs.
import math, struct, sys

def pixel(size, x, y):
    s = size / 32.0
    cx, cy = x + 0.5, y + 0.5
    # background disc
    dx, dy = cx - 16 * s, cy - 16 * s
    r = math.hypot(dx, dy)
    col = None
    if r <= 15.5 * s:
        t = (cy / size)
        col = (int(30 + 20 * t), int(90 + 40 * t), int(170 + 40 * t), 255)
    # signal arcs, upper right
    ax, ay = cx - 22 * s, cy - 9 * s
    ar = math.hypot(ax, ay)
    ang = math.atan2(-ay, ax)
    if col and -0.4 < ang < 1.9:
        for rad in (4.5, 8.0):
            if abs(ar - rad * s) < 1.0 * s:
                col = (255, 210, 60, 255)
    # pin: circle head and tapering point
    px, py = cx - 13 * s, cy - 13 * s
    head = math.hypot(px, py) <= 7.0 * s
    tip_y = 28 * s
    in_tip = False
    if 13 * s <= cy <= tip_y:
        half = 7.0 * s * (tip_y - cy) / (tip_y - 13 * s) * 0.85
        in_tip = abs(cx - 13 * s) <= half
    if head or in_tip:
        col = (250, 250, 250, 255)
        if math.hypot(px, py) <= 3.0 * s:
            col = (215, 45, 45, 255)
    return col or (0, 0, 0, 0)

def image(size):
    rows = []
    for y in range(size - 1, -1, -1):
        row = b""
        for x in range(size):
            r, g, b, a = pixel(size, x, y)
            row += bytes((b, g, r, a))
        rows.append(row)
    xor = b"".join(rows)
    mask_row = ((size + 31) // 32) * 4
    andmask = bytes(mask_row * size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(xor) + len(andmask), 0, 0, 0, 0)
    return header + xor + andmask

sizes = [32, 16, 48]
images = [image(s) for s in sizes]
out = struct.pack("<HHH", 0, 1, len(sizes))
offset = 6 + 16 * len(sizes)
for s, data in zip(sizes, images):
    out += struct.pack("<BBBBHHII", s % 256, s % 256, 0, 0, 1, 32, len(data), offset)
    offset += len(data)
out += b"".join(images)
open(sys.argv[1], "wb").write(out)
