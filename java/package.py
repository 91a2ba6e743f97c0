"""Packs the compiled classes of the Java half into kvo-runtime.jar and
writes the C++ source that carries the jar inside kvo-pack.

The jar is the same bytes in every build tree and on every build: its
entries are sorted, dated 1980-01-01 and compressed with fixed settings, so
the Linux and the Windows packer write identical launchers.

    package.py CLASSES_DIR OUT.jar OUT.cpp
"""
import sys
import zipfile
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


def write_source(data: bytes, source: Path) -> None:
    rows = []
    for start in range(0, len(data), 16):
        rows.append("    " + ",".join(str(b) for b in data[start:start + 16]) + ",")
    text = ("// Written by java/package.py from kvo-runtime.jar; not edited by hand.\n"
            "#include \"tools/kvo-pack/RuntimeJar.h\"\n\n"
            "namespace kvopack {\n"
            "namespace {\n"
            "const unsigned char kJar[] = {\n" + "\n".join(rows) + "\n};\n"
            "}  // namespace\n\n"
            "std::string_view runtimeJar() { return {reinterpret_cast<const char*>(kJar), sizeof kJar}; }\n\n"
            "}  // namespace kvopack\n")
    temporary = source.with_name(source.name + ".part")
    temporary.write_text(text)
    temporary.replace(source)


def main() -> None:
    if len(sys.argv) != 4:
        raise SystemExit(__doc__)
    classes, jar, source = (Path(a) for a in sys.argv[1:])
    write_source(write_jar(classes, jar), source)


if __name__ == "__main__":
    main()
