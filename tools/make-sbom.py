#!/usr/bin/python3
"""Writes the SPDX 2.3 JSON bill of materials of one target's release files.

  tools/make-sbom.py BUILD_FOLDER OUT.spdx.json ARCHIVE...

It lists each ARCHIVE (.deb, .rpm, .tar.gz, .zip) as a package with its
SHA-256, every file inside it with its SHA-1 and SHA-256, and the
third-party libraries linked into its binaries as packages of their own,
with the Debian package each was linked from (its version, dpkg-query's)
and its licence; relationships say which archive contains which file and
which binary contains which library. The same inputs give the same bytes:
the document's time is SOURCE_DATE_EPOCH and its namespace is made of the
home page, the document's name and that time (docs/releasing.md).
The standard library only, and the build's own tools (dpkg-query, the
compiler, rpm2cpio).
"""
import datetime
import fnmatch
import glob
import hashlib
import io
import json
import os
import re
import subprocess
import sys
import tarfile
import zipfile

GCC = "GPL-3.0-or-later WITH GCC-exception-3.1"
MINGW_PUBLIC_DOMAIN = "LicenseRef-mingw-w64-public-domain"
# What each platform's binaries have linked in statically: name, licence,
# the archive the compiler links (a cache variable of the build, or a name
# the compiler finds with -print-file-name), the binaries that contain it.
# THIRD-PARTY-NOTICES gives each one's terms.
LINUX_PROGRAMS = ["jweb-check", "libTswReplayMain.so", "libstandin_control.so"]
WINDOWS_DLLS = ["*.dll", "*.exe"]  # every one: all is linked in statically (cmake/mingw-w64-common.cmake)
COMPONENTS = {
    "Linux": [
        ("libffi", "MIT", "cache:JWEB_FFI_ARCHIVE", ["libjwebnative.so"]),
        ("libstdc++", GCC, "libstdc++.a", LINUX_PROGRAMS),
        ("libgcc", GCC, "libgcc.a", LINUX_PROGRAMS),
    ],
    "Windows": [
        ("libstdc++", GCC, "libstdc++.a", WINDOWS_DLLS),
        ("libgcc", GCC, "libgcc.a", WINDOWS_DLLS),
        ("libssp", GCC, "libssp.a", WINDOWS_DLLS),
        ("winpthreads", "MIT", "libwinpthread.a", WINDOWS_DLLS),
        ("mingw-w64 runtime", "ZPL-2.1 AND " + MINGW_PUBLIC_DOMAIN, "libmingwex.a", WINDOWS_DLLS),
    ],
}


def run(*command):
    return subprocess.run(command, check=True, capture_output=True, text=True).stdout


def read_cache(build):
    """The build's cache, with the C++ compiler and the system CMake found
    (which a toolchain file sets outside the cache)."""
    cache = {}
    with open(os.path.join(build, "CMakeCache.txt"), encoding="utf-8") as f:
        for line in f:
            m = re.match(r"^([A-Za-z_0-9]+):[A-Z]+=(.*)$", line.rstrip("\n"))
            if m:
                cache[m.group(1)] = m.group(2)
    for name, variable in (("CMakeCXXCompiler.cmake", "CMAKE_CXX_COMPILER"), ("CMakeSystem.cmake", "CMAKE_SYSTEM_NAME")):
        for found in sorted(glob.glob(os.path.join(build, "CMakeFiles", "*", name))):
            m = re.search(r'^set\(%s "([^"]*)"\)' % variable, open(found, encoding="utf-8").read(), re.M)
            if m:
                cache[variable] = m.group(1)
    return cache


def foreign_version(root, package):
    """The version of PACKAGE in the package lists its unpacked copy came from
    (lib.sh's unpack_foreign_packages, in .packages/ARCH/lists; apt-helper
    reads them whichever way apt compressed them)."""
    for lists in sorted(glob.glob(os.path.join(root, ".packages", "*", "lists", "*_Packages*"))):
        for stanza in run("/usr/lib/apt/apt-helper", "cat-file", lists).split("\n\n"):
            if re.search(r"^Package: %s$" % re.escape(package), stanza, re.M):
                return re.search(r"^Version: (.*)$", stanza, re.M).group(1)
    return None


