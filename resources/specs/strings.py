#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Writes the tech specs sections of the English and German string tables.

strings.py RESOURCES_DIR rewrites, in <lang>.lproj/Localizable.strings, only the text between
the "begin"/"end" marker comments of each section named below, so that entries other parts of
the application keep in the same files stay as they are. A missing file or section is created.

The keys are the row labels (last components of the spec key paths), the placeholder and
duration texts, every localisation key the bundled data set uses (plain string values and
the "Value" and "Details" parts of dictionary values), and the alert after a data refresh.
"""

import os
import re
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import generate  # noqa: E402

LABELS_DE = {
    "Audio Playback": "Audiowiedergabe",
    "Battery Capacity": "Akkukapazität",
    "Bluetooth": "Bluetooth",
    "Browsing over 3G": "Surfen über 3G",
    "Browsing over LTE": "Surfen über LTE",
    "Browsing over Wi-Fi": "Surfen im WLAN",
    "Capacity": "Speicherkapazität",
    "Cellular": "Mobilfunk",
    "Connector": "Anschluss",
    "Dimensions": "Abmessungen",
    "Discontinued Date": "Eingestellt am",
    "Display": "Display",
    "Front Camera": "Frontkamera",
    "GPU": "Grafikprozessor",
    "Geekbench 2": "Geekbench 2",
    "Geekbench 3": "Geekbench 3",
    "Location": "Ortung",
    "Onboard RAM": "Arbeitsspeicher",
    "Price": "Preis",
    "Processor": "Prozessor",
    "Rear Camera": "Rückkamera",
    "Release Date": "Erscheinungsdatum",
    "SIM Card": "SIM-Karte",
    "Sensors": "Sensoren",
    "Talk over 2G": "Sprechzeit über 2G",
    "Talk over 3G": "Sprechzeit über 3G",
    "Video Playback": "Videowiedergabe",
    "Weight": "Gewicht",
    "Wi-Fi": "WLAN",
}

# "Duration" follows a battery-life figure directly, so it carries its own leading space.
COMMON = {
    "en": {"Duration": " hours", "n/a": "n/a"},
    "de": {"Duration": " Stunden", "n/a": "k. A."},
}

# German for the words of data-set values; values are translated part by part (comma-separated),
# and parts without an entry here are technical names that read the same in German.
PHRASES_DE = {
    "30-pin dock connector": "30-poliger Dock-Anschluss",
    "64-bit": "64-Bit",
    "720p video": "720p-Video",
    "1080p video": "1080p-Video",
    "4K video": "4K-Video",
    "VGA video": "VGA-Video",
    "Accelerometer": "Beschleunigungssensor",
    "accelerometer": "Beschleunigungssensor",
    "ambient light sensor": "Umgebungslichtsensor",
    "proximity sensor": "Näherungssensor",
    "digital compass": "digitaler Kompass",
    "Three-axis gyro": "Drei-Achsen-Gyrosensor",
    "three-axis gyro": "Drei-Achsen-Gyrosensor",
    "barometer": "Barometer",
    "Apple GPU": "Apple-GPU",
    "three cores": "drei Kerne",
    "four cores": "vier Kerne",
    "12 cores": "12 Kerne",
    "Dual-core": "Zweikern",
    "Three-core": "Dreikern",
    "Quad-core": "Vierkern",
    "Six-core": "Sechskern",
    "Multi-core": "Mehrkern",
    "Dual camera: wide-angle and telephoto": "Dual-Kamera: Weitwinkel und Tele",
    "Dual camera: wide and ultra wide": "Dual-Kamera: Weitwinkel und Ultraweitwinkel",
    "Triple camera: wide": "Dreifach-Kamera: Weitwinkel",
    "ultra wide and telephoto": "Ultraweitwinkel und Tele",
    "TrueDepth camera": "TrueDepth-Kamera",
    "optical image stabilisation": "optischer Bildstabilisator",
    "LED-backlit IPS LCD": "IPS-LCD mit LED-Hintergrundbeleuchtung",
    "fully laminated": "voll laminiert",
    "Gigabit-class LTE": "Gigabit-LTE",
    "Nano-SIM and eSIM": "Nano-SIM und eSIM",
    "Nano-SIM and Apple SIM": "Nano-SIM und Apple SIM",
    "without contract": "ohne Vertrag",
    "Wi-Fi": "WLAN",
    "Single-core": "Einkern",
    "eight threads": "acht Threads",
    "8 compute units": "8 Recheneinheiten",
    "Custom AMD APU": "Angepasste AMD-APU",
    "touchscreen": "Touchscreen",
    "matte": "matt",
    "Computer alone": "Nur der Computer",
    "without Wi-Fi": "ohne WLAN",
    "without eMMC": "ohne eMMC",
    "4 or 8 GB at launch": "4 oder 8 GB zum Marktstart",
    "86 Wh option": "86 Wh als Option",
    "11.6-inch": "11,6 Zoll",
}

# Alternatives in a value ("Ryzen 5 7640U or Ryzen 7 7840U") read the same apart from the word.
WORDS_DE = {" or ": " oder "}

# The alert shown after a refresh has stored a newer data set.
REFRESH = {
    "en": {
        "NewSpecsDataAvailableTitle": "New data available",
        "NewSpecsDataAvailableMessage": "The device data has been updated.",
    },
    "de": {
        "NewSpecsDataAvailableTitle": "Neue Daten verfügbar",
        "NewSpecsDataAvailableMessage": "Die Gerätedaten wurden aktualisiert.",
    },
}

SECTIONS = [
    ("Specification labels", lambda lang: {k: (k if lang == "en" else v) for k, v in LABELS_DE.items()}),
    ("Specification placeholders", lambda lang: COMMON[lang]),
    ("Specifications data set values", lambda lang: data_set_values(lang)),
    ("Data refresh alert", lambda lang: REFRESH[lang]),
]


def data_set_keys():
    keys = set()
    for entry in generate.build().values():
        for field, value in entry.items():
            if field in ("Name", "DetailName", "BatteryLife"):
                continue
            if isinstance(value, str):
                keys.add(value)
            elif isinstance(value, dict):
                keys.update(value[part] for part in ("Value", "Details") if part in value)
    return keys


def german(text):
    if text in PHRASES_DE:
        return PHRASES_DE[text]
    parts = []
    for part in text.split(", "):
        part = PHRASES_DE.get(part, part)
        for word, translation in WORDS_DE.items():
            part = part.replace(word, translation)
        parts.append(part)
    return ", ".join(parts)


def data_set_values(lang):
    return {key: (key if lang == "en" else german(key)) for key in data_set_keys()}


def quote(text):
    return '"' + text.replace("\\", "\\\\").replace('"', '\\"').replace("\n", "\\n") + '"'


def section_text(title, entries):
    lines = ["/* ---- %s: begin ---- */" % title]
    for key in sorted(entries, key=lambda k: (k.casefold(), k)):
        lines.append("%s = %s;" % (quote(key), quote(entries[key])))
    lines.append("/* ---- %s: end ---- */" % title)
    return "\n".join(lines)


def rewrite(path, lang):
    text = open(path, encoding="utf-8").read() if os.path.exists(path) else ""
    for title, entries in SECTIONS:
        block = section_text(title, entries(lang))
        pattern = re.compile(r"/\* ---- %s: begin ---- \*/.*?/\* ---- %s: end ---- \*/" % (re.escape(title),
                                                                                            re.escape(title)), re.S)
        if pattern.search(text):
            text = pattern.sub(lambda _: block, text)
        else:
            text = (text.rstrip("\n") + "\n\n" if text.strip() else "") + block + "\n"
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path + ".tmp", "w", encoding="utf-8") as f:
        f.write(text)
    os.replace(path + ".tmp", path)


def main(argv):
    if len(argv) != 2:
        sys.stderr.write(__doc__ + "\n")
        return 2
    for lang in ("en", "de"):
        rewrite(os.path.join(argv[1], "%s.lproj" % lang, "Localizable.strings"), lang)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
