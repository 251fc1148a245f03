#!/usr/bin/env python3
"""Checks the source tree's layering.

1. Core files (every folder of src/ but window/, outside a ui/ subfolder)
   include no widget header (a header of Qt's Widgets module).
2. No two folders of src/ include each other's headers (a folder's ui/
   subfolder counts as the folder).
3. chatd includes only the shared leaves of the client: text/, wire/ and
   encode/.
"""
import os
import re
import sys

root = sys.argv[1]
widgets_dir = sys.argv[2]
widget_headers = set(os.listdir(widgets_dir)) if os.path.isdir(widgets_dir) else set()
if not widget_headers:
    print("no Qt Widgets headers in", widgets_dir)
    sys.exit(1)

include = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]', re.M)
faults = []
depends = {}


def sources(top):
    for dirpath, _, files in os.walk(top):
        for f in files:
            if f.endswith((".cpp", ".h")):
                yield os.path.join(dirpath, f)


src = os.path.join(root, "src")
for path in sources(src):
    rel = os.path.relpath(path, src)
    parts = rel.split(os.sep)
    folder = parts[0]
    is_ui = folder == "window" or "ui" in parts[1:-1]
    text = open(path, encoding="utf-8", errors="replace").read()
    for kind, name in include.findall(text):
        if kind == "<" and not is_ui and name in widget_headers:
            faults.append(f"{rel}: core file includes the widget header <{name}>")
        if kind == '"' and "/" in name:
            target = name.split("/")[0]
            if target != folder and os.path.isdir(os.path.join(src, target)):
                depends.setdefault(folder, {}).setdefault(target, rel)

for a, targets in sorted(depends.items()):
    for b, where in sorted(targets.items()):
        if a < b and a in depends.get(b, {}):
            faults.append(f"{a} and {b} depend on each other ({where}, {depends[b][a]})")

for path in sources(os.path.join(root, "server")):
    rel = os.path.relpath(path, root)
    text = open(path, encoding="utf-8", errors="replace").read()
    for kind, name in include.findall(text):
        if kind == '"' and "/" in name:
            target = name.split("/")[0]
            if target not in ("server", "text", "wire", "encode"):
                faults.append(f"{rel}: chatd includes the client's {name}")

for f in faults:
    print(f)
print(f"{len(faults)} layering faults")
sys.exit(1 if faults else 0)
