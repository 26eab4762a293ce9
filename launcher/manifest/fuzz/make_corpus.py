"""Writes the seed inputs of manifest_reader_fuzzer and md5_fuzzer."""
import os

here = os.path.dirname(os.path.abspath(__file__))


def save(target, name, data):
    folder = os.path.join(here, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


save("manifest_reader_fuzzer", "styled.json",
     b'[\r\n\t{\r\n\t\t"file" : "plugins\\\\x.dll",\r\n\t\t"md5" : "0123456789abcdef0123456789abcdef"\r\n\t}\r\n]\r\n')
save("manifest_reader_fuzzer", "odd_elements.json", b'[1, {"file": 2}, {"md5": "x"}, "s", null, {"file":"a","md5":"b","x":[{}]}]')
save("manifest_reader_fuzzer", "object.json", b'{"file": "a", "md5": "b"}')
save("manifest_reader_fuzzer", "comment.json", b'// note\n[ /* c */ {"file":"a\\u00e9.dll","md5":"B"} ] trailing')
save("md5_fuzzer", "empty", b"")
save("md5_fuzzer", "block_edges", bytes(range(56)) + bytes(range(64)) + bytes(range(65)))
