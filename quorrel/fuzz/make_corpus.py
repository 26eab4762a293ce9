#!/usr/bin/env python3
"""Writes the seed inputs of quorrel_renderer_fuzzer: small protocol sessions."""
import json
import os
import sys

out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "corpus", "quorrel_renderer_fuzzer")
os.makedirs(out, exist_ok=True)


def session(*messages):
    return "\n".join(m if isinstance(m, str) else json.dumps(m) for m in messages) + "\n"


browser = {"type": "browser_created", "browser": 1}
context = {"type": "context_created", "browser": 1, "frame": 10, "main": True, "context": 1, "script": "a"}
child = {"type": "context_created", "browser": 1, "frame": 11, "main": False, "context": 2, "script": "b"}


def reply(i, code=0, text="ok"):
    return {"type": "process_message", "browser": 1, "name": "TKInvoke",
            "args": [{"int": i}, {"int": code}, {"string": text}]}


def answer(context_id, request, response=None, code=0, text="no"):
    if response is not None:
        args = [{"int": context_id}, {"int": request}, {"bool": True}, {"string": response}]
    else:
        args = [{"int": context_id}, {"int": request}, {"bool": False}, {"int": code}, {"string": text}]
    return {"type": "process_message", "browser": 1, "name": "cefQueryMsg", "args": args}


seeds = {
    "invoke_reply": session(browser, context, reply(1), reply(1, 3, "again"), {"type": "ping", "id": 1}),
    "events": session(browser, context, {"type": "run_script", "context": 1, "script": "c", "id": 2},
                      {"type": "process_message", "browser": 1, "name": "ev",
                       "args": [{"int": 1}, {"list": [{"double": 2.5}, {"list": []}]}, {"binary": "00ff"},
                                {"dict": {"k": {"null": None}}}, {"invalid": None}]}),
    "frames": session(browser, context, child, {"type": "context_released", "context": 2}, reply(2),
                      {"type": "browser_destroyed", "browser": 1}),
    "focus": session(browser, context,
                     {"type": "focused_node_changed", "browser": 1, "frame": 10,
                      "node": {"editable": True, "attributes": {"id": "name"}}},
                     {"type": "focused_node_changed", "browser": 1, "frame": 10, "node": None}),
    "batch": session(browser, {"type": "batch", "messages": [context, reply(1), {"type": "shutdown"}]}),
    # The fuzzer swaps scripts for its fixed set by the hash of the text:
    # "q" and "cq" pick page scripts that query, "q2" one that listens to
    # the router's replies through the bridge.
    "query_reply": session(browser, context, child, {"type": "run_script", "context": 2, "script": "q", "id": 3},
                           answer(1, 1, "r"), answer(1, 1, "r2"), answer(1, 2, code=4),
                           {"type": "batch", "messages": [answer(1, 1, "late"),
                                                          {"type": "context_released", "context": 2}]}),
    "query_cancel": session(browser, context, {"type": "run_script", "context": 1, "script": "cq", "id": 4},
                            {"type": "batch", "messages": [answer(1, 1, "x"),
                                                           {"type": "run_script", "context": 1, "script": "q2"}]},
                            {"type": "process_message", "browser": 1, "name": "cefQueryMsg",
                             "args": [{"int": 1}, {"int": 0}, {"string": "x"}]}),
    "garbage": session("{", "[]", '{"type":7}', '{"type":"process_message","browser":1,"name":"x","args":[{"int":1.5}]}'),
}
for name, text in seeds.items():
    with open(os.path.join(out, name), "w") as f:
        f.write(text)
