# SPDX-License-Identifier: MIT
"""The bundled tech specs data set, in readable form.

generate.py turns this into resources/specs.plist. Figures are the makers' published
figures at launch (US models); battery capacities of iPhones and iPads are the cell
ratings printed on the batteries (iPads: Apple's watt-hour rating in the details). Geekbench
figures are typical multi-core results of the public results browser, rounded to ten. Where
a figure was not certain it is left out rather than guessed.

Units are kept uniform within a row so that the comparison, which orders rows by the number
at the start of "NumericValue", orders them correctly: clocks in GHz, memory in MB, weights in
grams, battery capacities in mAh, prices in US dollars.
"""

import datetime

# When the data below last changed, in UTC. The build stamps the bundled specs.plist with it, and
# that date is the bundle copy's age: clients compare it with the working copy's and the data
# server's dates. Move it on with every change to the data.
DATA_DATE = "2026-12-09T03:06:28Z"


def date(text):
    # Noon UTC, so that the calendar day shows the same in every time zone within ±12 hours.
    y, m, d = (int(p) for p in text.split("-"))
    return datetime.datetime(y, m, d, 12, 0, 0)


def cpu(chip, ghz=None, details=None):
    v = {"Value": chip}
    if ghz:
        v["NumericValue"] = ghz + " GHz"
    if details:
        v["Details"] = details
    return v


def ram(mb, kind=None, details=None):
    v = {"NumericValue": "%d MB" % mb}
    if kind:
        v["Value"] = kind
    if details:
        v["Details"] = details
    return v


def display(inches, kind, pixels, ppi):
    return {"NumericValue": inches + "\"", "Value": kind, "Details": "%s, %d ppi" % (pixels, ppi)}


def camera(mp, details=None):
    v = {"NumericValue": mp + " MP"}
    if details:
        v["Details"] = details
    return v


def grams(g):
    return {"NumericValue": "%s g" % g}


def mm(h, w, d):
    return {"NumericValue": "%s × %s × %s mm" % (h, w, d)}


def mah(capacity, wh=None):
    v = {"NumericValue": "%d mAh" % capacity}
    if wh:
        v["Details"] = wh + " Wh"
    return v


def screen(inches, kind=None, details=None):
    # Computers whose makers state no pixel density (and often offer several panels): the panel's
    # kind where there is one, its pixels and aspect ratio as a remark.
    v = {"NumericValue": inches + "\""}
    if kind:
        v["Value"] = kind
    if details:
        v["Details"] = details
    return v


def watt_hours(energy, details=None):
    # Computer batteries are rated in watt-hours, without the pack voltage that would give mAh.
    v = {"NumericValue": energy + " Wh"}
    if details:
        v["Details"] = details
    return v


def version(text):
    return {"NumericValue": text}


def geekbench(score):
    return {"NumericValue": "%d" % score, "Value": "Multi-core"}


def price(usd, details):
    return {"NumericValue": "%s USD" % usd, "Details": details}


def hours(**activities):
    # Rated hours as decimal strings; the battery screen reads them as numbers.
    names = {
        "audio": "Audio Playback",
        "video": "Video Playback",
        "talk2g": "Talk over 2G",
        "talk3g": "Talk over 3G",
        "wifi": "Browsing over Wi-Fi",
        "web3g": "Browsing over 3G",
        "lte": "Browsing over LTE",
    }
    return {names[k]: ("%g" % v) for k, v in activities.items()}


# ---- iPhone --------------------------------------------------------------------------------

IPHONE_SENSORS_3GS = "Accelerometer, proximity sensor, ambient light sensor, digital compass"
IPHONE_SENSORS_4 = "Three-axis gyro, accelerometer, proximity sensor, ambient light sensor"
IPHONE_SENSORS_5S = "Touch ID, three-axis gyro, accelerometer, proximity sensor, ambient light sensor"
IPHONE_SENSORS_6 = "Touch ID, barometer, three-axis gyro, accelerometer, proximity sensor, ambient light sensor"
IPHONE_SENSORS_X = "Face ID, barometer, three-axis gyro, accelerometer, proximity sensor, ambient light sensor"

MODELS = {}


def model(keys, **fields):
    """One model; keys maps each hardware identifier to its DetailName (or None)."""
    base = {}
    for name, value in fields.items():
        key = name.replace("_", " ")
        base[FIELD_NAMES.get(name, key)] = value
    for key, detail in keys.items():
        entry = dict(base)
        if detail:
            # A generation named by the model comes before the variant: "3rd generation, Wi-Fi".
            entry["DetailName"] = base["DetailName"] + ", " + detail if "DetailName" in base else detail
        MODELS[key] = entry


FIELD_NAMES = {
    "Onboard_RAM": "Onboard RAM",
    "Front_Camera": "Front Camera",
    "Rear_Camera": "Rear Camera",
    "Wi_Fi": "Wi-Fi",
    "Battery_Capacity": "Battery Capacity",
    "SIM_Card": "SIM Card",
    "Release_Date": "Release Date",
    "Discontinued_Date": "Discontinued Date",
    "Geekbench_2": "Geekbench 2",
    "Geekbench_3": "Geekbench 3",
}

def variant(key, **fields):
    """Per-identifier differences within one model (weights of cellular variants and the like);
    a field given as None is left out of that identifier's entry."""
    MODELS[key].update({FIELD_NAMES.get(n, n.replace("_", " ")): v for n, v in fields.items()})


model({"iPhone1,1": None}, Name="iPhone",
      Processor=cpu("Samsung ARM11", "0.412"), GPU="PowerVR MBX Lite", Onboard_RAM=ram(128),
      Display=display("3.5", "LCD", "480 × 320", 163), Rear_Camera=camera("2"),
      Weight=grams(135), Dimensions=mm("115", "61", "11.6"), Wi_Fi="802.11b/g", Bluetooth=version("2.0"),
      Cellular="GSM/EDGE", Battery_Capacity=mah(1400),
      BatteryLife=hours(audio=24, video=7, talk2g=8, wifi=6),
      Sensors="Accelerometer, proximity sensor, ambient light sensor", Connector="30-pin dock connector",
      SIM_Card="Mini-SIM", Capacity="4/8/16 GB",
      Release_Date=date("2007-06-29"), Discontinued_Date=date("2008-07-11"))

model({"iPhone1,2": None}, Name="iPhone 3G",
      Processor=cpu("Samsung ARM11", "0.412"), GPU="PowerVR MBX Lite", Onboard_RAM=ram(128),
      Display=display("3.5", "LCD", "480 × 320", 163), Rear_Camera=camera("2"),
      Weight=grams(133), Dimensions=mm("115.5", "62.1", "12.3"), Wi_Fi="802.11b/g", Bluetooth=version("2.0"),
      Cellular="UMTS/HSDPA, GSM/EDGE", Battery_Capacity=mah(1150),
      BatteryLife=hours(audio=24, video=7, talk2g=10, talk3g=5, wifi=6, web3g=5),
      Sensors="Accelerometer, proximity sensor, ambient light sensor", Location="A-GPS",
      Connector="30-pin dock connector", SIM_Card="Mini-SIM", Capacity="8/16 GB",
      Release_Date=date("2008-07-11"), Discontinued_Date=date("2010-06-07"))

model({"iPhone2,1": None}, Name="iPhone 3GS",
      Processor=cpu("Samsung ARM Cortex-A8", "0.6"), GPU="PowerVR SGX535", Onboard_RAM=ram(256),
      Display=display("3.5", "LCD", "480 × 320", 163), Rear_Camera=camera("3", "VGA video"),
      Weight=grams(135), Dimensions=mm("115.5", "62.1", "12.3"), Wi_Fi="802.11b/g", Bluetooth=version("2.1"),
      Cellular="UMTS/HSDPA, GSM/EDGE", Battery_Capacity=mah(1219),
      BatteryLife=hours(audio=30, video=10, talk2g=12, talk3g=5, wifi=9, web3g=5),
      Sensors=IPHONE_SENSORS_3GS, Location="A-GPS", Connector="30-pin dock connector", SIM_Card="Mini-SIM",
      Capacity="8/16/32 GB", Release_Date=date("2009-06-19"), Discontinued_Date=date("2012-09-12"))

model({"iPhone3,1": "GSM", "iPhone3,3": "CDMA"}, Name="iPhone 4",
      Processor=cpu("Apple A4"), GPU="PowerVR SGX535", Onboard_RAM=ram(512), Geekbench_2=geekbench(380),
      Display=display("3.5", "Retina", "960 × 640", 326), Front_Camera=camera("0.3", "VGA video"),
      Rear_Camera=camera("5", "720p video"), Weight=grams(137), Dimensions=mm("115.2", "58.6", "9.3"),
      Wi_Fi="802.11b/g/n", Bluetooth=version("2.1"), Cellular="UMTS/HSDPA/HSUPA, GSM/EDGE",
      Battery_Capacity=mah(1420), BatteryLife=hours(audio=40, video=10, talk2g=14, talk3g=7, wifi=10, web3g=6),
      Sensors=IPHONE_SENSORS_4, Location="A-GPS", Connector="30-pin dock connector", SIM_Card="Micro-SIM",
      Capacity="8/16/32 GB", Release_Date=date("2010-06-24"), Discontinued_Date=date("2013-09-10"))
variant("iPhone3,3", Cellular="CDMA EV-DO Rev. A", Release_Date=date("2011-02-10"), SIM_Card=None)

