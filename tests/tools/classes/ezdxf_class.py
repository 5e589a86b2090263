"""Writes a class of students' DXF drawings with ezdxf, random by seed: the
teacher's template, honest students solving their own variant of one
exercise (two of them the same variant, drawn each in their own way) and
copies of every kind.

usage: ezdxf_class.py SEED OUTDIR [own | same | clicked] [few] [students=N] [large=N]

With "own", every student chooses numbers of their own instead of a
variant handed out (the look-alike pair then shares only the outline's
width and height, the numbers students choose most). With "same", every
student types the exercise's one set of numbers, so that honest drawings
differ only where they were drawn freely. With "clicked", every student
chooses measures of their own where they click: full-precision numbers.
"students=N" adds N more honest students; "large=N" one more whose sheet
holds N parts of their own. With "few", about
two students in five start from the template file itself, keeping its
entities under its handles, and the others from an empty drawing.

OUTDIR/template.dxf, OUTDIR/class/<student>/drawing.dxf and
OUTDIR/manifest.tsv: one line "kind<TAB>student<TAB>student" per pair that
is a copy (kind: shuffled, moved, turned90, turned, mirrored, scaled,
exploded, partial, chain, leaked, block: the work inserted as a block) or an honest look-alike ("lookalike"); a
part pasted adds how many lines drawn to clicked points it took along.
"""

import math
import random
import sys
import uuid
from datetime import datetime, timedelta
from pathlib import Path

import ezdxf
from ezdxf.math import Matrix44

NAMES = ["anna", "ben", "carla", "david", "emil", "frida", "georg", "hanna", "ines", "jonas", "karl", "lena",
         "mia", "noah", "olga", "paul", "quirin", "rosa", "sven", "tina", "ulla", "vera", "willi", "xaver",
         "yara", "zoe", "arne", "bea", "cem", "dora"]
VERSIONS = ["R2000", "R2004", "R2010", "R2013", "R2018"]
COPY_KINDS = ["shuffled", "moved", "turned90", "turned", "mirrored", "scaled", "exploded", "partial", "leaked"]
FRAME = "Rahmen"


