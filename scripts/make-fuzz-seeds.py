#!/usr/bin/env python3
"""Writes the fuzzers' seed corpora under Fuzz/corpus/<target>/.

Each seed is built byte by byte from the documented forms of the stream, the
frame and the handshake, not by the library, so that the seeds stay right when
the library is wrong. Re-run after changing a form and commit the result:
python3 scripts/make-fuzz-seeds.py
"""

import datetime
import hmac
import pathlib
import shutil
import struct
import zlib

ROOT = pathlib.Path(__file__).resolve().parent.parent
CORPUS = ROOT / "Fuzz" / "corpus"

CUSTOM_ID = 0xFFFFFFFF
NULL_LENGTH = -1


def packer(code):
    return lambda value: struct.pack(">" + code, value)


# Big-endian numbers of 1, 2, 4 and 8 bytes, signed and unsigned, and doubles.
i8, u8, i16, u16, i32, u32, i64, u64, f64 = (packer(code) for code in "bBhHiIqQd")


def byte_array(data):
    if data is None:
        return i64(NULL_LENGTH)
    return i64(len(data)) + data


def string(text):
    if text is None:
        return i64(NULL_LENGTH)
    units = text.encode("utf-16-be")
    return i64(len(units) // 2) + units


def string_list(texts):
    return i64(len(texts)) + b"".join(string(text) for text in texts)


def bit_array(bits):
    if bits is None:
        return i64(NULL_LENGTH)
    count = len(bits)
    if count == 0:
        return i64(0)
    packed = bytearray((count + 7) // 8)
    for index, bit in enumerate(bits):
        if bit:
            packed[index // 8] |= 1 << (index % 8)
    return i64(count) + byte_array(bytes(packed))


def std_string(data):
    return u64(len(data) if data else 0xFFFFFFFFFFFFFFFF) + data


def std_u16string(text):
    units = text.encode("utf-16-be")
    return u64(len(units) // 2 if units else 0xFFFFFFFFFFFFFFFF) + units


def std_u32string(text):
    units = text.encode("utf-32-be")
    return u64(len(units) // 4 if units else 0xFFFFFFFFFFFFFFFF) + units


def date(year, month, day):
    return i64(datetime.date(year, month, day).toordinal() + 1721425)


def time(hour, minute, second, msec=0):
    return u32(((hour * 60 + minute) * 60 + second) * 1000 + msec)


NULL_DATE = i64(0)
NULL_TIME = u32(0xFFFFFFFF)


def system_zone(zone_id):
    return byte_array(zone_id) + u8(0)


def custom_zone(zone_id, offset, name, abbreviation, comment, country):
    return (byte_array(zone_id) + u8(1) + i32(offset) + string(name)
            + string(abbreviation) + string(comment) + u16(country))


def date_time(day, clock, spec, extra=b""):
    return day + clock + u8(spec) + extra


def locale(language, script, country):
    return u16(language) + u16(script) + u16(country)


def regex(pattern, options):
    return string(pattern) + u32(options)


def url(text):
    return byte_array(text)


def uuid(text):
    return byte_array(text)


def variant(type_id, value=b"", valid=True, null=False):
    return u32(type_id) + u8(valid) + u8(null) + value


def custom(name, value=b"", null=False):
    return u32(CUSTOM_ID) + u8(1) + u8(null) + byte_array(name) + value


def variant_list(records):
    return i64(len(records)) + b"".join(records)


def variant_map(entries):
    return i64(len(entries)) + b"".join(string(key) + value for key, value in entries)


def int_variant(value):
    return variant(2, i32(value))


def nested_records(levels):
    """QVariant records nested `levels` deep: lists around an int."""
    record = int_variant(levels)
    for _ in range(levels - 1):
        record = variant(9, variant_list([record]))
    return record


def sample(number, text, payload):
    return custom(b"Fuzz::Sample", i32(number) + string(text) + payload)


BERLIN_SUMMER = date_time(date(2024, 7, 1), time(12, 0, 0), 3, system_zone(b"Europe/Berlin"))
CUSTOM_ZONE = custom_zone(b"Fuzz/Custom", 5400, "Fuzz Standard Time", "FST", "seed", 82)

QT_VALUES = {
    "bytearray": [byte_array(b"ab"), byte_array(None), byte_array(b""),
                  i64(1 << 40) + b"x", i64(-2)],
    "string": [string("A"), string(None), string(""), string("Grüße \U0001F600"),
               i64(1 << 62) + b"\x00\x41", i64(-5)],
    "stringlist": [string_list(["a", "", "bc"]), i64(0), i64(1 << 40),
                   i64(2) + string(None) + string("x")],
    "bitarray": [bit_array([1, 0, 1, 1, 0, 0, 0, 0, 1, 1]), bit_array(None), bit_array([]),
                 i64(10) + byte_array(b"\x01"), i64(1 << 40) + byte_array(b"\xff")],
    "stdstring": [std_string(b"hello"), std_string(b""), u64(0), u64(1 << 63)],
    "stdu16string": [std_u16string("hé"), std_u16string(""), u64(1 << 63)],
    "stdu32string": [std_u32string("h\U0001F600"), std_u32string(""), u64(1 << 62)],
    "date": [date(2024, 1, 15), NULL_DATE, i64(784354017364), i64(784354017365),
             i64(-784350574879)],
    "time": [time(23, 59, 59, 999), NULL_TIME, u32(86400000), time(0, 0, 0)],
    "datetime": [date_time(date(2024, 1, 15), time(8, 30, 0), 1),
                 date_time(date(2024, 1, 15), time(8, 30, 0), 2, i32(3600)),
                 date_time(date(2024, 1, 15), time(8, 30, 0), 0),
                 BERLIN_SUMMER,
                 date_time(date(2024, 3, 31), time(2, 30, 0), 3, system_zone(b"Europe/Berlin")),
                 date_time(date(2024, 1, 15), time(8, 30, 0), 3, CUSTOM_ZONE),
                 date_time(NULL_DATE, NULL_TIME, 1),
                 date_time(date(2024, 1, 15), time(8, 30, 0), 7),
                 date_time(i64(784354017364), time(23, 59, 59, 999), 2, i32(-86400))],
    "timezone": [system_zone(b"UTC"), system_zone(b"Europe/Berlin"), byte_array(None),
                 CUSTOM_ZONE, custom_zone(b"Europe/Berlin", 0, "", "", "", 0),
                 system_zone(b"No/Such_Zone"), custom_zone(b"Fuzz/Wild", 1 << 30, "x", "x", "x", 0xFFFF)],
    "locale": [locale(42, 7, 82), locale(1, 0, 0), locale(59, 19, 108), locale(10000, 0, 0),
               locale(0xFFFF, 0xFFFF, 0xFFFF)],
    "regex": [regex("a+b", 1), regex("(", 0), regex("", 0xFFFFFFFF)],
    "url": [url(b"https://example.org/a%20b?c=d#e"), url(b""), url(b"http://[::1"), url(None)],
    "uuid": [uuid(b"{67c8770b-44f1-410a-ab9a-f9b5446f13ee}"), uuid(b"not a uuid"), uuid(b"")],
    "variantlist": [variant_list([int_variant(1), variant(10, string("x")),
                                  variant(9, variant_list([int_variant(2)]))]),
                    i64(0), i64(1 << 40)],
    "variantmap": [variant_map([("a", int_variant(1)), ("a", int_variant(2)),
                                ("b", variant(8, variant_map([("c", variant(1, u8(1)))])))]),
                   i64(0), i64(1 << 61)],
    "varianthash": [variant_map([("one", int_variant(1)), ("two", variant(6, f64(2.5)))]),
                    variant_map([("k", int_variant(1)), ("k", int_variant(2))]), i64(1 << 62)],
    "bytearraylist": [i64(3) + byte_array(b"a") + byte_array(None) + byte_array(b""),
                      i64(1 << 40)],
    "char": [u16(0x41), u16(0xD800) + u16(0xDC00)],
    "variantvector": [variant_list([int_variant(7), variant(0, valid=False, null=True)])],
}

# The reader index of each kind, as the harness lists its readers.
QT_VALUE_READERS = [
    "bytearray", "string", "stringlist", "bitarray", "stdstring", "stdu16string",
    "stdu32string", "date", "time", "datetime", "timezone", "locale", "regex", "url",
    "uuid", "variantlist", "variantmap", "varianthash", "bytearraylist", "char",
    "variantvector",
]

VARIANTS = {
    "invalid": variant(0, valid=False, null=True),
    "int5": int_variant(5),
    "null_string": variant(10, null=True),
    "string": variant(10, string("A")),
    "bool": variant(1, u8(1)),
    "uint": variant(3, u32(0xFFFFFFFF)),
    "longlong": variant(4, i64(-2)),
    "ulonglong": variant(5, u64(1 << 63)),
    "double": variant(6, f64(1.5)),
    "double_nan": variant(6, u64(0x7FF8000000000000)),
    "double_tiny": variant(6, f64(1e-16)) + variant(6, f64(-1e-16)),
    "float_huge": variant(38, f64(1e300)),
    "float_tiny": variant(38, f64(2.3e-16)),
    "qfloat16": custom(b"qfloat16", f64(65504.0)),
    "qchar": variant(7, u16(0x263A)),
    "long_minus_one": variant(32, i64(-1)),
    "ulong": variant(35, u64(0xFFFFFFFFFFFFFFFF)),
    "short": variant(33, i16(-2)),
    "ushort": variant(36, u16(0xFFFF)),
    "char": variant(34, i8(-1)),
    "uchar": variant(37, u8(255)),
    "schar": variant(40, i8(-128)),
    "cbor_simple": variant(52, u8(22)),
    "nullptr": variant(51),
    "qvariant_in_qvariant": variant(41, int_variant(1)),
    "bytearray": variant(12, byte_array(b"ab")),
    "bytearray_null": variant(12, byte_array(None)),
    "stringlist": variant(11, string_list(["x", "y"])),
    "bitarray10": variant(13, bit_array([1, 0, 1, 1, 0, 0, 0, 0, 1, 1])),
    "date": variant(14, date(2024, 1, 15)),
    "time": variant(15, time(23, 59, 59, 999)),
    "datetime_utc": variant(16, date_time(date(2024, 1, 15), time(8, 30, 0), 1)),
    "datetime_offset": variant(16, date_time(date(2024, 1, 15), time(8, 30, 0), 2, i32(-19800))),
    "datetime_zone": variant(16, BERLIN_SUMMER),
    "datetime_custom_zone": variant(16, date_time(date(2024, 1, 15), time(8, 30, 0), 3, CUSTOM_ZONE)),
    "url": variant(17, url(b"https://example.org/path?q=1")),
    "locale": variant(18, locale(42, 7, 82)),
    "locale_out_of_range": variant(18, locale(10000, 0, 0)),
    "uuid": variant(30, uuid(b"{67c8770b-44f1-410a-ab9a-f9b5446f13ee}")),
    "regex": variant(44, regex("^a.*z$", 1)),
    "bytearraylist": variant(49, i64(2) + byte_array(b"id") + byte_array(None)),
    "list_nested": variant(9, variant_list([int_variant(1), variant(10, string("x")),
                                            variant(9, variant_list([int_variant(2)]))])),
    "map_multi": variant(8, variant_map([("k", int_variant(2)), ("k", int_variant(1)),
                                         ("m", variant(8, variant_map([("n", variant(1, u8(0)))])))])),
    "hash": variant(28, variant_map([("a", int_variant(1)), ("b", variant(10, string("bee")))])),
    "list_count_forged": variant(9, i64(1 << 40) + int_variant(1)),
    "map_count_forged": variant(8, i64(-1)),
    "string_length_forged": variant(10, i64(0x4000000000000001)),
    "bytearray_length_negative": variant(12, i64(-7)),
    "custom": sample(7, "seven", int_variant(7)),
    "custom_nested": sample(1, "outer", sample(2, "inner", variant(8, variant_map([("x", int_variant(3))])))),
    "custom_null": custom(b"Fuzz::Sample", null=True),
    "custom_unknown": custom(b"My::Type", i32(1)),
    "custom_null_name": u32(CUSTOM_ID) + u8(1) + u8(0) + byte_array(None),
    "valid_flag_mismatch": variant(0, valid=True, null=False),
    "unknown_builtin": variant(19, i32(1)),
    "nesting_63": nested_records(63),
    "nesting_64": nested_records(64),
    "nesting_65": nested_records(65),
    "sequence": int_variant(1) + variant(10, string("two")) + variant(6, f64(3.0))
                + variant(0, valid=False, null=True) + sample(4, "four", variant(10, null=True)),
}


# Frames as the frame reader target takes them: one settings byte, then the
# flag byte and the data, which the harness signs with FRAME_KEY; with
# UNSIGNED set, the whole frame follows, HMAC included.
FRAME_KEY = b"00112233445566778899aabbccddeeff" * 4
FRAME_ALGORITHMS = {"sha1": 0, "sha256": 1, "sha512": 2, "md5": 3}
COMPRESS, THRESHOLD, UNSIGNED = 0x04, 0x08, 0x80
PLAIN_FLAG, COMPRESSED_FLAG = b"\x00", b"\x01"

SLOT_CALL_ID = b"5e0f4d2c8b7a69584736251403f2e1d0c9b8a796"
OBJECT_ID = b"67c8770b44f1410aab9af9b5446f13ee00000001"
MESSENGER_ID = b"0b8a5e3c1d2f40718293a4b5c6d7e8f901234567"


def message(messenger_id, payload):
    return custom(b"Zeto::Message", byte_array(messenger_id) + payload)


def call_slot_request(arguments):
    return custom(b"Zeto::CallSlotRequest", byte_array(OBJECT_ID) + byte_array(SLOT_CALL_ID)
                  + byte_array(b"setValue(int,QString)") + variant_list(arguments) + byte_array(None))


FRAME_VALUES = {
    "int": int_variant(5),
    "string": VARIANTS["string"],
    "map": VARIANTS["map_multi"],
    "invalid": VARIANTS["invalid"],
    "call_slot": message(MESSENGER_ID, call_slot_request([int_variant(42), variant(10, string("x" * 80))])),
    "finished": message(MESSENGER_ID, custom(b"Zeto::MessengerFinishedRequest", byte_array(MESSENGER_ID))),
    "disconnection": message(MESSENGER_ID, custom(b"Zeto::DisconnectionRequest", byte_array(OBJECT_ID) + i16(1))),
    "trailing_bytes": int_variant(5) + b"\x00",
}


def hmac_hex(algorithm, payload, key=FRAME_KEY):
    return hmac.new(key, payload, algorithm).hexdigest().encode()


def frame(algorithm, payload, key=FRAME_KEY):
    return hmac_hex(algorithm, payload, key) + payload


def frame_seeds():
    seeds = {}
    for algorithm, index in FRAME_ALGORITHMS.items():
        for name, data in FRAME_VALUES.items():
            seeds[f"{algorithm}_plain_{name}"] = u8(index) + PLAIN_FLAG + data
            seeds[f"{algorithm}_compressed_{name}"] = u8(index | COMPRESS) + COMPRESSED_FLAG + zlib.compress(data)
        seeds[f"{algorithm}_threshold_map"] = u8(index | COMPRESS | THRESHOLD) + PLAIN_FLAG + FRAME_VALUES["map"]
    # Inflates beyond the compressor's first work buffer of 1 MiB.
    seeds["compressed_2MiB"] = (u8(COMPRESS) + COMPRESSED_FLAG
                                + zlib.compress(variant(12, byte_array(bytes(2 << 20))), 9))
    seeds["compressed_not_zlib"] = u8(0) + COMPRESSED_FLAG + FRAME_VALUES["int"]
    seeds["compressed_truncated"] = u8(0) + COMPRESSED_FLAG + zlib.compress(FRAME_VALUES["map"])[:-6]
    seeds["compressed_trailing"] = u8(0) + COMPRESSED_FLAG + zlib.compress(FRAME_VALUES["int"]) + b"\x00"
    seeds["compressed_empty"] = u8(0) + COMPRESSED_FLAG
    seeds["flag_2"] = u8(0) + b"\x02" + FRAME_VALUES["int"]
    seeds["no_flag"] = u8(0)
    payload = PLAIN_FLAG + FRAME_VALUES["call_slot"]
    for algorithm, index in FRAME_ALGORITHMS.items():
        seeds[f"unsigned_{algorithm}_valid"] = u8(index | UNSIGNED) + frame(algorithm, payload)
    seeds["unsigned_uppercase_hex"] = u8(UNSIGNED) + hmac_hex("sha1", payload).upper() + payload
    seeds["unsigned_flag_2"] = u8(UNSIGNED) + frame("sha1", b"\x02" + FRAME_VALUES["int"])
    seeds["unsigned_exactly_h"] = u8(UNSIGNED) + hmac_hex("sha1", b"")
    seeds["unsigned_wrong_key"] = u8(UNSIGNED) + frame("sha1", payload, key=FRAME_KEY.upper())
    seeds["unsigned_other_algorithm"] = u8(1 | UNSIGNED) + frame("sha1", payload)
    return seeds


# Handshake messages, written out as JSON text. Values are given as their JSON
# text, so that numbers the library must refuse can be written as they are.
TOKEN = b'"' + b"9f" * 64 + b'"'


def json_object(*members):
    return b"{" + b",".join(b'"' + key.encode() + b'":' + value for key, value in members) + b"}"


def hello(version=b"1", algorithm=b"2", token=TOKEN, compress=b"true", threshold=b"300", extra=()):
    return json_object(("compress", compress), ("compressMinSizeInBytes", threshold),
                       ("dataStreamVersion", version), ("hmacAlgorithm", algorithm), ("token", token), *extra)


def reply(version=b"1", algorithm=b"2", token=TOKEN, extra=()):
    return json_object(("dataStreamVersion", version), ("hmacAlgorithm", algorithm), ("token", token), *extra)


HANDSHAKES = {
    "hello_sha1": hello(),
    "hello_sha256_plain": hello(algorithm=b"4", compress=b"false", threshold=b"0"),
    "hello_sha512": hello(algorithm=b"6"),
    "hello_md4": hello(algorithm=b"0"),
    "hello_version_7": hello(version=b"7"),
    "hello_version_fraction": hello(version=b"1.9"),
    "hello_threshold_negative": hello(threshold=b"-1"),
    "hello_threshold_int_min": hello(threshold=b"-2147483648.5"),
    "hello_token_1024": hello(token=b'"' + b"t" * 1024 + b'"'),
    "hello_token_escapes": hello(token=b'"\\u00e9\\ud83d\\ude00\\ud800\\n\\u0000"'),
    "hello_indented": b'{\n    "compress": true,\n    "compressMinSizeInBytes": 300,\n'
                      b'    "dataStreamVersion": 1,\n    "hmacAlgorithm": 2,\n    "token": ' + TOKEN + b'\n}\n',
    "hello_sixth_key": hello(extra=(("extra", b"1"),)),
    "hello_duplicate_key": hello(extra=(("token", b'"again"'),)),
    "hello_missing_key": json_object(("compress", b"true"), ("compressMinSizeInBytes", b"300"),
                                     ("dataStreamVersion", b"1"), ("hmacAlgorithm", b"2")),
    "hello_empty_token": hello(token=b'""'),
    "hello_token_1025": hello(token=b'"' + b"t" * 1025 + b'"'),
    "hello_token_number": hello(token=b"12"),
    "hello_compress_1": hello(compress=b"1"),
    "hello_version_0": hello(version=b"0"),
    "hello_version_negative": hello(version=b"-1"),
    "hello_version_huge": hello(version=b"1e300"),
    "hello_version_2_31": hello(version=b"2147483648"),
    "hello_version_string": hello(version=b'"1"'),
    "hello_algorithm_unknown": hello(algorithm=b"99"),
    "hello_algorithm_fraction": hello(algorithm=b"2.5"),
    "hello_algorithm_huge": hello(algorithm=b"1e300"),
    "hello_algorithm_negative": hello(algorithm=b"-2"),
    "hello_threshold_huge": hello(threshold=b"1e300"),
    "hello_threshold_null": hello(threshold=b"null"),
    "hello_oversized": hello()[:-1] + b" " * 4096 + b"}",
    "reply": reply(),
    "reply_sha512": reply(algorithm=b"6"),
    "reply_fourth_key": reply(extra=(("compress", b"true"),)),
    "reply_version_0": reply(version=b"0"),
    "reply_empty_token": reply(token=b'""'),
    "reply_algorithm_unknown": reply(algorithm=b"1000"),
    "array": b"[" + reply() + b"]",
    "not_json": b"{\"dataStreamVersion\":1,",
    "empty": b"",
}


def nested(depth, inner=b"int"):
    return b"QList<" * depth + inner + b">" * depth


SIGNATURES = {
    "signal": b"2finished()",
    "slot_alias": b"1setValue(qint64)",
    "const_reference": b"1set(const QString &)",
    "reference": b"1set(QString&)",
    "aliases": b"1f(qint8,quint8,qint16,quint16,qint32,quint32,quint64,qintptr,quintptr,qulonglong)",
    "containers": b"2changed(QVariantMap,QVariantList,QVariantHash,QByteArrayList,QList<QString>)",
    "template_comma": b"2s(QMap<QString,QVariant>)",
    "alias_in_template": b"2changed(QList<qint32>)",
    "standard_strings": b"1f(std::string,const std::u16string&,std::u32string)",
    "volatile": b"1f(volatile int)",
    "pointer": b"1set(int*)",
    "pointer_to_pointer": b"1set(char**)",
    "reference_to_pointer": b"1set(int*&)",
    "unregistered": b"1take(MyType)",
    "bracket_first": b"1take(<int>)",
    "method_code": b"0run()",
    "empty": b"",
    # Read past its end once, when Qt took the unterminated input for a C string.
    "unclosed": b"1f(int",
    "nul_byte": b"1f(int)\x00g",
    # Names that are no identifiers; a vertical tab once normalised differently when parsed again.
    "star_in_name": b"1qi***nt321f(,",
    "control_in_name": b"2fin\x1ast<\x0bPaq/\x8e\x8b\xc7\x96r<ed()",
    "blanks": b"1 f ( unsigned  int , const  QString & )",
    "nesting_16": b"2f(" + nested(16) + b")",
    "nesting_17": b"2f(" + nested(17) + b")",
    "parameter_list_1024": b"1f(uint" + b",int" * 255 + b")",
    "parameter_list_1025": b"1f(short" + b",int" * 255 + b")",
    "coded_1101": b"1" + b"n" * 74 + b"(uint" + b",int" * 255 + b")",
}


def write_corpus(target, seeds):
    directory = CORPUS / target
    if directory.exists():
        shutil.rmtree(directory)
    directory.mkdir(parents=True)
    for name, data in seeds.items():
        (directory / name).write_bytes(data)
    print(f"{target}: {len(seeds)} seeds")


def main():
    write_corpus("fuzz_DataStreamVariant", VARIANTS)
    qt_values = {}
    for index, kind in enumerate(QT_VALUE_READERS):
        for number, form in enumerate(QT_VALUES[kind]):
            qt_values[f"{kind}_{number}"] = u8(index) + form
    write_corpus("fuzz_DataStreamQtValues", qt_values)
    write_corpus("fuzz_FrameReader", frame_seeds())
    write_corpus("fuzz_Handshake", HANDSHAKES)
    write_corpus("fuzz_MethodSignature", SIGNATURES)


if __name__ == "__main__":
    main()
