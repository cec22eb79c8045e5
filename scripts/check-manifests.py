#!/usr/bin/env python3
"""check-manifests.py [--scan FOLDER]... IMAGE...: reads the manifest embedded in each
Windows image and fails when it names an assembly of another width than the image's own.

Every IMAGE given must carry a manifest (resource type 24). Under each FOLDER, every
regular .exe and .dll that carries one is held to the same rule; the others (no
manifest, or crafted fixtures that are no image at all) are passed over. Each assemblyIdentity in
it, the image's own and those it depends on, must say processorArchitecture "*" or
the image's own width ("amd64" for x86-64, "x86" for i686), or say none. A 64-bit
program that asks for the x86 Common Controls is bound to the 32-bit comctl32 on
64-bit Windows and cannot start."""
import os
import stat
import struct
import sys
import xml.etree.ElementTree as ET

WIDTHS = {0x8664: "amd64", 0x014C: "x86"}
RT_MANIFEST = 24


class BadImage(Exception):
    pass


def read_image(path):
    # Never open what is not a plain file: a FIFO among the fixtures would block.
    if not stat.S_ISREG(os.stat(path).st_mode):
        raise BadImage("not a regular file")
    with open(path, "rb") as f:
        data = f.read()
    if data[:2] != b"MZ" or len(data) < 0x40:
        raise BadImage("not an MZ image")
    (pe,) = struct.unpack_from("<I", data, 0x3C)
    if data[pe:pe + 4] != b"PE\0\0":
        raise BadImage("no PE header")
    machine, sections, _, _, _, optional_size, _ = struct.unpack_from("<HHIIIHH", data, pe + 4)
    optional = pe + 24
    (magic,) = struct.unpack_from("<H", data, optional)
    directories = optional + (112 if magic == 0x20B else 96)
    resource_rva, resource_size = struct.unpack_from("<II", data, directories + 2 * 8)
    table = []
    at = optional + optional_size
    for i in range(sections):
        _, virtual_size, rva, raw_size, raw_at = struct.unpack_from("<8sIIII", data, at + 40 * i)
        table.append((rva, max(virtual_size, raw_size), raw_at))

    def offset(rva):
        for start, size, raw_at in table:
            if start <= rva < start + size:
                return raw_at + rva - start
        raise BadImage("address 0x%x lies in no section" % rva)

    return data, machine, resource_rva, resource_size, offset


def manifests(path):
    """The image's width and the manifests it carries, as bytes."""
    data, machine, resource_rva, resource_size, offset = read_image(path)
    if not resource_rva or not resource_size:
        return machine, []
    base = offset(resource_rva)

    def entries(directory):
        named, numbered = struct.unpack_from("<HH", data, base + directory + 12)
        for i in range(named + numbered):
            name, target = struct.unpack_from("<II", data, base + directory + 16 + 8 * i)
            yield name, target

    found = []
    for type_id, type_target in entries(0):
        if type_id != RT_MANIFEST or not type_target & 0x80000000:
            continue
        for _, name_target in entries(type_target & 0x7FFFFFFF):
            if not name_target & 0x80000000:
                continue
            for _, leaf in entries(name_target & 0x7FFFFFFF):
                rva, size = struct.unpack_from("<II", data, base + leaf)
                start = offset(rva)
                found.append(data[start:start + size])
    return machine, found


def problems(path):
    try:
        machine, texts = manifests(path)
    except (OSError, BadImage, struct.error) as error:
        return ["cannot be read: %s" % error]
    own = WIDTHS.get(machine)
    if own is None:
        return ["machine 0x%04x is neither x86-64 nor i686" % machine]
    if not texts:
        return ["carries no manifest"]
    found = []
    for text in texts:
        try:
            root = ET.fromstring(text)
        except ET.ParseError as error:
            found.append("its manifest is not well-formed: %s" % error)
            continue
        for identity in root.iter():
            if not identity.tag.endswith("assemblyIdentity"):
                continue
            width = identity.get("processorArchitecture")
            if width and width != "*" and width.lower() != own:
                found.append('%s image names %s of width "%s"' % (own, identity.get("name"), width))
    return found


def scanned(folder):
    """The regular .exe and .dll files under folder that carry a manifest."""
    for top, _, names in os.walk(folder):
        for name in sorted(names):
            path = os.path.join(top, name)
            if not name.lower().endswith((".exe", ".dll")) or os.path.islink(path):
                continue
            try:
                if manifests(path)[1]:
                    yield path
            except (OSError, BadImage, struct.error):
                continue


def main(arguments):
    folders, paths = [], []
    while arguments:
        if arguments[0] == "--scan" and len(arguments) > 1:
            folders.append(arguments[1])
            arguments = arguments[2:]
        else:
            paths.append(arguments[0])
            arguments = arguments[1:]
    if not paths and not folders:
        print("usage: check-manifests.py [--scan FOLDER]... IMAGE...", file=sys.stderr)
        return 2
    for folder in folders:
        paths += [path for path in scanned(folder) if path not in paths]
    failed = False
    for path in paths:
        for problem in problems(path):
            failed = True
            print("check-manifests: %s: %s" % (path, problem), file=sys.stderr)
    if failed:
        return 1
    print("check-manifests: %d image(s) name only assemblies of their own width or any" % len(paths))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