model({"iPhone4,1": None}, Name="iPhone 4S",
      Processor=cpu("Apple A5", "0.8", "Dual-core"), GPU="PowerVR SGX543MP2", Onboard_RAM=ram(512),
      Geekbench_2=geekbench(630), Display=display("3.5", "Retina", "960 × 640", 326),
      Front_Camera=camera("0.3", "VGA video"), Rear_Camera=camera("8", "1080p video"), Weight=grams(140),
      Dimensions=mm("115.2", "58.6", "9.3"), Wi_Fi="802.11b/g/n", Bluetooth=version("4.0"),
      Cellular="HSPA+, UMTS, GSM/EDGE, CDMA EV-DO Rev. A", Battery_Capacity=mah(1432),
      BatteryLife=hours(audio=40, video=10, talk2g=14, talk3g=8, wifi=9, web3g=6),
      Sensors=IPHONE_SENSORS_4, Location="A-GPS, GLONASS", Connector="30-pin dock connector",
      SIM_Card="Micro-SIM", Capacity="16/32/64 GB", Price=price(649, "16 GB, without contract"),
      Release_Date=date("2011-10-14"), Discontinued_Date=date("2014-09-09"))

model({"iPhone5,1": "GSM", "iPhone5,2": "Global"}, Name="iPhone 5",
      Processor=cpu("Apple A6", "1.3", "Dual-core"), GPU="PowerVR SGX543MP3", Onboard_RAM=ram(1024, "LPDDR2"),
      Geekbench_2=geekbench(1640), Display=display("4.0", "Retina", "1136 × 640", 326),
      Front_Camera=camera("1.2", "720p video"), Rear_Camera=camera("8", "1080p video"), Weight=grams(112),
      Dimensions=mm("123.8", "58.6", "7.6"), Wi_Fi="802.11a/b/g/n", Bluetooth=version("4.0"), Cellular="LTE",
      Battery_Capacity=mah(1440), BatteryLife=hours(audio=40, video=10, talk3g=8, wifi=10, web3g=8, lte=8),
      Sensors=IPHONE_SENSORS_4, Location="A-GPS, GLONASS", Connector="Lightning", SIM_Card="Nano-SIM",
      Capacity="16/32/64 GB", Price=price(649, "16 GB, without contract"),
      Release_Date=date("2012-09-21"), Discontinued_Date=date("2013-09-10"))

model({"iPhone5,3": "GSM", "iPhone5,4": "Global"}, Name="iPhone 5c",
      Processor=cpu("Apple A6", "1.3", "Dual-core"), GPU="PowerVR SGX543MP3", Onboard_RAM=ram(1024, "LPDDR2"),
      Display=display("4.0", "Retina", "1136 × 640", 326), Front_Camera=camera("1.2", "720p video"),
      Rear_Camera=camera("8", "1080p video"), Weight=grams(132), Dimensions=mm("124.4", "59.2", "8.97"),
      Wi_Fi="802.11a/b/g/n", Bluetooth=version("4.0"), Cellular="LTE", Battery_Capacity=mah(1510),
      BatteryLife=hours(audio=40, video=10, talk3g=10, wifi=10, web3g=8, lte=10),
      Sensors=IPHONE_SENSORS_4, Location="A-GPS, GLONASS", Connector="Lightning", SIM_Card="Nano-SIM",
      Capacity="16/32 GB", Price=price(549, "16 GB, without contract"),
      Release_Date=date("2013-09-20"), Discontinued_Date=date("2015-09-09"))

model({"iPhone6,1": "GSM", "iPhone6,2": "Global"}, Name="iPhone 5s",
      Processor=cpu("Apple A7", "1.3", "Dual-core, 64-bit"), GPU="PowerVR G6430", Onboard_RAM=ram(1024, "LPDDR3"),
      Geekbench_3=geekbench(2540), Display=display("4.0", "Retina", "1136 × 640", 326),
      Front_Camera=camera("1.2", "720p video"), Rear_Camera=camera("8", "1080p video"), Weight=grams(112),
      Dimensions=mm("123.8", "58.6", "7.6"), Wi_Fi="802.11a/b/g/n", Bluetooth=version("4.0"), Cellular="LTE",
      Battery_Capacity=mah(1560), BatteryLife=hours(audio=40, video=10, talk3g=10, wifi=10, web3g=8, lte=10),
      Sensors=IPHONE_SENSORS_5S, Location="A-GPS, GLONASS", Connector="Lightning", SIM_Card="Nano-SIM",
      Capacity="16/32/64 GB", Price=price(649, "16 GB, without contract"),
      Release_Date=date("2013-09-20"), Discontinued_Date=date("2016-03-21"))

model({"iPhone7,2": None}, Name="iPhone 6",
      Processor=cpu("Apple A8", "1.4", "Dual-core, 64-bit"), GPU="PowerVR GX6450", Onboard_RAM=ram(1024, "LPDDR3"),
      Geekbench_3=geekbench(2900), Display=display("4.7", "Retina HD", "1334 × 750", 326),
      Front_Camera=camera("1.2", "720p video"), Rear_Camera=camera("8", "1080p video"), Weight=grams(129),
      Dimensions=mm("138.1", "67.0", "6.9"), Wi_Fi="802.11a/b/g/n/ac", Bluetooth=version("4.0"), Cellular="LTE",
      Battery_Capacity=mah(1810), BatteryLife=hours(audio=50, video=11, talk3g=14, wifi=11, web3g=10, lte=10),
      Sensors=IPHONE_SENSORS_6, Location="A-GPS, GLONASS", Connector="Lightning", SIM_Card="Nano-SIM",
      Capacity="16/64/128 GB", Price=price(649, "16 GB, without contract"),
      Release_Date=date("2014-09-19"), Discontinued_Date=date("2016-09-07"))

model({"iPhone7,1": None}, Name="iPhone 6 Plus",
      Processor=cpu("Apple A8", "1.4", "Dual-core, 64-bit"), GPU="PowerVR GX6450", Onboard_RAM=ram(1024, "LPDDR3"),
      Geekbench_3=geekbench(2900), Display=display("5.5", "Retina HD", "1920 × 1080", 401),
      Front_Camera=camera("1.2", "720p video"), Rear_Camera=camera("8", "1080p video, optical image stabilisation"),
      Weight=grams(172), Dimensions=mm("158.1", "77.8", "7.1"), Wi_Fi="802.11a/b/g/n/ac", Bluetooth=version("4.0"),
      Cellular="LTE", Battery_Capacity=mah(2915),
      BatteryLife=hours(audio=80, video=14, talk3g=24, wifi=12, web3g=12, lte=12),
      Sensors=IPHONE_SENSORS_6, Location="A-GPS, GLONASS", Connector="Lightning", SIM_Card="Nano-SIM",
      Capacity="16/64/128 GB", Price=price(749, "16 GB, without contract"),
      Release_Date=date("2014-09-19"), Discontinued_Date=date("2016-09-07"))

model({"iPhone8,1": None}, Name="iPhone 6s",
      Processor=cpu("Apple A9", "1.85", "Dual-core, 64-bit"), GPU="PowerVR GT7600", Onboard_RAM=ram(2048, "LPDDR4"),
      Geekbench_3=geekbench(4400), Display=display("4.7", "Retina HD, 3D Touch", "1334 × 750", 326),
      Front_Camera=camera("5", "720p video"), Rear_Camera=camera("12", "4K video"), Weight=grams(143),
      Dimensions=mm("138.3", "67.1", "7.1"), Wi_Fi="802.11a/b/g/n/ac", Bluetooth=version("4.2"),
      Cellular="LTE Advanced", Battery_Capacity=mah(1715),
      BatteryLife=hours(audio=50, video=11, talk3g=14, wifi=11, web3g=10, lte=10),
      Sensors=IPHONE_SENSORS_6, Location="A-GPS, GLONASS", Connector="Lightning", SIM_Card="Nano-SIM",
      Capacity="16/64/128 GB", Price=price(649, "16 GB, without contract"),
      Release_Date=date("2015-09-25"), Discontinued_Date=date("2018-09-12"))

model({"iPhone8,2": None}, Name="iPhone 6s Plus",
      Processor=cpu("Apple A9", "1.85", "Dual-core, 64-bit"), GPU="PowerVR GT7600", Onboard_RAM=ram(2048, "LPDDR4"),
      Geekbench_3=geekbench(4400), Display=display("5.5", "Retina HD, 3D Touch", "1920 × 1080", 401),
      Front_Camera=camera("5", "720p video"), Rear_Camera=camera("12", "4K video, optical image stabilisation"),
      Weight=grams(192), Dimensions=mm("158.2", "77.9", "7.3"), Wi_Fi="802.11a/b/g/n/ac", Bluetooth=version("4.2"),
      Cellular="LTE Advanced", Battery_Capacity=mah(2750),
      BatteryLife=hours(audio=80, video=14, talk3g=24, wifi=12, web3g=12, lte=12),
      Sensors=IPHONE_SENSORS_6, Location="A-GPS, GLONASS", Connector="Lightning", SIM_Card="Nano-SIM",
      Capacity="16/64/128 GB", Price=price(749, "16 GB, without contract"),
      Release_Date=date("2015-09-25"), Discontinued_Date=date("2018-09-12"))

model({"iPhone8,4": "1st generation"}, Name="iPhone SE",
      Processor=cpu("Apple A9", "1.85", "Dual-core, 64-bit"), GPU="PowerVR GT7600", Onboard_RAM=ram(2048, "LPDDR4"),
      Geekbench_3=geekbench(4400), Display=display("4.0", "Retina", "1136 × 640", 326),
      Front_Camera=camera("1.2", "720p video"), Rear_Camera=camera("12", "4K video"), Weight=grams(113),
      Dimensions=mm("123.8", "58.6", "7.6"), Wi_Fi="802.11a/b/g/n/ac", Bluetooth=version("4.2"), Cellular="LTE",
      Battery_Capacity=mah(1624), BatteryLife=hours(audio=50, video=13, talk3g=14, wifi=13, web3g=12, lte=13),
      Sensors=IPHONE_SENSORS_5S, Location="A-GPS, GLONASS", Connector="Lightning", SIM_Card="Nano-SIM",
      Capacity="16/64 GB", Price=price(399, "16 GB"),
      Release_Date=date("2016-03-31"), Discontinued_Date=date("2018-09-12"))

