#!/usr/bin/env python3
"""Writes worlds/large.json: 1,000 players and 10 clubs of 100 members each, for load runs and
benchmarks of the host. Player 1001 is logged in and owns the first club. The output is the
same on every run; regenerate with `scripts/generate-large-world.py > worlds/large.json`."""
import json

PLAYERS = 1000
CLUBS = 10
MEMBERS = 100
START = 1700000000000


def main():
    players = [{"accountId": 1001 + i, "summonerId": 2001 + i,
                "name": "Player %04d" % (i + 1), "profileIconId": i % 50}
               for i in range(PLAYERS)]
    clubs = []
    for c in range(CLUBS):
        members = []
        for m in range(MEMBERS):
            role = "OWNER" if m == 0 else ("OFFICER" if m < 5 else "MEMBER")
            members.append({"accountId": 1001 + c * MEMBERS + m, "role": role,
                            "since": START + c * 1000 + m})
        clubs.append({"key": "club-%d" % (c + 1), "name": "Large Club %02d" % (c + 1),
                      "tag": "L%02d" % (c + 1), "motd": "Club %d of %d" % (c + 1, CLUBS),
                      "createdTs": START + c * 1000, "lastModifiedTs": START + c * 1000 + MEMBERS,
                      "active": members})
    world = {"loggedInAccountId": 1001, "players": players,
             "service": {"clock": START + CLUBS * 1000},
             "clubs": clubs}
    # One record per line: small enough to read, large enough to load.
    print("{")
    print('  "loggedInAccountId": 1001,')
    print('  "service": %s,' % json.dumps(world["service"]))
    print('  "players": [')
    print(",\n".join("    " + json.dumps(p) for p in players))
    print("  ],")
    print('  "clubs": [')
    print(",\n".join("    " + json.dumps(c) for c in clubs))
    print("  ]")
    print("}")


if __name__ == "__main__":
    main()