def debian_origin(path, target_root, source_root):
    """(package, version, path as the SBOM names it) of an archive linked in."""
    real = os.path.realpath(path)
    if target_root and real.startswith(os.path.realpath(target_root) + "/"):
        # Unpacked from another architecture's package: its host twin's name.
        shown = real[len(os.path.realpath(target_root)):]
        host = run("dpkg-query", "-S", re.sub(r"/lib/[a-z0-9_]+-linux-gnu/", "/lib/*/", shown))
        package = host.split(":")[0].split(",")[0].strip()
        return package, foreign_version(source_root, package), shown
    owner = run("dpkg-query", "-S", real).splitlines()[0]
    package = owner.split(":")[0]
    return package, run("dpkg-query", "-W", "-f=${Version}", package).strip(), real


def archive_files(path):
    """(name, bytes) of every regular file in a .deb, .rpm, .tar.gz or .zip."""
    if path.endswith(".zip"):
        with zipfile.ZipFile(path) as z:
            for info in z.infolist():
                if not info.is_dir():
                    yield info.filename, z.read(info)
        return
    if path.endswith(".rpm"):
        yield from cpio_files(subprocess.run(["rpm2cpio", path], check=True, capture_output=True).stdout)
        return
    if path.endswith(".deb"):
        data = ar_member(path, "data.tar")
    else:
        with open(path, "rb") as f:
            data = f.read()
    with tarfile.open(fileobj=io.BytesIO(data), mode="r:*") as tar:
        for member in tar:
            if member.isfile():
                yield member.name, tar.extractfile(member).read()


def ar_member(path, prefix):
    with open(path, "rb") as f:
        data = f.read()
    at = 8  # "!<arch>\n"
    while at < len(data):
        name = data[at:at + 16].decode().strip().rstrip("/")
        size = int(data[at + 48:at + 58])
        if name.startswith(prefix):
            return data[at + 60:at + 60 + size]
        at += 60 + size + (size & 1)
    raise SystemExit("%s: no %s member" % (path, prefix))


def cpio_files(data):
    at = 0
    while True:
        header = data[at:at + 110]
        fields = [int(header[6 + 8 * i:14 + 8 * i], 16) for i in range(13)]
        mode, size, name_size = fields[1], fields[6], fields[11]
        name = data[at + 110:at + 110 + name_size - 1].decode()
        at = (at + 110 + name_size + 3) & ~3
        if name == "TRAILER!!!":
            return
        if mode & 0o170000 == 0o100000:
            yield name, data[at:at + size]
        at = (at + size + 3) & ~3


def spdx_id(kind, text):
    return "SPDXRef-%s-%s" % (kind, re.sub(r"[^A-Za-z0-9.]+", "-", text).strip("-"))