model({"iPhone9,1": "Global", "iPhone9,3": "GSM"}, Name="iPhone 7",
      Processor=cpu("Apple A10 Fusion", "2.34", "Quad-core, 64-bit"), Onboard_RAM=ram(2048, "LPDDR4"),
      Geekbench_3=geekbench(5600), Display=display("4.7", "Retina HD, 3D Touch", "1334 × 750", 326),
      Front_Camera=camera("7", "1080p video"), Rear_Camera=camera("12", "4K video, optical image stabilisation"),
      Weight=grams(138), Dimensions=mm("138.3", "67.1", "7.1"), Wi_Fi="802.11a/b/g/n/ac", Bluetooth=version("4.2"),
      Cellular="LTE Advanced", Battery_Capacity=mah(1960),
      BatteryLife=hours(audio=40, video=13, talk3g=14, wifi=14, web3g=12, lte=12),
      Sensors=IPHONE_SENSORS_6, Location="A-GPS, GLONASS", Connector="Lightning", SIM_Card="Nano-SIM",
      Capacity="32/128/256 GB", Price=price(649, "32 GB"),
      Release_Date=date("2016-09-16"), Discontinued_Date=date("2019-09-10"))

model({"iPhone9,2": "Global", "iPhone9,4": "GSM"}, Name="iPhone 7 Plus",
      Processor=cpu("Apple A10 Fusion", "2.34", "Quad-core, 64-bit"), Onboard_RAM=ram(3072, "LPDDR4"),
      Geekbench_3=geekbench(5600), Display=display("5.5", "Retina HD, 3D Touch", "1920 × 1080", 401),
      Front_Camera=camera("7", "1080p video"), Rear_Camera=camera("12", "Dual camera: wide-angle and telephoto"),
      Weight=grams(188), Dimensions=mm("158.2", "77.9", "7.3"), Wi_Fi="802.11a/b/g/n/ac", Bluetooth=version("4.2"),
      Cellular="LTE Advanced", Battery_Capacity=mah(2900),
      BatteryLife=hours(audio=60, video=14, talk3g=21, wifi=15, web3g=13, lte=13),
      Sensors=IPHONE_SENSORS_6, Location="A-GPS, GLONASS", Connector="Lightning", SIM_Card="Nano-SIM",
      Capacity="32/128/256 GB", Price=price(769, "32 GB"),
      Release_Date=date("2016-09-16"), Discontinued_Date=date("2019-09-10"))

# From iPhone 8 on the talk and browsing times are no longer rated per network, so only the
# playback times are given.
model({"iPhone10,1": "Global", "iPhone10,4": "GSM"}, Name="iPhone 8",
      Processor=cpu("Apple A11 Bionic", "2.39", "Six-core, 64-bit"), GPU="Apple GPU, three cores",
      Onboard_RAM=ram(2048, "LPDDR4X"), Display=display("4.7", "Retina HD, True Tone", "1334 × 750", 326),
      Front_Camera=camera("7", "1080p video"), Rear_Camera=camera("12", "4K video, optical image stabilisation"),
      Weight=grams(148), Dimensions=mm("138.4", "67.3", "7.3"), Wi_Fi="802.11a/b/g/n/ac", Bluetooth=version("5.0"),
      Cellular="LTE Advanced", Battery_Capacity=mah(1821), BatteryLife=hours(audio=40, video=13),
      Sensors=IPHONE_SENSORS_6, Location="A-GPS, GLONASS, Galileo, QZSS", Connector="Lightning",
      SIM_Card="Nano-SIM", Capacity="64/256 GB", Price=price(699, "64 GB"),
      Release_Date=date("2017-09-22"), Discontinued_Date=date("2020-04-15"))

model({"iPhone10,2": "Global", "iPhone10,5": "GSM"}, Name="iPhone 8 Plus",
      Processor=cpu("Apple A11 Bionic", "2.39", "Six-core, 64-bit"), GPU="Apple GPU, three cores",
      Onboard_RAM=ram(3072, "LPDDR4X"), Display=display("5.5", "Retina HD, True Tone", "1920 × 1080", 401),
      Front_Camera=camera("7", "1080p video"), Rear_Camera=camera("12", "Dual camera: wide-angle and telephoto"),
      Weight=grams(202), Dimensions=mm("158.4", "78.1", "7.5"), Wi_Fi="802.11a/b/g/n/ac", Bluetooth=version("5.0"),
      Cellular="LTE Advanced", Battery_Capacity=mah(2691), BatteryLife=hours(audio=60, video=14),
      Sensors=IPHONE_SENSORS_6, Location="A-GPS, GLONASS, Galileo, QZSS", Connector="Lightning",
      SIM_Card="Nano-SIM", Capacity="64/256 GB", Price=price(799, "64 GB"),
      Release_Date=date("2017-09-22"), Discontinued_Date=date("2020-04-15"))

model({"iPhone10,3": "Global", "iPhone10,6": "GSM"}, Name="iPhone X",
      Processor=cpu("Apple A11 Bionic", "2.39", "Six-core, 64-bit"), GPU="Apple GPU, three cores",
      Onboard_RAM=ram(3072, "LPDDR4X"), Display=display("5.8", "Super Retina HD, OLED", "2436 × 1125", 458),
      Front_Camera=camera("7", "TrueDepth camera, 1080p video"),
      Rear_Camera=camera("12", "Dual camera: wide-angle and telephoto"), Weight=grams(174),
      Dimensions=mm("143.6", "70.9", "7.7"), Wi_Fi="802.11a/b/g/n/ac", Bluetooth=version("5.0"),
      Cellular="LTE Advanced", Battery_Capacity=mah(2716), BatteryLife=hours(audio=60, video=13),
      Sensors=IPHONE_SENSORS_X, Location="A-GPS, GLONASS, Galileo, QZSS", Connector="Lightning",
      SIM_Card="Nano-SIM", Capacity="64/256 GB", Price=price(999, "64 GB"),
      Release_Date=date("2017-11-03"), Discontinued_Date=date("2018-09-12"))

model({"iPhone11,2": None}, Name="iPhone XS",
      Processor=cpu("Apple A12 Bionic", "2.49", "Six-core, 64-bit"), GPU="Apple GPU, four cores",
      Onboard_RAM=ram(4096, "LPDDR4X"), Display=display("5.8", "Super Retina HD, OLED", "2436 × 1125", 458),
      Front_Camera=camera("7", "TrueDepth camera, 1080p video"),
      Rear_Camera=camera("12", "Dual camera: wide-angle and telephoto"), Weight=grams(177),
      Dimensions=mm("143.6", "70.9", "7.7"), Wi_Fi="802.11a/b/g/n/ac", Bluetooth=version("5.0"),
      Cellular="Gigabit-class LTE", Battery_Capacity=mah(2658), BatteryLife=hours(audio=60, video=14),
      Sensors=IPHONE_SENSORS_X, Location="A-GPS, GLONASS, Galileo, QZSS", Connector="Lightning",
      SIM_Card="Nano-SIM and eSIM", Capacity="64/256/512 GB", Price=price(999, "64 GB"),
      Release_Date=date("2018-09-21"), Discontinued_Date=date("2019-09-10"))

model({"iPhone11,4": None, "iPhone11,6": None}, Name="iPhone XS Max",
      Processor=cpu("Apple A12 Bionic", "2.49", "Six-core, 64-bit"), GPU="Apple GPU, four cores",
      Onboard_RAM=ram(4096, "LPDDR4X"), Display=display("6.5", "Super Retina HD, OLED", "2688 × 1242", 458),
      Front_Camera=camera("7", "TrueDepth camera, 1080p video"),
      Rear_Camera=camera("12", "Dual camera: wide-angle and telephoto"), Weight=grams(208),
      Dimensions=mm("157.5", "77.4", "7.7"), Wi_Fi="802.11a/b/g/n/ac", Bluetooth=version("5.0"),
      Cellular="Gigabit-class LTE", Battery_Capacity=mah(3174), BatteryLife=hours(audio=65, video=15),
      Sensors=IPHONE_SENSORS_X, Location="A-GPS, GLONASS, Galileo, QZSS", Connector="Lightning",
      SIM_Card="Nano-SIM and eSIM", Capacity="64/256/512 GB", Price=price(1099, "64 GB"),
      Release_Date=date("2018-09-21"), Discontinued_Date=date("2019-09-10"))

model({"iPhone11,8": None}, Name="iPhone XR",
      Processor=cpu("Apple A12 Bionic", "2.49", "Six-core, 64-bit"), GPU="Apple GPU, four cores",
      Onboard_RAM=ram(3072, "LPDDR4X"), Display=display("6.1", "Liquid Retina HD, LCD", "1792 × 828", 326),
      Front_Camera=camera("7", "TrueDepth camera, 1080p video"), Rear_Camera=camera("12", "4K video"),
      Weight=grams(194), Dimensions=mm("150.9", "75.7", "8.3"), Wi_Fi="802.11a/b/g/n/ac", Bluetooth=version("5.0"),
      Cellular="LTE Advanced", Battery_Capacity=mah(2942), BatteryLife=hours(audio=65, video=16),
      Sensors=IPHONE_SENSORS_X, Location="A-GPS, GLONASS, Galileo, QZSS", Connector="Lightning",
      SIM_Card="Nano-SIM and eSIM", Capacity="64/128/256 GB", Price=price(749, "64 GB"),
      Release_Date=date("2018-10-26"), Discontinued_Date=date("2021-09-14"))

