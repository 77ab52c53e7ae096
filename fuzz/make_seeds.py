#!/usr/bin/env python3
"""Writes the small seed corpus of each fuzz target below the given directory.

Every seed is made here from readable parts, so the corpus can be rebuilt at
any time; the fuzzer's own findings go to a separate corpus directory.
"""
import io
import os
import shutil
import struct
import sys
import zipfile

KEY = b"QoTarK58"


def scramble(plain):
    return bytes((b + KEY[n % 8]) & 0xFF for n, b in enumerate(plain))


def zip_bytes(entries, compression=zipfile.ZIP_DEFLATED):
    buffer = io.BytesIO()
    with zipfile.ZipFile(buffer, "w", compression) as archive:
        for name, data in entries:
            info = zipfile.ZipInfo(name, date_time=(2020, 5, 17, 12, 30, 0))
            info.compress_type = compression
            if name.endswith("/"):
                info.external_attr = 0x10
            archive.writestr(info, data)
    return buffer.getvalue()


def claiming_more_entries(archive, claimed):
    """The archive with its end record claiming `claimed` entries."""
    end = archive.rfind(b"PK\x05\x06")
    return archive[:end + 8] + struct.pack("<HH", claimed, claimed) + archive[end + 12:]


def index_file(records, record_format):
    header = b"VELMOR-INDEX".ljust(136, b"\0")
    return header + b"".join(struct.pack(record_format, *r) for r in records)


def index_input(installed_index, installed_data, package_index, package_data):
    return (struct.pack("<HHH", len(installed_index), len(installed_data), len(package_index)) +
            installed_index + installed_data + package_index + package_data)


def ini_seeds():
    return {
        "setup": b"Setup\nServerSid\n42\n[Setup]\nServerSid=1\nServerAddr = 10.0.0.1 \n",
        "crlf_bom": b"Game\nMode\n2\n\xef\xbb\xbf[game]\r\nmode=1\r\n[Other]\r\nx=y\r\n",
        "new_section": b"Web\nUrl\nhttp://127.0.0.1/news\n; comment\n[Setup]\nA=1",
        "long_value": b"S\nK\n" + "é".encode() * 300 + b"\n[S]\nK=old\n",
        "odd_lines": b"S\nK\n  v  \n[S\nK\n=v\n[S]\n[s]\nk=1\n",
        "quotes_and_blanks": b"S\nK\n\x0b'v'\x0c\n[S]\nK=\"old\"\r\r\n",
        "utf16_split_sequence": b"z\xc3\n\xa9K\nv\n\xff\xfe" + "[S]\r\nK=1\r\n".encode("utf-16-le"),
        "utf16_foreign_bytes": b"S\nK\n \xe0ode\n\xff\xfe" + "[S]\r\nK=1\r\n".encode("utf-16-le"),
    }


def markup_seeds():
    skin = (b'<?xml version="1.0" encoding="utf-8"?>\n<!-- main -->\n'
            b'<Window size="400,300" caption="0,0,0,30" roundcorner="6,6">'
            b'<VerticalLayout name="root"><Button name="Ok" text="&lt;OK&gt; &#65;&#x42;"/>'
            b'<Progress name="Bar" max="200" value="50"/><Text><![CDATA[a<b]]></Text>'
            b'</VerticalLayout></Window>')
    return {
        "skin": skin,
        "utf16": b"\xff\xfe" + skin.decode().encode("utf-16-le"),
        "doctype": b"<!DOCTYPE w><?pi x?><w a='1' a=\"2\">text<e/></w>",
        "deep": b"<a>" * 64 + b"</a>" * 64,
    }


def server_list_seeds():
    areas = (b'<velmor><area pid="1" name="North">'
             b'<server sid="11" name="One" address="10.0.0.1" chargeIp="http://c/" port="7000" state="0"/>'
             b'<server sid="12" name="Two" address="10.0.0.2" chargeIp="" port="7001"/></area>'
             b'<area pid="2" name="South"><server sid="21" name="" address="10.0.0.3" port="7002"/>'
             b'</area><area/><area pid="-9999999999"><other/><server sid="11"/></area></velmor>')
    return {
        "plain": areas,
        "scrambled": scramble(areas),
        "other_root": b"<servers><area pid='1'/></servers>",
        "empty_list": b"<velmor/>",
    }


