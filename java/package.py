"""Packs the compiled classes of the Java half into kvo-runtime.jar and
into the form kvo-pack packs into launchers, and writes the C++ source that
carries both inside kvo-pack.

The jar is what vendors compile against; a launcher carries the classes
themselves, uncompressed, in the order the launcher defines them (every
superclass and interface before the classes that name it), so that the
launcher reads them from its own file with no archive code. The layout,
little-endian:

    "KVOC", u32 count, u32 CRC-32 of everything that follows,
    count times: u16 name length, the slashed class name, u32 length, the class file

Both are the same bytes in every build tree and on every build: entries
sorted, the jar's dated 1980-01-01 and compressed with fixed settings, so
the Linux and the Windows packer write identical launchers.

    package.py CLASSES_DIR OUT.jar OUT.cpp
"""
import struct
import sys
import zipfile
import zlib
from pathlib import Path

MANIFEST = b"Manifest-Version: 1.0\r\nImplementation-Title: kvo-runtime\r\n\r\n"
FIXED_DATE = (1980, 1, 1, 0, 0, 0)


def entry(name: str) -> zipfile.ZipInfo:
    info = zipfile.ZipInfo(name, date_time=FIXED_DATE)
    info.compress_type = zipfile.ZIP_DEFLATED
    info.create_system = 3
    info.external_attr = 0o644 << 16
    return info


def write_jar(classes: Path, jar: Path) -> bytes:
    files = sorted(p for p in classes.rglob("*") if p.is_file())
    if not files:
        raise SystemExit(f"package.py: no classes in {classes}")
    temporary = jar.with_name(jar.name + ".part")
    with zipfile.ZipFile(temporary, "w") as out:
        out.writestr(entry("META-INF/MANIFEST.MF"), MANIFEST, compresslevel=9)
        for path in files:
            out.writestr(entry(path.relative_to(classes).as_posix()), path.read_bytes(), compresslevel=9)
    data = temporary.read_bytes()
    temporary.replace(jar)
    return data


# Constant pool entries by tag: the bytes that follow the tag (Utf8 has a
# length of its own), and whether it takes two slots.
POOL_ENTRY = {3: 4, 4: 4, 5: 8, 6: 8, 7: 2, 8: 2, 9: 4, 10: 4, 11: 4, 12: 4, 15: 3, 16: 2, 17: 4, 18: 4,
              19: 2, 20: 2}


def class_names(data: bytes):
    """The class's own name, its superclass's and its interfaces' (slashed)."""
    if data[:4] != b"\xca\xfe\xba\xbe":
        raise SystemExit("package.py: a class file without its magic")
    count = struct.unpack_from(">H", data, 8)[0]
    utf8, classes = {}, {}
    at, index = 10, 1
    while index < count:
        tag = data[at]
        if tag == 1:
            length = struct.unpack_from(">H", data, at + 1)[0]
            utf8[index] = data[at + 3:at + 3 + length].decode("utf-8")
            at += 3 + length
        elif tag in POOL_ENTRY:
            if tag == 7:
                classes[index] = struct.unpack_from(">H", data, at + 1)[0]
            at += 1 + POOL_ENTRY[tag]
        else:
            raise SystemExit(f"package.py: constant pool tag {tag} unknown")
        index += 2 if tag in (5, 6) else 1
    this, parent, interfaces = struct.unpack_from(">HHH", data, at + 2)
    named = lambda i: utf8[classes[i]]
    others = [named(i) for i in struct.unpack_from(f">{interfaces}H", data, at + 8)]
    return named(this), ([named(parent)] if parent else []) + others


def definition_order(classes: dict) -> list:
    """Names in the order the launcher defines them: a class after the
    classes of the pack it extends or implements, else by name."""
    order, placed = [], set()

    def place(name, seen=()):
        if name in placed or name not in classes:
            return
        if name in seen:
            raise SystemExit(f"package.py: {name} extends itself")
        for parent in class_names(classes[name])[1]:
            place(parent, seen + (name,))
        placed.add(name)
        order.append(name)
    for name in sorted(classes):
        place(name)
    return order


def write_classes(classes_dir: Path) -> bytes:
    classes = {}
    for path in sorted(classes_dir.rglob("*.class")):
        data = path.read_bytes()
        name = class_names(data)[0]
        if name + ".class" != path.relative_to(classes_dir).as_posix():
            raise SystemExit(f"package.py: {path} holds class {name}")
        classes[name] = data
    body = b"".join(struct.pack("<H", len(name)) + name.encode("ascii") + struct.pack("<I", len(classes[name]))
                    + classes[name] for name in definition_order(classes))
    return b"KVOC" + struct.pack("<II", len(classes), zlib.crc32(body)) + body


def rows_of(data: bytes) -> str:
    return "\n".join("    " + ",".join(str(b) for b in data[start:start + 16]) + ","
                     for start in range(0, len(data), 16))


def write_source(jar: bytes, classes: bytes, source: Path) -> None:
    text = ("// Written by java/package.py from the Java half's classes; not edited by hand.\n"
            "#include \"tools/kvo-pack/package/RuntimeJar.h\"\n\n"
            "namespace kvopack {\n"
            "namespace {\n"
            "const unsigned char kJar[] = {\n" + rows_of(jar) + "\n};\n"
            "const unsigned char kClasses[] = {\n" + rows_of(classes) + "\n};\n"
            "}  // namespace\n\n"
            "std::string_view runtimeJar() { return {reinterpret_cast<const char*>(kJar), sizeof kJar}; }\n\n"
            "std::string_view runtimeClasses() {\n"
            "    return {reinterpret_cast<const char*>(kClasses), sizeof kClasses};\n"
            "}\n\n"
            "}  // namespace kvopack\n")
    temporary = source.with_name(source.name + ".part")
    temporary.write_text(text)
    temporary.replace(source)


def main() -> None:
    if len(sys.argv) != 4:
        raise SystemExit(__doc__)
    classes, jar, source = (Path(a) for a in sys.argv[1:])
    write_source(write_jar(classes, jar), write_classes(classes), source)


if __name__ == "__main__":
    main()