model({"iPhone12,1": None}, Name="iPhone 11",
      Processor=cpu("Apple A13 Bionic", "2.65", "Six-core, 64-bit"), GPU="Apple GPU, four cores",
      Onboard_RAM=ram(4096, "LPDDR4X"), Display=display("6.1", "Liquid Retina HD, LCD", "1792 × 828", 326),
      Front_Camera=camera("12", "TrueDepth camera, 4K video"),
      Rear_Camera=camera("12", "Dual camera: wide and ultra wide"), Weight=grams(194),
      Dimensions=mm("150.9", "75.7", "8.3"), Wi_Fi="802.11ax (Wi-Fi 6)", Bluetooth=version("5.0"),
      Cellular="Gigabit-class LTE", Battery_Capacity=mah(3110), BatteryLife=hours(audio=65, video=17),
      Sensors=IPHONE_SENSORS_X, Location="A-GPS, GLONASS, Galileo, QZSS", Connector="Lightning",
      SIM_Card="Nano-SIM and eSIM", Capacity="64/128/256 GB", Price=price(699, "64 GB"),
      Release_Date=date("2019-09-20"), Discontinued_Date=date("2022-09-07"))

model({"iPhone12,3": None}, Name="iPhone 11 Pro",
      Processor=cpu("Apple A13 Bionic", "2.65", "Six-core, 64-bit"), GPU="Apple GPU, four cores",
      Onboard_RAM=ram(4096, "LPDDR4X"), Display=display("5.8", "Super Retina XDR, OLED", "2436 × 1125", 458),
      Front_Camera=camera("12", "TrueDepth camera, 4K video"),
      Rear_Camera=camera("12", "Triple camera: wide, ultra wide and telephoto"), Weight=grams(188),
      Dimensions=mm("144.0", "71.4", "8.1"), Wi_Fi="802.11ax (Wi-Fi 6)", Bluetooth=version("5.0"),
      Cellular="Gigabit-class LTE", Battery_Capacity=mah(3046), BatteryLife=hours(audio=65, video=18),
      Sensors=IPHONE_SENSORS_X, Location="A-GPS, GLONASS, Galileo, QZSS", Connector="Lightning",
      SIM_Card="Nano-SIM and eSIM", Capacity="64/256/512 GB", Price=price(999, "64 GB"),
      Release_Date=date("2019-09-20"), Discontinued_Date=date("2020-10-13"))

model({"iPhone12,5": None}, Name="iPhone 11 Pro Max",
      Processor=cpu("Apple A13 Bionic", "2.65", "Six-core, 64-bit"), GPU="Apple GPU, four cores",
      Onboard_RAM=ram(4096, "LPDDR4X"), Display=display("6.5", "Super Retina XDR, OLED", "2688 × 1242", 458),
      Front_Camera=camera("12", "TrueDepth camera, 4K video"),
      Rear_Camera=camera("12", "Triple camera: wide, ultra wide and telephoto"), Weight=grams(226),
      Dimensions=mm("158.0", "77.8", "8.1"), Wi_Fi="802.11ax (Wi-Fi 6)", Bluetooth=version("5.0"),
      Cellular="Gigabit-class LTE", Battery_Capacity=mah(3969), BatteryLife=hours(audio=80, video=20),
      Sensors=IPHONE_SENSORS_X, Location="A-GPS, GLONASS, Galileo, QZSS", Connector="Lightning",
      SIM_Card="Nano-SIM and eSIM", Capacity="64/256/512 GB", Price=price(1099, "64 GB"),
      Release_Date=date("2019-09-20"), Discontinued_Date=date("2020-10-13"))

model({"iPhone12,8": None}, Name="iPhone SE", DetailName="2nd generation",
      Processor=cpu("Apple A13 Bionic", "2.65", "Six-core, 64-bit"), GPU="Apple GPU, four cores",
      Onboard_RAM=ram(3072, "LPDDR4X"), Display=display("4.7", "Retina HD, True Tone", "1334 × 750", 326),
      Front_Camera=camera("7", "1080p video"), Rear_Camera=camera("12", "4K video, optical image stabilisation"),
      Weight=grams(148), Dimensions=mm("138.4", "67.3", "7.3"), Wi_Fi="802.11ax (Wi-Fi 6)", Bluetooth=version("5.0"),
      Cellular="Gigabit-class LTE", Battery_Capacity=mah(1821), BatteryLife=hours(audio=40, video=13),
      Sensors=IPHONE_SENSORS_6, Location="A-GPS, GLONASS, Galileo, QZSS", Connector="Lightning",
      SIM_Card="Nano-SIM and eSIM", Capacity="64/128/256 GB", Price=price(399, "64 GB"),
      Release_Date=date("2020-04-24"), Discontinued_Date=date("2022-03-08"))

# ---- iPad ------------------------------------------------------------------------------------

IPAD_SENSORS = "Three-axis gyro, accelerometer, ambient light sensor"
IPAD_SENSORS_TOUCH_ID = "Touch ID, three-axis gyro, accelerometer, barometer, ambient light sensor"
IPAD_LIFE = hours(audio=10, video=10, wifi=10)
IPAD_LIFE_3G = hours(audio=10, video=10, wifi=10, web3g=9)
IPAD_LIFE_LTE = hours(audio=10, video=10, wifi=10, lte=9)


def cellular_ipad(keys, cellular, weight, life, location="A-GPS, GLONASS", sim="Nano-SIM"):
    for key in keys:
        variant(key, Cellular=cellular, Weight=grams(weight), BatteryLife=life, Location=location, SIM_Card=sim)


model({"iPad1,1": None}, Name="iPad",
      Processor=cpu("Apple A4", "1.0"), GPU="PowerVR SGX535", Onboard_RAM=ram(256),
      Display=display("9.7", "LED-backlit IPS LCD", "1024 × 768", 132), Weight=grams(680),
      Dimensions=mm("242.8", "189.7", "13.4"), Wi_Fi="802.11a/b/g/n", Bluetooth=version("2.1"),
      Battery_Capacity=mah(6613, "25"), BatteryLife=IPAD_LIFE_3G,
      Sensors="Accelerometer, ambient light sensor", Connector="30-pin dock connector", Capacity="16/32/64 GB",
      Price=price(499, "16 GB, Wi-Fi"), Release_Date=date("2010-04-03"), Discontinued_Date=date("2011-03-02"))

model({"iPad2,1": "Wi-Fi", "iPad2,2": "Wi-Fi + 3G, GSM", "iPad2,3": "Wi-Fi + 3G, CDMA", "iPad2,4": "Wi-Fi, 2012"},
      Name="iPad 2",
      Processor=cpu("Apple A5", "1.0", "Dual-core"), GPU="PowerVR SGX543MP2", Onboard_RAM=ram(512),
      Geekbench_2=geekbench(760), Display=display("9.7", "LED-backlit IPS LCD", "1024 × 768", 132),
      Front_Camera=camera("0.3", "VGA video"), Rear_Camera=camera("0.7", "720p video"), Weight=grams(601),
      Dimensions=mm("241.2", "185.7", "8.8"), Wi_Fi="802.11a/b/g/n", Bluetooth=version("2.1"),
      Battery_Capacity=mah(6930, "25"), BatteryLife=IPAD_LIFE, Sensors=IPAD_SENSORS,
      Connector="30-pin dock connector", Capacity="16/32/64 GB", Price=price(499, "16 GB, Wi-Fi"),
      Release_Date=date("2011-03-11"), Discontinued_Date=date("2014-03-18"))
cellular_ipad(["iPad2,2"], "UMTS/HSDPA/HSUPA, GSM/EDGE", 613, IPAD_LIFE_3G, "A-GPS", "Micro-SIM")
cellular_ipad(["iPad2,3"], "CDMA EV-DO Rev. A", 607, IPAD_LIFE_3G, "A-GPS", None)

model({"iPad3,1": "Wi-Fi", "iPad3,2": "Wi-Fi + Cellular, Verizon", "iPad3,3": "Wi-Fi + Cellular"},
      Name="iPad", DetailName="3rd generation",
      Processor=cpu("Apple A5X", "1.0", "Dual-core"), GPU="PowerVR SGX543MP4", Onboard_RAM=ram(1024),
      Geekbench_2=geekbench(760), Display=display("9.7", "Retina", "2048 × 1536", 264),
      Front_Camera=camera("0.3", "VGA video"), Rear_Camera=camera("5", "1080p video"), Weight=grams(652),
      Dimensions=mm("241.2", "185.7", "9.4"), Wi_Fi="802.11a/b/g/n", Bluetooth=version("4.0"),
      Battery_Capacity=mah(11560, "42.5"), BatteryLife=IPAD_LIFE, Sensors=IPAD_SENSORS,
      Connector="30-pin dock connector", Capacity="16/32/64 GB", Price=price(499, "16 GB, Wi-Fi"),
      Release_Date=date("2012-03-16"), Discontinued_Date=date("2012-10-23"))
cellular_ipad(["iPad3,2", "iPad3,3"], "LTE", 662, IPAD_LIFE_LTE, "A-GPS, GLONASS", "Micro-SIM")

model({"iPad3,4": "Wi-Fi", "iPad3,5": "Wi-Fi + Cellular", "iPad3,6": "Wi-Fi + Cellular, Global"},
      Name="iPad", DetailName="4th generation",
      Processor=cpu("Apple A6X", "1.4", "Dual-core"), GPU="PowerVR SGX554MP4", Onboard_RAM=ram(1024),
      Geekbench_2=geekbench(1760), Display=display("9.7", "Retina", "2048 × 1536", 264),
      Front_Camera=camera("1.2", "720p video"), Rear_Camera=camera("5", "1080p video"), Weight=grams(652),
      Dimensions=mm("241.2", "185.7", "9.4"), Wi_Fi="802.11a/b/g/n", Bluetooth=version("4.0"),
      Battery_Capacity=mah(11560, "42.5"), BatteryLife=IPAD_LIFE, Sensors=IPAD_SENSORS, Connector="Lightning",
      Capacity="16/32/64/128 GB", Price=price(499, "16 GB, Wi-Fi"),
      Release_Date=date("2012-11-02"), Discontinued_Date=date("2014-10-16"))
cellular_ipad(["iPad3,5", "iPad3,6"], "LTE", 662, IPAD_LIFE_LTE, "A-GPS, GLONASS", "Micro-SIM")

