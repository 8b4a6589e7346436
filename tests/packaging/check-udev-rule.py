#!/usr/bin/env python3
"""Syntax check of a udev rules file where `udevadm verify` is not available, and the checks
this package's rule must pass: FTDI vendor 0403 with the five products, both the USB device and
its tty node, uaccess and the dialout group."""
import re
import sys

MATCH_KEYS = {"ACTION", "DEVPATH", "KERNEL", "KERNELS", "NAME", "SYMLINK", "SUBSYSTEM", "SUBSYSTEMS",
              "DRIVER", "DRIVERS", "ATTR", "ATTRS", "SYSCTL", "ENV", "CONST", "TAG", "TAGS", "TEST",
              "PROGRAM", "RESULT"}
ASSIGN_KEYS = {"NAME", "SYMLINK", "OWNER", "GROUP", "MODE", "SECLABEL", "ATTR", "SYSCTL", "ENV", "TAG",
               "RUN", "LABEL", "GOTO", "IMPORT", "OPTIONS"}
PAIR = re.compile(r'\s*([A-Z]+)(\{[^}]*\})?\s*(==|!=|\+=|-=|:=|=)\s*"((?:[^"\\]|\\.)*)"\s*(,|$)')


def parse(path):
    rules, errors = [], []
    with open(path, encoding="utf-8") as f:
        for n, line in enumerate(f, 1):
            text = line.strip()
            if not text or text.startswith("#"):
                continue
            pos, pairs = 0, []
            while pos < len(text):
                m = PAIR.match(text, pos)
                if not m:
                    errors.append(f"{path}:{n}: cannot parse at column {pos + 1}: {text[pos:pos + 30]!r}")
                    break
                key, attr, op, value = m.group(1), m.group(2), m.group(3), m.group(4)
                matching = op in ("==", "!=")
                if key not in (MATCH_KEYS if matching else ASSIGN_KEYS):
                    errors.append(f"{path}:{n}: {key} cannot be used with {op}")
                if key in ("ATTR", "ATTRS", "ENV", "SYSCTL") and not attr:
                    errors.append(f"{path}:{n}: {key} needs an {{attribute}}")
                if key == "MODE" and not re.fullmatch(r"0?[0-7]{3}", value):
                    errors.append(f"{path}:{n}: bad MODE {value!r}")
                pairs.append((key + (attr or ""), op, value))
                pos = m.end()
                if m.group(5) == "" and pos < len(text):
                    errors.append(f"{path}:{n}: missing comma at column {pos + 1}")
                    break
            if not any(op in ("==", "!=") for _, op, _ in pairs):
                errors.append(f"{path}:{n}: a rule without a match applies to every device")
            rules.append(pairs)
    return rules, errors


def main():
    path = sys.argv[1]
    rules, errors = parse(path)
    products = {"6001", "6010", "6011", "6014", "6015"}
    seen = set()
    for pairs in rules:
        d = {(k, op): v for k, op, v in pairs}
        sub = d.get(("SUBSYSTEM", "=="))
        vendor = d.get(("ATTR{idVendor}", "==")) or d.get(("ATTRS{idVendor}", "=="))
        prods = d.get(("ATTR{idProduct}", "==")) or d.get(("ATTRS{idProduct}", "=="))
        if vendor != "0403" or prods is None:
            continue
        if set(prods.split("|")) != products:
            errors.append(f"{path}: {sub} rule matches products {prods}, not {sorted(products)}")
        if d.get(("TAG", "+=")) != "uaccess" or d.get(("GROUP", "=")) != "dialout":
            errors.append(f"{path}: {sub} rule lacks TAG+=\"uaccess\" or GROUP=\"dialout\"")
        seen.add(sub)
    for sub in ("usb", "tty"):
        if sub not in seen:
            errors.append(f"{path}: no rule for the FTDI {sub} device")
    for e in errors:
        print(e)
    print(f"{path}: {len(rules)} rules, {'ok' if not errors else 'FAILED'}")
    return 1 if errors else 0


if __name__ == "__main__":
    sys.exit(main())
