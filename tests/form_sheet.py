"""The form's title and the places of its controls, as printed from the
form's declaration: by the build into the file named by CONVQVR_FORM, or by
the Windows probe."""
import os


def parse(lines):
    title, places = None, {}
    for line in lines:
        kind, _, rest = line.rstrip("\n").partition(" ")
        if kind == "title":
            title = rest
        elif kind == "control":
            name, *place = rest.split()
            places[name] = tuple(map(int, place))
    return title, places


def centre(places, name):
    """Where a user clicks a control: its middle."""
    left, top, width, height = places[name]
    return left + width // 2, top + height // 2


if "CONVQVR_FORM" in os.environ:
    with open(os.environ["CONVQVR_FORM"], encoding="utf-8") as sheet:
        TITLE, PLACES = parse(sheet)