model({"iPad2,5": "Wi-Fi", "iPad2,6": "Wi-Fi + Cellular", "iPad2,7": "Wi-Fi + Cellular, Global"},
      Name="iPad mini",
      Processor=cpu("Apple A5", "1.0", "Dual-core"), GPU="PowerVR SGX543MP2", Onboard_RAM=ram(512),
      Geekbench_2=geekbench(750), Display=display("7.9", "LED-backlit IPS LCD", "1024 × 768", 163),
      Front_Camera=camera("1.2", "720p video"), Rear_Camera=camera("5", "1080p video"), Weight=grams(308),
      Dimensions=mm("200", "134.7", "7.2"), Wi_Fi="802.11a/b/g/n", Bluetooth=version("4.0"),
      Battery_Capacity=mah(4440, "16.3"), BatteryLife=IPAD_LIFE, Sensors=IPAD_SENSORS, Connector="Lightning",
      Capacity="16/32/64 GB", Price=price(329, "16 GB, Wi-Fi"),
      Release_Date=date("2012-11-02"), Discontinued_Date=date("2015-06-19"))
cellular_ipad(["iPad2,6", "iPad2,7"], "LTE", 312, IPAD_LIFE_LTE)

model({"iPad4,1": "Wi-Fi", "iPad4,2": "Wi-Fi + Cellular", "iPad4,3": "Wi-Fi + Cellular, China"},
      Name="iPad Air",
      Processor=cpu("Apple A7", "1.4", "Dual-core, 64-bit"), GPU="PowerVR G6430", Onboard_RAM=ram(1024, "LPDDR3"),
      Geekbench_3=geekbench(2680), Display=display("9.7", "Retina", "2048 × 1536", 264),
      Front_Camera=camera("1.2", "720p video"), Rear_Camera=camera("5", "1080p video"), Weight=grams(469),
      Dimensions=mm("240", "169.5", "7.5"), Wi_Fi="802.11a/b/g/n, MIMO", Bluetooth=version("4.0"),
      Battery_Capacity=mah(8827, "32.4"), BatteryLife=IPAD_LIFE, Sensors=IPAD_SENSORS, Connector="Lightning",
      Capacity="16/32/64/128 GB", Price=price(499, "16 GB, Wi-Fi"),
      Release_Date=date("2013-11-01"), Discontinued_Date=date("2016-03-21"))
cellular_ipad(["iPad4,2", "iPad4,3"], "LTE", 478, IPAD_LIFE_LTE)

model({"iPad4,4": "Wi-Fi", "iPad4,5": "Wi-Fi + Cellular", "iPad4,6": "Wi-Fi + Cellular, China"},
      Name="iPad mini 2",
      Processor=cpu("Apple A7", "1.3", "Dual-core, 64-bit"), GPU="PowerVR G6430", Onboard_RAM=ram(1024, "LPDDR3"),
      Geekbench_3=geekbench(2500), Display=display("7.9", "Retina", "2048 × 1536", 326),
      Front_Camera=camera("1.2", "720p video"), Rear_Camera=camera("5", "1080p video"), Weight=grams(331),
      Dimensions=mm("200", "134.7", "7.5"), Wi_Fi="802.11a/b/g/n, MIMO", Bluetooth=version("4.0"),
      Battery_Capacity=mah(6471, "23.8"), BatteryLife=IPAD_LIFE, Sensors=IPAD_SENSORS, Connector="Lightning",
      Capacity="16/32/64/128 GB", Price=price(399, "16 GB, Wi-Fi"),
      Release_Date=date("2013-11-12"), Discontinued_Date=date("2017-03-21"))
cellular_ipad(["iPad4,5", "iPad4,6"], "LTE", 341, IPAD_LIFE_LTE)

model({"iPad4,7": "Wi-Fi", "iPad4,8": "Wi-Fi + Cellular", "iPad4,9": "Wi-Fi + Cellular, China"},
      Name="iPad mini 3",
      Processor=cpu("Apple A7", "1.3", "Dual-core, 64-bit"), GPU="PowerVR G6430", Onboard_RAM=ram(1024, "LPDDR3"),
      Geekbench_3=geekbench(2500), Display=display("7.9", "Retina", "2048 × 1536", 326),
      Front_Camera=camera("1.2", "720p video"), Rear_Camera=camera("5", "1080p video"), Weight=grams(331),
      Dimensions=mm("200", "134.7", "7.5"), Wi_Fi="802.11a/b/g/n, MIMO", Bluetooth=version("4.0"),
      Battery_Capacity=mah(6471, "23.8"), BatteryLife=IPAD_LIFE, Sensors="Touch ID, three-axis gyro, accelerometer, ambient light sensor",
      Connector="Lightning", Capacity="16/64/128 GB", Price=price(399, "16 GB, Wi-Fi"),
      Release_Date=date("2014-10-22"), Discontinued_Date=date("2015-09-09"))
cellular_ipad(["iPad4,8", "iPad4,9"], "LTE", 341, IPAD_LIFE_LTE)

model({"iPad5,3": "Wi-Fi", "iPad5,4": "Wi-Fi + Cellular"}, Name="iPad Air 2",
      Processor=cpu("Apple A8X", "1.5", "Three-core, 64-bit"), GPU="PowerVR GXA6850",
      Onboard_RAM=ram(2048, "LPDDR3"), Geekbench_3=geekbench(4520),
      Display=display("9.7", "Retina, fully laminated", "2048 × 1536", 264),
      Front_Camera=camera("1.2", "720p video"), Rear_Camera=camera("8", "1080p video"), Weight=grams(437),
      Dimensions=mm("240", "169.5", "6.1"), Wi_Fi="802.11a/b/g/n/ac, MIMO", Bluetooth=version("4.2"),
      Battery_Capacity=mah(7340, "27.3"), BatteryLife=IPAD_LIFE, Sensors=IPAD_SENSORS_TOUCH_ID,
      Connector="Lightning", Capacity="16/64/128 GB", Price=price(499, "16 GB, Wi-Fi"),
      Release_Date=date("2014-10-22"), Discontinued_Date=date("2017-03-21"))
cellular_ipad(["iPad5,4"], "LTE", 444, IPAD_LIFE_LTE)

model({"iPad5,1": "Wi-Fi", "iPad5,2": "Wi-Fi + Cellular"}, Name="iPad mini 4",
      Processor=cpu("Apple A8", "1.5", "Dual-core, 64-bit"), GPU="PowerVR GX6450", Onboard_RAM=ram(2048, "LPDDR3"),
      Display=display("7.9", "Retina, fully laminated", "2048 × 1536", 326),
      Front_Camera=camera("1.2", "720p video"), Rear_Camera=camera("8", "1080p video"), Weight=grams(298.8),
      Dimensions=mm("203.2", "134.8", "6.1"), Wi_Fi="802.11a/b/g/n/ac, MIMO", Bluetooth=version("4.2"),
      Battery_Capacity=mah(5124, "19.1"), BatteryLife=IPAD_LIFE, Sensors=IPAD_SENSORS_TOUCH_ID,
      Connector="Lightning", Capacity="16/64/128 GB", Price=price(399, "16 GB, Wi-Fi"),
      Release_Date=date("2015-09-09"), Discontinued_Date=date("2019-03-18"))
cellular_ipad(["iPad5,2"], "LTE Advanced", 304, IPAD_LIFE_LTE)

model({"iPad6,7": "12.9-inch, Wi-Fi", "iPad6,8": "12.9-inch, Wi-Fi + Cellular"}, Name="iPad Pro",
      Processor=cpu("Apple A9X", "2.26", "Dual-core, 64-bit"), GPU="PowerVR Series 7XT, 12 cores",
      Onboard_RAM=ram(4096, "LPDDR4"), Geekbench_3=geekbench(5400),
      Display=display("12.9", "Retina", "2732 × 2048", 264),
      Front_Camera=camera("1.2", "720p video"), Rear_Camera=camera("8", "1080p video"), Weight=grams(713),
      Dimensions=mm("305.7", "220.6", "6.9"), Wi_Fi="802.11a/b/g/n/ac, MIMO", Bluetooth=version("4.2"),
      Battery_Capacity=mah(10307, "38.5"), BatteryLife=IPAD_LIFE, Sensors=IPAD_SENSORS_TOUCH_ID,
      Connector="Lightning, Smart Connector", Capacity="32/128/256 GB", Price=price(799, "32 GB, Wi-Fi"),
      Release_Date=date("2015-11-11"), Discontinued_Date=date("2017-06-05"))
cellular_ipad(["iPad6,8"], "LTE Advanced", 723, IPAD_LIFE_LTE, sim="Nano-SIM and Apple SIM")

model({"iPad6,3": "9.7-inch, Wi-Fi", "iPad6,4": "9.7-inch, Wi-Fi + Cellular"}, Name="iPad Pro",
      Processor=cpu("Apple A9X", "2.16", "Dual-core, 64-bit"), GPU="PowerVR Series 7XT, 12 cores",
      Onboard_RAM=ram(2048, "LPDDR4"), Display=display("9.7", "Retina, True Tone", "2048 × 1536", 264),
      Front_Camera=camera("5", "720p video"), Rear_Camera=camera("12", "4K video"), Weight=grams(437),
      Dimensions=mm("240", "169.5", "6.1"), Wi_Fi="802.11a/b/g/n/ac, MIMO", Bluetooth=version("4.2"),
      Battery_Capacity=mah(7306, "27.5"), BatteryLife=IPAD_LIFE, Sensors=IPAD_SENSORS_TOUCH_ID,
      Connector="Lightning, Smart Connector", Capacity="32/128/256 GB", Price=price(599, "32 GB, Wi-Fi"),
      Release_Date=date("2016-03-31"), Discontinued_Date=date("2017-06-05"))
cellular_ipad(["iPad6,4"], "LTE Advanced", 444, IPAD_LIFE_LTE, sim="Nano-SIM and Apple SIM")

