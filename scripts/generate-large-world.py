#!/usr/bin/env python3
"""Writes worlds/large.json: 1,000 players and 10 clubs of 100 members each, for load runs and
benchmarks of the host. Player 1001 is logged in and owns the first club. The output is the
same on every run; regenerate with `scripts/generate-large-world.py > worlds/large.json`.

Other sizes for load runs: `scripts/generate-large-world.py PLAYERS CLUBS MEMBERS`, for example
`100000 100000 5` (about 59 MB): club c's members are the players from c * MEMBERS on, taken
round the player list, so every player is in about CLUBS * MEMBERS / PLAYERS clubs (at most the
service's limit of 10 active clubs)."""
import json
import sys

START = 1700000000000


def main(players_count=1000, clubs_count=10, members_count=100):
    if members_count > players_count or clubs_count * members_count > 10 * players_count:
        sys.exit("more memberships than the players may hold (10 clubs each)")
    players = [{"accountId": 1001 + i, "summonerId": 2001 + i,
                "name": "Player %04d" % (i + 1), "profileIconId": i % 50}
               for i in range(players_count)]
    clubs = []
    for c in range(clubs_count):
        members = []
        for m in range(members_count):
            role = "OWNER" if m == 0 else ("OFFICER" if m < 5 else "MEMBER")
            members.append({"accountId": 1001 + (c * members_count + m) % players_count,
                            "role": role, "since": START + c * 1000 + m})
        clubs.append({"key": "club-%d" % (c + 1), "name": "Large Club %02d" % (c + 1),
                      "tag": "L%02d" % (c + 1), "motd": "Club %d of %d" % (c + 1, clubs_count),
                      "createdTs": START + c * 1000,
                      "lastModifiedTs": START + c * 1000 + members_count,
                      "active": members})
    world = {"loggedInAccountId": 1001, "players": players,
             "service": {"clock": START + clubs_count * 1000},
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
    main(*[int(argument) for argument in sys.argv[1:4]])
