#!/usr/bin/python3
"""Checks the Windows zip: the program file is a windowed program (no
console window) with its icon (the committed
src/app/windows/vesk-hb.ico, image for image, under the name Qt loads),
its version resource (from the project's version and version text), its
manifest (Windows 10/11, per-monitor DPI awareness, long paths); no link
time stamp in any executable or DLL; only the two programs, no pdh.dll;
README.txt with Windows line ends. Prints one PASS line, or FAIL with the
reasons and exits 1.

    check_zip_exe.py ZIP SOURCE_ROOT
"""
import re
import struct
import sys
import xml.etree.ElementTree as ET
import zipfile

import pefile

EXE = "vesk-hb/vesk-hb.exe"
PROGRAMS = {EXE, "vesk-hb/vesk-hb-device.exe"}
README = "vesk-hb/README.txt"
ICON = "src/app/windows/vesk-hb.ico"
# Qt's Windows platform plugin loads the window class's icon by this name.
ICON_NAME = "IDI_ICON1"
WIN10 = "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"
RT = pefile.RESOURCE_TYPE
DIR_EXPORT, DIR_RESOURCE, DIR_DEBUG = 0, 2, 6
DEBUG_ENTRY_SIZE = 28
SUBSYSTEM_WINDOWS_GUI = 2


def expected_versions(root):
    """The version text and project version as the sources define them."""
    with open(f"{root}/cmake/VhbOptions.cmake", encoding="utf-8") as f:
        text = re.search(r'set\(VHB_VERSION_TEXT "([^"]+)"\)', f.read()).group(1)
    with open(f"{root}/CMakeLists.txt", encoding="utf-8") as f:
        version = re.search(r"project\(\S+ VERSION ([0-9.]+)", f.read()).group(1)
    return text, version


def ico_images(path):
    """[(side, bits, image bytes)] of an .ico file, in its order."""
    with open(path, "rb") as f:
        data = f.read()
    _, _, count = struct.unpack_from("<HHH", data, 0)
    out = []
    for i in range(count):
        w, _, _, _, _, bits, size, offset = struct.unpack_from("<BBBBHHII", data, 6 + 16 * i)
        out.append((w or 256, bits, data[offset:offset + size]))
    return out


def resources(pe, fails):
    """{type id: [(name or id, data)]} of the resource tree."""
    out = {}
    if not hasattr(pe, "DIRECTORY_ENTRY_RESOURCE"):
        fails.append("no resources")
        return out
    for rtype in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        for rname in rtype.directory.entries:
            for lang in rname.directory.entries:
                rva, size = lang.data.struct.OffsetToData, lang.data.struct.Size
                key = str(rname.name) if rname.name is not None else rname.id
                out.setdefault(rtype.id, []).append((key, pe.get_data(rva, size)))
    return out


def check_icon(res, ico, fails):
    groups = res.get(RT["RT_GROUP_ICON"], [])
    icons = dict(res.get(RT["RT_ICON"], []))
    if [key for key, _ in groups] != [ICON_NAME]:
        fails.append(f"icon groups {[key for key, _ in groups]}, expected [{ICON_NAME!r}]")
        if not groups:
            return
    data = groups[0][1]
    _, _, count = struct.unpack_from("<HHH", data, 0)
    entries = []
    for i in range(count):
        w, _, _, _, _, bits, _, icon_id = struct.unpack_from("<BBBBHHIH", data, 6 + 14 * i)
        entries.append((w or 256, bits, icons.get(icon_id)))
    if [e[:2] for e in entries] != [e[:2] for e in ico]:
        fails.append(f"icon (side, bits) {[e[:2] for e in entries]}, {ICON} has {[e[:2] for e in ico]}")
        return
    for (side, _, got), (_, _, want) in zip(entries, ico):
        if got != want:
            fails.append(f"icon image of {side} px differs from {ICON}")


def check_version(pe, text, version, fails):
    label = text.removeprefix("Ver ")
    strings = {}
    for info in getattr(pe, "FileInfo", []):
        for entry in info:
            for table in getattr(entry, "StringTable", []):
                strings.update({k.decode(): v.decode() for k, v in table.entries.items()})
    want = {"ProductName": "Vesk-HB", "ProductVersion": label, "FileVersion": label,
            "OriginalFilename": "vesk-hb.exe"}
    for key, value in want.items():
        if strings.get(key) != value:
            fails.append(f"version {key} is {strings.get(key)!r}, expected {value!r}")
    if not strings.get("FileDescription"):
        fails.append("version FileDescription is empty")
    fixed = getattr(pe, "VS_FIXEDFILEINFO", None)
    parts = [int(p) for p in version.split(".")] + [0, 0]
    if not fixed:
        fails.append("no fixed version information")
    elif (fixed[0].FileVersionMS, fixed[0].ProductVersionMS) != ((parts[0] << 16 | parts[1]),) * 2:
        fails.append(f"fixed version {fixed[0].FileVersionMS >> 16}.{fixed[0].FileVersionMS & 0xffff}, "
                     f"expected {version}")


