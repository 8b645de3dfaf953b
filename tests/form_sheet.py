"""The form's title and the places of its controls, as the build printed them
from the form's declaration (the file named by CONVQVR_FORM)."""
import os


def load():
    title, places = None, {}
    with open(os.environ["CONVQVR_FORM"], encoding="utf-8") as sheet:
        for line in sheet:
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


TITLE, PLACES = load()
