# Analyses of a window screenshot (binary PPM) for the end-to-end scripts:
#   look.py buttons|count|distinct|primary FILE [...]
import sys
def load(path):
    data = open(path, 'rb').read()
    parts, pos = [], 0
    while len(parts) < 4:
        while data[pos:pos+1].isspace(): pos += 1
        start = pos
        while not data[pos:pos+1].isspace(): pos += 1
        parts.append(data[start:pos])
    pos += 1
    w, h = int(parts[1]), int(parts[2])
    return w, h, data[pos:]
def px(img, x, y):
    w, h, d = img
    i = (y * w + x) * 3
    return d[i], d[i+1], d[i+2]
def near(p, rgb, tol=6):
    return all(abs(p[k] - ((rgb >> (16 - 8 * k)) & 255)) <= tol for k in range(3))
ACCENT = 0x5B8CFF
HOVER = 0x6C98FF
def primary(p):
    return near(p, ACCENT) or near(p, HOVER)
def buttons(img):
    """Primary (accent) buttons in the content area: (left, top, right, bottom)."""
    w, h, _ = img
    found = []
    for y in range(40, h, 2):
        x = 262
        while x < w - 10:
            if primary(px(img, x, y)):
                s = x
                while x < w and primary(px(img, x, y)): x += 1
                if x - s >= 100 and not any(b[0] - 4 <= s <= b[2] and b[1] <= y <= b[3] + 2 for b in found):
                    top = y
                    while top > 0 and primary(px(img, s + 3, top - 1)): top -= 1
                    bottom = y
                    while bottom < h - 1 and primary(px(img, s + 3, bottom + 1)): bottom += 1
                    found.append([s, top, x - 1, bottom])
            x += 1
    return [b for b in found if b[3] - b[1] >= 20]
cmd, path = sys.argv[1], sys.argv[2]
img = load(path)
w, h, _ = img
if cmd == 'buttons':
    for b in buttons(img): print(*b)
elif cmd == 'count':  # count pixels near a colour: count FILE RRGGBB
    rgb = int(sys.argv[3], 16)
    print(sum(1 for y in range(0, h, 2) for x in range(232, w, 2) if near(px(img, x, y), rgb, 10)))
elif cmd == 'distinct':  # distinct colours in the content area
    print(len({px(img, x, y) for y in range(36, h, 3) for x in range(232, w, 3)}))
elif cmd == 'primary':  # primary FILE X Y -> 1 when the pixel is a primary button's
    print(1 if primary(px(img, int(sys.argv[3]), int(sys.argv[4]))) else 0)
