#!/usr/bin/env python3
"""yaml_flat.py FILE...: reads each file as YAML (PyYAML's safe loader, as strict as winget's own
parser is about syntax) and prints one "FILE:KEY=VALUE" line per scalar, KEY the path of mapping
keys and list indexes joined by dots (Installers.0.InstallerSha256). Exits 1, naming the file,
when one does not parse or is not a mapping."""
import os
import sys

import yaml


def flat(node, path, out):
    if isinstance(node, dict):
        for key, value in node.items():
            flat(value, path + [str(key)], out)
    elif isinstance(node, list):
        for index, value in enumerate(node):
            flat(value, path + [str(index)], out)
    else:
        out.append((".".join(path), "" if node is None else str(node)))


def main(files):
    rc = 0
    for name in files:
        try:
            with open(name, encoding="utf-8") as f:
                doc = yaml.safe_load(f)
        except (OSError, yaml.YAMLError) as e:
            print(f"{os.path.basename(name)}: does not parse: {' '.join(str(e).split())}")
            rc = 1
            continue
        if not isinstance(doc, dict):
            print(f"{os.path.basename(name)}: not a mapping")
            rc = 1
            continue
        out = []
        flat(doc, [], out)
        for key, value in out:
            print(f"{os.path.basename(name)}:{key}={value}")
    return rc


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
