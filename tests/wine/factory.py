"""Factory values of the stored records, built here from the record tables
(offsets and values as the stored format defines them), independently of the
program's own code."""
import struct

PROFILE_SIZE = 109896
GROUP_SIZE = 30964
ALL_SIZE = 30960
SETTING_SIZE = 6190

CONFIG = 860                     # ConfigInfo in a profile
BUTTON = 3772                    # one TBUTTONFUNCINFO
KEYS = CONFIG                    # ButtonFuncInfo[0]
VWHEEL = CONFIG + 56580          # VWheelButtonFuncInfo[0]
MACRO_COUNT = 86664 + 18732      # MacroKeyInfoList.nMacroInfoCount

SLOT_COLOURS = [(255, 0, 0), (0, 0, 255), (255, 255, 0), (0, 96, 96), (255, 0, 255)]
CATALOGUE_KIND_CODE = {0: (1, 1), 1: (2, 2), 2: (3, 3), 3: (5, 4), 4: (4, 5), 30: (9, 13), 31: (10, 14)}


def snap_cpi(value):
    steps = [250 * (i + 1) for i in range(16)]
    if value <= steps[0]:
        return steps[0]
    if value >= steps[-1]:
        return steps[-1]
    for low, high in zip(steps, steps[1:]):
        if low <= value < high:
            return high if abs(value - low) > abs(value - high) else low


def put(buf, offset, fmt, *values):
    struct.pack_into("<" + fmt, buf, offset, *values)


def put_text(buf, offset, units, text):
    data = text.encode("utf-16-le")[: 2 * (units - 1)]
    buf[offset:offset + len(data) + 2] = data + b"\0\0"


def game_profile(slot):
    p = bytearray(PROFILE_SIZE)
    put(p, 0, "i", 258)
    for k, row in enumerate([0, 1, 2, 3, 4, 30, 31]):
        base = KEYS + k * BUTTON
        kind, code = CATALOGUE_KIND_CODE[row]
        put(p, base + 3752, "HHB", k, row, 1 if k < 5 else 0)
        put(p, base + 3760, "II", kind, code)
    put(p, VWHEEL + 3752, "HHB", 0, 0, 1)
    put(p, VWHEEL + 3760, "II", 11, 1)
    put(p, VWHEEL + BUTTON + 3752, "HHB", 1, 1, 1)
    put(p, VWHEEL + BUTTON + 3760, "II", 12, 2)
    c = CONFIG
    put(p, c + 71672, "H", 3)            # VWheelSpeed
    put(p, c + 71676, "bb", 1, 1)        # HWVWheelValue, WheelLedOnOff
    put(p, c + 71678, "HHH", 550, 10, 0)  # DoubleClickSpeed, PointerSpeed, PointerAcceleration
    put(p, c + 71686, "H", 125)          # ReportRate
    put(p, c + 71688, "i", 1)            # CurrentCPIIndex
    for i, cpi in enumerate([400, 800, 1600, 3500]):
        put(p, c + 71700 + 2 * i, "H", 1)                 # UseDiffentXY
        put(p, c + 71724 + 6 * i, "HHH", cpi, cpi, 1)     # CPIState
        step = snap_cpi(cpi)
        put(p, c + 71790 + 6 * i, "HHH", step, step, 1)   # HWCPIState
    put(p, c + 71856, "H", 4)            # CPILevel
    r, g, b = SLOT_COLOURS[slot]
    put(p, c + 82120, "BBBBB", r, g, b, 2, 2)  # LEDConfig
    put(p, c + 82128, "i", 7)            # ButtonCount
    put(p, c + 84184, "iiiii", 1, 0, 0, 10, 2)
    put(p, MACRO_COUNT, "H", 0)
    return bytes(p)


def setting_group(documents, reg_folder="software\\software\\DAvezodev", prefix="Profile", folder="Profile"):
    g = bytearray(GROUP_SIZE)
    put(g, 0, "iii", 0, 0, 1)
    profiles = documents + "\\" + folder + "\\"
    for i in range(5):
        base = 12 + i * SETTING_SIZE
        n = str(i + 1)
        put_text(g, base + 2, 1024, profiles)
        put_text(g, base + 2050, 1024, reg_folder)
        put_text(g, base + 4098, 21, prefix + n + ".pfd")
        put_text(g, base + 4140, 1024, profiles + "\\" + prefix + n + "_Macros")
        put(g, base + 6188, "B", 1)
    return bytes(g)


def global_settings():
    a = bytearray(ALL_SIZE)
    put(a, 0, "H", 1)  # SlotState of Allgameset[0]
    return bytes(a)
