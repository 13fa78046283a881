#!/usr/bin/env python3
"""Prints the goal ratios of benchmark runs from their JSON output (--benchmark_out=F.json
--benchmark_out_format=json, with repetitions and aggregates), each beside its goal.

Usage: bench/ratios.py RUN.json [RUN.json ...]

Every ratio is of medians of CPU time within one run, so each file is read on its own. A file
may hold any of the benchmark programs' results (clubs, formats, dispatch, worlds, world reset); the ratios
whose benchmarks it lacks are left out, so a filtered run prints what it measured."""
import json
import operator
import sys

AT_MOST = ("<=", operator.le)
AT_LEAST = (">=", operator.ge)
BELOW = ("<", operator.lt)

CLUB_PATHS = ["BM_Login", "BM_PushJoinedAndLeft", "BM_GetClubs", "BM_GetMembers"]
CLUB_READS = {"BM_GetClubs", "BM_GetMembers"}
DOCUMENTS = ["membership", "numbers", "strings"]
WORLD_STEPS = ["BM_ParseWorld", "BM_CheckWorld", "BM_ApplyWorld", "BM_ReplaceFollowedWorld"]

# (numerator, denominator, goal, bound) per document of the formats benchmark.
FORMAT_RATIOS = [
    ("ParseJson", "RapidJsonDocumentParse", AT_MOST, 1.3),
    ("ParseJson", "RapidJsonReaderNoOp", AT_MOST, 1.5),
    ("NlohmannParse", "ParseJson", AT_LEAST, 3),
    ("WriteJson", "RapidJsonWriter", AT_MOST, 1.2),
    ("NlohmannDump", "WriteJson", AT_LEAST, 2),
    ("ParseMessagePack", "MsgpackUnpack", AT_MOST, 1.3),
    ("ParseMessagePack", "ParseJson", BELOW, 1),
    ("ParseYaml", "LibyamlEventLoop", AT_MOST, 1.3),
    ("YamlCppLoad", "ParseYaml", AT_LEAST, 5),
]


def medians(path, time="cpu_time"):
    with open(path) as f:
        runs = json.load(f)["benchmarks"]
    return {
        run["run_name"]: run[time]
        for run in runs
        if run.get("aggregate_name") == "median"
    }


def line(name, value, goal=None, bound=None):
    if goal is None:
        print(f"  {name:58s} {value:7.2f}")
        return
    sign, holds = goal
    verdict = "met" if holds(value, bound) else "MISSED"
    print(f"  {name:58s} {value:7.2f}   goal {sign} {bound:<5g} {verdict}")


def clubs(m):
    for path in CLUB_PATHS:
        floor = path + "Floor"
        if f"{path}/1000" not in m or f"{floor}/1000" not in m:
            continue
        limit = 2 if path in CLUB_READS else 3
        line(f"{path} / floor at 1,000", m[f"{path}/1000"] / m[f"{floor}/1000"],
             AT_MOST, limit)
        if f"{path}/100" in m and f"{floor}/100" in m:
            line(f"{path} 1,000 / 100", m[f"{path}/1000"] / m[f"{path}/100"], AT_MOST, 12)
            line(f"  (its floor's own)", m[f"{floor}/1000"] / m[f"{floor}/100"])


def formats(m):
    for document in DOCUMENTS:
        for numerator, denominator, goal, bound in FORMAT_RATIOS:
            a, b = m.get(f"{numerator}/{document}"), m.get(f"{denominator}/{document}")
            if a is not None and b:
                line(f"{numerator} / {denominator} ({document})", a / b, goal, bound)
        # The least any reader can do: RapidJSON's reader, hashing every text, building the tree.
        parts = [m.get(f"{name}/{document}")
                 for name in ("RapidJsonReaderNoOp", "HashTexts", "CopyValue")]
        if f"ParseJson/{document}" in m and None not in parts:
            floor = sum(parts)
            goal = (AT_MOST, 1.15) if document == "strings" else (None, None)
            line(f"ParseJson / its floor ({document})", m[f"ParseJson/{document}"] / floor,
                 *goal)


def dispatch(m):
    if "BM_BuildRoute" in m and "BM_MatchReusedRoute" in m:
        line("BM_BuildRoute / BM_MatchReusedRoute", m["BM_BuildRoute"] / m["BM_MatchReusedRoute"],
             AT_LEAST, 10)
    if "BM_DispatchGet" in m and "BM_ReplyToHostValue" in m:
        line("BM_DispatchGet / BM_ReplyToHostValue",
             m["BM_DispatchGet"] / m["BM_ReplyToHostValue"], AT_MOST, 3)


def worlds(m):
    # Ten times the players and clubs: near ten times the time.
    for step in WORLD_STEPS:
        small, large = m.get(f"{step}/10000"), m.get(f"{step}/100000")
        if small and large is not None:
            line(f"{step} 100,000 / 10,000", large / small, AT_MOST, 12)


def world_reset(m, real):
    # The resets wait for other threads, so they and their floors are compared in real time.
    if "BM_ResetAfterChange/real_time" in real and "BM_ParseWorld" in real:
        line("BM_ResetAfterChange / BM_ParseWorld (real time)",
             real["BM_ResetAfterChange/real_time"] / real["BM_ParseWorld"], AT_MOST, 20)
    if "BM_ResetUnchanged/real_time" in real and "BM_ApplyParsedWorld" in real:
        line("BM_ResetUnchanged / BM_ApplyParsedWorld (real time)",
             real["BM_ResetUnchanged/real_time"] / real["BM_ApplyParsedWorld"], AT_MOST, 10)
    if "BM_ResetAfterChange/real_time" in real and "BM_ApplyParsedWorld" in real:
        line("BM_ResetAfterChange / BM_ApplyParsedWorld (real time)",
             real["BM_ResetAfterChange/real_time"] / real["BM_ApplyParsedWorld"])


def main(paths):
    if not paths:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    for path in paths:
        m = medians(path)
        if not m:
            print(f"{path}: no medians; run with --benchmark_repetitions", file=sys.stderr)
            return 1
        print(path)
        clubs(m)
        formats(m)
        dispatch(m)
        worlds(m)
        world_reset(m, medians(path, "real_time"))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