def name_of(names, k):
    return names[k % len(names)] + (str(k // len(names) + 1) if k >= len(names) else "")


def julian(moment):
    return moment.toordinal() + 1721424.5 + (moment - datetime(moment.year, moment.month, moment.day)).seconds / 86400


class Student:
    def __init__(self, name, rng, lab_start):
        self.name = name
        self.rng = random.Random(rng.random())
        self.version = self.rng.choice(VERSIONS)
        self.created = lab_start + timedelta(days=self.rng.randint(0, 6), seconds=self.rng.randint(0, 36000))
        self.saved = self.created + timedelta(seconds=self.rng.randint(1200, 20000))


def new_doc(student, template, few=None):
    if few is not None and student.rng.random() < 0.4:
        # Started from the template file: its entities keep their handles.
        doc = ezdxf.readfile(few)
        student.version = doc.dxfversion
        msp = doc.modelspace()
    else:
        doc = ezdxf.new(student.version)
        doc.layers.add(FRAME)
        msp = doc.modelspace()
        if few is None:
            for e in template.modelspace():
                msp.add_entity(e.copy())
    msp.add_text(student.name.capitalize(), dxfattribs={"layer": FRAME, "height": 3.5, "insert": (150, 12)})
    return doc


def variant(rng, own=False, clicked=False):
    if clicked:
        # Measures taken where the student clicked: full-precision numbers.
        return {"w": rng.uniform(60, 160), "h": rng.uniform(40, 90), "r": rng.uniform(6, 15),
                "holes": rng.randint(3, 8), "bolt": rng.uniform(15, 25), "corner": rng.uniform(3, 10),
                "hole": rng.uniform(2.5, 6)}
    if own:
        return {"w": rng.randint(60, 160), "h": rng.randint(40, 90), "r": rng.randint(12, 30) / 2,
                "holes": rng.randint(3, 8), "bolt": rng.randint(15, 25), "corner": rng.randint(3, 10)}
    return {"w": rng.choice([80, 90, 100, 120]), "h": rng.choice([50, 60, 70]), "r": rng.choice([8, 10, 12.5]),
            "holes": rng.choice([4, 6]), "bolt": rng.choice([18, 20, 22]), "corner": rng.choice([5, 8])}


def draw_exercise(doc, v, rng, polyline=None):
    """The exercise as one student draws it: their own origin, order, layers and way of building."""
    msp = doc.modelspace()
    ox, oy = rng.uniform(20, 300), rng.uniform(20, 200)
    contour, middle = rng.choice([("Kontur", "Mitte"), ("0", "Achsen"), ("Sichtkante", "Mittellinie")])
    for layer in (contour, middle):
        if layer not in doc.layers:
            doc.layers.add(layer)
    w, h, c = v["w"], v["h"], v["corner"]
    steps = []
    bulge = math.tan(math.pi / 8)
    if polyline if polyline is not None else rng.random() < 0.6:
        outline = [(ox + c, oy, 0), (ox + w - c, oy, bulge), (ox + w, oy + c, 0), (ox + w, oy + h - c, bulge),
                   (ox + w - c, oy + h, 0), (ox + c, oy + h, bulge), (ox, oy + h - c, 0), (ox, oy + c, bulge)]
        steps.append(lambda: msp.add_lwpolyline([(x, y, 0, 0, b) for x, y, b in outline], format="xyseb",
                                                close=True, dxfattribs={"layer": contour}))
    else:
        for (x1, y1, x2, y2) in [(ox + c, oy, ox + w - c, oy), (ox + w, oy + c, ox + w, oy + h - c),
                                 (ox + w - c, oy + h, ox + c, oy + h), (ox, oy + h - c, ox, oy + c)]:
            steps.append(lambda a=(x1, y1), b=(x2, y2): msp.add_line(a, b, dxfattribs={"layer": contour}))
        for (cx, cy, start) in [(ox + w - c, oy + c, 270), (ox + w - c, oy + h - c, 0), (ox + c, oy + h - c, 90),
                                (ox + c, oy + c, 180)]:
            steps.append(lambda p=(cx, cy), s=start: msp.add_arc(p, c, s, s + 90, dxfattribs={"layer": contour}))
    cx, cy = ox + w / 2, oy + h / 2
    steps.append(lambda: msp.add_circle((cx, cy), v["r"], dxfattribs={"layer": contour}))
    for k in range(v["holes"]):
        a = 2 * math.pi * k / v["holes"]
        steps.append(lambda a=a: msp.add_circle((cx + v["bolt"] * math.cos(a), cy + v["bolt"] * math.sin(a)),
                                                v.get("hole", 2.5),
                                                dxfattribs={"layer": contour}))
    steps.append(lambda: msp.add_line((cx - w / 2 - 5, cy), (cx + w / 2 + 5, cy), dxfattribs={"layer": middle}))
    steps.append(lambda: msp.add_line((cx, cy - h / 2 - 5), (cx, cy + h / 2 + 5), dxfattribs={"layer": middle}))
    steps.append(lambda: msp.add_circle((cx, cy), v["bolt"], dxfattribs={"layer": middle}))
    if "hole" in v:
        # Each hole with its two centre lines, two units beyond it on either side.
        for k in range(v["holes"]):
            a = 2 * math.pi * k / v["holes"]
            hx, hy, reach = cx + v["bolt"] * math.cos(a), cy + v["bolt"] * math.sin(a), v["hole"] + 2
            steps.append(lambda p=(hx, hy), d=reach: msp.add_line((p[0] - d, p[1]), (p[0] + d, p[1]),
                                                                  dxfattribs={"layer": middle}))
            steps.append(lambda p=(hx, hy), d=reach: msp.add_line((p[0], p[1] - d), (p[0], p[1] + d),
                                                                  dxfattribs={"layer": middle}))
    steps.append(lambda: msp.add_text(f"{w:g} x {h:g}", dxfattribs={"layer": contour, "height": rng.choice([2.5, 3.5]),
                                                                 "insert": (ox, oy - rng.uniform(8, 15))}))
    drawn_freely = doc.__dict__.setdefault("_drawn_freely", set())
    for _ in range(rng.randint(0, 4)):  # construction lines, left in as students do
        steps.append(lambda: drawn_freely.add(msp.add_line((ox + rng.uniform(-20, w), oy + rng.uniform(-20, h)),
                                                           (ox + rng.uniform(0, w + 20),
                                                            oy + rng.uniform(0, h + 20))).dxf.handle))
    # Some draw the holes first, some the outline; nobody in exactly the same order.
    head = steps[:1] if rng.random() < 0.5 else []
    rest = steps[len(head):]
    rng.shuffle(rest)
    for step in head + rest:
        step()


def own_entities(doc):
    return [e for e in doc.modelspace() if e.dxf.layer != FRAME]


def copy_into(target, source_doc, kind, rng):
    """Pastes the source's work; gives how many lines drawn to clicked points it took along."""
    msp = target.modelspace()
    entities = own_entities(source_doc)
    if kind == "partial":
        keep = max(2, int(len(entities) * rng.uniform(0.55, 0.8)))
        kept = set(rng.sample(range(len(entities)), keep))
        entities = [e for i, e in enumerate(entities) if i in kept]
    # A paste does not keep the source's order: the clipboard and the
    # copier's selection decide it. The kind "shuffled" is moreover left
    # where it was.
    rng.shuffle(entities)
    for layer in {e.dxf.layer for e in entities}:
        if layer not in target.layers:
            target.layers.add(layer)
    drawn_freely = getattr(source_doc, "_drawn_freely", set())
    if kind == "block":
        # Kept as a block: the work inserted where the copier clicked, turned.
        name = "PASTE%04d" % rng.randint(0, 9999)
        block = target.blocks.new(name=name)
        for e in entities:
            block.add_entity(e.copy())
        msp.add_blockref(name, (rng.uniform(-150, 150), rng.uniform(-150, 150)),
                         dxfattribs={"rotation": rng.uniform(0, 360)})
        return sum(1 for e in entities if e.dxf.handle in drawn_freely)
    angle = {"turned90": 90, "turned": rng.uniform(11, 79)}.get(kind, 0)
    m = Matrix44.translate(rng.uniform(-150, 150), rng.uniform(-150, 150), 0) if kind != "shuffled" else None
    if angle:
        m = Matrix44.z_rotate(math.radians(angle)) @ m
    if kind == "mirrored":
        m = Matrix44.scale(-1, 1, 1) @ m
    if kind == "scaled":
        m = Matrix44.scale(*(3 * [rng.choice([0.5, 2.0, 2.5])])) @ m
    for e in entities:
        pieces = list(e.virtual_entities()) if kind == "exploded" and e.dxftype() == "LWPOLYLINE" else [e.copy()]
        for piece in pieces:
            if m is not None:
                piece.transform(m)
            msp.add_entity(piece)
    if kind == "partial":
        for _ in range(rng.randint(2, 5)):
            msp.add_circle((rng.uniform(0, 300), rng.uniform(0, 200)), rng.uniform(2, 9))
    return sum(1 for e in entities if e.dxf.handle in drawn_freely)


def finish(doc, student, path, rng):
    """Saves with the student's own times and identity: ezdxf would give every file the same moment."""
    if not getattr(doc, "_leaked", False):
        doc.header["$FINGERPRINTGUID"] = "{%s}" % str(uuid.UUID(int=rng.getrandbits(128))).upper()
        doc.header["$TDCREATE"] = julian(student.created)
        doc.header["$TDUCREATE"] = julian(student.created - timedelta(hours=1))
    doc.header["$TDINDWG"] = (student.saved - student.created).seconds / 86400
    path.parent.mkdir(parents=True, exist_ok=True)
    doc.saveas(path)
    lines = path.read_bytes().split(b"\n")
    values = {b"$TDUPDATE": julian(student.saved), b"$TDUUPDATE": julian(student.saved - timedelta(hours=1)),
              b"$VERSIONGUID": "{%s}" % str(uuid.UUID(int=rng.getrandbits(128))).upper()}
    for i, line in enumerate(lines[:-2]):
        if line.strip() in values:
            value = values[line.strip()]
            lines[i + 2] = (repr(value) if isinstance(value, float) else value).encode() + \
                (b"\r" if lines[i + 2].endswith(b"\r") else b"")
    path.write_bytes(b"\n".join(lines))


def main():
    seed, out = int(sys.argv[1]), Path(sys.argv[2])
    clicked = "clicked" in sys.argv[3:]
    own = "own" in sys.argv[3:] or clicked
    more = next((int(a[9:]) for a in sys.argv[3:] if a.startswith("students=")), 0)
    large = next((int(a[6:]) for a in sys.argv[3:] if a.startswith("large=")), 0)
    same = "same" in sys.argv[3:]
    rng = random.Random(seed)
    lab_start = datetime(2025, 10, 6, 8, 0) + timedelta(days=7 * rng.randint(0, 20))
    names = rng.sample(NAMES, len(NAMES))
    template = ezdxf.new("R2000")
    template.layers.add(FRAME)
    tmsp = template.modelspace()
    for a, b in [((0, 0), (420, 0)), ((420, 0), (420, 297)), ((420, 297), (0, 297)), ((0, 297), (0, 0)),
                 ((240, 0), (240, 30)), ((240, 30), (420, 30)), ((240, 15), (420, 15))]:
        tmsp.add_line(a, b, dxfattribs={"layer": FRAME})
    tmsp.add_text("Technisches Zeichnen", dxfattribs={"layer": FRAME, "height": 5, "insert": (245, 20)})
    out.mkdir(parents=True, exist_ok=True)
    template.saveas(out / "template.dxf")
    few = out / "template.dxf" if "few" in sys.argv[3:] else None

    students, docs, manifest = [], {}, []
    exercise = variant(random.Random(seed + 1000)) if same else None

    def honest(v=None, polyline=None):
        s = Student(name_of(names, len(students)), rng, lab_start)
        students.append(s)
        doc = new_doc(s, template, few)
        draw_exercise(doc, v or exercise or variant(s.rng, own, clicked), s.rng, polyline)
        docs[s.name] = doc
        return s

    def copier(source, kind):
        s = Student(name_of(names, len(students)), rng, lab_start)
        students.append(s)
        if kind == "leaked":
            # The file itself passed on: its identity and creation stay.
            s.version = source.version
            doc = ezdxf.readfile(out / "class" / source.name / "drawing.dxf")
            doc._leaked = True
            for e in doc.modelspace():
                if e.dxftype() == "TEXT" and e.dxf.text == source.name.capitalize():
                    e.dxf.text = s.name.capitalize()
        else:
            doc = new_doc(s, template, few)
            s.took_freely = copy_into(doc, docs[source.name], kind, s.rng)
        docs[s.name] = doc
        return s

    for _ in range(rng.randint(2, 4)):
        honest()
    shared = variant(rng, own, clicked)
    if same:
        a, b = honest(), honest()
    elif own:
        a = honest(shared)
        # Clicked, their width and height agree to the thousandth only.
        near = (lambda x: x + rng.uniform(-4e-4, 4e-4)) if clicked else (lambda x: x)
        b = honest(dict(variant(rng, own, clicked), w=near(shared["w"]), h=near(shared["h"])))
    else:
        a, b = honest(shared), honest(shared)
    manifest.append(("lookalike", a.name, b.name))
    for s in list(students):
        finish(docs[s.name], s, out / "class" / s.name / "drawing.dxf", s.rng)
    for kind in COPY_KINDS:
        source = honest(polyline=True if kind == "exploded" else None)
        finish(docs[source.name], source, out / "class" / source.name / "drawing.dxf", source.rng)
        c = copier(source, kind)
        finish(docs[c.name], c, out / "class" / c.name / "drawing.dxf", c.rng)
        # A part pasted says how many lines drawn to clicked points it took.
        manifest.append((kind, source.name, c.name) + ((str(c.took_freely),) if kind == "partial" else ()))
    for _ in range(more):
        s = honest()
        finish(docs[s.name], s, out / "class" / s.name / "drawing.dxf", s.rng)
        del docs[s.name]
    if large:
        # One student's sheet of hundreds of parts of their own: by sheer
        # volume it holds much of what any small drawing of the class holds.
        s = honest()
        for _ in range(large - 1):
            draw_exercise(docs[s.name], variant(s.rng, own, clicked), s.rng)
        finish(docs[s.name], s, out / "class" / s.name / "drawing.dxf", s.rng)
        del docs[s.name]
    first = honest()
    finish(docs[first.name], first, out / "class" / first.name / "drawing.dxf", first.rng)
    second = copier(first, "moved")
    finish(docs[second.name], second, out / "class" / second.name / "drawing.dxf", second.rng)
    third = copier(second, "turned")
    finish(docs[third.name], third, out / "class" / third.name / "drawing.dxf", third.rng)
    manifest += [("chain", first.name, second.name), ("chain", second.name, third.name),
                 ("chain", first.name, third.name)]
    # Last, so that the classes of every seed before it stay as they were.
    source = honest()
    finish(docs[source.name], source, out / "class" / source.name / "drawing.dxf", source.rng)
    kept = copier(source, "block")
    finish(docs[kept.name], kept, out / "class" / kept.name / "drawing.dxf", kept.rng)
    manifest.append(("block", source.name, kept.name))
    (out / "manifest.tsv").write_text("".join("\t".join(row) + "\n" for row in manifest), encoding="utf-8")


if __name__ == "__main__":
    main()