model({"iPad6,11": "Wi-Fi", "iPad6,12": "Wi-Fi + Cellular"}, Name="iPad", DetailName="5th generation",
      Processor=cpu("Apple A9", "1.85", "Dual-core, 64-bit"), GPU="PowerVR GT7600", Onboard_RAM=ram(2048, "LPDDR4"),
      Display=display("9.7", "Retina", "2048 × 1536", 264),
      Front_Camera=camera("1.2", "720p video"), Rear_Camera=camera("8", "1080p video"), Weight=grams(469),
      Dimensions=mm("240", "169.5", "7.5"), Wi_Fi="802.11a/b/g/n/ac, MIMO", Bluetooth=version("4.2"),
      Battery_Capacity=mah(8827, "32.4"), BatteryLife=IPAD_LIFE, Sensors=IPAD_SENSORS_TOUCH_ID,
      Connector="Lightning", Capacity="32/128 GB", Price=price(329, "32 GB, Wi-Fi"),
      Release_Date=date("2017-03-24"), Discontinued_Date=date("2018-03-27"))
cellular_ipad(["iPad6,12"], "LTE", 478, IPAD_LIFE_LTE, sim="Nano-SIM and Apple SIM")

model({"iPad7,5": "Wi-Fi", "iPad7,6": "Wi-Fi + Cellular"}, Name="iPad", DetailName="6th generation",
      Processor=cpu("Apple A10 Fusion", "2.34", "Quad-core, 64-bit"), Onboard_RAM=ram(2048, "LPDDR4"),
      Display=display("9.7", "Retina", "2048 × 1536", 264),
      Front_Camera=camera("1.2", "720p video"), Rear_Camera=camera("8", "1080p video"), Weight=grams(469),
      Dimensions=mm("240", "169.5", "7.5"), Wi_Fi="802.11a/b/g/n/ac, MIMO", Bluetooth=version("4.2"),
      Battery_Capacity=mah(8827, "32.4"), BatteryLife=IPAD_LIFE, Sensors=IPAD_SENSORS_TOUCH_ID,
      Connector="Lightning", Capacity="32/128 GB", Price=price(329, "32 GB, Wi-Fi"),
      Release_Date=date("2018-03-27"), Discontinued_Date=date("2019-09-10"))
cellular_ipad(["iPad7,6"], "LTE", 478, IPAD_LIFE_LTE, sim="Nano-SIM and Apple SIM")

# ---- iPod touch ------------------------------------------------------------------------------

model({"iPod1,1": None}, Name="iPod touch", DetailName="1st generation",
      Processor=cpu("Samsung ARM11", "0.412"), GPU="PowerVR MBX Lite", Onboard_RAM=ram(128),
      Display=display("3.5", "LCD", "480 × 320", 163), Weight=grams(120), Dimensions=mm("110", "61.8", "8"),
      Wi_Fi="802.11b/g", BatteryLife=hours(audio=22, video=5), Sensors="Accelerometer, ambient light sensor",
      Connector="30-pin dock connector", Capacity="8/16/32 GB", Price=price(299, "8 GB"),
      Release_Date=date("2007-09-13"), Discontinued_Date=date("2008-09-09"))

model({"iPod2,1": None}, Name="iPod touch", DetailName="2nd generation",
      Processor=cpu("Samsung ARM11", "0.533"), GPU="PowerVR MBX Lite", Onboard_RAM=ram(128),
      Display=display("3.5", "LCD", "480 × 320", 163), Weight=grams(115), Dimensions=mm("110", "61.8", "8.5"),
      Wi_Fi="802.11b/g", Bluetooth=version("2.1"), BatteryLife=hours(audio=36, video=6),
      Sensors="Accelerometer, ambient light sensor", Connector="30-pin dock connector", Capacity="8/16/32 GB",
      Price=price(229, "8 GB"), Release_Date=date("2008-09-09"), Discontinued_Date=date("2010-09-01"))

model({"iPod3,1": None}, Name="iPod touch", DetailName="3rd generation",
      Processor=cpu("Samsung ARM Cortex-A8", "0.6"), GPU="PowerVR SGX535", Onboard_RAM=ram(256),
      Display=display("3.5", "LCD", "480 × 320", 163), Weight=grams(115), Dimensions=mm("110", "61.8", "8.5"),
      Wi_Fi="802.11b/g", Bluetooth=version("2.1"), BatteryLife=hours(audio=30, video=6),
      Sensors="Accelerometer, ambient light sensor", Connector="30-pin dock connector", Capacity="32/64 GB",
      Price=price(299, "32 GB"), Release_Date=date("2009-09-09"), Discontinued_Date=date("2010-09-01"))

model({"iPod4,1": None}, Name="iPod touch", DetailName="4th generation",
      Processor=cpu("Apple A4"), GPU="PowerVR SGX535", Onboard_RAM=ram(256),
      Display=display("3.5", "Retina", "960 × 640", 326), Front_Camera=camera("0.3", "VGA video"),
      Rear_Camera=camera("0.7", "720p video"), Weight=grams(101), Dimensions=mm("111", "58.9", "7.2"),
      Wi_Fi="802.11b/g/n", Bluetooth=version("2.1"), BatteryLife=hours(audio=40, video=7),
      Sensors="Three-axis gyro, accelerometer", Connector="30-pin dock connector", Capacity="8/32/64 GB",
      Price=price(229, "8 GB"), Release_Date=date("2010-09-01"), Discontinued_Date=date("2013-05-30"))

model({"iPod5,1": None}, Name="iPod touch", DetailName="5th generation",
      Processor=cpu("Apple A5", None, "Dual-core"), GPU="PowerVR SGX543MP2", Onboard_RAM=ram(512),
      Display=display("4.0", "Retina", "1136 × 640", 326), Front_Camera=camera("1.2", "720p video"),
      Rear_Camera=camera("5", "1080p video"), Weight=grams(88), Dimensions=mm("123.4", "58.6", "6.1"),
      Wi_Fi="802.11a/b/g/n", Bluetooth=version("4.0"), BatteryLife=hours(audio=40, video=8),
      Sensors="Three-axis gyro, accelerometer", Connector="Lightning", Capacity="32/64 GB",
      Price=price(299, "32 GB"), Release_Date=date("2012-10-11"), Discontinued_Date=date("2015-07-15"))

model({"iPod7,1": None}, Name="iPod touch", DetailName="6th generation",
      Processor=cpu("Apple A8", "1.1", "Dual-core, 64-bit"), GPU="PowerVR GX6450", Onboard_RAM=ram(1024, "LPDDR3"),
      Display=display("4.0", "Retina", "1136 × 640", 326), Front_Camera=camera("1.2", "720p video"),
      Rear_Camera=camera("8", "1080p video"), Weight=grams(88), Dimensions=mm("123.4", "58.6", "6.1"),
      Wi_Fi="802.11a/b/g/n/ac", Bluetooth=version("4.1"), BatteryLife=hours(audio=40, video=8),
      Sensors="Three-axis gyro, accelerometer", Connector="Lightning", Capacity="16/32/64/128 GB",
      Price=price(199, "16 GB"), Release_Date=date("2015-07-15"), Discontinued_Date=date("2019-05-28"))

model({"iPod9,1": None}, Name="iPod touch", DetailName="7th generation",
      Processor=cpu("Apple A10 Fusion", None, "Quad-core, 64-bit"), Onboard_RAM=ram(2048, "LPDDR4"),
      Display=display("4.0", "Retina", "1136 × 640", 326), Front_Camera=camera("1.2", "720p video"),
      Rear_Camera=camera("8", "1080p video"), Weight=grams(88), Dimensions=mm("123.4", "58.6", "6.1"),
      Wi_Fi="802.11a/b/g/n/ac", Bluetooth=version("4.1"), BatteryLife=hours(audio=40, video=8),
      Sensors="Three-axis gyro, accelerometer", Connector="Lightning", Capacity="32/128/256 GB",
      Price=price(199, "32 GB"), Release_Date=date("2019-05-28"), Discontinued_Date=date("2022-05-10"))

# ---- Computers -------------------------------------------------------------------------------
#
# Keys are what the kit reads as the model identifier. Single-board computers and Arm laptops:
# the device-tree model without its board revision ("Raspberry Pi 4 Model B" for
# "Raspberry Pi 4 Model B Rev 1.4"; the longest key that begins the identifier wins, so
# "… Model B Plus Rev 1.3" finds "… Model B Plus"). PCs: DMI vendor and product name; Lenovo's
# product name is the machine type ("20XWCTO1WW"), so a ThinkPad's key is the vendor and the
# type's first four characters. Figures are the base configuration's where models vary; a figure
# that differs between configurations without a clear base is left out. Batteries are rated in
# watt-hours (see watt_hours).

PI_CORTEX_A53 = "Quad-core, Arm Cortex-A53, 64-bit"
PI_CORTEX_A72 = "Quad-core, Arm Cortex-A72, 64-bit"
PI_CORTEX_A76 = "Quad-core, Arm Cortex-A76, 64-bit"
PI_ARM11 = "Single-core, ARM1176JZF-S"

model({"Raspberry Pi 5 Model B": None}, Name="Raspberry Pi 5", DetailName="Model B",
      Processor=cpu("Broadcom BCM2712", "2.4", PI_CORTEX_A76), GPU="VideoCore VII",
      Onboard_RAM=ram(4096, "LPDDR4X-4267", "4 or 8 GB at launch"), Wi_Fi="802.11b/g/n/ac",
      Bluetooth=version("5.0"), Price=price(60, "4 GB"))

model({"Raspberry Pi 500": None}, Name="Raspberry Pi 500",
      Processor=cpu("Broadcom BCM2712", "2.4", PI_CORTEX_A76), GPU="VideoCore VII",
      Onboard_RAM=ram(8192, "LPDDR4X-4267"), Wi_Fi="802.11b/g/n/ac", Bluetooth=version("5.0"),
      Release_Date=date("2024-12-09"), Price=price(90, "Computer alone"))