def manifest_seeds():
    def entry(kind, name, local="", url=None, size="12"):
        url = url or name
        return ('<%s name="%s" local="%s" url="%s" size="%s" hash="x"/>'
                % (kind, name, local, url, size))

    manifest = ('<u><base>' + entry("filedetails", "base.upd", "game") + '</base>'
                '<Launcherpatch><version value="2.0"/>' + entry("filedetails", "launcher.upd", "up")
                + '</Launcherpatch>'
                '<patch><version value="1.1"/>' + entry("filedetails", "a.upd", "game") + '</patch>'
                '<patch><version value="1.2"/><files url="list.xml"/></patch>'
                '<PATCH><version value="1.3"/>' + entry("filedetails", "b.upd", "", "fail.upd")
                + '</PATCH></u>')
    file_list = ('<list>' + entry("item", "c.tre", "game/sub") + entry("item", "d\\e.upd", "game")
                 + '<other/></list>')
    base_list = '<u><base><files url="all.xml"/></base><patch><version value="1.1"/></patch></u>'
    body = "package bytes"
    return {
        "patches": "\0".join([manifest, file_list, body]).encode(),
        "base_list": "\0".join([base_list, file_list, body]).encode(),
        "climbing": "\0".join(['<u><patch><version value="9"/>' +
                               entry("filedetails", "../x", "../up") + '</patch></u>',
                               "", body]).encode(),
    }


def index_seeds():
    installed = index_file([(0, 8, 1, 2, 3, 4), (8, 8, 0, 0, 0, 0)], "<IIHHII")
    installed_data = bytes(range(16))
    package = index_file([(0, 4, 9, 9, 9, 9, 0), (4, 12, 7, 7, 7, 7, 1), (0, 16, 5, 5, 5, 5, 40)],
                         "<IIHHIII")
    package_data = b"PACKAGE-DATA-0123456789"
    return {
        "merge": index_input(installed, installed_data, package, package_data),
        "partial_records": index_input(installed + b"\1\2\3", installed_data, package + b"\4\5",
                                       package_data),
        "outside_package": index_input(installed, installed_data,
                                       index_file([(20, 99, 0, 0, 0, 0, 0)], "<IIHHIII"),
                                       package_data),
        "no_header": index_input(b"short", b"", b"tiny", b""),
    }


def package_seeds():
    entries = [("game/", b""), ("game/a.txt", b"alpha" * 50), ("game\\b.bin", bytes(range(256))),
               ("..\\up\\c.txt", b"climbs"), ("C:/d.txt", b"drive"), ("login.dat.i", b"i" * 140)]
    archive = zip_bytes(entries)
    return {
        "deflated": archive,
        "stored": zip_bytes(entries[:3], zipfile.ZIP_STORED),
        "empty": zip_bytes([]),
        # Long names made of parts the cleaning drops.
        "long_names": zip_bytes([("/" * 5000 + "a.txt", b"a"), ("C:" * 2500 + "b", b"b"),
                                 ("x\\..\\" * 1000 + "c", b"c"), ("&" + "/" * 5000 + "d", b"d")]),
        # An end record that claims far more entries than the archive holds.
        "claims_more": claiming_more_entries(zip_bytes(entries[:2]), 0xFFFF),
    }


def main():
    out = sys.argv[1]
    corpora = {"ini": ini_seeds(), "markup": markup_seeds(), "server_list": server_list_seeds(),
               "manifest": manifest_seeds(), "index": index_seeds(), "package": package_seeds()}
    for target, seeds in corpora.items():
        directory = os.path.join(out, target)
        shutil.rmtree(directory, ignore_errors=True)
        os.makedirs(directory)
        for name, data in seeds.items():
            with open(os.path.join(directory, name), "wb") as f:
                f.write(data)


if __name__ == "__main__":
    main()
