"""Writes zip archives byte by byte so tests can set every field, including
the ones a well-behaved archiver would never get wrong."""
import struct
import zlib

UNIX = 3
WINDOWS = 0
DOS_TIME_2020 = (((2020 - 1980) << 9 | 6 << 5 | 15) << 16) | (12 << 11 | 30 << 5 | 10)


def deflate(data):
    packer = zlib.compressobj(9, zlib.DEFLATED, -15)
    return packer.compress(data) + packer.flush()


class Entry:
    def __init__(self, name, data=b"", method=8, **fields):
        self.name = name.encode() if isinstance(name, str) else name
        self.data = data
        self.method = method
        self.payload = deflate(data) if method == 8 else data
        self.crc = zlib.crc32(data)
        self.csize = len(self.payload)
        self.usize = len(data)
        self.external = 0o644 << 16
        self.host = UNIX
        self.flags = 0
        self.dostime = DOS_TIME_2020
        self.local_extra = b""
        self.central_extra = b""
        self.local_name = None     # a different name in the local header
        self.local_method = None
        self.offset = None         # forced local header offset
        for key, value in fields.items():
            setattr(self, key, value)


def local_header(e):
    name = e.name if e.local_name is None else e.local_name
    method = e.method if e.local_method is None else e.local_method
    return struct.pack("<IHHHIIIIHH", 0x04034B50, 20, e.flags, method, e.dostime,
                       e.crc, e.csize, e.usize, len(name), len(e.local_extra)) + name + e.local_extra


def central_record(e, offset):
    return struct.pack("<IHHHHIIIIHHHHHII", 0x02014B50, (e.host << 8) | 20, 20, e.flags,
                       e.method, e.dostime, e.crc, e.csize, e.usize, len(e.name),
                       len(e.central_extra), 0, 0, 0, e.external, offset) + e.name + e.central_extra


def build(entries, comment=b"", prefix=b"", count=None, dir_offset=None, dir_size=None,
          disk=0):
    """prefix is put in front without adjusting any offset, like a stub
    concatenated before an archive."""
    body = b""
    offsets = []
    for e in entries:
        offsets.append(len(body) if e.offset is None else e.offset)
        body += local_header(e) + e.payload
    directory = b"".join(central_record(e, o) for e, o in zip(entries, offsets))
    n = len(entries) if count is None else count
    end = struct.pack("<IHHHHIIH", 0x06054B50, disk, disk, n, n,
                      len(directory) if dir_size is None else dir_size,
                      len(body) if dir_offset is None else dir_offset, len(comment))
    return prefix + body + directory + end + comment


def ut_extra(mtime=None, atime=None, ctime=None):
    flags, data = 0, b""
    for bit, value in enumerate((mtime, atime, ctime)):
        if value is not None:
            flags |= 1 << bit
            data += struct.pack("<i", value)
    block = bytes([flags]) + data
    return b"UT" + struct.pack("<H", len(block)) + block