model({"Raspberry Pi 4 Model B": None}, Name="Raspberry Pi 4", DetailName="Model B",
      Processor=cpu("Broadcom BCM2711", "1.5", PI_CORTEX_A72), GPU="VideoCore VI",
      Onboard_RAM=ram(1024, "LPDDR4-3200", "1, 2, 4 or 8 GB"), Wi_Fi="802.11b/g/n/ac",
      Bluetooth=version("5.0"), Release_Date=date("2019-06-24"), Price=price(35, "1 GB"))

model({"Raspberry Pi 400": None}, Name="Raspberry Pi 400",
      Processor=cpu("Broadcom BCM2711", "1.8", PI_CORTEX_A72), GPU="VideoCore VI",
      Onboard_RAM=ram(4096, "LPDDR4-3200"), Dimensions=mm("286", "122", "23"), Wi_Fi="802.11b/g/n/ac",
      Bluetooth=version("5.0"), Release_Date=date("2020-11-02"), Price=price(70, "Computer alone"))

model({"Raspberry Pi Compute Module 4": None}, Name="Raspberry Pi Compute Module 4",
      Processor=cpu("Broadcom BCM2711", "1.5", PI_CORTEX_A72), GPU="VideoCore VI",
      Onboard_RAM=ram(1024, "LPDDR4-3200", "1, 2, 4 or 8 GB"), Release_Date=date("2020-10-19"),
      Price=price(25, "1 GB, without Wi-Fi, without eMMC"))

model({"Raspberry Pi 3 Model B Plus": None}, Name="Raspberry Pi 3", DetailName="Model B+",
      Processor=cpu("Broadcom BCM2837B0", "1.4", PI_CORTEX_A53), GPU="VideoCore IV",
      Onboard_RAM=ram(1024, "LPDDR2"), Wi_Fi="802.11b/g/n/ac", Bluetooth=version("4.2"),
      Release_Date=date("2018-03-14"), Price=price(35, "1 GB"))

model({"Raspberry Pi 3 Model B": None}, Name="Raspberry Pi 3", DetailName="Model B",
      Processor=cpu("Broadcom BCM2837", "1.2", PI_CORTEX_A53), GPU="VideoCore IV",
      Onboard_RAM=ram(1024, "LPDDR2"), Wi_Fi="802.11b/g/n", Bluetooth=version("4.1"),
      Release_Date=date("2016-02-29"), Price=price(35, "1 GB"))

model({"Raspberry Pi 3 Model A Plus": None}, Name="Raspberry Pi 3", DetailName="Model A+",
      Processor=cpu("Broadcom BCM2837B0", "1.4", PI_CORTEX_A53), GPU="VideoCore IV",
      Onboard_RAM=ram(512, "LPDDR2"), Wi_Fi="802.11b/g/n/ac", Bluetooth=version("4.2"),
      Release_Date=date("2018-11-15"), Price=price(25, "512 MB"))

model({"Raspberry Pi 2 Model B": None}, Name="Raspberry Pi 2", DetailName="Model B",
      Processor=cpu("Broadcom BCM2836", "0.9", "Quad-core, Arm Cortex-A7"), GPU="VideoCore IV",
      Onboard_RAM=ram(1024), Release_Date=date("2015-02-02"), Price=price(35, "1 GB"))

model({"Raspberry Pi Zero 2 W": None}, Name="Raspberry Pi Zero 2 W",
      Processor=cpu("Broadcom BCM2710A1", "1.0", PI_CORTEX_A53), GPU="VideoCore IV",
      Onboard_RAM=ram(512, "LPDDR2"), Wi_Fi="802.11b/g/n", Bluetooth=version("4.2"),
      Release_Date=date("2021-10-28"), Price=price(15, "512 MB"))

model({"Raspberry Pi Zero W": None}, Name="Raspberry Pi Zero W",
      Processor=cpu("Broadcom BCM2835", "1.0", PI_ARM11), GPU="VideoCore IV", Onboard_RAM=ram(512),
      Wi_Fi="802.11b/g/n", Bluetooth=version("4.1"), Release_Date=date("2017-02-28"),
      Price=price(10, "512 MB"))

model({"Raspberry Pi Zero": None}, Name="Raspberry Pi Zero",
      Processor=cpu("Broadcom BCM2835", "1.0", PI_ARM11), GPU="VideoCore IV", Onboard_RAM=ram(512),
      Release_Date=date("2015-11-26"), Price=price(5, "512 MB"))

model({"Raspberry Pi Model B Plus": None}, Name="Raspberry Pi 1", DetailName="Model B+",
      Processor=cpu("Broadcom BCM2835", "0.7", PI_ARM11), GPU="VideoCore IV", Onboard_RAM=ram(512),
      Release_Date=date("2014-07-14"), Price=price(35, "512 MB"))

# The first boards shipped with 256 MB, later ones of the same name with 512 MB.
model({"Raspberry Pi Model B": None}, Name="Raspberry Pi 1", DetailName="Model B",
      Processor=cpu("Broadcom BCM2835", "0.7", PI_ARM11), GPU="VideoCore IV",
      Release_Date=date("2012-02-29"), Price=price(35, "Model B"))

model({"Raspberry Pi Model A Plus": None}, Name="Raspberry Pi 1", DetailName="Model A+",
      Processor=cpu("Broadcom BCM2835", "0.7", PI_ARM11), GPU="VideoCore IV",
      Release_Date=date("2014-11-10"), Price=price(20, "Model A+"))

# Pine64's Arm laptops, named by their device trees.
model({"Pine64 Pinebook Pro": None}, Name="Pinebook Pro",
      Processor=cpu("Rockchip RK3399", "1.8", "Six-core, 2 × Arm Cortex-A72, 4 × Arm Cortex-A53, 64-bit"),
      GPU="Mali-T860 MP4", Onboard_RAM=ram(4096, "LPDDR4"), Display=screen("14.1", "IPS LCD", "1920 × 1080"),
      Battery_Capacity=mah(10000), Wi_Fi="802.11b/g/n/ac", Bluetooth=version("5.0"),
      Price=price(199.99, "64 GB eMMC"))

model({"Pine64 Pinebook": None}, Name="Pinebook",
      Processor=cpu("Allwinner A64", None, PI_CORTEX_A53), GPU="Mali-400 MP2",
      Onboard_RAM=ram(2048, "LPDDR3"), Display=screen("11.6", "LCD"), Battery_Capacity=mah(10000),
      Price=price(99, "11.6-inch"))

# Valve's product names are the boards' code names.
STEAM_DECK = dict(Name="Steam Deck", GPU="AMD RDNA 2, 8 compute units", Dimensions=mm("298", "117", "49"),
                  Connector="USB-C")

model({"Valve Jupiter": None}, DetailName="LCD", **STEAM_DECK,
      Processor=cpu("Custom AMD APU", "3.5", "Zen 2, four cores, eight threads"),
      Onboard_RAM=ram(16384, "LPDDR5-5500"), Display=screen("7.0", "IPS LCD, touchscreen", "1280 × 800"),
      Battery_Capacity=watt_hours("40"), Weight=grams(669), Wi_Fi="802.11a/b/g/n/ac", Bluetooth=version("5.0"),
      Capacity="64/256/512 GB", Release_Date=date("2022-02-25"), Price=price(399, "64 GB"))

model({"Valve Galileo": None}, DetailName="OLED", **STEAM_DECK,
      Processor=cpu("Custom AMD APU", "3.5", "Zen 2, four cores, eight threads, 6 nm"),
      Onboard_RAM=ram(16384, "LPDDR5-6400"), Display=screen("7.4", "HDR OLED, touchscreen, 90 Hz", "1280 × 800"),
      Battery_Capacity=watt_hours("50"), Weight=grams(640), Wi_Fi="802.11a/b/g/n/ac/ax, Wi-Fi 6E",
      Bluetooth=version("5.3"), Capacity="512 GB/1 TB", Release_Date=date("2023-11-16"), Price=price(549, "512 GB"))

# The first Framework Laptop calls itself just "Laptop", which begins every later model's
# identifier; left out so that a newer model missing here shows as unknown rather than as it.
FRAMEWORK_13 = dict(Name="Framework Laptop 13", Display=screen("13.5", details="2256 × 1504, 3:2"),
                    Weight=grams(1300), Dimensions=mm("296.63", "228.98", "15.85"), Connector="USB-C")

model({"Framework Laptop (12th Gen Intel Core)": None}, DetailName="12th Gen Intel Core", **FRAMEWORK_13,
      Processor=cpu("Intel Core (12th Gen)", None, "i5-1240P, i7-1260P or i7-1280P"),
      Battery_Capacity=watt_hours("55"), Wi_Fi="802.11a/b/g/n/ac/ax, Wi-Fi 6E")

model({"Framework Laptop (13th Gen Intel Core)": None}, DetailName="13th Gen Intel Core", **FRAMEWORK_13,
      Processor=cpu("Intel Core (13th Gen)", None, "i5-1340P, i7-1360P or i7-1370P"),
      Wi_Fi="802.11a/b/g/n/ac/ax, Wi-Fi 6E")

# Firmware spells the series with and without a space ("7040Series)", "7040 Series)"): the key
# ends before it, so both find this one entry.
model({"Framework Laptop 13 (AMD Ryzen 7040": None},
      DetailName="AMD Ryzen 7040 Series", **FRAMEWORK_13,
      Processor=cpu("AMD Ryzen 7040 Series", None, "Ryzen 5 7640U or Ryzen 7 7840U"),
      GPU="AMD Radeon 760M or 780M", Battery_Capacity=watt_hours("61"), Wi_Fi="802.11a/b/g/n/ac/ax, Wi-Fi 6E")

