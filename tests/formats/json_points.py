"""Validates a JSON export (standard input) against the schema named on the
command line, then prints 'samples N' and each curve as 'curve LEVEL CLOSED'
followed by its 'c X Y' control points and 's X Y' samples, every number as
the text the exporter wrote."""
import json
import sys

import jsonschema

with open(sys.argv[1]) as schema_file:
    schema = json.load(schema_file)
text = sys.stdin.read()
jsonschema.validate(json.loads(text), schema)
layout = json.loads(text, parse_float=str, parse_int=str)
print("samples", layout["samplesPerSegment"])
for level in layout["levels"]:
    for curve in level["curves"]:
        print("curve", level["level"], int(curve["closed"]))
        for key, points in (("c", curve["controlPoints"]), ("s", curve["samples"])):
            for x, y in points:
                print(key, x, y)
