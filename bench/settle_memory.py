#!/usr/bin/env python3
"""Touches a share of free memory and gives it back, right before a timed step.

On a virtual machine that hands freed memory back to its host (free page
reporting), the first process to use that memory again pays the host for
it: a step that writes a gigabyte into the page cache can take 0.2 s or
1.8 s depending on what ran a few seconds before. Called right before each
timed step, this leaves every step the same memory freshly freed, so the
sides of a comparison start equal. It does nothing useful elsewhere, and
costs well under a second.
"""
import re

with open("/proc/meminfo") as meminfo:
    available_kb = int(re.search(r"MemAvailable:\s+(\d+)", meminfo.read()).group(1))
size = min(2 << 30, available_kb * 1024 // 3)
touched = b"\1" * size  # written page by page, then freed at exit