model({"Framework Laptop 16 (AMD Ryzen 7040 Series)": None}, Name="Framework Laptop 16",
      DetailName="AMD Ryzen 7040 Series",
      Processor=cpu("AMD Ryzen 7040 Series", None, "Ryzen 7 7840HS or Ryzen 9 7940HS"),
      Display=screen("16.0", details="2560 × 1600, 16:10, 165 Hz"), Battery_Capacity=watt_hours("85"),
      Dimensions=mm("356.58", "270.00", "17.95"), Wi_Fi="802.11a/b/g/n/ac/ax, Wi-Fi 6E", Connector="USB-C")


def thinkpad(types, name, generation, processor, **fields):
    """One ThinkPad generation; types maps each machine type (first four characters) to its platform.
    The type ends the detail name, as it is printed on the machine's label, so that the types of
    one generation read apart in the lists."""
    for machine_type, platform in types.items():
        model({"LENOVO " + machine_type: None}, Name=name,
              DetailName=", ".join(part for part in (generation, platform, machine_type) if part),
              Processor=cpu(processor[platform] if isinstance(processor, dict) else processor), **fields)


X1_16_9 = screen("14.0", details="16:9")
X1_16_10 = screen("14.0", details="16:10")

thinkpad({"20KG": None, "20KH": None}, "ThinkPad X1 Carbon", "Gen 6", "Intel Core (8th Gen)",
         Onboard_RAM=ram(8192, "LPDDR3"), Display=X1_16_9, Battery_Capacity=watt_hours("57"),
         Weight=grams(1130), Dimensions=mm("323.5", "217.1", "15.95"))
thinkpad({"20QD": None, "20QE": None}, "ThinkPad X1 Carbon", "Gen 7", "Intel Core (8th Gen)",
         Onboard_RAM=ram(8192, "LPDDR3"), Display=X1_16_9, Battery_Capacity=watt_hours("51"),
         Weight=grams(1090), Dimensions=mm("323", "217", "14.95"))
thinkpad({"20U9": None, "20UA": None}, "ThinkPad X1 Carbon", "Gen 8", "Intel Core (10th Gen)",
         Onboard_RAM=ram(8192, "LPDDR3"), Display=X1_16_9, Battery_Capacity=watt_hours("51"),
         Weight=grams(1090), Dimensions=mm("323", "217", "14.95"))
thinkpad({"20XW": None, "20XX": None}, "ThinkPad X1 Carbon", "Gen 9", "Intel Core (11th Gen)",
         Onboard_RAM=ram(8192, "LPDDR4X"), Display=X1_16_10, Battery_Capacity=watt_hours("57"),
         Weight=grams(1130), Dimensions=mm("314.5", "221.6", "14.9"))
thinkpad({"21CB": None, "21CC": None}, "ThinkPad X1 Carbon", "Gen 10", "Intel Core (12th Gen)",
         Onboard_RAM=ram(8192, "LPDDR5"), Display=X1_16_10, Battery_Capacity=watt_hours("57"),
         Weight=grams(1120), Dimensions=mm("315.6", "222.5", "15.36"))
thinkpad({"21HM": None, "21HN": None}, "ThinkPad X1 Carbon", "Gen 11", "Intel Core (13th Gen)",
         Onboard_RAM=ram(8192, "LPDDR5"), Display=X1_16_10, Battery_Capacity=watt_hours("57"),
         Weight=grams(1120), Dimensions=mm("315.6", "222.5", "15.36"))
thinkpad({"21KC": None, "21KD": None}, "ThinkPad X1 Carbon", "Gen 12", "Intel Core Ultra Series 1",
         Display=X1_16_10, Battery_Capacity=watt_hours("57"),
         Weight=grams(1080), Dimensions=mm("315.6", "222.5", "14.96"))

# The T14 and X13 come with Intel or AMD processors, each platform with machine types of its own.
thinkpad({"20S0": "Intel", "20S1": "Intel", "20UD": "AMD", "20UE": "AMD"}, "ThinkPad T14", "Gen 1",
         {"Intel": "Intel Core (10th Gen)", "AMD": "AMD Ryzen PRO 4000 Series"}, Display=screen("14.0", details="16:9"))
thinkpad({"20W0": "Intel", "20W1": "Intel", "20XK": "AMD", "20XL": "AMD"}, "ThinkPad T14", "Gen 2",
         {"Intel": "Intel Core (11th Gen)", "AMD": "AMD Ryzen PRO 5000 Series"}, Display=screen("14.0", details="16:9"))
thinkpad({"21AH": "Intel", "21AJ": "Intel", "21CF": "AMD", "21CG": "AMD"}, "ThinkPad T14", "Gen 3",
         {"Intel": "Intel Core (12th Gen)", "AMD": "AMD Ryzen PRO 6000 Series"}, Display=screen("14.0", details="16:10"))
thinkpad({"21HD": "Intel", "21HE": "Intel", "21K3": "AMD", "21K4": "AMD"}, "ThinkPad T14", "Gen 4",
         {"Intel": "Intel Core (13th Gen)", "AMD": "AMD Ryzen PRO 7040 Series"}, Display=screen("14.0", details="16:10"))
thinkpad({"20T2": "Intel", "20T3": "Intel", "20UF": "AMD", "20UG": "AMD"}, "ThinkPad X13", "Gen 1",
         {"Intel": "Intel Core (10th Gen)", "AMD": "AMD Ryzen PRO 4000 Series"}, Display=screen("13.3", details="16:9"))
thinkpad({"20WK": "Intel", "20WL": "Intel", "20XH": "AMD", "20XJ": "AMD"}, "ThinkPad X13", "Gen 2",
         {"Intel": "Intel Core (11th Gen)", "AMD": "AMD Ryzen PRO 5000 Series"}, Display=screen("13.3", details="16:10"))
thinkpad({"21BN": "Intel", "21BO": "Intel", "21CM": "AMD", "21CN": "AMD"}, "ThinkPad X13", "Gen 3",
         {"Intel": "Intel Core (12th Gen)", "AMD": "AMD Ryzen PRO 6000 Series"}, Display=screen("13.3", details="16:10"))
thinkpad({"21EX": "Intel", "21EY": "Intel", "21J3": "AMD", "21J4": "AMD"}, "ThinkPad X13", "Gen 4",
         {"Intel": "Intel Core (13th Gen)", "AMD": "AMD Ryzen PRO 7040 Series"}, Display=screen("13.3", details="16:10"))

# Dell names its models by number; a 2-in-1 adds a suffix to the clamshell's name, so only
# numbers without a 2-in-1 namesake are listed (the 2-in-1 would otherwise take the clamshell's entry).
model({"Dell Inc. XPS 13 9370": None}, Name="XPS 13", DetailName="9370",
      Processor=cpu("Intel Core (8th Gen)"), Display=screen("13.3", details="16:9"), Battery_Capacity=watt_hours("52"),
      Dimensions=mm("302", "199", "11.6"))
model({"Dell Inc. XPS 13 9380": None}, Name="XPS 13", DetailName="9380",
      Processor=cpu("Intel Core (8th Gen)"), Display=screen("13.3", details="16:9"), Battery_Capacity=watt_hours("52"),
      Dimensions=mm("302", "199", "11.6"))
model({"Dell Inc. XPS 13 9300": None}, Name="XPS 13", DetailName="9300",
      Processor=cpu("Intel Core (10th Gen)"), Display=screen("13.4", details="16:10"), Battery_Capacity=watt_hours("52"),
      Dimensions=mm("295.7", "198.7", "14.8"))
model({"Dell Inc. XPS 15 9500": None}, Name="XPS 15", DetailName="9500",
      Processor=cpu("Intel Core (10th Gen)"), Display=screen("15.6", details="16:10"),
      Battery_Capacity=watt_hours("56", "86 Wh option"), Dimensions=mm("344.72", "230.14", "18"))

# HP's product names repeat the maker: "HP EliteBook 840 G8 Notebook PC".
for generation, processor in (("G6", "Intel Core (8th Gen)"), ("G7", "Intel Core (10th Gen)"),
                              ("G8", "Intel Core (11th Gen)")):
    model({"HP HP EliteBook 840 %s Notebook PC" % generation: None}, Name="HP EliteBook 840",
          DetailName=generation, Processor=cpu(processor), Display=screen("14.0", details="16:9"))

model({"Purism Librem 14": None}, Name="Librem 14",
      Processor=cpu("Intel Core i7-10710U", None, "Six-core"), Display=screen("14.0", "IPS LCD, matte", "1920 × 1080"))
model({"Purism Librem 13 v4": None}, Name="Librem 13", DetailName="v4",
      Processor=cpu("Intel Core i7-7500U", None, "Dual-core"), Display=screen("13.3", "IPS LCD, matte", "1920 × 1080"))
model({"Purism Librem 15 v4": None}, Name="Librem 15", DetailName="v4",
      Processor=cpu("Intel Core i7-7500U", None, "Dual-core"), Display=screen("15.6", "IPS LCD, matte"))

# System76's own firmware names a laptop line, not its generation: every Lemur Pro reports
# "System76" and "Lemur Pro", the generation ("lemp13") only in the product version, which the
# identifier leaves out. One entry per line therefore holds only what all its generations share;
# processors, displays and batteries changed between them and are left out.
for line in ("Lemur Pro", "Darter Pro", "Galago Pro", "Oryx Pro"):
    model({"System76 " + line: None}, Name=line)

# TUXEDO writes the model with underscores for spaces: "InfinityBook_S_14_v5".
model({"TUXEDO InfinityBook_S_14_v5": None}, Name="InfinityBook S 14", DetailName="v5",
      Processor=cpu("Intel Core i7-10510U", None, "Quad-core"), Display=screen("14.0", "IPS LCD, matte", "1920 × 1080"))

# ---- Fallback entries --------------------------------------------------------------------------

# A device of a known family whose own identifier is not listed yet, and any other device.
FALLBACKS = {
    "iPhone": {"Name": "iPhone", "DetailName": "Newer model"},
    "iPad": {"Name": "iPad", "DetailName": "Newer model"},
    "iPod": {"Name": "iPod touch", "DetailName": "Newer model"},
    "unknown": {"Name": "Unknown device"},
}
