#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Copies the bundled data set and dates the copy with models.DATA_DATE: stamp.py SOURCE OUTPUT

The copy's modification time is the data set's age, so it must not be the time of a checkout,
a build or an install."""

import calendar
import os
import shutil
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import models  # noqa: E402


def data_time():
    return calendar.timegm(time.strptime(models.DATA_DATE, "%Y-%m-%dT%H:%M:%SZ"))


def main(argv):
    if len(argv) != 3:
        sys.stderr.write(__doc__ + "\n")
        return 2
    source, output = argv[1], argv[2]
    temporary = output + ".tmp"
    shutil.copyfile(source, temporary)
    stamp = data_time()
    os.utime(temporary, (stamp, stamp))
    # Replaces a link left by an older build tree instead of writing through it.
    os.replace(temporary, output)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
