#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Writes the bundled data set as an XML property list: generate.py OUTPUT"""

import os
import plistlib
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import models  # noqa: E402


def build():
    data = {}
    for key, entry in models.MODELS.items():
        # A None field in a variant removes the field the model shares with its siblings.
        data[key] = {name: value for name, value in entry.items() if value is not None}
    for key, entry in models.FALLBACKS.items():
        data[key] = dict(entry)
    return data


def main(argv):
    if len(argv) != 2:
        sys.stderr.write(__doc__ + "\n")
        return 2
    payload = plistlib.dumps(build(), fmt=plistlib.FMT_XML, sort_keys=True)
    output = argv[1]
    temporary = output + ".tmp"
    with open(temporary, "wb") as f:
        f.write(payload)
    os.replace(temporary, output)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