def main(build, out, archives):
    source_root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    cache = read_cache(build)
    epoch = int(os.environ["SOURCE_DATE_EPOCH"])
    created = datetime.datetime.fromtimestamp(epoch, datetime.timezone.utc).strftime("%Y-%m-%dT%H:%M:%SZ")
    version = re.search(r"project\(jwebnative VERSION ([0-9.]+)",
                        open(os.path.join(source_root, "CMakeLists.txt"), encoding="utf-8").read()).group(1)
    platform = cache["CMAKE_SYSTEM_NAME"]  # Linux, Windows
    name = os.path.basename(out)[:-len(".spdx.json")]
    homepage = cache.get("JWEB_HOMEPAGE", "https://jwebnative.example.invalid/").rstrip("/")
    # SPDX writes an address in parentheses: "name (address)".
    contact = cache.get("JWEB_PACKAGE_CONTACT", "jwebnative project").replace("<", "(").replace(">", ")")

    packages, files, relationships = [], [], []
    components = {}  # a binary's file name (or a pattern of them) -> SPDX ids of what it contains
    for row_name, licence, source, binaries in COMPONENTS[platform]:
        if source.startswith("cache:"):
            path = cache[source[len("cache:"):]]
        else:
            path = run(cache["CMAKE_CXX_COMPILER"], "-print-file-name=" + source).strip()
        package, debian_version, shown = debian_origin(path, cache.get("JWEB_TARGET_ROOT"), source_root)
        ident = spdx_id("Component", row_name)
        packages.append({
            "SPDXID": ident, "name": row_name, "versionInfo": debian_version or "NOASSERTION",
            "supplier": "Organization: Debian", "downloadLocation": "NOASSERTION", "filesAnalyzed": False,
            "licenseConcluded": licence, "licenseDeclared": licence, "copyrightText": "NOASSERTION",
            "primaryPackagePurpose": "LIBRARY",
            "comment": "linked in statically from %s, of Debian's package %s %s" % (shown, package, debian_version),
            "externalRefs": [{"referenceCategory": "PACKAGE-MANAGER", "referenceType": "purl",
                              "referenceLocator": "pkg:deb/debian/%s@%s" % (package, debian_version)}],
        })
        for binary in binaries:
            components.setdefault(binary, []).append(ident)

    described = []
    for archive in archives:
        file_name = os.path.basename(archive)
        ident = spdx_id("Package", file_name)
        described.append(ident)
        sha1s = []
        for index, (path, content) in enumerate(sorted(archive_files(archive))):
            path = "./" + re.sub(r"^\.?/", "", path)
            sha1 = hashlib.sha1(content).hexdigest()
            sha1s.append(sha1)
            file_id = "%s-%d" % (spdx_id("File", file_name), index)
            files.append({"SPDXID": file_id, "fileName": path,
                          "checksums": [{"algorithm": "SHA1", "checksumValue": sha1},
                                        {"algorithm": "SHA256", "checksumValue": hashlib.sha256(content).hexdigest()}],
                          "licenseConcluded": "NOASSERTION", "copyrightText": "NOASSERTION"})
            relationships.append({"spdxElementId": ident, "relationshipType": "CONTAINS",
                                  "relatedSpdxElement": file_id})
            for pattern, contained in components.items():
                if fnmatch.fnmatchcase(os.path.basename(path), pattern):
                    for component in contained:
                        relationships.append({"spdxElementId": file_id, "relationshipType": "CONTAINS",
                                              "relatedSpdxElement": component})
        with open(archive, "rb") as f:
            sha256 = hashlib.sha256(f.read()).hexdigest()
        packages.append({
            "SPDXID": ident, "name": file_name, "versionInfo": version, "packageFileName": file_name,
            "supplier": "Organization: " + contact,
            "downloadLocation": "NOASSERTION", "homepage": homepage + "/", "filesAnalyzed": True,
            "packageVerificationCode": {
                "packageVerificationCodeValue": hashlib.sha1("".join(sorted(sha1s)).encode()).hexdigest()},
            "checksums": [{"algorithm": "SHA256", "checksumValue": sha256}],
            "licenseConcluded": "NOASSERTION", "licenseDeclared": "Apache-2.0", "copyrightText": "NOASSERTION",
            "primaryPackagePurpose": "ARCHIVE" if file_name.endswith((".zip", ".tar.gz")) else "INSTALL",
        })
        relationships.append({"spdxElementId": "SPDXRef-DOCUMENT", "relationshipType": "DESCRIBES",
                              "relatedSpdxElement": ident})

    document = {
        "spdxVersion": "SPDX-2.3", "dataLicense": "CC0-1.0", "SPDXID": "SPDXRef-DOCUMENT", "name": name,
        "documentNamespace": "%s/spdx/%s-%d" % (homepage, name, epoch),
        "creationInfo": {"created": created, "creators": ["Tool: jwebnative-make-sbom-" + version,
                                                          "Organization: jwebnative project"]},
        "documentDescribes": described,
        "packages": packages, "files": files, "relationships": relationships,
    }
    if platform == "Windows":
        document["hasExtractedLicensingInfos"] = [{
            "licenseId": MINGW_PUBLIC_DOMAIN, "name": "mingw-w64 runtime, public domain parts",
            "extractedText": "The mingw-w64 runtime's startup code is in the public domain."}]
    with open(out, "w", encoding="utf-8") as f:
        json.dump(document, f, indent=1, sort_keys=True)
        f.write("\n")


if __name__ == "__main__":
    if len(sys.argv) < 4:
        raise SystemExit(__doc__)
    main(sys.argv[1], sys.argv[2], sys.argv[3:])
