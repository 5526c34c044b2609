#!/usr/bin/python3
"""Checks one bill of materials of the release set (tools/make-sbom.py).

  tests/check_sbom.py SBOM DIST_DIR NOTICES SCHEMA|- ARCHIVE...

The document against SCHEMA, SPDX 2.3's JSON schema (- when it is absent: the
caller says so); its archives are ARCHIVE..., exactly, with the SHA-256 of
the files in DIST_DIR; its namespace and time are the reproducible ones;
every component has a version and a licence, is contained by a binary, and
is named in NOTICES (THIRD-PARTY-NOTICES). Prints the files it lists, as
"archive sha256 path" lines, for the caller to compare with what the
archives hold. Exits 1 with the reason on the first fault.
"""
import datetime
import hashlib
import json
import os
import sys


def fail(message):
    sys.exit("FAILED: %s: %s" % (os.path.basename(sys.argv[1]), message))


def main(sbom, dist, notices, schema, archives):
    document = json.load(open(sbom, encoding="utf-8"))
    if schema != "-":
        import jsonschema  # Debian's python3-jsonschema
        try:
            jsonschema.validate(document, json.load(open(schema, encoding="utf-8")))
        except jsonschema.ValidationError as error:
            fail("not valid SPDX 2.3: %s" % error.message)
    name = os.path.basename(sbom)[:-len(".spdx.json")]
    epoch = int(os.environ["SOURCE_DATE_EPOCH"])
    created = datetime.datetime.fromtimestamp(epoch, datetime.timezone.utc).strftime("%Y-%m-%dT%H:%M:%SZ")
    if document["name"] != name or document["creationInfo"]["created"] != created:
        fail("name or time is not %s, %s" % (name, created))
    if not document["documentNamespace"].endswith("/spdx/%s-%d" % (name, epoch)):
        fail("namespace %s is not made of the name and the time" % document["documentNamespace"])

    by_id = {p["SPDXID"]: p for p in document["packages"]}
    files = {f["SPDXID"]: f for f in document["files"]}
    described = [by_id[i] for i in document["documentDescribes"]]
    if sorted(p["packageFileName"] for p in described) != sorted(archives):
        fail("its archives are %s, not %s" % (sorted(p["packageFileName"] for p in described), sorted(archives)))
    for package in described:
        with open(os.path.join(dist, package["packageFileName"]), "rb") as f:
            sha256 = hashlib.sha256(f.read()).hexdigest()
        if package["checksums"] != [{"algorithm": "SHA256", "checksumValue": sha256}]:
            fail("%s: SHA-256 is not the file's %s" % (package["packageFileName"], sha256))

    contains = [(r["spdxElementId"], r["relatedSpdxElement"]) for r in document["relationships"]
                if r["relationshipType"] == "CONTAINS"]
    components = [p for p in document["packages"] if p not in described]
    if not components:
        fail("no component")
    notices_text = open(notices, encoding="utf-8").read()
    for component in components:
        what = component["name"]
        if component["versionInfo"] in ("", "NOASSERTION") or component["licenseDeclared"] in ("", "NOASSERTION"):
            fail("%s: no version or licence" % what)
        if what not in notices_text:
            fail("%s is not named in %s" % (what, notices))
        holders = [files[a]["fileName"] for a, b in contains if b == component["SPDXID"] and a in files]
        if not holders:
            fail("no binary contains %s" % what)
        print("component %s %s (%s) in %s" % (what, component["versionInfo"], component["licenseDeclared"],
                                               " ".join(sorted({os.path.basename(h) for h in holders}))),
              file=sys.stderr)
    for package in described:
        for a, b in contains:
            if a == package["SPDXID"]:
                checksums = {c["algorithm"]: c["checksumValue"] for c in files[b]["checksums"]}
                print(package["packageFileName"], checksums["SHA256"], files[b]["fileName"])


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2], sys.argv[3], sys.argv[4], sys.argv[5:])