def local(tag):
    return tag.rsplit("}", 1)[-1]


def check_manifest(res, fails):
    manifests = res.get(RT["RT_MANIFEST"], [])
    if [key for key, _ in manifests] != [1]:
        fails.append(f"RT_MANIFEST entries {[k for k, _ in manifests]}, expected one with id 1")
        if not manifests:
            return
    try:
        root = ET.fromstring(manifests[0][1])
    except ET.ParseError as e:
        fails.append(f"manifest is no XML: {e}")
        return
    values = {}
    os_ids = []
    for el in root.iter():
        if local(el.tag) == "supportedOS":
            os_ids.append(el.get("Id", "").lower())
        elif local(el.tag) in ("dpiAware", "dpiAwareness", "longPathAware"):
            values[local(el.tag)] = (el.text or "").strip()
    if WIN10 not in os_ids:
        fails.append(f"manifest supportedOS {os_ids} lacks Windows 10/11")
    if values.get("dpiAwareness", "").split(",")[0].strip() != "PerMonitorV2":
        fails.append(f"manifest dpiAwareness {values.get('dpiAwareness')!r}")
    if values.get("dpiAware", "").lower() != "true/pm":
        fails.append(f"manifest dpiAware {values.get('dpiAware')!r}")
    if values.get("longPathAware", "").lower() != "true":
        fails.append(f"manifest longPathAware {values.get('longPathAware')!r}")


def stamps(pe):
    """The link time stamps of a PE file, read from the raw directories."""
    dirs = pe.OPTIONAL_HEADER.DATA_DIRECTORY
    out = [("file header", pe.FILE_HEADER.TimeDateStamp)]
    for index, what in ((DIR_EXPORT, "export directory"), (DIR_RESOURCE, "resource directory")):
        if dirs[index].VirtualAddress and dirs[index].Size:
            out.append((what, pe.get_dword_at_rva(dirs[index].VirtualAddress + 4)))
    debug = dirs[DIR_DEBUG]
    if debug.VirtualAddress:
        for at in range(0, debug.Size, DEBUG_ENTRY_SIZE):
            out.append(("debug directory", pe.get_dword_at_rva(debug.VirtualAddress + at + 4)))
    return out


def check_files(z, fails):
    for name in z.namelist():
        lower = name.lower()
        if lower.rsplit("/", 1)[-1] == "pdh.dll":
            fails.append(f"{name}: the system's counter library belongs to Windows")
        if lower.endswith(".exe") and name not in PROGRAMS:
            fails.append(f"{name}: no program of the zip (a test?)")
        if lower.endswith((".exe", ".dll")):
            for what, value in stamps(pefile.PE(data=z.read(name), fast_load=True)):
                if value:
                    fails.append(f"{name}: {what} has time stamp {value:#x}")
    missing = sorted((PROGRAMS | {README}) - set(z.namelist()))
    if missing:
        fails.append(f"missing {missing}")
    elif (readme := z.read(README)).count(b"\n") != readme.count(b"\r\n"):
        fails.append(f"{README} has lines without Windows line ends")


def main():
    zip_path, root = sys.argv[1], sys.argv[2]
    fails = []
    text, ico = "?", []
    try:
        text, version = expected_versions(root)
        ico = ico_images(f"{root}/{ICON}")
        with zipfile.ZipFile(zip_path) as z:
            check_files(z, fails)
            pe = pefile.PE(data=z.read(EXE))
        if pe.OPTIONAL_HEADER.Subsystem != SUBSYSTEM_WINDOWS_GUI:
            fails.append(f"subsystem {pe.OPTIONAL_HEADER.Subsystem}: a console program")
        res = resources(pe, fails)
        check_icon(res, ico, fails)
        check_version(pe, text, version, fails)
        check_manifest(res, fails)
    except (OSError, KeyError, AttributeError, struct.error, zipfile.BadZipFile,
            pefile.PEFormatError) as e:
        fails.append(f"cannot read: {e!r}")
    if fails:
        print(f"FAIL {zip_path}:")
        for f in fails:
            print(f"  {f}")
        sys.exit(1)
    print(f"PASS {EXE}: windowed, icon {[side for side, _, _ in ico]} px as {ICON}, version {text}, "
          "manifest (Windows 10/11, PerMonitorV2, long paths); no link time stamps, "
          "no pdh.dll, no test programs")


if __name__ == "__main__":
    main()
