# Reads VS_VERSIONINFO out of a PE file and checks it names VERSION:
#   python3 version_resource.py <quorlind.dll> <version>
import struct
import sys

path, version = sys.argv[1], sys.argv[2]
data = open(path, "rb").read()
pe = struct.unpack_from("<I", data, 0x3C)[0]
assert data[pe:pe + 4] == b"PE\0\0", "not a PE file"
sections, optional_size = struct.unpack_from("<H", data, pe + 6)[0], struct.unpack_from("<H", data, pe + 20)[0]
optional = pe + 24
directories = optional + (112 if struct.unpack_from("<H", data, optional)[0] == 0x20B else 96)
resource_rva = struct.unpack_from("<I", data, directories + 2 * 8)[0]
assert resource_rva, "no resource section"

def offset(rva):
    for i in range(sections):
        virtual_size, address, raw_size, raw = struct.unpack_from("<IIII", data, optional + optional_size + 40 * i + 8)
        if address <= rva < address + max(virtual_size, raw_size):
            return raw + rva - address
    raise AssertionError(f"rva {rva:#x} outside every section")

base = offset(resource_rva)

def entry(directory, wanted=None):
    named, ids = struct.unpack_from("<HH", data, directory + 12)
    for i in range(named + ids):
        name, target = struct.unpack_from("<II", data, directory + 16 + 8 * i)
        if wanted is None or name == wanted:
            return target
    raise AssertionError(f"resource {wanted} missing")

# Three levels: type (16 is RT_VERSION), then name, then language.
names = entry(base, 16)
languages = entry(base + (names & 0x7FFFFFFF))
leaf = entry(base + (languages & 0x7FFFFFFF))
assert not leaf & 0x80000000, "a directory where the version data belongs"
rva, size = struct.unpack_from("<II", data, base + leaf)
blob = data[offset(rva):offset(rva) + size]

def align(n):
    return (n + 3) & ~3

def node(at):
    """(key, value, children, length) of one VS_VERSIONINFO-style block."""
    length, value_length, kind = struct.unpack_from("<HHH", blob, at)
    end = at + 6
    while blob[end:end + 2] != b"\0\0":
        end += 2
    key = blob[at + 6:end].decode("utf-16-le")
    position = align(end + 2)
    width = value_length * 2 if kind == 1 else value_length
    value = blob[position:position + width]
    if kind == 1:
        value = value.decode("utf-16-le").rstrip("\0")
    position = align(position + width)
    children = []
    while position < at + length:
        child = node(position)
        children.append(child)
        position = align(position + child[3])
    return key, value, children, length

key, fixed, children, _ = node(0)
assert key == "VS_VERSION_INFO", key
signature, _, file_ms, file_ls, product_ms, product_ls = struct.unpack_from("<6I", fixed)
assert signature == 0xFEEF04BD, hex(signature)
major, minor, patch = (int(part) for part in version.split("."))
expected = ((major << 16) | minor, patch << 16)
assert (file_ms, file_ls) == expected, f"FILEVERSION {file_ms:#x} {file_ls:#x}"
assert (product_ms, product_ls) == expected, f"PRODUCTVERSION {product_ms:#x} {product_ls:#x}"
strings = {}
for child in children:
    if child[0] == "StringFileInfo":
        for table in child[2]:
            strings.update({name: value for name, value, _, _ in table[2]})
print(strings)
assert strings.get("FileVersion") == version, strings
assert strings.get("ProductVersion") == version, strings
assert strings.get("FileDescription"), "no FileDescription"
assert strings.get("OriginalFilename") == "quorlind.dll", strings
