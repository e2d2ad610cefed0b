#!/usr/bin/python3
"""Clears the link time stamps of PE files (executables and DLLs) in place:
the file header's, the export directory's, the debug directories' and the
resource directories'. A checksum that was set is computed again. The Qt
DLLs of the cache were linked with the time of their build; cleared, the
zip's bytes depend only on the commit.

    pe_clear_stamps.py FILE...
"""
import sys

import pefile

DIRECTORIES = [
    pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_EXPORT"],
    pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_DEBUG"],
    pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_RESOURCE"],
]


def clear_resource_stamps(directory):
    directory.struct.TimeDateStamp = 0
    for entry in directory.entries:
        if hasattr(entry, "directory"):
            clear_resource_stamps(entry.directory)


def clear(path):
    with open(path, "rb") as f:
        data = f.read()
    pe = pefile.PE(data=data, fast_load=True)
    pe.parse_data_directories(directories=DIRECTORIES)
    pe.FILE_HEADER.TimeDateStamp = 0
    if hasattr(pe, "DIRECTORY_ENTRY_EXPORT"):
        pe.DIRECTORY_ENTRY_EXPORT.struct.TimeDateStamp = 0
    for debug in getattr(pe, "DIRECTORY_ENTRY_DEBUG", []):
        debug.struct.TimeDateStamp = 0
    if hasattr(pe, "DIRECTORY_ENTRY_RESOURCE"):
        clear_resource_stamps(pe.DIRECTORY_ENTRY_RESOURCE)
    data = pe.write()
    # The checksum covers the cleared fields: computed over the new bytes.
    pe = pefile.PE(data=data, fast_load=True)
    if pe.OPTIONAL_HEADER.CheckSum:
        pe.OPTIONAL_HEADER.CheckSum = pe.generate_checksum()
        data = pe.write()
    with open(path, "wb") as f:
        f.write(data)


def main():
    for path in sys.argv[1:]:
        try:
            clear(path)
        except (OSError, pefile.PEFormatError) as e:
            sys.exit(f"pe_clear_stamps: {path}: {e}")


if __name__ == "__main__":
    main()
